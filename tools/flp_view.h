// flp sees library files in place where the system allows it, instead of
// reading them: a search then copies little of the file.
#pragma once

// On POSIX systems: library files are mapped for the walks, and a file that
// another program shortens while flp sees it ends flp with "flp: PATH: the
// file changed while it was read" (exit code 1) instead of SIGBUS. Elsewhere
// files are read as before: on Windows a mapped file cannot be shortened,
// but a page that fails to come in (a network drive gone) raises an
// exception flp could not turn into such a message.
void UseFileViews();
