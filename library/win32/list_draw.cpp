// The phrase list's rows, drawn by the program rather than by the list view.
//
// A phrase of several lines is one row, and the list view would draw its
// line breaks as they stand: most fonts draw a CR LF as two boxes. The
// text the list hands out must stay the phrase's own (readers, copies and
// sends take it from there), so only the drawing changes: every row of the
// virtual list is drawn here, the same way, as the list view draws a row
// of one column in report view with no icons. Drawing every row rather
// than only those of several lines keeps the rows alike on every system,
// whatever spacing its list view has.
#include "library/win32/list_draw.h"

#include "common/line_marks.h"
#include "common/win32/window_dpi.h"
#include "library/win32/list_rows.h"

namespace {

// What of a row is drawn: the list view itself shows no more of a label
// (about 260 characters), and a column is never that wide.
const int DRAWN_TEXT_SIZE = 1024;
// The space between the selection's edge and the text, at 96 DPI.
const int TEXT_PADDING = 4;

COLORREF ListColour(HWND list, UINT message, int fallback)
{
    COLORREF colour = (COLORREF)SendMessageA(list, message, 0, 0);
    return (colour == CLR_DEFAULT || colour == CLR_NONE) ? GetSysColor(fallback) : colour;
}

// The colours of a selected row, as the list view gives them: highlighted
// while the list has the focus (or the row is a drop target), greyed while
// the list has not and shows its selection always. False: the row shows as
// any other.
bool SelectionColours(HWND list, int index, COLORREF* text, COLORREF* back)
{
    UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, index, LVIS_SELECTED | LVIS_DROPHILITED);
    if ((state & LVIS_DROPHILITED) || ((state & LVIS_SELECTED) && GetFocus() == list)) {
        *text = GetSysColor(COLOR_HIGHLIGHTTEXT);
        *back = GetSysColor(COLOR_HIGHLIGHT);
        return true;
    }
    if ((state & LVIS_SELECTED) && (GetWindowLongPtrA(list, GWL_STYLE) & LVS_SHOWSELALWAYS)) {
        *text = GetSysColor(COLOR_BTNTEXT);
        *back = GetSysColor(COLOR_BTNFACE);
        return true;
    }
    return false;
}

// Draws row index of list into dc; false when the list has no such row
// (the list view then draws it itself).
bool DrawRow(HWND list, HDC dc, int index)
{
    const char* text = VirtualRowText(list, index);
    if (!text)
        return false;
    RECT label = {};
    label.left = LVIR_LABEL;
    if (!SendMessageA(list, LVM_GETITEMRECT, index, (LPARAM)&label))
        return false;
    char drawn[DRAWN_TEXT_SIZE];
    MarkLineBreaks(text, drawn, sizeof drawn);

    int saved = SaveDC(dc);
    HFONT font = (HFONT)SendMessageA(list, WM_GETFONT, 0, 0);
    if (font)
        SelectObject(dc, font);
    COLORREF textColour = ListColour(list, LVM_GETTEXTCOLOR, COLOR_WINDOWTEXT), selectionColour = 0;
    bool selected = SelectionColours(list, index, &textColour, &selectionColour);

    // The background of the whole label, then the selection as wide as the
    // text (and its padding), as the list view marks a row.
    HBRUSH back = CreateSolidBrush(ListColour(list, LVM_GETBKCOLOR, COLOR_WINDOW));
    FillRect(dc, &label, back);
    DeleteObject(back);
    int padding = ScaleForWindow(list, TEXT_PADDING);
    RECT textRect = label;
    textRect.left += padding;
    textRect.right -= padding;
    RECT measured = textRect;
    DrawTextA(dc, drawn, -1, &measured, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_CALCRECT);
    RECT mark = label;
    mark.right = measured.right + padding;
    if (mark.right > label.right)
        mark.right = label.right;
    if (selected) {
        HBRUSH brush = CreateSolidBrush(selectionColour);
        FillRect(dc, &mark, brush);
        DeleteObject(brush);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    DrawTextA(dc, drawn, -1, &textRect, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS);

    int focusRow = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    bool focusHidden = (SendMessageA(list, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    if (focusRow == index && GetFocus() == list && !focusHidden) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        DrawFocusRect(dc, &mark);
    }
    RestoreDC(dc, saved);
    return true;
}

}  // namespace

LRESULT DrawPhraseListRows(NMLVCUSTOMDRAW* draw)
{
    HWND list = draw->nmcd.hdr.hwndFrom;
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return IsVirtualList(list) ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
        return DrawRow(list, draw->nmcd.hdc, (int)draw->nmcd.dwItemSpec) ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
    }
    return CDRF_DODEFAULT;
}
