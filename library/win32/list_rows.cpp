// The phrase list's texts when the list view is virtual (LVS_OWNERDATA):
// they live here, and the control asks for the rows it draws. Filling it
// costs one count, whatever the number of rows, so a label of many
// phrases opens, and many results show, in the same time as a few.
//
// The control keeps only the rows' states (selected, focused); an insert
// or a delete moves the states of the rows after it, as an ordinary list
// view does by itself. A list view that is not virtual (the tests' own)
// keeps its texts itself, and these calls leave it to do so.
#include "library/win32/list_rows.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/sjis.h"

namespace {

const int SEARCH_TYPED_SIZE = 256;  // what the list gathers of the user's keys

struct Row {
    const char* text;
    bool owned;  // a copy of its own, freed with the row
};

// The rows' state, this file's alone.
struct VirtualRows {
    HWND list;               // the virtual list whose rows these are
    std::vector<Row> rows;
    bool countHeld;          // rows added at the end are told with the fill's one count
    bool drawingHeld;        // a fill's counts are drawn once, when it ends
    bool heldQuiet;          // that fill cleared the visible bit (BeginQuiet)
};
VirtualRows s_virtual;

void FreeRow(Row* row)
{
    if (row->owned)
        free((void*)row->text);
}

// Some list views (Wine's) draw their scroll bar, and move and draw their
// header, at once at every count they are told, outside any paint: that
// costs more than a paint of the rows. While the window's visible bit is
// clear they only set them. The bit is cleared by the window's default
// WM_SETREDRAW, past the control's own, so the control still lays itself
// out and sets its scroll bars, and keeps its focus and states; a paint of
// frame and rows afterwards shows it all once.
// Returns whether it cleared the bit (a hidden list is left alone).
bool BeginQuiet(HWND list)
{
    if (!IsWindowVisible(list))
        return false;
    DefWindowProcA(list, WM_SETREDRAW, FALSE, 0);
    return true;
}

// A list view that did not keep its vertical scroll bar while it was not
// drawn (none need do so) is made to lay it out through its own redraw
// switch; the check costs two messages.
void CheckScrollBar(HWND list)
{
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    int page = (int)SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    bool right;
    if (GetWindowLongPtrA(list, GWL_STYLE) & WS_VSCROLL) {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        right = GetScrollInfo(list, SB_VERT, &info) && info.nMax - info.nMin + 1 == count;
    } else {
        right = count <= page;
    }
    if (!right) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    }
}

void EndQuiet(HWND list, bool quiet)
{
    if (!quiet) {
        InvalidateRect(list, nullptr, TRUE);
        return;
    }
    DefWindowProcA(list, WM_SETREDRAW, TRUE, 0);
    // The header is drawn again too: a paint it was due from outside (a
    // dialog closed over it) may have been let go while the bit was clear,
    // and a scroll bar come or gone moves it.
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    if ((GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT)
        CheckScrollBar(list);
}

// Tells the control a new count, drawn once by the next paint (within a
// fill, at its end).
void TellCount(HWND list, size_t count, DWORD flags)
{
    if (s_virtual.drawingHeld && list == s_virtual.list) {
        SendMessageA(list, LVM_SETITEMCOUNT, count, flags);
        return;
    }
    bool quiet = BeginQuiet(list);
    SendMessageA(list, LVM_SETITEMCOUNT, count, flags);
    EndQuiet(list, quiet);
}

void SetCount(HWND list)
{
    // A count that stays (a space typed, no results again) only repaints:
    // the control keeps its states either way.
    if ((size_t)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != s_virtual.rows.size())
        TellCount(list, s_virtual.rows.size(), LVSICF_NOSCROLL);
    else
        InvalidateRect(list, nullptr, TRUE);
}

// The rows from 'from' on that hold a state, each moved by 'by' (the rows
// from 'from' on are shifted; with by < 0 row 'from' itself goes).
void MoveStates(HWND list, int from, int by, int count)
{
    std::vector<int> selected;
    for (int i = from - 1; (i = (int)SendMessageA(list, LVM_GETNEXTITEM, i, MAKELPARAM(LVNI_SELECTED, 0))) >= 0;)
        selected.push_back(i);
    int focused = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, MAKELPARAM(LVNI_FOCUSED, 0));
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    for (int i : selected)
        SendMessageA(list, LVM_SETITEMSTATE, i, (LPARAM)&none);
    if (focused >= from)
        SendMessageA(list, LVM_SETITEMSTATE, focused, (LPARAM)&none);
    SendMessageA(list, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
    LVITEMA state = {};
    for (int i : selected) {
        if (by < 0 && i == from)
            continue;
        state.stateMask = state.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, i + by, (LPARAM)&state);
    }
    if (focused >= from && !(by < 0 && focused == from)) {
        state.stateMask = state.state = LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, focused + by, (LPARAM)&state);
    }
    InvalidateRect(list, nullptr, TRUE);
}

}  // namespace

bool IsVirtualList(HWND list)
{
    return (GetWindowLongPtrA(list, GWL_STYLE) & LVS_OWNERDATA) != 0;
}

const char* VirtualRowText(HWND list, int index)
{
    if (list != s_virtual.list || index < 0 || index >= (int)s_virtual.rows.size())
        return nullptr;
    return s_virtual.rows[index].text;
}

int InsertVirtualRow(HWND list, int index, const char* text)
{
    if (list != s_virtual.list) {
        ClearVirtualRows(list);
        s_virtual.list = list;
    }
    char* copy = (char*)malloc(strlen(text) + 1);
    if (!copy)
        return -1;
    strcpy(copy, text);
    if (index < 0 || index > (int)s_virtual.rows.size())
        index = (int)s_virtual.rows.size();
    s_virtual.rows.insert(s_virtual.rows.begin() + index, Row{copy, true});
    if (index == (int)s_virtual.rows.size() - 1) {
        if (!s_virtual.countHeld)
            SendMessageA(list, LVM_SETITEMCOUNT, s_virtual.rows.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    } else {
        MoveStates(list, index, 1, (int)s_virtual.rows.size());
    }
    return 0;
}

void HoldVirtualCount(HWND list)
{
    if (list != s_virtual.list) {
        ClearVirtualRows(list);
        s_virtual.list = list;
    }
    s_virtual.countHeld = true;
}

void ReleaseVirtualCount(HWND list)
{
    s_virtual.countHeld = false;
    if (list == s_virtual.list)
        SetCount(list);
}

void HoldVirtualDrawing(HWND list)
{
    if (list != s_virtual.list) {
        ClearVirtualRows(list);
        s_virtual.list = list;
    }
    if (s_virtual.drawingHeld)
        return;
    s_virtual.heldQuiet = BeginQuiet(list);
    s_virtual.drawingHeld = true;
}

void ReleaseVirtualDrawing(HWND list)
{
    if (!s_virtual.drawingHeld || list != s_virtual.list) {
        InvalidateRect(list, nullptr, TRUE);
        return;
    }
    s_virtual.drawingHeld = false;
    EndQuiet(list, s_virtual.heldQuiet);
}

int SetVirtualRow(HWND list, int index, const char* text)
{
    if (list != s_virtual.list || index < 0 || index >= (int)s_virtual.rows.size())
        return -1;
    char* copy = (char*)malloc(strlen(text) + 1);
    if (!copy)
        return -1;
    strcpy(copy, text);
    FreeRow(&s_virtual.rows[index]);
    s_virtual.rows[index] = Row{copy, true};
    SendMessageA(list, LVM_REDRAWITEMS, index, index);
    return 0;
}

int DeleteVirtualRow(HWND list, int index)
{
    if (list != s_virtual.list || index < 0 || index >= (int)s_virtual.rows.size())
        return -1;
    FreeRow(&s_virtual.rows[index]);
    s_virtual.rows.erase(s_virtual.rows.begin() + index);
    MoveStates(list, index, -1, (int)s_virtual.rows.size());
    return 0;
}

void ClearVirtualRows(HWND list)
{
    for (Row& row : s_virtual.rows)
        FreeRow(&row);
    s_virtual.rows.clear();
    s_virtual.list = list;
    TellCount(list, 0, 0);
}

int ShowBorrowedRows(HWND list, const char* const* texts, size_t count)
{
    // One count for the control, not an empty list first.
    for (Row& row : s_virtual.rows)
        FreeRow(&row);
    s_virtual.rows.clear();
    s_virtual.list = list;
    try {
        s_virtual.rows.reserve(count);
    } catch (...) {
        return -1;
    }
    for (size_t i = 0; i < count; i++)
        s_virtual.rows.push_back(Row{texts[i], false});
    SetCount(list);
    return 0;
}

// A list view works out its rows' size and its scroll bars at its first
// paint, not when it is told its rows (and some, Wine's, then draw both
// scroll bars twice, on screen). A paint into a memory bitmap does that
// work while nobody waits for it; what it draws there is thrown away.
void LayOutListAhead(HWND list)
{
    HDC screen = GetDC(list);
    if (!screen)
        return;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP pixel = memory ? CreateCompatibleBitmap(screen, 1, 1) : nullptr;
    if (pixel) {
        HGDIOBJ old = SelectObject(memory, pixel);
        SendMessageA(list, WM_PRINTCLIENT, (WPARAM)memory, PRF_CLIENT | PRF_ERASEBKGND);
        SelectObject(memory, old);
        DeleteObject(pixel);
    }
    if (memory)
        DeleteDC(memory);
    ReleaseDC(list, screen);
}

void GiveRowText(NMHDR* header)
{
    HWND list = header->hwndFrom;
    if (header->code == LVN_GETDISPINFOA) {
        LVITEMA* item = &((NMLVDISPINFOA*)header)->item;
        const char* text = VirtualRowText(list, item->iItem);
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0)
            SjisCopy(item->pszText, item->cchTextMax, text ? text : "");
    } else if (header->code == LVN_GETDISPINFOW) {
        LVITEMW* item = &((NMLVDISPINFOW*)header)->item;
        const char* text = VirtualRowText(list, item->iItem);
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
            int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, item->pszText, item->cchTextMax);
            if (n == 0)
                item->pszText[item->cchTextMax - 1] = L'\0';
        }
    }
}

// The row whose text begins with what the user typed into the list, as an
// ordinary list view finds it by itself (letters in either case).
static bool BeginsWith(const char* text, const char* typed)
{
    int n = (int)strlen(typed);
    int length = (int)strnlen(text, n);
    return length == n && CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text, n, typed, n) == CSTR_EQUAL;
}

LRESULT FindTypedRow(NMHDR* header)
{
    HWND list = header->hwndFrom;
    char typed[SEARCH_TYPED_SIZE];
    UINT flags;
    int start;
    if (header->code == LVN_ODFINDITEMA) {
        const NMLVFINDITEMA* find = (const NMLVFINDITEMA*)header;
        if (!find->lvfi.psz)
            return -1;
        SjisCopy(typed, sizeof typed, find->lvfi.psz);
        flags = find->lvfi.flags;
        start = find->iStart;
    } else {
        const NMLVFINDITEMW* find = (const NMLVFINDITEMW*)header;
        if (!find->lvfi.psz || !WideCharToMultiByte(CP_ACP, 0, find->lvfi.psz, -1, typed, sizeof typed, nullptr, nullptr))
            return -1;
        flags = find->lvfi.flags;
        start = find->iStart;
    }
    if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || list != s_virtual.list || s_virtual.rows.empty())
        return -1;
    int count = (int)s_virtual.rows.size();
    if (start < 0 || start >= count)
        start = 0;
    for (int k = 0; k < count; k++) {
        int i = start + k;
        if (i >= count) {
            if (!(flags & LVFI_WRAP))
                break;
            i -= count;
        }
        const char* text = s_virtual.rows[i].text;
        if ((flags & LVFI_PARTIAL) ? BeginsWith(text, typed) : CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text, -1, typed, -1) == CSTR_EQUAL)
            return i;
    }
    return -1;
}
