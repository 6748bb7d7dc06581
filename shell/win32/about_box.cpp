// The about box.
#include "shell/win32/about_box.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>

static INT_PTR OnClose(HWND dialog)
{
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR OnCommand(HWND dialog, int id)
{
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_CLOSE: return OnClose(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    }
    return FALSE;
}

void ShowAboutDialog(HWND owner)
{
    ShowModalDialog("IDD_ABOUT", owner, AboutDialogProc, 0);
}
