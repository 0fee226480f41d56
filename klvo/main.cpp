// Start-up, the main window and its commands. The window procedure hands
// each message to one small handler; WM_TIMER goes to the tracking and
// WM_HOTKEY to the hot keys.
#include "klvo.h"
#include "ime.h"
#include "core/core.h"

HINSTANCE g_instance;
HWND g_mainWindow;
HWND g_statusWindow;
char g_emptyString[1];

static const char MainClass[] = "KelvoClass";
static const char StatusClass[] = "KelvoStatusClass";
static const char FlashClass[] = "KelvoFlashClass";
static const char ProductName[] = "Kelvo";
constexpr DWORD MainStyle = WS_MINIMIZE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD MainExStyle = WS_EX_DLGMODALFRAME;
constexpr int ClientWidth = 448;
constexpr int DisplayHeight = 170;       // client height without the status bar

static UINT_PTR TrackTimer;
static char HelpPath[MAX_PATH];

struct SavedKeys {
    DWORD changeKey, changeModifier, onOffKey, onOffModifier;
};

void CenterOverMain(HWND dialog)
{
    RECT box, client;
    GetWindowRect(dialog, &box);
    GetClientRect(g_mainWindow, &client);
    POINT centre = {(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ClientToScreen(g_mainWindow, &centre);
    int width = box.right - box.left, height = box.bottom - box.top;
    int x = centre.x - width / 2, y = centre.y - height / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    MoveWindow(dialog, x, y, width, height, FALSE);
}

static int SearchFolder(const char *folder)
{
    char *filePart;
    DWORD n = SearchPathA(folder, "KLVO.HLP", nullptr, sizeof HelpPath, HelpPath, &filePart);
    return n != 0 && n < sizeof HelpPath;
}

const char *FindHelpFile()
{
    char folder[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) return nullptr;
    folder[sizeof folder - 1] = 0;
    CutAtLastBackslash(folder);
    if (SearchFolder(folder)) return HelpPath;
    if (AppendText(folder, sizeof folder, "\\System") && SearchFolder(folder)) return HelpPath;
    return nullptr;
}

static void CreateStatusBar()
{
    g_statusWindow = CreateWindowExA(0, StatusClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                     g_mainWindow, nullptr, g_instance, nullptr);
}

static void RegisterKey(HWND window, int id, DWORD modifier, DWORD key)
{
    if (key) RegisterHotKey(window, id, modifier, key);
}

static LRESULT OnCreate(HWND window)
{
    g_mainWindow = window;
    if (Settings.StatusBar) {
        CreateStatusBar();
        ShowKeyHint();
    }
    EnableMenuItem(GetSystemMenu(window, FALSE), SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
    CheckMenuItem(GetMenu(window), IDM_STATUSBAR, Settings.StatusBar ? MF_CHECKED : MF_UNCHECKED);
    LastTopWindow = TopLevelOf(GetForegroundWindow());
    LastTopThread = GetWindowThreadProcessId(LastTopWindow, nullptr);
    GetWindowTextA(LastTopWindow, ShownAppTitle, sizeof ShownAppTitle);
    ImeKnown = WindowAnswers(LastTopWindow) && ImeGet(LastTopWindow, &CurrentIme);
    RegisterKey(window, ID_CHANGE_KEY, Settings.ChangeKeyModifier, Settings.ChangeVKey);
    RegisterKey(window, ID_ONOFF_KEY, Settings.OnOffKeyModifier, Settings.OnOffVKey);
    TrackTimer = SetTimer(window, ID_TRACK_TIMER, 750, nullptr);
    return 0;
}

static void RecordPosition(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    Settings.XPos = r.left;
    Settings.YPos = r.top;
}

static LRESULT OnMove(HWND window)
{
    if (!IsIconic(window)) RecordPosition(window);
    return 0;
}

static LRESULT OnSize(HWND window, WPARAM kind, LPARAM size)
{
    if (kind != SIZE_RESTORED) return 0;
    if (Settings.StatusBar && g_statusWindow)
        MoveWindow(g_statusWindow, 0, HIWORD(size) - StatusBarHeight, LOWORD(size), StatusBarHeight, TRUE);
    RecordPosition(window);
    return 0;
}

static LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    PaintMain(window, dc);
    EndPaint(window, &ps);
    return 0;
}

static LRESULT OnClose(HWND window)
{
    WinHelpA(window, g_emptyString, HELP_QUIT, 0);
    if (Settings.ChangeVKey) UnregisterHotKey(window, ID_CHANGE_KEY);
    if (Settings.OnOffVKey) UnregisterHotKey(window, ID_ONOFF_KEY);
    KillTimer(window, TrackTimer);
    DestroyWindow(window);
    return 0;
}

static void ToggleStatusBar(HWND window)
{
    Settings.StatusBar = !Settings.StatusBar;
    CheckMenuItem(GetMenu(window), IDM_STATUSBAR, Settings.StatusBar ? MF_CHECKED : MF_UNCHECKED);
    RECT r;
    GetWindowRect(window, &r);
    if (Settings.StatusBar) {
        CreateStatusBar();
        MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top + StatusBarHeight, TRUE);
        RECT client;
        GetClientRect(window, &client);
        MoveWindow(g_statusWindow, 0, client.bottom - StatusBarHeight, client.right, StatusBarHeight, TRUE);
        ShowKeyHint();
    } else {
        DestroyWindow(g_statusWindow);
        g_statusWindow = nullptr;
        MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top - StatusBarHeight, TRUE);
    }
}

static void RunDialog(HWND window, int id, DLGPROC procedure)
{
    SetStatusText(-1);
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(id), window, procedure, 0);
    ShowKeyHint();
}

// A hot key whose key or modifier changed is registered again.
static void RenewHotKey(HWND window, int id, DWORD oldKey, DWORD oldModifier, DWORD key, DWORD modifier)
{
    if (key == oldKey && modifier == oldModifier) return;
    if (oldKey) UnregisterHotKey(window, id);
    if (key) RegisterHotKey(window, id, modifier, key);
}

static void RunKeySettings(HWND window)
{
    SavedKeys saved = {Settings.ChangeVKey, Settings.ChangeKeyModifier, Settings.OnOffVKey,
                       Settings.OnOffKeyModifier};
    SetStatusText(-1);
    LoadSoundFile();
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_KEYS), window, KeyDlgProc, 0);
    SaveSoundFile();
    ShowKeyHint();
    RenewHotKey(window, ID_CHANGE_KEY, saved.changeKey, saved.changeModifier, Settings.ChangeVKey,
                Settings.ChangeKeyModifier);
    RenewHotKey(window, ID_ONOFF_KEY, saved.onOffKey, saved.onOffModifier, Settings.OnOffVKey,
                Settings.OnOffKeyModifier);
}

static LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const char *help;
    switch (LOWORD(wParam)) {
    case IDM_STATUSBAR:
        ToggleStatusBar(window);
        return 0;
    case IDM_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case IDM_SELECTIME:
        RunDialog(window, IDD_IME, IMEDlgProc);
        return 0;
    case IDM_KEYSETTINGS:
        RunKeySettings(window);
        return 0;
    case IDM_CONTENTS:
        if ((help = FindHelpFile())) WinHelpA(window, help, HELP_CONTENTS, 0);
        return 0;
    case IDM_SEARCH:
        if ((help = FindHelpFile())) WinHelpA(window, help, HELP_PARTIALKEY, (ULONG_PTR)g_emptyString);
        return 0;
    case IDM_HELPONHELP:
        WinHelpA(window, nullptr, HELP_HELPONHELP, 0);
        return 0;
    case IDM_ABOUT:
        RunDialog(window, IDD_ABOUT, VersionDlgProc);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The help text of a menu entry, or -1 for none.
static int MenuHelpId(UINT flags, UINT item)
{
    if (flags & MF_SYSMENU) return -1;
    if (flags & MF_POPUP) {
        static const int PopupHelp[] = {0, 3, 6};
        return item < ARRAYSIZE(PopupHelp) ? PopupHelp[item] : -1;
    }
    switch (item) {
    case IDM_STATUSBAR: return 1;
    case IDM_EXIT: return 2;
    case IDM_SELECTIME: return 4;
    case IDM_KEYSETTINGS: return 5;
    case IDM_CONTENTS: return 7;
    case IDM_SEARCH: return 8;
    case IDM_HELPONHELP: return 9;
    case IDM_ABOUT: return 10;
    }
    return -1;
}

static LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == 0xFFFF && lParam == 0) ShowKeyHint();
    else SetStatusText(MenuHelpId(HIWORD(wParam), LOWORD(wParam)));
    return 0;
}

static LRESULT OnImeReport(WPARAM wParam, LPARAM lParam)
{
    if (wParam == IR_IMESELECT && lParam == 1) {
        HWND top = TopLevelOf(GetForegroundWindow());
        ImeKnown = WindowAnswers(top) && ImeGet(top, &CurrentIme);
        InvalidateDisplay();
    }
    return 0;
}

// Exported by name, as are the other window and dialog procedures.
extern "C" __declspec(dllexport) LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_MOVE: return OnMove(window);
    case WM_SIZE: return OnSize(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    case WM_CLOSE: return OnClose(window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SYSCOLORCHANGE: InvalidateRect(window, nullptr, TRUE); return 0;
    case WM_ENDSESSION: SaveSettings(); return 0;
    case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
    case WM_MENUSELECT: return OnMenuSelect(wParam, lParam);
    case WM_IME_REPORT: return OnImeReport(wParam, lParam);
    case WM_TIMER: OnTimerTick(); return 0;
    case WM_HOTKEY: OnHotKey(window, wParam); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RegisterKelvoClasses(HINSTANCE instance)
{
    WNDCLASSA main = {};
    main.style = CS_VREDRAW | CS_HREDRAW;
    main.lpfnWndProc = WndProc;
    main.hInstance = instance;
    main.hIcon = LoadIconA(instance, ProductName);
    main.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    main.hbrBackground = (HBRUSH)(COLOR_3DLIGHT + 1);
    main.lpszMenuName = ProductName;
    main.lpszClassName = MainClass;
    if (!RegisterClassA(&main)) return 0;

    WNDCLASSA status = {};
    status.style = CS_VREDRAW | CS_HREDRAW;
    status.lpfnWndProc = StatusWndProc;
    status.hInstance = instance;
    status.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    status.hbrBackground = (HBRUSH)(COLOR_3DLIGHT + 1);
    status.lpszClassName = StatusClass;
    if (!RegisterClassA(&status)) return 0;

    WNDCLASSA flash = {};
    flash.lpfnWndProc = FlashWndProc;
    flash.hInstance = instance;
    flash.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    flash.lpszClassName = FlashClass;
    return RegisterClassA(&flash) != 0;
}

// Brings the running copy forward: its main window restored when it is
// minimised, and the dialog it has open (else the main window) in front.
// A copy started at the same moment may not have its window yet: it is
// given a few seconds to make it.
static void RaiseRunningCopy()
{
    HWND running = nullptr;
    for (int tries = 0; tries < 20 && !(running = FindWindowA(MainClass, nullptr)); ++tries) Sleep(250);
    if (!running) return;
    HWND popup = GetLastActivePopup(running);
    if (!popup) popup = running;
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(popup);
    BringWindowToTop(popup);
}

// The name that one running copy holds; the system decides at once which
// of two copies started together made it.
static const char RunningMutex[] = "KelvoRunning";

static int IsWindows95()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

static void RefusePlatform(HINSTANCE instance)
{
    char text[TextSize];
    text[0] = 0;
    LoadStringA(instance, IDS_WRONG_PLATFORM, text, sizeof text);
    MessageBeep(MB_ICONHAND);
    MessageBoxA(nullptr, text, ProductName, MB_ICONHAND);
}

int KelvoMain(HINSTANCE instance)
{
    g_instance = instance;
    // A sound or icon on a disk that has been taken out is skipped quietly,
    // as any missing file: no "drive not ready" box over the pop-up.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Kept to the end of the process, which releases it.
    if (CreateMutexA(nullptr, FALSE, RunningMutex) && GetLastError() == ERROR_ALREADY_EXISTS) {
        RaiseRunningCopy();
        return 0;
    }
    if (!IsWindows95()) {
        RefusePlatform(instance);
        return 0;
    }

    ImeMessageBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(IMESTRUCT));
    Settings.SoundFile[0] = 0;
    LoadSettings();
    if (!ImeMessageBlock) return 0;

    RECT outer = {0, 0, ClientWidth, DisplayHeight + (Settings.StatusBar ? StatusBarHeight : 0)};
    AdjustWindowRectEx(&outer, MainStyle, TRUE, MainExStyle);
    int width = outer.right - outer.left, height = outer.bottom - outer.top;

    if (!RegisterKelvoClasses(instance)) return 0;
    HWND window = CreateWindowExA(MainExStyle, MainClass, ProductName, MainStyle,
                                  Settings.XPos == NO_POSITION ? CW_USEDEFAULT : Settings.XPos,
                                  Settings.YPos == NO_POSITION ? CW_USEDEFAULT : Settings.YPos,
                                  width, height, nullptr, nullptr, instance, nullptr);
    if (!window) return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, ProductName);
    ShowWindow(window, SW_SHOWMINIMIZED);
    UpdateWindow(window);

    MSG msg;
    msg.wParam = 0;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(window, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    SaveSettings();
    ReleaseImeState();
    UnregisterClassA(MainClass, instance);
    return (int)msg.wParam;
}
