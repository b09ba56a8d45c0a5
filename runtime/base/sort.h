// The in-place sort of record arrays, id sets and the calculation language's lists. Items that
// are already in order cost count - 1 compares and are not moved. Not stable.
#pragma once
#include <cstddef>

// Compares two items: negative, 0 or positive.
using SortCompare = int (*)(const void* a, const void* b);
// The same with the caller's context, for compares that need more than the two items.
using SortCompareWith = int (*)(const void* a, const void* b, void* context);

// Sorts count items of item_size bytes at base in place.
void sort_array(void* base, size_t count, size_t item_size, SortCompare compare);
void sort_array_with(void* base, size_t count, size_t item_size, SortCompareWith compare, void* context);
