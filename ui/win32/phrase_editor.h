// The modal phrase editor.
#pragma once

#include <windows.h>

// index -1 appends a new phrase; 0 or more replaces that row, whose text the
// caller has put first in a phrase package on the clipboard. Returns 0 when
// a text was stored.
int EditPhrase(HWND list, int index);
