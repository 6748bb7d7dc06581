// How a send reaches its target, apart from the system: the table that
// gives a kind of window its own paste method, whether the keys can reach
// the target's process at all, and the plan of a typed text. The Win32
// send gathers the facts (class names, the program, integrity levels, the
// text as UTF-16) and acts on the answers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum PasteMethod {
    PASTE_CTRL_V,        // the default
    PASTE_SHIFT_INSERT,  // terminals
    PASTE_TYPED,         // each character typed as Unicode input, a line break as Enter
};

enum PasteRuleKind {
    RULE_CLASS,    // a window class: the target's own or its top-level window's
    RULE_PROGRAM,  // the file name of the target's program, as "term.exe"
};

struct PasteRule {
    PasteRuleKind kind;
    std::string name;
    PasteMethod method;
};

// Bounds of the table as it is read: rows beyond the count, and rows with
// longer names, are dropped.
const size_t PASTE_RULES_MAX = 64;
const size_t PASTE_RULE_NAME_MAX = 255;  // bytes; a class name has at most 256 characters with its NUL
const size_t PASTE_RULES_BYTES_MAX = 64 * 1024;

// The table as it is kept: a string list (REG_MULTI_SZ), one row a string
// "class:NAME=METHOD" or "program:NAME=METHOD", METHOD one of "ctrl+v",
// "shift+insert" and "typed". The kind goes to the first colon and the
// method from the last equals sign, so a name may hold either. A string
// that does not parse is skipped and counted in *skipped (when given).
std::vector<PasteRule> ParsePasteRules(const char* bytes, size_t size, int* skipped = nullptr);
// The rows as that string list, with its closing empty string.
std::string FormatPasteRules(const std::vector<PasteRule>& rules);
std::string FormatPasteRule(const PasteRule& rule);  // one string, without its NUL

const char* PasteMethodWord(PasteMethod method);
// false when word is none of the method words (case does not count).
bool ParsePasteMethodWord(const std::string& word, PasteMethod* method);

// Whether a row's name stands for name: ASCII letters in either case, as
// the system compares class and file names; the bytes of a Shift-JIS
// character as they are.
bool SamePasteName(const std::string& row, const char* name);

// The row for a target: a class row for its own class, then for its
// top-level window's class, then a program row; the first such row of the
// table. Null when none matches (the send uses Ctrl+V). Any argument may
// be null or empty when unknown.
const PasteRule* FindPasteRule(const std::vector<PasteRule>& rules, const char* windowClass,
                               const char* frameClass, const char* program);

// The file name at the end of a program's path (after the last \ or /, a
// Shift-JIS trail byte being no separator).
std::string ProgramFileName(const char* path);

// What is known of the integrity levels of fenlop's process and of the
// target's (the RID of their tokens' mandatory label).
struct IntegrityFacts {
    bool ownKnown;       // false: the system has no such levels (then nothing drops keys)
    unsigned long own;
    bool targetKnown;    // false: the target's token could not be read
    unsigned long target;
};

// Whether keys typed by fenlop reach the target: not when it runs at a
// higher level, which the system's privilege isolation drops them for,
// without an error. A target whose token cannot be read is taken for
// higher: a process of another user, or one elevated.
bool KeysReachTarget(const IntegrityFacts& facts);

// A typed send is bounded: beyond this many characters it falls back to
// Ctrl+V (and says so), typing would take too long to watch.
const size_t TYPED_LIMIT = 4000;
// Characters typed at once; then the target is waited for and the focus
// looked at again.
const size_t TYPED_BATCH = 16;

// One key of a typed text: a UTF-16 unit, or Enter.
struct TypedKey {
    bool enter;
    unsigned short unit;
};

// The keys of a UTF-16 text: CR LF, a lone CR and a lone LF each one Enter,
// every other unit itself. false (and no keys) when the text has more than
// TYPED_LIMIT keys.
bool PlanTypedKeys(const unsigned short* text, size_t length, std::vector<TypedKey>* keys);
