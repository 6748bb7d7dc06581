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
