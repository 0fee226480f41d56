// Test application for the switcher's scenarios: a window that can be
// brought to the front and whose IME the switcher reads and sets.
//
//   gui_fgapp TITLE                 a frame window with an Edit control
//   gui_fgapp TITLE dialog          a dialog (#32770) with a button and an Edit control
//   gui_fgapp TITLE dialog-noedit   a dialog with buttons only
//   gui_fgapp TITLE foreign-child   a frame window with a child window made by another thread
//   gui_fgapp TITLE hang            a frame window with an Edit control whose thread stops
//                                   answering while the DWORD HKCU\Software\KelvoTest
//                                   "Hang" is not 0 (looked at ten times a second)
#include <windows.h>
#include <string.h>

static HWND g_frame;

static DWORD HangRequested()
{
    HKEY key;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KelvoTest", 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, "Hang", nullptr, nullptr, (BYTE *)&value, &size) != ERROR_SUCCESS) value = 0;
    RegCloseKey(key);
    return value;
}

static LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    switch (m) {
    case WM_TIMER:
        // A hung application: the thread takes no message until the value goes.
        while (HangRequested()) Sleep(100);
        return 0;
    case WM_SIZE: {
        HWND child = GetWindow(w, GW_CHILD);
        if (child) MoveWindow(child, 10, 10, LOWORD(lp) - 20, HIWORD(lp) - 20, TRUE);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

static LRESULT CALLBACK ChildProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

static DWORD WINAPI ForeignChildThread(LPVOID)
{
    HWND child = CreateWindowExA(WS_EX_CLIENTEDGE, "KelvoFgChild", "foreign", WS_CHILD | WS_VISIBLE, 10, 10,
                                 200, 100, g_frame, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!child) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

static INT_PTR CALLBACK DialogProc(HWND w, UINT m, WPARAM wp, LPARAM)
{
    if (m == WM_INITDIALOG) return TRUE;
    if (m == WM_CLOSE || (m == WM_COMMAND && LOWORD(wp) == IDCANCEL)) {
        DestroyWindow(w);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

// An in-memory dialog template: WORD-aligned records after the header.
struct TemplateWriter {
    WORD data[512];
    int n = 0;
    void Word(WORD w) { data[n++] = w; }
    void Dword(DWORD d) { Word(LOWORD(d)); Word(HIWORD(d)); }
    void Text(const char *s) { do Word((WORD)(unsigned char)*s); while (*s++); }
    void Align() { if (n % 2) Word(0); }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const char *text)
    {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(x); Word(y); Word(cx); Word(cy); Word(id);
        Word(0xFFFF); Word(atom);
        Text(text);
        Word(0);
    }
};

static HWND MakeDialog(const char *title, int withEdit)
{
    TemplateWriter t;
    t.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_SETFONT | DS_MODALFRAME);
    t.Dword(0);
    t.Word(withEdit ? 3 : 2);
    t.Word(20); t.Word(20); t.Word(200); t.Word(80);
    t.Word(0); t.Word(0);
    t.Text(title);
    t.Word(9);
    t.Text("MS Shell Dlg");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 10, 50, 50, 14, IDOK, 0x0080, "OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 70, 50, 50, 14, IDCANCEL, 0x0080, "Cancel");
    if (withEdit) t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 10, 10, 180, 14, 100, 0x0081, "");
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)t.data, nullptr, DialogProc, 0);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char *title = __argc > 1 ? __argv[1] : "FgApp";
    const char *mode = __argc > 2 ? __argv[2] : "";
    HWND front;
    if (!strcmp(mode, "dialog") || !strcmp(mode, "dialog-noedit")) {
        front = MakeDialog(title, !strcmp(mode, "dialog"));
    } else {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = "KelvoFgApp";
        RegisterClassA(&wc);
        wc.lpfnWndProc = ChildProc;
        wc.lpszClassName = "KelvoFgChild";
        RegisterClassA(&wc);
        g_frame = front = CreateWindowExA(0, "KelvoFgApp", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 320, 360,
                                          160, nullptr, nullptr, instance, nullptr);
        if (!strcmp(mode, "hang")) SetTimer(front, 1, 100, nullptr);
        if (!strcmp(mode, "foreign-child")) {
            DWORD id;
            CloseHandle(CreateThread(nullptr, 0, ForeignChildThread, nullptr, 0, &id));
        } else {
            CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 320, 24,
                            front, (HMENU)100, instance, nullptr);
        }
    }
    if (!front) return 1;
    SetForegroundWindow(front);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(front, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
