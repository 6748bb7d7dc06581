// Resource identifiers. Menus, dialogs, icons and cursors are addressed by
// name ("MENU_APP", "IDD_SETUP", ...), so only numbers live here.
#pragma once

// Controls of the phrase window.
#define IDC_STATUS          104
#define IDC_TREE            105
#define IDC_SPLITTER        106
#define IDC_LIST            107
// Controls of IDD_SETUP.
#define IDC_CALC_ENTER      1006
#define IDC_PHRASE_HOTKEY   2001
#define IDC_CALC_HOTKEY     2002

// Commands (menus, popups and FLP_ACC).
#define IDM_PHRASE_WINDOW   40001
#define IDM_EXIT            40002
#define IDM_CALCULATOR      40015
#define IDM_SETTINGS        40016
#define IDM_FIND            40017
#define IDM_HOLD            40018
#define IDM_HELP            40019
#define IDM_ABOUT           40020
#define IDM_MOVE_UP         40023
#define IDM_MOVE_DOWN       40024
