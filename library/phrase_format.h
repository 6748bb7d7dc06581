// The writers' form of the phrase file.
//
// Every writer of the file (the rewrites, a new library, flp import) puts its
// lines through these functions, so that all of them write one layout: a
// line at nesting level d stands after d indents of four spaces and ends
// with CR LF; a label is its head <u>"name", its body and </u>; a phrase is
// <p>, its quoted lines and </p>. The readers take any indent and LF too.
#pragma once

#include <cstddef>

// The root label's name in a library that was given none.
const char ROOT_LABEL_NAME[] = "root";

// Where the lines go: a buffer that is handed to drain whenever it is full
// and at FlushFormatSink. drain returns false when it could not take the
// bytes; failed is then set and everything later is dropped. With a null
// drain everything is dropped (the side of a rewrite that writes nothing).
struct FormatSink {
    char* buffer;
    size_t size;     // of buffer, at least 1
    size_t used;
    void* context;   // drain's
    bool (*drain)(void* context, const char* bytes, size_t n);
    bool failed;
};

// Sets the sink up over buffer (size bytes) with nothing written.
void StartFormatSink(FormatSink* sink, char* buffer, size_t size, void* context,
                     bool (*drain)(void* context, const char* bytes, size_t n));

// A drain that writes to the FILE* in context.
bool DrainToFile(void* context, const char* bytes, size_t n);

// Hands what the buffer holds to drain. Returns false when any write of the
// sink failed.
bool FlushFormatSink(FormatSink* sink);

// A label's head: <u>"name" (n bytes of name, no line break).
void PutLabelHead(FormatSink* sink, int level, const char* name, size_t n);
void PutLabelClose(FormatSink* sink, int level);
void PutPhraseOpen(FormatSink* sink, int level);
void PutPhraseClose(FormatSink* sink, int level);

// A quoted line: a line of phrase text, or a loose line kept as it was.
void PutQuotedLine(FormatSink* sink, int level, const char* text, size_t n);

// A whole phrase at level: its text split into quoted lines at every CR LF,
// and at a lone CR or LF too, which no quoted line can hold. A text that ends
// with a line break gets an empty last line; an empty text gets no line.
void PutPhrase(FormatSink* sink, int level, const char* text, size_t n);

// The line of a token read from a file (phrase_token.h): a label head
// (text: the name), a close, a phrase tag or a quoted line; nothing for
// the others.
void PutFormatToken(FormatSink* sink, int token, int level, const char* text, size_t n);
