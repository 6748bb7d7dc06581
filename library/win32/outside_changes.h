// The phrase file changed by another program while the views show it
// (outside_changes.cpp).
#pragma once

#include <windows.h>

#include "library/phrase_rewrite.h"

// Another program may change the phrase file at any time. True when the file
// is still the one the views last read or wrote.
bool LibraryFileUnchanged();
// Takes the file as it is now as the one the views hold.
void RecordLibraryFile();
// Runs a rewrite for the views (RewritePhraseFile); on success the file it
// wrote is the one the views hold, stamped before its rename, so that
// another program's change right after it is still seen as a change. A cut
// or a copy makes the clip file this run's.
int RewriteLibrary(const RewriteRequest* request, char* followPath = nullptr, char* newName = nullptr,
                   LibraryError* error = nullptr);
// Removes the clip file when this run wrote it and it is still as written:
// a clip file that another program (flp, a second fenlop) wrote holds a
// label that was cut there, and stays.
void RemoveOwnClipFile();
// The views hold the file that the latest RewriteLibrary wrote.
void RecordWrittenFile();
// The writers' lock of the phrase file, held across a check of the file and
// the rewrite that follows it so that no other writer comes in between
// (re-entrant). HoldLibraryFile returns false when another writer kept it
// for the whole wait, a short one: the caller's edit then waits as it does
// for a held file.
bool HoldLibraryFile();
void LetGoOfLibraryFile();
// When the file changed, reads the tree and the open label again; an edit of
// the open list is carried over to the label as the file now has it and
// stored (or, where it cannot be, stored as a new label beside it). Returns
// 0 (unchanged), 1 (read again; the views show the file) or -1 (the file
// could not be read, or the list could not be stored; the status bar says).
int CheckLibraryFile(HWND tree, HWND list);
// SavePhraseList's part when the file changed: 0 when the file holds the
// open list, -1 when not. Inside the tree's selection change the check is
// posted as MSG_LIBRARY_CHANGED: 0 then means the list had no edit.
int StoreOpenListOverChange(HWND list);
// The status bar's word for a store under a label the file no longer has.
void TellOpenLabelGone();
