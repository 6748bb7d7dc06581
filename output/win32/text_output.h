// Text into the target window: the clipboard, then Ctrl+V.
#pragma once

#include <windows.h>

// The text on the clipboard as CF_TEXT, owned by owner. 0, or -1 when it
// could not be placed.
int PutTextOnClipboard(HWND owner, const char* text);

// The first selected phrase of the list on the clipboard. -1: none selected.
int OutputSelectedPhrase(HWND list);

// Follows the parent and owner links up to a window without parent.
HWND GetTopLevelAncestor(HWND window);

// -1 when the title of window's top-level ancestor ends with an entry of the
// exclusion table, else 0. Writes one debug trace line.
int IsExcludedTarget(HWND window);

// Foreground and focus to the target window, then 100 ms for it to get ready.
void ActivateTarget();

// Clears the auto-hide flag, activates the target, types Ctrl+V (and Enter)
// and arms auto-hide again. The caller has checked the target. When the
// text just put could not be placed no key is typed: the paste would bring
// the user's own clipboard.
void SendPasteKeys(int withEnter);

// The paste of the clipboard into the target window, when there is one and
// it is not excluded.
void SendPasteToTarget(int withEnter);
