// flp: the phrase library from the command line.
//
// Runs the program's own readers, rewrites and search on a library file, so
// that a library can be inspected and edited from scripts. Names and texts
// are converted between the terminal and the file's Shift-JIS (flp_text;
// --raw passes the bytes through). Exit codes:
// 0 success, 1 the operation failed or was refused (one line on stderr),
// 2 usage error.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
// Arguments are label names, never file patterns.
extern "C" {
int _dowildcard = 0;
}
#else
#include <unistd.h>
#endif

#include "common/sjis.h"
#include "common/writer_lock.h"
#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_library.h"
#include "library/phrase_token.h"
#include "library/phrase_walker.h"
#include "tools/flp_commands.h"
#include "tools/flp_text.h"
#include "tools/flp_view.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

// The find dialog's field holds 79 bytes; the search text is cut the same way.
const size_t SEARCH_TEXT_LIMIT = 79;

// Longest phrase the phrase list can hold.
const size_t PHRASE_TEXT_LIMIT = PHRASE_BUFFER_SIZE - 1;

const char kUsage[] =
    "usage: flp [--raw|--utf8] COMMAND ...   (flp --help, flp COMMAND --help)\n"
    "       flp tree FILE\n"
    "       flp list [-0] FILE NAME...\n"
    "       flp search [-0] [--or] [--under NAME]... FILE TEXT\n"
    "       flp check FILE\n"
    "       flp create FILE\n"
    "       flp new FILE --above|--below|--into NAME...\n"
    "       flp rename FILE NEWNAME NAME...\n"
    "       flp cut FILE NAME...\n"
    "       flp copy FILE NAME...\n"
    "       flp paste FILE --above|--below|--into NAME...\n"
    "       flp store FILE [NAME...]\n"
    "       flp export FILE [NAME...]\n"
    "       flp import FILE [--force] [JSON] [--into NAME...]\n"
    "NAME... is a label's name path, one argument per name, top level first.\n"
    "store reads NUL-terminated phrases from standard input; list and search\n"
    "end each phrase with LF, or with NUL after -0.\n";

int Usage()
{
    fputs(kUsage, stderr);
    return EXIT_USAGE;
}

int Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("flp: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return EXIT_FAILED;
}

// "FILE:LINE: what", or "FILE: what" when no line is known.
void PrintLibraryError(const char* prefix, const char* path, const LibraryError* error,
                       const char* fallback)
{
    const char* what = error->what[0] ? error->what : fallback;
    if (error->line > 0)
        fprintf(stderr, "%s%s:%ld: %s\n", prefix, path, error->line, what);
    else
        fprintf(stderr, "%s%s: %s\n", prefix, path, what);
}

// Ends a command that wrote to standard output: a failed write (a full
// disk, a closed pipe) must not pass for success.
int FinishOutput(int result)
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        if (result == EXIT_OK)
            return Fail("cannot write the output");
    }
    return result;
}

struct Library {
    LibraryFiles files;
    LabelNode* root;
};

// Derives the library's files and reads its label tree. On failure the
// reason is printed and EXIT_FAILED returned.
int OpenLibrary(const char* path, Library* lib)
{
    lib->root = nullptr;
    if (SetLibraryFiles(&lib->files, path) != 0)
        return Fail("%s: unusable file name (too short, too long, or its own backup)", path);
    LibraryError error;
    memset(&error, 0, sizeof error);
    if (ReadLabelTree(lib->files.phrase, &lib->root, &error) != 0) {
        PrintLibraryError("flp: ", path, &error,
                          FileExists(path) ? "not a readable library" : "cannot open the file");
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

void CloseLibrary(Library* lib)
{
    if (lib->root)
        FreeLabelTree(lib->root);
    lib->root = nullptr;
}

// Takes the writers' lock of the library at path, for a command that reads
// the labels it acts on and then rewrites the file: no other writer can
// change them in between. On failure the reason is printed and EXIT_FAILED
// returned.
int LockLibrary(const char* path)
{
    if (TakeWriterLock(path, WRITER_LOCK_WAIT_MS) == 0)
        return EXIT_OK;
    return Fail("%s: another writer kept the library for %d s, or %s.lock cannot be created; "
                "nothing changed",
                path, WRITER_LOCK_WAIT_MS / 1000, path);
}

// Opens the library for a change: the lock first, then the labels.
int OpenLibraryToWrite(const char* path, Library* lib)
{
    lib->root = nullptr;
    LibraryFiles named;
    if (SetLibraryFiles(&named, path) != 0)
        return OpenLibrary(path, lib);  // which says what is wrong with the name
    if (LockLibrary(path) != EXIT_OK)
        return EXIT_FAILED;
    if (OpenLibrary(path, lib) == EXIT_OK)
        return EXIT_OK;
    ReleaseWriterLock(path);
    return EXIT_FAILED;
}

void CloseLibraryToWrite(const char* path, Library* lib)
{
    CloseLibrary(lib);
    ReleaseWriterLock(path);
}

// The label at the name path, or the root label for an empty path.
LabelNode* FindTarget(const Library* lib, char** names, int count)
{
    return FindLabelByNames(lib->root, (const char* const*)names, count);
}

// A name path given as arguments, in the held form of each name, as the
// label tree matches it: the first label of each name at each level.
struct NamePath {
    char held[MAX_LABEL_DEPTH][LABEL_NAME_SIZE];
    LabelPath path;
};

// Fills names from count arguments. Returns false when the path is deeper
// than any label can be: there is no such label (names is then left empty).
bool SetNamePath(NamePath* names, char** args, int count)
{
    names->path.count = 0;
    if (count > MAX_LABEL_DEPTH)
        return false;
    for (int i = 0; i < count; i++) {
        FitLabelName(names->held[i], args[i]);
        names->path.name[i] = names->held[i];
        names->path.ordinal[i] = 0;
    }
    names->path.count = count;
    return true;
}

// Checks the library at path as OpenLibrary does, without holding its labels,
// and tells whether the label at find (null: none asked) is in it. On
// failure the reason is printed and EXIT_FAILED returned.
int WalkLibrary(const char* path, LibraryFiles* files, const LabelPath* find, bool* found)
{
    if (SetLibraryFiles(files, path) != 0)
        return Fail("%s: unusable file name (too short, too long, or its own backup)", path);
    LibraryError error;
    memset(&error, 0, sizeof error);
    LibraryCounts counts;
    if (WalkLibraryFile(files->phrase, find, &counts, &error) != 0) {
        PrintLibraryError("flp: ", path, &error,
                          FileExists(path) ? "not a readable library" : "cannot open the file");
        return EXIT_FAILED;
    }
    if (found)
        *found = counts.found;
    return EXIT_OK;
}

// Writes phrases to standard output, each followed by its terminator.
struct PrintContext {
    char terminator;
    bool failed;
};

int PrintPhrase(void* context, const char* text, size_t length)
{
    PrintContext* c = (PrintContext*)context;
    if (PutText(text, length) != 0 || putchar(c->terminator) == EOF) {
        c->failed = true;
        return -1;
    }
    return 0;
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
    for (bool done = false; result == EXIT_OK && !done;) {
        switch (WalkNext(&w)) {
        case WALK_LABEL:
            for (int i = 1; i < w.depth; i++)
                fputs("    ", stdout);
            FitLabelName(held, w.text);
            PutText(held, strlen(held));
            putchar('\n');
            break;
        case WALK_END:
            done = true;
            break;
        case WALK_FAILED:
            result = Fail("%s: the file changed while it was read", argv[0]);
            break;
        default:
            break;
        }
    }
    EndWalk(&w);
    return FinishOutput(result);
}

// True for an argument in an option's place that is no option we know.
bool IsUnknownOption(const char* arg)
{
    return arg[0] == '-' && arg[1] != '\0';
}

int CommandList(int argc, char** argv)
{
    PrintContext print = {'\n', false};
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
    bool deepEnough = SetNamePath(names, argv + 1, argc - 1);
    bool found = false;
    LibraryFiles files;
    int result = WalkLibrary(argv[0], &files, &names->path, &found);
    if (result == EXIT_OK && !(found && deepEnough)) {
        result = Fail("no label at that path");
    } else if (result == EXIT_OK) {
        PhraseSink sink = {&print, PrintPhrase};
        if (ReadPhrasesAt(files.phrase, &names->path, &sink) != 0 && !print.failed)
            result = Fail("%s: the label's phrases cannot be read", argv[0]);
    }
    free(names);
    if (print.failed)
        return Fail("cannot write the output");
    return FinishOutput(result);
}

int CommandSearch(int argc, char** argv)
{
    PrintContext print = {'\n', false};
    int mode = 0;
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
    BuildSearchWords(searchText, &words);

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
    } else if (SetLibraryFiles(&files, path) != 0) {
        result = Fail("%s: unusable file name (too short, too long, or its own backup)", path);
    }
    if (result == EXIT_OK) {
        PhraseSink sink = {&print, PrintPhrase};
        if (SearchLibraryAt(files.phrase, &words, mode, &names->path, &sink) != 0 && !print.failed) {
            // Say where the file is wrong when the label reader can tell.
            LibraryError error;
            memset(&error, 0, sizeof error);
            LibraryCounts counts;
            if (WalkLibraryFile(files.phrase, nullptr, &counts, &error) != 0)
                PrintLibraryError("flp: ", path, &error,
                                  FileExists(path) ? "not a readable library" : "cannot open the file");
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
    memset(&error, 0, sizeof error);
    LibraryCounts counts;
    if (WalkLibraryFile(path, nullptr, &counts, &error) != 0) {
        PrintLibraryError("", path, &error,
                          FileExists(path) ? "not a readable library" : "cannot open the file");
        return EXIT_FAILED;
    }
    printf("%ld label%s, %ld phrase%s\n", counts.labels, counts.labels == 1 ? "" : "s",
           counts.phrases, counts.phrases == 1 ? "" : "s");
    return FinishOutput(EXIT_OK);
}

int CommandCreate(int argc, char** argv)
{
    if (argc != 1)
        return Usage();
    LibraryFiles files;
    if (SetLibraryFiles(&files, argv[0]) != 0)
        return Fail("%s: unusable file name (too short, too long, or its own backup)", argv[0]);
    char kept[PATH_BUFFER_SIZE] = "";
    if (CreateLibraryFile(&files, kept) != 0)
        return Fail("%s: cannot write a new library", argv[0]);
    if (kept[0])
        fprintf(stderr, "flp: the file that was there is kept as %s\n", kept);
    return EXIT_OK;
}

// Runs one rewrite; prints why when it fails.
int Rewrite(const Library* lib, const char* path, const RewriteRequest* request, char* newName)
{
    LibraryError error;
    memset(&error, 0, sizeof error);
    if (RewritePhraseFile(&lib->files, request, nullptr, newName, &error) == 0)
        return EXIT_OK;
    if (!error.what[0])
        return Fail("%s: the rewrite failed; the library is unchanged", path);
    // A fault of the clip file is reported at its own line.
    if (strstr(error.what, "clip file"))
        path = lib->files.clip;
    if (error.line > 0)
        return Fail("%s:%ld: %s; the library is unchanged", path, error.line, error.what);
    return Fail("%s: %s; the library is unchanged", path, error.what);
}

// --above, --below or --into: sets *kind and *after. Returns false for
// anything else.
bool ParsePlace(const char* arg, RewriteKind beside, RewriteKind into, RewriteKind* kind,
                int* after)
{
    *after = 0;
    if (strcmp(arg, "--above") == 0) {
        *kind = beside;
    } else if (strcmp(arg, "--below") == 0) {
        *kind = beside;
        *after = 1;
    } else if (strcmp(arg, "--into") == 0) {
        *kind = into;
    } else {
        return false;
    }
    return true;
}

// The label edits of the tree: new, rename, cut, copy, paste.
int CommandEdit(const char* command, int argc, char** argv)
{
    RewriteRequest request = {};
    int names = 1;  // index of the name path's first argument
    if (strcmp(command, "new") == 0 || strcmp(command, "paste") == 0) {
        bool isNew = command[0] == 'n';
        if (argc < 3 ||
            !ParsePlace(argv[1], isNew ? REWRITE_NEW_LABEL : REWRITE_PASTE_LABEL,
                        isNew ? REWRITE_NEW_CHILD_LABEL : REWRITE_PASTE_CHILD_LABEL,
                        &request.kind, &request.after))
            return Usage();
        names = 2;
    } else if (strcmp(command, "rename") == 0) {
        if (argc < 3)
            return Usage();
        request.kind = REWRITE_RENAME_LABEL;
        request.newName = argv[1];
        names = 2;
    } else {
        if (argc < 2)
            return Usage();
        request.kind = command[1] == 'u' ? REWRITE_CUT_LABEL : REWRITE_COPY_LABEL;
    }

    Library lib;
    if (OpenLibraryToWrite(argv[0], &lib) != EXIT_OK)
        return EXIT_FAILED;
    int result = EXIT_OK;
    request.target = FindTarget(&lib, argv + names, argc - names);
    if (!request.target) {
        result = Fail("no label at that path");
    } else if (request.kind == REWRITE_RENAME_LABEL &&
               CheckRenameName(request.target, request.newName) != 0) {
        result = Fail("the new name is empty, longer than %d bytes, or taken among the siblings",
                      MAX_RENAME_LENGTH);
    } else if ((request.kind == REWRITE_PASTE_LABEL || request.kind == REWRITE_PASTE_CHILD_LABEL) &&
               !FileExists(lib.files.clip)) {
        result = Fail("nothing to paste: there is no %s", lib.files.clip);
    } else {
        char newName[NAME_BUFFER_SIZE] = "";
        result = Rewrite(&lib, argv[0], &request, newName);
        if (result == EXIT_OK && (request.kind == REWRITE_NEW_LABEL ||
                                  request.kind == REWRITE_NEW_CHILD_LABEL)) {
            PutText(newName, strlen(newName));
            putchar('\n');
            // The label is in the file: the status says so, whatever became
            // of its name on the way out.
            if (FinishOutput(result) != EXIT_OK)
                fprintf(stderr, "flp: the new label is in the library all the same\n");
        }
    }
    CloseLibraryToWrite(argv[0], &lib);
    return result;
}

// The phrases read from standard input: NUL-terminated pieces.
struct InputPhrases {
    char* bytes;
    size_t size;
    size_t* start;    // offset of each phrase
    size_t* length;
    int count;
};

int ReadInputPhrases(FILE* in, InputPhrases* input)
{
    memset(input, 0, sizeof *input);
    size_t capacity = 0;
    for (;;) {
        if (input->size == capacity) {
            size_t grown = capacity ? capacity * 2 : 64 * 1024;
            char* bytes = (char*)realloc(input->bytes, grown);
            if (!bytes)
                return -1;
            input->bytes = bytes;
            capacity = grown;
        }
        size_t n = fread(input->bytes + input->size, 1, capacity - input->size, in);
        if (n == 0)
            break;
        input->size += n;
    }
    if (ferror(in))
        return -1;
    // The phrases come in the terminal's character set.
    std::string typed(input->bytes, input->size), converted;
    TextFault fault;
    if (!TakeInput(typed, &converted, &fault)) {
        Fail("standard input: %s; nothing stored", DescribeFault(fault, SET_FILE).c_str());
        return -2;
    }
    if (converted.size() > capacity) {
        char* bytes = (char*)realloc(input->bytes, converted.size());
        if (!bytes)
            return -1;
        input->bytes = bytes;
    }
    memcpy(input->bytes, converted.data(), converted.size());
    input->size = converted.size();
    size_t pieces = 1;
    for (size_t i = 0; i < input->size; i++)
        pieces += input->bytes[i] == '\0';
    input->start = (size_t*)malloc(pieces * sizeof(size_t));
    input->length = (size_t*)malloc(pieces * sizeof(size_t));
    if (!input->start || !input->length)
        return -1;
    size_t from = 0;
    for (size_t i = 0; i <= input->size; i++) {
        bool end = i == input->size;
        if (!end && input->bytes[i] != '\0')
            continue;
        // A last piece without its NUL is a phrase only when it holds bytes.
        if (!end || i > from) {
            input->start[input->count] = from;
            input->length[input->count] = i - from;
            input->count++;
        }
        from = i + 1;
    }
    return 0;
}

void FreeInputPhrases(InputPhrases* input)
{
    free(input->bytes);
    free(input->start);
    free(input->length);
}

int GetInputPhrase(void* context, int index, char* text, size_t size)
{
    const InputPhrases* input = (const InputPhrases*)context;
    if (index < 0 || index >= input->count || size == 0)
        return -1;
    size_t n = input->length[index];
    if (n >= size)
        return -1;
    memcpy(text, input->bytes + input->start[index], n);
    text[n] = '\0';
    return (int)n;
}

int CommandStore(int argc, char** argv)
{
    if (argc < 1)
        return Usage();
    // Standard input may take its time: it is read before the lock is
    // taken, and only for a label that is there now. A file that cannot be
    // read at this moment is left to the look under the lock: another
    // writer may be replacing it (under Wine the name is briefly gone).
    Library lib;
    LibraryFiles named;
    if (SetLibraryFiles(&named, argv[0]) == 0 && ReadLabelTree(named.phrase, &lib.root) == 0) {
        bool there = FindTarget(&lib, argv + 1, argc - 1) != nullptr;
        CloseLibrary(&lib);
        if (!there)
            return Fail("no label at that path");
    }
    InputPhrases input;
    int result = EXIT_OK;
    int read = ReadInputPhrases(stdin, &input);
    if (read == -2) {
        result = EXIT_FAILED;
    } else if (read != 0) {
        result = Fail("cannot read the phrases from standard input");
    } else {
        for (int i = 0; i < input.count; i++) {
            if (input.length[i] > PHRASE_TEXT_LIMIT) {
                result = Fail("phrase %d is longer than %lu bytes; nothing stored", i + 1,
                              (unsigned long)PHRASE_TEXT_LIMIT);
                break;
            }
        }
    }
    if (result == EXIT_OK && OpenLibraryToWrite(argv[0], &lib) != EXIT_OK) {
        FreeInputPhrases(&input);
        return EXIT_FAILED;
    }
    if (result == EXIT_OK) {
        const LabelNode* target = FindTarget(&lib, argv + 1, argc - 1);
        PhraseSource source = {&input, input.count, GetInputPhrase};
        RewriteRequest request = {};
        request.kind = REWRITE_SAVE_PHRASES;
        // The root label is the target of an empty path.
        request.target = target == lib.root ? nullptr : target;
        request.phrases = &source;
        result = target ? Rewrite(&lib, argv[0], &request, nullptr) : Fail("no label at that path");
        CloseLibraryToWrite(argv[0], &lib);
    }
    FreeInputPhrases(&input);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Phrases are bytes: no CR LF translation, no end at a 1Ah byte.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    // Into a file or a pipe, output goes in large writes: a search can print
    // a great many phrases.
    static char outputBuffer[64 * 1024];
#ifdef _WIN32
    bool terminal = _isatty(_fileno(stdout)) != 0;
#else
    bool terminal = isatty(fileno(stdout)) != 0;
#endif
    if (!terminal)
        setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    UseFileViews();
    int global = TakeGlobalOptions(argc, argv);
    if (global < 0)
        return Usage();
    argc -= global;
    argv += global;
    if (argc == 2 && strcmp(argv[1], "--help") == 0)
        return PrintHelp(nullptr) ? EXIT_OK : EXIT_FAILED;
    if (argc == 2 && strcmp(argv[1], "--version") == 0)
        return PrintVersion(), EXIT_OK;
    if (argc > 2 && AsksForHelp(argc - 2, argv + 2))
        return PrintHelp(argv[1]) ? EXIT_OK : Usage();
    if (argc < 2)
        return Usage();
    if (!TakeArguments(&argc, &argv, MarkFileArguments))
        return EXIT_FAILED;
    const char* command = argv[1];
    int n = argc - 2;
    char** args = argv + 2;
    // Only list and search take options before FILE.
    if (n > 0 && IsUnknownOption(args[0]) && strcmp(command, "list") != 0 &&
        strcmp(command, "search") != 0)
        return Usage();
    if (strcmp(command, "export") == 0)
        return CommandExport(n, args);
    if (strcmp(command, "import") == 0)
        return CommandImport(n, args);
    if (strcmp(command, "tree") == 0)
        return CommandTree(n, args);
    if (strcmp(command, "list") == 0)
        return CommandList(n, args);
    if (strcmp(command, "search") == 0)
        return CommandSearch(n, args);
    if (strcmp(command, "check") == 0)
        return CommandCheck(n, args);
    if (strcmp(command, "create") == 0)
        return CommandCreate(n, args);
    if (strcmp(command, "new") == 0 || strcmp(command, "rename") == 0 ||
        strcmp(command, "cut") == 0 || strcmp(command, "copy") == 0 ||
        strcmp(command, "paste") == 0)
        return CommandEdit(command, n, args);
    if (strcmp(command, "store") == 0)
        return CommandStore(n, args);
    return Usage();
}
