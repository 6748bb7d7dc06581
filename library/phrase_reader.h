// The two readers of the phrase file (phrase_reader.cpp): all labels (no
// phrases), and the phrases of one label.
//
// The phrase file is the store: nothing holds the phrases of more than one
// label in memory. Readers stream the file with one line buffer through the
// walker (phrase_walker.h).
#pragma once

#include "library/label_tree.h"
#include "library/phrase_io.h"
#include "library/phrase_walker.h"

// Builds the label tree of the phrase file. On success *root is the root
// label's record (the caller frees it with FreeLabelTree). Returns -1 with
// *root null when the file cannot be opened or is malformed.
int ReadLabelTree(const char* phrasePath, LabelNode** root, LibraryError* error = nullptr);

// Hands the phrases of target (null: the root label) to sink, in file order.
// A label missing from the file gives no phrases and success. Returns -1 when
// the file cannot be read or is malformed (phrases already handed stay).
int ReadPhraseList(const char* phrasePath, const LabelNode* target, const PhraseSink* sink);

// ReadPhraseList for a label given by its path (flp looks labels up in the
// file by their names, holding no tree).
int ReadPhrasesAt(const char* phrasePath, const LabelPath* target, const PhraseSink* sink);
