#include "common/writer_lock.h"

#include <cstdint>
#include <cstring>

#include "common/file_calls.h"
#include "common/safe_file.h"
#include "common/sjis.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char LOCK_SUFFIX[] = ".lock";
const int LOCK_PATH_SIZE = PATH_BUFFER_SIZE + sizeof LOCK_SUFFIX;

// A process rarely writes more than one library; the pastes of a label
// between two libraries would be the most.
const int MAX_HELD_LOCKS = 8;

// The longest pause between two tries: the time a waiting writer may lose
// after the holder is done.
const int MAX_POLL_MS = 16;

struct HeldLock {
    char path[LOCK_PATH_SIZE];  // the lock file; "" for a free entry
    int takes;                  // takes not yet given back
    intptr_t handle;            // HANDLE or file descriptor holding the lock
};

HeldLock g_held[MAX_HELD_LOCKS];

bool SameLockPath(const char* a, const char* b)
{
#ifdef _WIN32
    // The file system ignores ASCII case; two spellings are one lock.
    return SjisEqualNoCase(a, b);
#else
    return strcmp(a, b) == 0;
#endif
}

bool LockPathOf(const char* libraryPath, char* lockPath)
{
    size_t n = libraryPath ? strlen(libraryPath) : 0;
    if (n == 0 || n >= PATH_BUFFER_SIZE)
        return false;
    memcpy(lockPath, libraryPath, n);
    memcpy(lockPath + n, LOCK_SUFFIX, sizeof LOCK_SUFFIX);
    return true;
}

HeldLock* FindHeld(const char* lockPath)
{
    for (HeldLock& held : g_held)
        if (held.path[0] && SameLockPath(held.path, lockPath))
            return &held;
    return nullptr;
}

// A lock file that refuses us for longer than this is not a holder's file
// being deleted but one we may not write (read-only, or its folder's).
const unsigned long long MAX_PENDING_MS = 250;

// Platform part: one try at the lock. Returns 1 with *handle set when it is
// ours, 0 when another process holds it, 2 when the last holder's file may
// still be on its way out, -1 when it cannot be had at all.
int TryLockFile(const char* lockPath, intptr_t* handle);
void UnlockFile(const char* lockPath, intptr_t handle);
unsigned long long NowMs();
void PauseMs(int ms);

#ifdef _WIN32
int TryLockFile(const char* lockPath, intptr_t* handle)
{
    // Opened for exclusive use: no other process can open it meanwhile, and
    // the system deletes it when the last handle closes, at the latest when
    // the process ends.
    HANDLE h = CreateFileA(lockPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        *handle = (intptr_t)h;
        return 1;
    }
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION)
        return 0;
    if (error != ERROR_ACCESS_DENIED)
        return -1;
    // Access is denied while the last holder's file is being deleted, but
    // also for a read-only lock file left behind and in a folder we may not
    // write to: those never free themselves.
    DWORD attributes = GetFileAttributesA(lockPath);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_ACCESS_DENIED ? 2 : -1;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return 2;
}

void UnlockFile(const char*, intptr_t handle)
{
    CloseHandle((HANDLE)handle);
}

unsigned long long NowMs()
{
    return GetTickCount64();
}

void PauseMs(int ms)
{
    Sleep((DWORD)ms);
}
#else
int TryLockFile(const char* lockPath, intptr_t* handle)
{
    int fd = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;  // read-only, or a folder we may not write to
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? 0 : -1;
    }
    // The holder before us removes the file before it lets go: a lock on a
    // file that is no longer at the path locks nothing anyone else sees.
    struct stat opened, named;
    if (fstat(fd, &opened) != 0 || stat(lockPath, &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        close(fd);
        return 0;
    }
    *handle = fd;
    return 1;
}

void UnlockFile(const char* lockPath, intptr_t handle)
{
    unlink(lockPath);
    close((int)handle);
}

unsigned long long NowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long long)now.tv_sec * 1000u + (unsigned long long)now.tv_nsec / 1000000u;
}

void PauseMs(int ms)
{
    timespec pause = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}
#endif

// In an installed file set the lock is its file alone: one process uses
// the set, and its own takes are counted above.
int TryLockInSet(const char* lockPath, intptr_t* handle)
{
    FILE* file = InstalledFileSet()->open(lockPath, "wb");
    if (!file)
        return -1;
    fclose(file);
    *handle = 1;
    return 1;
}

}  // namespace

int TakeWriterLock(const char* libraryPath, int waitMs)
{
    char lockPath[LOCK_PATH_SIZE];
    if (!LockPathOf(libraryPath, lockPath))
        return WRITER_LOCK_DENIED;
    if (HeldLock* held = FindHeld(lockPath)) {
        held->takes++;
        return 0;
    }
    HeldLock* entry = nullptr;
    for (HeldLock& held : g_held)
        if (!held.path[0] && !entry)
            entry = &held;
    if (!entry)
        return WRITER_LOCK_DENIED;

    // The clock counts whole milliseconds: one more keeps the part of a
    // millisecond already gone from being taken off the wait.
    unsigned long long deadline = NowMs() + (unsigned long long)(waitMs > 0 ? waitMs + 1 : 0);
    int pause = 1;
    intptr_t handle = 0;
    unsigned long long pendingSince = 0;
    for (;;) {
        int got = FileFault(FILE_CALL_LOCK, lockPath) ? -1
                  : InstalledFileSet()                ? TryLockInSet(lockPath, &handle)
                                                      : TryLockFile(lockPath, &handle);
        if (got < 0)
            return WRITER_LOCK_DENIED;
        if (got == 1)
            break;
        unsigned long long now = NowMs();
        if (got == 2 && !pendingSince)
            pendingSince = now;
        else if (got == 0)
            pendingSince = 0;
        if (pendingSince && now - pendingSince > MAX_PENDING_MS)
            return WRITER_LOCK_DENIED;
        if (now >= deadline)
            return WRITER_LOCK_BUSY;
        int left = (int)(deadline - now);
        PauseMs(pause < left ? pause : left);
        if (pause < MAX_POLL_MS)
            pause *= 2;
    }
    memcpy(entry->path, lockPath, strlen(lockPath) + 1);
    entry->takes = 1;
    entry->handle = handle;
    return 0;
}

void ReleaseWriterLock(const char* libraryPath)
{
    char lockPath[LOCK_PATH_SIZE];
    if (!LockPathOf(libraryPath, lockPath))
        return;
    HeldLock* held = FindHeld(lockPath);
    if (!held || --held->takes > 0)
        return;
    if (InstalledFileSet())
        InstalledFileSet()->remove(held->path);
    else
        UnlockFile(held->path, held->handle);
    held->path[0] = '\0';
    held->handle = 0;
}

bool HoldsWriterLock(const char* libraryPath)
{
    char lockPath[LOCK_PATH_SIZE];
    return LockPathOf(libraryPath, lockPath) && FindHeld(lockPath) != nullptr;
}
