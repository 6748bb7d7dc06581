// The Shift-JIS byte-string helpers.
#include <gtest/gtest.h>

#include "common/sjis.h"

TEST(Sjis, EqualNoCaseFoldsOnlyAsciiLetters)
{
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"", "", true},
        {"Lib.HTM", "lib.htm", true},
        {"lib.htm", "lib.htm2", false},
        {"lib", "", false},
        {"[", "{", false},                      // 5Bh and 7Bh are no letters
        {"\x83" "A", "\x83" "A", true},         // one character
        {"\x83" "A", "\x83" "a", false},        // the trail byte is no letter
        {"x\x83" "AB", "X\x83" "Ab", true},     // after the character, letters again
        {"\x83", "\x83", true},                 // a lead byte at the end stands alone
        {"\x83" "A", "\x83", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SjisEqualNoCase(c.a, c.b), c.equal) << "'" << c.a << "' and '" << c.b << "'";
        EXPECT_EQ(SjisEqualNoCase(c.b, c.a), c.equal) << "'" << c.b << "' and '" << c.a << "'";
    }
}

// "ソ" is 83 5C: its trail byte is the code of "\", which a byte scan would
// take for a folder's end.
TEST(Sjis, ScansNeverStopInsideACharacter)
{
    const char* so = "C:\\\x83\x5C";
    EXPECT_EQ(SjisFindChar("\x83\x5C\\", '\\'), 2u);
    EXPECT_EQ(SjisFindLastChar(so, '\\'), 2u);
    EXPECT_EQ(SjisFindChar("\x83\x5C", '\\'), SJIS_NOT_FOUND);
    EXPECT_FALSE(SjisEndsWithBackslash(so));
    EXPECT_TRUE(SjisEndsWithBackslash("C:\\\x83\x5C\\"));
    EXPECT_TRUE(SjisIsComplete(so));
    EXPECT_FALSE(SjisIsComplete("C:\\\x83"));
    EXPECT_EQ(SjisTrimmedLength("ab. .", 5, ". "), 2u);
    EXPECT_EQ(SjisTrimmedLength("\x83\x5C ", 3, " \\"), 2u);

    struct Case {
        const char* text;
        const char* prefix;
        bool starts;
    };
    const Case cases[] = {
        {"C:\\Fenlop\\sub\\", "c:\\fenlop\\", true},
        {"C:\\Fen", "C:\\Fenlop\\", false},
        {"anything", "", true},
        {"\x83" "A\\", "\x83" "a", false},   // the trail byte is no letter
        {"\x83" "A\\", "\x83", false},       // a prefix may not cut a character
        {"\xC3x", "\xE3X", false},           // no folding past ASCII
    };
    for (const Case& c : cases)
        EXPECT_EQ(SjisStartsWithNoCase(c.text, c.prefix), c.starts) << c.text << " / " << c.prefix;
}
