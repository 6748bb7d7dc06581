// Dragging phrases inside the list or onto a label of the tree.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The drag starts from the list's LVN_BEGINDRAG; the phrase window, which
// captures the mouse meanwhile, hands on its mouse and timer messages. Each
// handler does nothing while no drag runs.
void BeginPhraseDrag(HWND window, const NMLISTVIEW* info);
LRESULT OnDragMouseMove();         // 1 while a drag runs, else 0
void OnDragTimer();                // the drop place; scrolls the list at its edges
void OnDragButtonUp(HWND window);  // drops the phrase
void OnDragCancel(HWND window);    // right button: ends the drag, drops nothing
bool PhraseDragRunning();
HTREEITEM HitTestDropLabel(HWND tree);
void UpdateDropFrame(HWND tree, int show);
void DrawDropFrame(HWND tree, const RECT* rect, int highlight);
