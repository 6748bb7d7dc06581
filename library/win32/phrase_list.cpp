// The phrase list: the selected label's phrases in the list view, their way
// to and from the phrase file, the clipboard and the search.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the list's content, which knows nothing of the frame.
#include "library/win32/phrase_views.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "library/phrase_library.h"
#include "library/phrase_token.h"
#include "output/win32/clipboard.h"


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

// Inserts each phrase handed to it at consecutive indices (-1: at the end).
// The texts are copied first: a clipboard block need not end in a NUL.
struct ListInserter {
    HWND list;
    int index;
    char* text;  // PHRASE_BUFFER_SIZE bytes
};

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

static bool StartInserter(ListInserter* inserter, HWND list, int index)
{
    inserter->list = list;
    inserter->index = index;
    inserter->text = (char*)malloc(PHRASE_BUFFER_SIZE);
    return inserter->text != nullptr;
}

static PhraseSink InserterSink(ListInserter* inserter)
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
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ClearPhraseList(list);
}

static void ShowList(HWND list)
{
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int LoadPhraseList(HWND list, LabelNode* const* path)
{
    ClearList(list);
    ListInserter inserter;
    int result = -1;
    if (StartInserter(&inserter, list, -1)) {
        PhraseSink sink = InserterSink(&inserter);
        result = ReadPhraseList(g_views.files.phrase, PathTarget(path), &sink);
        free(inserter.text);
    }
    ShowList(list);
    return result;
}

static int GetListPhrase(void* context, int index, char* text, size_t size)
{
    return GetPhraseText((HWND)context, index, text, (int)size);
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

static int SaveHeldPhraseList(HWND list, LabelNode* const* path);

int SavePhraseList(HWND list, LabelNode* const* path)
{
    // Search results belong to no label, and a list that was not read whole
    // would replace the label's phrases with a part of them.
    if (!IsPhraseListEditable())
        return 0;
    if (!path)
        path = g_views.selectedPath;
    // From the check of the file to the stamp of the file written.
    if (!HoldLibraryFile())
        return -1;
    int result = SaveHeldPhraseList(list, path);
    LetGoOfLibraryFile();
    return result;
}

static int SaveHeldPhraseList(HWND list, LabelNode* const* path)
{
    // The list is the user's edit of the label as last read; another program
    // may have changed the label since, and writing the list whole would
    // drop that change.
    if (path == g_views.selectedPath && !LibraryFileUnchanged()) {
        ListTexts now = TakeListTexts(list);
        bool unedited = SameListTexts(&now, &g_views.storedTexts);
        FreeListTexts(&now);
        // Held open by another program, the file can be neither read nor
        // replaced, and whether it changed is not known yet: an edit waits
        // for it. A list without an edit has nothing to store, whatever the
        // file holds now.
        int result = FileExists(g_views.files.phrase) ? StoreOpenListOverChange(list) : -1;
        return unedited ? 0 : result;
    }
    ListTexts now = TakeListTexts(list);
    if (path == g_views.selectedPath && g_views.openLabelGone) {
        // Its edit undone, the gone label has nothing left to store.
        bool unedited = SameListTexts(&now, &g_views.storedTexts);
        FreeListTexts(&now);
        if (unedited) {
            CloseOpenLabel(list);
            return 0;
        }
        TellOpenLabelGone();
        return -1;
    }
    if (SameListTexts(&now, &g_views.storedTexts)) {
        FreeListTexts(&now);
        return 0;
    }
    PhraseSource source = {list, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), GetListPhrase};
    RewriteRequest request = {};
    request.kind = REWRITE_SAVE_PHRASES;
    request.target = PathTarget(path);
    request.phrases = &source;
    LibraryError error;
    int result = RewriteLibrary(&request, nullptr, nullptr, &error);
    if (result == 0) {
        RecordWrittenFile();
        FreeListTexts(&g_views.storedTexts);
        g_views.storedTexts = now;  // what the file holds now
        return 0;
    }
    FreeListTexts(&now);
    // Another program replaced the file while it was written: the edit goes
    // to the label as that program left it, as for a change seen before.
    if (path == g_views.selectedPath && error.changed)
        return StoreOpenListOverChange(list);
    if (path == g_views.selectedPath && strcmp(error.what, "no such label in the file") == 0) {
        g_views.openLabelGone = true;
        TellOpenLabelGone();
    }
    return result;
}

// Gathers repeated moves of phrases into one store, and tries a failed
// store again for as long as the program runs: another program (a scanner,
// a sync tool) that reads the phrase file holds it for a moment, and the
// file cannot be replaced then. After the first half minute the tries come
// less often, since each one copies the file to its backup.
static const UINT_PTR IDT_STORE_LIST = 7778;
static const UINT STORE_DELAY_MS = 1000;
static const UINT STORE_LATER_DELAY_MS = 5000;
static const int STORE_QUICK_RETRIES = 30;

static int s_failedStores;  // in a row; >0: the open list's edits wait
// The recovery file that holds the waiting list (see KeepListInRecoveryFile),
// and the list as it holds it.
static char s_recoveryPath[PATH_BUFFER_SIZE];
static ListTexts s_recoveryTexts;

static void ForgetRecoveryFile()
{
    if (s_recoveryPath[0])
        RetireRecoveryFile(s_recoveryPath);
    s_recoveryPath[0] = '\0';
    free(s_recoveryTexts.bytes);
    s_recoveryTexts.bytes = nullptr;
    s_recoveryTexts.size = 0;
}

void TellUser(const char* text)
{
    g_views.told++;
    if (g_views.tell)
        g_views.tell(text);
}

// Edits that wait for the file are not invisible: the user is told until
// nothing waits any more (the file took them, or the list is as the file
// holds it again). A store that failed for a reason it told (the label is
// gone, the file cannot be read again) leaves that reason showing, and a
// word told after the waiting one (both lists kept, say) is not wiped when
// the wait ends.
static const char STORE_WAITING[] = "変更したフレーズをファイルに保存できません。保存できるまで試し続けます";
static unsigned s_waitingTold;  // g_views.told when the wait was last told

static void SetStoreWaiting(bool waiting, unsigned toldBefore)
{
    bool was = s_failedStores > 0;
    s_failedStores = waiting ? s_failedStores + 1 : 0;
    if (waiting) {
        if (!was && g_views.told == toldBefore)
            TellUser(STORE_WAITING);
        if (g_views.told != toldBefore || !was)
            s_waitingTold = g_views.told;
    } else if (was && g_views.told == s_waitingTold) {
        TellUser("");
    }
}

static void CALLBACK OnStoreTimer(HWND list, UINT, UINT_PTR, DWORD)
{
    StorePhraseListNow(list);
}

int StorePhraseListNow(HWND list)
{
    KillTimer(list, IDT_STORE_LIST);
    unsigned told = g_views.told;
    if (SavePhraseList(list, g_views.selectedPath) == 0) {
        SetStoreWaiting(false, told);
        // The library holds the list now: a copy kept for the next start
        // would bring its phrases in a second time.
        ForgetRecoveryFile();
        return 0;
    }
    SetStoreWaiting(true, told);
    SetTimer(list, IDT_STORE_LIST, s_failedStores <= STORE_QUICK_RETRIES ? STORE_DELAY_MS : STORE_LATER_DELAY_MS,
             OnStoreTimer);
    return -1;
}

void StorePhraseListSoon(HWND list)
{
    if (IsPhraseListEditable() && !SetTimer(list, IDT_STORE_LIST, STORE_DELAY_MS, OnStoreTimer))
        StorePhraseListNow(list);
}

bool ListEditsWait()
{
    return s_failedStores > 0;
}

int KeepListInRecoveryFile(HWND list, char* path)
{
    path[0] = '\0';
    const LabelNode* label = PathTarget(g_views.selectedPath);
    if (!ListEditsWait() || !IsPhraseListEditable() || !label)
        return -1;
    ListTexts now = TakeListTexts(list);
    if (!now.bytes)
        return -1;
    // Kept already, as it is now (the exit's wait, then the end of the tray
    // window): one file is enough.
    if (s_recoveryPath[0] && now.size == s_recoveryTexts.size &&
        memcmp(now.bytes, s_recoveryTexts.bytes, now.size) == 0) {
        FreeListTexts(&now);
        SjisCopy(path, PATH_BUFFER_SIZE, s_recoveryPath);
        return 0;
    }
    PhraseSource source = {list, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), GetListPhrase};
    if (WriteRecoveryFile(&g_views.files, label->name, &source, path) != 0) {
        FreeListTexts(&now);
        return -1;
    }
    // A copy an earlier end of the session kept is replaced by this one.
    ForgetRecoveryFile();
    SjisCopy(s_recoveryPath, sizeof s_recoveryPath, path);
    s_recoveryTexts = now;
    return 0;
}

void CloseOpenLabel(HWND list)
{
    KillTimer(list, IDT_STORE_LIST);
    SetStoreWaiting(false, g_views.told);
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
    // A list read only in part (the file held by another program a moment,
    // memory short) is shown but never stored: it would replace the label's
    // phrases with a part of them.
    g_views.listLoaded = LoadPhraseList(list, g_views.selectedPath) == 0;
    FreeListTexts(&g_views.storedTexts);
    if (g_views.listLoaded)
        g_views.storedTexts = TakeListTexts(list);
    return g_views.listLoaded ? 0 : -1;
}

static int NextSelected(HWND list, int after)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, after, MAKELPARAM(LVNI_SELECTED, 0));
}

// The package of the selected phrases in a clipboard block, or null.
static HGLOBAL PackSelectedPhrases(HWND list, int count, size_t total)
{
    char* texts = (char*)malloc(total);
    const char** starts = (const char**)malloc(count * sizeof(char*));
    size_t* lengths = (size_t*)malloc(count * sizeof(size_t));
    HGLOBAL block = nullptr;
    if (texts && starts && lengths) {
        size_t used = 0;
        int n = 0;
        for (int i = NextSelected(list, -1); i != -1 && n < count; i = NextSelected(list, i)) {
            int length = GetPhraseText(list, i, texts + used, (int)(total - used));
            if (length < 0)
                length = 0;
            starts[n] = texts + used;
            lengths[n] = length;
            used += length + 1;
            n++;
        }
        size_t size = EncodePhrasePackage(starts, lengths, n, nullptr, 0);
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, size);
        char* bytes = block ? (char*)GlobalLock(block) : nullptr;
        if (bytes) {
            EncodePhrasePackage(starts, lengths, n, bytes, size);
            GlobalUnlock(block);
        } else if (block) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    free(lengths);
    free(starts);
    free(texts);
    return block;
}

int CopyPhrasesToClipboard(HWND list, int cut)
{
    char* scratch = (char*)malloc(PHRASE_BUFFER_SIZE);
    if (!scratch)
        return -1;
    int count = 0;
    size_t total = 0;
    for (int i = NextSelected(list, -1); i != -1; i = NextSelected(list, i)) {
        int length = GetPhraseText(list, i, scratch, PHRASE_BUFFER_SIZE);
        total += (length > 0 ? length : 0) + 1;
        count++;
    }
    free(scratch);
    if (count == 0)
        return 0;

    HGLOBAL block = PackSelectedPhrases(list, count, total);
    if (!block)
        return -1;
    // The phrases leave the list only once the clipboard holds them.
    if (PlaceClipboardText(list, block) != 0)
        return -1;

    if (cut) {
        for (int i = NextSelected(list, -1); i != -1; i = NextSelected(list, i - 1))
            DeletePhrase(list, i);
    }
    // A label cut or copied before can no longer be pasted.
    RemoveOwnClipFile();
    return 0;
}

int PastePhrasesFromClipboard(HWND list)
{
    if (!OpenClipboardFor(list))
        return -1;
    HGLOBAL block = GetClipboardData(CF_TEXT);
    const char* bytes = block ? (const char*)GlobalLock(block) : nullptr;
    if (!bytes) {
        CloseClipboard();
        return -1;
    }
    int index = NextSelected(list, -1);
    if (index < 0)
        index = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    ListInserter inserter;
    int result = -1;
    if (StartInserter(&inserter, list, index)) {
        PhraseSink sink = InserterSink(&inserter);
        result = DecodePhrasePackage(bytes, GlobalSize(block), &sink) < 0 ? -1 : 0;
        free(inserter.text);
    }
    GlobalUnlock(block);
    CloseClipboard();
    return result;
}

// The open label's name path into buffer (NAME_PATH_SIZE bytes); all zero
// when no label is open.
static void OpenLabelNamePath(char* buffer)
{
    memset(buffer, 0, NAME_PATH_SIZE);
    if (g_views.selectedPath)
        BuildNamePath(g_views.selectedPath, buffer, NAME_PATH_SIZE);
}

void FillPhraseList(HWND list, const ListTexts* texts, const char* selected)
{
    ClearList(list);
    int row = 0;
    for (size_t at = 0; at < texts->size; at += strlen(texts->bytes + at) + 1, row++) {
        InsertPhrase(list, -1, texts->bytes + at);
        if (selected && selected[row]) {
            LVITEMA state = {};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&state);
        }
    }
    ShowList(list);
}

// The texts of a ListTexts block handed out one by one, in order.
struct TextsSource {
    const ListTexts* texts;
    size_t at;  // where the next text starts
};

static int GetBlockText(void* context, int, char* text, size_t size)
{
    TextsSource* source = (TextsSource*)context;
    const char* next = source->texts->bytes + source->at;
    size_t n = strlen(next);
    source->at += n + 1;
    if (n >= size)
        return -1;
    memcpy(text, next, n + 1);
    return (int)n;
}

static const char DROP_KEPT[] = "移動できなかったフレーズを %s に残しました（次の起動でライブラリに入ります）";

// A drop that moved phrases out of the source list but could not open the
// label they were dropped on puts them back: the source label is opened
// again where the switch went through, and its list is what it was before
// the drop (stored, or waiting like any edit the file has not taken). Where
// the source label cannot be read again either, that list goes into a
// recovery file, so the phrases are not left on the clipboard alone.
static int PutDropBack(HWND tree, HWND list, HTREEITEM source, const char* sourcePath,
                       const ListTexts* before, const char* selected)
{
    char open[NAME_PATH_SIZE];
    OpenLabelNamePath(open);
    if (memcmp(open, sourcePath, NAME_PATH_SIZE) != 0) {
        // A list read in part is never stored, so leaving it stores nothing.
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)source);
        OpenLabelNamePath(open);
        if (memcmp(open, sourcePath, NAME_PATH_SIZE) != 0 || !IsPhraseListEditable()) {
            const char* name = sourcePath;
            for (const char* next = name; *next; next += strlen(next) + 1)
                name = next;
            int count = 0;
            for (size_t at = 0; at < before->size; at += strlen(before->bytes + at) + 1)
                count++;
            TextsSource texts = {before, 0};
            PhraseSource phrases = {&texts, count, GetBlockText};
            char path[PATH_BUFFER_SIZE];
            if (WriteRecoveryFile(&g_views.files, name, &phrases, path) != 0)
                return -1;  // the phrases are still on the clipboard
            char text[PATH_BUFFER_SIZE + 100];
            snprintf(text, sizeof text, DROP_KEPT, path + FolderLength(path));
            TellUser(text);
            return -1;
        }
    }
    FillPhraseList(list, before, selected);
    StorePhraseListNow(list);
    return 0;
}

int DropPhrasesOnLabel(HWND tree, HWND list, HTREEITEM label, int copy)
{
    // The label dropped on is an item of the tree as it was; read anew, the
    // tree has other items, and the user drops again on what it shows now.
    if (CheckLibraryFile(tree, list) != 0)
        return -1;
    // Phrases leave only the open label's own list: cut from search results
    // or a list read in part, they would stay where they are.
    if (!IsPhraseListEditable())
        copy = 1;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) <= 0)
        return -1;
    char labelPath[NAME_PATH_SIZE];
    char sourcePath[NAME_PATH_SIZE];
    memset(labelPath, 0, sizeof labelPath);
    BuildNamePathOf(ItemLabel(tree, label), labelPath, sizeof labelPath);
    OpenLabelNamePath(sourcePath);
    HTREEITEM source = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    // A move is undone from the list as it was, should the label not open.
    ListTexts before = {nullptr, 0};
    char* selected = nullptr;
    if (!copy) {
        before = TakeListTexts(list);
        selected = (char*)calloc(count + 1, 1);
        if (!before.bytes || !selected) {
            FreeListTexts(&before);
            free(selected);
            return -1;
        }
        for (int i = NextSelected(list, -1); i != -1 && i < count; i = NextSelected(list, i))
            selected[i] = 1;
    }
    // They travel through the clipboard. When they cannot be put there,
    // nothing moves: the paste would bring whatever the clipboard held into
    // the label.
    int result = -1;
    if (CopyPhrasesToClipboard(list, copy ? 0 : 1) == 0) {
        // The switch stores the list they left; when it is refused (the file
        // held) or the label cannot be read whole, the label is not open.
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)label);
        char open[NAME_PATH_SIZE];
        OpenLabelNamePath(open);
        bool opened = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == (LRESULT)label &&
                      memcmp(open, labelPath, NAME_PATH_SIZE) == 0 && IsPhraseListEditable();
        if (opened) {
            PastePhrasesFromClipboard(list);
            result = StorePhraseListNow(list);
        } else if (!copy) {
            PutDropBack(tree, list, source, sourcePath, &before, selected);
        }
    }
    FreeListTexts(&before);
    free(selected);
    return result;
}

int SearchLibrary(HWND list, const char* text, size_t size, int searchMode, int allTrees)
{
    EndFilter(list, false);
    ClearList(list);
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
    ShowList(list);
    g_views.showingResults = true;
    return result;
}
