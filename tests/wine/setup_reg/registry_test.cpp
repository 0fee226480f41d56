// regcreatekey, regdeletekey and regsetvalue against the real registry.
#include "wincheck.h"

namespace {

bool KeyExists(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The value's type and bytes; false when it cannot be read.
bool ReadValue(HKEY root, const char *path, const char *name, DWORD *type, BYTE *data, DWORD *size)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryValueExA(key, name, nullptr, type, data, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int ValueCount(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
}

void CheckString(HKEY root, const char *path, const char *name, const char *expected)
{
    DWORD type = 0;
    char data[600] = {};
    DWORD size = sizeof data;
    CHECK(ReadValue(root, path, name, &type, reinterpret_cast<BYTE *>(data), &size));
    CHECK(type == REG_SZ);
    CHECK_STR(data, expected);
    CHECK(size == static_cast<DWORD>(lstrlenA(expected) + 1));  // stored with its NUL
}

DWORD ReadDword(HKEY root, const char *path, const char *name)
{
    DWORD type = 0, value = 0xDEADBEEF, size = sizeof value;
    CHECK(ReadValue(root, path, name, &type, reinterpret_cast<BYTE *>(&value), &size));
    CHECK(type == REG_DWORD);
    CHECK(size == 4);
    return value;
}

void CreateTestKey(HKEY root, const char *path)
{
    HKEY key;
    RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
    RegCloseKey(key);
}

void TestCreateKey()
{
    Group("regcreatekey creates missing parents, with the class Orvalt, and opens existing keys");
    ResetState("C:\\Dest");
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 1 \"Software\\OrvaltTest\\A\\B C\\2.00\"") == 1);
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\A\\B C\\2.00"));
    CHECK(g_setup.meterDone == 1024);

    HKEY key;
    char keyClass[64] = {};
    DWORD classSize = sizeof keyClass;
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\OrvaltTest\\A\\B C\\2.00", 0, KEY_READ, &key) == ERROR_SUCCESS);
    RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    CHECK_STR(keyClass, "Orvalt");

    // An existing key keeps its values.
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Existing");
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 1 Software\\OrvaltTest\\Existing") == 1);
    CheckString(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Existing", "v", "x");

    // HKEY_LOCAL_MACHINE through root number 2, as the shipped script uses it.
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 2 \"SOFTWARE\\OrvaltTest\\2.00\"") == 1);
    CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\2.00"));
    CHECK(g_setup.meterDone == 3 * 1024);
}

void TestSetValue()
{
    Group("regsetvalue: text with macros, default value, numbers, other types");
    ResetState("C:\\Program Files\\Mokra\\Kelvo");
    const char *key = "Software\\OrvaltTest\\Values\\App Paths\\Klvo.exe";

    // The key does not exist yet: regsetvalue creates it.
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 \"Software\\OrvaltTest\\Values\\App Paths\\Klvo.exe\" \"Path\" 1 \"%DEFDIR%\"") == 1);
    CheckString(HKEY_CURRENT_USER, key, "Path", "C:\\Program Files\\Mokra\\Kelvo");
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 \"Software\\OrvaltTest\\Values\\App Paths\\Klvo.exe\" \"\" 1 \"%defdir%Klvo.exe\"") == 1);
    CheckString(HKEY_CURRENT_USER, key, nullptr, "C:\\Program Files\\Mokra\\Kelvo\\Klvo.exe");
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values Uninst 1 \"%DEFDIR%System\\Rouninst.exe -u\"") == 1);
    CheckString(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Uninst", "C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe -u");

    // Double-byte text passes through unchanged, 100% stays as written.
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values Label 1 \"日本語入力ｼｽﾃﾑの切り替え 100%\"") == 1);
    CheckString(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Label", "日本語入力ｼｽﾃﾑの切り替え 100%");
    // The data of a text value may be longer than a path (up to 519 bytes).
    char longLine[sc::kPathSize];
    char expected[sc::kDataSize];
    lstrcpyA(longLine, "regsetvalue 1 Software\\OrvaltTest\\Values Long 1 \"");
    expected[0] = '\0';
    for (int i = 0; i < 12; ++i) {
        lstrcatA(longLine, "%DEFDIR%");
        if (i) lstrcatA(expected, "\\");
        lstrcatA(expected, g_setup.destDir);
    }
    lstrcatA(longLine, "\"");
    CHECK(lstrlenA(expected) > 300);
    CHECK(RunLine(CmdRegSetValue, longLine) == 1);
    CheckString(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Long", expected);
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values Number 0 1234") == 1);
    CHECK(ReadDword(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Number") == 1234);
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values Number 0 \" -7x\"") == 1);
    CHECK(ReadDword(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Number") == 0xFFFFFFF9u);
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values NoDigits 0 abc") == 1);
    CHECK(ReadDword(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "NoDigits") == 0);
    // Type 0 data is a number, not a macro text.
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\Values Macro 0 %DEFDIR%") == 1);
    CHECK(ReadDword(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Values", "Macro") == 0);

    // Another type: the key is created, nothing is written, the weight counts.
    unsigned long long before = g_setup.meterDone;
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1 Software\\OrvaltTest\\OtherType Name 2 data") == 1);
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\OtherType"));
    CHECK(ValueCount(HKEY_CURRENT_USER, "Software\\OrvaltTest\\OtherType") == 0);
    CHECK(g_setup.meterDone == before + 1024);
}

void TestDeleteKey()
{
    Group("regdeletekey removes the whole subtree and goes on when there is nothing");
    ResetState("C:\\Dest");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Kelvo\\Key");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Kelvo\\Sound");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Kelvo\\IME\\Deep\\Deeper");
    // Double-byte names whose trail byte is a backslash (表 is 95 5C).
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Kelvo\\表示\\ｽﾀｰﾄｱｯﾌﾟ");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Sibling");
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltTest\\Tree\\Kelvo\"") == 1);
    CHECK(!KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Kelvo"));
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree\\Sibling"));
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Tree"));
    CHECK(g_setup.meterDone == 1024);

    // A key without subkeys, in HKEY_LOCAL_MACHINE.
    CreateTestKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\Leaf");
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 2 SOFTWARE\\OrvaltTest\\Leaf") == 1);
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\Leaf"));

    // Nothing there: silently on.
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltTest\\Never there\"") == 1);
    CHECK(g_setup.meterDone == 3 * 1024);
}

void TestUnknownRoot()
{
    Group("a root number outside 0..3 or a missing subkey touches nothing and goes on");
    ResetState("C:\\Dest");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Kept");
    // HKEY_CURRENT_CONFIG and HKEY_DYN_DATA have no number here.
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 4 \"Software\\OrvaltTest\\Kept\"") == 1);
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey -1 \"Software\\OrvaltTest\\Kept\"") == 1);
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey x \"Software\\OrvaltTest\\Kept\"") == 1);  // reads as 0
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Kept"));
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 7 \"Software\\OrvaltTest\\Root7\"") == 1);
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 9 \"Software\\OrvaltTest\\Root9\" v 1 x") == 1);
    CHECK(!KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Root7"));
    CHECK(!KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltTest\\Root9"));
    CHECK(g_setup.meterDone == 5 * 1024);

    // A missing key name (regdeletekey's names that reach a root: setup_hostile).
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 1") == 1);
    CHECK(RunLine(CmdRegSetValue, "regsetvalue 1") == 1);
    CHECK(g_setup.meterDone == 7 * 1024);

    CHECK(RootKeyOf(0) == HKEY_CLASSES_ROOT);
    CHECK(RootKeyOf(1) == HKEY_CURRENT_USER);
    CHECK(RootKeyOf(2) == HKEY_LOCAL_MACHINE);
    CHECK(RootKeyOf(3) == HKEY_USERS);
    CHECK(RootKeyOf(4) == nullptr);
}

// The registry lines of the shipped script, install then uninstall: the
// machine is left as it was.
void TestShippedLinesRoundTrip()
{
    Group("the shipped registry lines: install writes, uninstall leaves nothing");
    ResetState("C:\\Program Files\\Mokra\\Kelvo");
    static const char *const install[] = {
        "regdeletekey 2 \"SOFTWARE\\Mokra\\Kelvo\"",
        "regcreatekey 2 \"SOFTWARE\\Mokra\\Kelvo\\2.00\"",
        "regcreatekey 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe\"",
        "regsetvalue 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe\" \"Path\" 1 \"%DEFDIR%\"",
        "regsetvalue 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe\" \"\" 1 \"%DEFDIR%Klvo.exe\"",
        "regcreatekey 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo\"",
        "regsetvalue 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo\" \"DisplayName\" 1 \"Kelvo 2.00\"",
        "regsetvalue 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo\" \"UninstallString\" 1 \"%DEFDIR%System\\Rouninst.exe -u\"",
        "regcreatekey 1 \"AppEvents\\EventLabels\\KelvoIMEChange\"",
        "regsetvalue 1 \"AppEvents\\EventLabels\\KelvoIMEChange\" \"\" 1 \"日本語入力ｼｽﾃﾑの切り替え\"",
        "regcreatekey 1 \"AppEvents\\Schemes\\Apps\\Kelvo\\KelvoIMEChange\\.Current\"",
        "regsetvalue 1 \"AppEvents\\Schemes\\Apps\\Kelvo\" \"\" 1 \"Kelvo 2.00\"",
    };
    for (const char *line : install) {
        PrimeLine(line);
        CommandHandler handler = line[3] == 'd' ? CmdRegDeleteKey : line[3] == 'c' ? CmdRegCreateKey : CmdRegSetValue;
        CHECK(handler(nullptr) == 1);
    }
    CHECK(g_setup.meterDone == 12 * 1024);
    CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mokra\\Kelvo\\2.00"));
    CheckString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe", "Path",
                "C:\\Program Files\\Mokra\\Kelvo");
    CheckString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe", "",
                "C:\\Program Files\\Mokra\\Kelvo\\Klvo.exe");
    CheckString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo", "UninstallString",
                "C:\\Program Files\\Mokra\\Kelvo\\System\\Rouninst.exe -u");
    CheckString(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\KelvoIMEChange", "", "日本語入力ｼｽﾃﾑの切り替え");
    CHECK(KeyExists(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kelvo\\KelvoIMEChange\\.Current"));
    // The switcher's own settings, written while it ran.
    CreateTestKey(HKEY_CURRENT_USER, "Software\\Mokra\\Kelvo\\Key");
    CreateTestKey(HKEY_CURRENT_USER, "Software\\Mokra\\Kelvo\\IME");

    static const char *const uninstall[] = {
        "regdeletekey 1 \"Software\\Mokra\\Kelvo\"",
        "regdeletekey 2 \"SOFTWARE\\Mokra\\Kelvo\"",
        "regdeletekey 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe\"",
        "regdeletekey 2 \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo\"",
        "regdeletekey 1 \"AppEvents\\EventLabels\\KelvoIMEChange\"",
        "regdeletekey 1 \"AppEvents\\Schemes\\Apps\\Kelvo\"",
    };
    for (const char *line : uninstall)
        CHECK(RunLine(CmdRegDeleteKey, line) == 1);
    CHECK(!KeyExists(HKEY_CURRENT_USER, "Software\\Mokra\\Kelvo"));
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mokra\\Kelvo"));
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klvo.exe"));
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo"));
    CHECK(!KeyExists(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\KelvoIMEChange"));
    CHECK(!KeyExists(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kelvo"));
    // Nor is the maker's key left empty; the parents the platform owns
    // are still there.
    CHECK(!KeyExists(HKEY_CURRENT_USER, "Software\\Mokra"));
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mokra"));
    CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    CHECK(KeyExists(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps"));
}

void TestMakerKey()
{
    Group("the maker's key goes with its last product, and only then");
    ResetState("C:\\Dest");
    CreateTestKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltMaker\\One\\1.00");
    CreateTestKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltMaker\\Two");
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 2 \"software\\OrvaltMaker\\One\"") == 1);
    CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltMaker\\Two"));
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 2 \"SOFTWARE\\OrvaltMaker\\Two\"") == 1);
    CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltMaker"));
    CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));

    // A maker's key that holds a value of its own stays.
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltMaker\\Three");
    HKEY maker;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\OrvaltMaker", 0, KEY_ALL_ACCESS, &maker);
    RegSetValueExA(maker, "Owner", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
    RegCloseKey(maker);
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltMaker\\Three\"") == 1);
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software\\OrvaltMaker"));
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltMaker\"") == 1);

    // Keys outside Software\<maker>\<product> leave their parents alone,
    // even when these are left empty.
    CreateTestKey(HKEY_CURRENT_USER, "OrvaltTop\\Maker\\Product");
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"OrvaltTop\\Maker\\Product\"") == 1);
    CHECK(KeyExists(HKEY_CURRENT_USER, "OrvaltTop\\Maker"));
    CreateTestKey(HKEY_CURRENT_USER, "Software\\OrvaltSolo");
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"Software\\OrvaltSolo\"") == 1);
    CHECK(KeyExists(HKEY_CURRENT_USER, "Software"));
    CHECK(RunLine(CmdRegDeleteKey, "regdeletekey 1 \"OrvaltTop\"") == 1);
}

// The three lines of the progress dialog while a registry command runs.
void TestProgressLines()
{
    Group("the progress dialog shows the registry line and two empty lines");
    ResetState("C:\\Dest");
    HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                  g_setup.instance, nullptr);
    for (int id = 1025; id <= 1027; ++id)
        CreateWindowExA(0, "STATIC", "old", WS_CHILD, 0, (id - 1025) * 20, 300, 20, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_setup.instance, nullptr);
    char text[256];
    CHECK(RunLine(CmdRegCreateKey, "regcreatekey 1 Software\\OrvaltTest\\Lines", dialog) == 1);
    GetDlgItemTextA(dialog, 1025, text, sizeof text);
    CHECK_STR(text, "レジストリの更新中です...");
    GetDlgItemTextA(dialog, 1026, text, sizeof text);
    CHECK_STR(text, "");
    GetDlgItemTextA(dialog, 1027, text, sizeof text);
    CHECK_STR(text, "");
    DestroyWindow(dialog);
}

}  // namespace

int main()
{
    TestCreateKey();
    TestSetValue();
    TestDeleteKey();
    TestUnknownRoot();
    TestShippedLinesRoundTrip();
    TestMakerKey();
    TestProgressLines();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvaltTest\\2.00");
    return Finish();
}
