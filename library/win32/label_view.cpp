// The label tree shown in the tree view, and the selected path.
#include "library/win32/phrase_views.h"

#include <cstdlib>

#include "common/sjis.h"
#include "library/phrase_library.h"

LibraryViews g_views;

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

int LoadLabelTree(HWND tree)
{
    // Stamped before the read: a change made while it reads is seen next time.
    RecordLibraryFile();
    LabelNode* root = nullptr;
    int result = ReadLabelTree(g_views.files.phrase, &root);
    return ShowLabelTree(tree, result == 0 ? root : nullptr);
}

int ShowLabelTree(HWND tree, LabelNode* root)
{
    // The items go first: their parameters refer to the records replaced here.
    // A selection change the deletion may report switches no label: the open
    // label's path stays and is resolved by its names.
    g_views.selectionGuard++;
    SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    g_views.selectionGuard--;
    int result = root ? 0 : -1;
    RetireLabelTree(g_views.labelRoot);
    g_views.labelRoot = root;
    if (result != 0 || !root)
        return -1;
    if (root->firstChild)
        InsertLabelItems(tree, root->firstChild, nullptr);
    else
        FreeSelectedPath();
    return 0;
}
