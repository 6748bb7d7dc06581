// Opening the clipboard and handing it a text.
#include "output/win32/clipboard.h"

#include <cstring>

const int CLIPBOARD_OPEN_TRIES = 10;    // another program may hold it a moment
const int CLIPBOARD_RETRY_DELAY = 10;   // milliseconds

bool OpenClipboardFor(HWND owner)
{
    for (int i = 0; i < CLIPBOARD_OPEN_TRIES; i++) {
        if (OpenClipboard(owner))
            return true;
        Sleep(CLIPBOARD_RETRY_DELAY);
    }
    return false;
}

int PlaceClipboardText(HWND owner, HGLOBAL block)
{
    if (!OpenClipboardFor(owner)) {
        GlobalFree(block);
        return -1;
    }
    EmptyClipboard();
    bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(block);
        return -1;
    }
    return 0;
}

static HGLOBAL Block(const void* bytes, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    void* to = block ? GlobalLock(block) : nullptr;
    if (!to) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    memcpy(to, bytes, size);
    GlobalUnlock(block);
    return block;
}

HGLOBAL TextBlock(const char* text, size_t size)
{
    return Block(text, size);
}

HGLOBAL UnicodeTextBlock(const char* text, size_t size)
{
    // A phrase is at most 64 KB: its characters fit in as many units.
    int units = size > 0 && size <= 0x7fffffff ? MultiByteToWideChar(TEXT_CODE_PAGE, 0, text, (int)size, nullptr, 0)
                                               : 0;
    if (units <= 0)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, (SIZE_T)units * sizeof(WCHAR));
    WCHAR* to = block ? (WCHAR*)GlobalLock(block) : nullptr;
    if (!to) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    MultiByteToWideChar(TEXT_CODE_PAGE, 0, text, (int)size, to, units);
    to[units - 1] = L'\0';
    GlobalUnlock(block);
    return block;
}

HGLOBAL LocaleBlock()
{
    DWORD locale = TEXT_LOCALE;
    return Block(&locale, sizeof locale);
}

int PlaceClipboardTextFormats(HWND owner, const char* text)
{
    size_t size = strlen(text) + 1;
    const UINT formats[] = {CF_TEXT, CF_UNICODETEXT, CF_LOCALE};
    HGLOBAL blocks[] = {TextBlock(text, size), UnicodeTextBlock(text, size), LocaleBlock()};
    const int count = sizeof formats / sizeof formats[0];
    bool made = blocks[0] && blocks[1] && blocks[2];
    bool opened = made && OpenClipboardFor(owner);
    bool placed = opened;
    if (opened) {
        EmptyClipboard();
        for (int i = 0; i < count && placed; i++) {
            placed = SetClipboardData(formats[i], blocks[i]) != nullptr;
            if (placed)
                blocks[i] = nullptr;  // the clipboard's now
        }
        // Not all of them: none, so that nobody pastes a text half given.
        if (!placed)
            EmptyClipboard();
        CloseClipboard();
    }
    for (HGLOBAL block : blocks)
        if (block)
            GlobalFree(block);
    return placed ? 0 : -1;
}
