// The store of the open label's list (list_store.cpp): when it is written,
// how a failed store is tried again, and the recovery file that keeps the
// edits the file never took.
#pragma once

#include <windows.h>

#include "library/label_tree.h"

// Writes the list as the phrases of the label at path (null: the open
// one). Only an editable list is stored; a list as the file holds it is not
// written again. Returns 0, or -1 when the file did not take it.
int SavePhraseList(HWND list, LabelNode* const* path);
// Stores the open label's list after an edit of it: at once, or (soon) once
// no further edit has come for a second, which gathers repeated moves. A
// failed store is tried again by the next one, and the open label is not
// left until one succeeds (see OnLabelSelectionChanged).
int StorePhraseListNow(HWND list);
void StorePhraseListSoon(HWND list);
// True while the open list holds edits the file has not taken; they are
// tried again for as long as the program runs.
bool ListEditsWait();
// Writes the waiting list into a recovery file beside the library (its name
// into path, PATH_BUFFER_SIZE bytes), for the next start to add. A later
// store of the list removes that file again. Returns 0, or -1 when nothing
// waits or the file cannot be written.
int KeepListInRecoveryFile(HWND list, char* path);
// Gives up the waiting store of the open list (its label is closed):
// no try is left, and nothing is said to wait.
void StopListStore(HWND list);
