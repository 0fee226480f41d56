// What Setup.exe does with bad input: scripts, registry values and typed
// folders that do not fit or that name more than they should. Nothing is
// cut into a different name, nothing outside what the script names is
// touched, and no failure is reported as success.
//
// The same promise is kept, and tested, elsewhere for:
// - a folder too long for mkdir (setup_filecmds, "mkdir creates every folder ...");
// - meter blocks with over-long lines or sources (setup_core_tests, MeterScan);
// - clean-up operands that do not fit (setup_reg_cleanup, its hostile-input group);
// - a Setup.exe built with an empty script, end to end (e2e_setup_bad_input).
#include "wincheck.h"
#include "resource.h"

namespace {

char g_dir[MAX_PATH];

const char kFolderRefusal[] = "インストール先のフォルダを、ドライブ名から指定してください。";

void TestLongLines()
{
    char script[1024];
    char longArg[300];
    FillMemory(longArg, 280, 'L');
    longArg[280] = '\0';
    char m1[MAX_PATH], after[MAX_PATH];
    wsprintfA(m1, "%s\\m1", g_dir);
    wsprintfA(after, "%s\\after", g_dir);

    Group("a line longer than 259 bytes stops the run and names the line");
    wsprintfA(script, "; first line\nmkdir \"%%DEFDIR%%m1\"\ndel \"%s\"\nmkdir \"%%DEFDIR%%after\"\nend\n", longArg);
    AnswerBoxesWith(IDOK);
    RunScriptIn(g_dir, script, 1, 0, 0);
    CHECK(Exists(m1));
    CHECK(!Exists(after));
    CHECK_STR(g_boxTexts, "スクリプトの3行目が長すぎます。|セットアップを中止します。");

    Group("an argument longer than 259 bytes after expansion stops the run and names the line");
    wsprintfA(script, "mkdir \"%%DEFDIR%%%%DEFDIR%%%s\"\nmkdir \"%%DEFDIR%%after\"\nend\n", longArg + 80);
    RemoveDirectoryA(after);
    AnswerBoxesWith(IDOK);
    RunScriptIn(g_dir, script, 1, 0, 0);
    CHECK(!Exists(after));
    CHECK_STR(g_boxTexts, "スクリプトの1行目の引数が長すぎます。|セットアップを中止します。");

    Group("regsetvalue text that cannot fit its 520 bytes stops the run and writes nothing, not even the key");
    ResetState("C:\\");
    for (int i = 0; i < 10; ++i) lstrcatA(g_setup.destDir, "Long folder name\\");
    lstrcatA(g_setup.destDir, "End");
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\TooLong Long 1 \"%DEFDIR%%DEFDIR%%DEFDIR%\"") == 0);
    HKEY key;
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\OrvaltTest\\TooLong", 0, KEY_READ, &key) != ERROR_SUCCESS);
}

DWORD SubkeyCount(HKEY root)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return subkeys;
}

// Wine refuses a key name with a leading backslash, which Windows NT strips
// and so opens the root itself. Counting subkeys alone would therefore pass
// here even if such a name reached the registry: the installer's calls are
// watched through its import slots as well.
extern "C" void *__imp_RegOpenKeyExA;
extern "C" void *__imp_RegDeleteKeyA;
decltype(&RegOpenKeyExA) g_openKey;
decltype(&RegDeleteKeyA) g_deleteKey;
int g_rootNamesSeen = 0;
int g_keyCalls = 0;

LONG WINAPI WatchOpenKey(HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key)
{
    ++g_keyCalls;
    if (name != nullptr && sc::NamesRootKey(name)) ++g_rootNamesSeen;
    return g_openKey(root, name, options, access, key);
}

LONG WINAPI WatchDeleteKey(HKEY root, LPCSTR name)
{
    ++g_keyCalls;
    if (sc::NamesRootKey(name)) ++g_rootNamesSeen;
    return g_deleteKey(root, name);
}

void TestRegDeleteKeyNeverAtARoot()
{
    Group("regdeletekey with a name that opens a root touches nothing, for every root");
    ResetState("C:\\Dest");
    Redirect(&__imp_RegOpenKeyExA, reinterpret_cast<void *>(WatchOpenKey), reinterpret_cast<void **>(&g_openKey));
    Redirect(&__imp_RegDeleteKeyA, reinterpret_cast<void *>(WatchDeleteKey), reinterpret_cast<void **>(&g_deleteKey));
    // Script text as written: "" , "\" , "\\\\" and no name at all.
    static const char *const names[] = {" \"\"", " \"\\\"", " \"\\\\\\\\\"", " \\", ""};
    for (int root = 0; root <= 3; ++root) {
        HKEY rootKey = RootKeyOf(root);
        DWORD before = SubkeyCount(rootKey);
        CHECK(before > 0);
        for (const char *name : names) {
            char line[64];
            wsprintfA(line, "regdeletekey %d%s", root, name);
            CHECK(RunLine(CmdRegDeleteKey, line) == 1);
        }
        CHECK(SubkeyCount(rootKey) == before);
    }
    CHECK(g_setup.meterDone == 4 * 5 * 1024);
    CHECK(g_rootNamesSeen == 0);
    // The watch does see the installer's calls.
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Watched", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegCloseKey(key);
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltTest\\Watched\"") == 1);
    CHECK(g_keyCalls >= 2);
    Redirect(&__imp_RegOpenKeyExA, reinterpret_cast<void *>(g_openKey), nullptr);
    Redirect(&__imp_RegDeleteKeyA, reinterpret_cast<void *>(g_deleteKey), nullptr);
}

void TestNoScript()
{
    Group("a script without lines says so and exits with 1; a silent run says nothing and exits with 1");
    AnswerBoxesWith(IDOK);
    CHECK(RunScriptIn(g_dir, "", 1, 0, 0) == 1);
    CHECK_STR(g_boxTexts, "このセットアップには、スクリプトがありません。\nセットアップを中止します。");
    CHECK(g_quitCode == 1);
    AnswerBoxesWith(IDOK);
    RunScriptIn(g_dir, "end", 1, 0, 1);  // text without a line end holds no line
    CHECK(g_boxCount == 0);
    CHECK(g_quitCode == 1);

    Group("a script of comments only, or without an end line, ends as today: exit 0");
    RunScriptIn(g_dir, "; nothing to do\n", 1, 0, 1);
    CHECK(g_boxCount == 0);
    CHECK(g_quitCode == 0);
}

void SetPathValue(const BYTE *data, DWORD size)
{
    HKEY k;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\Hostile", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                    nullptr);
    RegSetValueExA(k, "Path", 0, REG_SZ, data, size);
    RegCloseKey(k);
}

void TestFoldersThatDoNotFit()
{
    char folder[400];
    lstrcpyA(folder, "C:\\");
    for (int i = 3; i < 300; ++i) folder[i] = (i % 20 == 0) ? '\\' : 'd';
    folder[300] = '\0';
    const char script[] = "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\Hostile\" \"Path\"\nmkdir \"%DEFDIR%\"\nend\n";

    Group("a recorded folder that does not fit counts as no record, is never cut, and stops nothing");
    SetPathValue(reinterpret_cast<const BYTE *>(folder), 301);
    AnswerBoxesWith(IDOK);
    RunScriptIn("", script, 1, 0, 1);
    CHECK_STR(g_boxTexts, "");
    CHECK(g_quitCode == 0);
    CHECK_STR(g_setup.destDir, "");
    char firstFolder[32];
    lstrcpynA(firstFolder, folder, 21);
    CHECK(!Exists(firstFolder));
    // 260 bytes without a NUL: one byte too long as well.
    SetPathValue(reinterpret_cast<const BYTE *>(folder), PathSize);
    ResetState("");
    CHECK(RunLine(CmdDefaultDirFromReg, "defaultdirfromreg 2 \"SOFTWARE\\OrvaltTest\\Hostile\" \"Path\"") == 1);
    CHECK_STR(g_setup.destDir, "");

    Group("a Program Files folder that does not fit is not cut: the Windows drive's is used");
    const char versionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    HKEY k;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, versionKey, 0, KEY_ALL_ACCESS, &k);
    char saved[PathSize + 1];
    DWORD savedSize = sizeof saved;
    bool hadValue = RegQueryValueExA(k, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE *>(saved),
                                     &savedSize) == ERROR_SUCCESS;
    RegSetValueExA(k, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(folder), PathSize);
    char programFiles[PathSize];
    FindProgramFilesDir(programFiles);
    CHECK_STR(programFiles + 1, ":\\Program Files");
    if (hadValue) {
        RegSetValueExA(k, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(saved), savedSize);
    } else {
        RegDeleteValueA(k, "ProgramFilesDir");
    }
    RegCloseKey(k);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\Hostile");

    Group("a default folder that does not fit on the Windows drive stops the run; silent, without a word");
    // The folder comes from a macro: a script line cannot be that long.
    ResetState("");
    lstrcpyA(g_setup.programFilesDir, folder + 43);  // 257 bytes, without a drive
    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdWelcome, "welcome 1 %PRGDIR%") == 0);
    CHECK_STR(g_setup.destDir, "");
    CHECK(g_boxCount == 0);
    lstrcpyA(g_setup.programFilesDir, folder + 44);  // 256 bytes: fits after the drive root
    CHECK(RunLine(CmdWelcome, "welcome 1 %PRGDIR%") == 1);
    CHECK(lstrlenA(g_setup.destDir) == 259);
}

// Presses OK on the folder page with `typed` in its field; true when the
// page stayed open.
bool TypeFolder(HWND page, const char *typed)
{
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, typed);
    AnswerBoxesWith(IDOK);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return IsWindow(page) != FALSE;
}

HWND OpenFolderPage(const char *destDir)
{
    ResetState(destDir, 0);
    g_setup.mainWindow = GetDesktopWindow();
    return CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_FOLDER), nullptr, FolderDlgProc, 0);
}

void TestFolderPage()
{
    Group("the folder page refuses an empty or relative folder and shows the folder it opened with");
    char expected[512];
    wsprintfA(expected, "%s\n(例: D:\\Apps\\ツール)", kFolderRefusal);
    HWND page = OpenFolderPage("D:\\Apps\\ツール");
    CHECK(TypeFolder(page, "Apps\\Tool"));
    CHECK_STR(g_boxTexts, expected);
    CHECK(TypeFolder(page, ""));
    CHECK_STR(g_boxTexts, expected);
    CHECK_STR(g_setup.destDir, "D:\\Apps\\ツール");
    DestroyWindow(page);
    // A page that opened with no usable folder gives no example.
    page = OpenFolderPage("Tool");
    CHECK(TypeFolder(page, "C:"));
    CHECK_STR(g_boxTexts, kFolderRefusal);
    DestroyWindow(page);

    Group("a folder typed longer than the field holds is cut between two characters");
    page = OpenFolderPage("");
    char typed[400] = "C:\\d";
    for (int i = 0; i < 150; ++i) lstrcatA(typed, "あ");
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, typed);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DestroyWindow(page);
    lstrcpynA(expected, typed, 4 + 127 * 2 + 1);  // 258 bytes: no half of the 128th あ
    CHECK_STR(g_setup.destDir, expected);
}

}  // namespace

int main()
{
    lstrcpyA(g_dir, Scratch("orvalt-hostile"));
    TestLongLines();
    TestRegDeleteKeyNeverAtARoot();
    TestNoScript();
    TestFoldersThatDoNotFit();
    TestFolderPage();
    return Finish();
}
