// Search words, the occurrence test on character boundaries, and the walk
// over the library with its scope.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "common/buffer_calls.h"
#include "common/sjis.h"
#include "library/kana_fold.h"
#include "library/phrase_reader.h"
#include "library/phrase_search.h"
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

std::string Folded(const std::string& text)
{
    std::string out(KanaFoldRoom(text.size()), '\0');
    out.resize(KanaFold(text.data(), text.size(), &out[0]));
    return out;
}

// Forgiving matching as the search does it: the words built folded, the
// text folded before the matcher sees it.
bool FoldedMatch(const std::string& text, const char* search, int mode)
{
    SearchWords words;
    BuildFoldedSearchWords(search, &words);
    EXPECT_TRUE(words.folded);
    std::string folded = Folded(text);
    return mode == 0 ? MatchAllWords(folded.data(), folded.size(), &words)
                     : MatchAnyWord(folded.data(), folded.size(), &words);
}

// Each row: two ways of writing, and whether they are one word to the
// forgiving search. Each side is looked for in the other.
TEST(KanaFold, WhatFoldsAndWhatDoesNot)
{
    struct Row {
        const char* a;
        const char* b;
        bool same;
    };
    const Row rows[] = {
        {"ふぇんろっぷ", "フェンロップ", true},
        {"ふぇんろっぷ", "ﾌｪﾝﾛｯﾌﾟ", true},
        {"フェンロップ", "ﾌｪﾝﾛｯﾌﾟ", true},
        {"ぁぃぅぇぉゃゅょっゎ", "ァィゥェォャュョッヮ", true},
        {"ぁぃぅぇぉゃゅょっ", "ｧｨｩｪｫｬｭｮｯ", true},
        {"あいうえおかきくけこさしすせそたちつてとなにぬねの", "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉ", true},
        {"はひふへほまみむめもやゆよらりるれろわをん", "ﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ", true},
        {"みむ", "ミム", true},  // the katakana step over 837Fh between them
        {"がぎぐげござじずぜぞだぢづでど", "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", true},
        {"ばびぶべぼぱぴぷぺぽ", "ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", true},
        {"ヴ", "ｳﾞ", true},
        {"ゝゞ", "ヽヾ", true},
        {"ー。「」、・゛゜", "ｰ｡｢｣､･ﾞﾟ", true},
        {"ア゛ワ゛カ゜", "ｱﾞﾜﾞｶﾟ", true},  // marks that join no kana
        {"ＡＢＣ", "abc", true},
        {"ａｂｃ", "ABC", true},
        {"ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ", "abcdefghijklmnopqrstuvwxyz", true},
        {"ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", true},
        {"０１２３４５６７８９", "0123456789", true},
        {"！＃＄％＆（）＊＋，－．／：；＜＝＞？＠［＼］＾＿｀｛｜｝～", "!#$%&()*+,-./:;<=>?@[\\]^_`{|}~", true},
        {"＂＇", "\"'", true},
        {"\xEE\xFC\xEE\xFB", "\"'", true},  // the same two among the other extensions
        {"ー", "-", false},
        {"ー", "－", false},
        {"ｰ", "-", false},
        {"漢字", "かんじ", false},
        {"会", "合", false},
        {"カ", "ガ", false},
        {"ｶ", "ガ", false},
        {"ﾞ", "ガ", false},
        {"ハ", "パ", false},
        {"ヵヶ", "かけ", false},
        {"￥", "\\", false},
        {"Α", "α", false},  // only ASCII letters fold their case
        {"ァ", "@", false},  // 83 40: a trail byte is no character
        {"ソ", "\\", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Folded(row.a) == Folded(row.b), row.same) << row.a << " / " << row.b;
        EXPECT_EQ(FoldedMatch(row.b, row.a, 0), row.same) << row.a << " in " << row.b;
        EXPECT_EQ(FoldedMatch(row.a, row.b, 0), row.same) << row.b << " in " << row.a;
    }
    // Kanji and the characters that fold to nothing else are kept byte for byte.
    EXPECT_EQ(Folded("漢字ヵヶー￥ヴ"), std::string("漢字ヵヶー￥ヴ"));
    EXPECT_EQ(Folded("ｶﾞ"), std::string("ガ"));
    EXPECT_EQ(Folded("x\x82"), std::string("x\x82"));  // a lead byte at the end
    EXPECT_EQ(Folded("あ　い"), std::string("ア イ"));
    // The exact search still tells them apart.
    EXPECT_FALSE(Any("フェンロップ", "ふぇんろっぷ"));
}

TEST(KanaFold, SeveralWordsOfAForgivingSearch)
{
    SearchWords words;
    BuildFoldedSearchWords(" ふぇんろっぷ　ＡＢＣ  ﾃｽﾄ　", &words);
    ASSERT_EQ(words.count, 3);  // full-width spaces separate words too
    EXPECT_STREQ(words.word[0], "フェンロップ");
    EXPECT_STREQ(words.word[1], "abc");
    EXPECT_STREQ(words.word[2], "テスト");
    const std::string text = "ﾌｪﾝﾛｯﾌﾟの\r\nAbcてすと";
    EXPECT_TRUE(FoldedMatch(text, "ふぇんろっぷ　ＡＢＣ  ﾃｽﾄ", 0));
    EXPECT_TRUE(FoldedMatch(text, "てすと ふぇんろっぷ", 0));
    EXPECT_FALSE(FoldedMatch(text, "ふぇんろっぷ　ぷろぐらむ", 0));
    EXPECT_TRUE(FoldedMatch(text, "ふぇんろっぷ　ぷろぐらむ", 1));
    EXPECT_FALSE(FoldedMatch(text, "ぷろぐらむ　ＸＹＺ", 1));
    EXPECT_TRUE(FoldedMatch(text, "　 ", 0));
    EXPECT_FALSE(FoldedMatch(text, "　 ", 1));
    // A word that grows in folding is cut to its slot on a character boundary.
    std::string halfWidth;
    for (int i = 0; i < 45; i++)
        halfWidth += "ｱ";
    BuildFoldedSearchWords(halfWidth.c_str(), &words);
    ASSERT_EQ(words.count, 1);
    EXPECT_EQ(words.length[0], 78u);
}

// The folded matcher, and the forgiving search of a library of the same
// texts, against a walk over the characters of each text, each folded on
// its own from a table written out here, with a half-width kana and the
// mark after it joined where the table says so. Texts and words are drawn
// from forms of the same few characters, so that most words are found in
// some other form; kanji among them make words the search looks for
// without folding, whole or in part.
TEST(KanaFold, AgreesWithAWalkOverTheFoldedCharacters)
{
    const std::vector<std::pair<std::string, std::string>> folds = {
        {"あ", "ア"}, {"ア", "ア"}, {"ｱ", "ア"}, {"か", "カ"}, {"カ", "カ"}, {"ｶ", "カ"},
        {"が", "ガ"}, {"ガ", "ガ"}, {"は", "ハ"}, {"ハ", "ハ"}, {"ﾊ", "ハ"}, {"ぱ", "パ"},
        {"パ", "パ"}, {"ば", "バ"}, {"ﾞ", "゛"}, {"ﾟ", "゜"}, {"゛", "゛"}, {"A", "a"},
        {"a", "a"},   {"Ａ", "a"},  {"ａ", "a"},  {"ー", "ー"}, {"ｰ", "ー"}, {"-", "-"},
        {"－", "-"},  {"会", "会"}, {"\\", "\\"}, {"＼", "\\"}, {"ソ", "ソ"}, {"@", "@"},
        {"＠", "@"},  {"ァ", "ァ"}, {"ぁ", "ァ"}, {"x", "x"},   {"議", "議"}, {"漢", "漢"},
    };
    const std::vector<std::pair<std::string, std::string>> joins = {
        {"ｶﾞ", "ガ"}, {"ﾊﾞ", "バ"}, {"ﾊﾟ", "パ"}};
    // A text as its folded characters.
    auto walk = [&](const std::string& text) {
        std::vector<std::string> chars;
        for (size_t i = 0; i < text.size();) {
            size_t n = IsSjisLeadByte((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
            std::string c = text.substr(i, n);
            bool joined = false;
            for (const auto& j : joins) {
                if (text.compare(i, j.first.size(), j.first) == 0) {
                    chars.push_back(j.second);
                    n = j.first.size();
                    joined = true;
                    break;
                }
            }
            if (!joined) {
                std::string f = c;
                for (const auto& p : folds)
                    if (p.first == c)
                        f = p.second;
                chars.push_back(f);
            }
            i += n;
        }
        return chars;
    };
    auto occurs = [](const std::vector<std::string>& text, const std::vector<std::string>& word) {
        return std::search(text.begin(), text.end(), word.begin(), word.end()) != text.end();
    };
    std::vector<std::string> pool;
    for (const auto& p : folds)
        pool.push_back(p.first);
    for (const auto& j : joins)
        pool.push_back(j.first);
    unsigned seed = 11;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    // Another form of the same folded character, or of another one.
    auto variant = [&](const std::string& item) {
        std::vector<std::string> same;
        std::vector<std::string> want = walk(item);
        for (const std::string& other : pool)
            if (walk(other) == want)
                same.push_back(other);
        return same[next() % same.size()];
    };
    auto planted = [&](std::vector<std::string> items, const std::vector<std::string>& word) {
        if (items.size() >= word.size()) {  // another form of the word somewhere
            size_t at = next() % (items.size() - word.size() + 1);
            for (size_t k = 0; k < word.size(); k++)
                items[at + k] = variant(word[k]);
        }
        return items;
    };
    for (int round = 0; round < 400; round++) {
        std::vector<std::vector<std::string>> list(1 + next() % 3);
        std::string search;
        for (std::vector<std::string>& word : list) {
            for (size_t n = 1 + next() % 3; word.size() < n;)
                word.push_back(pool[next() % pool.size()]);
            for (const std::string& item : word)
                search += item;
            search += next() % 2 ? " " : "　";
        }
        // A library of texts, some of them of two lines; the search lists
        // those that the walk finds, in their order.
        std::string library = "<u>\"root\"\r\n";
        std::vector<std::string> all, any;
        for (int t = 0; t < 12; t++) {
            std::vector<std::string> items;
            for (size_t n = next() % 30; items.size() < n;)
                items.push_back(pool[next() % pool.size()]);
            for (const std::vector<std::string>& word : list)
                if (next() % 2)
                    items = planted(items, word);
            size_t cut = next() % 4 == 0 ? next() % (items.size() + 1) : items.size();
            std::string text, lines = "    \"";
            for (size_t k = 0; k < items.size(); k++) {
                if (k == cut) {
                    text += "\r\n";
                    lines += "\"\r\n    \"";
                }
                text += items[k];
                lines += items[k];
            }
            library += "    <p>\r\n" + lines + "\"\r\n    </p>\r\n";
            std::vector<std::string> folded = walk(text);
            bool inAll = true, inAny = false;
            for (const std::vector<std::string>& word : list) {
                std::string w;
                for (const std::string& item : word)
                    w += item;
                bool found = occurs(folded, walk(w));
                inAll = inAll && found;
                inAny = inAny || found;
            }
            ASSERT_EQ(FoldedMatch(text, search.c_str(), 0), inAll) << text << " / " << search;
            ASSERT_EQ(FoldedMatch(text, search.c_str(), 1), inAny) << text << " / " << search;
            if (inAll)
                all.push_back(text);
            if (inAny)
                any.push_back(text);
        }
        WriteBytes("fold.htm", library + "</u>\r\n");
        SearchWords words;
        BuildFoldedSearchWords(search.c_str(), &words);
        for (int mode : {0, 1}) {
            std::vector<std::string> found;
            PhraseSink sink = {&found, [](void* context, const char* text, size_t length) {
                                   ((std::vector<std::string>*)context)->emplace_back(text, length);
                                   return 0;
                               }};
            ASSERT_EQ(SearchLibraryFile("fold.htm", &words, mode, nullptr, &sink), 0);
            ASSERT_EQ(found, mode == 0 ? all : any) << search << ", mode " << mode;
        }
    }
}

struct Results {
    std::vector<std::string> texts;
    int result;
};

Results Search(const char* search, int mode, const LabelNode* scope, const char* path = "lib.htm",
               bool fold = false)
{
    SearchWords words;
    if (fold)
        EXPECT_TRUE(BuildFoldedSearchWords(search, &words));
    else
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
    // Forgiving: the phrases are folded on their way to the matcher, in
    // one line or many.
    EXPECT_EQ(Search("ＰＩＥ　ＡＰＰＬＥ", 0, nullptr, "lib.htm", true).texts, (V{"b apple\r\npie"}));
    EXPECT_EQ(Search("ＲＯＯＴ ＴＯＰ", 1, nullptr, "lib.htm", true).texts, (V{"top b apple", "root apple"}));
    EXPECT_TRUE(Search("ＲＯＯＴ ＴＯＰ", 1, nullptr).texts.empty());

    // A scope that is not in the file any more finds nothing.
    LabelNode* gone = NewLabelNode(a);
    strcpy(gone->name, "gone");
    Results none = Search("apple", 0, gone);
    EXPECT_TRUE(none.texts.empty());
    EXPECT_EQ(none.result, 0);
    FreeLabelTree(root);
}

// A kana word is told from the phrases by one of its katakana in any of
// its forms, looked for sixteen places at a time: each form at every place
// of texts of every length around those steps, and a trail byte that looks
// like the form, must give what folding the whole text gives.
TEST(SearchLibrary, KanaWordAtEveryPlace)
{
    struct Row {
        const char* form;    // stands in the text
        const char* filler;  // what the text is made of around it
        bool found;
    };
    const Row rows[] = {
        {"る", "x", true},  {"ル", "x", true},  {"ﾙ", "x", true},  {"る", "会", true},
        {"ﾙ", "会", true},  {"ﾙ", "ｱ", true},   {"\x88\xD9", "x", false},  // a kanji whose trail byte is ﾙ
        {"ﾙﾞ", "x", true},  {"レ", "x", false},
    };
    for (const Row& row : rows) {
        std::string library = "<u>\"root\"\r\n";
        int phrases = 0;
        for (int before = 0; before < 40; before++) {
            for (int after = 0; after < 3; after++) {
                std::string text;
                for (int k = 0; k < before; k++)
                    text += row.filler;
                text += row.form;
                for (int k = 0; k < after; k++)
                    text += row.filler;
                library += "    <p>\r\n    \"" + text + "\"\r\n    </p>\r\n";
                phrases++;
            }
        }
        WriteBytes("kana.htm", library + "</u>\r\n");
        for (int mode : {0, 1}) {
            Results r = Search("ﾙ", mode, nullptr, "kana.htm", true);
            ASSERT_EQ(r.result, 0);
            EXPECT_EQ((int)r.texts.size(), row.found ? phrases : 0)
                << row.form << " in " << row.filler << ", mode " << mode;
        }
    }
}

// The words of a search are looked for in one pass over each phrase (OR,
// and each word's probes when forgiving), 64 places a step and 16 near the
// text's end: one word among several, each at every place of texts of
// every length around those steps, in one line or two, beside trail bytes
// that look like it, must give what the look at each word alone gives.
TEST(SearchLibrary, WordsAtEveryPlace)
{
    struct Row {
        const char* word;    // looked for
        const char* plant;   // stands in each text once
        const char* filler;  // what the texts are made of around it
        bool found;          // in every text, or in none
    };
    const Row rows[] = {
        {"ab", "ab", "x", true},
        {"q", "q", "x", true},
        {"会議", "会議", "x", true},
        {"会議", "会議", "表", true},
        {"表x", "表x", "x", true},
        {"abcdefghijklmnopqrstu", "abcdefghijklmnopqrstu", "x", true},  // longer than a short step
        // Trail bytes that look like the word (表 ends in '\\', ァ in '@', ポ in '|').
        {"\\", "表", "x", false},
        {"\\", "表", "表", false},
        {"@", "ァ", "x", false},
        {"|", "ポ", "ア", false},
        // The bytes past a text are none of its: a quote follows each here.
        {"x\"", "x", "x", false},
    };
    const char* others[] = {"zz", "\\", "@", "yy", "|", "ww", "vv"};  // in no text
    for (const Row& row : rows) {
        std::string library = "<u>\"root\"\r\n";
        std::vector<std::string> texts;
        for (int before = 0; before < 80; before++) {
            for (int after = 0; after < 3; after++) {
                std::string text;
                for (int k = 0; k < before; k++)
                    text += row.filler;
                text += row.plant;
                for (int k = 0; k < after; k++)
                    text += row.filler;
                std::string lines = text;
                if ((before + after) % 5 == 4) {  // two lines, the word on the second
                    text = row.filler + std::string("\r\n") + text;
                    lines = row.filler + std::string("\"\r\n    \"") + lines;
                }
                library += "    <p>\r\n    \"" + lines + "\"\r\n    </p>\r\n";
                texts.push_back(text);
            }
        }
        WriteBytes("places.htm", library + "</u>\r\n");
        // The word alone, then among 1 to 6 others before and after it.
        for (int count = 0; count <= 6; count++) {
            std::string search;
            for (int k = 0; k < count; k++)
                search += std::string(others[k]) + (k == count / 2 ? std::string(" ") + row.word : "") + " ";
            if (count == 0)
                search = row.word;
            SearchWords words;
            BuildSearchWords(search.c_str(), &words);
            for (int mode : {0, 1}) {
                std::vector<std::string> expected;
                for (const std::string& text : texts) {
                    if (mode ? MatchAnyWord(text.data(), text.size(), &words)
                             : MatchAllWords(text.data(), text.size(), &words))
                        expected.push_back(text);
                }
                Results r = Search(search.c_str(), mode, nullptr, "places.htm");
                ASSERT_EQ(r.result, 0);
                EXPECT_EQ(r.texts, expected) << row.word << " in " << row.filler << ": " << search
                                             << ", mode " << mode;
                if (mode == 1 || count == 0) {
                    EXPECT_EQ(r.texts.size(), row.found ? texts.size() : 0u)
                        << row.word << " in " << row.filler << ": " << search;
                }
            }
        }
    }
}

#ifndef _WIN32
// Every buffer a walk takes ends where an unreadable page begins: a read
// past it (past the slack the matchers are promised) ends the test.
void* TakeGuarded(size_t size)
{
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    const size_t pages = (size + page - 1) / page + 1;
    char* base = (char*)mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    mprotect(base + (pages - 1) * page, page, PROT_NONE);
    return base + (pages - 1) * page - size;
}

void GiveGuarded(void* buffer, size_t size)
{
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    char* end = (char*)buffer + size;  // the guard page
    char* base = end - ((size + page - 1) / page) * page;
    munmap(base, (size_t)(end - base) + page);
}

// Words of very different lengths looked for in one pass, to the end of
// the longest phrase a buffer holds.
TEST(SearchLibrary, ReadsNoFurtherThanTheSlackPastAPhrase)
{
    const BufferCalls guarded = {TakeGuarded, GiveGuarded};
    for (size_t length : {(size_t)PHRASE_BUFFER_SIZE - 1, (size_t)100}) {
        WriteBytes("long.htm", "<u>\"root\"\r\n    <p>\r\n    \"" + std::string(length, 'x') +
                                   "\"\r\n    </p>\r\n</u>\r\n");
        const std::string longWord(77, 'y');  // as long as flp lets a word be
        for (int mode : {0, 1}) {
            UseBufferCalls(&guarded);
            Results r = Search(("a " + longWord).c_str(), mode, nullptr, "long.htm");
            Results x = Search(("x " + longWord.substr(0, 40) + " xx").c_str(), mode, nullptr, "long.htm");
            UseBufferCalls(nullptr);
            EXPECT_EQ(r.result, 0);
            EXPECT_TRUE(r.texts.empty());
            EXPECT_EQ(x.result, 0);
            EXPECT_EQ(x.texts.size(), mode == 1 ? 1u : 0u);
        }
    }
}
#endif

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
