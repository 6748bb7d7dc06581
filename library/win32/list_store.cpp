// The store of the open label's list: written at once after an edit or a
// second after the last of several, tried again while the file will not
// take it, and kept in a recovery file when the program ends first.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the list's way into the phrase file.
#include "library/win32/list_store.h"

#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/win32/window_messages.h"
#include "library/phrase_recovery.h"
#include "library/phrase_rewrite.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"

static int GetListPhrase(void* context, int index, char* text, size_t size)
{
    return GetPhraseText((HWND)context, index, text, (int)size);
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
    if (path == g_views.selectedPath && error.fault == FAULT_NO_SUCH_LABEL) {
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
static const UINT STORE_DELAY_MS = 1000;
static const UINT STORE_LATER_DELAY_MS = 5000;
static const int STORE_QUICK_RETRIES = 30;

// The store's state, this file's alone.
struct ListStore {
    int failedStores;  // in a row; >0: the open list's edits wait
    // The recovery file that holds the waiting list (see
    // KeepListInRecoveryFile), and the list as it holds it.
    char recoveryPath[PATH_BUFFER_SIZE];
    ListTexts recoveryTexts;
    unsigned waitingTold;  // g_views.told when the wait was last told
};
static ListStore s_store;

static void ForgetRecoveryFile()
{
    if (s_store.recoveryPath[0])
        RetireRecoveryFile(s_store.recoveryPath);
    s_store.recoveryPath[0] = '\0';
    free(s_store.recoveryTexts.bytes);
    s_store.recoveryTexts.bytes = nullptr;
    s_store.recoveryTexts.size = 0;
}

// Edits that wait for the file are not invisible: the user is told until
// nothing waits any more (the file took them, or the list is as the file
// holds it again). A store that failed for a reason it told (the label is
// gone, the file cannot be read again) leaves that reason showing, and a
// word told after the waiting one (both lists kept, say) is not wiped when
// the wait ends.
static const char STORE_WAITING[] = "変更したフレーズをファイルに保存できません。保存できるまで試し続けます";

static void SetStoreWaiting(bool waiting, unsigned toldBefore)
{
    bool was = s_store.failedStores > 0;
    s_store.failedStores = waiting ? s_store.failedStores + 1 : 0;
    if (waiting) {
        if (!was && g_views.told == toldBefore)
            TellUser(STORE_WAITING);
        if (g_views.told != toldBefore || !was)
            s_store.waitingTold = g_views.told;
    } else if (was && g_views.told == s_store.waitingTold) {
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
    SetTimer(list, IDT_STORE_LIST, s_store.failedStores <= STORE_QUICK_RETRIES ? STORE_DELAY_MS : STORE_LATER_DELAY_MS,
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
    return s_store.failedStores > 0;
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
    if (s_store.recoveryPath[0] && now.size == s_store.recoveryTexts.size &&
        memcmp(now.bytes, s_store.recoveryTexts.bytes, now.size) == 0) {
        FreeListTexts(&now);
        SjisCopy(path, PATH_BUFFER_SIZE, s_store.recoveryPath);
        return 0;
    }
    PhraseSource source = {list, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), GetListPhrase};
    if (WriteRecoveryFile(&g_views.files, label->name, &source, path) != 0) {
        FreeListTexts(&now);
        return -1;
    }
    // A copy an earlier end of the session kept is replaced by this one.
    ForgetRecoveryFile();
    SjisCopy(s_store.recoveryPath, sizeof s_store.recoveryPath, path);
    s_store.recoveryTexts = now;
    return 0;
}

void StopListStore(HWND list)
{
    KillTimer(list, IDT_STORE_LIST);
    SetStoreWaiting(false, g_views.told);
}
