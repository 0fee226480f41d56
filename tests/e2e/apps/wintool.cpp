// Test tool: inspects and drives the windows of a Wine session from inside,
// where the scenarios need more than keystrokes. Prints one JSON object per
// line, texts in UTF-8.
//
//   wintool list                          visible top-level windows
//   wintool children HWND                 the controls of a window
//   wintool foreground                    the foreground window
//   wintool activate HWND                 bring a window to the front
//   wintool command HWND ID               a button click (WM_COMMAND)
//   wintool settext HWND ID TEXT          set a control's text
//   wintool select HWND ID INDEX          select an entry of a list or combo box
//   wintool close HWND                    WM_CLOSE
//   wintool menu HWND ID                  a menu command (WM_COMMAND, source 0)
//   wintool menuselect HWND ITEM FLAGS    WM_MENUSELECT as when hovering an entry
//   wintool message HWND MSG WPARAM LPARAM  post any message
//   wintool hold PATH SECONDS             keep a file open, not shared for deletion
//   wintool shortname PATH                the path's 8.3 form, as the file system has it
//   wintool answers HWND MS               exit 0 when the window's thread takes a
//                                         message within MS milliseconds
//   wintool helpspy SECONDS               stand in for the help engine: print
//                                         every request that WinHelpA sends
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void PutJsonUtf8(const char *utf8)
{
    putchar('"');
    for (const unsigned char *p = (const unsigned char *)utf8; *p; ++p) {
        if (*p == '"' || *p == '\\') printf("\\%c", *p);
        else if (*p < 0x20) printf("\\u%04x", *p);
        else putchar(*p);
    }
    putchar('"');
}

static void PutJsonString(const char *ansi)
{
    WCHAR wide[2048];
    char utf8[6144];
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 2048);
    if (n <= 0) wide[0] = 0;
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    PutJsonUtf8(utf8);
}

static void FromUtf8(const char *utf8, char *ansi, int size)
{
    WCHAR wide[2048];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 2048);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, size, nullptr, nullptr);
}

// The help engine's window: WinHelpA finds it by its class and hands it each
// request as WM_COPYDATA holding a WINHELP record.
struct HelpRequest {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD fileOffset;
    WORD dataOffset;
};

static LRESULT CALLBACK HelpSpyProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *copy = (const COPYDATASTRUCT *)lParam;
        const HelpRequest *request = (const HelpRequest *)copy->lpData;
        const char *base = (const char *)request;
        printf("{\"command\": %u, \"data\": %ld, \"file\": ", request->command, (long)request->data);
        PutJsonString(request->fileOffset ? base + request->fileOffset : "");
        printf(", \"text\": ");
        PutJsonString(request->dataOffset ? base + request->dataOffset : "");
        printf("}\n");
        fflush(stdout);
        return TRUE;
    }
    return DefWindowProcA(w, message, wParam, lParam);
}

static int HelpSpy(int seconds)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HelpSpyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MS_WINHELP";
    RegisterClassA(&wc);
    CreateWindowA("MS_WINHELP", "help spy", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    printf("{\"ready\": 1}\n");
    fflush(stdout);
    DWORD end = GetTickCount() + seconds * 1000;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    return 0;
}

static HWND ParseWindow(const char *text) { return (HWND)(INT_PTR)strtoll(text, nullptr, 0); }

static void PutWindowCommon(HWND w)
{
    char cls[256], text[1024];
    RECT r;
    DWORD pid = 0;
    GetClassNameA(w, cls, sizeof cls);
    text[0] = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, nullptr);
    GetWindowRect(w, &r);
    GetWindowThreadProcessId(w, &pid);
    printf("{\"hwnd\": %llu, \"pid\": %lu, \"class\": ", (unsigned long long)(INT_PTR)w, pid);
    PutJsonString(cls);
    printf(", \"text\": ");
    PutJsonString(text);
    printf(", \"rect\": [%ld, %ld, %ld, %ld], \"visible\": %d, \"enabled\": %d, \"style\": %lu, \"iconic\": %d",
           r.left, r.top, r.right, r.bottom, IsWindowVisible(w) ? 1 : 0, IsWindowEnabled(w) ? 1 : 0,
           (unsigned long)GetWindowLongA(w, GWL_STYLE), IsIconic(w) ? 1 : 0);
}

static BOOL CALLBACK ListTop(HWND w, LPARAM)
{
    if (!IsWindowVisible(w)) return TRUE;
    PutWindowCommon(w);
    printf("}\n");
    return TRUE;
}

// List and combo items are read as UTF-16: across processes Wine hands the
// ANSI messages' text over in the wide form.
static void PutItems(HWND w, UINT countMsg, UINT lenMsg, UINT textMsg, UINT selMsg)
{
    LRESULT count = SendMessageW(w, countMsg, 0, 0);
    printf(", \"selected\": %ld, \"items\": [", (long)SendMessageW(w, selMsg, 0, 0));
    for (LRESULT i = 0; i < count && i < 200; ++i) {
        WCHAR item[1024];
        char utf8[3072];
        if (SendMessageW(w, lenMsg, i, 0) >= 1024) continue;
        item[0] = 0;
        SendMessageW(w, textMsg, i, (LPARAM)item);
        WideCharToMultiByte(CP_UTF8, 0, item, -1, utf8, sizeof utf8, nullptr, nullptr);
        if (i) printf(", ");
        PutJsonUtf8(utf8);
    }
    printf("]");
}

static BOOL CALLBACK ListChild(HWND w, LPARAM)
{
    char cls[256];
    GetClassNameA(w, cls, sizeof cls);
    PutWindowCommon(w);
    printf(", \"id\": %d", GetDlgCtrlID(w));
    if (!lstrcmpiA(cls, "Button"))
        printf(", \"checked\": %ld", (long)SendMessageA(w, BM_GETCHECK, 0, 0));
    else if (!lstrcmpiA(cls, "ListBox"))
        PutItems(w, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETCURSEL);
    else if (!lstrcmpiA(cls, "ComboBox"))
        PutItems(w, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETCURSEL);
    printf("}\n");
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc < 2) return 2;
    const char *verb = argv[1];
    if (!strcmp(verb, "list")) {
        EnumWindows(ListTop, 0);
    } else if (!strcmp(verb, "children") && argc > 2) {
        EnumChildWindows(ParseWindow(argv[2]), ListChild, 0);
    } else if (!strcmp(verb, "foreground")) {
        HWND w = GetForegroundWindow();
        if (!w) return 1;
        PutWindowCommon(w);
        printf("}\n");
    } else if (!strcmp(verb, "activate") && argc > 2) {
        HWND w = ParseWindow(argv[2]);
        return SetForegroundWindow(w) ? 0 : 1;
    } else if (!strcmp(verb, "command") && argc > 3) {
        HWND w = ParseWindow(argv[2]);
        int id = atoi(argv[3]);
        return PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(w, id)) ? 0 : 1;
    } else if (!strcmp(verb, "menu") && argc > 3) {
        return PostMessageA(ParseWindow(argv[2]), WM_COMMAND, MAKEWPARAM(atoi(argv[3]), 0), 0) ? 0 : 1;
    } else if (!strcmp(verb, "menuselect") && argc > 4) {
        return PostMessageA(ParseWindow(argv[2]), WM_MENUSELECT,
                            MAKEWPARAM(strtoul(argv[3], nullptr, 0), strtoul(argv[4], nullptr, 0)), 0) ? 0 : 1;
    } else if (!strcmp(verb, "settext") && argc > 4) {
        char text[1024];
        FromUtf8(argv[4], text, sizeof text);
        return SetDlgItemTextA(ParseWindow(argv[2]), atoi(argv[3]), text) ? 0 : 1;
    } else if (!strcmp(verb, "select") && argc > 4) {
        HWND dialog = ParseWindow(argv[2]);
        int id = atoi(argv[3]);
        HWND control = GetDlgItem(dialog, id);
        char cls[64];
        GetClassNameA(control, cls, sizeof cls);
        int combo = !lstrcmpiA(cls, "ComboBox");
        SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, atoi(argv[4]), 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), (LPARAM)control);
    } else if (!strcmp(verb, "close") && argc > 2) {
        return PostMessageA(ParseWindow(argv[2]), WM_CLOSE, 0, 0) ? 0 : 1;
    } else if (!strcmp(verb, "message") && argc > 5) {
        return PostMessageA(ParseWindow(argv[2]), strtoul(argv[3], nullptr, 0),
                            strtoull(argv[4], nullptr, 0), strtoll(argv[5], nullptr, 0)) ? 0 : 1;
    } else if (!strcmp(verb, "answers") && argc > 3) {
        DWORD_PTR result;
        return SendMessageTimeoutA(ParseWindow(argv[2]), WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                   (UINT)atoi(argv[3]), &result) ? 0 : 1;
    } else if (!strcmp(verb, "helpspy") && argc > 2) {
        return HelpSpy(atoi(argv[2]));
    } else if (!strcmp(verb, "shortname") && argc > 2) {
        char name[MAX_PATH];
        DWORD n = GetShortPathNameA(argv[2], name, sizeof name);
        if (n == 0 || n >= sizeof name) return 1;
        printf("{\"short\": ");
        PutJsonString(name);
        printf("}\n");
    } else if (!strcmp(verb, "hold") && argc > 3) {
        HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        Sleep(atoi(argv[3]) * 1000);
        CloseHandle(file);
    } else {
        return 2;
    }
    return 0;
}
