// What flp's commands share: exit codes, messages, usage and help, the
// library's files and name paths given as arguments.
#pragma once

#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_io.h"
#include "library/phrase_walker.h"

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;  // the operation failed or was refused
const int EXIT_USAGE = 2;

// Prints "flp: " and the formatted line on stderr; returns EXIT_FAILED.
int Fail(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Prints the usage of every command (command null) or the way to ask for
// the usage of one; returns EXIT_USAGE.
int Usage(const char* command = nullptr);

// flp --help (command null) or flp COMMAND --help; false for an unknown
// command.
bool PrintHelp(const char* command);
void PrintVersion();

// Prints where and why the library at path cannot be read: "PREFIXPATH:LINE:
// what", or "PREFIXPATH: what" when no line is known. Returns EXIT_FAILED.
int FailLibrary(const char* prefix, const char* path, const LibraryError* error);

// Ends a command that wrote to standard output: a failed write (a full
// disk, a closed pipe) must not pass for success.
int FinishOutput(int result);

// Derives the files of the library at path. On failure prints that the
// name is unusable and returns EXIT_FAILED.
int UseLibraryFiles(const char* path, LibraryFiles* files);

// Takes the writers' lock of the library at path, for a command that reads
// the labels it acts on and then rewrites the file: no other writer can
// change them in between. On failure prints why, ending with outcome
// ("nothing changed"), and returns EXIT_FAILED.
int LockLibrary(const char* path, const char* outcome);

// A name path given as arguments, in the held form of each name, as the
// label tree matches it: the first label of each name at each level.
struct NamePath {
    char held[MAX_LABEL_DEPTH][LABEL_NAME_SIZE];
    LabelPath path;
};

// Fills names from count arguments. Returns false when the path is deeper
// than any label can be: there is no such label (names is then left empty).
bool SetNamePath(NamePath* names, char** args, int count);

// Checks the library at path without holding its labels, and tells whether
// the label at find (null: none asked) is in it. On failure prints why and
// returns EXIT_FAILED.
int WalkLibrary(const char* path, LibraryFiles* files, const LabelPath* find, bool* found);

// The name path of count arguments, checked against the library at path.
// On failure (the file cannot be read, or has no label there) prints why
// and returns EXIT_FAILED.
int FindNamePath(const char* path, char** args, int count, NamePath* names, LibraryFiles* files);

// True for an argument in an option's place that is no option we know.
bool IsUnknownOption(const char* arg);
