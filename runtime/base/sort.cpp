#include "runtime/base/sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// One sort's parameters, passed down instead of kept in module state, so that a compare may
// itself sort.
struct SortRun {
    uint8_t* base;
    size_t size;
    SortCompareWith compare;
    void* context;
};

static int compare_at(const SortRun& run, size_t a, size_t b)
{
    return run.compare(run.base + a * run.size, run.base + b * run.size, run.context);
}

static void sort_swap(const SortRun& run, size_t a, size_t b)
{
    uint8_t* x = run.base + a * run.size;
    uint8_t* y = run.base + b * run.size;
    uint8_t buffer[64];
    for (size_t done = 0; done < run.size; done += sizeof buffer) {
        size_t part = std::min(sizeof buffer, run.size - done);
        std::memcpy(buffer, x + done, part);
        std::memcpy(x + done, y + done, part);
        std::memcpy(y + done, buffer, part);
    }
}

// Partitions first..last around the item at first; returns where that item ends. j moves
// before it compares: comparing first would look at the item past the end.
static size_t sort_partition(const SortRun& run, size_t first, size_t last)
{
    size_t i = first;
    size_t j = last + 1;
    for (;;) {
        while (i < last && compare_at(run, i, first) <= 0)
            i++;
        do
            j--;
        while (j > first && compare_at(run, j, first) >= 0);
        if (i >= j)
            break;
        sort_swap(run, i, j);
    }
    if (j != first)
        sort_swap(run, first, j);
    return j;
}

static void sift_down(const SortRun& run, size_t first, size_t root, size_t count)
{
    for (size_t child; (child = 2 * root + 1) < count; root = child) {
        if (child + 1 < count && compare_at(run, first + child, first + child + 1) < 0)
            child++;
        if (compare_at(run, first + root, first + child) >= 0)
            return;
        sort_swap(run, first + root, first + child);
    }
}

// The way out when partitioning degenerates (many equal items, reversed input): quicksort
// with the first item as pivot would take quadratic time there.
static void heap_sort(const SortRun& run, size_t first, size_t last)
{
    size_t count = last - first + 1;
    for (size_t root = count / 2; root-- > 0;)
        sift_down(run, first, root, count);
    for (size_t end = count - 1; end > 0; end--) {
        sort_swap(run, first, first + end);
        sift_down(run, first, 0, end);
    }
}

// Recurses into the smaller side and loops on the larger one, so the stack stays shallow.
static void sort_range(const SortRun& run, size_t first, size_t last, int depth)
{
    while (first < last) {
        if (depth-- == 0) {
            heap_sort(run, first, last);
            return;
        }
        size_t j = sort_partition(run, first, last);
        if (last - j > j - first) {
            if (j > first)
                sort_range(run, first, j - 1, depth);
            first = j + 1;
        } else {
            if (j < last)
                sort_range(run, j + 1, last, depth);
            last = j - 1;
        }
    }
}

static bool in_order(const SortRun& run, size_t count)
{
    for (size_t i = 0; i + 1 < count; i++)
        if (compare_at(run, i, i + 1) > 0)
            return false;
    return true;
}

void sort_array_with(void* base, size_t count, size_t item_size, SortCompareWith compare, void* context)
{
    SortRun run{static_cast<uint8_t*>(base), item_size, compare, context};
    if (count < 2 || item_size == 0 || in_order(run, count))
        return;
    // Far more partitions than random data needs (about 3 log2 n along any path), so the
    // heap sort only takes over where quicksort would go quadratic.
    int depth = 8;
    for (size_t n = count; n > 1; n /= 2)
        depth += 4;
    sort_range(run, 0, count - 1, depth);
}

static int call_plain(const void* a, const void* b, void* context)
{
    return (*static_cast<SortCompare*>(context))(a, b);
}

void sort_array(void* base, size_t count, size_t item_size, SortCompare compare)
{
    sort_array_with(base, count, item_size, call_plain, &compare);
}
