// The wizard pages, the Start-menu question, the closing notices, the
// modeless progress dialog and its block meter.
#include "setup.h"
#include "resource.h"

namespace {

// Sets a control to a text with the product name in place of %s.
void SetNameText(HWND dialog, int control, const char *format)
{
    char text[MessageSize];
    wsprintfA(text, format, g_setup.appName);
    SetDlgItemTextA(dialog, control, text);
}

// The common WM_COMMAND handling of the modal pages: 1 ends with 1 after
// the page's own OK work (which may keep the page open by returning false),
// 2 ends with 0.
typedef bool (*OkWork)(HWND dialog);

INT_PTR PageCommand(HWND dialog, WPARAM wParam, OkWork ok)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        if (ok != nullptr && !ok(dialog)) return TRUE;
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

bool SelectOk(HWND dialog)
{
    g_setup.installMode = IsDlgButtonChecked(dialog, IDC_SELECT_INSTALL) == BST_CHECKED ? 1 : 0;
    return true;
}

bool FolderOk(HWND dialog)
{
    // The control cuts a long text after a lead byte; cut it again between
    // two characters, so that no half character ends the folder.
    char typed[PathSize + 1];
    GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, typed, sizeof typed);
    char folder[PathSize];
    sc::CopyText(folder, PathSize, typed);
    if (!IsFullFolderPath(folder)) {
        // An empty or relative folder would put %DEFDIR% at a drive root.
        // The example is the folder the page opened with (destDir is set
        // only when the page is left), for the user to type back.
        char text[MessageSize];
        lstrcpyA(text, "インストール先のフォルダを、ドライブ名から指定してください。");
        if (IsFullFolderPath(g_setup.destDir)) wsprintfA(text + lstrlenA(text), "\n(例: %s)", g_setup.destDir);
        MessageBeep(MB_ICONEXCLAMATION);
        MessageBoxA(dialog, text, g_setup.caption, MB_ICONEXCLAMATION);
        HWND edit = GetDlgItem(dialog, IDC_FOLDER_EDIT);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return false;
    }
    lstrcpyA(g_setup.destDir, folder);
    return true;
}

bool StartMenuOk(HWND dialog)
{
    g_setup.addToStartMenu = IsDlgButtonChecked(dialog, IDC_STARTMENU_YES) == BST_CHECKED ? 1 : 0;
    return true;
}

void AbortProgress(HWND dialog)
{
    EnableWindow(GetParent(dialog), TRUE);
    DestroyWindow(dialog);
    g_setup.progressDialog = nullptr;
    g_setup.abortRequested = 1;
}

HBRUSH SelectSolidBrush(HDC dc, COLORREF colour, HGDIOBJ *oldBrush, HGDIOBJ *oldPen)
{
    HBRUSH brush = CreateSolidBrush(colour);
    *oldBrush = SelectObject(dc, brush);
    *oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    return brush;
}

void DrawEdge2(HDC dc, int colourIndex, const POINT *points)
{
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colourIndex));
    HGDIOBJ old = SelectObject(dc, pen);
    Polyline(dc, points, 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

int IsFullFolderPath(const char *folder)
{
    if (folder == nullptr) return 0;
    unsigned char first = static_cast<unsigned char>(folder[0]);
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && folder[1] == ':' && folder[2] == '\\') return 1;
    // \\server\share: a server name, a backslash and a share name.
    if (folder[0] == '\\' && folder[1] == '\\') {
        const char *p = folder + 2;
        const char *server = p;
        while (*p != '\0' && *p != '\\') p = CharNextA(p);
        if (p == server || *p != '\\') return 0;
        ++p;
        return *p != '\0' && *p != '\\' && *p != ' ';
    }
    return 0;
}

INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        SetNameText(dialog, IDC_WELCOME_TITLE, "%sの世界にようこそ。");
        SetDlgItemTextA(dialog, IDC_WELCOME_TEXT,
                        g_setup.installMode == 1 ? "これからセットアップを開始します。"
                                                 : "これからアンインストールを開始します。");
        return TRUE;
    case WM_COMMAND:
        return PageCommand(dialog, wParam, nullptr);
    }
    return FALSE;
}

INT_PTR CALLBACK SelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        CheckRadioButton(dialog, IDC_SELECT_INSTALL, IDC_SELECT_UNINSTALL, IDC_SELECT_INSTALL);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SELECT_INSTALL:
        case IDC_SELECT_UNINSTALL:
            CheckRadioButton(dialog, IDC_SELECT_INSTALL, IDC_SELECT_UNINSTALL, LOWORD(wParam));
            return TRUE;
        }
        return PageCommand(dialog, wParam, SelectOk);
    }
    return FALSE;
}

INT_PTR CALLBACK FolderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, g_setup.destDir);
        return TRUE;
    case WM_COMMAND:
        return PageCommand(dialog, wParam, FolderOk);
    }
    return FALSE;
}

INT_PTR CALLBACK UninstallConfirmDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        SetNameText(dialog, IDC_UNINSTALL_FOUND, "セットアップは、インストール済みの%sを見つけました。");
        SetDlgItemTextA(dialog, IDC_UNINSTALL_PATH, g_setup.destDir);
        SetNameText(dialog, IDC_UNINSTALL_TITLE, "このフォルダの%sを、アンインストールします。");
        return TRUE;
    case WM_COMMAND:
        return PageCommand(dialog, wParam, nullptr);
    }
    return FALSE;
}

INT_PTR CALLBACK InstallConfirmDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        SetNameText(dialog, IDC_INSTALL_TITLE, "%sを、以下のフォルダにインストールします。");
        SetDlgItemTextA(dialog, IDC_INSTALL_PATH, g_setup.destDir);
        return TRUE;
    case WM_COMMAND:
        return PageCommand(dialog, wParam, nullptr);
    }
    return FALSE;
}

INT_PTR CALLBACK StartMenuDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        SetNameText(dialog, IDC_STARTMENU_TITLE, "%sを、[ｽﾀｰﾄ] ﾒﾆｭｰへ登録しますか?");
        CheckRadioButton(dialog, IDC_STARTMENU_YES, IDC_STARTMENU_NO, IDC_STARTMENU_YES);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_STARTMENU_YES:
        case IDC_STARTMENU_NO:
            CheckRadioButton(dialog, IDC_STARTMENU_YES, IDC_STARTMENU_NO, LOWORD(wParam));
            return TRUE;
        }
        return PageCommand(dialog, wParam, StartMenuOk);
    }
    return FALSE;
}

INT_PTR CALLBACK FinishDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        return TRUE;
    case WM_COMMAND:
        return PageCommand(dialog, wParam, nullptr);
    }
    return FALSE;
}

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMainWindow(dialog, g_setup.mainWindow);
        return TRUE;
    case WM_PAINT:
        DrawMeter(GetDlgItem(dialog, IDC_PROGRESS_METER));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        AbortProgress(dialog);
        return TRUE;
    case WM_CLOSE:
        AbortProgress(dialog);
        return TRUE;
    case WM_DESTROY:
        // However it goes (also with the main window that owns it), its
        // handle is not kept: Windows 95 gives a freed handle to the next
        // window created.
        if (g_setup.progressDialog == dialog) g_setup.progressDialog = nullptr;
        ForgetProgressLines();
        return FALSE;
    }
    return FALSE;
}

void DrawMeter(HWND meter)
{
    if (meter == nullptr) return;
    // Let the control paint its own white rectangle first.
    InvalidateRect(meter, nullptr, TRUE);
    UpdateWindow(meter);

    HDC dc = GetDC(meter);
    RECT r;
    GetClientRect(meter, &r);

    // Sunken panel.
    HGDIOBJ oldBrush;
    HGDIOBJ oldPen;
    HBRUSH panel = SelectSolidBrush(dc, GetSysColor(COLOR_3DLIGHT), &oldBrush, &oldPen);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(panel);
    const POINT shadow[3] = {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right - 1, r.top}};
    DrawEdge2(dc, COLOR_BTNSHADOW, shadow);
    const POINT light[3] = {{r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
    DrawEdge2(dc, COLOR_BTNHIGHLIGHT, light);

    // Up to 35 blocks, centred; the count never passes the last place.
    int blockWidth = (r.right - r.left - 4) / sc::kMeterBlocks;
    int halfSpan = (blockWidth * sc::kMeterBlocks + 4) / 2;
    int centre = (r.right + r.left) / 2;
    int blocks = sc::MeterBlockCount(g_setup.percent);
    HBRUSH fill = SelectSolidBrush(dc, RGB(0, 0, 128), &oldBrush, &oldPen);
    for (int k = 0; k < blocks; ++k) {
        int left = centre - halfSpan + k * blockWidth + 3;
        int right = centre - halfSpan + (k + 1) * blockWidth + 1;
        Rectangle(dc, left, r.top + 4, right, r.bottom - 4);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(fill);
    ReleaseDC(meter, dc);
}
