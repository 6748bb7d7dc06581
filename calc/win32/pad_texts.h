// The calculator engine's texts on a real pad window.
#pragma once

#include <windows.h>

#include "calc/calc_engine.h"

// Controls 1014 and 1013 of pad, and its caption.
CalcPadTexts PadTexts(HWND pad);
