#include "tick_rules.h"

TickOutcome DecideTick(const TickFacts &f)
{
    TickOutcome out = {};
    out.redraw = f.windowChanged || f.titleChanged;
    out.imposing = f.imposing;
    if (f.readOk) {
        if (f.sameIme) {
            if (!f.imeKnown) out.redraw = 1;
            out.imposing = 0;
        } else if (f.useSameIme && f.windowChanged && f.imeKnown) {
            out.impose = 1;         // only when the front window changes and the last IME was known
            out.imposing = 1;
        } else if (f.imposing && f.imposing < ImposeTickLimit) {
            out.impose = 1;         // the earlier imposition has not taken effect yet
            out.imposing = f.imposing + 1;
        } else {
            out.imposing = 0;       // given up after the limit: follow what the window reports
            out.takeProbe = 1;      // the application runs another IME: follow it
            out.redraw = 1;
        }
    } else if (f.imeKnown) {
        out.redraw = 1;
    }
    out.imeKnown = f.readOk;
    return out;
}
