// The placeholders of a phrase on any bytes: the first part of the input is
// the phrase, the rest an era entry as the system lists them ("name\0data").
//
// Filling never reads past the phrase, never writes past its bound, says
// when the bound is passed rather than cutting, and loses no text that is
// not a placeholder: a phrase without braces comes out as it went in, and
// one whose braces are all doubled comes out with each pair made one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "output/phrase_fill.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

const char* AnyInput(void*, const char*, size_t n, size_t* length)
{
    static const char value[] = "値";
    *length = n % 2 ? sizeof value - 1 : 0;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = (const char*)data;
    const char* split = (const char*)memchr(bytes, '\x01', size);
    size_t n = split ? (size_t)(split - bytes) : size;
    char* text = (char*)malloc(n ? n : 1);
    memcpy(text, bytes, n);

    EraTable eras;
    BuiltInEras(&eras);
    if (split) {
        std::string entry(split + 1, size - n - 1);
        size_t zero = entry.find('\0');
        if (zero != std::string::npos)
            AddEraEntry(&eras, entry.substr(0, zero).c_str(), entry.c_str() + zero + 1);
    }
    FUZZ_CHECK(eras.count >= 5 && eras.count <= MAX_ERAS);

    static char out[FILL_LIMIT + 1];
    FillContext context = {2026, 12, 9, 9, 5, 7, &eras, "clip", 4, AnyInput, nullptr};
    FillResult result = FillPhrase(text, n, &context, out);
    FUZZ_CHECK(result.length <= FILL_LIMIT);
    FUZZ_CHECK(result.caretBack >= -1 && result.caretBack <= MAX_CARET_BACK);
    if (!HasPlaceholders(text, n) && n <= FILL_LIMIT)
        FUZZ_CHECK(!result.tooLong && result.length == n && memcmp(out, text, n) == 0);

    // Doubled braces only: each pair is one brace.
    std::string doubled;
    for (size_t i = 0; i < n; i++) {
        doubled += text[i];
        if (text[i] == '{' || text[i] == '}')
            doubled += text[i];
    }
    // A lead byte's trail may be a brace: such a text is not this case.
    bool plain = true;
    for (size_t i = 0; i < n && plain; i++)
        plain = (unsigned char)text[i] < 0x80;
    if (plain && doubled.size() <= FILL_LIMIT) {
        FillResult again = FillPhrase(doubled.data(), doubled.size(), &context, out);
        FUZZ_CHECK(!again.tooLong && again.length == n && memcmp(out, text, n) == 0);
    }
    ListFillInputs(text, n, [](void*, const char*, size_t) {}, nullptr);

    // Formats of any bytes fit their buffer or say they do not.
    char formatted[32];
    int k = FormatFillDate(text, n, 2019, 5, 1, &eras, formatted, sizeof formatted);
    FUZZ_CHECK(k >= -1 && k < (int)sizeof formatted);
    k = FormatFillTime(text, n, 23, 59, 59, formatted, sizeof formatted);
    FUZZ_CHECK(k >= -1 && k < (int)sizeof formatted);
    free(text);
    return 0;
}
