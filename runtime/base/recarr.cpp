#include "runtime/base/recarr.h"

#include <cstring>
#include <utility>

#include "runtime/base/sort.h"

// A block never shrinks below this; a quarter of it spare is not worth a reallocation.
constexpr size_t kShrinkFloor = 32;

static uint16_t load_u16(const uint8_t* p)
{
    uint16_t value;
    std::memcpy(&value, p, 2);
    return value;
}

static uint32_t load_u32(const uint8_t* p)
{
    uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

static int sign_of(int value) { return (value > 0) - (value < 0); }

static void recarr_set_item_size(RecordArray& array, uint32_t item_size)
{
    array.item_size = item_size & 0xFFFF;
    uint16_t shift = 0;
    while ((1u << shift) < array.item_size)
        shift++;
    array.shift = shift;
    array.stride = 1u << shift;
}

static uint64_t bytes_for(const RecordArray& array, uint64_t count) { return count << array.shift; }

static void refresh_items(RecordArray& array)
{
    if (array.lock_count > 0)
        array.items = static_cast<uint8_t*>(mem_address(array.block));
}

// Sizes the block for the count: growth by a quarter keeps appends amortised; shrinking only
// when more than a quarter of a block over 32 bytes is spare.
static bool recarr_fit(RecordArray& array)
{
    uint64_t needed = bytes_for(array, array.count);
    uint64_t size = mem_size(array.block);
    if (size < needed) {
        uint64_t roomy = bytes_for(array, uint64_t(array.count) + array.count / 4);
        if (!mem_realloc(array.block, int64_t(roomy), kMemMovable)
            && !mem_realloc(array.block, int64_t(needed), kMemMovable))
            return false;
    } else if (needed < size && size > kShrinkFloor && needed < size - size / 4) {
        mem_realloc(array.block, int64_t(needed), kMemMovable);
    }
    refresh_items(array);
    return true;
}

// Raises the count by extra and fits the block; on failure the count is as it was.
static bool grow_by(RecordArray& array, uint32_t extra)
{
    if (!array.block || extra > UINT32_MAX - array.count
        || bytes_for(array, uint64_t(array.count) + extra) > plat::kGlobalMaxBlockSize)
        return false;
    array.count += extra;
    if (recarr_fit(array))
        return true;
    array.count -= extra;
    return false;
}

static uint8_t* item_at(const RecordArray& array, uint32_t n) { return array.items + (size_t(n - 1) << array.shift); }

int recarr_init(RecordArray& array, uint32_t item_size, RecordCompare compare)
{
    array = RecordArray{};
    recarr_set_item_size(array, item_size);
    array.compare = compare;
    array.block = mem_alloc(0, kMemMovableZero);
    return array.block ? 1 : 0;
}

int recarr_attach(RecordArray& array, uint32_t item_size, RecordCompare compare, MemHandle block, uint32_t count)
{
    RecordArray attached;
    recarr_set_item_size(attached, item_size);
    if (!block || bytes_for(attached, count) > mem_size(block))
        return 0;
    attached.compare = compare;
    attached.block = block;
    attached.count = count;
    array = attached;
    return 1;
}

static void release(RecordArray& array)
{
    if (array.lock_count > 0)
        mem_unlock(array.block);
    array = RecordArray{};
}

void recarr_detach(RecordArray& array, MemHandle* block, uint32_t* count)
{
    if (array.block)
        mem_realloc(array.block, int64_t(bytes_for(array, array.count)), kMemMovable);
    if (block)
        *block = array.block;
    if (count)
        *count = array.count;
    release(array);
}

void recarr_free(RecordArray& array)
{
    MemHandle block = array.block;
    release(array);
    mem_free(block);
}

int recarr_clear(RecordArray& array)
{
    if (!array.block || !mem_resize(array.block, 0, 0))
        return 0;
    array.count = 0;
    refresh_items(array);
    return 1;
}

int recarr_is_valid(const RecordArray& array) { return array.block ? 1 : 0; }

uint32_t recarr_count(const RecordArray& array) { return array.count; }

uint32_t recarr_lock(RecordArray& array)
{
    if (!array.block)
        return 0;
    if (array.lock_count == 0) {
        array.items = static_cast<uint8_t*>(mem_lock(array.block));
        if (!array.items)
            return 0;
    }
    return ++array.lock_count;
}

void recarr_unlock(RecordArray& array)
{
    if (array.lock_count == 0)
        return;
    if (--array.lock_count == 0) {
        mem_unlock(array.block);
        array.items = nullptr;
    }
}

void* recarr_item(const RecordArray& array, uint32_t n)
{
    if (array.lock_count == 0 || n == 0 || n > array.count)
        return nullptr;
    return item_at(array, n);
}

int recarr_get(RecordArray& array, uint32_t n, void* item)
{
    if (n == 0 || n > array.count || !recarr_lock(array))
        return 0;
    std::memcpy(item, item_at(array, n), array.item_size);
    recarr_unlock(array);
    return 1;
}

int recarr_set(RecordArray& array, uint32_t n, const void* item)
{
    if (n == 0 || n > array.count || !recarr_lock(array))
        return 0;
    std::memcpy(item_at(array, n), item, array.item_size);
    recarr_unlock(array);
    return 1;
}

uint32_t recarr_append(RecordArray& array, const void* item)
{
    return recarr_insert_at(array, UINT32_MAX, item) ? array.count : 0;
}

int recarr_append_n(RecordArray& array, uint32_t n, const void* item)
{
    if (n == 0)
        return 1;
    uint32_t first = array.count + 1;
    if (!grow_by(array, n))
        return 0;
    recarr_lock(array);
    for (uint32_t i = first; i <= array.count; i++) {
        uint8_t* at = item_at(array, i);
        if (item)
            std::memcpy(at, item, array.item_size);
        else if (array.item_size == 190)
            mem_clear_190(at);
        else
            std::memset(at, 0, array.item_size);
    }
    recarr_unlock(array);
    return 1;
}

int recarr_insert_at(RecordArray& array, uint32_t position, const void* item)
{
    if (position == 0)
        return 0;
    uint32_t old_count = array.count;
    if (position > old_count)
        position = old_count + 1;
    if (!grow_by(array, 1))
        return 0;
    recarr_lock(array);
    uint8_t* at = item_at(array, position);
    std::memmove(at + array.stride, at, size_t(old_count - (position - 1)) << array.shift);
    std::memcpy(at, item, array.item_size);
    recarr_unlock(array);
    return 1;
}

int recarr_delete(RecordArray& array, uint32_t n)
{
    if (n == 0 || n > array.count || !recarr_lock(array))
        return 0;
    uint8_t* at = item_at(array, n);
    std::memmove(at, at + array.stride, size_t(array.count - n) << array.shift);
    recarr_unlock(array);
    array.count--;
    recarr_fit(array); // only shrinks, and a failed shrink is harmless
    return 1;
}

uint32_t recarr_find_if(RecordArray& array, RecordMatch match, void* user)
{
    if (!recarr_lock(array))
        return 0;
    uint32_t found = 0;
    // The count is read on every round: the callback may delete items.
    for (uint32_t n = 1; n <= array.count && found == 0; n++)
        if (match(item_at(array, n), user) == 0)
            found = n;
    recarr_unlock(array);
    return found;
}

// --- compares ------------------------------------------------------------------------------

static size_t key_width(uint16_t kind) { return kind; }

static int compare_bytes(const uint8_t* a, const uint8_t* b, size_t count)
{
    return count == 0 ? 0 : sign_of(std::memcmp(a, b, count));
}

static int compare_three_words(const uint8_t* a, const uint8_t* b)
{
    for (int i = 0; i < 3; i++) {
        int difference = int(load_u16(a + 2 * i)) - int(load_u16(b + 2 * i));
        if (difference != 0)
            return difference;
    }
    return 0;
}

// Calls body with the compare that searches and sorts use for the descriptor, as a separate
// type per kind so that the search loop inlines it.
// Calls body with the compare that searches and sorts use for the descriptor, as a separate
// type per kind so that the search loop inlines it. Its result only has the compare's sign
// (and the words' difference for kind 2), as a 64-bit value that cannot overflow.
template <typename Body>
static auto with_search_compare(const RecordArray& array, KeyDescriptor descriptor, Body&& body)
{
    uint16_t kind = uint16_t(descriptor >> 16);
    size_t offset = descriptor & 0xFFFF;
    if (kind == kKeyWord)
        return body([offset](const uint8_t* a, const uint8_t* b) {
            return int64_t(load_u16(a + offset)) - int64_t(load_u16(b + offset));
        });
    if (array.compare) {
        RecordCompare compare = array.compare;
        return body([compare, descriptor](const uint8_t* a, const uint8_t* b) { return int64_t(compare(a, b, descriptor)); });
    }
    switch (kind) {
    case kKeyByte:
        return body([offset](const uint8_t* a, const uint8_t* b) { return int64_t(a[offset]) - int64_t(b[offset]); });
    case kKeyLong:
        return body([offset](const uint8_t* a, const uint8_t* b) {
            return int64_t(load_u32(a + offset)) - int64_t(load_u32(b + offset));
        });
    case kKeyThreeWords:
        return body([offset](const uint8_t* a, const uint8_t* b) {
            return int64_t(compare_three_words(a + offset, b + offset));
        });
    default:
        return body([offset, kind](const uint8_t* a, const uint8_t* b) {
            return int64_t(compare_bytes(a + offset, b + offset, kind));
        });
    }
}

// A built-in key must lie inside the item, or the last item's key would be read past the block.
static bool key_fits(const RecordArray& array, KeyDescriptor descriptor)
{
    uint16_t kind = uint16_t(descriptor >> 16);
    if (array.compare && kind != kKeyWord)
        return true;
    return (descriptor & 0xFFFF) + key_width(kind) <= array.item_size;
}

int recarr_compare(const RecordArray& array, const void* a, const void* b, KeyDescriptor descriptor)
{
    if (array.compare)
        return array.compare(a, b, descriptor);
    if (!key_fits(array, descriptor))
        return 0;
    return with_search_compare(array, descriptor, [a, b](auto compare) {
        int64_t order = compare(static_cast<const uint8_t*>(a), static_cast<const uint8_t*>(b));
        return (order > 0) - (order < 0);
    });
}

// --- searches ------------------------------------------------------------------------------

// Searches with a compare callback lock the block, since the callback may allocate and so move
// it. With a built-in compare nothing allocates while the search runs, so the address is read
// without a lock, as a master pointer may be.
static bool uses_callback(const RecordArray& array, KeyDescriptor descriptor)
{
    return array.compare && (descriptor >> 16) != kKeyWord;
}

static const uint8_t* begin_search(RecordArray& array, KeyDescriptor descriptor)
{
    if (!key_fits(array, descriptor))
        return nullptr;
    if (uses_callback(array, descriptor))
        return recarr_lock(array) ? array.items : nullptr;
    return array.lock_count > 0 ? array.items : static_cast<const uint8_t*>(mem_address(array.block));
}

static void end_search(RecordArray& array, KeyDescriptor descriptor)
{
    if (uses_callback(array, descriptor))
        recarr_unlock(array);
}

static const uint8_t* item_in(const RecordArray& array, const uint8_t* items, uint32_t n)
{
    return items + (size_t(n - 1) << array.shift);
}

// Linear search from item 1; compares (item, key).
static uint32_t linear_search(const RecordArray& array, const uint8_t* items, const void* key, KeyDescriptor descriptor)
{
    return with_search_compare(array, descriptor, [&array, items, key](auto compare) -> uint32_t {
        const auto* key_bytes = static_cast<const uint8_t*>(key);
        for (uint32_t n = 1; n <= array.count; n++)
            if (compare(item_in(array, items, n), key_bytes) == 0)
                return n;
        return 0;
    });
}

// The first item not below key (compare(key, item) <= 0) among count items, as an offset in
// strides. The step is a conditional move, not a branch: on random keys half the branches
// would be mispredicted. The two places the next step may look at are fetched meanwhile, so
// the loads of successive steps overlap. Shift is the stride's log2 when known here, so that
// the step is an addressing mode rather than a multiplication.
template <int Shift, typename Compare>
static size_t lower_bound_of(const uint8_t* items, size_t count, size_t stride, const uint8_t* key, Compare compare)
{
    if (count == 0)
        return 0;
    auto offset = [stride](size_t n) { return Shift >= 0 ? n << Shift : n * stride; };
    const uint8_t* base = items;
    for (size_t length = count; length > 1;) {
        size_t half = length / 2;
        __builtin_prefetch(base + offset(half / 2));
        __builtin_prefetch(base + offset(half + half / 2));
        base = compare(key, base + offset(half)) > 0 ? base + offset(half) : base;
        length -= half;
    }
    size_t index = Shift >= 0 ? size_t(base - items) >> Shift : size_t(base - items) / stride;
    return index + (compare(key, base) > 0 ? 1 : 0);
}

// Binary search comparing (key, item). Any of several equal items may be the hit, so the search
// narrows to the first item not below the key with one compare per step and then tests that
// one for equality; on a miss, insert_at is where the key belongs. Sizes are unsigned and
// only shrink, so an empty array or a key below the first item cannot wrap.
static uint32_t binary_search(const RecordArray& array, const uint8_t* items, const void* key, KeyDescriptor descriptor,
                              uint32_t* insert_at)
{
    return with_search_compare(array, descriptor, [&array, items, key, insert_at](auto compare) -> uint32_t {
        const auto* key_bytes = static_cast<const uint8_t*>(key);
        size_t count = array.count;
        size_t stride = array.stride;
        size_t index;
        switch (array.shift) { // the usual strides: 4, 8 and 16 bytes
        case 2: index = lower_bound_of<2>(items, count, stride, key_bytes, compare); break;
        case 3: index = lower_bound_of<3>(items, count, stride, key_bytes, compare); break;
        case 4: index = lower_bound_of<4>(items, count, stride, key_bytes, compare); break;
        default: index = lower_bound_of<-1>(items, count, stride, key_bytes, compare); break;
        }
        if (index < count && compare(key_bytes, items + (index << array.shift)) == 0)
            return uint32_t(index + 1);
        *insert_at = uint32_t(index + 1);
        return 0;
    });
}

static void copy_out(const RecordArray& array, const uint8_t* items, uint32_t n, void* out)
{
    if (n != 0 && out)
        std::memcpy(out, item_in(array, items, n), array.item_size);
}

uint32_t recarr_find(RecordArray& array, const void* key, void* found, KeyDescriptor descriptor)
{
    const uint8_t* items = begin_search(array, descriptor);
    if (!items)
        return 0;
    uint32_t n = linear_search(array, items, key, descriptor);
    copy_out(array, items, n, found);
    end_search(array, descriptor);
    return n;
}

uint32_t recarr_take(RecordArray& array, void* key, KeyDescriptor descriptor)
{
    uint32_t n = recarr_find(array, key, key, descriptor);
    if (n != 0)
        recarr_delete(array, n);
    return n;
}

uint32_t recarr_bsearch(RecordArray& array, const void* key, void* found, KeyDescriptor descriptor)
{
    const uint8_t* items = begin_search(array, descriptor);
    if (!items)
        return 0;
    uint32_t insert_at = 0;
    uint32_t n = binary_search(array, items, key, descriptor, &insert_at);
    copy_out(array, items, n, found);
    end_search(array, descriptor);
    return n;
}

uint32_t recarr_bremove(RecordArray& array, void* key, KeyDescriptor descriptor)
{
    uint32_t n = recarr_bsearch(array, key, key, descriptor);
    if (n != 0)
        recarr_delete(array, n);
    return n;
}

static void exchange_bytes(uint8_t* a, uint8_t* b, size_t count)
{
    for (size_t i = 0; i < count; i++)
        std::swap(a[i], b[i]);
}

uint32_t recarr_binsert(RecordArray& array, void* item, RecordMerge merge, KeyDescriptor descriptor)
{
    const uint8_t* items = begin_search(array, descriptor);
    if (!items)
        return 0;
    uint32_t insert_at = 0;
    uint32_t n = binary_search(array, items, item, descriptor, &insert_at);
    end_search(array, descriptor);
    if (n == 0)
        return recarr_insert_at(array, insert_at, item) ? insert_at : 0;
    // Locked for the merge, which may allocate.
    recarr_lock(array);
    if (merge)
        merge(item, item_at(array, n), descriptor);
    else
        exchange_bytes(static_cast<uint8_t*>(item), item_at(array, n), array.item_size);
    recarr_unlock(array);
    return n;
}

struct SortContext {
    const RecordArray* array;
    KeyDescriptor descriptor;
};

static int compare_for_sort(const void* a, const void* b, void* context)
{
    const auto* sort = static_cast<const SortContext*>(context);
    return with_search_compare(*sort->array, sort->descriptor, [a, b](auto compare) {
        int64_t order = compare(static_cast<const uint8_t*>(a), static_cast<const uint8_t*>(b));
        return (order > 0) - (order < 0);
    });
}

void recarr_sort(RecordArray& array, KeyDescriptor descriptor)
{
    if (!key_fits(array, descriptor) || !recarr_lock(array))
        return;
    SortContext context{&array, descriptor};
    sort_array_with(array.items, array.count, array.stride, compare_for_sort, &context);
    recarr_unlock(array);
}
