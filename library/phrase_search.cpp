// The word search over the phrase file.

#include "library/phrase_search.h"
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/sjis.h"
#include "library/kana_fold.h"
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

// Tells whether places of a text, asked in rising order, start a character.
// It walks back over lead bytes to the last place known to start one, so
// every byte is walked back over at most once in all.
struct BoundaryScan {
    const char* text;
    size_t boundary;  // a character starts here: the walks back stop at it

    bool At(size_t at)
    {
        size_t back = at;
        while (back > boundary && IsSjisLeadByte((unsigned char)text[back - 1]))
            back--;
        if (((at - back) & 1) == 0)
            return true;
        boundary = at + 1;  // at is the trail byte of the character before it
        return false;
    }
};

// True when word occurs in text at a character boundary. readable bytes
// from text on may be read (at least length): with 63 bytes to spare past
// the text's end, the last places are looked at with bytes from there,
// whose matches are ignored; without, one at a time.
//
// Candidates are the places where both the word's first and its last byte
// stand, 64 places at a time where SSE2 is at hand: the texts are short and
// many, so most take one step and no branch on their length. Only
// candidates are checked for a boundary: the bytes right before one are
// walked back over lead-byte values to a byte that ends a character (or to
// a boundary known from an earlier candidate); an odd count means the
// candidate starts on a trail byte. Every byte is walked at most once.
bool OccursOnBoundary(const char* text, size_t length, [[maybe_unused]] size_t readable,
                      const char* word, size_t wordLength)
{
    if (wordLength == 0)
        return true;
    if (wordLength > length)
        return false;
    BoundaryScan scan = {text, 0};
    auto onBoundary = [&](size_t at) { return scan.At(at); };
    const size_t stop = length - wordLength + 1;  // candidates are [0, stop)
    const char first = word[0];
    const char last = word[wordLength - 1];
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i firstBytes = _mm_set1_epi8(first);
    const __m128i lastBytes = _mm_set1_epi8(last);
    // A step at i reads text[i, i + 63 + wordLength).
    for (; i < stop && i + 63 + wordLength <= readable; i += 64) {
        uint64_t mask = 0;
        for (int k = 0; k < 4; k++) {
            const char* t = text + i + 16 * k;
            __m128i a = _mm_loadu_si128((const __m128i*)t);
            __m128i b = _mm_loadu_si128((const __m128i*)(t + wordLength - 1));
            unsigned m = (unsigned)_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(a, firstBytes), _mm_cmpeq_epi8(b, lastBytes)));
            mask |= (uint64_t)m << (16 * k);
        }
        if (stop - i < 64)
            mask &= (1ull << (stop - i)) - 1;
        while (mask) {
            size_t at = i + (size_t)__builtin_ctzll(mask);
            if (SameMiddle(text + at, word, wordLength) && onBoundary(at))
                return true;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < stop; i++) {
        if (text[i] == first && text[i + wordLength - 1] == last &&
            SameMiddle(text + i, word, wordLength) && onBoundary(i))
            return true;
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
    words->folded = false;
    const char* cursor = searchText ? searchText : "";
    while (words->count < SEARCH_WORD_COUNT && NextSearchWord(&cursor, words->word[words->count])) {
        words->length[words->count] = strlen(words->word[words->count]);
        words->count++;
    }
}

bool BuildFoldedSearchWords(const char* searchText, SearchWords* words)
{
    const char* text = searchText ? searchText : "";
    size_t length = strlen(text);
    char* folded = (char*)malloc(KanaFoldRoom(length) + 1);
    if (folded)
        folded[KanaFold(text, length, folded)] = '\0';
    BuildSearchWords(folded ? folded : "", words);
    words->folded = true;
    free(folded);
    return folded != nullptr;
}

bool MatchAllWords(const char* text, size_t length, const SearchWords* words, size_t slack)
{
    for (int i = 0; i < words->count; i++) {
        if (!OccursOnBoundary(text, length, length + slack, words->word[i], words->length[i]))
            return false;
    }
    return true;
}

bool MatchAnyWord(const char* text, size_t length, const SearchWords* words, size_t slack)
{
    for (int i = 0; i < words->count; i++) {
        if (OccursOnBoundary(text, length, length + slack, words->word[i], words->length[i]))
            return true;
    }
    return false;
}

namespace {

bool WantsAllWords(void* words, const char* text, size_t length)
{
    return MatchAllWords(text, length, (const SearchWords*)words, WANTS_SLACK);
}

bool WantsAnyWord(void* words, const char* text, size_t length)
{
    return MatchAnyWord(text, length, (const SearchWords*)words, WANTS_SLACK);
}

// Folded words, what of each can be looked for in a phrase as it is, and
// the room a phrase is folded into.
//
// Most phrases are never folded: a word's longest run of characters that
// fold only from themselves (kanji, mostly) must stand in the phrase as it
// is, and a word made of nothing else is found there or not at all. Of a
// word without such a run, one katakana must stand in the phrase in one of
// the forms that fold to it (ル: る, ル or ﾙ).
const int KANA_FORM_COUNT = 4;  // katakana, hiragana, half-width, half-width with its mark
struct KanaForms {
    int count;  // 0: none looked for
    char form[KANA_FORM_COUNT][3];
    size_t length[KANA_FORM_COUNT];
#if defined(__SSE2__)
    __m128i first[KANA_FORM_COUNT], second[KANA_FORM_COUNT];  // each form's bytes, sixteen times
#endif
};

struct FoldedMatch {
    const SearchWords* words;
    SearchWords probes;               // each word's run (length 0: none)
    bool whole[SEARCH_WORD_COUNT];    // the run is the whole word
    KanaForms forms[SEARCH_WORD_COUNT];
    bool folds;                       // some word is not whole: phrases may need folding
    char* folded;                     // KanaFoldRoom(PHRASE_BUFFER_SIZE) + WANTS_SLACK bytes
};

// The forms of the last katakana in word that fold to it (count 0 when the
// word holds none).
void FindKanaForms(const char* word, size_t n, KanaForms* forms)
{
    forms->count = 0;
    const char* kana = nullptr;
    for (size_t k = 0; k < n; k += IsSjisLeadByte((unsigned char)word[k]) && k + 1 < n ? 2 : 1) {
        unsigned char lead = (unsigned char)word[k], trail = k + 1 < n ? (unsigned char)word[k + 1] : 0;
        if (lead == 0x83 && trail >= 0x40 && trail <= 0x96)
            kana = word + k;
    }
    if (!kana)
        return;
    // Every character and half-width pair that can fold to a katakana.
    unsigned char candidate[2];
    char out[4];
    auto consider = [&](size_t length) {
        if (KanaFold((const char*)candidate, length, out) != 2 || out[0] != kana[0] ||
            out[1] != kana[1])
            return;
        if (forms->count == KANA_FORM_COUNT) {
            forms->count = -1;  // more than expected: look for none
            return;
        }
        if (forms->count < 0)
            return;
        memcpy(forms->form[forms->count], candidate, length);
        forms->length[forms->count++] = length;
    };
    for (int trail = 0x9F; trail <= 0xF1; trail++)
        candidate[0] = 0x82, candidate[1] = (unsigned char)trail, consider(2);
    for (int trail = 0x40; trail <= 0x96; trail++)
        candidate[0] = 0x83, candidate[1] = (unsigned char)trail, consider(2);
    for (int half = 0xA1; half <= 0xDF; half++) {
        candidate[0] = (unsigned char)half;
        consider(1);
        for (int mark = 0xDE; mark <= 0xDF; mark++)
            candidate[1] = (unsigned char)mark, consider(2);
    }
    if (forms->count < 0)
        forms->count = 0;
#if defined(__SSE2__)
    for (int k = 0; k < forms->count; k++) {
        forms->first[k] = _mm_set1_epi8(forms->form[k][0]);
        forms->second[k] = _mm_set1_epi8(forms->length[k] == 2 ? forms->form[k][1] : 0);
    }
#endif
}

void StartFoldedMatch(FoldedMatch* m, const SearchWords* words)
{
    m->words = words;
    m->probes.count = words->count;
    m->probes.folded = false;
    m->folds = false;
    for (int i = 0; i < words->count; i++) {
        const char* word = words->word[i];
        const size_t n = words->length[i];
        size_t best = 0, bestLength = 0, run = 0;
        for (size_t k = 0; k < n;) {
            bool fixed = k + 1 < n && KanaFoldFixed((unsigned char)word[k]);
            size_t step = IsSjisLeadByte((unsigned char)word[k]) && k + 1 < n ? 2 : 1;
            if (!fixed)
                run = k + step;
            else if (k + 2 - run > bestLength)
                best = run, bestLength = k + 2 - run;
            k += step;
        }
        memcpy(m->probes.word[i], word + best, bestLength);
        m->probes.word[i][bestLength] = '\0';
        m->probes.length[i] = bestLength;
        m->whole[i] = bestLength == n;
        m->folds = m->folds || !m->whole[i];
        m->forms[i].count = 0;
        if (bestLength == 0)
            FindKanaForms(word, n, &m->forms[i]);
    }
}

// True when one of the forms (one or two bytes each) stands in text at a
// character boundary, reading up to readable bytes as OccursOnBoundary
// does. Where SSE2 is at hand all forms are looked for in one pass, sixteen
// places a step: the texts are short and most hold none of them.
bool FormsOccur(const char* text, size_t length, size_t readable, const KanaForms* forms)
{
#if defined(__SSE2__)
    size_t i = 0;
    BoundaryScan scan = {text, 0};
    for (; i < length && i + 17 <= readable; i += 16) {
        __m128i a = _mm_loadu_si128((const __m128i*)(text + i));
        __m128i b = _mm_loadu_si128((const __m128i*)(text + i + 1));
        // Places where a one-byte form starts, and where a two-byte one does.
        unsigned one = 0, two = 0;
        for (int k = 0; k < forms->count; k++) {
            __m128i hit = _mm_cmpeq_epi8(a, forms->first[k]);
            if (forms->length[k] == 2)
                two |= (unsigned)_mm_movemask_epi8(_mm_and_si128(hit, _mm_cmpeq_epi8(b, forms->second[k])));
            else
                one |= (unsigned)_mm_movemask_epi8(hit);
        }
        const size_t left = length - i;  // a one-byte form fits at that many places, a pair at one fewer
        if (left <= 16) {
            one &= (1u << left) - 1;
            two &= (1u << (left - 1)) - 1;
        }
        for (unsigned mask = one | two; mask; mask &= mask - 1) {
            if (scan.At(i + (size_t)__builtin_ctz(mask)))
                return true;
        }
    }
    if (i >= length)
        return false;
#else
    (void)readable;
#endif
    // Too little to read past the text: the rest is looked at form by form.
    for (int k = 0; k < forms->count; k++) {
        if (OccursOnBoundary(text, length, length, forms->form[k], forms->length[k]))
            return true;
    }
    return false;
}

// False when word i cannot stand in the folded text: its run, or each
// form of its katakana, is missing from the text as it is.
inline bool ProbeOccurs(const FoldedMatch* m, int i, const char* text, size_t length)
{
    const KanaForms* forms = &m->forms[i];
    if (forms->count > 0)
        return FormsOccur(text, length, length + WANTS_SLACK, forms);
    return OccursOnBoundary(text, length, length + WANTS_SLACK, m->probes.word[i],
                            m->probes.length[i]);
}

inline bool OccursFolded(const FoldedMatch* m, int i, size_t foldedLength)
{
    return OccursOnBoundary(m->folded, foldedLength, foldedLength + WANTS_SLACK, m->words->word[i],
                            m->words->length[i]);
}

bool WantsAllFolded(void* context, const char* text, size_t length)
{
    FoldedMatch* m = (FoldedMatch*)context;
    for (int i = 0; i < m->words->count; i++) {
        if (!ProbeOccurs(m, i, text, length))
            return false;
    }
    if (!m->folds)
        return true;
    size_t n = KanaFold(text, length, m->folded);
    for (int i = 0; i < m->words->count; i++) {
        if (!m->whole[i] && !OccursFolded(m, i, n))
            return false;
    }
    return true;
}

bool WantsAnyFolded(void* context, const char* text, size_t length)
{
    FoldedMatch* m = (FoldedMatch*)context;
    unsigned candidates = 0;  // words that may stand in the folded phrase
    for (int i = 0; i < m->words->count; i++) {
        if (!ProbeOccurs(m, i, text, length))
            continue;
        if (m->whole[i])
            return true;
        candidates |= 1u << i;
    }
    if (!candidates)
        return false;
    size_t n = KanaFold(text, length, m->folded);
    for (int i = 0; i < m->words->count; i++) {
        if ((candidates >> i & 1) && OccursFolded(m, i, n))
            return true;
    }
    return false;
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
    // Folding each phrase as it comes holds one phrase's room, whatever the
    // size of the library.
    FoldedMatch folded;
    folded.folded = nullptr;
    if (words->folded) {
        StartFoldedMatch(&folded, words);
        folded.folded = (char*)calloc(KanaFoldRoom(PHRASE_BUFFER_SIZE) + WANTS_SLACK, 1);
        if (!folded.folded)
            result = -1;
        w.wants = searchMode == 0 ? WantsAllFolded : WantsAnyFolded;
        w.wantsContext = &folded;
    }
    if (result == 0)
        result = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL:
                return w.place == PLACE_BESIDE ? WalkSkipBody(&w) : WALK_ON;
            case WALK_TEXT:
                return w.inPhrase ? WALK_ON : -1;
            case WALK_PHRASE:
                return sink->add(sink->context, w.phrase.text, w.phrase.length) < 0 ? -1 : WALK_ON;
            default:
                return WALK_ON;
            }
        });
    EndWalk(&w);
    free(folded.folded);
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
