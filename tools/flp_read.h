// flp's commands that read a library and change nothing. Each takes the
// arguments after its name and returns the exit code.
#pragma once

int CommandTree(int argc, char** argv);
int CommandList(int argc, char** argv);
int CommandSearch(int argc, char** argv);
int CommandCheck(int argc, char** argv);
int CommandExport(int argc, char** argv);
// flp fill [--now TIME] [--clipboard TEXT] [--input NAME=VALUE]... TEXT
int CommandFill(int argc, char** argv);
