#include "calc/calc_engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int ENTRY_DIGITS = 12;          // characters of a typed entry
const int INDICATOR_AT = 25;          // "[+]" in the entry line
const double MEMORY_SHOWN_FROM = 1e-14;
const double DEGREES_PER_RADIAN = 57.29577951308232;
const char CAPTION_SEPARATOR[] = ", ";

CalcState s_calc;

// The entry line as read at the start of a key.
struct Entry {
    bool memory;
    bool error;
    char text[CALC_LINE_SIZE];
    double value;
};

void ReadEntry(const CalcPadTexts* pad, Entry* e)
{
    char line[CALC_LINE_SIZE] = "";
    pad->get(pad->context, CALC_TEXT_ENTRY, line, sizeof line);
    line[CALC_LINE_SIZE - 1] = '\0';
    size_t length = strlen(line);
    e->memory = line[0] == 'M';
    strcpy(e->text, length > (size_t)CALC_TEXT_OFFSET ? line + CALC_TEXT_OFFSET : "");
    e->error = e->text[0] == 'E';
    e->value = atof(e->text);
}

// caption needs CALC_CAPTION_SIZE bytes.
void ReadCaption(const CalcPadTexts* pad, char* caption)
{
    caption[0] = '\0';
    pad->get(pad->context, CALC_TEXT_CAPTION, caption, CALC_CAPTION_SIZE);
    caption[CALC_CAPTION_SIZE - 1] = '\0';
}

bool Valid(double value)
{
    return std::isfinite(value);
}

bool ShowsIndicator(char op)
{
    return op == '*' || op == '+' || op == '-' || op == '/';
}

// Composes the entry line and the display from a value, or from text when
// it is given; in the error state from neither.
void Show(const CalcPadTexts* pad, double value, const char* text, bool memory, bool error, char op)
{
    char formatted[32];
    if (!error && !text) {
        FormatCalcValue(value, formatted, sizeof formatted);
        text = formatted;
    }
    if (error)
        text = "E.";

    char line[CALC_LINE_SIZE];
    memset(line, ' ', sizeof line);
    line[CALC_LINE_SIZE - 1] = '\0';
    line[CALC_TEXT_OFFSET - 1] = '\n';
    if (memory)
        line[0] = 'M';
    if (ShowsIndicator(op)) {
        line[INDICATOR_AT] = '[';
        line[INDICATOR_AT + 1] = op;
        line[INDICATOR_AT + 2] = ']';
    }
    snprintf(line + CALC_TEXT_OFFSET, CALC_LINE_SIZE - CALC_TEXT_OFFSET, "%s", text);
    pad->set(pad->context, CALC_TEXT_ENTRY, line);

    // The display always shows a point, so "12" and "12." look alike.
    char number[CALC_LINE_SIZE + 1];
    snprintf(number, sizeof number, "%s%s", line + CALC_TEXT_OFFSET,
             error || strchr(line + CALC_TEXT_OFFSET, '.') ? "" : ".");
    char display[CALC_DISPLAY_SIZE];
    memcpy(display, line, CALC_TEXT_OFFSET);
    FullWidthNumber(number, display + CALC_TEXT_OFFSET);
    pad->set(pad->context, CALC_TEXT_DISPLAY, display);
}

void ShowEntry(const CalcPadTexts* pad, const Entry& e)
{
    Show(pad, 0, e.text, e.memory, false, 0);
}

void ShowError(const CalcPadTexts* pad, bool memory)
{
    Show(pad, 0, nullptr, memory, true, 0);
}

int ClearEntry(const CalcPadTexts* pad)
{
    Entry e;
    ReadEntry(pad, &e);
    s_calc.startNewEntry = false;
    Show(pad, 0, nullptr, e.memory, false, 0);
    return 0;
}

int ZeroKey(const CalcPadTexts* pad, int zeros)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    if (s_calc.startNewEntry)
        return ClearEntry(pad);
    size_t length = strlen(e.text);
    if (length + zeros > (size_t)ENTRY_DIGITS)
        return -1;
    if (e.value == 0 && !strchr(e.text, '.'))
        return -1;  // no leading zeros
    memset(e.text + length, '0', zeros);
    e.text[length + zeros] = '\0';
    ShowEntry(pad, e);
    s_calc.recalled = false;
    return 0;
}

int DigitKey(const CalcPadTexts* pad, int digit)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    if (s_calc.startNewEntry) {
        ClearEntry(pad);
        strcpy(e.text, "0");
    }
    size_t length = strlen(e.text);
    if (length >= (size_t)ENTRY_DIGITS)
        return -1;
    if (strcmp(e.text, "0") == 0)
        length = 0;
    e.text[length] = (char)('0' + digit);
    e.text[length + 1] = '\0';
    ShowEntry(pad, e);
    s_calc.recalled = false;
    return 0;
}

int PointKey(const CalcPadTexts* pad)
{
    if (s_calc.startNewEntry)
        ClearEntry(pad);  // this also ends the error state
    Entry e;
    ReadEntry(pad, &e);
    size_t length = strlen(e.text);
    if (e.error || length > (size_t)ENTRY_DIGITS || strchr(e.text, '.'))
        return -1;
    e.text[length] = '.';
    e.text[length + 1] = '\0';
    ShowEntry(pad, e);
    s_calc.recalled = false;
    return 0;
}

// No precedence: the pending operator takes the displayed value at once.
int OperatorKey(const CalcPadTexts* pad, char op)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    double x = e.value;
    switch (s_calc.pendingOperator) {
    case '+': s_calc.accumulator += x; break;
    case '-': s_calc.accumulator -= x; break;
    case '*': s_calc.accumulator *= x; break;
    case '/': s_calc.accumulator /= x; break;
    default: s_calc.accumulator = x; break;
    }
    if (!Valid(s_calc.accumulator)) {
        ShowError(pad, e.memory);
        s_calc.accumulator = 0;
        s_calc.pendingOperator = 0;
        return -1;
    }
    Show(pad, s_calc.accumulator, nullptr, e.memory, false, op);
    s_calc.pendingOperator = op;
    s_calc.startNewEntry = true;
    s_calc.recalled = false;
    return 0;
}

int FunctionKey(const CalcPadTexts* pad, int id)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    double x = e.value;
    if (id == CALC_KEY_ATAN)
        x = atan(x) * DEGREES_PER_RADIAN;
    else if (id == CALC_KEY_SQRT)
        x = sqrt(x);
    else
        x = -x;
    if (!Valid(x)) {
        // The pending operation stays, so C and a new operand can finish it.
        ShowError(pad, e.memory);
        return -1;
    }
    Show(pad, x, nullptr, e.memory, false, 0);
    s_calc.accumulator = 0;
    s_calc.pendingOperator = 0;
    s_calc.startNewEntry = true;
    s_calc.recalled = false;
    return 0;
}

bool MemoryShown(double memory)
{
    return fabs(memory) >= MEMORY_SHOWN_FROM;
}

int MemoryKey(const CalcPadTexts* pad, int sign)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    s_calc.startNewEntry = true;
    s_calc.recalled = false;
    double sum = s_calc.memory + sign * e.value;
    if (!Valid(sum)) {
        // An overflowing memory would be recalled as a text no entry can
        // hold; the memory keeps its value and the error state says why.
        ShowError(pad, MemoryShown(s_calc.memory));
        return -1;
    }
    s_calc.memory = sum;
    Show(pad, e.value, nullptr, MemoryShown(s_calc.memory), false, 0);
    return 0;
}

int MemoryRecall(const CalcPadTexts* pad)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    s_calc.startNewEntry = false;
    if (MemoryShown(s_calc.memory) && !s_calc.recalled) {
        Show(pad, s_calc.memory, nullptr, true, false, 0);
        s_calc.recalled = true;
    } else {
        Show(pad, 0, nullptr, false, false, 0);
        s_calc.memory = 0;
        s_calc.recalled = false;
    }
    return 0;
}

int BackspaceKey(const CalcPadTexts* pad)
{
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    size_t length = strlen(e.text);
    if (length <= 1)
        return ClearEntry(pad);
    e.text[length - 1] = '\0';
    ShowEntry(pad, e);
    return 0;
}

int Collect(const CalcPadTexts* pad)
{
    OperatorKey(pad, 0);
    Entry e;
    ReadEntry(pad, &e);
    if (e.error)
        return -1;
    char caption[CALC_CAPTION_SIZE];
    ReadCaption(pad, caption);
    size_t length = strlen(caption);
    size_t entryLength = strlen(e.text);
    if (length + entryLength + 6 >= (size_t)CALC_CAPTION_SIZE)
        return -1;
    if (length != s_calc.bareCaption)
        strcat(caption, CAPTION_SEPARATOR);
    strcat(caption, e.text);
    pad->set(pad->context, CALC_TEXT_CAPTION, caption);
    return ClearEntry(pad);
}

// The AC key keeps the collected values, and with them the bare caption.
void AllClear(const CalcPadTexts* pad)
{
    size_t bareCaption = s_calc.bareCaption;
    s_calc = CalcState{};
    s_calc.bareCaption = bareCaption;
    Show(pad, 0, nullptr, false, false, 0);
}

}  // namespace

void FormatCalcValue(double value, char* buffer, size_t size)
{
    char text[64];
    if (value == 0) {
        // Not every C runtime prints the sign of a negative zero.
        snprintf(buffer, size, "%s", std::signbit(value) ? "-0" : "0");
        return;
    }
    snprintf(text, sizeof text, "%-1.12G", value);
    char* exponent = strchr(text, 'E');
    if (exponent) {
        snprintf(text, sizeof text, "%-1.8G", value);
        exponent = strchr(text, 'E');
    }
    if (exponent) {
        // C runtimes differ in the exponent's width: always a sign and three digits.
        char* digits = exponent + 1;
        char sign = '+';
        if (*digits == '+' || *digits == '-')
            sign = *digits++;
        int power = atoi(digits);
        snprintf(exponent, sizeof text - (exponent - text), "E%c%03d", sign, power);
    } else if (strchr(text, '.')) {
        size_t n = strlen(text);
        while (n > 0 && text[n - 1] == '0')
            text[--n] = '\0';
        if (n > 0 && text[n - 1] == '.')
            text[--n] = '\0';
    }
    snprintf(buffer, size, "%s", text);
}

void FullWidthNumber(const char* text, char* out)
{
    size_t n = 0;
    for (; *text; text++) {
        unsigned char c = (unsigned char)*text;
        unsigned char lead = 0x81, trail;
        if (c >= '0' && c <= '9')
            lead = 0x82, trail = (unsigned char)(0x4F + (c - '0'));
        else if (c == '.')
            trail = 0x44;
        else if (c == '-')
            trail = 0x7C;
        else if (c == '+')
            trail = 0x7B;
        else if (c == 'E')
            lead = 0x82, trail = 0x64;
        else
            lead = 0, trail = c;  // nothing else is ever entered; kept as it is
        size_t width = lead ? 2 : 1;
        if (n + width > (size_t)CALC_FULL_WIDTH_MAX)
            break;
        if (lead)
            out[n++] = (char)lead;
        out[n++] = (char)trail;
    }
    out[n] = '\0';
}

int CalcPressKey(const CalcPadTexts* pad, int id)
{
    if (id >= CALC_KEY_ZERO && id <= CALC_KEY_ZERO + 2)
        return ZeroKey(pad, id - CALC_KEY_ZERO + 1);
    if (id >= CALC_KEY_ONE && id <= CALC_KEY_ONE + 8)
        return DigitKey(pad, id - CALC_KEY_ONE + 1);
    if (id >= CALC_KEY_ADD && id <= CALC_KEY_EQUALS)
        return OperatorKey(pad, "+-*/="[id - CALC_KEY_ADD]);
    switch (id) {
    case CALC_KEY_POINT: return PointKey(pad);
    case CALC_KEY_COLLECT: return Collect(pad);
    case CALC_KEY_ATAN:
    case CALC_KEY_SQRT:
    case CALC_KEY_NEGATE: return FunctionKey(pad, id);
    case CALC_KEY_BACK: return BackspaceKey(pad);
    case CALC_KEY_CLEAR: return ClearEntry(pad);
    case CALC_KEY_ALL_CLEAR: AllClear(pad); return 0;
    case CALC_KEY_MEMORY_ADD: return MemoryKey(pad, 1);
    case CALC_KEY_MEMORY_SUBTRACT: return MemoryKey(pad, -1);
    case CALC_KEY_MEMORY_RECALL: return MemoryRecall(pad);
    }
    return -1;
}

void CalcAllClear(const CalcPadTexts* pad)
{
    char caption[CALC_CAPTION_SIZE];
    ReadCaption(pad, caption);
    s_calc.bareCaption = strlen(caption);
    AllClear(pad);
}

size_t CalcFinish(const CalcPadTexts* pad, char* text, size_t size)
{
    OperatorKey(pad, 0);
    Collect(pad);
    char caption[CALC_CAPTION_SIZE];
    ReadCaption(pad, caption);
    const char* values = strlen(caption) >= s_calc.bareCaption ? caption + s_calc.bareCaption : "";
    snprintf(text, size, "%s", values);
    return strlen(text);
}
