// What the readers, the search and the rewrites of the phrase file take and
// give: the phrases of a list streamed in and out, and why a walk stopped.
#pragma once

#include <cstddef>

// Receives phrases in file order. add returns 0 to go on, -1 to stop (the
// reader then fails with -1).
struct PhraseSink {
    void* context;
    int (*add)(void* context, const char* text, size_t length);
};

// Supplies the phrases of a list in order. get copies item index into text
// (size bytes, NUL-terminated) and returns its length, or -1.
struct PhraseSource {
    void* context;
    int count;
    int (*get)(void* context, int index, char* text, size_t size);
};

// What a reader or a rewrite stopped on, where a caller acts on the kind;
// what itself is for the user and the log.
enum LibraryFault {
    FAULT_OTHER,          // told in what alone
    FAULT_NO_MEMORY,
    FAULT_NO_SUCH_LABEL,  // the rewrite's target is not in the file
    FAULT_CLIP_FILE,      // the clip file cannot be read, made or written
    FAULT_PHRASE_FILE,    // the rewrite's walk of the phrase file failed, as a read
                          // of its tree fails (malformed, cannot be opened or read)
};

// Where a reader or a rewrite stopped on a malformed file.
struct LibraryError {
    long line;             // physical line of the offending token (0: none)
    char what[96];         // what was wrong, in English
    bool changed = false;  // a rewrite found the phrase file replaced or written by
                           // another program while it worked: nothing was written;
                           // read the file again and give the change again
    LibraryFault fault = FAULT_OTHER;  // the kind of what, set with it
};
