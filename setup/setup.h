// The installer's Win32 layer: the one run-state record and the operations
// that the command families share. The script text, the line cursor and the
// tokenizer position live in the portable core (setup/core).
#pragma once
#include <windows.h>

#include "setup_core.h"

constexpr int PathSize = 260;      // every path buffer
constexpr int MessageSize = 1024;  // formatted messages

struct SetupState {
    HINSTANCE instance;
    HWND mainWindow;
    HWND progressDialog;           // modeless dialog 135 while a meter block is open
    int installMode;               // 1 install, 0 uninstall
    int silent;
    int cleanupInstall;
    int cleanupUninstall;
    char cleanupFile[PathSize];    // empty when the option had no operand
    char cleanupDir[PathSize];
    int hasCleanupFile;
    int hasCleanupDir;
    int startOnPaint;
    char programFilesDir[PathSize];
    char destDir[PathSize];
    char appName[PathSize];
    char caption[PathSize];
    HBITMAP logoBitmap;
    HBITMAP tileBitmap;
    int installedFound;
    int addToStartMenu;
    int abortRequested;
    int userCancelled;             // a wizard page, a question or the progress dialog was cancelled
    int closeRequested;            // the main window was closed (End Task) before the run ended
    int percent;
    int lastPercent;
    int stepOk;
    int inInstallSection;
    int inUninstallSection;
    unsigned long long meterTotal; // exact also beyond 4 GiB
    unsigned long long meterDone;
    DWORD ddeInstance;
    HSZ progmanService;
    HSZ progmanTopic;
    HCONV progmanConversation;
};

extern SetupState g_setup;

// How a run ended, as its exit code: the end line was reached; a command
// failed (or there was no script); the user cancelled or closed the
// installer; another installer runs, so this one did nothing; the main
// window could not be made; an uninstallation reached its end line without
// an installed copy, so its uninstall section was skipped.
enum ExitCode {
    ExitFinished = 0,
    ExitStopped = 1,
    ExitCancelled = 2,
    ExitAnotherRuns = 3,
    ExitNoWindow = 4,
    ExitNotInstalled = 5,
};
// A wizard page or question was cancelled: the command returns this (0),
// and the run stops with ExitCancelled.
int CancelledByUser();

// A command handler: takes its own arguments with NextArg, writes its
// progress lines when progressDialog is not null, reports its own failure
// (unless silent) and returns 0 to stop the script, non-zero to go on.
typedef int (*CommandHandler)(HWND progressDialog);

// --- shared by every command family (interpreter.cpp) ---
// Next argument of the running line, or nullptr when the line has no more.
const char *NextArg();
// Expands the macros of an argument into out (PathSize bytes, or the given
// capacity). When the result cannot fit, reports the line and returns 0;
// the handler then returns 0 and the run stops. A null argument expands to "".
int ExpandArg(char *out, const char *arg, int capacity = PathSize);
// Sets the three text lines of the progress dialog (null means empty).
void SetProgressLines(HWND progressDialog, const char *action, const char *object, const char *description);
// The same for a command of the given meter weight, whose lines may wait
// for the next redraw when it will not last long enough to be read.
void SetProgressLinesFor(HWND progressDialog, const char *action, const char *object, const char *description,
                         unsigned long long weight);
// The next SetProgressLines sets all three lines (a new progress dialog
// may reuse the handle of the last one).
void ForgetProgressLines();
// The next step draws the meter (a new progress dialog).
void ForgetMeter();
// Beep with the icon type, then a message box titled with the caption.
// Shows nothing in a silent run. Returns the box's answer (0 when silent).
int ReportMessage(HWND owner, UINT beep, UINT style, const char *text);
// The owner of a command's message box: the progress dialog when it is open.
HWND MessageOwner(HWND progressDialog);

// --- interpreter (interpreter.cpp) ---
void ScriptStep();
// Ends the meter block's dialog, when one is open, and enables the main
// window again.
void CloseProgressDialog();
// The embedded script and the platform services its engine uses.
extern sc::Script g_script;
extern const sc::ScriptHost g_scriptHost;
// Loads the "script" resource of the module; returns its line count.
int LoadScript(HINSTANCE instance);
// Reports a script line that does not fit its buffers (line numbers count
// from 1 as an author reads them); shows nothing in a silent run.
void ReportLongLine(int lineIndex, int argument);

// --- main window (main.cpp) ---
// Exported by name, as the installer's window procedure always was.
extern "C" __declspec(dllexport) LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
// The whole run of the program after the entry point; returns the exit code.
int SetupMain(HINSTANCE instance, char *commandLine);
// Builds the caption: the name, " セットアップ" and, when uninstalling,
// " (アンインストール)"; an over-long name is cut at a character boundary.
void BuildCaption(char *caption, const char *appName, int installMode);
// programFilesDir from the registry, or the Windows drive's Program Files.
void FindProgramFilesDir(char *out);

void CenterOverMainWindow(HWND dialog, HWND owner);

// --- dialogs (dialogs.cpp) ---
INT_PTR CALLBACK WelcomeDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK SelectDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK FolderDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK UninstallConfirmDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK InstallConfirmDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK StartMenuDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK FinishDlgProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK ProgressDlgProc(HWND, UINT, WPARAM, LPARAM);
void DrawMeter(HWND meter);
// True for a folder the install can use: drive letter, colon, backslash, or
// a \\server\share name.
int IsFullFolderPath(const char *folder);

// --- set-up commands (setupcmds.cpp) ---
int CmdDefaultDirFromReg(HWND);
int CmdDefaultDirChk(HWND);
int CmdWelcome(HWND);
int CmdChkClassExec(HWND);
int CmdChkOsType(HWND);

// --- file commands (filecmds.cpp) ---
int CmdStartMeter(HWND);
int CmdEndMeter(HWND);
int CmdCopy(HWND);
int CmdMove(HWND);
int CmdDel(HWND);
int CmdMkdir(HWND);
int CmdRmdir(HWND);
// Opens the file read-only; its last-write time and its size. 0 when it
// cannot be opened (a file that cannot be read counts as missing).
int GetFileInfo(const char *path, FILETIME *lastWrite, unsigned long long *size);
// Compares two last-write times as FAT keeps them: times at most 2 s apart
// are the same time. -1, 0 or 1 as a is earlier, the same or later.
int CompareWriteTimes(const FILETIME &a, const FILETIME &b);
// The running installer lies on a medium whose distribution stays whole (a
// floppy or other removable disk, a CD-ROM, a network drive or share):
// moves keep their sources and the installer keeps its own file.
bool DistributionKept();
// GetFileInfo for the meter scan: keeps what it read for the step of the
// copy or move at script line `line`. A relative source that the current
// folder lacks is looked for beside the installer, at the step too.
int ScanSourceInfo(const char *path, int32_t line, uint64_t *size);
// Makes folder and its missing parents; true when it made folder itself.
bool CreateFolderPath(const char *folder);
// A copy is written first as the partial file in the work folder of its
// destination's folder (both have this name), and takes the destination's
// name only when it is whole.
extern const char kPartialFileName[];
// Deletes a partial file (read-only perhaps, as its source was); 0.
int DropPartial(const char *partial);
// Removes folder's work folder and stage, with what a run cut short left
// there.
void RemoveWorkFolder(const char *folder);
// The stage of folder, where copies into a folder that mkdir made wait
// until the folder takes them all; cut (PathSize bytes) becomes the folder
// without its trailing backslash. False for a folder without a parent.
bool StagePath(char *stage, char *cut, const char *folder);
// Gives the folders staged so far their files (before any command but a
// copy or move, and at the end line); 0 after reporting a file that could
// not take its name.
int SettleStagedFolders(HWND progressDialog);
// Removes the work folders this run has made: at the end of a meter block
// and of the run.
void RemoveWorkFolders();
// path with its last name replaced by name (the folder part kept as it is
// written); 0 when that does not fit.
int WithName(char *out, const char *path, const char *name);

// --- moved sources and their record (moves.cpp) ---
// The name the file system knows path by: its full path, and for a file
// that exists its short name. 0 when the full path does not fit.
int CanonicalName(const char *path, char *out);
// True when a and b name one file (also in different spellings).
int SameFile(const char *a, const char *b);
// True when path lies in folder (both canonical, or both spelt alike).
int PathIsInFolder(const char *path, const char *folder);
// A move has placed source whole at destination: the source is deleted
// when the run ends.
void NoteMovedSource(const char *source, const char *destination, unsigned long long size,
                     const FILETIME *lastWrite);
// destination is about to be written. True when it is a moved source that
// waits for deletion: it no longer does, the new file owns the name.
bool TakeOverMovedSource(const char *destination);
// Records, then deletes the waiting moved sources that lie in folder (all
// when folder is null). Without a record written whole nothing is deleted.
void DeleteMovedSources(const char *folder);
// The run has reached its end line: every waiting source goes, then
// beforeRecordGoes runs (the clean-up copies start), then the record goes.
// A run that dies before the copies start keeps the record, which its
// rerun needs once the sources are gone. Only a run that wrote the record,
// or found in it what it needed, deletes it: a record that another run
// left is that run's.
void FinishMoves(void (*beforeRecordGoes)() = nullptr);
// The record's name, beside the installer.
extern const char kMoveRecordName[];
// A source that is missing now but that an earlier, interrupted run moved
// whole: where it is (placed, PathSize bytes), its size and time.
int FindEarlierMove(const char *source, char *placed, unsigned long long *size, FILETIME *lastWrite);

// --- registry commands (regcmds.cpp) ---
int CmdRegCreateKey(HWND);
int CmdRegDeleteKey(HWND);
int CmdRegSetValue(HWND);
// Root key of a script root number 0..3; nullptr for any other number.
HKEY RootKeyOf(int number);
enum RegistryText {
    RegistryTextMissing = 0,  // the value cannot be read
    RegistryTextWhole = 1,
    RegistryTextTooLong = 2,  // more than 259 bytes of text: never cut
};
// Reads a value of an open key as text into out (PathSize bytes), whatever
// its registry type: up to 260 bytes of data, a text of 259 bytes and its
// NUL included. out is "" unless the whole text was read.
RegistryText ReadRegistryText(HKEY key, const char *valueName, char *out);

// --- Program Manager commands (progman.cpp) ---
int CmdDdeStart(HWND);
int CmdCreateGroup(HWND);
int CmdDeleteGroup(HWND);
int CmdAddIcon(HWND);
int CmdDeleteIcon(HWND);
int ProgmanConnect();
int ProgmanExecute(const char *text);
void ProgmanDisconnect();

// --- self-removal (cleanup.cpp) ---
int CmdCleanupInstall(HWND);
int CmdCleanupUninstall(HWND);
// The clean-up copies that the script asked for start when the run reaches
// its end line.
void StartCleanupCopies();
// A clean-up copy moves out of whatever folder it was started in, to the
// folder it lives in, before its first attempt: it must hold no folder
// that it is to remove.
void EnterOwnFolder();
void CleanupTick(HWND mainWindow, UINT_PTR timerId);
// Windows 95: asks in WININIT.INI of the folder windows for path to be
// deleted at the next restart, keeping every line other programs put there.
void AddToWininit(const char *path, const char *windows);
// Takes the options of the command line into g_setup. A clean-up operand
// that does not fit is dropped together with the other one: the copy then
// deletes and prunes nothing.
void ApplyCommandLine(char *commandLine);

// --- paths from the system (syspaths.cpp); each into PathSize bytes, 0 and
// an empty text when the system's answer did not come whole ---
int OwnProgramPath(char *out);
int WindowsFolder(char *out);
// The folder that holds path ("C:\" for a file in a drive's root); 0 when
// path names no folder.
int FolderOfPath(char *out, const char *path);
// True when a name may follow folder as it is: folder is empty, ends in a
// backslash (a whole character, not the trail byte of a double-byte one)
// or is a bare drive ("X:").
int EndsInSeparator(const char *folder);
// folder, a backslash when it has none at its end, and name; 0 and an empty
// text when that does not fit.
int PathInFolder(char *out, const char *folder, const char *name);
