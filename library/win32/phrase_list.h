// The phrase list's contents (phrase_list.cpp): its rows, the open label's
// phrases read into it, the label switch, and search results.
#pragma once

#include <windows.h>

#include "library/label_tree.h"
#include "library/phrase_io.h"
#include "library/phrase_merge.h"

int GetPhraseText(HWND list, int index, char* text, int size);
int InsertPhrase(HWND list, int index, const char* text);
int SetPhrase(HWND list, int index, const char* text);
int DeletePhrase(HWND list, int index);
// Selects row index and gives it the focus mark (other rows keep theirs).
void SelectPhraseRow(HWND list, int index);
void ClearPhraseList(HWND list);
int LoadPhraseList(HWND list, LabelNode* const* path);
int OnLabelSelectionChanged(HWND tree, HWND list);
// The list's texts; bytes null when memory ran out.
ListTexts TakeListTexts(HWND list);
// Fills the list with texts (each with its NUL) and selects the rows that
// were selected (flags, one a row; may be null).
void FillPhraseList(HWND list, const ListTexts* texts, const char* selected);

// Reads the open label's phrases into the list again. A list read only in
// part (the file held by another program a moment, memory short) is shown
// but never stored: it would replace the label's phrases with a part of
// them. Returns g_views.listLoaded.
bool ReloadOpenList(HWND list);

// Inserts each phrase handed to its sink at consecutive rows from index
// (-1: at the end). The texts are copied first: a clipboard block need not
// end in a NUL.
struct ListInserter {
    HWND list;
    int index;
    char* text;  // PHRASE_BUFFER_SIZE bytes, freed by the caller
};
bool StartInserter(ListInserter* inserter, HWND list, int index);  // false: no memory
PhraseSink InserterSink(ListInserter* inserter);

// The list is the open label's own when it was loaded whole from the file
// under g_views.selectedPath and does not show search results. Only such a list is
// stored, and only it takes edits (phrases added, changed, moved, cut or
// deleted); any other list can still be copied from and sent.
bool IsPhraseListEditable();
// The open label is gone (cut): nothing is stored under its path any more,
// and the list, which belongs to no label now, is emptied.
void CloseOpenLabel(HWND list);

// Search: fills the list with the phrases that hold all (searchMode 0) or
// any of the words of searchText (at most size bytes), in the open label's
// subtree or (allTrees) the whole library. The list then shows results.
int SearchLibrary(HWND list, const char* searchText, size_t size, int searchMode, int allTrees);
