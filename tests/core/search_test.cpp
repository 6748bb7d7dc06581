// Search words, the occurrence test on character boundaries, and the walk
// over the library with its scope.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "library/phrase_library.h"
#include "library/phrase_walker.h"
#include "tests/core/test_files.h"

namespace {

std::vector<std::string> Words(const char* text)
{
    SearchWords words;
    BuildSearchWords(text, &words);
    std::vector<std::string> out;
    for (int i = 0; i < words.count; i++) {
        EXPECT_EQ(words.length[i], strlen(words.word[i]));
        out.push_back(words.word[i]);
    }
    return out;
}

using V = std::vector<std::string>;

TEST(SearchWords, SplitAtAsciiSpacesOnly)
{
    EXPECT_EQ(Words("a b"), (V{"a", "b"}));
    EXPECT_EQ(Words("  a   b  "), (V{"a", "b"}));
    EXPECT_TRUE(Words("").empty());
    EXPECT_TRUE(Words("    ").empty());
    // A full-width space is part of the word.
    EXPECT_EQ(Words("あ　い う"), (V{"あ　い", "う"}));
    EXPECT_EQ(Words("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17"),
              (V{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16"}));
    // A word longer than its slot is cut on a character boundary.
    std::string longWord = "xx";
    for (int i = 0; i < 50; i++)
        longWord += "あ";
    V cut = Words((longWord + " next").c_str());
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0], longWord.substr(0, 78));
    EXPECT_EQ(cut[1], "next");

    const char* cursor = "ab  cd";
    char word[SEARCH_WORD_SIZE];
    EXPECT_TRUE(NextSearchWord(&cursor, word));
    EXPECT_STREQ(word, "ab");
    EXPECT_STREQ(cursor, "cd");
    EXPECT_TRUE(NextSearchWord(&cursor, word));
    EXPECT_FALSE(NextSearchWord(&cursor, word));
}

bool All(const std::string& text, const char* search)
{
    SearchWords words;
    BuildSearchWords(search, &words);
    return MatchAllWords(text.data(), text.size(), &words);
}

bool Any(const std::string& text, const char* search)
{
    SearchWords words;
    BuildSearchWords(search, &words);
    return MatchAnyWord(text.data(), text.size(), &words);
}

TEST(SearchMatch, AllAnyAndCharacterBoundaries)
{
    EXPECT_TRUE(All("apple pie", "pie apple"));
    EXPECT_FALSE(All("apple pie", "apple tart"));
    EXPECT_TRUE(Any("apple pie", "apple tart"));
    EXPECT_FALSE(Any("apple pie", "tart Apple"));
    EXPECT_TRUE(All("anything", ""));
    EXPECT_FALSE(Any("anything", ""));
    EXPECT_TRUE(All("", ""));

    // ソ is 83 5C, ア is 83 41: their trail bytes are no match...
    EXPECT_FALSE(All("ソ", "\\"));
    EXPECT_FALSE(All("ア", "A"));
    EXPECT_FALSE(All("Ａ", "`"));  // 82 60
    // ...but a later occurrence on a boundary is.
    EXPECT_TRUE(All("ソ\\", "\\"));
    EXPECT_TRUE(All("アA", "A"));
    // Runs of lead-byte values: ム メ モ are 83 80, 83 81, 83 82.
    EXPECT_FALSE(All("ムメモ", "\x80\x83"));
    EXPECT_TRUE(All("ムメモ", "メ"));
    EXPECT_TRUE(All("xムメモ", "モ"));
    EXPECT_FALSE(All("xムメモ", "\x81\x83"));
    std::string run;
    for (int i = 0; i < 1000; i++)
        run += "メ";
    EXPECT_FALSE(All(run + "x", "\x81\x83\x81x"));
    EXPECT_TRUE(All(run + "x", "\x83\x81x"));
    // Bytes are bytes: no folding of case or width.
    EXPECT_FALSE(Any("ＡＢＣ abc", "ABC"));
}

// The matcher against the plainest reading of the rule (the word at some
// character boundary, walked from the start) on texts of every length up to
// a few steps of the byte search, from a few bytes that make lead bytes,
// trail bytes and near misses.
TEST(SearchMatch, AgreesWithAWalkOverTheCharacters)
{
    const char alphabet[] = {'a', 'b', '\x83', '\x81', '\\', 'A'};
    unsigned seed = 7;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    auto occurs = [](const std::string& text, const std::string& word) {
        for (size_t i = 0; i + word.size() <= text.size();
             i += IsSjisLeadByte((unsigned char)text[i]) ? 2 : 1) {
            if (text.compare(i, word.size(), word) == 0)
                return true;
        }
        return false;
    };
    for (int round = 0; round < 30000; round++) {
        std::string text;
        for (size_t n = next() % 140; text.size() < n;)
            text += alphabet[next() % 6];
        std::vector<std::string> list(1 + next() % 3);
        std::string search;
        for (std::string& word : list) {
            for (size_t n = 1 + next() % 5; word.size() < n;)
                word += alphabet[next() % 6];
            if (next() % 2 && text.size() >= word.size())  // plant it somewhere
                text.replace(next() % (text.size() - word.size() + 1), word.size(), word);
            search += word + " ";
        }
        SearchWords words;
        BuildSearchWords(search.c_str(), &words);
        bool all = true, any = false;
        for (const std::string& word : list) {
            all = all && occurs(text, word);
            any = any || occurs(text, word);
        }
        // With slack to read past the text, bytes there make no match.
        std::string padded = text;
        while (padded.size() < text.size() + WANTS_SLACK)
            padded += alphabet[next() % 6];
        for (size_t slack : {(size_t)0, WANTS_SLACK}) {
            ASSERT_EQ(MatchAllWords(padded.data(), text.size(), &words, slack), all)
                << "text of " << text.size() << " bytes, " << search << ", slack " << slack;
            ASSERT_EQ(MatchAnyWord(padded.data(), text.size(), &words, slack), any)
                << "text of " << text.size() << " bytes, " << search << ", slack " << slack;
        }
    }
}

struct Results {
    std::vector<std::string> texts;
    int result;
};

Results Search(const char* search, int mode, const LabelNode* scope, const char* path = "lib.htm")
{
    SearchWords words;
    BuildSearchWords(search, &words);
    Results r;
    PhraseSink sink = {&r.texts, [](void* context, const char* text, size_t length) {
                           ((std::vector<std::string>*)context)->push_back(std::string(text, length));
                           return 0;
                       }};
    r.result = SearchLibraryFile(path, &words, mode, scope, &sink);
    return r;
}

const char kLibrary[] =
    "<u>\"root\"\r\n"
    "    <u>\"a\"\r\n"
    "        <u>\"b\"\r\n"
    "            <u>\"c\"\r\n"
    "                <p>\r\n                \"c apple\"\r\n                </p>\r\n"
    "            </u>\r\n"
    "            <p>\r\n            \"b apple\"\r\n            \"pie\"\r\n            </p>\r\n"
    "            <p>\r\n            </p>\r\n"
    "        </u>\r\n"
    "        <u>\"d\"\r\n"
    "            <p>\r\n            \"d apple\"\r\n            </p>\r\n"
    "        </u>\r\n"
    "        <p>\r\n        \"a apple\"\r\n        </p>\r\n"
    "    </u>\r\n"
    "    <u>\"b\"\r\n"
    "        <p>\r\n        \"top b apple\"\r\n        </p>\r\n"
    "    </u>\r\n"
    "    <p>\r\n    \"root apple\"\r\n    </p>\r\n"
    "</u>\r\n";

TEST(SearchLibrary, ScopeAndModes)
{
    WriteBytes("lib.htm", kLibrary);
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree("lib.htm", &root, nullptr), 0);
    LabelNode* a = root->firstChild;
    LabelNode* b = a->firstChild;

    V all{"c apple", "b apple\r\npie", "d apple", "a apple", "top b apple", "root apple"};
    EXPECT_EQ(Search("apple", 0, nullptr).texts, all);
    EXPECT_EQ(Search("apple", 0, root).texts, all);
    // a/b and everything below it; not a's own phrases, not a/d, not the other b.
    Results under = Search("apple", 0, b);
    EXPECT_EQ(under.texts, (V{"c apple", "b apple\r\npie"}));
    EXPECT_EQ(under.result, 0);
    // Words across lines, AND and OR.
    EXPECT_EQ(Search("pie  apple ", 0, nullptr).texts, (V{"b apple\r\npie"}));
    EXPECT_EQ(Search("pie root", 1, nullptr).texts, (V{"b apple\r\npie", "root apple"}));
    // No words: every phrase in AND mode, the empty one too; none in OR mode.
    EXPECT_EQ(Search("  ", 0, b).texts, (V{"c apple", "b apple\r\npie", ""}));
    EXPECT_TRUE(Search("", 1, nullptr).texts.empty());

    // A scope that is not in the file any more finds nothing.
    LabelNode* gone = NewLabelNode(a);
    strcpy(gone->name, "gone");
    Results none = Search("apple", 0, gone);
    EXPECT_TRUE(none.texts.empty());
    EXPECT_EQ(none.result, 0);
    FreeLabelTree(root);
}

TEST(SearchLibrary, MalformedFiles)
{
    EXPECT_EQ(Search("", 0, nullptr, "missing.htm").result, -1);

    // A quoted line outside a phrase where the walk reads: the search stops,
    // keeping what it found. Inside a skipped label it does not matter.
    WriteBytes("bad.htm", "<u>\"root\"\n<u>\"a\"\n\"stray\"\n<p>\n\"x\"\n</p>\n</u>\n"
                          "<u>\"b\"\n<p>\n\"y\"\n</p>\n\"stray\"\n<p>\n\"z\"\n</p>\n</u>\n</u>\n");
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree("bad.htm", &root, nullptr), 0);
    Results r = Search("", 0, nullptr, "bad.htm");
    EXPECT_EQ(r.result, -1);
    EXPECT_TRUE(r.texts.empty());
    r = Search("", 0, root->firstChild->nextSibling, "bad.htm");
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.texts, (V{"y"}));
    FreeLabelTree(root);

    // A skipped label's heads must carry names.
    WriteBytes("bad.htm", "<u>\"root\"\n<u>\"a\"\n<u>\n</u>\n</u>\n<u>\"b\"\n</u>\n</u>\n");
    LabelNode b = {};
    strcpy(b.name, "b");
    LabelNode top = {};
    b.parent = &top;
    EXPECT_EQ(Search("", 0, &b, "bad.htm").result, -1);

    // The end of the file before the root label's close.
    WriteBytes("bad.htm", "<u>\"root\"\n<p>\n\"x\"\n</p>\n");
    r = Search("", 0, nullptr, "bad.htm");
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.texts, (V{"x"}));

    // Nesting beyond the limit, in the scope and in a skipped label.
    std::string deep = "<u>\"root\"\n";
    for (int i = 0; i <= MAX_LABEL_DEPTH; i++)
        deep += "<u>\"n\"\n";
    for (int i = 0; i <= MAX_LABEL_DEPTH + 1; i++)
        deep += "</u>\n";
    WriteBytes("bad.htm", deep);
    EXPECT_EQ(Search("", 0, nullptr, "bad.htm").result, -1);
    EXPECT_EQ(Search("", 0, &b, "bad.htm").result, -1);
}

TEST(SearchLibrary, EqualSiblingNamesKeepTheirPlace)
{
    // Of equal siblings (a hand-edited file) the scope is the one at its own place.
    WriteBytes("twins.htm", "<u>\"root\"\n<u>\"t\"\n<p>\n\"one\"\n</p>\n</u>\n<u>\"u\"\n<p>\n\"no\"\n</p>\n</u>\n"
                            "<u>\"t\"\n<u>\"s\"\n<p>\n\"two\"\n</p>\n</u>\n</u>\n</u>\n");
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree("twins.htm", &root, nullptr), 0);
    LabelNode* second = root->firstChild->nextSibling->nextSibling;
    EXPECT_EQ(Search("", 0, root->firstChild, "twins.htm").texts, (V{"one"}));
    EXPECT_EQ(Search("", 0, second, "twins.htm").texts, (V{"two"}));
    EXPECT_EQ(Search("", 0, second->firstChild, "twins.htm").texts, (V{"two"}));
    FreeLabelTree(root);
}

}  // namespace
