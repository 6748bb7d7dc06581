// The clipboard. Opening tries a few times: another program may hold it a
// moment.
#pragma once

#include <windows.h>

bool OpenClipboardFor(HWND owner);

// Empties the clipboard and hands it block as CF_TEXT. When that fails the
// block is freed and -1 returned.
int PlaceClipboardText(HWND owner, HGLOBAL block);
