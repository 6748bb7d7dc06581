// The writers' form of the phrase file, through sinks of every buffer size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/phrase_format.h"
#include "library/phrase_token.h"

namespace {

struct Drained {
    std::string bytes;
    int calls = 0;
    int failAt = -1;  // the call that fails (-1: none)
};

bool Drain(void* context, const char* bytes, size_t n)
{
    Drained* d = (Drained*)context;
    if (d->calls++ == d->failAt)
        return false;
    d->bytes.append(bytes, n);
    return true;
}

// A label holding one phrase, written through a sink of the given buffer size.
std::string WriteSample(size_t bufferSize, Drained* drained, bool* flushed)
{
    std::vector<char> buffer(bufferSize);
    FormatSink sink;
    StartFormatSink(&sink, buffer.data(), buffer.size(), drained, Drain);
    PutLabelHead(&sink, 0, "root", 4);
    PutLabelHead(&sink, 17, "deep", 4);  // past the indent's own pieces
    PutFormatToken(&sink, TOKEN_TEXT, 1, "loose", 5);
    PutFormatToken(&sink, TOKEN_IGNORED, 1, "gone", 4);
    PutPhrase(&sink, 1, "a\r\nb", 4);
    PutLabelClose(&sink, 17);
    PutLabelClose(&sink, 0);
    *flushed = FlushFormatSink(&sink);
    return drained->bytes;
}

}  // namespace

TEST(PhraseFormat, PhrasesSplitIntoQuotedLines)
{
    struct Case {
        std::string text;
        std::string lines;  // between <p> and </p>, at level 1
    };
    const Case cases[] = {
        {"", ""},
        {"one", "    \"one\"\r\n"},
        {"a\r\nb", "    \"a\"\r\n    \"b\"\r\n"},
        {"a\r\n", "    \"a\"\r\n    \"\"\r\n"},        // an empty last line keeps the break
        {"\r\n", "    \"\"\r\n    \"\"\r\n"},
        {"a\rb\nc", "    \"a\"\r\n    \"b\"\r\n    \"c\"\r\n"},  // lone CR and LF end lines too
        {"a\n\r", "    \"a\"\r\n    \"\"\r\n    \"\"\r\n"},     // LF CR is two breaks
        {std::string("x\0y", 3), std::string("    \"x\0y\"\r\n", 11)},
    };
    for (const Case& c : cases) {
        Drained d;
        char buffer[64];
        FormatSink sink;
        StartFormatSink(&sink, buffer, sizeof buffer, &d, Drain);
        PutPhrase(&sink, 1, c.text.data(), c.text.size());
        ASSERT_TRUE(FlushFormatSink(&sink));
        EXPECT_EQ(d.bytes, "    <p>\r\n" + c.lines + "    </p>\r\n") << c.text;
    }
}

TEST(PhraseFormat, EveryBufferSizeGivesTheSameBytes)
{
    const std::string deep(17 * 4, ' ');
    const std::string expected = "<u>\"root\"\r\n" + deep + "<u>\"deep\"\r\n" +
                                 "    \"loose\"\r\n    <p>\r\n    \"a\"\r\n    \"b\"\r\n"
                                 "    </p>\r\n" + deep + "</u>\r\n</u>\r\n";
    for (size_t size : {1, 2, 3, 7, 64, 4096}) {
        Drained d;
        bool flushed = false;
        EXPECT_EQ(WriteSample(size, &d, &flushed), expected) << "buffer of " << size;
        EXPECT_TRUE(flushed);
    }
}

TEST(PhraseFormat, AFailedDrainDropsTheRestAndIsTold)
{
    Drained d;
    d.failAt = 1;
    bool flushed = true;
    std::string got = WriteSample(4, &d, &flushed);
    EXPECT_FALSE(flushed);
    EXPECT_EQ(got, "<u>\"");
    EXPECT_EQ(d.calls, 2) << "nothing is handed on after the failure";

    // Without a drain everything is dropped, and that is no failure.
    char buffer[4];
    FormatSink sink;
    StartFormatSink(&sink, buffer, sizeof buffer, nullptr, nullptr);
    PutPhrase(&sink, 3, "text", 4);
    EXPECT_EQ(sink.used, 0u);
    EXPECT_TRUE(FlushFormatSink(&sink));
}
