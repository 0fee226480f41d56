// Byte-string helpers, including the code-page-932-aware folder cut of the
// help-file lookup.
#include <gtest/gtest.h>
#include <string>
#include "core.h"

namespace {

TEST(CoreText, CutAtLastBackslash)
{
    char path[64] = "C:\\Program Files\\Kelvo\\KLVO.EXE";
    ASSERT_EQ(CutAtLastBackslash(path), 1);
    EXPECT_STREQ(path, "C:\\Program Files\\Kelvo");

    char none[8] = "KLVO";
    EXPECT_EQ(CutAtLastBackslash(none), 0);
    EXPECT_STREQ(none, "KLVO");
}

TEST(CoreText, TrailByte5CIsNotASeparator)
{
    // "表" is 0x95 0x5C in code page 932.
    char path[64] = "C:\\\x95\x5C\\KLVO.EXE";
    ASSERT_EQ(CutAtLastBackslash(path), 1);
    EXPECT_STREQ(path, "C:\\\x95\x5C");
    char folder[64] = "C:\\\x95\x5C";
    ASSERT_EQ(CutAtLastBackslash(folder), 1);
    EXPECT_STREQ(folder, "C:");
}

TEST(CoreText, DropBrokenTailKeepsWholeCharacters)
{
    char cut[16] = "C:\\a\x82\xA0\x82";          // "あ" and half of another
    EXPECT_EQ(DropBrokenTail(cut), 1);
    EXPECT_STREQ(cut, "C:\\a\x82\xA0");
    char whole[16] = "\x95\x5C\x82\xA0";           // two whole characters, one with trail byte 0x5C
    EXPECT_EQ(DropBrokenTail(whole), 0);
    EXPECT_STREQ(whole, "\x95\x5C\x82\xA0");
    char trailLead[8] = "\x82\x9F";                // 0x9F is a trail byte here, not a lead byte
    EXPECT_EQ(DropBrokenTail(trailLead), 0);
    EXPECT_STREQ(trailLead, "\x82\x9F");
}

TEST(CoreText, AppendNeverOverruns)
{
    char buffer[12];
    ASSERT_EQ(CopyText(buffer, sizeof buffer, "C:\\Kel"), 1);
    EXPECT_EQ(AppendText(buffer, sizeof buffer, "\\Syst"), 1);
    EXPECT_STREQ(buffer, "C:\\Kel\\Syst");
    EXPECT_EQ(AppendText(buffer, sizeof buffer, "x"), 0);
    EXPECT_STREQ(buffer, "C:\\Kel\\Syst");
    EXPECT_EQ(CopyText(buffer, 5, "12345"), 0);
}

TEST(CoreText, Equality)
{
    EXPECT_TRUE(TextEqual("", ""));
    EXPECT_TRUE(TextEqual("MSIME.IME", "MSIME.IME"));
    EXPECT_FALSE(TextEqual("MSIME.IME", "msime.ime"));
    EXPECT_FALSE(TextEqual("A", "AB"));
    EXPECT_FALSE(TextEqual("AB", "A"));
}

}  // namespace
