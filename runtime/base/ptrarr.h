// PtrArray: a growable array of owned pointers. Items come from the general allocator
// (std::malloc); deleting a slot frees its item (no destructor runs). Indexes name slot n, or
// slot n - 1 when the array is not zero-based.
#pragma once
#include <cstdint>

struct PtrArray {
    int32_t initial_capacity = 0;
    int32_t growth_step = 0;
    int32_t capacity = 0;
    int32_t used = 0;       // one above the highest slot ever set
    int32_t zero_based = 0; // nonzero: index n is slot n
    void** slots = nullptr;
};

// Fills the fields, with no slot array yet.
void ptrarr_init(PtrArray& array, int32_t initial_capacity, int32_t growth_step, int32_t zero_based);
// Frees any slot array (not the items) and allocates initial-capacity empty slots; 0 or 8.
int ptrarr_alloc(PtrArray& array);
// Enlarges by the growth step keeping the slots; 0 or 8 (the old slots kept).
int ptrarr_grow(PtrArray& array);
// The item at the index; null without slots, or when the slot is not below the used count.
void* ptrarr_get(const PtrArray& array, int32_t index);
// Stores the item (the array owns it), growing until the slot fits; 0 or 8 (array unchanged).
int ptrarr_set(PtrArray& array, int32_t index, void* item);
// Frees the item and empties the slot; 0, or 8004 when the slot was empty.
int ptrarr_delete(PtrArray& array, int32_t index);
// Frees every item and the slot array; the fields keep the capacities asked for.
void ptrarr_free(PtrArray& array);
