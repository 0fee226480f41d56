// The key settings dialog: the change key with its optional modifiers, the
// IME on/off key, and the sound played on every switch. Settings change only
// on OK; the main window re-registers the hot keys that changed afterwards.
#include "klvo.h"

#include <commdlg.h>
#include <mmsystem.h>

#include "core.h"

namespace {

constexpr int PathSize = MAX_PATH;
constexpr DWORD TestSoundFlags = SND_FILENAME | SND_NOWAIT | SND_ASYNC;
constexpr DWORD BrowseFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;

HWND g_keyDialog;               // owner of the Open dialog while the dialog is open
char g_soundPath[PathSize];     // shared by Test and Browse

int32_t AddComboEntry(void *context, const char *text)
{
    return static_cast<int32_t>(SendMessageA(static_cast<HWND>(context), CB_ADDSTRING, 0,
                                             reinterpret_cast<LPARAM>(text)));
}

int ComboSelection(HWND dialog, int comboId)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, comboId, CB_GETCURSEL, 0, 0));
}

bool IsTicked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void EnableItem(HWND dialog, int id, bool enable)
{
    EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

// The modifier boxes offer only what the chosen row allows; ticks stay.
void EnableModifierBoxes(HWND dialog, int selection)
{
    const KeyChoice *row = FindChoiceByListIndex(ChangeKeyTable, selection);
    EnableItem(dialog, IDC_WITH_SHIFT, (row->OptionalModifiers & KeyModShift) != 0);
    EnableItem(dialog, IDC_WITH_CTRL, (row->OptionalModifiers & KeyModCtrl) != 0);
    EnableItem(dialog, IDC_WITH_ALT, (row->OptionalModifiers & KeyModAlt) != 0);
}

void EnableSoundFields(HWND dialog, bool enable)
{
    EnableItem(dialog, IDC_SOUND_FILE, enable);
    EnableItem(dialog, IDC_SOUND_TEST, enable);
    EnableItem(dialog, IDC_SOUND_BROWSE, enable);
}

// The edit text, at most 259 bytes; a text cut inside a double-byte
// character loses the half character.
void ReadSoundText(HWND dialog, char *path)
{
    path[0] = 0;
    GetDlgItemTextA(dialog, IDC_SOUND_FILE, path, PathSize);
    DropBrokenTail(path);
}

void ReadSoundEdit(HWND dialog)
{
    ReadSoundText(dialog, g_soundPath);
}

void FillKeyCombo(HWND dialog, int comboId, KeyChoice *table)
{
    HWND combo = GetDlgItem(dialog, comboId);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    FillChoiceList(table, SystemKeyboard(), AddComboEntry, combo);
}

BOOL OnInitDialog(HWND dialog)
{
    g_keyDialog = dialog;
    CenterOverMain(dialog);

    FillKeyCombo(dialog, IDC_CHANGE_COMBO, ChangeKeyTable);
    const KeyChoice *current = FindCurrentChoice(ChangeKeyTable, Settings.ChangeVKey,
                                                 Settings.ChangeKeyModifier);
    SendDlgItemMessageA(dialog, IDC_CHANGE_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(static_cast<int16_t>(current->ListIndex)), 0);
    // Only modifiers beyond the row's own are shown as ticks.
    DWORD ticks = Settings.ChangeKeyModifier != current->FixedModifiers ? Settings.ChangeKeyModifier : 0;
    CheckDlgButton(dialog, IDC_WITH_SHIFT, (ticks & KeyModShift) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_WITH_CTRL, (ticks & KeyModCtrl) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_WITH_ALT, (ticks & KeyModAlt) ? BST_CHECKED : BST_UNCHECKED);
    EnableModifierBoxes(dialog, ComboSelection(dialog, IDC_CHANGE_COMBO));

    FillKeyCombo(dialog, IDC_ONOFF_COMBO, OnOffKeyTable);
    current = FindCurrentChoice(OnOffKeyTable, Settings.OnOffVKey, Settings.OnOffKeyModifier);
    SendDlgItemMessageA(dialog, IDC_ONOFF_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(static_cast<int16_t>(current->ListIndex)), 0);

    bool haveDevice = waveOutGetNumDevs() > 0;
    SetDlgItemTextA(dialog, IDC_SOUND_FILE, Settings.SoundFile);
    CheckDlgButton(dialog, IDC_PLAY_SOUND, Settings.PlaySound ? BST_CHECKED : BST_UNCHECKED);
    EnableItem(dialog, IDC_PLAY_SOUND, haveDevice);
    EnableSoundFields(dialog, haveDevice && Settings.PlaySound);
    return TRUE;
}

void OnOk(HWND dialog)
{
    StoredKey change = StoreChoice(ChangeKeyTable, ComboSelection(dialog, IDC_CHANGE_COMBO),
                                   IsTicked(dialog, IDC_WITH_SHIFT), IsTicked(dialog, IDC_WITH_CTRL),
                                   IsTicked(dialog, IDC_WITH_ALT));
    Settings.ChangeVKey = change.VirtualKey;
    Settings.ChangeKeyModifier = change.Modifiers;
    StoredKey onOff = StoreChoice(OnOffKeyTable, ComboSelection(dialog, IDC_ONOFF_COMBO),
                                  false, false, false);
    Settings.OnOffVKey = onOff.VirtualKey;
    Settings.OnOffKeyModifier = onOff.Modifiers;
    static_assert(sizeof(Settings.SoundFile) == PathSize, "the sound path holds an edit text");
    ReadSoundText(dialog, Settings.SoundFile);
    Settings.PlaySound = IsTicked(dialog, IDC_PLAY_SOUND) ? 1 : 0;
    g_keyDialog = nullptr;
    EndDialog(dialog, 1);
}

void OnTest(HWND dialog)
{
    // The edit text plays, even before OK stores it.
    ReadSoundEdit(dialog);
    PlaySoundFile(g_soundPath, TestSoundFlags);
}

// The Open dialog on the wave files; true when a file was chosen into path.
bool BrowseSoundFile(char *path)
{
    static char filter[TextSize];
    static char extension[PathSize];
    static char title[TextSize];
    static char fileTitle[PathSize];
    filter[0] = extension[0] = title[0] = fileTitle[0] = 0;
    int length = LoadStringA(g_instance, IDS_WAVE_FILTER, filter, TextSize);
    for (int i = 0; i < length; ++i)
        if (filter[i] == '|') filter[i] = 0;
    LoadStringA(g_instance, IDS_WAVE_EXT, extension, PathSize);
    LoadStringA(g_instance, IDS_BROWSE_TITLE, title, TextSize);

    // Windows 95 takes the record without the later members.
    OPENFILENAME_NT4A open;
    memset(&open, 0, sizeof(open));
    open.lStructSize = sizeof(open);
    open.hwndOwner = g_keyDialog;
    open.hInstance = g_instance;
    open.lpstrFilter = filter;
    open.nFilterIndex = 1;
    open.lpstrFile = path;
    open.nMaxFile = PathSize;
    open.lpstrFileTitle = fileTitle;
    open.nMaxFileTitle = PathSize;
    open.lpstrTitle = title;
    open.Flags = BrowseFlags;
    open.lpstrDefExt = extension;
    return GetOpenFileNameA(reinterpret_cast<OPENFILENAMEA *>(&open)) != 0;
}

void OnBrowse(HWND dialog)
{
    ReadSoundEdit(dialog);
    if (BrowseSoundFile(g_soundPath)) SetDlgItemTextA(dialog, IDC_SOUND_FILE, g_soundPath);
}

void OnHelp()
{
    WinHelpA(g_mainWindow, FindHelpFile(), HELP_CONTEXT, HELP_CONTEXT_KEYS);
}

BOOL OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        g_keyDialog = nullptr;
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_CHANGE_COMBO:
        EnableModifierBoxes(dialog, ComboSelection(dialog, IDC_CHANGE_COMBO));
        return TRUE;
    case IDC_PLAY_SOUND:
        EnableSoundFields(dialog, IsTicked(dialog, IDC_PLAY_SOUND));
        return TRUE;
    case IDC_SOUND_TEST:
        OnTest(dialog);
        return TRUE;
    case IDC_SOUND_BROWSE:
        OnBrowse(dialog);
        return TRUE;
    case IDC_KEYS_HELP:
        OnHelp();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK KeyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_DESTROY:
        // However the dialog ends, its handle is not kept.
        if (dialog == g_keyDialog) g_keyDialog = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}
