// Scanning of one line of the phrase file where it lies in memory, shared
// by the tokenizer and the walker's quick path over the common lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "library/phrase_token.h"

// The tag at p (avail bytes): its token, with its length in *length; 0 for
// none. Tags are matched without regard to case; only the letters fold.
inline int MatchTag(const char* p, size_t avail, size_t* length)
{
    if (avail < 3 || p[0] != '<')
        return 0;
    bool close = p[1] == '/';
    size_t n = close ? 4 : 3;
    if (avail < n || p[n - 1] != '>')
        return 0;
    char letter = (char)(p[n - 2] | 0x20);  // 'U' and 'u' alike, and only they
    *length = n;
    if (letter == 'u')
        return close ? TOKEN_LABEL_CLOSE : TOKEN_LABEL_OPEN;
    if (letter == 'p')
        return close ? TOKEN_PHRASE_CLOSE : TOKEN_PHRASE_OPEN;
    return 0;
}

// The LF that ends a tag's line right after the tag (a CR LF or an LF at
// after), before stop; null when more follows the tag on its line.
inline const char* TagLineEnd(const char* after, const char* stop)
{
    if (after < stop && *after == '\r')
        after++;
    return after < stop && *after == '\n' ? after : nullptr;
}

// Where the end of the line starting at p must lie before: within the line
// buffer's length, and within the read-ahead that ends at blockEnd.
inline const char* LineStop(const char* p, const char* blockEnd)
{
    size_t avail = (size_t)(blockEnd - p);
    return p + (avail < (size_t)LINE_BUFFER_SIZE - 1 ? avail : (size_t)LINE_BUFFER_SIZE - 1);
}

// The text of a quoted line whose bytes after the opening quote are
// from[0..n) (its line end excluded): all of them but a final quote before
// the line end (at the end of the file a final quote stays text). The line
// is quoted only when it holds a second quote at all. Copies the text into
// text (cut to textSize - 1 bytes, NUL-terminated) and returns its length.
inline size_t TakeQuotedText(const char* from, size_t n, bool lineEnded, char* text,
                             size_t textSize, bool* quoted)
{
    *quoted = lineEnded && n > 0 && from[n - 1] == '"';
    if (*quoted)
        n--;
    else
        *quoted = memchr(from, '"', n) != nullptr;
    if (textSize == 0)
        return 0;
    if (n > textSize - 1)
        n = textSize - 1;
    memcpy(text, from, n);
    text[n] = '\0';
    return n;
}

// The first LF in p[0..limit): sixteen bytes at a time where SSE2 is at
// hand, which beats a library call on lines this short.
inline const char* FindLineEnd(const char* p, size_t limit)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= limit; i += 16) {
        unsigned mask = (unsigned)_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(p + i)), lf));
        if (mask)
            return p + i + __builtin_ctz(mask);
    }
#endif
    return (const char*)memchr(p + i, '\n', limit - i);
}

// FindLineEnd for a line in the read-ahead: 64 bytes at a time, reading up
// to 63 bytes past p + limit, which the read-ahead's slack allows. Most
// lines take one step, with no branch on their length.
inline const char* FindLineEndInBlock(const char* p, size_t limit)
{
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (size_t i = 0; i < limit; i += 64) {
        // The four lanes written out: the compiler keeps a loop of them as
        // a loop of one.
        const __m128i* q = (const __m128i*)(p + i);
        uint64_t m0 = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(q), lf));
        uint64_t m1 = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(q + 1), lf));
        uint64_t m2 = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(q + 2), lf));
        uint64_t m3 = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(q + 3), lf));
        uint64_t mask = m0 | m1 << 16 | m2 << 32 | m3 << 48;
        if (mask) {
            // The first LF of the step; past the limit only in the last step,
            // which then holds none before it.
            size_t at = i + (size_t)__builtin_ctzll(mask);
            return at < limit ? p + at : nullptr;
        }
    }
    return nullptr;
#else
    return (const char*)memchr(p, '\n', limit);
#endif
}

// The first byte in p[0..stop) that is no space: the writers indent with
// spaces, sixteen of them at a time where SSE2 is at hand.
inline const char* SkipIndent(const char* p, const char* stop)
{
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' ');
    while (stop - p >= 16) {
        unsigned others = ~(unsigned)_mm_movemask_epi8(
                              _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)p), space)) &
                          0xFFFFu;
        if (others)
            return p + __builtin_ctz(others);
        p += 16;
    }
#endif
    while (p < stop && *p == ' ')
        p++;
    return p;
}

// The token of a line that starts with a quote, its text of n bytes taken:
// a line without a second quote is no quoted line, and leaves no text.
inline int QuotedToken(bool quoted, size_t n, char* text, size_t textSize, size_t* textLen)
{
    if (quoted) {
        if (textLen)
            *textLen = n;
        return TOKEN_TEXT;
    }
    if (textSize > 0)
        text[0] = '\0';
    return TOKEN_IGNORED;
}

// A quoted line's token, its line end at lf and its opening quote at quote.
inline int QuotedLineToken(const char* quote, const char* lf, char* text, size_t textSize,
                           size_t* textLen)
{
    const char* end = lf[-1] == '\r' && lf - 1 > quote ? lf - 1 : lf;
    bool quoted;
    size_t n = TakeQuotedText(quote + 1, (size_t)(end - quote - 1), true, text, textSize, &quoted);
    return QuotedToken(quoted, n, text, textSize, textLen);
}
