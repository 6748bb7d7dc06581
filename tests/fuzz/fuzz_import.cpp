// flp import on any bytes: a document is refused with a reason, or becomes a
// library that the reader accepts and that exports and imports again to the
// same bytes.
#include "library/phrase_walker.h"
#include "tests/fuzz/fuzz_files.h"
#include "tools/flp_json.h"
#include "tools/flp_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = false;
    if (!started) {
        StartTerminal(TERMINAL_LOCALE);
        started = true;
    }
    ImportedLibrary library;
    std::string error;
    if (!ParseJson(std::string((const char*)data, size), &library, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::string text = LibraryText(library);
    std::string path = FuzzPath("import.htm");
    WriteFuzzFile(path, text);
    LibraryError fault;
    memset(&fault, 0, sizeof fault);
    LibraryCounts counts;
    FUZZ_CHECK(WalkLibraryFile(path.c_str(), nullptr, &counts, &fault) == 0);

    std::string json;
    FUZZ_CHECK(ExportJson(path.c_str(), nullptr, &json, &error));
    ImportedLibrary again;
    FUZZ_CHECK(ParseJson(json, &again, &error));
    FUZZ_CHECK(LibraryText(again) == text);
    return 0;
}
