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
    void (*closed)();  // the pad is gone (its handle no longer stands)
};

// Opens the pad owned by owner; null when it could not be made.
HWND OpenCalculatorPad(HWND owner, const CalcPadHost& host);
