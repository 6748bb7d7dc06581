// Files in memory for the fuzz targets: a file set (common/file_calls.h)
// that the core's file calls use instead of the disk, so that a run makes
// no system call for its files.
//
// Names lead to files as on POSIX systems: a file open for reading keeps
// its bytes when another is renamed over its name or the name is removed,
// and a name opened for writing again is the same file, emptied. The
// FILEs are the C library's own (glibc's fopencookie), so that fread,
// fwrite, fseek and fclose work on them unchanged; the buffer of each is a
// kept one (kept_buffers.h) instead of the 8 KB the C library takes anew
// for every FILE.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/file_calls.h"
#include "tests/fuzz/kept_buffers.h"

namespace memory_files {

struct Node {
    std::string bytes;
    unsigned long long identity;
    unsigned long long writeTime;  // a count of writes, as good as a clock here
};

struct Files {
    // Looked up by the caller's const char* as it is (std::less<>), with no
    // string made for each look-up.
    std::map<std::string, std::shared_ptr<Node>, std::less<>> names;
    unsigned long long identities = 0;
    unsigned long long writes = 0;
};

inline Files& All()
{
    static Files files;
    return files;
}

// One open FILE's view of its file.
struct Open {
    std::shared_ptr<Node> node;
    size_t at;
    bool append;
    char* buffer;  // the FILE's, kFileBuffer bytes
};

const size_t kFileBuffer = 8192;

inline ssize_t Read(void* cookie, char* buffer, size_t n)
{
    Open* o = (Open*)cookie;
    const std::string& bytes = o->node->bytes;
    size_t got = o->at < bytes.size() ? std::min(n, bytes.size() - o->at) : 0;
    memcpy(buffer, bytes.data() + o->at, got);
    o->at += got;
    return (ssize_t)got;
}

inline ssize_t Write(void* cookie, const char* buffer, size_t n)
{
    Open* o = (Open*)cookie;
    std::string& bytes = o->node->bytes;
    if (o->append)
        o->at = bytes.size();
    if (bytes.size() < o->at + n)
        bytes.resize(o->at + n);
    memcpy(&bytes[o->at], buffer, n);
    o->at += n;
    o->node->writeTime = ++All().writes;
    return (ssize_t)n;
}

inline int Seek(void* cookie, off64_t* offset, int whence)
{
    Open* o = (Open*)cookie;
    off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (off64_t)o->at
                                                               : (off64_t)o->node->bytes.size();
    if (base + *offset < 0)
        return -1;
    o->at = (size_t)(base + *offset);
    *offset = (off64_t)o->at;
    return 0;
}

// Called by fclose once the buffer is written out; the C library does not
// touch a buffer of the caller's after that.
inline int Close(void* cookie)
{
    Open* o = (Open*)cookie;
    kept_buffers::Give(o->buffer, kFileBuffer);
    delete o;
    return 0;
}

// Modes "r", "w", "a", each with "+" and "b" or not.
inline FILE* OpenFile(const char* path, const char* mode)
{
    Files& files = All();
    auto found = files.names.find(path);
    std::shared_ptr<Node> node;
    if (mode[0] == 'r') {
        if (found == files.names.end()) {
            errno = ENOENT;
            return nullptr;
        }
        node = found->second;
    } else {
        if (found == files.names.end()) {
            node = std::make_shared<Node>();
            node->identity = ++files.identities;
            files.names[path] = node;
        } else {
            node = found->second;
        }
        if (mode[0] == 'w') {
            node->bytes.clear();
            node->writeTime = ++files.writes;
        }
    }
    Open* o = new Open{node, 0, mode[0] == 'a', (char*)kept_buffers::Take(kFileBuffer)};
    cookie_io_functions_t calls = {Read, Write, Seek, Close};
    FILE* file = o->buffer ? fopencookie(o, mode, calls) : nullptr;
    if (file && setvbuf(file, o->buffer, _IOFBF, kFileBuffer) != 0) {
        fclose(file);  // gives the buffer back
        return nullptr;
    }
    if (!file) {
        kept_buffers::Give(o->buffer, kFileBuffer);
        delete o;
    }
    return file;
}

inline int RemoveFile(const char* path)
{
    Files& files = All();
    auto found = files.names.find(path);
    if (found == files.names.end())
        return -1;
    files.names.erase(found);
    return 0;
}

inline int RenameFile(const char* from, const char* to)
{
    Files& files = All();
    auto found = files.names.find(from);
    if (found == files.names.end())
        return -1;
    std::shared_ptr<Node> node = found->second;
    files.names.erase(found);
    files.names[to] = node;
    return 0;
}

inline int FlushFile(FILE*)
{
    return 0;
}

inline int DescribeFile(const char* path, unsigned long long* identity, unsigned long long* size,
                        unsigned long long* writeTime)
{
    auto found = All().names.find(path);
    if (found == All().names.end())
        return -1;
    *identity = found->second->identity;
    *size = found->second->bytes.size();
    *writeTime = found->second->writeTime;
    return 0;
}

const FileSet kSet = {OpenFile, RemoveFile, RenameFile, FlushFile, DescribeFile};

}  // namespace memory_files

// Keeps every file of the core, and of the targets' own helpers, in memory
// from now on.
inline void UseMemoryFiles()
{
    UseFileSet(&memory_files::kSet);
}
