// The rows of a virtual phrase list (list_rows.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

// The rows of a virtual list view (LVS_OWNERDATA; list_rows.cpp), whose
// texts live here: the calls above keep them for such a list. Borrowed
// rows point at texts that stay until the list is filled again.
bool IsVirtualList(HWND list);
const char* VirtualRowText(HWND list, int index);  // null: no such row
int InsertVirtualRow(HWND list, int index, const char* text);
// While the count is held, rows added at the end are not told to the
// control one by one: a fill of many rows tells it once, when let go.
// Until then the control knows fewer rows than there are; nothing may
// address the rows beyond its count.
void HoldVirtualCount(HWND list);
void ReleaseVirtualCount(HWND list);
// While the drawing is held, the control is told its counts but draws
// nothing; when let go, frame and rows are drawn once (the redraw switch of
// an ordinary list view, without the drawing of its scroll bar at once).
// The list keeps its focus and states meanwhile.
void HoldVirtualDrawing(HWND list);
void ReleaseVirtualDrawing(HWND list);
int SetVirtualRow(HWND list, int index, const char* text);
int DeleteVirtualRow(HWND list, int index);
void ClearVirtualRows(HWND list);
int ShowBorrowedRows(HWND list, const char* const* texts, size_t count);
// Lays out a list that is not shown yet (its rows' size, its scroll bars)
// as its first paint would, so that its first show only draws it: the list
// paints itself into a memory bitmap of one pixel. Nothing is drawn on
// screen; rows, states, the top row and the columns stay as they are.
void LayOutListAhead(HWND list);
// LVN_GETDISPINFO (A or W) of a virtual list: the row's text.
void GiveRowText(NMHDR* header);
// LVN_ODFINDITEM (A or W): the row that begins with the keys typed into
// the list, or -1.
LRESULT FindTypedRow(NMHDR* header);
