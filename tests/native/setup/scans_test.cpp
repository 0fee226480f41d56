// Start-up scan for the product name and the meter scan of a block.
#include <gtest/gtest.h>

#include "test_support.h"

using sctest::FakeMachine;
using sctest::TestScript;

namespace {

std::string AppName(const std::string& text) {
    TestScript s(text);
    char out[sc::kPathSize];
    sc::ScanAppName(s.get(), out);
    return out;
}

// Runs the meter scan from the line after the first startmeter line.
sc::MeterScanResult Meter(const std::string& text, sc::MeterScan* scan) {
    TestScript s(text);
    char line[sc::kPathSize];
    while (sc::FetchCommandLine(s.get(), line) != sc::FetchNoLine) {
        if (sc::LookupCommand(sc::NextToken(line, " \t")) == sc::CmdStartMeter) break;
    }
    sc::ScriptHost host = FakeMachine::Host();
    int32_t before = s->nextLine;
    sc::MeterScanResult r = sc::ScanMeterTotal(s.get(), &host, scan);
    EXPECT_EQ(s->nextLine, before);  // the scan does not move the cursor
    return r;
}

}  // namespace

TEST(AppNameScan, FirstAppnameLineWinsInAnyCase) {
    EXPECT_EQ(AppName("# x\n\nappname \"Kelvo\"\nappname Other\nend\n"), "Kelvo");
    EXPECT_EQ(AppName("  APPNAME\t\"My App\" extra\n"), "My App");
}

TEST(AppNameScan, DefaultWhenNoneOrOnlyCommented) {
    EXPECT_EQ(AppName("end\n"), "Orvalt");
    EXPECT_EQ(AppName(";appname X\n#appname Y\n"), "Orvalt");
    EXPECT_EQ(AppName(""), "Orvalt");
    EXPECT_EQ(AppName("appname X"), "Orvalt");  // no LF: not a line
    EXPECT_EQ(AppName("appnamex Y\n"), "Orvalt");
}

TEST(AppNameScan, AppnameWithoutANameKeepsTheDefaultAndStops) {
    EXPECT_EQ(AppName("appname\nappname Later\n"), "Orvalt");
}

class MeterScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeMachine::Reset();
        FakeMachine::files["Klvo.exe"] = 50000;
        FakeMachine::files["C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe"] = 7000;
    }
    sc::MeterScan scan{};
};

TEST_F(MeterScanTest, AddsWeightsAndFileSizesUpToEndmeter) {
    const char* text =
        "startmeter\n"
        "; comment\n"
        "mkdir \"%DEFDIR%\"\n"
        "MOVE Klvo.exe \"%DEFDIR%Klvo.exe\"\n"
        "copy \"%DEFDIR%System\\Rouninst.exe\" x\n"
        "welcome 3 x\n"
        "unknownword 5\n"
        "regsetvalue 1 a b 1 c\n"
        "endmeter\n"
        "copy missing.txt x\n"
        "del after\n";
    EXPECT_EQ(Meter(text, &scan), sc::MeterOk);
    EXPECT_EQ(scan.total, 1024u + 50000u + 7000u + 1024u);
}

TEST_F(MeterScanTest, IgnoresSectionsAndRunsToTheLastLineWithoutEndmeter) {
    EXPECT_EQ(Meter("startmeter\nstartinstall\ndel a\nendinstall\nstartuninstall\n"
                    "del b\nenduninstall\n",
                    &scan),
              sc::MeterOk);
    EXPECT_EQ(scan.total, 2048u);
}

TEST_F(MeterScanTest, BlockWithoutWeightsIsEmpty) {
    EXPECT_EQ(Meter("startmeter\nendmeter\ndel x\n", &scan), sc::MeterEmpty);
    EXPECT_EQ(scan.total, 0u);
    EXPECT_STREQ(scan.missingPath, "");
    EXPECT_EQ(Meter("startmeter\nddestart\nwelcome 1 x\n", &scan), sc::MeterEmpty);
    FakeMachine::files["zero.txt"] = 0;
    EXPECT_EQ(Meter("startmeter\ncopy zero.txt x\nendmeter\n", &scan), sc::MeterEmpty);
}

TEST_F(MeterScanTest, NamesTheFirstMissingSourceExpanded) {
    EXPECT_EQ(Meter("startmeter\ndel a\ncopy \"%WINDIR%gone.exe\" x\ncopy other y\nendmeter\n",
                    &scan),
              sc::MeterMissing);
    EXPECT_STREQ(scan.missingPath, "C:\\WINDOWS\\gone.exe");
    EXPECT_EQ(scan.problemLine, 2);
}

TEST_F(MeterScanTest, ReportsLinesItCannotRead) {
    EXPECT_EQ(Meter("startmeter\ndel a\ncopy\nendmeter\n", &scan), sc::MeterNoSource);
    EXPECT_EQ(scan.problemLine, 2);

    FakeMachine::dest = std::string(255, 'd');
    EXPECT_EQ(Meter("startmeter\nmove \"%DEFDIR%abcdef\" x\n", &scan), sc::MeterArgTooLong);
    EXPECT_EQ(scan.problemLine, 1);

    std::string longLine = "del " + std::string(300, 'x');
    EXPECT_EQ(Meter("startmeter\n" + longLine + "\nendmeter\n", &scan), sc::MeterLineTooLong);
    EXPECT_EQ(scan.problemLine, 1);
    // A long comment is harmless.
    EXPECT_EQ(Meter("startmeter\n;" + longLine + "\ndel a\n", &scan), sc::MeterOk);
}

TEST_F(MeterScanTest, TotalIsExactBeyondFourGibibytes) {
    FakeMachine::files["big1"] = 0x100000000ull;      // exactly 4 GiB
    FakeMachine::files["big2"] = 0x0FFFFFFFFull + 3;  // just over
    EXPECT_EQ(Meter("startmeter\ncopy big1 a\ncopy big2 b\ndel c\nendmeter\n", &scan), sc::MeterOk);
    EXPECT_EQ(scan.total, 0x100000000ull + 0x100000002ull + 1024u);
}

TEST_F(MeterScanTest, ShippedInstallBlockTotal) {
    FakeMachine::files.clear();
    FakeMachine::files["Klvo.exe"] = 30000;
    FakeMachine::files["Klvo.hlp"] = 20000;
    FakeMachine::files["Readme.txt"] = 4000;
    FakeMachine::files["Setup.exe"] = 25000;
    const char* text =
        "startinstall\n"
        "\tstartmeter\n"
        ";\t\tfile copy\n"
        "\t\tmkdir \"%DEFDIR%\"\n"
        "\t\tmkdir \"%DEFDIR%System\"\n"
        "\t\tmove Klvo.exe \"%DEFDIR%Klvo.exe\" \"exe\"\n"
        "\t\tmove Klvo.hlp \"%DEFDIR%System\\Klvo.hlp\" \"help\"\n"
        "\t\tmove Readme.txt \"%DEFDIR%Readme.txt\" \"readme\"\n"
        "\t\tcopy Setup.exe \"%DEFDIR%System\\Rouninst.exe\" \"uninstaller\"\n"
        "\t\tregdeletekey 2 \"SOFTWARE\\Mokra\\Kelvo\"\n"
        "\t\tregcreatekey 2 \"SOFTWARE\\Mokra\\Kelvo\\2.00\"\n"
        "\tendmeter\n";
    EXPECT_EQ(Meter(text, &scan), sc::MeterOk);
    EXPECT_EQ(scan.total, 2 * 1024u + 30000u + 20000u + 4000u + 25000u + 2 * 1024u);
}
