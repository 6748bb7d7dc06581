#include "tools/flp_spill.h"

#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

FILE* OpenTempFile()
{
#ifdef _WIN32
    char folder[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof folder, folder);
    char path[MAX_PATH + 16];
    if (n == 0 || n >= sizeof folder || GetTempFileNameA(folder, "flp", 0, path) == 0)
        return nullptr;
    // GetTempFileNameA made the file; it goes when its one handle closes.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)file, _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* f = _fdopen(fd, "w+b");
    if (!f)
        _close(fd);
    return f;
#else
    return tmpfile();
#endif
}

Spill::~Spill()
{
    if (file_)
        fclose(file_);
}

bool Spill::Seek(uint64_t offset)
{
#ifdef _WIN32
    bool ok = _fseeki64(file_, (long long)offset, SEEK_SET) == 0;
#else
    bool ok = offset <= (uint64_t)INT64_MAX && fseeko(file_, (off_t)offset, SEEK_SET) == 0;
#endif
    failed_ |= !ok;
    return ok;
}

void Spill::Append(const void* bytes, size_t n)
{
    tail_.append((const char*)bytes, n);
    if (tail_.size() < limit_ || noFile_)
        return;
    if (!file_ && !(file_ = OpenTempFile())) {
        noFile_ = true;
        return;
    }
    if (Seek(inFile_))
        failed_ |= fwrite(tail_.data(), 1, tail_.size(), file_) != tail_.size();
    inFile_ += tail_.size();
    tail_.clear();
}

void Spill::Read(uint64_t offset, void* out, size_t n)
{
    char* to = (char*)out;
    if (offset < inFile_) {
        size_t k = inFile_ - offset < n ? (size_t)(inFile_ - offset) : n;
        if (!Seek(offset) || fread(to, 1, k, file_) != k) {
            failed_ = true;
            memset(to, 0, k);
        }
        to += k;
        offset += k;
        n -= k;
    }
    if (n > 0)
        memcpy(to, tail_.data() + (offset - inFile_), n);
}

void Spill::Write(uint64_t offset, const void* bytes, size_t n)
{
    const char* from = (const char*)bytes;
    if (offset < inFile_) {
        size_t k = inFile_ - offset < n ? (size_t)(inFile_ - offset) : n;
        if (Seek(offset))
            failed_ |= fwrite(from, 1, k, file_) != k;
        from += k;
        offset += k;
        n -= k;
    }
    if (n > 0)
        memcpy(&tail_[(size_t)(offset - inFile_)], from, n);
}

void Spill::Cut(uint64_t offset)
{
    if (offset >= inFile_) {
        tail_.resize((size_t)(offset - inFile_));
    } else {
        // The file's bytes past offset are written over by the next ones.
        tail_.clear();
        inFile_ = offset;
    }
}
