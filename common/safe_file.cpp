#include "common/safe_file.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
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
    w->file = fopen(w->temp, "wb");
    return w->file ? 0 : -1;
}

int CommitSafeWrite(SafeWriter* w)
{
    if (!w->file)
        return -1;
    bool ok = !ferror(w->file) && fflush(w->file) == 0 && FlushFileToDisk(w->file) == 0;
    if (fclose(w->file) != 0)
        ok = false;
    w->file = nullptr;
    if (ok && ReplaceFileAtomically(w->temp, w->target) == 0)
        return 0;
    remove(w->temp);
    return -1;
}

void AbortSafeWrite(SafeWriter* w)
{
    if (w->file) {
        fclose(w->file);
        w->file = nullptr;
        remove(w->temp);
    }
}

int CopyFileSafely(const char* from, const char* to)
{
    FILE* in = fopen(from, "rb");
    if (!in)
        return -1;
    SafeWriter w;
    if (BeginSafeWrite(&w, to) != 0) {
        fclose(in);
        return -1;
    }
    static char buffer[64 * 1024];
    size_t n;
    int result = 0;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (fwrite(buffer, 1, n, w.file) != n) {
            result = -1;
            break;
        }
    }
    if (ferror(in))
        result = -1;
    fclose(in);
    if (result != 0) {
        AbortSafeWrite(&w);
        return -1;
    }
    return CommitSafeWrite(&w);
}

bool FileExists(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    fclose(f);
    return true;
}

// The only platform-specific corner of the core: the atomic replacement and
// the flush to the disk. No core header depends on it.
#ifdef _WIN32
int ReplaceFileAtomically(const char* from, const char* to)
{
    // A file that another program has open (a scanner, a reader of the
    // library) cannot be replaced until it is closed: wait a moment for it.
    const DWORD waitMs = 2000;
    DWORD start = GetTickCount();
    for (;;) {
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
#else
int ReplaceFileAtomically(const char* from, const char* to)
{
    return rename(from, to) == 0 ? 0 : -1;
}

int FlushFileToDisk(FILE* file)
{
    return fsync(fileno(file)) == 0 ? 0 : -1;
}
#endif
