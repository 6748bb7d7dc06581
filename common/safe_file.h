// File writes that never leave a half-written file in place of a good one.
//
// The new content goes to a file beside the target whose name no other
// writer uses ("<target>.<process id>.new"); only a complete, flushed and
// closed file replaces the target, in one rename. A crash, a kill or a full
// disk before that leaves the target as it was.
#pragma once

#include <cstdint>
#include <cstdio>

const int PATH_BUFFER_SIZE = 260;

struct SafeWriter {
    FILE* file;                        // open temporary file, binary mode
    char target[PATH_BUFFER_SIZE];     // file to be replaced
    char temp[PATH_BUFFER_SIZE + 16];  // target + ".<process id>.new"
    // Asked just before each try of the move over the target, with the
    // temporary file complete and closed: 0 lets the move go on, -1 gives
    // the write up (the target is not the file the new content was made
    // from any more). Null: no question. BeginSafeWrite clears it.
    int (*beforeReplace)(void* context, const char* temp);
    // Asked after the new file has gone in where the system swaps two
    // names in one step (Linux), with displaced naming the file it took
    // the place of: 0 lets it go, -1 puts that file back (it is not the
    // one the new content was made from: another program renamed its own
    // over the target after the last look) and gives the write up. Null:
    // a plain move. BeginSafeWrite clears it.
    int (*checkDisplaced)(void* context, const char* displaced);
    void* context;
};

// Opens the temporary file. Returns 0, or -1 (nothing created). A process
// writes one temporary file per target at a time.
int BeginSafeWrite(SafeWriter* w, const char* target);

// Flushes the data to the disk, closes the temporary file and moves it over
// the target. Returns 0, or -1 when any write, the flush, the move or the
// writer's beforeReplace refused; then the temporary file is removed and
// the target is unchanged.
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
// On Windows a target that another program holds open is tried again for a
// moment; beforeReplace (may be null) is asked before every try, as for a
// SafeWriter. With checkDisplaced, where the system can swap the two names
// at once, they are swapped, checkDisplaced is asked about the file now
// under from, and that file is then deleted or, refused, moved back over
// to. Returns 0 or -1 (to is as it was, or holds what displaced it).
int ReplaceFileAtomically(const char* from, const char* to,
                          int (*beforeReplace)(void*, const char*) = nullptr,
                          void* context = nullptr,
                          int (*checkDisplaced)(void*, const char*) = nullptr);

// Platform part: keeps other programs from writing, replacing or deleting
// the file at path while it is held; they may still read it. On Windows the
// file is held open with a share mode that allows reading alone, so that a
// program that renames a new copy over it waits (its rename fails and is
// tried again, as every careful writer does) instead of landing in the
// middle of a rewrite. Elsewhere a rename cannot be held off and nothing
// is done. Returns the hold (0: none, which is no failure).
intptr_t HoldFileAgainstWriters(const char* path);
void EndFileHold(intptr_t hold);

// Platform part: forces the file's written data to the disk. Returns 0 or -1.
int FlushFileToDisk(FILE* file);
// Platform part: has the system start writing the file's data to the disk
// and returns at once (Linux); elsewhere does nothing. Returns 0 or -1.
int StartFlushToDisk(FILE* file);

// True when the file exists (can be opened for reading).
bool FileExists(const char* path);
