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
    std::string path = FuzzPath("import.htm");
    // Read as it comes, the document gives the file it gives read whole, or
    // nothing; a refused one always nothing.
    FILE* streamed = FileOpen(path.c_str(), "w+b");
    FUZZ_CHECK(streamed != nullptr);
    bool taken = StreamLibraryText((const char*)data, size, streamed);
    if (!ParseJson(std::string((const char*)data, size), &library, &error)) {
        FUZZ_CHECK(!error.empty() && !taken);
        FileClose(streamed);
        return 0;
    }
    std::string text = LibraryText(library);
    if (taken) {
        FUZZ_CHECK(ftell(streamed) == (long)text.size());
        rewind(streamed);
        std::string got(text.size(), '\0');
        FUZZ_CHECK(fread(&got[0], 1, got.size(), streamed) == got.size() && got == text);
    }
    FileClose(streamed);
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
    // What flp export writes is always read as it comes.
    streamed = FileOpen(path.c_str(), "w+b");
    FUZZ_CHECK(streamed && StreamLibraryText(json.data(), json.size(), streamed));
    FileClose(streamed);
    return 0;
}
