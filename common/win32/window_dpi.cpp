#include "common/win32/window_dpi.h"

#include "shell/display_scale.h"

typedef UINT(WINAPI* GetDpiForWindowProc)(HWND);

// Looked up by name: systems before Windows 10 1607 lack the function, and
// the program must start there too.
static GetDpiForWindowProc DpiForWindowFunction()
{
    static GetDpiForWindowProc function;
    static bool looked;
    if (!looked) {
        looked = true;
        HMODULE user = GetModuleHandleA("user32.dll");
        if (user)
            function = (GetDpiForWindowProc)(void*)GetProcAddress(user, "GetDpiForWindow");
    }
    return function;
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return BASE_DPI;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

int WindowDpi(HWND window)
{
    GetDpiForWindowProc function = DpiForWindowFunction();
    UINT dpi = function && window ? function(window) : 0;
    return dpi ? (int)dpi : ScreenDpi();
}

int ScaleForWindow(HWND window, int value)
{
    return ScaleToDpi(value, WindowDpi(window));
}
