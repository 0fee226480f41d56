// The settings record and its registry layout under HKEY_CURRENT_USER.
// Registry work is silent: a value that cannot be read leaves its field as
// it was, and a failed write is ignored.
#include "klvo.h"
#include <mmsystem.h>
#include "core/core.h"

SettingsRecord Settings = {
    VK_F2,          // ChangeVKey
    0,              // ChangeKeyModifier
    VK_CONVERT,     // OnOffVKey
    0,              // OnOffKeyModifier
    1,              // UseSameImeForAllApps
    0,              // PlaySound
    1,              // StatusBar
    NO_POSITION,    // XPos
    NO_POSITION,    // YPos
    "",             // SoundFile
};

static const char KeyKey[] = "Software\\Mokra\\Kelvo\\Key";
static const char SoundKey[] = "Software\\Mokra\\Kelvo\\Sound";
static const char WindowKey[] = "Software\\Mokra\\Kelvo\\Window";
static const char ImeKey[] = "Software\\Mokra\\Kelvo\\IME";
static const char StatusKey[] = "Software\\Mokra\\Kelvo\\Status";
static const char SoundEventKey[] = "AppEvents\\Schemes\\Apps\\Kelvo\\KelvoIMEChange\\.Current";
static const char KeyClass[] = "Kelvo";
constexpr int EntrySize = 512;   // name and data buffers of an excluded-IME entry

struct DwordValue {
    const char *name;
    DWORD *field;
};

static HKEY OpenForReading(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

static HKEY CreateForWriting(const char *path)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, (LPSTR)KeyClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Only a value of exactly four bytes changes its field: shorter data would
// leave stale bytes in it, longer data does not fit.
static void ReadDwords(const char *path, const DwordValue *values, int count)
{
    HKEY key = OpenForReading(path);
    if (!key) return;
    for (int i = 0; i < count; ++i) {
        BYTE data[sizeof(DWORD)];
        DWORD size = sizeof data;
        DWORD type;
        if (RegQueryValueExA(key, values[i].name, nullptr, &type, data, &size) == ERROR_SUCCESS &&
            size == sizeof data)
            memcpy(values[i].field, data, sizeof data);
    }
    RegCloseKey(key);
}

static void WriteDwords(const char *path, const DwordValue *values, int count)
{
    HKEY key = CreateForWriting(path);
    if (!key) return;
    for (int i = 0; i < count; ++i)
        RegSetValueExA(key, values[i].name, 0, REG_DWORD, (const BYTE *)values[i].field, sizeof(DWORD));
    RegCloseKey(key);
}

static const DwordValue KeyValues[] = {
    {"ChangeVKey", &Settings.ChangeVKey},
    {"ChangeKeyModifier", &Settings.ChangeKeyModifier},
    {"OnOffVKey", &Settings.OnOffVKey},
    {"OnOffKeyModifier", &Settings.OnOffKeyModifier},
    {"UseSameImeForAllApps", &Settings.UseSameImeForAllApps},
};
static const DwordValue SoundValues[] = {
    {"PlaySound", &Settings.PlaySound},
};
static const DwordValue WindowValues[] = {
    {"StatusBar", &Settings.StatusBar},
    {"XPos", (DWORD *)&Settings.XPos},
    {"YPos", (DWORD *)&Settings.YPos},
};

// Every value of the IME key, whatever its name or type, is one excluded
// IME. An entry too long for the buffers is skipped and the walk goes on.
static void LoadExcludedImes()
{
    HKEY key = OpenForReading(ImeKey);
    if (!key) return;
    for (DWORD index = 0;; ++index) {
        char name[EntrySize];
        BYTE data[EntrySize];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type;
        LONG r = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) break;
        data[sizeof data - 1] = 0;
        if (dataSize < sizeof data) data[dataSize] = 0;
        DropBrokenTail((char *)data);       // data cut at 511 bytes keeps whole characters
        AddExcludedIme((const char *)data);
    }
    RegCloseKey(key);
}

static void SaveExcludedImes()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, ImeKey);
    HKEY key = CreateForWriting(ImeKey);
    if (!key) return;
    // Should the key have survived its deletion (it had subkeys), its old
    // values still go.
    for (;;) {
        char valueName[EntrySize];
        DWORD nameSize = sizeof valueName;
        if (RegEnumValueA(key, 0, valueName, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            RegDeleteValueA(key, valueName) != ERROR_SUCCESS)
            break;
    }
    int n = 0;
    for (const char *name = NextExcludedIme(1); name; name = NextExcludedIme(0)) {
        char valueName[16];
        wsprintfA(valueName, "IME%d", n++);
        RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE *)name, lstrlenA(name) + 1);
    }
    RegCloseKey(key);
}

void LoadSettings()
{
    ReadDwords(KeyKey, KeyValues, ARRAYSIZE(KeyValues));
    ReadDwords(SoundKey, SoundValues, ARRAYSIZE(SoundValues));
    ReadDwords(WindowKey, WindowValues, ARRAYSIZE(WindowValues));
    LoadExcludedImes();
}

void SaveSettings()
{
    WriteDwords(KeyKey, KeyValues, ARRAYSIZE(KeyValues));
    WriteDwords(SoundKey, SoundValues, ARRAYSIZE(SoundValues));
    WriteDwords(WindowKey, WindowValues, ARRAYSIZE(WindowValues));
    SaveExcludedImes();
    DWORD type = (DWORD)GetKeyboardType(0), subType = (DWORD)GetKeyboardType(1);
    const DwordValue status[] = {{"KeyboardType", &type}, {"KeyboardSubType", &subType}};
    WriteDwords(StatusKey, status, ARRAYSIZE(status));
}

void LoadSoundFile()
{
    HKEY key = OpenForReading(SoundEventKey);
    if (!key) return;
    char path[MAX_PATH];
    DWORD size = sizeof path, type;
    // Data that fills the buffer without a terminator is a path too long
    // for it; cutting it could split a double-byte character.
    if (RegQueryValueExA(key, "", nullptr, &type, (BYTE *)path, &size) == ERROR_SUCCESS &&
        (size < sizeof path || path[sizeof path - 1] == 0)) {
        if (size < sizeof path) path[size] = 0;
        lstrcpyA(Settings.SoundFile, path);
    }
    RegCloseKey(key);
}

void SaveSoundFile()
{
    HKEY key = CreateForWriting(SoundEventKey);
    if (!key) return;
    RegSetValueExA(key, "", 0, REG_SZ, (const BYTE *)Settings.SoundFile, lstrlenA(Settings.SoundFile) + 1);
    RegCloseKey(key);
}

void PlaySoundFile(const char *path, DWORD flags)
{
    // Found as PlaySoundA finds it: the name as given, else on the search path.
    char found[MAX_PATH];
    char *filePart;
    DWORD n = SearchPathA(nullptr, path, nullptr, sizeof found, found, &filePart);
    if (n == 0 || n >= sizeof found) return;
    HANDLE file = CreateFileA(found, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    CloseHandle(file);
    if (high != 0 || size > MostSoundBytes) return;     // also INVALID_FILE_SIZE
    PlaySoundA(found, nullptr, flags);
}
