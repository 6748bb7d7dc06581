// The label tree in memory, name paths and unique label names.
#pragma once

#include <cstddef>

const int LABEL_NAME_SIZE = 84;     // held name: up to 83 bytes and a NUL
const int NAME_PATH_SIZE = 256;     // names, each with its NUL, and a final NUL
const int NAME_BUFFER_SIZE = 1024;  // a name being formed (unique names)
const int MAX_RENAME_LENGTH = 79;   // a name the user gives: 1 to 79 bytes
const int MAX_LABEL_DEPTH = 256;    // deeper nesting is refused by every reader

extern const char NEW_LABEL_NAME[];  // "新しいラベル"

// One label. The root label (the file's outermost) has no parent and an
// empty name; the tree view shows its children as the top level.
struct LabelNode {
    LabelNode* parent;
    LabelNode* firstChild;
    LabelNode* nextSibling;
    char name[LABEL_NAME_SIZE];
};

// A zero-filled record appended as the last child of parent (none: a root).
// lastChild, when given, must be parent's current last child (saves the walk
// along the siblings). Returns nullptr when memory runs out.
LabelNode* NewLabelNode(LabelNode* parent, LabelNode* lastChild = nullptr);

// Releases a whole tree (any depth; no recursion).
void FreeLabelTree(LabelNode* root);

// Depth of a label: 0 for the root label, 1 for a top-level label.
int LabelDepth(const LabelNode* node);

// The held form of a name read from the file: the name itself when it has at
// most 83 bytes, otherwise its first 83 bytes or fewer, cut on a character
// boundary. Rewrites copy the file's full name through; the held form is what
// the tree shows and what a path is matched by.
void FitLabelName(char* held, const char* fileName);

// True when the label named fileName in the file is the label whose held
// name is heldName.
bool LabelNameMatches(const char* fileName, const char* heldName);

// Writes the name path of path (a null-terminated array from the top-level
// label down) into buffer, which is first cleared. Fails with -1 when there
// is no path or a name does not fit (used + length reaching size - 2); the
// buffer then holds the names that fitted.
int BuildNamePath(const LabelNode* const* path, char* buffer, int size);

// The same for the path that leads down to node (the root label excluded).
int BuildNamePathOf(const LabelNode* node, char* buffer, int size);

// True when a child of ref's parent bears exactly this name (ref included);
// false when ref is null.
bool IsLabelNameTaken(const LabelNode* ref, const char* name);

// Keeps name (NAME_BUFFER_SIZE bytes) when it is free among ref's siblings,
// otherwise replaces it by the first free "%s～%d" (n = 1..99). Returns 0, or
// -1 when all are taken or the name is too long to extend.
int MakeUniqueLabelName(const LabelNode* ref, char* name);

// Replaces name by the first "%s～%d" free among ref's siblings, whether or
// not name itself is free. Returns 0 or -1 as MakeUniqueLabelName.
int NumberLabelName(const LabelNode* ref, char* name);

// The label reached by names[0..count) from the root's children, taking the
// first match at each level; nullptr when a name is missing.
LabelNode* FindLabelByNames(LabelNode* root, const char* const* names, int count);

// The walks of a name path over a view of the tree: the tree view control in
// the program, the records themselves in tests and tools.
struct LabelView {
    void* context;
    void* (*firstChild)(void* context, void* item);   // item null: top level
    void* (*nextSibling)(void* context, void* item);
    void (*getText)(void* context, void* item, char* text, int size);
    void (*select)(void* context, void* item);
    void (*expand)(void* context, void* item);
};

// Selects the label named by namePath, walking from start (null: the first
// top-level item). A path deeper than the tree selects the deepest match; a
// name missing at some level selects nothing. Returns the selected item.
void* SelectByNamePath(const LabelView* view, void* start, const char* namePath);

// The same walk, expanding every matched item; selects nothing.
void ExpandByNamePath(const LabelView* view, void* start, const char* namePath);

// A LabelView over the records under root (select and expand record the
// item in *selected / count expansions), for tests and the command-line tool.
struct RecordViewState {
    LabelNode* root;
    LabelNode* selected;
    int expandCount;
    LabelNode* lastExpanded;
};
LabelView RecordLabelView(RecordViewState* state);
