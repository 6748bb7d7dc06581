// The walker over the phrase file, and the whole-file walks built on it.
#include "library/phrase_walker.h"

#include <cstdlib>
#include <cstring>

#include "common/buffer_calls.h"
#include "common/file_calls.h"

#include "library/line_scan.h"

namespace {

const LabelPath kRootPath = {};
// A kept phrase: one byte more than a phrase can use, so a line that would
// not fit shows as longer than its room instead of being cut silently; then
// the bytes wants may read past a phrase.
const size_t kPhraseRoom = PHRASE_BUFFER_SIZE + 1 + WANTS_SLACK;

int Fail(PhraseWalker* w, long line, const char* what, LibraryFault fault = FAULT_OTHER)
{
    w->failed = true;
    if (w->error) {
        w->error->line = line;
        snprintf(w->error->what, sizeof w->error->what, "%s", what);
        w->error->fault = fault;
    }
    return -1;
}

// Fails for a file that ends before the root label's close, at its last line.
int FailAtEnd(PhraseWalker* w)
{
    long line = w->tokens.lineNumber;
    return Fail(w, line > 0 ? line - 1 : 0, "end of file inside a label");
}

// Reads the name that must follow the open tag just read, for a label that
// opens at depth. Returns 0, or -1 when the name is missing or the label is
// too deep (both reported at the open tag's line).
int ReadHead(PhraseWalker* w, int depth)
{
    w->headLine = w->tokens.lineNumber;
    if (w->headTaken) {
        w->headTaken = false;
    } else {
        w->textLength = 0;
        if (ReadToken(&w->tokens, w->text, PHRASE_BUFFER_SIZE, &w->textLength) != TOKEN_TEXT)
            return Fail(w, w->headLine, "label without a name");
    }
    if (depth > MAX_LABEL_DEPTH)
        return Fail(w, w->headLine, "nesting too deep");
    return 0;
}

// The place of the label whose head was just read, a child of the label at
// parent. Only the children of the innermost label on the path can be on it,
// and of those the one at the path's ordinal among its equal-named siblings.
LabelPlace PlaceOf(PhraseWalker* w, int parent)
{
    const LabelPath* path = w->path;
    const int n = path->count;
    if (w->matched == n && parent >= n)
        return PLACE_INSIDE;
    if (!w->pathDone && parent == w->matched && parent < n &&
        LabelNameMatches(w->text, path->name[parent]) && w->seen++ == path->ordinal[parent]) {
        w->matched = parent + 1;
        w->seen = 0;
        return w->matched == n ? PLACE_TARGET : PLACE_PATH;
    }
    return PLACE_BESIDE;
}

bool Wants(const PhraseWalker* w, const char* text, size_t length)
{
    return !w->wants || w->wants(w->wantsContext, text, length);
}

// Ends the open phrase. Returns true when it was gathered.
bool ClosePhrase(PhraseWalker* w)
{
    bool kept = w->keep;
    w->inPhrase = w->keep = false;
    // The NUL, and the slack a probe may read past it cleared: the buffer
    // is not cleared whole, and a probe sees the same bytes for a text
    // wherever it came in the file.
    if (kept)
        memset(w->phrase.text + w->phrase.length, 0, 1 + WANTS_SLACK);
    return kept;
}

// The same, true only when the phrase is also wanted (WALK_PHRASE is due).
bool EndPhrase(PhraseWalker* w)
{
    return ClosePhrase(w) && Wants(w, w->phrase.text, w->phrase.length);
}

// Opens a phrase at the <p> tag just read.
void OpenPhrase(PhraseWalker* w)
{
    w->inPhrase = true;
    w->phraseDepth = w->depth;
    w->keep = w->keepPhrases && w->matched == w->path->count && w->depth >= w->path->count;
    w->phraseTags++;
    StartPhraseLines(&w->phrase);
}

// Remembers the indent of a "<p>" CR LF line as the phrase shape to expect.
void LearnPhraseShape(PhraseShape* shape, int indent)
{
    if (indent == shape->indent || indent + 6 > PHRASE_SHAPE_WIDTH)
        return;
    shape->indent = indent;
    memset(shape->open, ' ', sizeof shape->open);
    memset(shape->head, ' ', sizeof shape->head);
    memset(shape->close, ' ', sizeof shape->close);
    memcpy(shape->open + indent, "<p>\r\n", 5);
    shape->head[indent] = '"';
    memcpy(shape->close + indent, "</p>\r\n", 6);
    auto maskOf = [](int n) { return n >= 32 ? ~0u : (1u << n) - 1; };
    shape->openMask = maskOf(indent + 5);
    shape->headMask = maskOf(indent + 1);
    shape->closeMask = maskOf(indent + 6);
}

// True when the bytes at p that want marks (the first n, a bit each) are
// those of pattern; 32 bytes at p must be readable.
inline bool StartsWith(const char* p, const char* pattern, [[maybe_unused]] int n,
                       [[maybe_unused]] unsigned want)
{
#if defined(__SSE2__)
    __m128i low = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)p),
                                 _mm_loadu_si128((const __m128i*)pattern));
    __m128i high = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(p + 16)),
                                  _mm_loadu_si128((const __m128i*)(pattern + 16)));
    unsigned same = (unsigned)_mm_movemask_epi8(low) | (unsigned)_mm_movemask_epi8(high) << 16;
    return (same & want) == want;
#else
    return memcmp(p, pattern, (size_t)n) == 0;
#endif
}

// The quoted lines of a phrase of the expected shape, as they lie in the
// read-ahead.
const int SHAPED_LINES_MAX = 8;
struct ShapedLines {
    const char* text[SHAPED_LINES_MAX];
    size_t length[SHAPED_LINES_MAX];
    int count;
};

// A phrase of the expected shape at p, read whole: returns the end of its
// "</p>" line, with its quoted lines' texts in *lines, or null when the
// lines at p are not of that shape (or not all in the read-ahead). Each line
// is one the step would read as a simple line with one token: a <p> tag,
// quoted lines whose last byte before CR LF is their closing quote, a </p>
// tag.
const char* MatchShapedPhrase(const PhraseShape* shape, const char* p, const char* blockEnd,
                              ShapedLines* lines)
{
    const int indent = shape->indent;
    if (blockEnd - p < 3 * PHRASE_SHAPE_WIDTH || !StartsWith(p, shape->open, indent + 5, shape->openMask))
        return nullptr;
    const char* line = p + indent + 5;
    lines->count = 0;
    while (StartsWith(line, shape->head, indent + 1, shape->headMask)) {
        if (lines->count == SHAPED_LINES_MAX)
            return nullptr;
        const char* from = line + indent + 1;  // after the opening quote
        // The line end within a line buffer's length of the line's start,
        // and a shape's width before the end of the read-ahead: with the
        // read-ahead's slack, that leaves what wants may read past the text.
        static_assert(PHRASE_SHAPE_WIDTH + READ_BLOCK_SLACK >= WANTS_SLACK,
                      "a shaped line's text has slack");
        size_t room = (size_t)(blockEnd - from);
        if (room <= (size_t)PHRASE_SHAPE_WIDTH)
            return nullptr;
        room -= PHRASE_SHAPE_WIDTH;
        size_t limit = (size_t)(LINE_BUFFER_SIZE - 1) - (size_t)(from - line);
        const char* lf = FindLineEndInBlock(from, room < limit ? room : limit);
        if (!lf || lf - from < 2 || lf[-1] != '\r' || lf[-2] != '"')
            return nullptr;
        lines->text[lines->count] = from;
        lines->length[lines->count] = (size_t)(lf - 2 - from);
        lines->count++;
        line = lf + 1;
    }
    if (lines->count == 0 || !StartsWith(line, shape->close, indent + 6, shape->closeMask))
        return nullptr;
    return line + indent + 6;
}

// Asks for the bytes a little ahead of p: the quick paths spend most of
// their time waiting for the file's bytes to come in from memory, and the
// processor's own look-ahead stops at each page of a file seen in place.
// (A prefetch past the read-ahead, or the view, is harmless.)
inline void Prefetch(const char* p)
{
    __builtin_prefetch(p + 2048);
}

// A label's close whose tag ends at after, alone on its line before stop:
// true with the line's LF in *lf.
bool TakeLabelClose(const char* after, const char* stop, const char** lf)
{
    *lf = TagLineEnd(after, stop);
    return *lf != nullptr;
}

// A label's head whose open tag ends at after, with spaces and then its
// quoted name on the same line, ended before stop: true with the name in
// the walker's text (as the step would read it) and the line's LF in *lf.
bool TakeLabelHead(PhraseWalker* w, const char* after, const char* stop, const char** lf)
{
    const char* quote = SkipIndent(after, stop);
    if (quote == stop || *quote != '"' || !(*lf = FindLineEnd(quote, (size_t)(stop - quote))))
        return false;
    size_t length = 0;
    if (QuotedLineToken(quote, *lf, w->text, PHRASE_BUFFER_SIZE, &length) != TOKEN_TEXT)
        return false;
    w->textLength = length;
    w->headTaken = true;
    return true;
}

// For a walk quiet inside its target: takes the head (its name taken) or
// the close of a label inside the target as the step would, reporting
// neither. False when the step is needed: a label on or off the path, a
// head past the depth limit, a close that ends a phrase.
bool TakeInside(PhraseWalker* w, int tag)
{
    const int n = w->path->count;
    if (w->matched != n)
        return false;
    if (tag == TOKEN_LABEL_OPEN) {
        // PlaceOf's PLACE_INSIDE, and ReadHead's checks: the name is there.
        if (w->depth < n || w->depth + 1 > MAX_LABEL_DEPTH)
            return false;
        w->headTaken = false;
        w->place = PLACE_INSIDE;
        w->depth++;
        return true;
    }
    if (w->depth <= n || (w->inPhrase && w->phraseDepth == w->depth))
        return false;
    w->depth--;
    return true;
}

// The quick path of a quiet walk over the lines most of a library is made
// of, where they lie in the read-ahead: <p> and </p> alone on their lines,
// and quoted lines inside a phrase; a phrase in the writers' shape is taken
// whole. Each line is taken exactly as the step below would take it. Stops
// at any other line, at a line the read-ahead does not hold whole, and where
// a phrase in scope ends (returning WALK_PHRASE with the tag that ended it
// pending); returns 0 when the next line is the general step's. A label's
// close alone on its line, and its head with the quoted name on the same
// line, end the quick path too, taken: the tag is left pending (a head's
// name in text), for the step to handle.
int SkimLines(PhraseWalker* w)
{
    TokenReader* r = &w->tokens;
    if (r->pos < r->len || r->midLine)
        return 0;
    const char* p = r->block + r->blockPos;
    const char* const blockEnd = r->block + r->blockLen;
    long lines = 0;
    int event = 0;
    for (;;) {
        Prefetch(p);
        ShapedLines shaped;
        const char* after;
        if (!w->inPhrase && w->shape.indent >= 0 &&
            (after = MatchShapedPhrase(&w->shape, p, blockEnd, &shaped)) != nullptr) {
            // What the step does with its lines. A phrase of one line is
            // the line's text: it is asked for where it lies, and gathered
            // only when wanted.
            OpenPhrase(w);
            bool asked = w->keep && shaped.count == 1 && w->wants;
            if (asked && !Wants(w, shaped.text[0], shaped.length[0]))
                w->keep = false;
            for (int i = 0; w->keep && i < shaped.count; i++) {
                size_t room = 0;
                char* into = NextPhraseLine(&w->phrase, &room);
                if (shaped.length[i] < room) {
                    memcpy(into, shaped.text[i], shaped.length[i]);
                    KeepPhraseLine(&w->phrase, shaped.length[i]);
                }
            }
            p = after;
            lines += 2 + shaped.count;
            if (asked ? ClosePhrase(w) : EndPhrase(w)) {
                w->pending = TOKEN_PHRASE_CLOSE;
                event = WALK_PHRASE;
                break;
            }
            continue;
        }
        const char* stop = LineStop(p, blockEnd);
        const char* first = SkipIndent(p, stop);
        if (first == stop)
            break;
        const char* lf;
        if (*first == '<') {
            size_t tagLength = 0;
            int tag = MatchTag(first, (size_t)(stop - first), &tagLength);
            if (tag == TOKEN_LABEL_OPEN || tag == TOKEN_LABEL_CLOSE) {
                if (tag == TOKEN_LABEL_CLOSE ? !TakeLabelClose(first + tagLength, stop, &lf)
                                             : !TakeLabelHead(w, first + tagLength, stop, &lf))
                    break;
                if (w->quietInside && TakeInside(w, tag)) {
                    p = lf + 1;
                    lines++;
                    continue;
                }
                w->pending = tag;
                p = lf + 1;
                lines++;
                break;
            }
            if ((tag != TOKEN_PHRASE_OPEN && tag != TOKEN_PHRASE_CLOSE) ||
                !(lf = TagLineEnd(first + tagLength, stop)))
                break;
            if (w->inPhrase && EndPhrase(w)) {
                w->pending = tag;
                event = WALK_PHRASE;
                p = lf + 1;
                lines++;
                break;
            }
            if (tag == TOKEN_PHRASE_OPEN) {
                OpenPhrase(w);
                if (lf == first + 4 && first[1] == 'p')
                    LearnPhraseShape(&w->shape, (int)(first - p));
            }
        } else if (*first == '"' && w->inPhrase) {
            lf = FindLineEnd(first, (size_t)(stop - first));
            if (!lf)
                break;
            if (w->keep) {
                size_t room = 0;
                char* into = NextPhraseLine(&w->phrase, &room);
                size_t got = 0;
                if (QuotedLineToken(first, lf, into, room, &got) == TOKEN_TEXT)
                    KeepPhraseLine(&w->phrase, got);
            }
        } else {
            break;
        }
        p = lf + 1;
        lines++;
    }
    r->blockPos = (size_t)(p - r->block);
    r->lineNumber += lines;
    return event;
}

// The quick path of a quiet walk through a body it skips: every line but a
// label's tag is passed over, where it lies in the read-ahead. Stops at a
// label's tag, at a tag with more on its line, at a line that starts with
// other white space than spaces, and at a line the read-ahead does not hold
// whole: the step reads those.
void SkipLines(PhraseWalker* w)
{
    TokenReader* r = &w->tokens;
    if (r->pos < r->len || r->midLine)
        return;
    const char* p = r->block + r->blockPos;
    const char* const blockEnd = r->block + r->blockLen;
    long lines = 0;
    for (;;) {
        Prefetch(p);
        const char* stop = LineStop(p, blockEnd);
        const char* first = SkipIndent(p, stop);
        if (first == stop)
            break;
        const char* lf;
        size_t tagLength = 0;
        int tag = MatchTag(first, (size_t)(stop - first), &tagLength);
        if (tag == TOKEN_PHRASE_OPEN || tag == TOKEN_PHRASE_CLOSE) {
            if (!(lf = TagLineEnd(first + tagLength, stop)))
                break;
        } else if (tag != 0 || (*first != '\n' && (unsigned char)*first <= ' ')) {
            break;
        } else {
            lf = FindLineEnd(first, (size_t)(stop - first));
            if (!lf)
                break;
        }
        p = lf + 1;
        lines++;
    }
    r->blockPos = (size_t)(p - r->block);
    r->lineNumber += lines;
}

// Reads past a body whose content stands at level, up to and including its
// close, handing the tokens to sink when there is one. The walker's depth
// drops by one at the close.
int PassBody(PhraseWalker* w, const TokenSink* sink, int level)
{
    if (w->failed || w->ended)
        return -1;
    int open = 0;  // labels opened inside the body and not yet closed
    for (;;) {
        if (!sink && w->quiet)
            SkipLines(w);
        size_t length = 0;
        int token = ReadToken(&w->tokens, w->text, PHRASE_BUFFER_SIZE, &length);
        int at = level + open;
        switch (token) {
        case TOKEN_LABEL_OPEN:
            if (ReadHead(w, at) != 0)
                return -1;
            length = w->textLength;
            open++;
            break;
        case TOKEN_LABEL_CLOSE:
            if (sink && sink->put(sink->context, token, at - 1, nullptr, 0) != 0) {
                w->failed = true;
                return -1;
            }
            if (open == 0) {
                w->depth--;
                return 0;
            }
            open--;
            continue;
        case TOKEN_END:
            return FailAtEnd(w);
        case TOKEN_IGNORED:
            continue;
        default:
            break;
        }
        bool hasText = token == TOKEN_LABEL_OPEN || token == TOKEN_TEXT;
        if (sink && sink->put(sink->context, token, at, hasText ? w->text : nullptr, length) != 0) {
            w->failed = true;
            return -1;
        }
    }
}

}  // namespace

int LabelPathOf(const LabelNode* target, LabelPath* path)
{
    path->count = 0;
    if (!target || !target->parent)
        return 0;
    int n = LabelDepth(target);
    if (n > MAX_LABEL_DEPTH)
        return -1;
    path->count = n;
    const LabelNode* node = target;
    for (int k = n - 1; k >= 0; k--, node = node->parent) {
        path->name[k] = node->name;
        path->ordinal[k] = 0;
        for (const LabelNode* s = node->parent->firstChild; s && s != node; s = s->nextSibling) {
            if (strcmp(s->name, node->name) == 0)
                path->ordinal[k]++;
        }
    }
    return 0;
}

namespace {

const FileViewer* g_viewer = nullptr;

// StartWalk over the open file, or over the file seen in place through
// viewer when it is given (the walk then ends the view).
int BeginWalk(PhraseWalker* w, FILE* file, const FileView* view, const FileViewer* viewer,
              const LabelPath* path, bool keepPhrases, LibraryError* error,
              void (*copy)(void*, const char*, size_t) = nullptr, void* copyContext = nullptr)
{
    memset(w, 0, sizeof *w);
    w->file = file;
    if (viewer) {
        w->view = *view;
        w->viewer = viewer;
    }
    w->path = path ? path : &kRootPath;
    w->keepPhrases = keepPhrases;
    w->error = error;
    w->shape.indent = -1;
    w->text = (char*)TakeBuffer(PHRASE_BUFFER_SIZE);
    w->phrase.text = keepPhrases ? (char*)TakeBuffer(kPhraseRoom) : nullptr;
    if (!w->text || (keepPhrases && !w->phrase.text))
        return Fail(w, 0, "out of memory", FAULT_NO_MEMORY);
    if ((viewer ? StartTokenReaderOnView(&w->tokens, &w->view, viewer)
                : StartTokenReader(&w->tokens, file)) != 0)
        return Fail(w, 0, "out of memory", FAULT_NO_MEMORY);
    w->tokens.copy = copy;
    w->tokens.copyContext = copyContext;
    w->started = true;
    int token = ReadToken(&w->tokens, w->text, PHRASE_BUFFER_SIZE);
    if (token != TOKEN_LABEL_OPEN)
        return Fail(w, token == TOKEN_END ? 0 : w->tokens.lineNumber, "no root label");
    if (ReadHead(w, 0) != 0)
        return -1;
    w->place = w->path->count == 0 ? PLACE_TARGET : PLACE_PATH;
    return 0;
}

}  // namespace

void SetFileViewer(const FileViewer* viewer)
{
    g_viewer = viewer;
}

int StartWalk(PhraseWalker* w, FILE* file, const LabelPath* path, bool keepPhrases,
              LibraryError* error)
{
    return BeginWalk(w, file, nullptr, nullptr, path, keepPhrases, error);
}

int StartCopyingWalk(PhraseWalker* w, FILE* file, const LabelPath* path,
                     void (*copy)(void* context, const char* bytes, size_t n), void* copyContext,
                     LibraryError* error)
{
    return BeginWalk(w, file, nullptr, nullptr, path, false, error, copy, copyContext);
}

int OpenWalk(PhraseWalker* w, const char* filePath, const LabelPath* path, bool keepPhrases,
             LibraryError* error)
{
    FileView view = {};
    const FileViewer* viewer = g_viewer;
    if (viewer && viewer->open(filePath, &view) == 0)
        return BeginWalk(w, nullptr, &view, viewer, path, keepPhrases, error);
    FILE* file = FileOpen(filePath, "rb");
    if (!file) {
        memset(w, 0, sizeof *w);
        w->error = error;
        return Fail(w, 0, "cannot open the file");
    }
    int result = StartWalk(w, file, path, keepPhrases, error);
    w->ownsFile = true;
    return result;
}

long PauseWalk(PhraseWalker* w)
{
    if (!w->ownsFile || !w->file || w->viewer)
        return -1;
    long at = ftell(w->file);
    if (at < 0)
        return -1;
    FileClose(w->file);
    w->file = w->tokens.file = nullptr;
    return at;
}

int ResumeWalk(PhraseWalker* w, const char* filePath, long at)
{
    if (!w->ownsFile || w->file)
        return -1;
    FILE* file = FileOpen(filePath, "rb");
    if (!file)
        return -1;
    if (fseek(file, at, SEEK_SET) != 0) {
        FileClose(file);
        return -1;
    }
    w->file = w->tokens.file = file;
    return 0;
}

void EndWalk(PhraseWalker* w)
{
    if (w->started)
        EndTokenReader(&w->tokens);
    GiveBuffer(w->text, PHRASE_BUFFER_SIZE);
    GiveBuffer(w->phrase.text, kPhraseRoom);
    if (w->ownsFile && w->file)
        FileClose(w->file);
    if (w->viewer)
        w->viewer->close(&w->view);
    w->viewer = nullptr;
    w->started = w->ownsFile = false;
    w->text = w->phrase.text = nullptr;
    w->file = nullptr;
}

int WalkNext(PhraseWalker* w)
{
    if (w->failed)
        return WALK_FAILED;
    if (w->ended)
        return WALK_END;
    for (;;) {
        int token = w->pending;
        w->pending = 0;
        if (token == 0 && w->quiet) {
            int event = SkimLines(w);
            if (event)
                return event;
            token = w->pending;  // a label's tag it took
            w->pending = 0;
        }
        if (token == 0) {
            size_t room = PHRASE_BUFFER_SIZE;
            char* into = w->keep ? NextPhraseLine(&w->phrase, &room) : w->text;
            size_t got = 0;
            token = ReadToken(&w->tokens, into, room, &got);
            w->line = into;
            w->lineLength = got;
        }
        switch (token) {
        case TOKEN_LABEL_OPEN: {
            int parent = w->depth;
            if (ReadHead(w, parent + 1) != 0)
                return WALK_FAILED;
            w->place = PlaceOf(w, parent);
            w->depth = parent + 1;
            return WALK_LABEL;
        }
        case TOKEN_LABEL_CLOSE:
            if (w->inPhrase && w->phraseDepth == w->depth && EndPhrase(w)) {
                w->pending = token;
                return WALK_PHRASE;
            }
            if (w->depth == w->matched) {
                w->pathDone = true;
                if (w->matched > 0)
                    w->matched--;
            }
            if (w->depth == 0) {
                w->ended = true;
                return WALK_END;
            }
            w->depth--;
            return WALK_LABEL_END;
        case TOKEN_PHRASE_OPEN:
        case TOKEN_PHRASE_CLOSE:
            if (w->inPhrase && EndPhrase(w)) {
                w->pending = token;
                return WALK_PHRASE;
            }
            if (token == TOKEN_PHRASE_CLOSE) {
                if (w->quiet)
                    continue;
                return WALK_PHRASE_CLOSE;
            }
            OpenPhrase(w);
            if (w->quiet)
                continue;
            return WALK_PHRASE_OPEN;
        case TOKEN_TEXT:
            if (w->keep)
                KeepPhraseLine(&w->phrase, w->lineLength);
            if (w->quiet && w->inPhrase)
                continue;
            return WALK_TEXT;
        case TOKEN_END:
            FailAtEnd(w);
            return WALK_FAILED;
        default:
            break;  // lines that are no token of the format
        }
    }
}

int WalkSkipBody(PhraseWalker* w)
{
    return PassBody(w, nullptr, w->depth + 1);
}

int WalkCopyBody(PhraseWalker* w, const TokenSink* sink, int level)
{
    return PassBody(w, sink, level);
}

int WalkLibraryFile(const char* phrasePath, const LabelPath* find, LibraryCounts* counts,
                    LibraryError* error)
{
    memset(counts, 0, sizeof *counts);
    counts->found = !find || find->count == 0;
    PhraseWalker w;
    int result = OpenWalk(&w, phrasePath, find, false, error);
    w.quiet = true;
    if (result == 0)
        result = WalkEach(&w, [&](int event) {
            if (event == WALK_LABEL) {
                counts->labels++;
                if (w.place == PLACE_TARGET)
                    counts->found = true;
            }
            return WALK_ON;
        });
    if (result == 0)
        counts->phrases = w.phraseTags;
    EndWalk(&w);
    return result;
}
