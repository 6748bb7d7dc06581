#include "output/phrase_fill.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// ---- The calendar.

long DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int* y, int* m, int* d)
{
    z += 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    *d = (int)(doy - (153 * mp + 2) / 5 + 1);
    *m = (int)(mp < 10 ? mp + 3 : mp - 9);
    *y = (int)(yoe + era * 400 + (*m <= 2));
}

// 0: Sunday.
int Weekday(int y, int m, int d)
{
    long days = DaysFromCivil(y, m, d);
    return (int)(((days % 7) + 11) % 7);
}

const char* const WEEKDAY_SHORT[] = {"日", "月", "火", "水", "木", "金", "土"};
const char* const WEEKDAY_LONG[] = {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};

// The era of a date: the last one that began on or before it; null before
// the first.
const Era* EraOf(const EraTable* eras, int y, int m, int d)
{
    const Era* found = nullptr;
    long day = DaysFromCivil(y, m, d);
    for (int i = 0; eras && i < eras->count; i++)
        if (DaysFromCivil(eras->era[i].year, eras->era[i].month, eras->era[i].day) <= day)
            found = &eras->era[i];
    return found;
}

// ---- Output into a bounded buffer.

struct Out {
    char* bytes;
    size_t size;      // capacity, without the NUL
    size_t length;
    bool full;
};

void Put(Out* out, const char* bytes, size_t n)
{
    if (out->full || out->length + n > out->size) {
        out->full = true;
        return;
    }
    memcpy(out->bytes + out->length, bytes, n);
    out->length += n;
}

void PutString(Out* out, const char* s)
{
    Put(out, s, strlen(s));
}

void PutNumber(Out* out, long value, int width)
{
    char digits[24];
    int n = 0;
    bool negative = value < 0;
    unsigned long rest = negative ? 0ul - (unsigned long)value : (unsigned long)value;
    do {
        digits[sizeof digits - 1 - n++] = (char)('0' + rest % 10);
        rest /= 10;
    } while (rest && n < 20);
    while (n < width && n < 20)
        digits[sizeof digits - 1 - n++] = '0';
    if (negative)
        digits[sizeof digits - 1 - n++] = '-';
    Put(out, digits + sizeof digits - n, (size_t)n);
}

bool StartsWith(const char* text, size_t n, const char* code)
{
    size_t k = strlen(code);
    return k <= n && memcmp(text, code, k) == 0;
}

// Writes the codes of format from table (longest first at each place):
// handle(code index) writes that code's value.
template <typename Handle>
void PutFormat(Out* out, const char* format, size_t n, const char* const* codes, int count, Handle handle)
{
    size_t i = 0;
    while (i < n) {
        int code = -1;
        // Every code is lower-case ASCII: anything else is itself at once.
        if (format[i] >= 'a' && format[i] <= 'y')
            for (int c = 0; c < count && code < 0; c++)
                if (StartsWith(format + i, n - i, codes[c]))
                    code = c;
        if (code >= 0) {
            handle(code);
            i += strlen(codes[code]);
        } else {
            size_t step = IsSjisLeadByte((unsigned char)format[i]) && i + 1 < n ? 2 : 1;
            Put(out, format + i, step);
            i += step;
        }
    }
}

// Longest first: the order decides at each place.
const char* const DATE_CODES[] = {"yyyy", "aaaa", "ggg", "aaa", "yy", "mm", "dd", "gg", "ee", "m", "d", "g", "e"};
const char* const TIME_CODES[] = {"hh", "mm", "ss", "h", "m", "s"};

void PutDate(Out* out, const char* format, size_t n, int y, int mo, int d, const EraTable* eras)
{
    const Era* era = EraOf(eras, y, mo, d);
    int eraYear = era ? y - era->year + 1 : y;
    int weekday = Weekday(y, mo, d);
    PutFormat(out, format, n, DATE_CODES, (int)(sizeof DATE_CODES / sizeof *DATE_CODES), [&](int code) {
        switch (code) {
        case 0: PutNumber(out, y, 4); break;
        case 1: PutString(out, WEEKDAY_LONG[weekday]); break;
        case 2: PutString(out, era ? era->name : ""); break;
        case 3: PutString(out, WEEKDAY_SHORT[weekday]); break;
        case 4: PutNumber(out, y % 100, 2); break;
        case 5: PutNumber(out, mo, 2); break;
        case 6: PutNumber(out, d, 2); break;
        case 7: PutString(out, era ? era->short_ : ""); break;
        case 8: PutNumber(out, eraYear, 2); break;
        case 9: PutNumber(out, mo, 1); break;
        case 10: PutNumber(out, d, 1); break;
        case 11: PutString(out, era ? era->letter : ""); break;
        case 12:
            // An era's first year is its 元年.
            if (era && eraYear == 1)
                PutString(out, "元");
            else
                PutNumber(out, eraYear, 1);
            break;
        }
    });
}

void PutTime(Out* out, const char* format, size_t n, int h, int mi, int s)
{
    PutFormat(out, format, n, TIME_CODES, (int)(sizeof TIME_CODES / sizeof *TIME_CODES), [&](int code) {
        int values[] = {h, mi, s, h, mi, s};
        PutNumber(out, values[code], code < 3 ? 2 : 1);
    });
}

// ---- The placeholders.

enum Kind { FILL_NONE, FILL_DATE, FILL_TIME, FILL_CLIPBOARD, FILL_INPUT, FILL_CURSOR };

struct Placeholder {
    Kind kind;
    long offset;            // days, for a date
    const char* format;     // null: the default
    size_t formatLength;
    const char* name;       // an input's name
    size_t nameLength;
};

// Index of the first ASCII ch in text[0..n) on a character boundary, or n.
size_t FindAscii(const char* text, size_t n, const char* set)
{
    for (size_t i = 0; i < n; i++) {
        if (IsSjisLeadByte((unsigned char)text[i]) && i + 1 < n) {
            i++;
            continue;
        }
        if (strchr(set, text[i]))
            return i;
    }
    return n;
}

bool Named(const char* text, size_t n, const char* japanese, const char* ascii)
{
    return (n == strlen(japanese) && memcmp(text, japanese, n) == 0) ||
           (n == strlen(ascii) && memcmp(text, ascii, n) == 0);
}

// Reads the inside of a pair of braces. FILL_NONE: not a placeholder.
Placeholder Read(const char* text, size_t n)
{
    Placeholder p = {FILL_NONE, 0, nullptr, 0, nullptr, 0};
    size_t nameEnd = FindAscii(text, n, ":+-");
    const char* rest = text + nameEnd;
    size_t restLength = n - nameEnd;
    if (Named(text, nameEnd, "入力", "input")) {
        if (restLength < 2 || rest[0] != ':')
            return p;
        p.kind = FILL_INPUT;
        p.name = rest + 1;
        p.nameLength = restLength - 1;
        return p;
    }
    if (Named(text, nameEnd, "日付", "date")) {
        size_t i = 0;
        if (restLength > 0 && (rest[0] == '+' || rest[0] == '-')) {
            size_t digits = 0;
            long value = 0;
            while (1 + digits < restLength && rest[1 + digits] >= '0' && rest[1 + digits] <= '9' && digits < 6)
                value = value * 10 + (rest[1 + digits++] - '0');
            if (digits == 0)
                return p;
            p.offset = rest[0] == '-' ? -value : value;
            i = 1 + digits;
        }
        if (i < restLength && rest[i] != ':')
            return p;
        if (i < restLength) {
            p.format = rest + i + 1;
            p.formatLength = restLength - i - 1;
        }
        p.kind = FILL_DATE;
        return p;
    }
    if (Named(text, nameEnd, "時刻", "time")) {
        if (restLength > 0 && rest[0] != ':')
            return p;
        if (restLength > 0) {
            p.format = rest + 1;
            p.formatLength = restLength - 1;
        }
        p.kind = FILL_TIME;
        return p;
    }
    if (restLength == 0 && Named(text, nameEnd, "クリップボード", "clipboard"))
        p.kind = FILL_CLIPBOARD;
    else if (restLength == 0 && Named(text, nameEnd, "カーソル", "cursor"))
        p.kind = FILL_CURSOR;
    return p;
}

// Walks text: literal runs to literal, each placeholder to placeholder
// (with the whole of it as written, for one that is not filled).
template <typename Literal, typename Found>
void Walk(const char* text, size_t n, Literal literal, Found found)
{
    size_t i = 0;
    while (i < n) {
        unsigned char c = (unsigned char)text[i];
        if (IsSjisLeadByte(c) && i + 1 < n) {
            literal(text + i, 2);
            i += 2;
        } else if ((c == '{' || c == '}') && i + 1 < n && text[i + 1] == (char)c) {
            literal(text + i, 1);
            i += 2;
        } else if (c == '{') {
            size_t close = i + 1 + FindAscii(text + i + 1, n - i - 1, "{}");
            if (close < n && text[close] == '}') {
                Placeholder p = Read(text + i + 1, close - i - 1);
                if (p.kind != FILL_NONE) {
                    found(p);
                    i = close + 1;
                    continue;
                }
                literal(text + i, close + 1 - i);
                i = close + 1;
            } else {
                // Unclosed, or another brace opens first: this one is text.
                literal(text + i, 1);
                i++;
            }
        } else {
            literal(text + i, 1);
            i++;
        }
    }
}

// Characters from at to the end of text: a CR LF and a two-byte character
// count one each, as the caret moves over them.
long CharactersAfter(const char* text, size_t length, size_t at)
{
    long count = 0;
    for (size_t i = at; i < length; count++) {
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n')
            i += 2;
        else if (IsSjisLeadByte((unsigned char)text[i]) && i + 1 < length)
            i += 2;
        else
            i++;
    }
    return count;
}

}  // namespace

void BuiltInEras(EraTable* table)
{
    static const Era builtIn[] = {
        {1868, 1, 1, "明治", "明", "M"},
        {1912, 7, 30, "大正", "大", "T"},
        {1926, 12, 25, "昭和", "昭", "S"},
        {1989, 1, 8, "平成", "平", "H"},
        {2019, 5, 1, "令和", "令", "R"},
    };
    table->count = (int)(sizeof builtIn / sizeof *builtIn);
    memcpy(table->era, builtIn, sizeof builtIn);
}

bool AddEraEntry(EraTable* table, const char* name, const char* data)
{
    if (!table || !name || !data || table->count >= MAX_ERAS)
        return false;
    int y, m, d;
    char tail;
    if (sscanf(name, "%4d %2d %2d%c", &y, &m, &d, &tail) != 3 || y < 1 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    // Four fields parted by "_": the name, its short form, its English name
    // and its letter.
    std::vector<std::string> fields;
    size_t n = strlen(data), from = 0;
    while (from <= n && fields.size() < 5) {
        size_t at = from + FindAscii(data + from, n - from, "_");
        fields.emplace_back(data + from, at - from);
        from = at + 1;
    }
    if (fields.size() != 4 || fields[0].empty())
        return false;
    Era era = {y, m, d, "", "", ""};
    if (fields[0].size() >= sizeof era.name || fields[1].size() >= sizeof era.short_ ||
        fields[3].size() >= sizeof era.letter)
        return false;
    memcpy(era.name, fields[0].c_str(), fields[0].size() + 1);
    memcpy(era.short_, fields[1].c_str(), fields[1].size() + 1);
    memcpy(era.letter, fields[3].c_str(), fields[3].size() + 1);
    long day = DaysFromCivil(y, m, d);
    int at = table->count;
    while (at > 0 && DaysFromCivil(table->era[at - 1].year, table->era[at - 1].month, table->era[at - 1].day) > day) {
        table->era[at] = table->era[at - 1];
        at--;
    }
    table->era[at] = era;
    table->count++;
    return true;
}

// The only platform-specific corner here: where the system keeps its eras.
void SystemEras(EraTable* table)
{
    table->count = 0;
#ifdef _WIN32
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            char name[64], data[128];
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
            LONG got = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)data, &dataSize);
            if (got == ERROR_NO_MORE_ITEMS)
                break;
            if (got != ERROR_SUCCESS || type != REG_SZ)
                continue;
            data[dataSize < sizeof data ? dataSize : sizeof data - 1] = '\0';
            AddEraEntry(table, name, data);
        }
        RegCloseKey(key);
    }
#endif
    if (table->count == 0)
        BuiltInEras(table);
}

void ShiftDate(int* year, int* month, int* day, long days)
{
    CivilFromDays(DaysFromCivil(*year, *month, *day) + days, year, month, day);
}

int FormatFillDate(const char* format, size_t n, int year, int month, int day, const EraTable* eras,
                   char* out, size_t size)
{
    Out o = {out, size ? size - 1 : 0, 0, size == 0};
    PutDate(&o, format, n, year, month, day, eras);
    if (o.full)
        return -1;
    out[o.length] = '\0';
    return (int)o.length;
}

int FormatFillTime(const char* format, size_t n, int hour, int minute, int second, char* out, size_t size)
{
    Out o = {out, size ? size - 1 : 0, 0, size == 0};
    PutTime(&o, format, n, hour, minute, second);
    if (o.full)
        return -1;
    out[o.length] = '\0';
    return (int)o.length;
}

bool HasPlaceholders(const char* text, size_t n)
{
    return memchr(text, '{', n) != nullptr || memchr(text, '}', n) != nullptr;
}

FillResult FillPhrase(const char* text, size_t n, const FillContext* context, char* out)
{
    Out o = {out, FILL_LIMIT, 0, false};
    size_t caret = (size_t)-1;
    static const char DEFAULT_DATE[] = "ggge年m月d日";
    static const char DEFAULT_TIME[] = "h:mm";
    Walk(
        text, n, [&](const char* bytes, size_t k) { Put(&o, bytes, k); },
        [&](const Placeholder& p) {
            switch (p.kind) {
            case FILL_DATE: {
                int y = context->year, m = context->month, d = context->day;
                ShiftDate(&y, &m, &d, p.offset);
                if (p.format)
                    PutDate(&o, p.format, p.formatLength, y, m, d, context->eras);
                else
                    PutDate(&o, DEFAULT_DATE, strlen(DEFAULT_DATE), y, m, d, context->eras);
                break;
            }
            case FILL_TIME:
                if (p.format)
                    PutTime(&o, p.format, p.formatLength, context->hour, context->minute, context->second);
                else
                    PutTime(&o, DEFAULT_TIME, strlen(DEFAULT_TIME), context->hour, context->minute,
                            context->second);
                break;
            case FILL_CLIPBOARD:
                if (context->clipboard)
                    Put(&o, context->clipboard, context->clipboardLength);
                break;
            case FILL_INPUT: {
                size_t length = 0;
                const char* value =
                    context->input ? context->input(context->inputContext, p.name, p.nameLength, &length) : nullptr;
                if (value)
                    Put(&o, value, length);
                break;
            }
            case FILL_CURSOR:
                // Only the first counts.
                if (caret == (size_t)-1)
                    caret = o.length;
                break;
            case FILL_NONE:
                break;
            }
        });
    FillResult result = {o.full ? 0 : o.length, -1, o.full};
    out[result.length] = '\0';
    if (!o.full && caret != (size_t)-1) {
        long back = CharactersAfter(out, o.length, caret);
        result.caretBack = back <= MAX_CARET_BACK ? back : -1;
    }
    return result;
}

int ListFillInputs(const char* text, size_t n, void (*add)(void* context, const char* name, size_t length),
                   void* context)
{
    std::vector<std::string> seen;
    Walk(
        text, n, [](const char*, size_t) {},
        [&](const Placeholder& p) {
            if (p.kind != FILL_INPUT)
                return;
            std::string name(p.name, p.nameLength);
            for (const std::string& s : seen)
                if (s == name)
                    return;
            seen.push_back(name);
            add(context, p.name, p.nameLength);
        });
    return (int)seen.size();
}
