// The program the end-to-end tests type into: a frame with one multi-line
// edit control that takes the focus. Its title is the command line (default
// "Target editor"), so tests can give it a title the output refuses. With
// FENLOP_TARGET_PASTE_DELAY set (milliseconds) it is a slow target: each
// paste waits that long before it reads the clipboard.
#include <windows.h>

#include <cstdlib>

static const char TARGET_CLASS[] = "FenlopTestTarget";
static const int EDIT_ID = 1;

static WNDPROC s_editProc;
static DWORD s_pasteDelay;

static LRESULT CALLBACK SlowEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PASTE)
        Sleep(s_pasteDelay);
    return CallWindowProcA(s_editProc, hwnd, msg, wParam, lParam);
}

static LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                        ES_WANTRETURN,
                                    0, 0, 0, 0, hwnd, (HMENU)(INT_PTR)EDIT_ID, nullptr, nullptr);
        char delay[16];
        if (edit && GetEnvironmentVariableA("FENLOP_TARGET_PASTE_DELAY", delay, sizeof delay)) {
            s_pasteDelay = (DWORD)atoi(delay);
            s_editProc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)SlowEditProc);
        }
        return 0;
    }
    case WM_SIZE:
        MoveWindow(GetDlgItem(hwnd, EDIT_ID), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(hwnd, EDIT_ID));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = TARGET_CLASS;
    RegisterClassA(&wc);
    const char* title = commandLine && *commandLine ? commandLine : "Target editor";
    HWND frame = CreateWindowExA(0, TARGET_CLASS, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 620, 80, 480, 320, nullptr, nullptr, instance, nullptr);
    if (!frame)
        return 1;
    SetForegroundWindow(frame);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
