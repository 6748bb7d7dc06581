// The find dialog and its history.
#include "ui/ui.h"

void ShowFindDialog(HWND) {}
