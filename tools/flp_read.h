// flp's commands that read a library and change nothing. Each takes the
// arguments after its name and returns the exit code.
#pragma once

// Tells list and search that their output, into a file or a pipe with
// --raw, is theirs to gather: standard output is unbuffered (main).
void SetOutputGathered(bool gathered);

int CommandTree(int argc, char** argv);
int CommandList(int argc, char** argv);
int CommandSearch(int argc, char** argv);
int CommandCheck(int argc, char** argv);
int CommandExport(int argc, char** argv);
// flp fill [--now TIME] [--clipboard TEXT] [--input NAME=VALUE]... TEXT
int CommandFill(int argc, char** argv);
