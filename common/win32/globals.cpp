#include "common/win32/globals.h"

INT_PTR ShowModalDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param)
{
    g_globals.session.autoHideArmed = 0;
    return DialogBoxParamA(g_globals.app.instance, name, owner, proc, param);
}

int ShowMessageBox(HWND owner, const char* text, UINT type)
{
    g_globals.session.autoHideArmed = 0;
    return MessageBoxA(owner, text, PRODUCT_NAME, type);
}
