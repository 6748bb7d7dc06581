#include "library/label_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"

// The core is also built by clang (fuzzing), which has no Shift-JIS execution
// character set, so its two Japanese texts are spelled in bytes.
const char NEW_LABEL_NAME[] = "\x90\x56\x82\xb5\x82\xa2\x83\x89\x83\x78\x83\x8b";  // 新しいラベル
static const char kWaveDash[] = "\x81\x60";  // ～, between a name and its number

LabelNode* NewLabelNode(LabelNode* parent, LabelNode* lastChild)
{
    LabelNode* node = (LabelNode*)calloc(1, sizeof(LabelNode));
    if (!node || !parent)
        return node;
    node->parent = parent;
    if (!lastChild) {
        lastChild = parent->firstChild;
        while (lastChild && lastChild->nextSibling)
            lastChild = lastChild->nextSibling;
    }
    if (lastChild)
        lastChild->nextSibling = node;
    else
        parent->firstChild = node;
    return node;
}

void FreeLabelTree(LabelNode* root)
{
    // Frees the first leaf found by going down first children, unlinking it
    // from its parent, until the root itself is a leaf.
    LabelNode* node = root;
    while (node) {
        while (node->firstChild)
            node = node->firstChild;
        if (node == root) {
            free(root);
            return;
        }
        LabelNode* parent = node->parent;
        parent->firstChild = node->nextSibling;
        free(node);
        node = parent;
    }
}

int LabelDepth(const LabelNode* node)
{
    int depth = 0;
    for (; node && node->parent; node = node->parent)
        depth++;
    return depth;
}

void FitLabelName(char* held, const char* fileName)
{
    SjisCopy(held, LABEL_NAME_SIZE, fileName);
}

bool LabelNameMatches(const char* fileName, const char* heldName)
{
    size_t heldLength = strlen(heldName);
    size_t fileLength = strlen(fileName);
    if (fileLength < LABEL_NAME_SIZE)
        return fileLength == heldLength && memcmp(fileName, heldName, heldLength) == 0;
    return SjisFitLength(fileName, fileLength, LABEL_NAME_SIZE - 1) == heldLength &&
           memcmp(fileName, heldName, heldLength) == 0;
}

int BuildNamePath(const LabelNode* const* path, char* buffer, int size)
{
    if (size <= 0)
        return -1;
    memset(buffer, 0, size);
    if (!path || !path[0])
        return -1;
    int used = 0;
    for (; *path; path++) {
        int n = (int)strlen((*path)->name);
        if (used + n >= size - 2)
            return -1;
        memcpy(buffer + used, (*path)->name, n);
        used += n + 1;  // the NUL is already there
    }
    return 0;
}

int BuildNamePathOf(const LabelNode* node, char* buffer, int size)
{
    const LabelNode* chain[MAX_LABEL_DEPTH + 1];
    int depth = LabelDepth(node);
    if (depth > MAX_LABEL_DEPTH) {
        if (size > 0)
            memset(buffer, 0, size);
        return -1;
    }
    chain[depth] = nullptr;
    for (int i = depth - 1; i >= 0; i--, node = node->parent)
        chain[i] = node;
    return BuildNamePath(chain, buffer, size);
}

bool IsLabelNameTaken(const LabelNode* ref, const char* name)
{
    if (!ref)
        return false;
    const LabelNode* sibling = ref->parent ? ref->parent->firstChild : ref;
    for (; sibling; sibling = sibling->nextSibling) {
        if (LabelNameMatches(name, sibling->name))
            return true;
    }
    return false;
}

int MakeUniqueLabelName(const LabelNode* ref, char* name)
{
    return IsLabelNameTaken(ref, name) ? NumberLabelName(ref, name) : 0;
}

int NumberLabelName(const LabelNode* ref, char* name)
{
    if (strlen(name) + 4 >= NAME_BUFFER_SIZE)
        return -1;
    char candidate[NAME_BUFFER_SIZE + 8];
    for (int n = 1; n <= 99; n++) {
        snprintf(candidate, sizeof candidate, "%s%s%d", name, kWaveDash, n);
        if (!IsLabelNameTaken(ref, candidate)) {
            strcpy(name, candidate);  // fits: the name had room for 4 more bytes
            return 0;
        }
    }
    return -1;
}

LabelNode* FindLabelByNames(LabelNode* root, const char* const* names, int count)
{
    LabelNode* node = root;
    for (int i = 0; node && i < count; i++) {
        LabelNode* child = node->firstChild;
        while (child && !LabelNameMatches(names[i], child->name))
            child = child->nextSibling;
        node = child;
    }
    return node;
}

// The first of item and its following siblings that bears name; null: none.
static void* SiblingNamed(const LabelView* view, void* item, const char* name)
{
    char text[LABEL_NAME_SIZE];
    for (; item; item = view->nextSibling(view->context, item)) {
        view->getText(view->context, item, text, sizeof text);
        if (strcmp(text, name) == 0)
            return item;
    }
    return nullptr;
}

void* SelectByNamePath(const LabelView* view, void* start, const char* namePath)
{
    if (!namePath || !*namePath)
        return nullptr;
    const char* name = namePath;
    void* item = SiblingNamed(view, start ? start : view->firstChild(view->context, nullptr), name);
    while (item) {
        const char* nextName = name + strlen(name) + 1;
        void* child = view->firstChild(view->context, item);
        if (!child || !*nextName) {
            view->select(view->context, item);
            return item;
        }
        item = SiblingNamed(view, child, nextName);
        name = nextName;
    }
    return nullptr;
}

void ExpandByNamePath(const LabelView* view, void* start, const char* namePath)
{
    if (!namePath || !*namePath)
        return;
    void* item = start ? start : view->firstChild(view->context, nullptr);
    for (const char* name = namePath; *name && (item = SiblingNamed(view, item, name)) != nullptr;) {
        view->expand(view->context, item);
        name += strlen(name) + 1;
        item = *name ? view->firstChild(view->context, item) : nullptr;
    }
}

namespace {

void* RecordFirstChild(void* context, void* item)
{
    RecordViewState* state = (RecordViewState*)context;
    LabelNode* node = item ? (LabelNode*)item : state->root;
    return node ? node->firstChild : nullptr;
}

void* RecordNextSibling(void*, void* item)
{
    return ((LabelNode*)item)->nextSibling;
}

void RecordGetText(void*, void* item, char* text, int size)
{
    SjisCopy(text, size, ((LabelNode*)item)->name);
}

void RecordSelect(void* context, void* item)
{
    ((RecordViewState*)context)->selected = (LabelNode*)item;
}

void RecordExpand(void* context, void* item)
{
    RecordViewState* state = (RecordViewState*)context;
    state->expandCount++;
    state->lastExpanded = (LabelNode*)item;
}

}  // namespace

LabelView RecordLabelView(RecordViewState* state)
{
    LabelView view = {state, RecordFirstChild, RecordNextSibling, RecordGetText, RecordSelect,
                      RecordExpand};
    return view;
}
