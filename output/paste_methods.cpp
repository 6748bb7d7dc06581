#include "output/paste_methods.h"

#include <cstring>

#include "common/sjis.h"

namespace {

struct MethodWord {
    PasteMethod method;
    const char* word;
};
const MethodWord METHOD_WORDS[] = {
    {PASTE_CTRL_V, "ctrl+v"},
    {PASTE_SHIFT_INSERT, "shift+insert"},
    {PASTE_TYPED, "typed"},
};

const char CLASS_PREFIX[] = "class:";
const char PROGRAM_PREFIX[] = "program:";

bool ParseRule(const std::string& row, PasteRule* rule)
{
    size_t colon = row.find(':');
    size_t equals = row.rfind('=');
    if (colon == std::string::npos || equals == std::string::npos || equals <= colon + 1)
        return false;
    std::string kind = row.substr(0, colon + 1);
    if (SjisEqualNoCase(kind.c_str(), CLASS_PREFIX))
        rule->kind = RULE_CLASS;
    else if (SjisEqualNoCase(kind.c_str(), PROGRAM_PREFIX))
        rule->kind = RULE_PROGRAM;
    else
        return false;
    rule->name = row.substr(colon + 1, equals - colon - 1);
    return rule->name.size() <= PASTE_RULE_NAME_MAX && ParsePasteMethodWord(row.substr(equals + 1), &rule->method);
}

}  // namespace

const char* PasteMethodWord(PasteMethod method)
{
    for (const MethodWord& m : METHOD_WORDS)
        if (m.method == method)
            return m.word;
    return METHOD_WORDS[0].word;
}

bool ParsePasteMethodWord(const std::string& word, PasteMethod* method)
{
    for (const MethodWord& m : METHOD_WORDS)
        if (SjisEqualNoCase(word.c_str(), m.word)) {
            *method = m.method;
            return true;
        }
    return false;
}

std::vector<PasteRule> ParsePasteRules(const char* bytes, size_t size, int* skipped)
{
    std::vector<PasteRule> rules;
    int bad = 0;
    if (size > PASTE_RULES_BYTES_MAX)
        size = PASTE_RULES_BYTES_MAX;
    // Strings end at a NUL; the last one may lack it. An empty string ends
    // the list.
    for (size_t at = 0; at < size;) {
        const char* end = (const char*)memchr(bytes + at, '\0', size - at);
        size_t length = end ? (size_t)(end - (bytes + at)) : size - at;
        if (length == 0)
            break;
        PasteRule rule;
        if (rules.size() < PASTE_RULES_MAX && ParseRule(std::string(bytes + at, length), &rule))
            rules.push_back(rule);
        else
            bad++;
        at += length + 1;
    }
    if (skipped)
        *skipped = bad;
    return rules;
}

std::string FormatPasteRule(const PasteRule& rule)
{
    return std::string(rule.kind == RULE_CLASS ? CLASS_PREFIX : PROGRAM_PREFIX) + rule.name + "=" +
           PasteMethodWord(rule.method);
}

std::string FormatPasteRules(const std::vector<PasteRule>& rules)
{
    std::string list;
    for (const PasteRule& rule : rules) {
        list += FormatPasteRule(rule);
        list += '\0';
    }
    list += '\0';
    return list;
}

bool SamePasteName(const std::string& row, const char* name)
{
    return name && *name && !row.empty() && SjisEqualNoCase(row.c_str(), name);
}

const PasteRule* FindPasteRule(const std::vector<PasteRule>& rules, const char* windowClass,
                               const char* frameClass, const char* program)
{
    const PasteRuleKind kinds[] = {RULE_CLASS, RULE_CLASS, RULE_PROGRAM};
    const char* names[] = {windowClass, frameClass, program};
    for (int i = 0; i < 3; i++)
        for (const PasteRule& rule : rules)
            if (rule.kind == kinds[i] && SamePasteName(rule.name, names[i]))
                return &rule;
    return nullptr;
}

std::string ProgramFileName(const char* path)
{
    if (!path)
        return std::string();
    size_t start = 0;
    for (size_t i = 0; path[i]; i++) {
        if (IsSjisLeadByte((unsigned char)path[i]) && path[i + 1])
            i++;
        else if (path[i] == '\\' || path[i] == '/')
            start = i + 1;
    }
    return std::string(path + start);
}

bool KeysReachTarget(const IntegrityFacts& facts)
{
    if (!facts.ownKnown)
        return true;
    return facts.targetKnown && facts.target <= facts.own;
}

bool PlanTypedKeys(const unsigned short* text, size_t length, std::vector<TypedKey>* keys)
{
    keys->clear();
    for (size_t i = 0; i < length; i++) {
        if (keys->size() == TYPED_LIMIT) {
            keys->clear();
            return false;
        }
        unsigned short unit = text[i];
        if (unit == '\r' || unit == '\n') {
            if (unit == '\r' && i + 1 < length && text[i + 1] == '\n')
                i++;
            keys->push_back(TypedKey{true, 0});
        } else {
            keys->push_back(TypedKey{false, unit});
        }
    }
    return true;
}
