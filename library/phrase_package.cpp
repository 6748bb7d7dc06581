// The phrase package: several phrases in one clipboard text.

#include "library/phrase_package.h"
#include <cstring>

#include "common/sjis.h"
#include "library/phrase_token.h"

size_t EncodePhrasePackage(const char* const* texts, const size_t* lengths, int count,
                           char* block, size_t blockSize)
{
    size_t size = 2;  // the mark and the final NUL
    for (int i = 0; i < count; i++)
        size += lengths[i] + 1;
    if (!block || blockSize < size)
        return size;
    char* p = block;
    *p++ = PHRASE_PACKAGE_MARK;
    for (int i = 0; i < count; i++) {
        memcpy(p, texts[i], lengths[i]);
        p += lengths[i];
        *p++ = '\0';
    }
    *p = '\0';
    return size;
}

namespace {

int AddPhrase(const PhraseSink* sink, const char* text, size_t length)
{
    length = SjisFitLength(text, length, PHRASE_TEXT_LIMIT);
    return sink->add(sink->context, text, length);
}

}  // namespace

// An empty phrase is an empty string inside the package, so the package's
// end is the run of NULs that reaches the block's end (the block may be
// longer than the package and is zero-filled); empty strings with a phrase
// after them are phrases. Cutting a selection that holds an empty phrase
// thus loses none of the phrases after it.
int DecodePhrasePackage(const char* block, size_t blockSize, const PhraseSink* sink)
{
    if (blockSize == 0)
        return AddPhrase(sink, "", 0) < 0 ? -1 : 1;
    if (block[0] != PHRASE_PACKAGE_MARK) {
        const char* nul = (const char*)memchr(block, '\0', blockSize);
        size_t length = nul ? (size_t)(nul - block) : blockSize;
        return AddPhrase(sink, block, length) < 0 ? -1 : 1;
    }
    const char* p = block + 1;
    const char* end = block + blockSize;
    int count = 0;
    int emptyRun = 0;  // empty strings not yet known to be phrases
    while (p < end) {
        const char* nul = (const char*)memchr(p, '\0', (size_t)(end - p));
        size_t length = nul ? (size_t)(nul - p) : (size_t)(end - p);
        if (length == 0) {
            emptyRun++;
        } else {
            for (; emptyRun > 0; emptyRun--, count++) {
                if (AddPhrase(sink, p, 0) < 0)
                    return -1;
            }
            if (AddPhrase(sink, p, length) < 0)
                return -1;
            count++;
        }
        p += length + 1;
    }
    return count;
}
