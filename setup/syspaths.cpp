// Paths that the system hands us. Each comes whole or not at all: a name
// cut to fit a buffer names another file, and nothing may act on it.
#include "setup.h"

int OwnProgramPath(char *out)
{
    DWORD n = GetModuleFileNameA(nullptr, out, PathSize);
    // A name that filled the buffer may have been cut (and, on newer
    // systems, left without its terminator).
    if (n == 0 || n >= static_cast<DWORD>(PathSize)) {
        out[0] = '\0';
        return 0;
    }
    out[n] = '\0';
    return 1;
}

int WindowsFolder(char *out)
{
    UINT n = GetWindowsDirectoryA(out, PathSize);
    // Too small a buffer gives the size it would need and writes nothing.
    if (n < 3 || n >= static_cast<UINT>(PathSize)) {
        out[0] = '\0';
        return 0;
    }
    out[n] = '\0';
    return 1;
}

int FolderOfPath(char *out, const char *path)
{
    if (!sc::CopyText(out, PathSize, path) || !sc::CutAtLastBackslash(out)) {
        out[0] = '\0';
        return 0;
    }
    // "X:" alone names the drive's current folder; its root is "X:\".
    if (out[0] && out[1] == ':' && out[2] == '\0') {
        out[2] = '\\';
        out[3] = '\0';
    }
    return out[0] != '\0';
}

int EndsInSeparator(const char *folder)
{
    // By character: 表 or ソ ends in the byte of a backslash.
    char last = '\\';
    for (const char *p = folder; *p != '\0'; p = CharNextA(p)) last = *p;
    return last == '\\' || last == ':';
}

int PathInFolder(char *out, const char *folder, const char *name)
{
    unsigned length = sc::StrLen(folder);
    bool needsBackslash = !EndsInSeparator(folder);
    if (length + (needsBackslash ? 1 : 0) + sc::StrLen(name) >= static_cast<unsigned>(PathSize)) {
        out[0] = '\0';
        return 0;
    }
    lstrcpyA(out, folder);
    if (needsBackslash) lstrcatA(out, "\\");
    lstrcatA(out, name);
    return 1;
}
