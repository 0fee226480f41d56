// Key names and the hot-key menus.
#include "keytable.h"
#include "text.h"

namespace {

void CopyKeyText(char *to, const char *from)
{
    while ((*to++ = *from++) != 0) {
    }
}

void AppendKeyText(char *to, const char *from)
{
    CopyKeyText(to + TextLength(to), from);
}

// Appends the key's name when it is available; nothing otherwise.
void AppendKeyName(char *text, uint32_t virtualKey, const KeyboardQuery *keyboard)
{
    GetKeyName(text + TextLength(text), virtualKey, keyboard);
}

}  // namespace

const KeyNameRow KeyNameTable[] = {
    {16, NeedsScanCode, "Shift"},
    {17, NeedsScanCode, "Ctrl"},
    {18, NeedsScanCode, "Alt"},
    {28, NotOnType7Subtype0, "変換"},
    {29, NotOnType7Subtype0, "無変換"},
    {112, NeedsScanCode, "F1"},
    {113, NeedsScanCode, "F2"},
    {114, NeedsScanCode, "F3"},
    {115, NeedsScanCode, "F4"},
    {116, NeedsScanCode, "F5"},
    {117, NeedsScanCode, "F6"},
    {118, NeedsScanCode, "F7"},
    {119, NeedsScanCode, "F8"},
    {120, NeedsScanCode, "F9"},
    {121, NeedsScanCode, "F10"},
    {122, NeedsScanCode, "F11"},
    {123, NeedsScanCode, "F12"},
    {124, NeedsScanCode, "F13"},
    {125, NeedsScanCode, "F14"},
    {126, NeedsScanCode, "F15"},
    {0, 0, "なし"},
    {KeyTableEnd, 0, ""},
};

KeyChoice ChangeKeyTable[] = {
    {18, 16, 16, KeyModAlt | KeyModShift, 0, NotListed},
    {17, 16, 16, KeyModCtrl | KeyModShift, 0, NotListed},
    {112, 0, 112, 0, 7, NotListed},
    {113, 0, 113, 0, 7, NotListed},
    {114, 0, 114, 0, 7, NotListed},
    {115, 0, 115, 0, 7, NotListed},
    {116, 0, 116, 0, 7, NotListed},
    {117, 0, 117, 0, 7, NotListed},
    {118, 0, 118, 0, 7, NotListed},
    {119, 0, 119, 0, 7, NotListed},
    {120, 0, 120, 0, 7, NotListed},
    {121, 0, 121, 0, 7, NotListed},
    {122, 0, 122, 0, 7, NotListed},
    {123, 0, 123, 0, 7, NotListed},
    {124, 0, 124, 0, 7, NotListed},
    {125, 0, 125, 0, 7, NotListed},
    {126, 0, 126, 0, 7, NotListed},
    {0, 0, 0, 0, 0, NotListed},
    {KeyTableEnd, 0, 0, 0, 0, NotListed},
};

KeyChoice OnOffKeyTable[] = {
    {28, 0, 28, 0, 0, NotListed},
    {29, 0, 29, 0, 0, NotListed},
    {0, 0, 0, 0, 0, NotListed},
    {KeyTableEnd, 0, 0, 0, 0, NotListed},
};

bool GetKeyName(char *buffer, uint32_t virtualKey, const KeyboardQuery *keyboard)
{
    const KeyNameRow *row = KeyNameTable;
    while (row->VirtualKey != virtualKey) {
        if (row->VirtualKey == KeyTableEnd) return false;
        ++row;
    }
    // The driver is asked every time: keyboards can be swapped at run time.
    uint32_t scan = keyboard->scanCode(keyboard->context, virtualKey);
    int32_t nameLength = keyboard->keyNameLength(keyboard->context, scan);
    int32_t type = keyboard->keyboardType(keyboard->context, 0);
    int32_t subtype = keyboard->keyboardType(keyboard->context, 1);
    if ((row->Flags & NeedsScanCode) != 0 && (scan == 0 || nameLength == 0)) return false;
    if ((row->Flags & NotOnType7Subtype0) != 0 && type == 7 && subtype == 0) return false;
    CopyKeyText(buffer, row->Name);
    return true;
}

bool GetChoiceName(char *buffer, uint32_t firstKey, uint32_t secondKey,
                   const KeyboardQuery *keyboard)
{
    if (!GetKeyName(buffer, firstKey, keyboard)) return false;
    if (secondKey == 0) return true;
    AppendKeyText(buffer, "+");
    return GetKeyName(buffer + TextLength(buffer), secondKey, keyboard);
}

KeyChoice *FindCurrentChoice(KeyChoice *table, uint32_t virtualKey, uint32_t modifiers)
{
    KeyChoice *row = table;
    for (; row->FirstKey != KeyTableEnd; ++row) {
        if (row->VirtualKey != virtualKey) continue;
        // Rows that allow Alt take any modifiers; the others only their own.
        if (row->FixedModifiers == modifiers || (row->OptionalModifiers & KeyModAlt) != 0)
            return row;
    }
    return row;
}

KeyChoice *FindChoiceByListIndex(KeyChoice *table, int32_t listIndex)
{
    uint16_t wanted = static_cast<uint16_t>(listIndex & 0xFFFF);
    KeyChoice *row = table;
    while (row->FirstKey != KeyTableEnd && row->ListIndex != wanted) ++row;
    return row;
}

const char *GetChangeKeyText(uint32_t virtualKey, uint32_t modifiers,
                             const KeyboardQuery *keyboard)
{
    static char text[KeyTextSize];
    const KeyChoice *row = FindCurrentChoice(ChangeKeyTable, virtualKey, modifiers);
    if (row->FirstKey == KeyTableEnd) return nullptr;
    text[0] = 0;
    if (row->SecondKey != 0) {
        // A two-key row names its own keys; the modifiers are implied.
        AppendKeyName(text, row->FirstKey, keyboard);
        AppendKeyText(text, "+");
        AppendKeyName(text, row->SecondKey, keyboard);
        return text;
    }
    if ((modifiers & KeyModShift) != 0) {
        AppendKeyName(text, 16, keyboard);
        AppendKeyText(text, "+");
    }
    if ((modifiers & KeyModCtrl) != 0) {
        AppendKeyName(text, 17, keyboard);
        AppendKeyText(text, "+");
    }
    if ((modifiers & KeyModAlt) != 0) {
        AppendKeyName(text, 18, keyboard);
        AppendKeyText(text, "+");
    }
    AppendKeyName(text, row->FirstKey, keyboard);
    return text;
}

void FillChoiceList(KeyChoice *table, const KeyboardQuery *keyboard,
                    int32_t (*addEntry)(void *context, const char *text), void *context)
{
    char text[KeyTextSize];
    for (KeyChoice *row = table; row->FirstKey != KeyTableEnd; ++row) {
        if (GetChoiceName(text, row->FirstKey, row->SecondKey, keyboard))
            row->ListIndex = static_cast<uint16_t>(addEntry(context, text) & 0xFFFF);
        else
            row->ListIndex = NotListed;
    }
}

StoredKey StoreChoice(KeyChoice *table, int32_t selection, bool shift, bool ctrl, bool alt)
{
    const KeyChoice *row = FindChoiceByListIndex(table, selection);
    StoredKey key = {row->VirtualKey, row->FixedModifiers};
    if (shift && (row->OptionalModifiers & KeyModShift) != 0) key.Modifiers |= KeyModShift;
    if (ctrl && (row->OptionalModifiers & KeyModCtrl) != 0) key.Modifiers |= KeyModCtrl;
    if (alt && (row->OptionalModifiers & KeyModAlt) != 0) key.Modifiers |= KeyModAlt;
    return key;
}
