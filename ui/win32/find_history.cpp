// The find dialog's history in its combo box and in the settings record.
#include "ui/win32/find_history.h"

#include <cstring>

#include "common/sjis.h"

// The entry's text when it fits the buffer; false when it cannot be read.
// CB_GETLBTEXT takes no size, so the length is asked first.
static bool ReadEntry(HWND combo, int index, char* text, int size)
{
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length < 0 || length >= size)
        return false;
    return SendMessageA(combo, CB_GETLBTEXT, index, (LPARAM)text) != CB_ERR;
}

void AddHistoryItem(HWND combo, const char* text, int place)
{
    int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    char entry[HISTORY_ENTRY_SIZE];
    for (int i = 0; i < count; i++) {
        if (!ReadEntry(combo, i, entry, sizeof entry))
            continue;
        if (SjisEqualNoCase(entry, text)) {
            SendMessageA(combo, CB_DELETESTRING, i, 0);
            break;
        }
    }
    SendMessageA(combo, CB_INSERTSTRING, place, (LPARAM)text);
}

void LoadHistory(HWND combo, const char* history, int size)
{
    int p = 0;
    while (p < size && history[p] != '\0') {
        const char* text = history + p;
        int length = (int)strnlen(text, size - p);
        if (length == size - p)
            break;  // no NUL inside the block
        p += length + 1;
        if (length >= HISTORY_ENTRY_SIZE)
            continue;  // no search text is this long
        if (SendMessageA(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)text) == CB_ERR)
            AddHistoryItem(combo, text, -1);
    }
}

void StoreHistory(HWND combo, char* history, int size)
{
    memset(history, 0, size);
    int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    int p = 0;
    for (int i = 0; i < count; i++) {
        LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
        if (length == CB_ERR || length < 0 || length > size - p - 2)
            break;
        // An empty text would end the stored history here and hide every
        // entry after it.
        if (length == 0)
            continue;
        // The length may be an upper bound of the text; what is read ends
        // inside the room measured.
        LRESULT got = SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)(history + p));
        if (got == CB_ERR || got < 0 || got > length) {
            memset(history + p, 0, size - p);
            break;
        }
        history[p + got] = '\0';
        if (got > 0)
            p += (int)got + 1;
    }
}
