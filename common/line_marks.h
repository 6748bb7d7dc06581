// A text of several lines shown on one line, as a list's row shows it.
#pragma once

#include <cstddef>

// "↓" in code page 932: a sign every Japanese font has, where a line
// break would be drawn as a missing character (or nothing at all).
extern const char LINE_BREAK_MARK[];

// Copies text into out (size bytes, always NUL-terminated when size > 0)
// with each line break (CR LF, a lone CR, a lone LF) as one LINE_BREAK_MARK,
// cutting only on a character boundary: a two-byte character is copied
// whole or not at all, and its trail byte (40h and up, never a CR or an LF)
// is never taken for anything else. A lead byte without a trail byte after
// it stands alone. Returns the bytes written, the NUL not counted.
size_t MarkLineBreaks(const char* text, char* out, size_t size);
