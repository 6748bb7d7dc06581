// A phrase of several lines as the phrase list draws it on one line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/line_marks.h"

TEST(LineMarks, EachLineBreakIsOneMarkAndNoCharacterIsCut)
{
    struct Case {
        const char* text;
        size_t size;  // of the output buffer
        const char* drawn;
    };
    const Case cases[] = {
        {"", 16, ""},
        {"one line", 16, "one line"},
        {"a\r\nb", 16, "a↓b"},
        {"a\rb\nc", 16, "a↓b↓c"},                // lone CR, lone LF
        {"a\n\rb", 16, "a↓↓b"},                   // LF CR is two breaks
        {"a\r\n\r\nb", 16, "a↓↓b"},
        {"a\r\n", 16, "a↓"},                      // a break at the end
        {"\r\n", 16, "↓"},
        {"いつも\r\n山田です", 32, "いつも↓山田です"},
        {"\x83\x5C\r\n\x95\x5C", 16, "\x83\x5C↓\x95\x5C"},   // ソ and 表: trail byte 5Ch
        {"\x82\xA0\x0D\x0A", 16, "\x82\xA0↓"},
        {"\x83\r\n", 16, "\x83↓"},                // a lead byte before a break stands alone
        {"x\x83", 16, "x\x83"},                   // a lead byte at the end
        {"ab\r\ncd", 4, "ab"},                    // the mark does not fit: cut before it
        {"ab\r\ncd", 5, "ab↓"},
        {"aあ", 3, "a"},                          // no half character
        {"abc", 1, ""},
    };
    for (const Case& c : cases) {
        char out[48];
        memset(out, '#', sizeof out);
        size_t n = MarkLineBreaks(c.text, out, c.size);
        EXPECT_EQ(std::string(out), c.drawn) << "'" << c.text << "' in " << c.size << " bytes";
        EXPECT_EQ(n, strlen(c.drawn)) << "'" << c.text << "'";
        EXPECT_EQ(out[c.size], '#') << "'" << c.text << "' wrote past its buffer";
    }
    char none = '#';
    EXPECT_EQ(MarkLineBreaks("abc", &none, 0), 0u);
    EXPECT_EQ(none, '#');
}
