// flp's commands that change a library. Each takes the arguments after its
// name and returns the exit code.
#pragma once

int CommandCreate(int argc, char** argv);
int CommandNew(int argc, char** argv);
int CommandRename(int argc, char** argv);
int CommandCut(int argc, char** argv);
int CommandCopy(int argc, char** argv);
int CommandPaste(int argc, char** argv);
int CommandStore(int argc, char** argv);
int CommandImport(int argc, char** argv);
