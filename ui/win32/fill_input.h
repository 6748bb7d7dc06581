// Filling a phrase's placeholders in at its send: the values asked for
// ({入力:名前}) in one small dialog, the user's clipboard text, the date and
// time, the system's eras.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "output/phrase_fill.h"

enum FillOutcome {
    FILL_AS_IS,      // nothing to fill (no brace, or filling is off): send text
    FILL_DONE,       // *filled holds the text to send
    FILL_CANCELLED,  // the user cancelled the values asked for: send nothing
    FILL_TOO_LONG,   // the filled text passes its bound: send nothing (told)
};

struct FilledText {
    char* bytes;      // FILL_LIMIT + 1 bytes (heap), for FILL_DONE
    long caretBack;   // Left presses after the paste (-1: none)
};

// Fills text in for a send from the phrase window (owner: the window the
// dialog belongs to). userClipboard is the user's own clipboard text at the
// send (null: none). The caller frees filled->bytes (free) in every case.
FillOutcome FillForSend(HWND owner, const char* text, const char* userClipboard, FilledText* filled);

// The user's own clipboard text at a send, before the phrase takes the
// clipboard (as CF_TEXT): the kept content's while an earlier send keeps
// it, else the clipboard's. False when it holds none.
bool UsersClipboardText(HWND owner, std::string* text);

// The dialog asking for values while it is open, else null.
HWND OpenInputDialog();
