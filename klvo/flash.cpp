// The pop-up: a borderless always-on-top window in the middle of the screen
// with the new IME's icon and name and a checkered shadow through which the
// screen below shows. It closes after the change key's release, but never
// before it has been painted once.
#include "klvo.h"
#include "core/core.h"

int FlashPainted;
int FlashClosePending;
HWND g_flashWindow;
int FlashShownInRun;

static void BaseUnits(int *bx, int *by)
{
    LONG units = GetDialogBaseUnits();
    *bx = LOWORD(units);
    *by = HIWORD(units);
}

void CreateFlashWindow()
{
    int bx, by;
    BaseUnits(&bx, &by);
    FlashPlace place = PlaceFlash(bx, by, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    // Each pop-up starts with clean flags: a close request left over from a
    // pop-up that was gone before the key's release must not close this one
    // at its first paint. A pop-up whose close is still queued goes now
    // (the handle is cleared when its window is destroyed, so it names
    // only a pop-up that is still there).
    if (g_flashWindow) DestroyWindow(g_flashWindow);
    FlashPainted = 0;
    FlashClosePending = 0;
    // Shown without activation: the application in front keeps the focus,
    // so the next press of the change key still reaches it.
    g_flashWindow = CreateWindowExA(WS_EX_TOPMOST, "KelvoFlashClass", FlashIme.description,
                                    WS_POPUP, place.x, place.y, place.width, place.height,
                                    nullptr, nullptr, g_instance, nullptr);
    if (!g_flashWindow) return;
    FlashShownInRun = 1;
    ShowWindow(g_flashWindow, SW_SHOWNOACTIVATE);
    UpdateWindow(g_flashWindow);
}

static RECT ToRect(const Box &b)
{
    RECT r = {b.left, b.top, b.right, b.bottom};
    return r;
}

static void PaintShadow(HDC dc, const FlashLayout &l)
{
    HBITMAP pattern = LoadBitmapA(g_instance, "ShadowPtn");
    if (!pattern) return;
    HBRUSH brush = CreatePatternBrush(pattern);
    if (brush) {
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        const DWORD DestinationAndPattern = 0xA000C9;
        PatBlt(dc, l.bottomShadow.x, l.bottomShadow.y, l.bottomShadow.width, l.bottomShadow.height,
               DestinationAndPattern);
        PatBlt(dc, l.rightShadow.x, l.rightShadow.y, l.rightShadow.width, l.rightShadow.height,
               DestinationAndPattern);
        SelectObject(dc, oldBrush);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        DeleteObject(brush);
    }
    DeleteObject(pattern);
}

int FindImeFile(const char *name, char *path, DWORD size)
{
    char *filePart;
    DWORD n = SearchPathA(nullptr, name, nullptr, size, path, &filePart);
    // A result that does not fit is the size it needs, and path is then unwritten.
    if (n == 0 || n >= size) {
        if (size) path[0] = 0;
        return 0;
    }
    return 1;
}

static void PaintIcon(HDC dc, const FlashLayout &l)
{
    char path[MAX_PATH];
    if (!FindImeFile(FlashIme.name, path, sizeof path)) return;
    HICON icon = ExtractIconA(g_instance, path, 0);
    if (!icon || icon == (HICON)1) return;
    DrawIcon(dc, l.iconX, l.iconY, icon);
    DestroyIcon(icon);
}

static void PaintFlash(HWND window, HDC dc)
{
    int bx, by;
    BaseUnits(&bx, &by);
    RECT rc;
    GetClientRect(window, &rc);
    Box client = {rc.left, rc.top, rc.right, rc.bottom};
    FlashLayout l = LayoutFlash(client, bx, by);

    SetBkMode(dc, TRANSPARENT);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DLIGHT));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, face);
    Rectangle(dc, l.body.left, l.body.top, l.body.right, l.body.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(face);

    RECT frame = ToRect(l.raised);
    Draw3DFrame(dc, &frame, TRUE);
    frame = ToRect(l.sunken);
    Draw3DFrame(dc, &frame, FALSE);

    PaintShadow(dc, l);
    PaintIcon(dc, l);

    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));
    const char *name = FlashIme.description;
    RECT measure = {0, 0, 0, 0};
    // The IME's name is text: an '&' in it is drawn and measured as one.
    DrawTextA(dc, name, -1, &measure, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    Box textBox;
    int centred = PlaceFlashText(l.content, bx, measure.right, &textBox);
    RECT text = ToRect(textBox);
    DrawTextA(dc, name, -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (centred ? DT_CENTER : 0));
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK FlashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        PaintFlash(window, dc);
        EndPaint(window, &ps);
        FlashPainted = 1;
        if (FlashClosePending) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        FlashClosePending = 0;
        FlashPainted = 0;
        return 0;
    case WM_DESTROY:
        // On Windows 95 a window handle has no uniqueness bits: a freed
        // handle soon names the next window created (the status bar, a
        // dialog's list). The stored handle goes with its window.
        if (window == g_flashWindow) g_flashWindow = nullptr;
        return 0;
    case WM_USER:
        if (FlashPainted) SendMessageA(window, WM_CLOSE, 0, 0);
        else FlashClosePending = 1;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
