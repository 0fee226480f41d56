// Key names, the hot-key menus and the texts built from a stored hot key.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core.h"

namespace {

// A keyboard whose driver lacks some keys, or reports another type.
struct FakeKeyboard {
    std::set<uint32_t> noScanCode;   // the driver maps these to scan code 0
    std::set<uint32_t> noKeyName;    // scan code, but an empty name
    int32_t type = 7;
    int32_t subtype = 2;

    static uint32_t ScanCode(void *context, uint32_t virtualKey)
    {
        auto *self = static_cast<FakeKeyboard *>(context);
        if (virtualKey == 0 || self->noScanCode.count(virtualKey) != 0) return 0;
        return virtualKey + 0x100;
    }
    static int32_t NameLength(void *context, uint32_t scanCode)
    {
        auto *self = static_cast<FakeKeyboard *>(context);
        if (scanCode == 0 || self->noKeyName.count(scanCode - 0x100) != 0) return 0;
        return 3;
    }
    static int32_t Type(void *context, int32_t which)
    {
        auto *self = static_cast<FakeKeyboard *>(context);
        return which == 0 ? self->type : self->subtype;
    }
    KeyboardQuery query{this, ScanCode, NameLength, Type};
};

std::string ChangeText(uint32_t key, uint32_t modifiers, const FakeKeyboard &keyboard)
{
    const char *text = GetChangeKeyText(key, modifiers, &keyboard.query);
    return text == nullptr ? std::string("<none>") : std::string(text);
}

std::vector<std::string> Fill(KeyChoice *table, const FakeKeyboard &keyboard)
{
    std::vector<std::string> entries;
    FillChoiceList(table, &keyboard.query,
                   [](void *context, const char *text) -> int32_t {
                       auto *list = static_cast<std::vector<std::string> *>(context);
                       list->push_back(text);
                       return static_cast<int32_t>(list->size() - 1);
                   },
                   &entries);
    return entries;
}

int32_t RowNumber(const KeyChoice *table, const KeyChoice *row) { return static_cast<int32_t>(row - table); }

TEST(ChangeKeyText, FunctionKeyShowsItsModifiersInFixedOrder)
{
    FakeKeyboard keyboard;
    EXPECT_EQ(ChangeText(113, 0, keyboard), "F2");
    EXPECT_EQ(ChangeText(113, 6, keyboard), "Shift+Ctrl+F2");
    EXPECT_EQ(ChangeText(113, 7, keyboard), "Shift+Ctrl+Alt+F2");
    EXPECT_EQ(ChangeText(113, 1, keyboard), "Alt+F2");
    EXPECT_EQ(ChangeText(113, 5, keyboard), "Shift+Alt+F2");
    EXPECT_EQ(ChangeText(126, 2, keyboard), "Ctrl+F15");
}

TEST(ChangeKeyText, TwoKeyRowsMatchOnlyTheirOwnModifiers)
{
    FakeKeyboard keyboard;
    EXPECT_EQ(ChangeText(16, 5, keyboard), "Alt+Shift");
    EXPECT_EQ(ChangeText(16, 6, keyboard), "Ctrl+Shift");
    EXPECT_EQ(ChangeText(16, 4, keyboard), "<none>");
    EXPECT_EQ(ChangeText(16, 7, keyboard), "<none>");
}

TEST(ChangeKeyText, KeysOutsideTheMenuGiveNoText)
{
    FakeKeyboard keyboard;
    EXPECT_EQ(ChangeText(65, 0, keyboard), "<none>");
    EXPECT_EQ(ChangeText(28, 0, keyboard), "<none>");   // an on/off key, not a change key
    EXPECT_EQ(ChangeText(0, 0, keyboard), "なし");
    EXPECT_EQ(ChangeText(0, 4, keyboard), "<none>");
}

TEST(ChangeKeyText, MissingKeyLeavesOnlyTheModifierPrefix)
{
    FakeKeyboard keyboard;
    keyboard.noScanCode = {124};
    EXPECT_EQ(ChangeText(124, 6, keyboard), "Shift+Ctrl+");
    EXPECT_EQ(ChangeText(124, 0, keyboard), "");
    EXPECT_EQ(ChangeText(125, 0, keyboard), "F14");

    // A missing modifier name still leaves its "+".
    keyboard.noScanCode = {17};
    EXPECT_EQ(ChangeText(113, 6, keyboard), "Shift++F2");
    EXPECT_EQ(ChangeText(16, 6, keyboard), "+Shift");
}

TEST(ChangeKeyText, LongestTextFitsEighteenCharacters)
{
    FakeKeyboard keyboard;
    std::string text = ChangeText(126, 7, keyboard);
    EXPECT_EQ(text, "Shift+Ctrl+Alt+F15");
    EXPECT_EQ(text.size(), 18u);
}

TEST(KeyNames, AvailabilityFollowsTheDriver)
{
    FakeKeyboard keyboard;
    keyboard.noScanCode = {124};
    keyboard.noKeyName = {125};
    char buffer[KeyTextSize] = "untouched";
    EXPECT_FALSE(GetKeyName(buffer, 124, &keyboard.query));
    EXPECT_FALSE(GetKeyName(buffer, 125, &keyboard.query));
    EXPECT_FALSE(GetKeyName(buffer, 65, &keyboard.query));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_TRUE(GetKeyName(buffer, 126, &keyboard.query));
    EXPECT_STREQ(buffer, "F15");
    // Keys that need no scan code are there even when the driver has none.
    keyboard.noScanCode = {28, 29};
    EXPECT_TRUE(GetKeyName(buffer, 29, &keyboard.query));
    EXPECT_STREQ(buffer, "無変換");
    EXPECT_TRUE(GetKeyName(buffer, 0, &keyboard.query));
    EXPECT_STREQ(buffer, "なし");
}

TEST(KeyNames, ConversionKeysAbsentOnlyOnType7Subtype0)
{
    FakeKeyboard keyboard;
    char buffer[KeyTextSize] = "";
    keyboard.type = 7;
    keyboard.subtype = 0;
    EXPECT_FALSE(GetKeyName(buffer, 28, &keyboard.query));
    EXPECT_FALSE(GetKeyName(buffer, 29, &keyboard.query));
    EXPECT_TRUE(GetKeyName(buffer, 0, &keyboard.query));
    EXPECT_TRUE(GetKeyName(buffer, 113, &keyboard.query));
    keyboard.subtype = 1;
    EXPECT_TRUE(GetKeyName(buffer, 28, &keyboard.query));
    keyboard.type = 4;
    keyboard.subtype = 0;
    EXPECT_TRUE(GetKeyName(buffer, 28, &keyboard.query));
    EXPECT_STREQ(buffer, "変換");
}

TEST(KeyNames, ChoiceNameNeedsBothKeys)
{
    FakeKeyboard keyboard;
    char buffer[KeyTextSize] = "";
    EXPECT_TRUE(GetChoiceName(buffer, 18, 16, &keyboard.query));
    EXPECT_STREQ(buffer, "Alt+Shift");
    keyboard.noScanCode = {16};
    EXPECT_FALSE(GetChoiceName(buffer, 18, 16, &keyboard.query));
    EXPECT_FALSE(GetChoiceName(buffer, 16, 0, &keyboard.query));
    EXPECT_TRUE(GetChoiceName(buffer, 113, 0, &keyboard.query));
    EXPECT_STREQ(buffer, "F2");
}

TEST(KeyMenus, ChangeKeyMenuListsAvailableRowsWithoutGaps)
{
    FakeKeyboard keyboard;
    std::vector<std::string> entries = Fill(ChangeKeyTable, keyboard);
    ASSERT_EQ(entries.size(), 18u);
    EXPECT_EQ(entries[0], "Alt+Shift");
    EXPECT_EQ(entries[1], "Ctrl+Shift");
    EXPECT_EQ(entries[2], "F1");
    EXPECT_EQ(entries[16], "F15");
    EXPECT_EQ(entries[17], "なし");

    keyboard.noScanCode = {124};
    entries = Fill(ChangeKeyTable, keyboard);
    ASSERT_EQ(entries.size(), 17u);
    EXPECT_EQ(entries[14], "F14");
    EXPECT_EQ(ChangeKeyTable[14].ListIndex, NotListed);   // F13
    EXPECT_EQ(ChangeKeyTable[15].ListIndex, 14);          // F14 moves up
    EXPECT_EQ(ChangeKeyTable[18].ListIndex, NotListed);   // end row
}

TEST(KeyMenus, OnOffMenuOnType7Subtype0OffersOnlyNone)
{
    FakeKeyboard keyboard;
    keyboard.subtype = 0;
    std::vector<std::string> entries = Fill(OnOffKeyTable, keyboard);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "なし");
    StoredKey key = StoreChoice(OnOffKeyTable, 0, false, false, false);
    EXPECT_EQ(key.VirtualKey, 0u);
    EXPECT_EQ(key.Modifiers, 0u);
    // A stored 変換 is no longer on the menu: no selection.
    EXPECT_EQ(FindCurrentChoice(OnOffKeyTable, 28, 0)->ListIndex, NotListed);
}

TEST(KeyMenus, CurrentChoiceOfStoredKeys)
{
    EXPECT_EQ(RowNumber(ChangeKeyTable, FindCurrentChoice(ChangeKeyTable, 113, 6)), 3);
    EXPECT_EQ(RowNumber(ChangeKeyTable, FindCurrentChoice(ChangeKeyTable, 16, 5)), 0);
    EXPECT_EQ(RowNumber(ChangeKeyTable, FindCurrentChoice(ChangeKeyTable, 16, 6)), 1);
    EXPECT_EQ(RowNumber(ChangeKeyTable, FindCurrentChoice(ChangeKeyTable, 0, 0)), 17);
    EXPECT_EQ(FindCurrentChoice(ChangeKeyTable, 65, 0)->FirstKey, KeyTableEnd);
    EXPECT_EQ(RowNumber(OnOffKeyTable, FindCurrentChoice(OnOffKeyTable, 29, 0)), 1);
    EXPECT_EQ(FindCurrentChoice(OnOffKeyTable, 28, 4)->FirstKey, KeyTableEnd);
}

TEST(StoreChoice, TwoKeyRowIgnoresTicks)
{
    FakeKeyboard keyboard;
    Fill(ChangeKeyTable, keyboard);
    StoredKey key = StoreChoice(ChangeKeyTable, 0, true, true, true);
    EXPECT_EQ(key.VirtualKey, 16u);
    EXPECT_EQ(key.Modifiers, 5u);
    key = StoreChoice(ChangeKeyTable, 1, false, false, true);
    EXPECT_EQ(key.VirtualKey, 16u);
    EXPECT_EQ(key.Modifiers, 6u);
}

TEST(StoreChoice, FunctionKeyTakesTheTickedModifiers)
{
    FakeKeyboard keyboard;
    Fill(ChangeKeyTable, keyboard);
    StoredKey key = StoreChoice(ChangeKeyTable, 3, true, true, false);
    EXPECT_EQ(key.VirtualKey, 113u);
    EXPECT_EQ(key.Modifiers, 6u);
    key = StoreChoice(ChangeKeyTable, 3, false, false, true);
    EXPECT_EQ(key.Modifiers, 1u);
    key = StoreChoice(ChangeKeyTable, 17, true, true, true);   // なし
    EXPECT_EQ(key.VirtualKey, 0u);
    EXPECT_EQ(key.Modifiers, 0u);
}

TEST(StoreChoice, NoSelectionFallsToFirstRowNotOffered)
{
    FakeKeyboard keyboard;
    keyboard.noScanCode = {124};
    Fill(ChangeKeyTable, keyboard);
    StoredKey key = StoreChoice(ChangeKeyTable, -1, true, false, true);
    EXPECT_EQ(key.VirtualKey, 124u);
    EXPECT_EQ(key.Modifiers, 5u);

    keyboard.noScanCode.clear();
    Fill(ChangeKeyTable, keyboard);
    key = StoreChoice(ChangeKeyTable, -1, true, true, true);
    EXPECT_EQ(key.VirtualKey, 0u);
    EXPECT_EQ(key.Modifiers, 0u);
}

TEST(StoreChoice, StoredKeyRoundTripsThroughTheMenu)
{
    // Whatever the dialog shows for a stored key, OK without a change stores
    // the same key again, so nothing is re-registered.
    FakeKeyboard keyboard;
    Fill(ChangeKeyTable, keyboard);
    const uint32_t keys[][2] = {{113, 0}, {113, 6}, {126, 7}, {16, 5}, {16, 6}, {0, 0}};
    for (const auto &stored : keys) {
        const KeyChoice *row = FindCurrentChoice(ChangeKeyTable, stored[0], stored[1]);
        uint32_t ticks = stored[1] != row->FixedModifiers ? stored[1] : 0;
        StoredKey key = StoreChoice(ChangeKeyTable, row->ListIndex, (ticks & 4) != 0,
                                    (ticks & 2) != 0, (ticks & 1) != 0);
        EXPECT_EQ(key.VirtualKey, stored[0]);
        EXPECT_EQ(key.Modifiers, stored[1]);
    }
}

}  // namespace
