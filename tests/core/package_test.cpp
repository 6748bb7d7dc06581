// The phrase package: the clipboard block of several phrases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/phrase_package.h"

namespace {

using V = std::vector<std::string>;

std::string Encode(const V& texts)
{
    std::vector<const char*> p;
    std::vector<size_t> n;
    for (const std::string& t : texts) {
        p.push_back(t.data());
        n.push_back(t.size());
    }
    size_t size = EncodePhrasePackage(p.data(), n.data(), (int)texts.size(), nullptr, 0);
    std::string block(size, '\x55');
    EXPECT_EQ(EncodePhrasePackage(p.data(), n.data(), (int)texts.size(), &block[0], size), size);
    return block;
}

V Decode(const std::string& block, int* count = nullptr)
{
    // An exact-size heap copy, so that a read past the block is a real fault.
    std::vector<char> copy(block.begin(), block.end());
    V out;
    PhraseSink sink = {&out, [](void* context, const char* text, size_t length) {
                           ((V*)context)->push_back(std::string(text, length));
                           return 0;
                       }};
    int n = DecodePhrasePackage(copy.data(), copy.size(), &sink);
    if (count)
        *count = n;
    return out;
}

TEST(PhrasePackage, EncodesTheClipboardLayout)
{
    EXPECT_EQ(Encode({"A", "B\r\nC", "D"}), std::string("\x08" "A\0B\r\nC\0D\0\0", 11));
    EXPECT_EQ(Encode({}), std::string("\x08\0", 2));
    // A block too small is left alone; the size needed is still returned.
    const char* text = "abc";
    size_t length = 3;
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(EncodePhrasePackage(&text, &length, 1, small, sizeof small), 6u);
    EXPECT_EQ(std::string(small, 5), "xxxxx");
}

TEST(PhrasePackage, DecodesPackagesAndPlainText)
{
    int count = 0;
    EXPECT_EQ(Decode(Encode({"A", "B\r\nC", "D"}), &count), (V{"A", "B\r\nC", "D"}));
    EXPECT_EQ(count, 3);
    // Plain text is one phrase, line breaks and all, up to its NUL or the block's end.
    EXPECT_EQ(Decode(std::string("x\r\ny\0junk", 9)), (V{"x\r\ny"}));
    EXPECT_EQ(Decode("no terminator"), (V{"no terminator"}));
    EXPECT_EQ(Decode(""), (V{""}));
    // A package cut short ends at the block's end.
    EXPECT_EQ(Decode(std::string("\x08" "ab\0cd", 6)), (V{"ab", "cd"}));
    EXPECT_EQ(Decode("\x08"), V{});
    // A block longer than its package (zero-filled) adds nothing.
    EXPECT_EQ(Decode(Encode({"A"}) + std::string(13, '\0')), (V{"A"}));
}

TEST(PhrasePackage, EmptyPhrasesDoNotEndThePackage)
{
    // Cutting A, an empty phrase and B must paste all three back.
    EXPECT_EQ(Decode(Encode({"A", "", "", "B"})), (V{"A", "", "", "B"}));
    EXPECT_EQ(Decode(Encode({"", "B"})), (V{"", "B"}));
    // Empty phrases at the very end cannot be told from the terminator.
    EXPECT_EQ(Decode(Encode({"A", ""})), (V{"A"}));
}

TEST(PhrasePackage, PhrasesAreCutToWhatTheListHolds)
{
    // 65,534 bytes and a two-byte character: cut before the character.
    std::string longText(65534, 'x');
    longText += "あ";
    EXPECT_EQ(Decode(longText), (V{std::string(65534, 'x')}));
    V cut = Decode(Encode({longText, "next"}));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), 65534u);
    EXPECT_EQ(cut[1], "next");
    EXPECT_EQ(Decode(std::string(70000, 'y'))[0].size(), 65535u);
}

TEST(PhrasePackage, SinkStops)
{
    int calls = 0;
    PhraseSink stop = {&calls, [](void* context, const char*, size_t) {
                           ++*(int*)context;
                           return -1;
                       }};
    std::string block = Encode({"A", "B"});
    EXPECT_EQ(DecodePhrasePackage(block.data(), block.size(), &stop), -1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(DecodePhrasePackage("plain", 5, &stop), -1);
}

}  // namespace
