// Bytes flp puts aside while it works on a library too large to hold: the
// last ones in memory, the older ones in a temporary file of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A new temporary file, open for reading and writing, that the system
// removes when it is closed (or the program ends). On Windows it is made
// in the user's temporary folder: the C library's own goes to the root of
// the drive, where a user without rights over it cannot make one. Null
// when none can be made.
FILE* OpenTempFile();

// Bytes put aside in order, read back and overwritten at their offsets.
// Up to inMemory bytes stay in memory; the older ones go to a temporary
// file, made when first needed (where none can be made, all stay in
// memory).
class Spill {
public:
    explicit Spill(size_t inMemory) : limit_(inMemory) {}
    ~Spill();
    Spill(const Spill&) = delete;
    Spill& operator=(const Spill&) = delete;

    uint64_t Size() const { return inFile_ + tail_.size(); }
    // A read or write of the file failed: what was read may be wrong.
    bool Failed() const { return failed_; }

    void Append(const void* bytes, size_t n);
    // Copies the n bytes at offset (all within Size()) to out.
    void Read(uint64_t offset, void* out, size_t n);
    // Overwrites the n bytes at offset (all within Size()).
    void Write(uint64_t offset, const void* bytes, size_t n);
    // Drops the bytes from offset on.
    void Cut(uint64_t offset);

private:
    bool Seek(uint64_t offset);

    size_t limit_;
    FILE* file_ = nullptr;
    bool noFile_ = false;  // none could be made: everything stays in tail_
    uint64_t inFile_ = 0;  // bytes [0, inFile_) are in the file
    std::string tail_;     // bytes [inFile_, Size())
    bool failed_ = false;
};
