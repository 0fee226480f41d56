// Start-menu commands: a DDE conversation with the shell's Program Manager
// service and the four execute commands sent over it.
#include "setup.h"
#include "setup_core.h"

// An execute string with several commands is sent one line per
// transaction, byte for byte as each line stands. Wine's Program Manager
// service runs only the first command of a string whose commands stand on
// separate lines (while acknowledging the whole), and the Windows 95 shell
// keeps the conversation's state (the group ShowGroup made current) from one
// transaction to the next, so one way serves both.

namespace {

constexpr unsigned long long ItemWeight = 1024;
constexpr DWORD ExecuteTimeout = 1000;  // ms per transaction
constexpr char ProgmanName[] = "PROGMAN";
constexpr char StartMenuAction[] = "[ｽﾀｰﾄ] ﾒﾆｭｰの更新中です...";
constexpr char RegisterFailed[] = "[ｽﾀｰﾄ] ﾒﾆｭｰへの登録ができませんでした。";
constexpr char RemoveFailed[] = "[ｽﾀｰﾄ] ﾒﾆｭｰからの削除ができませんでした。";
constexpr char AddItemFailed[] = "[ｽﾀｰﾄ] ﾒﾆｭｰへの「%s」項目の追加ができませんでした。";

constexpr char CreateGroupFormat[] = "[CreateGroup(\"%s\")]";
constexpr char DeleteGroupFormat[] = "[DeleteGroup(\"%s\")]";
constexpr char AddItemFormat[] = "[ShowGroup(\"%s\",1)]\n[AddItem(%s,\"%s\")]";
constexpr char DeleteItemFormat[] = "[ShowGroup(\"%s\",1)]\n[DeleteItem(\"%s\")]";

constexpr int StartMenuDialog = 136;

// Absent arguments are sent as empty names.
const char *OrEmpty(const char *text)
{
    return text ? text : "";
}

void ShowStartMenuLines(HWND progressDialog)
{
    if (progressDialog)
        SetProgressLines(progressDialog, StartMenuAction, "", "");
}

// A failed CreateGroup or AddItem stops the run with the name in question.
int ReportItemFailure(HWND progressDialog, const char *name)
{
    char text[MessageSize];
    wsprintfA(text, AddItemFailed, name);
    ReportMessage(MessageOwner(progressDialog), MB_ICONEXCLAMATION, MB_ICONHAND, text);
    return 0;
}

}  // namespace

// The client side of the conversation needs no transactions of its own;
// advise data is acknowledged, everything else declined.
HDDEDATA CALLBACK DdeCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return type == XTYP_ADVDATA ? reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK)) : nullptr;
}

int ProgmanConnect()
{
    if (g_setup.progmanConversation)
        return 1;  // a second ddestart keeps the open conversation
    if (g_setup.ddeInstance == 0) {
        DWORD instance = 0;
        if (DdeInitializeA(&instance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return 0;
        g_setup.ddeInstance = instance;
        g_setup.progmanService = DdeCreateStringHandleA(instance, ProgmanName, CP_WINANSI);
        g_setup.progmanTopic = DdeCreateStringHandleA(instance, ProgmanName, CP_WINANSI);
    }
    g_setup.progmanConversation = DdeConnect(g_setup.ddeInstance, g_setup.progmanService,
                                             g_setup.progmanTopic, nullptr);
    return g_setup.progmanConversation != nullptr;
}

namespace {

// One XTYP_EXECUTE transaction with the text and its terminating NUL.
int ExecuteOnce(const char *text)
{
    HDDEDATA result = DdeClientTransaction(
        reinterpret_cast<LPBYTE>(const_cast<char *>(text)), lstrlenA(text) + 1,
        g_setup.progmanConversation, nullptr, CF_TEXT, XTYP_EXECUTE, ExecuteTimeout, nullptr);
    return result != nullptr;
}

}  // namespace

int ProgmanExecute(const char *text)
{
    if (!g_setup.progmanConversation)
        return 0;
    // Every line must be acknowledged, as the whole string would be.
    char line[MessageSize];
    const char *start = text;
    for (;;) {
        const char *end = start;
        while (*end && *end != '\n')
            ++end;  // LF is never a trail byte
        int length = static_cast<int>(end - start);
        if (length >= static_cast<int>(sizeof line))
            return 0;
        lstrcpynA(line, start, length + 1);
        if (!ExecuteOnce(line))
            return 0;
        if (!*end)
            return 1;
        start = end + 1;
    }
}

void ProgmanDisconnect()
{
    if (g_setup.ddeInstance == 0)
        return;
    if (g_setup.progmanConversation)
        DdeDisconnect(g_setup.progmanConversation);
    DdeFreeStringHandle(g_setup.ddeInstance, g_setup.progmanService);
    DdeFreeStringHandle(g_setup.ddeInstance, g_setup.progmanTopic);
    DdeUninitialize(g_setup.ddeInstance);
    g_setup.ddeInstance = 0;
    g_setup.progmanService = nullptr;
    g_setup.progmanTopic = nullptr;
    g_setup.progmanConversation = nullptr;
}

// ddestart: asks (when installing interactively) whether to register in the
// Start menu, then connects when there is something to do.
int CmdDdeStart(HWND)
{
    if (g_setup.installMode == 1 && !g_setup.silent) {
        INT_PTR answer = DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(StartMenuDialog),
                                         g_setup.mainWindow, StartMenuDlgProc, 0);
        if (answer != IDOK)
            return CancelledByUser();  // the run stops without a message of its own
    }
    if (g_setup.installMode == 0)
        g_setup.addToStartMenu = 1;  // uninstalling always removes the entries
    if (g_setup.addToStartMenu == 1 && !ProgmanConnect()) {
        ReportMessage(g_setup.mainWindow, MB_ICONEXCLAMATION, MB_ICONHAND,
                      g_setup.installMode == 1 ? RegisterFailed : RemoveFailed);
        return 0;
    }
    return 1;
}

// creategroup group
int CmdCreateGroup(HWND progressDialog)
{
    if (g_setup.addToStartMenu == 0)
        return 1;
    const char *group = OrEmpty(NextArg());
    ShowStartMenuLines(progressDialog);
    char command[MessageSize];
    wsprintfA(command, CreateGroupFormat, group);
    if (!ProgmanExecute(command))
        return ReportItemFailure(progressDialog, group);
    g_setup.meterDone += ItemWeight;
    return 1;
}

// addicon program-path group title: the path goes in its short form, so it
// needs no quotes.
int CmdAddIcon(HWND progressDialog)
{
    if (g_setup.addToStartMenu == 0)
        return 1;
    char program[PathSize];
    if (!ExpandArg(program, NextArg()))
        return 0;
    // The short form only when it came whole; otherwise the long one.
    char shortPath[PathSize];
    DWORD n = GetShortPathNameA(program, shortPath, sizeof shortPath);
    if (n > 0 && n < sizeof shortPath) lstrcpyA(program, shortPath);
    const char *group = OrEmpty(NextArg());
    const char *title = OrEmpty(NextArg());
    ShowStartMenuLines(progressDialog);
    char command[MessageSize];
    wsprintfA(command, AddItemFormat, group, program, title);
    if (!ProgmanExecute(command))
        return ReportItemFailure(progressDialog, title);
    g_setup.meterDone += ItemWeight;
    return 1;
}

// deletegroup group: a group that is not there is no error.
int CmdDeleteGroup(HWND progressDialog)
{
    if (g_setup.addToStartMenu == 0)
        return 1;
    const char *group = OrEmpty(NextArg());
    ShowStartMenuLines(progressDialog);
    char command[MessageSize];
    wsprintfA(command, DeleteGroupFormat, group);
    ProgmanExecute(command);
    g_setup.meterDone += ItemWeight;
    return 1;
}

// deleteicon group title: an item that is not there is no error.
int CmdDeleteIcon(HWND progressDialog)
{
    if (g_setup.addToStartMenu == 0)
        return 1;
    const char *group = OrEmpty(NextArg());
    const char *title = OrEmpty(NextArg());
    ShowStartMenuLines(progressDialog);
    char command[MessageSize];
    wsprintfA(command, DeleteItemFormat, group, title);
    ProgmanExecute(command);
    g_setup.meterDone += ItemWeight;
    return 1;
}
