#include "runtime/store/rec_store.h"

#include "platform/kernel/file_save.h"
#include "runtime/base/errcode.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_cache.h"

#include <algorithm>
#include <string>
#include <strings.h>
#include <vector>

constexpr uint32_t kCacheEmpty = 0xFFFFFFFFu;

static struct {
    RecSlot slots[kRecSlotCount + 1]; // slot 0 names no file
    int error = 0;
    RecOtherCaches others {};
} s_store;

static int set_error(int error)
{
    s_store.error = error;
    return error;
}

int rec_error_word() { return s_store.error; }

void rec_set_error_word(int error) { s_store.error = error; }

void rec_set_other_caches(const RecOtherCaches* caches)
{
    s_store.others = caches ? *caches : RecOtherCaches {};
}

const RecOtherCaches& rec_other_caches() { return s_store.others; }

int rec_init() { return rec_cache_init(); }

RecSlot* rec_slot(int slot)
{
    if (slot < 1 || slot > kRecSlotCount)
        return nullptr;
    RecSlot& s = s_store.slots[slot];
    return (s.state.flags & kRecFileOpen) ? &s : nullptr;
}

static RecSlot* slot_of(RecordId id) { return rec_slot(int(rec_id_slot(id))); }

// --- opening and closing --------------------------------------------------------------------

static bool names_a_program(const FileSpec* spec)
{
    char extension[8] = "";
    return fspec_get_extension(spec, extension, sizeof extension) == 0
        && strcasecmp(extension, "exe") == 0;
}

// Opens the spec's file; a writable open makes it only when it is missing, so that an open
// refused for access or sharing never truncates someone's file.
static FileHandle open_or_create(FileSpec* spec, uint32_t open_flags, bool* created, int* error)
{
    bool writable = (open_flags & kRecOpenWritable) != 0;
    // An in-place save that a cut left unfinished gets its old bytes back before anything
    // reads the file.
    std::string path;
    if (!fspec_is_memory(spec) && file_spec_path(spec, path) == 0 && !plat::save_recover(path)) {
        uint32_t code = file_take_last_error();
        *error = code != 0 ? int(code) : kErrWriteFault;
        return FileHandle {};
    }
    int mode = names_a_program(spec) ? kFileModeReadOnly
        : writable                   ? kFileModeReadWrite
                                     : kFileModeRead;
    FileHandle file = file_open(spec, mode);
    if (file)
        return file;
    uint32_t code = file_take_last_error();
    if (writable && (code == 2 || code == 3)) {
        code = file_create_new(spec);
        if (code == 0) {
            *created = true;
            file = file_open(spec, mode);
            code = file ? 0 : file_take_last_error();
        }
    }
    *error = code != 0 ? int(code) : 2;
    return file;
}

int rec_open_file(FileSpec* spec, int slot, uint32_t open_flags, RecHeaderCallback callback,
    uint32_t expected_magic, RecEmpty empty)
{
    s_store.error = 0;
    FileHandle file;
    bool created = false;
    if (spec) {
        int error = 0;
        file = open_or_create(spec, open_flags, &created, &error);
        if (!file)
            return set_error(error);
    }
    int result = rec_file_setup(spec, file, slot, open_flags, callback, expected_magic, empty);
    if (result == kErrOk)
        return kErrOk;
    if (file)
        file_close(file.handle, file.kind);
    if (created)
        file_delete(spec);
    return set_error(result);
}

int rec_file_setup(const FileSpec* spec, FileHandle file, int slot, uint32_t open_flags,
    RecHeaderCallback callback, uint32_t expected_magic, RecEmpty empty)
{
    s_store.error = 0;
    if (slot < 1 || slot > kRecSlotCount)
        return set_error(kErrOutOfMemory);
    if (rec_slot(slot))
        rec_close_file(slot);
    RecSlot& s = s_store.slots[slot];
    s = RecSlot {};
    int result
        = rec_file_attach(s.state, spec, file, open_flags, expected_magic, callback, int(empty));
    // Only a disk file is replaced by a copy when flushed; that needs to know where it lives.
    if (result == kErrOk && spec && !fspec_is_memory(spec)) {
        s.spec = fspec_clone(spec);
        if (!s.spec)
            result = kErrOutOfMemory;
    }
    if (result != kErrOk) {
        rec_file_detach(s.state);
        s = RecSlot {};
        return set_error(result);
    }
    s.state.slot = int16_t(slot);
    s.open_flags = open_flags;
    return kErrOk;
}

// What closing does to the file itself: a writable file loses what was added since the open
// or the last flush, which no header names, and keeps its time when it was never written.
static int close_slot_file(RecSlot& s)
{
    RecordFileState& state = s.state;
    int result = kErrOk;
    if (state.file && !(state.flags & kRecFileReadOnly)) {
        if (file_set_length(state.file.handle, state.file.kind, state.end_at_open) < 0) {
            uint32_t error = file_take_last_error();
            result = error != 0 ? int(error) : kErrWriteFault;
        }
        if (!(state.flags & kRecFileFlushed) && state.file_time != 0)
            file_set_time(state.file.handle, state.file.kind, state.file_time);
    }
    if (state.file)
        file_close(state.file.handle, state.file.kind);
    if (s.original)
        file_close(s.original.handle, s.original.kind);
    rec_file_detach(state);
    fspec_free(s.spec);
    s = RecSlot {};
    return result;
}

int rec_close_file(int slot)
{
    s_store.error = 0;
    RecSlot* s = rec_slot(slot);
    if (!s)
        return kErrOk;
    std::vector<uint32_t> entries;
    rec_cache_entries_of(uint32_t(slot), entries);
    for (uint32_t index : entries)
        rec_cache_remove(index);
    return set_error(close_slot_file(*s));
}

void rec_close_all()
{
    for (int slot = 1; slot <= kRecSlotCount; slot++)
        if (RecSlot* s = rec_slot(slot))
            close_slot_file(*s);
    rec_cache_term();
}

void rec_reset()
{
    rec_close_all();
    s_store.error = 0;
    s_store.others = RecOtherCaches {};
}

// --- slot queries ---------------------------------------------------------------------------

FileHandle rec_file_handle(int slot)
{
    RecSlot* s = rec_slot(slot);
    return s ? s->state.file : FileHandle {};
}

int64_t rec_file_end(int slot)
{
    RecSlot* s = rec_slot(slot);
    return s ? int64_t(s->state.header.end_of_data) : -1;
}

int64_t rec_file_free_space(int slot)
{
    RecSlot* s = rec_slot(slot);
    if (!s || !s->state.file)
        return -1;
    return file_free_space_of_handle(s->state.file.handle, s->state.file.kind);
}

int32_t rec_file_record_count(int slot)
{
    RecSlot* s = rec_slot(slot);
    return s ? s->state.header.entry_count : 0;
}

int rec_file_matches(const FileSpec* slot_spec, int slot, const FileSpec* spec)
{
    RecSlot* s = rec_slot(slot);
    if (!s || !s->state.file || !slot_spec || !fspec_equal(slot_spec, spec))
        return 2;
    return (s->state.flags & kRecFileReadOnly) ? 0 : 1;
}

// --- loading --------------------------------------------------------------------------------

void rec_ref_init(RecordRef& ref, RecordId id, int type)
{
    ref.valid = 1;
    ref.type = int16_t(type);
    ref.id = id;
}

static RecordRef ref_of(RecordId id)
{
    RecordRef ref;
    rec_ref_init(ref, id, kRecTypeUntyped);
    return ref;
}

int rec_lookup(RecordId id, RecordDirEntry& out, uint32_t* stored_size)
{
    RecSlot* s = slot_of(id);
    return s ? rec_dir_lookup(s->state, rec_id_number(id), out, stored_size) : 0;
}

// The budget is shared with the other caches; the loaded records give way first. A figure of
// 0 means it has not been taken yet (early start-up, tests): nothing is purged for it then.
static void keep_within_budget(int64_t wanted)
{
    int64_t budget = mem_budget();
    if (budget <= 0)
        return;
    const RecOtherCaches& others = s_store.others;
    int64_t other_bytes = (others.asset_total_bytes ? others.asset_total_bytes() : 0)
        + (others.bitmap_total_bytes ? others.bitmap_total_bytes() : 0);
    int64_t excess = other_bytes + rec_loaded_bytes() + wanted - budget;
    if (excess <= 0)
        return;
    int64_t freed = 0;
    // A budget of 0 would mean "no budget": an excess of 1 byte must not empty the LRU.
    rec_purge_ex(0, 0, kPurgeAny, std::max<int64_t>(excess / 2, 1), &freed);
    excess -= freed;
    if (excess <= 0)
        return;
    uint32_t asset_tick = others.asset_oldest_tick ? others.asset_oldest_tick() : kCacheEmpty;
    uint32_t bitmap_size = others.bitmap_lru_size ? others.bitmap_lru_size() : kCacheEmpty;
    if (asset_tick < bitmap_size) {
        if (others.asset_purge)
            others.asset_purge(excess);
    } else if (others.bitmap_purge) {
        others.bitmap_purge(excess);
    }
}

// A cached entry answers a load (true, *out the block or null), or is dropped because its
// block was discarded (false: load it again).
static bool use_cached(uint32_t index, MemHandle* out)
{
    RecCacheEntry* e = rec_cache_at(index);
    rec_lru_remove(index);
    *out = MemHandle {};
    if (e->block && !mem_is_purged(e->block)) {
        if (e->uses == UINT32_MAX) {
            set_error(kErrOutOfMemory);
            return true;
        }
        if (e->uses == 0 && !(e->flags & kCacheWrite))
            mem_set_purgeable(e->block, 0);
        e->uses++;
        *out = e->block;
        return true;
    }
    if (!e->block && (e->flags & kCacheReserved))
        return true; // reserved space holds no record yet
    if (e->uses > 0 || (e->flags & (kCacheWrite | kCacheReserved))) {
        set_error(kErrOutOfMemory);
        return true;
    }
    rec_cache_remove(index);
    return false;
}

static MemHandle load_record(RecSlot& s, RecordId id, const RecordDirEntry& entry)
{
    keep_within_budget(entry.unpacked_size);
    RecordDescriptor loaded;
    int result;
    while ((result = rec_load_record(s.state, entry, loaded)) == kErrOutOfMemory
        && rec_purge(1, 0, kPurgeAny, 0) > 0) { }
    if (result != kErrOk) {
        set_error(result);
        return MemHandle {};
    }
    uint32_t index = 0;
    result = rec_cache_add(id, &index);
    if (result != kErrOk) {
        mem_free(loaded.data);
        set_error(result);
        return MemHandle {};
    }
    RecCacheEntry* e = rec_cache_at(index);
    e->block = loaded.data;
    e->uses = 1;
    rec_cache_set_size(index, entry.unpacked_size);
    return loaded.data;
}

MemHandle rec_ref_load(const RecordRef& ref)
{
    s_store.error = 0;
    RecSlot* s = slot_of(ref.id);
    RecordDirEntry entry;
    if (!ref.valid || !s || !rec_dir_lookup(s->state, rec_id_number(ref.id), entry, nullptr))
        return MemHandle {};
    if (uint32_t index = rec_cache_find(ref.id)) {
        MemHandle block;
        if (use_cached(index, &block))
            return block;
    }
    return load_record(*s, ref.id, entry);
}

MemHandle rec_get(RecordId id) { return rec_ref_load(ref_of(id)); }

MemHandle rec_ref_take(const RecordRef& ref)
{
    MemHandle block = rec_ref_load(ref);
    if (!block)
        return block;
    uint32_t index = rec_cache_find(ref.id);
    RecCacheEntry* e = rec_cache_at(index);
    if (e->uses == 1 && !(e->flags & (kCacheWrite | kCacheReserved))) {
        rec_cache_detach(index);
        return block;
    }
    MemHandle copy = mem_duplicate(block);
    rec_ref_release(ref, kReleaseOne);
    if (!copy)
        set_error(kErrOutOfMemory);
    return copy;
}

MemHandle rec_take(RecordId id) { return rec_ref_take(ref_of(id)); }

void rec_ref_release(const RecordRef& ref, RecRelease release)
{
    if (rec_id_slot(ref.id) == 0)
        return;
    uint32_t index = rec_cache_find(ref.id);
    RecCacheEntry* e = rec_cache_at(index);
    if (!e || e->uses == 0)
        return;
    e->uses = release == kReleaseAll ? 0 : e->uses - 1;
    if (e->uses != 0 || (e->flags & kCacheWrite) || !e->block)
        return;
    mem_set_purgeable(e->block, 1);
    if (!(e->flags & kCacheReserved))
        rec_lru_add(index);
}

void rec_release(RecordId id, RecRelease release) { rec_ref_release(ref_of(id), release); }

uint32_t rec_ref_size(const RecordRef& ref, RecSizeKind kind)
{
    RecordDirEntry entry;
    if (!rec_lookup(ref.id, entry, nullptr))
        return 0;
    return kind == kSizeUnpacked ? entry.unpacked_size : entry.stored_size;
}

uint32_t rec_size(RecordId id, RecSizeKind kind) { return rec_ref_size(ref_of(id), kind); }

MemHandle rec_peek(RecordId id)
{
    RecCacheEntry* e = rec_cache_at(rec_cache_find(id));
    return e && e->uses > 0 ? e->block : MemHandle {};
}

int rec_replace_handle(RecordId id, MemHandle block)
{
    uint32_t index = rec_cache_find(id);
    RecCacheEntry* e = rec_cache_at(index);
    if (!e || e->uses != 1 || !block)
        return 0;
    e->block = block;
    rec_cache_set_size(index, int64_t(mem_size(block)));
    return 1;
}

int rec_is_available(RecordId id)
{
    RecSlot* s = slot_of(id);
    if (!s)
        return 0;
    RecordDirEntry entry;
    if (!s->state.file || !rec_dir_lookup(s->state, rec_id_number(id), entry, nullptr))
        return 1;
    const FileHandle& file = s->state.file;
    return file_range_ready(file.handle, file.kind, entry.offset, entry.stored_size);
}

int rec_request(RecordId id)
{
    RecSlot* s = slot_of(id);
    RecordDirEntry entry;
    if (s && s->state.file && rec_dir_lookup(s->state, rec_id_number(id), entry, nullptr))
        file_request_range(
            s->state.file.handle, s->state.file.kind, entry.offset, entry.stored_size);
    return 1;
}

int rec_ref_discard(const RecordRef& ref)
{
    uint32_t index = rec_cache_find(ref.id);
    RecCacheEntry* e = rec_cache_at(index);
    if (!e || !(e->flags & kCacheOnLru))
        return 0;
    rec_cache_remove(index);
    return 1;
}

int rec_discard(RecordId id) { return rec_ref_discard(ref_of(id)); }
