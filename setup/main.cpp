// Start-up, the full-screen main window with its backdrop, the message loop
// and the tear-down of the installer.
#include "setup.h"

#include <windowsx.h>

namespace {

const char kClassName[] = "OrvaltClass";
const char kSetupWord[] = " セットアップ";
const char kUninstallWord[] = " (アンインストール)";

// Main window: maximised, caption, system menu, minimise and maximise boxes,
// no sizing border, hidden until shown.
const DWORD kMainStyle = WS_MAXIMIZE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
static_assert(kMainStyle == 0x01CB0000, "main window style");

// Timers of the clean-up copy.
const UINT_PTR kCleanupInstallTimer = 1000;
const UINT_PTR kCleanupUninstallTimer = 1001;
const UINT kCleanupPeriod = 1000;

// Marks the hidden window of a clean-up copy. Such a copy runs no script and
// never talks to the user, so it does not count as a running installer: a
// user who starts Setup.exe (or the uninstaller) in the second or two after
// an installation would otherwise see nothing happen at all.
const char kCleanupMark[] = "OrvaltCleanupCopy";

// Another installer runs: bring it (or its open dialog) forward.
bool ActivateRunningCopy()
{
    HWND running = nullptr;
    do {
        running = FindWindowExA(nullptr, running, kClassName, nullptr);
    } while (running != nullptr && GetPropA(running, kCleanupMark) != nullptr);
    if (running == nullptr) return false;
    HWND popup = GetLastActivePopup(running);
    if (popup == nullptr) popup = running;
    BringWindowToTop(popup);
    if (IsIconic(popup)) ShowWindow(popup, SW_RESTORE);
    return true;
}

bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, sc::kOrvaltName);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

void PaintBackground(HDC dc, HWND window)
{
    BITMAP info;
    if (g_setup.tileBitmap == nullptr || !GetObjectA(g_setup.tileBitmap, sizeof info, &info)) return;
    if (info.bmWidth <= 0 || info.bmHeight <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, g_setup.tileBitmap);
    RECT client;
    GetClientRect(window, &client);
    for (int top = 0; top < client.bottom; top += info.bmHeight) {
        for (int left = 0; left < client.right; left += info.bmWidth) {
            BitBlt(dc, left, top, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        }
    }
    SelectObject(memory, old);
    DeleteDC(memory);
}

// The black-on-white logo drawn white at (10, 5) over a black shadow two
// pixels to the right and down; white parts leave the backdrop alone.
void PaintLogo(HDC dc)
{
    BITMAP info;
    if (g_setup.logoBitmap == nullptr || !GetObjectA(g_setup.logoBitmap, sizeof info, &info)) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, g_setup.logoBitmap);
    BitBlt(dc, 12, 7, info.bmWidth, info.bmHeight, memory, 0, 0, SRCAND);
    BitBlt(dc, 10, 5, info.bmWidth, info.bmHeight, memory, 0, 0, MERGEPAINT);
    SelectObject(memory, old);
    DeleteDC(memory);
}

BOOL OnCreate(HWND window, LPCREATESTRUCTA)
{
    if (g_setup.silent) {
        PostMessageA(window, WM_USER, 0, 0);
        g_setup.startOnPaint = 0;
    }
    if (g_setup.cleanupInstall) SetTimer(window, kCleanupInstallTimer, kCleanupPeriod, nullptr);
    if (g_setup.cleanupUninstall) SetTimer(window, kCleanupUninstallTimer, kCleanupPeriod, nullptr);
    if (g_setup.cleanupInstall || g_setup.cleanupUninstall) SetPropA(window, kCleanupMark, reinterpret_cast<HANDLE>(1));
    return TRUE;
}

void OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    PaintBackground(dc, window);
    PaintLogo(dc);
    EndPaint(window, &ps);
    if (g_setup.startOnPaint) {
        PostMessageA(window, WM_USER, 0, 0);
        g_setup.startOnPaint = 0;
    }
}

void OnDestroy(HWND window)
{
    RemovePropA(window, kCleanupMark);
    PostQuitMessage(0);
}

// End Task or the close box: the run stops as a cancel does, between two
// lines, with its work folders removed. The window stays until then: it
// owns the stop notice, and the step that runs may still use it.
void OnClose(HWND window)
{
    if (g_setup.cleanupInstall || g_setup.cleanupUninstall) {
        DestroyWindow(window);
        return;
    }
    g_setup.closeRequested = 1;
    g_setup.abortRequested = 1;
}

void OnTimer(HWND window, UINT id)
{
    CleanupTick(window, id);
}

int RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND progress = g_setup.progressDialog;
        if (progress != nullptr && IsDialogMessageA(progress, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

void ApplyCommandLine(char *commandLine)
{
    sc::CommandLineOptions options;
    sc::ParseCommandLine(commandLine, &options);
    g_setup.installMode = options.installMode;
    g_setup.silent = options.silent;
    g_setup.cleanupInstall = options.cleanupInstall;
    g_setup.cleanupUninstall = options.cleanupUninstall;
    g_setup.hasCleanupFile = options.cleanupFile != nullptr;
    g_setup.hasCleanupDir = options.cleanupDir != nullptr;
    bool whole = sc::CopyText(g_setup.cleanupFile, PathSize, options.cleanupFile);
    whole = sc::CopyText(g_setup.cleanupDir, PathSize, options.cleanupDir) && whole;
    if (!whole) {
        // A cut operand names another file or folder than the one meant:
        // the copy treats both operands as missing and quits at once.
        g_setup.hasCleanupFile = 0;
        g_setup.hasCleanupDir = 0;
        g_setup.cleanupFile[0] = '\0';
        g_setup.cleanupDir[0] = '\0';
    }
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_PAINT, OnPaint);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_TIMER, OnTimer);
    case WM_USER:
        ScriptStep();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void BuildCaption(char *caption, const char *appName, int installMode)
{
    // Room for the words after the name is kept first, so a long name is
    // what gets cut, and only between two characters.
    unsigned tail = sc::StrLen(kSetupWord) + (installMode == 0 ? sc::StrLen(kUninstallWord) : 0);
    sc::CopyText(caption, PathSize - tail, appName);
    lstrcatA(caption, kSetupWord);
    if (installMode == 0) lstrcatA(caption, kUninstallWord);
}

void FindProgramFilesDir(char *out)
{
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS) {
        return;
    }
    if (ReadRegistryText(key, "ProgramFilesDir", out) != RegistryTextWhole) {
        // The Windows drive's root followed by "Program Files".
        if (WindowsFolder(out)) lstrcpyA(out + 3, "Program Files");
    }
    RegCloseKey(key);
}

void CenterOverMainWindow(HWND dialog, HWND owner)
{
    RECT box;
    RECT client;
    GetWindowRect(dialog, &box);
    GetClientRect(owner, &client);
    POINT centre = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    ClientToScreen(owner, &centre);
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    MoveWindow(dialog, centre.x - width / 2, centre.y - height / 2, width, height, FALSE);
}

int SetupMain(HINSTANCE instance, char *commandLine)
{
    g_setup.installMode = 1;
    g_setup.startOnPaint = 1;
    g_setup.stepOk = 1;
    ApplyCommandLine(commandLine);
    if (g_setup.cleanupInstall || g_setup.cleanupUninstall) EnterOwnFolder();

    if (!g_setup.cleanupInstall && !g_setup.cleanupUninstall && ActivateRunningCopy()) return ExitAnotherRuns;
    if (!RegisterMainClass(instance)) return ExitNoWindow;

    g_setup.logoBitmap = LoadBitmapA(instance, sc::kOrvaltName);
    g_setup.tileBitmap = LoadBitmapA(instance, "back");
    LoadScript(instance);
    FindProgramFilesDir(g_setup.programFilesDir);
    g_setup.destDir[0] = '\0';
    sc::ScanAppName(&g_script, g_setup.appName);
    BuildCaption(g_setup.caption, g_setup.appName, g_setup.installMode);

    g_setup.instance = instance;
    g_setup.mainWindow = CreateWindowExA(0, kClassName, g_setup.caption, kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (g_setup.mainWindow == nullptr) return ExitNoWindow;
    bool hidden = g_setup.silent || g_setup.cleanupInstall || g_setup.cleanupUninstall;
    ShowWindow(g_setup.mainWindow, hidden ? SW_HIDE : SW_SHOWMAXIMIZED);
    UpdateWindow(g_setup.mainWindow);

    int exitCode = RunMessageLoop();

    DeleteObject(g_setup.logoBitmap);
    DeleteObject(g_setup.tileBitmap);
    ProgmanDisconnect();
    return exitCode;
}
