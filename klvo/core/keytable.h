// Key names and the menus of keys offered for the two hot keys, and the texts
// built from a stored key and its modifier bits.
#pragma once

#include <stdint.h>

// Modifier bits as the hot-key registration takes them.
constexpr uint32_t KeyModShift = 4;
constexpr uint32_t KeyModCtrl = 2;
constexpr uint32_t KeyModAlt = 1;

constexpr uint32_t KeyTableEnd = 0xFFFF;   // VirtualKey / FirstKey of a table's end row
constexpr uint16_t NotListed = 0xFFFF;     // ListIndex of a row that is not offered
constexpr int32_t KeyTextSize = 128;       // buffers for key and choice texts

// Row flags of KeyNameTable.
constexpr uint16_t NeedsScanCode = 1;        // only if the driver has a scan code and a name for it
constexpr uint16_t NotOnType7Subtype0 = 4;   // absent on keyboard type 7, subtype 0

struct KeyNameRow {
    uint32_t VirtualKey;
    uint16_t Flags;
    const char *Name;
};

struct KeyChoice {
    uint32_t FirstKey;           // KeyTableEnd on the end row
    uint32_t SecondKey;          // 0 for a single key
    uint32_t VirtualKey;         // stored as the hot key
    uint32_t FixedModifiers;     // always stored with the key
    uint32_t OptionalModifiers;  // bits the user may add with the check boxes
    uint16_t ListIndex;          // combo-box entry of the row, NotListed when not offered
};

// What the keyboard driver says; the Windows layer answers with
// MapVirtualKeyA, GetKeyNameTextA and GetKeyboardType.
struct KeyboardQuery {
    void *context;
    uint32_t (*scanCode)(void *context, uint32_t virtualKey);
    int32_t (*keyNameLength)(void *context, uint32_t scanCode);
    int32_t (*keyboardType)(void *context, int32_t which);   // 0 type, 1 subtype
};

extern const KeyNameRow KeyNameTable[];
extern KeyChoice ChangeKeyTable[];
extern KeyChoice OnOffKeyTable[];

// Copies the key's name into buffer when the key is known and present on the
// keyboard; otherwise returns false and leaves buffer alone.
bool GetKeyName(char *buffer, uint32_t virtualKey, const KeyboardQuery *keyboard);

// "First" or "First+Second"; false when either name is unavailable.
bool GetChoiceName(char *buffer, uint32_t firstKey, uint32_t secondKey,
                   const KeyboardQuery *keyboard);

// The row that stands for a stored hot key, or the table's end row.
KeyChoice *FindCurrentChoice(KeyChoice *table, uint32_t virtualKey, uint32_t modifiers);

// The row whose ListIndex equals the low 16 bits of a combo-box index (so
// "no selection", -1, finds the first row not offered), or the end row.
KeyChoice *FindChoiceByListIndex(KeyChoice *table, int32_t listIndex);

// Text of the change key with its optional modifiers ("Shift+Ctrl+F2"), in a
// static buffer that the next call overwrites; nullptr when no row matches.
const char *GetChangeKeyText(uint32_t virtualKey, uint32_t modifiers,
                             const KeyboardQuery *keyboard);

// Offers every available row of table through addEntry (which returns the
// new entry's index) and records the indexes; unavailable rows get NotListed.
void FillChoiceList(KeyChoice *table, const KeyboardQuery *keyboard,
                    int32_t (*addEntry)(void *context, const char *text), void *context);

// The hot key chosen in the dialog: the row of the selection, its fixed
// modifiers, and each ticked modifier the row allows.
struct StoredKey {
    uint32_t VirtualKey;
    uint32_t Modifiers;
};
StoredKey StoreChoice(KeyChoice *table, int32_t selection, bool shift, bool ctrl, bool alt);
