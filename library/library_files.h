// The three files of a library: the phrase file, its backup and the clip file.
#pragma once

#include "common/safe_file.h"

struct LibraryFiles {
    char phrase[PATH_BUFFER_SIZE];  // the library
    char backup[PATH_BUFFER_SIZE];  // the phrase file's path ending in "bak"
    char clip[PATH_BUFFER_SIZE];    // "clip.txt" in the phrase file's folder
};

// Fills files for the phrase file at phrasePath. Returns -1 when the path is
// shorter than four bytes or a derived path would not fit.
int SetLibraryFiles(LibraryFiles* files, const char* phrasePath);

// The phrase file of a program: its module path with the extension replaced
// by ".htm" (the last three characters by "htm"). Returns 0 or -1 (too long).
int PhrasePathFromModule(const char* modulePath, char* phrasePath, int size);

// Index just past the last path separator ('\\' or '/') of path, stepping
// over Shift-JIS characters (whose trail byte may be 5Ch); 0 when none.
size_t FolderLength(const char* path);

// One state of a file, told cheaply: its identity (a file renamed over it
// is another file), size, last write time and a checksum of sampled blocks
// (all of a small file). Equal stamps mean the file was not replaced or
// rewritten, except by a same-sized rewrite in place that kept the write
// time and every sampled byte.
struct FileStamp {
    bool known;                    // false: the file could not be opened
    unsigned long long identity;   // volume and file index, or device and inode
    unsigned long long size;
    unsigned long long writeTime;
    unsigned long long checksum;
};

// Takes the stamp of the file at path. Returns 0, or -1 with the stamp
// unknown.
int TakeFileStamp(const char* path, FileStamp* stamp);

// True when both stamps are known and equal.
bool SameFileStamp(const FileStamp* a, const FileStamp* b);

// True when the file now at path is the one the known stamp was taken of
// (the same identity), told by its name alone: a quick last look after a
// stamp, whose sampled reads take a while.
bool SameFileByName(const char* path, const FileStamp* stamp);
