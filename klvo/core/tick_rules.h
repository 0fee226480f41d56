// What one tick of the foreground tracking does, decided from what it saw.
#pragma once

struct TickFacts {
    int windowChanged;   // the front top-level window is another one than at the last tick
    int titleChanged;    // its title differs from the one shown
    int readOk;          // the target's IME could be read
    int sameIme;         // ... and it is the IME shown as current
    int imeKnown;        // the previous read succeeded
    int imposing;        // the current IME was imposed and has not shown up yet
    int useSameIme;      // the setting "one IME for all applications"
};

struct TickOutcome {
    int redraw;          // repaint the display
    int impose;          // set the current IME on the target
    int takeProbe;       // the IME read becomes the current IME
    int imposing;        // new value of the imposing flag
    int imeKnown;        // new value of the known flag
};

TickOutcome DecideTick(const TickFacts &facts);
