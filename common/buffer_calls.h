// Where the readers' large buffers come from: the read-ahead of a token
// reader, a walk's name and phrase buffers. They are taken and given back
// through this one pair of calls, which are malloc and free unless a test
// installs calls of its own (to keep buffers from one walk to the next, or
// to see that each is given back once, with the size it was taken with).
#pragma once

#include <cstddef>

struct BufferCalls {
    void* (*take)(size_t size);              // null when there is no room
    void (*give)(void* buffer, size_t size);  // buffer as take gave it, never null
};
// Installs calls (null: malloc and free again). Not for the programs.
void UseBufferCalls(const BufferCalls* calls);

// A buffer of size bytes, not cleared; null when there is no room.
void* TakeBuffer(size_t size);
// Gives back a buffer that TakeBuffer(size) gave; null does nothing.
void GiveBuffer(void* buffer, size_t size);
