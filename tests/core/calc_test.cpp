// The calculator engine, key by key, against the exact bytes of the pad's
// three texts. The same table runs natively and under Wine, so both C
// runtimes must print the same numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "calc/calc_engine.h"

namespace {

const char BARE_CAPTION[] = "電卓　";

struct FakePad {
    std::string entry, display, caption = BARE_CAPTION;

    std::string& Text(CalcText which)
    {
        return which == CALC_TEXT_ENTRY ? entry : which == CALC_TEXT_DISPLAY ? display : caption;
    }
    CalcPadTexts Texts()
    {
        return CalcPadTexts{this,
                            [](void* context, CalcText which, char* buffer, int size) {
                                std::string& text = ((FakePad*)context)->Text(which);
                                snprintf(buffer, size, "%s", text.c_str());
                            },
                            [](void* context, CalcText which, const char* text) {
                                ((FakePad*)context)->Text(which) = text;
                            }};
    }
};

// Keys by their captions; a run of digits and points is typed one by one.
const std::map<std::string, int> KEYS = {
    {"00", 1101}, {"000", 1102}, {",", 1114}, {"+", 1116}, {"-", 1117},  {"*", 1118}, {"/", 1119},
    {"=", 1120},  {"%", 1121},   {"r", 1122}, {"neg", 1123}, {"bs", 1124}, {"C", 1125}, {"AC", 1126},
    {"M+", 1127}, {"M-", 1128},  {"MR", 1129}};

// Runs the keys on a pad opened fresh; returns what Ent sent, if pressed.
std::string Press(FakePad* pad, const std::string& keys)
{
    CalcPadTexts texts = pad->Texts();
    CalcAllClear(&texts);
    std::string sent = "<not finished>";
    std::istringstream in(keys);
    std::string key;
    while (in >> key) {
        if (key == "Ent") {
            char text[CALC_CAPTION_SIZE];
            size_t n = CalcFinish(&texts, text, sizeof text);
            sent = text;
            EXPECT_EQ(n, sent.size());
        } else if (KEYS.count(key)) {
            CalcPressKey(&texts, KEYS.at(key));
        } else {
            for (char c : key)
                CalcPressKey(&texts, c == '.' ? 1113 : c == '0' ? 1100 : 1103 + (c - '0'));
        }
    }
    return sent;
}

// The first line of both texts: memory and operator indicators.
std::string Indicators(const std::string& shown)
{
    std::string line(28, ' ');
    if (shown.find('M') != std::string::npos)
        line[0] = 'M';
    size_t bracket = shown.find('[');
    if (bracket != std::string::npos)
        line.replace(25, 3, shown.substr(bracket, 3));
    return line + "\n";
}

std::string Repeat(const std::string& text, int times, const char* separator = " ")
{
    std::string all;
    for (int i = 0; i < times; i++)
        all += (i ? separator : "") + text;
    return all;
}

struct Row {
    std::string keys;
    const char* indicators;  // "M", "[+]", "M[*]", ""
    const char* entry;       // the entry text of control 1014
    const char* display;     // the number of control 1013
    std::string caption;     // collected values after "電卓　"
    const char* sent;        // what Ent sent (rows that press it)
};

const std::string TWELVE = "123456789012";
const std::string TINY = "1 / 1000000 / 1000000 / 1000 =";  // 1E-015, under the memory's threshold
const std::string THRESHOLD = "1 / 10000000 / 10000000 =";     // 1E-014, read back exactly
const std::string HUGE_VALUE = "999999999999 * * * * *";    // 1E+192

const Row ROWS[] = {
    {"", "", "0", "０．", "", nullptr},
    // Immediate execution, no precedence; an operator repeats the pending one.
    {"2 + 3 * 4 =", "", "20", "２０．", "", nullptr},
    {"2 + 3 *", "[*]", "5", "５．", "", nullptr},
    {"5 * =", "", "25", "２５．", "", nullptr},
    {"5 + +", "[+]", "10", "１０．", "", nullptr},
    {"5 = =", "", "5", "５．", "", nullptr},
    {"5 + 3", "", "3", "３．", "", nullptr},
    {"9 - 12 =", "", "-3", "－３．", "", nullptr},
    {"1.5 * 2 =", "", "3", "３．", "", nullptr},
    {"0.1 + 0.2 =", "", "0.3", "０．３", "", nullptr},
    {"2 / 3 =", "", "0.666666666667", "０．６６６６６６６６６６６７", "", nullptr},
    {"5 + .", "", "0.", "０．", "", nullptr},
    // The error state: only C, AC and a point starting a new entry end it.
    {"1 / 0 =", "", "E.", "Ｅ．", "", nullptr},
    {"1 / 0 = 5 + M+ MR % r neg bs , 00 .", "", "E.", "Ｅ．", "", nullptr},
    {"1 / 0 = C", "", "0", "０．", "", nullptr},
    {"1 / 0 = AC 4", "", "4", "４．", "", nullptr},
    {"0 / = 5", "", "E.", "Ｅ．", "", nullptr},
    {"0 / = .", "", "0.", "０．", "", nullptr},
    {"5 M+ 1 / 0 =", "M", "E.", "Ｅ．", "", nullptr},
    {"3 neg + r", "", "E.", "Ｅ．", "", nullptr},
    {"3 neg + r C 4 =", "", "1", "１．", "", nullptr},
    {"5 + 4 r =", "", "2", "２．", "", nullptr},
    {HUGE_VALUE + " *", "", "E.", "Ｅ．", "", nullptr},
    // Twelve characters; a point may still follow.
    {"1234567890123", "", "123456789012", "１２３４５６７８９０１２．", "", nullptr},
    {"1234567890123 . 5 00 0", "", "123456789012.", "１２３４５６７８９０１２．", "", nullptr},
    {"1234567891 000", "", "1234567891", "１２３４５６７８９１．", "", nullptr},
    {"1234567891 000 00", "", "123456789100", "１２３４５６７８９１００．", "", nullptr},
    {"0 00 000", "", "0", "０．", "", nullptr},
    {". 00 000", "", "0.00000", "０．０００００", "", nullptr},
    {"5 + 00", "", "0", "０．", "", nullptr},
    {"5 + 000 =", "", "5", "５．", "", nullptr},
    {"1.5.2", "", "1.52", "１．５２", "", nullptr},
    {"5 neg bs", "", "-", "－．", "", nullptr},
    // Exponent forms: eight digits, a sign and three exponent digits.
    {"999999999999 + 1 =", "", "1E+012", "１Ｅ＋０１２．", "", nullptr},
    {"1 / 100000 =", "", "1E-005", "１Ｅ－００５．", "", nullptr},
    {"0.0001 * 1 =", "", "0.0001", "０．０００１", "", nullptr},
    {"2 / 3 / 100000 =", "", "6.6666667E-006", "６．６６６６６６７Ｅ－００６", "", nullptr},
    {"999999999999 * =", "", "1E+024", "１Ｅ＋０２４．", "", nullptr},
    {HUGE_VALUE, "[*]", "1E+192", "１Ｅ＋１９２．", "", nullptr},
    {"12345 neg / 1000000 =", "", "-0.012345", "－０．０１２３４５", "", nullptr},
    // One-argument functions; ％ is the arctangent in degrees.
    {"neg", "", "-0", "－０．", "", nullptr},
    {"1 %", "", "45", "４５．", "", nullptr},
    {"2 r", "", "1.41421356237", "１．４１４２１３５６２３７", "", nullptr},
    // Memory: the indicator from 1e-14 on; MR twice clears.
    {"5 M+", "M", "5", "５．", "", nullptr},
    {"5 M+ MR", "M", "5", "５．", "", nullptr},
    {"5 M+ MR MR", "", "0", "０．", "", nullptr},
    {"5 M+ MR 3", "M", "53", "５３．", "", nullptr},
    {"5 M+ M-", "", "5", "５．", "", nullptr},
    {TINY + " M+", "", "1E-015", "１Ｅ－０１５．", "", nullptr},
    {TINY + " M+ MR", "", "0", "０．", "", nullptr},
    {TINY + " M+ * 20 = M+ MR", "M", "2.1E-014", "２．１Ｅ－０１４", "", nullptr},
    {THRESHOLD + " M+", "M", "1E-014", "１Ｅ－０１４．", "", nullptr},
    {THRESHOLD + " M+ MR", "M", "1E-014", "１Ｅ－０１４．", "", nullptr},
    // M+ and M- keep the pending operation; what follows MR ends the recall.
    {"2 + 3 M+ =", "M", "5", "５．", "", nullptr},
    {"2 + 3 M- 4 =", "M", "6", "６．", "", nullptr},
    {"5 M+ MR 3 MR", "M", "5", "５．", "", nullptr},
    {"5 M+ MR 0 MR", "M", "5", "５．", "", nullptr},
    {"5 M+ MR . MR", "M", "5", "５．", "", nullptr},
    {"5 M+ MR + MR", "M", "5", "５．", "", nullptr},
    // A memory past the doubles' range is refused, not recalled as "INF".
    {HUGE_VALUE + " M+ MR bs bs bs 308 M+ M+", "M", "E.", "Ｅ．", "", nullptr},
    {HUGE_VALUE + " M+ MR bs bs bs 308 M+ M+ C MR", "M", "1E+308", "１Ｅ＋３０８．", "", nullptr},
    // Backspace edits typed entries and results alike.
    {"123 bs", "", "12", "１２．", "", nullptr},
    {"7 bs", "", "0", "０．", "", nullptr},
    {"1 / 4 = bs", "", "0.2", "０．２", "", nullptr},
    {"1 / 4 = bs 5", "", "5", "５．", "", nullptr},
    // Collect and finish.
    {"12 , 34 ,", "", "0", "０．", "12, 34", nullptr},
    {"2 + 3 ,", "", "0", "０．", "5", nullptr},
    {"12 , 3 Ent", "", "0", "０．", "12, 3", "12, 3"},
    {"12 , 34 , 34 + 12 Ent", "", "0", "０．", "12, 34, 46", "12, 34, 46"},
    {"1 / 0 = Ent", "", "E.", "Ｅ．", "", ""},
    {"7 , 1 / 0 = Ent", "", "E.", "Ｅ．", "7", "7"},
    // The caption's 255 bytes: the 18th twelve-digit value stays on the display.
    {Repeat(TWELVE + " ,", 18), "", "123456789012", "１２３４５６７８９０１２．", Repeat(TWELVE, 17, ", "), nullptr},
    {Repeat(TWELVE + " ,", 18) + " 5 ,", "", "0", "０．", Repeat(TWELVE, 17, ", ") + ", 5", nullptr},
    // Exactly at the limit: 242 bytes, an entry and 6 more make 255 (taken) or 256.
    {Repeat(TWELVE + " ,", 17) + " 1234567 ,", "", "0", "０．", Repeat(TWELVE, 17, ", ") + ", 1234567", nullptr},
    {Repeat(TWELVE + " ,", 17) + " 12345678 ,", "", "12345678", "１２３４５６７８．", Repeat(TWELVE, 17, ", "), nullptr},
    // AC keeps what was collected.
    {"12 , AC 3 Ent", "", "0", "０．", "12, 3", "12, 3"},
};

TEST(CalcEngine, KeySequencesGiveTheTextsOfThePad)
{
    for (const Row& row : ROWS) {
        FakePad pad;
        std::string sent = Press(&pad, row.keys);
        std::string first = Indicators(row.indicators);
        EXPECT_EQ(pad.entry, first + row.entry) << row.keys;
        EXPECT_EQ(pad.display, first + row.display) << row.keys;
        EXPECT_EQ(pad.caption, BARE_CAPTION + row.caption) << row.keys;
        if (row.sent) {
            EXPECT_EQ(sent, row.sent) << row.keys;
        }
    }
}

TEST(CalcEngine, TheValuesFollowTheCaptionThePadOpenedWith)
{
    // Under another ANSI code page the title reads in fewer or more bytes.
    for (const char* bare : {BARE_CAPTION, "?? ", "Calculator"}) {
        FakePad pad;
        pad.caption = bare;
        EXPECT_EQ(Press(&pad, "12 , 7 Ent"), "12, 7") << bare;
        EXPECT_EQ(pad.caption, std::string(bare) + "12, 7") << bare;
        pad.caption = bare;
        EXPECT_EQ(Press(&pad, "12 , AC 3 Ent"), "12, 3") << bare;
    }
}

TEST(CalcEngine, TheEntryLineHasAFixedLayout)
{
    FakePad pad;
    Press(&pad, "5 M+ 7 +");
    EXPECT_EQ(pad.entry, "M                        [+]\n7");
    EXPECT_EQ(pad.caption.size(), 6u);
    // The pad's longest collected text stays under 256 bytes.
    Press(&pad, Repeat(TWELVE + " ,", 17) + " 5 ,");
    EXPECT_EQ(pad.caption.size(), 245u);
}

TEST(CalcEngine, TheDisplayNumberIsCutAt78Bytes)
{
    char out[CALC_FULL_WIDTH_MAX + 1];
    FullWidthNumber(std::string(50, '1').c_str(), out);
    EXPECT_EQ(strlen(out), 78u);
    FullWidthNumber("-1.5E+3", out);
    EXPECT_STREQ(out, "－１．５Ｅ＋３");
}

}  // namespace
