// The operations of the shell that its own files call.
#pragma once

#include <windows.h>

#include "common/win32/globals.h"

// tray_window.cpp
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SetTrayIcon(HWND window, int add);
void CaptureTargetWindow();
void TogglePhraseWindow();
void ToggleCalculatorPad();
int SavePhrasesOfSelectedLabel();  // 0, or -1 when the file did not take it
int StorePhrasesBeforeLeaving();   // the same, tried again for a few seconds,
                                   // then kept in a recovery file

// phrase_window.cpp
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
void ExitProgram();

// about_box.cpp
void ShowAboutDialog(HWND owner);

// menu_bar.cpp: the phrase window's menu bar, owner-drawn under visual
// styles on NT 6 and later.
void SetupMenuBar();
void ReleaseMenuBar();
void DrawMenuBarItem(const DRAWITEMSTRUCT* item);
void MeasureMenuBarItem(MEASUREITEMSTRUCT* item);

// settings_store.cpp
int ReadRegistryBinary(const char* keyPath, const char* valueName, void* buffer, DWORD size);
int WriteRegistryBinary(const char* keyPath, const char* valueName, const void* buffer, DWORD size);
void LoadSettings();
int SaveSettings();
int SaveOptions();
void RegisterCallHotKey(HWND window, int id, int value);
void SetHold(HWND window, int value);

// settings_dialog.cpp
void ShowSettingsDialog(HWND owner);
