// The Start-menu commands against the shell's Program Manager service:
// what the groups and items leave under the Start menu's Programs folder.
#include "wincheck.h"

#include <shlobj.h>
#include <string.h>

namespace {

char g_programs[MAX_PATH];  // the Start menu's Programs folder

void InGroup(char *out, const char *group, const char *name)
{
    if (name)
        wsprintfA(out, "%s\\%s\\%s", g_programs, group, name);
    else
        wsprintfA(out, "%s\\%s", g_programs, group);
}

bool GroupExists(const char *group)
{
    char path[MAX_PATH];
    InGroup(path, group, nullptr);
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ItemExists(const char *group, const char *title)
{
    char name[MAX_PATH], path[MAX_PATH];
    wsprintfA(name, "%s.lnk", title);
    InGroup(path, group, name);
    return Exists(path);
}

// True when the shortcut file holds text (the shell records the target
// exactly as AddItem named it).
bool ItemMentions(const char *group, const char *title, const char *text)
{
    char name[MAX_PATH], path[MAX_PATH];
    wsprintfA(name, "%s.lnk", title);
    InGroup(path, group, name);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    static char data[16384];
    DWORD size = 0;
    ReadFile(file, data, sizeof data, &size, nullptr);
    CloseHandle(file);
    int length = lstrlenA(text);
    for (DWORD i = 0; i + length <= size; ++i) {
        if (memcmp(data + i, text, length) == 0)
            return true;
    }
    return false;
}

// The state of an uninstall run, which always touches the Start menu.
void UninstallState()
{
    ResetState(g_scratch);
    g_setup.installMode = 0;
}

void TestRoundTrip()
{
    Group("ddestart connects; groups and items appear and go again");
    UninstallState();
    CHECK(RunLine(CmdDdeStart, "ddestart") == 1);
    CHECK(g_setup.addToStartMenu == 1);
    CHECK(g_setup.ddeInstance != 0);
    CHECK(g_setup.progmanConversation != nullptr);
    HCONV conversation = g_setup.progmanConversation;
    CHECK(RunLine(CmdDdeStart, "ddestart") == 1);  // the open conversation stays
    CHECK(g_setup.progmanConversation == conversation);
    CHECK(g_setup.meterDone == 0);

    CHECK(RunLine(CmdCreateGroup, "creategroup \"ｽﾀｰﾄｱｯﾌﾟ\"") == 1);
    CHECK(GroupExists("ｽﾀｰﾄｱｯﾌﾟ"));
    CHECK(g_setup.meterDone == 1024);

    // The program lies in a folder with blanks: AddItem gets its short path.
    char folder[MAX_PATH], program[MAX_PATH], self[MAX_PATH];
    wsprintfA(folder, "%s\\Mokra Kelvo", g_scratch);
    CreateDirectoryA(folder, nullptr);
    wsprintfA(program, "%s\\Klvo.exe", folder);
    GetModuleFileNameA(nullptr, self, sizeof self);
    CHECK(CopyFileA(self, program, FALSE));
    CHECK(RunLine(CmdAddIcon, "addicon \"%DEFDIR%Mokra Kelvo\\Klvo.exe\" \"ｽﾀｰﾄｱｯﾌﾟ\" \"Kelvo\"") == 1);
    CHECK(ItemExists("ｽﾀｰﾄｱｯﾌﾟ", "Kelvo"));
    char shortPath[MAX_PATH];
    CHECK(GetShortPathNameA(program, shortPath, sizeof shortPath) > 0);
    CHECK(lstrcmpA(shortPath, program) != 0);
    CHECK(ItemMentions("ｽﾀｰﾄｱｯﾌﾟ", "Kelvo", shortPath));
    CHECK(g_setup.meterDone == 2 * 1024);

    CHECK(RunLine(CmdDeleteIcon, "deleteicon \"ｽﾀｰﾄｱｯﾌﾟ\" \"Kelvo\"") == 1);
    CHECK(!ItemExists("ｽﾀｰﾄｱｯﾌﾟ", "Kelvo"));
    // An item that is not there is no error.
    CHECK(RunLine(CmdDeleteIcon, "deleteicon \"ｽﾀｰﾄｱｯﾌﾟ\" \"Kelvo\"") == 1);
    CHECK(g_setup.meterDone == 4 * 1024);

    CHECK(RunLine(CmdDeleteGroup, "deletegroup \"ｽﾀｰﾄｱｯﾌﾟ\"") == 1);
    CHECK(!GroupExists("ｽﾀｰﾄｱｯﾌﾟ"));
    CHECK(RunLine(CmdDeleteGroup, "deletegroup \"ｽﾀｰﾄｱｯﾌﾟ\"") == 1);
    CHECK(g_setup.meterDone == 6 * 1024);

    Group("group names with blanks and double-byte characters");
    CHECK(RunLine(CmdCreateGroup, "creategroup \"Mokra 表示ツール\"") == 1);
    CHECK(GroupExists("Mokra 表示ツール"));
    CHECK(RunLine(CmdAddIcon, "addicon \"%DEFDIR%Mokra Kelvo\\Klvo.exe\" \"Mokra 表示ツール\" \"Kelvo 2.00 ヘルプ\"") == 1);
    CHECK(ItemExists("Mokra 表示ツール", "Kelvo 2.00 ヘルプ"));
    CHECK(RunLine(CmdDeleteGroup, "deletegroup \"Mokra 表示ツール\"") == 1);
    CHECK(!GroupExists("Mokra 表示ツール"));

    Group("the progress dialog shows the Start-menu line");
    HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                  g_setup.instance, nullptr);
    for (int id = 1025; id <= 1027; ++id)
        CreateWindowExA(0, "STATIC", "old", WS_CHILD, 0, 0, 300, 20, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_setup.instance, nullptr);
    CHECK(RunLine(CmdDeleteIcon, "deleteicon \"ｽﾀｰﾄｱｯﾌﾟ\" \"Kelvo\"", dialog) == 1);
    char text[256];
    GetDlgItemTextA(dialog, 1025, text, sizeof text);
    CHECK_STR(text, "[ｽﾀｰﾄ] ﾒﾆｭｰの更新中です...");
    GetDlgItemTextA(dialog, 1026, text, sizeof text);
    CHECK_STR(text, "");
    DestroyWindow(dialog);

    ProgmanDisconnect();
    CHECK(g_setup.ddeInstance == 0);
    CHECK(g_setup.progmanConversation == nullptr);
    ProgmanDisconnect();  // nothing left to close
}

void TestNotRegistering()
{
    Group("with registering declined the item commands do nothing and weigh nothing");
    ResetState(g_scratch);  // a silent install: no dialog, addToStartMenu stays 0
    CHECK(RunLine(CmdDdeStart, "ddestart") == 1);
    CHECK(g_setup.addToStartMenu == 0);
    CHECK(g_setup.ddeInstance == 0);  // no conversation was needed
    CHECK(RunLine(CmdCreateGroup, "creategroup \"Declined\"") == 1);
    CHECK(RunLine(CmdAddIcon, "addicon \"%DEFDIR%Mokra Kelvo\\Klvo.exe\" \"Declined\" \"Kelvo\"") == 1);
    CHECK(RunLine(CmdDeleteIcon, "deleteicon \"Declined\" \"Kelvo\"") == 1);
    CHECK(RunLine(CmdDeleteGroup, "deletegroup \"Declined\"") == 1);
    CHECK(g_setup.meterDone == 0);
    CHECK(!GroupExists("Declined"));
}

void TestWithoutConversation()
{
    Group("without a conversation CreateGroup and AddItem stop the run, the deletions go on");
    ResetState(g_scratch);
    g_setup.addToStartMenu = 1;  // as the dialog leaves it, but no ddestart ran
    CHECK(RunLine(CmdCreateGroup, "creategroup \"Lost\"") == 0);
    CHECK(RunLine(CmdAddIcon, "addicon \"%DEFDIR%Mokra Kelvo\\Klvo.exe\" \"Lost\" \"Kelvo\"") == 0);
    CHECK(g_setup.meterDone == 0);
    CHECK(RunLine(CmdDeleteIcon, "deleteicon \"Lost\" \"Kelvo\"") == 1);
    CHECK(RunLine(CmdDeleteGroup, "deletegroup \"Lost\"") == 1);
    CHECK(g_setup.meterDone == 2 * 1024);
    CHECK(!GroupExists("Lost"));
}

// Waits until the desktop process answers as Program Manager.
bool WaitForShell()
{
    for (int i = 0; i < 100; ++i) {
        ResetState(g_scratch);
        if (ProgmanConnect()) {
            ProgmanDisconnect();
            return true;
        }
        ProgmanDisconnect();
        Sleep(100);
    }
    return false;
}

}  // namespace

int main()
{
    MakeScratchFolder(g_scratch, "orvalt-progman");
    CHECK(SHGetSpecialFolderPathA(nullptr, g_programs, CSIDL_PROGRAMS, TRUE));
    printf("Programs folder: %s\n", g_programs);
    TestWithoutConversation();
    TestNotRegistering();
    Group("the shell answers as Program Manager");
    CHECK(WaitForShell());
    TestRoundTrip();
    return Finish();
}
