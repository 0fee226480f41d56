// The script interpreter: one script line per WM_USER step message, the
// section test, the progress percentage, the stop notice, and the services
// every command family shares (arguments, macros, progress lines, messages).
#include "setup.h"
#include "resource.h"

sc::Script g_script;

namespace {

// The line of the running step; the command's tokens point into it.
char g_lineBuffer[PathSize];

const char *const kSeparators = " \t";
// An installer whose script is missing or holds no line.
const char kNoScriptText[] = "このセットアップには、スクリプトがありません。\nセットアップを中止します。";
// The notice of every stop: the end of the text above, not a second copy.
const char *const kStopText = kNoScriptText + sizeof kNoScriptText - sizeof "セットアップを中止します。";

unsigned HostSystemDir(char *out, unsigned capacity)
{
    return GetSystemDirectoryA(out, capacity);
}

unsigned HostWindowsDir(char *out, unsigned capacity)
{
    return GetWindowsDirectoryA(out, capacity);
}

// Handlers by command, in the order of the command table. Section markers,
// end and appname are the interpreter's own business: no handler.
const CommandHandler kHandlers[] = {
    nullptr,               // appname
    CmdDefaultDirFromReg,
    CmdDefaultDirChk,
    CmdWelcome,
    CmdChkClassExec,
    nullptr,               // startinstall
    nullptr,               // endinstall
    nullptr,               // startuninstall
    nullptr,               // enduninstall
    CmdStartMeter,
    CmdEndMeter,
    CmdCopy,
    CmdMove,
    CmdDel,
    CmdMkdir,
    CmdRmdir,
    CmdRegCreateKey,
    CmdRegDeleteKey,
    CmdRegSetValue,
    nullptr,               // end
    CmdDdeStart,
    CmdCreateGroup,
    CmdDeleteGroup,
    CmdAddIcon,
    CmdDeleteIcon,
    CmdCleanupInstall,
    CmdCleanupUninstall,
    CmdChkOsType,
};
static_assert(sizeof(kHandlers) / sizeof(kHandlers[0]) == sc::CommandCount,
              "one handler slot per command of the table");

void StopScript();

// The end line, or the last line passed without one. Only now do the moved
// sources go and the clean-up copies start: a run that stopped or died
// before keeps its distribution, Setup.exe included, to be run again.
void FinishScript()
{
    if (!SettleStagedFolders(g_setup.progressDialog)) {
        StopScript();
        return;
    }
    FinishMoves(StartCleanupCopies);
    RemoveWorkFolders();
    if (!g_setup.silent) {
        SetForegroundWindow(g_setup.mainWindow);
        DialogBoxParamA(g_setup.instance,
                        MAKEINTRESOURCEA(g_setup.installMode == 1 ? IDD_INSTALL_DONE : IDD_UNINSTALL_DONE),
                        g_setup.mainWindow, FinishDlgProc, 0);
    }
    // An uninstallation that found no installed copy skipped its section:
    // it removed nothing, and a caller must not take it for one that did.
    PostQuitMessage(g_setup.installMode == 0 && g_setup.installedFound == 0 ? ExitNotInstalled : ExitFinished);
}

// A caller of Setup.exe learns from the exit code how the run ended.
void StopScript()
{
    CloseProgressDialog();
    RemoveWorkFolders();
    // A silent run closed from outside has nobody to tell.
    if (g_setup.closeRequested == 0 || g_setup.silent == 0) {
        MessageBoxA(g_setup.mainWindow, kStopText, g_setup.caption, MB_ICONINFORMATION);
    }
    bool cancelled = g_setup.userCancelled != 0 || g_setup.abortRequested != 0;
    PostQuitMessage(cancelled ? ExitCancelled : ExitStopped);
}

// Serves one waiting message while the progress dialog is open. Returns
// false when that message was WM_QUIT: it is posted again so that the main
// loop still ends, and the script halts where it is.
bool PumpOneMessage()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
    if (IsDialogMessageA(g_setup.progressDialog, &msg)) return true;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

// The three lines of the progress dialog: what each control shows, and
// what the last command set. A line that stays the same from one command to
// the next (the action of a run of copies, an empty description) is not set
// again: only what changed is redrawn.
struct ShownLines {
    HWND dialog;
    bool known[3];  // shown[i] is what control i shows
    char shown[3][MessageSize];
    char next[3][MessageSize];
    DWORD shownAt;
    DWORD blockStart;
};
ShownLines g_lines;
const int kLineControls[3] = {IDC_PROGRESS_ACTION, IDC_PROGRESS_OBJECT, IDC_PROGRESS_NOTE};

void StoreProgressLines(HWND dialog, const char *action, const char *object, const char *description)
{
    if (g_lines.dialog != dialog) {
        // A new dialog shows its template's texts: every line is set once.
        g_lines.dialog = dialog;
        for (bool &known : g_lines.known) known = false;
        g_lines.blockStart = GetTickCount();
    }
    const char *texts[3] = {action, object, description};
    for (int i = 0; i < 3; ++i) lstrcpynA(g_lines.next[i], texts[i] != nullptr ? texts[i] : "", MessageSize);
}

void ShowProgressLines()
{
    // The dialog is the one the step was given, which is open: every path
    // that shows lines stores them for that dialog first.
    if (g_lines.dialog == nullptr) return;
    for (int i = 0; i < 3; ++i) {
        if (g_lines.known[i] && lstrcmpA(g_lines.shown[i], g_lines.next[i]) == 0) continue;
        SetDlgItemTextA(g_lines.dialog, kLineControls[i], g_lines.next[i]);
        lstrcpyA(g_lines.shown[i], g_lines.next[i]);
        g_lines.known[i] = true;
    }
    g_lines.shownAt = GetTickCount();
}

}  // namespace

void CloseProgressDialog()
{
    if (g_setup.progressDialog != nullptr) {
        EnableWindow(g_setup.mainWindow, TRUE);
        DestroyWindow(g_setup.progressDialog);
        g_setup.progressDialog = nullptr;
    }
}

const sc::ScriptHost g_scriptHost = {
    g_setup.programFilesDir,
    g_setup.destDir,
    HostSystemDir,
    HostWindowsDir,
    ScanSourceInfo,
};

int LoadScript(HINSTANCE instance)
{
    HRSRC found = FindResourceA(instance, "script", "TEXT");
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const char *text = loaded ? static_cast<const char *>(LockResource(loaded)) : nullptr;
    DWORD size = text ? SizeofResource(instance, found) : 0;
    int lines = sc::ScriptOpen(&g_script, text, size);
    // A line-start index, so that a long script does not rescan its text
    // for every fetch. Without memory for it the fetches simply scan.
    if (lines > 0) {
        SIZE_T bytes = sc::ScriptIndexEntries(&g_script) * sizeof(uint32_t);
        uint32_t *index = static_cast<uint32_t *>(HeapAlloc(GetProcessHeap(), 0, bytes));
        if (index != nullptr) sc::ScriptBuildIndex(&g_script, index);
    }
    return lines;
}

void ReportLongLine(int lineIndex, int argument)
{
    char text[MessageSize];
    wsprintfA(text, argument ? "スクリプトの%d行目の引数が長すぎます。" : "スクリプトの%d行目が長すぎます。",
              lineIndex + 1);
    ReportMessage(MessageOwner(g_setup.progressDialog), MB_ICONHAND, MB_ICONHAND, text);
}

const char *NextArg()
{
    return sc::NextToken(nullptr, kSeparators);
}

int ExpandArg(char *out, const char *arg, int capacity)
{
    if (sc::ExpandMacros(out, arg, &g_scriptHost, static_cast<unsigned>(capacity)) == sc::ExpandOk) {
        return 1;
    }
    ReportLongLine(g_script.currentLine, 1);
    return 0;
}

void SetProgressLines(HWND progressDialog, const char *action, const char *object, const char *description)
{
    if (progressDialog == nullptr) return;
    StoreProgressLines(progressDialog, action, object, description);
    ShowProgressLines();
}

void SetProgressLinesFor(HWND progressDialog, const char *action, const char *object, const char *description,
                         unsigned long long weight)
{
    if (progressDialog == nullptr) return;
    StoreProgressLines(progressDialog, action, object, description);
    DWORD now = GetTickCount();
    bool shownOnce = g_lines.known[0] && g_lines.known[1] && g_lines.known[2];
    if (!shownOnce || sc::LinesDue(now - g_lines.shownAt, weight, g_setup.meterDone, now - g_lines.blockStart)) {
        ShowProgressLines();
    }
}

void ForgetProgressLines()
{
    g_lines.dialog = nullptr;
}

int ReportMessage(HWND owner, UINT beep, UINT style, const char *text)
{
    if (g_setup.silent) return 0;
    // A question or a failure names the file the dialog is to show.
    if (owner == g_lines.dialog) ShowProgressLines();
    MessageBeep(beep);
    return MessageBoxA(owner, text, g_setup.caption, style);
}

HWND MessageOwner(HWND progressDialog)
{
    return progressDialog != nullptr ? progressDialog : g_setup.mainWindow;
}

namespace {

// Lines a silent run takes per step message. Nothing is on screen to keep
// answering, so lines follow one another within one step; the message loop
// still has its turn after each batch.
const int kSilentBatch = 64;
// While the progress dialog is open, a step takes lines for this long
// before it serves a waiting message and redraws: a cancel or a click is
// answered within it, and files too short to read are not drawn one by one.
const DWORD kStepMs = 20;

// The meter as last drawn (its percentage plus one; 0 when it has not
// been drawn, which keeps the record out of the program file), and when.
int g_drawnPercentPlusOne;
DWORD g_drawnAt;

// One script line, from the fetch to the percentage. Returns true when the
// script goes on with the next line; false when it has ended or stopped
// (the stop notice has been shown).
bool RunNextLine()
{
    g_setup.stepOk = 1;

    sc::FetchResult fetched = sc::FetchCommandLine(&g_script, g_lineBuffer);
    if (fetched == sc::FetchNoLine && g_script.lineCount == 0) {
        // Nothing was done: saying the installation is complete would lie.
        ReportMessage(g_setup.mainWindow, MB_ICONHAND, MB_ICONHAND, kNoScriptText);
        PostQuitMessage(ExitStopped);
        return false;
    }
    if (fetched == sc::FetchNoLine) {
        // The last counted line has been passed without an end line.
        FinishScript();
        return false;
    }
    if (fetched == sc::FetchTooLong) {
        // Running a cut line could name a different file: stop instead.
        ReportLongLine(g_script.currentLine, 0);
        StopScript();
        return false;
    }

    const char *word = sc::NextToken(g_lineBuffer, kSeparators);
    sc::CommandId id = sc::LookupCommand(word);
    if (id == sc::CmdEnd) {
        FinishScript();
        return false;
    }
    // Section markers count wherever they stand; other lines run by section.
    if (!sc::ApplySectionMarker(id, &g_setup.inInstallSection, &g_setup.inUninstallSection) &&
        id != sc::CmdNone && kHandlers[id] != nullptr &&
        sc::SectionRuns(g_setup.installMode, g_setup.inInstallSection, g_setup.inUninstallSection,
                        g_setup.installedFound)) {
        // Only copies and moves go into a staged folder; any other command
        // might look into it.
        bool ready = id == sc::CmdCopy || id == sc::CmdMove || SettleStagedFolders(g_setup.progressDialog);
        if (!ready || !kHandlers[id](g_setup.progressDialog)) g_setup.stepOk = 0;
    }

    if (g_setup.meterTotal != 0) {
        g_setup.percent = sc::MeterPercent(g_setup.meterDone, g_setup.meterTotal);
    }
    if (g_setup.stepOk == 1 && g_setup.abortRequested == 0) return true;
    StopScript();
    return false;
}

// Redraws the meter when its percentage changed since it was last drawn,
// at most every kRedrawMs (the full meter at once).
void RedrawMeter()
{
    DWORD now = GetTickCount();
    if (g_setup.percent + 1 == g_drawnPercentPlusOne) return;
    if (g_setup.percent < 100 && now - g_drawnAt < sc::kRedrawMs) return;
    DrawMeter(GetDlgItem(g_setup.progressDialog, IDC_PROGRESS_METER));
    g_drawnPercentPlusOne = g_setup.percent + 1;
    g_drawnAt = now;
}

}  // namespace

void ForgetMeter()
{
    g_drawnPercentPlusOne = 0;
}

void ScriptStep()
{
    // Closed between two steps: no further line runs.
    if (g_setup.closeRequested != 0) {
        StopScript();
        return;
    }
    g_setup.lastPercent = g_setup.percent;
    DWORD start = GetTickCount();
    for (int lines = 1;; ++lines) {
        if (!RunNextLine()) return;
        bool more = g_setup.silent ? lines < kSilentBatch
                                   : g_setup.progressDialog != nullptr && GetTickCount() - start < kStepMs;
        if (!more) break;
    }
    if (g_setup.progressDialog != nullptr) {
        RedrawMeter();
        if (g_setup.progressDialog != nullptr && !PumpOneMessage()) return;
    }
    if (g_setup.abortRequested == 0) {
        PostMessageA(g_setup.mainWindow, WM_USER, 0, 0);
        return;
    }
    StopScript();
}
