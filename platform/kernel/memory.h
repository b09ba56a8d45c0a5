// Movable, lockable, purgeable memory blocks with the meaning of GlobalAlloc and its family.
// A block is named by a 32-bit id; its bytes may move whenever it is unlocked, so an address
// is only good between a lock and the matching unlock. Ids of freed blocks carry a generation,
// so a stale id is refused (error 6) long before its slot is handed out again.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/kernel/handle.h"

namespace plat {

using GlobalHandle = Handle<struct GlobalTag>;

enum : uint32_t {
    GMEM_FIXED = 0x0000,
    GMEM_MOVEABLE = 0x0002,
    GMEM_ZEROINIT = 0x0040,
    GMEM_MODIFY = 0x0080,
    GMEM_DISCARDABLE = 0x0100,
    GMEM_DISCARDED = 0x4000,
    GMEM_INVALID_HANDLE = 0x8000,
    GMEM_LOCKCOUNT = 0x00FF,
    GHND = GMEM_MOVEABLE | GMEM_ZEROINIT,
};

// Largest block the layer hands out; callers above keep smaller limits of their own.
constexpr size_t kGlobalMaxBlockSize = 0x7FFFFFFF;

// A new block of size bytes; null with error 8 when refused. GMEM_MOVEABLE with size 0 gives
// a block that is already discarded, as Win32 does. Bytes are zero only with GMEM_ZEROINIT.
GlobalHandle global_alloc(uint32_t flags, size_t size);

// Frees the block (locked or not); null on success, the handle itself when it is not valid.
GlobalHandle global_free(GlobalHandle block);

// Pins the block and returns its address; each lock needs one unlock (fixed blocks count
// locks too, so an unbalanced unlock shows). Null for a discarded block (error 157) or a bad
// handle (error 6).
void* global_lock(GlobalHandle block);

// Drops one lock; true while the block stays locked. False with error 0 when the count
// reached 0, error 158 when it was not locked, error 6 for a bad handle.
bool global_unlock(GlobalHandle block);

// Resizes keeping the contents (new bytes zero with GMEM_ZEROINIT). An unlocked movable block
// may move; a locked or fixed one only when the flags hold GMEM_MOVEABLE, else it must fit in
// place or the call fails. Size 0 with GMEM_MOVEABLE discards an unlocked movable block.
// GMEM_MODIFY only changes the discardable bit (and GMEM_MOVEABLE makes a fixed block
// movable). Returns the same handle, or null on failure with the block unchanged.
GlobalHandle global_realloc(GlobalHandle block, size_t size, uint32_t flags);

// global_realloc(block, 0, GMEM_MOVEABLE): the handle stays, the bytes go.
GlobalHandle global_discard(GlobalHandle block);

// Bytes in the block: 0 when discarded, 0 with error 6 for a bad handle.
size_t global_size(GlobalHandle block);

// Lock count in the low byte (capped at 255), GMEM_DISCARDABLE, GMEM_DISCARDED;
// GMEM_INVALID_HANDLE with error 6 for a bad handle.
uint32_t global_flags(GlobalHandle block);

// The block whose bytes hold address (its start or any byte inside); null with error 6.
GlobalHandle global_handle(const void* address);

// The block's current address without locking it: good only until the next call of this
// module, as a master pointer is. Null when discarded or bad.
void* global_address(GlobalHandle block);

// Discards every unlocked discardable block (the layer cannot measure free memory, so any
// request for min_free bytes purges them all); returns the bytes released.
size_t global_compact(size_t min_free);

// Test mode: every lock of an unlocked movable block moves its bytes to a new address and
// frees the old ones, so code that keeps an address across an unlock reads freed memory.
void memory_set_move_on_lock(bool on);

// Simulated memory pressure: allocations that would take the total above limit bytes first
// discard purgeable blocks, then fail with error 8. 0 removes the limit.
void memory_set_limit(size_t limit);

// Bytes held by all live blocks (discarded blocks count 0), for memory budgets.
size_t memory_total_allocated();

// Number of live handles, discarded ones included.
size_t memory_block_count();

// Frees every block and clears the test modes (tests call it between cases).
void memory_reset();

} // namespace plat
