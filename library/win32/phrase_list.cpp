// The phrase list's contents: the open label's phrases in the list view,
// its rows, the switch from one label to another, and search results.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the list's content, which knows nothing of the frame.
#include "library/win32/phrase_list.h"

#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "library/phrase_reader.h"
#include "library/phrase_search.h"
#include "library/phrase_token.h"
#include "library/win32/filter_results.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/list_rows.h"
#include "library/win32/list_store.h"

// Returns the text's length, or -1 when there is no such item.
int GetPhraseText(HWND list, int index, char* text, int size)
{
    if (size <= 0)
        return -1;
    text[0] = '\0';
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (index < 0 || index >= count)
        return -1;
    if (IsVirtualList(list)) {
        const char* row = VirtualRowText(list, index);
        return row ? (int)SjisCopy(text, size, row) : -1;
    }
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = size;
    SendMessageA(list, LVM_GETITEMTEXTA, index, (LPARAM)&item);
    text[size - 1] = '\0';
    return (int)strlen(text);
}

int InsertPhrase(HWND list, int index, const char* text)
{
    if (IsVirtualList(list))
        return InsertVirtualRow(list, index, text);
    if (index < 0)
        index = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = (char*)text;
    return SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item) >= 0 ? 0 : -1;
}

int SetPhrase(HWND list, int index, const char* text)
{
    if (index < 0)
        return InsertPhrase(list, -1, text);
    if (IsVirtualList(list))
        return SetVirtualRow(list, index, text);
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = (char*)text;
    return SendMessageA(list, LVM_SETITEMTEXTA, index, (LPARAM)&item) ? 0 : -1;
}

static int InsertHandedPhrase(void* context, const char* text, size_t length)
{
    ListInserter* inserter = (ListInserter*)context;
    length = SjisFitLength(text, length, PHRASE_BUFFER_SIZE - 1);
    memcpy(inserter->text, text, length);
    inserter->text[length] = '\0';
    if (InsertPhrase(inserter->list, inserter->index, inserter->text) != 0)
        return -1;
    if (inserter->index >= 0)
        inserter->index++;
    return 0;
}

bool StartInserter(ListInserter* inserter, HWND list, int index)
{
    inserter->list = list;
    inserter->index = index;
    inserter->text = (char*)malloc(PHRASE_BUFFER_SIZE);
    return inserter->text != nullptr;
}

PhraseSink InserterSink(ListInserter* inserter)
{
    PhraseSink sink = {inserter, InsertHandedPhrase};
    return sink;
}

void SelectPhraseRow(HWND list, int index)
{
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
}

int DeletePhrase(HWND list, int index)
{
    if (IsVirtualList(list))
        return DeleteVirtualRow(list, index);
    return SendMessageA(list, LVM_DELETEITEM, index, 0) ? 0 : -1;
}

void ClearPhraseList(HWND list)
{
    if (IsVirtualList(list))
        ClearVirtualRows(list);
    else
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

// Refills the list without repainting it once per item.
static void ClearList(HWND list)
{
    if (IsVirtualList(list))
        HoldVirtualDrawing(list);
    else
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ClearPhraseList(list);
}

// A fill that only appends tells a virtual list its count once at the
// end, not once a row: the cost of a search no longer grows with its hits.
static void HoldCount(HWND list)
{
    if (IsVirtualList(list))
        HoldVirtualCount(list);
}

static void ReleaseCount(HWND list)
{
    if (IsVirtualList(list))
        ReleaseVirtualCount(list);
}

static void ShowList(HWND list)
{
    if (IsVirtualList(list)) {
        ReleaseVirtualDrawing(list);
        return;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int LoadPhraseList(HWND list, LabelNode* const* path)
{
    ClearList(list);
    HoldCount(list);
    ListInserter inserter;
    int result = -1;
    if (StartInserter(&inserter, list, -1)) {
        PhraseSink sink = InserterSink(&inserter);
        result = ReadPhraseList(g_views.files.phrase, PathTarget(path), &sink);
        free(inserter.text);
    }
    ReleaseCount(list);
    ShowList(list);
    return result;
}

bool IsPhraseListEditable()
{
    return g_views.selectedPath && g_views.listLoaded && !g_views.showingResults;
}

// g_views.storedTexts holds the open label's phrases as the file holds them:
// the list's texts when it was loaded or last stored. A list that is the
// same is not stored again, so browsing labels leaves the file, its backup
// and their times alone (and a hand edit made meanwhile elsewhere in place).
ListTexts TakeListTexts(HWND list)
{
    ListTexts texts = {(char*)malloc(1), 0};
    size_t capacity = 1;
    char* scratch = (char*)malloc(PHRASE_BUFFER_SIZE);
    bool taken = texts.bytes && scratch;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; taken && i < count; i++) {
        int length = GetPhraseText(list, i, scratch, PHRASE_BUFFER_SIZE);
        size_t need = texts.size + (length > 0 ? length : 0) + 1;
        if (need > capacity) {
            capacity = need > 2 * capacity ? need : 2 * capacity;
            char* grown = (char*)realloc(texts.bytes, capacity);
            taken = grown != nullptr;
            if (!taken)
                break;
            texts.bytes = grown;
        }
        memcpy(texts.bytes + texts.size, scratch, need - texts.size);
        texts.size = need;
    }
    free(scratch);
    if (!taken)
        FreeListTexts(&texts);
    return texts;
}

bool ReloadOpenList(HWND list)
{
    g_views.listLoaded = LoadPhraseList(list, g_views.selectedPath) == 0;
    FreeListTexts(&g_views.storedTexts);
    if (g_views.listLoaded)
        g_views.storedTexts = TakeListTexts(list);
    return g_views.listLoaded;
}

void CloseOpenLabel(HWND list)
{
    StopListStore(list);
    FreeSelectedPath();
    EndFilter(list, false);
    ClearList(list);
    ShowList(list);
    g_views.showingResults = false;
}

int OnLabelSelectionChanged(HWND tree, HWND list)
{
    if (g_views.selectionGuard)
        return 0;
    if (g_views.selectedPath) {
        // Leaving the label would drop the edits the file could not take:
        // the label stays open, and the tree goes back to it (also when it
        // was rebuilt since), or shows none rather than another.
        g_views.selectionChanging = true;
        int stored = StorePhraseListNow(list);
        g_views.selectionChanging = false;
        if (stored != 0) {
            HTREEITEM item = OpenLabelItem(tree);
            g_views.selectionGuard++;
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
            g_views.selectionGuard--;
            return -1;
        }
        FreeSelectedPath();
    }
    // The label opened replaces the filter's results.
    EndFilter(list, false);
    g_views.showingResults = false;
    if (!GetSelectedPath(tree)) {
        // No label is selected: the list belongs to none and shows nothing.
        ClearList(list);
        ShowList(list);
        return -1;
    }
    return ReloadOpenList(list) ? 0 : -1;
}

void FillPhraseList(HWND list, const ListTexts* texts, const char* selected)
{
    ClearList(list);
    HoldCount(list);
    int rows = 0;
    for (size_t at = 0; at < texts->size; at += strlen(texts->bytes + at) + 1, rows++)
        InsertPhrase(list, -1, texts->bytes + at);
    // The states once the control knows every row.
    ReleaseCount(list);
    for (int row = 0; selected && row < rows; row++) {
        if (!selected[row])
            continue;
        LVITEMA state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&state);
    }
    ShowList(list);
}

int SearchLibrary(HWND list, const char* text, size_t size, int searchMode, int allTrees)
{
    EndFilter(list, false);
    ClearList(list);
    HoldCount(list);
    // The text may come from the registry: it need not end in a NUL. It is
    // bounded as a search word is.
    char searchText[SEARCH_WORD_SIZE];
    size_t n = 0;
    while (n < size && n < SEARCH_WORD_SIZE - 1 && text[n])
        n++;
    memcpy(searchText, text, n);
    searchText[n] = '\0';
    SearchWords words;
    BuildSearchWords(searchText, &words);
    const LabelNode* scope = allTrees ? nullptr : PathTarget(g_views.selectedPath);
    ListInserter inserter;
    int result = -1;
    if (StartInserter(&inserter, list, -1)) {
        PhraseSink sink = InserterSink(&inserter);
        result = SearchLibraryFile(g_views.files.phrase, &words, searchMode != 0 ? 1 : 0, scope, &sink);
        free(inserter.text);
    }
    ReleaseCount(list);
    ShowList(list);
    g_views.showingResults = true;
    return result;
}
