// The paste methods' table as it is read from the registry and matched
// against a target, the decision whether keys can reach it, and the keys of
// a typed text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/paste_methods.h"

namespace {

std::string List(std::initializer_list<std::string> rows)
{
    std::string list;
    for (const std::string& row : rows)
        list += row + '\0';
    return list + '\0';
}

std::string Shown(const std::vector<PasteRule>& rules)
{
    std::string shown;
    for (const PasteRule& rule : rules)
        shown += "[" + FormatPasteRule(rule) + "]";
    return shown;
}

TEST(PasteRulesTest, ReadsWellFormedRowsAndSkipsTheRest)
{
    const std::string longName(PASTE_RULE_NAME_MAX, 'n');
    struct Case {
        const char* what;
        std::string bytes;
        std::string rows;  // as FormatPasteRule gives them
        int skipped;
    } cases[] = {
        {"both kinds", List({"class:ConsoleWindowClass=shift+insert", "program:mstsc.exe=typed"}),
         "[class:ConsoleWindowClass=shift+insert][program:mstsc.exe=typed]", 0},
        {"words in any case", List({"CLASS:A=Typed", "Program:b.exe=CTRL+V"}), "[class:A=typed][program:b.exe=ctrl+v]", 0},
        {"a name with colons and equals signs", List({"class:a:b=c=typed"}), "[class:a:b=c=typed]", 0},
        {"a Japanese name", List({"program:表示.exe=typed"}), "[program:表示.exe=typed]", 0},
        {"malformed rows", List({"class:=typed", "class:A", "window:A=typed", "class:A=paste", "A=typed", ":=", "ok"}),
         "", 7},
        {"one good among bad", List({"class:A=nope", "class:B=typed"}), "[class:B=typed]", 1},
        {"the longest name", List({"class:" + longName + "=typed"}), "[class:" + longName + "=typed]", 0},
        {"a name too long", List({"class:" + longName + "n=typed"}), "", 1},
        {"no closing NUL", std::string("class:A=typed\0class:B=typed", 27), "[class:A=typed][class:B=typed]", 0},
        {"an empty string ends the list", std::string("class:A=typed\0\0class:B=typed\0\0", 31), "[class:A=typed]", 0},
        {"nothing", std::string(), "", 0},
        {"a NUL alone", std::string(1, '\0'), "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int skipped = -1;
        std::vector<PasteRule> rules = ParsePasteRules(c.bytes.data(), c.bytes.size(), &skipped);
        EXPECT_EQ(Shown(rules), c.rows);
        EXPECT_EQ(skipped, c.skipped);
    }
}

TEST(PasteRulesTest, AHostileValueIsBoundedInRowsAndBytes)
{
    std::string many;
    for (int i = 0; i < 100; i++)
        many += "class:W" + std::to_string(i) + "=typed" + '\0';
    int skipped = 0;
    std::vector<PasteRule> rules = ParsePasteRules(many.data(), many.size(), &skipped);
    EXPECT_EQ(rules.size(), PASTE_RULES_MAX);
    EXPECT_EQ(skipped, 100 - (int)PASTE_RULES_MAX);

    // One huge string: read no further than the bound, and not taken.
    std::string huge = "class:" + std::string(PASTE_RULES_BYTES_MAX * 2, 'x') + "=typed";
    EXPECT_TRUE(ParsePasteRules(huge.data(), huge.size()).empty());
}

TEST(PasteRulesTest, WhatIsWrittenReadsBackTheSame)
{
    std::vector<PasteRule> rules = {
        {RULE_CLASS, "ConsoleWindowClass", PASTE_SHIFT_INSERT},
        {RULE_PROGRAM, "リモート.exe", PASTE_TYPED},
        {RULE_CLASS, "a=b:c", PASTE_CTRL_V},
    };
    std::string bytes = FormatPasteRules(rules);
    EXPECT_EQ(bytes, List({"class:ConsoleWindowClass=shift+insert", "program:リモート.exe=typed", "class:a=b:c=ctrl+v"}));
    EXPECT_EQ(Shown(ParsePasteRules(bytes.data(), bytes.size())), Shown(rules));
    EXPECT_EQ(FormatPasteRules({}), std::string(1, '\0'));
}

TEST(PasteRulesTest, ARowIsFoundByTheWindowsClassThenItsFramesThenItsProgram)
{
    const std::vector<PasteRule> rules = {
        {RULE_PROGRAM, "term.exe", PASTE_TYPED},
        {RULE_CLASS, "Frame", PASTE_SHIFT_INSERT},
        {RULE_CLASS, "Edit", PASTE_CTRL_V},
        {RULE_CLASS, "\x95\x5c" "A", PASTE_TYPED},  // 表A: a trail byte that is a backslash
    };
    struct Case {
        const char* what;
        const char* windowClass;
        const char* frameClass;
        const char* program;
        int row;  // -1: none
    } cases[] = {
        {"the window's own class first", "Edit", "Frame", "term.exe", 2},
        {"then its frame's", "Other", "Frame", "term.exe", 1},
        {"then the program", "Other", "Other", "TERM.EXE", 0},
        {"ASCII letters in any case", "edit", nullptr, nullptr, 2},
        {"a Shift-JIS name as it is", "\x95\x5c" "a", nullptr, nullptr, 3},
        {"its trail byte no letter", "\x95\x7c" "A", nullptr, nullptr, -1},
        {"nothing known", nullptr, "", nullptr, -1},
        {"no row matches", "Other", "Other", "other.exe", -1},
        {"a part of a name is no match", "Edi", "Frames", "term", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PasteRule* rule = FindPasteRule(rules, c.windowClass, c.frameClass, c.program);
        EXPECT_EQ(rule ? (int)(rule - rules.data()) : -1, c.row);
    }
    EXPECT_EQ(FindPasteRule({}, "Edit", "Frame", "term.exe"), nullptr);
}

TEST(PasteRulesTest, AProgramsFileNameIsTheEndOfItsPath)
{
    const char* const cases[][2] = {
        {"C:\\Windows\\System32\\cmd.exe", "cmd.exe"},
        {"C:/tools/term.exe", "term.exe"},
        {"C:\\\x95\x5c\\\x95\x5c.exe", "\x95\x5c.exe"},  // 表 ends in a backslash byte
        {"term.exe", "term.exe"},
        {"C:\\dir\\", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramFileName(c[0]), c[1]) << c[0];
    EXPECT_EQ(ProgramFileName(nullptr), "");
}

TEST(KeysReachTest, KeysGoOnlyToATargetNoHigherThanFenlop)
{
    const unsigned long MEDIUM = 0x2000, HIGH = 0x3000, LOW = 0x1000;
    struct Case {
        IntegrityFacts facts;
        bool reach;
    } cases[] = {
        {{true, MEDIUM, true, MEDIUM}, true},
        {{true, MEDIUM, true, LOW}, true},
        {{true, MEDIUM, true, HIGH}, false},
        {{true, MEDIUM, false, 0}, false},  // an elevated target's token cannot be read
        {{true, HIGH, true, HIGH}, true},
        {{false, 0, true, HIGH}, true},     // a system without levels drops nothing
        {{false, 0, false, 0}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeysReachTarget(c.facts), c.reach)
            << c.facts.ownKnown << " " << c.facts.own << " " << c.facts.targetKnown << " " << c.facts.target;
}

std::string Keys(const std::u16string& text, bool* fits = nullptr)
{
    std::vector<TypedKey> keys;
    bool ok = PlanTypedKeys((const unsigned short*)text.data(), text.size(), &keys);
    if (fits)
        *fits = ok;
    std::string shown;
    for (const TypedKey& key : keys)
        shown += key.enter ? std::string("<Enter>") : key.unit < 0x80 ? std::string(1, (char)key.unit) : "<U>";
    return shown;
}

TEST(TypedKeysTest, EachLineBreakIsOneEnterAndEveryOtherUnitItself)
{
    const std::pair<std::u16string, const char*> cases[] = {
        {u"ab", "ab"},
        {u"a\r\nb", "a<Enter>b"},
        {u"a\rb\nc", "a<Enter>b<Enter>c"},
        {u"a\r\r\n", "a<Enter><Enter>"},
        {u"\n\r", "<Enter><Enter>"},
        {u"\t\u3042", "\t<U>"},
        {u"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Keys(c.first), c.second);
}

TEST(TypedKeysTest, ATextOfMoreKeysThanTheLimitIsNotTyped)
{
    bool fits = false;
    EXPECT_EQ(Keys(std::u16string(TYPED_LIMIT, u'x'), &fits).size(), TYPED_LIMIT);
    EXPECT_TRUE(fits);
    // A line break is one key, though two units.
    std::u16string lines;
    for (size_t i = 0; i < TYPED_LIMIT; i++)
        lines += u"\r\n";
    Keys(lines, &fits);
    EXPECT_TRUE(fits);
    EXPECT_EQ(Keys(std::u16string(TYPED_LIMIT + 1, u'x'), &fits), "");
    EXPECT_FALSE(fits);
}

}  // namespace
