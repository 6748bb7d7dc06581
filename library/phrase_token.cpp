#include "library/phrase_token.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsLineSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Next byte of the file without consuming it; -1 at the end.
int PeekByte(TokenReader* r)
{
    if (r->blockPos == r->blockLen) {
        r->blockPos = 0;
        r->blockLen = fread(r->block, 1, READ_BLOCK_SIZE, r->file);
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

bool TagAt(const TokenReader* r, const char* tag, size_t n)
{
    if (r->len - r->pos < n)
        return false;
    const char* p = r->line + r->pos;
    for (size_t i = 0; i < n; i++) {
        char c = p[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != tag[i])
            return false;
    }
    return true;
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

}  // namespace

int StartTokenReader(TokenReader* r, FILE* file)
{
    memset(r, 0, sizeof *r);
    r->file = file;
    r->block = (char*)malloc(READ_BLOCK_SIZE);
    return r->block ? 0 : -1;
}

void EndTokenReader(TokenReader* r)
{
    free(r->block);
    r->block = nullptr;
}

int ReadToken(TokenReader* r, char* text, size_t textSize, size_t* textLen)
{
    // Step 1: find the next unread bytes, skipping white space and blank lines.
    for (;;) {
        SkipSpace(r);
        if (r->pos < r->len)
            break;
        r->pos = r->len = 0;
        r->lineNumber++;
        if (ReadMoreOfLine(r) == 0)
            return TOKEN_END;
    }
    Want(r, 4);
    if (TagAt(r, "<u>", 3)) {
        r->pos += 3;
        SkipSpace(r);
        return TOKEN_LABEL_OPEN;
    }
    if (TagAt(r, "</u>", 4)) {
        r->pos += 4;
        SkipSpace(r);
        return TOKEN_LABEL_CLOSE;
    }
    if (TagAt(r, "<p>", 3)) {
        r->pos += 3;
        SkipSpace(r);
        return TOKEN_PHRASE_OPEN;
    }
    if (TagAt(r, "</p>", 4)) {
        r->pos += 4;
        SkipSpace(r);
        return TOKEN_PHRASE_CLOSE;
    }
    if (r->line[r->pos] == '"') {
        bool quoted;
        size_t n = ReadQuotedText(r, text, textSize, &quoted);
        if (quoted) {
            if (textLen)
                *textLen = n;
            return TOKEN_TEXT;
        }
        if (textSize > 0)
            text[0] = '\0';
        return TOKEN_IGNORED;
    }
    DropLine(r);
    return TOKEN_IGNORED;
}

int SkipLabelBody(TokenReader* r, char* text, size_t textSize)
{
    // Counted rather than recursive, so any depth costs no stack.
    long depth = 0;
    for (;;) {
        switch (ReadToken(r, text, textSize)) {
        case TOKEN_LABEL_OPEN:
            depth++;
            break;
        case TOKEN_LABEL_CLOSE:
            if (depth == 0)
                return 0;
            depth--;
            break;
        case TOKEN_END:
            return -1;
        default:
            break;
        }
    }
}
