// The IME cycle: which IME the change key moves to, and the excluded table.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "core.h"

namespace {

int g_live = 0;     // blocks handed out and not yet released
int g_failAfter = -1;

char *Allocate(unsigned size)
{
    if (g_failAfter == 0) return nullptr;
    if (g_failAfter > 0) --g_failAfter;
    ++g_live;
    return static_cast<char *>(calloc(size, 1));
}
void Release(char *block)
{
    --g_live;
    free(block);
}
const NameStore Store = {Allocate, Release};

struct Installed {
    std::vector<std::string> names;
    size_t at = 0;
    std::string kept[2];
    int visited = 0;
    bool endless = false;   // the enumeration goes round and round, as with two layouts of one IME file
};
int WalkNext(void *c)
{
    auto *s = static_cast<Installed *>(c);
    if (s->endless && s->at >= s->names.size()) s->at = 0;
    if (s->at >= s->names.size()) return 0;
    ++s->at;
    ++s->visited;
    return 1;
}
const char *WalkName(void *c)
{
    auto *s = static_cast<Installed *>(c);
    return s->names[s->at - 1].c_str();
}
void WalkKeep(void *c, int which)
{
    auto *s = static_cast<Installed *>(c);
    s->kept[which] = s->names[s->at - 1];
}

class Cycle : public ::testing::Test {
protected:
    ExcludedImeTable table = {};
    Installed installed;
    void TearDown() override
    {
        ExcludedClear(&table, &Store);
        EXPECT_EQ(g_live, 0);
        g_failAfter = -1;
    }
    void Install(std::vector<std::string> names) { installed.names = std::move(names); }
    void Exclude(const char *name) { ASSERT_EQ(ExcludedAdd(&table, name, &Store), 1); }
    // The next IME's name, or "" when nothing is chosen.
    std::string Next(const char *reference)
    {
        installed.at = 0;
        installed.kept[0] = installed.kept[1] = "";
        ImeWalk walk = {&installed, WalkNext, WalkName, WalkKeep};
        switch (ChooseNextIme(reference, &table, &walk)) {
        case TakeFirst: return installed.kept[KeptFirst];
        case TakeSuccessor: return installed.kept[KeptSuccessor];
        default: return "";
        }
    }
};

TEST_F(Cycle, MovesToTheFollowingImeAndWrapsRound)
{
    Install({"A.IME", "B.IME", "C.IME"});
    EXPECT_EQ(Next("B.IME"), "C.IME");
    EXPECT_EQ(Next("C.IME"), "A.IME");
    EXPECT_EQ(Next("A.IME"), "B.IME");
}

TEST_F(Cycle, StopsEnumeratingOnceTheSuccessorIsFound)
{
    Install({"A.IME", "B.IME", "C.IME", "D.IME"});
    EXPECT_EQ(Next("A.IME"), "B.IME");
    EXPECT_EQ(installed.visited, 2);
}

TEST_F(Cycle, AnEnumerationThatGoesRoundEnds)
{
    Install({"A.IME", "B.IME"});
    installed.endless = true;
    EXPECT_EQ(Next("A.IME"), "B.IME") << "a successor is still found";
    installed.visited = 0;
    EXPECT_EQ(Next("C.IME"), "A.IME") << "an IME not in the list: the first after the bound";
    EXPECT_EQ(installed.visited, MostInstalledImes);
    Exclude("A.IME");
    Exclude("B.IME");
    installed.visited = 0;
    EXPECT_EQ(Next("A.IME"), "") << "every IME excluded";
    EXPECT_EQ(installed.visited, MostInstalledImes);
}

TEST_F(Cycle, SkipsExcludedImes)
{
    Install({"A.IME", "B.IME", "C.IME"});
    Exclude("B.IME");
    EXPECT_EQ(Next("A.IME"), "C.IME");
    EXPECT_EQ(Next("B.IME"), "A.IME") << "an excluded current IME restarts at the first eligible one";
    EXPECT_EQ(Next("C.IME"), "A.IME");
}

TEST_F(Cycle, OnlyOneEligibleIme)
{
    Install({"A.IME", "B.IME", "C.IME"});
    Exclude("B.IME");
    Exclude("C.IME");
    EXPECT_EQ(Next("A.IME"), "") << "the only eligible IME is already in use";
    EXPECT_EQ(Next("C.IME"), "A.IME");
    EXPECT_EQ(Next(nullptr), "A.IME");
}

TEST_F(Cycle, UnreadableWindowImeTakesTheSecondEligible)
{
    Install({"A.IME", "B.IME", "C.IME"});
    EXPECT_EQ(Next(nullptr), "B.IME");
    Exclude("A.IME");
    EXPECT_EQ(Next(nullptr), "C.IME");
}

TEST_F(Cycle, NothingToChoose)
{
    Install({"A.IME", "B.IME"});
    Exclude("A.IME");
    Exclude("B.IME");
    EXPECT_EQ(Next("A.IME"), "");
    EXPECT_EQ(Next(nullptr), "");
    Install({});
    EXPECT_EQ(Next(nullptr), "");
}

TEST_F(Cycle, UnknownReferenceAndStaleExcludedNamesDoNoHarm)
{
    Install({"A.IME", "B.IME"});
    Exclude("GONE.IME");
    EXPECT_EQ(Next("GONE.IME"), "A.IME");
    EXPECT_EQ(Next("OTHER.IME"), "A.IME");
    EXPECT_EQ(Next("B.IME"), "A.IME");
}

TEST_F(Cycle, NamesCompareExactly)
{
    Install({"A.IME", "a.ime", "AB.IME"});
    Exclude("A.IM");
    EXPECT_EQ(Next("A.IME"), "a.ime");
    EXPECT_EQ(Next("a.ime"), "AB.IME");
}

TEST_F(Cycle, TableFillsFirstEmptySlotAndRefusesTheFiftyFirst)
{
    char name[16];
    for (int i = 0; i < ExcludedSlotCount; ++i) {
        snprintf(name, sizeof name, "N%02d.IME", i);
        ASSERT_EQ(ExcludedAdd(&table, name, &Store), 1) << i;
    }
    EXPECT_EQ(ExcludedAdd(&table, "LAST.IME", &Store), 0);
    EXPECT_FALSE(ExcludedContains(&table, "LAST.IME"));
    EXPECT_EQ(g_live, ExcludedSlotCount);

    // A gap is refilled first; iteration follows the slot order.
    Release(table.slot[3]);
    table.slot[3] = nullptr;
    EXPECT_EQ(ExcludedAdd(&table, "GAP.IME", &Store), 1);
    EXPECT_STREQ(table.slot[3], "GAP.IME");
}

TEST_F(Cycle, IterationSkipsGapsAndKeepsDuplicates)
{
    Exclude("A.IME");
    Exclude("B.IME");
    Exclude("A.IME");
    Release(table.slot[1]);
    table.slot[1] = nullptr;
    Exclude("C.IME");                       // goes into the gap at 1
    Exclude("D.IME");

    std::vector<std::string> seen;
    for (const char *s = ExcludedNext(&table, 1); s; s = ExcludedNext(&table, 0)) seen.push_back(s);
    EXPECT_EQ(seen, (std::vector<std::string>{"A.IME", "C.IME", "A.IME", "D.IME"}));
    EXPECT_EQ(ExcludedNext(&table, 0), nullptr) << "stays at the end";
    EXPECT_STREQ(ExcludedNext(&table, 1), "A.IME") << "restart goes back to slot 0";
}

TEST_F(Cycle, EmptyTableIteratesNothing)
{
    EXPECT_EQ(ExcludedNext(&table, 1), nullptr);
}

TEST_F(Cycle, FailedAllocationLeavesTheSlotEmpty)
{
    g_failAfter = 0;
    EXPECT_EQ(ExcludedAdd(&table, "A.IME", &Store), 0);
    EXPECT_EQ(table.slot[0], nullptr);
}

TEST_F(Cycle, ClearReleasesEveryString)
{
    Exclude("A.IME");
    Exclude("B.IME");
    ExcludedClear(&table, &Store);
    EXPECT_EQ(g_live, 0);
    EXPECT_EQ(ExcludedNext(&table, 1), nullptr);
}

}  // namespace
