// The two readers of the phrase file: all labels (no phrases), and the
// phrases of one label.

#include "library/phrase_reader.h"
#include <cstdio>
#include <cstring>

#include "library/phrase_walker.h"

static void NoMemory(LibraryError* error, long line)
{
    if (error) {
        error->line = line;
        snprintf(error->what, sizeof error->what, "out of memory");
        error->fault = FAULT_NO_MEMORY;
    }
}

int ReadLabelTree(const char* phrasePath, LabelNode** root, LibraryError* error)
{
    *root = nullptr;
    PhraseWalker w;
    int result = OpenWalk(&w, phrasePath, nullptr, false, error);
    w.quiet = true;
    LabelNode* top = nullptr;
    if (result == 0 && !(top = NewLabelNode(nullptr))) {
        result = -1;
        NoMemory(error, 0);
    }
    LabelNode* current = top;
    LabelNode* lastChild = nullptr;  // current's last child so far
    if (result == 0)
        result = WalkEach(&w, [&](int event) {
            if (event == WALK_LABEL) {
                LabelNode* node = NewLabelNode(current, lastChild);
                if (!node) {
                    NoMemory(error, w.headLine);
                    return -1;
                }
                FitLabelName(node->name, w.text);
                current = node;
                lastChild = nullptr;
            } else if (event == WALK_LABEL_END) {
                lastChild = current;
                current = current->parent;
            }
            return WALK_ON;
        });
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
    if (result == 0)
        result = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL:
                if (w.place == PLACE_BESIDE || w.place == PLACE_INSIDE)
                    return WalkSkipBody(&w);
                return WALK_ON;
            case WALK_PHRASE:
                return sink->add(sink->context, w.phrase.text, w.phrase.length) < 0 ? -1 : WALK_ON;
            case WALK_LABEL_END:
                return WALK_DONE;
            default:
                return WALK_ON;
            }
        });
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
