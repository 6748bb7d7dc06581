// File writes that never leave a half-written file in place of a good one.
//
// The new content goes to a file beside the target whose name no other
// writer uses ("<target>.<process id>.new"); only a complete, flushed and
// closed file replaces the target, in one rename. A crash, a kill or a full
// disk before that leaves the target as it was.
#pragma once

#include <cstdio>

const int PATH_BUFFER_SIZE = 260;

struct SafeWriter {
    FILE* file;                        // open temporary file, binary mode
    char target[PATH_BUFFER_SIZE];     // file to be replaced
    char temp[PATH_BUFFER_SIZE + 16];  // target + ".<process id>.new"
};

// Opens the temporary file. Returns 0, or -1 (nothing created). A process
// writes one temporary file per target at a time.
int BeginSafeWrite(SafeWriter* w, const char* target);

// Flushes the data to the disk, closes the temporary file and moves it over
// the target. Returns 0, or -1 when any write, the flush or the move failed;
// then the temporary file is removed and the target is unchanged.
int CommitSafeWrite(SafeWriter* w);

// Closes and removes the temporary file; the target is unchanged.
void AbortSafeWrite(SafeWriter* w);

// The temporary file's name for target in this process (size bytes).
// Returns 0, or -1 when it does not fit.
int SafeWriteTempPath(const char* target, char* temp, size_t size);

// Copies the file from over the file to, through a SafeWriter.
// Returns 0, or -1 (to unchanged).
int CopyFileSafely(const char* from, const char* to);

// Platform part: moves from over to in one step (replacing to when it exists).
// Returns 0 or -1.
int ReplaceFileAtomically(const char* from, const char* to);

// Platform part: forces the file's written data to the disk. Returns 0 or -1.
int FlushFileToDisk(FILE* file);

// True when the file exists (can be opened for reading).
bool FileExists(const char* path);
