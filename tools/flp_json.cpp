// Export and import of a library as JSON.
#include "tools/flp_json.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iterator>

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <nlohmann/json.hpp>

#include "common/sjis.h"
#include "library/phrase_format.h"
#include "tools/flp_text.h"

using Json = nlohmann::ordered_json;

namespace {

// File text to UTF-8, only when it comes back to the same bytes: a few
// characters have two codes in code page 932 and would not.
bool ConvertExactly(const char* text, size_t n, std::string* utf8)
{
    TextFault fault;
    if (!ConvertText(SET_FILE, SET_UTF8, text, n, utf8, &fault))
        return false;
    std::string back;
    return ConvertText(SET_UTF8, SET_FILE, utf8->data(), utf8->size(), &back, &fault) &&
           back.size() == n && memcmp(back.data(), text, n) == 0;
}

// Each character's exact form, found once by ConvertExactly: the code page
// keeps no state from one character to the next, so a text converts as its
// characters do. An export meets a few hundred characters many times.
struct CharForm {
    unsigned char size;  // bytes of UTF-8; 0: not known yet
    bool exact;
    char utf8[4];
};

CharForm* FindForm(unsigned code, const char* text, size_t n)
{
    static CharForm* forms = (CharForm*)calloc(65536, sizeof(CharForm));
    if (!forms)
        return nullptr;
    CharForm* form = &forms[code];
    if (form->size == 0) {
        std::string utf8;
        form->exact = ConvertExactly(text, n, &utf8) && !utf8.empty() && utf8.size() <= 4;
        form->size = form->exact ? (unsigned char)utf8.size() : 1;
        if (form->exact)
            memcpy(form->utf8, utf8.data(), utf8.size());
    }
    return form;
}

// UTF-8 text (valid: the parser has seen to that) in code page 932, each
// character of the first plane converted once, as ExactUtf8 does the other
// way.
bool FileForm(const char* utf8, size_t n, std::string* text)
{
    struct Form {
        unsigned char size;  // 0: not known yet; 3: none
        char bytes[2];
    };
    static Form* forms = (Form*)calloc(65536, sizeof(Form));
    TextFault fault;
    text->clear();
    const unsigned char* p = (const unsigned char*)utf8;
    for (size_t i = 0; i < n;) {
        size_t length = p[i] < 0x80 ? 1 : p[i] < 0xE0 ? 2 : p[i] < 0xF0 ? 3 : 4;
        if (!forms || length == 4 || i + length > n)
            return ConvertText(SET_UTF8, SET_FILE, utf8, n, text, &fault);
        unsigned code = length == 1 ? p[i]
                        : length == 2 ? (p[i] & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu)
                                      : (p[i] & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
        Form* form = &forms[code];
        if (form->size == 0) {
            std::string one;
            bool ok = ConvertText(SET_UTF8, SET_FILE, utf8 + i, length, &one, &fault) &&
                      !one.empty() && one.size() <= 2;
            form->size = ok ? (unsigned char)one.size() : 3;
            if (ok)
                memcpy(form->bytes, one.data(), one.size());
        }
        if (form->size == 3)
            return ConvertText(SET_UTF8, SET_FILE, utf8, n, text, &fault);
        text->append(form->bytes, form->size);
        i += length;
    }
    return true;
}

bool ExactUtf8(const char* text, size_t n, std::string* utf8)
{
    utf8->clear();
    const unsigned char* p = (const unsigned char*)text;
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            size_t plain = i;
            while (i < n && p[i] < 0x80)
                i++;
            utf8->append(text + plain, i - plain);
            continue;
        }
        bool lead = IsSjisLeadByte(p[i]);
        if (lead && i + 1 == n)
            return ConvertExactly(text, n, utf8);
        unsigned code = lead ? 256u * p[i] + p[i + 1] : p[i];
        const CharForm* form = FindForm(code, text + i, lead ? 2 : 1);
        if (!form || !form->exact)
            return ConvertExactly(text, n, utf8);
        utf8->append(form->utf8, form->size);
        i += lead ? 2 : 1;
    }
    return true;
}

}  // namespace

namespace {

// Bytes put aside during the walk and read back in place after it: a file
// of its own that the system removes at the end (in memory where no such
// file can be made).
struct Spill {
    FILE* file;
    std::string memory;
    uint64_t size;
    const char* bytes;  // after Seal: all of it
    size_t mapped;      // bytes mapped (0: bytes point into memory)
    bool failed;
};

void StartSpill(Spill* s)
{
    s->file = tmpfile();
    if (s->file)
        setvbuf(s->file, nullptr, _IOFBF, 256 * 1024);
    s->size = 0;
    s->bytes = nullptr;
    s->mapped = 0;
    s->failed = false;
}

void Put(Spill* s, const void* bytes, size_t n)
{
    if (s->file)
        s->failed |= fwrite(bytes, 1, n, s->file) != n;
    else
        s->memory.append((const char*)bytes, n);
    s->size += n;
}

// Makes the bytes put so far readable at s->bytes. Returns false when they
// cannot be had.
bool Seal(Spill* s)
{
    if (!s->file) {
        s->bytes = s->memory.data();
        return true;
    }
    if (s->failed || fflush(s->file) != 0 || s->size > SIZE_MAX)
        return false;
    if (s->size == 0) {
        s->bytes = "";
        return true;
    }
#ifndef _WIN32
    void* at = mmap(nullptr, (size_t)s->size, PROT_READ, MAP_PRIVATE, fileno(s->file), 0);
    if (at != MAP_FAILED) {
        s->bytes = (const char*)at;
        s->mapped = (size_t)s->size;
        return true;
    }
#endif
    s->memory.resize((size_t)s->size);
    rewind(s->file);
    if (fread(&s->memory[0], 1, s->memory.size(), s->file) != s->memory.size())
        return false;
    s->bytes = s->memory.data();
    return true;
}

const size_t SPILL_RELEASE_STEP = 256 * 1024;

void Release(Spill* s)
{
#ifndef _WIN32
    if (s->mapped)
        madvise((void*)s->bytes, s->mapped, MADV_DONTNEED);
#else
    (void)s;
#endif
}

void EndSpill(Spill* s)
{
#ifndef _WIN32
    if (s->mapped)
        munmap((void*)s->bytes, s->mapped);
#endif
    if (s->file)
        fclose(s->file);
    s->file = nullptr;
    s->mapped = 0;
}

// A JSON string of UTF-8 text, escaped as the document writer escapes it.
void PutJsonString(std::string* out, const std::string& utf8)
{
    static const char kHex[] = "0123456789abcdef";
    out->push_back('"');
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    while (p < end) {
        const char* plain = p;
        while (p < end && (unsigned char)*p >= 0x20 && *p != '"' && *p != '\\')
            p++;
        out->append(plain, (size_t)(p - plain));
        if (p == end)
            break;
        unsigned char c = (unsigned char)*p++;
        const char* named = c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\b' ? "\\b"
                          : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\f' ? "\\f"
                          : c == '\r' ? "\\r" : nullptr;
        if (named) {
            out->append(named);
        } else {
            char u[7] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15], 0};
            out->append(u, 6);
        }
    }
    out->push_back('"');
}

// The export is two steps. The walk puts each label's name and phrases
// aside as JSON strings, and at each label's close one fixed record, in
// the order the labels close; the document is then written from those
// records, each label's phrases before its labels as JSON wants them (the
// file has them after). So the export holds neither the document nor the
// file, only the labels open at a time and one label's children's places.
//
// Names and phrases go to the text spill: a name as a string, phrases in
// runs ({uint64 previous run + 1, or 0; uint32 bytes} and then the strings,
// each after its uint32 length). A label's runs are chained backwards.
const size_t RUN_LIMIT = 64 * 1024;

struct ClosedLabel {
    uint64_t name;      // offset of its name's string in the text spill
    uint64_t lastRun;   // offset + 1 of its last run (0: no phrases)
    uint32_t nameSize;
    uint32_t labels;    // labels in its subtree, itself included
};

struct OpenLabel {
    uint64_t name;
    uint32_t nameSize;
    uint64_t firstClosed;  // records written before it opened
    uint64_t lastRun;
};

struct Exporter {
    PhraseWalker w;
    Spill text, closed;
    std::vector<OpenLabel> open;  // the labels open at each depth from the exported one down
    std::string run;              // strings of the run being gathered
    size_t runOwner;              // its label's place in open
    uint64_t closedCount;
    int base;                     // depth of the exported label
    std::string utf8, scratch;
    std::string* error;
};

void EndRun(Exporter* e)
{
    if (e->run.empty())
        return;
    OpenLabel& owner = e->open[e->runOwner];
    uint64_t previous = owner.lastRun;
    uint32_t n = (uint32_t)e->run.size();
    owner.lastRun = e->text.size + 1;
    Put(&e->text, &previous, sizeof previous);
    Put(&e->text, &n, sizeof n);
    Put(&e->text, e->run.data(), e->run.size());
    e->run.clear();
}

// Opens the label whose head the walk is at, below the innermost open one.
bool ExportLabel(Exporter* e, bool isRoot)
{
    if (!ExactUtf8(e->w.text, e->w.textLength, &e->utf8)) {
        *e->error = isRoot ? "the root label's name has no exact form in Unicode"
                           : "a label's name has no exact form in Unicode (line " +
                                 std::to_string(e->w.headLine) + ")";
        return false;
    }
    e->scratch.clear();
    PutJsonString(&e->scratch, e->utf8);
    OpenLabel label = {e->text.size, (uint32_t)e->scratch.size(), e->closedCount, 0};
    Put(&e->text, e->scratch.data(), e->scratch.size());
    e->open.push_back(label);
    return true;
}

void CloseLabel(Exporter* e)
{
    if (!e->run.empty() && e->runOwner == e->open.size() - 1)
        EndRun(e);
    const OpenLabel& label = e->open.back();
    ClosedLabel record = {label.name, label.lastRun, label.nameSize,
                          (uint32_t)(e->closedCount - label.firstClosed + 1)};
    Put(&e->closed, &record, sizeof record);
    e->closedCount++;
    e->open.pop_back();
}

// Puts aside the phrase the walk has ended, for the open label that holds
// it, if any.
bool ExportPhrase(Exporter* e)
{
    size_t at = (size_t)(e->w.phraseDepth - e->base);
    if (e->w.phraseDepth < e->base || at >= e->open.size())
        return true;
    if (!ExactUtf8(e->w.phrase.text, e->w.phrase.length, &e->utf8)) {
        *e->error = "a phrase has no exact form in Unicode (before line " +
                    std::to_string(e->w.tokens.lineNumber) + ")";
        return false;
    }
    if (!e->run.empty() && (e->runOwner != at || e->run.size() >= RUN_LIMIT))
        EndRun(e);
    e->runOwner = at;
    e->scratch.clear();
    PutJsonString(&e->scratch, e->utf8);
    uint32_t n = (uint32_t)e->scratch.size();
    e->run.append((const char*)&n, sizeof n);
    e->run.append(e->scratch);
    return true;
}

// Writes the document from the records, through a buffer.
struct DocumentWriter {
    const char* text;
    const ClosedLabel* closed;
    std::string buffer;
    bool (*write)(void* context, const char* bytes, size_t n);
    void* context;
    bool failed;

    Spill* spills[2];
    size_t sinceRelease;

    void Flush()
    {
        if (!failed && !buffer.empty())
            failed = !write(context, buffer.data(), buffer.size());
        sinceRelease += buffer.size();
        buffer.clear();
        // The pages of the spills read so far leave the process now and
        // then (they come in again when read again), as the walk's do.
        if (sinceRelease >= SPILL_RELEASE_STEP) {
            sinceRelease = 0;
            for (Spill* s : spills)
                Release(s);
        }
    }
    void Add(const char* bytes, size_t n)
    {
        buffer.append(bytes, n);
        if (buffer.size() >= RUN_LIMIT)
            Flush();
    }
    void Add(const char* s) { Add(s, strlen(s)); }
    void Indent(int level) { buffer.append((size_t)level * 2, ' '); }

    void Phrases(const ClosedLabel& label, int level)
    {
        std::vector<uint64_t> runs;
        for (uint64_t run = label.lastRun; run != 0;) {
            runs.push_back(run - 1);
            memcpy(&run, text + run - 1, sizeof run);
        }
        if (runs.empty()) {
            Add("[]");
            return;
        }
        Add("[");
        bool first = true;
        for (size_t i = runs.size(); i-- > 0;) {
            const char* p = text + runs[i] + sizeof(uint64_t);
            uint32_t n;
            memcpy(&n, p, sizeof n);
            p += sizeof n;
            for (const char* end = p + n; p < end;) {
                uint32_t length;
                memcpy(&length, p, sizeof length);
                p += sizeof length;
                Add(first ? "\n" : ",\n");
                first = false;
                Indent(level + 1);
                Add(p, length);
                p += length;
            }
        }
        Add("\n");
        Indent(level);
        Add("]");
    }

    // The label of record k as an object at level.
    void Label(uint64_t k, int level)
    {
        const ClosedLabel& label = closed[k];
        Add("{\n");
        Indent(level + 1);
        Add("\"name\": ");
        Add(text + label.name, label.nameSize);
        Add(",\n");
        Indent(level + 1);
        Add("\"phrases\": ");
        Phrases(label, level + 1);
        Add(",\n");
        Indent(level + 1);
        Add("\"labels\": ");
        // The children close in order, each right before the next one's
        // subtree: found from the last backwards.
        std::vector<uint64_t> children;
        for (uint64_t c = k; c > k + 1 - label.labels; c -= closed[c - 1].labels)
            children.push_back(c - 1);
        if (children.empty()) {
            Add("[]");
        } else {
            Add("[\n");
            for (size_t i = children.size(); i-- > 0;) {
                Indent(level + 2);
                Label(children[i], level + 2);
                Add(i > 0 ? ",\n" : "\n");
            }
            Indent(level + 1);
            Add("]");
        }
        Add("\n");
        Indent(level);
        Add("}");
    }
};

}  // namespace

bool ExportJson(const char* phrasePath, const LabelPath* path,
                bool (*write)(void* context, const char* bytes, size_t n), void* context,
                std::string* error)
{
    const bool whole = !path || path->count == 0;
    LibraryError fault;
    fault = LibraryError();
    Exporter e;
    StartSpill(&e.text);
    StartSpill(&e.closed);
    e.runOwner = 0;
    e.closedCount = 0;
    e.base = whole ? 0 : path->count;
    e.error = error;
    PhraseWalker& w = e.w;
    const int base = e.base;
    bool ok = OpenWalk(&w, phrasePath, whole ? nullptr : path, true, &fault) == 0;
    w.quiet = true;
    // An export that fails has said why in *error; a walk that fails says it below.
    bool exportFailed = ok && whole && !ExportLabel(&e, true);
    if (ok && !exportFailed)
        ok = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL:
                if (w.place == PLACE_BESIDE)
                    return WalkSkipBody(&w);
                if ((w.place == PLACE_TARGET || w.place == PLACE_INSIDE) && !ExportLabel(&e, false))
                    break;
                return WALK_ON;
            case WALK_LABEL_END:
                if (w.depth + 1 >= (base > 0 ? base : 1) && !e.open.empty())
                    CloseLabel(&e);
                return !whole && w.depth < base ? WALK_DONE : WALK_ON;
            case WALK_PHRASE:
                if (!ExportPhrase(&e))
                    break;
                return WALK_ON;
            case WALK_END:
                while (!e.open.empty())
                    CloseLabel(&e);
                return WALK_ON;
            default:
                return WALK_ON;
            }
            exportFailed = true;
            return -1;
        }) == 0;
    EndWalk(&w);
    bool written = false;
    if (ok && !exportFailed) {
        if (!Seal(&e.text) || !Seal(&e.closed)) {
            *error = "cannot put the labels aside";
            exportFailed = true;
        } else {
            DocumentWriter out = {e.text.bytes, (const ClosedLabel*)e.closed.bytes, {}, write, context,
                                  false, {&e.text, &e.closed}, 0};
            const uint64_t count = e.closed.size / sizeof(ClosedLabel);
            if (whole && count > 0) {
                out.Label(count - 1, 0);
            } else if (count == 0) {
                out.Add("{\n  \"labels\": []\n}");
            } else {
                out.Add("{\n  \"labels\": [\n    ");
                out.Label(count - 1, 2);
                out.Add("\n  ]\n}");
            }
            out.Add("\n");
            out.Flush();
            written = !out.failed;
            exportFailed = out.failed;
            if (out.failed)
                error->clear();
        }
    }
    EndSpill(&e.text);
    EndSpill(&e.closed);
    if (exportFailed)
        return false;
    if (!ok) {
        *error = fault.what[0] ? fault.what : "cannot read the file";
        if (fault.line > 0)
            *error = std::to_string(fault.line) + ": " + *error;
        return false;
    }
    return written;
}

namespace {

bool AppendJson(void* context, const char* bytes, size_t n)
{
    ((std::string*)context)->append(bytes, n);
    return true;
}

}  // namespace

bool ExportJson(const char* phrasePath, const LabelPath* path, std::string* json,
                std::string* error)
{
    json->clear();
    return ExportJson(phrasePath, path, AppendJson, json, error);
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

// The phrases of the labels open in a streamed import, held until their
// labels' labels are written (the file has them last, JSON first): one
// label's after another's, each after its uint32 length; in memory up to
// HELD_IN_MEMORY bytes, the older ones in a file of their own beyond.
const size_t HELD_IN_MEMORY = 512 * 1024;

struct HeldPhrases {
    FILE* file;         // bytes [0, inFile) (null until needed)
    uint64_t inFile;
    std::string tail;   // bytes [inFile, inFile + tail.size())
    bool failed;

    uint64_t Size() const { return inFile + tail.size(); }

    void Add(const std::string& text)
    {
        uint32_t n = (uint32_t)text.size();
        tail.append((const char*)&n, sizeof n);
        tail.append(text);
        if (tail.size() < HELD_IN_MEMORY)
            return;
        if (!file)
            file = tmpfile();
        if (!file || fseek(file, (long)inFile, SEEK_SET) != 0 ||
            fwrite(tail.data(), 1, tail.size(), file) != tail.size() || (long)inFile < 0) {
            failed = true;
            return;
        }
        inFile += tail.size();
        tail.clear();
    }

    // Hands the phrases from offset from on to put, then lets go of them.
    template <class Put>
    void Take(uint64_t from, Put&& put)
    {
        std::string bytes;
        if (from < inFile) {
            bytes.resize((size_t)(inFile - from));
            if (fflush(file) != 0 || fseek(file, (long)from, SEEK_SET) != 0 ||
                fread(&bytes[0], 1, bytes.size(), file) != bytes.size())
                failed = true;
            bytes += tail;
            inFile = from;
            tail.clear();
        } else {
            bytes = tail.substr((size_t)(from - inFile));
            tail.resize((size_t)(from - inFile));
        }
        for (size_t at = 0; !failed && at + sizeof(uint32_t) <= bytes.size();) {
            uint32_t n;
            memcpy(&n, bytes.data() + at, sizeof n);
            at += sizeof n;
            put(bytes.data() + at, (size_t)n);
            at += n;
        }
    }
};

// Reads a document as it comes and writes its library file, for the
// documents flp export writes and those like them: it gives up (returns
// false) on anything else, an error or a name after a label's labels
// included, and ParseJson then reads the document whole.
class StreamedImport {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    explicit StreamedImport(FormatSink* out) : out_(out) { held_.file = nullptr; held_.inFile = 0; held_.failed = false; }
    ~StreamedImport()
    {
        if (held_.file)
            fclose(held_.file);
    }
    bool Failed() const { return held_.failed; }

    bool null() { return false; }
    bool boolean(bool) { return false; }
    bool number_integer(number_integer_t) { return false; }
    bool number_unsigned(number_unsigned_t) { return false; }
    bool number_float(number_float_t, const string_t&) { return false; }
    bool binary(binary_t&) { return false; }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    bool string(string_t& value)
    {
        if (frames_.empty())
            return false;
        Frame& f = frames_.back();
        if (f.kind == IN_PHRASES) {
            if (!ToFile(value) || text_.size() > PHRASE_TEXT_LIMIT)
                return false;
            held_.Add(text_);
            return !held_.failed;
        }
        if (f.kind != IN_LABEL || f.key != KEY_NAME || f.headWritten)
            return false;
        if (!ToFile(value) || text_.empty() || text_.size() > (size_t)MAX_RENAME_LENGTH ||
            text_.find_first_of("\r\n") != std::string::npos)
            return false;
        f.name = text_;
        f.named = true;
        return true;
    }

    bool start_object(size_t)
    {
        if (frames_.empty() ? done_ : frames_.back().kind != IN_LABELS)
            return false;
        int level = frames_.empty() ? 0 : frames_.back().level + 1;
        if (level > MAX_LABEL_DEPTH)
            return false;
        Frame f;
        f.kind = IN_LABEL;
        f.level = level;
        f.heldFrom = held_.Size();
        frames_.push_back(f);
        return true;
    }

    bool key(string_t& name)
    {
        Frame& f = frames_.back();
        int k = name == "name" ? KEY_NAME : name == "phrases" ? KEY_PHRASES
                : name == "labels" ? KEY_LABELS : 0;
        if (k == 0 || (f.seen & k))
            return false;
        f.seen |= k;
        f.key = k;
        return true;
    }

    bool end_object()
    {
        Frame& f = frames_.back();
        if (f.level > 0 && !f.named)
            return false;
        WriteHead(&f);
        held_.Take(f.heldFrom, [&](const char* text, size_t n) { PutPhrase(out_, f.level + 1, text, n); });
        PutLabelClose(out_, f.level);
        frames_.pop_back();
        if (frames_.empty())
            done_ = true;
        return !held_.failed && !out_->failed;
    }

    bool start_array(size_t)
    {
        if (frames_.empty() || frames_.back().kind != IN_LABEL)
            return false;
        Frame& f = frames_.back();
        if (f.key == KEY_LABELS) {
            // A label's head goes before its labels: its name must be known.
            if (f.level > 0 && !f.named)
                return false;
            WriteHead(&f);
        } else if (f.key != KEY_PHRASES) {
            return false;
        }
        Frame a;
        a.kind = f.key == KEY_LABELS ? IN_LABELS : IN_PHRASES;
        a.level = f.level;
        frames_.push_back(a);
        return true;
    }

    bool end_array()
    {
        frames_.pop_back();
        return true;
    }

private:
    enum Kind { IN_LABEL, IN_PHRASES, IN_LABELS };
    enum { KEY_NAME = 1, KEY_PHRASES = 2, KEY_LABELS = 4 };
    struct Frame {
        Kind kind;
        int level = 0;          // of the label (the root: 0)
        int seen = 0;           // keys met
        int key = 0;            // the key whose value comes
        bool named = false;
        bool headWritten = false;
        uint64_t heldFrom = 0;  // where its phrases start among the held ones
        std::string name;
    };

    // A text in code page 932 in text_; false when it has none or holds a NUL.
    bool ToFile(const string_t& utf8)
    {
        return FileForm(utf8.data(), utf8.size(), &text_) && text_.find('\0') == std::string::npos;
    }

    void WriteHead(Frame* f)
    {
        if (f->headWritten)
            return;
        f->headWritten = true;
        const std::string& name = f->named ? f->name : std::string(ROOT_LABEL_NAME);
        PutLabelHead(out_, f->level, name.data(), name.size());
        f->name.clear();
        f->name.shrink_to_fit();
    }

    FormatSink* out_;
    std::vector<Frame> frames_;
    HeldPhrases held_;
    std::string text_;
    bool done_ = false;
};

}  // namespace

namespace {

// The document's bytes as the parser reads them, saying now and then how
// far it has come.
const size_t READ_STEP = 1024 * 1024;

struct ReadState {
    const char* start;
    const char* mark;  // the next point to tell
    const char* end;
    void (*done)(void* context, size_t upTo);
    void* context;
};

struct ReadingIterator {
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    const char* at;
    ReadState* state;

    reference operator*() const { return *at; }
    ReadingIterator& operator++()
    {
        if (++at == state->mark && state->done) {
            state->done(state->context, (size_t)(at - state->start));
            size_t left = (size_t)(state->end - at);
            state->mark = at + (left < READ_STEP ? left : READ_STEP);
        }
        return *this;
    }
    ReadingIterator operator++(int)
    {
        ReadingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const ReadingIterator& other) const { return at == other.at; }
    bool operator!=(const ReadingIterator& other) const { return at != other.at; }
};

}  // namespace

bool StreamLibraryText(const char* json, size_t n, FILE* file,
                       void (*done)(void* context, size_t upTo), void* context)
{
    char buffer[64 * 1024];
    FormatSink out;
    StartFormatSink(&out, buffer, sizeof buffer, file, DrainToFile);
    StreamedImport import(&out);
    ReadState state = {json, json + (n < READ_STEP ? n : READ_STEP), json + n, done, context};
    bool ok = false;
    try {
        ok = Json::sax_parse(ReadingIterator{json, &state}, ReadingIterator{json + n, &state}, &import);
    } catch (const Json::exception&) {
        ok = false;
    }
    return ok && !import.Failed() && FlushFormatSink(&out);
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
