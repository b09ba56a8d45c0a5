// Sets of 16-bit (IdSet) and 32-bit (IdSet32) values in one movable block, also stored as
// records in course files. IdSet block: {i16 count, u16 values[count]}; IdSet32 block:
// {i16 count, u16 0, u32 values[count]}. Blocks are sized in 128-byte buckets, so a run of adds
// reallocates once per bucket; removing never shrinks. Values are numbered from 1 and kept in
// insertion order unless the user keeps the set sorted. The set is addressed through its
// handle without locking; a count that does not fit the block is never believed.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/kernel/byte_io.h"
#include "runtime/base/mem.h"

using IdSet = MemHandle;

// The stored count is 16-bit and the bucket rule keeps blocks within 65504 bytes.
constexpr int32_t kIdSetMaxCount = 32703;
constexpr int32_t kIdSet32MaxCount = 16351;

// Runs over the values: returns 0 to stop at value.
using IdSetVisit = int (*)(uint32_t value, void* user);
// Orders two values: negative, 0 or positive.
using IdSetCompare = int (*)(uint16_t a, uint16_t b);

// --- IdSet ---------------------------------------------------------------------------------

// A new empty set (128 zero bytes), also good as an empty IdSet32; null when out of memory.
IdSet idset_new();
void idset_free(IdSet set);
// A copy of the set; null on failure.
IdSet idset_clone(IdSet set);
// Return the set; sets are reached without locking.
IdSet idset_lock(IdSet set);
IdSet idset_unlock(IdSet set);
// Values in the set; 0 for null.
int32_t idset_count(IdSet set);
// Bytes of the stored form, 2 + 2 * count; 0 for null.
int32_t idset_byte_size(IdSet set);
// Value n, 0 when n is 0 or above the count.
uint16_t idset_get(IdSet set, int32_t n);
// 1 when the value is in the set (linear); 0 for null.
int idset_contains(IdSet set, uint16_t value);
// 1 when the value was present or has been appended; 0 when the set cannot grow.
int idset_add(IdSet set, uint16_t value);
// 1/0: inserts at position (above count + 1 means count + 1; 0 fails); later values move up.
int idset_insert_at(IdSet set, int32_t position, uint16_t value);
// Removes the first occurrence; 1 when there was one.
int idset_remove(IdSet set, uint16_t value);
// Removes every value of other from the set, taking other's values from last to first.
void idset_remove_all(IdSet set, IdSet other);
// Count 0; the block is kept.
void idset_clear(IdSet set);
// Visits the values first to last (direction 1) or last to first (any other); the 1-based
// position of the value at which visit returned 0, or 0 when it ran through.
int32_t idset_for_each(IdSet set, int direction, IdSetVisit visit, void* user);
// Sorts the values; without a compare, in signed 16-bit order.
void idset_sort(IdSet set, IdSetCompare compare);
// Binary search in a set sorted by the same compare. Operation 0: the value's position or 0;
// 1: inserts it in order when absent (insert's result), 1 when present; 2: removes it, 0.
int32_t idset_sorted_op(IdSet set, int operation, uint16_t value, IdSetCompare compare);
// 0 when a block (a loaded record) holds a whole IdSet; kErrFileDamaged when its count is
// negative, too large or runs past the block.
int idset_attach(IdSet set);
// A new set from its stored form; 0, kErrFileDamaged or kErrOutOfMemory.
int idset_load(plat::ByteReader reader, IdSet* out);

// --- IdSet32 -------------------------------------------------------------------------------

int32_t idset32_count(IdSet set);
// Bytes of the stored form, 4 + 4 * count; 0 for null.
int32_t idset32_byte_size(IdSet set);
uint32_t idset32_get(IdSet set, int32_t n);
int idset32_contains(IdSet set, uint32_t value);
int idset32_add(IdSet set, uint32_t value);
int idset32_insert_at(IdSet set, int32_t position, uint32_t value);
int idset32_remove(IdSet set, uint32_t value);
int32_t idset32_for_each(IdSet set, int direction, IdSetVisit visit, void* user);
// Stores value n, first raising the count to n (new values 0) when n is above it; n = 0 fails.
int idset32_set(IdSet set, int32_t n, uint32_t value);
int idset32_attach(IdSet set);
int idset32_load(plat::ByteReader reader, IdSet* out);
