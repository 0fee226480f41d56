// Registry helpers of the switcher's Win32-level tests.
#pragma once
#include <windows.h>
#include <stdio.h>

#include "../checks.h"
#include "klvo.h"

// Deletes a key and everything below it (HKEY_CURRENT_USER).
inline void DeleteTree(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char sub[512];
        DWORD size;
        while (size = sizeof sub, RegEnumKeyExA(key, 0, sub, &size, nullptr, nullptr, nullptr, nullptr) ==
                                      ERROR_SUCCESS) {
            char child[1024];
            wsprintfA(child, "%s\\%s", path, sub);
            DeleteTree(child);
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

inline void PutValue(const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
}

inline void PutDword(const char *path, const char *name, DWORD value)
{
    PutValue(path, name, REG_DWORD, &value, sizeof value);
}

inline void PutText(const char *path, const char *name, const char *text)
{
    PutValue(path, name, REG_SZ, text, lstrlenA(text) + 1);
}

// The data of a value; 0 when it is missing. type and size may be null.
inline int GetValue(const char *path, const char *name, void *data, DWORD capacity, DWORD *type = nullptr,
                    DWORD *size = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD t, s = capacity;
    LONG r = RegQueryValueExA(key, name, nullptr, &t, (BYTE *)data, &s);
    RegCloseKey(key);
    if (type) *type = t;
    if (size) *size = s;
    return r == ERROR_SUCCESS;
}

inline DWORD GetDword(const char *path, const char *name, DWORD fallback = 0xDEADBEEF)
{
    DWORD v;
    return GetValue(path, name, &v, sizeof v) ? v : fallback;
}

// --- the simulated IME system of the Wine build (HKCU\Software\KelvoTest) ---
static const char Sim[] = "Software\\KelvoTest";
static const char SimImes[] = "Software\\KelvoTest\\IME";

inline void SimWindowKey(HWND window, char *path)
{
    wsprintfA(path, "%s\\Windows\\%08lX", Sim, (DWORD)(ULONG_PTR)window);
}

inline void SetSimIme(HWND window, const char *name)
{
    char path[64];
    SimWindowKey(window, path);
    PutText(path, "IME", name);
}

inline const char *SimIme(HWND window)
{
    static char name[128];
    char path[64];
    SimWindowKey(window, path);
    name[0] = 0;
    if (!GetValue(path, "IME", name, sizeof name)) lstrcpyA(name, "(none)");
    return name;
}

inline DWORD SimOpen(HWND window)
{
    char path[64];
    SimWindowKey(window, path);
    return GetDword(path, "Open", 0);
}

inline const char *LastRecord(int back = 0)
{
    static char line[200];
    DWORD count = GetDword("Software\\KelvoTest\\Record", "Count", 0);
    char name[16];
    wsprintfA(name, "%lu", count - 1 - back);
    line[0] = 0;
    GetValue("Software\\KelvoTest\\Record", name, line, sizeof line);
    return line;
}

inline void Pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while ((LONG)(end - GetTickCount()) > 0);
}

// An entry that names an IME, as a record from the system would.
inline void Name(ImeEntry *entry, const char *name)
{
    memset(entry, 0, sizeof *entry);
    lstrcpyA((char *)entry->record.szName, name);
    lstrcpyA(entry->name, name);
}

inline BOOL CALLBACK FindDialog(HWND w, LPARAM found)
{
    char cls[16];
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) *(HWND *)found = w;
    return TRUE;
}


// The excluded IME names in slot order.
inline int ExcludedNames(const char **names, int capacity)
{
    int n = 0;
    for (const char *s = NextExcludedIme(1); s && n < capacity; s = NextExcludedIme(0)) names[n++] = s;
    return n;
}

inline int ValueCount(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return (int)values;
}

inline HWND MakeWindow(const char *title, int x)
{
    HWND w = CreateWindowExA(0, "KlvoTestFrame", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 300, 300, 120,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Pump(50);
    return w;
}

inline int Front(HWND w)
{
    SetForegroundWindow(w);
    Pump(100);
    return GetForegroundWindow() == w;
}


// --- the settings store ---
static const char KelvoKey[] = "Software\\Mokra\\Kelvo";
static const char KeyKey[] = "Software\\Mokra\\Kelvo\\Key";
static const char WindowKey[] = "Software\\Mokra\\Kelvo\\Window";
static const char ImeKey[] = "Software\\Mokra\\Kelvo\\IME";
static const char SoundEvent[] = "AppEvents\\Schemes\\Apps\\Kelvo\\KelvoIMEChange\\.Current";

// No settings in the registry, no excluded IMEs, the given record in force.
inline void FreshSettings(const SettingsRecord &defaults)
{
    DeleteTree(KelvoKey);
    DeleteTree("AppEvents\\Schemes\\Apps\\Kelvo");
    ReleaseImeState();
    Settings = defaults;
}

inline LRESULT CALLBACK TestFrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

// Kelvo's main window, minimised, without its tracking timer and without
// system-wide hot keys; the class "KlvoTestFrame" for the windows in front.
inline HWND StartTestMain()
{
    g_instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestFrameProc;
    wc.hInstance = g_instance;
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "KlvoTestFrame";
    RegisterClassA(&wc);
    CHECK(RegisterKelvoClasses(g_instance));
    ImeMessageBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(IMESTRUCT));
    DWORD changeKey = Settings.ChangeVKey, onOffKey = Settings.OnOffVKey;
    Settings.ChangeVKey = 0;
    Settings.OnOffVKey = 0;
    HWND main = CreateWindowExA(WS_EX_DLGMODALFRAME, "KelvoClass", "Kelvo",
                                WS_MINIMIZE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 20, 20, 454, 260, nullptr,
                                nullptr, g_instance, nullptr);
    CHECK(main != nullptr);
    KillTimer(main, ID_TRACK_TIMER);
    ShowWindow(main, SW_SHOWMINIMIZED);
    Settings.ChangeVKey = changeKey;
    Settings.OnOffVKey = onOffKey;
    return main;
}
