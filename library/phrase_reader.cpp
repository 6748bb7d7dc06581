// The two readers of the phrase file: all labels (no phrases), and the
// phrases of one label.
#include "library/phrase_library.h"

#include <cstdio>
#include <cstring>

#include "library/phrase_walker.h"

int ReadLabelTree(const char* phrasePath, LabelNode** root, LibraryError* error)
{
    *root = nullptr;
    PhraseWalker w;
    int result = OpenWalk(&w, phrasePath, nullptr, false, error);
    w.quiet = true;
    LabelNode* top = nullptr;
    if (result == 0 && !(top = NewLabelNode(nullptr))) {
        result = -1;
        if (error) {
            error->line = 0;
            snprintf(error->what, sizeof error->what, "out of memory");
        }
    }
    LabelNode* current = top;
    LabelNode* lastChild = nullptr;  // current's last child so far
    for (bool done = false; result == 0 && !done;) {
        switch (WalkNext(&w)) {
        case WALK_LABEL: {
            LabelNode* node = NewLabelNode(current, lastChild);
            if (!node) {
                if (error) {
                    error->line = w.headLine;
                    snprintf(error->what, sizeof error->what, "out of memory");
                }
                result = -1;
                break;
            }
            FitLabelName(node->name, w.text);
            current = node;
            lastChild = nullptr;
            break;
        }
        case WALK_LABEL_END:
            lastChild = current;
            current = current->parent;
            break;
        case WALK_END:
            done = true;
            break;
        case WALK_FAILED:
            result = -1;
            break;
        default:
            break;
        }
    }
    EndWalk(&w);
    if (result < 0) {
        if (top)
            FreeLabelTree(top);
        return -1;
    }
    *root = top;
    return 0;
}

// The phrases of the target in file order; the walk ends at the target's
// close, or at the close of the label on the path that should hold it.
int ReadPhrasesAt(const char* phrasePath, const LabelPath* target, const PhraseSink* sink)
{
    PhraseWalker w;
    int result = OpenWalk(&w, phrasePath, target, true, nullptr);
    w.quiet = true;
    for (bool done = false; result == 0 && !done;) {
        switch (WalkNext(&w)) {
        case WALK_LABEL:
            if (w.place == PLACE_BESIDE || w.place == PLACE_INSIDE)
                result = WalkSkipBody(&w);
            break;
        case WALK_PHRASE:
            if (sink->add(sink->context, w.phrase.text, w.phrase.length) < 0)
                result = -1;
            break;
        case WALK_LABEL_END:
        case WALK_END:
            done = true;
            break;
        case WALK_FAILED:
            result = -1;
            break;
        default:
            break;
        }
    }
    EndWalk(&w);
    return result;
}

// A phrase left open ends at the next <p> or at its label's close.
int ReadPhraseList(const char* phrasePath, const LabelNode* target, const PhraseSink* sink)
{
    LabelPath path;
    if (LabelPathOf(target, &path) != 0)
        return -1;
    return ReadPhrasesAt(phrasePath, &path, sink);
}
