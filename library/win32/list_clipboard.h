// The list's phrases through the clipboard, and dragged onto a label
// (list_clipboard.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

// Phrases through the clipboard, as a phrase package.
int CopyPhrasesToClipboard(HWND list, int cut);
int PastePhrasesFromClipboard(HWND list);
// Moves (copy 0) or copies the selected phrases into the label of the tree
// item, which is opened. Returns 0, or -1 when nothing or not all was done.
int DropPhrasesOnLabel(HWND tree, HWND list, HTREEITEM label, int copy);
