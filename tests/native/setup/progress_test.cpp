// Percentage, meter blocks, file times, the folder walks of mkdir and pruning, and the
// deletions that wait for the next restart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

TEST(Percent, FloorOfDoneOverTotal) {
    EXPECT_EQ(sc::MeterPercent(0, 1000), 0);
    EXPECT_EQ(sc::MeterPercent(9, 1000), 0);
    EXPECT_EQ(sc::MeterPercent(10, 1000), 1);
    EXPECT_EQ(sc::MeterPercent(999, 1000), 99);
    EXPECT_EQ(sc::MeterPercent(1000, 1000), 100);
    EXPECT_EQ(sc::MeterPercent(1, 3), 33);
    EXPECT_EQ(sc::MeterPercent(2, 3), 66);
    EXPECT_EQ(sc::MeterPercent(5, 0), 0);
}

TEST(Percent, NeverAboveHundred) {
    EXPECT_EQ(sc::MeterPercent(5000, 1000), 100);
    EXPECT_EQ(sc::MeterPercent(UINT64_MAX, 1), 100);
}

TEST(Percent, ExactWhereTheProductExceeds32And64Bits) {
    // done * 100 needs more than 32 bits from done = 42,949,673 on.
    EXPECT_EQ(sc::MeterPercent(42949673u, 42949673u * 2u), 50);
    EXPECT_EQ(sc::MeterPercent(300000000u, 400000000u), 75);
    const uint64_t big = UINT64_MAX - 6;
    EXPECT_EQ(sc::MeterPercent(big / 2, big), 49);  // (2^64-7)/2 is just below half
    EXPECT_EQ(sc::MeterPercent(big - 1, big), 99);
    EXPECT_EQ(sc::MeterPercent(big / 100 * 37, big), 36);
    // Against a plain computation wherever that one cannot overflow.
    for (uint64_t total : {1ull, 7ull, 100ull, 12345ull, 99999999ull, 0x123456789ull}) {
        for (uint64_t done = 0; done <= total; done += total / 97 + 1) {
            EXPECT_EQ(sc::MeterPercent(done, total), static_cast<int32_t>(done * 100 / total))
                << done << "/" << total;
        }
    }
}

TEST(FileTimes, WithinTwoSecondsAreTheSameTime) {
    const uint64_t t = 0x01D0000000000000ull;  // a time of this century
    const uint64_t second = 10000000;
    EXPECT_EQ(sc::CompareFileTimes(t, t), 0);
    // A copy onto FAT, its time rounded up to the next even second.
    EXPECT_EQ(sc::CompareFileTimes(t + second, t), 0);
    EXPECT_EQ(sc::CompareFileTimes(t + 2 * second, t), 0);
    EXPECT_EQ(sc::CompareFileTimes(t, t + 2 * second), 0);
    EXPECT_EQ(sc::CompareFileTimes(t + 2 * second + 1, t), 1);
    EXPECT_EQ(sc::CompareFileTimes(t, t + 2 * second + 1), -1);
    // Far apart in either direction, without wrapping at the ends.
    EXPECT_EQ(sc::CompareFileTimes(UINT64_MAX, 0), 1);
    EXPECT_EQ(sc::CompareFileTimes(0, UINT64_MAX), -1);
    EXPECT_EQ(sc::CompareFileTimes(1, UINT64_MAX - 1), -1);
}

TEST(ProgressLines, ShownWhenDueOrWhenTheNextCommandLasts) {
    EXPECT_TRUE(sc::LinesDue(sc::kRedrawMs, 0, 1000, 10));
    EXPECT_FALSE(sc::LinesDue(sc::kRedrawMs - 1, 1000, 1000000, 100));
    // 10,000 bytes a millisecond: a copy as long as the interval is shown.
    EXPECT_TRUE(sc::LinesDue(0, 10000ull * sc::kRedrawMs, 1000000, 100));
    EXPECT_FALSE(sc::LinesDue(0, 10000ull * sc::kRedrawMs - 1, 1000000, 100));
    // No rate yet: the first command of a block is shown.
    EXPECT_TRUE(sc::LinesDue(0, 1, 0, 0));
    EXPECT_FALSE(sc::LinesDue(0, ~uint64_t{0} - 1, ~uint64_t{0}, 0));
    EXPECT_FALSE(sc::LinesDue(0, ~uint64_t{0} - 1, ~uint64_t{0}, 1));
}

TEST(MeterBlocks, ThirtyFivePlaces) {
    EXPECT_EQ(sc::MeterBlockCount(0), 0);
    EXPECT_EQ(sc::MeterBlockCount(2), 0);
    EXPECT_EQ(sc::MeterBlockCount(3), 1);
    EXPECT_EQ(sc::MeterBlockCount(50), 17);
    EXPECT_EQ(sc::MeterBlockCount(99), 34);
    EXPECT_EQ(sc::MeterBlockCount(100), 35);
    EXPECT_EQ(sc::MeterBlockCount(250), 35);
    EXPECT_EQ(sc::MeterBlockCount(-5), 0);
}

namespace {

std::vector<std::string> Folders(const char* folder, int* ok = nullptr) {
    sc::FolderWalk walk;
    int result = sc::PlanFolderPath(folder, &walk);
    if (ok != nullptr) *ok = result;
    std::vector<std::string> out;
    for (int32_t i = 0; i < walk.count; ++i) {
        out.push_back(std::string(walk.path, static_cast<size_t>(walk.cuts[i])));
    }
    return out;
}

std::vector<std::string> Prune(const char* dir, const char* stop, int removable) {
    std::vector<char> buffer(dir, dir + sc::StrLen(dir) + 1);
    std::vector<std::string> removed;
    // The clean-up copy's loop, with `removable` removals succeeding.
    while (sc::PruneContinues(buffer.data(), stop)) {
        if (removable-- <= 0) break;
        removed.push_back(buffer.data());
        if (!sc::CutAtLastBackslash(buffer.data())) break;
    }
    return removed;
}

using V = std::vector<std::string>;

}  // namespace

TEST(FolderPath, CreatesEachFolderFromTheTopDown) {
    EXPECT_EQ(Folders("C:\\A\\B\\C"), (V{"C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}));
    EXPECT_EQ(Folders("C:\\A\\B\\"), (V{"C:\\A", "C:\\A\\B"}));
    EXPECT_EQ(Folders("c:A\\B"), (V{"c:A", "c:A\\B"}));
    EXPECT_EQ(Folders("\\A\\B"), (V{"\\A", "\\A\\B"}));
    EXPECT_EQ(Folders("Rel"), V{"Rel"});
    EXPECT_EQ(Folders("C:\\"), V{});
    EXPECT_EQ(Folders(""), V{});
    EXPECT_EQ(Folders(nullptr), V{});
}

TEST(FolderPath, TrailByteBackslashIsPartOfTheName) {
    // 0x95 0x5C is one character: no cut inside it.
    EXPECT_EQ(Folders("C:\\\x95\x5C\\x"), (V{"C:\\\x95\x5C", "C:\\\x95\x5C\\x"}));
    EXPECT_EQ(Folders("C:\\a\x95\x5C"), (V{"C:\\a\x95\x5C"}));
}

TEST(FolderPath, EveryByteABackslash) {
    // Each backslash names a (useless) folder; the plan must still hold them.
    std::string slashes(258, '\\');
    std::vector<std::string> folders = Folders(slashes.c_str());
    EXPECT_EQ(folders.size(), 257u);
    EXPECT_EQ(folders.back(), std::string(257, '\\'));
}

TEST(FolderPath, TooLongFolderIsRefused) {
    int ok = 0;
    std::string fits = "C:\\" + std::string(255, 'a');  // 258 bytes + backslash
    EXPECT_EQ(Folders(fits.c_str(), &ok).size(), 1u);
    EXPECT_EQ(ok, 1);
    std::string over = fits + "b";
    EXPECT_EQ(Folders(over.c_str(), &ok), V{});
    EXPECT_EQ(ok, 0);
    std::string withSlash = fits + "\\";  // already ends in a backslash: fits
    EXPECT_EQ(Folders(withSlash.c_str(), &ok).size(), 1u);
    EXPECT_EQ(ok, 1);
}

TEST(Pruning, RemovesUpToButNotIncludingTheStopFolder) {
    EXPECT_EQ(Prune("C:\\Program Files\\Mokra\\Kelvo\\System", "C:\\Program Files", 10),
              (V{"C:\\Program Files\\Mokra\\Kelvo\\System", "C:\\Program Files\\Mokra\\Kelvo",
                 "C:\\Program Files\\Mokra"}));
    EXPECT_EQ(Prune("c:\\program files\\A", "C:\\Program Files", 10), V{"c:\\program files\\A"});
    EXPECT_EQ(Prune("C:\\Program Files", "C:\\Program Files", 10), V{});
}

TEST(Pruning, StopsAtTheFirstFolderThatStays) {
    EXPECT_EQ(Prune("C:\\P\\M\\K\\S", "C:\\P", 1), V{"C:\\P\\M\\K\\S"});
}

TEST(Pruning, OutsideTheStopFolderWalksTowardsTheRoot) {
    EXPECT_EQ(Prune("D:\\A\\B", "C:\\Program Files", 10), (V{"D:\\A\\B", "D:\\A", "D:"}));
    EXPECT_EQ(Prune("D:\\\x95\x5C", "", 10), (V{"D:\\\x95\x5C", "D:"}));
}

namespace {

// Adds the deletion of path to an INI text in a buffer of the given size;
// the text afterwards, or "<no room>".
std::string AddDelete(const std::string& ini, const char* path, uint32_t capacity = 4096,
                      sc::PendingResult* result = nullptr) {
    std::vector<char> buffer(ini.begin(), ini.end());
    buffer.resize(capacity);
    uint32_t length = static_cast<uint32_t>(ini.size());
    sc::PendingResult r = sc::AddRenameDelete(buffer.data(), &length, capacity, path);
    if (result) *result = r;
    if (r == sc::PendingNoRoom) {
        EXPECT_EQ(length, ini.size());
        EXPECT_EQ(std::string(buffer.data(), ini.size()), ini);
        return "<no room>";
    }
    return std::string(buffer.data(), length);
}

}  // namespace

TEST(RestartDelete, NewFileOrFileWithoutTheSection) {
    EXPECT_EQ(AddDelete("", "C:\\WINDOWS\\ROUNINST.EXE"), "[rename]\r\nNUL=C:\\WINDOWS\\ROUNINST.EXE\r\n");
    // A last line without its line break gets one first.
    EXPECT_EQ(AddDelete("[boot]\r\nx=1", "C:\\W\\R.EXE"), "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\W\\R.EXE\r\n");
}

TEST(RestartDelete, OtherProgramsLinesStayAndOursGoesAtTheSectionEnd) {
    const std::string ini =
        "; comment\r\n[Rename]\r\nNUL=C:\\OTHER\\A.TMP\r\nC:\\OTHER\\B.DLL=C:\\OTHER\\B.NEW\r\nNUL=C:\\OTHER\\C.TMP\r\n"
        "\r\n[other]\nkey=NUL=C:\\W\\R.EXE\n";
    EXPECT_EQ(AddDelete(ini, "C:\\W\\R.EXE"),
              "; comment\r\n[Rename]\r\nNUL=C:\\OTHER\\A.TMP\r\nC:\\OTHER\\B.DLL=C:\\OTHER\\B.NEW\r\nNUL=C:\\OTHER\\C.TMP\r\n"
              "NUL=C:\\W\\R.EXE\r\n\r\n[other]\nkey=NUL=C:\\W\\R.EXE\n");
    // Section ending the file without a line break.
    EXPECT_EQ(AddDelete("[rename]\r\nNUL=C:\\A", "C:\\B"), "[rename]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n");
}

TEST(RestartDelete, NoDuplicateOverTwoRuns) {
    sc::PendingResult r;
    std::string once = AddDelete("[rename]\r\nNUL=C:\\A.TMP\r\n", "C:\\WINDOWS\\ROUNINST.EXE");
    EXPECT_EQ(AddDelete(once, "C:\\WINDOWS\\ROUNINST.EXE", 4096, &r), once);
    EXPECT_EQ(r, sc::PendingPresent);
    // Case and blanks around the parts do not make another path; a line
    // that renames the path onto something else is no deletion of it.
    EXPECT_EQ(AddDelete("[RENAME]\r\n nul = c:\\windows\\rouninst.exe\r\n", "C:\\WINDOWS\\ROUNINST.EXE", 4096, &r),
              "[RENAME]\r\n nul = c:\\windows\\rouninst.exe\r\n");
    EXPECT_EQ(r, sc::PendingPresent);
    EXPECT_EQ(AddDelete("[rename]\r\nC:\\X=C:\\R.EXE\r\n", "C:\\R.EXE"), "[rename]\r\nC:\\X=C:\\R.EXE\r\nNUL=C:\\R.EXE\r\n");
    // The same line in another section does not count.
    EXPECT_EQ(AddDelete("[x]\r\nNUL=C:\\R.EXE\r\n", "C:\\R.EXE"), "[x]\r\nNUL=C:\\R.EXE\r\n[rename]\r\nNUL=C:\\R.EXE\r\n");
}

TEST(RestartDelete, TextThatWouldNotFitIsLeftAlone) {
    const std::string ini = "[rename]\r\nNUL=C:\\A\r\n";
    EXPECT_EQ(AddDelete(ini, "C:\\B", static_cast<uint32_t>(ini.size() + 9)), "<no room>");
    EXPECT_EQ(AddDelete(ini, "C:\\B", static_cast<uint32_t>(ini.size() + 10)), ini + "NUL=C:\\B\r\n");
}

TEST(RestartDelete, PendingOperationsList) {
    const char list[] = "\\?\?\\C:\\A\0\\?\?\\C:\\B\0\\?\?\\C:\\windows\\Rouninst.exe\0\0";
    EXPECT_TRUE(sc::HoldsPendingDelete(list, sizeof list, "\\?\?\\C:\\WINDOWS\\ROUNINST.EXE"));
    EXPECT_FALSE(sc::HoldsPendingDelete(list, sizeof list, "\\?\?\\C:\\A"));  // renamed, not deleted
    EXPECT_FALSE(sc::HoldsPendingDelete(list, sizeof list, "\\?\?\\C:\\B"));  // a target
    // A list cut inside its last pair proves nothing.
    EXPECT_FALSE(sc::HoldsPendingDelete(list, sizeof list - 2, "\\?\?\\C:\\WINDOWS\\ROUNINST.EXE"));
    EXPECT_FALSE(sc::HoldsPendingDelete("", 0, "\\?\?\\C:\\A"));
}
