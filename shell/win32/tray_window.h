// The tray window: the invisible controller that owns the tray icon and the
// hot keys, and the stores of the phrase list.
#pragma once

#include <windows.h>

#include "output/win32/text_output.h"

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SetTrayIcon(HWND window, int add);
void CaptureTargetWindow();
void TellPasteWithheld(int why);  // a PasteWithheld: a balloon from the icon
SendTarget ProgramSendTarget();   // where sends go: the last call-up's window, as the settings say
void TogglePhraseWindow();
void ToggleCalculatorPad();
int SavePhrasesOfSelectedLabel();  // 0, or -1 when the file did not take it
int StorePhrasesBeforeLeaving();   // the same, tried again for a few seconds,
                                   // then kept in a recovery file
