// Line store: counting, CR removal, the end mark, long lines, comment
// skipping, and the line index agreeing with a plain scan.
#include <gtest/gtest.h>

#include "test_support.h"

using sctest::TestScript;

// Every behaviour of the store must be the same with and without the index.
class LineStore : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(IndexedOrScanned, LineStore, ::testing::Bool());

TEST_P(LineStore, CountsLfBytesBeforeTheEndMark) {
    EXPECT_EQ(TestScript("a\r\nb\r\n\x1A", GetParam())->lineCount, 2);
    EXPECT_EQ(TestScript("a\nb\n\x1A" "c\nd\n", GetParam())->lineCount, 2);
    EXPECT_EQ(TestScript("", GetParam())->lineCount, 0);
    EXPECT_EQ(TestScript("\x1A\n", GetParam())->lineCount, 0);
    EXPECT_EQ(TestScript("\n\n\n", GetParam())->lineCount, 3);
}

TEST_P(LineStore, CrIsDroppedAnywhereAndLfEndsTheLine) {
    TestScript s("a\rb\r\n\r\rc\rd\n\r\n", GetParam());
    ASSERT_EQ(s->lineCount, 3);
    EXPECT_EQ(s.Line(0), "ab");
    EXPECT_EQ(s.Line(1), "cd");
    EXPECT_EQ(s.Line(2), "");
    EXPECT_EQ(sc::LineLength(s.get(), 0), 2u);
}

TEST_P(LineStore, TextAfterTheLastLfIsNoLine) {
    // With and without the end mark: the tail is never read.
    TestScript marked("end\r\ntail\x1A", GetParam());
    TestScript unmarked("end\r\ntail", GetParam());
    for (TestScript* s : {&marked, &unmarked}) {
        ASSERT_EQ((*s)->lineCount, 1);
        EXPECT_EQ(s->Line(0), "end");
        sc::FetchResult r;
        EXPECT_EQ(s->Line(1, &r), "");
        EXPECT_EQ(r, sc::FetchNoLine);
        EXPECT_EQ(s->Line(-1, &r), "");
        EXPECT_EQ(r, sc::FetchNoLine);
    }
}

TEST_P(LineStore, NoFetchReadsPastTheBuffer) {
    // An exactly sized heap block: ASan reports any read beyond it.
    const char body[] = {'x', '\n', 'y', 'z'};
    char* text = new char[sizeof body];
    for (size_t i = 0; i < sizeof body; ++i) text[i] = body[i];
    sc::Script script{};
    sc::ScriptOpen(&script, text, sizeof body);
    uint32_t index[2];
    if (GetParam()) sc::ScriptBuildIndex(&script, index);
    char out[sc::kPathSize];
    EXPECT_EQ(sc::FetchLine(&script, out, 0), sc::FetchOk);
    EXPECT_STREQ(out, "x");
    EXPECT_EQ(sc::FetchLine(&script, out, 1), sc::FetchNoLine);
    EXPECT_EQ(sc::FetchCommandLine(&script, out), sc::FetchOk);
    EXPECT_EQ(sc::FetchCommandLine(&script, out), sc::FetchNoLine);
    EXPECT_EQ(sc::FetchCommandLine(&script, out), sc::FetchNoLine);
    EXPECT_EQ(script.nextLine, 1);
    delete[] text;
}

TEST_P(LineStore, LongLinesAreReportedNotSilentlyCut) {
    std::string exact(259, 'a');
    std::string over(260, 'b');
    TestScript s(exact + "\n" + over + "\n" + exact + "\r\r\n", GetParam());
    sc::FetchResult r;
    EXPECT_EQ(s.Line(0, &r), exact);
    EXPECT_EQ(r, sc::FetchOk);
    EXPECT_EQ(s.Line(1, &r), std::string(259, 'b'));
    EXPECT_EQ(r, sc::FetchTooLong);
    EXPECT_EQ(s.Line(2, &r), exact);  // CR bytes do not count
    EXPECT_EQ(r, sc::FetchOk);
    EXPECT_EQ(sc::LineLength(s.get(), 1), 260u);
}

TEST_P(LineStore, CutOfALongLineKeepsWholeCharacters) {
    std::string line = std::string(258, 'a') + "\x82\xA0" + "zz";
    TestScript s(line + "\n", GetParam());
    sc::FetchResult r;
    EXPECT_EQ(s.Line(0, &r), std::string(258, 'a'));
    EXPECT_EQ(r, sc::FetchTooLong);
}

TEST_P(LineStore, CommandLinesSkipCommentsByFirstByteOnly) {
    TestScript s("# head\n; note\n ; not a comment\n\n;x\ncopy a b\n", GetParam());
    char out[sc::kPathSize];
    EXPECT_EQ(s->currentLine, -1);
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchOk);
    EXPECT_STREQ(out, " ; not a comment");
    EXPECT_EQ(s->currentLine, 2);
    EXPECT_EQ(s->nextLine, 3);
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchOk);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchOk);
    EXPECT_STREQ(out, "copy a b");
    EXPECT_EQ(s->currentLine, 5);
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchNoLine);
    EXPECT_EQ(s->nextLine, 6);
}

TEST_P(LineStore, TrailingCommentsEndTheScriptCleanly) {
    TestScript s("end\n; a\n# b\n", GetParam());
    char out[sc::kPathSize];
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchOk);
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchNoLine);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(s->nextLine, 3);
}

TEST_P(LineStore, TooLongCommandLineNamesItsLine) {
    TestScript s(";" + std::string(300, 'c') + "\n" + std::string(300, 'x') + "\nend\n",
                 GetParam());
    char out[sc::kPathSize];
    EXPECT_EQ(sc::FetchCommandLine(s.get(), out), sc::FetchTooLong);  // long comment skipped
    EXPECT_EQ(s->currentLine, 1);
}

TEST(LineIndex, AgreesWithScanningOnEveryLine) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += std::string(static_cast<size_t>(i % 7), 'a' + i % 26);
        if (i % 5 == 0) text += "\r";
        if (i % 11 == 0) text += "\x82\xA0";
        text += "\n";
    }
    text += "tail";
    TestScript indexed(text, true);
    TestScript scanned(text, false);
    ASSERT_EQ(indexed->lineCount, 300);
    ASSERT_EQ(scanned->lineCount, 300);
    for (int32_t i = -1; i <= 301; ++i) {
        sc::FetchResult a, b;
        EXPECT_EQ(indexed.Line(i, &a), scanned.Line(i, &b)) << i;
        EXPECT_EQ(a, b) << i;
        EXPECT_EQ(sc::LineLength(indexed.get(), i), sc::LineLength(scanned.get(), i)) << i;
    }
}

TEST(LineIndex, NeedsOneEntryMoreThanLines) {
    TestScript s("a\nb\nc", false);
    EXPECT_EQ(sc::ScriptIndexEntries(s.get()), 3u);
    sc::Script empty{};
    sc::ScriptOpen(&empty, nullptr, 10);
    EXPECT_EQ(empty.lineCount, 0);
    EXPECT_EQ(sc::ScriptIndexEntries(&empty), 1u);
}
