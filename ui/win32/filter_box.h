// The filter box above the phrase list: its keys, and the list narrowed at
// each change of its text.
#pragma once

#include <windows.h>

// Takes the box's keys (Escape, Enter, Down, Tab) over; once, after the
// box is made.
void StartFilterBox(HWND box);
// EN_CHANGE: the list shows the phrases that hold every word of the text.
void OnFilterBoxChange(HWND box);
// Ctrl+E: the focus to the box, its text selected.
void FocusFilterBox(HWND box);
// Empties the box when the list shows something else than its results now
// (a label opened, a search), without giving back the list.
void ClearFilterBox(HWND box);
