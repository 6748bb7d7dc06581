// The display scale a window is drawn at. Every length the program sets in
// pixels is a length at 96 DPI, scaled here to the window's display.
#pragma once

#include <windows.h>

// The DPI of the window's display: the window's own where the system keeps
// one per window (Windows 10 1607 and later, Wine), else the screen's.
int WindowDpi(HWND window);
// The screen's DPI, for what is placed before its window exists.
int ScreenDpi();
// A length at 96 DPI in pixels at the window's DPI.
int ScaleForWindow(HWND window, int value);
// The font the system gives lists and trees (the icon title font), made for
// dpi; null where the system has no metrics for another DPI than its own
// (before Windows 10 1607). The caller deletes it.
HFONT CreateViewFontForDpi(int dpi);
