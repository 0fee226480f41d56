// The IME selection dialog: the installed IMEs in a used and a not-used list,
// and whether one IME is imposed on every application. The lists hold display
// names; OK matches them against a fresh enumeration and rebuilds the
// excluded list in the system's order.
#include "klvo.h"
#include "ime.h"
#include "core/core.h"

namespace {

// Moves the selected entry of one list to the end of the other.
void MoveSelected(HWND dialog, int fromId, int toId)
{
    int selected = static_cast<int>(SendDlgItemMessageA(dialog, fromId, LB_GETCURSEL, 0, 0));
    if (selected == LB_ERR) return;
    int length = static_cast<int>(SendDlgItemMessageA(dialog, fromId, LB_GETTEXTLEN, selected, 0));
    char entry[TextSize];
    if (length == LB_ERR || length >= TextSize) return;
    SendDlgItemMessageA(dialog, fromId, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(entry));
    SendDlgItemMessageA(dialog, fromId, LB_DELETESTRING, selected, 0);
    SendDlgItemMessageA(dialog, toId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
}

void FillImeLists(HWND dialog, int usedId, int unusedId)
{
    SendDlgItemMessageA(dialog, usedId, LB_RESETCONTENT, 0, 0);
    ImeEntry ime;
    memset(&ime, 0, sizeof(ime));
    for (int n = 0; n < MostInstalledImes && ImeQuery(&ime); ++n) {
        int listId = IsExcludedIme(ime.name) ? unusedId : usedId;
        SendDlgItemMessageA(dialog, listId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ime.description));
    }
}

bool InList(HWND list, int count, const char *text)
{
    char entry[TextSize];
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, i, 0));
        if (length == LB_ERR || length >= TextSize) continue;
        entry[0] = 0;
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry));
        if (lstrcmpA(entry, text) == 0) return true;
    }
    return false;
}

// Every installed IME whose display name stands in the not-used list is
// excluded, so two IMEs of the same name go out together.
int StoreExcludedImes(HWND dialog, int unusedId)
{
    ReleaseImeState();
    HWND list = GetDlgItem(dialog, unusedId);
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    ImeEntry ime;
    memset(&ime, 0, sizeof(ime));
    for (int n = 0; n < MostInstalledImes && ImeQuery(&ime); ++n) {
        if (InList(list, count, ime.description)) AddExcludedIme(ime.name);
    }
    return 1;
}

BOOL OnInitDialog(HWND dialog)
{
    CenterOverMain(dialog);
    FillImeLists(dialog, IDC_USED_LIST, IDC_UNUSED_LIST);
    CheckDlgButton(dialog, IDC_SAME_IME, Settings.UseSameImeForAllApps ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

BOOL OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        StoreExcludedImes(dialog, IDC_UNUSED_LIST);
        Settings.UseSameImeForAllApps = IsDlgButtonChecked(dialog, IDC_SAME_IME) == BST_CHECKED ? 1 : 0;
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_USED_LIST:
    case IDC_UNUSED_LIST:
        return TRUE;
    case IDC_MOVE_DOWN:
        MoveSelected(dialog, IDC_USED_LIST, IDC_UNUSED_LIST);
        return TRUE;
    case IDC_MOVE_UP:
        MoveSelected(dialog, IDC_UNUSED_LIST, IDC_USED_LIST);
        return TRUE;
    case IDC_IME_HELP:
        WinHelpA(g_mainWindow, FindHelpFile(), HELP_CONTEXT, HELP_CONTEXT_IME);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK IMEDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}
