// Resource ids of setup.exe. The dialog and icon numbers are the installer's
// own and fixed; the control ids are the ones its dialogs are driven by.
#pragma once

// Dialogs
#define IDD_FOLDER 100
#define IDD_UNINSTALL 101
#define IDD_PROGRESS 103

// Icons
#define IDI_SETUP 102
#define IDI_UNINSTALL 111

// Controls
#define IDC_FOLDER_PROMPT 1000
#define IDC_FOLDER_EDIT 1001
#define IDC_BROWSE 1002
#define IDC_PROGRESS 1003
#define IDC_DESKTOP 1005
#define IDC_COPYING 1008
#define IDC_REMOVING 1010
