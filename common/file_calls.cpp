#include "common/file_calls.h"

#include <cerrno>

#include "common/safe_file.h"

namespace {

FileFaultHook g_hook = nullptr;
const FileSet* g_set = nullptr;

// Files whose read or write the hook failed: the C library's own error
// flag cannot be set from outside. A process has a few files open at once.
const int FAULTED_SLOTS = 16;
FILE* g_faulted[FAULTED_SLOTS];

void MarkFaulted(FILE* file)
{
    for (FILE*& slot : g_faulted)
        if (!slot || slot == file) {
            slot = file;
            return;
        }
}

void ForgetFaulted(FILE* file)
{
    for (FILE*& slot : g_faulted)
        if (slot == file)
            slot = nullptr;
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook)
{
    g_hook = hook;
}

void UseFileSet(const FileSet* set)
{
    g_set = set;
}

const FileSet* InstalledFileSet()
{
    return g_set;
}

int FileFault(FileCall call, const char* path)
{
    if (!g_hook)
        return 0;
    int error = g_hook(call, path ? path : "");
    if (error)
        errno = error;
    return error;
}

FILE* FileOpen(const char* path, const char* mode)
{
    if (FileFault(FILE_CALL_OPEN, path))
        return nullptr;
    return g_set ? g_set->open(path, mode) : fopen(path, mode);
}

size_t FileRead(void* buffer, size_t n, FILE* file)
{
    if (FileFault(FILE_CALL_READ, nullptr)) {
        MarkFaulted(file);
        return 0;
    }
    return fread(buffer, 1, n, file);
}

size_t FileWrite(const void* buffer, size_t n, FILE* file)
{
    if (FileFault(FILE_CALL_WRITE, nullptr)) {
        MarkFaulted(file);
        return 0;
    }
    return fwrite(buffer, 1, n, file);
}

int FileFlush(FILE* file)
{
    if (FileFault(FILE_CALL_FLUSH, nullptr))
        return -1;
    if (fflush(file) != 0)
        return -1;
    return (g_set ? g_set->flush(file) : FlushFileToDisk(file)) == 0 ? 0 : -1;
}

int FileWriteAhead(FILE* file)
{
    if (fflush(file) != 0)
        return -1;
    if (!g_set)
        StartFlushToDisk(file);  // advice: a fault shows at the flush that waits
    return 0;
}

int FileClose(FILE* file)
{
    ForgetFaulted(file);
    // A failed close still lets go of the file.
    bool hooked = FileFault(FILE_CALL_CLOSE, nullptr) != 0;
    return fclose(file) == 0 && !hooked ? 0 : -1;
}

bool FileFailed(FILE* file)
{
    if (ferror(file))
        return true;
    for (FILE* slot : g_faulted)
        if (slot == file)
            return true;
    return false;
}

int FileRemove(const char* path)
{
    if (FileFault(FILE_CALL_REMOVE, path))
        return -1;
    if (g_set)
        return g_set->remove(path) == 0 ? 0 : -1;
    return remove(path) == 0 ? 0 : -1;
}
