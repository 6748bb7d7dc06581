// The views of the library (library/win32): the phrase window's label tree
// (a tree view) and phrase list (a one-column list view) bound to the phrase
// file. This is their one record, owned by this layer; the calls of each
// file are in that file's header. Win32 only.
#pragma once

#include <windows.h>

#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_merge.h"

// The library as the phrase window shows it; one per process.
struct LibraryViews {
    LibraryFiles files;        // paths, set once at start-up
    LabelNode* labelRoot;      // records of the latest LoadLabelTree
    LabelNode** selectedPath;  // the open label's path, top level first,
                               // null-terminated; null: no label is open
    LabelNode* keptRoot;       // an earlier load that selectedPath refers to
    bool listLoaded;           // the list holds selectedPath's phrases, read whole
    bool showingResults;       // the list shows search results
    ListTexts storedTexts;     // the open label's phrases as the file holds them
    int selectionGuard;        // >0: the tree's selection changes are the
                               // program's own and switch no label
    FileStamp stamp;           // the phrase file as the views last read or wrote it
    FileStamp written;         // the phrase file as the latest rewrite made it
    FileStamp clipStamp;       // the clip file as this run last wrote it (not
                               // known: the clip file is another program's)
    bool openLabelGone;        // the open label is not in the file as stamped
    bool selectionChanging;    // inside the tree's selection change
    void (*tell)(const char* text);  // a word to the user (the status bar); may be null
    unsigned told;             // words given to the user so far (TellUser)
    unsigned treeLoads;        // tree reads that replaced the items
};
// This layer's files and the tests of the views use the record itself; the
// tray window and the settings store still read a field or two of it.
extern LibraryViews g_views;

// The views as the layers above see them, through calls rather than the
// record.
const LibraryFiles* ViewedFiles();             // the library's paths
int SetViewedLibrary(const char* phrasePath);  // SetLibraryFiles for the views: 0 or -1
void SetUserWord(void (*tell)(const char* text));  // where TellUser's words go (null: nowhere)
unsigned TreeLoads();                          // tree reads that replaced the items so far

// Gives text to the user through g_views.tell (when set) and counts it in
// g_views.told, so that a word can be taken back only while it still shows.
void TellUser(const char* text);
