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

static void GetCopiedText(void* context, CalcText which, char* buffer, int size)
{
    lstrcpynA(buffer, ((PadTextCopy*)context)->texts[which], size);
}

static void SetCopiedText(void* context, CalcText which, const char* text)
{
    lstrcpynA(((PadTextCopy*)context)->texts[which], text, CALC_CAPTION_SIZE);
}

CalcPadTexts CopiedPadTexts(HWND pad, PadTextCopy* copy)
{
    for (int which = CALC_TEXT_ENTRY; which <= CALC_TEXT_CAPTION; which++)
        GetPadText(pad, (CalcText)which, copy->texts[which], CALC_CAPTION_SIZE);
    return CalcPadTexts{copy, GetCopiedText, SetCopiedText};
}
