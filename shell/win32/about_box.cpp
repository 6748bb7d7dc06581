// The about box.
#include "shell/win32/about_box.h"
#include "common/win32/globals.h"

#include <windows.h>

static INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void ShowAboutDialog(HWND owner)
{
    ShowModalDialog("IDD_ABOUT", owner, AboutDialogProc, 0);
}
