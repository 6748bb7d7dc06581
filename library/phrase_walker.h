// The walker: the one reader of the phrase file's structure.
//
// Every reader, the search and every rewrite walk the file through it. It
// reads a label's head (a name is required, nesting is bounded by
// MAX_LABEL_DEPTH), tells where the label stands against a target path,
// skips or copies a label's body, and gathers phrases. It is a small state
// machine over the tokenizer: one line buffer, one name buffer, one phrase
// buffer, no recursion, so neither file size nor depth costs memory.
//
// Phrases: one phrase is open at a time. It ends at the next <p> or </p>, or
// at the close of the label it was opened in; a label opened inside it
// leaves it open. A quoted line outside any phrase is loose (WALK_TEXT with
// inPhrase false); what that means is the caller's to decide.
#pragma once

#include <cstddef>
#include <cstdio>

#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_io.h"
#include "library/phrase_token.h"

// A label's place in the file: at each level from the top, its held name
// and how many earlier siblings hold the same name (hand-edited files may
// repeat a name; the label at its own place is the one meant).
struct LabelPath {
    const char* name[MAX_LABEL_DEPTH];
    int ordinal[MAX_LABEL_DEPTH];
    int count;  // 0: the root label
};

// Fills path with the steps down to target (null or a record without parent:
// the root label). The names point into the records. Returns 0, or -1 when
// target is deeper than MAX_LABEL_DEPTH.
int LabelPathOf(const LabelNode* target, LabelPath* path);

// What one step of the walk met.
enum WalkEvent {
    WALK_LABEL,         // a label's head: name in text, depth its depth, place
    WALK_LABEL_END,     // the label at depth + 1 closed
    WALK_PHRASE_OPEN,   // a <p> tag (at depth)
    WALK_PHRASE_CLOSE,  // a </p> tag
    WALK_TEXT,          // a quoted line: in line (lineLength); inPhrase says whether loose
    WALK_PHRASE,        // a phrase in scope ended: phrase.text (NUL-terminated), phrase.length
    WALK_END,           // the root label closed
    WALK_FAILED,        // the file is malformed or cannot be read: see error
};

// Where a label stands against the walk's path.
enum LabelPlace {
    PLACE_PATH,    // on the path, above the target
    PLACE_TARGET,  // the target itself
    PLACE_INSIDE,  // inside the target
    PLACE_BESIDE,  // off the path: the caller skips or copies its body
};

// Receives the tokens of a copied body, each with the level it is written
// at (a label's head and close at the label's level, its content one
// deeper). put returns 0 to go on, -1 to stop the copy.
struct TokenSink {
    void* context;
    int (*put)(void* context, int token, int level, const char* text, size_t length);
};

// The writers' shape of a phrase at an indent: "<p>", its quoted lines,
// "</p>", each on its own line after the same spaces and ended by CR LF. A
// quiet walk that has met a "<p>" line so takes the next such phrase whole.
const int PHRASE_SHAPE_WIDTH = 32;  // indent and tag together, at the most
struct PhraseShape {
    int indent;  // -1: none met yet
    char open[PHRASE_SHAPE_WIDTH];   // indent, "<p>" CR LF
    char head[PHRASE_SHAPE_WIDTH];   // indent, '"'
    char close[PHRASE_SHAPE_WIDTH];  // indent, "</p>" CR LF
    // The bytes of each line that must match, a bit each, made when the
    // shape is learnt rather than at each compare.
    unsigned openMask, headMask, closeMask;
};

const size_t WANTS_SLACK = 64;

// The viewer for the walks that OpenWalk starts from now on (null: none).
void SetFileViewer(const FileViewer* viewer);

struct PhraseWalker {
    FILE* file;               // owned when opened by OpenWalk
    bool ownsFile;
    const FileViewer* viewer; // the file is seen through view, which viewer closes
    FileView view;
    bool started;             // tokens holds a read-ahead
    TokenReader tokens;
    const LabelPath* path;
    bool keepPhrases;         // gather the phrases in scope
    bool quiet;               // report no <p>, no </p> and no quoted line inside a phrase
    bool quietInside;         // a quiet walk reports no head nor close of a label inside
                              // the target (for walks that act only on labels beside it)
    long phraseTags;          // <p> tags walked by WalkNext
    // A phrase in scope is reported only when wants says so (null: each).
    // WANTS_SLACK bytes past the text it is handed may be read.
    bool (*wants)(void* context, const char* text, size_t length);
    void* wantsContext;
    LibraryError* error;      // may be null
    char* text;               // PHRASE_BUFFER_SIZE: the last name, or a line outside a kept phrase
    size_t textLength;
    const char* line;         // WALK_TEXT: the line read (in text or in the phrase)
    size_t lineLength;
    PhraseLines phrase;       // text: PHRASE_BUFFER_SIZE + 1 bytes, when phrases are kept
    int depth;                // of the innermost open label (the root is 0)
    long headLine;            // line of the last head's open tag
    LabelPlace place;         // of the last head
    int matched;              // depth of the innermost open label on the path
    int seen;                 // children of that label met that hold the path's next name
    bool pathDone;            // a label on the path has closed: nothing more can match
    bool inPhrase;            // a phrase is open
    bool keep;                // the open phrase is in scope and being gathered
    int phraseDepth;          // depth of the label the open phrase was opened in
    int pending;              // token that ended a phrase, or a label's tag the quick path
                              // took, handled at the next step (0: none)
    bool headTaken;           // the pending head's name is in text already
    PhraseShape shape;        // of the last <p> line a quiet walk met
    bool ended;               // the root label has closed
    bool failed;
};

// Starts a walk over an open file (binary mode, not owned) and reads the
// root label's head; the walk then stands in the root's body. keepPhrases
// gathers the phrases in scope (the target and all inside it) for
// WALK_PHRASE. Returns 0, or -1 with error set ("no root label" at the line
// of the first token, 0 when there is none; "label without a name"; "out of
// memory"). EndWalk is due either way.
int StartWalk(PhraseWalker* w, FILE* file, const LabelPath* path, bool keepPhrases,
              LibraryError* error);

// StartWalk, handing every read of file to copy as well (TokenReader's
// copy), from the first byte on.
int StartCopyingWalk(PhraseWalker* w, FILE* file, const LabelPath* path,
                     void (*copy)(void* context, const char* bytes, size_t n), void* copyContext,
                     LibraryError* error);

// The same on the file at filePath, which the walk then owns ("cannot open
// the file" when it cannot be opened); seen in place when a viewer is set
// and gives a view of it.
int OpenWalk(PhraseWalker* w, const char* filePath, const LabelPath* path, bool keepPhrases,
             LibraryError* error);

// Releases the buffers and an owned file.
void EndWalk(PhraseWalker* w);

// Lets go of the file a walk opened with OpenWalk reads, the walk kept
// where it stands, so that other programs may replace the file between
// two parts of a long walk. Returns the offset to go on from, or -1 when
// the walk cannot let go (it reads a view, or a file it does not own; it
// then stays as it was).
long PauseWalk(PhraseWalker* w);
// Opens filePath again and reads on from at. The caller tells first that
// it is the same file (its stamp). Returns 0, or -1 with the walk still
// paused (EndWalk is due either way).
int ResumeWalk(PhraseWalker* w, const char* filePath, long at);

// Reads to the next event and returns it. A quiet walk (set quiet after
// the start) leaves out the events most lines make, for walks that only
// want labels, phrases and loose lines. After WALK_LABEL the label is
// open: the next step walks into its body unless the caller skips or copies
// it. After WALK_END or WALK_FAILED it keeps returning the same.
int WalkNext(PhraseWalker* w);

// The walk loop, written once: hands every event up to the end to
// handle(event) (an int(int) callable), which returns WALK_ON to go on,
// WALK_DONE to end the walk there with success, or -1 to fail it. WALK_END
// is handed too and ends the walk after its handler (WALK_ON counts as
// done); WALK_FAILED is not handed and fails it. Returns 0 or -1.
const int WALK_ON = 0;
const int WALK_DONE = 1;
template <class Handler>
int WalkEach(PhraseWalker* w, Handler&& handle)
{
    for (;;) {
        int event = WalkNext(w);
        if (event == WALK_FAILED)
            return -1;
        int step = handle(event);
        if (step < 0)
            return -1;
        if (step == WALK_DONE || event == WALK_END)
            return 0;
    }
}

// Reads past the rest of the label whose head was just met, nested labels
// included, up to and including its close. The heads inside must carry
// names and stay within the depth limit. An open phrase stays open.
// Returns 0, or -1 with error set.
int WalkSkipBody(PhraseWalker* w);

// The same, handing every token to sink: the body's content at level, its
// close at level - 1. The depth limit is checked on the levels written (a
// pasted label lands at another depth than it had in its own file).
// Returns 0, or -1 with error set, or -1 with error untouched when sink
// stopped.
int WalkCopyBody(PhraseWalker* w, const TokenSink* sink, int level);

// What a whole walk of the file finds, holding nothing but the walk.
struct LibraryCounts {
    long labels;   // the root label not counted
    long phrases;  // <p> tags inside the root label
    bool found;    // find's label is in the file
};

// Walks the whole file checking it as ReadLabelTree does (same failures,
// same lines), counting its labels and phrases and looking for the label at
// find (null: the root label). Returns 0, or -1 with error set.
int WalkLibraryFile(const char* phrasePath, const LabelPath* find, LibraryCounts* counts,
                    LibraryError* error);
