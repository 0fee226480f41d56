// The self-removal commands and the clean-up copy's timer tick against the
// real file system. Started with a -cleanup option, this program records its
// command line (the copy that cleanupinstall and cleanupuninstall start)
// into the file named by ORVALT_TEST_RECORD and ends.
#include "wincheck.h"

namespace {

constexpr UINT_PTR InstallTimer = 1000;
constexpr UINT_PTR UninstallTimer = 1001;

HWND g_window;
char g_root[MAX_PATH];  // scratch folder of this run

bool QuitPosted()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// True when the timer was still running (it is running again afterwards).
bool TimerRunning(UINT_PTR id)
{
    if (!KillTimer(g_window, id))
        return false;
    SetTimer(g_window, id, 1000, nullptr);
    return true;
}

void Path(char *out, const char *relative)
{
    wsprintfA(out, "%s\\%s", g_root, relative);
}

void MakeFolders(const char *relative)
{
    char path[MAX_PATH];
    Path(path, relative);
    for (char *p = path + lstrlenA(g_root) + 1; *p; p = CharNextA(p)) {
        if (*p == '\\') {
            *p = '\0';
            CreateDirectoryA(path, nullptr);
            *p = '\\';
        }
    }
    CreateDirectoryA(path, nullptr);
}

bool ExistsInRoot(const char *relative)
{
    char path[MAX_PATH];
    Path(path, relative);
    return ::Exists(path);
}

// A clean-up copy as the command line leaves it: timer running, operands set.
void StartCopyState(UINT_PTR timer, const char *file, const char *dir, const char *programFiles)
{
    ResetState("");
    g_setup.silent = 0;
    if (timer == InstallTimer)
        g_setup.cleanupInstall = 1;
    else
        g_setup.cleanupUninstall = 1;
    if (file) {
        Path(g_setup.cleanupFile, file);
        g_setup.hasCleanupFile = 1;
    }
    if (dir) {
        Path(g_setup.cleanupDir, dir);
        g_setup.hasCleanupDir = 1;
    }
    Path(g_setup.programFilesDir, programFiles);
    SetTimer(g_window, timer, 1000, nullptr);
    QuitPosted();  // nothing left over from an earlier case
}

void TestWaitsWhileInUse()
{
    Group("the copy retries while the file is in use and deletes it once it is free");
    MakeFolders("Wait");
    char file[MAX_PATH];
    Path(file, "Wait\\Setup.exe");
    WriteTextFile(file, "MZ");
    StartCopyState(InstallTimer, "Wait\\Setup.exe", nullptr, "Wait");
    // The first process still runs from the file: it is open without sharing.
    HANDLE held = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    for (int tick = 0; tick < 3; ++tick) {
        CleanupTick(g_window, InstallTimer);
        CHECK(!QuitPosted());
        CHECK(::Exists(file));
        CHECK(TimerRunning(InstallTimer));
    }
    CloseHandle(held);
    CleanupTick(g_window, InstallTimer);
    CHECK(!::Exists(file));
    CHECK(QuitPosted());
    CHECK(!TimerRunning(InstallTimer));
    CHECK(ExistsInRoot("Wait"));  // the install copy never prunes
}

void TestFileAlreadyGone()
{
    Group("a file that is already gone ends the copy at its first tick");
    MakeFolders("Gone");
    StartCopyState(InstallTimer, "Gone\\Setup.exe", nullptr, "Gone");
    CleanupTick(g_window, 7);  // another timer of the window: not a clean-up tick
    CHECK(!QuitPosted());
    CHECK(TimerRunning(InstallTimer));
    CleanupTick(g_window, InstallTimer);
    CHECK(QuitPosted());
    CHECK(!TimerRunning(InstallTimer));

    // Without its operands the copy touches nothing and ends; without a
    // folder operand nothing is pruned.
    MakeFolders("NoOperand\\Empty");
    StartCopyState(UninstallTimer, nullptr, nullptr, "NoOperand");
    lstrcpyA(g_setup.cleanupDir, g_root);
    lstrcatA(g_setup.cleanupDir, "\\NoOperand\\Empty");  // stale text, flag not set
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!TimerRunning(UninstallTimer));
    CHECK(ExistsInRoot("NoOperand\\Empty"));

    MakeFolders("NoFolder\\Empty");
    StartCopyState(UninstallTimer, "NoFolder\\Empty\\Rouninst.exe", nullptr, "NoFolder");
    WriteTextFile(g_setup.cleanupFile, "MZ");
    lstrcpyA(g_setup.cleanupDir, g_root);
    lstrcatA(g_setup.cleanupDir, "\\NoFolder\\Empty");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!ExistsInRoot("NoFolder\\Empty\\Rouninst.exe"));
    CHECK(ExistsInRoot("NoFolder\\Empty"));
}

void TestReadOnly()
{
    Group("a read-only file is never deleted; the uninstall copy still prunes what it can");
    MakeFolders("RO\\Mokra\\Kelvo\\System");
    char file[MAX_PATH];
    Path(file, "RO\\Mokra\\Kelvo\\System\\Rouninst.exe");
    WriteTextFile(file, "MZ");
    SetFileAttributesA(file, FILE_ATTRIBUTE_READONLY);
    StartCopyState(UninstallTimer, "RO\\Mokra\\Kelvo\\System\\Rouninst.exe", "RO\\Mokra\\Kelvo\\System", "RO");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!TimerRunning(UninstallTimer));
    CHECK(::Exists(file));
    CHECK(ExistsInRoot("RO\\Mokra\\Kelvo\\System"));
    SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
}

void TestPruning()
{
    Group("pruning removes the emptied folders up to the program-files folder");
    MakeFolders("Prune\\Program Files\\Mokra\\Kelvo\\System");
    StartCopyState(UninstallTimer, "Prune\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe",
                   "Prune\\Program Files\\Mokra\\Kelvo\\System", "Prune\\PROGRAM FILES");
    WriteTextFile(g_setup.cleanupFile, "MZ");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!ExistsInRoot("Prune\\Program Files\\Mokra"));
    CHECK(ExistsInRoot("Prune\\Program Files"));  // differs only in case: pruning stops

    Group("a folder that still holds a file stops pruning there");
    MakeFolders("Busy\\Program Files\\Mokra\\Kelvo\\System");
    char other[MAX_PATH];
    Path(other, "Busy\\Program Files\\Mokra\\Kelvo\\Readme.txt");
    WriteTextFile(other, "left by the user");
    StartCopyState(UninstallTimer, "Busy\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe",
                   "Busy\\Program Files\\Mokra\\Kelvo\\System", "Busy\\Program Files");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!ExistsInRoot("Busy\\Program Files\\Mokra\\Kelvo\\System"));
    CHECK(ExistsInRoot("Busy\\Program Files\\Mokra\\Kelvo\\Readme.txt"));

    Group("outside the program-files folder pruning goes up to the first folder that stays");
    MakeFolders("Outside\\Tools\\Kelvo\\表示");  // 表 ends in a 5C trail byte
    StartCopyState(UninstallTimer, "Outside\\Tools\\Kelvo\\表示\\Rouninst.exe",
                   "Outside\\Tools\\Kelvo\\表示", "Elsewhere");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!ExistsInRoot("Outside"));
    CHECK(::Exists(g_root));  // holds the other cases' folders

    Group("pruning takes away what a killed copy left in and beside a folder whose name ends in a 5C trail byte");
    MakeFolders("Trail\\Program Files\\Mokra\\機能\\~ORVALT.$$$");  // 能 = 94 5C
    char leftover[MAX_PATH];
    Path(leftover, "Trail\\Program Files\\Mokra\\機能\\~ORVALT.$$$\\~ORVALT.$$$");
    WriteTextFile(leftover, "partial");
    SetFileAttributesA(leftover, FILE_ATTRIBUTE_READONLY);
    // and a stage beside the folder, with a file copied into it
    char folder[MAX_PATH], stage[MAX_PATH], cut[MAX_PATH];
    Path(folder, "Trail\\Program Files\\Mokra\\機能");
    CHECK(StagePath(stage, cut, folder));
    CreateDirectoryA(stage, nullptr);
    lstrcatA(stage, "\\Klvo.hlp");
    WriteTextFile(stage, "staged");
    StartCopyState(UninstallTimer, "Trail\\Program Files\\Mokra\\機能\\Rouninst.exe",
                   "Trail\\Program Files\\Mokra\\機能", "Trail\\Program Files");
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());
    CHECK(!ExistsInRoot("Trail\\Program Files\\Mokra"));

    Group("the install copy never prunes");
    MakeFolders("InstallOnly\\Empty");
    StartCopyState(InstallTimer, "InstallOnly\\Empty\\Setup.exe", "InstallOnly\\Empty", "Elsewhere");
    CleanupTick(g_window, InstallTimer);
    CHECK(QuitPosted());
    CHECK(ExistsInRoot("InstallOnly\\Empty"));

    Group("a record of moved sources beside the file is left to the run that wrote it");
    MakeFolders("Recorded");
    char record[MAX_PATH];
    Path(record, "Recorded\\~ORVMOVE.$$$");
    WriteTextFile(record, "a record another run wrote");
    StartCopyState(InstallTimer, "Recorded\\Setup.exe", nullptr, "Elsewhere");
    CleanupTick(g_window, InstallTimer);
    CHECK(QuitPosted());
    CHECK(::Exists(record));
}

void TestHostileInput()
{
    Group("hostile input: a clean-up operand that does not fit makes the copy delete and prune nothing");
    // A file whose full name takes 259 bytes, the most a name can have.
    MakeFolders("Hostile\\Empty");
    char file[MAX_PATH];
    Path(file, "Hostile\\");
    for (int n = lstrlenA(file); n < MAX_PATH - 1; ++n)
        file[n] = 'a';
    file[MAX_PATH - 1] = '\0';
    WriteTextFile(file, "MZ");
    CHECK(::Exists(file));
    char empty[MAX_PATH];
    Path(empty, "Hostile\\Empty");
    // The file operand runs on past that name; cut to fit, it would name it.
    static char line[1024];
    wsprintfA(line, "Setup.exe -cleanupuninstall \"%s.exe\" \"%s\"", file, empty);
    ResetState("");
    ApplyCommandLine(line);
    Path(g_setup.programFilesDir, "Elsewhere");
    CHECK(g_setup.cleanupUninstall == 1);
    CHECK(!g_setup.hasCleanupFile);
    CHECK(!g_setup.hasCleanupDir);
    SetTimer(g_window, UninstallTimer, 1000, nullptr);
    CleanupTick(g_window, UninstallTimer);
    CHECK(QuitPosted());  // at the first tick, as without operands
    CHECK(!TimerRunning(UninstallTimer));
    CHECK(::Exists(file));
    CHECK(::Exists(empty));  // the folder operand fitted, yet nothing is pruned

    // The folder operand does not fit: the whole file operand is not
    // deleted either.
    MakeFolders("Hostile\\Keep");
    char keep[MAX_PATH];
    Path(keep, "Hostile\\Keep\\Rouninst.exe");
    WriteTextFile(keep, "MZ");
    wsprintfA(line, "Setup.exe -cleanupinstall \"%s\" -cleanupuninstall \"%s\" \"%s\\x\"", keep, keep, file);
    ResetState("");
    ApplyCommandLine(line);
    CHECK(!g_setup.hasCleanupFile);
    SetTimer(g_window, InstallTimer, 1000, nullptr);
    SetTimer(g_window, UninstallTimer, 1000, nullptr);
    CleanupTick(g_window, InstallTimer);
    CleanupTick(g_window, UninstallTimer);
    CHECK(::Exists(keep));
    CHECK(::Exists(file));
    QuitPosted();

    Group("hostile input: a registry text of 260 bytes without its terminator is no folder");
    HKEY key;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Hostile", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(file), MAX_PATH - 1);
    RegSetValueExA(key, "Whole", 0, REG_SZ, reinterpret_cast<const BYTE *>(file), MAX_PATH);
    char read[PathSize];
    lstrcpyA(read, "stale");
    CHECK(ReadRegistryText(key, "Path", read) == RegistryTextWhole);  // 259 bytes: still whole
    CHECK_STR(read, file);
    wsprintfA(line, "%sb", file);
    RegSetValueExA(key, "Path", 0, REG_BINARY, reinterpret_cast<const BYTE *>(line), MAX_PATH);
    CHECK(ReadRegistryText(key, "Path", read) == RegistryTextTooLong);
    CHECK_STR(read, "");
    CHECK(ReadRegistryText(key, "Whole", read) == RegistryTextWhole);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Hostile");
}

// Reads the command line the started copy recorded; waits up to 10 s.
bool ReadRecord(const char *record, char *out, DWORD size)
{
    for (int i = 0; i < 100; ++i) {
        HANDLE file = CreateFileA(record, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD got = 0;
            ReadFile(file, out, size - 1, &got, nullptr);
            CloseHandle(file);
            out[got] = '\0';
            if (got) {
                DeleteFileA(record);
                return true;
            }
        }
        Sleep(100);
    }
    out[0] = '\0';
    return false;
}

// The whole text of a file, or "" when it cannot be read.
void ReadWhole(const char *path, char *out, DWORD size)
{
    out[0] = '\0';
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD got = 0;
    ReadFile(file, out, size - 1, &got, nullptr);
    CloseHandle(file);
    out[got] = '\0';
}

void TestRestartDeletions()
{
    Group("a read-only WININIT.INI, or one left aside by a run that died, never stops a restart deletion");
    char windows[MAX_PATH], ini[MAX_PATH], aside[MAX_PATH], parked[MAX_PATH], other[MAX_PATH];
    Path(windows, "windows");
    CreateDirectoryA(windows, nullptr);
    wsprintfA(ini, "%s\\WININIT.INI", windows);
    wsprintfA(aside, "%s\\WININIT.$$0", windows);
    wsprintfA(parked, "%s\\Parked.exe", windows);
    wsprintfA(other, "%s\\Other.exe", windows);
    WriteTextFile(parked, "p");
    WriteTextFile(other, "o");
    char shortParked[MAX_PATH], shortOther[MAX_PATH], text[4096], line[MAX_PATH + 8];
    GetShortPathNameA(parked, shortParked, sizeof shortParked);
    GetShortPathNameA(other, shortOther, sizeof shortOther);

    WriteTextFile(ini, "[rename]\r\nNUL=C:\\THEIRS.TMP\r\n");
    SetFileAttributesA(ini, FILE_ATTRIBUTE_READONLY);
    AddToWininit(parked, windows);
    ReadWhole(ini, text, sizeof text);
    wsprintfA(line, "NUL=%s", shortParked);
    CHECK(Contains(text, "NUL=C:\\THEIRS.TMP") && Contains(text, line));
    CHECK(!Exists(aside));
    AddToWininit(other, windows);
    ReadWhole(ini, text, sizeof text);
    wsprintfA(line, "NUL=%s", shortOther);
    CHECK(Contains(text, "NUL=C:\\THEIRS.TMP") && Contains(text, line));

    // Died between the renames: the old text aside (read-only, as the old
    // file was), none in place. It comes back with our line added.
    SetFileAttributesA(ini, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(ini);
    WriteTextFile(aside, "[rename]\r\nNUL=C:\\THEIRS.TMP\r\n");
    SetFileAttributesA(aside, FILE_ATTRIBUTE_READONLY);
    AddToWininit(parked, windows);
    ReadWhole(ini, text, sizeof text);
    wsprintfA(line, "NUL=%s", shortParked);
    CHECK(Contains(text, "NUL=C:\\THEIRS.TMP") && Contains(text, line));
    CHECK(!Exists(aside));

    // Died after the new file took its place: the one aside is stale.
    WriteTextFile(aside, "[rename]\r\nNUL=C:\\STALE.TMP\r\n");
    SetFileAttributesA(aside, FILE_ATTRIBUTE_READONLY);
    AddToWininit(other, windows);
    ReadWhole(ini, text, sizeof text);
    CHECK(Contains(text, "NUL=C:\\THEIRS.TMP") && !Contains(text, "STALE"));
    CHECK(!Exists(aside));
}

void TestStartsCopy()
{
    Group("cleanupinstall and cleanupuninstall start the program with the clean-up command line");
    char record[MAX_PATH];
    Path(record, "record.txt");
    SetEnvironmentVariableA("ORVALT_TEST_RECORD", record);

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    char folder[MAX_PATH];
    lstrcpyA(folder, self);
    sc::CutAtLastBackslash(folder);
    ResetState(folder);  // %DEFDIR% is this program's folder
    SetCurrentDirectoryA(g_root);
    const char *name = self + lstrlenA(folder) + 1;

    char line[sc::kPathSize];
    char expected[MessageSize];
    char seen[MessageSize];
    wsprintfA(line, "cleanupinstall \"%%DEFDIR%%%s\"", name);
    CHECK(RunLine(CmdCleanupInstall, line) == 1);
    // Not before the run reaches its end: a run that stops or dies earlier
    // keeps the installer's file.
    Sleep(1500);
    CHECK(!Exists(record));
    StartCleanupCopies();
    CHECK(ReadRecord(record, seen, sizeof seen));
    wsprintfA(expected, "-cleanupinstall \"%s\"", self);
    CHECK_STR(seen, expected);
    // It runs in its own folder, not in ours (which it might have to remove).
    lstrcatA(record, ".dir");
    CHECK(ReadRecord(record, seen, sizeof seen));
    CHECK_STR(seen, folder);
    record[lstrlenA(record) - 4] = '\0';
    CHECK(g_setup.meterDone == 0);

    wsprintfA(line, "cleanupuninstall \"%%DEFDIR%%%s\" \"%%DEFDIR%%System\"", name);
    CHECK(RunLine(CmdCleanupUninstall, line) == 1);
    StartCleanupCopies();
    CHECK(ReadRecord(record, seen, sizeof seen));
    wsprintfA(expected, "-cleanupuninstall \"%s\" \"%s\\System\"", self, folder);
    CHECK_STR(seen, expected);

    // The parsed options of that command line name the two operands.
    sc::CommandLineOptions options;
    sc::ParseCommandLine(seen, &options);
    CHECK(options.cleanupUninstall == 1);
    CHECK_STR(options.cleanupFile, self);

    Group("a copy that cannot be started is no error");
    CHECK(RunLine(CmdCleanupInstall, "cleanupinstall \"%DEFDIR%No such program.exe\"") == 1);
    CHECK(RunLine(CmdCleanupUninstall, "cleanupuninstall \"%DEFDIR%No such program.exe\" \"%DEFDIR%System\"") == 1);
    StartCleanupCopies();
}

// The started copy: records its command line and ends.
int RecordCommandLine()
{
    char record[MAX_PATH];
    if (!GetEnvironmentVariableA("ORVALT_TEST_RECORD", record, sizeof record))
        return 1;
    char temp[MAX_PATH];
    wsprintfA(temp, "%s.tmp", record);
    char folder[MAX_PATH];
    wsprintfA(temp, "%s.dir", record);
    GetCurrentDirectoryA(sizeof folder, folder);
    WriteTextFile(temp, folder);
    wsprintfA(temp, "%s.tmp", record);
    WriteTextFile(temp, GetCommandLineA());
    MoveFileA(temp, record);
    return 0;
}

}  // namespace

int main()
{
    const char *commandLine = GetCommandLineA();
    if (commandLine[0] == '-')
        return RecordCommandLine();

    MakeScratchFolder(g_root, "orvalt-cleanup");
    g_window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    TestWaitsWhileInUse();
    TestFileAlreadyGone();
    TestReadOnly();
    TestPruning();
    TestStartsCopy();
    TestRestartDeletions();
    TestHostileInput();
    DestroyWindow(g_window);
    return Finish();
}
