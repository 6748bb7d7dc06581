// The clipboard's phrase package decoder on any block of bytes.
//
// The decoder reads only inside the block (the block is an exact-size heap
// copy, so ASan sees any read past it), hands over phrases of at most
// 65,535 bytes, counts what it hands over, and fails only when the sink
// stops. A package made of what was decoded decodes to the same phrases
// (empty phrases included, unless the last one is empty: the end of a
// package is its run of NULs).
#include "library/phrase_package.h"
#include "library/phrase_token.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

std::vector<std::string> Decode(const char* block, size_t size, size_t stopAfter, int* result)
{
    Collected c;
    c.stopAfter = stopAfter;
    PhraseSink sink = {&c, CollectPhrase};
    *result = DecodePhrasePackage(block, size, &sink);
    return c.texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char* block = (char*)malloc(size ? size : 1);
    memcpy(block, data, size);

    int result = 0;
    std::vector<std::string> phrases = Decode(block, size, (size_t)-1, &result);
    FUZZ_CHECK(result >= 0 && (size_t)result == phrases.size());
    for (const std::string& p : phrases) {
        FUZZ_CHECK(p.size() < (size_t)PHRASE_BUFFER_SIZE);
        FUZZ_CHECK(p.find('\0') == std::string::npos);
    }
    if (size > 0 && block[0] != PHRASE_PACKAGE_MARK)
        FUZZ_CHECK(phrases.size() == 1);

    // A sink that stops early fails the decode.
    if (!phrases.empty()) {
        int stopped = 0;
        Decode(block, size, phrases.size() - 1, &stopped);
        FUZZ_CHECK(stopped == -1);
    }

    if (!phrases.empty() && !phrases.back().empty()) {
        std::vector<const char*> texts;
        std::vector<size_t> lengths;
        for (const std::string& p : phrases) {
            texts.push_back(p.c_str());
            lengths.push_back(p.size());
        }
        size_t need = EncodePhrasePackage(texts.data(), lengths.data(), (int)texts.size(), nullptr, 0);
        size_t expect = 2;
        for (size_t n : lengths)
            expect += n + 1;
        FUZZ_CHECK(need == expect);
        char* package = (char*)malloc(need);
        FUZZ_CHECK(EncodePhrasePackage(texts.data(), lengths.data(), (int)texts.size(), package,
                                       need) == need);
        FUZZ_CHECK(package[0] == PHRASE_PACKAGE_MARK && package[need - 1] == '\0');
        int again = 0;
        FUZZ_CHECK(Decode(package, need, (size_t)-1, &again) == phrases);
        free(package);
    }
    free(block);
    return 0;
}
