// The floor under the frame figures: the least a program can do for what
// they time, run by the figures program in fenlop.exe's place. On the
// phrase hot key it shows an already-made window with a list view and
// focuses the list; on the calculator hot key it makes the pad's dialog
// from fenlop's own template and focuses its display; Enter on the pad puts
// the digits typed on the clipboard, activates the target, answers for
// 100 ms as fenlop does and sends Ctrl+V. Nothing is read, checked or
// kept. Its classes and control ids are fenlop's, so the figures find it
// as they find fenlop.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    s_floor.instance = instance;
    WNDCLASSA wc = {};
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
