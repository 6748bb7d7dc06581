#include "common/buffer_calls.h"

#include <cstdlib>

namespace {

const BufferCalls* g_calls = nullptr;

}  // namespace

void UseBufferCalls(const BufferCalls* calls)
{
    g_calls = calls;
}

void* TakeBuffer(size_t size)
{
    return g_calls ? g_calls->take(size) : malloc(size);
}

void GiveBuffer(void* buffer, size_t size)
{
    if (!buffer)
        return;
    if (g_calls)
        g_calls->give(buffer, size);
    else
        free(buffer);
}
