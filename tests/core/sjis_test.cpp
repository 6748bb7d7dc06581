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
