// Placeholders filled at a send: the formats, the eras and their edges,
// offsets, and texts that are not placeholders and must stay as written.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "output/phrase_fill.h"

namespace {

struct Inputs {
    std::map<std::string, std::string> values;
    static const char* Get(void* context, const char* name, size_t n, size_t* length)
    {
        auto& values = ((Inputs*)context)->values;
        auto found = values.find(std::string(name, n));
        if (found == values.end())
            return nullptr;
        *length = found->second.size();
        return found->second.c_str();
    }
};

EraTable Eras()
{
    EraTable eras;
    BuiltInEras(&eras);
    return eras;
}

std::string Fill(const std::string& text, int y, int m, int d, long* caret = nullptr,
                 const char* clipboard = nullptr, Inputs* inputs = nullptr)
{
    static EraTable eras = Eras();
    FillContext context = {y, m, d, 9, 5, 7, &eras, clipboard, clipboard ? strlen(clipboard) : 0,
                           inputs ? Inputs::Get : nullptr, inputs};
    static char out[FILL_LIMIT + 1];
    FillResult result = FillPhrase(text.data(), text.size(), &context, out);
    if (caret)
        *caret = result.caretBack;
    return result.tooLong ? "<too long>" : std::string(out, result.length);
}

TEST(PhraseFill, FormatsErasAndOffsets)
{
    struct Row {
        const char* text;
        int y, m, d;
        const char* filled;
    } rows[] = {
        {"{日付}", 2026, 12, 9, "令和8年12月9日"},
        {"{date}", 2026, 12, 9, "令和8年12月9日"},
        {"{日付:yyyy/mm/dd(aaa)}", 2026, 1, 5, "2026/01/05(月)"},
        {"{日付:yy-m-d aaaa}", 2026, 12, 9, "26-12-9 水曜日"},
        {"{日付:ggg gg g ee e}", 2026, 12, 9, "令和 令 R 08 8"},
        {"{日付+1:m月d日(aaa)}", 2026, 12, 9, "12月10日(木)"},
        {"{date-10:yyyy-mm-dd}", 2026, 1, 5, "2025-12-26"},
        {"{日付+1:yyyy-mm-dd}", 2024, 2, 28, "2024-02-29"},
        {"{日付+1:yyyy-mm-dd}", 2023, 2, 28, "2023-03-01"},
        {"{日付+1:yyyy-mm-dd}", 2100, 2, 28, "2100-03-01"},
        {"{日付:yyyy-mm-dd aaa}", 2000, 2, 29, "2000-02-29 火"},
        // Era boundaries: the last day of one, the first of the next (元年).
        {"{日付}", 2019, 4, 30, "平成31年4月30日"},
        {"{日付}", 2019, 5, 1, "令和元年5月1日"},
        {"{日付:gggee年}", 2019, 5, 1, "令和01年"},
        {"{日付}", 1989, 1, 7, "昭和64年1月7日"},
        {"{日付}", 1989, 1, 8, "平成元年1月8日"},
        {"{日付}", 1926, 12, 24, "大正15年12月24日"},
        {"{日付}", 1926, 12, 25, "昭和元年12月25日"},
        {"{日付}", 1912, 7, 29, "明治45年7月29日"},
        {"{日付}", 1912, 7, 30, "大正元年7月30日"},
        {"{日付+1}", 2019, 4, 30, "令和元年5月1日"},
        {"{日付-1}", 2019, 5, 1, "平成31年4月30日"},
        {"{日付}", 1867, 12, 31, "1867年12月31日"},
        // The time: its own codes, m is the minute there.
        {"{時刻}", 2026, 12, 9, "9:05"},
        {"{time:hh:mm:ss}", 2026, 12, 9, "09:05:07"},
        {"{時刻:h時m分s秒}", 2026, 12, 9, "9時5分7秒"},
        {"{日付:m}/{時刻:m}", 2026, 12, 9, "12/5"},
        // Every other character is itself, a two-byte one whole (表's trail
        // byte is "\").
        {"{日付:表yyyy}", 2026, 12, 9, "表2026"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Fill(row.text, row.y, row.m, row.d), row.filled);
    }
}

// Nothing that is not a placeholder is lost or changed.
TEST(PhraseFill, TextThatIsNotAPlaceholderStaysAsWritten)
{
    Inputs inputs;
    inputs.values["宛名"] = "山田様";
    struct Row {
        const char* text;
        const char* filled;
    } rows[] = {
        {"no braces", "no braces"},
        {"{{日付}}", "{日付}"},
        {"a {{ b }} c", "a { b } c"},
        {"{unknown}", "{unknown}"},
        {"{日付", "{日付"},
        {"{日付:yyyy", "{日付:yyyy"},
        {"{ {日付:yyyy}", "{ 2026"},
        {"{{{日付:yyyy}}}", "{2026}"},
        {"{日付+}{日付+x}{日付*1}", "{日付+}{日付+x}{日付*1}"},
        {"{時刻+1}", "{時刻+1}"},
        {"{入力}{入力:}", "{入力}{入力:}"},
        {"}{", "}{"},
        {"{}", "{}"},
        {"様{入力:宛名}へ", "様山田様へ"},
        {"{input:宛名}{入力:未定}", "山田様"},
        {"[{クリップボード}]", "[copied]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Fill(row.text, 2026, 12, 9, nullptr, "copied", &inputs), row.filled);
    }
    EXPECT_EQ(Fill("[{clipboard}]", 2026, 12, 9), "[]") << "no clipboard text: empty";
}

TEST(PhraseFill, TheCaretMarkAndTheBound)
{
    long caret = 0;
    EXPECT_EQ(Fill("Dear {cursor}, 表\r\nX", 2026, 12, 9, &caret), "Dear , 表\r\nX");
    EXPECT_EQ(caret, 5) << "a two-byte character and a CR LF count one each";
    EXPECT_EQ(Fill("a{カーソル}b{カーソル}c", 2026, 12, 9, &caret), "abc");
    EXPECT_EQ(caret, 2) << "only the first mark counts";
    Fill("no mark", 2026, 12, 9, &caret);
    EXPECT_EQ(caret, -1);
    Fill("{cursor}" + std::string(MAX_CARET_BACK + 1, 'x'), 2026, 12, 9, &caret);
    EXPECT_EQ(caret, -1) << "too far back: the caret stays at the end";

    std::string big(FILL_LIMIT - 3, 'x');
    EXPECT_EQ(Fill(big + "{日付:yyyy}", 2026, 12, 9), "<too long>") << "never cut silently";
    EXPECT_EQ(Fill(big + "{日付:yy}", 2026, 12, 9).size(), FILL_LIMIT - 1);

    // A 64 KB phrase of placeholders fills in well under a millisecond.
    std::string text;
    while (text.size() + 20 < 64 * 1024)
        text += "{日付:yyyy}a{{}}b";
    auto start = std::chrono::steady_clock::now();
    Fill(text, 2026, 12, 9);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("fill_64k_ms", std::to_string(ms));
}

TEST(PhraseFill, InputsAreListedOnceInTheOrderOfFirstUse)
{
    std::string text = "{入力:宛名}様 {input:件名} {入力:宛名} {入力:} {{入力:x}}";
    std::vector<std::string> names;
    EXPECT_EQ(ListFillInputs(text.data(), text.size(),
                             [](void* context, const char* name, size_t n) {
                                 ((std::vector<std::string>*)context)->emplace_back(name, n);
                             },
                             &names),
              2);
    EXPECT_EQ(names, (std::vector<std::string>{"宛名", "件名"}));
}

TEST(PhraseFill, ErasFromTheSystemsEntries)
{
    EraTable eras = {};
    struct Row {
        const char* name;
        const char* data;
        bool taken;
    } rows[] = {
        {"2019 05 01", "令和_令_Reiwa_R", true},
        {"1989 01 08", "平成_平_Heisei_H", true},
        {"2040 04 01", "新元_新_Shingen_N", true},
        {"1926 12 25", "昭和_昭_Showa_S", true},
        {"2019-05-01", "令和_令_Reiwa_R", false},
        {"2019 13 01", "令和_令_Reiwa_R", false},
        {"2019 05 01", "令和_令_Reiwa", false},
        {"2019 05 01", "_令_Reiwa_R", false},
        {"2019 05 01 x", "令和_令_Reiwa_R", false},
        {"", "", false},
        {"2019 05 01", "ずっと長すぎる名前の元号_令_Reiwa_R", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddEraEntry(&eras, row.name, row.data), row.taken);
    }
    ASSERT_EQ(eras.count, 4);
    EXPECT_STREQ(eras.era[0].name, "昭和") << "kept in the order of their first days";
    char out[64];
    const char format[] = "ggge年";
    ASSERT_GT(FormatFillDate(format, strlen(format), 2040, 4, 1, &eras, out, sizeof out), 0);
    EXPECT_STREQ(out, "新元元年") << "an era announced later needs no new program";
    ASSERT_GT(FormatFillDate(format, strlen(format), 2040, 3, 31, &eras, out, sizeof out), 0);
    EXPECT_STREQ(out, "令和22年");
}

}  // namespace
