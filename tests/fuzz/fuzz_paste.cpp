// The paste methods' table on any bytes, as a registry value may hold them:
// the rows read are bounded, each has a name, and what is written of them
// reads back as the same rows. The same bytes as a program's path and as a
// UTF-16 text to type.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "output/paste_methods.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = (const char*)data;
    int skipped = 0;
    std::vector<PasteRule> rules = ParsePasteRules(bytes, size, &skipped);
    if (rules.size() > PASTE_RULES_MAX || skipped < 0)
        abort();
    for (const PasteRule& rule : rules)
        if (rule.name.empty() || rule.name.size() > PASTE_RULE_NAME_MAX || rule.name.find('\0') != std::string::npos)
            abort();
    std::string written = FormatPasteRules(rules);
    int again = -1;
    std::vector<PasteRule> back = ParsePasteRules(written.data(), written.size(), &again);
    if (again != 0 || back.size() != rules.size())
        abort();
    for (size_t i = 0; i < rules.size(); i++)
        if (back[i].kind != rules[i].kind || back[i].name != rules[i].name || back[i].method != rules[i].method)
            abort();

    std::string text(bytes, size);
    text = text.c_str();
    const PasteRule* found = FindPasteRule(rules, text.c_str(), text.c_str(), text.c_str());
    if (found && (found < rules.data() || found >= rules.data() + rules.size()))
        abort();
    if (ProgramFileName(text.c_str()).size() > text.size())
        abort();

    std::vector<unsigned short> units(size / 2);
    if (!units.empty())
        memcpy(units.data(), data, units.size() * 2);
    std::vector<TypedKey> keys;
    bool fits = PlanTypedKeys(units.data(), units.size(), &keys);
    if (keys.size() > TYPED_LIMIT || keys.size() > units.size() || (!fits && !keys.empty()))
        abort();
    return 0;
}
