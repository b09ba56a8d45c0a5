#include "platform/kernel/memory.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/kernel/error.h"

namespace plat {

// An id is the slot index in the low bits and the slot's generation above them: a freed slot
// bumps its generation, so an old id no longer matches.
constexpr uint32_t kIndexBits = 20;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kGenerationMask = (1u << (32 - kIndexBits)) - 1;
// Freed slots wait in a queue until this many are waiting: with the generation bits an id
// then comes back only after millions of frees.
constexpr size_t kFreeSlotsBeforeReuse = 1024;
// Fresh bytes without GMEM_ZEROINIT get this pattern, so code that forgets the flag reads
// the same wrong bytes on every run instead of zeros that happen to be right.
constexpr uint8_t kFreshBytePattern = 0xA5;
constexpr size_t kCapacityGranule = 16;

struct Block {
    uint8_t* data = nullptr; // null when discarded or free
    size_t size = 0;
    size_t capacity = 0;
    uint32_t flags = 0; // GMEM_MOVEABLE and GMEM_DISCARDABLE
    uint32_t lock_count = 0;
    uint32_t generation = 0;
    bool in_use = false;
    bool discarded = false;
};

// Block starts to slots for global_handle: open addressing with linear probing, at most half
// full, deletion by moving later entries back (no markers). Interpreted code allocates and frees
// a block for most texts it copies, so adding and removing must cost no allocation.
class AddressIndex {
public:
    void insert(uintptr_t address, uint32_t index)
    {
        if (2 * (count_ + 1) > entries_.size())
            grow();
        size_t i = home(address);
        while (entries_[i].address != 0 && entries_[i].address != address)
            i = (i + 1) & mask();
        count_ += entries_[i].address == 0 ? 1 : 0;
        entries_[i] = { address, index };
    }

    void erase(uintptr_t address)
    {
        size_t i = find_position(address);
        if (i == kNone)
            return;
        // Later entries of the run that could live at i move back into the hole.
        for (size_t next = (i + 1) & mask(); entries_[next].address != 0; next = (next + 1) & mask()) {
            size_t wanted = home(entries_[next].address);
            if (((next - wanted) & mask()) >= ((next - i) & mask())) {
                entries_[i] = entries_[next];
                i = next;
            }
        }
        entries_[i] = {};
        count_--;
    }

    // The slot of the block starting at address, or 0.
    uint32_t find(uintptr_t address) const
    {
        size_t i = find_position(address);
        return i == kNone ? 0 : entries_[i].index;
    }

private:
    struct Entry {
        uintptr_t address = 0; // 0: free
        uint32_t index = 0;
    };
    static constexpr size_t kNone = SIZE_MAX;

    size_t mask() const { return entries_.size() - 1; }
    size_t home(uintptr_t address) const
    {
        uint64_t mixed = uint64_t(address >> 4) * 0x9E3779B97F4A7C15ull;
        return size_t(mixed >> 32) & mask();
    }
    size_t find_position(uintptr_t address) const
    {
        if (count_ == 0 || address == 0)
            return kNone;
        for (size_t i = home(address); entries_[i].address != 0; i = (i + 1) & mask()) {
            if (entries_[i].address == address)
                return i;
        }
        return kNone;
    }
    void grow()
    {
        std::vector<Entry> old = std::move(entries_);
        entries_.assign(old.empty() ? 64 : 2 * old.size(), Entry {});
        count_ = 0;
        for (const Entry& e : old) {
            if (e.address != 0)
                insert(e.address, e.index);
        }
    }

    std::vector<Entry> entries_;
    size_t count_ = 0;
};

struct MemoryState {
    std::vector<Block> blocks = std::vector<Block>(1); // slot 0 stays free: id 0 is null
    std::deque<uint32_t> free_slots;
    AddressIndex by_address; // data address -> slot, for global_handle
    size_t total = 0;
    size_t limit = 0;
    bool move_on_lock = false;
};

static MemoryState s_memory;

static uint32_t make_id(uint32_t index)
{
    return (s_memory.blocks[index].generation << kIndexBits) | index;
}

static Block* find_block(GlobalHandle handle, uint32_t* index_out = nullptr)
{
    uint32_t index = handle.id & kIndexMask;
    if (index == 0 || index >= s_memory.blocks.size()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Block& block = s_memory.blocks[index];
    if (!block.in_use || block.generation != handle.id >> kIndexBits) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (index_out)
        *index_out = index;
    return &block;
}

static bool is_movable(const Block& block) { return (block.flags & GMEM_MOVEABLE) != 0; }

static void drop_bytes(uint32_t index)
{
    Block& block = s_memory.blocks[index];
    if (!block.data)
        return;
    s_memory.by_address.erase(reinterpret_cast<uintptr_t>(block.data));
    std::free(block.data);
    s_memory.total -= block.size;
    block.data = nullptr;
    block.size = 0;
    block.capacity = 0;
}

static void discard_block(uint32_t index)
{
    drop_bytes(index);
    s_memory.blocks[index].discarded = true;
}

// Discards unlocked discardable blocks, all but keep_index (the block being resized).
static size_t purge(uint32_t keep_index)
{
    size_t released = 0;
    for (uint32_t i = 1; i < s_memory.blocks.size(); i++) {
        Block& block = s_memory.blocks[i];
        if (i == keep_index || !block.in_use || !block.data || block.lock_count != 0
            || !(block.flags & GMEM_DISCARDABLE))
            continue;
        released += block.size;
        discard_block(i);
    }
    return released;
}

static bool within_limit(size_t extra)
{
    return s_memory.limit == 0
        || (s_memory.total <= s_memory.limit && extra <= s_memory.limit - s_memory.total);
}

// Checks that extra more bytes fit the simulated limit, purging when they do not.
static bool make_room(size_t extra, uint32_t keep_index)
{
    if (within_limit(extra))
        return true;
    purge(keep_index);
    if (within_limit(extra))
        return true;
    set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

static size_t capacity_for(size_t size)
{
    return size == 0 ? kCapacityGranule : (size + kCapacityGranule - 1) / kCapacityGranule * kCapacityGranule;
}

// Host bytes for a block; under real pressure purgeable blocks go first, as Win32 does.
static uint8_t* take_bytes(size_t capacity, uint32_t keep_index)
{
    void* bytes = std::malloc(capacity);
    if (!bytes && purge(keep_index) > 0)
        bytes = std::malloc(capacity);
    if (!bytes)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<uint8_t*>(bytes);
}

static void fill_fresh(uint8_t* bytes, size_t count, uint32_t flags)
{
    std::memset(bytes, (flags & GMEM_ZEROINIT) ? 0 : kFreshBytePattern, count);
}

// Gives the block new bytes of new_size at a new address, keeping what fits of the old ones.
static bool move_bytes(uint32_t index, size_t new_size, uint32_t fill_flags)
{
    Block& block = s_memory.blocks[index];
    size_t capacity = capacity_for(new_size);
    uint8_t* bytes = take_bytes(capacity, index);
    if (!bytes)
        return false;
    size_t kept = block.size < new_size ? block.size : new_size;
    if (kept > 0)
        std::memcpy(bytes, block.data, kept);
    fill_fresh(bytes + kept, new_size - kept, fill_flags);
    drop_bytes(index);
    block.data = bytes;
    block.size = new_size;
    block.capacity = capacity;
    block.discarded = false;
    s_memory.total += new_size;
    s_memory.by_address.insert(reinterpret_cast<uintptr_t>(bytes), index);
    return true;
}

static uint32_t new_slot()
{
    if (s_memory.free_slots.size() >= kFreeSlotsBeforeReuse) {
        uint32_t index = s_memory.free_slots.front();
        s_memory.free_slots.pop_front();
        return index;
    }
    if (s_memory.blocks.size() > kIndexMask) {
        if (s_memory.free_slots.empty())
            return 0;
        uint32_t index = s_memory.free_slots.front();
        s_memory.free_slots.pop_front();
        return index;
    }
    s_memory.blocks.emplace_back();
    return uint32_t(s_memory.blocks.size() - 1);
}

static void release_slot(uint32_t index)
{
    Block& block = s_memory.blocks[index];
    uint32_t generation = (block.generation + 1) & kGenerationMask;
    block = Block{};
    block.generation = generation;
    s_memory.free_slots.push_back(index);
}

GlobalHandle global_alloc(uint32_t flags, size_t size)
{
    if (size > kGlobalMaxBlockSize || !make_room(size, 0)) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return GlobalHandle{};
    }
    uint32_t index = new_slot();
    if (index == 0) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return GlobalHandle{};
    }
    Block& block = s_memory.blocks[index];
    block.in_use = true;
    block.flags = flags & (GMEM_MOVEABLE | GMEM_DISCARDABLE);
    if ((flags & GMEM_MOVEABLE) && size == 0) {
        block.discarded = true;
        return GlobalHandle{make_id(index)};
    }
    if (!move_bytes(index, size, flags)) {
        release_slot(index);
        return GlobalHandle{};
    }
    return GlobalHandle{make_id(index)};
}

GlobalHandle global_free(GlobalHandle handle)
{
    uint32_t index = 0;
    if (!find_block(handle, &index))
        return handle;
    drop_bytes(index);
    release_slot(index);
    return GlobalHandle{};
}

void* global_lock(GlobalHandle handle)
{
    uint32_t index = 0;
    Block* block = find_block(handle, &index);
    if (!block)
        return nullptr;
    if (!block->data) {
        set_last_error(ERROR_DISCARDED);
        return nullptr;
    }
    // A failed test move leaves the block where it is: the lock itself must not fail.
    if (s_memory.move_on_lock && block->lock_count == 0 && is_movable(*block))
        move_bytes(index, block->size, GMEM_ZEROINIT);
    block = &s_memory.blocks[index];
    block->lock_count++;
    return block->data;
}

bool global_unlock(GlobalHandle handle)
{
    Block* block = find_block(handle);
    if (!block)
        return false;
    if (block->lock_count == 0) {
        set_last_error(ERROR_NOT_LOCKED);
        return false;
    }
    block->lock_count--;
    if (block->lock_count == 0) {
        set_last_error(ERROR_SUCCESS);
        return false;
    }
    return true;
}

static GlobalHandle modify_flags(GlobalHandle handle, Block& block, uint32_t flags)
{
    block.flags = (block.flags & ~GMEM_DISCARDABLE) | (flags & GMEM_DISCARDABLE);
    if (flags & GMEM_MOVEABLE)
        block.flags |= GMEM_MOVEABLE;
    return handle;
}

static GlobalHandle discard_through_realloc(GlobalHandle handle, uint32_t index)
{
    Block& block = s_memory.blocks[index];
    if (!is_movable(block) || block.lock_count != 0) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return GlobalHandle{};
    }
    discard_block(index);
    return handle;
}

// Resizing inside the bytes the block already has: the address stays.
static void resize_in_place(Block& block, size_t size, uint32_t flags)
{
    if (size > block.size)
        fill_fresh(block.data + block.size, size - block.size, flags);
    s_memory.total = s_memory.total - block.size + size;
    block.size = size;
}

GlobalHandle global_realloc(GlobalHandle handle, size_t size, uint32_t flags)
{
    uint32_t index = 0;
    Block* block = find_block(handle, &index);
    if (!block)
        return GlobalHandle{};
    if (flags & GMEM_MODIFY)
        return modify_flags(handle, *block, flags);
    if (size > kGlobalMaxBlockSize) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return GlobalHandle{};
    }
    if (size == 0 && (flags & GMEM_MOVEABLE))
        return discard_through_realloc(handle, index);
    size_t growth = size > block->size ? size - block->size : 0;
    if (!make_room(growth, index))
        return GlobalHandle{};
    block = &s_memory.blocks[index];
    bool can_move = (is_movable(*block) && block->lock_count == 0) || (flags & GMEM_MOVEABLE);
    bool fits = block->data && size <= block->capacity;
    // A block that shrank to under half its bytes gives them back when it may move.
    bool wasteful = fits && can_move && capacity_for(size) < block->capacity / 2;
    if (fits && !wasteful) {
        resize_in_place(*block, size, flags);
        return handle;
    }
    if (block->data && !can_move) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return GlobalHandle{};
    }
    return move_bytes(index, size, flags) ? handle : GlobalHandle{};
}

GlobalHandle global_discard(GlobalHandle handle) { return global_realloc(handle, 0, GMEM_MOVEABLE); }

size_t global_size(GlobalHandle handle)
{
    Block* block = find_block(handle);
    return block ? block->size : 0;
}

uint32_t global_flags(GlobalHandle handle)
{
    Block* block = find_block(handle);
    if (!block)
        return GMEM_INVALID_HANDLE;
    uint32_t locks = block->lock_count < GMEM_LOCKCOUNT ? block->lock_count : GMEM_LOCKCOUNT;
    return locks | (block->flags & GMEM_DISCARDABLE) | (block->discarded ? uint32_t(GMEM_DISCARDED) : 0u);
}

GlobalHandle global_handle(const void* address)
{
    uintptr_t where = reinterpret_cast<uintptr_t>(address);
    if (uint32_t index = s_memory.by_address.find(where))
        return GlobalHandle{make_id(index)};
    // An address inside a block: callers ask that rarely, so every block is looked at.
    for (uint32_t i = 1; address && i < s_memory.blocks.size(); i++) {
        const Block& block = s_memory.blocks[i];
        size_t span = block.size == 0 ? 1 : block.size; // a 0-byte block still has its start
        if (block.data && where - reinterpret_cast<uintptr_t>(block.data) < span)
            return GlobalHandle{make_id(i)};
    }
    set_last_error(ERROR_INVALID_HANDLE);
    return GlobalHandle{};
}

void* global_address(GlobalHandle handle)
{
    Block* block = find_block(handle);
    if (block && !block->data)
        set_last_error(ERROR_DISCARDED);
    return block ? block->data : nullptr;
}

size_t global_compact(size_t min_free)
{
    (void)min_free;
    return purge(0);
}

void memory_set_move_on_lock(bool on) { s_memory.move_on_lock = on; }

void memory_set_limit(size_t limit) { s_memory.limit = limit; }

size_t memory_total_allocated() { return s_memory.total; }

size_t memory_block_count()
{
    size_t count = 0;
    for (const Block& block : s_memory.blocks)
        count += block.in_use ? 1 : 0;
    return count;
}

void memory_reset()
{
    for (Block& block : s_memory.blocks)
        std::free(block.data);
    s_memory = MemoryState{};
}

} // namespace plat
