// flp export, import, help and version.
#include "tools/flp_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "common/writer_lock.h"
#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_library.h"
#include "library/phrase_walker.h"
#include "tools/flp_json.h"
#include "tools/flp_text.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

int Fail(const std::string& what)
{
    fprintf(stderr, "flp: %s\n", what.c_str());
    return EXIT_FAILED;
}

int Usage(const char* command)
{
    fprintf(stderr, "usage: flp %s --help tells how\n", command);
    return EXIT_USAGE;
}

std::string LibraryFault(const char* path, const LibraryError& error, const char* fallback)
{
    std::string what = error.what[0] ? error.what : fallback;
    if (error.line > 0)
        return std::string(path) + ":" + std::to_string(error.line) + ": " + what;
    return std::string(path) + ": " + what;
}

// The label path of names (held form), checked against the file.
struct NamePath {
    std::vector<std::string> held;
    LabelPath path;
};

// Sets names from args; prints why and returns false when the file cannot be
// read or has no such label.
bool FindPath(const char* file, char** args, int count, NamePath* names)
{
    names->path.count = 0;
    if (count > MAX_LABEL_DEPTH) {
        Fail("no label at that path");
        return false;
    }
    names->held.resize((size_t)count);
    for (int i = 0; i < count; i++) {
        char held[LABEL_NAME_SIZE];
        FitLabelName(held, args[i]);
        names->held[(size_t)i] = held;
    }
    for (int i = 0; i < count; i++) {
        names->path.name[i] = names->held[(size_t)i].c_str();
        names->path.ordinal[i] = 0;
    }
    names->path.count = count;
    LibraryError error;
    memset(&error, 0, sizeof error);
    LibraryCounts counts;
    if (WalkLibraryFile(file, &names->path, &counts, &error) != 0) {
        Fail(LibraryFault(file, error, FileExists(file) ? "not a readable library" : "cannot open the file"));
        return false;
    }
    if (!counts.found) {
        Fail("no label at that path");
        return false;
    }
    return true;
}

bool ReadAll(FILE* in, std::string* bytes)
{
    char piece[64 * 1024];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, in)) > 0)
        bytes->append(piece, n);
    return !ferror(in);
}

bool WriteWhole(const char* path, const std::string& bytes)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// A new library in place of the file at files (kept as the backup first when
// it is there).
int ImportNew(const LibraryFiles& files, const ImportedLibrary& library, bool force)
{
    const char* path = files.phrase;
    bool exists = FileExists(path);
    if (exists && !force)
        return Fail(std::string(path) + ": the file is there; --force replaces it, keeping it as " +
                    files.backup);
    if (exists && BackupPhraseFile(&files) != 0)
        return Fail(std::string(path) + ": cannot copy the file to " + files.backup +
                    "; nothing imported");
    std::string text = LibraryText(library);
    SafeWriter w;
    if (BeginSafeWrite(&w, path) != 0)
        return Fail(std::string(path) + ": cannot write the new library");
    if (fwrite(text.data(), 1, text.size(), w.file) != text.size()) {
        AbortSafeWrite(&w);
        return Fail(std::string(path) + ": cannot write the new library");
    }
    if (CommitSafeWrite(&w) != 0)
        return Fail(std::string(path) + ": cannot write the new library");
    return EXIT_OK;
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

// The JSON's labels as the last children of the label at names, through the
// rewrite that stores that label's phrases: its sub-labels are copied, then
// come the new labels, then its own phrases as they were.
int ImportInto(const LibraryFiles& files, ImportedLibrary* library, char** names, int count)
{
    const char* path = files.phrase;
    if (!library->root.phrases.empty())
        return Fail("the document holds phrases of its own, which --into has no label for");
    LabelNode* root = nullptr;
    LibraryError error;
    memset(&error, 0, sizeof error);
    if (ReadLabelTree(path, &root, &error) != 0)
        return Fail(LibraryFault(path, error, FileExists(path) ? "not a readable library" : "cannot open the file"));
    int result = EXIT_OK;
    LabelNode* target = FindLabelByNames(root, (const char* const*)names, count);
    LabelPath at;
    std::vector<std::string> phrases;
    if (!target) {
        result = Fail("no label at that path");
    } else if (count + 1 > MAX_LABEL_DEPTH && !library->root.labels.empty()) {
        result = Fail("the labels would be nested deeper than 256 levels");
    } else {
        // Unique names among the children, as the program makes them; each
        // new label joins the records so that the next one sees it.
        LabelNode* last = target->firstChild;
        while (last && last->nextSibling)
            last = last->nextSibling;
        for (ImportedLabel& label : library->root.labels) {
            char name[NAME_BUFFER_SIZE];
            snprintf(name, sizeof name, "%s", label.name.c_str());
            if (target->firstChild && MakeUniqueLabelName(target->firstChild, name) != 0) {
                result = Fail("no free name for the label " + label.name);
                break;
            }
            label.name = name;
            last = NewLabelNode(target, last);
            if (!last) {
                result = Fail("out of memory");
                break;
            }
            FitLabelName(last->name, name);
        }
    }
    if (result == EXIT_OK) {
        // Depth of everything written is checked by the rewrite.
        LabelPathOf(target, &at);
        PhraseSink sink = {&phrases, AddPhrase};
        if (ReadPhrasesAt(path, &at, &sink) != 0)
            result = Fail(std::string(path) + ": the label's phrases cannot be read");
    }
    // The new body goes to a free name beside the library: a file of the
    // user's that happens to bear the name is never written over.
    std::string body;
    for (int n = 1; result == EXIT_OK && body.empty(); n++) {
        std::string name = std::string(path) + ".import" + std::to_string(n);
        if (!FileExists(name.c_str()))
            body = name;
        else if (n == 99)
            result = Fail(std::string(path) + ".import1 to 99 are all taken; nothing imported");
    }
    if (result == EXIT_OK) {
        std::string text = "<u>\"body\"\r\n";
        WriteLabels(&text, library->root.labels, 1);
        WritePhrases(&text, phrases, 1);
        text += "</u>\r\n";
        if (!WriteWhole(body.c_str(), text))
            result = Fail(body + ": cannot write");
    }
    if (result == EXIT_OK) {
        PhraseSource none = {nullptr, 0, NoPhrase};
        RewriteRequest request = {};
        request.kind = REWRITE_SAVE_PHRASES;
        request.target = target == root ? nullptr : target;
        request.phrases = &none;
        request.bodyPath = body.c_str();
        memset(&error, 0, sizeof error);
        if (RewritePhraseFile(&files, &request, nullptr, nullptr, &error) != 0)
            result = Fail(LibraryFault(path, error, "the rewrite failed") + "; the library is unchanged");
    }
    if (!body.empty())
        remove(body.c_str());
    FreeLabelTree(root);
    return result;
}

}  // namespace

int TakeGlobalOptions(int argc, char** argv)
{
    int taken = 0;
    TerminalMode mode = TERMINAL_LOCALE;
    for (int i = 1; i < argc; i++) {
        TerminalMode given;
        if (strcmp(argv[i], "--raw") == 0)
            given = TERMINAL_RAW;
        else if (strcmp(argv[i], "--utf8") == 0)
            given = TERMINAL_UTF8;
        else
            break;
        if (mode != TERMINAL_LOCALE && mode != given)
            return -1;
        mode = given;
        taken++;
    }
    StartTerminal(mode);
    return taken;
}

void MarkFileArguments(int count, char** args, bool* isFile)
{
    // args[-1] is the command.
    const char* command = args[-1];
    int i = 0;
    bool search = strcmp(command, "search") == 0;
    while (i < count && args[i][0] == '-' && args[i][1]) {
        if (search && strcmp(args[i], "--under") == 0)
            i++;
        i++;
    }
    if (i < count)
        isFile[i] = true;
    if (strcmp(command, "import") == 0) {
        // import FILE [--force] [JSON] [--into NAME...]
        for (int k = i + 1; k < count && strcmp(args[k], "--into") != 0; k++)
            if (strcmp(args[k], "--force") != 0)
                isFile[k] = true;
    }
}

int CommandExport(int argc, char** argv)
{
    if (argc < 1 || (argv[0][0] == '-' && argv[0][1]))
        return Usage("export");
    const char* path = argv[0];
    LibraryFiles files;
    if (SetLibraryFiles(&files, path) != 0)
        return Fail(std::string(path) + ": unusable file name (too short, too long, or its own backup)");
    NamePath names;
    if (!FindPath(path, argv + 1, argc - 1, &names))
        return EXIT_FAILED;
    std::string json, error;
    if (!ExportJson(path, &names.path, &json, &error))
        return Fail(std::string(path) + ": " + error);
    if (fwrite(json.data(), 1, json.size(), stdout) != json.size() || fflush(stdout) != 0)
        return Fail("cannot write the output");
    return EXIT_OK;
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
    if (SetLibraryFiles(&files, path) != 0)
        return Fail(std::string(path) + ": unusable file name (too short, too long, or its own backup)");
    std::string json;
    FILE* in = jsonPath ? fopen(jsonPath, "rb") : stdin;
    if (!in)
        return Fail(std::string(jsonPath) + ": cannot open the file");
    bool read = ReadAll(in, &json);
    if (jsonPath)
        fclose(in);
    if (!read)
        return Fail("cannot read the JSON");
    ImportedLibrary library;
    std::string error;
    if (!ParseJson(json, &library, &error))
        return Fail(std::string(jsonPath ? jsonPath : "standard input") + ": " + error +
                    "; nothing imported");
    // From the look at the file to the commit no other writer comes between.
    if (TakeWriterLock(files.phrase, WRITER_LOCK_WAIT_MS) != 0)
        return Fail(std::string(path) + ": another writer kept the library for " +
                    std::to_string(WRITER_LOCK_WAIT_MS / 1000) + " s, or " + path +
                    ".lock cannot be created; nothing imported");
    int result = into ? ImportInto(files, &library, argv + i, argc - i)
                      : ImportNew(files, library, force);
    ReleaseWriterLock(files.phrase);
    return result;
}

namespace {

struct Help {
    const char* command;
    const char* text;
};

const Help kHelp[] = {
    {"tree", "flp tree FILE\n"
             "  Prints every label, indented four spaces a level.\n"
             "  example: flp tree library.htm\n"},
    {"list", "flp list [-0] FILE NAME...\n"
             "  Prints the phrases of the label at NAME... (top level first), each\n"
             "  ended by LF, or by NUL after -0.\n"
             "  example: flp list library.htm 挨拶 友人\n"},
    {"search", "flp search [-0] [--or] [--under NAME]... FILE TEXT\n"
               "  Prints the phrases holding every word of TEXT (any word after --or),\n"
               "  in the whole library or under the label given by --under names.\n"
               "  example: flp search --under 挨拶 library.htm お世話\n"},
    {"check", "flp check FILE\n"
              "  Counts labels and phrases, or tells FILE:LINE: what is wrong.\n"
              "  example: flp check library.htm\n"},
    {"create", "flp create FILE\n"
               "  Writes a new library; a file already there is kept as FILE with its\n"
               "  last three characters replaced by 001, 002, ...\n"
               "  example: flp create library.htm\n"},
    {"new", "flp new FILE --above|--below|--into NAME...\n"
            "  Adds a label beside the label at NAME... or as its first child, and\n"
            "  prints its name.\n"
            "  example: flp new library.htm --into 挨拶\n"},
    {"rename", "flp rename FILE NEWNAME NAME...\n"
               "  Renames the label at NAME... (1 to 79 bytes, free among its siblings).\n"
               "  example: flp rename library.htm 友だち 挨拶 友人\n"},
    {"cut", "flp cut FILE NAME...\n"
            "  Moves the label at NAME... with all inside it to clip.txt.\n"
            "  example: flp cut library.htm 署名\n"},
    {"copy", "flp copy FILE NAME...\n"
             "  Copies the label at NAME... with all inside it to clip.txt.\n"
             "  example: flp copy library.htm 署名\n"},
    {"paste", "flp paste FILE --above|--below|--into NAME...\n"
              "  Puts the label of clip.txt beside the label at NAME... or as its first\n"
              "  child, under a free name.\n"
              "  example: flp paste library.htm --below 表現集\n"},
    {"store", "flp store FILE [NAME...]\n"
              "  Replaces the phrases of the label at NAME... (none: the root label) by\n"
              "  the NUL-terminated phrases on standard input.\n"
              "  example: printf 'おはよう\\0こんばんは\\0' | flp store library.htm 挨拶\n"},
    {"export", "flp export FILE [NAME...]\n"
               "  Prints the library, or the label at NAME... with all inside it, as JSON\n"
               "  in UTF-8: {\"name\", \"phrases\": [...], \"labels\": [...]}, each label\n"
               "  {\"name\", \"phrases\", \"labels\"} in file order. Texts are exact.\n"
               "  example: flp export library.htm > library.json\n"},
    {"import", "flp import FILE [--force] [JSON] [--into NAME...]\n"
               "  Reads a library as flp export writes it, from JSON or standard input.\n"
               "  Without --into it writes a new library FILE, refusing a FILE that is\n"
               "  there unless --force is given (the old file is then kept as the\n"
               "  backup). With --into the document's labels become the last children\n"
               "  of the label at NAME... (none: the top level), under free names.\n"
               "  example: flp import library.htm backup.json --into 表現集\n"},
};

const char kGeneral[] =
    "usage: flp [--raw|--utf8] COMMAND FILE ...\n"
    "flp reads and edits a Fenlop phrase library from the command line.\n"
    "Names and texts are typed and printed in the terminal's character set\n"
    "and kept in the file in code page 932; a character the file cannot hold\n"
    "is refused. NAME... is a label's path, one argument per name, top level\n"
    "first. Every change keeps the file before it as its backup (FILE ending\n"
    "in \"bak\") and replaces FILE only by a complete new file.\n"
    "  --raw   take and print the file's bytes unconverted\n"
    "  --utf8  print UTF-8 into pipes and files (on Windows; a console shows\n"
    "          every character anyway), and take UTF-8\n"
    "Exit status: 0 done, 1 failed or refused (why on stderr), 2 usage error.\n"
    "Commands (flp COMMAND --help tells more):\n";

}  // namespace

bool AsksForHelp(int argc, char** argv)
{
    for (int i = 0; i < argc; i++)
        if (strcmp(argv[i], "--help") == 0)
            return true;
    return false;
}

bool PrintHelp(const char* command)
{
    std::string text;
    if (!command) {
        text = kGeneral;
        for (const Help& h : kHelp) {
            const char* end = strchr(h.text, '\n');
            text += "  " + std::string(h.text, (size_t)(end - h.text)) + "\n";
        }
    } else {
        for (const Help& h : kHelp)
            if (strcmp(h.command, command) == 0)
                text = h.text;
        if (text.empty())
            return false;
    }
    // The texts are compiled into code page 932, the file's own.
    PutText(text.data(), text.size());
    fflush(stdout);
    return true;
}

void PrintVersion()
{
    const char line[] = "flp (Fenlop 4.25)\n";
    PutText(line, sizeof line - 1);
    fflush(stdout);
}
