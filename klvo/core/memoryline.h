// The About box's line of physical memory: "640 KB 使用可能",
// "16,384 KB 使用可能"; only one thousands separator is ever written.
#pragma once

#include <stdint.h>

constexpr int32_t MemoryLineSize = 512;

// Writes the line for a memory size in kilobytes into line (MemoryLineSize bytes).
void FormatMemoryLine(char *line, uint32_t kilobytes);
