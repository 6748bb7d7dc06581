// Anchoring the controls of a resizable dialog to its right and bottom
// edges. The distances are measured once, when the dialog starts; each
// control then keeps its distance as the dialog changes size.
#include "ui/win32/anchors.h"

#include <windows.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"

struct AnchorEntry {
    int32_t id;
    int32_t rightMargin;
    int32_t bottomMargin;
};

const int MAX_ANCHORED_CONTROLS = 85;

// Measuring happens only inside InitAnchors, one dialog at a time.
struct AnchorScratch {
    AnchorEntry entries[MAX_ANCHORED_CONTROLS + 1];
    int count;
};
static AnchorScratch s_scratch;

struct MeasureContext {
    HWND dialog;
    RECT client;  // the dialog's client area
};

// The control's rectangle in the dialog's client coordinates.
static RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, dialog, (POINT*)&rc, 2);
    return rc;
}

static BOOL CALLBACK MeasureControl(HWND control, LPARAM param)
{
    const MeasureContext* context = (const MeasureContext*)param;
    // Grandchildren (a combo box's edit field) are not the dialog's controls.
    if (GetParent(control) != context->dialog)
        return TRUE;
    int id = GetDlgCtrlID(control);
    if (id == 0)
        return TRUE;
    if (s_scratch.count >= MAX_ANCHORED_CONTROLS)
        return FALSE;
    // Measured in client coordinates, where they are applied: the frame's
    // width differs between systems and its metric does not always give it.
    RECT rc = ClientRectOf(context->dialog, control);
    AnchorEntry* entry = &s_scratch.entries[s_scratch.count++];
    entry->id = id;
    entry->rightMargin = context->client.right - rc.right;
    entry->bottomMargin = context->client.bottom - rc.bottom;
    return TRUE;
}

static const AnchorEntry* AnchorTableOf(HWND dialog)
{
    return (const AnchorEntry*)GetWindowLongPtrA(dialog, GWLP_USERDATA);
}

void InitAnchors(HWND dialog)
{
    memset(s_scratch.entries, 0, sizeof s_scratch.entries);
    s_scratch.count = 0;
    MeasureContext context = {dialog, {}};
    GetClientRect(dialog, &context.client);
    EnumChildWindows(dialog, MeasureControl, (LPARAM)&context);

    if (GetWindowLongA(dialog, GWL_STYLE) & WS_THICKFRAME) {
        const RECT& client = context.client;
        // Aligned to the lower right corner of the whole client area: where
        // ApplyAnchor puts it later, so it does not move at the first resize.
        CreateWindowExA(0, "ScrollBar", "",
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, 0, 0,
                        client.right, client.bottom, dialog, (HMENU)(INT_PTR)IDC_SIZEGRIP,
                        (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE), nullptr);
    }
    s_scratch.entries[s_scratch.count++] = AnchorEntry{IDC_SIZEGRIP, 1, 1};

    for (int i = 0; i < s_scratch.count; i++) {
        for (int j = i + 1; j < s_scratch.count; j++) {
            if (s_scratch.entries[j].id < s_scratch.entries[i].id) {
                AnchorEntry swap = s_scratch.entries[i];
                s_scratch.entries[i] = s_scratch.entries[j];
                s_scratch.entries[j] = swap;
            }
        }
    }

    AnchorEntry* table = (AnchorEntry*)malloc(s_scratch.count * sizeof(AnchorEntry));
    if (table)
        memcpy(table, s_scratch.entries, s_scratch.count * sizeof(AnchorEntry));
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)table);
}

void ApplyAnchor(HWND dialog, int id, int flags)
{
    const AnchorEntry* table = AnchorTableOf(dialog);
    if (!table)
        return;
    RECT client;
    GetClientRect(dialog, &client);

    if (id == 0) {
        HWND grip = GetDlgItem(dialog, IDC_SIZEGRIP);
        if (grip) {
            RECT rc = ClientRectOf(dialog, grip);
            SetWindowPos(grip, nullptr, client.right - (rc.right - rc.left), client.bottom - (rc.bottom - rc.top), 0,
                         0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        InvalidateRect(dialog, nullptr, TRUE);
        return;
    }

    const AnchorEntry* entry = table;
    while (entry->id < IDC_SIZEGRIP && entry->id != id)
        entry++;
    HWND control = GetDlgItem(dialog, id);
    if (entry->id != id || !control)
        return;

    if (flags & (ANCHOR_MOVE_X | ANCHOR_MOVE_Y)) {
        RECT rc = ClientRectOf(dialog, control);
        int width = rc.right - rc.left;
        int height = rc.bottom - rc.top;
        int left = rc.left;
        int top = rc.top;
        if (flags & ANCHOR_MOVE_X)
            left = client.right - width - entry->rightMargin;
        if (flags & ANCHOR_MOVE_Y)
            top = client.bottom - height - entry->bottomMargin;
        MoveWindow(control, left, top, width, height, FALSE);
    }
    if (flags & (ANCHOR_SIZE_X | ANCHOR_SIZE_Y)) {
        RECT rc = ClientRectOf(dialog, control);
        int width = rc.right - rc.left;
        int height = rc.bottom - rc.top;
        if (flags & ANCHOR_SIZE_X)
            width = client.right - rc.left - entry->rightMargin;
        if (flags & ANCHOR_SIZE_Y)
            height = client.bottom - rc.top - entry->bottomMargin;
        MoveWindow(control, rc.left, rc.top, width, height, FALSE);
    }
}

void FreeAnchors(HWND dialog)
{
    void* table = (void*)SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
    free(table);
}
