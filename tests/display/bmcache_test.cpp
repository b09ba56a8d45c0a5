// The bitmap cache: a sorted table of prepared bitmaps, least recently used by the platform
// clock, discarded bitmaps dropped first, lookups that lend the bitmaps to two DCs, and the
// memory budget it shares with the record store.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/clock.h"
#include "runtime/display/bmcache.h"
#include "runtime/pieces/piece_hooks.h"
#include "tests/runtime/rec_store_fixture.h"

namespace {

using plat::DcHandle;
using plat::GdiObject;

// A 32-bit bitmap of 4 x 4 pixels holds 64 bytes.
constexpr int64_t kBitmapBytes = 64;

GdiObject new_bitmap(bool discardable = false) { return plat::bitmap_create(4, 4, 32, discardable); }

BitmapCacheEntry entry_of(int16_t variant, bool with_mask = false, bool discardable = false)
{
    BitmapCacheEntry entry;
    entry.variant = variant;
    entry.image = new_bitmap(discardable);
    entry.mask = with_mask ? new_bitmap() : GdiObject {};
    return entry;
}

bool deleted(GdiObject bitmap) { return plat::get_object_type(bitmap) == 0; }

// The table as "key.variant" names in order.
std::string names()
{
    std::string text;
    for (int i = 0; i < bmcache_count(); i++) {
        const BitmapCacheEntry* e = bmcache_at(i);
        text += (i ? " " : "") + std::to_string(e->key) + "." + std::to_string(e->variant);
    }
    return text;
}

// Every case starts with no GDI objects, a virtual clock at 1000 and a cache of 40.
void start_cache()
{
    plat::dc_reset();
    plat::clock_use_virtual(1000, 0);
    ASSERT_TRUE(bmcache_init(kBmcacheStartEntries));
}
void stop_cache()
{
    bmcache_reset();
    piece_set_hooks(nullptr);
    rec_set_other_caches(nullptr);
    plat::clock_reset();
    plat::dc_reset();
}

class BmcacheTest : public testing::Test {
protected:
    void SetUp() override { start_cache(); }
    void TearDown() override { stop_cache(); }
    // Inserts one entry per name (key, variant), the clock moving 10 ms before each.
    void fill(const std::vector<std::pair<int32_t, int16_t>>& entries)
    {
        for (auto [key, variant] : entries) {
            plat::clock_advance(10);
            ASSERT_TRUE(bmcache_insert(key, entry_of(variant)));
        }
    }
};

TEST_F(BmcacheTest, EntriesStaySortedAndANameTakenAgainReplacesItsBitmaps)
{
    fill({{5, 0}, {2, 1}, {5, 2}, {2, 0}, {9, 0}, {-3, 4}});
    EXPECT_EQ(names(), "-3.4 2.0 2.1 5.0 5.2 9.0");
    EXPECT_EQ(bmcache_total_bytes(), 6 * kBitmapBytes);

    GdiObject old_image = bmcache_at(3)->image;
    BitmapCacheEntry again = entry_of(0, true);
    for (size_t i = 0; i < kBmcacheCallerBytes; i++)
        again.data[i] = uint8_t(i + 1);
    again.key = 77; // the key passed decides
    ASSERT_TRUE(bmcache_insert(5, again));
    EXPECT_EQ(names(), "-3.4 2.0 2.1 5.0 5.2 9.0");
    EXPECT_TRUE(deleted(old_image));
    EXPECT_EQ(bmcache_total_bytes(), 7 * kBitmapBytes);
    EXPECT_EQ(bmcache_at(3)->bytes, 2 * kBitmapBytes);
    EXPECT_EQ(bmcache_at(3)->data[40], 41);

    // The same bitmaps handed back are kept, not deleted under the caller.
    BitmapCacheEntry same = *bmcache_at(3);
    ASSERT_TRUE(bmcache_insert(5, same));
    EXPECT_FALSE(deleted(same.image));
    EXPECT_FALSE(deleted(same.mask));
    EXPECT_EQ(bmcache_total_bytes(), 7 * kBitmapBytes);

    BitmapCacheEntry no_image;
    EXPECT_FALSE(bmcache_insert(4, no_image));
    EXPECT_EQ(bmcache_count(), 6);
}

TEST_F(BmcacheTest, AFullCacheEvictsExactlyOneEntryDiscardedFirst)
{
    static const struct {
        const char* name;
        bool advance;  // the clock moves between inserts
        int used;      // an entry looked up again (-1: none)
        int discarded; // an entry whose bitmap the system discarded (-1: none)
        int evicted;
    } kRows[] = {
        {"the least recently used", true, -1, -1, 0},
        {"a use makes it recent", true, 0, -1, 1},
        {"equal ticks: the first", false, -1, -1, 0},
        {"discarded before the oldest", true, -1, 17, 17},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(bmcache_init(kBmcacheStartEntries));
        std::vector<GdiObject> images;
        for (int key = 0; key < kBmcacheStartEntries; key++) {
            if (row.advance)
                plat::clock_advance(10);
            ASSERT_TRUE(bmcache_insert(key, entry_of(0, false, key == row.discarded)));
            images.push_back(bmcache_at(key)->image);
        }
        if (row.used >= 0) {
            plat::clock_advance(10);
            DcHandle dc = plat::create_compatible_dc(DcHandle {});
            BitmapCacheEntry lent;
            ASSERT_TRUE(bmcache_lookup(row.used, 0, dc, dc, lent));
            bmcache_release(lent, dc, dc);
            plat::delete_dc(dc);
        }
        plat::gdi_discard_bitmaps();
        ASSERT_TRUE(bmcache_insert(100, entry_of(0)));
        EXPECT_EQ(bmcache_count(), kBmcacheStartEntries);
        for (int key = 0; key < kBmcacheStartEntries; key++) {
            BitmapCacheEntry found;
            DcHandle dc = plat::create_compatible_dc(DcHandle {});
            bool present = bmcache_lookup(key, 0, dc, dc, found);
            if (present)
                bmcache_release(found, dc, dc);
            plat::delete_dc(dc);
            EXPECT_EQ(present, key != row.evicted) << key;
            EXPECT_EQ(deleted(images[size_t(key)]), key == row.evicted) << key;
        }
    }
}

TEST_F(BmcacheTest, PurgingDropsDiscardedEntriesThenTheOldest)
{
    ASSERT_EQ(bmcache_lru_size(), -1);
    ASSERT_EQ(bmcache_lru_tick(), 0xFFFFFFFFu);
    fill({{1, 0}, {2, 0}});
    plat::clock_advance(10);
    ASSERT_TRUE(bmcache_insert(3, entry_of(0, true, true))); // image discardable
    fill({{4, 0}});
    EXPECT_EQ(bmcache_lru_size(), kBitmapBytes);
    EXPECT_EQ(bmcache_lru_tick(), 1010u);

    EXPECT_EQ(bmcache_purge(0), 0); // nothing discarded yet
    plat::gdi_discard_bitmaps();
    EXPECT_EQ(bmcache_purge(0), 2 * kBitmapBytes);
    EXPECT_EQ(names(), "1.0 2.0 4.0");
    EXPECT_EQ(bmcache_purge(kBitmapBytes + 1), 2 * kBitmapBytes); // whole entries, oldest first
    EXPECT_EQ(names(), "4.0");
    EXPECT_EQ(bmcache_total_bytes(), kBitmapBytes);
    EXPECT_EQ(bmcache_drop_discarded(), 0);
    EXPECT_EQ(bmcache_purge(1 << 20), kBitmapBytes);
    EXPECT_EQ(bmcache_count(), 0);
    EXPECT_EQ(bmcache_purge(1), 0);
}

TEST_F(BmcacheTest, RemoveAndPromoteWorkOnAKeysVariants)
{
    enum class Op { remove, promote };
    static const struct {
        const char* name;
        Op op;
        std::vector<std::pair<int32_t, int16_t>> entries;
        const char* after;
    } kRows[] = {
        {"remove: only variants 1 and 2", Op::remove, {{7, 1}, {7, 2}, {8, 0}}, "7.1 7.2 8.0"},
        {"remove: variant 0 takes the others", Op::remove, {{6, 0}, {7, 0}, {7, 1}, {7, 5}, {8, 0}}, "6.0 8.0"},
        {"remove: absent", Op::remove, {{6, 0}}, "6.0"},
        {"promote: the next variant becomes 0", Op::promote, {{7, 0}, {7, 3}, {7, 4}, {8, 0}}, "7.0 7.4 8.0"},
        {"promote: another key keeps its variant", Op::promote, {{7, 0}, {8, 1}}, "8.1"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(bmcache_init(kBmcacheStartEntries));
        fill(row.entries);
        GdiObject next = bmcache_count() > 1 ? bmcache_at(1)->image : GdiObject {};
        if (row.op == Op::remove)
            bmcache_remove(7);
        else
            bmcache_promote(7);
        EXPECT_EQ(names(), row.after);
        if (row.op == Op::promote && bmcache_at(0)->key == 7) {
            EXPECT_EQ(bmcache_at(0)->image, next);
        }
        EXPECT_EQ(bmcache_total_bytes(), bmcache_count() * kBitmapBytes);
    }
}

TEST_F(BmcacheTest, LookupsLendBothBitmapsAndReleaseTakesThemBack)
{
    DcHandle image_dc = plat::create_compatible_dc(DcHandle {});
    DcHandle mask_dc = plat::create_compatible_dc(DcHandle {});
    GdiObject image_before = plat::get_current_object(image_dc, plat::OBJ_BITMAP);
    GdiObject mask_before = plat::get_current_object(mask_dc, plat::OBJ_BITMAP);
    BitmapCacheEntry with_mask = entry_of(2, true);
    with_mask.data[0] = 0x5A;
    ASSERT_TRUE(bmcache_insert(11, with_mask));
    plat::clock_advance(500);

    BitmapCacheEntry lent;
    ASSERT_TRUE(bmcache_lookup(11, 2, image_dc, mask_dc, lent));
    EXPECT_EQ(plat::get_current_object(image_dc, plat::OBJ_BITMAP), with_mask.image);
    EXPECT_EQ(plat::get_current_object(mask_dc, plat::OBJ_BITMAP), with_mask.mask);
    EXPECT_EQ(lent.data[0], 0x5A);
    EXPECT_EQ(lent.tick, 1500u);
    EXPECT_EQ(bmcache_purge(1 << 20), 0); // lent bitmaps are neither discarded nor evicted
    bmcache_release(lent, image_dc, mask_dc);
    EXPECT_EQ(plat::get_current_object(image_dc, plat::OBJ_BITMAP), image_before);
    EXPECT_EQ(plat::get_current_object(mask_dc, plat::OBJ_BITMAP), mask_before);

    // The mask is held elsewhere: nothing stays selected.
    DcHandle holder = plat::create_compatible_dc(DcHandle {});
    GdiObject holder_before = plat::select_object(holder, with_mask.mask);
    EXPECT_FALSE(bmcache_lookup(11, 2, image_dc, mask_dc, lent));
    EXPECT_EQ(plat::get_current_object(image_dc, plat::OBJ_BITMAP), image_before);
    plat::select_object(holder, holder_before);

    EXPECT_FALSE(bmcache_lookup(11, 0, image_dc, mask_dc, lent));
    EXPECT_FALSE(bmcache_lookup(12, 2, image_dc, mask_dc, lent));
    for (DcHandle dc : {image_dc, mask_dc, holder})
        plat::delete_dc(dc);
}

TEST_F(BmcacheTest, InitFlushesFirstAndZeroEntriesTurnTheCacheOff)
{
    fill({{1, 0}, {2, 0}});
    GdiObject first = bmcache_at(0)->image;
    ASSERT_TRUE(bmcache_init(3));
    EXPECT_TRUE(deleted(first));
    EXPECT_EQ(bmcache_count(), 0);
    EXPECT_EQ(bmcache_total_bytes(), 0);
    fill({{1, 0}, {2, 0}, {3, 0}, {4, 0}});
    EXPECT_EQ(names(), "2.0 3.0 4.0");

    static const struct {
        int entries;
        bool answer, enabled;
    } kRows[] = {{0, true, false}, {-5, true, false}, {kBmcacheMaxEntries + 1, false, false}, {1, true, true}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.entries);
        EXPECT_EQ(bmcache_init(row.entries), row.answer);
        EXPECT_EQ(bmcache_enabled(), row.enabled);
        BitmapCacheEntry entry = entry_of(0);
        EXPECT_EQ(bmcache_insert(1, entry), row.enabled);
        if (!row.enabled)
            plat::delete_object(entry.image);
        DcHandle dc = plat::create_compatible_dc(DcHandle {});
        BitmapCacheEntry found;
        EXPECT_EQ(bmcache_lookup(1, 0, dc, dc, found), row.enabled);
        plat::delete_dc(dc);
    }
}

TEST_F(BmcacheTest, ClosingAPieceFlushesTheCache)
{
    ASSERT_TRUE(piece_hooks().bitmap_cache_flush);
    EXPECT_FALSE(bmcache_flush());
    fill({{1, 0}, {2, 0}});
    GdiObject image = bmcache_at(0)->image;
    piece_hooks().bitmap_cache_flush();
    EXPECT_EQ(bmcache_count(), 0);
    EXPECT_TRUE(deleted(image));
    bmcache_free();
    EXPECT_FALSE(piece_hooks().bitmap_cache_flush);
    EXPECT_FALSE(rec_other_caches().bitmap_purge);
}

// The record store's budget: loaded records and the cached bitmaps together.
class BmcacheBudgetTest : public rectest::RecStoreTest {
protected:
    void SetUp() override
    {
        RecStoreTest::SetUp();
        start_cache();
    }
    void TearDown() override
    {
        stop_cache();
        RecStoreTest::TearDown();
    }
};

TEST_F(BmcacheBudgetTest, LoadingPastTheBudgetFreesTheOldestBitmaps)
{
    make_file("piece.v5r", rectest::kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    std::vector<GdiObject> images;
    for (int key = 1; key <= 5; key++) {
        plat::clock_advance(10);
        ASSERT_TRUE(bmcache_insert(key, entry_of(0)));
        images.push_back(bmcache_at(key - 1)->image);
    }
    mem_budget_add(400);
    // 320 bytes of bitmaps and 5 of a record fit.
    ASSERT_TRUE(rec_get(rec_make_id(1, 2)));
    EXPECT_EQ(bmcache_count(), 5);
    // Record 1 unpacks to 308 bytes: 233 over, no record to free, so the four oldest go.
    ASSERT_TRUE(rec_get(rec_make_id(1, 1)));
    EXPECT_EQ(bmcache_count(), 1);
    EXPECT_EQ(bmcache_at(0)->key, 5);
    for (size_t i = 0; i < images.size(); i++)
        EXPECT_EQ(deleted(images[i]), i < 4) << i;
    EXPECT_EQ(bmcache_total_bytes(), kBitmapBytes);
}

} // namespace
