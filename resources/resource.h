// Resource identifiers of fenlop.exe, one block a kind. Menus, dialogs,
// icons and cursors are addressed by name, so only their names are listed;
// the numbers here are those of controls and commands.
#pragma once

// --- Dialogs (IDD_), by name ----------------------------------------------
// IDD_SETUP the settings, IDD_ABOUT, IDD_EDIT the phrase editor, IDD_FIND,
// IDD_CALC the calculator pad.

// --- Controls (IDC_) -------------------------------------------------------
// A control id is its dialog's own, so numbers recur across dialogs.

// The phrase window's children.
#define IDC_STATUS          104
#define IDC_TREE            105
#define IDC_SPLITTER        106
#define IDC_LIST            107
#define IDC_FILTER          108
// IDD_SETUP; its hot-key controls are below, under Hot keys.
#define IDC_CALC_ENTER      1006
#define IDC_RESTORE_CLIPBOARD 1007
#define IDC_FILL_PHRASES    1008
#define IDC_PASTE_LIST      1020    // the paste methods' table: its rows,
#define IDC_PASTE_KIND      1021    // the next row's kind (class or program),
#define IDC_PASTE_NAME      1022    // its name,
#define IDC_PASTE_METHOD    1023    // its method,
#define IDC_PASTE_POINTER   1024    // the window under the pointer, offered as the name
#define IDC_PASTE_ADD       1025
#define IDC_PASTE_CHANGE    1026
#define IDC_PASTE_REMOVE    1027
// IDD_FILL_INPUT: its rows of edit boxes are made at its start, one a name.
#define IDC_FILL_INPUT_FIRST 3001
// IDD_EDIT, the phrase editor.
#define IDC_EDIT_OK_KEY     1003
#define IDC_EDIT_CANCEL     1004
#define IDC_EDIT_OK         1011
#define IDC_EDIT_TEXT       1012
#define IDC_EDIT_POS        1013
#define IDC_EDIT_POS_FRAME  1014
#define IDC_EDIT_PLACEHOLDER 1015
#define IDC_SIZEGRIP        9999
// IDD_FIND.
#define IDC_FIND_ALL_TREES  1006
#define IDC_FIND_TEXT       1008
#define IDC_FIND_AND        1009
#define IDC_FIND_OR         1010
// IDD_CALC: the display, the entry and the keys (1100-1129, the engine's
// key codes) are named once, beside the engine.
#include "calc/calc_keys.h"

// --- Hot keys ----------------------------------------------------------------
// IDD_SETUP's hot-key controls; the hot keys registered for the tray window
// carry the same numbers.
#define IDC_PHRASE_HOTKEY   2001
#define IDC_CALC_HOTKEY     2002

// --- Commands (IDM_): menus, popups and FLP_ACC ---------------------------------
// Popup commands are returned, never posted, so an id may mean different
// things in different popups.
#define IDM_PHRASE_WINDOW   40001
#define IDM_EXIT            40002
#define IDM_CUT             40004
#define IDM_COPY            40005
#define IDM_PASTE           40006   // POPUP_LIST
#define IDM_NEW_PHRASE      40008   // POPUP_LIST
#define IDM_PASTE_INTO      40009
#define IDM_PASTE_BELOW     40010
#define IDM_NEW_INTO        40011
#define IDM_NEW_BELOW       40012
#define IDM_CREATE_LIBRARY  40013   // POPUP_TREE of an empty tree
#define IDM_RENAME_OR_EDIT  40014   // rename in POPUP_TREE, edit in POPUP_LIST
#define IDM_CALCULATOR      40015
#define IDM_SETTINGS        40016
#define IDM_FIND            40017
#define IDM_HOLD            40018
#define IDM_HELP            40019
#define IDM_ABOUT           40020   // MENU_APP
#define IDM_PASTE_ABOVE     40020   // POPUP_TREE
#define IDM_NEW_ABOVE       40021
#define IDM_MOVE_UP         40023
#define IDM_MOVE_DOWN       40024
#define IDM_DELETE          40025
#define IDM_FILTER          40026   // MENU_APP and FLP_ACC (Ctrl+E): the filter box

// --- Icons (ICON_, ICO_) and cursors (CUR_), by name ---------------------------
// ICON_APP the program's, ICO_IMG1 and ICO_IMG2 the label tree's images;
// CUR_SEP the splitter's, CUR_MOVE and CUR_COPY those of a phrase dragged.
