// The bitmap cache: prepared image and mask bitmaps of pictures kept between draws, so that a
// picture drawn again is a blit instead of another run of the picture interpreter. A table of
// a fixed number of entries sorted by (picture key, variant), searched by bisection; when it is
// full, entries whose bitmaps the system discarded go first, then the least recently used
// (by the platform clock). Its byte total shares the record store's memory budget: the cache
// lends the store its total, its oldest entry and its purge, and lends the pieces library its
// flush for piece close.
#pragma once
#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"

constexpr int kBmcacheStartEntries = 40;
constexpr int kBmcacheMaxEntries = 0xFFFF;
constexpr size_t kBmcacheCallerBytes = 41;

struct BitmapCacheEntry {
    int32_t key = 0;
    int16_t variant = 0;
    plat::GdiObject image;
    plat::GdiObject mask; // null: none
    uint8_t data[kBmcacheCallerBytes] = {}; // the picture code's own values, kept unchanged
    uint32_t tick = 0;                      // last use
    int64_t bytes = 0;                      // height x bytes per row of each bitmap
    // Set by bmcache_lookup for bmcache_release: what the two DCs held before.
    plat::GdiObject previous_image;
    plat::GdiObject previous_mask;
};

// Empties and frees an existing table, then makes one of that many entries and turns the
// cache on; 0 or fewer leaves it off (true). False when the table cannot be made (more than
// kBmcacheMaxEntries).
bool bmcache_init(int entries);
bool bmcache_enabled();
// Deletes every bitmap; true when there was anything to delete.
bool bmcache_flush();
// Flushes, frees the table and takes back what was lent (shutdown).
void bmcache_free();
// Selects the entry's image into image_dc and its mask (when it has one) into mask_dc, stamps
// its use and copies it out. False when absent, off, or a selection fails (nothing stays
// selected then).
bool bmcache_lookup(int32_t key, int16_t variant, plat::DcHandle image_dc, plat::DcHandle mask_dc,
    BitmapCacheEntry& out);
// Selects back what the DCs held before the lookup.
void bmcache_release(const BitmapCacheEntry& entry, plat::DcHandle image_dc, plat::DcHandle mask_dc);
// Takes the entry's bitmaps under (key, entry.variant), replacing an entry of that name; false
// when off or without an image (the caller keeps its bitmaps then).
bool bmcache_insert(int32_t key, const BitmapCacheEntry& entry);
// When (key, 0) exists, it and the key's other variants go.
void bmcache_remove(int32_t key);
// (key, 0) goes when it exists; the key's next variant then becomes variant 0.
void bmcache_promote(int32_t key);
// Drops the entries whose bitmaps were discarded; the bytes freed.
int64_t bmcache_drop_discarded();
// Drops discarded entries, then (bytes above 0) least recently used ones until that many bytes
// were freed; the bytes freed.
int64_t bmcache_purge(int64_t bytes);
// The bytes of the least recently used entry, -1 when empty.
int64_t bmcache_lru_size();
// The last-use tick of the least recently used entry, 0xFFFFFFFF when empty.
uint32_t bmcache_lru_tick();
int64_t bmcache_total_bytes();
int bmcache_count();
// The entry at a place of the sorted table (0-based), null past the end.
const BitmapCacheEntry* bmcache_at(int index);
// bmcache_free (tests).
void bmcache_reset();
