// Large buffers kept from one walk to the next, for the fuzz targets.
//
// Every walk takes a read-ahead and its name and phrase buffers (64 KB
// each), a rewrite its output buffers, and every in-memory FILE one of
// 8 KB; taken fresh each time, the sanitizer's heap (its quarantine, the
// fill of each new block) took about a quarter of a reader run. Kept here,
// they still catch what they caught:
//  - each buffer is an allocation of exactly the size asked for, so a read
//    or write past either end is caught as before;
//  - while kept it is poisoned, so a use after it was given back is caught;
//  - it is taken again only after four newer ones of its size have come
//    back (a use after that is no longer caught: the window is four gives
//    of a size, where the quarantine held the last 16 MB freed);
//  - a buffer given back with another size than it was taken with, or given
//    back twice, or never taken, stops the run.
// What a reused buffer holds is what its last user left there: the core
// clears nothing it is handed, and reads nothing it did not write.
#pragma once

#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstdlib>

#include "common/buffer_calls.h"

// Not counted as coverage: the target's own bookkeeping, whose edges would
// only blur the core's. Nor does it allocate once warm (the fuzzer takes a
// run whose allocations and frees do not match for a leak and looks).
#define KEPT_BUFFERS_CALL inline __attribute__((no_sanitize("coverage")))

namespace kept_buffers {

const size_t kNewerBeforeReuse = 4;
const int kSlots = 256;

struct Slot {
    void* buffer;  // null: free slot
    size_t size;
    unsigned long long given;  // when it was given back (kept slots)
};

struct Pool {
    Slot kept[kSlots];
    Slot out[kSlots];  // taken and not yet given back
    unsigned long long gives;
};

KEPT_BUFFERS_CALL Pool& All()
{
    static Pool pool;
    return pool;
}

KEPT_BUFFERS_CALL void Stop(const char* what, void* buffer, size_t size)
{
    fprintf(stderr, "kept_buffers: %p, %zu bytes: %s\n", buffer, size, what);
    abort();
}

KEPT_BUFFERS_CALL void* Take(size_t size)
{
    Pool& pool = All();
    // The oldest kept buffer of this size, if four newer ones are kept too.
    Slot* oldest = nullptr;
    size_t count = 0;
    for (Slot& slot : pool.kept) {
        if (slot.buffer && slot.size == size) {
            count++;
            if (!oldest || slot.given < oldest->given)
                oldest = &slot;
        }
    }
    void* buffer;
    if (count > kNewerBeforeReuse) {
        buffer = oldest->buffer;
        oldest->buffer = nullptr;
        ASAN_UNPOISON_MEMORY_REGION(buffer, size);
    } else if (!(buffer = malloc(size))) {
        return nullptr;
    }
    for (Slot& slot : pool.out) {
        if (!slot.buffer) {
            slot = {buffer, size, 0};
            return buffer;
        }
    }
    Stop("more buffers taken at once than the harness holds", buffer, size);
    return nullptr;
}

KEPT_BUFFERS_CALL void Give(void* buffer, size_t size)
{
    Pool& pool = All();
    Slot* taken = nullptr;
    for (Slot& slot : pool.out) {
        if (slot.buffer == buffer)
            taken = &slot;
    }
    if (!taken)
        Stop("given back but not taken (or given back twice)", buffer, size);
    if (taken->size != size)
        Stop("given back with another size than it was taken with", buffer, size);
    taken->buffer = nullptr;
    ASAN_POISON_MEMORY_REGION(buffer, size);
    // Into a free slot, else over the oldest kept one, which is freed.
    Slot* into = nullptr;
    for (Slot& slot : pool.kept) {
        if (!slot.buffer) {
            into = &slot;
            break;
        }
        if (!into || slot.given < into->given)
            into = &slot;
    }
    if (into->buffer) {
        ASAN_UNPOISON_MEMORY_REGION(into->buffer, into->size);
        free(into->buffer);
    }
    *into = {buffer, size, ++pool.gives};
}

const BufferCalls kCalls = {Take, Give};

}  // namespace kept_buffers

// The core's large buffers kept from now on.
KEPT_BUFFERS_CALL void UseKeptBuffers()
{
    UseBufferCalls(&kept_buffers::kCalls);
}
