// Tokenizer of the phrase file, shared by every reader and rewriter.
//
// The file is line oriented:  <u> "name"  opens a label, </u> closes it,
// <p> and </p> enclose one phrase, a quoted line is a label name or a line of
// phrase text, and every other line is ignored. Tags are matched without
// regard to case; leading white space is insignificant; LF and CR LF both end
// a line.
#pragma once

#include <cstddef>
#include <cstdio>

enum {
    TOKEN_LABEL_OPEN = 100,
    TOKEN_LABEL_CLOSE = 101,
    TOKEN_PHRASE_OPEN = 200,
    TOKEN_PHRASE_CLOSE = 201,
    TOKEN_TEXT = 300,
    TOKEN_IGNORED = 999,
    TOKEN_END = -1,
};

const int LINE_BUFFER_SIZE = 1024;      // one read of a physical line
const int PHRASE_BUFFER_SIZE = 65536;   // one phrase text, or one quoted line
const size_t PHRASE_TEXT_LIMIT = PHRASE_BUFFER_SIZE - 1;  // the longest phrase text

// A file's bytes seen in place (mapped by the system) instead of read.
struct FileView {
    const char* bytes;
    size_t length;
    void* handle;  // the viewer's own
};

// How a file is seen in place. open returns 0 with the view, or -1 to have
// the file read as usual; release says that the bytes before upTo are done
// with (their pages may leave memory); close ends the view. Files are read
// unless a program sets a viewer (SetFileViewer): it does so only where it
// deals with a file that shrinks while it is seen (on POSIX systems the
// touch of a lost page raises SIGBUS).
struct FileViewer {
    int (*open)(const char* path, FileView* view);
    void (*release)(FileView* view, size_t upTo);
    void (*close)(FileView* view);
};

// Reading state of one open file. The line buffer holds the unread rest of
// the current piece of a physical line; a line longer than the buffer is read
// in pieces, but a quoted line is always returned whole (up to the caller's
// buffer), so long phrase lines survive every read and rewrite.
struct TokenReader {
    FILE* file;
    FileView* view;      // the file seen in place, when read from there (not owned)
    const FileViewer* viewer;
    size_t viewPos;      // bytes of the view taken into read-aheads
    size_t released;     // bytes of the view said to be done with
    char* own;           // read-ahead space (heap, READ_BLOCK_SIZE + READ_BLOCK_SLACK)
    const char* block;   // the read-ahead: in own, or in the view
    size_t blockPos;
    size_t blockLen;
    char line[LINE_BUFFER_SIZE];
    size_t pos;          // first unread byte of line
    size_t len;          // bytes held in line
    bool midLine;        // the held piece does not end the physical line
    long lineNumber;     // physical line of the last token, from 1
    // Handed every read-ahead taken from file, as it comes (null: none);
    // a rewrite copies the file it reads to the backup this way.
    void (*copy)(void* context, const char* bytes, size_t n);
    void* copyContext;
};

const size_t READ_BLOCK_SIZE = 64 * 1024;
// Bytes after a read-ahead that may be read (whatever they hold): scans that
// look at many bytes at a time read past a line's end.
const size_t READ_BLOCK_SLACK = 64;

// Starts reading an open file (binary mode) with an empty line buffer.
// Returns 0, or -1 when the read-ahead cannot be allocated.
int StartTokenReader(TokenReader* r, FILE* file);

// The same over a file seen in place: read-aheads are taken where the bytes
// lie, each but the last few with READ_BLOCK_SLACK of the view after it;
// those are copied, so no read passes the view's end. What has been read is
// released a VIEW_RELEASE_STEP at a time, so a walk holds little of a large
// file in memory.
const size_t VIEW_RELEASE_STEP = 256 * 1024;
int StartTokenReaderOnView(TokenReader* r, FileView* view, const FileViewer* viewer);

// Releases the read-ahead (the file stays open).
void EndTokenReader(TokenReader* r);

// Returns the next token code and consumes it. For TOKEN_TEXT the quoted
// line's text is copied into text (NUL-terminated; bytes past textSize - 1 are
// dropped) and its length stored in *textLen when textLen is given.
int ReadToken(TokenReader* r, char* text, size_t textSize, size_t* textLen = nullptr);

// A phrase gathered from its quoted lines. Each line is read straight to its
// place in text (PHRASE_BUFFER_SIZE + 1 bytes), after the CR LF that joins it
// to the line before. A line that would take the text past 65,535 bytes is
// dropped, so any phrase the list can hold reads back whole.
struct PhraseLines {
    char* text;
    size_t length;
    bool hasLine;
};

inline void StartPhraseLines(PhraseLines* phrase)
{
    phrase->length = 0;
    phrase->hasLine = false;
}

// Where the next line is read to, and the room it has there.
inline char* NextPhraseLine(const PhraseLines* phrase, size_t* room)
{
    size_t gap = phrase->hasLine ? 2 : 0;
    *room = PHRASE_BUFFER_SIZE + 1 - phrase->length - gap;
    return phrase->text + phrase->length + gap;
}

// Takes the line of got bytes read to NextPhraseLine's place.
inline void KeepPhraseLine(PhraseLines* phrase, size_t got)
{
    size_t gap = phrase->hasLine ? 2 : 0;
    if (phrase->length + gap + got >= PHRASE_BUFFER_SIZE)
        return;
    if (phrase->hasLine) {
        phrase->text[phrase->length] = '\r';
        phrase->text[phrase->length + 1] = '\n';
    }
    phrase->length += gap + got;
    phrase->hasLine = true;
}
