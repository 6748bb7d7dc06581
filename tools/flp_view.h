// flp sees the files it reads whole in place where the system allows it,
// instead of reading them into memory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// On POSIX systems: a file that another program shortens while flp sees it
// ends flp with "flp: PATH: the file changed while it was read" (exit code
// 1) instead of SIGBUS; with walks, library files are mapped for the walks
// too. Elsewhere files are read: on Windows a mapped file cannot be
// shortened, but a page that fails to come in (a network drive gone)
// raises an exception flp could not turn into such a message.
void UseFileViews(bool walks);

// The bytes of an input (a file or standard input) for a command that
// reads it whole: seen in place on POSIX systems (what comes through a pipe
// is first copied to a file of its own that the system removes), read into
// held elsewhere. name goes into the message of a file shortened meanwhile.
struct InputView {
    const char* bytes;
    size_t size;
    std::string held;
    size_t mapped;  // bytes mapped at bytes (0: none)
};
bool ViewInput(FILE* in, const char* name, InputView* view);
// Lets the pages before upTo leave the process (they come in again when
// read again).
void ReleaseInput(InputView* view, size_t upTo);
void EndInputView(InputView* view);
