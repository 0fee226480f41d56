// Shortening a text to a width: characters come off its end and "..." goes
// on, never splitting a Shift-JIS double-byte character.
#pragma once

#include <stdint.h>

#include "text.h"

constexpr int32_t FitTextSize = 512 + 3;   // a 511-byte title, "..." and the terminator

// Width in pixels of the first length bytes of text.
typedef int32_t (*MeasureTextFn)(void *context, const char *text, int32_t length);

// Returns text itself when it fits in width, else a shortened copy ending in
// "..." in a static buffer that stays valid until the next call.
const char *FitTextToWidth(const char *text, int32_t width, MeasureTextFn measure, void *context);

// Code page 932 stepping, as CharNextA and CharPrevA do it.
const char *NextCharacter(const char *p);
const char *PreviousCharacter(const char *start, const char *p);
