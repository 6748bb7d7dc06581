// The filter's held copies of the library and its query over them.
#include "library/phrase_filter.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "common/sjis.h"
#include "library/kana_fold.h"
#include "library/phrase_search.h"
#include "library/phrase_walker.h"

namespace {

// How many phrases a query matches between two questions to goOn: a few
// hundred microseconds of work, so a key typed meanwhile waits no longer.
const uint32_t GO_ON_EVERY = 4096;

void Append(std::vector<char>* block, const char* bytes, size_t length)
{
    block->insert(block->end(), bytes, bytes + length);
    block->push_back('\0');
}

// One event of the walk over the whole file, every label entered: WALK_ON,
// or -1 when the file is not what the search would read either. Throws
// bad_alloc when a block cannot grow.
int HoldEvent(LibraryHold* hold, HeldLibrary* held, int event)
{
    PhraseWalker& w = hold->walker;
    switch (event) {
    case WALK_LABEL: {
        char name[LABEL_NAME_SIZE];
        FitLabelName(name, w.text);
        uint32_t index = (uint32_t)held->labels.size();
        held->labels.push_back(HeldLabel{hold->open[w.depth - 1], (uint32_t)held->names.size()});
        Append(&held->names, name, strlen(name));
        hold->open[w.depth] = index;
        return WALK_ON;
    }
    case WALK_TEXT:
        // A loose line where a phrase should stand.
        return w.inPhrase ? WALK_ON : -1;
    case WALK_PHRASE: {
        // The copies are reached by 32-bit offsets: a library whose
        // phrases outgrow them is not held (the filter then finds nothing
        // rather than wrong rows).
        if (held->texts.size() + w.phrase.length + 1 > UINT32_MAX ||
            held->folded.size() + KanaFoldRoom(w.phrase.length) + WANTS_SLACK > UINT32_MAX)
            throw std::bad_alloc();
        HeldPhrase phrase;
        phrase.text = (uint32_t)held->texts.size();
        phrase.folded = (uint32_t)held->folded.size();
        phrase.label = hold->open[w.phraseDepth];
        Append(&held->texts, w.phrase.text, w.phrase.length);
        held->folded.resize(phrase.folded + KanaFoldRoom(w.phrase.length));
        phrase.foldedLength = (uint32_t)KanaFold(w.phrase.text, w.phrase.length, &held->folded[phrase.folded]);
        held->folded.resize(phrase.folded + phrase.foldedLength);
        held->phrases.push_back(phrase);
        return WALK_ON;
    }
    default:
        return WALK_ON;
    }
}

// Empties held and starts the walk; the stamp is taken first, so a change
// made during the hold is seen at the next check. Returns 0 or -1.
int BeginHold(LibraryHold* hold, const char* phrasePath, HeldLibrary* held)
{
    ReleaseHeldLibrary(held);
    if (TakeFileStamp(phrasePath, &hold->stamp) != 0)
        return -1;
    // The phrases take less room than the file that marks them up, and
    // fold mostly to their own length: the blocks seldom grow.
    held->texts.reserve(hold->stamp.size);
    held->folded.reserve(hold->stamp.size + WANTS_SLACK);
    hold->open.assign(MAX_LABEL_DEPTH + 1, 0);
    held->labels.push_back(HeldLabel{0, 0});
    held->names.push_back('\0');
    hold->whole = LabelPath{};
    hold->walking = true;
    hold->paused = false;
    if (OpenWalk(&hold->walker, phrasePath, &hold->whole, true, &hold->error) != 0)
        return -1;
    hold->walker.quiet = true;
    return 0;
}

// Goes on with a paused walk when the file is still the one it began on.
// Returns 0, 1 when the file changed (the hold begins again) or -1.
int ResumeHold(LibraryHold* hold, const char* phrasePath)
{
    if (ResumeWalk(&hold->walker, phrasePath, hold->at) != 0)
        return 1;  // the file is gone or cannot be opened: the new start tells
    hold->paused = false;
    FileStamp now;
    // Taken with the file open: it cannot be replaced from here on.
    if (TakeFileStamp(phrasePath, &now) != 0 || !SameFileStamp(&now, &hold->stamp))
        return 1;
    return 0;
}

}  // namespace

int HoldMore(LibraryHold* hold, const char* phrasePath, HeldLibrary* held, size_t phrases)
{
    int result;
    try {
        if (hold->walking && hold->paused && ResumeHold(hold, phrasePath) != 0) {
            EndHold(hold, held);
        }
        if (!hold->walking && BeginHold(hold, phrasePath, held) != 0) {
            EndHold(hold, held);
            return -1;
        }
        const size_t before = held->phrases.size();
        result = 1;
        while (result == 1 && (phrases == 0 || held->phrases.size() - before < phrases)) {
            int event = WalkNext(&hold->walker);
            if (event == WALK_FAILED || HoldEvent(hold, held, event) != WALK_ON)
                result = -1;
            else if (event == WALK_END)
                result = 0;
        }
        if (result == 0) {
            held->folded.insert(held->folded.end(), WANTS_SLACK, '\0');
            held->texts.shrink_to_fit();
            held->folded.shrink_to_fit();
            held->phrases.shrink_to_fit();
        }
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (result == 1)
        return 1;
    // The file is let go before the caller learns.
    FileStamp stamp = hold->stamp;
    EndWalk(&hold->walker);
    hold->walking = hold->paused = false;
    std::vector<uint32_t>().swap(hold->open);
    if (result != 0) {
        ReleaseHeldLibrary(held);
        return -1;
    }
    held->stamp = stamp;
    return 0;
}

void PauseHold(LibraryHold* hold)
{
    if (!hold->walking || hold->paused)
        return;
    long at = PauseWalk(&hold->walker);
    if (at >= 0) {
        hold->at = at;
        hold->paused = true;
    }
}

void EndHold(LibraryHold* hold, HeldLibrary* held)
{
    if (hold->walking)
        EndWalk(&hold->walker);
    hold->walking = hold->paused = false;
    std::vector<uint32_t>().swap(hold->open);
    ReleaseHeldLibrary(held);
}

void ReleaseHeldLibrary(HeldLibrary* held)
{
    std::vector<char>().swap(held->texts);
    std::vector<char>().swap(held->folded);
    std::vector<char>().swap(held->names);
    std::vector<HeldLabel>().swap(held->labels);
    std::vector<HeldPhrase>().swap(held->phrases);
    held->stamp = FileStamp{};
}

int HoldLibrary(const char* phrasePath, HeldLibrary* held, LibraryError* error)
{
    LibraryHold hold = {};
    int result = HoldMore(&hold, phrasePath, held, 0);
    if (result != 0 && error)
        *error = hold.error;
    return result;
}

bool HeldLibraryCurrent(const HeldLibrary* held, const char* phrasePath)
{
    FileStamp now;
    return held->stamp.known && TakeFileStamp(phrasePath, &now) == 0 && SameFileStamp(&now, &held->stamp);
}

size_t HeldLibraryBytes(const HeldLibrary* held)
{
    return held->texts.capacity() + held->folded.capacity() + held->names.capacity() +
           held->labels.capacity() * sizeof(HeldLabel) + held->phrases.capacity() * sizeof(HeldPhrase);
}

bool BuildFilterWords(const char* text, size_t size, SearchWords* words)
{
    char bounded[SEARCH_WORD_SIZE];
    size_t n = 0;
    while (n < size && text[n])
        n++;
    n = SjisFitLength(text, n, SEARCH_WORD_SIZE - 1);
    memcpy(bounded, text, n);
    bounded[n] = '\0';
    return BuildFoldedSearchWords(bounded, words);
}

long FilterHeldLibrary(const HeldLibrary* held, const SearchWords* words, const FilterGoOn* goOn,
                       std::vector<uint32_t>* rows)
{
    rows->clear();
    const uint32_t count = (uint32_t)held->phrases.size();
    const char* folded = held->folded.data();
    try {
        for (uint32_t i = 0; i < count; i++) {
            if (i % GO_ON_EVERY == GO_ON_EVERY - 1 && goOn && !goOn->goOn(goOn->context))
                return -1;
            const HeldPhrase& p = held->phrases[i];
            if (MatchAllWords(folded + p.folded, p.foldedLength, words, WANTS_SLACK))
                rows->push_back(i);
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return (long)rows->size();
}

void HeldLabelPath(const HeldLibrary* held, uint32_t phrase, char* text, size_t size)
{
    if (size == 0)
        return;
    text[0] = '\0';
    if (phrase >= held->phrases.size())
        return;
    uint32_t up[MAX_LABEL_DEPTH];
    int depth = 0;
    for (uint32_t label = held->phrases[phrase].label; label != 0 && depth < MAX_LABEL_DEPTH;
         label = held->labels[label].parent)
        up[depth++] = label;
    size_t used = 0;
    for (int i = depth - 1; i >= 0; i--) {
        const char* parts[2] = {i == depth - 1 ? "" : " > ", held->names.data() + held->labels[up[i]].name};
        for (const char* part : parts) {
            size_t n = SjisFitLength(part, strlen(part), size - 1 - used);
            memcpy(text + used, part, n);
            used += n;
        }
    }
    text[used] = '\0';
}
