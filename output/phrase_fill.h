// Phrases that fill themselves in when they are sent: placeholders in braces
// for the date (in the Japanese era), the time, the user's clipboard text, a
// value asked for at the send, and the place the caret is left.
//
//   {日付} {date}            the date as ggge年m月d日
//   {日付:F} {日付+N:F} ...   the date N days later (or -N earlier) in format F
//   {時刻} {time} {時刻:F}    the time as h:mm, or in format F
//   {クリップボード} {clipboard}   the user's clipboard text
//   {入力:名前} {input:名前}       a value asked for before the send
//   {カーソル} {cursor}       nothing; the caret is left there after the paste
//   {{ }}                    a literal { and }
//
// Anything else in braces, or a placeholder that cannot be read, stays as it
// is written: a phrase never loses text. All texts are Shift-JIS bytes.
#pragma once

#include <cstddef>

// One era: its first day and its names ("令和", "令", "R").
struct Era {
    int year, month, day;
    char name[16];    // ggg
    char short_[8];   // gg
    char letter[4];   // g
};

const int MAX_ERAS = 16;

struct EraTable {
    Era era[MAX_ERAS];  // in the order of their first days
    int count;
};

// The eras built in, for a system that lists none: 明治 1868-01-01 to 令和
// 2019-05-01.
void BuiltInEras(EraTable* table);

// The eras the system lists (on Windows, under HKLM "SYSTEM\CurrentControl
// Set\Control\Nls\Calendars\Japanese\Eras"), so that an era announced
// later needs no new program; the built-in ones where the system lists
// none that can be read.
void SystemEras(EraTable* table);

// Adds the era of one entry as the system lists them: a name "YYYY MM DD"
// and data such as "令和_令_Reiwa_R". Returns false (the table unchanged) for
// an entry that cannot be read or a full table. The table stays sorted.
bool AddEraEntry(EraTable* table, const char* name, const char* data);

// What a send knows at its moment.
struct FillContext {
    int year, month, day;         // today, local
    int hour, minute, second;     // now, local
    const EraTable* eras;
    const char* clipboard;        // the user's clipboard text (null: none)
    size_t clipboardLength;
    // The value typed for an input name (n bytes); null for none, which
    // fills nothing. May be null itself.
    const char* (*input)(void* context, const char* name, size_t n, size_t* length);
    void* inputContext;
};

// The bound of a filled text: as long as a phrase may be.
const size_t FILL_LIMIT = 65535;

struct FillResult {
    size_t length;        // bytes written to out
    long caretBack;       // characters after the caret mark (-1: none, or dropped)
    bool tooLong;         // the filled text would pass FILL_LIMIT: nothing is written
};

// How many characters after the caret mark are still walked back to; a
// mark with more after it is dropped and the caret stays at the end.
const long MAX_CARET_BACK = 1000;

// True when text holds anything that fills (a brace at all): a phrase
// without one goes out as it is.
bool HasPlaceholders(const char* text, size_t n);

// Fills text (n bytes) into out (FILL_LIMIT + 1 bytes, NUL-terminated).
// Returns the result; with tooLong set nothing usable is in out.
FillResult FillPhrase(const char* text, size_t n, const FillContext* context, char* out);

// Hands each distinct input name of text to add, once, in the order of
// first use. Returns the number of names.
int ListFillInputs(const char* text, size_t n, void (*add)(void* context, const char* name, size_t length),
                   void* context);

// Formats a date or a time by the codes of a format (date codes: yyyy yy
// mm m dd d aaaa aaa ggg gg g ee e; time codes: hh h mm m ss s), the
// longest code at each place; every other character stands for itself.
// Writes at most size - 1 bytes and a NUL into out; returns the length, or
// -1 when it does not fit.
int FormatFillDate(const char* format, size_t n, int year, int month, int day, const EraTable* eras,
                   char* out, size_t size);
int FormatFillTime(const char* format, size_t n, int hour, int minute, int second, char* out, size_t size);

// The date days after (negative: before) year-month-day.
void ShiftDate(int* year, int* month, int* day, long days);
