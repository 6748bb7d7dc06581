// Text into the target window: the clipboard, then Ctrl+V, Shift+Insert,
// or the text typed key by key, as the paste methods' table gives for the
// kind of window. The bottom of the Win32 stack: it reads no process-wide
// state; the caller says where the text goes and how.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "output/paste_methods.h"

// Why a send typed no paste keys into its target, or what else the user is
// told of it.
enum PasteWithheld {
    WITHHELD_NOT_PLACED,       // the text could not be put on the clipboard
    WITHHELD_REPLACED,         // something else was on the clipboard by the time of the keys
    WITHHELD_TARGET_CLOSED,    // the target window was closed since the call-up
    WITHHELD_TARGET_ELEVATED,  // the target runs higher (as administrator): it would drop the keys
    TOLD_TYPED_TOO_LONG,       // a text over TYPED_LIMIT for a typed target went by Ctrl+V
    TOLD_TYPING_STOPPED,       // the focus left the target while its text was typed
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
    // The paste methods' table; null: every window takes Ctrl+V.
    const std::vector<PasteRule>* pasteRules;
};

// What the table is matched against: the window's class, its top-level
// window's class and its program's file name ("" where unknown).
struct WindowFacts {
    std::string windowClass;
    std::string frameClass;
    std::string program;
};
WindowFacts FactsOfWindow(HWND window);

// The text on the clipboard as CF_TEXT, CF_UNICODETEXT and CF_LOCALE, owned
// by owner. 0, or -1 when it could not be placed. Begins a send: the keys
// of SendPasteKeys go out only while the clipboard offers this text. For a
// target the keys cannot reach (closed, or running higher) the text is put
// on the clipboard plainly, the user's content not kept: it stays there for
// a paste by hand. For a typed target the clipboard is left alone.
int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target);

// Follows the parent and owner links up to a window without parent.
HWND GetTopLevelAncestor(HWND window);

// -1 when the title of window's top-level ancestor ends with an entry of the
// exclusion table, else 0. Writes one debug trace line.
int IsExcludedTarget(HWND window);

// Foreground and focus to the target window, then 100 ms for it to get ready.
void ActivateTarget(const SendTarget& target);

// Clears the auto-hide flag, activates the target, types the paste keys (or
// the text) and Enter when asked, and arms auto-hide again. The caller has
// checked the target is not excluded. A target closed or running higher
// gets no key. After PutTextOnClipboard, the paste keys go out only when the
// clipboard offers that text at that moment. Whenever no key is typed,
// target.pasteWithheld is told why. Returns 0 when the keys went out, -1
// when none was typed (or the typing stopped).
int SendPasteKeys(const SendTarget& target, int withEnter);

// Left typed count times into the focus window: the caret walks back to a
// filled phrase's caret mark after its paste.
void SendCaretBack(long count);

// The paste of whatever the clipboard holds into the target window, when
// there is one and it is not excluded (a typed target gets the clipboard's
// text typed).
void SendPasteToTarget(const SendTarget& target, int withEnter);

// The text on the clipboard, then its paste into the target when there is
// one and it is not excluded. The text stays on the clipboard either way
// (none is put there for a typed target).
void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter);
