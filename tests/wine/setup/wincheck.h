// Checks and helpers of the installer's Win32-level tests: grouped checks,
// a scratch folder per test program, files with chosen times, and a helper
// thread that answers the message boxes the commands show and keeps their
// texts.
#pragma once
#include <windows.h>
#include <stdio.h>

#include "../checks.h"
#include "setup.h"
#include "setup_core.h"


// One script line run through a handler, as a step does: the command word is
// taken first, the handler takes the rest.
inline char g_line[sc::kPathSize];

inline void PrimeLine(const char *line)
{
    lstrcpynA(g_line, line, sizeof g_line);
    sc::NextToken(g_line, " \t");
}

inline int RunLine(CommandHandler handler, const char *line, HWND progressDialog = nullptr)
{
    PrimeLine(line);
    return handler(progressDialog);
}

// The run state of a fresh start, silent unless told otherwise.
inline void ResetState(const char *destDir, int silent = 1)
{
    ZeroMemory(&g_setup, sizeof g_setup);
    g_setup.instance = GetModuleHandleA(nullptr);
    g_setup.installMode = 1;
    g_setup.silent = silent;
    g_setup.stepOk = 1;
    lstrcpyA(g_setup.caption, "Test セットアップ");
    lstrcpyA(g_setup.programFilesDir, "C:\\Program Files");
    lstrcpynA(g_setup.destDir, destDir, sizeof g_setup.destDir);
}

// Attaches a script text (lines separated by \n) to the interpreter.
inline void UseScript(const char *text)
{
    sc::ScriptOpen(&g_script, text, static_cast<uint32_t>(lstrlenA(text)));
}

// Runs a script to its end in a hidden main window (as a silent run does),
// with destDir as the destination; returns the number of step messages that
// ran and keeps the exit code the run asked for in g_quitCode.
inline int g_quitCode = 0;

inline int RunScriptIn(const char *destDir, const char *text, int installMode, int installedFound, int silent = 1)
{
    ResetState(destDir, silent);
    g_setup.installMode = installMode;
    g_setup.installedFound = installedFound;
    BuildCaption(g_setup.caption, "Test", installMode);
    UseScript(text);
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = g_setup.instance;
        wc.lpszClassName = "OrvaltTestClass";
        RegisterClassA(&wc);
        registered = true;
    }
    g_setup.mainWindow = CreateWindowExA(0, "OrvaltTestClass", "main", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                         nullptr, g_setup.instance, nullptr);
    // A silent run's window posts the first step itself at creation.
    if (!silent) PostMessageA(g_setup.mainWindow, WM_USER, 0, 0);
    int steps = 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_USER && msg.hwnd == g_setup.mainWindow) ++steps;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_quitCode = static_cast<int>(msg.wParam);
    DestroyWindow(g_setup.mainWindow);
    // Leave no quit message of the destroyed window behind.
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    return steps;
}

// Points one of the test program's import slots (__imp_Name, which the
// installer's code calls through) at to; the old target goes to from.
inline void Redirect(void **slot, void *to, void **from)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    if (from != nullptr) *from = *slot;
    *slot = to;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

inline char g_scratch[MAX_PATH];

// A scratch folder of the test program, without a trailing backslash.
inline const char *Scratch(const char *name)
{
    MakeScratchFolder(g_scratch, name);
    return g_scratch;
}

inline void WriteTextFile(const char *path, const char *text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
}

// Writes a file of `size` bytes of `fill`; its last-write time is `ageDays`
// days before now (negative: in the future).
inline void WriteFileAged(const char *path, DWORD size, char fill, int ageDays)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    char block[512];
    FillMemory(block, sizeof block, fill);
    for (DWORD done = 0; done < size;) {
        DWORD chunk = size - done < sizeof block ? size - done : sizeof block;
        DWORD written = 0;
        WriteFile(file, block, chunk, &written, nullptr);
        done += chunk;
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER t;
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(static_cast<LONGLONG>(ageDays) * 864000000000LL);
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// The first byte of a file, or 0 when it cannot be read.
inline char FirstByte(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char c = 0;
    DWORD read = 0;
    ReadFile(file, &c, 1, &read, nullptr);
    CloseHandle(file);
    return c;
}

inline bool Contains(const char *text, const char *part)
{
    int n = lstrlenA(part);
    for (const char *p = text; *p != '\0'; ++p) {
        if (CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, p, n, part, n) == CSTR_EQUAL) return true;
    }
    return false;
}

// --- message boxes ----------------------------------------------------------
// A helper thread answers every message box of this process with the given
// button and records the texts, in order, separated by '|'. Other dialogs
// with an OK button (the closing notices) are closed with OK and recorded as
// "[caption]"; the progress dialog, which has none, and pages with a text
// field, which a test drives itself, are left alone.
inline volatile LONG g_boxAnswer = IDOK;
inline volatile LONG g_boxCount = 0;
inline char g_boxTexts[4096];
inline HANDLE g_boxThread = nullptr;

inline BOOL CALLBACK FindBox(HWND window, LPARAM found)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32];
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameA(window, cls, sizeof cls) &&
        lstrcmpA(cls, "#32770") == 0 && (GetDlgItem(window, 0xFFFF) != nullptr || GetDlgItem(window, IDOK) != nullptr) &&
        FindWindowExA(window, nullptr, "Edit", nullptr) == nullptr) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

inline DWORD WINAPI AnswerBoxes(void *)
{
    for (;;) {
        HWND box = nullptr;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr) {
            char text[1024] = "";
            bool messageBox = GetDlgItem(box, 0xFFFF) != nullptr;
            if (messageBox) {
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            } else {
                text[0] = '[';
                GetWindowTextA(box, text + 1, sizeof text - 2);
                lstrcatA(text, "]");
            }
            if (g_boxTexts[0] != '\0') lstrcatA(g_boxTexts, "|");
            if (lstrlenA(g_boxTexts) + lstrlenA(text) < static_cast<int>(sizeof g_boxTexts) - 2) {
                lstrcatA(g_boxTexts, text);
            }
            InterlockedIncrement(&g_boxCount);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(messageBox ? g_boxAnswer : IDOK, BN_CLICKED), 0);
            while (IsWindow(box)) Sleep(10);
        }
        Sleep(20);
    }
}

// Forgets the texts seen so far and answers later boxes with `answer`.
inline void AnswerBoxesWith(int answer)
{
    g_boxAnswer = answer;
    g_boxCount = 0;
    g_boxTexts[0] = '\0';
    if (g_boxThread == nullptr) g_boxThread = CreateThread(nullptr, 0, AnswerBoxes, nullptr, 0, nullptr);
}
