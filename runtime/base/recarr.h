// RecordArray: a growable array of fixed-size items in one movable block, addressed from 1,
// with linear and binary search by a key descriptor, in-place sort and sorted insertion.
// Items sit a power-of-two stride apart; the stride's bytes beyond the item size are never
// compared or copied. Every operation that reads items locks the block around its work; an
// address from recarr_item stays good only while the caller keeps the array locked and adds
// or removes nothing. The only failure is memory: adds return 0 and change nothing.
#pragma once
#include <cstdint>

#include "runtime/base/mem.h"

// Compare kind in the high 16 bits, byte offset of the key inside the item in the low 16.
using KeyDescriptor = uint32_t;

// Built-in compare kinds; any other kind n compares n bytes (0 compares nothing: equal).
enum : uint16_t {
    kKeyByte = 1,       // one unsigned byte
    kKeyWord = 2,       // one unsigned 16-bit word; searches and sorts use the plain difference
    kKeyLong = 4,       // one unsigned 32-bit word
    kKeyThreeWords = 6, // three unsigned 16-bit words in order: difference of the first unequal
};

constexpr KeyDescriptor recarr_key(uint16_t kind, uint16_t offset) { return uint32_t(kind) << 16 | offset; }

// Compares two items for a descriptor: negative, 0 or positive.
using RecordCompare = int (*)(const void* a, const void* b, KeyDescriptor key);
// Called by recarr_binsert on a hit with the given item and the stored one, which it may update.
using RecordMerge = void (*)(void* item, void* stored, KeyDescriptor key);
// recarr_find_if's test: 0 for the item looked for.
using RecordMatch = int (*)(const void* item, void* user);

struct RecordArray {
    uint32_t count = 0;
    uint32_t item_size = 0;  // 0 to 65535
    uint32_t stride = 0;     // the smallest power of two not below the item size
    uint16_t shift = 0;      // log2 of the stride
    uint32_t lock_count = 0; // nesting of recarr_lock
    RecordCompare compare = nullptr;
    MemHandle block;
    uint8_t* items = nullptr; // item 1 while locked, else null
};

// 1/0: clears the fields and allocates an empty zero-filled block.
int recarr_init(RecordArray& array, uint32_t item_size, RecordCompare compare);
// 1/0: wraps a block of count items (a loaded record); 0, with the array and the block
// untouched, when the block holds fewer than count items.
int recarr_attach(RecordArray& array, uint32_t item_size, RecordCompare compare, MemHandle block, uint32_t count);
// Shrinks the block to count items, hands block and count over and clears the fields.
void recarr_detach(RecordArray& array, MemHandle* block, uint32_t* count);
// Frees the block when there is one and clears the fields.
void recarr_free(RecordArray& array);
// Removes every item; 1/0.
int recarr_clear(RecordArray& array);
int recarr_is_valid(const RecordArray& array);
uint32_t recarr_count(const RecordArray& array);
// Counted lock: the first locks the block and sets items; returns the new lock count.
uint32_t recarr_lock(RecordArray& array);
// The last unlock unlocks the block and clears items.
void recarr_unlock(RecordArray& array);
// Address of item n while locked; null when not locked, n is 0 or above the count.
void* recarr_item(const RecordArray& array, uint32_t n);
// 1 when item n exists and was copied out / overwritten.
int recarr_get(RecordArray& array, uint32_t n, void* item);
int recarr_set(RecordArray& array, uint32_t n, const void* item);
// Index of the new last item; 0 when the block cannot grow.
uint32_t recarr_append(RecordArray& array, const void* item);
// 1/0: appends n copies of item, or n zero-filled items when it is null.
int recarr_append_n(RecordArray& array, uint32_t n, const void* item);
// 1/0: inserts at position (above count + 1 means count + 1; 0 fails).
int recarr_insert_at(RecordArray& array, uint32_t position, const void* item);
// 1 when item n existed and was removed.
int recarr_delete(RecordArray& array, uint32_t n);
// Index of the first item for which match returns 0; 0 when none.
uint32_t recarr_find_if(RecordArray& array, RecordMatch match, void* user);

// Searches and sorts by descriptor. A descriptor whose built-in key does not lie inside the
// item finds nothing and sorts nothing. Kind 2 always compares the words, even with a callback.
// Index of the first item equal to the key (linear), copied to found when given; 0 when none.
uint32_t recarr_find(RecordArray& array, const void* key, void* found, KeyDescriptor descriptor);
// As recarr_find, then the found item is copied into key and removed.
uint32_t recarr_take(RecordArray& array, void* key, KeyDescriptor descriptor);
void recarr_sort(RecordArray& array, KeyDescriptor descriptor);
// Binary search of a sorted array: index of an equal item (copied to found when given) or 0.
uint32_t recarr_bsearch(RecordArray& array, const void* key, void* found, KeyDescriptor descriptor);
// Binary search; the found item is copied into key and removed; index or 0.
uint32_t recarr_bremove(RecordArray& array, void* key, KeyDescriptor descriptor);
// Keeps the array sorted: inserts a new item, or on a hit calls merge, or without merge
// exchanges the stored item with the caller's. Index of the new or equal item; 0 when full.
uint32_t recarr_binsert(RecordArray& array, void* item, RecordMerge merge, KeyDescriptor descriptor);
// The array's compare of two items: the callback when there is one, else the built-in kind
// (-1, 0 or 1 for kind 2 here).
int recarr_compare(const RecordArray& array, const void* a, const void* b, KeyDescriptor descriptor);
