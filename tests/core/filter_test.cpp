// The filter: the library held folded in memory, the box's words, the
// query over the copies and the label each result stands in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "library/phrase_filter.h"
#include "library/phrase_search.h"
#include "tests/core/test_files.h"

namespace {

// A label of the fixture: its name, its phrases (lines joined by CR LF)
// and its children.
struct Label {
    std::string name;
    std::vector<std::string> phrases;
    std::vector<Label> labels;
};

void Write(const Label& label, int depth, std::string* out)
{
    std::string indent(depth * 4, ' ');
    *out += indent + "<u>\"" + label.name + "\"\r\n";
    for (const std::string& phrase : label.phrases) {
        *out += indent + "    <p>\r\n";
        size_t at = 0;
        for (;;) {
            size_t end = phrase.find("\r\n", at);
            *out += indent + "    \"" + phrase.substr(at, end == std::string::npos ? end : end - at) + "\"\r\n";
            if (end == std::string::npos)
                break;
            at = end + 2;
        }
        *out += indent + "    </p>\r\n";
    }
    for (const Label& child : label.labels)
        Write(child, depth + 1, out);
    *out += indent + "</u>\r\n";
}

std::string LibraryBytes(const Label& root)
{
    std::string out;
    Write(root, 0, &out);
    return out;
}

class Filter : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "filter_test.htm";
    HeldLibrary held;

    void TearDown() override { remove(path.c_str()); }

    void Hold(const Label& root)
    {
        WriteBytes(path, LibraryBytes(root));
        ASSERT_EQ(HoldLibrary(path.c_str(), &held), 0);
    }

    std::vector<std::string> Query(const char* text)
    {
        SearchWords words;
        EXPECT_TRUE(BuildFilterWords(text, strlen(text), &words));
        std::vector<uint32_t> rows;
        EXPECT_GE(FilterHeldLibrary(&held, &words, nullptr, &rows), 0);
        std::vector<std::string> out;
        for (uint32_t row : rows)
            out.push_back(held.texts.data() + held.phrases[row].text);
        return out;
    }

    std::string LabelOf(const char* phrase)
    {
        for (uint32_t i = 0; i < held.phrases.size(); i++) {
            if (strcmp(held.texts.data() + held.phrases[i].text, phrase) == 0) {
                char text[256];
                HeldLabelPath(&held, i, text, sizeof text);
                return text;
            }
        }
        return "<none>";
    }
};

const Label kLibrary = {
    "root",
    {"根の定型文"},
    {
        {"製品", {"フェンロップ", "ﾌｪﾝﾛｯﾌﾟ", "ふぇんろっぷ", "フェンロッブ"}, {{"英字", {"abc", "ABC def", "ａｂｃ"}, {}}}},
        {"会議", {"会議の資料\r\nファイル名", "ガイド", "ｶﾞｲﾄﾞ", "カイト", "ー", "-"}, {}},
    },
};

using V = std::vector<std::string>;

TEST_F(Filter, FindsEveryWordInAnyKanaOrWidth)
{
    ASSERT_NO_FATAL_FAILURE(Hold(kLibrary));
    struct Case {
        const char* query;
        V found;
    } cases[] = {
        {"ふぇんろっぷ", {"フェンロップ", "ﾌｪﾝﾛｯﾌﾟ", "ふぇんろっぷ"}},
        {"ﾌｪﾝﾛｯﾌﾟ", {"フェンロップ", "ﾌｪﾝﾛｯﾌﾟ", "ふぇんろっぷ"}},
        {"ＡＢＣ", {"abc", "ABC def", "ａｂｃ"}},
        {"abc DEF", {"ABC def"}},
        {"abc　ｄｅｆ", {"ABC def"}},  // a full-width space parts the words
        {"がいど", {"ガイド", "ｶﾞｲﾄﾞ"}},
        {"ー", {"ー"}},  // no hyphen
        {"資料 ふぁいる", {"会議の資料\r\nファイル名"}},
        {"会議 ない", {}},
        {"根", {"根の定型文"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Query(c.query), c.found) << c.query;
    EXPECT_EQ(Query(" ").size(), held.phrases.size());  // no words: every phrase
}

TEST_F(Filter, NamesTheLabelOfEachPhrase)
{
    ASSERT_NO_FATAL_FAILURE(Hold(kLibrary));
    EXPECT_EQ(LabelOf("ｶﾞｲﾄﾞ"), "会議");
    EXPECT_EQ(LabelOf("ａｂｃ"), "製品 > 英字");
    EXPECT_EQ(LabelOf("根の定型文"), "");
    char cut[11];
    uint32_t deep = 0;
    while (strcmp(held.texts.data() + held.phrases[deep].text, "abc") != 0)
        deep++;
    HeldLabelPath(&held, deep, cut, sizeof cut);
    EXPECT_STREQ(cut, "製品 > 英");  // cut on a character boundary
}

TEST_F(Filter, FollowsTheFileAndRefusesAMalformedOne)
{
    ASSERT_NO_FATAL_FAILURE(Hold(kLibrary));
    EXPECT_TRUE(HeldLibraryCurrent(&held, path.c_str()));
    Label changed = kLibrary;
    changed.labels[1].phrases.push_back("新しいガイド");
    WriteBytes(path, LibraryBytes(changed));
    EXPECT_FALSE(HeldLibraryCurrent(&held, path.c_str()));
    ASSERT_EQ(HoldLibrary(path.c_str(), &held), 0);
    EXPECT_EQ(Query("がいど"), (V{"ガイド", "ｶﾞｲﾄﾞ", "新しいガイド"}));
    EXPECT_GT(HeldLibraryBytes(&held), held.texts.size());

    WriteBytes(path, "<u>\"root\"\r\n    \"loose\"\r\n</u>\r\n");
    EXPECT_EQ(HoldLibrary(path.c_str(), &held), -1);
    EXPECT_TRUE(held.phrases.empty());
    EXPECT_FALSE(HeldLibraryCurrent(&held, path.c_str()));
}

bool GiveUp(void* context)
{
    ++*(int*)context;
    return false;
}

TEST_F(Filter, GivesUpWhenAskedTo)
{
    Label big = {"root", {}, {}};
    for (int i = 0; i < 10000; i++)
        big.phrases.push_back("phrase " + std::to_string(i));
    ASSERT_NO_FATAL_FAILURE(Hold(big));
    SearchWords words;
    BuildFilterWords("phrase", 6, &words);
    int asked = 0;
    FilterGoOn goOn = {&asked, GiveUp};
    std::vector<uint32_t> rows;
    EXPECT_EQ(FilterHeldLibrary(&held, &words, &goOn, &rows), -1);
    EXPECT_EQ(asked, 1);
    EXPECT_LT(rows.size(), big.phrases.size());
}

// The held copies find what the search of the file finds with the same
// folded words, over random libraries of kana in every width, letters and
// kanji.
int Collect(void* context, const char* text, size_t length)
{
    ((V*)context)->emplace_back(text, length);
    return 0;
}

TEST_F(Filter, FindsWhatTheFoldedSearchOfTheFileFinds)
{
    const char* pieces[] = {"あ", "ア", "ｱ", "が", "ｶﾞ", "ガ", "ぱ", "ﾊﾟ", "a", "A", "ａ", "Ａ", "1", "１",
                            "漢", "字", "ー", "-", " ", "　", "ﾞ", "ゝ", "ヽ"};
    std::mt19937 random(24);
    auto text = [&](int most) {
        std::string t;
        for (int n = random() % most; n > 0; n--)
            t += pieces[random() % (sizeof pieces / sizeof *pieces)];
        return t;
    };
    for (int round = 0; round < 40; round++) {
        Label root = {"root", {text(6)}, {}};
        for (int l = 0; l < 4; l++) {
            Label label = {"l" + std::to_string(l), {}, {{"in", {text(8), text(8)}, {}}}};
            for (int p = 0; p < 12; p++)
                label.phrases.push_back(text(8));
            root.labels.push_back(label);
        }
        ASSERT_NO_FATAL_FAILURE(Hold(root));
        for (int q = 0; q < 10; q++) {
            std::string query = text(4);
            SearchWords words;
            BuildFilterWords(query.c_str(), query.size(), &words);
            V expected;
            PhraseSink sink = {&expected, Collect};
            ASSERT_EQ(SearchLibraryFile(path.c_str(), &words, 0, nullptr, &sink), 0);
            EXPECT_EQ(Query(query.c_str()), expected) << query;
        }
    }
}

}  // namespace
