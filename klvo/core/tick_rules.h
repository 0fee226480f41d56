// What one tick of the foreground tracking does, decided from what it saw.
#pragma once

struct TickFacts {
    int windowChanged;   // the front top-level window is another one than at the last tick
    int titleChanged;    // its title differs from the one shown
    int readOk;          // the target's IME could be read
    int sameIme;         // ... and it is the IME shown as current
    int imeKnown;        // the previous read succeeded
    int imposing;        // ticks since the current IME was imposed without showing up (0: none pending)
    int useSameIme;      // the setting "one IME for all applications"
};

struct TickOutcome {
    int redraw;          // repaint the display
    int impose;          // set the current IME on the target
    int takeProbe;       // the IME read becomes the current IME
    int imposing;        // new value of the imposing count
    int imeKnown;        // new value of the known flag
};

// An imposition that has not shown up after this many ticks is given up
// (a DOS box, a window that refuses another layout, an IME removed
// meanwhile): the IME the window reports is then taken as it is. A window
// that takes an IME does so before the next tick; three more ticks (over
// two seconds) leave room for a busy one.
constexpr int ImposeTickLimit = 4;

TickOutcome DecideTick(const TickFacts &facts);
