// The filter: the phrase window's box that narrows the list at each key.
//
// Reading and folding the whole file at each key would cost more than a
// key may take on a large library, so every phrase is held in memory as it
// stands and folded (kana_fold.h), with the label it is in, until the
// file's stamp changes. A query is the box's text split into words (ASCII
// and full-width spaces part them); a phrase matches when its folded copy
// holds every folded word. A query may give up at a newer key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/library_files.h"
#include "library/phrase_search.h"
#include "library/phrase_walker.h"

struct HeldLabel {
    uint32_t parent;  // index of the label it stands in; the root label is 0, its own parent
    uint32_t name;    // offset of its held name (NUL-terminated) in HeldLibrary::names
};

struct HeldPhrase {
    uint32_t text;          // offset in texts: the phrase as the list shows it, NUL-terminated
    uint32_t folded;        // offset in folded
    uint32_t foldedLength;
    uint32_t label;         // index in labels
};

struct HeldLibrary {
    FileStamp stamp;  // the file as read (known false: nothing held)
    std::vector<char> texts;
    std::vector<char> folded;  // WANTS_SLACK bytes past the last copy, for the matcher
    std::vector<char> names;
    std::vector<HeldLabel> labels;
    std::vector<HeldPhrase> phrases;
};

// Reads every phrase of the file at phrasePath into held, replacing what it
// held. Returns 0, or -1 with held empty when the file cannot be read, is
// malformed or memory runs out.
int HoldLibrary(const char* phrasePath, HeldLibrary* held, LibraryError* error = nullptr);

// The same read made a part at a time, so that a program of one thread
// can fold the library ahead between its messages: each call of HoldMore
// takes up to a number of phrases. Between the parts the file may be let go
// (PauseHold), and another program may replace it meanwhile: a file whose
// stamp is no longer the one the hold began with is held again from its
// start. The memory is that of HoldLibrary: held and one walk.
struct LibraryHold {
    bool walking;                // a walk is under way
    bool paused;                 // its file is let go; at says where it reads on
    long at;
    FileStamp stamp;             // the file as the hold began
    LabelPath whole;             // the walk's path: the root label, every label inside
    PhraseWalker walker;
    LibraryError error;          // why the walk failed
    std::vector<uint32_t> open;  // each open label's index in held, by depth
};

// Takes up to phrases more phrases (0: all the rest) of the file at
// phrasePath into held, starting the hold (held emptied first) when none
// is under way. Returns 1 while more is to come, 0 when held holds the file
// as HoldLibrary would, -1 when it cannot be held (held then empty, and the
// hold ended).
int HoldMore(LibraryHold* hold, const char* phrasePath, HeldLibrary* held, size_t phrases);
// Lets go of the file of a hold under way, if it can, until the next part.
void PauseHold(LibraryHold* hold);
// Ends a hold under way; held is emptied.
void EndHold(LibraryHold* hold, HeldLibrary* held);

// Empties held and gives its memory back.
void ReleaseHeldLibrary(HeldLibrary* held);

// True when held holds the file at phrasePath as it is now.
bool HeldLibraryCurrent(const HeldLibrary* held, const char* phrasePath);

// The bytes held (the blocks' room, not only their use).
size_t HeldLibraryBytes(const HeldLibrary* held);

// The words of a box's text of at most size bytes (no NUL needed), folded:
// at most SEARCH_WORD_COUNT, the text cut to SEARCH_WORD_SIZE - 1 bytes on a
// character boundary. Returns false, with no words, when memory ran out.
bool BuildFilterWords(const char* text, size_t size, SearchWords* words);

// Asked now and then during a query: false gives the query up.
struct FilterGoOn {
    void* context;
    bool (*goOn)(void* context);
};

// Puts the index of every held phrase that holds all the words into rows,
// in file order (no words: every phrase). Returns the number of rows, -1
// when goOn gave up or -2 when memory ran out (rows then holds a part).
long FilterHeldLibrary(const HeldLibrary* held, const SearchWords* words, const FilterGoOn* goOn,
                       std::vector<uint32_t>* rows);

// The names of the labels from the top level down to the one that holds
// phrase (an index in phrases), joined by " > ", into text (size bytes,
// cut on a character boundary). Empty for a phrase of the root label.
void HeldLabelPath(const HeldLibrary* held, uint32_t phrase, char* text, size_t size);
