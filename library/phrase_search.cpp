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
        // The four lanes written out: the compiler keeps a loop of them as
        // a loop of one.
        const char* t = text + i;
        const char* u = t + wordLength - 1;
        uint64_t m0 = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)t), firstBytes),
                          _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)u), lastBytes)));
        uint64_t m1 = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(t + 16)), firstBytes),
                          _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(u + 16)), lastBytes)));
        uint64_t m2 = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(t + 32)), firstBytes),
                          _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(u + 32)), lastBytes)));
        uint64_t m3 = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(t + 48)), firstBytes),
                          _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(u + 48)), lastBytes)));
        uint64_t mask = m0 | m1 << 16 | m2 << 32 | m3 << 48;
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

// A set of probes looked for in one pass over a text: each a word (or a
// form of a katakana) of a group, a group found when any of its probes
// stands in the text at a character boundary. The pass reads
// WANTS_SLACK bytes past the text.
const int PROBE_MAX = SEARCH_WORD_COUNT * 4;
struct ProbeSet;
typedef unsigned (*ProbeScan)(const ProbeSet* set, const char* text, size_t length);
struct ProbeSet {
    int count;
    const char* bytes[PROBE_MAX];
    size_t length[PROBE_MAX];
    int group[PROBE_MAX];
    size_t shortest;  // of the probes' lengths (all are 1 or more)
    size_t longest;
    unsigned always;  // groups found in any text (a probe of length 0)
    unsigned all;     // every group
    unsigned ends;    // groups whose finding ends the pass
    ProbeScan scan;   // the pass laid out for the count, chosen once
#if defined(__SSE2__)
    __m128i first[PROBE_MAX], last[PROBE_MAX];
#endif
};

// The groups of set found in text, as they add up: the pass ends when one
// of the groups that end it is found, or every group.
#if defined(__SSE2__)
template <int N>
unsigned ScanProbes(const ProbeSet* set, const char* text, size_t length)
{
    unsigned found = set->always;
    if (set->shortest > length)
        return found;
    const int n = N > 0 ? N : set->count;
    const size_t stop = length - set->shortest + 1;  // candidates of any probe are [0, stop)
    BoundaryScan scan = {text, 0};
    size_t i = 0;
    for (; i < stop;) {
        // Near the text's end one step of 16 places: a short text takes it alone.
        const bool tail = stop - i <= 16;
        // A step at i reads the longest probe's last bytes up to
        // i + step + longest - 2: no further than WANTS_SLACK past the text.
        if (i + (tail ? 16 : 64) + set->longest - 1 > length + WANTS_SLACK)
            break;
        uint64_t each[N > 0 ? N : PROBE_MAX];
        uint64_t any = 0;
        const char* t = text + i;
        if (tail) {
            const __m128i a = _mm_loadu_si128((const __m128i*)t);
            for (int j = 0; j < n; j++) {
                const __m128i b = _mm_loadu_si128((const __m128i*)(t + set->length[j] - 1));
                each[j] = (unsigned)_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(a, set->first[j]), _mm_cmpeq_epi8(b, set->last[j])));
            }
        } else {
            const __m128i a0 = _mm_loadu_si128((const __m128i*)t);
            const __m128i a1 = _mm_loadu_si128((const __m128i*)(t + 16));
            const __m128i a2 = _mm_loadu_si128((const __m128i*)(t + 32));
            const __m128i a3 = _mm_loadu_si128((const __m128i*)(t + 48));
            for (int j = 0; j < n; j++) {
                const char* u = t + set->length[j] - 1;
                const __m128i f = set->first[j], l = set->last[j];
                const __m128i b0 = _mm_loadu_si128((const __m128i*)u);
                const __m128i b1 = _mm_loadu_si128((const __m128i*)(u + 16));
                const __m128i b2 = _mm_loadu_si128((const __m128i*)(u + 32));
                const __m128i b3 = _mm_loadu_si128((const __m128i*)(u + 48));
                uint64_t m0 = (unsigned)_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(a0, f), _mm_cmpeq_epi8(b0, l)));
                uint64_t m1 = (unsigned)_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(a1, f), _mm_cmpeq_epi8(b1, l)));
                uint64_t m2 = (unsigned)_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(a2, f), _mm_cmpeq_epi8(b2, l)));
                uint64_t m3 = (unsigned)_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(a3, f), _mm_cmpeq_epi8(b3, l)));
                each[j] = m0 | m1 << 16 | m2 << 32 | m3 << 48;
            }
        }
        // A probe's candidates past its own last place, [0, length - its
        // length + 1), are left to the check of each candidate below: they
        // are few, and the step needs no mask.
        for (int j = 0; j < n; j++)
            any |= each[j];
        for (; any; any &= any - 1) {
            const int bit = __builtin_ctzll(any);
            const size_t at = i + (size_t)bit;
            unsigned hits = 0;
            for (int j = 0; j < n; j++) {
                if ((each[j] >> bit & 1) && at + set->length[j] <= length &&
                    !(found >> set->group[j] & 1) && SameMiddle(text + at, set->bytes[j], set->length[j]))
                    hits |= 1u << set->group[j];
            }
            if (hits && scan.At(at)) {
                found |= hits;
                if (found & set->ends || found == set->all)
                    return found;
            }
        }
        i += tail ? 16 : 64;
    }
    // What no step could read (probes of very different lengths near the
    // text's end): place by place.
    for (; i < stop; i++) {
        unsigned hits = 0;
        for (int j = 0; j < n; j++) {
            const size_t len = set->length[j];
            if (i + len <= length && !(found >> set->group[j] & 1) && text[i] == set->bytes[j][0] &&
                text[i + len - 1] == set->bytes[j][len - 1] && SameMiddle(text + i, set->bytes[j], len))
                hits |= 1u << set->group[j];
        }
        if (hits && scan.At(i)) {
            found |= hits;
            if (found & set->ends || found == set->all)
                return found;
        }
    }
    return found;
}
#else
template <int N>
unsigned ScanProbes(const ProbeSet* set, const char* text, size_t length)
{
    unsigned found = set->always;
    for (int j = 0; j < set->count; j++) {
        if (found & set->ends || found == set->all)
            break;
        if (!(found >> set->group[j] & 1) &&
            OccursOnBoundary(text, length, length, set->bytes[j], set->length[j]))
            found |= 1u << set->group[j];
    }
    return found;
}
#endif

void StartProbes(ProbeSet* set)
{
    set->count = 0;
    set->shortest = SIZE_MAX;
    set->longest = 0;
    set->always = set->all = set->ends = 0;
}

// Adds a probe of group (whose finding ends the pass when ends).
void AddProbe(ProbeSet* set, const char* bytes, size_t length, int group, bool ends)
{
    set->all |= 1u << group;
    if (ends)
        set->ends |= 1u << group;
    if (length == 0) {
        set->always |= 1u << group;
        return;
    }
    const int j = set->count++;
    set->bytes[j] = bytes;
    set->length[j] = length;
    set->group[j] = group;
    if (length < set->shortest)
        set->shortest = length;
    if (length > set->longest)
        set->longest = length;
#if defined(__SSE2__)
    set->first[j] = _mm_set1_epi8(bytes[0]);
    set->last[j] = _mm_set1_epi8(bytes[length - 1]);
#endif
}

// A set whose probes of length 0 decide every text alone.
unsigned ScanNone(const ProbeSet* set, const char*, size_t)
{
    return set->always;
}

// Chooses the pass laid out for the set's count.
void EndProbes(ProbeSet* set)
{
    if ((set->always & set->ends) || set->always == set->all) {
        set->scan = ScanNone;
        return;
    }
    switch (set->count) {
    case 1: set->scan = ScanProbes<1>; break;
    case 2: set->scan = ScanProbes<2>; break;
    case 3: set->scan = ScanProbes<3>; break;
    case 4: set->scan = ScanProbes<4>; break;
    default: set->scan = ScanProbes<0>; break;
    }
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

// The words of an exact search as probes: each word alone, for all the
// words (looked for word by word, a phrase left at the first it misses),
// and all of them in one set, for any word (one pass over the phrase).
struct ExactMatch {
    int count;
    ProbeSet word[SEARCH_WORD_COUNT];
    ProbeSet any;
};

void StartExactMatch(ExactMatch* m, const SearchWords* words)
{
    m->count = words->count;
    StartProbes(&m->any);
    for (int i = 0; i < words->count; i++) {
        StartProbes(&m->word[i]);
        AddProbe(&m->word[i], words->word[i], words->length[i], 0, true);
        EndProbes(&m->word[i]);
        AddProbe(&m->any, words->word[i], words->length[i], i, true);
    }
    EndProbes(&m->any);
}

bool WantsAllWords(void* context, const char* text, size_t length)
{
    const ExactMatch* m = (const ExactMatch*)context;
    for (int i = 0; i < m->count; i++) {
        if (!m->word[i].scan(&m->word[i], text, length))
            return false;
    }
    return true;
}

bool WantsAnyWord(void* context, const char* text, size_t length)
{
    const ExactMatch* m = (const ExactMatch*)context;
    return m->any.scan(&m->any, text, length) != 0;
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
};

struct FoldedMatch {
    const SearchWords* words;
    SearchWords probes;               // each word's run (length 0: none)
    bool whole[SEARCH_WORD_COUNT];    // the run is the whole word
    KanaForms forms[SEARCH_WORD_COUNT];
    bool folds;                       // some word is not whole: phrases may need folding
    ProbeSet word[SEARCH_WORD_COUNT]; // each word's run, or its katakana's forms
    ProbeSet any;                     // all of them, the whole words ending the pass
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
    // What ProbeOccurs looks for, word by word and all in one set.
    StartProbes(&m->any);
    for (int i = 0; i < words->count; i++) {
        ProbeSet* one = &m->word[i];
        StartProbes(one);
        const KanaForms* forms = &m->forms[i];
        for (int k = 0; k < forms->count; k++) {
            AddProbe(one, forms->form[k], forms->length[k], 0, true);
            AddProbe(&m->any, forms->form[k], forms->length[k], i, m->whole[i]);
        }
        if (forms->count <= 0) {
            AddProbe(one, m->probes.word[i], m->probes.length[i], 0, true);
            AddProbe(&m->any, m->probes.word[i], m->probes.length[i], i, m->whole[i]);
        }
        EndProbes(one);
    }
    EndProbes(&m->any);
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
        if (!m->word[i].scan(&m->word[i], text, length))
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
    // The words that may stand in the folded phrase, in one pass: it ends
    // at a whole word found.
    unsigned candidates = m->any.scan(&m->any, text, length);
    if (candidates & m->any.ends)
        return true;
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
    w.quietInside = true;  // the search acts only on labels beside the scope
    // The matchers' probes are made once, held off the stack (some KB each).
    ExactMatch* exact = nullptr;
    FoldedMatch* folded = nullptr;
    if (!words->folded) {
        exact = (ExactMatch*)malloc(sizeof(ExactMatch));
        if (exact)
            StartExactMatch(exact, words);
        else
            result = -1;
        w.wants = searchMode == 0 ? WantsAllWords : WantsAnyWord;
        w.wantsContext = exact;
    } else {
        // Folding each phrase as it comes holds one phrase's room, whatever
        // the size of the library.
        folded = (FoldedMatch*)malloc(sizeof(FoldedMatch));
        if (folded) {
            StartFoldedMatch(folded, words);
            folded->folded = (char*)calloc(KanaFoldRoom(PHRASE_BUFFER_SIZE) + WANTS_SLACK, 1);
        }
        if (!folded || !folded->folded)
            result = -1;
        w.wants = searchMode == 0 ? WantsAllFolded : WantsAnyFolded;
        w.wantsContext = folded;
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
    if (folded)
        free(folded->folded);
    free(folded);
    free(exact);
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
