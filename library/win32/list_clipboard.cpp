// The list's phrases through the clipboard (as a phrase package), and
// dragged onto a label of the tree, which travel the same way; a move whose
// label cannot be opened is put back.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the list's phrases on their way out and in.
#include "library/win32/list_clipboard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library/phrase_package.h"
#include "library/phrase_recovery.h"
#include "library/phrase_token.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/list_store.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"
#include "output/win32/clipboard.h"

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
    OpenLabelNamePath(open, NAME_PATH_SIZE);
    if (memcmp(open, sourcePath, NAME_PATH_SIZE) != 0) {
        // A list read in part is never stored, so leaving it stores nothing.
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)source);
        OpenLabelNamePath(open, NAME_PATH_SIZE);
        if (memcmp(open, sourcePath, NAME_PATH_SIZE) != 0 || !IsPhraseListEditable()) {
            const char* name = sourcePath;
            for (const char* next = name; *next; next += strlen(next) + 1)
                name = next;
            ListTextsCursor cursor = {before, 0};
            PhraseSource phrases = ListTextsSource(&cursor);
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
    OpenLabelNamePath(sourcePath, NAME_PATH_SIZE);
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
        OpenLabelNamePath(open, NAME_PATH_SIZE);
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
