#include "tools/flp_common.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/safe_file.h"
#include "common/writer_lock.h"
#include "tools/flp_text.h"

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
    {"search", "flp search [-0] [--or] [--fold] [--under NAME]... FILE TEXT\n"
               "  Prints the phrases holding every word of TEXT (any word after --or),\n"
               "  in the whole library or under the label given by --under names.\n"
               "  --fold matches forgivingly: hiragana and katakana, half-width and\n"
               "  full-width katakana (ｶﾞ = ガ), full-width and ASCII letters, digits\n"
               "  and signs, and letter case are alike; words are also separated by\n"
               "  full-width spaces.\n"
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
               "  there unless --force is given (the old file is then kept under a\n"
               "  numbered name of its own, which is printed). With --into the document's labels become the last children\n"
               "  of the label at NAME... (none: the top level), under free names.\n"
               "  example: flp import library.htm backup.json --into 表現集\n"},
    {"fill", "flp fill [--now \"YYYY-MM-DD HH:MM:SS\"] [--clipboard TEXT] [--input NAME=VALUE]... TEXT\n"
             "  Prints TEXT as a send fills it in: {日付} {日付:F} {日付+N:F} {時刻} {時刻:F}\n"
             "  {クリップボード} {入力:名前} {カーソル} (or {date} {time} {clipboard}\n"
             "  {input:NAME} {cursor}), {{ and }} for braces; anything else stays as\n"
             "  written. Date codes: yyyy yy mm m dd d aaaa aaa ggg gg g ee e; time\n"
             "  codes: hh h mm m ss s. The caret mark is left out.\n"
             "  example: flp fill \"今日は{日付:ggge年m月d日(aaa)}です\"\n"},
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

// The first line of a command's help is its usage.
std::string UsageLine(const Help& help)
{
    return std::string(help.text, (size_t)(strchr(help.text, '\n') - help.text));
}

}  // namespace

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

int Usage(const char* command)
{
    if (command) {
        fprintf(stderr, "usage: flp %s --help tells how\n", command);
        return EXIT_USAGE;
    }
    std::string text = "usage: flp [--raw|--utf8] COMMAND ...   (flp --help, flp COMMAND --help)\n";
    for (const Help& h : kHelp)
        text += "       " + UsageLine(h) + "\n";
    text += "NAME... is a label's name path, one argument per name, top level first.\n"
            "store reads NUL-terminated phrases from standard input; list and search\n"
            "end each phrase with LF, or with NUL after -0.\n";
    fputs(text.c_str(), stderr);
    return EXIT_USAGE;
}

bool PrintHelp(const char* command)
{
    std::string text;
    if (!command) {
        text = kGeneral;
        for (const Help& h : kHelp) {
            text += "  " + UsageLine(h) + "\n";
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

int FailLibrary(const char* prefix, const char* path, const LibraryError* error)
{
    const char* what = error->what[0] ? error->what
                       : FileExists(path) ? "not a readable library"
                                          : "cannot open the file";
    if (error->line > 0)
        fprintf(stderr, "%s%s:%ld: %s\n", prefix, path, error->line, what);
    else
        fprintf(stderr, "%s%s: %s\n", prefix, path, what);
    return EXIT_FAILED;
}

int FinishOutput(int result)
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        if (result == EXIT_OK)
            return Fail("cannot write the output");
    }
    return result;
}

int UseLibraryFiles(const char* path, LibraryFiles* files)
{
    if (SetLibraryFiles(files, path) != 0)
        return Fail("%s: unusable file name (too short, too long, or its own backup)", path);
    return EXIT_OK;
}

int LockLibrary(const char* path, const char* outcome)
{
    if (TakeWriterLock(path, WRITER_LOCK_WAIT_MS) == 0)
        return EXIT_OK;
    return Fail("%s: another writer kept the library for %d s, or %s.lock cannot be created; %s",
                path, WRITER_LOCK_WAIT_MS / 1000, path, outcome);
}

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

int WalkLibrary(const char* path, LibraryFiles* files, const LabelPath* find, bool* found)
{
    if (UseLibraryFiles(path, files) != EXIT_OK)
        return EXIT_FAILED;
    LibraryError error;
    error = LibraryError();
    LibraryCounts counts;
    if (WalkLibraryFile(files->phrase, find, &counts, &error) != 0)
        return FailLibrary("flp: ", path, &error);
    if (found)
        *found = counts.found;
    return EXIT_OK;
}

int FindNamePath(const char* path, char** args, int count, NamePath* names, LibraryFiles* files)
{
    bool deepEnough = SetNamePath(names, args, count);
    bool found = false;
    if (WalkLibrary(path, files, &names->path, &found) != EXIT_OK)
        return EXIT_FAILED;
    if (!(found && deepEnough))
        return Fail("no label at that path");
    return EXIT_OK;
}

bool IsUnknownOption(const char* arg)
{
    return arg[0] == '-' && arg[1] != '\0';
}
