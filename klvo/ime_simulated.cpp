// Simulated IME system of the Wine build (wine64's user32 aborts on the
// Windows 95 IME calls). Everything lives under HKCU\Software\KelvoTest, so
// that tests configure it beforehand and read afterwards what happened:
//
//   IME\1, IME\2, ...  REG_SZ "FILE.IME|Description": the installed IMEs in
//                      enumeration order (values "1", "2", ... up to the first
//                      missing one). A name of 80 bytes or more, or a
//                      description of 50 or more, fills its field of the
//                      record to the last byte with no terminator (longer
//                      ones are cut to the field), and szOptions is then
//                      filled with '#', as a careless IME might hand them
//                      out; such an IME is known by its first 80 bytes. Without the IME key four IMEs are
//                      installed: SIMIMEA.IME ... SIMIMED.IME. The files are
//                      small DLLs of the Wine build with one icon each.
//   Default            REG_SZ: the IME of a window never given one; without
//                      it, the first installed IME.
//   FailSet            DWORD 1: IMPSetIMEA fails for every window.
//   Windows\<HWND>     one key per window (handle as 8 hex digits):
//                      "IME" REG_SZ its IME's file name, "Open" DWORD its
//                      open state (0 when absent), "Enabled" DWORD (1 when
//                      absent), "FailGet" DWORD 1: IMPGetIMEA fails for it.
//                      Tests may write "IME" to play a switch made inside
//                      the application.
//   Record             "Count" DWORD and values "0", "1", ... REG_SZ, one per
//                      IMPSetIMEA, WINNLSEnableIME and SendIMEMessageExA call,
//                      e.g. "IMPSetIMEA 000200C4 SIMIMEB.IME = 1",
//                      "WINNLSEnableIME 000200C4 0 = 1",
//                      "SendIMEMessageExA 000200C4 SETOPEN 1 = 1",
//                      "SendIMEMessageExA 000200C4 GETOPEN = 0".
//                      IMPGetIMEA and IMPQueryIMEA, which the program calls
//                      all the time, only count: "GetCount", "QueryCount".
//
// Like the real calls, every call about a window first reaches that
// window's thread: a message sent to the window, which waits for as long
// as that thread does not answer.
#include "ime.h"

static const char Root[] = "Software\\KelvoTest";
static const char ImeKey[] = "Software\\KelvoTest\\IME";
static const char RecordKey[] = "Software\\KelvoTest\\Record";

struct SimulatedIme {
    const char *name;
    const char *description;
};
static const SimulatedIme DefaultImes[] = {
    {"SIMIMEA.IME", "試験用IME A"},
    {"SIMIMEB.IME", "試験用IME B"},
    {"SIMIMEC.IME", "試験用IME C"},
    {"SIMIMED.IME", "試験用IME D"},
};

static HKEY OpenKey(const char *path)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

static int ReadText(HKEY key, const char *name, char *buffer, DWORD size)
{
    DWORD type, got = size;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE *)buffer, &got) != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    buffer[size - 1] = 0;
    if (got < size) buffer[got] = 0;
    return 1;
}

static DWORD ReadNumber(HKEY key, const char *name, DWORD fallback)
{
    DWORD value, type, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE *)&value, &size) != ERROR_SUCCESS ||
        size != sizeof value)
        return fallback;
    return value;
}

static void WriteNumber(HKEY key, const char *name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
}

static DWORD ReadRootNumber(const char *name, DWORD fallback)
{
    HKEY key = OpenKey(Root);
    if (!key) return fallback;
    DWORD value = ReadNumber(key, name, fallback);
    RegCloseKey(key);
    return value;
}

static void Count(const char *name)
{
    HKEY key = OpenKey(RecordKey);
    if (!key) return;
    WriteNumber(key, name, ReadNumber(key, name, 0) + 1);
    RegCloseKey(key);
}

static void Record(const char *line)
{
    HKEY key = OpenKey(RecordKey);
    if (!key) return;
    DWORD n = ReadNumber(key, "Count", 0);
    char name[16];
    wsprintfA(name, "%lu", n);
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)line, lstrlenA(line) + 1);
    WriteNumber(key, "Count", n + 1);
    RegCloseKey(key);
}

static HKEY OpenWindowKey(HWND window)
{
    char path[64];
    wsprintfA(path, "%s\\Windows\\%08lX", Root, (DWORD)(ULONG_PTR)window);
    return OpenKey(path);
}

// Waits, as the system's IME calls can, until the window's thread has
// taken a message.
static void ReachWindow(HWND window)
{
    if (window && IsWindow(window)) SendMessageA(window, WM_NULL, 0, 0);
}

// The n-th installed IME (from 0): file name and description.
static int InstalledIme(int n, char *name, int nameSize, char *description, int descriptionSize)
{
    char entry[512];
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ImeKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char valueName[16];
        wsprintfA(valueName, "%d", n + 1);
        int found = ReadText(key, valueName, entry, sizeof entry);
        RegCloseKey(key);
        if (!found) return 0;
    } else {
        if (n >= (int)ARRAYSIZE(DefaultImes)) return 0;
        wsprintfA(entry, "%s|%s", DefaultImes[n].name, DefaultImes[n].description);
    }
    char *bar = entry;
    while (*bar && *bar != '|') bar = CharNextA(bar);
    const char *text = "";
    if (*bar) {
        *bar = 0;
        text = bar + 1;
    }
    lstrcpynA(name, entry, nameSize);
    lstrcpynA(description, text, descriptionSize);
    return 1;
}

// Copies text into a field; a text as long as the field gets no terminator.
static int FillField(BYTE *field, int size, const char *text)
{
    int n = lstrlenA(text);
    if (n > size) n = size;
    memcpy(field, text, n);
    return n == size;
}

static void FillRecord(IMEPROA *record, const char *name, const char *description)
{
    memset(record, 0, sizeof *record);
    record->wVersion = 0x0400;
    int full = FillField(record->szDescription, sizeof record->szDescription, description);
    full |= FillField(record->szName, sizeof record->szName, name);
    if (full) memset(record->szOptions, '#', sizeof record->szOptions - 1);
}

// Finds an installed IME by file name and fills record; 0 when it is not installed.
static int LookUpIme(const char *name, IMEPROA *record)
{
    char file[81], description[51];
    for (int n = 0; InstalledIme(n, file, sizeof file, description, sizeof description); ++n) {
        if (lstrcmpA(file, name) == 0) {
            if (record) FillRecord(record, file, description);
            return 1;
        }
    }
    return 0;
}

BOOL SystemImeQuery(IMEPROA *record)
{
    Count("QueryCount");
    char cursor[sizeof record->szName + 1];
    lstrcpynA(cursor, (const char *)record->szName, sizeof cursor);
    char file[81], description[51];
    int takeNext = cursor[0] == 0;
    for (int n = 0; InstalledIme(n, file, sizeof file, description, sizeof description); ++n) {
        if (takeNext) {
            FillRecord(record, file, description);
            return TRUE;
        }
        if (lstrcmpA(file, cursor) == 0) takeNext = 1;
    }
    return FALSE;
}

BOOL SystemImeGet(HWND window, IMEPROA *record)
{
    Count("GetCount");
    if (!window || !IsWindow(window)) return FALSE;
    ReachWindow(window);
    HKEY key = OpenWindowKey(window);
    if (!key) return FALSE;
    char name[81];
    int failing = ReadNumber(key, "FailGet", 0) != 0;
    int haveOwn = ReadText(key, "IME", name, sizeof name);
    RegCloseKey(key);
    if (failing) return FALSE;
    if (!haveOwn) {
        HKEY root = OpenKey(Root);
        int haveDefault = root && ReadText(root, "Default", name, sizeof name);
        if (root) RegCloseKey(root);
        char description[51];
        if (!haveDefault && !InstalledIme(0, name, sizeof name, description, sizeof description)) return FALSE;
    }
    return LookUpIme(name, record);
}

BOOL SystemImeSet(HWND window, IMEPROA *record)
{
    char name[sizeof record->szName + 1];
    lstrcpynA(name, (const char *)record->szName, sizeof name);
    ReachWindow(window);
    BOOL ok = FALSE;
    if (window && IsWindow(window) && !ReadRootNumber("FailSet", 0) && LookUpIme(name, nullptr)) {
        HKEY key = OpenWindowKey(window);
        if (key) {
            ok = RegSetValueExA(key, "IME", 0, REG_SZ, (const BYTE *)name, lstrlenA(name) + 1) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    char line[200];
    wsprintfA(line, "IMPSetIMEA %08lX %s = %d", (DWORD)(ULONG_PTR)window, name, ok);
    Record(line);
    return ok;
}

BOOL ImeEnable(HWND window, BOOL enable)
{
    BOOL previous = TRUE;
    ReachWindow(window);
    HKEY key = window ? OpenWindowKey(window) : nullptr;
    if (key) {
        previous = ReadNumber(key, "Enabled", 1) != 0;
        WriteNumber(key, "Enabled", enable ? 1 : 0);
        RegCloseKey(key);
    }
    char line[80];
    wsprintfA(line, "WINNLSEnableIME %08lX %d = %d", (DWORD)(ULONG_PTR)window, enable ? 1 : 0, previous);
    Record(line);
    return previous;
}

LRESULT ImeSendMessage(HWND window, HGLOBAL block)
{
    IMESTRUCT *ime = (IMESTRUCT *)GlobalLock(block);
    if (!ime) return 0;
    UINT function = ime->fnc;
    WPARAM argument = ime->wParam;
    GlobalUnlock(block);

    ReachWindow(window);
    LRESULT result = 0;
    char line[80];
    HKEY key = window && IsWindow(window) ? OpenWindowKey(window) : nullptr;
    if (function == IME_GETOPEN) {
        if (key) result = ReadNumber(key, "Open", 0) != 0;
        wsprintfA(line, "SendIMEMessageExA %08lX GETOPEN = %d", (DWORD)(ULONG_PTR)window, (int)result);
    } else if (function == IME_SETOPEN) {
        if (key) {
            WriteNumber(key, "Open", argument ? 1 : 0);
            result = 1;
        }
        wsprintfA(line, "SendIMEMessageExA %08lX SETOPEN %d = %d", (DWORD)(ULONG_PTR)window,
                  argument ? 1 : 0, (int)result);
    } else {
        wsprintfA(line, "SendIMEMessageExA %08lX %u = 0", (DWORD)(ULONG_PTR)window, function);
    }
    if (key) RegCloseKey(key);
    Record(line);
    return result;
}
