#include "runtime/store/rec_cache.h"

#include "runtime/base/errcode.h"

#include <algorithm>

static struct {
    std::vector<RecCacheEntry> buckets;
    std::vector<RecCacheEntry> overflow;
    uint16_t free_overflow = 0; // chain of free overflow entries through next
    uint16_t newest = 0;
    uint16_t oldest = 0;
    uint32_t lru_count = 0;
    uint32_t lru_limit = kCacheLimitDefault;
    int64_t loaded_bytes = 0;
} s_cache;

static uint32_t bucket_of(RecordId id)
{
    uint32_t slot = rec_id_slot(id), number = rec_id_number(id);
    return (((slot - 1) * 64 + number) & (kCacheBuckets - 1)) + 1;
}

RecCacheEntry* rec_cache_at(uint32_t index)
{
    if (index == 0)
        return nullptr;
    if (index <= s_cache.buckets.size())
        return &s_cache.buckets[index - 1];
    size_t at = index - kCacheBuckets - 1;
    return index > kCacheBuckets && at < s_cache.overflow.size() ? &s_cache.overflow[at] : nullptr;
}

// Adds overflow entries to the free chain; false at the ceiling.
static bool grow_overflow()
{
    size_t old_size = s_cache.overflow.size();
    if (old_size + kCacheOverflowStep > kCacheOverflowMax)
        return false;
    s_cache.overflow.resize(old_size + kCacheOverflowStep);
    for (size_t n = s_cache.overflow.size(); n > old_size; n--) {
        s_cache.overflow[n - 1].next = s_cache.free_overflow;
        s_cache.free_overflow = uint16_t(kCacheBuckets + n);
    }
    return true;
}

int rec_cache_init()
{
    if (!s_cache.buckets.empty())
        return 1;
    s_cache.buckets.assign(kCacheBuckets, RecCacheEntry {});
    grow_overflow();
    return 1;
}

void rec_cache_term()
{
    for (const std::vector<RecCacheEntry>* table : { &s_cache.buckets, &s_cache.overflow })
        for (const RecCacheEntry& e : *table)
            if (e.id != 0 && e.block)
                mem_free(e.block);
    s_cache.buckets = {};
    s_cache.overflow = {};
    s_cache.free_overflow = s_cache.newest = s_cache.oldest = 0;
    s_cache.lru_count = 0;
    s_cache.lru_limit = kCacheLimitDefault;
    s_cache.loaded_bytes = 0;
}

uint32_t rec_cache_find(RecordId id)
{
    if (s_cache.buckets.empty() || id == 0)
        return 0;
    for (uint32_t n = bucket_of(id); n != 0;) {
        const RecCacheEntry* e = rec_cache_at(n);
        if (e == nullptr)
            return 0;
        if (e->id == id)
            return n;
        n = e->next;
    }
    return 0;
}

// An entry for the record without purging: 0 when the table has none to give.
static uint32_t take_entry(RecordId id)
{
    uint32_t bucket = bucket_of(id);
    RecCacheEntry& head = s_cache.buckets[bucket - 1];
    if (head.id == 0)
        return bucket; // a free bucket keeps the chain behind it
    if (s_cache.free_overflow == 0 && !grow_overflow())
        return 0;
    uint32_t index = s_cache.free_overflow;
    RecCacheEntry* e = rec_cache_at(index);
    s_cache.free_overflow = e->next;
    e->next = head.next;
    head.next = uint16_t(index);
    return index;
}

int rec_cache_add(RecordId id, uint32_t* index)
{
    *index = 0;
    if (s_cache.buckets.empty())
        return kErrOutOfMemory;
    for (;;) {
        uint32_t taken = take_entry(id);
        if (taken != 0) {
            RecCacheEntry* e = rec_cache_at(taken);
            uint16_t next = e->next;
            *e = RecCacheEntry {};
            e->id = id;
            e->next = next;
            *index = taken;
            return kErrOk;
        }
        if (rec_purge(1, 0, kPurgeDiscarded, 0) == 0 && rec_purge(1, 0, kPurgeAny, 0) == 0)
            return kErrTooManyRecords;
    }
}

// Unlinks an overflow entry from its bucket's chain and puts it on the free chain.
static void free_overflow_entry(uint32_t index, RecordId id)
{
    for (RecCacheEntry* e = rec_cache_at(bucket_of(id)); e != nullptr; e = rec_cache_at(e->next)) {
        if (e->next != index)
            continue;
        RecCacheEntry* gone = rec_cache_at(index);
        e->next = gone->next;
        *gone = RecCacheEntry {};
        gone->next = s_cache.free_overflow;
        s_cache.free_overflow = uint16_t(index);
        return;
    }
}

void rec_cache_detach(uint32_t index)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (e == nullptr || e->id == 0)
        return;
    rec_lru_remove(index);
    s_cache.loaded_bytes -= e->size;
    RecordId id = e->id;
    if (index <= kCacheBuckets) {
        uint16_t next = e->next;
        *e = RecCacheEntry {};
        e->next = next;
    } else {
        free_overflow_entry(index, id);
    }
}

void rec_cache_remove(uint32_t index)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (e == nullptr || e->id == 0)
        return;
    MemHandle block = e->block;
    rec_cache_detach(index);
    if (block)
        mem_free(block);
}

void rec_cache_set_size(uint32_t index, int64_t size)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (e == nullptr)
        return;
    s_cache.loaded_bytes += size - e->size;
    e->size = size;
}

void rec_cache_entries_of(uint32_t slot, std::vector<uint32_t>& out)
{
    out.clear();
    uint32_t total = uint32_t(s_cache.buckets.size() + s_cache.overflow.size());
    for (uint32_t n = 1; n <= total; n++) {
        const RecCacheEntry* e = rec_cache_at(n);
        if (e->id != 0 && (slot == 0 || rec_id_slot(e->id) == slot))
            out.push_back(n);
    }
}

// --- the LRU -------------------------------------------------------------------------------

void rec_lru_remove(uint32_t index)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (e == nullptr || !(e->flags & kCacheOnLru))
        return;
    if (RecCacheEntry* newer = rec_cache_at(e->newer))
        newer->older = e->older;
    else
        s_cache.newest = e->older;
    if (RecCacheEntry* older = rec_cache_at(e->older))
        older->newer = e->newer;
    else
        s_cache.oldest = e->newer;
    e->newer = e->older = 0;
    e->flags &= uint8_t(~kCacheOnLru);
    s_cache.lru_count--;
}

void rec_lru_add(uint32_t index)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (e == nullptr || (e->flags & kCacheOnLru))
        return;
    if (s_cache.lru_count > s_cache.lru_limit)
        rec_cache_remove(s_cache.oldest);
    e->older = s_cache.newest;
    e->newer = 0;
    if (RecCacheEntry* newest = rec_cache_at(s_cache.newest))
        newest->newer = uint16_t(index);
    else
        s_cache.oldest = uint16_t(index);
    s_cache.newest = uint16_t(index);
    e->flags |= kCacheOnLru;
    s_cache.lru_count++;
}

uint32_t rec_lru_count() { return s_cache.lru_count; }

uint32_t rec_purge_ex(
    uint32_t count, uint32_t slot, RecPurgeKind kind, int64_t byte_budget, int64_t* freed_bytes)
{
    uint32_t freed = 0;
    int64_t bytes = 0;
    for (uint32_t n = s_cache.oldest; n != 0;) {
        if ((count != 0 && freed >= count) || (byte_budget > 0 && bytes >= byte_budget))
            break;
        RecCacheEntry* e = rec_cache_at(n);
        uint32_t newer = e->newer;
        bool skip = !e->block || (slot != 0 && rec_id_slot(e->id) != slot)
            || (kind == kPurgeDiscarded && !mem_is_purged(e->block));
        if (!skip) {
            bytes += e->size;
            rec_cache_remove(n);
            freed++;
        }
        n = newer;
    }
    if (freed_bytes)
        *freed_bytes = bytes;
    return freed;
}

uint32_t rec_purge(uint32_t count, uint32_t slot, RecPurgeKind kind, int64_t byte_budget)
{
    return rec_purge_ex(count, slot, kind, byte_budget, nullptr);
}

uint32_t rec_purge_all() { return rec_purge(0, 0, kPurgeAny, 0); }

uint32_t rec_purge_discarded() { return rec_purge(0, 0, kPurgeDiscarded, 0); }

uint32_t rec_purge_discarded_plus_one()
{
    uint32_t freed = rec_purge_discarded();
    return freed + rec_purge(1, 0, kPurgeAny, 0);
}

void rec_set_cache_limit(int32_t n)
{
    s_cache.lru_limit = uint32_t(std::clamp<int32_t>(n, 0, int32_t(kCacheLimitMax)));
    while (s_cache.lru_count > s_cache.lru_limit && s_cache.oldest != 0)
        rec_cache_remove(s_cache.oldest);
}

uint32_t rec_cache_limit() { return s_cache.lru_limit; }

int64_t rec_purgeable_bytes()
{
    int64_t total = 0;
    for (uint32_t n = s_cache.oldest; n != 0; n = rec_cache_at(n)->newer)
        total += rec_cache_at(n)->size;
    return total;
}

int64_t rec_loaded_bytes() { return s_cache.loaded_bytes; }
