// Export and import of a library as JSON.
#include "tools/flp_json.h"

#include <cstring>

#include <nlohmann/json.hpp>

#include "common/sjis.h"
#include "library/phrase_format.h"
#include "tools/flp_text.h"

using Json = nlohmann::ordered_json;

namespace {

// File text to UTF-8, only when it comes back to the same bytes: a few
// characters have two codes in code page 932 and would not.
bool ExactUtf8(const char* text, size_t n, std::string* utf8)
{
    TextFault fault;
    if (!ConvertText(SET_FILE, SET_UTF8, text, n, utf8, &fault))
        return false;
    std::string back;
    return ConvertText(SET_UTF8, SET_FILE, utf8->data(), utf8->size(), &back, &fault) &&
           back.size() == n && memcmp(back.data(), text, n) == 0;
}

Json NewLabel(const std::string& name)
{
    Json label = Json::object();
    label["name"] = name;
    label["phrases"] = Json::array();
    label["labels"] = Json::array();
    return label;
}

}  // namespace

namespace {

// The document of an export, built as the walk goes down the file.
struct Exporter {
    PhraseWalker w;
    Json document;
    std::vector<Json*> open;  // the labels open at each depth from the exported one down
    int base;                 // depth of the exported label
    std::string* error;
};

// Starts the document: the root label itself for a whole library, else a
// document holding only labels.
bool ExportRoot(Exporter* e, bool whole)
{
    if (!whole) {
        e->document["labels"] = Json::array();
        return true;
    }
    std::string utf8;
    if (!ExactUtf8(e->w.text, e->w.textLength, &utf8)) {
        *e->error = "the root label's name has no exact form in Unicode";
        return false;
    }
    e->document = NewLabel(utf8);
    e->open.push_back(&e->document);
    return true;
}

// Adds the label whose head the walk is at below the innermost open label,
// and opens it.
bool ExportLabel(Exporter* e)
{
    std::string utf8;
    if (!ExactUtf8(e->w.text, e->w.textLength, &utf8)) {
        *e->error = "a label's name has no exact form in Unicode (line " +
                    std::to_string(e->w.headLine) + ")";
        return false;
    }
    Json& labels = e->open.empty() ? e->document["labels"] : (*e->open.back())["labels"];
    labels.push_back(NewLabel(utf8));
    e->open.push_back(&labels.back());
    return true;
}

// Adds the phrase the walk has ended to the open label that holds it, if any.
bool ExportPhrase(Exporter* e)
{
    size_t at = (size_t)(e->w.phraseDepth - e->base);
    if (e->w.phraseDepth < e->base || at >= e->open.size())
        return true;
    std::string utf8;
    if (!ExactUtf8(e->w.phrase.text, e->w.phrase.length, &utf8)) {
        *e->error = "a phrase has no exact form in Unicode (before line " +
                    std::to_string(e->w.tokens.lineNumber) + ")";
        return false;
    }
    (*e->open[at])["phrases"].push_back(utf8);
    return true;
}

}  // namespace

bool ExportJson(const char* phrasePath, const LabelPath* path, std::string* json,
                std::string* error)
{
    const bool whole = !path || path->count == 0;
    LibraryError fault;
    fault = LibraryError();
    Exporter e;
    e.document = Json::object();
    e.base = whole ? 0 : path->count;
    e.error = error;
    PhraseWalker& w = e.w;
    const int base = e.base;
    bool ok = OpenWalk(&w, phrasePath, whole ? nullptr : path, true, &fault) == 0;
    w.quiet = true;
    if (ok && !ExportRoot(&e, whole)) {
        EndWalk(&w);
        return false;
    }
    // An export that fails has said why in *error; a walk that fails says it below.
    bool exportFailed = false;
    if (ok)
        ok = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL:
                if (w.place == PLACE_BESIDE)
                    return WalkSkipBody(&w);
                if ((w.place == PLACE_TARGET || w.place == PLACE_INSIDE) && !ExportLabel(&e))
                    break;
                return WALK_ON;
            case WALK_LABEL_END:
                if (w.depth + 1 >= (base > 0 ? base : 1) && !e.open.empty())
                    e.open.pop_back();
                return !whole && w.depth < base ? WALK_DONE : WALK_ON;
            case WALK_PHRASE:
                if (!ExportPhrase(&e))
                    break;
                return WALK_ON;
            default:
                return WALK_ON;
            }
            exportFailed = true;
            return -1;
        }) == 0;
    if (exportFailed) {
        EndWalk(&w);
        return false;
    }
    EndWalk(&w);
    if (!ok) {
        *error = fault.what[0] ? fault.what : "cannot read the file";
        if (fault.line > 0)
            *error = std::to_string(fault.line) + ": " + *error;
        return false;
    }
    *json = e.document.dump(2) + "\n";
    return true;
}

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
