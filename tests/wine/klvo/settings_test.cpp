// The settings store against the real (Wine) registry: defaults, the
// layout written, values that must be ignored, the excluded-IME entries,
// the sound path, and the save on WM_ENDSESSION.
#include "checks.h"
#include "klvo.h"
#include "ime.h"

static const char Base[] = "Software\\Mokra\\Kelvo";
static const char KeyKey[] = "Software\\Mokra\\Kelvo\\Key";
static const char WindowKey[] = "Software\\Mokra\\Kelvo\\Window";
static const char ImeKey[] = "Software\\Mokra\\Kelvo\\IME";
static const char SoundEvent[] = "AppEvents\\Schemes\\Apps\\Kelvo\\KelvoIMEChange\\.Current";
static SettingsRecord Defaults;

static void Fresh()
{
    DeleteTree(Base);
    DeleteTree("AppEvents\\Schemes\\Apps\\Kelvo");
    ReleaseImeState();
    Settings = Defaults;
}

static int ExcludedNames(const char **names, int capacity)
{
    int n = 0;
    for (const char *s = NextExcludedIme(1); s && n < capacity; s = NextExcludedIme(0)) names[n++] = s;
    return n;
}

static void KeyClassIs(const char *path, const char *expected)
{
    HKEY key;
    char cls[64] = "";
    DWORD size = sizeof cls;
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS);
    RegQueryInfoKeyA(key, cls, &size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    CHECK_STR(cls, expected);
}

static int ValueCount(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return (int)values;
}

static void FirstRun()
{
    Group("first run: defaults, then the whole layout written");
    Fresh();
    LoadSettings();
    CHECK_EQ(Settings.ChangeVKey, VK_F2);
    CHECK_EQ(Settings.ChangeKeyModifier, 0);
    CHECK_EQ(Settings.OnOffVKey, VK_CONVERT);
    CHECK_EQ(Settings.OnOffKeyModifier, 0);
    CHECK_EQ(Settings.UseSameImeForAllApps, 1);
    CHECK_EQ(Settings.PlaySound, 0);
    CHECK_EQ(Settings.StatusBar, 1);
    CHECK_EQ(Settings.XPos, NO_POSITION);
    CHECK_EQ(Settings.YPos, NO_POSITION);
    CHECK(NextExcludedIme(1) == nullptr);

    SaveSettings();
    DWORD type = 0, size = 0, v = 0;
    CHECK(GetValue(KeyKey, "ChangeVKey", &v, sizeof v, &type, &size));
    CHECK_EQ(type, REG_DWORD);
    CHECK_EQ(size, 4);
    CHECK_EQ(v, 113);
    CHECK_EQ(GetDword(KeyKey, "OnOffVKey"), 28);
    CHECK_EQ(GetDword(KeyKey, "UseSameImeForAllApps"), 1);
    CHECK_EQ(GetDword("Software\\Mokra\\Kelvo\\Sound", "PlaySound"), 0);
    CHECK_EQ(GetDword(WindowKey, "StatusBar"), 1);
    CHECK_EQ(GetDword(WindowKey, "XPos"), 32000);
    CHECK_EQ(GetDword("Software\\Mokra\\Kelvo\\Status", "KeyboardType"), (DWORD)GetKeyboardType(0));
    CHECK_EQ(GetDword("Software\\Mokra\\Kelvo\\Status", "KeyboardSubType"), (DWORD)GetKeyboardType(1));
    CHECK_EQ(ValueCount(ImeKey), 0);
    CHECK_EQ(ValueCount(KeyKey), 5);
    static const char *const Keys[] = {KeyKey, "Software\\Mokra\\Kelvo\\Sound", WindowKey, ImeKey,
                                       "Software\\Mokra\\Kelvo\\Status"};
    for (const char *k : Keys) KeyClassIs(k, "Kelvo");
}

static void PartialAndOddValues()
{
    Group("position axes on their own; DWORDs of the wrong size ignored");
    Fresh();
    PutDword(WindowKey, "XPos", 120);
    PutDword(KeyKey, "ChangeKeyModifier", MOD_SHIFT | MOD_CONTROL);
    PutText(KeyKey, "ChangeVKey", "12345");                 // 6 bytes of text
    BYTE two[2] = {0x41, 0x00};
    PutValue(KeyKey, "OnOffVKey", REG_BINARY, two, sizeof two);
    BYTE eight[8] = {0x70, 0, 0, 0, 0, 0, 0, 0};
    PutValue(KeyKey, "OnOffKeyModifier", REG_QWORD, eight, sizeof eight);
    PutDword(KeyKey, "UseSameImeForAllApps", 0);
    BYTE four[4] = {1, 0, 0, 0};
    PutValue(WindowKey, "StatusBar", REG_BINARY, four, sizeof four);
    PutDword(WindowKey, "StatusBar", 0);
    LoadSettings();
    CHECK_EQ(Settings.XPos, 120);
    CHECK_EQ(Settings.YPos, NO_POSITION);
    CHECK_EQ(Settings.ChangeKeyModifier, MOD_SHIFT | MOD_CONTROL);
    CHECK_EQ(Settings.ChangeVKey, VK_F2);
    CHECK_EQ(Settings.OnOffVKey, VK_CONVERT);
    CHECK_EQ(Settings.OnOffKeyModifier, 0);
    CHECK_EQ(Settings.UseSameImeForAllApps, 0);
    CHECK_EQ(Settings.StatusBar, 0);

    Group("four bytes of another type are taken as they are");
    Fresh();
    BYTE f3[4] = {0x72, 0, 0, 0};
    PutValue(KeyKey, "ChangeVKey", REG_BINARY, f3, sizeof f3);
    LoadSettings();
    CHECK_EQ(Settings.ChangeVKey, VK_F3);

    Group("a negative position survives the round trip");
    Fresh();
    Settings.XPos = -4;
    Settings.YPos = 600;
    SaveSettings();
    Settings = Defaults;
    LoadSettings();
    CHECK_EQ(Settings.XPos, -4);
    CHECK_EQ(Settings.YPos, 600);
}

static void ExcludedEntries()
{
    Group("IME values of any name load in enumeration order and save as IME0...");
    Fresh();
    PutText(ImeKey, "zeta", "Z.IME");
    PutText(ImeKey, "alpha", "A.IME");
    PutText(ImeKey, "IME7", "A.IME");
    LoadSettings();
    const char *names[60];
    int n = ExcludedNames(names, 60);
    CHECK_EQ(n, 3);
    // Whatever order the registry enumerates in, the save keeps it.
    char expected[3][16];
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, ImeKey, 0, KEY_READ, &key);
    for (DWORD i = 0; i < 3; ++i) {
        char name[32];
        DWORD ns = sizeof name, ds = sizeof expected[i];
        RegEnumValueA(key, i, name, &ns, nullptr, nullptr, (BYTE *)expected[i], &ds);
        if (i < (DWORD)n) CHECK_STR(names[i], expected[i]);
    }
    RegCloseKey(key);
    SaveSettings();
    CHECK_EQ(ValueCount(ImeKey), 3);
    char data[32];
    for (int i = 0; i < 3; ++i) {
        char name[8];
        wsprintfA(name, "IME%d", i);
        DWORD type = 0;
        data[0] = 0;
        CHECK(GetValue(ImeKey, name, data, sizeof data, &type));
        CHECK_EQ(type, REG_SZ);
        CHECK_STR(data, expected[i]);
    }

    Group("more than 50 entries: the first 50 are kept");
    Fresh();
    for (int i = 0; i < 55; ++i) {
        char name[16], value[16];
        wsprintfA(name, "E%02d", i);
        wsprintfA(value, "N%02d.IME", i);
        PutText(ImeKey, name, value);
    }
    LoadSettings();
    CHECK_EQ(ExcludedNames(names, 60), 50);
    CHECK_EQ(AddExcludedIme("MORE.IME"), 0);
    SaveSettings();
    CHECK_EQ(ValueCount(ImeKey), 50);
    CHECK(GetValue(ImeKey, "IME49", data, sizeof data));
    CHECK(!GetValue(ImeKey, "IME50", data, sizeof data));
    CHECK(!GetValue(ImeKey, "E00", data, sizeof data));

    Group("an oversized entry is skipped and the rest still load");
    Fresh();
    char big[700];
    for (int i = 0; i < 699; ++i) big[i] = 'x';
    big[699] = 0;
    PutText(ImeKey, "a", "FIRST.IME");
    PutText(ImeKey, "b", big);                            // data longer than 512 bytes
    PutText(ImeKey, big + 100, "LONGNAME.IME");           // name longer than 512 bytes
    PutText(ImeKey, "c", "LAST.IME");
    LoadSettings();
    n = ExcludedNames(names, 60);
    CHECK_EQ(n, 2);
    int sawFirst = 0, sawLast = 0;
    for (int i = 0; i < n; ++i) {
        sawFirst |= lstrcmpA(names[i], "FIRST.IME") == 0;
        sawLast |= lstrcmpA(names[i], "LAST.IME") == 0;
    }
    CHECK(sawFirst && sawLast);

    Group("an entry of 512 bytes with no terminator keeps whole characters");
    Fresh();
    char full[512];
    for (int i = 0; i < 510; ++i) full[i] = 'n';
    full[510] = (char)0x82;
    full[511] = (char)0xA0;
    PutValue(ImeKey, "a", REG_BINARY, full, sizeof full);
    LoadSettings();
    CHECK_EQ(ExcludedNames(names, 60), 1);
    CHECK_EQ(lstrlenA(names[0]), 510);

    Group("gaps and duplicates: names stay consecutive");
    Fresh();
    AddExcludedIme("A.IME");
    AddExcludedIme("B.IME");
    AddExcludedIme("A.IME");
    SaveSettings();
    CHECK_EQ(ValueCount(ImeKey), 3);
    CHECK(GetValue(ImeKey, "IME2", data, sizeof data));
    CHECK_STR(data, "A.IME");
}

static void SoundPath()
{
    Group("sound path: kept when missing, loaded, saved with class Kelvo");
    Fresh();
    lstrcpyA(Settings.SoundFile, "C:\\keep.wav");
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\keep.wav");
    SaveSoundFile();
    char data[MAX_PATH] = "";
    DWORD type = 0;
    CHECK(GetValue(SoundEvent, "", data, sizeof data, &type));
    CHECK_EQ(type, REG_SZ);
    CHECK_STR(data, "C:\\keep.wav");
    KeyClassIs(SoundEvent, "Kelvo");
    PutText(SoundEvent, "", "C:\\Windows\\Media\\chimes.wav");
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\Windows\\Media\\chimes.wav");

    char longPath[400];
    for (int i = 0; i < 399; ++i) longPath[i] = 'p';
    longPath[399] = 0;
    PutText(SoundEvent, "", longPath);
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\Windows\\Media\\chimes.wav");

    // 260 bytes with no terminator ending in a double-byte character: the
    // path does not fit with its NUL, and cutting it would leave half a character.
    char full[MAX_PATH];
    for (int i = 0; i < MAX_PATH - 2; ++i) full[i] = 'q';
    full[MAX_PATH - 2] = (char)0x82;
    full[MAX_PATH - 1] = (char)0xA0;
    PutValue(SoundEvent, "", REG_BINARY, full, sizeof full);
    LoadSoundFile();
    CHECK_STR(Settings.SoundFile, "C:\\Windows\\Media\\chimes.wav");
}

static void EndSession()
{
    Group("WM_ENDSESSION saves, whatever wParam says");
    Fresh();
    LoadSettings();
    ImeMessageBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(IMESTRUCT));
    g_instance = GetModuleHandleA(nullptr);
    CHECK(RegisterKelvoClasses(g_instance));
    HWND main = CreateWindowExA(WS_EX_DLGMODALFRAME, "KelvoClass", "Kelvo", WS_CAPTION | WS_SYSMENU, 10, 10,
                                460, 260, nullptr, nullptr, g_instance, nullptr);
    CHECK(main != nullptr);
    Settings.ChangeVKey = VK_F4;
    SendMessageA(main, WM_ENDSESSION, FALSE, 0);
    CHECK_EQ(GetDword(KeyKey, "ChangeVKey"), VK_F4);
    Settings.ChangeVKey = VK_F5;
    SendMessageA(main, WM_ENDSESSION, TRUE, 0);
    CHECK_EQ(GetDword(KeyKey, "ChangeVKey"), VK_F5);
    DestroyWindow(main);
}

int main()
{
    Defaults = Settings;
    FirstRun();
    PartialAndOddValues();
    ExcludedEntries();
    SoundPath();
    EndSession();
    return Finish();
}
