// The clipboard. Opening tries a few times: another program may hold it a
// moment.
#pragma once

#include <windows.h>

bool OpenClipboardFor(HWND owner);

// Empties the clipboard and hands it block as CF_TEXT. When that fails the
// block is freed and -1 returned.
int PlaceClipboardText(HWND owner, HGLOBAL block);

// Texts are Shift-JIS; Unicode programs get them converted from that code
// page, and the clipboard is told the locale, whatever keyboard layout the
// sending thread has (the system would take its locale from that).
const UINT TEXT_CODE_PAGE = 932;
const DWORD TEXT_LOCALE = 0x0411;

// Blocks for the clipboard: the text of size bytes (its NUL included) as
// CF_TEXT, the same converted for CF_UNICODETEXT, and TEXT_LOCALE for
// CF_LOCALE. Null when memory ran out.
HGLOBAL TextBlock(const char* text, size_t size);
HGLOBAL UnicodeTextBlock(const char* text, size_t size);
HGLOBAL LocaleBlock();

// Empties the clipboard and hands it text as CF_TEXT, CF_UNICODETEXT and
// CF_LOCALE. 0, or -1 when memory ran out or the clipboard would not take
// them (it is then left as it was, or empty).
int PlaceClipboardTextFormats(HWND owner, const char* text);
