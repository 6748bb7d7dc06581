// The modal phrase editor.
#pragma once

#include <windows.h>

// index -1 appends a new phrase; 0 or more replaces that row, whose text the
// caller has put first in a phrase package on the clipboard. Returns 0 when
// a text was stored.
int EditPhrase(HWND list, int index);

// The session ends while the editor is open: puts the box's text into the
// list at once, as OK would (nothing for an empty box or an unchanged
// phrase), and ends the editor. The caller stores the list. Returns 0, or -1
// when the text could not all be put in the list.
int CommitOpenEditor();

// The editor's dialog while it is open, else null.
HWND OpenPhraseEditor();
