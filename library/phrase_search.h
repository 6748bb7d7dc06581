// The search of the phrase file (phrase_search.cpp): words, their matchers
// and the walk that hands the matching phrases on.
#pragma once

#include <cstddef>

#include "library/label_tree.h"
#include "library/phrase_io.h"
#include "library/phrase_walker.h"

const int SEARCH_WORD_COUNT = 16;
const int SEARCH_WORD_SIZE = 80;

struct SearchWords {
    char word[SEARCH_WORD_COUNT][SEARCH_WORD_SIZE];
    size_t length[SEARCH_WORD_COUNT];
    int count;
    bool folded;  // the words are folded (kana_fold.h): they match folded texts
};

// Copies the next word at *cursor into word (SEARCH_WORD_SIZE bytes) and
// moves the cursor past it and the spaces after it. Returns false at the end.
bool NextSearchWord(const char** cursor, char* word);

// The words of a search text: separated by ASCII spaces, at most 16.
void BuildSearchWords(const char* searchText, SearchWords* words);

// The same for forgiving matching: the words of the folded search text, so
// that full-width spaces separate them too. A word that grows past its slot
// in folding is cut like any other. Returns false, with no words, when
// there is no memory to fold the text in.
bool BuildFoldedSearchWords(const char* searchText, SearchWords* words);

// True when every word (true for none) / at least one word (false for none)
// occurs in text starting on a character boundary. When slack bytes past
// the text may be read too (64 are enough), short texts take fewer steps.
// Folded words match only a folded text: the caller folds it (KanaFold).
bool MatchAllWords(const char* text, size_t length, const SearchWords* words, size_t slack = 0);
bool MatchAnyWord(const char* text, size_t length, const SearchWords* words, size_t slack = 0);

// Hands every phrase of scope's subtree (null: the whole library) that
// matches (searchMode 0: all words, 1: any word) to sink, in file order;
// with folded words, each phrase is folded on the way to the matcher.
// Returns 0, or -1 when the file cannot be read or is malformed.
int SearchLibraryFile(const char* phrasePath, const SearchWords* words, int searchMode,
                      const LabelNode* scope, const PhraseSink* sink);

// SearchLibraryFile for a scope given by its path (flp looks labels up in
// the file by their names, holding no tree).
int SearchLibraryAt(const char* phrasePath, const SearchWords* words, int searchMode,
                    const LabelPath* scope, const PhraseSink* sink);
