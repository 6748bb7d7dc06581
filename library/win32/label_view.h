// The label tree in the tree view, and the open label's path
// (label_view.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "library/label_tree.h"

void InsertLabelItems(HWND tree, LabelNode* node, HTREEITEM parent);
HTREEITEM GetSelectedPath(HWND tree);
LabelNode* ItemLabel(HWND tree, HTREEITEM item);  // the item's record, or null
void FreeSelectedPath();
void SelectLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
void ExpandLabelByNamePath(HWND tree, HTREEITEM start, const char* namePath);
// Rebuilds the tree from the file. A file that cannot be opened leaves the
// tree empty and is read again a second later, until it can be.
int LoadLabelTree(HWND tree);
// Shows the records of root (read by the caller; null: none) in place of
// the tree's, as LoadLabelTree does after its read.
int ShowLabelTree(HWND tree, LabelNode* root);
// The item that shows the open label: found by its records, or in a tree
// rebuilt since it was opened by its names (and ordinals among equal
// names), as stores find it. Null when no label is open or it is not shown.
HTREEITEM OpenLabelItem(HWND tree);
// The open label's name path into buffer (size bytes), as BuildNamePath
// gives it: all zero, and -1, when no label is open.
int OpenLabelNamePath(char* buffer, int size);
// Selects the open label's item (when shown) without switching labels.
void ShowOpenLabel(HWND tree);
// The phrase window gives the tree and the list one parent.
HWND ListBesideTree(HWND tree);
HWND TreeBesideList(HWND list);

// The label at the end of a path (null: none).
const LabelNode* PathTarget(LabelNode* const* path);
