// Text into the target window: the clipboard, then Ctrl+V. The bottom of
// the Win32 stack: it reads no process-wide state; the caller says where the
// text goes and how.
#pragma once

#include <windows.h>

// Where a send goes.
struct SendTarget {
    HWND window;         // focus window of the call-up; null: none
    int keepClipboard;   // 1: the user's clipboard content comes back after the paste
    int* autoHideArmed;  // cleared while the keys go out, set again after
};

// The text on the clipboard as CF_TEXT, owned by owner. 0, or -1 when it
// could not be placed.
int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target);

// Follows the parent and owner links up to a window without parent.
HWND GetTopLevelAncestor(HWND window);

// -1 when the title of window's top-level ancestor ends with an entry of the
// exclusion table, else 0. Writes one debug trace line.
int IsExcludedTarget(HWND window);

// Foreground and focus to the target window, then 100 ms for it to get ready.
void ActivateTarget(const SendTarget& target);

// Clears the auto-hide flag, activates the target, types Ctrl+V (and Enter)
// and arms auto-hide again. The caller has checked the target. When the
// text just put could not be placed no key is typed: the paste would bring
// the user's own clipboard.
// Returns 0 when the keys went out, -1 when none was typed.
int SendPasteKeys(const SendTarget& target, int withEnter);

// Left typed count times into the focus window: the caret walks back to a
// filled phrase's caret mark after its paste.
void SendCaretBack(long count);

// The paste of the clipboard into the target window, when there is one and
// it is not excluded.
void SendPasteToTarget(const SendTarget& target, int withEnter);

// The text on the clipboard, then its paste into the target when that is
// still a window and not excluded. The text stays on the clipboard either way.
void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter);
