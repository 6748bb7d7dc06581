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

// Tree view.
void InsertLabelItems(HWND tree, LabelNode* node, HTREEITEM parent);
HTREEITEM GetSelectedPath(HWND tree);
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
int CopyPhrasesToClipboard(HWND list, int cut);
int PastePhrasesFromClipboard(HWND list);

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
