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

// True while the file is still held by the first process: the deletion
// failed for another reason than a missing file or a write-protected medium.
// A read-only file (or one that does not exist) is given up at once.
bool FileStillInUse(const char *path)
{
    if (GetFileAttributesA(path) & FILE_ATTRIBUTE_READONLY)
        return false;  // also INVALID_FILE_ATTRIBUTES: nothing to wait for
    if (DeleteFileA(path))
        return false;
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_WRITE_PROTECT;
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
        if (!RemoveDirectoryA(dir))
            break;
        if (!sc::CutAtLastBackslash(dir))
            break;
    }
}

}  // namespace

// cleanupinstall program: program deletes our own file once we have exited.
int CmdCleanupInstall(HWND)
{
    char program[PathSize];
    if (!ExpandArg(program, NextArg()))
        return 0;
    char ownPath[PathSize];
    if (!OwnProgramPath(ownPath))
        return 1;  // a cut name would make the copy delete another file
    char commandLine[MessageSize];
    wsprintfA(commandLine, "-cleanupinstall \"%s\"", ownPath);
    StartCopy(program, commandLine);
    return 1;
}

// cleanupuninstall program folder: as cleanupinstall, and the copy then
// removes folder and its emptied parents.
int CmdCleanupUninstall(HWND)
{
    char program[PathSize];
    if (!ExpandArg(program, NextArg()))
        return 0;
    char folder[PathSize];
    if (!ExpandArg(folder, NextArg()))
        return 0;
    char ownPath[PathSize];
    if (!OwnProgramPath(ownPath))
        return 1;
    char commandLine[MessageSize];
    wsprintfA(commandLine, "-cleanupuninstall \"%s\" \"%s\"", ownPath, folder);
    StartCopy(program, commandLine);
    return 1;
}

// WM_TIMER 1000 or 1001 of the hidden clean-up copy; other timers are not
// ours.
void CleanupTick(HWND mainWindow, UINT_PTR timerId)
{
    if (timerId != InstallTimer && timerId != UninstallTimer)
        return;
    // Without its file operand the copy has nothing to wait for.
    bool haveFile = g_setup.hasCleanupFile && g_setup.cleanupFile[0];
    if (haveFile && FileStillInUse(g_setup.cleanupFile))
        return;  // the next tick tries again
    KillTimer(mainWindow, timerId);
    if (timerId == UninstallTimer && g_setup.hasCleanupDir)
        PruneFolders(g_setup.cleanupDir);
    PostQuitMessage(0);
}

void EnterOwnFolder()
{
    char own[PathSize];
    char folder[PathSize];
    if (OwnProgramPath(own) && FolderOfPath(folder, own))
        SetCurrentDirectoryA(folder);
}
