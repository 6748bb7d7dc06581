// The phrase library bound to the phrase window's label tree (a tree view)
// and phrase list (a one-column list view). Win32 only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_library.h"
#include "library/phrase_merge.h"
#include "library/phrase_token.h"

// Posted to the tree's parent: the phrase file changed while the views could
// not be rebuilt; CheckLibraryFile reads them again.
const UINT MSG_LIBRARY_CHANGED = WM_APP + 20;

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
extern LibraryViews g_views;
// Gives text to the user through g_views.tell (when set) and counts it in
// g_views.told, so that a word can be taken back only while it still shows.
void TellUser(const char* text);

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
// Shows the records of root (read by the caller; null: none) in place of
// the tree's, as LoadLabelTree does after its read.
int ShowLabelTree(HWND tree, LabelNode* root);
// The item that shows the open label: found by its records, or in a tree
// rebuilt since it was opened by its names (and ordinals among equal
// names), as stores find it. Null when no label is open or it is not shown.
HTREEITEM OpenLabelItem(HWND tree);
// Selects the open label's item (when shown) without switching labels.
void ShowOpenLabel(HWND tree);
HWND ListBesideTree(HWND tree);
HWND TreeBesideList(HWND list);

// The label at the end of a path (null: none).
const LabelNode* PathTarget(LabelNode* const* path);

// List view.
int GetPhraseText(HWND list, int index, char* text, int size);
int InsertPhrase(HWND list, int index, const char* text);
int SetPhrase(HWND list, int index, const char* text);
int DeletePhrase(HWND list, int index);
// Selects row index and gives it the focus mark (other rows keep theirs).
void SelectPhraseRow(HWND list, int index);
void ClearPhraseList(HWND list);
int LoadPhraseList(HWND list, LabelNode* const* path);
int SavePhraseList(HWND list, LabelNode* const* path);
int OnLabelSelectionChanged(HWND tree, HWND list);
// The list's texts; bytes null when memory ran out.
ListTexts TakeListTexts(HWND list);
// Fills the list with texts (each with its NUL) and selects the rows that
// were selected (flags, one a row; may be null).
void FillPhraseList(HWND list, const ListTexts* texts, const char* selected);

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
// RenameLabel returns 0, -1 (refused or not written) or -2 (another program
// had changed the file: not renamed; the tree is read again and the user told).
int RenameLabel(HWND tree, const TVITEMA* item);
int CutOrCopyLabel(HWND tree, int cut);
int PasteLabel(HWND tree, int after);
int PasteChildLabel(HWND tree);

// Search: fills the list with the phrases that hold all (searchMode 0) or
// any of the words of searchText (at most size bytes), in the open label's
// subtree or (allTrees) the whole library. The list then shows results.
int SearchLibrary(HWND list, const char* searchText, size_t size, int searchMode, int allTrees);

// The rows of a virtual list view (LVS_OWNERDATA; list_rows.cpp), whose
// texts live here: the calls above keep them for such a list. Borrowed
// rows point at texts that stay until the list is filled again.
bool IsVirtualList(HWND list);
const char* VirtualRowText(HWND list, int index);  // null: no such row
int InsertVirtualRow(HWND list, int index, const char* text);
int SetVirtualRow(HWND list, int index, const char* text);
int DeleteVirtualRow(HWND list, int index);
void ClearVirtualRows(HWND list);
int ShowBorrowedRows(HWND list, const char* const* texts, size_t count);
// LVN_GETDISPINFO (A or W) of a virtual list: the row's text.
void GiveRowText(NMHDR* header);
// LVN_ODFINDITEM (A or W): the row that begins with the keys typed into
// the list, or -1.
LRESULT FindTypedRow(NMHDR* header);

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
// The bytes the held copies take.
size_t FilterHeldBytes();
