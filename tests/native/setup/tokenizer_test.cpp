// Tokenizer: quotes, separators, the shared scan position, double-byte text.
#include <gtest/gtest.h>

#include "test_support.h"

using sctest::Tokens;
using V = std::vector<std::string>;

TEST(Tokenizer, SplitsOnBlanksAndTabsAndSkipsRuns) {
    EXPECT_EQ(Tokens("  copy\t\ta.txt   b.txt \t"), (V{"copy", "a.txt", "b.txt"}));
    EXPECT_EQ(Tokens(""), V{});
    EXPECT_EQ(Tokens(" \t \t"), V{});
}

TEST(Tokenizer, QuotedArgumentsKeepBlanksAndLoseTheirQuotes) {
    EXPECT_EQ(Tokens("move Klvo.exe \"%DEFDIR%Klvo.exe\" \"Kelvo exe file\""),
              (V{"move", "Klvo.exe", "%DEFDIR%Klvo.exe", "Kelvo exe file"}));
}

TEST(Tokenizer, EmptyQuotesGiveAnEmptyTokenNotTheEnd) {
    EXPECT_EQ(Tokens("regsetvalue 2 \"K\" \"\" 1 \"v\""),
              (V{"regsetvalue", "2", "K", "", "1", "v"}));
    EXPECT_EQ(Tokens("\"\""), V{""});
}

TEST(Tokenizer, UnclosedQuoteRunsToTheEndOfTheLine) {
    EXPECT_EQ(Tokens("del \"a b\tc "), (V{"del", "a b\tc "}));
    EXPECT_EQ(Tokens("del \""), (V{"del", ""}));
}

TEST(Tokenizer, ClosingQuoteEndsTheTokenWithoutASeparator) {
    EXPECT_EQ(Tokens("\"ab\"cd"), (V{"ab", "cd"}));
    EXPECT_EQ(Tokens("\"ab\"\"cd\""), (V{"ab", "cd"}));
}

TEST(Tokenizer, QuoteInsideAPlainTokenIsOrdinary) {
    EXPECT_EQ(Tokens("ab\"cd ef\" g"), (V{"ab\"cd", "ef\"", "g"}));
}

TEST(Tokenizer, SeparatorSetIsTheCallersChoice) {
    // The command line is cut at blanks only: a tab stays inside the token.
    EXPECT_EQ(Tokens("-u\t-s -i", " "), (V{"-u\t-s", "-i"}));
}

TEST(Tokenizer, ScanPositionIsSharedAndStaysAtTheEnd) {
    char first[] = "a b";
    char second[] = "x y";
    EXPECT_STREQ(sc::NextToken(first, " "), "a");
    EXPECT_STREQ(sc::NextToken(second, " "), "x");  // a new text restarts the scan
    EXPECT_STREQ(sc::NextToken(nullptr, " "), "y");
    EXPECT_EQ(sc::NextToken(nullptr, " "), nullptr);
    EXPECT_EQ(sc::NextToken(nullptr, " "), nullptr);
    EXPECT_STREQ(first, "a");  // the separator after a token becomes NUL
}

TEST(Tokenizer, DoubleByteTrailBytesAreNeverSeparatorsOrQuotes) {
    // 0x95 0x5C, 0x83 0x5C: trail byte backslash; 0x81 0x22 and 0x81 0x20:
    // a lead byte followed by quote or blank steps as one character.
    EXPECT_EQ(Tokens("del \"C:\\\x95\x5C\\\x83\x5C.txt\""),
              (V{"del", "C:\\\x95\x5C\\\x83\x5C.txt"}));
    EXPECT_EQ(Tokens("\"a\x81\"b\" c"), (V{"a\x81\"b", "c"}));
    EXPECT_EQ(Tokens("a\x81 b c"), (V{"a\x81 b", "c"}));
    EXPECT_EQ(Tokens("x\x81\"y z"), (V{"x\x81\"y", "z"}));
    // A lead byte at the very end does not step over the NUL.
    EXPECT_EQ(Tokens("ab\x81"), V{"ab\x81"});
    EXPECT_EQ(Tokens("\"ab\x81"), V{"ab\x81"});
}

TEST(CodePage932, LeadBytesAndCaseInsensitiveEquality) {
    EXPECT_FALSE(sc::IsLeadByte932(0x80));
    EXPECT_TRUE(sc::IsLeadByte932(0x81));
    EXPECT_TRUE(sc::IsLeadByte932(0x9F));
    EXPECT_FALSE(sc::IsLeadByte932(0xA0));
    EXPECT_FALSE(sc::IsLeadByte932(0xDF));
    EXPECT_TRUE(sc::IsLeadByte932(0xE0));
    EXPECT_TRUE(sc::IsLeadByte932(0xFC));
    EXPECT_FALSE(sc::IsLeadByte932(0xFD));
    EXPECT_TRUE(sc::EqualNoCase("C:\\Program Files", "c:\\PROGRAM FILES"));
    EXPECT_FALSE(sc::EqualNoCase("abc", "abcd"));
    // Trail bytes that look like ASCII letters are not case-folded.
    EXPECT_FALSE(sc::EqualNoCase("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(sc::EqualNoCase("\x83\x41x", "\x83\x41X"));
}

TEST(CodePage932, CopyTextNeverSplitsACharacter) {
    char out[5];
    EXPECT_EQ(sc::CopyText(out, sizeof out, "abcd"), 1);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(sc::CopyText(out, sizeof out, "abc\x82\xA0"), 0);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(sc::CopyText(out, sizeof out, "\x82\xA0\x82\xA2z"), 0);
    EXPECT_STREQ(out, "\x82\xA0\x82\xA2");
}
