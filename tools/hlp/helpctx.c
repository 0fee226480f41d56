/* Drives the help engine the way a program does with WinHelpA, and reports
 * what the help window shows. For checks of Klvo.hlp under Wine.
 *
 *   helpctx FILE contents           [options]
 *   helpctx FILE context NUMBER     [options]
 *   helpctx FILE partialkey [WORD]  [options]
 *   helpctx FILE quit
 *   helpctx helponhelp              [options]
 *   helpctx show                    report the open help window only
 *   helpctx index                   press the help window's Index button and
 *                                   print the keywords its list shows
 *
 * Options: --wait SECONDS  keep running (and pumping messages) this long
 *                          after the request, so the window stays (default 2)
 *          --show          then print the help window's caption and the
 *                          first line of its topic text, UTF-8:
 *                              caption: ...
 *                              topic: ...
 * FILE is a Windows path. Exit code: 0 when WinHelpA accepted the request
 * (and, with --show or show, a help window with text was found), 1
 * otherwise, 2 for a bad command line.
 *
 * Build: x86_64-w64-mingw32-gcc -O2 -o helpctx.exe helpctx.c -mwindows
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define TEXT_CONTROL_ID 0x701   /* the topic text control of the help window */

static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

static void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (GetTickCount() - start >= ms)
            break;
        Sleep(20);
    }
}

static void PrintUtf8(const char *label, const WCHAR *text)
{
    char out[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), NULL, NULL);
    if (n <= 0)
        out[0] = 0;
    printf("%s: %s\n", label, out);
}

static HWND g_found;

static BOOL CALLBACK FindHelpWindow(HWND hwnd, LPARAM lp)
{
    char cls[64];
    (void)lp;
    if (!GetClassNameA(hwnd, cls, sizeof(cls)) || strcmp(cls, "MS_WINHELP") != 0)
        return TRUE;
    if (!IsWindowVisible(hwnd) || !GetDlgItem(hwnd, TEXT_CONTROL_ID))
        return TRUE;
    g_found = hwnd;
    return FALSE;
}

/* Prints the caption and the first text line of the visible help window. */
static int Show(void)
{
    WCHAR caption[512];
    static WCHAR text[65536];
    HWND edit;
    WCHAR *eol;

    g_found = NULL;
    EnumWindows(FindHelpWindow, 0);
    if (!g_found) {
        printf("no help window\n");
        return 0;
    }
    caption[0] = 0;
    SendMessageW(g_found, WM_GETTEXT, sizeof(caption) / sizeof(caption[0]), (LPARAM)caption);
    edit = GetDlgItem(g_found, TEXT_CONTROL_ID);
    text[0] = 0;
    SendMessageW(edit, WM_GETTEXT, sizeof(text) / sizeof(text[0]), (LPARAM)text);
    eol = text;
    while (*eol && *eol != '\r' && *eol != '\n')
        eol++;
    *eol = 0;
    PrintUtf8("caption", caption);
    PrintUtf8("topic", text);
    fflush(stdout);
    return text[0] != 0;
}

static HWND g_button;

static BOOL CALLBACK FindIndexButton(HWND hwnd, LPARAM lp)
{
    char cls[32];
    WCHAR text[64];
    (void)lp;
    if (!GetClassNameA(hwnd, cls, sizeof(cls)) || lstrcmpiA(cls, "Button") != 0)
        return TRUE;
    GetWindowTextW(hwnd, text, sizeof(text) / sizeof(text[0]));
    if (wcsstr(text, L"&I")) {   /* "&Index", or "索引(&I)" in Japanese */
        g_button = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND g_list;

static BOOL CALLBACK FindListBox(HWND hwnd, LPARAM lp)
{
    char cls[32];
    (void)lp;
    if (GetClassNameA(hwnd, cls, sizeof(cls)) && !lstrcmpiA(cls, "ListBox") && IsWindowVisible(hwnd)) {
        g_list = hwnd;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK FindIndexDialog(HWND hwnd, LPARAM lp)
{
    char cls[32];
    DWORD pid;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != (DWORD)lp || !GetClassNameA(hwnd, cls, sizeof(cls)) || strcmp(cls, "#32770") != 0)
        return TRUE;
    EnumChildWindows(hwnd, FindListBox, 0);
    return g_list == NULL;
}

/* Presses the Index button of the help window and prints the keywords of
 * the list that opens, one a line. */
static int Index(void)
{
    DWORD pid;
    int n, i;
    static WCHAR word[1024];

    g_found = NULL;
    EnumWindows(FindHelpWindow, 0);
    if (!g_found) {
        printf("no help window\n");
        return 0;
    }
    g_button = NULL;
    EnumChildWindows(g_found, FindIndexButton, 0);
    if (!g_button) {
        printf("no index button\n");
        return 0;
    }
    PostMessageW(g_button, BM_CLICK, 0, 0);
    GetWindowThreadProcessId(g_found, &pid);
    g_list = NULL;
    for (i = 0; i < 50 && !g_list; i++) {
        PumpFor(100);
        EnumWindows(FindIndexDialog, (LPARAM)pid);
    }
    if (!g_list) {
        printf("no keyword list\n");
        return 0;
    }
    n = (int)SendMessageW(g_list, LB_GETCOUNT, 0, 0);
    for (i = 0; i < n; i++) {
        if ((int)SendMessageW(g_list, LB_GETTEXTLEN, i, 0) >= (int)(sizeof(word) / sizeof(word[0])))
            continue;
        word[0] = 0;
        SendMessageW(g_list, LB_GETTEXT, i, (LPARAM)word);
        PrintUtf8("keyword", word);
    }
    fflush(stdout);
    return n > 0;
}

int main(int argc, char **argv)
{
    WNDCLASSA wc;
    HWND owner;
    UINT command;
    ULONG_PTR data = 0;
    const char *file;
    int wait = 2, show = 0, i, at;
    BOOL ok;

    if (argc == 2 && !strcmp(argv[1], "show"))
        return Show() ? 0 : 1;
    if (argc == 2 && !strcmp(argv[1], "index"))
        return Index() ? 0 : 1;
    if (argc >= 2 && !strcmp(argv[1], "helponhelp")) {
        file = NULL;            /* the help engine shows its own help */
        command = HELP_HELPONHELP;
        at = 2;
    } else {
        if (argc < 3)
            return 2;
        file = argv[1];
        at = 3;
        if (!strcmp(argv[2], "contents")) {
            command = HELP_CONTENTS;
        } else if (!strcmp(argv[2], "context") && argc > 3) {
            command = HELP_CONTEXT;
            data = (ULONG_PTR)strtoul(argv[3], NULL, 0);
            at = 4;
        } else if (!strcmp(argv[2], "partialkey")) {
            command = HELP_PARTIALKEY;
            data = (ULONG_PTR)"";
            if (argc > 3 && strncmp(argv[3], "--", 2) != 0) {
                data = (ULONG_PTR)argv[3];
                at = 4;
            }
        } else if (!strcmp(argv[2], "quit")) {
            command = HELP_QUIT;
            wait = 0;
        } else {
            return 2;
        }
    }
    for (i = at; i < argc; i++) {
        if (!strcmp(argv[i], "--wait") && i + 1 < argc)
            wait = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--show"))
            show = 1;
        else
            return 2;
    }

    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "HelpCtxOwner";
    RegisterClassA(&wc);
    owner = CreateWindowA("HelpCtxOwner", "helpctx", WS_OVERLAPPED, 0, 0, 10, 10,
                          NULL, NULL, wc.hInstance, NULL);

    ok = WinHelpA(owner, file, command, data);
    PumpFor((DWORD)wait * 1000);
    if (show && !Show())
        ok = FALSE;
    DestroyWindow(owner);
    return ok ? 0 : 1;
}
