#include "library/phrase_token.h"
#include "library/line_scan.h"

#include <cstdlib>
#include <cstring>

#include "common/buffer_calls.h"
#include "common/file_calls.h"

namespace {

const unsigned long long LINE_SPACE_BITS = (1ull << ' ') | (1ull << '\t') | (1ull << '\r') |
                                           (1ull << '\n') | (1ull << '\v') | (1ull << '\f');

bool IsLineSpace(unsigned char c)
{
    return c <= ' ' && ((LINE_SPACE_BITS >> c) & 1);
}

// Next byte of the file without consuming it; -1 at the end.
int PeekByte(TokenReader* r)
{
    if (r->blockPos == r->blockLen) {
        r->blockPos = 0;
        if (r->view) {
            // Nothing holds on to the read-aheads before this one.
            if (r->viewPos - r->released >= VIEW_RELEASE_STEP && r->viewer->release) {
                r->viewer->release(r->view, r->viewPos);
                r->released = r->viewPos;
            }
            const char* bytes = r->view->bytes + r->viewPos;
            size_t left = r->view->length - r->viewPos;
            r->blockLen = left < READ_BLOCK_SIZE ? left : READ_BLOCK_SIZE;
            if (left - r->blockLen >= READ_BLOCK_SLACK) {
                r->block = bytes;
            } else {
                memcpy(r->own, bytes, r->blockLen);
                r->block = r->own;
            }
            r->viewPos += r->blockLen;
        } else {
            r->blockLen = FileRead(r->own, READ_BLOCK_SIZE, r->file);
            if (r->copy && r->blockLen > 0)
                r->copy(r->copyContext, r->own, r->blockLen);
        }
        // The scans may look at the slack after a copied read-ahead: it
        // reads as NULs, as the space was never cleared whole.
        if (r->block == r->own)
            memset(r->own + r->blockLen, 0, READ_BLOCK_SLACK);
        if (r->blockLen == 0)
            return -1;
    }
    return (unsigned char)r->block[r->blockPos];
}

// Appends the next bytes of the current physical line to the line buffer,
// up to its capacity or up to and including the line's LF (a CR LF is held
// as LF). Sets midLine when the physical line goes on beyond the buffer.
// Returns the number of bytes appended.
size_t ReadMoreOfLine(TokenReader* r)
{
    size_t start = r->len;
    const size_t capacity = LINE_BUFFER_SIZE - 1;
    r->midLine = false;
    while (r->len < capacity) {
        if (PeekByte(r) < 0)
            return r->len - start;
        const char* from = r->block + r->blockPos;
        size_t avail = r->blockLen - r->blockPos;
        size_t room = capacity - r->len;
        size_t take = avail < room ? avail : room;
        const char* lf = (const char*)memchr(from, '\n', take);
        if (lf)
            take = (size_t)(lf - from) + 1;
        memcpy(r->line + r->len, from, take);
        r->len += take;
        r->blockPos += take;
        if (lf) {
            if (r->len >= 2 && r->line[r->len - 2] == '\r') {
                r->line[r->len - 2] = '\n';
                r->len--;
            }
            return r->len - start;
        }
    }
    // The buffer is full. A CR here may be the first half of the line end.
    int next = PeekByte(r);
    if (next < 0)
        return r->len - start;
    if (next == '\n' && r->line[r->len - 1] == '\r') {
        r->line[r->len - 1] = '\n';
        r->blockPos++;
        return r->len - start;
    }
    r->midLine = true;
    return r->len - start;
}

// Moves the unread bytes to the front and reads more of the same physical
// line behind them. Returns false when nothing could be added.
bool TopUp(TokenReader* r)
{
    if (!r->midLine)
        return false;
    if (r->pos > 0) {
        memmove(r->line, r->line + r->pos, r->len - r->pos);
        r->len -= r->pos;
        r->pos = 0;
    }
    return ReadMoreOfLine(r) > 0;
}

// Makes at least n unread bytes available when the physical line has them.
void Want(TokenReader* r, size_t n)
{
    while (r->len - r->pos < n && TopUp(r)) {
    }
}

void SkipSpace(TokenReader* r)
{
    for (;;) {
        while (r->pos < r->len && IsLineSpace((unsigned char)r->line[r->pos]))
            r->pos++;
        if (r->pos < r->len || !TopUp(r))
            return;
    }
}

// Drops the rest of the physical line.
void DropLine(TokenReader* r)
{
    r->pos = r->len = 0;
    while (r->midLine) {
        r->len = 0;
        ReadMoreOfLine(r);
    }
    r->pos = r->len = 0;
}

// Copies a quoted line's text: from after the opening quote up to the line's
// LF or the quote right before it, across as many buffer loads as the line
// takes. Consumes the whole line. *quoted tells whether the line holds a
// second double quote at all (a line without one is not a quoted line).
size_t ReadQuotedText(TokenReader* r, char* text, size_t textSize, bool* quoted)
{
    size_t n = 0;
    *quoted = false;
    r->pos++;  // the opening quote
    if (!r->midLine) {
        // The whole rest of the line is held: it ends with its LF, or the
        // file ends there.
        const char* start = r->line + r->pos;
        size_t avail = r->len - r->pos;
        bool ended = avail > 0 && start[avail - 1] == '\n';
        r->pos = r->len;
        return TakeQuotedText(start, ended ? avail - 1 : avail, ended, text, textSize, quoted);
    }
    for (;;) {
        if (r->pos == r->len && !TopUp(r))
            break;  // the file ends without a line end: a final quote stays text
        char c = r->line[r->pos];
        if (c == '\n') {
            r->pos++;
            break;
        }
        if (c == '"') {
            *quoted = true;
            Want(r, 2);
            if (r->pos + 1 < r->len && r->line[r->pos + 1] == '\n') {
                r->pos += 2;
                break;
            }
        }
        if (n + 1 < textSize)
            text[n++] = c;
        r->pos++;
    }
    if (textSize > 0)
        text[n] = '\0';
    return n;
}

const int NOT_SIMPLE = -2;

// The common line, handled where it lies in the read-ahead: a whole line
// short enough for the line buffer that holds at most one token. Returns the
// token, 0 for a blank line (both consumed), or NOT_SIMPLE, consuming
// nothing, when the line needs the line buffer.
int ReadSimpleLine(TokenReader* r, char* text, size_t textSize, size_t* textLen)
{
    if (r->blockPos == r->blockLen && PeekByte(r) < 0)
        return NOT_SIMPLE;
    const char* start = r->block + r->blockPos;
    const char* stop = LineStop(start, r->block + r->blockLen);
    const size_t limit = (size_t)(stop - start);
    // The writers' lines first: a tag alone on its line, or a quoted line,
    // after an indent of spaces.
    const char* first = SkipIndent(start, stop);
    const char* p = first;
    if (p < stop && *p == '<') {
        size_t tagLength = 0;
        int tag = MatchTag(p, (size_t)(stop - p), &tagLength);
        const char* lf = tag ? TagLineEnd(p + tagLength, stop) : nullptr;
        if (lf) {
            r->blockPos = (size_t)(lf + 1 - r->block);
            return tag;
        }
    } else if (p < stop && *p == '"') {
        const char* lf = FindLineEnd(p, (size_t)(stop - p));
        if (!lf)
            return NOT_SIMPLE;
        r->blockPos = (size_t)(lf + 1 - r->block);
        return QuotedLineToken(p, lf, text, textSize, textLen);
    }
    // Any other line.
    const char* lf = FindLineEnd(start, limit);
    if (!lf)
        return NOT_SIMPLE;
    const char* end = lf;  // the line without its line end
    if (end > start && end[-1] == '\r')
        end--;
    p = first;  // no further than end: neither CR nor LF is a space
    while (p < end && IsLineSpace((unsigned char)*p))
        p++;
    int token = TOKEN_IGNORED;
    if (p == end) {
        token = 0;
    } else if (*p == '"') {
        token = QuotedLineToken(p, lf, text, textSize, textLen);
    } else if (*p == '<') {
        size_t tagLength = 0;
        int tag = MatchTag(p, (size_t)(end - p), &tagLength);
        if (tag) {
            token = tag;
            p += tagLength;
            while (p < end && IsLineSpace((unsigned char)*p))
                p++;
            if (p != end)
                return NOT_SIMPLE;  // more tokens on the line
        }
    }
    r->blockPos = (size_t)(lf + 1 - r->block);
    return token;
}

}  // namespace

int StartTokenReader(TokenReader* r, FILE* file)
{
    memset(r, 0, sizeof *r);
    r->file = file;
    // Not cleared: a walk of a small file touches little of it.
    r->own = (char*)TakeBuffer(READ_BLOCK_SIZE + READ_BLOCK_SLACK);
    r->block = r->own;
    return r->own ? 0 : -1;
}

int StartTokenReaderOnView(TokenReader* r, FileView* view, const FileViewer* viewer)
{
    int result = StartTokenReader(r, nullptr);
    r->view = view;
    r->viewer = viewer;
    return result;
}

void EndTokenReader(TokenReader* r)
{
    GiveBuffer(r->own, READ_BLOCK_SIZE + READ_BLOCK_SLACK);
    r->own = nullptr;
    r->block = nullptr;
}

int ReadToken(TokenReader* r, char* text, size_t textSize, size_t* textLen)
{
    // Step 1: find the next unread bytes, skipping white space and blank lines.
    for (;;) {
        if (r->pos < r->len || r->midLine) {
            SkipSpace(r);
            if (r->pos < r->len)
                break;
        }
        r->pos = r->len = 0;
        r->lineNumber++;
        int simple = ReadSimpleLine(r, text, textSize, textLen);
        if (simple == 0)
            continue;
        if (simple != NOT_SIMPLE)
            return simple;
        if (ReadMoreOfLine(r) == 0)
            return TOKEN_END;
    }
    Want(r, 4);
    if (r->line[r->pos] == '<') {
        size_t tagLength = 0;
        int tag = MatchTag(r->line + r->pos, r->len - r->pos, &tagLength);
        if (tag) {
            r->pos += tagLength;
            SkipSpace(r);
            return tag;
        }
    }
    if (r->line[r->pos] == '"') {
        bool quoted;
        size_t n = ReadQuotedText(r, text, textSize, &quoted);
        return QuotedToken(quoted, n, text, textSize, textLen);
    }
    DropLine(r);
    return TOKEN_IGNORED;
}
