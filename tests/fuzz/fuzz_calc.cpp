// The calculator engine on any sequence of its 29 keys.
//
// Whatever is pressed, the entry line keeps its layout, the entry holds a
// number of at most 18 characters ("-0.000123456789012") or "E.", the
// display is that number in full width and the caption stays within 255
// bytes, starting with the pad's own title. Input starting with 0xFF first puts the following bytes
// (up to the next 0xFF) in the entry line, as a damaged control would hold
// them: then only the bounds are checked.
#include "calc/calc_engine.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

const char BARE_CAPTION[] = "\x93\x64\x91\xEC\x81\x40";  // the title in code page 932
const int KEYS[] = {1100, 1101, 1102, 1104, 1105, 1106, 1107, 1108, 1109, 1110, 1111, 1112, 1113, 1114, 1116,
                    1117, 1118, 1119, 1120, 1121, 1122, 1123, 1124, 1125, 1126, 1127, 1128, 1129, 1};
const size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

struct Pad {
    std::string text[3];
};

void Get(void* context, CalcText which, char* buffer, int size)
{
    snprintf(buffer, size, "%s", ((Pad*)context)->text[which].c_str());
}

void Set(void* context, CalcText which, const char* text)
{
    ((Pad*)context)->text[which] = text;
}

void CheckLayout(const Pad& pad)
{
    const std::string& line = pad.text[CALC_TEXT_ENTRY];
    const std::string& display = pad.text[CALC_TEXT_DISPLAY];
    FUZZ_CHECK(line.size() > (size_t)CALC_TEXT_OFFSET && line[CALC_TEXT_OFFSET - 1] == '\n');
    FUZZ_CHECK(line[0] == ' ' || line[0] == 'M');
    FUZZ_CHECK(line.find_first_not_of(' ', 1) >= 25);
    std::string indicator = line.substr(25, 3);
    FUZZ_CHECK(indicator == "   " || (indicator[0] == '[' && strchr("+-*/", indicator[1]) && indicator[2] == ']'));
    std::string text = line.substr(CALC_TEXT_OFFSET);
    FUZZ_CHECK(text.size() <= 18 && text.find_first_not_of("0123456789.-+E") == std::string::npos);
    FUZZ_CHECK(text.empty() || text == "E." || text.find('E') != 0);
    FUZZ_CHECK(display.compare(0, CALC_TEXT_OFFSET, line, 0, CALC_TEXT_OFFSET) == 0);
    std::string number = text + (text == "E." || text.find('.') != std::string::npos ? "" : ".");
    char expected[CALC_FULL_WIDTH_MAX + 1];
    FullWidthNumber(number.c_str(), expected);
    FUZZ_CHECK(display.substr(CALC_TEXT_OFFSET) == expected);
    FUZZ_CHECK(display.size() - CALC_TEXT_OFFSET == 2 * number.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Pad pad;
    pad.text[CALC_TEXT_CAPTION] = BARE_CAPTION;
    CalcPadTexts texts = {&pad, Get, Set};
    CalcAllClear(&texts);
    size_t i = 0;
    bool damaged = size > 0 && data[0] == 0xFF;
    if (damaged) {
        std::string line;
        for (i = 1; i < size && data[i] != 0xFF; i++)
            line += data[i] ? (char)data[i] : ' ';
        pad.text[CALC_TEXT_ENTRY] = line;
    }
    for (; i < size; i++) {
        int key = KEYS[data[i] % KEY_COUNT];
        if (key == 1) {
            char values[CALC_CAPTION_SIZE];
            size_t n = CalcFinish(&texts, values, sizeof values);
            FUZZ_CHECK(n == strlen(values) && pad.text[CALC_TEXT_CAPTION].substr(6) == values);
        } else {
            CalcPressKey(&texts, key);
        }
        const std::string& caption = pad.text[CALC_TEXT_CAPTION];
        FUZZ_CHECK(caption.size() < (size_t)CALC_CAPTION_SIZE && caption.compare(0, 6, BARE_CAPTION) == 0);
        FUZZ_CHECK(pad.text[CALC_TEXT_ENTRY].size() < (size_t)CALC_LINE_SIZE);
        FUZZ_CHECK(pad.text[CALC_TEXT_DISPLAY].size() < (size_t)CALC_DISPLAY_SIZE);
        if (!damaged)
            CheckLayout(pad);
    }
    return 0;
}
