// What a walk of a file reports, as one line of text per event, for tests
// that hold a quiet walk against a full one: the quiet walk must report
// exactly the full walk's events less the ones it leaves out, at the same
// lines, with the same phrases and the same failure.
#pragma once

#include <cstdio>
#include <string>

#include "library/phrase_walker.h"

// Walks the open file (rewound first) from the root with phrases kept,
// entering every label, or with skipDeep skipping the bodies of the labels
// below the top level. *phraseTags receives the walker's count of <p> tags.
inline std::string WalkEvents(FILE* file, bool quiet, long* phraseTags = nullptr,
                              bool skipDeep = false)
{
    rewind(file);
    PhraseWalker w;
    LibraryError error = {};
    std::string out;
    char line[64];
    if (StartWalk(&w, file, nullptr, true, &error) == 0) {
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
                out += w.text;
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
