// Whole scripts through the real window procedure and step messages, and the
// set-up commands: sections, end, stops, percentages, the caption, the
// default folder, the platform check and an earlier installation.
#include "wincheck.h"
#include "resource.h"

namespace {

char g_dir[MAX_PATH];
char g_path[MAX_PATH];

const char *In(const char *name)
{
    wsprintfA(g_path, "%s\\%s", g_dir, name);
    return g_path;
}

int RunScript(const char *text, int installMode, int installedFound, int silent = 1)
{
    return RunScriptIn(g_dir, text, installMode, installedFound, silent);
}

void ClearMarks()
{
    const char *names[] = {"inst", "uninst", "both", "after", "m1", "m2"};
    for (const char *name : names) RemoveDirectoryA(In(name));
}

const char kSections[] =
    "startinstall\n"
    "\tmkdir \"%DEFDIR%inst\"\n"
    "endinstall\n"
    "startuninstall\n"
    "\tmkdir \"%DEFDIR%uninst\"\n"
    "enduninstall\n"
    "  ; no comment: a word that names no command\n"
    "MkDir \"%DEFDIR%both\"\n"
    "end\n"
    "mkdir \"%DEFDIR%after\"\n";

void TestSections()
{
    Group("install runs its section and the common lines; end stops the script");
    ClearMarks();
    AnswerBoxesWith(IDOK);
    // A silent run takes its lines in batches: one step message here.
    CHECK(RunScript(kSections, 1, 0) == 1);
    CHECK(g_script.currentLine == 8);
    CHECK(Exists(In("inst")) && Exists(In("both")));
    CHECK(!Exists(In("uninst")) && !Exists(In("after")));
    CHECK(g_boxCount == 0);

    Group("uninstall without an installed copy skips its section");
    ClearMarks();
    RunScript(kSections, 0, 0);
    CHECK(!Exists(In("inst")) && !Exists(In("uninst")) && Exists(In("both")));

    Group("uninstall with an installed copy runs its section");
    ClearMarks();
    RunScript(kSections, 0, 1);
    CHECK(!Exists(In("inst")) && Exists(In("uninst")) && Exists(In("both")));

    Group("an end line inside a skipped section still ends the script");
    ClearMarks();
    RunScript("startinstall\nend\nendinstall\nmkdir \"%DEFDIR%after\"\nend\n", 0, 0);
    CHECK(!Exists(In("after")));

    Group("a script without an end line ends after its last line, without a stop notice");
    ClearMarks();
    AnswerBoxesWith(IDOK);
    CHECK(RunScript("mkdir \"%DEFDIR%m1\"\n\nmkdir \"%DEFDIR%m2\"\n", 1, 0) == 1);
    CHECK(g_script.currentLine == 2);
    CHECK(Exists(In("m1")) && Exists(In("m2")));
    CHECK(g_boxCount == 0);
}

void TestStops()
{
    Group("a failing command stops the run; silent runs still show the stop notice");
    ClearMarks();
    AnswerBoxesWith(IDOK);
    RunScript("copy \"%DEFDIR%missing\" \"%DEFDIR%x\"\nmkdir \"%DEFDIR%after\"\nend\n", 1, 0);
    CHECK(!Exists(In("after")));
    CHECK_STR(g_boxTexts, "セットアップを中止します。");

    AnswerBoxesWith(IDOK);
    RunScript("copy \"%DEFDIR%missing\" \"%DEFDIR%x\"\nend\n", 1, 0, 0);
    CHECK(g_boxCount == 2);
    CHECK(Contains(g_boxTexts, "が見つかりません。|セットアップを中止します。"));
}

void TestPercent()
{
    Group("the percentage follows the weights and ends at 100, also past 4 GiB");
    HANDLE file = CreateFileA(In("big.bin"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 6LL << 30;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    char bigPath[MAX_PATH];
    lstrcpyA(bigPath, In("big.bin"));
    // The newer-file question is answered No, so nothing large is written,
    // yet the file counts as done.
    WriteFileAged(In("big-dst.bin"), 1, 'x', -2);
    AnswerBoxesWith(IDNO);
    RunScript("startmeter\ncopy \"%DEFDIR%big.bin\" \"%DEFDIR%big-dst.bin\"\nmkdir \"%DEFDIR%m1\"\nendmeter\nend\n", 1, 0,
              0);
    CHECK(g_setup.meterTotal == (6ULL << 30) + 1024);
    CHECK(g_setup.meterDone == g_setup.meterTotal);
    CHECK(g_setup.percent == 100);
    CHECK(g_setup.progressDialog == nullptr);
    CHECK(Contains(g_boxTexts, "が、すでに存在します。"));
    CHECK(Contains(g_boxTexts, "|[インストールの終了]"));
    DeleteFileA(bigPath);
    DeleteFileA(In("big-dst.bin"));
}

// Navy blocks along the middle row of the meter: their number, and the
// blank margins left and right of them.
struct MeterRow {
    int blocks;
    int leftMargin;
    int rightMargin;
};

MeterRow ReadMeter(HWND meter)
{
    RECT r;
    GetClientRect(meter, &r);
    HDC dc = GetDC(meter);
    MeterRow row = {0, -1, -1};
    bool inBlock = false;
    int last = -1;
    for (int x = r.left; x < r.right; ++x) {
        bool navy = GetPixel(dc, x, (r.top + r.bottom) / 2) == RGB(0, 0, 128);
        if (navy && !inBlock) ++row.blocks;
        if (navy && row.leftMargin < 0) row.leftMargin = x - r.left;
        if (navy) last = x;
        inBlock = navy;
    }
    if (last >= 0) row.rightMargin = r.right - 1 - last;
    ReleaseDC(meter, dc);
    return row;
}

void TestMeter()
{
    Group("the meter draws percent * 35 / 100 blocks, centred, never more than 35");
    ResetState(g_dir, 0);
    g_setup.mainWindow = CreateWindowExA(0, "OrvaltTestClass", "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                         nullptr, nullptr, g_setup.instance, nullptr);
    HWND dialog = CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS), g_setup.mainWindow,
                                     ProgressDlgProc, 0);
    CHECK(dialog != nullptr);
    HWND meter = GetDlgItem(dialog, IDC_PROGRESS_METER);
    const int cases[][2] = {{0, 0}, {2, 0}, {3, 1}, {50, 17}, {99, 34}, {100, 35}, {250, 35}};
    for (const auto &c : cases) {
        g_setup.percent = c[0];
        DrawMeter(meter);
        GdiFlush();
        MeterRow row = ReadMeter(meter);
        if (row.blocks != c[1]) printf("   percent %d: %d blocks\n", c[0], row.blocks);
        CHECK(row.blocks == c[1]);
        if (c[0] >= 100) CHECK(row.leftMargin >= 3 && row.leftMargin - row.rightMargin <= 2 &&
                               row.rightMargin - row.leftMargin <= 2);
    }
    DestroyWindow(dialog);
    DestroyWindow(g_setup.mainWindow);
    // The main window's WM_DESTROY posted a quit: take it off the queue.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void TestProgressHandle()
{
    Group("the progress dialog's handle goes with the dialog, also when the main window takes it along");
    ResetState(g_dir, 0);
    g_setup.mainWindow = CreateWindowExA(0, "OrvaltTestClass", "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                         nullptr, nullptr, g_setup.instance, nullptr);
    g_setup.progressDialog = CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS), g_setup.mainWindow,
                                                ProgressDlgProc, 0);
    HWND dialog = g_setup.progressDialog;
    CHECK(dialog != nullptr);
    SetProgressLines(dialog, "action", "object", "note");
    DestroyWindow(g_setup.mainWindow);
    CHECK(!IsWindow(dialog));
    CHECK(g_setup.progressDialog == nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void TestCaption()
{
    Group("the caption keeps its words and cuts a long name between characters");
    char caption[PathSize];
    BuildCaption(caption, "Kelvo", 1);
    CHECK_STR(caption, "Kelvo セットアップ");
    BuildCaption(caption, "Kelvo", 0);
    CHECK_STR(caption, "Kelvo セットアップ (アンインストール)");
    char name[PathSize];
    lstrcpyA(name, "a");
    for (int i = 0; i < 128; ++i) lstrcatA(name, "漢");  // 257 bytes
    for (int mode = 0; mode < 2; ++mode) {
        BuildCaption(caption, name, mode);
        int length = lstrlenA(caption);
        CHECK(length <= PathSize - 1);
        const char *suffix = mode ? " セットアップ" : " セットアップ (アンインストール)";
        CHECK(length > lstrlenA(suffix) && lstrcmpA(caption + length - lstrlenA(suffix), suffix) == 0);
        // The name part is "a" and whole characters: an odd byte count.
        CHECK((length - lstrlenA(suffix)) % 2 == 1);
    }
}

void TestFolderRules()
{
    Group("welcome in a silent run: the default folder goes on the Windows drive unless it has its own");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    char expected[MAX_PATH];
    ResetState("");
    CHECK(RunLine(CmdWelcome, "welcome 3 \"Apps\\Tool\"") == 1);
    lstrcpynA(expected, windows, 4);
    lstrcatA(expected, "Apps\\Tool");
    CHECK_STR(g_setup.destDir, expected);
    ResetState("");
    CHECK(RunLine(CmdWelcome, "welcome 3 \"D:\\Tool\"") == 1);
    CHECK_STR(g_setup.destDir, "D:\\Tool");
    ResetState("");
    CHECK(RunLine(CmdWelcome, "welcome 3 \"ツール\"") == 1);
    lstrcpynA(expected, windows, 4);
    lstrcatA(expected, "ツール");
    CHECK_STR(g_setup.destDir, expected);
    ResetState("E:\\Earlier");
    CHECK(RunLine(CmdWelcome, "welcome 3 \"D:\\Tool\"") == 1);
    CHECK_STR(g_setup.destDir, "E:\\Earlier");
    ResetState("");
    lstrcpyA(g_setup.programFilesDir, "C:\\Program Files");
    CHECK(RunLine(CmdWelcome, "welcome 3 \"%PRGDIR%Mokra\\Kelvo\"") == 1);
    CHECK_STR(g_setup.destDir, "C:\\Program Files\\Mokra\\Kelvo");

    Group("the folder page accepts only full paths");
    CHECK(IsFullFolderPath("C:\\Program Files\\X"));
    CHECK(IsFullFolderPath("d:\\"));
    CHECK(IsFullFolderPath("\\\\server\\share\\dir"));
    CHECK(!IsFullFolderPath(""));
    CHECK(!IsFullFolderPath("   "));
    CHECK(!IsFullFolderPath("C:"));
    CHECK(!IsFullFolderPath("C:relative"));
    CHECK(!IsFullFolderPath("\\Program Files"));
    CHECK(!IsFullFolderPath("Program Files\\X"));
    CHECK(!IsFullFolderPath("\\\\server"));
    CHECK(!IsFullFolderPath("\\\\server\\"));
    CHECK(!IsFullFolderPath(" C:\\X"));
}

void TestEarlierInstallation()
{
    Group("defaultdirfromreg and defaultdirchk find an earlier installation");
    const char key[] = "SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe";
    HKEY k;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    const char folder[] = "C:\\Tools\\Old";
    RegSetValueExA(k, "Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(folder), sizeof folder);
    RegCloseKey(k);

    ResetState("");
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe\" \"Path\"") == 1);
    CHECK_STR(g_setup.destDir, folder);
    CHECK(RunLine(CmdDefaultDirChk, "defaultdirchk") == 1);
    CHECK(g_setup.installedFound == 1);

    ResetState("");
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\Nothing\" \"Path\"") == 1);
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe\" \"None\"") == 1);
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 7 \"SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe\" \"Path\"") == 1);
    CHECK_STR(g_setup.destDir, "");
    CHECK(RunLine(CmdDefaultDirChk, "defaultdirchk") == 1);
    CHECK(g_setup.installedFound == 0);

    // A folder of 259 bytes, its NUL filling all 260: still found. The
    // Program Files folder is read the same way.
    char longFolder[PathSize];
    lstrcpyA(longFolder, "C:\\");
    for (int i = 3; i < PathSize - 1; ++i) longFolder[i] = (i % 20 == 0) ? '\\' : 'd';
    longFolder[PathSize - 1] = '\0';
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    RegSetValueExA(k, "Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(longFolder), sizeof longFolder);
    RegCloseKey(k);
    ResetState("");
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe\" \"Path\"") == 1);
    CHECK_STR(g_setup.destDir, longFolder);

    const char versionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    char saved[PathSize + 1];
    DWORD savedSize = sizeof saved;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, versionKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    bool hadValue = RegQueryValueExA(k, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE *>(saved),
                                     &savedSize) == ERROR_SUCCESS;
    RegSetValueExA(k, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(longFolder), sizeof longFolder);
    char programFiles[PathSize];
    FindProgramFilesDir(programFiles);
    CHECK_STR(programFiles, longFolder);
    if (hadValue) {
        RegSetValueExA(k, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(saved), savedSize);
    } else {
        RegDeleteValueA(k, "ProgramFilesDir");
    }
    RegCloseKey(k);

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\App Paths\\Tool.exe");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\App Paths");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest");
}

void TestPlatformAndRunningCopy()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    int platform = static_cast<int>(version.dwPlatformId);
    char line[64];

    Group("chkostype refuses the running platform, also in a silent run, and passes the others");
    ResetState("");
    lstrcpyA(g_setup.appName, "Kelvo");
    AnswerBoxesWith(IDOK);
    wsprintfA(line, "chkostype %d 1", platform == 0 ? 1 : 0);
    CHECK(RunLine(CmdChkOsType, line) == 1);
    CHECK(RunLine(CmdChkOsType, "chkostype 3 1") == 1);
    CHECK(g_boxCount == 0);
    wsprintfA(line, "chkostype %d 1", platform);
    CHECK(RunLine(CmdChkOsType, line) == 0);
    CHECK(g_boxCount == 1);
    CHECK(Contains(g_boxTexts, "Kelvoは、"));
    CHECK(Contains(g_boxTexts, "Windows 95を使用してください。"));

    Group("chkclassexec asks only when the class has a window and the run is not silent");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrvaltRunningTool";
    RegisterClassA(&wc);
    ResetState("", 0);
    AnswerBoxesWith(IDCANCEL);
    CHECK(RunLine(CmdChkClassExec, "chkclassexec \"OrvaltRunningTool\" \"Tool\"") == 1);
    CHECK(g_boxCount == 0);
    HWND running = CreateWindowExA(0, wc.lpszClassName, "tool", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
    CHECK(RunLine(CmdChkClassExec, "chkclassexec \"OrvaltRunningTool\" \"Tool\"") == 0);
    CHECK(g_boxCount == 1);
    CHECK(Contains(g_boxTexts, "現在動作中のToolを発見しました。"));
    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdChkClassExec, "chkclassexec \"OrvaltRunningTool\" \"Tool\"") == 1);
    g_setup.silent = 1;
    AnswerBoxesWith(IDCANCEL);
    CHECK(RunLine(CmdChkClassExec, "chkclassexec \"OrvaltRunningTool\" \"Tool\"") == 1);
    CHECK(g_boxCount == 0);
    DestroyWindow(running);
}

}  // namespace

int main()
{
    lstrcpyA(g_dir, Scratch("orvalt-run"));
    TestSections();
    TestStops();
    TestPercent();
    TestMeter();
    TestProgressHandle();
    TestCaption();
    TestFolderRules();
    TestEarlierInstallation();
    TestPlatformAndRunningCopy();
    return Finish();
}
