// Dragging phrases inside the list or onto a label of the tree.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the interaction: the frame hands it its mouse and timer messages
// during a drag.
#include "ui/win32/phrase_drag.h"

#include <windows.h>
#include <cstdlib>
#include <cstring>

#include "common/win32/window_dpi.h"
#include "common/win32/window_messages.h"
#include "library/phrase_token.h"
#include "library/win32/list_clipboard.h"
#include "library/win32/list_store.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"
#include "ui/win32/phrase_window_host.h"

static const UINT DRAG_PERIOD_MS = 100;

struct DragState {
    int owner;             // IDC_LIST while a drag of the list runs, else 0
    HIMAGELIST dragImage;  // not null exactly while a drag runs
    int dragIndex;         // the row the drag began on
    char* dragText;        // its text, PHRASE_BUFFER_SIZE bytes
    int dropIndex;         // row under the cursor at the last tick, -1: none
    HTREEITEM dropLabel;   // label text under the cursor at the last tick
    int itemCount;         // rows when the drag began
    int pageCount;         // rows per page when the drag began
    RECT dropFrame;        // last frame drawn (tree client), zero: none
};

static DragState s_drag;

bool PhraseDragRunning()
{
    return s_drag.dragImage != nullptr;
}

static POINT CursorIn(HWND window)
{
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(window, &pt);
    return pt;
}

static bool CtrlDown()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void BeginPhraseDrag(HWND window, const NMLISTVIEW* info)
{
    HWND list = Host().phraseList;
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) <= 0 || s_drag.dragImage)
        return;
    char* text = (char*)calloc(PHRASE_BUFFER_SIZE, 1);
    if (!text)
        return;
    POINT corner = {};
    HIMAGELIST image = (HIMAGELIST)SendMessageA(list, LVM_CREATEDRAGIMAGE, info->iItem, (LPARAM)&corner);
    if (!image) {
        free(text);
        return;
    }
    s_drag.dragText = text;
    s_drag.dragIndex = info->iItem;
    GetPhraseText(list, info->iItem, text, PHRASE_BUFFER_SIZE);
    s_drag.dragImage = image;
    s_drag.dropIndex = -1;
    s_drag.dropLabel = nullptr;
    ImageList_BeginDrag(image, 0, info->ptAction.x - corner.x, info->ptAction.y - corner.y);
    ImageList_DragEnter(list, info->ptAction.x, info->ptAction.y);
    SetCapture(window);
    SetTimer(window, IDT_DRAG, DRAG_PERIOD_MS, nullptr);
    s_drag.itemCount = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    s_drag.pageCount = (int)SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    s_drag.owner = IDC_LIST;
}

HTREEITEM HitTestDropLabel(HWND tree)
{
    TVHITTESTINFO hit = {};
    hit.pt = CursorIn(tree);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_HITTEST, 0, (LPARAM)&hit);
    return (hit.flags & TVHT_ONITEMLABEL) ? item : nullptr;
}

void DrawDropFrame(HWND tree, const RECT* rect, int highlight)
{
    if (rect->left == 0 || rect->right == 0)
        return;
    // One pixel at 96 DPI, kept inside the label's rectangle at any scale.
    HPEN pen = CreatePen(PS_INSIDEFRAME, ScaleForWindow(tree, 1),
                         GetSysColor(highlight ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (!pen)
        return;
    HDC dc = GetDC(tree);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    ReleaseDC(tree, dc);
    DeleteObject(pen);
}

void UpdateDropFrame(HWND tree, int show)
{
    HTREEITEM item = show ? HitTestDropLabel(tree) : nullptr;
    if (item) {
        // TVM_GETITEMRECT takes the item in the rectangle's place.
        RECT rc = {};
        memcpy(&rc, &item, sizeof item);
        if (!SendMessageA(tree, TVM_GETITEMRECT, TRUE, (LPARAM)&rc))
            return;
        if (EqualRect(&rc, &s_drag.dropFrame))
            return;
        DrawDropFrame(tree, &s_drag.dropFrame, 0);
        DrawDropFrame(tree, &rc, 1);
        s_drag.dropFrame = rc;
        return;
    }
    DrawDropFrame(tree, &s_drag.dropFrame, 0);
    SetRectEmpty(&s_drag.dropFrame);
}

static void OnDragTick()
{
    HWND list = Host().phraseList;
    s_drag.dropLabel = HitTestDropLabel(Host().labelTree);
    if (s_drag.dropLabel)
        return;
    LVHITTESTINFO hit = {};
    hit.pt = CursorIn(list);
    s_drag.dropIndex = (int)SendMessageA(list, LVM_HITTEST, 0, (LPARAM)&hit);
    if (s_drag.dropIndex != -1)
        return;
    int top = (int)SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    int show;
    if (hit.flags & LVHT_ABOVE) {
        if (top <= 0)
            return;
        show = top - 1;
    } else if (hit.flags & LVHT_BELOW) {
        show = top + s_drag.pageCount;
        if (show >= s_drag.itemCount)
            return;
    } else {
        return;
    }
    ImageList_DragShowNolock(FALSE);
    // Wholly visible: the row below the page is often partly visible already,
    // and allowing that would stop the scroll there.
    SendMessageA(list, LVM_ENSUREVISIBLE, show, FALSE);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    ImageList_DragShowNolock(TRUE);
}

static void EndPhraseDrag(HWND window, bool drop)
{
    HWND list = Host().phraseList;
    UpdateDropFrame(Host().labelTree, 0);
    ImageList_DragLeave(list);
    ImageList_EndDrag();
    ImageList_Destroy(s_drag.dragImage);
    s_drag.dragImage = nullptr;
    ReleaseCapture();
    KillTimer(window, IDT_DRAG);
    InvalidateRect(list, nullptr, TRUE);
    if (drop) {
        bool copy = CtrlDown();
        if (s_drag.dropLabel) {
            DropPhrasesOnLabel(Host().labelTree, list, s_drag.dropLabel, copy ? 1 : 0);
        } else if (IsPhraseListEditable()) {
            if (!copy)
                DeletePhrase(list, s_drag.dragIndex);
            InsertPhrase(list, s_drag.dropIndex, s_drag.dragText);
            StorePhraseListNow(list);
        }
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
    }
    free(s_drag.dragText);
    s_drag.dragText = nullptr;
    s_drag.owner = 0;
}

static bool Dragging()
{
    return s_drag.owner == IDC_LIST && PhraseDragRunning();
}

LRESULT OnDragMouseMove()
{
    if (!Dragging())
        return 0;
    SetCursor(LoadCursorA(Host().instance, CtrlDown() ? "CUR_COPY" : "CUR_MOVE"));
    POINT pt = CursorIn(Host().phraseList);
    ImageList_DragMove(pt.x, pt.y);
    UpdateDropFrame(Host().labelTree, 1);
    return 1;
}

void OnDragTimer()
{
    if (Dragging())
        OnDragTick();
}

void OnDragButtonUp(HWND window)
{
    if (Dragging())
        EndPhraseDrag(window, true);
}

void OnDragCancel(HWND window)
{
    if (Dragging())
        EndPhraseDrag(window, false);
}
