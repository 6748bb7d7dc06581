// The find dialog's history of search texts in its combo box, and its
// stored form: NUL-terminated texts one after another, newest first, ended
// by an empty text.
#pragma once

#include <windows.h>

// Longest history entry and its NUL (the search text's size).
const int HISTORY_ENTRY_SIZE = 80;

// Removes the first entry equal to text without regard to ASCII letter case,
// then inserts text at place (0: the top, -1: the end).
void AddHistoryItem(HWND combo, const char* text, int place);

// Fills the combo box's list from the first size bytes of a stored block,
// up to its first empty text. A text that an entry loaded before begins
// with is left out. The block may come from outside: nothing past size is
// read, and a text that is too long or not terminated inside it is not
// taken.
void LoadHistory(HWND combo, const char* history, int size);

// Writes the combo box's entries, from the top, into the block (zeroed
// first) as long as each fits with its NUL and the final empty text.
void StoreHistory(HWND combo, char* history, int size);
