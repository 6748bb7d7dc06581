// Notifications of the label tree and the phrase list, and the send of the
// selected phrase.
#pragma once

#include <windows.h>
#include <commctrl.h>

LRESULT OnTreeNotify(HWND window, NMHDR* header);
LRESULT OnListNotify(HWND window, NMHDR* header);

// MSG_REOPEN_LABEL_EDIT (window_messages.h): a refused name's edit box
// opened again.
void ReopenLabelEdit(HTREEITEM item);

// Enter (doubleClick 0) or a double-click on the phrase list.
void SendSelectedPhrase(int doubleClick);
