// The rules of one tracking tick, as a table of situations.
#include <gtest/gtest.h>
#include "core.h"

namespace {

struct Row {
    const char *situation;
    TickFacts in;        // windowChanged, titleChanged, readOk, sameIme, imeKnown, imposing, useSameIme
    TickOutcome out;     // redraw, impose, takeProbe, imposing, imeKnown
};

const Row Rows[] = {
    {"nothing changed", {0, 0, 1, 1, 1, 0, 1}, {0, 0, 0, 0, 1}},
    {"title changed only", {0, 1, 1, 1, 1, 0, 1}, {1, 0, 0, 0, 1}},
    {"same IME read again after a failed read", {0, 0, 1, 1, 0, 0, 1}, {1, 0, 0, 0, 1}},
    {"imposed IME arrived", {0, 0, 1, 1, 1, 1, 1}, {0, 0, 0, 0, 1}},
    {"new window with another IME, one IME for all", {1, 1, 1, 0, 1, 0, 1}, {1, 1, 0, 1, 1}},
    {"new window, one IME for all, last IME unknown", {1, 0, 1, 0, 0, 0, 1}, {1, 0, 1, 0, 1}},
    {"new window with another IME, follow each application", {1, 0, 1, 0, 1, 0, 0}, {1, 0, 1, 0, 1}},
    {"imposition not yet taken effect", {0, 0, 1, 0, 1, 1, 1}, {0, 1, 0, 1, 1}},
    {"switched inside the front application", {0, 0, 1, 0, 1, 0, 1}, {1, 0, 1, 0, 1}},
    {"switched by the change key, follow mode", {0, 0, 1, 0, 1, 0, 0}, {1, 0, 1, 0, 1}},
    {"read fails after a known IME", {0, 0, 0, 0, 1, 0, 1}, {1, 0, 0, 0, 0}},
    {"read keeps failing", {0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0}},
    {"read fails while imposing: flag kept", {0, 0, 0, 0, 1, 1, 1}, {1, 0, 0, 1, 0}},
    {"window changes while imposing: impose again", {1, 0, 1, 0, 1, 1, 1}, {1, 1, 0, 1, 1}},
};

TEST(TickRules, AnImpositionThatNeverTakesIsGivenUp)
{
    // The window keeps reporting its own IME; it is imposed on at most
    // ImposeTickLimit times, then the display follows the window.
    TickFacts facts = {1, 1, 1, 0, 1, 0, 1};
    int impositions = 0;
    TickOutcome out = {};
    for (int tick = 0; tick < 3 * ImposeTickLimit; ++tick) {
        out = DecideTick(facts);
        impositions += out.impose;
        if (out.takeProbe) break;
        facts.windowChanged = facts.titleChanged = 0;
        facts.imposing = out.imposing;
    }
    EXPECT_EQ(impositions, ImposeTickLimit);
    EXPECT_TRUE(out.takeProbe && out.redraw);
    EXPECT_EQ(out.imposing, 0);
    facts.imposing = 0;
    facts.sameIme = 1;
    EXPECT_EQ(DecideTick(facts).impose, 0) << "once given up, nothing more is imposed";
}

TEST(TickRules, EverySituation)
{
    for (const Row &row : Rows) {
        TickOutcome got = DecideTick(row.in);
        EXPECT_EQ(got.redraw, row.out.redraw) << row.situation;
        EXPECT_EQ(got.impose, row.out.impose) << row.situation;
        EXPECT_EQ(got.takeProbe, row.out.takeProbe) << row.situation;
        EXPECT_EQ(!!got.imposing, !!row.out.imposing) << row.situation;
        EXPECT_EQ(got.imeKnown, row.out.imeKnown) << row.situation;
    }
}

// A sequence: A imposed on a new window that runs B; it reports B once
// more, then A; then the user picks C inside it, which becomes current.
TEST(TickRules, ImpositionThenAcceptedSwitch)
{
    TickFacts f = {1, 1, 1, 0, 1, 0, 1};
    TickOutcome o = DecideTick(f);
    EXPECT_TRUE(o.impose);
    f = {0, 0, 1, 0, o.imeKnown, o.imposing, 1};
    o = DecideTick(f);
    EXPECT_TRUE(o.impose);
    EXPECT_FALSE(o.takeProbe);
    f = {0, 0, 1, 1, o.imeKnown, o.imposing, 1};
    o = DecideTick(f);
    EXPECT_FALSE(o.imposing);
    f = {0, 0, 1, 0, o.imeKnown, o.imposing, 1};
    o = DecideTick(f);
    EXPECT_TRUE(o.takeProbe);
    EXPECT_FALSE(o.impose);
}

}  // namespace
