#include "runtime/base/idset.h"

#include <algorithm>
#include <cstring>

#include "runtime/base/errcode.h"
#include "runtime/base/sort.h"

constexpr size_t kBucket = 128;

// What tells the two kinds apart: the header before value 1, the width of a value and the
// largest count.
struct SetShape {
    size_t header;
    size_t width;
    int32_t max_count;
};

static const SetShape kShape16{2, 2, kIdSetMaxCount};
static const SetShape kShape32{4, 4, kIdSet32MaxCount};

static uint8_t* set_bytes(IdSet set) { return static_cast<uint8_t*>(mem_address(set)); }

// The count, never more than the block can hold nor below 0, whatever the block says.
static int32_t stored_count(IdSet set, const SetShape& shape)
{
    const uint8_t* bytes = set ? set_bytes(set) : nullptr;
    size_t size = mem_size(set);
    if (!bytes || size < shape.header)
        return 0;
    int32_t count = int16_t(plat::load_u16le(bytes));
    int32_t room = int32_t((size - shape.header) / shape.width);
    return std::clamp(count, 0, room);
}

static void store_count(IdSet set, int32_t count) { plat::store_u16le(set_bytes(set), uint16_t(count)); }

static uint8_t* value_address(IdSet set, const SetShape& shape, int32_t n)
{
    return set_bytes(set) + shape.header + shape.width * size_t(n - 1);
}

static uint32_t value_at(IdSet set, const SetShape& shape, int32_t n)
{
    const uint8_t* p = value_address(set, shape, n);
    return shape.width == 2 ? plat::load_u16le(p) : plat::load_u32le(p);
}

static void put_value(IdSet set, const SetShape& shape, int32_t n, uint32_t value)
{
    uint8_t* p = value_address(set, shape, n);
    if (shape.width == 2)
        plat::store_u16le(p, uint16_t(value));
    else
        plat::store_u32le(p, value);
}

static size_t bucket_size(const SetShape& shape, int32_t count)
{
    return (shape.header + shape.width * size_t(count) + kBucket - 1) / kBucket * kBucket;
}

// Sizes the block for a new count: only when the bucket changes or the block is too small
// (a loaded record is exactly its stored size).
static bool set_fit(IdSet set, const SetShape& shape, int32_t old_count, int32_t new_count)
{
    size_t wanted = bucket_size(shape, new_count);
    if (wanted == bucket_size(shape, old_count) && mem_size(set) >= wanted)
        return true;
    return mem_resize(set, wanted, kMemZeroInit) == 1;
}

static int32_t position_of(IdSet set, const SetShape& shape, uint32_t value)
{
    int32_t count = stored_count(set, shape);
    for (int32_t n = 1; n <= count; n++)
        if (value_at(set, shape, n) == value)
            return n;
    return 0;
}

static int insert_value(IdSet set, const SetShape& shape, int32_t position, uint32_t value)
{
    if (!set || position <= 0)
        return 0;
    int32_t count = stored_count(set, shape);
    if (count >= shape.max_count || !set_fit(set, shape, count, count + 1))
        return 0;
    position = std::min(position, count + 1);
    uint8_t* at = value_address(set, shape, position);
    std::memmove(at + shape.width, at, shape.width * size_t(count - position + 1));
    put_value(set, shape, position, value);
    store_count(set, count + 1);
    return 1;
}

static void delete_value(IdSet set, const SetShape& shape, int32_t position)
{
    int32_t count = stored_count(set, shape);
    uint8_t* at = value_address(set, shape, position);
    std::memmove(at, at + shape.width, shape.width * size_t(count - position));
    store_count(set, count - 1);
}

static int remove_value(IdSet set, const SetShape& shape, uint32_t value)
{
    int32_t position = position_of(set, shape, value);
    if (position == 0)
        return 0;
    delete_value(set, shape, position);
    return 1;
}

// The count is read again on every round: the callback may change the set.
static int32_t visit_values(IdSet set, const SetShape& shape, int direction, IdSetVisit visit, void* user)
{
    if (direction == 1) {
        for (int32_t n = 1; n <= stored_count(set, shape); n++)
            if (visit(value_at(set, shape, n), user) == 0)
                return n;
        return 0;
    }
    for (int32_t n = stored_count(set, shape); n >= 1; n = std::min(n - 1, stored_count(set, shape)))
        if (visit(value_at(set, shape, n), user) == 0)
            return n;
    return 0;
}

static int attach_set(IdSet set, const SetShape& shape)
{
    const uint8_t* bytes = set ? set_bytes(set) : nullptr;
    size_t size = mem_size(set);
    if (!bytes || size < shape.header)
        return kErrFileDamaged;
    int32_t count = int16_t(plat::load_u16le(bytes));
    if (count < 0 || count > shape.max_count || size_t(count) > (size - shape.header) / shape.width)
        return kErrFileDamaged;
    return kErrOk;
}

static int load_set(plat::ByteReader reader, const SetShape& shape, IdSet* out)
{
    *out = IdSet{};
    int32_t count = reader.i16le();
    reader.skip(shape.header - 2);
    if (reader.failed() || count < 0 || count > shape.max_count || size_t(count) > reader.remaining() / shape.width)
        return kErrFileDamaged;
    IdSet set = mem_alloc(bucket_size(shape, count), kMemMovableZero);
    if (!set)
        return kErrOutOfMemory;
    store_count(set, count);
    for (int32_t n = 1; n <= count; n++)
        put_value(set, shape, n, shape.width == 2 ? reader.u16le() : reader.u32le());
    *out = set;
    return kErrOk;
}

// --- IdSet ---------------------------------------------------------------------------------

IdSet idset_new() { return mem_alloc(kBucket, kMemMovableZero); }

void idset_free(IdSet set) { mem_free(set); }

IdSet idset_clone(IdSet set) { return mem_duplicate(set); }

IdSet idset_lock(IdSet set) { return set; }

IdSet idset_unlock(IdSet set) { return set; }

int32_t idset_count(IdSet set) { return stored_count(set, kShape16); }

int32_t idset_byte_size(IdSet set) { return set ? 2 + 2 * idset_count(set) : 0; }

uint16_t idset_get(IdSet set, int32_t n)
{
    return (n >= 1 && n <= idset_count(set)) ? uint16_t(value_at(set, kShape16, n)) : 0;
}

int idset_contains(IdSet set, uint16_t value) { return position_of(set, kShape16, value) != 0 ? 1 : 0; }

int idset_add(IdSet set, uint16_t value)
{
    if (idset_contains(set, value))
        return 1;
    return insert_value(set, kShape16, INT32_MAX, value);
}

int idset_insert_at(IdSet set, int32_t position, uint16_t value) { return insert_value(set, kShape16, position, value); }

int idset_remove(IdSet set, uint16_t value) { return remove_value(set, kShape16, value); }

void idset_remove_all(IdSet set, IdSet other)
{
    if (set == other) {
        idset_clear(set);
        return;
    }
    for (int32_t n = idset_count(other); n >= 1; n--)
        idset_remove(set, idset_get(other, n));
}

void idset_clear(IdSet set)
{
    if (stored_count(set, kShape16) > 0)
        store_count(set, 0);
}

int32_t idset_for_each(IdSet set, int direction, IdSetVisit visit, void* user)
{
    return visit_values(set, kShape16, direction, visit, user);
}

static int signed_order(uint16_t a, uint16_t b) { return int(int16_t(a)) - int(int16_t(b)); }

static int compare_stored(const void* a, const void* b, void* context)
{
    IdSetCompare compare = *static_cast<IdSetCompare*>(context);
    return compare(plat::load_u16le(static_cast<const uint8_t*>(a)), plat::load_u16le(static_cast<const uint8_t*>(b)));
}

void idset_sort(IdSet set, IdSetCompare compare)
{
    if (!compare)
        compare = signed_order;
    int32_t count = idset_count(set);
    if (count > 1)
        sort_array_with(value_address(set, kShape16, 1), size_t(count), 2, compare_stored, &compare);
}

int32_t idset_sorted_op(IdSet set, int operation, uint16_t value, IdSetCompare compare)
{
    if (!compare)
        compare = signed_order;
    int32_t lo = 1;
    int32_t hi = idset_count(set);
    while (lo <= hi) {
        int32_t mid = (lo + hi) / 2;
        int order = compare(value, uint16_t(value_at(set, kShape16, mid)));
        if (order < 0) {
            hi = mid - 1;
        } else if (order > 0) {
            lo = mid + 1;
        } else {
            if (operation == 2)
                delete_value(set, kShape16, mid);
            return operation == 0 ? mid : (operation == 1 ? 1 : 0);
        }
    }
    return operation == 1 ? idset_insert_at(set, lo, value) : 0;
}

int idset_attach(IdSet set) { return attach_set(set, kShape16); }

int idset_load(plat::ByteReader reader, IdSet* out) { return load_set(reader, kShape16, out); }

// --- IdSet32 -------------------------------------------------------------------------------

int32_t idset32_count(IdSet set) { return stored_count(set, kShape32); }

int32_t idset32_byte_size(IdSet set) { return set ? 4 + 4 * idset32_count(set) : 0; }

uint32_t idset32_get(IdSet set, int32_t n)
{
    return (n >= 1 && n <= idset32_count(set)) ? value_at(set, kShape32, n) : 0;
}

int idset32_contains(IdSet set, uint32_t value) { return position_of(set, kShape32, value) != 0 ? 1 : 0; }

int idset32_add(IdSet set, uint32_t value)
{
    if (idset32_contains(set, value))
        return 1;
    return insert_value(set, kShape32, INT32_MAX, value);
}

int idset32_insert_at(IdSet set, int32_t position, uint32_t value)
{
    return insert_value(set, kShape32, position, value);
}

int idset32_remove(IdSet set, uint32_t value) { return remove_value(set, kShape32, value); }

int32_t idset32_for_each(IdSet set, int direction, IdSetVisit visit, void* user)
{
    return visit_values(set, kShape32, direction, visit, user);
}

int idset32_set(IdSet set, int32_t n, uint32_t value)
{
    if (!set || n <= 0 || n > kIdSet32MaxCount)
        return 0;
    int32_t count = idset32_count(set);
    if (n > count) {
        if (!set_fit(set, kShape32, count, n))
            return 0;
        // Bytes past the count may hold removed values: the new ones start at 0.
        std::memset(value_address(set, kShape32, count + 1), 0, 4 * size_t(n - count));
        store_count(set, n);
    }
    put_value(set, kShape32, n, value);
    return 1;
}

int idset32_attach(IdSet set) { return attach_set(set, kShape32); }

int idset32_load(plat::ByteReader reader, IdSet* out) { return load_set(reader, kShape32, out); }
