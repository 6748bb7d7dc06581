// What a walk of a file reports, as one line of text per event, for tests
// that hold a quiet walk against a full one: the quiet walk must report
// exactly the full walk's events less the ones it leaves out, at the same
// lines, with the same phrases and the same failure.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/phrase_walker.h"
#include "tests/core/test_files.h"

// Walks the open file (rewound first) from the root with phrases kept,
// entering every label, or with skipDeep skipping the bodies of the labels
// below the top level. *phraseTags receives the walker's count of <p> tags.
// With a path, the walk is OpenWalk's of the file there (seen through the
// viewer set, if any) and file is not used.
inline std::string WalkEvents(FILE* file, bool quiet, long* phraseTags = nullptr,
                              bool skipDeep = false, const char* path = nullptr)
{
    if (!path)
        rewind(file);
    PhraseWalker w;
    LibraryError error = {};
    std::string out;
    char line[64];
    if ((path ? OpenWalk(&w, path, nullptr, true, &error)
              : StartWalk(&w, file, nullptr, true, &error)) == 0) {
        w.quiet = quiet;
        for (bool done = false; !done;) {
            int event = WalkNext(&w);
            if (quiet && (event == WALK_PHRASE_OPEN || event == WALK_PHRASE_CLOSE ||
                          (event == WALK_TEXT && w.inPhrase)))
                out += "LOUD ";  // a quiet walk must not report these
            if (!quiet && (event == WALK_PHRASE_OPEN || event == WALK_PHRASE_CLOSE ||
                           (event == WALK_TEXT && w.inPhrase)))
                continue;
            snprintf(line, sizeof line, "%d@%ld d%d ", event, w.tokens.lineNumber, w.depth);
            out += line;
            if (event == WALK_LABEL)
                out += std::string(w.text, w.textLength);
            else if (event == WALK_PHRASE)
                out += std::string(w.phrase.text, w.phrase.length);
            else if (event == WALK_TEXT)
                out += std::string(w.line, w.lineLength);
            out += "\n";
            done = event == WALK_END || event == WALK_FAILED;
            if (event == WALK_LABEL && skipDeep && w.depth >= 2 && WalkSkipBody(&w) != 0) {
                snprintf(line, sizeof line, "skip failed@%ld\n", w.tokens.lineNumber);
                out += line;
                done = true;
            }
        }
    }
    if (phraseTags)
        *phraseTags = w.phraseTags;
    snprintf(line, sizeof line, "error %ld ", error.line);
    out += line + std::string(error.what);
    EndWalk(&w);
    return out;
}

// A viewer that sees a file as an exact copy of its bytes on the heap, so
// that a read past a view's end is a read past the allocation.
inline int OpenCopyView(const char* path, FileView* view)
{
    std::string bytes = ReadBytes(path);  // none: the file is read, or found missing
    char* copy = bytes.empty() ? nullptr : (char*)malloc(bytes.size());
    if (!copy)
        return -1;
    memcpy(copy, bytes.data(), bytes.size());
    view->bytes = copy;
    view->length = bytes.size();
    return 0;
}

// Bytes said to be done with are overwritten: a walk that still used them
// would walk otherwise.
inline void ReleaseCopyView(FileView* view, size_t upTo)
{
    memset((char*)view->bytes, '<', upTo);
}

inline void CloseCopyView(FileView* view)
{
    free((void*)view->bytes);
}

const FileViewer kCopyViewer = {OpenCopyView, ReleaseCopyView, CloseCopyView};
