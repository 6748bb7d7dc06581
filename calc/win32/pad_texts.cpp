#include "calc/win32/pad_texts.h"

static HWND TextWindow(HWND pad, CalcText which)
{
    if (which == CALC_TEXT_ENTRY)
        return GetDlgItem(pad, IDC_CALC_ENTRY);
    if (which == CALC_TEXT_DISPLAY)
        return GetDlgItem(pad, IDC_CALC_DISPLAY);
    return pad;
}

static void GetPadText(void* context, CalcText which, char* buffer, int size)
{
    buffer[0] = '\0';
    GetWindowTextA(TextWindow((HWND)context, which), buffer, size);
}

static void SetPadText(void* context, CalcText which, const char* text)
{
    SetWindowTextA(TextWindow((HWND)context, which), text);
}

CalcPadTexts PadTexts(HWND pad)
{
    return CalcPadTexts{pad, GetPadText, SetPadText};
}
