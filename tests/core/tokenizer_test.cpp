// The tokenizer against the line rules of the phrase file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/phrase_token.h"
#include "tests/core/test_files.h"

namespace {

struct Token {
    int code;
    std::string text;
    bool operator==(const Token& o) const { return code == o.code && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Token& t)
{
    return os << t.code << ":" << t.text;
}

std::vector<Token> Tokens(const std::string& content, size_t textSize = PHRASE_BUFFER_SIZE)
{
    FILE* f = OpenBytes(content);
    TokenReader r;
    StartTokenReader(&r, f);
    std::vector<Token> out;
    std::vector<char> text(textSize);
    for (;;) {
        size_t len = 0;
        int code = ReadToken(&r, text.data(), textSize, &len);
        if (code == TOKEN_END)
            break;
        out.push_back({code, code == TOKEN_TEXT ? std::string(text.data(), len) : ""});
    }
    EndTokenReader(&r);
    fclose(f);
    return out;
}

const Token LO{TOKEN_LABEL_OPEN, ""}, LC{TOKEN_LABEL_CLOSE, ""}, PO{TOKEN_PHRASE_OPEN, ""},
    PC{TOKEN_PHRASE_CLOSE, ""}, IG{TOKEN_IGNORED, ""};
Token T(const std::string& s) { return {TOKEN_TEXT, s}; }

TEST(Tokenizer, CanonicalLayoutAndItsVariants)
{
    std::vector<Token> want{LO, T("root"), LO, T("a"), PO, T("x"), PC, LC, LC};
    EXPECT_EQ(Tokens("<u>\"root\"\r\n    <u>\"a\"\r\n        <p>\r\n        \"x\"\r\n        </p>\r\n    </u>\r\n</u>\r\n"), want);
    // LF only, tabs, upper case tags, the name on the line after its tag.
    EXPECT_EQ(Tokens("<U>\n\"root\"\n\t<u>\"a\"\n\t\t<P>\n\t\t\"x\"\n\t\t</P>\n\t</U>\n</u>\n"), want);
    // Several tags on one line.
    EXPECT_EQ(Tokens("<u> \"root\"\n<u>\"a\"\n<p>\n\"x\"\n</p></u>\n</u>"), want);
}

TEST(Tokenizer, QuotedLineRules)
{
    // Only the quote right before the line end closes the text.
    EXPECT_EQ(Tokens("\"a\"b\"\n"), (std::vector<Token>{T("a\"b")}));
    EXPECT_EQ(Tokens("\"\"\n"), (std::vector<Token>{T("")}));
    EXPECT_EQ(Tokens("\"ends with quote\"\"\r\n"), (std::vector<Token>{T("ends with quote\"")}));
    // No second quote: not a quoted line.
    EXPECT_EQ(Tokens("\"abc\n\"\n"), (std::vector<Token>{IG, IG}));
    // Blanks after the closing quote keep the quote and the blanks.
    EXPECT_EQ(Tokens("\"ab\"  \n"), (std::vector<Token>{T("ab\"  ")}));
    // The last line without a line end keeps its closing quote.
    EXPECT_EQ(Tokens("\"ab\""), (std::vector<Token>{T("ab\"")}));
    // A bare CR inside a line is text; CR LF is the line end.
    EXPECT_EQ(Tokens("\"a\rb\"\r\n"), (std::vector<Token>{T("a\rb")}));
    // Other lines are ignored, one token each.
    EXPECT_EQ(Tokens("comment\n<x>\n\n   \n<p>"), (std::vector<Token>{IG, IG, PO}));
}

TEST(Tokenizer, LongLinesStayWhole)
{
    std::string text(5000, 'x');
    text[1022] = '"';  // a quote at a buffer edge is ordinary text
    text[2045] = '\r';
    EXPECT_EQ(Tokens("<p>\n    \"" + text + "\"\r\n</p>\n"), (std::vector<Token>{PO, T(text), PC}));
    // The line end split across two buffer loads: CR at the edge, LF after it.
    std::string edge(1022 - 1, 'y');
    EXPECT_EQ(Tokens("\"" + edge + "\"\r\n<p>"), (std::vector<Token>{T(edge), PO}));
    // A long ignored line is dropped whole, even where a tag would start a piece.
    std::string junk(1023, 'j');
    EXPECT_EQ(Tokens(junk + "<u>\"x\"\n<p>\n"), (std::vector<Token>{IG, PO}));
    // Deep indentation ahead of a tag.
    EXPECT_EQ(Tokens(std::string(3000, ' ') + "<u>\"x\"\n"), (std::vector<Token>{LO, T("x")}));
    // Text past the caller's buffer is dropped but consumed.
    EXPECT_EQ(Tokens("\"abcdef\"\n<p>", 4), (std::vector<Token>{T("abc"), PO}));
}

TEST(Tokenizer, NulBytesAreText)
{
    std::string content("\"a\0b\"\n", 6);
    auto tokens = Tokens(content);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].text, std::string("a\0b", 3));
}

}  // namespace
