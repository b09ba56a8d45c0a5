// The record store's table of loaded records: one entry per record that has a block in memory
// or a cache flag, found by hashing its RecordId into 1024 buckets with overflow entries
// chained behind them, and the LRU list of records that nobody uses, from which records are
// freed oldest first when the list is full, when the memory budget is exceeded or when memory
// is short. Entries are numbered from 1 (buckets 1-1024, then overflow entries); 0 is none.
#pragma once
#include "runtime/base/mem.h"
#include "runtime/store/rec_types.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kCacheBuckets = 1024;
// Overflow entries come 100 at a time up to 4000: the sizes a 16-bit block of 16-byte entries
// allowed, which callers may have come to rely on as the store's capacity.
constexpr uint32_t kCacheOverflowStep = 100;
constexpr uint32_t kCacheOverflowMax = 4000;
constexpr uint32_t kCacheLimitDefault = 500;
constexpr uint32_t kCacheLimitMax = 1000;

// Entry flags.
enum : uint8_t {
    kCacheWrite = 0x01, // the block is to be written at the next flush
    kCacheReserved = 0x02, // file space reserved without data: never on the LRU
    kCacheOnLru = 0x04,
};

struct RecCacheEntry {
    RecordId id = 0; // 0: the entry is free
    MemHandle block;
    uint8_t flags = 0;
    // Wider than a byte, so that many users cannot wrap it to 0 and let the block be purged.
    uint32_t uses = 0;
    int64_t size = 0; // the unpacked bytes this entry adds to the loaded total
    uint16_t next = 0; // bucket chain
    uint16_t newer = 0; // LRU links
    uint16_t older = 0;
};

// What rec_purge may free.
enum RecPurgeKind : int {
    kPurgeAny = 0,
    kPurgeDiscarded = 1, // only blocks the system has discarded
};

// The buckets and the first overflow entries; 1 (also when they exist already).
int rec_cache_init();
// Frees every block and the tables; the limit goes back to 500 (shutdown and tests).
void rec_cache_term();

// The entry of the record, 0 when it has none.
uint32_t rec_cache_find(RecordId id);
// The entry by number; null for 0 or a number outside the table.
RecCacheEntry* rec_cache_at(uint32_t index);
// A new entry for the record (no block, no uses), making room by purging the LRU when the
// table is full: 0 with *index set; 8 before rec_cache_init; 5003 when all 4000 overflow
// entries stay in use.
int rec_cache_add(RecordId id, uint32_t* index);
// Frees the entry's block and removes the entry (the loaded total shrinks by its size).
void rec_cache_remove(uint32_t index);
// Removes the entry but leaves its block to the caller.
void rec_cache_detach(uint32_t index);
// Sets the bytes the entry counts in the loaded total.
void rec_cache_set_size(uint32_t index, int64_t size);
// The entries of one slot (every slot for 0), in table order.
void rec_cache_entries_of(uint32_t slot, std::vector<uint32_t>& out);

// Appends the entry at the newer end of the LRU, first freeing the oldest record when the list
// already holds more than its limit (so it holds at most limit + 1).
void rec_lru_add(uint32_t index);
// Takes the entry off the LRU when it is on it.
void rec_lru_remove(uint32_t index);
// Entries on the LRU.
uint32_t rec_lru_count();

// Frees LRU records from the oldest: skips entries without block, of another slot (when slot
// is not 0) and, for kPurgeDiscarded, blocks not discarded; stops after count records (0: no
// limit) or once the freed bytes reach byte_budget (0: no budget). Returns the number freed;
// *freed_bytes (may be null) the unpacked bytes freed.
uint32_t rec_purge_ex(
    uint32_t count, uint32_t slot, RecPurgeKind kind, int64_t byte_budget, int64_t* freed_bytes);
uint32_t rec_purge(uint32_t count, uint32_t slot, RecPurgeKind kind, int64_t byte_budget);
// Everything on the LRU; only discarded blocks; discarded blocks and then one more record.
uint32_t rec_purge_all();
uint32_t rec_purge_discarded();
uint32_t rec_purge_discarded_plus_one();
// Clamps n to 0-1000 and frees LRU records down to it.
void rec_set_cache_limit(int32_t n);
uint32_t rec_cache_limit();
// Unpacked bytes of the records on the LRU, and of every loaded record.
int64_t rec_purgeable_bytes();
int64_t rec_loaded_bytes();
