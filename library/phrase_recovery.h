// Recovery files (phrase_recovery.cpp).
#pragma once

#include "library/library_files.h"
#include "library/phrase_io.h"

// Recovery files: the phrases of a label that the phrase file could not
// take when fenlop ended, kept beside it until the next start adds them to
// the library. Each holds one label in the clip file's form; they are named
// like the phrase file with its last three characters replaced by "r01" to
// "r99".
const int RECOVERY_FILE_COUNT = 99;

// The name of recovery file n (1 to RECOVERY_FILE_COUNT) into path
// (PATH_BUFFER_SIZE bytes). Returns 0, or -1 when there is no such name (it
// would be the phrase file's own).
int RecoveryFilePath(const LibraryFiles* files, int n, char* path);

// Writes the phrases as a label named "復元：" and name (cut to a name the
// user could give) into the first recovery file that does not exist yet;
// its name goes to path (PATH_BUFFER_SIZE). With all of them taken, a name
// with the date and time in place of the number is used, which no start
// reads: the user brings it in by hand. Returns 0 or -1.
int WriteRecoveryFile(const LibraryFiles* files, const char* name, const PhraseSource* phrases, char* path);

// Adds the label of the recovery file at path to the library as its last
// top-level label, under a name unique there (into newName,
// NAME_BUFFER_SIZE, may be null), and removes the file once the library
// holds the label. Returns 0, or -1 with the library unchanged and the file
// kept.
// A recovery file whose label already stands last in the library, as
// such a merge left it, is not added again; the file goes.
int MergeRecoveryFile(const LibraryFiles* files, const char* path, char* newName);

// Takes a recovery file out of the way once the library holds its phrases:
// removes it or, when another program holds it, gives it a name that no
// start reads ("<name>.done"). Returns 0 or -1 (still there).
int RetireRecoveryFile(const char* path);
