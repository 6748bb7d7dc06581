// The calculator pad: a modeless, topmost dialog over the engine.
#pragma once

#include <windows.h>

// Hides the phrase window and opens the pad owned by owner. The pad's
// handle is also kept in g_globals.app.calcPad until the pad is destroyed.
HWND OpenCalculatorPad(HWND owner);
