// Script checker: each reason it gives, and a clean pass over a script
// shaped like the shipped one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using sctest::FakeMachine;
using sctest::TestScript;

namespace {

struct Finding {
    int32_t line;
    sc::CheckSeverity severity;
    std::string reason;
};

void Collect(void* context, int32_t line, sc::CheckSeverity severity, const char* reason) {
    static_cast<std::vector<Finding>*>(context)->push_back({line, severity, reason});
}

class Checker : public ::testing::Test {
protected:
    void SetUp() override {
        FakeMachine::Reset();
        FakeMachine::files["Klvo.exe"] = 30000;
        FakeMachine::files["Setup.exe"] = 25000;
    }

    // Checks a script; the findings land in `found`.
    sc::CheckResult Check(const std::string& text) {
        TestScript s(text);
        found.clear();
        sc::ScriptHost host = FakeMachine::Host();
        s->nextLine = 5;
        sc::CheckResult r = sc::CheckScript(s.get(), &host, &Collect, &found);
        EXPECT_EQ(s->nextLine, 5);
        int errors = 0, warnings = 0;
        for (const Finding& f : found) (f.severity == sc::CheckError ? errors : warnings)++;
        EXPECT_EQ(r.errors, errors);
        EXPECT_EQ(r.warnings, warnings);
        return r;
    }

    // The only finding, which must mention `text`, on `line`.
    void ExpectOnly(int32_t line, sc::CheckSeverity severity, const std::string& text) {
        ASSERT_EQ(found.size(), 1u) << (found.empty() ? "" : found[0].reason);
        EXPECT_EQ(found[0].line, line);
        EXPECT_EQ(found[0].severity, severity);
        EXPECT_NE(found[0].reason.find(text), std::string::npos) << found[0].reason;
    }

    std::vector<Finding> found;
};

const char* const kGood =
    "# sample\n"
    "appname \"Kelvo\"\n"
    "chkostype 2 1\n"
    "defaultdirfromreg 2 \"SOFTWARE\\x\" \"Path\"\n"
    "defaultdirchk\n"
    "del \"%WINDIR%Rouninst.exe\"\n"
    "welcome 3 \"%PRGDIR%Mokra\\Kelvo\"\n"
    "chkclassexec \"KelvoClass\" \"Kelvo\"\n"
    "startinstall\n"
    "\tstartmeter\n"
    "\t\tmkdir \"%DEFDIR%System\"\n"
    "\t\tmove Klvo.exe \"%DEFDIR%Klvo.exe\" \"exe\"\n"
    "\t\tcopy Setup.exe \"%DEFDIR%System\\Rouninst.exe\"\n"
    "\t\tregsetvalue 2 \"K\" \"\" 1 \"%DEFDIR%Klvo.exe\"\n"
    "\t\tregsetvalue 2 \"software\\X\" \"path\" 1 \"%DEFDIR%\"\n"
    "\tendmeter\n"
    "\tddestart\n"
    "\tstartmeter\n"
    "\t\tcreategroup \"g\"\n"
    "\t\taddicon \"%DEFDIR%Klvo.exe\" \"g\" \"Kelvo\"\n"
    "\tendmeter\n"
    "\tcleanupinstall \"%DEFDIR%System\\Rouninst.exe\"\n"
    "endinstall\n"
    "startuninstall\n"
    "\tstartmeter\n"
    "\t\tdel \"%DEFDIR%Klvo.exe\"\n"
    "\t\tregdeletekey 1 \"Software\\Mokra\\Kelvo\"\n"
    "\t\tdeleteicon \"g\" \"Kelvo\"\n"
    "\tendmeter\n"
    "\tcleanupuninstall \"%WINDIR%Rouninst.exe\" \"%DEFDIR%System\"\n"
    "enduninstall\n"
    "end\n";

}  // namespace

TEST_F(Checker, WellFormedScriptPasses) {
    sc::CheckResult r = Check(kGood);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.warnings, 0);
    for (const Finding& f : found) ADD_FAILURE() << f.line << ": " << f.reason;
}

TEST_F(Checker, UnknownCommandIsAWarning) {
    Check("apname \"x\"\n ;indented\nend\n");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].severity, sc::CheckWarning);
    EXPECT_NE(found[0].reason.find("apname"), std::string::npos);
    EXPECT_EQ(found[1].line, 1);  // a ';' after a blank is no comment
}

TEST_F(Checker, MissingRequiredArguments) {
    Check("copy Klvo.exe\nend\n");
    ExpectOnly(0, sc::CheckError, "copy needs 2 arguments, 1 given");
    Check("regsetvalue 2 \"K\" \"\" 1\nend\n");
    ExpectOnly(0, sc::CheckError, "needs 5 arguments, 4 given");
    Check("welcome\nend\n");
    ExpectOnly(0, sc::CheckError, "welcome needs 2 arguments, 0 given");
    // An empty quoted argument is an argument.
    Check("deleteicon \"\" \"\"\nend\n");
    EXPECT_TRUE(found.empty());
    // Optional descriptions may be left out; extra arguments are only noted.
    Check("del a\nmkdir b \"desc\"\nend\n");
    EXPECT_TRUE(found.empty());
    Check("del a b c\nend\n");
    ExpectOnly(0, sc::CheckWarning, "extra arguments");
}

TEST_F(Checker, NumbersWithoutDigitsOrOutsideTheirTablesAreNoted) {
    Check("chkostype two 1\nend\n");
    ExpectOnly(0, sc::CheckWarning, "argument 1 is not a number");
    Check("regcreatekey 4 K\nend\n");
    ExpectOnly(0, sc::CheckWarning, "4 names no registry root key");
    Check("defaultdirfromreg -1 K V\nend\n");
    ExpectOnly(0, sc::CheckWarning, "-1 names no registry root key");
    Check("regsetvalue 3 K V 2 data\nend\n");
    ExpectOnly(0, sc::CheckWarning, "2 is no value type");
    Check("chkostype 0 4\nend\n");
    ExpectOnly(0, sc::CheckWarning, "4 is outside the system table");
    Check("regsetvalue 0 K V 0 12\nchkostype 3 3\nwelcome 7 x\nend\n");
    EXPECT_TRUE(found.empty());
}

TEST_F(Checker, LineOver259Bytes) {
    std::string line = "del \"" + std::string(300, 'x') + "\"";
    Check(line + "\nend\n");
    ExpectOnly(0, sc::CheckError, "306 bytes");
    // Also a comment, since every line buffer holds 259 bytes.
    Check(";" + std::string(259, 'c') + "\nend\n");
    ExpectOnly(0, sc::CheckError, "260 bytes");
}

TEST_F(Checker, ArgumentThatDoesNotFitAfterExpansion) {
    FakeMachine::dest = std::string(200, 'd');
    std::string name(70, 'n');
    Check("del \"%DEFDIR%" + name + "\"\nend\n");
    ExpectOnly(0, sc::CheckError, "argument 1 does not fit");
    // mkdir needs one byte more for its backslash.
    std::string exact(58, 'n');  // 200 + 1 + 58 = 259
    Check("del \"%DEFDIR%" + exact + "\"\nend\n");
    EXPECT_TRUE(found.empty());
    Check("mkdir \"%DEFDIR%" + exact + "\"\nend\n");
    ExpectOnly(0, sc::CheckError, "folder does not fit");
    // String data of regsetvalue has twice the room, and only type 1 expands.
    Check("regsetvalue 2 K V 1 \"%DEFDIR%%DEFDIR%\"\nend\n");
    EXPECT_TRUE(found.empty());
    Check("regsetvalue 2 K V 1 \"%DEFDIR%%DEFDIR%%DEFDIR%\"\nend\n");
    ExpectOnly(0, sc::CheckError, "data does not fit");
    Check("regsetvalue 2 K V 0 \"%DEFDIR%%DEFDIR%%DEFDIR%\"\nend\n");
    EXPECT_TRUE(found.empty());
}

TEST_F(Checker, SectionsOutOfBalance) {
    Check("startinstall\nend\n");
    ExpectOnly(0, sc::CheckError, "startinstall without endinstall");
    Check("endinstall\nend\n");
    ExpectOnly(0, sc::CheckError, "endinstall without startinstall");
    Check("startinstall\nstartinstall\nendinstall\nend\n");
    ExpectOnly(1, sc::CheckError, "opened at line 1");
    Check("startuninstall\nend\n");
    ExpectOnly(0, sc::CheckError, "startuninstall without enduninstall");
    Check("enduninstall\nend\n");
    ExpectOnly(0, sc::CheckError, "enduninstall without startuninstall");
    Check("startuninstall\nstartinstall\nendinstall\nenduninstall\nend\n");
    ExpectOnly(1, sc::CheckWarning, "install section inside an uninstall section");
}

TEST_F(Checker, NoEndLine) {
    Check("del a\n;end\n");
    ExpectOnly(-1, sc::CheckError, "no end line");
    Check("del a\nend");  // after the last LF: no line
    ExpectOnly(-1, sc::CheckError, "no end line");
    Check("del a\nEND\n");
    EXPECT_TRUE(found.empty());
}

// The uninstall section runs only for an installed copy that defaultdirchk
// found before welcome, in a folder that defaultdirfromreg read from where
// the installation recorded it.
TEST_F(Checker, UninstallSectionThatCanNeverRun) {
    const std::string read = "defaultdirfromreg 2 \"SOFTWARE\\V\\P\" \"Folder\"\n";
    const std::string install =
        "startinstall\nregsetvalue 2 \"SOFTWARE\\V\\P\" \"Folder\" 1 \"%DEFDIR%\"\nendinstall\n";
    const std::string uninstall = "startuninstall\ndel \"%DEFDIR%p.exe\"\nenduninstall\nend\n";
    Check(read + "welcome 3 x\n" + install + uninstall);
    ExpectOnly(5, sc::CheckError, "the uninstall section never runs: no defaultdirchk before welcome");
    Check(read + "welcome 3 x\ndefaultdirchk\n" + install + uninstall);
    ExpectOnly(6, sc::CheckError, "no defaultdirchk before welcome");
    // Inside the install section it does not run when uninstalling.
    Check(read + "startinstall\ndefaultdirchk\nendinstall\nwelcome 3 x\n" + install + uninstall);
    ExpectOnly(8, sc::CheckError, "no defaultdirchk before welcome");
    Check("defaultdirchk\n" + read + "welcome 3 x\n" + install + uninstall);
    ExpectOnly(6, sc::CheckError, "no defaultdirfromreg before the defaultdirchk of line 1");
    // A value the installation never writes: another name, another root,
    // or written only by the uninstall section.
    Check("defaultdirfromreg 2 \"SOFTWARE\\V\\P\" \"Path\"\ndefaultdirchk\nwelcome 3 x\n" + install + uninstall);
    ExpectOnly(6, sc::CheckError, "the install section never writes the key and value that defaultdirfromreg "
                                  "reads at line 1");
    Check("defaultdirfromreg 1 \"SOFTWARE\\V\\P\" \"Folder\"\ndefaultdirchk\nwelcome 3 x\n" + install + uninstall);
    ExpectOnly(6, sc::CheckError, "never writes");
    Check(read + "defaultdirchk\nwelcome 3 x\nstartuninstall\nregsetvalue 2 \"SOFTWARE\\V\\P\" \"Folder\" 1 x\n"
          "enduninstall\nend\n");
    ExpectOnly(3, sc::CheckError, "never writes");
    // Names match in any case; without welcome the check only has to come
    // before the section; a section that holds nothing is no finding.
    Check("defaultdirfromreg 2 \"software\\v\\p\" \"FOLDER\"\ndefaultdirchk\n" + install + uninstall);
    EXPECT_TRUE(found.empty()) << found[0].reason;
    Check("welcome 3 x\n" + install + "startuninstall\n;nothing\nenduninstall\nend\n");
    EXPECT_TRUE(found.empty());
}

TEST_F(Checker, MeterBlockWithTotalZero) {
    Check("startmeter\nendmeter\nend\n");
    ExpectOnly(0, sc::CheckError, "total of 0");
    Check("x\nstartmeter\nwelcome 1 a\nddestart\nendmeter\ndel a\nend\n");
    ASSERT_EQ(found.size(), 2u);  // the unknown word, then the block
    EXPECT_EQ(found[1].line, 1);
    EXPECT_NE(found[1].reason.find("total of 0"), std::string::npos);
}

TEST_F(Checker, MissingCopyAndMoveSources) {
    Check("startmeter\ncopy gone.txt a\nmove \"%WINDIR%old.exe\" b\ndel c\nendmeter\n"
          "copy alsogone x\nend\n");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].line, 1);
    EXPECT_NE(found[0].reason.find("gone.txt"), std::string::npos);
    EXPECT_EQ(found[1].line, 2);
    EXPECT_NE(found[1].reason.find("C:\\WINDOWS\\old.exe"), std::string::npos);
    EXPECT_EQ(found[2].line, 5);
    for (const Finding& f : found) EXPECT_EQ(f.severity, sc::CheckError);
}

TEST_F(Checker, WithoutAFileCallbackEveryFileIsPresent) {
    TestScript s("startmeter\ncopy gone.txt a\nendmeter\nend\n");
    sc::ScriptHost host = FakeMachine::Host();
    host.fileSize = nullptr;
    sc::CheckResult r = sc::CheckScript(s.get(), &host, nullptr, nullptr);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.warnings, 0);
}

// The author's tool adds the installer to the distribution as Setup.exe:
// only that one name, in the folder itself, is the installer.
TEST(InstallerFile, OnlyTheInstallersOwnNameInTheDistributionFolder) {
    EXPECT_TRUE(sc::NamesInstallerFile("Setup.exe"));
    EXPECT_TRUE(sc::NamesInstallerFile("SETUP.EXE"));
    EXPECT_TRUE(sc::NamesInstallerFile(".\\setup.exe"));
    EXPECT_TRUE(sc::NamesInstallerFile(".\\.\\Setup.exe"));
    EXPECT_FALSE(sc::NamesInstallerFile("bin\\Setup.exe"));
    EXPECT_FALSE(sc::NamesInstallerFile("C:\\Setup.exe"));
    EXPECT_FALSE(sc::NamesInstallerFile("Setup.exe.bak"));
    EXPECT_FALSE(sc::NamesInstallerFile("Setup"));
    EXPECT_FALSE(sc::NamesInstallerFile(".\\"));
    EXPECT_FALSE(sc::NamesInstallerFile(""));
    EXPECT_FALSE(sc::NamesInstallerFile(nullptr));
}
