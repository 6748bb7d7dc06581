// Label edits from the tree: each rewrites the phrase file, then rebuilds the
// tree from it and brings the edited place back into view.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the edits of the tree's labels.
#include "library/win32/library_edits.h"

#include <cstdio>
#include <cstring>

#include "common/sjis.h"
#include "common/win32/window_messages.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/list_store.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"

// The label an edit acts on: the record of the tree's selection, or null.
static const LabelNode* EditTarget(HWND tree)
{
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    return item ? ItemLabel(tree, item) : nullptr;
}

static const char SAID_READ_AGAIN[] = "ファイルがほかで変更されていたため、読み直しました。もう一度操作してください";
static const char SAID_RENAME_REFUSED[] =
    "ファイルがほかで変更されていたため、「%.80s」への名前の変更はしませんでした。読み直します";

// True when the label and its siblings stand in the phrase file as the tree
// shows them: the same names in the same order, at the same place.
static bool SiblingsAsShown(const LabelNode* target)
{
    LabelNode* root = nullptr;
    if (ReadLabelTree(g_views.files.phrase, &root) != 0)
        return false;
    const LabelNode* now = FindSameLabel(root, target);
    bool same = now != nullptr;
    const LabelNode* a = target->parent ? target->parent->firstChild : nullptr;
    const LabelNode* b = now && now->parent ? now->parent->firstChild : nullptr;
    while (same && (a || b)) {
        same = a && b && strcmp(a->name, b->name) == 0;
        if (same) {
            a = a->nextSibling;
            b = b->nextSibling;
        }
    }
    FreeLabelTree(root);
    return same;
}

// A label edit that did not run because the tree was read again: its target
// was a label of the tree as it was.
static const int EDIT_NOT_RUN = -2;

// Every label edit stores the open label's list first, so that the edit (a
// cut or a copy above all) takes the phrases just typed. When that store
// fails, the edit fails as its rewrite would, and the file stays as it is.
// The edit acts on the label the user saw: when another program changed the
// file meanwhile, the tree shows the file anew and the edit waits for the
// user to give it again.
// The request's target is a record of the tree as it was: once the tree is
// read again (whatever the check or the store made of it), that record is
// gone and the edit stops there.
static int RewriteWithList(HWND tree, const RewriteRequest* request, char* followPath)
{
    unsigned loads = g_views.treeLoads;
    int checked = CheckLibraryFile(tree, ListBesideTree(tree));
    if (checked > 0)
        TellUser(SAID_READ_AGAIN);
    if (g_views.treeLoads != loads)
        return EDIT_NOT_RUN;
    int stored = StorePhraseListNow(ListBesideTree(tree));
    if (g_views.treeLoads != loads)
        return EDIT_NOT_RUN;
    if (stored != 0)
        return -1;
    LibraryError error;
    if (RewriteLibrary(request, followPath, nullptr, &error) == 0)
        return 0;
    // Replaced by another program while the edit was written: nothing was
    // written, and the edit is given again on the file as it is now.
    if (error.changed && CheckLibraryFile(tree, ListBesideTree(tree)) > 0)
        TellUser(SAID_READ_AGAIN);
    return g_views.treeLoads != loads ? EDIT_NOT_RUN : -1;
}

static int RewriteAndReloadHeld(HWND tree, RewriteRequest* request, bool selectAfter);

// Runs a rewrite at the selected label and reloads the tree. On success the
// tree then shows the rewrite's follow-up path, otherwise the path of the
// label that was selected (the phrase file is unchanged then). The check,
// the store, the edit and the read of the tree that stamps the file are one
// writer's turn.
static int RewriteAndReload(HWND tree, RewriteRequest* request, bool selectAfter)
{
    if (!HoldLibraryFile())
        return -1;
    int result = RewriteAndReloadHeld(tree, request, selectAfter);
    LetGoOfLibraryFile();
    return result;
}

static int RewriteAndReloadHeld(HWND tree, RewriteRequest* request, bool selectAfter)
{
    char namePath[NAME_PATH_SIZE];
    char followPath[NAME_PATH_SIZE];
    BuildNamePathOf(request->target, namePath, sizeof namePath);
    memset(followPath, 0, sizeof followPath);
    int result = RewriteWithList(tree, request, followPath);
    if (result == EDIT_NOT_RUN)
        return -1;
    // The request's target belongs to records that a selection change in the
    // follow-up may release; it is not used past this point.
    const char* path = result == 0 ? followPath : namePath;
    LoadLabelTree(tree);
    // A failed edit leaves the open label open (its list may wait for the
    // file): the rebuilt tree shows that label, so that tree, list and
    // stores agree.
    if (result != 0 && g_views.selectedPath)
        ShowOpenLabel(tree);
    else if (selectAfter)
        SelectLabelByNamePath(tree, nullptr, path);
    else
        ExpandLabelByNamePath(tree, nullptr, path);
    return result;
}

int NewLabel(HWND tree, int after)
{
    const LabelNode* target = EditTarget(tree);
    if (!target)
        return -1;
    RewriteRequest request = {};
    request.kind = REWRITE_NEW_LABEL;
    request.target = target;
    request.after = after;
    return RewriteAndReload(tree, &request, true);
}

int NewChildLabel(HWND tree)
{
    const LabelNode* target = EditTarget(tree);
    if (!target)
        return -1;
    RewriteRequest request = {};
    request.kind = REWRITE_NEW_CHILD_LABEL;
    request.target = target;
    return RewriteAndReload(tree, &request, true);
}

int CreateLibrary(HWND tree)
{
    if (g_views.selectedPath || SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0))
        return -1;
    if (!HoldLibraryFile())
        return -1;
    int result = CreateLibraryFile(&g_views.files) == 0 ? LoadLabelTree(tree) : -1;
    LetGoOfLibraryFile();
    return result;
}

// The open label, when the edited item shows it; null otherwise, or the new
// name would go to one label and its text to another.
static LabelNode* EditedOpenLabel(HWND tree, const TVITEMA* item)
{
    if (!g_views.selectedPath || !g_views.selectedPath[0])
        return nullptr;
    int last = 0;
    while (g_views.selectedPath[last + 1])
        last++;
    LabelNode* target = g_views.selectedPath[last];
    TVITEMA shown = {};
    shown.mask = TVIF_PARAM;
    shown.hItem = item->hItem;
    if (!item->hItem || !SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&shown) ||
        (LabelNode*)shown.lParam != target)
        return nullptr;
    return target;
}

int RenameLabel(HWND tree, const TVITEMA* item)
{
    if (!item || !item->pszText)
        return 0;  // editing was cancelled
    LabelNode* target = EditedOpenLabel(tree, item);
    if (!target || CheckRenameName(target, item->pszText) != 0)
        return -1;

    RewriteRequest request = {};
    request.kind = REWRITE_RENAME_LABEL;
    request.target = target;
    request.newName = item->pszText;
    // Renamed inside the tree's notification, whose items must stay: a
    // change of another program is not shown here, but the name is checked
    // against the file as it is now. When the label or its siblings are not
    // as the tree shows them, the rename is refused (the name typed is
    // given back in the status bar) and the tree read once the edit is over.
    if (!HoldLibraryFile())
        return -1;
    bool current = LibraryFileUnchanged();
    if (!current && !SiblingsAsShown(target)) {
        LetGoOfLibraryFile();
        PostMessageA(GetParent(tree), MSG_LIBRARY_CHANGED, 0, 0);
        char said[LABEL_NAME_SIZE + 200];
        snprintf(said, sizeof said, SAID_RENAME_REFUSED, item->pszText);
        TellUser(said);
        return EDIT_NOT_RUN;
    }
    LibraryError error;
    int result = RewriteLibrary(&request, nullptr, nullptr, &error);
    if (result == 0 && current)
        RecordWrittenFile();
    LetGoOfLibraryFile();
    if (result != 0 && error.changed) {
        // Read again once the tree's notification is over.
        PostMessageA(GetParent(tree), MSG_LIBRARY_CHANGED, 0, 0);
        TellUser(SAID_READ_AGAIN);
        return EDIT_NOT_RUN;
    }
    if (result != 0)
        return -1;
    SjisCopy(target->name, LABEL_NAME_SIZE, item->pszText);
    TVITEMA text = {};
    text.mask = TVIF_TEXT;
    text.hItem = item->hItem;
    text.pszText = target->name;
    SendMessageA(tree, TVM_SETITEMA, 0, (LPARAM)&text);
    return 0;
}

static int CutOrCopyHeld(HWND tree, int cut);

int CutOrCopyLabel(HWND tree, int cut)
{
    if (!HoldLibraryFile())
        return -1;
    int result = CutOrCopyHeld(tree, cut);
    LetGoOfLibraryFile();
    return result;
}

static int CutOrCopyHeld(HWND tree, int cut)
{
    const LabelNode* target = EditTarget(tree);
    if (!target)
        return -1;
    RewriteRequest request = {};
    request.kind = cut ? REWRITE_CUT_LABEL : REWRITE_COPY_LABEL;
    request.target = target;
    // A copy leaves the phrase file as it was: no reload.
    if (!cut)
        return RewriteWithList(tree, &request, nullptr) == 0 ? 0 : -1;
    char followPath[NAME_PATH_SIZE];
    memset(followPath, 0, sizeof followPath);
    if (RewriteWithList(tree, &request, followPath) != 0)
        return -1;
    // The open label was the one cut (or lies inside it). Its path would now
    // resolve to another label, an equal-named sibling say, and its list be
    // stored there; its phrases are in the clip file.
    CloseOpenLabel(ListBesideTree(tree));
    LoadLabelTree(tree);
    ExpandLabelByNamePath(tree, nullptr, followPath);
    return 0;
}

static int PasteClipLabel(HWND tree, RewriteKind kind, int after)
{
    const LabelNode* target = EditTarget(tree);
    if (!target || !FileExists(g_views.files.clip))
        return -1;
    RewriteRequest request = {};
    request.kind = kind;
    request.target = target;
    request.after = after;
    return RewriteAndReload(tree, &request, false);
}

int PasteLabel(HWND tree, int after)
{
    return PasteClipLabel(tree, REWRITE_PASTE_LABEL, after);
}

int PasteChildLabel(HWND tree)
{
    return PasteClipLabel(tree, REWRITE_PASTE_CHILD_LABEL, 0);
}
