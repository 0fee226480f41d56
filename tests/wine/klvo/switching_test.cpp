// The switcher's Win32 layer over the simulated IME system: the cycle
// through the real enumeration (also one that goes round for ever),
// switching a window, the tracking tick on real foreground windows (a
// handle of another thread, an imposition that never takes), the change key and its pop-up, the on/off key,
// the menu help, the help-file lookup and the dialog placement. Also
// measures the time from WM_HOTKEY to the pop-up's first paint.
#include "checks.h"
#include "klvo.h"
#include "ime.h"
#include "core/core.h"

#include <string.h>

static void InstallImes(int count)
{
    DeleteTree(SimImes);
    static const char *const Entries[] = {"SIMIMEA.IME|試験用IME A", "SIMIMEB.IME|試験用IME B",
                                          "SIMIMEC.IME|試験用IME C", "SIMIMED.IME|試験用IME D"};
    for (int i = 0; i < count; ++i) {
        char name[8];
        wsprintfA(name, "%d", i + 1);
        PutText(SimImes, name, Entries[i]);
    }
}

static void Cycle(HWND w)
{
    Group("the cycle over the installed IMEs, with exclusions");
    InstallImes(3);
    ReleaseImeState();
    ImeEntry current = {}, next = {};
    Name(&current, "SIMIMEB.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, "SIMIMEC.IME");
    CHECK_STR(next.description, "試験用IME C");
    Name(&current, "SIMIMEC.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, "SIMIMEA.IME");
    CHECK(FindNextIme(nullptr, &next));
    CHECK_STR(next.name, "SIMIMEB.IME");
    AddExcludedIme("SIMIMEB.IME");
    Name(&current, "SIMIMEA.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, "SIMIMEC.IME");
    AddExcludedIme("SIMIMEC.IME");
    Name(&next, "untouched");
    CHECK(!FindNextIme(&current, &next));
    CHECK_STR(next.name, "untouched");
    ReleaseImeState();

    Group("two layouts of one IME file: the enumeration goes round, and the walk still ends");
    PutText(SimImes, "3", "SIMIMEA.IME|試験用IME A");    // A, B, A, B, ... for ever
    DWORD queries = GetDword("Software\\KelvoTest\\Record", "QueryCount", 0);
    Name(&current, "SIMIMEC.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, "SIMIMEA.IME");
    CHECK_EQ(GetDword("Software\\KelvoTest\\Record", "QueryCount", 0) - queries, (DWORD)MostInstalledImes);
    Name(&current, "SIMIMEA.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, "SIMIMEB.IME");
    InstallImes(3);

    Group("switching a window: IME off around IMPSetIMEA, result kept even on failure");
    SetSimIme(w, "SIMIMEA.IME");
    ImeEntry chosen = {};
    CHECK(SwitchToNextIme(w, &chosen));
    CHECK_STR(chosen.name, "SIMIMEB.IME");
    CHECK_STR(SimIme(w), "SIMIMEB.IME");
    char expect[3][80];
    wsprintfA(expect[0], "WINNLSEnableIME %08lX 0 = 1", (DWORD)(ULONG_PTR)w);
    wsprintfA(expect[1], "IMPSetIMEA %08lX SIMIMEB.IME = 1", (DWORD)(ULONG_PTR)w);
    wsprintfA(expect[2], "WINNLSEnableIME %08lX 1 = 0", (DWORD)(ULONG_PTR)w);
    CHECK_STR(LastRecord(2), expect[0]);
    CHECK_STR(LastRecord(1), expect[1]);
    CHECK_STR(LastRecord(0), expect[2]);

    PutDword(Sim, "FailSet", 1);
    memset(&chosen, 0, sizeof chosen);
    CHECK(!SwitchToNextIme(w, &chosen));
    CHECK_STR(chosen.name, "SIMIMEC.IME");
    CHECK_STR(SimIme(w), "SIMIMEB.IME");
    PutDword(Sim, "FailSet", 0);

    Group("a window whose IME cannot be read goes to the second eligible IME");
    char path[64];
    SimWindowKey(w, path);
    PutDword(path, "FailGet", 1);
    CHECK(SwitchToNextIme(w, &chosen));
    CHECK_STR(chosen.name, "SIMIMEB.IME");
    PutDword(path, "FailGet", 0);
}

static void Tracking(HWND first, HWND second)
{
    Group("the tick follows the front application and imposes the IME in force");
    Settings.UseSameImeForAllApps = 1;
    SetSimIme(first, "SIMIMEA.IME");
    SetSimIme(second, "SIMIMEB.IME");
    CHECK(Front(first));
    OnTimerTick();
    OnTimerTick();
    CHECK(LastTopWindow == first);
    CHECK(ImeKnown);
    CHECK_STR(ShownAppTitle, "first");
    CHECK_STR(CurrentIme.name, "SIMIMEA.IME");
    CHECK(Front(second));
    OnTimerTick();
    CHECK_STR(SimIme(second), "SIMIMEA.IME");
    CHECK_STR(ShownAppTitle, "second");
    CHECK(ImposingFlag);
    OnTimerTick();
    CHECK(!ImposingFlag);
    SetSimIme(second, "SIMIMEC.IME");
    OnTimerTick();
    CHECK_STR(CurrentIme.name, "SIMIMEC.IME");
    CHECK_STR(SimIme(second), "SIMIMEC.IME");

    Group("a tick while busy is lost; an unreadable IME clears ImeKnown and keeps CurrentIme");
    SetWindowTextA(second, "renamed");
    BusyFlag = 1;
    OnTimerTick();
    CHECK_STR(ShownAppTitle, "second");
    BusyFlag = 0;
    OnTimerTick();
    CHECK_STR(ShownAppTitle, "renamed");
    char path[64];
    SimWindowKey(second, path);
    PutDword(path, "FailGet", 1);
    OnTimerTick();
    CHECK(!ImeKnown);
    CHECK_STR(CurrentIme.name, "SIMIMEC.IME");
    PutDword(path, "FailGet", 0);
    OnTimerTick();
    CHECK(ImeKnown);

    Group("the same handle with another thread is another window");
    CHECK(Front(second));
    OnTimerTick();
    SetSimIme(second, "SIMIMEA.IME");
    LastTopThread = GetCurrentThreadId() + 1;      // the handle was a window of another thread
    OnTimerTick();
    CHECK_STR(SimIme(second), "SIMIMEC.IME");
    CHECK_STR(CurrentIme.name, "SIMIMEC.IME");
    CHECK(LastTopThread == GetCurrentThreadId());
    OnTimerTick();
    CHECK(!ImposingFlag);

    Group("an imposition that never takes is given up, and the window's IME is shown");
    PutDword(Sim, "FailSet", 1);
    SetSimIme(first, "SIMIMEA.IME");
    DWORD count = GetDword("Software\\KelvoTest\\Record", "Count", 0);
    CHECK(Front(first));
    for (int i = 0; i < 3 * ImposeTickLimit; ++i) OnTimerTick();
    int sets = 0;
    for (DWORD i = 0; i < GetDword("Software\\KelvoTest\\Record", "Count", 0) - count; ++i)
        sets += strncmp(LastRecord((int)i), "IMPSetIMEA ", 11) == 0;
    CHECK_EQ(sets, ImposeTickLimit);
    CHECK(!ImposingFlag);
    CHECK_STR(CurrentIme.name, "SIMIMEA.IME");
    CHECK_STR(SimIme(first), "SIMIMEA.IME");
    PutDword(Sim, "FailSet", 0);

    Group("option off: no IME is imposed");
    Settings.UseSameImeForAllApps = 0;
    SetSimIme(first, "SIMIMEA.IME");
    DWORD before = GetDword("Software\\KelvoTest\\Record", "Count", 0);
    CHECK(Front(first));
    OnTimerTick();
    CHECK_STR(SimIme(first), "SIMIMEA.IME");
    CHECK_STR(CurrentIme.name, "SIMIMEA.IME");
    CHECK_EQ(GetDword("Software\\KelvoTest\\Record", "Count", 0), before);
    Settings.UseSameImeForAllApps = 1;
}

static LARGE_INTEGER g_firstPaint;
static LRESULT CALLBACK PaintWatch(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *r = (const CWPRETSTRUCT *)lParam;
    if (code >= 0 && r->message == WM_PAINT && !g_firstPaint.QuadPart) {
        char cls[32];
        GetClassNameA(r->hwnd, cls, sizeof cls);
        if (lstrcmpA(cls, "KelvoFlashClass") == 0) QueryPerformanceCounter(&g_firstPaint);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

static void ChangeKey(HWND main, HWND first)
{
    Group("the change key switches the front window and shows the pop-up once");
    SetSimIme(first, "SIMIMEA.IME");
    CHECK(Front(first));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, PaintWatch, nullptr, GetCurrentThreadId());
    LARGE_INTEGER frequency, start;
    QueryPerformanceFrequency(&frequency);
    double best = 1e9, total = 0;
    const int Rounds = 10;
    for (int i = 0; i < Rounds; ++i) {
        g_firstPaint.QuadPart = 0;
        QueryPerformanceCounter(&start);
        SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, MAKELPARAM(0, VK_F2));
        double ms = g_firstPaint.QuadPart ? (g_firstPaint.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart : -1;
        CHECK(ms >= 0);
        if (ms >= 0 && ms < best) best = ms;
        total += ms;
        CHECK(FlashClosePending || !IsWindow(g_flashWindow));
        Pump(30);
        CHECK(!IsWindow(g_flashWindow));
    }
    UnhookWindowsHookEx(hook);
    printf("WM_HOTKEY to the pop-up's first paint: best %.2f ms, mean %.2f ms over %d presses\n", best,
           total / Rounds, Rounds);
    CHECK(BusyFlag == 0);
    CHECK_STR(FlashIme.name, "SIMIMEB.IME");   // A + 10 steps over A, B, C
    CHECK_STR(SimIme(first), "SIMIMEB.IME");
    CHECK(FlashPainted == 0 && FlashClosePending == 0);

    Group("the pop-up: centred, 60 x 6 base units, icon of the IME file found on the search path");
    LONG units = GetDialogBaseUnits();
    char path[MAX_PATH];
    CHECK(SearchPathA(nullptr, "SIMIMEB.IME", nullptr, sizeof path, path, nullptr) != 0);
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), path, 0);
    CHECK(icon != nullptr && icon != (HICON)1);
    if (icon) DestroyIcon(icon);
    Name(&FlashIme, "SIMIMEB.IME");
    lstrcpyA(FlashIme.description, "試験用IME B");
    CreateFlashWindow();
    RECT r;
    GetWindowRect(g_flashWindow, &r);
    CHECK_EQ(r.right - r.left, (short)(LOWORD(units) * 60));
    CHECK_EQ(r.bottom - r.top, (short)(HIWORD(units) * 6));
    CHECK_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    CHECK(GetWindowLongA(g_flashWindow, GWL_EXSTYLE) & WS_EX_TOPMOST);
    CHECK(FlashPainted);
    CHECK(GetForegroundWindow() == first);

    // Painted again over white: the shadow strips turn every other pixel
    // black, the corners beside them stay as they were.
    HDC dc = GetDC(g_flashWindow);
    RECT client;
    GetClientRect(g_flashWindow, &client);
    PatBlt(dc, 0, 0, client.right, client.bottom, WHITENESS);
    ReleaseDC(g_flashWindow, dc);
    InvalidateRect(g_flashWindow, nullptr, FALSE);
    UpdateWindow(g_flashWindow);
    dc = GetDC(g_flashWindow);
    int sw = LOWORD(units) * 6 / 4, sh = HIWORD(units) * 6 / 8;
    // Pixels of both strips alternate black and white along each row.
    int checkered = 1;
    for (int y = client.bottom - sh; y < client.bottom; ++y)
        for (int x = sw; x < sw + 16; ++x) {
            COLORREF a = GetPixel(dc, x, y), b = GetPixel(dc, x + 1, y);
            if (a == b || (a != RGB(0, 0, 0) && b != RGB(0, 0, 0))) checkered = 0;
        }
    for (int y = sh; y < sh + 16; ++y)
        for (int x = client.right - sw; x < client.right - 1; ++x) {
            COLORREF a = GetPixel(dc, x, y), b = GetPixel(dc, x + 1, y);
            if (a == b || (a != RGB(0, 0, 0) && b != RGB(0, 0, 0))) checkered = 0;
        }
    if (!checkered)
        printf("shadow row: %06lX %06lX %06lX %06lX\n", GetPixel(dc, sw, client.bottom - 2),
               GetPixel(dc, sw + 1, client.bottom - 2), GetPixel(dc, sw + 2, client.bottom - 2),
               GetPixel(dc, sw + 3, client.bottom - 2));
    CHECK(checkered);
    CHECK_EQ(GetPixel(dc, client.right - 1, 0), RGB(255, 255, 255));
    CHECK_EQ(GetPixel(dc, 0, client.bottom - 1), RGB(255, 255, 255));
    CHECK_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
    ReleaseDC(g_flashWindow, dc);
    PostMessageA(g_flashWindow, WM_USER, 0, 0);
    Pump(30);
    CHECK(!IsWindow(g_flashWindow));

    Group("a close request before the first paint closes the pop-up right after it");
    FlashClosePending = 0;
    HWND early = CreateWindowExA(WS_EX_TOPMOST, "KelvoFlashClass", "early", WS_POPUP, 0, 0, 100, 40, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(early, WM_USER, 0, 0);
    CHECK(IsWindow(early) && FlashClosePending);
    ShowWindow(early, SW_SHOWNOACTIVATE);
    UpdateWindow(early);
    CHECK(!IsWindow(early));
    CHECK(FlashClosePending == 0 && FlashPainted == 0);

    Group("with only the current IME eligible nothing is shown");
    AddExcludedIme("SIMIMEA.IME");
    AddExcludedIme("SIMIMEC.IME");
    HWND last = g_flashWindow;
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    CHECK(g_flashWindow == last);
    CHECK_STR(SimIme(first), "SIMIMEB.IME");
    ReleaseImeState();

    Group("hot keys are ignored while busy");
    BusyFlag = 1;
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    SendMessageA(main, WM_HOTKEY, ID_ONOFF_KEY, 0);
    CHECK_STR(SimIme(first), "SIMIMEB.IME");
    CHECK_EQ(SimOpen(first), 0);
    BusyFlag = 0;
}

static DWORD WINAPI ForeignChild(LPVOID parent)
{
    HWND child = CreateWindowExA(0, "KlvoTestFrame", "child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, (HWND)parent,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(child);
    return 0;
}

static BOOL CALLBACK TakeChild(HWND child, LPARAM found)
{
    *(HWND *)found = child;
    return FALSE;
}

static void OnOffKey(HWND main, HWND first)
{
    Group("the on/off key toggles the front window and its child of another thread");
    CHECK(Front(first));
    DWORD threadId;
    HANDLE thread = CreateThread(nullptr, 0, ForeignChild, first, 0, &threadId);
    Pump(300);
    HWND child = nullptr;
    EnumChildWindows(first, TakeChild, (LPARAM)&child);
    CHECK(child != nullptr);
    SendMessageA(main, WM_HOTKEY, ID_ONOFF_KEY, 0);
    CHECK_EQ(SimOpen(first), 1);
    CHECK_EQ(SimOpen(child), 1);
    SendMessageA(main, WM_HOTKEY, ID_ONOFF_KEY, 0);
    CHECK_EQ(SimOpen(first), 0);
    CHECK_EQ(SimOpen(child), 0);
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);

    Group("the message block is allocated again after it was released");
    ReleaseImeState();
    CHECK(ImeMessageBlock == nullptr);
    SendMessageA(main, WM_HOTKEY, ID_ONOFF_KEY, 0);
    CHECK(ImeMessageBlock != nullptr);
    CHECK_EQ(SimOpen(first), 1);
    CHECK(GetImeOpen(first) == 1);
    SetImeOpen(first, 0);
    CHECK(GetImeOpen(first) == 0);
}

static const char *StatusText()
{
    static char text[TextSize];
    text[0] = 0;
    GetWindowTextA(g_statusWindow, text, sizeof text);
    return text;
}

static void MenuHelp(HWND main)
{
    Group("menu help in the status bar");
    struct { WORD item, flags; int id; } const rows[] = {
        {0, MF_POPUP, 0}, {1, MF_POPUP, 3}, {2, MF_POPUP, 6}, {7, MF_POPUP, -1},
        {IDM_STATUSBAR, 0, 1}, {IDM_EXIT, 0, 2}, {IDM_SELECTIME, 0, 4}, {IDM_KEYSETTINGS, 0, 5},
        {IDM_CONTENTS, 0, 7}, {IDM_SEARCH, 0, 8}, {IDM_HELPONHELP, 0, 9}, {IDM_ABOUT, 0, 10},
        {0, MF_SEPARATOR, -1}, {SC_CLOSE, MF_SYSMENU, -1}, {0, MF_SYSMENU | MF_POPUP, -1},
    };
    for (const auto &row : rows) {
        SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(row.item, row.flags), (LPARAM)GetMenu(main));
        char expected[TextSize] = "";
        if (row.id >= 0) LoadStringA(GetModuleHandleA(nullptr), row.id, expected, sizeof expected);
        CHECK_STR(StatusText(), expected);
    }
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    CHECK(StatusText()[0] != 0);
    CHECK(lstrcmpA(StatusText(), "") != 0);

    Group("the status bar toggled twice keeps the outer size");
    ShowWindow(main, SW_RESTORE);
    Pump(100);
    RECT before, after, off;
    GetWindowRect(main, &before);
    SendMessageA(main, WM_COMMAND, IDM_STATUSBAR, 0);
    GetWindowRect(main, &off);
    CHECK(Settings.StatusBar == 0 && g_statusWindow == nullptr);
    CHECK_EQ(off.bottom - off.top, before.bottom - before.top - StatusBarHeight);
    CHECK(!(GetMenuState(GetMenu(main), IDM_STATUSBAR, MF_BYCOMMAND) & MF_CHECKED));
    SendMessageA(main, WM_COMMAND, IDM_STATUSBAR, 0);
    GetWindowRect(main, &after);
    CHECK(Settings.StatusBar == 1 && IsWindow(g_statusWindow));
    CHECK(EqualRect(&before, &after));
    RECT client, bar;
    GetClientRect(main, &client);
    GetWindowRect(g_statusWindow, &bar);
    MapWindowPoints(nullptr, main, (POINT *)&bar, 2);
    CHECK_EQ(bar.top, client.bottom - StatusBarHeight);
    CHECK_EQ(bar.right, client.right);

    Group("moving the restored window records its position; a minimised one does not");
    SetWindowPos(main, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK_EQ(Settings.XPos, 37);
    CHECK_EQ(Settings.YPos, 41);
    ShowWindow(main, SW_MINIMIZE);
    Pump(100);
    CHECK_EQ(Settings.XPos, 37);
    CHECK_EQ(Settings.YPos, 41);
}

// Plays the user of the key settings dialog: a new modifier, then Cancel
// (only the comparison after the dialog decides what is registered again).
static void CALLBACK AnswerKeyDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&dialog);
    if (!dialog) return;
    KillTimer(nullptr, id);
    Settings.ChangeKeyModifier = MOD_SHIFT;
    EndDialog(dialog, IDCANCEL);
}

static void KeyDialog(HWND main, HWND probe)
{
    Group("a change of modifier in the key dialog registers the change key again");
    Settings.ChangeVKey = VK_F9;
    Settings.ChangeKeyModifier = 0;
    Settings.OnOffVKey = 0;
    CHECK(RegisterHotKey(main, ID_CHANGE_KEY, 0, VK_F9));
    SetTimer(nullptr, 0, 100, AnswerKeyDialog);
    SendMessageA(main, WM_COMMAND, IDM_KEYSETTINGS, 0);
    CHECK_EQ(Settings.ChangeKeyModifier, MOD_SHIFT);
    CHECK(!RegisterHotKey(probe, 1, MOD_SHIFT, VK_F9));     // held by the main window now
    CHECK(RegisterHotKey(probe, 2, 0, VK_F9));              // the old combination was given up
    UnregisterHotKey(probe, 2);
    UnregisterHotKey(main, ID_CHANGE_KEY);
    Settings.ChangeVKey = VK_F2;
    Settings.ChangeKeyModifier = 0;
}

static void DialogPlacement(HWND main)
{
    Group("dialogs centre over the main window, or sit at 0,0 while it is minimised");
    ShowWindow(main, SW_RESTORE);
    Pump(100);
    HWND box = CreateWindowExA(0, "KlvoTestFrame", "box", WS_POPUP, 500, 500, 100, 60, main, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    CenterOverMain(box);
    RECT client, r;
    GetClientRect(main, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(main, &centre);
    GetWindowRect(box, &r);
    CHECK_EQ(r.left, centre.x - 50 > 0 ? centre.x - 50 : 0);
    CHECK_EQ(r.top, centre.y - 30 > 0 ? centre.y - 30 : 0);
    ShowWindow(main, SW_MINIMIZE);
    Pump(100);
    CenterOverMain(box);
    GetWindowRect(box, &r);
    CHECK(r.left == 0 && r.top == 0);
    DestroyWindow(box);
}

static void HelpFile()
{
    Group("the help file beside the program, then in its System folder");
    char folder[MAX_PATH], file[MAX_PATH];
    GetModuleFileNameA(nullptr, folder, sizeof folder);
    *(char *)(lstrlenA(folder) + folder - lstrlenA("klvo_switching_test.exe") - 1) = 0;
    wsprintfA(file, "%s\\System", folder);
    CreateDirectoryA(file, nullptr);
    lstrcatA(file, "\\KLVO.HLP");
    DeleteFileA(file);
    CHECK(FindHelpFile() == nullptr);
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    const char *found = FindHelpFile();
    CHECK(found != nullptr && lstrcmpiA(found, file) == 0);
    DeleteFileA(file);
    *(char *)(lstrlenA(file) + file - lstrlenA("\\KLVO.HLP")) = 0;
    RemoveDirectoryA(file);
}

int main()
{
    DeleteTree(Sim);
    Settings.OnOffVKey = 0;
    HWND main = StartTestMain();
    HWND first = MakeWindow("first", 20);
    HWND second = MakeWindow("second", 360);

    Cycle(first);
    Tracking(first, second);
    ChangeKey(main, first);
    OnOffKey(main, first);
    MenuHelp(main);
    KeyDialog(main, second);
    DialogPlacement(main);
    HelpFile();
    DestroyWindow(main);
    return Finish();
}
