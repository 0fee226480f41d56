// Folder macros: each of the four, letter case, placement, the backslash
// rule, percent signs that start no macro, and results that do not fit.
#include <gtest/gtest.h>

#include "test_support.h"

using sctest::Expand;
using sctest::FakeMachine;

class Macros : public ::testing::Test {
protected:
    void SetUp() override { FakeMachine::Reset(); }
};

TEST_F(Macros, EachFolderAloneHasNoTrailingBackslash) {
    EXPECT_EQ(Expand("%PRGDIR%"), "C:\\Program Files");
    EXPECT_EQ(Expand("%DEFDIR%"), "C:\\Program Files\\Mokra\\Kelvo");
    EXPECT_EQ(Expand("%SYSDIR%"), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(Expand("%WINDIR%"), "C:\\WINDOWS");
}

TEST_F(Macros, TextAfterAMacroGetsOneBackslash) {
    EXPECT_EQ(Expand("%WINDIR%Rouninst.exe"), "C:\\WINDOWS\\Rouninst.exe");
    EXPECT_EQ(Expand("%DEFDIR%System\\Klvo.hlp"),
              "C:\\Program Files\\Mokra\\Kelvo\\System\\Klvo.hlp");
    // A backslash written by the author doubles up.
    EXPECT_EQ(Expand("%DEFDIR%\\x"), "C:\\Program Files\\Mokra\\Kelvo\\\\x");
    // So does a folder that is a drive root.
    FakeMachine::dest = "C:\\";
    EXPECT_EQ(Expand("%DEFDIR%Kelvo"), "C:\\\\Kelvo");
    EXPECT_EQ(Expand("%DEFDIR%"), "C:\\");
}

TEST_F(Macros, AnyLetterCaseAnywhereInTheArgument) {
    EXPECT_EQ(Expand("%defdir%a"), "C:\\Program Files\\Mokra\\Kelvo\\a");
    EXPECT_EQ(Expand("%WinDir%a"), "C:\\WINDOWS\\a");
    EXPECT_EQ(Expand("\"x %sysdir% y\""), "\"x C:\\WINDOWS\\SYSTEM\\ y\"");
    EXPECT_EQ(Expand("%DEFDIR%System\\Rouninst.exe -u"),
              "C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe -u");
    EXPECT_EQ(Expand("%WINDIR%%SYSDIR%"), "C:\\WINDOWS\\C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(Expand("pre%PRGDIR%"), "preC:\\Program Files");
}

TEST_F(Macros, PercentThatStartsNoMacroIsCopied) {
    EXPECT_EQ(Expand("100%"), "100%");
    EXPECT_EQ(Expand("%TEMP%\\x"), "%TEMP%\\x");
    EXPECT_EQ(Expand("%%DEFDIR%"), "%C:\\Program Files\\Mokra\\Kelvo");
    EXPECT_EQ(Expand("%DEFDIR"), "%DEFDIR");  // cut short: never reads past the end
    EXPECT_EQ(Expand("%DEF_DIR%"), "%DEF_DIR%");
    EXPECT_EQ(Expand(""), "");
    EXPECT_EQ(Expand(nullptr), "");
}

TEST_F(Macros, FoldersAreReadAtTheMomentOfExpansion) {
    EXPECT_EQ(Expand("%DEFDIR%"), "C:\\Program Files\\Mokra\\Kelvo");
    FakeMachine::dest = "D:\\Apps";
    EXPECT_EQ(Expand("%DEFDIR%"), "D:\\Apps");
    FakeMachine::dest.clear();
    EXPECT_EQ(Expand("%DEFDIR%x"), "\\x");
    EXPECT_EQ(FakeMachine::systemDirCalls, 0);
    Expand("%SYSDIR%%SYSDIR%");
    EXPECT_EQ(FakeMachine::systemDirCalls, 2);
}

TEST_F(Macros, DoubleByteTextIsCopiedUnchanged) {
    EXPECT_EQ(Expand("%DEFDIR%\x95\x5C"), "C:\\Program Files\\Mokra\\Kelvo\\\x95\x5C");
}

TEST_F(Macros, ResultThatDoesNotFitIsReportedAndNeverOverruns) {
    sc::ExpandResult r;
    std::string exact(259, 'a');
    EXPECT_EQ(Expand(exact.c_str(), &r), exact);
    EXPECT_EQ(r, sc::ExpandOk);

    FakeMachine::dest = std::string(250, 'd');
    std::string out = Expand("%DEFDIR%123456789", &r);  // 250 + 1 + 9 = 260 bytes
    EXPECT_EQ(r, sc::ExpandTooLong);
    EXPECT_EQ(out.size(), 259u);  // NUL-ended within the buffer (checked by ASan too)

    out = Expand("%DEFDIR%12345678", &r);  // exactly 259
    EXPECT_EQ(r, sc::ExpandOk);
    EXPECT_EQ(out.size(), 259u);

    // The data buffer of regsetvalue is larger.
    out = Expand("%DEFDIR%%DEFDIR%", &r, sc::kDataSize);
    EXPECT_EQ(r, sc::ExpandOk);
    EXPECT_EQ(out.size(), 501u);
    out = Expand("%DEFDIR%%DEFDIR%", &r, 40);
    EXPECT_EQ(r, sc::ExpandTooLong);
    EXPECT_EQ(out.size(), 39u);
}

TEST_F(Macros, SystemFolderThatDoesNotFitIsReported) {
    FakeMachine::systemDir = std::string(300, 's');
    sc::ExpandResult r;
    Expand("%SYSDIR%", &r);
    EXPECT_EQ(r, sc::ExpandTooLong);
}

TEST_F(Macros, MissingHostServicesExpandToEmpty) {
    sc::ScriptHost host{};
    char out[sc::kPathSize];
    EXPECT_EQ(sc::ExpandMacros(out, "%PRGDIR%a%SYSDIR%", &host), sc::ExpandOk);
    EXPECT_STREQ(out, "\\a");
}
