// The search on fuzzed library bytes and search texts.
//
// Input: sections split at "\n==\n": [0] two bytes, the mode (bit 0: AND
// / OR; bit 1: forgiving, the words and phrases folded) and the scope's
// index among the labels (past the end: the whole library); [1] the search
// text; [2] the phrase file.
//
// Every hit matches the words. On a file whose phrases and labels nest
// properly and whose sibling names differ, the hits are exactly the phrases
// that the phrase reader shows for the labels in scope and that match.
// Folding keeps to its room, and a folded text folds to itself.
#include <algorithm>

#include "common/sjis.h"
#include "library/kana_fold.h"
#include "library/phrase_reader.h"
#include "library/phrase_search.h"
#include "library/phrase_token.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

// True when every phrase stands directly in a label, every quoted line
// (other than a label's name) in a phrase, and nothing is left open.
bool NestsProperly(const std::string& path)
{
    FILE* f = FileOpen(path.c_str(), "rb");
    if (!f)
        return false;
    TokenReader r;
    if (StartTokenReader(&r, f) != 0) {
        FileClose(f);
        return false;
    }
    std::vector<char> text(PHRASE_BUFFER_SIZE);
    bool ok = true, inPhrase = false, done = false;
    long depth = 0;
    while (ok && !done) {
        switch (ReadToken(&r, text.data(), text.size())) {
        case TOKEN_LABEL_OPEN:
            ok = !inPhrase && ReadToken(&r, text.data(), text.size()) == TOKEN_TEXT;
            depth++;
            break;
        case TOKEN_LABEL_CLOSE:
            ok = !inPhrase;
            done = --depth == 0;
            break;
        case TOKEN_PHRASE_OPEN:
            ok = !inPhrase && depth > 0;
            inPhrase = true;
            break;
        case TOKEN_PHRASE_CLOSE:
            ok = inPhrase;
            inPhrase = false;
            break;
        case TOKEN_TEXT:
            ok = inPhrase;
            break;
        case TOKEN_END:
            ok = false;
            break;
        default:
            break;
        }
    }
    EndTokenReader(&r);
    FileClose(f);
    return ok;
}

// The text folded, with the bytes past its room poisoned by a mark that
// an overrun would overwrite.
std::string Folded(const std::string& text)
{
    const size_t room = KanaFoldRoom(text.size());
    std::string out(room + 8, '\x7f');
    size_t n = KanaFold(text.data(), text.size(), &out[0]);
    FUZZ_CHECK(n <= room && out.compare(room, 8, std::string(8, '\x7f')) == 0);
    out.resize(n);
    return out;
}

bool NamesDifferAmongSiblings(const std::vector<LabelNode*>& labels)
{
    for (LabelNode* label : labels)
        if (!PathIsUnique(label))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> sections = FuzzSections(data, size);
    if (sections.size() < 3 || sections[0].size() < 2)
        return 0;
    const int mode = sections[0][0] & 1;
    const bool fold = (sections[0][0] & 2) != 0;
    const unsigned pick = (unsigned char)sections[0][1];
    std::string path = FuzzPath("lib.htm");
    WriteFuzzFile(path, sections[2]);

    // The find dialog's field holds 79 bytes.
    std::string searchText(sections[1].c_str());
    searchText.resize(SjisFitLength(searchText.data(), searchText.size(), 79));
    SearchWords words;
    if (fold)
        FUZZ_CHECK(BuildFoldedSearchWords(searchText.c_str(), &words));
    else
        BuildSearchWords(searchText.c_str(), &words);
    FUZZ_CHECK(words.folded == fold);
    if (fold) {
        std::string folded = Folded(searchText);
        FUZZ_CHECK(Folded(folded) == folded);
        FUZZ_CHECK(Folded(sections[2]) == Folded(Folded(sections[2])));
    }
    FUZZ_CHECK(words.count >= 0 && words.count <= SEARCH_WORD_COUNT);
    for (int i = 0; i < words.count; i++) {
        FUZZ_CHECK(words.length[i] > 0 && words.length[i] < (size_t)SEARCH_WORD_SIZE);
        FUZZ_CHECK(strlen(words.word[i]) == words.length[i]);
    }
    bool (*matcher)(const char*, size_t, const SearchWords*, size_t) = mode ? MatchAnyWord : MatchAllWords;
    auto match = [&](const char* text, size_t length, const SearchWords* w, size_t slack) {
        if (!fold)
            return matcher(text, length, w, slack);
        std::string folded = Folded(std::string(text, length));
        return matcher(folded.data(), folded.size(), w, slack);
    };

    LabelNode* root = nullptr;
    ReadLabelTree(path.c_str(), &root);
    std::vector<LabelNode*> labels = LabelsInOrder(root);
    LabelNode* scope = nullptr;
    if (!labels.empty() && pick % (labels.size() + 1) < labels.size())
        scope = labels[pick % (labels.size() + 1)];

    Collected hits;
    PhraseSink sink = {&hits, CollectPhrase};
    int result = SearchLibraryFile(path.c_str(), &words, mode, scope, &sink);
    for (const std::string& hit : hits.texts) {
        FUZZ_CHECK(hit.size() < (size_t)PHRASE_BUFFER_SIZE);
        FUZZ_CHECK(match(hit.data(), hit.size(), &words, 0));
    }

    if (root && labels.size() <= 64 && NamesDifferAmongSiblings(labels) && NestsProperly(path)) {
        FUZZ_CHECK(result == 0);
        std::vector<const LabelNode*> inScope;
        if (!scope) {
            inScope.push_back(root);
            inScope.insert(inScope.end(), labels.begin(), labels.end());
        } else {
            for (LabelNode* label : labels) {
                for (const LabelNode* up = label; up; up = up->parent) {
                    if (up == scope) {
                        inScope.push_back(label);
                        break;
                    }
                }
            }
        }
        std::vector<std::string> expected;
        for (const LabelNode* label : inScope) {
            Collected phrases;
            PhraseSink each = {&phrases, CollectPhrase};
            FUZZ_CHECK(ReadPhraseList(path.c_str(), label == root ? nullptr : label, &each) == 0);
            for (const std::string& text : phrases.texts)
                if (match(text.data(), text.size(), &words, 0))
                    expected.push_back(text);
        }
        std::vector<std::string> got = hits.texts;
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        FUZZ_CHECK(got == expected);
    }
    if (root)
        FreeLabelTree(root);
    return 0;
}
