// The settings store against the real (Wine) registry: defaults, the
// layout written, values that must be ignored, the excluded-IME entries,
// the sound path, and the save on WM_ENDSESSION.
#include "checks.h"
#include "klvo.h"
#include "ime.h"

static SettingsRecord Defaults;

static void Fresh() { FreshSettings(Defaults); }

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
    Group("a position axis stored on its own");
    Fresh();
    PutDword(WindowKey, "XPos", 120);
    LoadSettings();
    CHECK_EQ(Settings.XPos, 120);
    CHECK_EQ(Settings.YPos, NO_POSITION);

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
