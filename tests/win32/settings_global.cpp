// The process-wide record that fenlop.exe's entry file defines; the views
// read its settings, and these tests run them without that file.
#include "common/win32/globals.h"

Globals g_globals;
