// A label's list edited while another program changed the same label in
// the file: the user's one edit carried over to the label as it is now.
//
// The list as it was loaded is the base, the list now is ours, the label's
// phrases in the file are theirs. Ours differs from the base by one edit (an
// added, edited, deleted or pasted run of phrases, or a move): the run
// between the common head and tail. That edit is applied to theirs where its
// phrases and neighbours are still found; where they are not, the edit
// cannot be carried over and both lists must be kept.
#pragma once

#include <cstddef>

#include "library/label_tree.h"
#include "library/phrase_io.h"

// A list's texts, each with its NUL, in one block (malloc'ed).
struct ListTexts {
    char* bytes;  // null: not known
    size_t size;
};

void FreeListTexts(ListTexts* texts);
// True when both are known and hold the same texts.
bool SameListTexts(const ListTexts* a, const ListTexts* b);
// The number of texts in the block.
int CountListTexts(const ListTexts* texts);

// A block's texts handed to a rewrite one by one, in order: the source
// ListTextsSource gives reads through the cursor, which must outlive it.
struct ListTextsCursor {
    const ListTexts* texts;
    size_t at;  // where the next text starts
};
PhraseSource ListTextsSource(ListTextsCursor* cursor);

enum MergeOutcome {
    MERGE_NO_EDIT,   // ours is the base: theirs stands as it is
    MERGE_APPLIED,   // *merged holds theirs with our edit in it
    MERGE_CONFLICT,  // our edit's phrases or place are gone from theirs
    MERGE_FAILED,    // out of memory
};

// Carries ours' edit against base over to theirs (all three known). On
// MERGE_APPLIED *merged receives a new block, which the caller frees;
// otherwise it is left empty.
MergeOutcome MergePhraseEdit(const ListTexts* base, const ListTexts* ours, const ListTexts* theirs,
                             ListTexts* merged);

// The phrases of target (null: the root label) in the phrase file, in a new
// block. Returns 0, or -1 (the file cannot be read or is malformed; the
// block is then empty).
int ReadListTexts(const char* phrasePath, const LabelNode* target, ListTexts* texts);

// The label of the tree under root that stands where old stood in its own
// tree: the same held names from the top, each at the same count of
// earlier equal-named siblings. Null when there is none.
LabelNode* FindSameLabel(LabelNode* root, const LabelNode* old);

// True when, at some level of their paths, the label old (as loaded) and
// now (FindSameLabel's find in the tree as it is now) stand among a
// different number of equal-named siblings: a label of the same name was
// added or removed there, and whether now is the label the user had open
// cannot be told.
bool EqualNamesChanged(const LabelNode* old, const LabelNode* now);
