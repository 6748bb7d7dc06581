// The phrase window's frame: its children, layout, status bar and commands.
#pragma once

#include <windows.h>

LRESULT CALLBACK PhraseWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The phrase window, hidden, at the stored layout scaled to its display.
HWND CreatePhraseWindow(HINSTANCE instance);
void LayoutChildren(int width, int height);
void StoreWindowLayout();
void MoveSelectedPhrase(int up);
void ShowHelp();
void SetStatusText(const char* format, ...);
void HidePhraseWindow();
// Does the cold work of the first show ahead, while the window is hidden
// and before any call-up can come: once the window is made and filled.
void PrepareFirstShow();
// Shows the hidden window, activated, its frame drawn once.
void ShowPhraseWindow();
void ExitProgram();
