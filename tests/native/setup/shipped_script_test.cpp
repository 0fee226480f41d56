// The shipped script, as embedded in the installer (code page 932, CR LF,
// 0x1A), read through the engine the way a run reads it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "test_support.h"

using sctest::FakeMachine;
using sctest::TestScript;

namespace {

std::string ShippedText() {
    std::ifstream in(SHIPPED_SCRIPT, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShippedScript : public ::testing::Test {
protected:
    void SetUp() override {
        text = ShippedText();
        ASSERT_FALSE(text.empty()) << SHIPPED_SCRIPT;
        FakeMachine::Reset();
    }
    // Every distribution file (a relative name) is 1000 bytes long; other
    // files exist only when listed in FakeMachine::files.
    static int DistributionFile(const char* path, int32_t line, uint64_t* size) {
        bool absolute = path[0] == '\\' || (path[0] != '\0' && path[1] == ':');
        if (!absolute) {
            *size = 1000;
            return 1;
        }
        return FakeMachine::FileSize(path, line, size);
    }
    static sc::ScriptHost Host() {
        sc::ScriptHost host = FakeMachine::Host();
        host.fileSize = &DistributionFile;
        return host;
    }
    std::string text;
};

}  // namespace

TEST_F(ShippedScript, SeventyFiveLinesEndingWithEnd) {
    EXPECT_EQ(text.substr(text.size() - 6), std::string("end\r\n\x1A"));
    TestScript s(text);
    ASSERT_EQ(s->lineCount, 75);
    EXPECT_EQ(s.Line(74), "end");
    EXPECT_EQ(s.Line(2), "appname \"Kelvo\"");
    char name[sc::kPathSize];
    sc::ScanAppName(s.get(), name);
    EXPECT_STREQ(name, "Kelvo");
    for (int32_t i = 0; i < s->lineCount; ++i) {
        sc::FetchResult r;
        s.Line(i, &r);
        EXPECT_EQ(r, sc::FetchOk) << i;
    }
}

TEST_F(ShippedScript, InstallRunWalksEveryLineAndMeasuresItsBlocks) {
    TestScript s(text);
    int32_t inInstall = 0, inUninstall = 0;
    std::vector<uint64_t> totals;
    std::vector<int32_t> ran;
    char line[sc::kPathSize];
    sc::FetchResult r;
    bool ended = false;
    while ((r = sc::FetchCommandLine(s.get(), line)) != sc::FetchNoLine) {
        ASSERT_EQ(r, sc::FetchOk);
        sc::CommandId id = sc::LookupCommand(sc::NextToken(line, " \t"));
        if (id == sc::CmdEnd) {
            ended = true;
            break;
        }
        if (sc::ApplySectionMarker(id, &inInstall, &inUninstall)) continue;
        if (!sc::SectionRuns(1, inInstall, inUninstall, 1)) continue;
        if (id != sc::CmdNone) ran.push_back(s->currentLine);
        if (id == sc::CmdStartMeter) {
            sc::ScriptHost host = Host();
            sc::MeterScan scan;
            ASSERT_EQ(sc::ScanMeterTotal(s.get(), &host, &scan), sc::MeterOk) << scan.missingPath;
            totals.push_back(scan.total);
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(s->currentLine, 74);
    // Two folders, four moves, the uninstaller copy, twelve registry lines;
    // then the group and the item.
    EXPECT_EQ(totals, (std::vector<uint64_t>{2 * 1024u + 5 * 1000u + 12 * 1024u, 2 * 1024u}));
    // Lines 48 to 72 (the uninstall section) never ran.
    for (int32_t l : ran) EXPECT_TRUE(l < 48 || l > 72) << l;
}

TEST_F(ShippedScript, CheckerFindsNothing) {
    // The uninstall run copies the installed uninstaller away.
    FakeMachine::files["C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe"] = 60000;
    TestScript s(text);
    sc::ScriptHost host = Host();
    sc::CheckResult r = sc::CheckScript(s.get(), &host, nullptr, nullptr);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.warnings, 0);
}
