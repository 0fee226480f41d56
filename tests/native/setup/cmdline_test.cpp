// Command-line options of the installer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

struct Parsed {
    std::vector<char> buffer;
    sc::CommandLineOptions options;
    std::string file() const { return options.cleanupFile ? options.cleanupFile : "<absent>"; }
    std::string dir() const { return options.cleanupDir ? options.cleanupDir : "<absent>"; }
};

Parsed Parse(const std::string& line) {
    Parsed p;
    p.buffer.assign(line.begin(), line.end());
    p.buffer.push_back('\0');
    p.options.installMode = 42;  // everything is set from scratch
    p.options.silent = 42;
    sc::ParseCommandLine(p.buffer.data(), &p.options);
    return p;
}

}  // namespace

TEST(CommandLine, DefaultsWithoutOptions) {
    Parsed p = Parse("\"C:\\Program Files\\Setup.exe\"");
    EXPECT_EQ(p.options.installMode, 1);
    EXPECT_EQ(p.options.silent, 0);
    EXPECT_EQ(p.options.cleanupInstall, 0);
    EXPECT_EQ(p.options.cleanupUninstall, 0);
    EXPECT_EQ(p.file(), "<absent>");
    EXPECT_EQ(p.dir(), "<absent>");
    sc::CommandLineOptions o;
    sc::ParseCommandLine(nullptr, &o);
    EXPECT_EQ(o.installMode, 1);
}

TEST(CommandLine, ModeOptionsInAnyCaseLastOneWins) {
    EXPECT_EQ(Parse("Setup.exe -U").options.installMode, 0);
    EXPECT_EQ(Parse("Setup.exe -i -u").options.installMode, 0);
    EXPECT_EQ(Parse("Setup.exe -u -i").options.installMode, 1);
    Parsed p = Parse("Setup.exe  -S   -u ");
    EXPECT_EQ(p.options.silent, 1);
    EXPECT_EQ(p.options.installMode, 0);
    // Quotes are removed before the comparison; near misses are ignored.
    EXPECT_EQ(Parse("x \"-u\"").options.installMode, 0);
    EXPECT_EQ(Parse("-ux -uninstall u").options.installMode, 1);
}

TEST(CommandLine, OnlyTheBlankSeparates) {
    Parsed p = Parse("Setup.exe -u\t-s");
    EXPECT_EQ(p.options.installMode, 1);
    EXPECT_EQ(p.options.silent, 0);
}

TEST(CommandLine, CleanupInstallTakesTheNextTokenEvenAnOption) {
    Parsed p = Parse("Rouninst.exe -cleanupinstall \"C:\\My Dist\\Setup.exe\"");
    EXPECT_EQ(p.options.cleanupInstall, 1);
    EXPECT_EQ(p.file(), "C:\\My Dist\\Setup.exe");
    p = Parse("x -CleanupInstall -s");
    EXPECT_EQ(p.options.cleanupInstall, 1);
    EXPECT_EQ(p.file(), "-s");
    EXPECT_EQ(p.options.silent, 0);
}

TEST(CommandLine, MissingOperandsStayAbsent) {
    Parsed p = Parse("x -cleanupinstall");
    EXPECT_EQ(p.options.cleanupInstall, 1);
    EXPECT_EQ(p.file(), "<absent>");
    p = Parse("x -cleanupuninstall \"C:\\WINDOWS\\Rouninst.exe\"");
    EXPECT_EQ(p.options.cleanupUninstall, 1);
    EXPECT_EQ(p.file(), "C:\\WINDOWS\\Rouninst.exe");
    EXPECT_EQ(p.dir(), "<absent>");
}

TEST(CommandLine, CleanupUninstallTakesFileAndFolder) {
    Parsed p = Parse(
        "Rouninst.exe -cleanupuninstall \"C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe\" "
        "\"C:\\Program Files\\Mokra\\Kelvo\\System\" -u");
    EXPECT_EQ(p.options.cleanupUninstall, 1);
    EXPECT_EQ(p.file(), "C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe");
    EXPECT_EQ(p.dir(), "C:\\Program Files\\Mokra\\Kelvo\\System");
    EXPECT_EQ(p.options.installMode, 0);
    // The folder operand is writable: pruning cuts it in place.
    EXPECT_EQ(sc::CutAtLastBackslash(p.options.cleanupDir), 1);
    EXPECT_EQ(p.dir(), "C:\\Program Files\\Mokra\\Kelvo");
}

TEST(CommandLine, BothCleanupOptionsTogether) {
    Parsed p = Parse("x -cleanupinstall a -cleanupuninstall b c");
    EXPECT_EQ(p.options.cleanupInstall, 1);
    EXPECT_EQ(p.options.cleanupUninstall, 1);
    EXPECT_EQ(p.file(), "b");
    EXPECT_EQ(p.dir(), "c");
}
