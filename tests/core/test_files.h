// Small file helpers for the core tests.
#pragma once

#include <cstdio>
#include <string>

#include "common/safe_file.h"

// A temporary file opened for binary reading, holding bytes.
inline FILE* OpenBytes(const std::string& bytes)
{
    FILE* f = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    return f;
}

// Whole file as bytes; "" when missing (*exists tells).
inline std::string ReadBytes(const std::string& path, bool* exists = nullptr)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (exists)
        *exists = f != nullptr;
    if (!f)
        return "";
    std::string s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The temporary file this process writes target's new content to.
inline std::string TempOf(const std::string& target)
{
    char temp[PATH_BUFFER_SIZE + 16] = "";
    SafeWriteTempPath(target.c_str(), temp, sizeof temp);
    return temp;
}
