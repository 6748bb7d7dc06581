// flp's commands that change a library: create, new, rename, cut, copy,
// paste, store, import. Every change goes through the program's rewrites,
// under the library's writers' lock from the look at its labels to the commit.
#include "tools/flp_edit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "common/writer_lock.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/phrase_walker.h"
#include "tools/flp_common.h"
#include "tools/flp_json.h"
#include "tools/flp_text.h"
#include "tools/flp_view.h"

namespace {

struct Library {
    LibraryFiles files;
    LabelNode* root;
};

// Derives the library's files and reads its label tree. On failure the
// reason is printed and EXIT_FAILED returned.
int OpenLibrary(const char* path, Library* lib)
{
    lib->root = nullptr;
    if (UseLibraryFiles(path, &lib->files) != EXIT_OK)
        return EXIT_FAILED;
    LibraryError error;
    error = LibraryError();
    if (ReadLabelTree(lib->files.phrase, &lib->root, &error) != 0)
        return FailLibrary("flp: ", path, &error);
    return EXIT_OK;
}

void CloseLibrary(Library* lib)
{
    if (lib->root)
        FreeLabelTree(lib->root);
    lib->root = nullptr;
}

// Opens the library for a change: the lock first, then the labels.
int OpenLibraryToWrite(const char* path, Library* lib)
{
    lib->root = nullptr;
    LibraryFiles named;
    if (UseLibraryFiles(path, &named) != EXIT_OK)
        return EXIT_FAILED;
    if (LockLibrary(path, "nothing changed") != EXIT_OK)
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

// Says why a rewrite failed; a fault of the clip file is told at its own line.
int FailRewrite(const LibraryFiles* files, const char* path, const LibraryError* error)
{
    const char* what = error->what[0] ? error->what : "the rewrite failed";
    if (error->fault == FAULT_CLIP_FILE)
        path = files->clip;
    if (error->line > 0)
        return Fail("%s:%ld: %s; the library is unchanged", path, error->line, what);
    return Fail("%s: %s; the library is unchanged", path, what);
}

// How many times a change is given again when another program replaced the
// library while it was made.
const int CHANGE_TRIES = 5;

int FailChanging(const char* path, const char* outcome)
{
    return Fail("%s: another program kept replacing the library while it was changed (%d tries); %s",
                path, CHANGE_TRIES, outcome);
}

// Runs one rewrite; prints why when it fails. *changed (may be null) is set
// when the library was replaced by a program that ignores the lock: nothing
// is printed then, and the caller reads the library again and retries.
int Rewrite(const Library* lib, const char* path, const RewriteRequest* request, char* newName,
            bool* changed = nullptr)
{
    LibraryError error;
    if (changed)
        *changed = false;
    if (RewritePhraseFile(&lib->files, request, nullptr, newName, &error) == 0)
        return EXIT_OK;
    if (changed && error.changed) {
        *changed = true;
        return EXIT_FAILED;
    }
    return FailRewrite(&lib->files, path, &error);
}

// Runs the rewrite of the label at names, reading the library again (still
// under the lock) and finding the label anew each time another program
// replaced the file meanwhile. check, when given, refuses a target with its
// own message (EXIT_FAILED) before the rewrite.
int RewriteAt(Library* lib, const char* path, RewriteRequest* request, char** names, int count,
              char* newName, int (*check)(const RewriteRequest*) = nullptr)
{
    for (int attempt = 1;; attempt++) {
        const LabelNode* target = FindTarget(lib, names, count);
        if (!target)
            return Fail("no label at that path");
        // The root label is the target of an empty path (its phrases alone).
        request->target = target == lib->root ? nullptr : target;
        if (check && check(request) != EXIT_OK)
            return EXIT_FAILED;
        bool changed = false;
        int result = Rewrite(lib, path, request, newName, &changed);
        if (!changed)
            return result;
        if (attempt == CHANGE_TRIES)
            return FailChanging(path, "the library is unchanged");
        CloseLibrary(lib);
        if (OpenLibrary(path, lib) != EXIT_OK)
            return EXIT_FAILED;
    }
}

// A store's target by its names alone: the chain of records from the root
// down that the rewrite is given (each the first of its name, as the names
// find it in a tree), and its steps for the walks.
struct StorePath {
    LabelNode* chain;   // count + 1 records, the root first
    const LabelNode* label;  // the last; null for the root label
    LabelPath steps;
};

int MakeStorePath(char** names, int count, StorePath* target)
{
    target->chain = nullptr;
    target->label = nullptr;
    target->steps.count = 0;
    if (count > MAX_LABEL_DEPTH)
        return -1;
    target->chain = (LabelNode*)calloc((size_t)count + 1, sizeof(LabelNode));
    if (!target->chain)
        return -1;
    for (int i = 1; i <= count; i++) {
        LabelNode* node = &target->chain[i];
        FitLabelName(node->name, names[i - 1]);
        node->parent = &target->chain[i - 1];
        node->parent->firstChild = node;
    }
    if (count > 0)
        target->label = &target->chain[count];
    return LabelPathOf(target->label, &target->steps);
}

void FreeStorePath(StorePath* target)
{
    free(target->chain);
    target->chain = nullptr;
}

// The store under the lock: one read of the library, which finds the
// label, copies the file to the backup and writes the new one. Its walk
// fails as a read of the tree would, and is told so; a label that is not
// there is told as by the look before. Given again when another program
// replaced the file meanwhile.
int StoreAt(Library* lib, const char* path, RewriteRequest* request)
{
    for (int attempt = 1;; attempt++) {
        LibraryError error;
        if (RewritePhraseFile(&lib->files, request, nullptr, nullptr, &error) == 0)
            return EXIT_OK;
        if (!error.changed) {
            if (error.fault == FAULT_PHRASE_FILE)
                return FailLibrary("flp: ", path, &error);
            if (error.fault == FAULT_NO_SUCH_LABEL)
                return Fail("no label at that path");
            return FailRewrite(&lib->files, path, &error);
        }
        if (attempt == CHANGE_TRIES)
            return FailChanging(path, "the library is unchanged");
    }
}

// The look at the labels before standard input is read: false when a walk
// of the whole file meets no label at steps. The walk stops at the label;
// the bodies of the labels beside its path are passed over. A file that
// cannot be walked is left to the store under the lock (another writer may
// be replacing it: under Wine the name is briefly gone).
bool MayHoldLabel(const char* phrasePath, const LabelPath* steps)
{
    if (steps->count == 0)
        return true;
    PhraseWalker w;
    bool found = false;
    int result = OpenWalk(&w, phrasePath, steps, false, nullptr);
    w.quiet = true;
    if (result == 0)
        result = WalkEach(&w, [&](int event) {
            if (event != WALK_LABEL)
                return WALK_ON;
            if (w.place == PLACE_TARGET) {
                found = true;
                return WALK_DONE;
            }
            if (w.place == PLACE_BESIDE)
                return WalkSkipBody(&w) == 0 ? WALK_ON : -1;
            return WALK_ON;
        });
    EndWalk(&w);
    return found || result != 0;
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

bool WriteWhole(const char* path, const std::string& bytes)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// A new library in place of the file at files. A file that is there is
// kept under a numbered name of its own, as by create: the backup is the
// next rewrite's, by anyone.
int ImportNew(const LibraryFiles& files, const ImportedLibrary& library, bool force)
{
    const char* path = files.phrase;
    if (FileExists(path) && !force)
        return Fail("%s: the file is there; --force replaces it, keeping a copy of it", path);
    std::string text = LibraryText(library);
    char kept[PATH_BUFFER_SIZE] = "";
    for (int attempt = 1;; attempt++) {
        LibraryError error;
        if (ReplaceLibraryFile(&files, text.data(), text.size(), kept, &error) == 0)
            break;
        if (!error.changed)
            return Fail("%s: %s; nothing imported", path, error.what);
        if (attempt == CHANGE_TRIES)
            return FailChanging(path, "nothing imported");
    }
    if (kept[0])
        fprintf(stderr, "flp: the file that was there is kept as %s\n", kept);
    return EXIT_OK;
}

void InputRead(void* context, size_t upTo)
{
    ReleaseInput((InputView*)context, upTo);
}

int StreamInto(void* context, FILE* file)
{
    InputView* input = (InputView*)context;
    return StreamLibraryText(input->bytes, input->size, file, InputRead, input) ? 0 : -1;
}

// ImportNew of the document at input written as it is read. Returns true
// when the new library is in place; false, with nothing changed and nothing
// said, when the document is one to read whole, or anything failed.
bool ImportStreamed(const LibraryFiles& files, InputView& input)
{
    if (TakeWriterLock(files.phrase, WRITER_LOCK_WAIT_MS) != 0)
        return false;
    char kept[PATH_BUFFER_SIZE] = "";
    LibraryError error;
    bool done = ReplaceLibraryFileWith(&files, StreamInto, &input, kept, &error, nullptr) == 0;
    ReleaseWriterLock(files.phrase);
    if (done && kept[0])
        fprintf(stderr, "flp: the file that was there is kept as %s\n", kept);
    return done;
}

int AddPhrase(void* context, const char* text, size_t length)
{
    ((std::vector<std::string>*)context)->emplace_back(text, length);
    return 0;
}

int NoPhrase(void*, int, char*, size_t)
{
    return -1;
}

// Gives the labels to import names free among target's children, as the
// program makes them; each joins the records so that the next one sees it.
int NameImportedLabels(LabelNode* target, std::vector<ImportedLabel>* labels)
{
    LabelNode* last = target->firstChild;
    while (last && last->nextSibling)
        last = last->nextSibling;
    for (ImportedLabel& label : *labels) {
        char name[NAME_BUFFER_SIZE];
        snprintf(name, sizeof name, "%s", label.name.c_str());
        if (target->firstChild && MakeUniqueLabelName(target->firstChild, name) != 0)
            return Fail("no free name for the label %s", label.name.c_str());
        label.name = name;
        last = NewLabelNode(target, last);
        if (!last)
            return Fail("out of memory");
        FitLabelName(last->name, name);
    }
    return EXIT_OK;
}

// Writes the new body of the target (labels, then phrases) as a library
// file to a free name beside the library at path, which goes to *body (the
// caller removes it). A file of the user's that happens to bear such a name
// is never written over.
int WriteImportBody(const char* path, const std::vector<ImportedLabel>& labels,
                    const std::vector<std::string>& phrases, std::string* body)
{
    for (int n = 1; n <= 99; n++) {
        std::string name = std::string(path) + ".import" + std::to_string(n);
        if (FileExists(name.c_str()))
            continue;
        *body = name;
        // The root's name is not used: only its body is taken.
        if (!WriteWhole(name.c_str(), LabelText("body", labels, phrases)))
            return Fail("%s: cannot write", name.c_str());
        return EXIT_OK;
    }
    return Fail("%s.import1 to 99 are all taken; nothing imported", path);
}

// The JSON's labels as the last children of the label at names, through the
// rewrite that stores that label's phrases: its sub-labels are copied, then
// come the new labels, then its own phrases as they were.
int ImportInto(const LibraryFiles& files, ImportedLibrary* library, char** names, int count,
               bool* changed)
{
    *changed = false;
    const char* path = files.phrase;
    if (!library->root.phrases.empty())
        return Fail("the document holds phrases of its own, which --into has no label for");
    LabelNode* root = nullptr;
    LibraryError error;
    error = LibraryError();
    if (ReadLabelTree(path, &root, &error) != 0)
        return FailLibrary("flp: ", path, &error);
    int result = EXIT_OK;
    LabelNode* target = FindLabelByNames(root, (const char* const*)names, count);
    LabelPath at;
    std::vector<std::string> phrases;
    if (!target) {
        result = Fail("no label at that path");
    } else if (count + 1 > MAX_LABEL_DEPTH && !library->root.labels.empty()) {
        result = Fail("the labels would be nested deeper than 256 levels");
    } else {
        result = NameImportedLabels(target, &library->root.labels);
    }
    if (result == EXIT_OK) {
        // Depth of everything written is checked by the rewrite.
        LabelPathOf(target, &at);
        PhraseSink sink = {&phrases, AddPhrase};
        if (ReadPhrasesAt(path, &at, &sink) != 0)
            result = Fail("%s: the label's phrases cannot be read", path);
    }
    std::string body;
    if (result == EXIT_OK)
        result = WriteImportBody(path, library->root.labels, phrases, &body);
    if (result == EXIT_OK) {
        PhraseSource none = {nullptr, 0, NoPhrase};
        RewriteRequest request = {};
        request.kind = REWRITE_SAVE_PHRASES;
        request.target = target == root ? nullptr : target;
        request.phrases = &none;
        request.bodyPath = body.c_str();
        error = LibraryError();
        if (RewritePhraseFile(&files, &request, nullptr, nullptr, &error) != 0) {
            *changed = error.changed;
            result = error.changed ? EXIT_FAILED : FailRewrite(&files, path, &error);
        }
    }
    if (!body.empty())
        remove(body.c_str());
    FreeLabelTree(root);
    return result;
}

// Label edits that need more of their target than its being there.
int CheckTarget(const RewriteRequest* request)
{
    if (!request->target)
        return Fail("no label at that path");
    if (request->kind == REWRITE_RENAME_LABEL && CheckRenameName(request->target, request->newName) != 0)
        return Fail("the new name is empty, longer than %d bytes, or taken among the siblings",
                    MAX_RENAME_LENGTH);
    return EXIT_OK;
}

// The label edits of the tree: new, rename, cut, copy, paste.
int EditLabel(const char* command, int argc, char** argv)
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
    if ((request.kind == REWRITE_PASTE_LABEL || request.kind == REWRITE_PASTE_CHILD_LABEL) &&
        !FileExists(lib.files.clip)) {
        result = Fail("nothing to paste: there is no %s", lib.files.clip);
    } else {
        char newName[NAME_BUFFER_SIZE] = "";
        result = RewriteAt(&lib, argv[0], &request, argv + names, argc - names, newName, CheckTarget);
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

}  // namespace

int CommandCreate(int argc, char** argv)
{
    if (argc != 1)
        return Usage();
    LibraryFiles files;
    if (UseLibraryFiles(argv[0], &files) != EXIT_OK)
        return EXIT_FAILED;
    char kept[PATH_BUFFER_SIZE] = "";
    if (CreateLibraryFile(&files, kept) != 0)
        return Fail("%s: cannot write a new library", argv[0]);
    if (kept[0])
        fprintf(stderr, "flp: the file that was there is kept as %s\n", kept);
    return EXIT_OK;
}

int CommandNew(int argc, char** argv)
{
    return EditLabel("new", argc, argv);
}

int CommandRename(int argc, char** argv)
{
    return EditLabel("rename", argc, argv);
}

int CommandCut(int argc, char** argv)
{
    return EditLabel("cut", argc, argv);
}

int CommandCopy(int argc, char** argv)
{
    return EditLabel("copy", argc, argv);
}

int CommandPaste(int argc, char** argv)
{
    return EditLabel("paste", argc, argv);
}

int CommandStore(int argc, char** argv)
{
    if (argc < 1)
        return Usage();
    // The label is looked for while the file is walked, by its names: a
    // store holds no label tree, whatever the size of the library.
    StorePath target;
    if (MakeStorePath(argv + 1, argc - 1, &target) != 0)
        return Fail("no label at that path");
    // Standard input may take its time: it is read before the lock is
    // taken, and only for a label that is there now.
    LibraryFiles named;
    if (SetLibraryFiles(&named, argv[0]) == 0 && !MayHoldLabel(named.phrase, &target.steps)) {
        FreeStorePath(&target);
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
    Library lib;
    lib.root = nullptr;
    if (result == EXIT_OK && (UseLibraryFiles(argv[0], &lib.files) != EXIT_OK ||
                              LockLibrary(argv[0], "nothing changed") != EXIT_OK))
        result = EXIT_FAILED;
    else if (result == EXIT_OK) {
        PhraseSource source = {&input, input.count, GetInputPhrase};
        RewriteRequest request = {};
        request.kind = REWRITE_SAVE_PHRASES;
        request.phrases = &source;
        request.target = target.label;
        // A file that is no library is left alone, its backup too.
        request.keepBackupOnFault = true;
        result = StoreAt(&lib, argv[0], &request);
        ReleaseWriterLock(argv[0]);
    }
    FreeStorePath(&target);
    FreeInputPhrases(&input);
    return result;
}

int CommandImport(int argc, char** argv)
{
    if (argc < 1 || (argv[0][0] == '-' && argv[0][1]))
        return Usage("import");
    const char* path = argv[0];
    bool force = false, into = false;
    const char* jsonPath = nullptr;
    int i = 1;
    for (; i < argc; i++) {
        if (strcmp(argv[i], "--force") == 0) {
            force = true;
        } else if (strcmp(argv[i], "--into") == 0) {
            into = true;
            i++;
            break;
        } else if (argv[i][0] == '-' && argv[i][1]) {
            return Usage("import");
        } else if (!jsonPath) {
            jsonPath = argv[i];
        } else {
            return Usage("import");
        }
    }
    if (into && force)
        return Usage("import");
    LibraryFiles files;
    if (UseLibraryFiles(path, &files) != EXIT_OK)
        return EXIT_FAILED;
    FILE* in = jsonPath ? fopen(jsonPath, "rb") : stdin;
    if (!in)
        return Fail("%s: cannot open the file", jsonPath);
    InputView input;
    bool read = ViewInput(in, jsonPath ? jsonPath : "standard input", &input);
    if (jsonPath)
        fclose(in);
    if (!read) {
        EndInputView(&input);
        return Fail("cannot read the JSON");
    }
    // A new library is written as the document is read; anything that way
    // of reading gives up on is read again below, whole, where every
    // refusal has its own message.
    if (!into && (force || !FileExists(files.phrase)) && ImportStreamed(files, input)) {
        EndInputView(&input);
        return EXIT_OK;
    }
    std::string json(input.bytes, input.size);
    EndInputView(&input);
    ImportedLibrary library;
    std::string error;
    if (!ParseJson(json, &library, &error))
        return Fail("%s: %s; nothing imported", jsonPath ? jsonPath : "standard input",
                    error.c_str());
    // From the look at the file to the commit no other writer comes between.
    if (LockLibrary(files.phrase, "nothing imported") != EXIT_OK)
        return EXIT_FAILED;
    int result = EXIT_OK;
    if (!into) {
        result = ImportNew(files, library, force);
    } else {
        // Read again and named again from the document each time another
        // program replaced the library meanwhile.
        for (int attempt = 1;; attempt++) {
            ImportedLibrary names = library;
            bool changed = false;
            result = ImportInto(files, &names, argv + i, argc - i, &changed);
            if (!changed)
                break;
            if (attempt == CHANGE_TRIES) {
                result = FailChanging(files.phrase, "nothing imported");
                break;
            }
        }
    }
    ReleaseWriterLock(files.phrase);
    return result;
}
