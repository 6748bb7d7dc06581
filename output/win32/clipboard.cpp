// Opening the clipboard and handing it a text.
#include "output/win32/clipboard.h"

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
