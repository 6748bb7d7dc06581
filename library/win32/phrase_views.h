// The phrase library bound to the phrase window's label tree (a tree view)
// and phrase list (a one-column list view). Win32 only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "library/label_tree.h"
#include "library/library_files.h"

// A list's texts, each with its NUL, in one block.
struct ListTexts {
    char* bytes;  // null: not known
    size_t size;
};

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
    void (*tell)(const char* text);  // a word to the user (the status bar); may be null
    unsigned treeLoads;        // tree reads that replaced the items
};
extern LibraryViews g_views;

// Tree view.
void InsertLabelItems(HWND tree, LabelNode* node, HTREEITEM parent);
HTREEITEM GetSelectedPath(HWND tree);
LabelNode* ItemLabel(HWND tree, HTREEITEM item);  // the item's record, or null
void FreeSelectedPath();
void SelectLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
void ExpandLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
// Rebuilds the tree from the file. A file that cannot be opened leaves the
// tree empty and is read again a second later, until it can be.
int LoadLabelTree(HWND tree);
// The item that shows the open label: found by its records, or in a tree
// rebuilt since it was opened by its names (and ordinals among equal
// names), as stores find it. Null when no label is open or it is not shown.
HTREEITEM OpenLabelItem(HWND tree);
// Selects the open label's item (when shown) without switching labels.
void ShowOpenLabel(HWND tree);

// The label at the end of a path (null: none).
const LabelNode* PathTarget(LabelNode* const* path);

// List view.
int GetPhraseText(HWND list, int index, char* text, int size);
int InsertPhrase(HWND list, int index, const char* text);
int SetPhrase(HWND list, int index, const char* text);
int LoadPhraseList(HWND list, LabelNode* const* path);
int SavePhraseList(HWND list, LabelNode* const* path);
int OnLabelSelectionChanged(HWND tree, HWND list);

// The list is the open label's own when it was loaded whole from the file
// under g_views.selectedPath and does not show search results. Only such a list is
// stored, and only it takes edits (phrases added, changed, moved, cut or
// deleted); any other list can still be copied from and sent.
bool IsPhraseListEditable();
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
// The open label is gone (cut): nothing is stored under its path any more,
// and the list, which belongs to no label now, is emptied.
void CloseOpenLabel(HWND list);

// Phrases through the clipboard, as a phrase package.
int CopyPhrasesToClipboard(HWND list, int cut);
int PastePhrasesFromClipboard(HWND list);
// Moves (copy 0) or copies the selected phrases into the label of the tree
// item, which is opened. Returns 0, or -1 when nothing or not all was done.
int DropPhrasesOnLabel(HWND tree, HWND list, HTREEITEM label, int copy);

// Label edits: each rewrites the phrase file and shows the result.
int NewLabel(HWND tree, int after);
int NewChildLabel(HWND tree);
int CreateLibrary(HWND tree);
int RenameLabel(HWND tree, const TVITEMA* item);
int CutOrCopyLabel(HWND tree, int cut);
int PasteLabel(HWND tree, int after);
int PasteChildLabel(HWND tree);

// Search: fills the list with the phrases that hold all (searchMode 0) or
// any of the words of searchText (at most size bytes), in the open label's
// subtree or (allTrees) the whole library. The list then shows results.
int SearchLibrary(HWND list, const char* searchText, size_t size, int searchMode, int allTrees);
