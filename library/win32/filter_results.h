// The filter box's results in the phrase list (filter_results.cpp).
#pragma once

#include <windows.h>

// The filter box's results (filter_results.cpp): the phrases of the whole
// library that hold every word of text (size bytes, no NUL needed), in any
// kana or width, from copies held in memory and read again when the file's
// stamp changes. The first results keep the list they replace, once the
// open label's edits are stored (a list the file cannot take stays, and -1
// is returned). Returns 0 when the list shows them, 1 when goOn gave the
// query up (the list is as it was), -1 when they cannot be shown. No words
// end the filter as EndFilter with restore does.
struct FilterGoOn;
int ShowFilterResults(HWND list, const char* text, size_t size, const FilterGoOn* goOn);
// Gives back the list the results replaced, with its selection (restore),
// or forgets it (the list shows something else now: a label opened, a
// search).
void EndFilter(HWND list, bool restore);
bool FilterShowing();
// The status bar names the label of the first selected result.
void TellFilterLabel(HWND list);
// Folds the filter's copies of the library ahead, a slice at a time on a
// timer of list, so that the box's first key finds them ready; every
// window goes on answering between the slices. A key that comes first
// finishes the fold itself.
void FoldLibraryAhead(HWND list);
// The bytes the held copies take.
size_t FilterHeldBytes();
