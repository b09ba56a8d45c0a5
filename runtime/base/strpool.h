// StringPool: NUL-terminated strings one after another in one movable block, each named by its
// offset (8 or more; 0 is no string). Block, also the stored form of titles, library names and
// the symbol dictionary's names: {u32 0, u32 used length including this header, strings...};
// the block is larger than the used length and its spare bytes are zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/base/mem.h"

constexpr uint32_t kStrPoolHeader = 8;

struct StringPool {
    MemHandle block;
    uint8_t* address = nullptr; // while locked
    int32_t lock_count = 0;
};

// 1/0: a zeroed block of the source's size + 2056 bytes holding the source's bytes at offset 8
// (used length source size + 8); source may be null.
int strpool_init(StringPool& pool, MemHandle source);
// Wraps a pool block (a loaded record) without copying: 0, or kErrFileDamaged (the pool
// untouched) when the used length is below the header or past the block.
int strpool_attach(StringPool& pool, MemHandle block);
// Hands the block over and clears the descriptor.
MemHandle strpool_detach(StringPool& pool);
void strpool_free(StringPool& pool);
int strpool_is_valid(const StringPool& pool);
// The used length, header included; 0 without a block.
uint32_t strpool_used(const StringPool& pool);
// Offset of a stored copy of text with its NUL; 0 on failure.
uint32_t strpool_add(StringPool& pool, const char* text);
// Copies the string at offset into buffer (always NUL-terminated when size > 0); an offset
// outside the strings gives "".
void strpool_get(const StringPool& pool, uint32_t offset, char* buffer, size_t size);
// Replaces old_length bytes at offset (below 8: the end of the used area) by new_length bytes
// of room, moving what follows; the offset, or 0 when the offset lies past the used area or
// the block cannot grow.
uint32_t strpool_replace(StringPool& pool, uint32_t offset, uint32_t old_length, uint32_t new_length);
// Locks the pool and gives the address of the whole block (whole set: the length is the used
// length) or of the strings after the header (length used - 8); the pool stays locked.
uint32_t strpool_area(StringPool& pool, int whole, const uint8_t** address);
// Counted lock: the first locks the block and records its address; returns it.
uint8_t* strpool_lock(StringPool& pool);
void strpool_unlock(StringPool& pool);
// 1/0: resizes the block (new bytes zero); a locked pool stays locked, at the new address.
int strpool_resize(StringPool& pool, uint32_t size);
