// The filter's held copies of fuzzed library bytes, and a query over them.
//
// Input: sections split at "\n==\n": [0] the box's text; [1] the phrase
// file.
//
// The copies are held exactly when the search can walk the file, and the
// query over them lists what the folded search of the file lists, in the
// same order (each as far as a list item goes, to its first NUL). Every phrase's label is a label held, and its path fits.
#include "library/phrase_filter.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> sections = FuzzSections(data, size);
    if (sections.size() < 2)
        return 0;
    std::string path = FuzzPath("lib.htm");
    WriteFuzzFile(path, sections[1]);

    SearchWords words;
    FUZZ_CHECK(BuildFilterWords(sections[0].data(), sections[0].size(), &words));
    FUZZ_CHECK(words.folded && words.count <= SEARCH_WORD_COUNT);
    Collected found;
    PhraseSink sink = {&found, CollectPhrase};
    int searched = SearchLibraryFile(path.c_str(), &words, 0, nullptr, &sink);

    HeldLibrary held;
    int result = HoldLibrary(path.c_str(), &held);
    FUZZ_CHECK((result == 0) == (searched == 0));
    if (result != 0) {
        FUZZ_CHECK(held.phrases.empty() && !HeldLibraryCurrent(&held, path.c_str()));
        return 0;
    }
    FUZZ_CHECK(HeldLibraryCurrent(&held, path.c_str()));
    std::vector<uint32_t> rows;
    FUZZ_CHECK(FilterHeldLibrary(&held, &words, nullptr, &rows) == (long)rows.size());
    FUZZ_CHECK(rows.size() == found.texts.size());
    // A list item ends at a NUL, as the held text does.
    for (size_t i = 0; i < rows.size(); i++)
        FUZZ_CHECK(found.texts[i].c_str() == std::string(held.texts.data() + held.phrases[rows[i]].text));
    for (uint32_t i = 0; i < held.phrases.size(); i++) {
        FUZZ_CHECK(held.phrases[i].label < held.labels.size());
        char label[40];
        HeldLabelPath(&held, i, label, sizeof label);
        FUZZ_CHECK(strlen(label) < sizeof label);
    }
    return 0;
}
