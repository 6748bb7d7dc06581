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
const int kSizes = 64;       // sizes kept; a buffer of another size is not kept
const int kKeptOfSize = 16;  // kept of one size; beyond that the oldest is freed
const int kOut = 256;        // taken at once

// The kept buffers of one size, oldest first, in a ring.
struct Size {
    size_t size;
    void* kept[kKeptOfSize];
    int first;
    int count;
};

struct Taken {
    void* buffer;
    size_t size;
};

struct Pool {
    Size sizes[kSizes];
    int sizeCount;
    Taken out[kOut];  // in no order
    int outCount;
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

KEPT_BUFFERS_CALL Size* KeptOfSize(size_t size)
{
    Pool& pool = All();
    for (int i = 0; i < pool.sizeCount; i++) {
        if (pool.sizes[i].size == size)
            return &pool.sizes[i];
    }
    if (pool.sizeCount == kSizes)
        return nullptr;
    Size* made = &pool.sizes[pool.sizeCount++];
    made->size = size;
    return made;
}

KEPT_BUFFERS_CALL void* Take(size_t size)
{
    Pool& pool = All();
    if (pool.outCount == kOut)
        Stop("more buffers taken at once than the harness holds", nullptr, size);
    Size* kept = KeptOfSize(size);
    void* buffer;
    if (kept && kept->count > (int)kNewerBeforeReuse) {
        buffer = kept->kept[kept->first];
        kept->first = (kept->first + 1) % kKeptOfSize;
        kept->count--;
        ASAN_UNPOISON_MEMORY_REGION(buffer, size);
    } else if (!(buffer = malloc(size))) {
        return nullptr;
    }
    pool.out[pool.outCount++] = {buffer, size};
    return buffer;
}

KEPT_BUFFERS_CALL void Give(void* buffer, size_t size)
{
    Pool& pool = All();
    int at = pool.outCount - 1;  // most often the last taken
    while (at >= 0 && pool.out[at].buffer != buffer)
        at--;
    if (at < 0)
        Stop("given back but not taken (or given back twice)", buffer, size);
    if (pool.out[at].size != size)
        Stop("given back with another size than it was taken with", buffer, size);
    pool.out[at] = pool.out[--pool.outCount];
    Size* kept = KeptOfSize(size);
    if (!kept) {
        free(buffer);
        return;
    }
    if (kept->count == kKeptOfSize) {
        ASAN_UNPOISON_MEMORY_REGION(kept->kept[kept->first], size);
        free(kept->kept[kept->first]);
        kept->first = (kept->first + 1) % kKeptOfSize;
        kept->count--;
    }
    ASAN_POISON_MEMORY_REGION(buffer, size);
    kept->kept[(kept->first + kept->count) % kKeptOfSize] = buffer;
    kept->count++;
}

const BufferCalls kCalls = {Take, Give};

}  // namespace kept_buffers

// The core's large buffers kept from now on.
KEPT_BUFFERS_CALL void UseKeptBuffers()
{
    UseBufferCalls(&kept_buffers::kCalls);
}
