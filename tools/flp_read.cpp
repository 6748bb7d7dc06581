// flp's commands that read a library: tree, list, search, check, export.
#include "tools/flp_read.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/sjis.h"
#include "library/phrase_reader.h"
#include "library/phrase_search.h"
#include "tools/flp_common.h"
#include "tools/flp_json.h"
#include "tools/flp_text.h"

namespace {

// The find dialog's field holds 79 bytes; the search text is cut the same way.
const size_t SEARCH_TEXT_LIMIT = 79;

// Writes phrases to standard output, each followed by its terminator.
// Into a file or a pipe with --raw, the phrases are gathered in a buffer of
// GATHER_SIZE and written whole, standard output unbuffered (main sets it
// so): one write of many phrases, where each took an fwrite and a putchar.
// A phrase of GATHER_SIZE or more is written as it is, past the buffer.
const size_t GATHER_SIZE = 64 * 1024;
struct PrintContext {
    char terminator;
    bool failed;
    char* gathered;  // null: each phrase goes through PutText
    size_t used;
};

bool g_outputGathered = false;

// Starts the buffer when the output is gathered; without memory for it the
// phrases go through PutText into the unbuffered stream.
void StartPrint(PrintContext* c)
{
    c->gathered = g_outputGathered ? (char*)malloc(GATHER_SIZE) : nullptr;
    c->used = 0;
}

// Writes what the buffer holds; false when the write fails.
bool FlushGathered(PrintContext* c)
{
    size_t n = c->used;
    c->used = 0;
    if (n > 0 && fwrite(c->gathered, 1, n, stdout) != n)
        c->failed = true;
    return !c->failed;
}

// Writes the rest and lets the buffer go.
void EndPrint(PrintContext* c)
{
    if (c->gathered && !c->failed)
        FlushGathered(c);
    free(c->gathered);
    c->gathered = nullptr;
}

int PrintPhrase(void* context, const char* text, size_t length)
{
    PrintContext* c = (PrintContext*)context;
    if (c->gathered) {
        if (length + 1 > GATHER_SIZE - c->used && !FlushGathered(c))
            return -1;
        if (length >= GATHER_SIZE) {
            if (fwrite(text, 1, length, stdout) != length) {
                c->failed = true;
                return -1;
            }
        } else {
            memcpy(c->gathered + c->used, text, length);
            c->used += length;
        }
        c->gathered[c->used++] = c->terminator;
        return 0;
    }
    if (PutText(text, length) != 0 || putchar(c->terminator) == EOF) {
        c->failed = true;
        return -1;
    }
    return 0;
}

}  // namespace

void SetOutputGathered(bool gathered)
{
    g_outputGathered = gathered;
}

// Prints the labels in file order as they are read: the file is checked
// whole first, so a malformed file prints nothing.
int CommandTree(int argc, char** argv)
{
    if (argc != 1)
        return Usage();
    LibraryFiles files;
    if (WalkLibrary(argv[0], &files, nullptr, nullptr) != EXIT_OK)
        return EXIT_FAILED;
    PhraseWalker w;
    int result = OpenWalk(&w, files.phrase, nullptr, false, nullptr) == 0 ? EXIT_OK : EXIT_FAILED;
    w.quiet = true;
    char held[LABEL_NAME_SIZE];
    if (result == EXIT_OK &&
        WalkEach(&w, [&](int event) {
            if (event == WALK_LABEL) {
                for (int i = 1; i < w.depth; i++)
                    fputs("    ", stdout);
                FitLabelName(held, w.text);
                PutText(held, strlen(held));
                putchar('\n');
            }
            return WALK_ON;
        }) != 0)
        result = Fail("%s: the file changed while it was read", argv[0]);
    EndWalk(&w);
    return FinishOutput(result);
}

int CommandList(int argc, char** argv)
{
    PrintContext print = {'\n', false, nullptr, 0};
    if (argc > 0 && strcmp(argv[0], "-0") == 0) {
        print.terminator = '\0';
        argc--;
        argv++;
    }
    if (argc < 2 || IsUnknownOption(argv[0]))
        return Usage();
    // The label's path is looked up in the file itself; no tree is held.
    NamePath* names = (NamePath*)malloc(sizeof(NamePath));
    if (!names)
        return Fail("out of memory");
    LibraryFiles files;
    int result = FindNamePath(argv[0], argv + 1, argc - 1, names, &files);
    if (result == EXIT_OK) {
        PhraseSink sink = {&print, PrintPhrase};
        StartPrint(&print);
        int read = ReadPhrasesAt(files.phrase, &names->path, &sink);
        EndPrint(&print);
        if (read != 0 && !print.failed)
            result = Fail("%s: the label's phrases cannot be read", argv[0]);
    }
    free(names);
    if (print.failed)
        return Fail("cannot write the output");
    return FinishOutput(result);
}

int CommandSearch(int argc, char** argv)
{
    PrintContext print = {'\n', false, nullptr, 0};
    int mode = 0;
    bool fold = false;
    char** under = (char**)calloc((size_t)argc + 1, sizeof(char*));
    if (!under)
        return Fail("out of memory");
    int underCount = 0;
    int i = 0;
    for (; i < argc; i++) {
        if (strcmp(argv[i], "-0") == 0) {
            print.terminator = '\0';
        } else if (strcmp(argv[i], "--or") == 0) {
            mode = 1;
        } else if (strcmp(argv[i], "--fold") == 0) {
            fold = true;
        } else if (strcmp(argv[i], "--under") == 0) {
            if (i + 1 >= argc)
                break;
            under[underCount++] = argv[++i];
        } else {
            break;
        }
    }
    if (argc - i != 2 || IsUnknownOption(argv[i])) {
        free(under);
        return Usage();
    }
    const char* path = argv[i];
    const char* text = argv[i + 1];

    char searchText[SEARCH_TEXT_LIMIT + 1];
    size_t n = SjisFitLength(text, strlen(text), SEARCH_TEXT_LIMIT);
    memcpy(searchText, text, n);
    searchText[n] = '\0';
    SearchWords words;
    if (!fold)
        BuildSearchWords(searchText, &words);
    else if (!BuildFoldedSearchWords(searchText, &words)) {
        free(under);
        return Fail("out of memory");
    }

    // The scope is looked up in the file itself; no tree is held.
    NamePath* names = (NamePath*)malloc(sizeof(NamePath));
    if (!names) {
        free(under);
        return Fail("out of memory");
    }
    bool deepEnough = SetNamePath(names, under, underCount);
    bool found = false;
    LibraryFiles files;
    int result = EXIT_OK;
    if (underCount > 0) {
        result = WalkLibrary(path, &files, &names->path, &found);
        if (result == EXIT_OK && !(found && deepEnough))
            result = Fail("no label at that path");
    } else {
        result = UseLibraryFiles(path, &files);
    }
    if (result == EXIT_OK) {
        PhraseSink sink = {&print, PrintPhrase};
        StartPrint(&print);
        int searched = SearchLibraryAt(files.phrase, &words, mode, &names->path, &sink);
        EndPrint(&print);
        if (searched != 0 && !print.failed) {
            // Say where the file is wrong when the label reader can tell.
            LibraryError error;
            error = LibraryError();
            LibraryCounts counts;
            if (WalkLibraryFile(files.phrase, nullptr, &counts, &error) != 0)
                FailLibrary("flp: ", path, &error);
            else
                Fail("%s: the search stopped at a malformed part of the file", path);
            result = EXIT_FAILED;
        }
    }
    free(names);
    free(under);
    if (print.failed)
        return Fail("cannot write the output");
    return FinishOutput(result);
}

int CommandCheck(int argc, char** argv)
{
    if (argc != 1)
        return Usage();
    const char* path = argv[0];
    LibraryError error;
    error = LibraryError();
    LibraryCounts counts;
    if (WalkLibraryFile(path, nullptr, &counts, &error) != 0)
        return FailLibrary("", path, &error);
    printf("%ld label%s, %ld phrase%s\n", counts.labels, counts.labels == 1 ? "" : "s",
           counts.phrases, counts.phrases == 1 ? "" : "s");
    return FinishOutput(EXIT_OK);
}

namespace {

bool WriteOut(void*, const char* bytes, size_t n)
{
    return fwrite(bytes, 1, n, stdout) == n;
}

}  // namespace

int CommandExport(int argc, char** argv)
{
    if (argc < 1 || (argv[0][0] == '-' && argv[0][1]))
        return Usage("export");
    const char* path = argv[0];
    NamePath* names = (NamePath*)malloc(sizeof(NamePath));
    if (!names)
        return Fail("out of memory");
    LibraryFiles files;
    std::string error;
    int result = FindNamePath(path, argv + 1, argc - 1, names, &files);
    if (result == EXIT_OK && !ExportJson(path, &names->path, WriteOut, nullptr, &error))
        result = error.empty() ? Fail("cannot write the output") : Fail("%s: %s", path, error.c_str());
    free(names);
    if (result != EXIT_OK)
        return result;
    if (fflush(stdout) != 0)
        return Fail("cannot write the output");
    return EXIT_OK;
}
