// flp's text at the terminal: the file holds code page 932, the user types
// and reads the terminal's own character set. Conversions use the system's
// converters (iconv natively, the code-page functions on Windows) and never
// put a stand-in character in place of one they cannot convert.
#pragma once

#include <cstddef>
#include <string>

// The character sets flp converts between.
enum TextSet {
    SET_FILE,      // code page 932, the library's bytes
    SET_UTF8,      // JSON
    SET_TERMINAL,  // the locale's set natively; on Windows the ANSI code page
                   // for pipes and files, UTF-8 after --utf8
};

// How the terminal's text is taken: converted (the default), the file's
// bytes unconverted (--raw), or UTF-8 (--utf8).
enum TerminalMode { TERMINAL_LOCALE, TERMINAL_RAW, TERMINAL_UTF8 };

// Where a conversion failed: a character the target set cannot hold (code
// its code point, index its place in the text, from 1), or bytes that are
// no valid text in the source set (code -1, index the byte's offset from 1).
struct TextFault {
    long code;
    size_t index;
};

// Describes a fault in English: "U+1F600 at character 3 has no place in code
// page 932" or "invalid bytes at byte 5".
std::string DescribeFault(const TextFault& fault, TextSet to);

// Sets the terminal mode (after setlocale natively). Call once, first.
void StartTerminal(TerminalMode mode);
TerminalMode GetTerminalMode();

// Converts n bytes of text from one set to another, exactly or not at all.
// Returns false with *fault set when a character cannot be converted.
bool ConvertText(TextSet from, TextSet to, const char* text, size_t n, std::string* out,
                 TextFault* fault);

// Takes the program's arguments in the file's code page: on Windows they are
// read as Unicode. Every argument but the files (fileArgs: indexes into
// args, which start after the command) is converted from the terminal's
// set; the files are the system's paths. Returns false after printing which
// argument and character cannot be held. *argv is replaced by arguments that
// live until the program ends.
// markFiles is told the arguments after the command and marks the files.
bool TakeArguments(int* argc, char*** argv, void (*markFiles)(int count, char** args, bool* isFile));

// Writes text of the file (code page 932) to standard output in the
// terminal's set (to a Windows console as Unicode). Returns 0, or -1 when
// the write failed; text the terminal's set cannot show ends the program
// with status 1 and a line saying so.
int PutText(const char* text, size_t n);

// Standard input of n bytes in the terminal's set, into the file's code page.
bool TakeInput(const std::string& in, std::string* out, TextFault* fault);
