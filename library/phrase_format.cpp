#include "library/phrase_format.h"

#include <cstdio>
#include <cstring>

#include "common/file_calls.h"

#include "library/phrase_token.h"

namespace {

void PutBytes(FormatSink* sink, const char* bytes, size_t n)
{
    if (!sink->drain)
        return;
    while (n > 0) {
        if (sink->used == sink->size)
            FlushFormatSink(sink);
        size_t room = sink->size - sink->used;
        size_t take = n < room ? n : room;
        memcpy(sink->buffer + sink->used, bytes, take);
        sink->used += take;
        bytes += take;
        n -= take;
    }
}

void PutIndent(FormatSink* sink, int level)
{
    static const char spaces[] = "                                                                ";
    const int perPiece = (int)(sizeof spaces - 1) / 4;
    while (level > 0) {
        int n = level < perPiece ? level : perPiece;
        PutBytes(sink, spaces, (size_t)n * 4);
        level -= n;
    }
}

void PutTag(FormatSink* sink, int level, const char* tag, size_t n)
{
    PutIndent(sink, level);
    PutBytes(sink, tag, n);
    PutBytes(sink, "\r\n", 2);
}

void PutQuoted(FormatSink* sink, int level, bool head, const char* text, size_t n)
{
    PutIndent(sink, level);
    if (head)
        PutBytes(sink, "<u>", 3);
    PutBytes(sink, "\"", 1);
    PutBytes(sink, text, n);
    PutBytes(sink, "\"\r\n", 3);
}

}  // namespace

void StartFormatSink(FormatSink* sink, char* buffer, size_t size, void* context,
                     bool (*drain)(void* context, const char* bytes, size_t n))
{
    sink->buffer = buffer;
    sink->size = size;
    sink->used = 0;
    sink->context = context;
    sink->drain = drain;
    sink->failed = false;
}

bool DrainToFile(void* context, const char* bytes, size_t n)
{
    return FileWrite(bytes, n, (FILE*)context) == n;
}

bool FlushFormatSink(FormatSink* sink)
{
    if (sink->drain && sink->used > 0 && !sink->failed &&
        !sink->drain(sink->context, sink->buffer, sink->used))
        sink->failed = true;
    sink->used = 0;
    return !sink->failed;
}

void PutLabelHead(FormatSink* sink, int level, const char* name, size_t n)
{
    PutQuoted(sink, level, true, name, n);
}

void PutLabelClose(FormatSink* sink, int level)
{
    PutTag(sink, level, "</u>", 4);
}

void PutPhraseOpen(FormatSink* sink, int level)
{
    PutTag(sink, level, "<p>", 3);
}

void PutPhraseClose(FormatSink* sink, int level)
{
    PutTag(sink, level, "</p>", 4);
}

void PutQuotedLine(FormatSink* sink, int level, const char* text, size_t n)
{
    PutQuoted(sink, level, false, text, n);
}

void PutPhrase(FormatSink* sink, int level, const char* text, size_t n)
{
    PutPhraseOpen(sink, level);
    if (n > 0) {
        size_t start = 0;
        for (;;) {
            size_t end = start;
            while (end < n && text[end] != '\r' && text[end] != '\n')
                end++;
            PutQuotedLine(sink, level, text + start, end - start);
            if (end == n)
                break;
            start = end + ((text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1);
        }
    }
    PutPhraseClose(sink, level);
}

void PutFormatToken(FormatSink* sink, int token, int level, const char* text, size_t n)
{
    switch (token) {
    case TOKEN_LABEL_OPEN:
        PutLabelHead(sink, level, text, n);
        break;
    case TOKEN_LABEL_CLOSE:
        PutLabelClose(sink, level);
        break;
    case TOKEN_PHRASE_OPEN:
        PutPhraseOpen(sink, level);
        break;
    case TOKEN_PHRASE_CLOSE:
        PutPhraseClose(sink, level);
        break;
    case TOKEN_TEXT:
        PutQuotedLine(sink, level, text, n);
        break;
    default:
        break;
    }
}
