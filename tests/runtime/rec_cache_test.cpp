#include "platform/kernel/memory.h"
#include "runtime/store/rec_cache.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class RecCacheTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        ASSERT_EQ(rec_cache_init(), 1);
    }
    void TearDown() override
    {
        rec_cache_term();
        plat::memory_reset();
    }

    // A loaded record of size bytes, released onto the LRU.
    static uint32_t add_released(RecordId id, int64_t size = 10)
    {
        uint32_t index = 0;
        EXPECT_EQ(rec_cache_add(id, &index), 0);
        RecCacheEntry* e = rec_cache_at(index);
        e->block = mem_alloc(size_t(size), kMemMovable);
        rec_cache_set_size(index, size);
        mem_set_purgeable(e->block, 1);
        rec_lru_add(index);
        return index;
    }
};

// Different ids that all hash to bucket 1: 64 numbers a slot, 1024 apart.
RecordId same_bucket(uint32_t n)
{
    uint32_t slot = 1 + n / 64;
    uint32_t first = (1 + 65536 - (slot - 1) * 64) % 1024;
    return rec_make_id(slot, first + (n % 64) * 1024);
}

TEST_F(RecCacheTest, ChainsKeepEveryRecordFindable)
{
    std::vector<uint32_t> indexes;
    for (uint32_t n = 0; n < 5; n++) {
        uint32_t index = 0;
        ASSERT_EQ(rec_cache_add(same_bucket(n), &index), 0);
        indexes.push_back(index);
    }
    EXPECT_EQ(indexes[0], rec_cache_find(same_bucket(0)));
    EXPECT_LE(indexes[0], kCacheBuckets);
    EXPECT_GT(indexes[1], kCacheBuckets); // behind the bucket
    rec_cache_remove(indexes[2]); // from the middle of the chain
    rec_cache_remove(indexes[0]); // the bucket itself, with a chain behind it
    for (uint32_t n : { 1u, 3u, 4u })
        EXPECT_EQ(rec_cache_find(same_bucket(n)), indexes[n]) << n;
    EXPECT_EQ(rec_cache_find(same_bucket(0)), 0u);
    EXPECT_EQ(rec_cache_find(same_bucket(2)), 0u);
    uint32_t index = 0;
    ASSERT_EQ(rec_cache_add(same_bucket(7), &index), 0);
    EXPECT_EQ(index, indexes[0]); // a free bucket comes first
    EXPECT_EQ(rec_cache_find(same_bucket(4)), indexes[4]);
}

TEST_F(RecCacheTest, OverflowStopsAtFourThousandUnlessTheLruGivesWay)
{
    uint32_t index = 0;
    for (uint32_t n = 0; n <= kCacheOverflowMax; n++)
        ASSERT_EQ(rec_cache_add(same_bucket(n), &index), 0) << n;
    EXPECT_EQ(rec_cache_add(same_bucket(kCacheOverflowMax + 1), &index), 5003);

    // One record on the LRU is freed to make room.
    RecCacheEntry* e = rec_cache_at(rec_cache_find(same_bucket(17)));
    e->block = mem_alloc(4, kMemMovable);
    rec_lru_add(rec_cache_find(same_bucket(17)));
    ASSERT_EQ(rec_cache_add(same_bucket(kCacheOverflowMax + 1), &index), 0);
    EXPECT_EQ(rec_cache_find(same_bucket(17)), 0u);
    EXPECT_EQ(rec_lru_count(), 0u);
}

TEST_F(RecCacheTest, TheLruHoldsAtMostOneMoreThanItsLimit)
{
    rec_set_cache_limit(2);
    for (uint32_t n = 1; n <= 5; n++)
        add_released(rec_make_id(1, n));
    EXPECT_EQ(rec_lru_count(), 3u);
    EXPECT_EQ(rec_cache_find(rec_make_id(1, 2)), 0u); // the oldest went first
    EXPECT_NE(rec_cache_find(rec_make_id(1, 3)), 0u);
    EXPECT_EQ(rec_loaded_bytes(), 30);

    rec_set_cache_limit(1);
    EXPECT_EQ(rec_lru_count(), 1u); // purged down to the new limit
    EXPECT_NE(rec_cache_find(rec_make_id(1, 5)), 0u);

    static const struct {
        int32_t asked;
        uint32_t limit;
    } kLimits[] = { { 2000, 1000 }, { -5, 0 }, { 7, 7 } };
    for (const auto& row : kLimits) {
        SCOPED_TRACE(row.asked);
        rec_set_cache_limit(row.asked);
        EXPECT_EQ(rec_cache_limit(), row.limit);
    }
}

TEST_F(RecCacheTest, PurgingGoesOldestFirstWithinItsLimits)
{
    add_released(rec_make_id(1, 1), 100);
    add_released(rec_make_id(2, 1), 100);
    add_released(rec_make_id(1, 2), 100);
    add_released(rec_make_id(1, 3), 100);
    uint32_t empty = 0; // an entry without block stays
    ASSERT_EQ(rec_cache_add(rec_make_id(1, 9), &empty), 0);

    EXPECT_EQ(rec_purgeable_bytes(), 400);
    EXPECT_EQ(rec_purge(1, 1, kPurgeAny, 0), 1u); // slot 1's oldest
    EXPECT_EQ(rec_cache_find(rec_make_id(1, 1)), 0u);
    int64_t freed = 0;
    EXPECT_EQ(rec_purge_ex(0, 0, kPurgeAny, 150, &freed), 2u); // until 150 bytes are freed
    EXPECT_EQ(freed, 200);
    EXPECT_EQ(rec_cache_find(rec_make_id(2, 1)), 0u);
    EXPECT_NE(rec_cache_find(rec_make_id(1, 3)), 0u);

    EXPECT_EQ(rec_purge_discarded(), 0u);
    plat::global_compact(1); // the system takes the purgeable blocks
    EXPECT_EQ(rec_purge_discarded(), 1u);
    EXPECT_EQ(rec_purge_all(), 0u);
    EXPECT_NE(rec_cache_find(rec_make_id(1, 9)), 0u);
    EXPECT_EQ(rec_loaded_bytes(), 0);
}

} // namespace
