// The phrase library bound to the phrase window's label tree (a tree view)
// and phrase list (a one-column list view). Win32 only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "library/label_tree.h"
#include "library/library_files.h"

// Process-wide library state.
extern LibraryFiles g_library;        // paths, set once at start-up
extern LabelNode* g_labelRoot;        // records of the latest LoadLabelTree
extern LabelNode** g_selectedPath;    // null-terminated, top level first; null: none
extern bool g_listLoaded;             // the list holds g_selectedPath's phrases, read whole
extern int g_selectionGuard;          // >0: the tree's selection changes are the
                                      // program's own and switch no label

// Tree view.
void InsertLabelItems(HWND tree, LabelNode* node, HTREEITEM parent);
HTREEITEM GetSelectedPath(HWND tree);
LabelNode* ItemLabel(HWND tree, HTREEITEM item);  // the item's record, or null
void FreeSelectedPath();
void SelectLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
void ExpandLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
int LoadLabelTree(HWND tree);

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
// under g_selectedPath and does not show search results. Only such a list is
// stored, and only it takes edits (phrases added, changed, moved, cut or
// deleted); any other list can still be copied from and sent.
bool IsPhraseListEditable();
// Stores the open label's list after an edit of it: at once, or (soon) once
// no further edit has come for a second, which gathers repeated moves. A
// failed store is tried again by the next one, and the open label is not
// left until one succeeds (see OnLabelSelectionChanged).
int StorePhraseListNow(HWND list);
void StorePhraseListSoon(HWND list);
// The open label is gone (cut): nothing is stored under its path any more,
// and the list, which belongs to no label now, is emptied.
void CloseOpenLabel(HWND list);
int CopyPhrasesToClipboard(HWND list, int cut);
int PastePhrasesFromClipboard(HWND list);
// Moves (copy 0) or copies the selected phrases into the label of the tree
// item, which is opened. Returns 0, or -1 when nothing or not all was done.
int DropPhrasesOnLabel(HWND tree, HWND list, HTREEITEM label, int copy);

// The clipboard. Opening tries a few times: another program may hold it a
// moment. PlaceClipboardText empties it and hands it block as CF_TEXT; when
// that fails the block is freed and -1 returned.
bool OpenClipboardFor(HWND owner);
int PlaceClipboardText(HWND owner, HGLOBAL block);

// Label edits: each rewrites the phrase file and shows the result.
int NewLabel(HWND tree, int after);
int NewChildLabel(HWND tree);
int CreateLibrary(HWND tree);
int RenameLabel(HWND tree, const TVITEMA* item);
int CutOrCopyLabel(HWND tree, int cut);
int PasteLabel(HWND tree, int after);
int PasteChildLabel(HWND tree);

// Search: fills the list with the matches of g_settings.searchText.
int SearchLibrary(HWND list, int allTrees);
