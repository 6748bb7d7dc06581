// What the phrase window's tree and list do for the user: notifications,
// sending a phrase, dragging phrases, and the popup menus.
#pragma once

#include <windows.h>
#include <commctrl.h>

// 107 (the phrase list) while a phrase drag runs, else 0. The phrase window
// then forwards its mouse and timer messages to OnListNotify.
extern int g_dragOwner;

LRESULT OnTreeNotify(HWND window, NMHDR* header);
LRESULT OnListNotify(HWND window, NMHDR* header);

// Posted to the phrase window to open a refused name's edit box again.
const UINT MSG_REOPEN_LABEL_EDIT = WM_APP + 1;
void ReopenLabelEdit(HTREEITEM item);

// Enter (doubleClick 0) or a double-click on the phrase list.
void SendSelectedPhrase(int doubleClick);

// phrase_drag.cpp
void BeginPhraseDrag(HWND window, const NMLISTVIEW* info);
LRESULT ContinuePhraseDrag(HWND window, UINT code);
bool PhraseDragRunning();
HTREEITEM HitTestDropLabel(HWND tree);
void UpdateDropFrame(HWND tree, int show);
void DrawDropFrame(HWND tree, const RECT* rect, int highlight);

// Loads the named popup menu, adjusts it to the current state and tracks it
// at the cursor. Returns the chosen command, 0 when dismissed.
int ShowContextMenu(HWND owner, const char* menuName);
// The commands of POPUP_TREE and POPUP_LIST (0: none chosen).
void RunTreeCommand(HWND tree, int command);
void RunListCommand(HWND list, int command);
// Opens the selected label's edit box; nothing without a selection.
void StartRenaming(HWND tree);

// phrase_editor.cpp: the modal phrase editor. index -1 appends a new phrase;
// 0 or more replaces that row, whose text the caller has put first in a
// phrase package on the clipboard. Returns 0 when a text was stored.
int EditPhrase(HWND list, int index);

// anchors.cpp: controls of a resizable dialog that keep their distance to
// its right and bottom edges.
const int ANCHOR_MOVE_X = 1;
const int ANCHOR_MOVE_Y = 2;
const int ANCHOR_SIZE_X = 4;
const int ANCHOR_SIZE_Y = 8;
void InitAnchors(HWND dialog);
void ApplyAnchor(HWND dialog, int id, int flags);
void FreeAnchors(HWND dialog);

// find_dialog.cpp: the find dialog; on OK the phrase list shows the matches.
void ShowFindDialog(HWND owner);
