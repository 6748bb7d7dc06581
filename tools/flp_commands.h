// flp's commands that move libraries in and out as JSON, its help, and the
// knowledge of which arguments are files (never converted natively).
#pragma once

// Global options before the command: --raw, --utf8. Returns how many
// arguments they took (from argv[1]); -1 for both at once.
int TakeGlobalOptions(int argc, char** argv);

// Marks the arguments after the command that are files.
void MarkFileArguments(int count, char** args, bool* isFile);

int CommandExport(int argc, char** argv);
int CommandImport(int argc, char** argv);

// flp --help (command null) or flp COMMAND --help; false for an unknown
// command.
bool PrintHelp(const char* command);
void PrintVersion();

// True when an argument after the command asks for help.
bool AsksForHelp(int argc, char** argv);
