// A few checks for the Win32-level tests of the installer's registry,
// Start-menu and self-removal commands. Each test program runs its groups in
// order, prints every failed check with its line, and exits with the number
// of failures (0 = all passed).
#pragma once
#include <windows.h>
#include <stdio.h>

#include "setup.h"
#include "setup_core.h"

inline int g_failures = 0;
inline const char *g_group = "";

#define CHECK(cond)                                                              \
    do {                                                                         \
        if (!(cond)) {                                                           \
            ++g_failures;                                                        \
            printf("FAIL [%s] %s:%d: %s\n", g_group, __FILE__, __LINE__, #cond); \
        }                                                                        \
    } while (0)

#define CHECK_STR(actual, expected)                                                        \
    do {                                                                                   \
        const char *a_ = (actual), *e_ = (expected);                                       \
        if (a_ == nullptr || lstrcmpA(a_, e_) != 0) {                                      \
            ++g_failures;                                                                  \
            printf("FAIL [%s] %s:%d: %s is \"%s\", expected \"%s\"\n", g_group, __FILE__, \
                   __LINE__, #actual, a_ ? a_ : "(null)", e_);                             \
        }                                                                                  \
    } while (0)

inline void Group(const char *name)
{
    g_group = name;
    printf("-- %s\n", name);
}

inline int Finish()
{
    printf(g_failures ? "%d check(s) failed\n" : "all checks passed\n", g_failures);
    return g_failures;
}

// The line of one script step: the command word is taken here, as the
// interpreter does, and the handler takes its arguments from the tokenizer.
inline char g_line[sc::kPathSize];

inline void PrimeLine(const char *line)
{
    lstrcpynA(g_line, line, sizeof g_line);
    sc::NextToken(g_line, " \t");
}

// Runs one command line through its handler; the handler's result.
inline int RunLine(CommandHandler handler, const char *line, HWND progressDialog = nullptr)
{
    PrimeLine(line);
    return handler(progressDialog);
}

// A run state as at start-up of a silent installation with the given
// destination folder.
inline void ResetState(const char *destDir)
{
    ZeroMemory(&g_setup, sizeof g_setup);
    g_setup.instance = GetModuleHandleA(nullptr);
    g_setup.installMode = 1;
    g_setup.silent = 1;
    g_setup.stepOk = 1;
    lstrcpynA(g_setup.destDir, destDir, sizeof g_setup.destDir);
    lstrcpyA(g_setup.programFilesDir, "C:\\Program Files");
}

// A scratch folder of its own under the temporary folder, without a
// trailing backslash.
inline void MakeScratchFolder(char *out, const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    wsprintfA(out, "%s%s-%lu", temp, name, GetCurrentProcessId());
    CreateDirectoryA(out, nullptr);
}

inline bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteTextFile(const char *path, const char *text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
}
