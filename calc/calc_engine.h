// The calculator behind the pad: immediate execution, a memory register, a
// 12-character entry and the collected values. The engine keeps its entry
// in the pad's own texts, which it reaches through CalcPadTexts, so the
// bytes it is tested against are the bytes the pad shows.
#pragma once

#include <cstddef>

#include "calc/calc_keys.h"

const int CALC_LINE_SIZE = 80;       // the entry line and its NUL
const int CALC_TEXT_OFFSET = 29;     // the entry text's place in the line
const int CALC_FULL_WIDTH_MAX = 78;  // bytes of the display's converted number
const int CALC_DISPLAY_SIZE = CALC_TEXT_OFFSET + CALC_FULL_WIDTH_MAX + 1;
const int CALC_CAPTION_SIZE = 256;   // the caption holds at most 255 bytes

enum CalcText { CALC_TEXT_ENTRY, CALC_TEXT_DISPLAY, CALC_TEXT_CAPTION };

// The pad's three texts: the entry line (control 1014), the display
// (control 1013) and the caption holding the collected values.
struct CalcPadTexts {
    void* context;
    // Copies the text into buffer (size bytes, always NUL-terminated).
    void (*get)(void* context, CalcText which, char* buffer, int size);
    void (*set)(void* context, CalcText which, const char* text);
};

// The arithmetic state; one pad, so one state for the process.
struct CalcState {
    double accumulator;   // left operand / running result
    char pendingOperator; // '+', '-', '*', '/', '=' or 0
    bool startNewEntry;   // the next digit, zero or point starts a new entry
    double memory;
    bool recalled;        // MR has just shown the memory; MR again clears it
    size_t bareCaption;   // the caption's bytes as the pad opened, before any value
};

// A key of the pad by its control id (1100-1102, 1104-1129). 0 when done,
// -1 when the key was refused or is no key of the engine.
int CalcPressKey(const CalcPadTexts* pad, int id);

// The pad opens: everything back to 0 (state, memory, entry line and
// display), and the caption as it reads now is taken as the bare one. Its
// length depends on the ANSI code page ("電卓　" is 6 bytes in 932 only).
void CalcAllClear(const CalcPadTexts* pad);

// The Ent key's arithmetic: completes the pending operation, collects the
// result and copies the collected values (the caption after the bare one)
// into text. Returns their length.
size_t CalcFinish(const CalcPadTexts* pad, char* text, size_t size);

// A value as the entry shows it: "%-1.12G", or "%-1.8G" once an exponent
// appears, the exponent always signed with three digits, trailing zeros and
// point removed. buffer needs 32 bytes.
void FormatCalcValue(double value, char* buffer, size_t size);

// The entry text in full-width characters of code page 932, at most
// CALC_FULL_WIDTH_MAX bytes; out needs CALC_FULL_WIDTH_MAX + 1 bytes.
void FullWidthNumber(const char* text, char* out);
