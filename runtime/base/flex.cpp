#include "runtime/base/flex.h"

#include <cstring>

static int fail(FlexBuffer& buffer)
{
    if (buffer.block) {
        mem_unlock(buffer.block);
        mem_free(buffer.block);
    }
    buffer.block = MemHandle{};
    buffer.write = nullptr;
    buffer.failed = 1;
    return 0;
}

int flex_init(FlexBuffer& buffer, size_t initial_size, size_t growth_step)
{
    buffer = FlexBuffer{};
    if (initial_size > plat::kGlobalMaxBlockSize || growth_step > plat::kGlobalMaxBlockSize)
        return fail(buffer);
    buffer.growth_step = int64_t(growth_step);
    buffer.block = mem_alloc(initial_size, kMemMovable);
    buffer.write = static_cast<uint8_t*>(mem_lock(buffer.block));
    if (!buffer.write)
        return fail(buffer);
    buffer.free = int64_t(mem_size(buffer.block));
    return 1;
}

static bool grow(FlexBuffer& buffer, size_t length)
{
    int64_t free = buffer.free + int64_t(length) + buffer.growth_step;
    if (buffer.used + free > int64_t(plat::kGlobalMaxBlockSize))
        return false;
    mem_unlock(buffer.block);
    if (!mem_realloc(buffer.block, buffer.used + free, kMemMovable))
        return false;
    buffer.free = free;
    buffer.write = static_cast<uint8_t*>(mem_lock(buffer.block)) + buffer.used;
    return true;
}

int flex_append(FlexBuffer& buffer, const void* bytes, size_t length)
{
    if (buffer.failed || !buffer.block)
        return 0;
    if (length > plat::kGlobalMaxBlockSize)
        return fail(buffer);
    if (buffer.free < int64_t(length) && !grow(buffer, length))
        return fail(buffer);
    if (length > 0)
        std::memcpy(buffer.write, bytes, length);
    buffer.write += length;
    buffer.used += int64_t(length);
    buffer.free -= int64_t(length);
    return 1;
}

MemHandle flex_finish(FlexBuffer& buffer, size_t* length)
{
    if (length)
        *length = 0;
    if (buffer.failed || !buffer.block)
        return MemHandle{};
    MemHandle block = buffer.block;
    mem_unlock(block);
    mem_realloc(block, buffer.used, kMemMovable); // a failed shrink keeps the larger block
    if (length)
        *length = size_t(buffer.used);
    buffer = FlexBuffer{};
    return block;
}
