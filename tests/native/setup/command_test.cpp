// Command table lookup and the shared number reader.
#include <gtest/gtest.h>

#include "test_support.h"

TEST(CommandTable, NamesWeightsAndOrder) {
    EXPECT_STREQ(sc::CommandTable[sc::CmdAppName].name, "appname");
    EXPECT_STREQ(sc::CommandTable[sc::CmdEndMeter].name, "endmeter");
    EXPECT_STREQ(sc::CommandTable[sc::CmdEnd].name, "end");
    EXPECT_STREQ(sc::CommandTable[sc::CmdChkOsType].name, "chkostype");
    EXPECT_EQ(sc::CommandTable[sc::CommandCount].name, nullptr);
    EXPECT_EQ(sc::CommandTable[sc::CmdCopy].weight, 99999999u);
    EXPECT_EQ(sc::CommandTable[sc::CmdMove].weight, sc::kFileSizeWeight);
    uint32_t weighted = 0;
    for (int i = 0; i < sc::CommandCount; ++i) {
        uint32_t w = sc::CommandTable[i].weight;
        EXPECT_TRUE(w == 0 || w == 1024 || w == sc::kFileSizeWeight) << i;
        if (w == 1024) ++weighted;
        // Every row is found under its own name, and at its own index.
        EXPECT_EQ(sc::LookupCommand(sc::CommandTable[i].name), i);
    }
    EXPECT_EQ(weighted, 10u);  // del mkdir rmdir, 3 registry, 4 Start menu
}

TEST(CommandTable, LookupIgnoresAsciiCaseOnly) {
    EXPECT_EQ(sc::LookupCommand("COPY"), sc::CmdCopy);
    EXPECT_EQ(sc::LookupCommand("Copy"), sc::CmdCopy);
    EXPECT_EQ(sc::LookupCommand("RegSetValue"), sc::CmdRegSetValue);
    EXPECT_EQ(sc::LookupCommand("end"), sc::CmdEnd);
    EXPECT_EQ(sc::LookupCommand("endx"), sc::CmdNone);
    EXPECT_EQ(sc::LookupCommand("en"), sc::CmdNone);
    EXPECT_EQ(sc::LookupCommand(";"), sc::CmdNone);
    EXPECT_EQ(sc::LookupCommand(""), sc::CmdNone);
    EXPECT_EQ(sc::LookupCommand(nullptr), sc::CmdNone);
}

TEST(Numbers, ReadLikeAtoi) {
    EXPECT_EQ(sc::ReadNumber("2"), 2);
    EXPECT_EQ(sc::ReadNumber("  \t-17xyz"), -17);
    EXPECT_EQ(sc::ReadNumber("+3"), 3);
    EXPECT_EQ(sc::ReadNumber("007"), 7);
    EXPECT_EQ(sc::ReadNumber("x1"), 0);
    EXPECT_EQ(sc::ReadNumber("-"), 0);
    EXPECT_EQ(sc::ReadNumber(""), 0);
    EXPECT_EQ(sc::ReadNumber(nullptr), 0);
    EXPECT_EQ(sc::ReadNumber("2147483647"), 2147483647);
    EXPECT_EQ(sc::ReadNumber("-2147483648"), INT32_MIN);
}

TEST(RegistryKeyNames, OnlyNamesOfBackslashesReachTheRoot) {
    EXPECT_TRUE(sc::NamesRootKey(nullptr));
    EXPECT_TRUE(sc::NamesRootKey(""));
    EXPECT_TRUE(sc::NamesRootKey("\\"));
    EXPECT_TRUE(sc::NamesRootKey("\\\\\\\\"));
    EXPECT_FALSE(sc::NamesRootKey("\\Software"));
    EXPECT_FALSE(sc::NamesRootKey("Software\\"));
    EXPECT_FALSE(sc::NamesRootKey(" "));
}

TEST(Sections, MarkersSetAndClearTheirOwnFlagOnly) {
    int32_t install = 0, uninstall = 0;
    EXPECT_TRUE(sc::ApplySectionMarker(sc::CmdStartUninstall, &install, &uninstall));
    EXPECT_EQ(uninstall, 1);
    EXPECT_TRUE(sc::ApplySectionMarker(sc::CmdStartInstall, &install, &uninstall));
    EXPECT_EQ(install, 1);
    EXPECT_TRUE(sc::ApplySectionMarker(sc::CmdEndInstall, &install, &uninstall));
    EXPECT_EQ(install, 0);
    EXPECT_EQ(uninstall, 1);
    EXPECT_TRUE(sc::ApplySectionMarker(sc::CmdEndUninstall, &install, &uninstall));
    EXPECT_EQ(uninstall, 0);
    EXPECT_FALSE(sc::ApplySectionMarker(sc::CmdEnd, &install, &uninstall));
    EXPECT_FALSE(sc::ApplySectionMarker(sc::CmdNone, &install, &uninstall));
}

TEST(Sections, WhichLinesRun) {
    // installMode, inInstall, inUninstall, installedFound -> runs
    struct Case { int32_t mode, inst, uninst, found; bool runs; };
    const Case cases[] = {
        {1, 0, 0, 0, true},  {1, 1, 0, 0, true},  {1, 0, 1, 1, false},
        {1, 1, 1, 0, true},  // install section wins while installing
        {0, 0, 0, 0, true},  {0, 1, 0, 1, false}, {0, 0, 1, 0, false},
        {0, 0, 1, 1, true},  {0, 1, 1, 1, true},  {0, 1, 1, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sc::SectionRuns(c.mode, c.inst, c.uninst, c.found), c.runs)
            << c.mode << c.inst << c.uninst << c.found;
    }
}
