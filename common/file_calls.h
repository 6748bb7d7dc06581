// The file calls of the core, in one place.
//
// Every open, read, write, flush, close, rename and removal that a rewrite,
// a backup, the clip file, a recovery file or the writers' lock makes goes
// through these functions. They are the C library's calls, with one hook in
// front: a test can make any call fail, in turn, with the error of a full
// disk or a denied access, and see that no failure loses the library or
// reads as success.
#pragma once

#include <cstddef>
#include <cstdio>

enum FileCall {
    FILE_CALL_OPEN,
    FILE_CALL_READ,
    FILE_CALL_WRITE,
    FILE_CALL_FLUSH,   // fflush and the flush to the disk
    FILE_CALL_CLOSE,
    FILE_CALL_RENAME,  // a move over another file, or aside
    FILE_CALL_REMOVE,
    FILE_CALL_LOCK,    // one try at the writers' lock
};

// Asked before each call: returns 0 to let it run, or an errno value
// (ENOSPC, EACCES) that the call then fails with, doing nothing. The hook
// is for tests; nothing is set in the programs.
typedef int (*FileFaultHook)(FileCall call, const char* path);
void SetFileFaultHook(FileFaultHook hook);

// The hook's verdict for one call (0: go on).
int FileFault(FileCall call, const char* path);

// Where the core's files are: in the system's file system, unless a set of
// files of its own is installed. The fuzz targets keep theirs in memory, so
// that a run touches no disk. Each call means what the C library's or the
// system's call of that name means; open gives a FILE that the C library
// reads, writes and seeks.
struct FileSet {
    FILE* (*open)(const char* path, const char* mode);
    int (*remove)(const char* path);              // 0 or -1
    int (*rename)(const char* from, const char* to);  // over to, in one step; 0 or -1
    int (*flush)(FILE* file);                     // to the disk; 0 or -1
    // The file at path: an identity (another file renamed over it has
    // another), its size and last write time. 0, or -1 when there is none.
    int (*describe)(const char* path, unsigned long long* identity, unsigned long long* size,
                    unsigned long long* writeTime);
};
// Installs set (null: the system's files again). Not for the programs.
void UseFileSet(const FileSet* set);
// The set installed, or null.
const FileSet* InstalledFileSet();

FILE* FileOpen(const char* path, const char* mode);
// fread and fwrite. A read that failed, by the system or the hook, leaves
// FileFailed true for the file.
size_t FileRead(void* buffer, size_t n, FILE* file);
size_t FileWrite(const void* buffer, size_t n, FILE* file);
// fflush, then the flush of the written data to the disk. Returns 0 or -1.
int FileFlush(FILE* file);
// fflush, then asks the system to start writing the file's data to the
// disk, without waiting for it (where the system can be asked; elsewhere
// only the fflush). A later FileFlush then waits for less. Returns 0 or -1
// (the fflush failed).
int FileWriteAhead(FILE* file);
// fclose. The file is closed even when it returns -1 (a write that was
// still buffered failed).
int FileClose(FILE* file);
// True when a read or write of file failed since it was opened.
bool FileFailed(FILE* file);
// remove(). Returns 0 or -1.
int FileRemove(const char* path);
