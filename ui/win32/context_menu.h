// The popup menus of the tree and the list, and their commands.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Loads the named popup menu, lets adjust (may be null) fit it to the
// current state and tracks it at the cursor. Returns the chosen command, 0
// when dismissed.
int ShowContextMenu(HWND owner, const char* menuName, void (*adjust)(HMENU popup));
// POPUP_TREE and POPUP_LIST, fitted to the selection and the library.
int ShowTreeMenu(HWND owner);
int ShowListMenu(HWND owner);
// The commands of POPUP_TREE and POPUP_LIST (0: none chosen).
void RunTreeCommand(HWND tree, int command);
void RunListCommand(HWND list, int command);
// Opens the selected label's edit box; nothing without a selection.
void StartRenaming(HWND tree);
