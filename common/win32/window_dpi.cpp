#include "common/win32/window_dpi.h"

#include "shell/display_scale.h"

typedef UINT(WINAPI* GetDpiForWindowProc)(HWND);
typedef BOOL(WINAPI* SystemParametersInfoForDpiProc)(UINT, UINT, void*, UINT, UINT);

// Looked up by name: systems before Windows 10 1607 lack these functions,
// and the program must start there too.
static FARPROC UserFunction(const char* name)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    return user ? GetProcAddress(user, name) : nullptr;
}

static GetDpiForWindowProc DpiForWindowFunction()
{
    static GetDpiForWindowProc function = (GetDpiForWindowProc)(void*)UserFunction("GetDpiForWindow");
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

HFONT CreateViewFontForDpi(int dpi)
{
    static SystemParametersInfoForDpiProc function =
        (SystemParametersInfoForDpiProc)(void*)UserFunction("SystemParametersInfoForDpi");
    LOGFONTW font = {};
    if (!function || !function(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0, (UINT)dpi))
        return nullptr;
    return CreateFontIndirectW(&font);
}
