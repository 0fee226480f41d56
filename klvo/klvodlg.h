// Resource numbers of the switcher: commands, dialogs, controls, strings.
#pragma once

// Menu commands; F1 is an accelerator for 3010.
#define IDM_STATUSBAR   1010
#define IDM_EXIT        1020
#define IDM_SELECTIME   2010
#define IDM_KEYSETTINGS 2020
#define IDM_CONTENTS    3010
#define IDM_SEARCH      3020
#define IDM_HELPONHELP  3030
#define IDM_ABOUT       3040

// Timer and hot keys of the main window.
#define ID_TRACK_TIMER  4096
#define ID_CHANGE_KEY   4096
#define ID_ONOFF_KEY    4112

// IME selection dialog.
#define IDD_IME            100
#define IDC_USED_LABEL     101
#define IDC_USED_LIST      102
#define IDC_MOVE_DOWN      103
#define IDC_MOVE_UP        104
#define IDC_UNUSED_LABEL   105
#define IDC_UNUSED_LIST    106
#define IDC_SAME_IME       107
#define IDC_IME_HELP       108

// Key settings dialog.
#define IDD_KEYS           200
#define IDC_CHANGE_GROUP   201
#define IDC_CHANGE_LABEL   202
#define IDC_CHANGE_COMBO   203
#define IDC_WITH_SHIFT     204
#define IDC_WITH_CTRL      205
#define IDC_WITH_ALT       206
#define IDC_ONOFF_GROUP    207
#define IDC_ONOFF_LABEL    208
#define IDC_ONOFF_COMBO    209
#define IDC_SOUND_GROUP    210
#define IDC_PLAY_SOUND     211
#define IDC_SOUND_LABEL    212
#define IDC_SOUND_FILE     213
#define IDC_SOUND_TEST     214
#define IDC_SOUND_BROWSE   215
#define IDC_KEYS_HELP      216

// About dialog.
#define IDD_ABOUT          300
#define IDC_ABOUT_ICON     301
#define IDC_ABOUT_NAME     304
#define IDC_ABOUT_VERSION  314
#define IDC_ABOUT_NOTICE   306
#define IDC_ABOUT_LINE     308
#define IDC_ABOUT_MEMLABEL 309
#define IDC_ABOUT_MEMORY   312

// Help contexts of the dialogs.
#define HELP_CONTEXT_IME   100
#define HELP_CONTEXT_KEYS  101

// String table.
#define IDS_MENUHELP_FIRST 0    // 0-10: help texts of the menu entries
#define IDS_KEY_HINT       16
#define IDS_NO_KEY_HINT    17
#define IDS_HEADING        24
#define IDS_NOT_RUNNING    25
#define IDS_APPLICATION    26
#define IDS_IME            27
#define IDS_WRONG_PLATFORM 28
#define IDS_BROWSE_TITLE   32
#define IDS_WAVE_FILTER    33
#define IDS_WAVE_EXT       34
