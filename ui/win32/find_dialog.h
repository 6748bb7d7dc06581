// The find dialog; on OK the phrase list shows the matches.
#pragma once

#include <windows.h>

void ShowFindDialog(HWND owner);
