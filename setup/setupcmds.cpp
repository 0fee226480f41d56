// The commands that prepare a run: chkostype, defaultdirfromreg,
// defaultdirchk, welcome and chkclassexec.
#include "setup.h"
#include "resource.h"

namespace {

// Systems by script number; the last row names no platform of its own.
const char *const kSystemNames[4] = {
    "Windows 3.1",
    "Windows 95",
    "WindowsNT",
    "Windows 95またはWindowsNT",
};

const char *SystemName(int number)
{
    return number >= 0 && number < 4 ? kSystemNames[number] : "?";
}

// Runs one modal wizard page; true when the user went on.
bool ShowPage(int id, DLGPROC procedure)
{
    return DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(id), g_setup.mainWindow, procedure, 0) == 1;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// destDir from the default folder: a folder with a drive letter is taken as
// it is, any other is placed under the root of the Windows drive. False when
// the root and the folder together do not fit: destDir stays empty rather
// than naming a cut, different folder.
bool SetDefaultFolder(const char *folder)
{
    if (IsAsciiLetter(folder[0]) && folder[1] == ':') {
        lstrcpyA(g_setup.destDir, folder);
        return true;
    }
    char windows[PathSize];
    if (WindowsFolder(windows)) windows[3] = '\0';
    char placed[PathSize];
    lstrcpyA(placed, windows);
    unsigned root = sc::StrLen(placed);
    if (!sc::CopyText(placed + root, PathSize - root, folder)) return false;
    lstrcpyA(g_setup.destDir, placed);
    return true;
}

}  // namespace

int CmdDefaultDirFromReg(HWND)
{
    int root = sc::ReadNumber(NextArg());
    const char *subkey = NextArg();
    const char *valueName = NextArg();
    HKEY rootKey = RootKeyOf(root);
    if (rootKey == nullptr) return 1;
    HKEY key;
    if (RegOpenKeyExA(rootKey, subkey ? subkey : "", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 1;
    char data[PathSize];
    RegistryText read = ReadRegistryText(key, valueName, data);
    RegCloseKey(key);
    // A recorded folder that does not fit is no folder to offer: as with
    // any value that cannot be read, the script's default folder stands, so
    // that a damaged registry never blocks an uninstallation for good.
    if (read == RegistryTextWhole) lstrcpyA(g_setup.destDir, data);
    return 1;
}

int CmdDefaultDirChk(HWND)
{
    if (g_setup.destDir[0] != '\0') g_setup.installedFound = 1;
    return 1;
}

int CmdWelcome(HWND)
{
    int choice = sc::ReadNumber(NextArg());
    char folder[PathSize];
    if (!ExpandArg(folder, NextArg())) return 0;

    if (!g_setup.silent) {
        if (!ShowPage(IDD_WELCOME, WelcomeDlgProc)) return CancelledByUser();
        if (g_setup.installMode == 1 && choice == 3 && g_setup.installedFound == 1) {
            if (!ShowPage(IDD_SELECT, SelectDlgProc)) return CancelledByUser();
        }
    }
    if (g_setup.destDir[0] == '\0' && !SetDefaultFolder(folder)) {
        ReportLongLine(g_script.currentLine, 1);
        return 0;
    }
    if (!g_setup.silent) {
        if (g_setup.installMode == 1) {
            if (!ShowPage(IDD_FOLDER, FolderDlgProc)) return CancelledByUser();
            if (!ShowPage(IDD_INSTALL_CONFIRM, InstallConfirmDlgProc)) return CancelledByUser();
        } else {
            if (!ShowPage(IDD_UNINSTALL_CONFIRM, UninstallConfirmDlgProc)) return CancelledByUser();
        }
    }
    return 1;
}

int CmdChkClassExec(HWND)
{
    char className[PathSize];
    char displayName[PathSize];
    sc::CopyText(className, PathSize, NextArg());
    sc::CopyText(displayName, PathSize, NextArg());
    if (FindWindowA(className, nullptr) == nullptr || g_setup.silent) return 1;
    MessageBeep(MB_ICONEXCLAMATION);
    char text[MessageSize];
    wsprintfA(text,
              "現在動作中の%sを発見しました。\nセットアップを継続するには、動作中の%sを、\n終了させてください。\n\n"
              "%sを終了させたら、[OK] を押してください。",
              displayName, displayName, displayName);
    int answer = MessageBoxA(g_setup.mainWindow, text, "動作中のアプリケーションの終了", MB_OKCANCEL | MB_ICONEXCLAMATION);
    return answer == IDOK ? 1 : CancelledByUser();
}

int CmdChkOsType(HWND)
{
    int excluded = sc::ReadNumber(NextArg());
    int recommended = sc::ReadNumber(NextArg());
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId != static_cast<DWORD>(excluded)) return 1;

    // Shown in silent runs too: the user must learn why nothing happened.
    char text[MessageSize];
    wsprintfA(text, "%sは、%sでは動作しません。\n%sを使用してください。", g_setup.appName, SystemName(excluded),
              SystemName(recommended));
    MessageBeep(MB_ICONHAND);
    MessageBoxA(g_setup.mainWindow, text, g_setup.caption, MB_OK | MB_ICONHAND);
    return 0;
}
