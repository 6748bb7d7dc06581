// The calculator pad: a modeless, topmost dialog over the engine.
#pragma once

#include <windows.h>

// What the pad needs of the program around it, given when it opens: the
// pad drives no window of the shell itself.
struct CalcPadHost {
    HINSTANCE instance;
    HWND anchor;  // the phrase window: the pad opens where it stands, and moves it along
    // Ent: the values typed into the target, as the program's settings say.
    void (*typeValues)(HWND pad, const char* values);
    void (*closed)();  // the pad is closed (hidden, or destroyed with its owner)
};

// Makes the pad's dialog, hidden, owned by owner, if it is not made yet
// (ahead of its first call-up); null when it could not be made.
HWND MakeCalculatorPad(HINSTANCE instance, HWND owner);

// Shows the pad for a call-up, made first if need be, as a new pad would
// show: all clear, the bare caption, where the anchor stands, the focus on
// the display. Null when it could not be made.
HWND OpenCalculatorPad(HWND owner, const CalcPadHost& host);

// Hides an open pad; its host's closed is called.
void CloseCalculatorPad();
