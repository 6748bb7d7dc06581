#include "library/library_files.h"

#include <cstring>

#include "common/file_calls.h"
#include "common/sjis.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

size_t FolderLength(const char* path)
{
    size_t folder = 0;
    for (size_t i = 0; path[i];) {
        unsigned char c = (unsigned char)path[i];
        if (IsSjisLeadByte(c) && path[i + 1]) {
            i += 2;
            continue;
        }
        i++;
        if (c == '\\' || c == '/')
            folder = i;
    }
    return folder;
}

int SetLibraryFiles(LibraryFiles* files, const char* phrasePath)
{
    static const char kClip[] = "clip.txt";
    size_t n = strlen(phrasePath);
    size_t folder = FolderLength(phrasePath);
    memset(files, 0, sizeof *files);
    if (n < 4 || n >= PATH_BUFFER_SIZE || folder + sizeof kClip > PATH_BUFFER_SIZE || folder >= n)
        return -1;
    memcpy(files->phrase, phrasePath, n + 1);
    memcpy(files->backup, phrasePath, n - 3);
    memcpy(files->backup + n - 3, "bak", 4);
    memcpy(files->clip, phrasePath, folder);
    memcpy(files->clip + folder, kClip, sizeof kClip);
    // A library named like its own backup or clip file would be overwritten
    // by them; Windows file names ignore ASCII case, so a clash there is one.
    if (SjisEqualNoCase(files->phrase, files->backup) ||
        SjisEqualNoCase(files->phrase, files->clip)) {
        memset(files, 0, sizeof *files);
        return -1;
    }
    return 0;
}

int PhrasePathFromModule(const char* modulePath, char* phrasePath, int size)
{
    size_t n = strlen(modulePath);
    size_t folder = FolderLength(modulePath);
    size_t end = n;
    for (size_t i = folder; i < n; i++) {
        unsigned char c = (unsigned char)modulePath[i];
        if (IsSjisLeadByte(c) && i + 1 < n) {
            i++;
            continue;
        }
        if (c == '.')
            end = i;
    }
    if (end + 5 > (size_t)size)
        return -1;
    memcpy(phrasePath, modulePath, end);
    memcpy(phrasePath + end, ".htm", 5);
    return 0;
}

namespace {

// Files up to this size are summed whole; larger ones in STAMP_BLOCKS
// blocks spread evenly from the first byte to the last.
const unsigned long long STAMP_WHOLE_SIZE = 64 * 1024;
const int STAMP_BLOCKS = 16;
const size_t STAMP_BLOCK_SIZE = 4096;

unsigned long long SumBytes(unsigned long long sum, const unsigned char* bytes, size_t n)
{
    for (size_t i = 0; i < n; i++)
        sum = (sum ^ bytes[i]) * 1099511628211ull;  // FNV-1a
    return sum;
}

// Sums the sampled blocks of a file that readAt(offset, buffer, n) reads.
// Each read goes by the core's fault seam first, as every file call does.
template <class ReadAt>
bool SumSamples(const char* path, ReadAt readAt, unsigned long long size, unsigned long long* sum)
{
    static unsigned char buffer[STAMP_WHOLE_SIZE];
    *sum = 14695981039346656037ull;
    if (size <= STAMP_WHOLE_SIZE) {
        if (FileFault(FILE_CALL_READ, path) || !readAt(0, buffer, (size_t)size))
            return false;
        *sum = SumBytes(*sum, buffer, (size_t)size);
        return true;
    }
    unsigned long long last = size - STAMP_BLOCK_SIZE;
    for (int i = 0; i < STAMP_BLOCKS; i++) {
        unsigned long long offset = last * i / (STAMP_BLOCKS - 1);
        if (FileFault(FILE_CALL_READ, path) || !readAt(offset, buffer, STAMP_BLOCK_SIZE))
            return false;
        *sum = SumBytes(*sum, buffer, STAMP_BLOCK_SIZE);
    }
    return true;
}

#ifdef _WIN32
struct StampFile {
    HANDLE handle;
};

// A seek and a plain read: under Wine a read at an offset given with it
// costs several times as much.
bool ReadAt(StampFile* file, unsigned long long offset, unsigned char* buffer, size_t n)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD read = 0;
    return n == 0 || (SetFilePointerEx(file->handle, at, nullptr, FILE_BEGIN) &&
                      ReadFile(file->handle, buffer, (DWORD)n, &read, nullptr) && read == n);
}

// The file is opened sharing everything: the check must never be the
// reason another program cannot write, rename or delete the library.
int StampOpenFile(const char* path, FileStamp* stamp)
{
    StampFile file = {CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info;
    int result = -1;
    if (GetFileInformationByHandle(file.handle, &info)) {
        stamp->identity = ((unsigned long long)info.dwVolumeSerialNumber << 48) ^
                          ((unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow);
        stamp->size = (unsigned long long)info.nFileSizeHigh << 32 | info.nFileSizeLow;
        stamp->writeTime = (unsigned long long)info.ftLastWriteTime.dwHighDateTime << 32 |
                           info.ftLastWriteTime.dwLowDateTime;
        auto read = [&](unsigned long long at, unsigned char* buffer, size_t n) {
            return ReadAt(&file, at, buffer, n);
        };
        if (SumSamples(path, read, stamp->size, &stamp->checksum))
            result = 0;
    }
    CloseHandle(file.handle);
    return result;
}
#else
struct StampFile {
    int fd;
};

bool ReadAt(StampFile* file, unsigned long long offset, unsigned char* buffer, size_t n)
{
    return n == 0 || pread(file->fd, buffer, n, (off_t)offset) == (ssize_t)n;
}

int StampOpenFile(const char* path, FileStamp* stamp)
{
    StampFile file = {open(path, O_RDONLY)};
    if (file.fd < 0)
        return -1;
    struct stat info;
    int result = -1;
    if (fstat(file.fd, &info) == 0) {
        stamp->identity = ((unsigned long long)info.st_dev << 48) ^ (unsigned long long)info.st_ino;
        stamp->size = (unsigned long long)info.st_size;
        stamp->writeTime = (unsigned long long)info.st_mtim.tv_sec * 1000000000ull + info.st_mtim.tv_nsec;
        auto read = [&](unsigned long long at, unsigned char* buffer, size_t n) {
            return ReadAt(&file, at, buffer, n);
        };
        if (SumSamples(path, read, stamp->size, &stamp->checksum))
            result = 0;
    }
    close(file.fd);
    return result;
}
#endif

// The stamp of a file in an installed file set, read through the set.
int StampSetFile(const FileSet* set, const char* path, FileStamp* stamp)
{
    if (set->describe(path, &stamp->identity, &stamp->size, &stamp->writeTime) != 0)
        return -1;
    FILE* file = set->open(path, "rb");
    if (!file)
        return -1;
    auto read = [&](unsigned long long at, unsigned char* buffer, size_t n) {
        return n == 0 || (fseek(file, (long)at, SEEK_SET) == 0 && fread(buffer, 1, n, file) == n);
    };
    bool summed = SumSamples(path, read, stamp->size, &stamp->checksum);
    fclose(file);
    return summed ? 0 : -1;
}

}  // namespace

int TakeFileStamp(const char* path, FileStamp* stamp)
{
    memset(stamp, 0, sizeof *stamp);
    const FileSet* set = InstalledFileSet();
    if ((set ? StampSetFile(set, path, stamp) : StampOpenFile(path, stamp)) != 0) {
        memset(stamp, 0, sizeof *stamp);
        return -1;
    }
    stamp->known = true;
    return 0;
}

bool SameFileByName(const char* path, const FileStamp* stamp)
{
    if (!stamp->known)
        return false;
    unsigned long long identity;
    if (const FileSet* set = InstalledFileSet()) {
        unsigned long long size, writeTime;
        if (set->describe(path, &identity, &size, &writeTime) != 0)
            return false;
    } else {
#ifdef _WIN32
        HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        BY_HANDLE_FILE_INFORMATION info;
        bool told = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        if (!told)
            return false;
        identity = ((unsigned long long)info.dwVolumeSerialNumber << 48) ^
                   ((unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow);
#else
        struct stat info;
        if (stat(path, &info) != 0)
            return false;
        identity = ((unsigned long long)info.st_dev << 48) ^ (unsigned long long)info.st_ino;
#endif
    }
    return identity == stamp->identity;
}

bool SameFileStamp(const FileStamp* a, const FileStamp* b)
{
    return a->known && b->known && a->identity == b->identity && a->size == b->size &&
           a->writeTime == b->writeTime && a->checksum == b->checksum;
}
