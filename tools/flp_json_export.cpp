// The export: a library, or one label of it, as a JSON document.
//
// It walks the file twice. The first walk checks it: the file's structure,
// and that every name and phrase has an exact form in Unicode; nothing is
// written before that walk has ended, so a failed export prints nothing.
// The second walk writes the document as the file goes, each text
// converted and escaped straight into the output.
//
// JSON has a label's phrases before its labels; the program writes them
// after, so most labels have their phrases either before their first child
// or not at all, and those are written as they come. The phrases of a label
// that come after one of its children (the file's own order, or a
// hand-edited file's) are put aside by the first walk, already as JSON
// strings, and written by the second where the label's phrases end: at its
// first child. So the export holds neither the document nor the file, only
// the labels open at a time and what it puts aside of those phrases.
#include "tools/flp_json.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/file_calls.h"
#include "common/sjis.h"
#include "tools/flp_spill.h"
#include "tools/flp_text.h"

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

// Each character's form in a JSON string, found once: the code page keeps
// no state from one character to the next, so a text converts as its
// characters do, and an export meets a few hundred characters many times.
// Indexed by the byte, or by lead byte * 256 + trail byte.
struct CharForm {
    unsigned char size;  // bytes of its form; 0: not known yet
    bool exact;          // it has an exact form in Unicode
    char bytes[6];       // UTF-8, or the escape of an ASCII character
};
static_assert(sizeof(CharForm) == 8, "a form is stored in one step");

CharForm* g_forms;  // 65,536 of them, made when the export starts
// The codes known to have an exact form, a bit each: the first walk looks
// at every character, and these stay in the nearest cache.
uint64_t g_exact[65536 / 64];

// The form of an ASCII character, escaped as the JSON library's writer
// escapes it.
void LearnAscii(unsigned c, CharForm* form)
{
    static const char kHex[] = "0123456789abcdef";
    const char* named = c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\b' ? "\\b"
                      : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\f' ? "\\f"
                      : c == '\r' ? "\\r" : nullptr;
    form->exact = true;
    if (named) {
        form->size = 2;
        memcpy(form->bytes, named, 2);
    } else if (c < 0x20) {
        form->size = 6;
        const char u[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        memcpy(form->bytes, u, 6);
    } else {
        form->size = 1;
        form->bytes[0] = (char)c;
    }
}

bool StartForms()
{
    if (!g_forms) {
        g_forms = (CharForm*)calloc(65536, sizeof(CharForm));
        if (!g_forms)
            return false;
        for (unsigned c = 0; c < 0x80; c++)
            LearnAscii(c, &g_forms[c]);
    }
    return true;
}

void LearnForm(CharForm* form, const char* text, size_t n)
{
    std::string utf8;
    form->exact = ConvertExactly(text, n, &utf8) && !utf8.empty() && utf8.size() <= 4;
    form->size = form->exact ? (unsigned char)utf8.size() : 1;
    if (form->exact) {
        memcpy(form->bytes, utf8.data(), utf8.size());
        unsigned code = (unsigned)(form - g_forms);
        g_exact[code / 64] |= 1ull << (code % 64);
    }
}

inline const CharForm& FormOf(unsigned code, const char* text, size_t n)
{
    CharForm& form = g_forms[code];
    if (form.size == 0)
        LearnForm(&form, text, n);
    return form;
}

// The room a text of n bytes takes as a JSON string at the most: its
// quotes, six bytes a byte (an escape), and what PutString writes past
// the end of a form.
size_t StringRoom(size_t n)
{
    return 6 * n + 2 + sizeof(CharForm);
}

// Writes text as a JSON string at out, which has StringRoom(n) bytes.
// Returns the end of what was written, or null when some character has no
// exact form of its own (ExactString then decides).
char* PutString(char* out, const char* text, size_t n)
{
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char* end = p + n;
    *out++ = '"';
    while (p < end) {
        unsigned c = *p;
        if (c < 0x80) {
            const CharForm& form = g_forms[c];
            if (form.size == 1) {
                *out++ = (char)c;
            } else {
                memcpy(out, form.bytes, 6);
                out += form.size;
            }
            p++;
            continue;
        }
        bool lead = IsSjisLeadByte((unsigned char)c);
        if (lead && p + 1 == end)
            return nullptr;
        unsigned code = lead ? c << 8 | p[1] : c;
        const CharForm& form = FormOf(code, (const char*)p, lead ? 2 : 1);
        if (!form.exact)
            return nullptr;
        memcpy(out, form.bytes, 4);
        out += form.size;
        p += lead ? 2 : 1;
    }
    *out++ = '"';
    return out;
}

// Every character of a text that has no form of its own leaves the whole
// text to the converter (which, as the code page keeps no state, refuses
// it too); its exact form escaped into *json. False when there is none.
bool ExactString(const char* text, size_t n, std::string* json)
{
    std::string utf8;
    if (!ConvertExactly(text, n, &utf8))
        return false;
    json->assign(1, '"');
    for (unsigned char c : utf8) {
        if (c < 0x80)
            json->append(g_forms[c].bytes, g_forms[c].size);
        else
            json->push_back((char)c);
    }
    json->push_back('"');
    return true;
}

bool ExactlyWhole(const char* text, size_t n)
{
    std::string utf8;
    return ConvertExactly(text, n, &utf8);
}

// True when text has an exact form in Unicode, as PutString and
// ExactString find it, without writing it.
bool HasExactForm(const char* text, size_t n)
{
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char* end = p + n;
    while (p < end) {
        unsigned c = *p;
        if (c < 0x80) {
            p++;
            continue;
        }
        bool lead = IsSjisLeadByte((unsigned char)c);
        if (lead && p + 1 == end)
            return ExactlyWhole(text, n);
        unsigned code = lead ? c << 8 | p[1] : c;
        if (!(g_exact[code / 64] >> (code % 64) & 1) &&
            !FormOf(code, (const char*)p, lead ? 2 : 1).exact)
            return ExactlyWhole(text, n);
        p += lead ? 2 : 1;
    }
    return true;
}

// A text as a JSON string appended to *json; false when it has no exact
// form in Unicode.
bool AppendString(std::string* json, const char* text, size_t n)
{
    size_t at = json->size();
    json->resize(at + StringRoom(n));
    char* end = PutString(&(*json)[at], text, n);
    if (end) {
        json->resize((size_t)(end - json->data()));
        return true;
    }
    json->resize(at);
    std::string exact;
    if (!ExactString(text, n, &exact))
        return false;
    json->append(exact);
    return true;
}

// The document as it is written, through a buffer.
const size_t OUTPUT_BUFFER_SIZE = 256 * 1024;

struct Output {
    char* buffer;
    size_t used;
    bool (*write)(void* context, const char* bytes, size_t n);
    void* context;
    bool failed;

    void Flush()
    {
        if (!failed && used > 0)
            failed = !write(context, buffer, used);
        used = 0;
    }
    // Room for n more bytes, when the buffer can hold them at all.
    bool Room(size_t n)
    {
        if (OUTPUT_BUFFER_SIZE - used < n)
            Flush();
        return OUTPUT_BUFFER_SIZE - used >= n;
    }
    void Add(const char* bytes, size_t n)
    {
        if (!Room(n)) {
            Flush();
            if (!failed)
                failed = !write(context, bytes, n);
            return;
        }
        memcpy(buffer + used, bytes, n);
        used += n;
    }
    void Add(const char* s) { Add(s, strlen(s)); }
    void Indent(int level)
    {
        size_t n = (size_t)level * 2;
        if (Room(n)) {
            memset(buffer + used, ' ', n);
            used += n;
        } else {
            for (int i = 0; i < level; i++)
                Add("  ", 2);
        }
    }
    // A text the first walk has found exact, as a JSON string.
    void String(const char* text, size_t n)
    {
        if (Room(StringRoom(n))) {
            char* end = PutString(buffer + used, text, n);
            if (end) {
                used = (size_t)(end - buffer);
                return;
            }
        }
        std::string json;
        AppendString(&json, text, n);
        Add(json.data(), json.size());
    }
};

// The phrases put aside go in runs: {uint64 the label's previous run's
// offset + 1, or 0; uint32 bytes} and then the strings, each after its
// uint32 length. A label's runs are chained backwards. The labels that
// have children have a slot each, in the order their first child opens:
// the offset + 1 of their last run, or 0.
const size_t RUN_LIMIT = 64 * 1024;
const size_t ASIDE_IN_MEMORY = 256 * 1024;
const size_t SLOTS_IN_MEMORY = 64 * 1024;

// A label of the document open in a walk.
struct OpenLabel {
    bool hasChild;
    uint64_t slot;     // the first walk: its slot, once it has a child
    uint64_t lastRun;  // the first walk: its last run + 1 (0: none)
    bool hasPhrase;    // the second walk: a phrase of it is written
};

struct Exporter {
    PhraseWalker w;
    int base;                     // depth of the exported label
    std::vector<OpenLabel> open;  // the labels open from the exported one down
    uint64_t labels;              // labels of the document met so far
    Spill aside{ASIDE_IN_MEMORY};
    Spill slots{SLOTS_IN_MEMORY};
    uint64_t slotCount;
    std::string run;              // strings of the run being gathered
    size_t runOwner;              // its label's place in open
    std::string scratch;
    std::string* error;
    Output out;                   // the second walk
    int level;                    // JSON level of the exported label
};

// The open label that holds the phrase the walk has ended, or null when it
// is outside the document.
OpenLabel* PhraseOwner(Exporter* e, size_t* at)
{
    const PhraseWalker& w = e->w;
    *at = (size_t)(w.phraseDepth - e->base);
    if (w.phraseDepth < e->base || *at >= e->open.size())
        return nullptr;
    return &e->open[*at];
}

void EndRun(Exporter* e)
{
    if (e->run.empty())
        return;
    OpenLabel& owner = e->open[e->runOwner];
    uint64_t previous = owner.lastRun;
    uint32_t n = (uint32_t)e->run.size();
    owner.lastRun = e->aside.Size() + 1;
    e->aside.Append(&previous, sizeof previous);
    e->aside.Append(&n, sizeof n);
    e->aside.Append(e->run.data(), e->run.size());
    e->run.clear();
}

// The first walk's look at each phrase in scope: it is never gathered
// (false) unless it has no exact form, which the walk then reports.
bool CheckPhrase(void* context, const char* text, size_t n)
{
    Exporter* e = (Exporter*)context;
    size_t at;
    OpenLabel* owner = PhraseOwner(e, &at);
    if (!owner)
        return false;
    if (!owner->hasChild)
        return !HasExactForm(text, n);  // written as it comes by the second walk
    if (!e->run.empty() && (e->runOwner != at || e->run.size() >= RUN_LIMIT))
        EndRun(e);
    e->runOwner = at;
    uint32_t length = 0;
    size_t lengthAt = e->run.size();
    e->run.append((const char*)&length, sizeof length);
    if (!AppendString(&e->run, text, n)) {
        e->run.resize(lengthAt);
        return true;
    }
    length = (uint32_t)(e->run.size() - lengthAt - sizeof length);
    memcpy(&e->run[lengthAt], &length, sizeof length);
    return false;
}

// The second walk's: each phrase of the label innermost open is written as
// it comes; those the first walk put aside are left.
bool WritePhrase(void* context, const char* text, size_t n)
{
    Exporter* e = (Exporter*)context;
    size_t at;
    OpenLabel* owner = PhraseOwner(e, &at);
    if (!owner || owner->hasChild)
        return false;
    Output& out = e->out;
    out.Add(owner->hasPhrase ? ",\n" : "[\n");
    owner->hasPhrase = true;
    out.Indent(e->level + 2 * (int)at + 2);
    out.String(text, n);
    return false;
}

// The first walk: the document's labels open and close, the phrases of the
// labels with children are put aside.
bool CheckLabel(Exporter* e, bool isRoot)
{
    e->scratch.clear();
    if (!AppendString(&e->scratch, e->w.text, e->w.textLength)) {
        *e->error = isRoot ? "the root label's name has no exact form in Unicode"
                           : "a label's name has no exact form in Unicode (line " +
                                 std::to_string(e->w.headLine) + ")";
        return false;
    }
    if (!e->open.empty() && !e->open.back().hasChild) {
        OpenLabel& parent = e->open.back();
        parent.hasChild = true;
        parent.slot = e->slotCount++;
        uint64_t none = 0;
        e->slots.Append(&none, sizeof none);
    }
    e->open.push_back({false, 0, 0, false});
    e->labels++;
    return true;
}

void CheckClose(Exporter* e)
{
    if (!e->run.empty() && e->runOwner == e->open.size() - 1)
        EndRun(e);
    const OpenLabel& label = e->open.back();
    if (label.lastRun)
        e->slots.Write(label.slot * sizeof(uint64_t), &label.lastRun, sizeof label.lastRun);
    e->open.pop_back();
}

// The second walk. A label of the document at JSON level: its phrases are
// open until its first child or its close.
void WriteHead(Exporter* e)
{
    Output& out = e->out;
    const int level = e->level + 2 * (int)e->open.size();
    if (!e->open.empty()) {
        OpenLabel& parent = e->open.back();
        if (!parent.hasChild) {
            // The parent's phrases end here: those put aside, then the array.
            uint64_t slot = 0;
            e->slots.Read(e->slotCount++ * sizeof slot, &slot, sizeof slot);
            std::vector<uint64_t> runs;
            for (uint64_t r = slot; r != 0;) {
                runs.push_back(r - 1);
                e->aside.Read(r - 1, &r, sizeof r);
            }
            std::string& bytes = e->scratch;
            for (size_t i = runs.size(); i-- > 0;) {
                uint32_t n;
                e->aside.Read(runs[i] + sizeof(uint64_t), &n, sizeof n);
                bytes.resize(n);
                e->aside.Read(runs[i] + sizeof(uint64_t) + sizeof n, &bytes[0], n);
                for (size_t p = 0; p + sizeof(uint32_t) <= bytes.size();) {
                    uint32_t length;
                    memcpy(&length, bytes.data() + p, sizeof length);
                    p += sizeof length;
                    out.Add(parent.hasPhrase ? ",\n" : "[\n");
                    parent.hasPhrase = true;
                    out.Indent(level);
                    out.Add(bytes.data() + p, length);
                    p += length;
                }
            }
            if (parent.hasPhrase) {
                out.Add("\n");
                out.Indent(level - 1);
                out.Add("]");
            } else {
                out.Add("[]");
            }
            out.Add(",\n");
            out.Indent(level - 1);
            out.Add("\"labels\": [\n");
            parent.hasChild = true;
        } else {
            out.Add(",\n");
        }
        out.Indent(level);
    }
    out.Add("{\n");
    out.Indent(level + 1);
    out.Add("\"name\": ");
    out.String(e->w.text, e->w.textLength);
    out.Add(",\n");
    out.Indent(level + 1);
    out.Add("\"phrases\": ");
    e->open.push_back({false, 0, 0, false});
}

void WriteClose(Exporter* e)
{
    Output& out = e->out;
    const OpenLabel label = e->open.back();
    e->open.pop_back();
    const int level = e->level + 2 * (int)e->open.size();
    if (label.hasChild) {
        out.Add("\n");
        out.Indent(level + 1);
        out.Add("]");
    } else {
        if (label.hasPhrase) {
            out.Add("\n");
            out.Indent(level + 1);
            out.Add("]");
        } else {
            out.Add("[]");
        }
        out.Add(",\n");
        out.Indent(level + 1);
        out.Add("\"labels\": []");
    }
    out.Add("\n");
    out.Indent(level);
    out.Add("}");
}

// One walk of the document: head and close of each of its labels to the
// walk's own calls, its phrases to wants. Returns false when the walk or
// a call failed (*failed: a call).
template <class Head, class Close>
bool WalkDocument(Exporter* e, FILE* file, const LabelPath* path,
                  bool (*wants)(void*, const char*, size_t), LibraryError* fault, bool* failed,
                  Head&& head, Close&& close)
{
    const bool whole = !path || path->count == 0;
    const int base = e->base;
    PhraseWalker& w = e->w;
    e->open.clear();
    *failed = false;
    bool ok = StartWalk(&w, file, whole ? nullptr : path, true, fault) == 0;
    w.quiet = true;
    w.wants = wants;
    w.wantsContext = e;
    if (ok && whole && !head(true))
        *failed = true;
    if (ok && !*failed)
        ok = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL:
                if (w.place == PLACE_BESIDE)
                    return WalkSkipBody(&w);
                if ((w.place == PLACE_TARGET || w.place == PLACE_INSIDE) && !head(false))
                    break;
                return WALK_ON;
            case WALK_LABEL_END:
                if (w.depth + 1 >= (base > 0 ? base : 1) && !e->open.empty())
                    close();
                return !whole && w.depth < base ? WALK_DONE : WALK_ON;
            case WALK_PHRASE:
                // Only a phrase the first walk finds without an exact form.
                *e->error = "a phrase has no exact form in Unicode (before line " +
                            std::to_string(w.tokens.lineNumber) + ")";
                break;
            case WALK_END:
                while (!e->open.empty())
                    close();
                return WALK_ON;
            default:
                return WALK_ON;
            }
            *failed = true;
            return -1;
        }) == 0;
    EndWalk(&w);
    return ok && !*failed;
}

}  // namespace

bool ExportJson(const char* phrasePath, const LabelPath* path,
                bool (*write)(void* context, const char* bytes, size_t n), void* context,
                std::string* error)
{
    const bool whole = !path || path->count == 0;
    LibraryError fault;
    fault = LibraryError();
    Exporter e;
    e.base = whole ? 0 : path->count;
    e.labels = 0;
    e.slotCount = 0;
    e.runOwner = 0;
    e.error = error;
    e.level = whole ? 0 : 2;
    e.out = {nullptr, 0, write, context, false};
    if (!StartForms()) {
        *error = "out of memory";
        return false;
    }
    // Both walks read the file opened once: a library replaced meanwhile,
    // as the program's writers replace it, is not mixed with the one read.
    struct OpenFile {
        FILE* file;
        ~OpenFile()
        {
            if (file)
                FileClose(file);
        }
    } in = {FileOpen(phrasePath, "rb")};
    if (!in.file) {
        *error = "cannot open the file";
        return false;
    }
    bool exportFailed = false;
    bool ok = WalkDocument(
        &e, in.file, path, CheckPhrase, &fault, &exportFailed,
        [&](bool isRoot) { return CheckLabel(&e, isRoot); }, [&] { CheckClose(&e); });
    if (ok && (e.aside.Failed() || e.slots.Failed())) {
        *error = "cannot put the labels aside";
        return false;
    }
    if (!ok) {
        if (exportFailed)
            return false;
        *error = fault.what[0] ? fault.what : "cannot read the file";
        if (fault.line > 0)
            *error = std::to_string(fault.line) + ": " + *error;
        return false;
    }

    // The file is as the first walk found it unless another program
    // wrote into it meanwhile: a second walk that fails or meets other
    // labels says so.
    const uint64_t labels = e.labels;
    e.slotCount = 0;
    e.labels = 0;
    e.out.buffer = (char*)malloc(OUTPUT_BUFFER_SIZE);
    if (!e.out.buffer) {
        *error = "out of memory";
        return false;
    }
    Output& out = e.out;
    if (labels == 0) {
        out.Add("{\n  \"labels\": []\n}");
    } else {
        if (!whole)
            out.Add("{\n  \"labels\": [\n    ");
        ok = fseek(in.file, 0, SEEK_SET) == 0 &&
             WalkDocument(
                 &e, in.file, path, WritePhrase, &fault, &exportFailed,
                 [&](bool) {
                     e.labels++;
                     WriteHead(&e);
                     return true;
                 },
                 [&] { WriteClose(&e); });
        if (!whole)
            out.Add("\n  ]\n}");
    }
    out.Add("\n");
    out.Flush();
    free(out.buffer);
    if (!ok || e.labels != labels || e.aside.Failed() || e.slots.Failed()) {
        *error = "the file changed while it was read";
        return false;
    }
    if (out.failed) {
        error->clear();
        return false;
    }
    return true;
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
