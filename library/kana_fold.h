// Forgiving matching: the one form that the ways of writing a word in
// Japanese share.
//
// A text and a search word match forgivingly when the folded word occurs
// in the folded text. Folding (code page 932 bytes in, the same out):
//   hiragana                  -> katakana (ゝ ゞ -> ヽ ヾ)
//   half-width katakana       -> full-width; ﾞ or ﾟ after a kana that has a
//                                voiced form is joined to it (ｶﾞ -> ガ,
//                                ﾊﾟ -> パ, ｳﾞ -> ヴ), else it becomes ゛ or ゜
//   full-width letters, digits,
//   signs, ideographic space  -> ASCII
//   ASCII capitals            -> small letters
// Nothing else changes: kanji stay themselves, and so does ー (it is no
// hyphen). Each character folds to one character, so the folded text keeps
// the character boundaries of code page 932.
#pragma once

#include <cstddef>

#include "common/sjis.h"

// The folded text is at most twice as long: a half-width kana takes two
// bytes in full width.
inline size_t KanaFoldRoom(size_t length)
{
    return 2 * length;
}

// Writes the folded form of text[0..length) to out (KanaFoldRoom(length)
// bytes) and returns its length. A lead byte at the very end is copied as
// it is.
size_t KanaFold(const char* text, size_t length, char* out);

// True for the two-byte characters with this lead byte when each folds to
// itself and nothing else folds to it (kanji, among others). A run of them
// stands in a folded text where it stands in the text itself, so it can be
// looked for without folding.
inline bool KanaFoldFixed(unsigned char lead)
{
    return IsSjisLeadByte(lead) && lead != 0x81 && lead != 0x82 && lead != 0x83 && lead != 0xEE &&
           lead != 0xFA;
}
