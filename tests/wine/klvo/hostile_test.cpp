// What the switcher does with bad input, in one place: registry values of
// the wrong size or length, names and paths that would be cut between the
// bytes of a character, IME records whose text fields fill them to the last
// byte with no terminator, an IME file whose path does not fit, the on/off
// key with no window in front, a pop-up closed before the key's release, a
// sound file on a drive that does not exist, and window handles kept after
// their windows were gone.
#include "checks.h"

#include <string.h>

static SettingsRecord Defaults;

static void Fresh() { FreshSettings(Defaults); }

static void RegistryValues()
{
    Group("position axes on their own; DWORDs of the wrong size ignored");
    Fresh();
    PutDword(WindowKey, "XPos", 120);
    PutDword(KeyKey, "ChangeKeyModifier", MOD_SHIFT | MOD_CONTROL);
    PutText(KeyKey, "ChangeVKey", "12345");                 // 6 bytes of text
    BYTE two[2] = {0x41, 0x00};
    PutValue(KeyKey, "OnOffVKey", REG_BINARY, two, sizeof two);
    BYTE eight[8] = {0x70, 0, 0, 0, 0, 0, 0, 0};
    PutValue(KeyKey, "OnOffKeyModifier", REG_QWORD, eight, sizeof eight);
    PutDword(KeyKey, "UseSameImeForAllApps", 0);
    BYTE four[4] = {1, 0, 0, 0};
    PutValue(WindowKey, "StatusBar", REG_BINARY, four, sizeof four);
    PutDword(WindowKey, "StatusBar", 0);
    LoadSettings();
    CHECK_EQ(Settings.XPos, 120);
    CHECK_EQ(Settings.YPos, NO_POSITION);
    CHECK_EQ(Settings.ChangeKeyModifier, MOD_SHIFT | MOD_CONTROL);
    CHECK_EQ(Settings.ChangeVKey, VK_F2);
    CHECK_EQ(Settings.OnOffVKey, VK_CONVERT);
    CHECK_EQ(Settings.OnOffKeyModifier, 0);
    CHECK_EQ(Settings.UseSameImeForAllApps, 0);
    CHECK_EQ(Settings.StatusBar, 0);

    Group("four bytes of another type are taken as they are");
    Fresh();
    BYTE f3[4] = {0x72, 0, 0, 0};
    PutValue(KeyKey, "ChangeVKey", REG_BINARY, f3, sizeof f3);
    LoadSettings();
    CHECK_EQ(Settings.ChangeVKey, VK_F3);

    Group("more than 50 excluded IMEs: the first 50 are kept");
    Fresh();
    for (int i = 0; i < 55; ++i) {
        char name[16], value[16];
        wsprintfA(name, "E%02d", i);
        wsprintfA(value, "N%02d.IME", i);
        PutText(ImeKey, name, value);
    }
    LoadSettings();
    const char *names[60];
    char data[32];
    CHECK_EQ(ExcludedNames(names, 60), 50);
    CHECK_EQ(AddExcludedIme("MORE.IME"), 0);
    SaveSettings();
    CHECK_EQ(ValueCount(ImeKey), 50);
    CHECK(GetValue(ImeKey, "IME49", data, sizeof data));
    CHECK(!GetValue(ImeKey, "IME50", data, sizeof data));
    CHECK(!GetValue(ImeKey, "E00", data, sizeof data));

    Group("an oversized excluded entry is skipped and the rest still load");
    Fresh();
    char big[700];
    for (int i = 0; i < 699; ++i) big[i] = 'x';
    big[699] = 0;
    PutText(ImeKey, "a", "FIRST.IME");
    PutText(ImeKey, "b", big);                            // data longer than 512 bytes
    PutText(ImeKey, big + 100, "LONGNAME.IME");           // name longer than 512 bytes
    PutText(ImeKey, "c", "LAST.IME");
    LoadSettings();
    int n = ExcludedNames(names, 60);
    CHECK_EQ(n, 2);
    int sawFirst = 0, sawLast = 0;
    for (int i = 0; i < n; ++i) {
        sawFirst |= lstrcmpA(names[i], "FIRST.IME") == 0;
        sawLast |= lstrcmpA(names[i], "LAST.IME") == 0;
    }
    CHECK(sawFirst && sawLast);

    Group("an excluded entry of 512 bytes with no terminator keeps whole characters");
    Fresh();
    char full[512];
    for (int i = 0; i < 510; ++i) full[i] = 'n';
    full[510] = (char)0x82;
    full[511] = (char)0xA0;
    PutValue(ImeKey, "a", REG_BINARY, full, sizeof full);
    LoadSettings();
    CHECK_EQ(ExcludedNames(names, 60), 1);
    CHECK_EQ(lstrlenA(names[0]), 510);

    Group("a sound path that does not fit keeps the one in force");
    Fresh();
    PutText(SoundEvent, "", "C:\\Windows\\Media\\chimes.wav");
    LoadSoundFile();
    char longPath[400];
    for (int i = 0; i < 399; ++i) longPath[i] = 'p';
    longPath[399] = 0;
    PutText(SoundEvent, "", longPath);
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\Windows\\Media\\chimes.wav");
    // 260 bytes with no terminator ending in a double-byte character: the
    // path does not fit with its NUL, and cutting it would leave half a character.
    char fullPath[MAX_PATH];
    for (int i = 0; i < MAX_PATH - 2; ++i) fullPath[i] = 'q';
    fullPath[MAX_PATH - 2] = (char)0x82;
    fullPath[MAX_PATH - 1] = (char)0xA0;
    PutValue(SoundEvent, "", REG_BINARY, fullPath, sizeof fullPath);
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\Windows\\Media\\chimes.wav");
}

// Types a sound path of 258 bytes and a double-byte character into the
// dialog, one byte more than the setting holds, and presses OK.
static void CALLBACK AnswerLongSoundPath(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&dialog);
    if (!dialog) return;
    KillTimer(nullptr, id);
    char path[MAX_PATH + 1];
    for (int i = 0; i < MAX_PATH - 2; ++i) path[i] = 'w';
    path[MAX_PATH - 2] = (char)0x82;   // the hiragana a
    path[MAX_PATH - 1] = (char)0xA0;
    path[MAX_PATH] = 0;
    SetDlgItemTextA(dialog, IDC_SOUND_FILE, path);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}

static void TypedSoundPath(HWND main)
{
    Group("OK keeps whole characters of a typed sound path longer than the setting");
    SetTimer(nullptr, 0, 100, AnswerLongSoundPath);
    SendMessageA(main, WM_COMMAND, IDM_KEYSETTINGS, 0);
    CHECK_EQ(lstrlenA(Settings.SoundFile), MAX_PATH - 2);   // the half character is dropped
    Settings.SoundFile[0] = 0;
    Settings.PlaySound = 0;
}

// IME records that fill their fields: the second IME's name is 80 bytes and
// its description 50 (25 double-byte characters), both with no terminator;
// the third has a description of 50 single bytes.
static const char LongName[] = "LONGNAMEDIMEXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX.IME";
static const char WideDescription[] = "あいうえおかきくけこさしすせそたちつてとなにぬねの";
static const char NarrowDescription[] = "Fifty bytes of description, and no room for a NUL.";
static char g_listed[2][3][TextSize];   // the lists of the IME dialog: texts
static int g_listedCount[2];

static void ReadList(HWND dialog, int id, int which)
{
    g_listedCount[which] = (int)SendDlgItemMessageA(dialog, id, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < g_listedCount[which] && i < 3; ++i) {
        int length = (int)SendDlgItemMessageA(dialog, id, LB_GETTEXTLEN, i, 0);
        g_listed[which][i][0] = 0;
        if (length >= 0 && length < TextSize)
            SendDlgItemMessageA(dialog, id, LB_GETTEXT, i, (LPARAM)g_listed[which][i]);
    }
}

// Reads the used list, moves its second entry to the not-used list, reads
// that one, and presses OK.
static void CALLBACK AnswerImeDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&dialog);
    if (!dialog) return;
    KillTimer(nullptr, id);
    ReadList(dialog, IDC_USED_LIST, 0);
    SendDlgItemMessageA(dialog, IDC_USED_LIST, LB_SETCURSEL, 1, 0);
    SendMessageA(dialog, WM_COMMAND, IDC_MOVE_DOWN, 0);
    ReadList(dialog, IDC_UNUSED_LIST, 1);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}

static void FullWidthRecords(HWND main, HWND w)
{
    Group("IME records with unterminated fields: exactly the field's bytes, everywhere");
    Fresh();
    CHECK_EQ(lstrlenA(LongName), 80);
    CHECK_EQ(lstrlenA(WideDescription), 50);
    CHECK_EQ(lstrlenA(NarrowDescription), 50);
    DeleteTree(SimImes);
    char entry[200];
    PutText(SimImes, "1", "SIMIMEA.IME|試験用IME A");
    wsprintfA(entry, "%s|%s", LongName, WideDescription);
    PutText(SimImes, "2", entry);
    wsprintfA(entry, "SIMIMEC.IME|%s", NarrowDescription);
    PutText(SimImes, "3", entry);

    // The enumeration: the stand-in really hands out unterminated fields.
    ImeEntry ime;
    memset(&ime, 0, sizeof ime);
    CHECK(ImeQuery(&ime) && ImeQuery(&ime));
    CHECK(ime.record.szDescription[49] != 0 && ime.record.szName[79] != 0 && ime.record.szOptions[0] == '#');
    CHECK_STR(ime.description, WideDescription);
    CHECK_STR(ime.name, LongName);
    CHECK(ImeQuery(&ime));
    CHECK_STR(ime.description, NarrowDescription);
    CHECK(!ImeQuery(&ime));

    // The cycle compares whole names: after the long one comes the third.
    ImeEntry current, next;
    Name(&current, "SIMIMEA.IME");
    CHECK(FindNextIme(&current, &next));
    CHECK_STR(next.name, LongName);
    CHECK(FindNextIme(&next, &current));
    CHECK_STR(current.name, "SIMIMEC.IME");

    // The change key: the window gets the whole name, the pop-up's title is
    // the whole description; the tick shows it as the current IME.
    SetSimIme(w, "SIMIMEA.IME");
    CHECK(Front(w));
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    CHECK_STR(SimIme(w), LongName);
    char title[TextSize] = "";
    GetWindowTextA(g_flashWindow, title, sizeof title);
    CHECK_STR(title, WideDescription);
    CHECK_STR(FlashIme.description, WideDescription);
    Pump(50);
    CHECK(!IsWindow(g_flashWindow));
    Settings.UseSameImeForAllApps = 0;   // follow the window rather than impose
    OnTimerTick();
    CHECK_STR(CurrentIme.description, WideDescription);
    CHECK_STR(CurrentIme.name, LongName);

    // The IME dialog lists the descriptions; the long IME moved down is
    // excluded and saved under its whole name.
    SetTimer(nullptr, 0, 100, AnswerImeDialog);
    SendMessageA(main, WM_COMMAND, IDM_SELECTIME, 0);
    CHECK_EQ(g_listedCount[0], 3);
    CHECK_STR(g_listed[0][1], WideDescription);
    CHECK_STR(g_listed[0][2], NarrowDescription);
    CHECK_EQ(g_listedCount[1], 1);
    CHECK_STR(g_listed[1][0], WideDescription);
    const char *names[4];
    CHECK_EQ(ExcludedNames(names, 4), 1);
    CHECK_STR(names[0], LongName);
    SaveSettings();
    char saved[128] = "";
    CHECK(GetValue(ImeKey, "IME0", saved, sizeof saved));
    CHECK_STR(saved, LongName);
    ReleaseImeState();
}

static void IconPath()
{
    Group("an IME file whose path does not fit is no icon, and the buffer is left empty");
    char path[MAX_PATH];
    CHECK(FindImeFile("SIMIMEA.IME", path, sizeof path));
    CHECK(lstrlenA(path) > 12);
    char small[12];
    memset(small, 'x', sizeof small);
    CHECK(!FindImeFile("SIMIMEA.IME", small, sizeof small));
    CHECK_EQ(small[0], 0);
    lstrcpyA(path, "stale");
    CHECK(!FindImeFile("NOSUCH.IME", path, sizeof path));
    CHECK_EQ(path[0], 0);
}

static BOOL CALLBACK CountTopLevel(HWND, LPARAM count)
{
    ++*(int *)count;
    return TRUE;
}

static void OnOffWithoutFront(HWND main, HWND first, HWND second)
{
    Group("the on/off key with no window in front does nothing");
    // Every window of the process out of the way, then the front one gone.
    ShowWindow(main, SW_HIDE);
    ShowWindow(first, SW_HIDE);
    ShowWindow(second, SW_HIDE);
    HWND last = MakeWindow("last", 40);
    Front(last);
    DestroyWindow(last);
    Pump(200);
    CHECK(GetForegroundWindow() == nullptr);
    int topLevel = 0;
    EnumWindows(CountTopLevel, (LPARAM)&topLevel);
    CHECK(topLevel > 0);   // windows the old walk would have reached
    DWORD before = GetDword("Software\\KelvoTest\\Record", "Count", 0);
    SendMessageA(main, WM_HOTKEY, ID_ONOFF_KEY, 0);
    CHECK_EQ(GetDword("Software\\KelvoTest\\Record", "Count", 0), before);
    CHECK_EQ(SimOpen(first), 0);
    CHECK_EQ(SimOpen(second), 0);
    CHECK(BusyFlag == 0);
    ShowWindow(first, SW_SHOW);
    ShowWindow(second, SW_SHOW);
    ShowWindow(main, SW_SHOWMINNOACTIVE);
}

// Closes the pop-up at its first paint, before the change key's release.
static int g_closeEarly;
static LRESULT CALLBACK CloseAtPaint(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *r = (const CWPRETSTRUCT *)lParam;
    if (code >= 0 && g_closeEarly && r->message == WM_PAINT && r->hwnd == g_flashWindow) {
        g_closeEarly = 0;
        PostMessageA(r->hwnd, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

static void PopUpClosedEarly(HWND main, HWND w)
{
    Group("a pop-up closed before the release leaves the next one up while the key is held");
    DeleteTree(SimImes);
    SetSimIme(w, "SIMIMEA.IME");
    CHECK(Front(w));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, CloseAtPaint, nullptr, GetCurrentThreadId());
    g_closeEarly = 1;
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    UnhookWindowsHookEx(hook);
    CHECK(g_closeEarly == 0 && !IsWindow(g_flashWindow));
    CHECK(FlashClosePending == 0);
    // The next press: its pop-up outlives its first paint and waits for its
    // own release (the close request is still queued when the key handler
    // returns).
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    CHECK(IsWindow(g_flashWindow) && FlashPainted && FlashClosePending);
    Pump(50);
    CHECK(!IsWindow(g_flashWindow));
    CHECK(FlashPainted == 0 && FlashClosePending == 0);
}

static void SoundOnMissingDrive(HWND main, HWND w)
{
    Group("a sound on a drive that does not exist: the switch and the pop-up, and no box");
    PutText(SoundEvent, "", "Q:\\Media\\ding.wav");
    Settings.PlaySound = 1;
    SetSimIme(w, "SIMIMEA.IME");
    CHECK(Front(w));
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, 0);
    CHECK_STR(SimIme(w), "SIMIMEB.IME");
    CHECK(IsWindow(g_flashWindow) && FlashPainted);
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&box);
    CHECK(box == nullptr);
    Pump(50);
    CHECK(!IsWindow(g_flashWindow));
    Settings.PlaySound = 0;
}

static int g_flashCreated;
static LRESULT CALLBACK CountFlashCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char cls[32];
        GetClassNameA((HWND)wParam, cls, sizeof cls);
        if (lstrcmpA(cls, "KelvoFlashClass") == 0) ++g_flashCreated;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// On Windows 95 a window handle is a 16-bit USER handle without uniqueness
// bits: once a window is gone its handle soon names the next window created.
// Wine's handles do carry such bits, so this cannot wait for a recycled
// handle: it shows that no handle is kept once its window is gone.
static void HandlesOfWindowsGone(HWND main, HWND w, HWND other)
{
    Group("the pop-up's handle is cleared when the pop-up is gone");
    DeleteTree(SimImes);
    SetSimIme(w, "SIMIMEA.IME");
    CHECK(Front(w));
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, MAKELPARAM(0, VK_F2));
    HWND shown = g_flashWindow;
    CHECK(shown != nullptr && IsWindow(shown));
    Pump(50);
    CHECK(!IsWindow(shown));
    CHECK(g_flashWindow == nullptr);                  // the dead handle was kept before

    Group("the status bar switched off and on outlives the next change key");
    if (!Settings.StatusBar) SendMessageA(main, WM_COMMAND, IDM_STATUSBAR, 0);
    CHECK(Settings.StatusBar == 1 && IsWindow(g_statusWindow));
    SendMessageA(main, WM_COMMAND, IDM_STATUSBAR, 0);
    CHECK(Settings.StatusBar == 0 && g_statusWindow == nullptr);
    SendMessageA(main, WM_COMMAND, IDM_STATUSBAR, 0);
    HWND bar = g_statusWindow;
    CHECK(Settings.StatusBar == 1 && bar != nullptr && IsWindow(bar));
    CHECK(Front(w));
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, MAKELPARAM(0, VK_F2));
    Pump(50);
    CHECK(IsWindow(bar) && g_statusWindow == bar);
    CHECK(g_flashWindow == nullptr);

    Group("the status bar's handle goes with its window, also when its parent destroys it");
    HWND frame = MakeWindow("frame", 40);
    HWND child = CreateWindowExA(0, "KelvoStatusClass", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    g_statusWindow = child;
    DestroyWindow(frame);
    CHECK(!IsWindow(child));
    CHECK(g_statusWindow == nullptr);
    g_statusWindow = bar;

    Group("with nothing in front, the change key is still handled after the first pop-up");
    ShowWindow(main, SW_HIDE);
    ShowWindow(w, SW_HIDE);
    ShowWindow(other, SW_HIDE);
    HWND last = MakeWindow("last", 40);
    Front(last);
    DestroyWindow(last);
    Pump(200);
    CHECK(GetForegroundWindow() == nullptr);
    DWORD before = GetDword("Software\\KelvoTest\\Record", "Count", 0);
    HHOOK hook = SetWindowsHookExA(WH_CBT, CountFlashCreation, nullptr, GetCurrentThreadId());
    g_flashCreated = 0;
    SendMessageA(main, WM_HOTKEY, ID_CHANGE_KEY, MAKELPARAM(0, VK_F2));
    UnhookWindowsHookEx(hook);
    // The switch was tried on no window (the simulated IMEs refuse it, so
    // no pop-up follows): the key went past step 2.
    CHECK(GetDword("Software\\KelvoTest\\Record", "Count", 0) > before);
    CHECK(strncmp(LastRecord(1), "IMPSetIMEA 00000000 ", 20) == 0);
    CHECK(g_flashCreated == 0 && g_flashWindow == nullptr && BusyFlag == 0);
    ShowWindow(w, SW_SHOW);
    ShowWindow(other, SW_SHOW);
    ShowWindow(main, SW_SHOWMINNOACTIVE);
    Pump(50);
}

int main()
{
    Defaults = Settings;
    DeleteTree(Sim);
    RegistryValues();
    Fresh();
    HWND main = StartTestMain();
    HWND first = MakeWindow("first", 20);
    HWND second = MakeWindow("second", 360);

    TypedSoundPath(main);
    Settings.ChangeVKey = VK_F2;
    FullWidthRecords(main, first);
    IconPath();
    PopUpClosedEarly(main, first);
    SoundOnMissingDrive(main, first);
    HandlesOfWindowsGone(main, first, second);
    OnOffWithoutFront(main, first, second);
    DestroyWindow(main);
    return Finish();
}
