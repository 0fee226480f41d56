// Percentage, meter blocks, and the folder walks of mkdir and pruning.
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
