// Registry commands: regcreatekey, regdeletekey, regsetvalue.
// None of them stops the script: a registry call that fails leaves the
// registry as it was and the run goes on. Each adds 1024 to the meter.
#include "setup.h"
#include "setup_core.h"

namespace {

constexpr unsigned long long RegistryWeight = 1024;
constexpr char RegistryAction[] = "レジストリの更新中です...";

// Value types of regsetvalue.
constexpr int TypeNumber = 0;  // REG_DWORD from a decimal number
constexpr int TypeText = 1;    // REG_SZ from a text with macros

// Longest key name an enumeration returns: 255 characters, each of which may
// take two bytes in code page 932.
constexpr DWORD KeyNameSize = 512;

void ShowRegistryLines(HWND progressDialog)
{
    if (progressDialog)
        SetProgressLines(progressDialog, RegistryAction, "", "");
}

// Creates the key (and any missing parent) or opens the existing one.
// nullptr when it can be neither.
HKEY CreateOrOpenKey(HKEY root, const char *subkey)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(root, subkey, 0, const_cast<char *>(sc::kOrvaltName),
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, &disposition);
    return result == ERROR_SUCCESS ? key : nullptr;
}

// Deletes parent\name with all its values and subkeys, deepest keys first.
// The platform refuses to delete a key that still has subkeys, so the
// subkeys go one by one before the key itself. Returns the result of the
// final RegDeleteKeyA.
LONG DeleteKeyTree(HKEY parent, const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char child[KeyNameSize];
        for (;;) {
            DWORD size = sizeof child;
            FILETIME written;
            // Always index 0: each deleted child shifts the rest down.
            if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
                break;
            if (DeleteKeyTree(key, child) != ERROR_SUCCESS)
                break;  // a child that stays would be enumerated for ever
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyA(parent, name);
}

// A product's key is Software\<maker>\<product>: once a deletion below it
// leaves the maker's key with no subkey and no value, that key goes too,
// so that an uninstallation leaves nothing of the maker behind. Any other
// key is left as it is.
void PruneMakerKey(HKEY root, const char *subkey)
{
    // "Software\" in any case, then the maker's name up to a backslash
    // that has more after it.
    const char *p = subkey + 9;
    for (int i = 0; i < 8; ++i) {
        if ((subkey[i] | 0x20) != "software"[i]) return;
    }
    if (subkey[8] != '\\') return;
    while (*p != '\0' && *p != '\\') p = CharNextA(p);
    int length = static_cast<int>(p - subkey);
    if (*p != '\\' || p[1] == '\0' || length == 9) return;
    // The subkey is a token of a script line, which is shorter than a path.
    static_assert(PathSize <= KeyNameSize, "a maker's key name from a script line fits");
    char maker[KeyNameSize];
    lstrcpynA(maker, subkey, length + 1);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, maker, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyA(root, maker);
}

}  // namespace

HKEY RootKeyOf(int number)
{
    switch (number) {
    case 0: return HKEY_CLASSES_ROOT;
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_LOCAL_MACHINE;
    case 3: return HKEY_USERS;
    default: return nullptr;
    }
}

RegistryText ReadRegistryText(HKEY key, const char *valueName, char *out)
{
    out[0] = '\0';
    // One byte more than the data may take, for data stored without its NUL.
    char data[PathSize + 1];
    DWORD size = PathSize;
    DWORD type;
    LONG result = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
    if (result == ERROR_MORE_DATA) return RegistryTextTooLong;
    if (result != ERROR_SUCCESS) return RegistryTextMissing;
    data[size < PathSize ? size : PathSize] = '\0';
    // 260 bytes without a NUL among them are a text one byte too long: a cut
    // would name a different folder.
    if (!sc::CopyText(out, PathSize, data)) {
        out[0] = '\0';
        return RegistryTextTooLong;
    }
    return RegistryTextWhole;
}

// regcreatekey root subkey
int CmdRegCreateKey(HWND progressDialog)
{
    HKEY root = RootKeyOf(sc::ReadNumber(NextArg()));
    const char *subkey = NextArg();
    ShowRegistryLines(progressDialog);
    if (root && subkey) {
        HKEY key = CreateOrOpenKey(root, subkey);
        if (key)
            RegCloseKey(key);
    }
    g_setup.meterDone += RegistryWeight;
    return 1;
}

// regdeletekey root subkey: the key goes with its whole subtree.
int CmdRegDeleteKey(HWND progressDialog)
{
    HKEY root = RootKeyOf(sc::ReadNumber(NextArg()));
    const char *subkey = NextArg();
    ShowRegistryLines(progressDialog);
    // A name that opens the root itself would empty the whole root: never.
    if (root && !sc::NamesRootKey(subkey)) {
        DeleteKeyTree(root, subkey);
        PruneMakerKey(root, subkey);
    }
    g_setup.meterDone += RegistryWeight;
    return 1;
}

// regsetvalue root subkey value-name type data
int CmdRegSetValue(HWND progressDialog)
{
    HKEY root = RootKeyOf(sc::ReadNumber(NextArg()));
    const char *subkey = NextArg();
    const char *valueName = NextArg();  // "" names the default value
    int type = sc::ReadNumber(NextArg());
    const char *data = NextArg();

    // Expand before touching the registry: text that does not fit stops the
    // run (reported by ExpandArg) and writes nothing.
    char text[sc::kDataSize];
    text[0] = '\0';
    if (type == TypeText && !ExpandArg(text, data, sizeof text))
        return 0;

    ShowRegistryLines(progressDialog);
    if (root && subkey) {
        HKEY key = CreateOrOpenKey(root, subkey);
        if (key) {
            if (type == TypeNumber) {
                DWORD number = static_cast<DWORD>(sc::ReadNumber(data));
                RegSetValueExA(key, valueName, 0, REG_DWORD,
                               reinterpret_cast<const BYTE *>(&number), sizeof number);
            } else if (type == TypeText) {
                RegSetValueExA(key, valueName, 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(text), lstrlenA(text) + 1);
            }
            RegCloseKey(key);
        }
    }
    g_setup.meterDone += RegistryWeight;
    return 1;
}
