#include "platform/kernel/memory.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "platform/kernel/error.h"

using namespace plat;

namespace {

class MemoryTest : public testing::Test {
protected:
    void SetUp() override { memory_reset(); }
    void TearDown() override { memory_reset(); }

    // A locked-and-unlocked block holding bytes 0, 1, 2 ... so moves can be checked.
    static GlobalHandle counting_block(uint32_t flags, size_t size)
    {
        GlobalHandle block = global_alloc(flags, size);
        auto* bytes = static_cast<uint8_t*>(global_lock(block));
        for (size_t i = 0; i < size; i++)
            bytes[i] = uint8_t(i * 7);
        global_unlock(block);
        return block;
    }

    static bool holds_counting_bytes(GlobalHandle block, size_t size)
    {
        auto* bytes = static_cast<uint8_t*>(global_lock(block));
        bool same = bytes != nullptr;
        for (size_t i = 0; same && i < size; i++)
            same = bytes[i] == uint8_t(i * 7);
        global_unlock(block);
        return same;
    }
};

struct AllocCase {
    const char* name;
    uint32_t flags;
    size_t size;
    bool succeeds;
    uint32_t expected_flags; // global_flags of the new block
};

static const AllocCase kAllocCases[] = {
    {"movable 0 bytes is born discarded", GMEM_MOVEABLE, 0, true, GMEM_DISCARDED},
    {"fixed 0 bytes is a live block", GMEM_FIXED, 0, true, 0},
    {"zeroed movable", GHND, 100, true, 0},
    {"discardable reports the bit", GMEM_MOVEABLE | GMEM_DISCARDABLE, 8, true, GMEM_DISCARDABLE},
    {"above 64 KB", GMEM_MOVEABLE, 300000, true, 0},
    {"past the largest block", GMEM_MOVEABLE, kGlobalMaxBlockSize + 1, false, 0},
    {"size_t maximum", GMEM_FIXED, SIZE_MAX, false, 0},
};

TEST_F(MemoryTest, AllocationFlagsAndSizes)
{
    for (const AllocCase& c : kAllocCases) {
        SCOPED_TRACE(c.name);
        GlobalHandle block = global_alloc(c.flags, c.size);
        if (!c.succeeds) {
            EXPECT_FALSE(block);
            EXPECT_EQ(get_last_error(), ERROR_NOT_ENOUGH_MEMORY);
            continue;
        }
        ASSERT_TRUE(block);
        EXPECT_EQ(global_flags(block), c.expected_flags);
        bool discarded = (c.expected_flags & GMEM_DISCARDED) != 0;
        EXPECT_EQ(global_size(block), discarded ? 0 : c.size);
        EXPECT_EQ(global_lock(block) == nullptr, discarded);
        global_unlock(block);
        global_free(block);
    }
    EXPECT_EQ(memory_block_count(), 0u);
    EXPECT_EQ(memory_total_allocated(), 0u);
}

TEST_F(MemoryTest, ZeroInitOnlyWhenAsked)
{
    GlobalHandle zeroed = global_alloc(GHND, 64);
    GlobalHandle raw = global_alloc(GMEM_MOVEABLE, 64);
    const std::vector<uint8_t> zeros(64, 0);
    EXPECT_EQ(std::memcmp(global_lock(zeroed), zeros.data(), 64), 0);
    EXPECT_NE(std::memcmp(global_lock(raw), zeros.data(), 64), 0);
}

TEST_F(MemoryTest, LockCountsAndUnlockResults)
{
    GlobalHandle block = global_alloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 16);
    void* first = global_lock(block);
    void* second = global_lock(block);
    EXPECT_EQ(first, second);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE | 2u);

    EXPECT_TRUE(global_unlock(block)); // still locked once
    set_last_error(ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(global_unlock(block));
    EXPECT_EQ(get_last_error(), ERROR_SUCCESS); // reached 0: not a failure
    EXPECT_FALSE(global_unlock(block));
    EXPECT_EQ(get_last_error(), ERROR_NOT_LOCKED);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE);
}

TEST_F(MemoryTest, LockCountInFlagsIsCappedAtOneByte)
{
    GlobalHandle block = global_alloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 4);
    for (int i = 0; i < 300; i++)
        global_lock(block);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE | 0xFFu); // no spill into the flag bits
}

TEST_F(MemoryTest, MoveOnLockMovesUnlockedMovableBlocksAndKeepsBytes)
{
    memory_set_move_on_lock(true);
    GlobalHandle movable = counting_block(GMEM_MOVEABLE, 5000);
    GlobalHandle fixed = counting_block(GMEM_FIXED, 100);

    void* before = global_lock(movable);
    void* nested = global_lock(movable); // already pinned: must not move under its locker
    EXPECT_EQ(before, nested);
    global_unlock(movable);
    global_unlock(movable);

    void* after = global_lock(movable);
    EXPECT_NE(after, before);
    EXPECT_FALSE(global_handle(before)); // the old address belongs to no block
    EXPECT_EQ(global_handle(after), movable);
    global_unlock(movable);
    EXPECT_TRUE(holds_counting_bytes(movable, 5000));

    void* fixed_before = global_lock(fixed);
    global_unlock(fixed);
    EXPECT_EQ(global_lock(fixed), fixed_before);
    EXPECT_TRUE(holds_counting_bytes(fixed, 100));
}

TEST_F(MemoryTest, ReallocWhileUnlockedKeepsContents)
{
    GlobalHandle block = counting_block(GMEM_MOVEABLE, 1000);
    EXPECT_EQ(global_realloc(block, 200000, GMEM_ZEROINIT), block);
    EXPECT_EQ(global_size(block), 200000u);
    EXPECT_TRUE(holds_counting_bytes(block, 1000));
    auto* bytes = static_cast<uint8_t*>(global_lock(block));
    EXPECT_EQ(bytes[1000], 0);
    EXPECT_EQ(bytes[199999], 0);
    global_unlock(block);

    EXPECT_EQ(global_realloc(block, 10, 0), block);
    EXPECT_EQ(global_size(block), 10u);
    EXPECT_TRUE(holds_counting_bytes(block, 10));
    EXPECT_EQ(memory_total_allocated(), 10u);
}

struct LockedReallocCase {
    const char* name;
    uint32_t alloc_flags;
    bool locked;
    size_t new_size;
    uint32_t realloc_flags;
    bool succeeds;
    bool same_address;
};

static const LockedReallocCase kLockedReallocCases[] = {
    // A locker holds the address: without GMEM_MOVEABLE the block may not leave it.
    {"locked grows past its bytes", GMEM_MOVEABLE, true, 100000, 0, false, true},
    {"locked shrinks in place", GMEM_MOVEABLE, true, 40, 0, true, true},
    {"locked grows into its slack", GMEM_MOVEABLE, true, 64, 0, true, true}, // bytes come in 16s
    {"locked may move when asked", GMEM_MOVEABLE, true, 100000, GMEM_MOVEABLE, true, false},
    {"fixed cannot move", GMEM_FIXED, false, 100000, 0, false, true},
    {"fixed moves when asked", GMEM_FIXED, false, 100000, GMEM_MOVEABLE, true, false},
};

TEST_F(MemoryTest, ReallocOfLockedAndFixedBlocks)
{
    for (const LockedReallocCase& c : kLockedReallocCases) {
        SCOPED_TRACE(c.name);
        GlobalHandle block = counting_block(c.alloc_flags, 60);
        void* address = global_lock(block);
        if (!c.locked)
            global_unlock(block);
        GlobalHandle result = global_realloc(block, c.new_size, c.realloc_flags);
        EXPECT_EQ(bool(result), c.succeeds);
        EXPECT_EQ(global_size(block), c.succeeds ? c.new_size : 60u);
        EXPECT_EQ(global_address(block) == address, c.same_address);
        EXPECT_EQ(global_flags(block) & GMEM_LOCKCOUNT, c.locked ? 1u : 0u);
        EXPECT_TRUE(holds_counting_bytes(block, c.new_size < 60 ? c.new_size : 60));
        global_free(block);
    }
}

TEST_F(MemoryTest, ModifyChangesFlagsOnly)
{
    GlobalHandle block = counting_block(GMEM_FIXED, 32);
    EXPECT_EQ(global_realloc(block, 0, GMEM_MODIFY | GMEM_MOVEABLE | GMEM_DISCARDABLE), block);
    EXPECT_EQ(global_size(block), 32u);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE);
    EXPECT_EQ(global_discard(block), block); // now movable, so it can be discarded
    EXPECT_EQ(global_realloc(block, 0, GMEM_MODIFY), block);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDED);
}

TEST_F(MemoryTest, DiscardKeepsTheHandleAndReallocRevivesIt)
{
    GlobalHandle block = counting_block(GMEM_MOVEABLE | GMEM_DISCARDABLE, 500);
    global_lock(block);
    EXPECT_FALSE(global_discard(block)); // a locker still uses the bytes
    EXPECT_EQ(global_size(block), 500u);
    global_unlock(block);

    EXPECT_EQ(global_discard(block), block);
    EXPECT_EQ(global_size(block), 0u);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE | GMEM_DISCARDED);
    EXPECT_EQ(global_lock(block), nullptr);
    EXPECT_EQ(get_last_error(), ERROR_DISCARDED);
    EXPECT_EQ(memory_total_allocated(), 0u);

    EXPECT_EQ(global_realloc(block, 30, GMEM_ZEROINIT), block);
    EXPECT_EQ(global_flags(block), GMEM_DISCARDABLE);
    auto* bytes = static_cast<uint8_t*>(global_lock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0);
}

TEST_F(MemoryTest, CompactDiscardsUnlockedDiscardableBlocksOnly)
{
    GlobalHandle purgeable = counting_block(GMEM_MOVEABLE | GMEM_DISCARDABLE, 1000);
    GlobalHandle pinned = counting_block(GMEM_MOVEABLE | GMEM_DISCARDABLE, 2000);
    GlobalHandle plain = counting_block(GMEM_MOVEABLE, 3000);
    global_lock(pinned);

    EXPECT_EQ(global_compact(SIZE_MAX), 1000u);
    EXPECT_EQ(global_flags(purgeable), GMEM_DISCARDABLE | GMEM_DISCARDED);
    EXPECT_EQ(global_size(pinned), 2000u);
    EXPECT_TRUE(holds_counting_bytes(plain, 3000));
    EXPECT_EQ(memory_total_allocated(), 5000u);
    EXPECT_EQ(memory_block_count(), 3u);
}

TEST_F(MemoryTest, LimitPurgesBeforeRefusing)
{
    memory_set_limit(10000);
    GlobalHandle purgeable = global_alloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 4000);
    GlobalHandle kept = global_alloc(GMEM_MOVEABLE, 4000);

    GlobalHandle third = global_alloc(GMEM_MOVEABLE, 4000); // fits only once purged
    ASSERT_TRUE(third);
    EXPECT_EQ(global_flags(purgeable) & GMEM_DISCARDED, GMEM_DISCARDED);

    EXPECT_FALSE(global_alloc(GMEM_MOVEABLE, 4000));
    EXPECT_EQ(get_last_error(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(global_realloc(kept, 8000, GMEM_MOVEABLE));
    EXPECT_EQ(global_size(kept), 4000u);
    EXPECT_EQ(memory_total_allocated(), 8000u);
}

TEST_F(MemoryTest, StaleAndForeignHandlesAreRefused)
{
    GlobalHandle block = global_alloc(GMEM_MOVEABLE, 8);
    GlobalHandle copy = block;
    EXPECT_FALSE(global_free(block));
    GlobalHandle next = global_alloc(GMEM_MOVEABLE, 8);
    EXPECT_NE(next, copy);

    const GlobalHandle bad_handles[] = {copy, GlobalHandle{0}, GlobalHandle{0xFFFFFFFF},
                                        GlobalHandle{next.id ^ 0x80000000u}};
    for (GlobalHandle bad : bad_handles) {
        SCOPED_TRACE(bad.id);
        set_last_error(0);
        EXPECT_EQ(global_lock(bad), nullptr);
        EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(global_unlock(bad));
        EXPECT_EQ(global_size(bad), 0u);
        EXPECT_EQ(global_flags(bad), GMEM_INVALID_HANDLE);
        EXPECT_FALSE(global_realloc(bad, 16, GMEM_MOVEABLE));
        EXPECT_EQ(global_free(bad), bad);
        EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(global_size(next), 8u);
}

TEST_F(MemoryTest, FreedIdsAreNotHandedOutAgainSoon)
{
    std::vector<uint32_t> seen;
    for (int i = 0; i < 5000; i++) {
        GlobalHandle block = global_alloc(GMEM_MOVEABLE, 4);
        ASSERT_TRUE(block);
        seen.push_back(block.id);
        global_free(block);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

TEST_F(MemoryTest, HandleFromAddressInsideTheBlock)
{
    GlobalHandle small = global_alloc(GMEM_MOVEABLE, 100);
    GlobalHandle large = global_alloc(GMEM_MOVEABLE, 70000);
    auto* large_bytes = static_cast<uint8_t*>(global_lock(large));
    auto* small_bytes = static_cast<uint8_t*>(global_lock(small));

    EXPECT_EQ(global_handle(large_bytes), large);
    EXPECT_EQ(global_handle(large_bytes + 69999), large);
    EXPECT_EQ(global_handle(small_bytes + 50), small);
    EXPECT_NE(global_handle(small_bytes + 100), small); // one past the end is not inside
    EXPECT_FALSE(global_handle(nullptr));
    int on_stack = 0;
    EXPECT_FALSE(global_handle(&on_stack));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);

    global_free(small);
    EXPECT_FALSE(global_handle(small_bytes));
}

// Blocks come and go in an interleaved order, as interpreted code makes and drops its texts:
// every live block is still found by its start and by a byte inside, no freed one is.
TEST_F(MemoryTest, HandleFromAddressAfterManyFrees)
{
    std::vector<GlobalHandle> live;
    std::vector<uint8_t*> starts;
    std::vector<uint8_t*> freed;
    for (int round = 0; round < 3000; round++) {
        GlobalHandle block = global_alloc(GMEM_MOVEABLE, 16 + round % 200);
        ASSERT_TRUE(block);
        auto* bytes = static_cast<uint8_t*>(global_lock(block));
        global_unlock(block);
        live.push_back(block);
        starts.push_back(bytes);
        if (round % 3 == 2) { // drop one from the middle
            size_t victim = (round * 7) % live.size();
            freed.push_back(starts[victim]);
            global_free(live[victim]);
            live.erase(live.begin() + long(victim));
            starts.erase(starts.begin() + long(victim));
        }
    }
    for (size_t i = 0; i < live.size(); i++) {
        ASSERT_EQ(global_handle(starts[i]), live[i]) << i;
        ASSERT_EQ(global_handle(starts[i] + 15), live[i]) << i;
    }
    // A freed address belongs to no block unless the bytes went to a live one since.
    for (uint8_t* gone : freed) {
        GlobalHandle holder {};
        for (size_t i = 0; i < live.size(); i++) {
            if (gone >= starts[i] && gone < starts[i] + global_size(live[i]))
                holder = live[i];
        }
        EXPECT_EQ(global_handle(gone), holder);
    }
}

TEST_F(MemoryTest, TotalFollowsEveryChange)
{
    GlobalHandle a = global_alloc(GMEM_MOVEABLE, 1000);
    GlobalHandle b = global_alloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 500);
    EXPECT_EQ(memory_total_allocated(), 1500u);
    global_realloc(a, 4000, GMEM_MOVEABLE);
    EXPECT_EQ(memory_total_allocated(), 4500u);
    global_discard(b);
    EXPECT_EQ(memory_total_allocated(), 4000u);
    global_realloc(b, 20, 0);
    EXPECT_EQ(memory_total_allocated(), 4020u);
    global_free(a);
    global_free(b);
    EXPECT_EQ(memory_total_allocated(), 0u);
}

} // namespace
