// Label edits from the tree (library_edits.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

// Label edits: each rewrites the phrase file and shows the result.
int NewLabel(HWND tree, int after);
int NewChildLabel(HWND tree);
int CreateLibrary(HWND tree);
// RenameLabel returns 0, -1 (refused or not written) or -2 (another program
// had changed the file: not renamed; the tree is read again and the user told).
int RenameLabel(HWND tree, const TVITEMA* item);
int CutOrCopyLabel(HWND tree, int cut);
int PasteLabel(HWND tree, int after);
int PasteChildLabel(HWND tree);
