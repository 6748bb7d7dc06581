// The word search over the phrase file.
#include "library/phrase_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/sjis.h"
#include "library/phrase_token.h"

namespace {

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
    for (; i + 16 <= stop; i += 16) {
        __m128i a = _mm_loadu_si128((const __m128i*)(text + i));
        __m128i b = _mm_loadu_si128((const __m128i*)(text + i + wordLength - 1));
        unsigned mask = (unsigned)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, firstBytes), _mm_cmpeq_epi8(b, lastBytes)));
        while (mask) {
            size_t at = i + (size_t)__builtin_ctz(mask);
            if (memcmp(text + at + 1, word + 1, wordLength - 2) == 0)
                return text + at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < stop; i++) {
        if (text[i] == first && text[i + wordLength - 1] == last &&
            memcmp(text + i + 1, word + 1, wordLength - 2) == 0)
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

// One step of the scope's path: the label's held name, and how many earlier
// siblings hold the same name. Of equal siblings in a hand-edited file only
// the one at the scope's own place is on the path, as for ReadPhraseList and
// the rewrites.
struct PathStep {
    const char* name;
    int ordinal;
};

void FillPath(const LabelNode* scope, int n, PathStep* path)
{
    const LabelNode* node = scope;
    for (int k = n - 1; k >= 0; k--, node = node->parent) {
        path[k].name = node->name;
        path[k].ordinal = 0;
        for (const LabelNode* s = node->parent->firstChild; s && s != node; s = s->nextSibling) {
            if (strcmp(s->name, node->name) == 0)
                path[k].ordinal++;
        }
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

// One pass over the file. Labels off the scope's path are skipped whole
// (their heads must still carry names); inside the scope every label is
// entered. A phrase left open ends at the next <p> or at its label's close,
// as ReadPhraseList shows it.
int SearchLibraryFile(const char* phrasePath, const SearchWords* words, int searchMode,
                      const LabelNode* scope, const PhraseSink* sink)
{
    int n = scope ? LabelDepth(scope) : 0;
    if (n > MAX_LABEL_DEPTH)
        return -1;
    PathStep* path = (PathStep*)malloc((n + 1) * sizeof *path);
    char* scratch = (char*)malloc(PHRASE_BUFFER_SIZE);
    char* text = (char*)malloc(PHRASE_BUFFER_SIZE + 1);  // see ReadPhraseList
    FILE* file = nullptr;
    TokenReader tokens;
    TokenReader* r = &tokens;
    int result = 0;
    if (!path || !scratch || !text) {
        result = -1;
    } else if (!(file = fopen(phrasePath, "rb"))) {
        result = -1;
    } else if (StartTokenReader(r, file) < 0) {
        fclose(file);
        file = nullptr;
        result = -1;
    } else if (ReadToken(r, scratch, PHRASE_BUFFER_SIZE) != TOKEN_LABEL_OPEN ||
               ReadToken(r, scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT) {
        result = -1;
    }
    if (result == 0)
        FillPath(scope, n, path);
    bool (*match)(const char*, size_t, const SearchWords*) =
        searchMode == 0 ? MatchAllWords : MatchAnyWord;
    int depth = 0;               // of the open label; the root is 0
    int seen = 0;                // labels at this level holding the next step's name
    bool pathDone = false;       // the scope has closed, or the label that should hold it
    bool inPhrase = false;
    bool keep = false;           // the open phrase is in scope: its text is kept
    int phraseDepth = 0;
    PhraseLines phrase = {text, 0, false};
    while (result == 0) {
        size_t room = PHRASE_BUFFER_SIZE;
        char* into = keep ? NextPhraseLine(&phrase, &room) : scratch;
        size_t got = 0;
        int token = ReadToken(r, into, room, &got);
        bool endPhrase = false;
        bool done = false;
        switch (token) {
        case TOKEN_LABEL_OPEN:
            if (ReadToken(r, scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT) {
                result = -1;
            } else if (depth >= n) {
                if (depth == MAX_LABEL_DEPTH)
                    result = -1;
                depth++;
            } else if (!pathDone && LabelNameMatches(scratch, path[depth].name) &&
                       seen++ == path[depth].ordinal) {
                depth++;
                seen = 0;
            } else {
                // Skipped whole; its heads must still carry names.
                int inner = 0;
                while (result == 0) {
                    int t = ReadToken(r, scratch, PHRASE_BUFFER_SIZE);
                    if (t == TOKEN_LABEL_OPEN) {
                        if (depth + 1 + inner >= MAX_LABEL_DEPTH ||
                            ReadToken(r, scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT)
                            result = -1;
                        inner++;
                    } else if (t == TOKEN_LABEL_CLOSE) {
                        if (inner == 0)
                            break;
                        inner--;
                    } else if (t == TOKEN_END) {
                        result = -1;
                    }
                }
            }
            break;
        case TOKEN_LABEL_CLOSE:
            endPhrase = inPhrase && phraseDepth == depth;
            if (depth <= n)
                pathDone = true;
            if (depth == 0)
                done = true;
            else
                depth--;
            break;
        case TOKEN_PHRASE_OPEN:
        case TOKEN_PHRASE_CLOSE:
            endPhrase = inPhrase;
            break;
        case TOKEN_TEXT:
            if (!inPhrase) {
                result = -1;
            } else if (keep) {
                KeepPhraseLine(&phrase, got);
            }
            break;
        case TOKEN_END:
            result = -1;
            break;
        default:
            break;
        }
        if (endPhrase) {
            if (keep && match(text, phrase.length, words)) {
                text[phrase.length] = '\0';
                if (sink->add(sink->context, text, phrase.length) < 0)
                    result = -1;
            }
            inPhrase = keep = false;
        }
        if (token == TOKEN_PHRASE_OPEN) {
            inPhrase = true;
            keep = depth >= n;
            phraseDepth = depth;
            StartPhraseLines(&phrase);
        }
        if (done)
            break;
    }
    if (file) {
        EndTokenReader(r);
        fclose(file);
    }
    free(text);
    free(scratch);
    free(path);
    return result;
}
