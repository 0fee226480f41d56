// The main window's display (the application in front and its IME under an
// engraved heading), the status bar, and the 3-D drawing the pop-up shares.
#include "klvo.h"
#include "core.h"

namespace {

// Where the two fields sit inside the display area.
constexpr int HeadingLeft = 16;
constexpr int HeadingTop = 10;
constexpr int ContentLeft = 12;
constexpr int ContentTop = 34;
constexpr int ContentMargin = 12;
constexpr int LabelWidth = 122;      // the label column; the value well starts here
constexpr int ValueLeft = 130;
constexpr int ValueRight = 14;
constexpr UINT LabelFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
// Titles and IME names are text: an '&' in them is drawn, as FitText measured it.
constexpr UINT ValueFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

// Both windows draw with the system's Shift-JIS face at 12 pixels.
HFONT CreateDisplayFont()
{
    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = 12;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    return CreateFontIndirectA(&font);
}

void Polyline2(HDC dc, int x1, int y1, int x2, int y2)
{
    POINT points[2] = {{x1, y1}, {x2, y2}};
    Polyline(dc, points, 2);
}

void LoadText(int id, char *buffer)
{
    buffer[0] = 0;
    LoadStringA(g_instance, id, buffer, TextSize);
}

// One labelled field: a raised box, a sunken well for the value, the label.
void DrawField(HDC dc, const RECT *box, int labelId)
{
    Draw3DFrame(dc, box, TRUE);
    RECT well = {box->left + LabelWidth, box->top + 4, box->right - 6, box->bottom - 4};
    Draw3DFrame(dc, &well, FALSE);
    char label[TextSize];
    LoadText(labelId, label);
    RECT labelRect = {box->left + 2, box->top + 2, box->left + LabelWidth, box->bottom - 2};
    DrawTextA(dc, label, -1, &labelRect, LabelFormat);
}

void DrawValue(HDC dc, const char *text, RECT *rect)
{
    DrawTextA(dc, FitText(dc, text, rect->right - rect->left), -1, rect, ValueFormat);
}

uint32_t DriverScanCode(void *, uint32_t virtualKey)
{
    return MapVirtualKeyA(virtualKey, 0);
}

int32_t DriverKeyNameLength(void *, uint32_t scanCode)
{
    char name[KeyTextSize];
    return GetKeyNameTextA(static_cast<LONG>(scanCode << 16), name, KeyTextSize - 1);
}

int32_t DriverKeyboardType(void *, int32_t which)
{
    return GetKeyboardType(which);
}

const KeyboardQuery Driver = {nullptr, DriverScanCode, DriverKeyNameLength, DriverKeyboardType};

int32_t MeasureOnDc(void *context, const char *text, int32_t length)
{
    SIZE size = {0, 0};
    GetTextExtentPoint32A(static_cast<HDC>(context), text, length, &size);
    return size.cx;
}

void OnStatusPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT rc;
    GetClientRect(window, &rc);
    POINT from = {rc.left, rc.top};
    POINT to = {rc.right, rc.top};
    DrawEtchedLine(dc, from, to);
    HFONT font = CreateDisplayFont();
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));
    HGDIOBJ oldFont = SelectObject(dc, font);
    char text[TextSize];
    GetWindowTextA(window, text, TextSize);
    RECT textRect = {rc.left + 11, rc.top + 6, rc.right - 11, rc.top + 18};
    DrawTextA(dc, text, -1, &textRect, 0);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(window, &paint);
}

}  // namespace

const KeyboardQuery *SystemKeyboard()
{
    return &Driver;
}

void PaintMain(HWND mainWindow, HDC dc)
{
    RECT rc;
    GetClientRect(mainWindow, &rc);
    if (Settings.StatusBar) rc.bottom -= StatusBarHeight;

    HFONT font = CreateDisplayFont();
    HGDIOBJ oldFont = SelectObject(dc, font);
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));

    // The line under the menu bar, then the engraved heading.
    POINT from = {rc.left, rc.top};
    POINT to = {rc.right, rc.top};
    DrawEtchedLine(dc, from, to);
    char heading[TextSize];
    LoadText(IDS_HEADING, heading);
    RECT headingRect = {rc.left + HeadingLeft, rc.top + HeadingTop, rc.right, rc.bottom};
    DrawEmbossedText(dc, heading, &headingRect);

    RECT content = {rc.left + ContentLeft, rc.top + ContentTop, rc.right - ContentMargin,
                    rc.bottom - ContentMargin};
    int mid = (content.top + content.bottom) / 2;
    RECT appBox = {content.left, content.top, content.right, mid - 1};
    RECT imeBox = {content.left, mid, content.right, content.bottom};
    DrawField(dc, &appBox, IDS_APPLICATION);
    DrawField(dc, &imeBox, IDS_IME);

    RECT appValue = {content.left + ValueLeft, content.top + 6, content.right - ValueRight, mid - 7};
    DrawValue(dc, ShownAppTitle, &appValue);
    RECT imeValue = {content.left + ValueLeft, mid + 6, content.right - ValueRight,
                     content.bottom - 6};
    if (ImeKnown) {
        DrawValue(dc, CurrentIme.description, &imeValue);
    } else {
        char notRunning[TextSize];
        LoadText(IDS_NOT_RUNNING, notRunning);
        DrawTextA(dc, notRunning, -1, &imeValue, ValueFormat);
    }

    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

void InvalidateDisplay()
{
    RECT rc;
    GetClientRect(g_mainWindow, &rc);
    int inset = LOWORD(GetDialogBaseUnits()) / 4;
    InflateRect(&rc, -inset, -inset);
    if (Settings.StatusBar) rc.bottom -= StatusBarHeight;
    InvalidateRect(g_mainWindow, &rc, TRUE);
    UpdateWindow(g_mainWindow);
}

void SetStatusText(int id, const char *argument)
{
    if (!Settings.StatusBar || g_statusWindow == nullptr) return;
    char loaded[TextSize];
    char formatted[TextSize];
    const char *text = g_emptyString;
    if (id >= 0) {
        LoadText(id, loaded);
        text = loaded;
        if (argument != nullptr) {
            wsprintfA(formatted, loaded, argument);
            text = formatted;
        }
    }
    SetWindowTextA(g_statusWindow, text);
    InvalidateRect(g_statusWindow, nullptr, TRUE);
    UpdateWindow(g_statusWindow);
}

void ShowKeyHint()
{
    if (!Settings.StatusBar) return;
    const char *keyText = nullptr;
    if (Settings.ChangeVKey != 0)
        keyText = GetChangeKeyText(Settings.ChangeVKey, Settings.ChangeKeyModifier, SystemKeyboard());
    // A stored key outside the menu cannot be named: say that none is set.
    if (keyText != nullptr)
        SetStatusText(IDS_KEY_HINT, keyText);
    else
        SetStatusText(IDS_NO_KEY_HINT);
}

const char *FitText(HDC dc, const char *text, int width)
{
    return FitTextToWidth(text, width, MeasureOnDc, dc);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK StatusWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_PAINT:
        OnStatusPaint(window);
        return 0;
    case WM_DESTROY:
        // Also when it goes with the main window: the handle is not kept
        // for a window that is gone (Windows 95 gives it to the next one).
        if (window == g_statusWindow) g_statusWindow = nullptr;
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void DrawEtchedLine(HDC dc, POINT from, POINT to)
{
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN highlight = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ oldPen = SelectObject(dc, shadow);
    Polyline2(dc, from.x, from.y, to.x, to.y);
    SelectObject(dc, highlight);
    Polyline2(dc, from.x, from.y + 1, to.x, to.y + 1);
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(highlight);
}

void Draw3DFrame(HDC dc, const RECT *rect, int raised)
{
    HPEN highlight = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
    // Outer and inner line of each edge: raised lights the top left and
    // darkens the bottom right, sunken the other way round.
    HPEN topLeft[2] = {highlight, highlight};
    HPEN bottomRight[2] = {dark, shadow};
    if (!raised) {
        topLeft[0] = shadow;
        topLeft[1] = dark;
        bottomRight[0] = highlight;
        bottomRight[1] = highlight;
    }
    const LONG l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
    HGDIOBJ oldPen = SelectObject(dc, topLeft[0]);
    for (int i = 0; i < 2; ++i) {
        SelectObject(dc, topLeft[i]);
        POINT path[3] = {{l + i, b - i - 1}, {l + i, t + i}, {r - i, t + i}};
        Polyline(dc, path, 3);
    }
    for (int i = 0; i < 2; ++i) {
        SelectObject(dc, bottomRight[i]);
        POINT path[3] = {{l + i, b - i - 1}, {r - i - 1, b - i - 1}, {r - i - 1, t + i}};
        Polyline(dc, path, 3);
    }
    SelectObject(dc, oldPen);
    DeleteObject(highlight);
    DeleteObject(shadow);
    DeleteObject(dark);
}

void DrawEmbossedText(HDC dc, const char *text, const RECT *rect)
{
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));
    RECT r = *rect;
    DrawTextA(dc, text, -1, &r, 0);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    OffsetRect(&r, 1, 1);
    DrawTextA(dc, text, -1, &r, 0);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}
