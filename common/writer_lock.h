// The writers' lock of a library file: one writer at a time, across processes.
//
// Every program that rewrites a library (fenlop, flp, a second fenlop)
// holds its lock from the copy to the backup up to the commit of the new
// file, so that no two writers share the backup or interleave their
// renames. The lock is a file beside the library, "<library>.lock", held
// open for exclusive use on Windows and under flock elsewhere. The system
// lets go of it when the holder's process ends, however it ends: a writer
// killed while it writes never blocks the next one. The file is removed
// when the lock is given back.
//
// Readers do not take it: the library is replaced in one rename, so a
// reader sees the old file or the new one.
#pragma once

// How long a writer waits for another one to finish before it gives up.
// A rewrite holds the lock for the time it takes to copy the file twice.
const int WRITER_LOCK_WAIT_MS = 10000;

// Takes the writers' lock of the library at libraryPath, waiting up to
// waitMs milliseconds (0: one try) while another process holds it.
// Re-entrant within a process: a holder may take it again, and each take
// is matched by one ReleaseWriterLock, so a caller can hold it across a
// check of the file and the rewrite that follows (the rewrite's own take
// then succeeds at once). The holder is the process, not a thread: the
// programs write from one thread. Within a process a library is named by
// the same spelling of its path at every take.
// Returns 0, WRITER_LOCK_BUSY (another process still held it after
// waitMs) or WRITER_LOCK_DENIED (the lock file cannot be made or opened at
// all: a read-only lock file, a folder the user cannot write to; told at
// once, without the wait, since no holder will ever free it).
const int WRITER_LOCK_BUSY = -1;
const int WRITER_LOCK_DENIED = -2;
int TakeWriterLock(const char* libraryPath, int waitMs);

// Gives back one take; the last one lets the next writer in. Does nothing
// for a library whose lock this process does not hold.
void ReleaseWriterLock(const char* libraryPath);

// True while this process holds the lock of libraryPath.
bool HoldsWriterLock(const char* libraryPath);
