// Self-removal. A running program cannot delete its own file, so the
// installer starts a second, hidden copy of itself that retries the deletion
// once a second until the first process has gone, prunes the emptied
// folders (uninstall only) and quits.
#include "setup.h"
#include "setup_core.h"

namespace {

constexpr UINT_PTR InstallTimer = 1000;
constexpr UINT_PTR UninstallTimer = 1001;

// Starts program with the given command line (which names the options
// only), in the folder the program lives in: a copy that kept our current
// folder would hold it, and a folder that is some process's current folder
// cannot be removed. A copy that cannot be started leaves our file in
// place, silently.
void StartCopy(const char *program, char *commandLine)
{
    char folder[PathSize];
    bool haveFolder = FolderOfPath(folder, program);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, haveFolder ? folder : nullptr,
                       &startup, &process)) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

// The copies the script asked for, started when the run reaches its end
// line: a copy started earlier would delete the installer's file once a run
// that stopped or died had gone, and the run could not be made again.
struct CleanupCopy {
    char program[PathSize];
    char commandLine[MessageSize];
};
const int kCleanupCopies = 4;
CleanupCopy g_cleanupCopies[kCleanupCopies];
int g_cleanupCount;

// How long the copy waits for a file in use: the first process holds its
// file until it exits, which, after an interactive run, is when the user
// confirms the closing notice. Ten minutes leave the user ample time for
// that; a copy whose file is still held then gives up and leaves the file
// (and, after an uninstallation, the folders that hold it).
const int kInUseTicks = 600;
int g_inUseTicks;

// True while the file is held by a process, the first one running from it
// as a rule: the deletion failed with a sharing violation, or with "access
// denied" (which Windows 95 answers for an open file too) while the file
// cannot be opened for writing for the same reason. Any other refusal (a
// read-only file, a write-protected disk, a share that refuses deletion) is
// final, and so is a file that does not exist.
bool FileStillInUse(const char *path)
{
    if (GetFileAttributesA(path) & FILE_ATTRIBUTE_READONLY)
        return false;  // also INVALID_FILE_ATTRIBUTES: nothing to wait for
    if (DeleteFileA(path))
        return false;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_ACCESS_DENIED;
    }
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// "X:" alone names the current folder of that drive, not its root: pruning
// never goes there.
bool IsBareDrive(const char *dir)
{
    return dir[0] && dir[1] == ':' && dir[2] == '\0';
}

// Removes dir and then each parent that has become empty, up to but not
// including the program-files folder.
void PruneFolders(char *dir)
{
    while (dir[0] && !IsBareDrive(dir) && sc::PruneContinues(dir, g_setup.programFilesDir)) {
        // The work folder of a copy that a run cut short is no folder of
        // the user's.
        RemoveWorkFolder(dir);
        if (!RemoveDirectoryA(dir))
            break;
        if (!sc::CutAtLastBackslash(dir))
            break;
    }
}

// Windows 95: "NUL=<short path>" in [rename] of WININIT.INI, which the
// system carries out before it next starts. Lines of other programs stay
// as they are; the same line is not written twice.
char g_wininit[32768];

}  // namespace

void AddToWininit(const char *path, const char *windows)
{
    char shortPath[PathSize];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        return;
    char ini[PathSize];
    char temp[PathSize];
    if (sc::StrLen(windows) + 13 >= PathSize)
        return;
    wsprintfA(ini, "%s\\WININIT.INI", windows);
    wsprintfA(temp, "%s\\WININIT.$$$", windows);
    char aside[PathSize];
    wsprintfA(aside, "%s\\WININIT.$$0", windows);

    // A run that died between the two renames below left the old file
    // aside and none in its place: it comes back first, so that the lines
    // of other programs are not lost. Beside a file in place, it is stale.
    // Either way it is our file, read-only only because the old one was.
    if (SetFileAttributesA(aside, FILE_ATTRIBUTE_NORMAL) && !MoveFileA(aside, ini))
        DeleteFileA(aside);

    DWORD length = 0;
    HANDLE file = CreateFileA(ini, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool existed = file != INVALID_HANDLE_VALUE;
    if (!existed && GetLastError() != ERROR_FILE_NOT_FOUND)
        return;
    if (existed) {
        DWORD size = GetFileSize(file, nullptr);
        bool read = size < sizeof g_wininit && ReadFile(file, g_wininit, size, &length, nullptr) && length == size;
        CloseHandle(file);
        if (!read)
            return;  // a file we cannot hold whole is left alone
    }
    uint32_t newLength = length;
    if (sc::AddRenameDelete(g_wininit, &newLength, sizeof g_wininit, shortPath) != sc::PendingAdded)
        return;
    // The new text goes to a file of its own first, so that a full disk
    // leaves the old one intact.
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    bool ok = WriteFile(file, g_wininit, newLength, &written, nullptr) && written == newLength;
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    // The old file steps aside rather than being deleted, and comes back
    // when the new one cannot take its name. A read-only old file may be
    // renamed, and the new one takes its place all the same.
    if (ok && (!existed || MoveFileA(ini, aside))) {
        if (MoveFileA(temp, ini)) {
            SetFileAttributesA(aside, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(aside);
            return;
        }
        if (existed)
            MoveFileA(aside, ini);
    }
    DeleteFileA(temp);
}

namespace {

// Windows NT: the system's list of pending file operations, unless it
// already deletes this file.
char g_pending[32768];

void DelayDelete(const char *path)
{
    char ntPath[PathSize + 4];
    wsprintfA(ntPath, "\\?\?\\%s", path);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) == ERROR_SUCCESS) {
        DWORD size = sizeof g_pending;
        DWORD type = 0;
        bool held = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                                     reinterpret_cast<BYTE *>(g_pending), &size) == ERROR_SUCCESS &&
                    type == REG_MULTI_SZ && sc::HoldsPendingDelete(g_pending, size, ntPath);
        RegCloseKey(key);
        if (held)
            return;
    }
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// The copy that an uninstallation parked in the Windows folder is deleted
// at the next restart. Only a copy that lies right in the Windows folder
// asks for it: an installation made before the restart keeps its own
// uninstaller in its install folder, which this never names.
void DeleteAtRestart()
{
    char own[PathSize];
    char folder[PathSize];
    char windows[PathSize];
    if (!OwnProgramPath(own) || !FolderOfPath(folder, own) || !WindowsFolder(windows))
        return;
    if (!sc::EqualNoCase(folder, windows))
        return;
    if (GetVersion() & 0x80000000u)
        AddToWininit(own, windows);
    else
        DelayDelete(own);
}

}  // namespace

namespace {

// The copy started at the end: program, with our own path and, for an
// uninstallation, the folder to prune on its command line.
int CleanupAtEnd(bool uninstall)
{
    char program[PathSize];
    if (!ExpandArg(program, NextArg()))
        return 0;
    char folder[PathSize];
    if (uninstall && !ExpandArg(folder, NextArg()))
        return 0;
    char ownPath[PathSize];
    if (!OwnProgramPath(ownPath))
        return 1;  // a cut name would make the copy delete another file
    // The installer's own disk, when kept, keeps its Setup.exe.
    if (!uninstall && DistributionKept())
        return 1;
    // Beyond the slots a copy is not started, as one that cannot be.
    if (g_cleanupCount == kCleanupCopies)
        return 1;
    CleanupCopy &copy = g_cleanupCopies[g_cleanupCount++];
    lstrcpyA(copy.program, program);
    if (uninstall)
        wsprintfA(copy.commandLine, "-cleanupuninstall \"%s\" \"%s\"", ownPath, folder);
    else
        wsprintfA(copy.commandLine, "-cleanupinstall \"%s\"", ownPath);
    return 1;
}

}  // namespace

// cleanupinstall program: program deletes our own file once we have exited.
int CmdCleanupInstall(HWND)
{
    return CleanupAtEnd(false);
}

// cleanupuninstall program folder: as cleanupinstall, and the copy then
// removes folder and its emptied parents.
int CmdCleanupUninstall(HWND)
{
    return CleanupAtEnd(true);
}

void StartCleanupCopies()
{
    for (int i = 0; i < g_cleanupCount; ++i)
        StartCopy(g_cleanupCopies[i].program, g_cleanupCopies[i].commandLine);
    g_cleanupCount = 0;
}

// WM_TIMER 1000 or 1001 of the hidden clean-up copy; other timers are not
// ours.
void CleanupTick(HWND mainWindow, UINT_PTR timerId)
{
    if (timerId != InstallTimer && timerId != UninstallTimer)
        return;
    // Without its file operand the copy has nothing to wait for.
    bool haveFile = g_setup.hasCleanupFile && g_setup.cleanupFile[0];
    if (haveFile && FileStillInUse(g_setup.cleanupFile) && ++g_inUseTicks < kInUseTicks)
        return;  // the next tick tries again
    KillTimer(mainWindow, timerId);
    // A record of moved sources beside the installer's file is left
    // alone: only the run that wrote or used it deletes it (FinishMoves).
    if (timerId == UninstallTimer && g_setup.hasCleanupDir)
        PruneFolders(g_setup.cleanupDir);
    if (timerId == UninstallTimer && haveFile)
        DeleteAtRestart();
    PostQuitMessage(0);
}

void EnterOwnFolder()
{
    char own[PathSize];
    char folder[PathSize];
    if (OwnProgramPath(own) && FolderOfPath(folder, own))
        SetCurrentDirectoryA(folder);
}
