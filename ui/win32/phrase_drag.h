// Dragging phrases inside the list or onto a label of the tree.
#pragma once

#include <windows.h>
#include <commctrl.h>

// 107 (the phrase list) while a phrase drag runs, else 0. The phrase window
// then forwards its mouse and timer messages to OnListNotify.
extern int g_dragOwner;

void BeginPhraseDrag(HWND window, const NMLISTVIEW* info);
LRESULT ContinuePhraseDrag(HWND window, UINT code);
bool PhraseDragRunning();
HTREEITEM HitTestDropLabel(HWND tree);
void UpdateDropFrame(HWND tree, int show);
void DrawDropFrame(HWND tree, const RECT* rect, int highlight);
