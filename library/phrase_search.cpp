// The word search over the phrase file.
#include "library/phrase_library.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/sjis.h"
#include "library/phrase_walker.h"

namespace {

// True when the bytes between a candidate's first and last byte are the
// word's: words are short, so a loop beats a library call.
inline bool SameMiddle(const char* at, const char* word, size_t wordLength)
{
    for (size_t k = 1; k + 1 < wordLength; k++) {
        if (at[k] != word[k])
            return false;
    }
    return true;
}

// The first occurrence of word (at least one byte) in text. Candidates are
// the places where both the word's first and its last byte stand, sixteen
// places at a time where SSE2 is at hand; there is no setup per call, as
// the texts are short and many.
const char* FindBytes(const char* text, size_t length, const char* word, size_t wordLength)
{
    if (wordLength > length)
        return nullptr;
    if (wordLength == 1)
        return (const char*)memchr(text, word[0], length);
    const size_t stop = length - wordLength + 1;  // candidates are [0, stop)
    const char first = word[0];
    const char last = word[wordLength - 1];
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i firstBytes = _mm_set1_epi8(first);
    const __m128i lastBytes = _mm_set1_epi8(last);
    for (; i < stop && stop >= 16; i += 16) {
        // The last places are looked at sixteen at once too, with some seen
        // before: those fail again.
        if (i + 16 > stop)
            i = stop - 16;
        __m128i a = _mm_loadu_si128((const __m128i*)(text + i));
        __m128i b = _mm_loadu_si128((const __m128i*)(text + i + wordLength - 1));
        unsigned mask = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, firstBytes), _mm_cmpeq_epi8(b, lastBytes)));
        while (mask) {
            size_t at = i + (size_t)__builtin_ctz(mask);
            if (SameMiddle(text + at, word, wordLength))
                return text + at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < stop; i++) {
        if (text[i] == first && text[i + wordLength - 1] == last &&
            SameMiddle(text + i, word, wordLength))
            return text + i;
    }
    return nullptr;
}

// True when word occurs in text at a character boundary. Only candidates
// found by the byte search are checked: the bytes right before one are
// walked back over lead-byte values to a byte that ends a character (or to a
// boundary known from an earlier candidate); an odd count means the
// candidate starts on a trail byte. Every byte is walked at most once.
bool OccursOnBoundary(const char* text, size_t length, const char* word, size_t wordLength)
{
    if (wordLength == 0)
        return true;
    size_t boundary = 0;
    size_t from = 0;
    while (from + wordLength <= length) {
        const char* hit = FindBytes(text + from, length - from, word, wordLength);
        if (!hit)
            return false;
        size_t at = (size_t)(hit - text);
        size_t back = at;
        while (back > boundary && IsSjisLeadByte((unsigned char)text[back - 1]))
            back--;
        if (((at - back) & 1) == 0)
            return true;
        boundary = at + 1;  // at is the trail byte of the character before it
        from = at + 1;
    }
    return false;
}

}  // namespace

bool NextSearchWord(const char** cursor, char* word)
{
    const char* p = *cursor;
    while (*p == ' ')
        p++;
    if (*p == '\0') {
        *cursor = p;
        word[0] = '\0';
        return false;
    }
    const char* end = p;
    while (*end != '\0' && *end != ' ')
        end++;
    // A word longer than its slot keeps what fits, cut on a character boundary.
    size_t n = SjisFitLength(p, (size_t)(end - p), SEARCH_WORD_SIZE - 1);
    memcpy(word, p, n);
    word[n] = '\0';
    while (*end == ' ')
        end++;
    *cursor = end;
    return true;
}

void BuildSearchWords(const char* searchText, SearchWords* words)
{
    words->count = 0;
    const char* cursor = searchText ? searchText : "";
    while (words->count < SEARCH_WORD_COUNT && NextSearchWord(&cursor, words->word[words->count])) {
        words->length[words->count] = strlen(words->word[words->count]);
        words->count++;
    }
}

bool MatchAllWords(const char* text, size_t length, const SearchWords* words)
{
    for (int i = 0; i < words->count; i++) {
        if (!OccursOnBoundary(text, length, words->word[i], words->length[i]))
            return false;
    }
    return true;
}

bool MatchAnyWord(const char* text, size_t length, const SearchWords* words)
{
    for (int i = 0; i < words->count; i++) {
        if (OccursOnBoundary(text, length, words->word[i], words->length[i]))
            return true;
    }
    return false;
}

namespace {

bool WantsAllWords(void* words, const char* text, size_t length)
{
    return MatchAllWords(text, length, (const SearchWords*)words);
}

bool WantsAnyWord(void* words, const char* text, size_t length)
{
    return MatchAnyWord(text, length, (const SearchWords*)words);
}

}  // namespace

// One pass over the whole file: labels off the scope's path are skipped,
// every label inside the scope is entered, and the walk reports the
// phrases that match. A quoted line outside a phrase where the walk reads
// fails the search.
int SearchLibraryAt(const char* phrasePath, const SearchWords* words, int searchMode,
                    const LabelPath* scope, const PhraseSink* sink)
{
    PhraseWalker w;
    int result = OpenWalk(&w, phrasePath, scope, true, nullptr);
    w.quiet = true;
    w.wants = searchMode == 0 ? WantsAllWords : WantsAnyWord;
    w.wantsContext = (void*)words;
    for (bool done = false; result == 0 && !done;) {
        switch (WalkNext(&w)) {
        case WALK_LABEL:
            if (w.place == PLACE_BESIDE)
                result = WalkSkipBody(&w);
            break;
        case WALK_TEXT:
            if (!w.inPhrase)
                result = -1;
            break;
        case WALK_PHRASE:
            if (sink->add(sink->context, w.phrase.text, w.phrase.length) < 0)
                result = -1;
            break;
        case WALK_END:
            done = true;
            break;
        case WALK_FAILED:
            result = -1;
            break;
        default:
            break;
        }
    }
    EndWalk(&w);
    return result;
}

int SearchLibraryFile(const char* phrasePath, const SearchWords* words, int searchMode,
                      const LabelNode* scope, const PhraseSink* sink)
{
    LabelPath path;
    if (LabelPathOf(scope, &path) != 0)
        return -1;
    return SearchLibraryAt(phrasePath, words, searchMode, &path, sink);
}
