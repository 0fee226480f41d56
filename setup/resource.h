// Dialog and control numbers of the installer's resources.
#pragma once

// Wizard pages, the progress dialog and the closing notices.
#define IDD_WELCOME            130
#define IDD_SELECT             131
#define IDD_FOLDER             132
#define IDD_UNINSTALL_CONFIRM  133
#define IDD_PROGRESS           135
#define IDD_STARTMENU          136
#define IDD_INSTALL_DONE       137
#define IDD_INSTALL_CONFIRM    138
#define IDD_UNINSTALL_DONE     139

// Start-menu question (136)
#define IDC_STARTMENU_YES      1001
#define IDC_STARTMENU_NO       1002
// Folder page (132)
#define IDC_FOLDER_EDIT        1003
// Welcome page (130)
#define IDC_WELCOME_ICON       1005
#define IDC_WELCOME_TITLE      1006
#define IDC_WELCOME_TEXT       1007
// Install-or-uninstall choice (131)
#define IDC_SELECT_PROMPT      1008
#define IDC_SELECT_INSTALL     1009
#define IDC_SELECT_UNINSTALL   1010
#define IDC_FOLDER_PROMPT      1015
#define IDC_FOLDER_GROUP       1016
#define IDC_FOLDER_NOTE        1017
// Install confirmation (138)
#define IDC_INSTALL_TITLE      1018
#define IDC_INSTALL_PATH       1019
#define IDC_INSTALL_ASK        1020
// Uninstall confirmation (133)
#define IDC_UNINSTALL_FOUND    1021
#define IDC_UNINSTALL_PATH     1022
#define IDC_UNINSTALL_TITLE    1023
#define IDC_UNINSTALL_ASK      1024
// Progress dialog (135)
#define IDC_PROGRESS_ACTION    1025
#define IDC_PROGRESS_OBJECT    1026
#define IDC_PROGRESS_NOTE      1027
#define IDC_PROGRESS_METER     1028
#define IDC_STARTMENU_TITLE    1029
// Closing notices (137, 139)
#define IDC_DONE_LINE1         1030
#define IDC_DONE_LINE2         1031
#define IDC_DONE_LINE3         1032
#define IDC_UNDONE_LINE        1033
