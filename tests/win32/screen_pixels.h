// The screen's pixels, read back as the user sees them: shared by the
// Win32 tests and the end-to-end driver.
#pragma once

#include <windows.h>

#include <vector>

// The screen's pixels in rc (screen coordinates), row by row, each as the
// 32-bit value 0x00RRGGBB; empty when they cannot be read.
inline std::vector<DWORD> ScreenPixels(const RECT& rc)
{
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib) {
        HGDIOBJ old = SelectObject(memory, dib);
        if (BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY)) {
            GdiFlush();
            pixels.assign((const DWORD*)bits, (const DWORD*)bits + (size_t)width * height);
        }
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}
