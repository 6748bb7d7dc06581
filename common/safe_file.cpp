#include "common/safe_file.h"

#include "common/file_calls.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

int SafeWriteTempPath(const char* target, char* temp, size_t size)
{
#ifdef _WIN32
    unsigned long id = (unsigned long)_getpid();
#else
    unsigned long id = (unsigned long)getpid();
#endif
    // The process id keeps two writers' files apart; what a killed process
    // of the same id left there is garbage and is written over.
    int n = snprintf(temp, size, "%s.%lu.new", target, id);
    return n > 0 && (size_t)n < size ? 0 : -1;
}

int BeginSafeWrite(SafeWriter* w, const char* target)
{
    w->file = nullptr;
    size_t n = strlen(target);
    if (n == 0 || n >= sizeof w->target || SafeWriteTempPath(target, w->temp, sizeof w->temp) != 0)
        return -1;
    memcpy(w->target, target, n + 1);
    w->beforeReplace = nullptr;
    w->checkDisplaced = nullptr;
    w->context = nullptr;
    w->file = FileOpen(w->temp, "wb");
    return w->file ? 0 : -1;
}

int CommitSafeWrite(SafeWriter* w)
{
    if (!w->file)
        return -1;
    bool ok = !FileFailed(w->file) && FileFlush(w->file) == 0;
    if (FileClose(w->file) != 0)
        ok = false;
    w->file = nullptr;
    if (ok && ReplaceFileAtomically(w->temp, w->target, w->beforeReplace, w->context, w->checkDisplaced) == 0)
        return 0;
    FileRemove(w->temp);
    return -1;
}

void AbortSafeWrite(SafeWriter* w)
{
    if (w->file) {
        FileClose(w->file);
        w->file = nullptr;
        FileRemove(w->temp);
    }
}

int CopyFileSafely(const char* from, const char* to)
{
    FILE* in = FileOpen(from, "rb");
    if (!in)
        return -1;
    SafeWriter w;
    if (BeginSafeWrite(&w, to) != 0) {
        FileClose(in);
        return -1;
    }
    static char buffer[64 * 1024];
    size_t n;
    int result = 0;
    while ((n = FileRead(buffer, sizeof buffer, in)) > 0) {
        if (FileWrite(buffer, n, w.file) != n) {
            result = -1;
            break;
        }
    }
    if (FileFailed(in))
        result = -1;
    FileClose(in);
    if (result != 0) {
        AbortSafeWrite(&w);
        return -1;
    }
    return CommitSafeWrite(&w);
}

bool FileExists(const char* path)
{
    if (const FileSet* set = InstalledFileSet()) {
        unsigned long long identity, size, writeTime;
        return set->describe(path, &identity, &size, &writeTime) == 0;
    }
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    fclose(f);
    return true;
}

// The only platform-specific corner of the core: the atomic replacement and
// the flush to the disk. No core header depends on it.
#ifdef _WIN32
int ReplaceFileAtomically(const char* from, const char* to, int (*beforeReplace)(void*, const char*),
                          void* context, int (*)(void*, const char*))
{
    // No two names can be swapped in one step here: the look before the
    // move is the last one.
    //
    // A file that another program has open (a scanner, a reader of the
    // library) cannot be replaced until it is closed: wait a moment for it.
    // The question comes before every try: while we wait, the other
    // program may be the one that replaces the target.
    const DWORD waitMs = 2000;
    DWORD start = GetTickCount();
    for (;;) {
        if (beforeReplace && beforeReplace(context, from) != 0)
            return -1;
        if (FileFault(FILE_CALL_RENAME, to))
            return -1;
        if (const FileSet* set = InstalledFileSet())
            return set->rename(from, to) == 0 ? 0 : -1;
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            GetTickCount() - start >= waitMs)
            return -1;
        Sleep(10);
    }
}

int FlushFileToDisk(FILE* file)
{
    return _commit(_fileno(file)) == 0 ? 0 : -1;
}

int StartFlushToDisk(FILE*)
{
    return 0;
}

intptr_t HoldFileAgainstWriters(const char* path)
{
    // Reading is shared; writing, a rename over the file and its deletion
    // are not. A program that has it open for writing keeps us from
    // holding it: the check before the rename still sees what it does.
    if (InstalledFileSet())
        return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? 0 : (intptr_t)h;
}

void EndFileHold(intptr_t hold)
{
    if (hold)
        CloseHandle((HANDLE)hold);
}
#else
int ReplaceFileAtomically(const char* from, const char* to, int (*beforeReplace)(void*, const char*),
                          void* context, int (*checkDisplaced)(void*, const char*))
{
    if (beforeReplace && beforeReplace(context, from) != 0)
        return -1;
    if (FileFault(FILE_CALL_RENAME, to))
        return -1;
    if (const FileSet* set = InstalledFileSet())
        return set->rename(from, to) == 0 ? 0 : -1;
#ifdef RENAME_EXCHANGE
    // Another program may rename its own file over the target between the
    // last look and this move, and a plain rename would then throw its
    // file away unseen. Swapped instead, the file we displaced is kept
    // under our temporary name and can be looked at: if it is not the one
    // the caller expected, it goes back.
    if (checkDisplaced) {
        if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
            if (checkDisplaced(context, from) == 0) {
                FileRemove(from);
                return 0;
            }
            // Should even the way back fail, the new file stays and is not
            // called a failure, and the other program's file is left under
            // the temporary name for the user: nothing is deleted.
            return rename(from, to) == 0 ? -1 : 0;
        }
        // Not on this file system or kernel, or no target to swap with:
        // the plain move.
        if (errno != EINVAL && errno != ENOSYS && errno != ENOENT && errno != ENOTSUP)
            return -1;
    }
#else
    (void)checkDisplaced;
#endif
    return rename(from, to) == 0 ? 0 : -1;
}

intptr_t HoldFileAgainstWriters(const char*)
{
    return 0;
}

void EndFileHold(intptr_t)
{
}

int FlushFileToDisk(FILE* file)
{
    return fsync(fileno(file)) == 0 ? 0 : -1;
}

int StartFlushToDisk(FILE* file)
{
#ifdef __linux__
    return sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE) == 0 ? 0 : -1;
#else
    (void)file;
    return 0;
#endif
}
#endif
