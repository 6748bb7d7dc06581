// The label tree shown in the tree view, and the selected path.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the views: the tree's content, which knows nothing of the frame.
#include "library/win32/label_view.h"

#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/win32/window_messages.h"
#include "library/phrase_reader.h"
#include "library/win32/filter_results.h"
#include "library/win32/library_views.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"

static LabelNode* PathRoot()
{
    if (!g_views.selectedPath || !g_views.selectedPath[0])
        return nullptr;
    LabelNode* node = g_views.selectedPath[0];
    while (node->parent)
        node = node->parent;
    return node;
}

// The records of an earlier load that the open label's path still refers
// to (keptRoot). Its write-back resolves the path by the names held there,
// so they must stay readable until the path is released; then they go. Only
// one path exists at a time, so at most one earlier tree is ever kept.
static void ReleaseUnusedRecords()
{
    if (g_views.keptRoot && g_views.keptRoot != PathRoot()) {
        FreeLabelTree(g_views.keptRoot);
        g_views.keptRoot = nullptr;
    }
}

// Takes the records of the previous load out of use.
static void RetireLabelTree(LabelNode* root)
{
    if (!root)
        return;
    if (root == PathRoot()) {
        if (g_views.keptRoot)
            FreeLabelTree(g_views.keptRoot);  // no path can refer to it any more
        g_views.keptRoot = root;
    } else {
        FreeLabelTree(root);
    }
}

static HTREEITEM InsertLabelItem(HWND tree, LabelNode* node, HTREEITEM parent)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = node->name;
    insert.item.iImage = 0;
    insert.item.iSelectedImage = 1;
    insert.item.lParam = (LPARAM)node;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

void InsertLabelItems(HWND tree, LabelNode* node, HTREEITEM parent)
{
    // Depth first in file order, without recursion: the tree gives the way
    // back up through each item's parent.
    const LabelNode* level = node ? node->parent : nullptr;
    while (node) {
        HTREEITEM item = InsertLabelItem(tree, node, parent);
        if (!item)
            return;
        if (node->firstChild) {
            parent = item;
            node = node->firstChild;
            continue;
        }
        while (!node->nextSibling) {
            if (node->parent == level)
                return;
            node = node->parent;
            parent = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)parent);
        }
        node = node->nextSibling;
    }
}

void FreeSelectedPath()
{
    free(g_views.selectedPath);
    g_views.selectedPath = nullptr;
    g_views.listLoaded = false;
    g_views.openLabelGone = false;
    ReleaseUnusedRecords();
}

LabelNode* ItemLabel(HWND tree, HTREEITEM item)
{
    TVITEMA tvi = {};
    tvi.mask = TVIF_PARAM;
    tvi.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi))
        return nullptr;
    return (LabelNode*)tvi.lParam;
}

HTREEITEM GetSelectedPath(HWND tree)
{
    FreeSelectedPath();
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item)
        return nullptr;
    LabelNode* node = ItemLabel(tree, item);
    int depth = LabelDepth(node);
    if (depth < 1)
        return nullptr;
    LabelNode** path = (LabelNode**)calloc(depth + 1, sizeof(LabelNode*));
    if (!path)
        return nullptr;
    for (int i = depth - 1; i >= 0; i--, node = node->parent)
        path[i] = node;
    g_views.selectedPath = path;
    return item;
}

const LabelNode* PathTarget(LabelNode* const* path)
{
    if (!path || !path[0])
        return nullptr;
    while (path[1])
        path++;
    return path[0];
}

// The walks of a name path run over the tree view's items.
static void* TreeFirstChild(void* context, void* item)
{
    WPARAM which = item ? TVGN_CHILD : TVGN_ROOT;
    return (void*)SendMessageA((HWND)context, TVM_GETNEXTITEM, which, (LPARAM)item);
}

static void* TreeNextSibling(void* context, void* item)
{
    return (void*)SendMessageA((HWND)context, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
}

// The name held in the item's record, not the control's text: the control
// keeps its text in UTF-16, and a name whose bytes do not survive that round
// trip (the duplicate codes of code page 932, invalid sequences) would never
// be found again.
static void TreeGetText(void* context, void* item, char* text, int size)
{
    const LabelNode* node = ItemLabel((HWND)context, (HTREEITEM)item);
    SjisCopy(text, size, node ? node->name : "");
}

static void TreeSelect(void* context, void* item)
{
    SendMessageA((HWND)context, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
}

static void TreeExpand(void* context, void* item)
{
    SendMessageA((HWND)context, TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
}

static LabelView TreeLabelView(HWND tree)
{
    LabelView view = {tree, TreeFirstChild, TreeNextSibling, TreeGetText, TreeSelect, TreeExpand};
    return view;
}

void SelectLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath)
{
    LabelView view = TreeLabelView(tree);
    SelectByNamePath(&view, start, namePath);
}

void ExpandLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath)
{
    LabelView view = TreeLabelView(tree);
    ExpandByNamePath(&view, start, namePath);
}

// The ordinal of a record among its equal-named siblings: stores find a
// label by its names and these ordinals, and so does the tree.
static int NameOrdinal(const LabelNode* node)
{
    int ordinal = 0;
    for (const LabelNode* s = node->parent ? node->parent->firstChild : node; s && s != node; s = s->nextSibling)
        if (strcmp(s->name, node->name) == 0)
            ordinal++;
    return ordinal;
}

HTREEITEM OpenLabelItem(HWND tree)
{
    HTREEITEM found = nullptr;
    for (LabelNode* const* step = g_views.selectedPath; step && *step; step++) {
        int ordinal = NameOrdinal(*step);
        HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, found ? TVGN_CHILD : TVGN_ROOT,
                                                 (LPARAM)found);
        for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
            const LabelNode* node = ItemLabel(tree, item);
            if (node == *step || (node && strcmp(node->name, (*step)->name) == 0 && ordinal-- == 0))
                break;
        }
        if (!item)
            return nullptr;
        found = item;
    }
    return found;
}

void ShowOpenLabel(HWND tree)
{
    HTREEITEM item = OpenLabelItem(tree);
    if (!item)
        return;
    g_views.selectionGuard++;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    g_views.selectionGuard--;
}

// A tree that could not be read (another program held the file a moment)
// is read again a second later, and again, until it can be; the open label
// and its list stay as they are meanwhile. Not during a drag, whose drop
// place is one of the tree's items.
static const UINT READ_TREE_DELAY_MS = 1000;

static void CALLBACK OnReadTreeTimer(HWND tree, UINT, UINT_PTR, DWORD)
{
    if (GetCapture())
        return;
    if (LoadLabelTree(tree) >= 0)
        ShowOpenLabel(tree);
}

int LoadLabelTree(HWND tree)
{
    // A file that is neither the one the views last read nor the one they
    // last wrote is another program's: the open label's list is read again
    // with the tree (and an edit of it carried over), or the next store
    // would write the list as it was over that program's change. Where that
    // cannot be done now, the tree is read but the file is not taken as
    // seen, so the next check comes back to it.
    FileStamp now;
    TakeFileStamp(g_views.files.phrase, &now);
    bool known = SameFileStamp(&now, &g_views.stamp) || SameFileStamp(&now, &g_views.written);
    if (!known && now.known && IsPhraseListEditable()) {
        if (CheckLibraryFile(tree, ListBesideTree(tree)) >= 0)
            return 0;
    } else {
        // Stamped before the read: a change made while it reads is seen next time.
        g_views.stamp = now;
    }
    LabelNode* root = nullptr;
    if (ReadLabelTree(g_views.files.phrase, &root) != 0)
        root = nullptr;
    if (ShowLabelTree(tree, root) == 0)
        return 0;
    // Only a file that cannot be opened is worth reading again; one that
    // is malformed stays so until it is replaced.
    if (!FileExists(g_views.files.phrase))
        SetTimer(tree, IDT_READ_TREE, READ_TREE_DELAY_MS, OnReadTreeTimer);
    return -1;
}

int ShowLabelTree(HWND tree, LabelNode* root)
{
    KillTimer(tree, IDT_READ_TREE);
    // The items go first: their parameters refer to the records replaced here.
    // A selection change the deletion may report switches no label: the open
    // label's path stays and is resolved by its names.
    if (SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0))
        g_views.treeLoads++;
    g_views.selectionGuard++;
    SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    g_views.selectionGuard--;
    RetireLabelTree(g_views.labelRoot);
    g_views.labelRoot = root;
    if (!root)
        return -1;
    g_views.treeLoads++;
    if (root->firstChild)
        InsertLabelItems(tree, root->firstChild, nullptr);
    else
        FreeSelectedPath();
    return 0;
}

HWND ListBesideTree(HWND tree)
{
    return GetDlgItem(GetParent(tree), IDC_LIST);
}

HWND TreeBesideList(HWND list)
{
    return GetDlgItem(GetParent(list), IDC_TREE);
}

int OpenLabelNamePath(char* buffer, int size)
{
    return BuildNamePath(g_views.selectedPath, buffer, size);
}
