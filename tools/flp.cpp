// flp: the phrase library from the command line.
//
// Runs the program's own readers, rewrites and search on a library file, so
// that a library can be inspected and edited from scripts. Names and texts
// are converted between the terminal and the file's Shift-JIS (flp_text;
// --raw passes the bytes through). This file takes the global options and
// hands the rest to the command named (flp_read: the commands that only
// read, flp_edit: those that change the library). Exit codes:
// 0 success, 1 the operation failed or was refused (one line on stderr),
// 2 usage error.
#include <cstdio>
#include <cstring>

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

#include "tools/flp_common.h"
#include "tools/flp_edit.h"
#include "tools/flp_read.h"
#include "tools/flp_text.h"
#include "tools/flp_view.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);  // the arguments after the name
    bool optionsFirst;                  // takes options before FILE
};

const Command kCommands[] = {
    {"tree", CommandTree, false},     {"list", CommandList, true},
    {"search", CommandSearch, true},  {"check", CommandCheck, false},
    {"create", CommandCreate, false}, {"new", CommandNew, false},
    {"rename", CommandRename, false}, {"cut", CommandCut, false},
    {"copy", CommandCopy, false},     {"paste", CommandPaste, false},
    {"store", CommandStore, false},   {"export", CommandExport, false},
    {"import", CommandImport, false}, {"fill", CommandFill, true},
};

const Command* FindCommand(const char* name)
{
    for (const Command& c : kCommands)
        if (strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

// Global options before the command: --raw, --utf8. Returns how many
// arguments they took (from argv[1]); -1 for both at once.
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

// Marks the arguments after the command that are files (never converted).
void MarkFileArguments(int count, char** args, bool* isFile)
{
    // args[-1] is the command.
    const char* command = args[-1];
    // fill takes texts alone.
    if (strcmp(command, "fill") == 0)
        return;
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

// True when an argument after the command asks for help.
bool AsksForHelp(int argc, char** argv)
{
    for (int i = 0; i < argc; i++)
        if (strcmp(argv[i], "--help") == 0)
            return true;
    return false;
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
    // The walks read the file in read-aheads: a walk over a mapped file
    // took twice the time of one that reads it (the search of a 10.5 MB
    // library 15.4 ms of CPU against 8.7), its pages coming in and going
    // again costing more than copying them.
    UseFileViews(false);
    int global = TakeGlobalOptions(argc, argv);
    // list and search with --raw gather their phrases in a buffer of their
    // own and write it whole (GatherOutput): standard output then holds
    // nothing more.
    if (!terminal) {
        bool gathers = global >= 0 && GetTerminalMode() == TERMINAL_RAW && argc > global + 1 &&
                       (strcmp(argv[global + 1], "list") == 0 ||
                        strcmp(argv[global + 1], "search") == 0);
        if (gathers)
            setvbuf(stdout, nullptr, _IONBF, 0);
        else
            setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
        SetOutputGathered(gathers);
    }
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
    const Command* command = FindCommand(argv[1]);
    int n = argc - 2;
    char** args = argv + 2;
    if (!command || (n > 0 && IsUnknownOption(args[0]) && !command->optionsFirst))
        return Usage();
    return command->run(n, args);
}
