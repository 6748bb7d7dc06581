// The calculator engine's texts on a real pad window.
#pragma once

#include <windows.h>

#include "calc/calc_engine.h"

// Controls 1014 and 1013 of pad, and its caption.
CalcPadTexts PadTexts(HWND pad);

// The same three texts read once into memory, for the engine's last steps
// on a pad about to close: its windows are not written again.
struct PadTextCopy {
    char texts[3][CALC_CAPTION_SIZE];  // by CalcText
};
static_assert(CALC_CAPTION_SIZE >= CALC_DISPLAY_SIZE && CALC_CAPTION_SIZE >= CALC_LINE_SIZE,
              "every text fits a copy");
CalcPadTexts CopiedPadTexts(HWND pad, PadTextCopy* copy);
