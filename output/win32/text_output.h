// Text into the target window: the clipboard, then Ctrl+V. The bottom of
// the Win32 stack: it reads no process-wide state; the caller says where the
// text goes and how.
#pragma once

#include <windows.h>

// Why a send typed no paste keys into its target.
enum PasteWithheld {
    WITHHELD_NOT_PLACED,  // the text could not be put on the clipboard
    WITHHELD_REPLACED,    // something else was on the clipboard by the time of the keys
};

// Where a send goes.
struct SendTarget {
    HWND window;         // focus window of the call-up; null: none
    int keepClipboard;   // 1: the user's clipboard content comes back after the paste
    int* autoHideArmed;  // cleared while the keys go out, set again after
    // Told (with a PasteWithheld) when no key was typed because the
    // clipboard did not offer the send's text: the paste would have brought
    // someone else's content. Null: nobody is told.
    void (*pasteWithheld)(int why);
};

// The text on the clipboard as CF_TEXT, CF_UNICODETEXT and CF_LOCALE, owned
// by owner. 0, or -1 when it could not be placed. Begins a send: the keys
// of SendPasteKeys go out only while the clipboard offers this text.
int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target);

// Follows the parent and owner links up to a window without parent.
HWND GetTopLevelAncestor(HWND window);

// -1 when the title of window's top-level ancestor ends with an entry of the
// exclusion table, else 0. Writes one debug trace line.
int IsExcludedTarget(HWND window);

// Foreground and focus to the target window, then 100 ms for it to get ready.
void ActivateTarget(const SendTarget& target);

// Clears the auto-hide flag, activates the target, types Ctrl+V (and Enter)
// and arms auto-hide again. The caller has checked the target. After
// PutTextOnClipboard, the keys go out only when the clipboard offers that
// text at that moment; otherwise none is typed and target.pasteWithheld is
// told why. Returns 0 when the keys went out, -1 when none was typed.
int SendPasteKeys(const SendTarget& target, int withEnter);

// Left typed count times into the focus window: the caret walks back to a
// filled phrase's caret mark after its paste.
void SendCaretBack(long count);

// The paste of whatever the clipboard holds into the target window, when
// there is one and it is not excluded.
void SendPasteToTarget(const SendTarget& target, int withEnter);

// The text on the clipboard, then its paste into the target when that is
// still a window and not excluded. The text stays on the clipboard either way.
void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter);
