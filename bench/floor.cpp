// The floor under the frame figures: the least a program can do for what
// they time, run by the figures program in fenlop.exe's place. On the
// phrase hot key it shows an already-made window with a list view and
// focuses the list; on the calculator hot key it makes the pad's dialog
// from fenlop's own template and focuses its display; Enter on the pad puts
// the digits typed on the clipboard, activates the target, answers for
// 100 ms as fenlop does and sends Ctrl+V. Nothing is read, checked or
// kept. Its classes and control ids are fenlop's, so the figures find it
// as they find fenlop.
//
// With --list it prints the floor of the list view instead (ListFigures):
// run it as run-e2e.sh PREFIX fenlop_floor.exe --list.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/resource.h"

namespace {

const int PHRASE_HOTKEY_ID = 2001;
const int CALC_HOTKEY_ID = 2002;
const DWORD PAUSE_MS = 100;
const char WINDOW_CLASS[] = "Fenlop";

// The floor's windows, made once (the pad at each call-up).
struct Floor {
    HINSTANCE instance;
    HWND tray, window, list, pad;
    HWND target;  // the focus window of the last call-up
};
Floor s_floor;

void CaptureTarget()
{
    DWORD own = GetCurrentThreadId();
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (foreground && foreground != own && AttachThreadInput(foreground, own, TRUE)) {
        s_floor.target = GetFocus();
        AttachThreadInput(foreground, own, FALSE);
    }
}

// Answers what other threads send, for ms.
void Pause(DWORD ms)
{
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < ms; elapsed = GetTickCount() - start) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

void Send(const char* text)
{
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    if (!OpenClipboard(s_floor.tray)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    HWND target = s_floor.target;
    SetForegroundWindow(GetAncestor(target, GA_ROOT));
    DWORD own = GetCurrentThreadId();
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    bool attached = thread && thread != own && AttachThreadInput(own, thread, TRUE);
    SetFocus(target);
    if (attached)
        AttachThreadInput(own, thread, FALSE);
    Pause(PAUSE_MS);
    keybd_event(VK_CONTROL, 0, 0, 0);
    keybd_event('V', 0, 0, 0);
    keybd_event('V', 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
}

// The pad's keys: digits into its entry line, Enter sends them, Escape
// closes it. True when the key was the pad's.
bool PadKey(const MSG& msg)
{
    HWND pad = s_floor.pad;
    if (!pad || msg.message != WM_KEYDOWN || (msg.hwnd != pad && !IsChild(pad, msg.hwnd)))
        return false;
    HWND entry = GetDlgItem(pad, IDC_CALC_ENTRY);
    char line[64];
    int n = GetWindowTextA(entry, line, sizeof line);
    if (msg.wParam >= '0' && msg.wParam <= '9' && n + 1 < (int)sizeof line) {
        line[n] = (char)msg.wParam;
        line[n + 1] = '\0';
        SetWindowTextA(entry, line);
    } else if (msg.wParam == VK_RETURN) {
        Send(line + 2);
        DestroyWindow(pad);
    } else if (msg.wParam == VK_ESCAPE) {
        DestroyWindow(pad);
    }
    return true;
}

void DrawKey(const DRAWITEMSTRUCT* item)
{
    RECT rc = item->rcItem;
    DrawFrameControl(item->hDC, &rc, DFC_BUTTON, DFCS_BUTTONPUSH);
    SetBkMode(item->hDC, TRANSPARENT);
    char caption[80] = "";
    GetWindowTextA(item->hwndItem, caption, sizeof caption);
    DrawTextA(item->hDC, caption[0] ? caption + 2 : caption, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

INT_PTR CALLBACK PadProc(HWND pad, UINT msg, WPARAM, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetDlgItemTextA(pad, IDC_CALC_ENTRY, "  ");
        SetDlgItemTextA(pad, IDC_CALC_DISPLAY, "0");
        ShowWindow(pad, SW_SHOWNORMAL);
        SetFocus(GetDlgItem(pad, IDC_CALC_DISPLAY));
        return FALSE;
    case WM_DRAWITEM: DrawKey((const DRAWITEMSTRUCT*)lParam); return TRUE;
    case WM_DESTROY: s_floor.pad = nullptr; return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_HOTKEY && wParam == PHRASE_HOTKEY_ID) {
        if (IsWindowVisible(s_floor.window)) {
            ShowWindow(s_floor.window, SW_HIDE);
            return 0;
        }
        CaptureTarget();
        ShowWindow(s_floor.window, SW_SHOWNORMAL);
        SetForegroundWindow(s_floor.window);
        SetFocus(s_floor.list);
        return 0;
    }
    if (msg == WM_HOTKEY && wParam == CALC_HOTKEY_ID) {
        if (s_floor.pad) {
            DestroyWindow(s_floor.pad);
            return 0;
        }
        CaptureTarget();
        s_floor.pad = CreateDialogParamA(s_floor.instance, "IDD_CALC", hwnd, PadProc, 0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NOTIFY: {
        const NMLVKEYDOWN* key = (const NMLVKEYDOWN*)lParam;
        if (key->hdr.idFrom == IDC_LIST && key->hdr.code == LVN_KEYDOWN && key->wVKey == VK_ESCAPE)
            ShowWindow(hwnd, SW_HIDE);
        return 0;
    }
    case WM_SIZE: MoveWindow(s_floor.list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE); return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_EXIT)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}


// --list: Wine's list view alone, a virtual report list as the phrase list
// is, told a new count of rows (from a label's 20) and painted, each way of
// telling it timed step by step. Printed, never judged.
struct ListBench {
    HWND window, list;
    int dispInfo, cacheHints;  // notifications during the change timed
    bool customDraw;           // the rows drawn as the phrase list draws them
    LONG_PTR bars;             // the scroll bars when the drawing stopped
};
ListBench s_bench;

double Ms()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / f.QuadPart;
}

LRESULT CALLBACK BenchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY) {
        NMHDR* h = (NMHDR*)lParam;
        if (h->code == LVN_GETDISPINFOA) {
            LVITEMA* item = &((NMLVDISPINFOA*)h)->item;
            s_bench.dispInfo++;
            if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 8)
                snprintf(item->pszText, item->cchTextMax, "会議の資料 %d", item->iItem);
            return 0;
        }
        if (h->code == LVN_ODCACHEHINT) {
            s_bench.cacheHints++;
            return 0;
        }
        if (h->code == NM_CUSTOMDRAW && s_bench.customDraw) {
            NMLVCUSTOMDRAW* d = (NMLVCUSTOMDRAW*)h;
            if (d->nmcd.dwDrawStage == CDDS_PREPAINT)
                return CDRF_NOTIFYITEMDRAW;
            if (d->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                RECT rc = {};
                rc.left = LVIR_LABEL;
                SendMessageA(h->hwndFrom, LVM_GETITEMRECT, d->nmcd.dwItemSpec, (LPARAM)&rc);
                char text[64];
                int n = snprintf(text, sizeof text, "会議の資料 %d", (int)d->nmcd.dwItemSpec);
                FillRect(d->nmcd.hdc, &rc, (HBRUSH)(COLOR_WINDOW + 1));
                DrawTextA(d->nmcd.hdc, text, n, &rc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
                return CDRF_SKIPDEFAULT;
            }
        }
        return 0;
    }
    if (msg == WM_SIZE) {
        MoveWindow(s_bench.list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void MakeBenchList(DWORD style)
{
    if (s_bench.list)
        DestroyWindow(s_bench.list);
    RECT rc;
    GetClientRect(s_bench.window, &rc);
    s_bench.list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | style, 0, 0,
                                   rc.right, rc.bottom, s_bench.window, (HMENU)(INT_PTR)IDC_LIST, s_floor.instance,
                                   nullptr);
}

// The ways of telling the list its new count, as step lists.
enum Step {
    REDRAW_OFF, REDRAW_ON, COUNT_ZERO, COUNT_PLAIN, COUNT_NOSCROLL, COUNT_QUIET, INVALIDATE, SELECT_FIRST,
    DESELECT_ALL, HIDE, SHOW, COUNT_PAGE, QUIET_OFF, QUIET_ON, QUIET_ON_ROWS, PAINT, STEP_END
};
const char* const STEP_NAMES[] = {"redraw off", "redraw on", "count 0", "count", "count NOSCROLL",
                                  "count NOSCROLL|NOINVALIDATEALL", "invalidate", "select row 0",
                                  "deselect all (-1)", "hide", "show", "count: a page",
                                  "not drawn (DefWindowProc redraw off)", "drawn again (frame and rows)",
                                  "drawn again (the header only if the bars changed)", "paint"};

struct Way {
    const char* name;
    DWORD style;
    Step steps[12];
};
const Way WAYS[] = {
    {"as the find dialog (redraw off, 0, N, redraw on, row 0)", 0,
     {REDRAW_OFF, COUNT_ZERO, INVALIDATE, COUNT_NOSCROLL, INVALIDATE, REDRAW_ON, INVALIDATE, SELECT_FIRST, PAINT,
      STEP_END}},
    {"as the filter (N, row 0)", 0, {COUNT_NOSCROLL, INVALIDATE, SELECT_FIRST, PAINT, STEP_END}},
    {"as the filter, then Enter (all deselected, row 0)", 0,
     {COUNT_NOSCROLL, INVALIDATE, SELECT_FIRST, PAINT, DESELECT_ALL, SELECT_FIRST, PAINT, STEP_END}},
    {"count alone", 0, {COUNT_PLAIN, PAINT, STEP_END}},
    {"count NOSCROLL|NOINVALIDATEALL, invalidate", 0, {COUNT_QUIET, INVALIDATE, PAINT, STEP_END}},
    {"redraw off, count, redraw on", 0, {REDRAW_OFF, COUNT_NOSCROLL, REDRAW_ON, INVALIDATE, PAINT, STEP_END}},
    {"hidden, count, shown", 0, {HIDE, COUNT_NOSCROLL, SHOW, PAINT, STEP_END}},
    {"not drawn while counted (DefWindowProc), row 0", 0,
     {QUIET_OFF, COUNT_NOSCROLL, SELECT_FIRST, QUIET_ON, PAINT, STEP_END}},
    {"not drawn while counted, the header left (as fenlop)", 0,
     {QUIET_OFF, COUNT_NOSCROLL, SELECT_FIRST, QUIET_ON_ROWS, PAINT, STEP_END}},
    {"LVS_NOSCROLL, count", LVS_NOSCROLL, {COUNT_NOSCROLL, INVALIDATE, PAINT, STEP_END}},
    {"a page first, painted, then N", 0, {COUNT_PAGE, INVALIDATE, PAINT, COUNT_QUIET, PAINT, STEP_END}},
};

void RunStep(Step step, int rows)
{
    HWND list = s_bench.list;
    LVITEMA state = {};
    switch (step) {
    case REDRAW_OFF: SendMessageA(list, WM_SETREDRAW, FALSE, 0); break;
    case REDRAW_ON: SendMessageA(list, WM_SETREDRAW, TRUE, 0); break;
    case COUNT_ZERO: SendMessageA(list, LVM_SETITEMCOUNT, 0, 0); break;
    case COUNT_PLAIN: SendMessageA(list, LVM_SETITEMCOUNT, rows, 0); break;
    case COUNT_NOSCROLL: SendMessageA(list, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL); break;
    case COUNT_QUIET: SendMessageA(list, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL); break;
    case COUNT_PAGE: SendMessageA(list, LVM_SETITEMCOUNT, 40, LVSICF_NOSCROLL); break;
    case INVALIDATE: InvalidateRect(list, nullptr, TRUE); break;
    case SELECT_FIRST:
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&state);
        break;
    case DESELECT_ALL:
        state.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
        break;
    case HIDE: ShowWindow(list, SW_HIDE); break;
    case SHOW: ShowWindow(list, SW_SHOWNA); break;
    case QUIET_OFF:
        s_bench.bars = GetWindowLongPtrA(list, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL);
        DefWindowProcA(list, WM_SETREDRAW, FALSE, 0);
        break;
    case QUIET_ON:
        DefWindowProcA(list, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        break;
    case QUIET_ON_ROWS: {
        // The header too when a scroll bar came or went.
        DefWindowProcA(list, WM_SETREDRAW, TRUE, 0);
        bool bars = (GetWindowLongPtrA(list, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL)) != s_bench.bars;
        RedrawWindow(list, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (bars ? RDW_ALLCHILDREN : RDW_NOCHILDREN));
        break;
    }
    case PAINT: UpdateWindow(list); break;
    case STEP_END: break;
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Least(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Back to rows rows (a label's, or a search's), row 0 selected, painted,
// and the queue empty.
void ToCount(int rows)
{
    SendMessageA(s_bench.list, LVM_SETITEMCOUNT, rows, 0);
    RunStep(SELECT_FIRST, rows);
    UpdateWindow(s_bench.list);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

void MakeBenchColumn()
{
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 460;
    column.pszText = (char*)"定型文書";
    SendMessageA(s_bench.list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    SetFocus(s_bench.list);
}

// Every way in turn within each run, so that the machine's load falls on
// all alike; the least and the median of the runs.
void ListFigures()
{
    s_bench.window = CreateWindowExA(0, "FLPBench", "FLPBench", WS_OVERLAPPEDWINDOW, 50, 50, 520, 420, nullptr,
                                     nullptr, s_floor.instance, nullptr);
    ShowWindow(s_bench.window, SW_SHOWNORMAL);
    SetForegroundWindow(s_bench.window);
    const int RUNS = 15;
    const int WAY_COUNT = sizeof WAYS / sizeof WAYS[0];
    // From a label's 20 rows (the scroll bar comes) and from 5,000 (it stays).
    const int FROM[] = {20, 5000};
    const int COUNTS[] = {9082, 31270};
    struct Cell {
        std::vector<double> total, steps[12];
        int dispInfo, hints;
    };
    for (int drawn = strstr(GetCommandLineA(), "--list-drawn") ? 1 : 0; drawn < 2; drawn++) {
        s_bench.customDraw = drawn != 0;
        std::vector<Cell> cells(WAY_COUNT * 4);
        for (int run = 0; run < RUNS; run++) {
            for (int w = 0; w < WAY_COUNT; w++) {
                const Way& way = WAYS[w];
                MakeBenchList(way.style);
                MakeBenchColumn();
                for (int f = 0; f < 2; f++)
                    for (int c = 0; c < 2; c++) {
                        Cell& cell = cells[w * 4 + f * 2 + c];
                        ToCount(FROM[f]);
                        s_bench.dispInfo = s_bench.cacheHints = 0;
                        double start = Ms();
                        for (int k = 0; way.steps[k] != STEP_END; k++) {
                            double t = Ms();
                            RunStep(way.steps[k], COUNTS[c]);
                            cell.steps[k].push_back(Ms() - t);
                        }
                        cell.total.push_back(Ms() - start);
                        cell.dispInfo = s_bench.dispInfo;
                        cell.hints = s_bench.cacheHints;
                    }
            }
        }
        printf("%s; least / median of %d runs\n",
               drawn ? "rows drawn by the program (custom draw)" : "rows drawn by the list view", RUNS);
        for (int w = 0; w < WAY_COUNT; w++)
            for (int f = 0; f < 2; f++)
                for (int c = 0; c < 2; c++) {
                    const Way& way = WAYS[w];
                    Cell& cell = cells[w * 4 + f * 2 + c];
                    printf("  %-52s %5d -> %5d: %6.2f / %6.2f ms (%d GETDISPINFO, %d ODCACHEHINT):", way.name,
                           FROM[f], COUNTS[c], Least(cell.total), Median(cell.total), cell.dispInfo, cell.hints);
                    for (int k = 0; way.steps[k] != STEP_END; k++)
                        printf(" %s %.2f/%.2f;", STEP_NAMES[way.steps[k]], Least(cell.steps[k]),
                               Median(cell.steps[k]));
                    printf("\n");
                }
        fflush(stdout);
    }
    DestroyWindow(s_bench.window);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    InitCommonControls();
    s_floor.instance = instance;
    WNDCLASSA wc = {};
    if (strstr(commandLine, "--list")) {
        wc.lpfnWndProc = BenchProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "FLPBench";
        RegisterClassA(&wc);
        ListFigures();
        return 0;
    }
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = WINDOW_CLASS;
    RegisterClassA(&wc);
    wc.lpfnWndProc = TrayProc;
    wc.lpszClassName = "FLPTray";
    RegisterClassA(&wc);
    s_floor.window = CreateWindowExA(0, WINDOW_CLASS, WINDOW_CLASS, WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                                     nullptr, nullptr, instance, nullptr);
    s_floor.list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT,
                                   0, 0, 400, 300, s_floor.window, (HMENU)(INT_PTR)IDC_LIST, instance, nullptr);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 360;
    SendMessageA(s_floor.list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    for (int i = 0; i < 10; i++) {
        char text[] = "phrase 0";
        text[7] = (char)('0' + i);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = text;
        SendMessageA(s_floor.list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
    s_floor.tray = CreateWindowExA(0, "FLPTray", "FLPTray", WS_POPUPWINDOW, 0, 0, 1, 1, s_floor.window, nullptr,
                                   instance, nullptr);
    RegisterHotKey(s_floor.tray, PHRASE_HOTKEY_ID, MOD_CONTROL | MOD_ALT, 'P');
    RegisterHotKey(s_floor.tray, CALC_HOTKEY_ID, MOD_CONTROL | MOD_ALT, 'C');
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (PadKey(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
