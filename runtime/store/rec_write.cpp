#include "runtime/store/rec_write.h"

#include "runtime/base/errcode.h"
#include "runtime/store/rec_cache.h"
#include "runtime/store/rec_space.h"
#include "runtime/store/rec_zip.h"
#include "runtime/store/swap_record.h"

#include <algorithm>

constexpr int kErrAccessDenied = 5; // what the file layer answers for a write to a read-only file
constexpr uint32_t kMaxRecordNumber = 65535;

static int fail(int error)
{
    rec_set_error_word(error);
    return error;
}

static int check_writable(const RecSlot& s)
{
    if (rec_is_packaged(s.state))
        return kErrPackagedFile;
    return (s.state.flags & kRecFileReadOnly) ? kErrAccessDenied : kErrOk;
}

// --- placement ------------------------------------------------------------------------------

// The cache flags a placement leaves on the record.
static uint8_t placed_flags(const RecSlot& s, RecPlaceMode mode, bool write_now)
{
    if (mode == kPlaceReserve)
        return kCacheReserved;
    if (write_now || (s.state.flags2 & 1))
        return 0;
    return kCacheWrite;
}

// Where placed bytes go, and what to undo when writing them fails.
struct Place {
    int64_t offset = 0;
    bool from_hole = false;
    bool extended = false;
};

// The old place when the record may reuse it and keeps its size, else the best-fitting hole,
// else the end of the data area (grown for it).
static int choose_place(
    RecordFileState& state, uint32_t length, bool reuse, const RecordDirEntry& entry, Place& out)
{
    if (length == 0) {
        // An empty record takes no space; at the end of the data area it would be left
        // outside the file once a hole before it is cut off.
        out.offset = state.data_start + int64_t(kRecordHeaderSize);
        return kErrOk;
    }
    if (reuse && length == entry.stored_size) {
        out.offset = entry.offset;
        return kErrOk;
    }
    out.offset = rec_take_hole(state, length);
    out.from_hole = out.offset != 0;
    if (out.from_hole)
        return kErrOk;
    out.offset = state.allocated_end;
    int result = rec_extend(state, length);
    out.extended = result == kErrOk;
    return result;
}

static void undo_place(RecordFileState& state, const Place& place, uint32_t length)
{
    if (place.from_hole)
        rec_free_space(state, place.offset, length);
    else if (place.extended)
        rec_extend(state, -int64_t(length));
}

// A record's cache flags before a placement, to put back when it fails.
struct CacheFlags {
    uint8_t flags = 0;
    bool made = false; // the entry was made for the placement
};

// Sets the flags on the record's entry, making one without block when it is not loaded.
static int set_cache_flags(RecordId id, uint8_t flags, CacheFlags* before)
{
    uint32_t index = rec_cache_find(id);
    if (index == 0 && flags == 0)
        return kErrOk;
    if (index == 0) {
        int result = rec_cache_add(id, &index);
        if (result != kErrOk)
            return result;
        before->made = true;
    }
    RecCacheEntry* e = rec_cache_at(index);
    before->flags = e->flags;
    e->flags = uint8_t((e->flags & kCacheOnLru) | flags);
    return kErrOk;
}

static void restore_cache_flags(RecordId id, const CacheFlags& before)
{
    uint32_t index = rec_cache_find(id);
    if (before.made)
        rec_cache_detach(index);
    else if (RecCacheEntry* e = rec_cache_at(index))
        e->flags = before.flags;
}

int rec_place_record(
    RecSlot& s, const uint8_t* bytes, uint32_t length, RecPlaceMode mode, RecordDirEntry& entry)
{
    RecordFileState& state = s.state;
    bool reuse
        = ((entry.bits & kEntryNewSpace) || (state.flags & kRecFileOwnsSpace)) && entry.offset != 0;
    bool write_now = state.file
        && (mode == kPlaceWriteNow
            || (mode == kPlaceWrite && (state.flags & kRecFileWriteThrough)));
    RecordId id = rec_make_id(uint32_t(state.slot), entry.number);
    CacheFlags before;
    int result = set_cache_flags(id, placed_flags(s, mode, write_now), &before);
    if (result != kErrOk)
        return result;
    Place place;
    result = choose_place(state, length, reuse, entry, place);
    if (result == kErrOk && write_now && length > 0)
        result = rec_write_at(state, place.offset, bytes, length);
    if (result != kErrOk) {
        undo_place(state, place, length);
        restore_cache_flags(id, before);
        return result;
    }
    if (reuse && place.offset != int64_t(entry.offset))
        rec_free_space(state, entry.offset, entry.stored_size);
    entry.offset = uint32_t(place.offset);
    entry.stored_size = length;
    entry.bits |= kEntryNewSpace;
    return kErrOk;
}

// --- writing --------------------------------------------------------------------------------

// The directory entry to write the record under: found, or new (stored at once).
static int entry_for(
    RecordFileState& state, const RecordRef& ref, RecordDirEntry& entry, bool* fresh)
{
    uint32_t number = rec_id_number(ref.id);
    *fresh = !rec_dir_lookup(state, number, entry, nullptr);
    if (*fresh) {
        entry = RecordDirEntry {};
        entry.number = number;
        entry.type = ref.type;
        entry.format_version = swap_type_version(ref.type);
        return rec_dir_store(state, entry);
    }
    if (entry.type == kRecTypeUntyped && ref.type != kRecTypeUntyped) {
        entry.type = ref.type;
        entry.format_version = swap_type_version(ref.type);
    }
    return kErrOk;
}

int rec_write_record(
    RecSlot& s, const RecordRef& ref, MemHandle block, uint32_t size, RecPlaceMode mode)
{
    RecordFileState& state = s.state;
    RecordDirEntry entry;
    bool fresh = false;
    int result = entry_for(state, ref, entry, &fresh);
    if (result != kErrOk)
        return result;
    RecordDescriptor record = rec_descriptor_of(entry, uint32_t(state.slot));
    record.scheme = rec_default_scheme(ref.id, entry.type);
    record.unpacked_size = record.stored_size = size;
    record.byte_order = kOrderNative;
    record.data = block;
    bool with_data = mode != kPlaceReserve && block && size > 0;
    if (with_data)
        result = rec_compress_for_write(record);
    else if (mode != kPlaceReserve)
        record.scheme = kSchemeRaw;
    if (result == kErrOk) {
        const uint8_t* bytes
            = with_data ? static_cast<const uint8_t*>(mem_lock(record.data)) : nullptr;
        result = rec_place_record(s, bytes, record.stored_size, mode, entry);
        if (with_data)
            mem_unlock(record.data);
    }
    if (record.data != block)
        mem_free(record.data); // the packed copy
    if (result == kErrOk) {
        entry.scheme = record.scheme;
        if (with_data)
            entry.byte_order = kOrderNative;
        entry.unpacked_size = size;
        result = rec_dir_store(state, entry);
    }
    if (result != kErrOk && fresh)
        rec_dir_remove(state, entry.number);
    return result;
}

// A failed put leaves the record as it was: a new entry goes, a cached one gets its block,
// its uses and its place on the LRU back.
static void undo_put(uint32_t index, bool fresh, const RecCacheEntry& before)
{
    RecCacheEntry* e = rec_cache_at(index);
    if (fresh) {
        rec_cache_detach(index);
        return;
    }
    e->block = before.block;
    e->uses = before.uses;
    if ((before.flags & kCacheOnLru) && before.block) {
        mem_set_purgeable(before.block, 1);
        rec_lru_add(index);
    }
}

int rec_ref_put(const RecordRef& ref, MemHandle block, uint32_t size)
{
    rec_set_error_word(0);
    if (!block)
        return rec_ref_delete(ref);
    RecSlot* s = rec_slot(int(rec_id_slot(ref.id)));
    if (!ref.valid || mem_is_purged(block) || !s || rec_id_number(ref.id) == 0)
        return kErrOk;
    int result = check_writable(*s);
    if (result == kErrOk && size > mem_size(block))
        result = kErrBadValue;
    uint32_t index = rec_cache_find(ref.id);
    bool fresh = index == 0;
    if (result == kErrOk && fresh)
        result = rec_cache_add(ref.id, &index);
    if (result != kErrOk)
        return fail(result);
    RecCacheEntry* e = rec_cache_at(index);
    rec_lru_remove(index);
    const RecCacheEntry before = *e;
    e->block = block;
    e->uses = std::max<uint32_t>(e->uses, 1);
    mem_set_purgeable(block, 0);
    result = rec_write_record(*s, ref, block, size, kPlaceWrite);
    if (result != kErrOk) {
        undo_put(index, fresh, before);
        return fail(result);
    }
    if (before.block && before.block != block)
        mem_free(before.block);
    rec_cache_set_size(index, size);
    s->state.flags |= kRecFileDirty;
    return kErrOk;
}

int rec_put(RecordId id, int type, MemHandle block, uint32_t size)
{
    RecordRef ref;
    rec_ref_init(ref, id, type);
    return rec_ref_put(ref, block, size);
}

int rec_ref_reserve(const RecordRef& ref, uint32_t size)
{
    rec_set_error_word(0);
    RecSlot* s = rec_slot(int(rec_id_slot(ref.id)));
    if (!ref.valid || !s || rec_id_number(ref.id) == 0) {
        fail(kErrBadValue);
        return 0;
    }
    int result = check_writable(*s);
    if (result == kErrOk)
        result = rec_write_record(*s, ref, MemHandle {}, size, kPlaceReserve);
    if (result != kErrOk) {
        fail(result);
        return 0;
    }
    s->state.flags |= kRecFileDirty;
    return 1;
}

// --- deleting and numbering -----------------------------------------------------------------

int rec_ref_delete(const RecordRef& ref)
{
    rec_set_error_word(0);
    RecSlot* s = rec_slot(int(rec_id_slot(ref.id)));
    RecordDirEntry entry;
    if (!ref.valid || !s || !rec_dir_lookup(s->state, rec_id_number(ref.id), entry, nullptr))
        return kErrOk;
    int result = check_writable(*s);
    if (result != kErrOk)
        return fail(result);
    if (uint32_t index = rec_cache_find(ref.id))
        rec_cache_remove(index);
    RecordFileState& state = s->state;
    if ((entry.bits & kEntryNewSpace) || (state.flags & kRecFileOwnsSpace))
        rec_free_space(state, entry.offset, entry.stored_size);
    rec_dir_remove(state, entry.number);
    state.flags |= kRecFileDirty;
    return kErrOk;
}

int rec_delete(RecordId id)
{
    RecordRef ref;
    rec_ref_init(ref, id, kRecTypeUntyped);
    return rec_ref_delete(ref);
}

// The first number from `from` up that the directory does not hold, 0 when none is left.
static uint32_t first_free_number(RecordFileState& state, uint32_t from)
{
    int32_t index = rec_dir_find(state, from);
    if (index < 0)
        return from;
    uint32_t number = from;
    RecordDirEntry entry;
    while (rec_dir_entry_at(state, index, entry) && entry.number == number) {
        if (number == kMaxRecordNumber)
            return 0;
        number++;
        index++;
    }
    return number;
}

uint32_t rec_ref_new_empty(const RecordRef& ref)
{
    rec_set_error_word(0);
    RecSlot* s = rec_slot(int(rec_id_slot(ref.id)));
    if (!s)
        return 0;
    if (rec_is_packaged(s->state)) {
        fail(kErrPackagedFile);
        return 0;
    }
    uint32_t number = first_free_number(s->state, std::max<uint32_t>(rec_id_number(ref.id), 1));
    if (number == 0) {
        fail(kErrTooManyRecords);
        return 0;
    }
    MemHandle block = mem_alloc(0, kMemMovable);
    if (!block) {
        fail(kErrOutOfMemory);
        return 0;
    }
    RecordRef made;
    rec_ref_init(made, rec_make_id(rec_id_slot(ref.id), number), ref.type);
    if (rec_ref_put(made, block, 0) != kErrOk) {
        mem_free(block);
        return 0;
    }
    rec_ref_release(made, kReleaseOne);
    return number;
}

int rec_ref_init_new(RecordRef& ref, int slot, int type)
{
    RecordRef probe;
    rec_ref_init(probe, rec_make_id(uint32_t(slot), 2), type);
    uint32_t number = rec_ref_new_empty(probe);
    if (number == 0)
        return rec_error_word() != kErrOk ? rec_error_word() : fail(kErrTooManyRecords);
    rec_ref_init(ref, rec_make_id(uint32_t(slot), number), type);
    return kErrOk;
}
