// The streamed import: a document read as it comes, its library file
// written as it is read.
#include "tools/flp_json.h"

#include <cstdint>
#include <cstring>

#include "library/phrase_format.h"
#include "tools/flp_spill.h"
#include "tools/flp_text.h"

namespace {

// UTF-8 text (valid: the reader has seen to that) in code page 932, each
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
    // No character takes more bytes in code page 932 than in UTF-8.
    text->resize(n);
    char* out = &(*text)[0];
    const unsigned char* p = (const unsigned char*)utf8;
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            *out++ = (char)p[i++];
            continue;
        }
        size_t length = p[i] < 0xE0 ? 2 : p[i] < 0xF0 ? 3 : 4;
        if (!forms || length == 4 || i + length > n)
            return ConvertText(SET_UTF8, SET_FILE, utf8, n, text, &fault);
        unsigned code = length == 2 ? (p[i] & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu)
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
        out[0] = form->bytes[0];
        out[1] = form->bytes[1];
        out += form->size;
        i += length;
    }
    text->resize((size_t)(out - text->data()));
    return true;
}

// The phrases of the labels open in a streamed import, held until their
// labels' labels are written (the file has them last, JSON first): one
// label's after another's, each after its uint32 length; in memory up to
// HELD_IN_MEMORY bytes, the older ones in a file of their own beyond.
const size_t HELD_IN_MEMORY = 512 * 1024;

struct HeldPhrases {
    Spill held{HELD_IN_MEMORY};
    std::string text;  // one phrase taken back

    uint64_t Size() const { return held.Size(); }
    bool Failed() const { return held.Failed(); }

    void Add(const std::string& phrase)
    {
        uint32_t n = (uint32_t)phrase.size();
        held.Append(&n, sizeof n);
        held.Append(phrase.data(), phrase.size());
    }

    // Hands the phrases from offset from on to put, one at a time, then
    // lets go of them.
    template <class Put>
    void Take(uint64_t from, Put&& put)
    {
        const uint64_t end = held.Size();
        for (uint64_t at = from; !held.Failed() && at + sizeof(uint32_t) <= end;) {
            uint32_t n;
            held.Read(at, &n, sizeof n);
            at += sizeof n;
            if (n > end - at)
                break;
            text.resize(n);
            held.Read(at, &text[0], n);
            at += n;
            put(text.data(), text.size());
        }
        held.Cut(from);
    }
};

// Reads a document as it comes and writes its library file, for the
// documents flp export writes and those like them. It takes JSON's own
// grammar only as far as those documents need it (objects of name,
// phrases and labels, strings, arrays, white space) and gives up (returns
// false) on anything else: any error, any other value, a key met twice,
// a name after a label's labels, a \u escape of a surrogate. ParseJson
// then reads the document whole and says what is wrong, if anything.
const size_t READ_STEP = 1024 * 1024;

class StreamedImport {
public:
    StreamedImport(const char* json, size_t n, FormatSink* out,
                   void (*done)(void* context, size_t upTo), void* context)
        : start_(json), p_(json), end_(json + n), mark_(READ_STEP), out_(out),
          done_(done), context_(context)
    {
    }

    bool Document()
    {
        Space();
        if (!Label(0))
            return false;
        Space();
        return p_ == end_ && !held_.Failed() && !out_->failed;
    }

private:
    // The bytes of JSON's white space.
    void Space()
    {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            p_++;
    }

    bool Take(char c)
    {
        Space();
        if (p_ == end_ || *p_ != c)
            return false;
        p_++;
        return true;
    }

    // Says now and then how far the reading has come.
    void Tell()
    {
        size_t at = (size_t)(p_ - start_);
        if (at >= mark_ && done_) {
            done_(context_, at);
            mark_ = at + READ_STEP;
        }
    }

    static int Hex(char c)
    {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
             : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    }

    // A string (its opening quote next), its UTF-8 in utf8_; false for
    // anything JSON refuses, and for surrogates.
    bool String()
    {
        if (!Take('"'))
            return false;
        utf8_.clear();
        const char* plain = p_;  // bytes to be taken as they are from here
        for (;;) {
            while (p_ < end_ && (unsigned char)*p_ >= 0x20 && *p_ != '"' && *p_ != '\\' &&
                   (unsigned char)*p_ < 0x80)
                p_++;
            if (p_ == end_)
                return false;
            unsigned char c = (unsigned char)*p_;
            if (c == '"' || c == '\\')
                utf8_.append(plain, (size_t)(p_ - plain));
            if (c == '"') {
                p_++;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                if (end_ - p_ < 2)
                    return false;
                char e = p_[1];
                p_ += 2;
                const char* named = "\"\"\\\\//b\bf\fn\nr\rt\t";
                const char* found = e ? strchr(named, e) : nullptr;
                if (found && (found - named) % 2 == 0) {
                    utf8_.push_back(found[1]);
                    plain = p_;
                    continue;
                }
                if (e != 'u' || end_ - p_ < 4)
                    return false;
                unsigned code = 0;
                for (int k = 0; k < 4; k++) {
                    int h = Hex(p_[k]);
                    if (h < 0)
                        return false;
                    code = code << 4 | (unsigned)h;
                }
                p_ += 4;
                if (code >= 0xD800 && code <= 0xDFFF)
                    return false;
                if (code < 0x80) {
                    utf8_.push_back((char)code);
                } else if (code < 0x800) {
                    utf8_.push_back((char)(0xC0 | code >> 6));
                    utf8_.push_back((char)(0x80 | (code & 0x3F)));
                } else {
                    utf8_.push_back((char)(0xE0 | code >> 12));
                    utf8_.push_back((char)(0x80 | (code >> 6 & 0x3F)));
                    utf8_.push_back((char)(0x80 | (code & 0x3F)));
                }
                plain = p_;
                continue;
            }
            // A character of two or three bytes, exactly as UTF-8 has it
            // (four: none has a place in code page 932).
            const unsigned char* q = (const unsigned char*)p_;
            size_t left = (size_t)(end_ - p_);
            auto follows = [](unsigned char b) { return (b & 0xC0) == 0x80; };
            size_t length;
            if (c >= 0xC2 && c <= 0xDF && left >= 2 && follows(q[1]))
                length = 2;
            else if (c >= 0xE0 && c <= 0xEF && left >= 3 && follows(q[1]) && follows(q[2]) &&
                     (c != 0xE0 || q[1] >= 0xA0) && (c != 0xED || q[1] < 0xA0))
                length = 3;
            else
                return false;
            p_ += length;
        }
    }

    // A string in code page 932 in text_; false when it has none or holds
    // a NUL.
    bool FileString()
    {
        return String() && FileForm(utf8_.data(), utf8_.size(), &text_) &&
               text_.find('\0') == std::string::npos;
    }

    struct Frame {
        int level;
        bool named = false;
        bool headWritten = false;
        std::string name;
    };

    void WriteHead(Frame* f)
    {
        if (f->headWritten)
            return;
        f->headWritten = true;
        const std::string& name = f->named ? f->name : std::string(ROOT_LABEL_NAME);
        PutLabelHead(out_, f->level, name.data(), name.size());
    }

    // A label at level: its object, written as a label of the file.
    bool Label(int level)
    {
        if (level > MAX_LABEL_DEPTH || !Take('{'))
            return false;
        Tell();
        Frame f;
        f.level = level;
        const uint64_t heldFrom = held_.Size();
        enum { KEY_NAME = 1, KEY_PHRASES = 2, KEY_LABELS = 4 };
        int seen = 0;
        if (!Take('}')) {
            do {
                if (!String() || !Take(':'))
                    return false;
                int key = utf8_ == "name" ? KEY_NAME : utf8_ == "phrases" ? KEY_PHRASES
                        : utf8_ == "labels" ? KEY_LABELS : 0;
                if (key == 0 || (seen & key))
                    return false;
                seen |= key;
                if (key == KEY_NAME) {
                    if (f.headWritten || !FileString() || text_.empty() ||
                        text_.size() > (size_t)MAX_RENAME_LENGTH ||
                        text_.find_first_of("\r\n") != std::string::npos)
                        return false;
                    f.name = text_;
                    f.named = true;
                } else if (!Take('[')) {
                    return false;
                } else if (key == KEY_PHRASES) {
                    if (!Take(']')) {
                        do {
                            if (!FileString() || text_.size() > PHRASE_TEXT_LIMIT)
                                return false;
                            held_.Add(text_);
                            Tell();
                        } while (Take(','));
                        if (!Take(']'))
                            return false;
                    }
                } else {
                    // A label's head goes before its labels: its name must be known.
                    if (level > 0 && !f.named)
                        return false;
                    WriteHead(&f);
                    if (!Take(']')) {
                        do {
                            if (!Label(level + 1))
                                return false;
                        } while (Take(','));
                        if (!Take(']'))
                            return false;
                    }
                }
            } while (Take(','));
            if (!Take('}'))
                return false;
        }
        if (level > 0 && !f.named)
            return false;
        WriteHead(&f);
        held_.Take(heldFrom, [&](const char* text, size_t n) { PutPhrase(out_, level + 1, text, n); });
        PutLabelClose(out_, level);
        return !held_.Failed() && !out_->failed;
    }

    const char* start_;
    const char* p_;
    const char* end_;
    size_t mark_;  // the offset at which the reading is next told
    FormatSink* out_;
    void (*done_)(void* context, size_t upTo);
    void* context_;
    HeldPhrases held_;
    std::string utf8_, text_;
};

}  // namespace

bool StreamLibraryText(const char* json, size_t n, FILE* file,
                       void (*done)(void* context, size_t upTo), void* context)
{
    char buffer[64 * 1024];
    FormatSink out;
    StartFormatSink(&out, buffer, sizeof buffer, file, DrainToFile);
    StreamedImport import(json, n, &out, done, context);
    return import.Document() && FlushFormatSink(&out);
}
