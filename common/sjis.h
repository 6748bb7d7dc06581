// Byte-string helpers for Shift-JIS (code page 932) text.
#pragma once

#include <cstddef>

// True when b starts a two-byte character of code page 932.
inline bool IsSjisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length of the longest prefix of text[0..len) that ends on a character
// boundary and is at most limit bytes long.
size_t SjisFitLength(const char* text, size_t len, size_t limit);

// Copies src into dst (dstSize bytes, always NUL-terminated when dstSize > 0),
// cutting only on a character boundary. Returns the bytes copied.
size_t SjisCopy(char* dst, size_t dstSize, const char* src);

// True when a and b are the same text but for the case of ASCII letters, as
// Windows compares file names. A two-byte character is compared as it is:
// its trail byte may have the code of a letter.
bool SjisEqualNoCase(const char* a, const char* b);

// Double-byte-aware scans: a byte of a two-byte character never counts.
const size_t SJIS_NOT_FOUND = (size_t)-1;
size_t SjisFindChar(const char* text, char ch);      // first, or SJIS_NOT_FOUND
size_t SjisFindLastChar(const char* text, char ch);  // last, or SJIS_NOT_FOUND
// True when text ends with a "\" that is a character of its own.
bool SjisEndsWithBackslash(const char* text);
// False when text ends with a lone lead byte, which would swallow a "\"
// put after it.
bool SjisIsComplete(const char* text);
// The length of text[0..len) without the characters of chars at its end;
// the trail byte of a two-byte character is never taken for one of them.
size_t SjisTrimmedLength(const char* text, size_t len, const char* chars);
// True when text begins with prefix, ASCII letters compared as
// SjisEqualNoCase compares them.
bool SjisStartsWithNoCase(const char* text, const char* prefix);
