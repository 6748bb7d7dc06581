// The version dialog.
#pragma once

#include <windows.h>

void ShowAboutDialog(HWND owner);
