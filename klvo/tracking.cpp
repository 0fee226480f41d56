// Foreground tracking: every tick reads the front application's IME and
// either follows it or, with one IME for all applications, imposes the
// current IME on a window that has just come to the front.
#include "klvo.h"
#include "ime.h"
#include "core/core.h"

HWND LastTopWindow;
DWORD LastTopThread;
char ShownAppTitle[TextSize];
ImeEntry CurrentIme;
BOOL ImeKnown;
int ImposingFlag;
int BusyFlag;

HWND TopLevelOf(HWND window)
{
    for (HWND up = window ? GetParent(window) : nullptr; up; up = GetParent(up)) window = up;
    return window;
}

static int IsClass(HWND window, const char *name)
{
    char className[TextSize];
    if (!GetClassNameA(window, className, sizeof className)) return 0;
    return lstrcmpA(className, name) == 0;
}

static BOOL CALLBACK FindEditChild(HWND child, LPARAM found)
{
    if (IsClass(child, "Edit") || IsClass(child, "RICHEDIT")) {
        *(HWND *)found = child;
        return FALSE;
    }
    return TRUE;
}

// A dialog's IME is the one of its first Edit or RICHEDIT control.
HWND FindImeTarget(HWND window)
{
    if (!window) return nullptr;
    if (IsClass(window, "#32770")) {
        HWND edit = nullptr;
        EnumChildWindows(window, FindEditChild, (LPARAM)&edit);
        if (edit) return edit;
    }
    return window;
}

int WindowAnswers(HWND window)
{
    // The IME calls wait for the window's thread; a hung application would
    // take the switcher, its hot keys and its window with it. A thread that
    // does not take a harmless message within the limit is left alone.
    DWORD_PTR result;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, AnswerLimit, &result) != 0;
}

static int SameIme(const ImeEntry *a, const ImeEntry *b)
{
    return lstrcmpA(a->name, b->name) == 0;
}

void OnTimerTick()
{
    if (BusyFlag) return;
    BusyFlag = 1;

    TickFacts facts = {};
    HWND front = GetForegroundWindow();
    HWND top = TopLevelOf(front);
    HWND target = FindImeTarget(front);
    // A window that does not answer is not looked at on this tick, nor is
    // it taken as the window in front: it is looked at once it answers.
    if (target && !WindowAnswers(target)) {
        BusyFlag = 0;
        return;
    }
    // A handle alone does not name a window for long: a window created
    // within one tick may get the handle of one just destroyed.
    DWORD thread = GetWindowThreadProcessId(top, nullptr);
    facts.windowChanged = top != LastTopWindow || thread != LastTopThread;
    LastTopWindow = top;
    LastTopThread = thread;

    char title[TextSize];
    title[0] = 0;
    GetWindowTextA(top, title, sizeof title);
    if (lstrcmpA(title, ShownAppTitle) != 0) {
        lstrcpyA(ShownAppTitle, title);
        facts.titleChanged = 1;
    }

    ImeEntry probe;
    memset(&probe, 0, sizeof probe);
    facts.readOk = ImeGet(target, &probe) != 0;
    facts.sameIme = facts.readOk && SameIme(&probe, &CurrentIme);
    facts.imeKnown = ImeKnown != 0;
    facts.imposing = ImposingFlag;
    facts.useSameIme = Settings.UseSameImeForAllApps != 0;

    TickOutcome outcome = DecideTick(facts);
    if (outcome.impose) SetWindowIme(target, &CurrentIme);
    if (outcome.takeProbe) CurrentIme = probe;
    ImposingFlag = outcome.imposing;
    ImeKnown = facts.readOk;
    if (outcome.redraw) InvalidateDisplay();
    BusyFlag = 0;
}
