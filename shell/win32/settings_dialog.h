// The settings dialog.
#pragma once

#include <windows.h>

void ShowSettingsDialog(HWND owner);
