// Notifications of the label tree and the phrase list, and the send of the
// selected phrase.
#pragma once

#include <windows.h>
#include <commctrl.h>

LRESULT OnTreeNotify(HWND window, NMHDR* header);
LRESULT OnListNotify(HWND window, NMHDR* header);

// Posted to the phrase window to open a refused name's edit box again.
const UINT MSG_REOPEN_LABEL_EDIT = WM_APP + 1;
void ReopenLabelEdit(HTREEITEM item);

// Enter (doubleClick 0) or a double-click on the phrase list.
void SendSelectedPhrase(int doubleClick);
