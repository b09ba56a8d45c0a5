#include "runtime/display/bmcache.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/clock.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/rec_store.h"

namespace {

struct Slot {
    BitmapCacheEntry entry;
    bool lent = false; // between lookup and release: its bitmaps are selected, not discarded
};

struct Cache {
    bool enabled = false;
    size_t capacity = 0;
    std::vector<Slot> slots; // sorted by (key, variant)
    int64_t total_bytes = 0;
} s_cache;

} // namespace

// The first place whose (key, variant) is not below the one asked for.
static size_t lower_place(int32_t key, int16_t variant)
{
    auto below = [](const Slot& slot, std::pair<int32_t, int16_t> name) {
        return std::pair(slot.entry.key, slot.entry.variant) < name;
    };
    return size_t(std::lower_bound(s_cache.slots.begin(), s_cache.slots.end(), std::pair(key, variant), below)
        - s_cache.slots.begin());
}

static Slot* find(int32_t key, int16_t variant)
{
    size_t at = lower_place(key, variant);
    if (at == s_cache.slots.size())
        return nullptr;
    Slot& slot = s_cache.slots[at];
    return (slot.entry.key == key && slot.entry.variant == variant) ? &slot : nullptr;
}

static int64_t bitmap_bytes(plat::GdiObject bitmap)
{
    plat::BitmapInfo info;
    if (!bitmap || !plat::get_object(bitmap, info))
        return 0;
    return int64_t(info.height) * info.width_bytes;
}

static void delete_bitmaps(const BitmapCacheEntry& entry)
{
    plat::delete_object(entry.image);
    if (entry.mask)
        plat::delete_object(entry.mask);
}

// Deletes the entry at a place; its bytes.
static int64_t erase_at(size_t at)
{
    int64_t bytes = s_cache.slots[at].entry.bytes;
    delete_bitmaps(s_cache.slots[at].entry);
    s_cache.slots.erase(s_cache.slots.begin() + std::ptrdiff_t(at));
    s_cache.total_bytes -= bytes;
    return bytes;
}

// The place of the least recently used entry that is not lent out; the first of equal ticks.
static size_t lru_place()
{
    size_t best = s_cache.slots.size();
    for (size_t i = 0; i < s_cache.slots.size(); i++) {
        if (!s_cache.slots[i].lent && (best == s_cache.slots.size() || s_cache.slots[i].entry.tick < s_cache.slots[best].entry.tick))
            best = i;
    }
    return best;
}

// A bitmap is discarded when a memory DC can no longer take it.
static bool can_select(plat::DcHandle probe, plat::GdiObject bitmap)
{
    plat::GdiObject previous = plat::select_object(probe, bitmap);
    if (!previous)
        return false;
    plat::select_object(probe, previous);
    return true;
}

int64_t bmcache_drop_discarded()
{
    if (s_cache.slots.empty())
        return 0;
    plat::DcHandle probe = plat::create_compatible_dc(plat::DcHandle {});
    int64_t freed = 0;
    for (size_t i = s_cache.slots.size(); i-- > 0;) {
        const Slot& slot = s_cache.slots[i];
        if (slot.lent)
            continue;
        if (!can_select(probe, slot.entry.image) || (slot.entry.mask && !can_select(probe, slot.entry.mask)))
            freed += erase_at(i);
    }
    plat::delete_dc(probe);
    return freed;
}

// Frees places until at most capacity - wanted entries remain.
static void make_room(size_t wanted)
{
    bmcache_drop_discarded();
    size_t limit = s_cache.capacity > wanted ? s_cache.capacity - wanted : 0;
    while (s_cache.slots.size() > limit) {
        size_t at = lru_place();
        if (at == s_cache.slots.size())
            break; // everything left is lent out
        erase_at(at);
    }
}

bool bmcache_insert(int32_t key, const BitmapCacheEntry& entry)
{
    if (!s_cache.enabled || !entry.image)
        return false;
    Slot* slot = find(key, entry.variant);
    if (slot) {
        // A caller may hand back a bitmap the entry already holds: that one stays.
        if (slot->entry.image != entry.image && slot->entry.image != entry.mask)
            plat::delete_object(slot->entry.image);
        if (slot->entry.mask && slot->entry.mask != entry.image && slot->entry.mask != entry.mask)
            plat::delete_object(slot->entry.mask);
        s_cache.total_bytes -= slot->entry.bytes;
    } else {
        if (s_cache.slots.size() >= s_cache.capacity)
            make_room(1);
        if (s_cache.slots.size() >= s_cache.capacity)
            return false; // every entry is lent out
        size_t at = lower_place(key, entry.variant);
        slot = &*s_cache.slots.insert(s_cache.slots.begin() + std::ptrdiff_t(at), Slot {});
    }
    slot->entry = entry;
    slot->entry.key = key;
    slot->entry.bytes = bitmap_bytes(entry.image) + bitmap_bytes(entry.mask);
    slot->entry.tick = plat::get_tick_count();
    slot->entry.previous_image = {};
    slot->entry.previous_mask = {};
    slot->lent = false;
    s_cache.total_bytes += slot->entry.bytes;
    return true;
}

bool bmcache_lookup(int32_t key, int16_t variant, plat::DcHandle image_dc, plat::DcHandle mask_dc,
    BitmapCacheEntry& out)
{
    Slot* slot = s_cache.enabled ? find(key, variant) : nullptr;
    if (!slot)
        return false;
    plat::GdiObject previous_image = plat::select_object(image_dc, slot->entry.image);
    if (!previous_image)
        return false;
    plat::GdiObject previous_mask;
    if (slot->entry.mask) {
        previous_mask = plat::select_object(mask_dc, slot->entry.mask);
        if (!previous_mask) {
            plat::select_object(image_dc, previous_image);
            return false;
        }
    }
    slot->entry.tick = plat::get_tick_count();
    slot->lent = true;
    out = slot->entry;
    out.previous_image = previous_image;
    out.previous_mask = previous_mask;
    return true;
}

void bmcache_release(const BitmapCacheEntry& entry, plat::DcHandle image_dc, plat::DcHandle mask_dc)
{
    plat::select_object(image_dc, entry.previous_image);
    if (entry.mask)
        plat::select_object(mask_dc, entry.previous_mask);
    if (Slot* slot = find(entry.key, entry.variant))
        slot->lent = false;
}

void bmcache_remove(int32_t key)
{
    if (!find(key, 0))
        return;
    size_t at = lower_place(key, 0);
    while (at < s_cache.slots.size() && s_cache.slots[at].entry.key == key)
        erase_at(at);
}

void bmcache_promote(int32_t key)
{
    size_t at = lower_place(key, 0);
    if (find(key, 0))
        erase_at(at);
    if (at < s_cache.slots.size() && s_cache.slots[at].entry.key == key)
        s_cache.slots[at].entry.variant = 0;
}

int64_t bmcache_purge(int64_t bytes)
{
    int64_t freed = bmcache_drop_discarded();
    while (bytes > 0 && freed < bytes) {
        size_t at = lru_place();
        if (at == s_cache.slots.size())
            break;
        freed += erase_at(at);
    }
    return freed;
}

int64_t bmcache_lru_size()
{
    size_t at = lru_place();
    return at == s_cache.slots.size() ? -1 : s_cache.slots[at].entry.bytes;
}

uint32_t bmcache_lru_tick()
{
    size_t at = lru_place();
    return at == s_cache.slots.size() ? 0xFFFFFFFF : s_cache.slots[at].entry.tick;
}

int64_t bmcache_total_bytes() { return s_cache.total_bytes; }

int bmcache_count() { return int(s_cache.slots.size()); }

const BitmapCacheEntry* bmcache_at(int index)
{
    if (index < 0 || size_t(index) >= s_cache.slots.size())
        return nullptr;
    return &s_cache.slots[size_t(index)].entry;
}

bool bmcache_enabled() { return s_cache.enabled; }

bool bmcache_flush()
{
    bool any = !s_cache.slots.empty();
    for (const Slot& slot : s_cache.slots)
        delete_bitmaps(slot.entry);
    s_cache.slots.clear();
    s_cache.total_bytes = 0;
    return any;
}

// --- what the cache lends --------------------------------------------------------------------

static void flush_for_piece() { bmcache_flush(); }
static uint32_t oldest_tick_for_store() { return bmcache_lru_tick(); }

static void lend(bool on)
{
    RecOtherCaches caches = rec_other_caches();
    caches.bitmap_total_bytes = on ? bmcache_total_bytes : nullptr;
    // The store weighs this against the assets' oldest tick: a tick, not a size, compares.
    caches.bitmap_lru_size = on ? oldest_tick_for_store : nullptr;
    caches.bitmap_purge = on ? bmcache_purge : nullptr;
    rec_set_other_caches(&caches);
    PieceHooks hooks = piece_hooks();
    hooks.bitmap_cache_flush = on ? flush_for_piece : nullptr;
    piece_set_hooks(&hooks);
}

bool bmcache_init(int entries)
{
    // Freeing the table alone would leak every bitmap it holds.
    bmcache_flush();
    s_cache = Cache {};
    if (entries <= 0) {
        lend(true);
        return true;
    }
    if (entries > kBmcacheMaxEntries)
        return false;
    s_cache.slots.reserve(size_t(entries));
    s_cache.capacity = size_t(entries);
    s_cache.enabled = true;
    lend(true);
    return true;
}

void bmcache_free()
{
    bmcache_flush();
    s_cache = Cache {};
    lend(false);
}

void bmcache_reset() { bmcache_free(); }
