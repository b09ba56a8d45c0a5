// Movable memory blocks of the runtime: the allocation and resize rules every container relies
// on, purgeable blocks, the memory budget figure, byte-range replacement and the 190-byte clear.
// A MemHandle is the platform's 32-bit block id; the bytes move whenever the block is unlocked
// and grows, so an address read through mem_address is good only until the next allocation,
// resize or free of any block. Failures return 0 (null, or -1 for util_replace_bytes); nothing
// here raises an internal error.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/kernel/memory.h"

using MemHandle = plat::GlobalHandle;

// Readers that tell "absent" (null) from "the copy could not be made" hand back this value.
constexpr MemHandle kMemFailed{0xFFFFFFFFu};

// Allocation flags are the platform's GlobalAlloc flags.
enum : uint32_t {
    kMemFixed = 0x0000,
    kMemMovable = 0x0002,
    kMemZeroInit = 0x0040,
    kMemMovableZero = 0x0042,
};

// mem_resize refuses anything larger; other growth is bounded only by memory.
constexpr size_t kMemResizeLimit = 0xFFE0;
// mem_write_at refuses an end at or past this.
constexpr size_t kMemWriteAtLimit = 0x10000;
// The budget figure never exceeds this, however much memory the machine has.
constexpr int64_t kMemBudgetCeiling = int64_t(2) << 30;

// --- the memory budget ---------------------------------------------------------------------

// Takes total physical memory minus 3 MB as the budget figure (once, at early start-up).
void mem_note_physical();
// The figure for a machine with that much physical memory: minus 3 MB, within 0..ceiling.
int64_t mem_budget_from_physical(uint64_t total_physical);
// The current budget figure (0 before mem_note_physical).
int64_t mem_budget();
// Adds delta to the figure (kept within 0..2^62) and returns the new figure.
int64_t mem_budget_add(int64_t delta);
// Bytes still available to the process (the page-file figure); the argument is ignored.
uint64_t mem_free_space();
uint64_t mem_free_space_any(int ignored);

// --- blocks --------------------------------------------------------------------------------

// A new block of size bytes (0 gives 8) with the flags; null when refused.
MemHandle mem_alloc(size_t size, uint32_t flags);
// A new movable block of max(length, 1) bytes holding a copy of bytes; null on failure.
MemHandle mem_alloc_copy(const void* bytes, size_t length);
// A new movable block with a copy of the whole block; null for null, discarded or on failure.
MemHandle mem_duplicate(MemHandle block);
// 1 when the block now has max(size, 8) bytes; 0 for null, above kMemResizeLimit or when
// refused (block unchanged). Only the zero-fill bit of flags is used; the handle stays.
int mem_resize(MemHandle block, size_t size, uint32_t flags);
// The handle with max(size, 8) bytes, or null (block unchanged); no size limit; a negative
// size or a null handle gives null; flags 0 count as kMemMovableZero.
MemHandle mem_realloc(MemHandle block, int64_t size, uint32_t flags);
// The block resized to max(size, 1) bytes keeping its contents (a null handle gets a new
// block). On null the old block has been freed: callers always continue with the result.
MemHandle mem_set_size(MemHandle block, size_t size, uint32_t flags);
// Sizes the block to max(offset + length, 1) (gap bytes zero) and copies bytes to offset;
// 1 ok; 0 for null, an end at or past kMemWriteAtLimit, or when the block cannot grow.
int mem_write_at(MemHandle block, const void* bytes, size_t length, size_t offset);
// As mem_write_at without the limit, through mem_set_size: the handle to use, or null (the
// old block then freed).
MemHandle mem_resize_write_at(MemHandle block, const void* bytes, size_t length, size_t offset);
// Frees a non-null block; null, or the handle itself when it was not a valid block.
MemHandle mem_free(MemHandle block);
// Bytes in the block; 0 for null, discarded or stale.
size_t mem_size(MemHandle block);
// 1 when the block was discarded.
int mem_is_purged(MemHandle block);
// Marks the block purgeable (discardable while unlocked) or not; the previous bit, 0 for null.
int mem_set_purgeable(MemHandle block, int purgeable);
// -1, 0 or 1: unsigned bytes of the common prefix, then the shorter is lower; null is lowest.
int mem_compare(MemHandle a, MemHandle b);
// A zero-filled movable block as large as possible from max(minimum, wanted) down (halving,
// wanted first lowered to the free space), not below minimum; null when not even that fits.
MemHandle mem_alloc_best(size_t minimum, size_t wanted);

// Counted lock: pins the block and returns its address (null when discarded or bad).
void* mem_lock(MemHandle block);
// Drops one lock; true while the block stays locked.
bool mem_unlock(MemHandle block);
// The block's current address without locking: good only until the next allocation, resize
// or free of any block. Null for null or discarded blocks.
void* mem_address(MemHandle block);

// mem_alloc then lock: the address or null.
void* mem_alloc_locked(size_t size, uint32_t flags);
// mem_alloc_copy then lock: the address or null.
void* mem_alloc_copy_locked(const void* bytes, size_t length);
// Frees the block that address belongs to (any byte inside it); nothing for a foreign address.
void mem_free_locked(void* address);

// Zeroes 190 bytes at address (the display engine's message record); returns address.
void* mem_clear_190(void* address);

// Replaces old_length bytes at position of the first size bytes of the block (size -1: the
// whole block) by new_length bytes from new_bytes, or zeros when it is null. A position past
// size appends; old_length is cut at size. Returns position + new_length, or -1 when the block
// could not be resized (nothing changed when growing; bytes already moved when shrinking).
int64_t util_replace_bytes(MemHandle block, int64_t size, int64_t position, int64_t old_length,
                           const void* new_bytes, int64_t new_length);

// --- MMX ----------------------------------------------------------------------------------

// Access to the settings file, as its module offers it: read gives the value's length in out.
using MemSettingsRead = uint32_t (*)(char* out, uint32_t size, const char* section, const char* key,
                                     const char* default_value);
using MemSettingsWrite = int (*)(const char* section, const char* key, const char* value);
// Where app_mmx_available reads and writes [MMXTechnology]; without it the default "1" holds.
void app_mmx_set_settings(MemSettingsRead read, MemSettingsWrite write);
// 1 when MMX may be used: decided once from [MMXTechnology] MMXEnableCheck (written back as
// "0" or "1") and the processor.
int app_mmx_available();

// Forgets the budget figure, the MMX decision and the settings access (tests call it).
void mem_reset();
