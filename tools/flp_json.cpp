// The whole-document reading of JSON (every refusal with its own message),
// and the library files written from what it read.
#include "tools/flp_json.h"

#include <nlohmann/json.hpp>

#include "library/phrase_format.h"
#include "tools/flp_text.h"

using Json = nlohmann::ordered_json;

namespace {

struct Checker {
    std::string* error;
    std::vector<std::string> path;  // names down to the label being checked

    bool Fail(const std::string& what)
    {
        std::string where;
        for (const std::string& name : path) {
            where += "/";
            // A line break in a name would break the one-line error.
            for (char c : name)
                where += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        }
        *error = (where.empty() ? std::string("the document") : "label " + where) + ": " + what;
        return false;
    }

    // A text in code page 932; what names it in an error.
    bool Text(const Json& value, const std::string& what, std::string* text)
    {
        if (!value.is_string())
            return Fail(what + " is not a string");
        const std::string& utf8 = value.get_ref<const std::string&>();
        TextFault fault;
        if (!ConvertText(SET_UTF8, SET_FILE, utf8.data(), utf8.size(), text, &fault))
            return Fail(what + ": " + DescribeFault(fault, SET_FILE));
        if (text->find('\0') != std::string::npos)
            return Fail(what + " holds a NUL character");
        return true;
    }

    bool Name(const Json& value, std::string* name)
    {
        if (!Text(value, "the name", name))
            return false;
        if (name->empty())
            return Fail("the name is empty");
        if (name->size() > (size_t)MAX_RENAME_LENGTH)
            return Fail("the name is longer than 79 bytes in code page 932");
        if (name->find_first_of("\r\n") != std::string::npos)
            return Fail("the name holds a line break");
        return true;
    }

    // index: the label's place among its siblings, from 1 (0: the root).
    bool Label(const Json& value, ImportedLabel* label, size_t index, bool* named)
    {
        const bool isRoot = index == 0;
        if (!isRoot) {
            auto given = value.is_object() ? value.find("name") : value.end();
            bool usable = given != value.end() && given->is_string() && !given->get_ref<const std::string&>().empty();
            path.push_back(usable ? given->get<std::string>() : "(label " + std::to_string(index) + ")");
        }
        if (!value.is_object())
            return Fail("a label is not an object");
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it.key() != "name" && it.key() != "phrases" && it.key() != "labels")
                return Fail("unknown key \"" + it.key() + "\" (a label has name, phrases, labels)");
        }
        auto name = value.find("name");
        if (name != value.end()) {
            if (!Name(*name, &label->name))
                return false;
            *named = true;
        } else if (!isRoot) {
            return Fail("a label without a name");
        }
        auto phrases = value.find("phrases");
        if (phrases != value.end()) {
            if (!phrases->is_array())
                return Fail("phrases is not an array");
            for (size_t i = 0; i < phrases->size(); i++) {
                std::string text;
                if (!Text((*phrases)[i], "phrase " + std::to_string(i + 1), &text))
                    return false;
                if (text.size() > PHRASE_TEXT_LIMIT)
                    return Fail("phrase " + std::to_string(i + 1) +
                                " is longer than 65,535 bytes in code page 932");
                label->phrases.push_back(std::move(text));
            }
        }
        auto labels = value.find("labels");
        if (labels != value.end()) {
            if (!labels->is_array())
                return Fail("labels is not an array");
            if (!labels->empty() && path.size() + 1 > (size_t)MAX_LABEL_DEPTH)
                return Fail("labels nested deeper than 256 levels");
            label->labels.resize(labels->size());
            for (size_t i = 0; i < labels->size(); i++) {
                bool childNamed = false;
                if (!Label((*labels)[i], &label->labels[i], i + 1, &childNamed))
                    return false;
            }
        }
        if (!isRoot)
            path.pop_back();
        return true;
    }
};

}  // namespace

bool ParseJson(const std::string& json, ImportedLibrary* library, std::string* error)
{
    Json document;
    try {
        document = Json::parse(json);
    } catch (const Json::parse_error& e) {
        // e.byte counts from 1 and points at the byte the parser stopped at.
        size_t at = e.byte > 0 ? e.byte - 1 : 0;
        if (at > json.size())
            at = json.size();
        size_t line = 1, column = 1;
        for (size_t i = 0; i < at; i++) {
            if (json[i] == '\n') {
                line++;
                column = 1;
            } else if (((unsigned char)json[i] & 0xC0) != 0x80) {
                column++;
            }
        }
        // The parser's own text after its "parse error at ...: " prefix.
        std::string what = e.what();
        size_t cut = what.find("parse error");
        cut = cut == std::string::npos ? std::string::npos : what.find(": ", cut);
        if (cut != std::string::npos)
            what = what.substr(cut + 2);
        *error = "line " + std::to_string(line) + ", column " + std::to_string(column) +
                 ": malformed JSON: " + what;
        return false;
    } catch (const Json::exception& e) {
        // A number too large for any type, for one.
        *error = std::string("unreadable JSON: ") + e.what();
        return false;
    }
    library->root = ImportedLabel();
    library->hasName = false;
    Checker check = {error, {}};
    return check.Label(document, &library->root, 0, &library->hasName);
}

namespace {

bool AppendToString(void* context, const char* bytes, size_t n)
{
    ((std::string*)context)->append(bytes, n);
    return true;
}

void PutLabels(FormatSink* out, const std::vector<ImportedLabel>& labels, int level)
{
    for (const ImportedLabel& label : labels) {
        PutLabelHead(out, level, label.name.data(), label.name.size());
        PutLabels(out, label.labels, level + 1);
        for (const std::string& text : label.phrases)
            PutPhrase(out, level + 1, text.data(), text.size());
        PutLabelClose(out, level);
    }
}

}  // namespace

std::string LabelText(const std::string& name, const std::vector<ImportedLabel>& labels,
                      const std::vector<std::string>& phrases)
{
    std::string text;
    char buffer[4096];
    FormatSink out;
    StartFormatSink(&out, buffer, sizeof buffer, &text, AppendToString);
    PutLabelHead(&out, 0, name.data(), name.size());
    PutLabels(&out, labels, 1);
    for (const std::string& phrase : phrases)
        PutPhrase(&out, 1, phrase.data(), phrase.size());
    PutLabelClose(&out, 0);
    FlushFormatSink(&out);
    return text;
}

std::string LibraryText(const ImportedLibrary& library)
{
    return LabelText(library.hasName ? library.root.name : std::string(ROOT_LABEL_NAME),
                     library.root.labels, library.root.phrases);
}
