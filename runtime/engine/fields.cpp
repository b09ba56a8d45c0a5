#include "runtime/engine/fields.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum class Loaded { missing, damaged, ok };

// Where a field's data lies in the record's bytes.
struct FieldSpot {
    size_t offset = 0;
    uint32_t length = 0;
    bool found = false;
};

} // namespace

void fg_clear_error() { rec_set_error_word(0); }

// The record's bytes; a missing record clears the error word so it never surfaces.
static Loaded load_list(RecordId id, std::vector<uint8_t>& out)
{
    out.clear();
    if (rec_id_number(id) == 0)
        return Loaded::missing;
    MemHandle block = rec_get(id);
    if (!block) {
        fg_clear_error();
        return Loaded::missing;
    }
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
    out.assign(bytes, bytes + size);
    rec_release(id, kReleaseOne);
    return taglist_check(out.data(), out.size()) == 0 ? Loaded::ok : Loaded::damaged;
}

// The walk stays inside the bytes; taglist_check has vouched for the terminator.
static FieldSpot find_spot(const uint8_t* list, size_t bytes, uint16_t tag)
{
    plat::ByteReader r(list, bytes);
    for (;;) {
        uint16_t at = r.u16le();
        if (r.failed() || at == 0)
            return {};
        uint16_t length = r.u16le();
        size_t offset = bytes - r.remaining();
        if (at == tag)
            return { offset, length, !r.failed() && length <= r.remaining() };
        if (!r.skip(size_t(length) + (length & 1)))
            return {};
    }
}

static int write_list(RecordId id, int16_t type, const uint8_t* bytes, size_t size)
{
    MemHandle block = mem_alloc_copy(bytes, size);
    if (!block)
        return kErrOutOfMemory;
    int error = rec_put(id, type, block, uint32_t(size));
    if (error != 0) {
        mem_free(block);
        return error;
    }
    rec_release(id, kReleaseOne);
    return 0;
}

static int16_t stored_type(RecordId id, int16_t fallback)
{
    RecordDirEntry entry;
    return rec_lookup(id, entry, nullptr) ? entry.type : fallback;
}

uint32_t fg_get_block(RecordId id, uint16_t tag, void* buffer, uint32_t size)
{
    if (buffer && size)
        std::memset(buffer, 0, size);
    std::vector<uint8_t> list;
    if (!buffer || load_list(id, list) != Loaded::ok)
        return 0;
    return taglist_get(list.data(), list.size(), tag, buffer, uint16_t(std::min<uint32_t>(size, 0xFFFF)));
}

uint32_t fg_field_size(RecordId id, uint16_t tag)
{
    std::vector<uint8_t> list;
    if (load_list(id, list) != Loaded::ok)
        return 0;
    return taglist_item_length(list.data(), list.size(), tag);
}

uint32_t fg_get_str(RecordId id, uint16_t tag, char* buffer, uint32_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    std::vector<uint8_t> list;
    if (load_list(id, list) != Loaded::ok)
        return 0;
    FieldSpot spot = find_spot(list.data(), list.size(), tag);
    if (!spot.found)
        return 0;
    const char* text = reinterpret_cast<const char*>(list.data() + spot.offset);
    size_t length = strnlen(text, spot.length);
    length = std::min<size_t>(length, size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return uint32_t(length);
}

MemHandle fg_get_hand_g(RecordId id, uint16_t tag)
{
    std::vector<uint8_t> list;
    if (load_list(id, list) != Loaded::ok)
        return {};
    FieldSpot spot = find_spot(list.data(), list.size(), tag);
    if (!spot.found)
        return {};
    return mem_alloc_copy(list.data() + spot.offset, spot.length);
}

// The list with the field put (size 0: deleted) and written back; a list left empty is deleted
// when asked.
static int change_field(RecordId id, int16_t type, uint16_t tag, const void* data, uint32_t size, bool delete_empty)
{
    std::vector<uint8_t> list;
    Loaded loaded = load_list(id, list);
    if (loaded == Loaded::damaged)
        return kErrFileDamaged;
    if (loaded == Loaded::missing) {
        if (size == 0)
            return 0;
        list.assign(taglist_empty_size(), 0);
    } else {
        type = stored_type(id, type);
    }
    TagList handle = mem_alloc_copy(list.data(), list.size());
    if (!handle)
        return kErrOutOfMemory;
    int ok = taglist_put_ex(&handle, tag, data, size, 1);
    int error = ok ? 0 : kErrOutOfMemory;
    if (ok) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(handle));
        size_t used = taglist_size(bytes, mem_size(handle));
        if (delete_empty && used == taglist_empty_size())
            error = rec_delete(id);
        else
            error = write_list(id, type, static_cast<const uint8_t*>(mem_address(handle)), used);
    }
    taglist_free(handle);
    return error;
}

int fg_put_field(RecordId id, int16_t type, uint16_t tag, const void* data, uint32_t size)
{
    if (rec_id_number(id) == 0 || tag == 0)
        return 0;
    if (size > kTagListMaxData)
        return kErrOutOfMemory;
    if (size == 0)
        return fg_delete_field(id, tag);
    return change_field(id, type, tag, data, size, false);
}

int fg_delete_field(RecordId id, uint16_t tag)
{
    if (rec_id_number(id) == 0 || tag == 0)
        return 0;
    return change_field(id, kFieldGroupType, tag, nullptr, 0, true);
}

uint8_t* fg_lock_field(RecordId id, uint16_t tag, uint32_t* size)
{
    if (size)
        *size = 0;
    if (rec_id_number(id) == 0)
        return nullptr;
    MemHandle block = rec_get(id);
    if (!block) {
        fg_clear_error();
        return nullptr;
    }
    auto* bytes = static_cast<uint8_t*>(mem_lock(block));
    size_t length = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    FieldSpot spot;
    if (bytes && taglist_check(bytes, length) == 0)
        spot = find_spot(bytes, length, tag);
    if (!spot.found) {
        mem_unlock(block);
        rec_release(id, kReleaseOne);
        return nullptr;
    }
    if (size)
        *size = spot.length;
    return bytes + spot.offset;
}

void fg_unlock_field(RecordId id, uint16_t, int changed, uint8_t* data)
{
    if (!data)
        return;
    MemHandle block = rec_peek(id);
    if (!block)
        return;
    std::vector<uint8_t> copy;
    if (changed) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
        copy.assign(bytes, bytes + std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block)));
    }
    mem_unlock(block);
    rec_release(id, kReleaseOne);
    if (changed)
        (void)write_list(id, stored_type(id, kFieldGroupType), copy.data(), copy.size());
}

uint16_t fg_for_each_field(RecordId id, FieldVisit visit, void* user, int* error)
{
    if (error)
        *error = 0;
    std::vector<uint8_t> list;
    Loaded loaded = load_list(id, list);
    if (loaded != Loaded::ok) {
        if (error && loaded == Loaded::damaged)
            *error = kErrFileDamaged;
        return 0;
    }
    plat::ByteReader r(list.data(), list.size());
    int changed = 0;
    uint16_t stopped = 0;
    for (;;) {
        uint16_t tag = r.u16le();
        if (r.failed() || tag == 0)
            break;
        uint16_t length = r.u16le();
        size_t offset = list.size() - r.remaining();
        if (!r.skip(size_t(length) + (length & 1)))
            break;
        int one = 0;
        if (!visit(tag, list.data() + offset, length, user, &one)) {
            changed |= one;
            stopped = tag;
            break;
        }
        changed |= one;
    }
    if (changed) {
        int written = write_list(id, stored_type(id, kFieldGroupType), list.data(), list.size());
        if (error && written)
            *error = written;
    }
    return stopped;
}

// --- packed element blocks --------------------------------------------------------------------

namespace {

// A checked view of a packed block's offset table.
struct PackedView {
    uint32_t count = 0;
    uint32_t end = 0; // offsets[count]
    bool valid = false;
};

} // namespace

static PackedView packed_view(const uint8_t* bytes, size_t size)
{
    PackedView view;
    if (!bytes || size < 4)
        return view;
    uint32_t table = plat::load_u32le(bytes);
    if (table < 4 || table % 4 != 0 || table > size)
        return view;
    uint32_t previous = table;
    for (uint32_t at = 0; at < table; at += 4) {
        uint32_t offset = plat::load_u32le(bytes + at);
        if (offset < previous || offset > size)
            return view;
        previous = offset;
    }
    view.count = table / 4 - 1;
    view.end = previous;
    view.valid = true;
    return view;
}

MemHandle var_packed_new(uint32_t count)
{
    if (count > (UINT32_MAX / 4) - 1)
        return {};
    size_t table = 4 * (size_t(count) + 1);
    std::vector<uint8_t> bytes(table);
    for (uint32_t i = 0; i <= count; ++i)
        plat::store_u32le(bytes.data() + 4 * i, uint32_t(table));
    return mem_alloc_copy(bytes.data(), bytes.size());
}

uint32_t var_packed_count(MemHandle block)
{
    return packed_view(static_cast<const uint8_t*>(mem_address(block)), mem_size(block)).count;
}

MemHandle var_packed_put(MemHandle block, uint32_t index, const void* data, uint32_t size)
{
    if (!data)
        size = 0;
    size_t block_size = mem_size(block);
    const auto* old_bytes = static_cast<const uint8_t*>(mem_address(block));
    PackedView view = packed_view(old_bytes, block_size);
    if (!view.valid || index >= view.count || size > UINT32_MAX - 1)
        return {};
    uint32_t start = plat::load_u32le(old_bytes + 4 * index);
    uint32_t next = plat::load_u32le(old_bytes + 4 * (index + 1));
    uint32_t padded = size + (size & 1);
    int64_t difference = int64_t(padded) - int64_t(next - start);
    int64_t new_end = int64_t(view.end) + difference;
    // Work on a copy, so that a failure leaves the caller's block as it was.
    std::vector<uint8_t> bytes(old_bytes, old_bytes + block_size);
    std::vector<uint8_t> out(size_t(std::max<int64_t>(new_end, int64_t(block_size))));
    std::memcpy(out.data(), bytes.data(), start);
    std::memcpy(out.data() + start, data ? data : "", size);
    if (padded != size)
        out[start + size] = 0;
    std::memcpy(out.data() + start + padded, bytes.data() + next, view.end - next);
    for (uint32_t i = index + 1; i <= view.count; ++i)
        plat::store_u32le(out.data() + 4 * i, uint32_t(int64_t(plat::load_u32le(bytes.data() + 4 * i)) + difference));
    if (out.size() > block_size) {
        MemHandle grown = mem_alloc_copy(out.data(), out.size());
        if (!grown)
            return {};
        mem_free(block);
        return grown;
    }
    std::memcpy(mem_address(block), out.data(), out.size());
    return block;
}

MemHandle var_packed_get(MemHandle block, uint32_t index)
{
    const auto* bytes = static_cast<const uint8_t*>(mem_address(block));
    PackedView view = packed_view(bytes, mem_size(block));
    if (!view.valid || index >= view.count)
        return {};
    uint32_t start = plat::load_u32le(bytes + 4 * index);
    uint32_t next = plat::load_u32le(bytes + 4 * (index + 1));
    if (next == start)
        return {};
    return mem_alloc_copy(bytes + start, next - start);
}

// --- the learner's records --------------------------------------------------------------------

static constexpr uint32_t kLearnerSlot = 23;

uint32_t urec_get_field(uint16_t number, uint16_t tag, void* buffer, uint32_t size)
{
    return fg_get_block(rec_make_id(kLearnerSlot, number), tag, buffer, size);
}

int urec_put_field(uint16_t number, uint16_t tag, const void* data, uint32_t size)
{
    return fg_put_field(rec_make_id(kLearnerSlot, number), kFieldGroupType, tag, data, size);
}

uint8_t* urec_lock_field(uint16_t number, uint16_t tag, uint32_t* size)
{
    return fg_lock_field(rec_make_id(kLearnerSlot, number), tag, size);
}

uint16_t urec_for_each_field(uint16_t number, FieldVisit visit, void* user, int* error)
{
    return fg_for_each_field(rec_make_id(kLearnerSlot, number), visit, user, error);
}
