// Checks of the Win32-level test programs: each program runs its groups in
// order, prints every failed check with its line, and exits with the number
// of failures (0 = all passed).
#pragma once
#include <windows.h>
#include <stdio.h>

inline int g_failures = 0;
inline const char *g_group = "";

#define CHECK(cond)                                                              \
    do {                                                                         \
        if (!(cond)) {                                                           \
            ++g_failures;                                                        \
            printf("FAIL [%s] %s:%d: %s\n", g_group, __FILE__, __LINE__, #cond); \
        }                                                                        \
    } while (0)

#define CHECK_EQ(actual, expected)                                                              \
    do {                                                                                        \
        long long a_ = (long long)(actual), e_ = (long long)(expected);                         \
        if (a_ != e_) {                                                                         \
            ++g_failures;                                                                       \
            printf("FAIL [%s] %s:%d: %s is %lld, expected %lld\n", g_group, __FILE__, __LINE__, \
                   #actual, a_, e_);                                                            \
        }                                                                                       \
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

inline bool Exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A scratch folder of the test program under the temporary folder, without
// a trailing backslash.
inline void MakeScratchFolder(char *out, const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    wsprintfA(out, "%s%s-%lu", temp, name, GetCurrentProcessId());
    CreateDirectoryA(out, nullptr);
}
