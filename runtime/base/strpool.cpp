#include "runtime/base/strpool.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"

// Spare room a new pool starts with and every growth adds, so adds rarely reallocate.
constexpr uint32_t kPoolSpare = 2048;
constexpr uint32_t kUsedOffset = 4;

static uint8_t* pool_bytes(const StringPool& pool) { return static_cast<uint8_t*>(mem_address(pool.block)); }

// The used length as the block says, never believed past the block.
static uint32_t used_length(const StringPool& pool)
{
    const uint8_t* bytes = pool.block ? pool_bytes(pool) : nullptr;
    size_t size = mem_size(pool.block);
    if (!bytes || size < kStrPoolHeader)
        return 0;
    uint32_t used = plat::load_u32le(bytes + kUsedOffset);
    return uint32_t(std::clamp<size_t>(used, kStrPoolHeader, size));
}

static void set_used(StringPool& pool, uint32_t used) { plat::store_u32le(pool_bytes(pool) + kUsedOffset, used); }

int strpool_init(StringPool& pool, MemHandle source)
{
    pool = StringPool{};
    size_t source_size = mem_size(source);
    if (source_size > plat::kGlobalMaxBlockSize - kStrPoolHeader - kPoolSpare)
        return 0;
    // The source stays locked while the pool is made: the allocation could purge or move it.
    const void* source_bytes = source_size > 0 ? mem_lock(source) : nullptr;
    pool.block = mem_alloc(source_size + kStrPoolHeader + kPoolSpare, kMemMovableZero);
    if (pool.block && source_bytes)
        std::memcpy(pool_bytes(pool) + kStrPoolHeader, source_bytes, source_size);
    if (source_bytes)
        mem_unlock(source);
    if (!pool.block)
        return 0;
    set_used(pool, uint32_t(source_size + kStrPoolHeader));
    return 1;
}

int strpool_attach(StringPool& pool, MemHandle block)
{
    const uint8_t* bytes = block ? static_cast<const uint8_t*>(mem_address(block)) : nullptr;
    size_t size = mem_size(block);
    if (!bytes || size < kStrPoolHeader)
        return kErrFileDamaged;
    uint32_t used = plat::load_u32le(bytes + kUsedOffset);
    if (used < kStrPoolHeader || used > size)
        return kErrFileDamaged;
    pool = StringPool{};
    pool.block = block;
    return kErrOk;
}

MemHandle strpool_detach(StringPool& pool)
{
    MemHandle block = pool.block;
    if (pool.lock_count > 0)
        mem_unlock(block);
    pool = StringPool{};
    return block;
}

void strpool_free(StringPool& pool) { mem_free(strpool_detach(pool)); }

int strpool_is_valid(const StringPool& pool) { return pool.block ? 1 : 0; }

uint32_t strpool_used(const StringPool& pool) { return used_length(pool); }

uint8_t* strpool_lock(StringPool& pool)
{
    if (!pool.block)
        return nullptr;
    if (pool.lock_count == 0) {
        pool.address = static_cast<uint8_t*>(mem_lock(pool.block));
        if (!pool.address)
            return nullptr;
    }
    pool.lock_count++;
    return pool.address;
}

void strpool_unlock(StringPool& pool)
{
    if (pool.lock_count == 0)
        return;
    if (--pool.lock_count == 0) {
        mem_unlock(pool.block);
        pool.address = nullptr;
    }
}

int strpool_resize(StringPool& pool, uint32_t size)
{
    if (!pool.block || size < used_length(pool))
        return 0;
    // Unlocked around the reallocation and locked again, so a nested lock survives growth.
    if (pool.lock_count > 0)
        mem_unlock(pool.block);
    bool resized = bool(mem_realloc(pool.block, size, kMemMovableZero));
    if (pool.lock_count > 0)
        pool.address = static_cast<uint8_t*>(mem_lock(pool.block));
    return resized ? 1 : 0;
}

uint32_t strpool_replace(StringPool& pool, uint32_t offset, uint32_t old_length, uint32_t new_length)
{
    uint32_t used = used_length(pool);
    if (used == 0)
        return 0;
    if (offset < kStrPoolHeader)
        offset = used;
    if (offset > used)
        return 0;
    old_length = std::min(old_length, used - offset); // a range past the used area is cut there
    int64_t difference = int64_t(new_length) - old_length;
    int64_t new_used = int64_t(used) + difference;
    uint64_t size = mem_size(pool.block);
    if (uint64_t(new_used) >= size) {
        uint64_t grown = size + uint64_t(difference) + kPoolSpare;
        if (grown > plat::kGlobalMaxBlockSize || !strpool_resize(pool, uint32_t(grown)))
            return 0;
    }
    uint8_t* bytes = pool_bytes(pool);
    std::memmove(bytes + offset + new_length, bytes + offset + old_length, used - offset - old_length);
    if (difference < 0)
        std::memset(bytes + new_used, 0, size_t(-difference)); // spare bytes stay zero
    set_used(pool, uint32_t(new_used));
    return offset;
}

uint32_t strpool_add(StringPool& pool, const char* text)
{
    if (!text)
        return 0;
    size_t length = std::strlen(text) + 1;
    if (length > plat::kGlobalMaxBlockSize)
        return 0;
    uint32_t offset = strpool_replace(pool, 0, 0, uint32_t(length));
    if (offset != 0)
        std::memcpy(pool_bytes(pool) + offset, text, length);
    return offset;
}

void strpool_get(const StringPool& pool, uint32_t offset, char* buffer, size_t size)
{
    if (size == 0)
        return;
    buffer[0] = '\0';
    uint32_t used = used_length(pool);
    if (offset < kStrPoolHeader || offset >= used)
        return;
    size_t count = std::min<size_t>(used - offset, size);
    std::memcpy(buffer, pool_bytes(pool) + offset, count);
    buffer[count < size ? count : size - 1] = '\0';
}

uint32_t strpool_area(StringPool& pool, int whole, const uint8_t** address)
{
    uint8_t* bytes = strpool_lock(pool);
    uint32_t used = used_length(pool);
    if (address)
        *address = bytes ? (whole ? bytes : bytes + kStrPoolHeader) : nullptr;
    if (!bytes)
        return 0;
    return whole ? used : used - kStrPoolHeader;
}
