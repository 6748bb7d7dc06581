// The phrase file changed by another program while fenlop shows it: a sync
// tool renamed a new copy over it, the user edited it by hand or with flp.
// What the views show is only fenlop's last look at the file; before a
// store and at a call-up the file is checked against that look, and when it
// changed the tree and the open label are read again and the user's edit of
// the list is carried over to the label as the file has it now.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: keeping them true to the file.
#include "library/win32/outside_changes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/win32/window_messages.h"
#include "common/writer_lock.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"

static const char SAID_UNREADABLE[] = "ファイルを読み直せないため、フレーズを保存できません";
static const char SAID_LABEL_GONE[] = "ラベル「%s」がファイルにないため、フレーズを保存できません";
static const char SAID_LABEL_CLOSED[] = "ラベル「%s」はほかのプログラムが取り除きました";
static const char SAID_KEPT_BOTH[] = "「%s」がほかで変更されていたため、編集を「%s」に保存しました";
static const char SAID_SEPARATE_FAILED[] = "「%s」がほかで変更されていました。編集を保存できません";
static const char SAID_KEPT_GONE[] = "ラベル「%s」がほかで取り除かれていたため、編集を「%s」に保存しました";

static void Tell(const char* format, const char* a = "", const char* b = "")
{
    char text[512];
    snprintf(text, sizeof text, format, a, b);
    TellUser(text);
}

bool LibraryFileUnchanged()
{
    FileStamp now;
    TakeFileStamp(g_views.files.phrase, &now);
    return SameFileStamp(&now, &g_views.stamp);
}

void RecordLibraryFile()
{
    TakeFileStamp(g_views.files.phrase, &g_views.stamp);
}

int RewriteLibrary(const RewriteRequest* request, char* followPath, char* newName, LibraryError* error)
{
    RewriteRequest ours = *request;
    FileStamp written, clip;
    ours.written = &written;
    ours.clipWritten = &clip;
    if (RewritePhraseFile(&g_views.files, &ours, followPath, newName, error) != 0)
        return -1;
    if (written.known)
        g_views.written = written;
    if (clip.known)
        g_views.clipStamp = clip;
    return 0;
}

void RemoveOwnClipFile()
{
    FileStamp now;
    if (TakeFileStamp(g_views.files.clip, &now) == 0 && SameFileStamp(&now, &g_views.clipStamp))
        DeleteFileA(g_views.files.clip);
    g_views.clipStamp.known = false;
}

void RecordWrittenFile()
{
    g_views.stamp = g_views.written;
}

// The views' stores run on the window's thread: a writer that keeps the
// lock longer (an flp script) makes the edit wait as a held file does,
// rather than the window stop answering.
static const int VIEWS_LOCK_WAIT_MS = 300;

static const char SAID_LOCK_DENIED[] =
    "ロックファイル %s を作れないため、ライブラリを変更できません（読み取り専用か、フォルダーに書き込めません）";

bool HoldLibraryFile()
{
    int lock = TakeWriterLock(g_views.files.phrase, VIEWS_LOCK_WAIT_MS);
    // No holder will ever let go of a lock that cannot be made: that is told
    // as it is, not as a wait.
    if (lock == WRITER_LOCK_DENIED) {
        char name[PATH_BUFFER_SIZE + 8];
        snprintf(name, sizeof name, "%s.lock", g_views.files.phrase + FolderLength(g_views.files.phrase));
        Tell(SAID_LOCK_DENIED, name);
    }
    return lock == 0;
}

void LetGoOfLibraryFile()
{
    ReleaseWriterLock(g_views.files.phrase);
}

void TellOpenLabelGone()
{
    const LabelNode* open = PathTarget(g_views.selectedPath);
    Tell(SAID_LABEL_GONE, open ? open->name : "");
}

// The open label's path, pointed at node's records (the list stays as it is).
static bool OpenPathAt(const LabelNode* node)
{
    int depth = LabelDepth(node);
    LabelNode** path = depth > 0 ? (LabelNode**)calloc(depth + 1, sizeof(LabelNode*)) : nullptr;
    if (!path)
        return false;
    bool loaded = g_views.listLoaded;
    FreeSelectedPath();
    for (int i = depth - 1; i >= 0; i--, node = node->parent)
        path[i] = (LabelNode*)node;
    g_views.selectedPath = path;
    g_views.listLoaded = loaded;
    return true;
}

// Shows the open label's item selected, as the program's own change.
static void SelectOpenLabel(HWND tree)
{
    HTREEITEM item = OpenLabelItem(tree);
    if (!item)
        return;
    g_views.selectionGuard++;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
    g_views.selectionGuard--;
}

static void FillList(HWND list, const ListTexts* texts)
{
    static const ListTexts NONE = {nullptr, 0};
    FillPhraseList(list, texts->bytes ? texts : &NONE, nullptr);
}

static int StoreTexts(RewriteKind kind, const LabelNode* target, const char* name, const ListTexts* texts,
                      char* followPath, char* newName, int after = 1)
{
    ListTextsCursor cursor = {texts, 0};
    PhraseSource source = ListTextsSource(&cursor);
    RewriteRequest request = {};
    request.kind = kind;
    request.target = target;
    request.after = after;
    request.newName = name;
    request.phrases = &source;
    return RewriteLibrary(&request, followPath, newName);
}

// The user's list kept as a label of its own named like the open label,
// beside anchor (below it when after is 1), which is then the open one;
// said says so (with the open label's name and the new one). Returns 0 or
// -1 (nothing written).
static int KeepAsNewLabel(HWND tree, const LabelNode* anchor, int after, const char* name, ListTexts* ours,
                          const char* said)
{
    char kept[LABEL_NAME_SIZE];
    SjisCopy(kept, sizeof kept, name);
    char followPath[NAME_PATH_SIZE], newName[NAME_BUFFER_SIZE];
    if (StoreTexts(REWRITE_ADD_LABEL, anchor, kept, ours, followPath, newName, after) != 0) {
        Tell(SAID_SEPARATE_FAILED, kept);
        return -1;
    }
    LoadLabelTree(tree);
    g_views.selectionGuard++;
    SelectLabelByNamePath(tree, nullptr, followPath);
    g_views.selectionGuard--;
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    LabelNode* added = item ? ItemLabel(tree, item) : nullptr;
    if (added && OpenPathAt(added)) {
        FreeListTexts(&g_views.storedTexts);
        g_views.storedTexts = *ours;
        ours->bytes = nullptr;
        g_views.openLabelGone = false;
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
    } else {
        // Stored, but the tree cannot show it: the list goes to no label.
        CloseOpenLabel(ListBesideTree(tree));
    }
    Tell(said, kept, newName);
    return 0;
}

// The user's list kept beside the label that changed.
static int KeepBoth(HWND tree, const LabelNode* label, ListTexts* ours)
{
    return KeepAsNewLabel(tree, label, 1, label->name, ours, SAID_KEPT_BOTH);
}

// Where a label that is gone from the file stood, in the tree now (read
// from root): beside its sibling before it or after it, else after the last
// label of its parent, else after the last top-level label. Null when the
// library has no label at all.
static const LabelNode* PlaceOfGone(LabelNode* root, const LabelNode* gone, int* after)
{
    const LabelNode* before = nullptr;
    if (gone->parent)
        for (const LabelNode* sibling = gone->parent->firstChild; sibling && sibling != gone;
             sibling = sibling->nextSibling)
            before = sibling;
    *after = 1;
    if (const LabelNode* place = before ? FindSameLabel(root, before) : nullptr)
        return place;
    if (const LabelNode* place = gone->nextSibling ? FindSameLabel(root, gone->nextSibling) : nullptr) {
        *after = 0;
        return place;
    }
    const LabelNode* parent = gone->parent ? FindSameLabel(root, gone->parent) : nullptr;
    if (!parent || !parent->firstChild)
        parent = root;
    const LabelNode* last = parent->firstChild;
    while (last && last->nextSibling)
        last = last->nextSibling;
    return last;
}

// The open label is gone. Without an edit nothing is lost by closing it;
// with one the list is stored at once as a new label where the gone one
// stood (place, from PlaceOfGone) and opened there: it neither waits in
// memory alone nor keeps the user from leaving the label.
static int CloseGoneLabel(HWND tree, HWND list, ListTexts* ours, const char* name, const FileStamp& stamp,
                          const LabelNode* place, int after)
{
    g_views.stamp = stamp;
    if (SameListTexts(ours, &g_views.storedTexts)) {
        CloseOpenLabel(list);
        Tell(SAID_LABEL_CLOSED, name);
        return 0;
    }
    if (place && KeepAsNewLabel(tree, place, after, name, ours, SAID_KEPT_GONE) == 0)
        return 0;
    g_views.openLabelGone = true;
    Tell(SAID_LABEL_GONE, name);
    return -1;
}

// No edit in the list: it shows the label as the file has it now.
static void ShowTheirs(HWND list, ListTexts* theirs, const FileStamp& stamp)
{
    FillList(list, theirs);
    FreeListTexts(&g_views.storedTexts);
    g_views.storedTexts = *theirs;
    theirs->bytes = nullptr;
    g_views.stamp = stamp;
}

// The list shows the result and the label as read is the base: a store
// that fails now is tried again with just that edit. Takes merged.
static int StoreMerged(HWND list, const LabelNode* now, const ListTexts* ours, ListTexts* theirs,
                       ListTexts* merged, const FileStamp& stamp)
{
    if (!SameListTexts(merged, ours))
        FillList(list, merged);
    FreeListTexts(&g_views.storedTexts);
    g_views.stamp = stamp;
    int result = 0;
    if (StoreTexts(REWRITE_SAVE_PHRASES, now, nullptr, merged, nullptr, nullptr) == 0) {
        RecordWrittenFile();
        g_views.storedTexts = *merged;
        merged->bytes = nullptr;
    } else {
        g_views.storedTexts = *theirs;
        theirs->bytes = nullptr;
        result = -1;
    }
    FreeListTexts(merged);
    return result;
}

// The file changed while the list holds the open label's phrases: reads
// the tree and the label again and stores the user's edit into the label
// as it is now. Returns 0 when the file holds the user's list (or the list
// had no edit), -1 when it does not.
// The open label is in the file still (now): the list's edit goes into
// the label's phrases as the file has them, when it can be placed there
// without doubt, and both are kept otherwise.
static int StoreIntoLabelNow(HWND tree, HWND list, const LabelNode* now, bool doubt, ListTexts* ours,
                             ListTexts* theirs, const FileStamp& stamp)
{
    OpenPathAt(now);
    SelectOpenLabel(tree);
    ListTexts merged = {nullptr, 0};
    MergeOutcome outcome = MERGE_CONFLICT;
    if (SameListTexts(ours, &g_views.storedTexts))
        outcome = MERGE_NO_EDIT;
    else if (!doubt)
        outcome = MergePhraseEdit(&g_views.storedTexts, ours, theirs, &merged);
    switch (outcome) {
    case MERGE_NO_EDIT: ShowTheirs(list, theirs, stamp); return 0;
    case MERGE_APPLIED: return StoreMerged(list, now, ours, theirs, &merged, stamp);
    // The stamp stays as it was: until both are kept, every store finds the
    // change again and takes this path.
    case MERGE_CONFLICT: return KeepBoth(tree, now, ours);
    case MERGE_FAILED: return -1;
    }
    return -1;
}

static int StoreOverOutsideChange(HWND tree, HWND list)
{
    FileStamp stamp;  // taken first: a change during the reads is seen next time
    TakeFileStamp(g_views.files.phrase, &stamp);
    LabelNode* root = nullptr;
    if (ReadLabelTree(g_views.files.phrase, &root) != 0) {
        // Only an edit is refused; a list without one has nothing to store.
        ListTexts ours = TakeListTexts(list);
        if (!SameListTexts(&ours, &g_views.storedTexts))
            Tell(SAID_UNREADABLE);
        FreeListTexts(&ours);
        return -1;
    }
    const LabelNode* open = PathTarget(g_views.selectedPath);
    char name[LABEL_NAME_SIZE];
    memcpy(name, open->name, sizeof name);
    LabelNode* now = FindSameLabel(root, open);
    // A label of the same name added or removed beside it (or beside a label
    // above it): the label found may be another one than the user's.
    bool doubt = now && EqualNamesChanged(open, now);
    int after = 1;
    const LabelNode* place = now ? nullptr : PlaceOfGone(root, open, &after);
    ListTexts theirs = {nullptr, 0};
    ListTexts ours = TakeListTexts(list);
    if ((now && ReadListTexts(g_views.files.phrase, now, &theirs) != 0) || !ours.bytes) {
        FreeLabelTree(root);
        FreeListTexts(&ours);
        Tell(SAID_UNREADABLE);
        return -1;
    }
    // From here the tree shows the file as it is.
    ShowLabelTree(tree, root);
    int result = now ? StoreIntoLabelNow(tree, list, now, doubt, &ours, &theirs, stamp)
                     : CloseGoneLabel(tree, list, &ours, name, stamp, place, after);
    FreeListTexts(&theirs);
    FreeListTexts(&ours);
    return result;
}

int StoreOpenListOverChange(HWND list)
{
    HWND tree = TreeBesideList(list);
    // Inside the tree's own notification its items must stay: the views
    // are read again once the notification is over. A list without an edit
    // has nothing to store, and the switch goes on meanwhile.
    if (g_views.selectionChanging) {
        PostMessageA(GetParent(tree), MSG_LIBRARY_CHANGED, 0, 0);
        ListTexts ours = TakeListTexts(list);
        bool unedited = SameListTexts(&ours, &g_views.storedTexts);
        FreeListTexts(&ours);
        return unedited ? 0 : -1;
    }
    return StoreOverOutsideChange(tree, list);
}

static int FollowLibraryFile(HWND tree, HWND list);

int CheckLibraryFile(HWND tree, HWND list)
{
    if (LibraryFileUnchanged())
        return 0;
    // Held open by another program: nothing can be read now, and the views
    // stay as they are until the next check.
    if (!FileExists(g_views.files.phrase) || !HoldLibraryFile())
        return -1;
    int result;
    if (IsPhraseListEditable())
        result = StoreOverOutsideChange(tree, list) == 0 ? 1 : -1;
    else
        result = FollowLibraryFile(tree, list);
    LetGoOfLibraryFile();
    return result;
}

static int FollowLibraryFile(HWND tree, HWND list)
{
    // No list of the open label's own to carry over: the views only follow.
    FileStamp stamp;
    TakeFileStamp(g_views.files.phrase, &stamp);
    LabelNode* root = nullptr;
    if (ReadLabelTree(g_views.files.phrase, &root) != 0)
        return -1;
    LabelNode* now = g_views.selectedPath ? FindSameLabel(root, PathTarget(g_views.selectedPath)) : nullptr;
    bool open = g_views.selectedPath != nullptr;
    ShowLabelTree(tree, root);
    g_views.stamp = stamp;
    if (now) {
        OpenPathAt(now);
        SelectOpenLabel(tree);
        // A list read in part is read again; search results stay.
        if (!g_views.showingResults && !g_views.listLoaded)
            ReloadOpenList(list);
    } else if (open && g_views.showingResults) {
        FreeSelectedPath();
    } else if (open) {
        CloseOpenLabel(list);
    }
    return 1;
}
