// Registry helpers of the switcher's Win32-level tests.
#pragma once
#include <windows.h>
#include <stdio.h>

#include "../checks.h"

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
