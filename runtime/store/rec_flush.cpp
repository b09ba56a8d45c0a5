#include "runtime/store/rec_flush.h"

#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/file_save.h"
#include "runtime/base/errcode.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_cache.h"
#include "runtime/store/rec_space.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"
#include "runtime/store/rec_zip.h"

#include <algorithm>
#include <string>
#include <vector>

constexpr size_t kCopyBufferMax = 0x40000;
constexpr size_t kCopyBufferMin = 512;
// Offsets and sizes of a record file are 32-bit signed numbers.
constexpr int64_t kMaxFileEnd = INT32_MAX;

static int fail(int error)
{
    rec_set_error_word(error);
    return error;
}

static int last_file_error(int otherwise)
{
    uint32_t error = file_take_last_error();
    return error != 0 ? int(error) : otherwise;
}

// Pushes the file's buffers to the disk; a sync that fails is a write that failed.
static int sync_file(FileHandle file)
{
    file_take_last_error();
    file_flush(file.handle, file.kind);
    return int(file_take_last_error());
}

// --- packing a loaded record ----------------------------------------------------------------

// The record's block packed as a put packs it: record.data is the block or a new packed block
// (the caller frees it when it differs). The block's size bounds the record: a block shrunk
// after the put is not read past its end.
static int pack_block(
    const RecSlot& s, const RecordDirEntry& entry, MemHandle block, RecordDescriptor& record)
{
    record = rec_descriptor_of(entry, uint32_t(s.state.slot));
    record.unpacked_size = uint32_t(std::min<size_t>(entry.unpacked_size, mem_size(block)));
    record.stored_size = record.unpacked_size;
    record.scheme
        = rec_default_scheme(rec_make_id(uint32_t(s.state.slot), entry.number), entry.type);
    record.byte_order = kOrderNative;
    record.data = block;
    if (record.unpacked_size == 0) {
        record.scheme = kSchemeRaw;
        return kErrOk;
    }
    return rec_compress_for_write(record);
}

static void take_packed_sizes(RecordDirEntry& entry, const RecordDescriptor& record)
{
    entry.scheme = record.scheme;
    entry.stored_size = record.stored_size;
    entry.unpacked_size = record.unpacked_size;
    entry.byte_order = kOrderNative;
}

// --- writing a copy -------------------------------------------------------------------------

enum CopySource {
    kMarkedFromMemory, // records waiting for a flush come from memory, the rest from the file
    kLoadedFromMemory, // every loaded record comes from memory
};

struct Copy {
    FileHandle out;
    int64_t position = 0;
    uint8_t* buffer = nullptr;
    size_t room = 0;
};

struct CopyResult {
    RecordFileHeader header;
    MemHandle directory;
    int64_t data_start = 0;
    int64_t end = 0;
};

static int write_at(Copy& copy, int64_t offset, const void* bytes, size_t length)
{
    if (length == 0)
        return kErrOk;
    if (offset > kMaxFileEnd || int64_t(length) > kMaxFileEnd - offset)
        return kErrWriteFault;
    int32_t written
        = file_write(copy.out.handle, copy.out.kind, bytes, int32_t(length), kFileBegin, offset);
    if (written < 0)
        return last_file_error(kErrWriteFault);
    return size_t(written) == length ? kErrOk : kErrWriteFault;
}

static int append(Copy& copy, const void* bytes, size_t length)
{
    int result = write_at(copy, copy.position, bytes, length);
    if (result == kErrOk)
        copy.position += int64_t(length);
    return result;
}

static int append_zeros(Copy& copy, int64_t length)
{
    std::fill(copy.buffer, copy.buffer + copy.room, 0);
    while (length > 0) {
        size_t chunk = size_t(std::min<int64_t>(length, int64_t(copy.room)));
        int result = append(copy, copy.buffer, chunk);
        if (result != kErrOk)
            return result;
        length -= int64_t(chunk);
    }
    return kErrOk;
}

// Copies length bytes of the old file, from offset, to the end of the copy.
static int append_range(RecordFileState& from, int64_t offset, int64_t length, Copy& copy)
{
    while (length > 0) {
        uint32_t chunk = uint32_t(std::min<int64_t>(length, int64_t(copy.room)));
        int result = rec_read_at(from, offset, copy.buffer, chunk);
        if (result == kErrOk)
            result = append(copy, copy.buffer, chunk);
        if (result != kErrOk)
            return result;
        offset += chunk;
        length -= chunk;
    }
    return kErrOk;
}

// What comes before the data: the program the old file follows, the kind header written by the
// slot's callback (a callback that writes nothing, asked for any kind, leaves the old file's
// header to be copied) and its reserved bytes.
static int write_front(RecSlot& s, uint32_t kind, Copy& copy, CopyResult& result)
{
    RecordFileState& state = s.state;
    int64_t base = state.data_start - kKindHeaderArea;
    int error = base > 0 ? append_range(state, 0, base, copy) : kErrOk;
    int64_t data_start = base + kKindHeaderArea;
    int32_t version = 0;
    if (error == kErrOk && state.header_callback)
        error = state.header_callback(kHeaderAppend, copy.out, &data_start, kind, &version);
    if (error != kErrOk)
        return error;
    copy.position = file_length(copy.out.handle, copy.out.kind);
    if (copy.position < 0)
        return last_file_error(kErrWriteFault);
    if (copy.position == base)
        error = append_range(state, base, int64_t(kKindHeaderSize), copy);
    if (error == kErrOk && (data_start < copy.position || data_start > kMaxFileEnd))
        error = kErrFileDamaged;
    if (error == kErrOk)
        error = append_zeros(copy, data_start - copy.position);
    result.data_start = data_start;
    // Room for the header, which is written last.
    return error == kErrOk ? append_zeros(copy, int64_t(kRecordHeaderSize)) : error;
}

// The loaded block a record of the copy comes from, or null for its stored bytes.
static MemHandle source_block(RecordId id, CopySource source)
{
    const RecCacheEntry* e = rec_cache_at(rec_cache_find(id));
    if (!e || !e->block || mem_is_purged(e->block))
        return MemHandle {};
    if (source == kMarkedFromMemory && !(e->flags & kCacheWrite))
        return MemHandle {};
    return e->block;
}

static int append_loaded(RecSlot& s, RecordDirEntry& entry, MemHandle block, Copy& copy)
{
    // Locked, a block on the LRU cannot be discarded while packing allocates.
    mem_lock(block);
    RecordDescriptor record;
    int result = pack_block(s, entry, block, record);
    if (result == kErrOk) {
        result = append(copy, mem_lock(record.data), record.stored_size);
        mem_unlock(record.data);
        take_packed_sizes(entry, record);
    }
    if (record.data && record.data != block)
        mem_free(record.data);
    mem_unlock(block);
    return result;
}

static int write_records(RecSlot& s, CopySource source, Copy& copy, uint8_t* directory)
{
    RecordDirEntry entry;
    for (int32_t n = 0; rec_dir_entry_at(s.state, n, entry); n++) {
        int64_t offset = copy.position;
        MemHandle block = source_block(rec_make_id(uint32_t(s.state.slot), entry.number), source);
        int result = block ? append_loaded(s, entry, block, copy)
                           : append_range(s.state, entry.offset, entry.stored_size, copy);
        if (result != kErrOk)
            return result;
        entry.offset = uint32_t(offset);
        entry.bits = 0;
        rec_entry_to_bytes(entry, directory + size_t(n) * kDirEntrySize);
    }
    return kErrOk;
}

static RecordFileHeader copy_header(
    const RecordFileHeader& old, const CopyResult& result, int64_t directory_offset)
{
    RecordFileHeader h = old;
    h.version = kRecordLayoutVersion;
    h.directory_size = int32_t(result.end - directory_offset);
    h.entry_count = old.entry_count;
    h.directory_offset = int32_t(directory_offset);
    h.end_of_data = int32_t(result.end);
    h.data_length = int32_t(directory_offset - result.data_start - int64_t(kRecordHeaderSize));
    h.free_bytes = 0;
    h.used_bytes = h.data_length;
    h.flags &= uint16_t(~kHeaderPackaged);
    h.byte_order = kOrderNative;
    return h;
}

static int write_copy_into(
    RecSlot& s, uint32_t kind, CopySource source, Copy& copy, CopyResult& result)
{
    int error = write_front(s, kind, copy, result);
    size_t directory_size = size_t(s.state.header.entry_count) * kDirEntrySize;
    result.directory = mem_alloc(directory_size, kMemMovableZero);
    if (error == kErrOk && !result.directory)
        error = kErrOutOfMemory;
    if (error == kErrOk)
        error = write_records(s, source, copy, static_cast<uint8_t*>(mem_lock(result.directory)));
    int64_t directory_offset = copy.position;
    if (error == kErrOk)
        error = append(copy, mem_address(result.directory), directory_size);
    if (result.directory)
        mem_unlock(result.directory);
    if (error != kErrOk)
        return error;
    result.end = copy.position;
    result.header = copy_header(s.state.header, result, directory_offset);
    uint8_t bytes[kRecordHeaderSize];
    rec_header_to_bytes(result.header, bytes);
    error = write_at(copy, result.data_start, bytes, sizeof bytes);
    if (error == kErrOk && file_set_length(copy.out.handle, copy.out.kind, result.end) < 0)
        error = last_file_error(kErrWriteFault);
    return error;
}

// Writes the copy and syncs it; on failure nothing is handed back.
static int write_copy(
    RecSlot& s, FileHandle out, uint32_t kind, CopySource source, CopyResult& result)
{
    MemHandle buffer = mem_alloc_best(kCopyBufferMin, kCopyBufferMax);
    if (!buffer)
        return kErrOutOfMemory;
    Copy copy;
    copy.out = out;
    copy.room = mem_size(buffer);
    copy.buffer = static_cast<uint8_t*>(mem_lock(buffer));
    // The copy starts from nothing: the kind header's base is where the file ends.
    int error
        = file_set_length(out.handle, out.kind, 0) < 0 ? last_file_error(kErrWriteFault) : kErrOk;
    if (error == kErrOk)
        error = write_copy_into(s, kind, source, copy, result);
    mem_unlock(buffer);
    mem_free(buffer);
    if (error == kErrOk)
        error = sync_file(out);
    if (error != kErrOk)
        result.directory = mem_free(result.directory);
    return error;
}

// --- after a flush --------------------------------------------------------------------------

// Records that were waiting are written; those nobody uses are freed with nothing to write.
static void forget_written_records(uint32_t slot)
{
    std::vector<uint32_t> entries;
    rec_cache_entries_of(slot, entries);
    for (uint32_t index : entries) {
        RecCacheEntry* e = rec_cache_at(index);
        e->flags &= uint8_t(~kCacheWrite);
        if (e->uses == 0)
            rec_cache_remove(index);
    }
}

// The file is committed: what the directory names is now the old data that nothing may
// overwrite, the committed directory included, which keeps its area until the next flush
// writes one elsewhere.
static void after_flush(RecSlot& s)
{
    RecordFileState& state = s.state;
    state.flags = uint8_t((state.flags & ~kRecFileDirty) | kRecFileFlushed);
    state.end_at_open = state.header.end_of_data;
    rec_build_holes(state, 0, 0);
    if (!rec_is_packaged(state)) {
        RecordDirEntry entry;
        for (int32_t n = 0; rec_dir_entry_at(state, n, entry); n++)
            if (entry.bits != 0) {
                entry.bits = 0;
                rec_entry_to_bytes(entry,
                    static_cast<uint8_t*>(mem_address(state.directory))
                        + size_t(n) * kDirEntrySize);
            }
    }
    state.header.directory_offset = 0;
    forget_written_records(uint32_t(state.slot));
}

static void adopt_copy(RecSlot& s, CopyResult& copy)
{
    RecordFileState& state = s.state;
    mem_free(state.directory);
    state.directory = copy.directory;
    copy.directory = MemHandle {};
    state.directory_capacity = copy.header.directory_size;
    state.header = copy.header;
    state.data_start = copy.data_start;
    state.allocated_end = copy.end;
    state.cache_number = 0;
    state.cache_index = -1;
    after_flush(s);
}

// --- flushing in place ----------------------------------------------------------------------

static int write_kind_header(RecSlot& s)
{
    RecordFileState& state = s.state;
    // An appended file got its kind header when it was opened, at a base the callback could not
    // find again.
    if ((s.open_flags & kRecOpenAppend) || !state.header_callback)
        return kErrOk;
    int64_t data_start = 0;
    int32_t version = 0;
    return state.header_callback(
        kHeaderWrite, state.file, &data_start, state.expected_magic, &version);
}

// Packs a marked record again and writes it, at its place when the packed size is the one the
// put placed, else at a new place (a block changed since the put may have grown).
static int write_marked(RecSlot& s, RecordDirEntry& entry, MemHandle block)
{
    RecordDescriptor record;
    int result = pack_block(s, entry, block, record);
    if (result == kErrOk) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(record.data));
        result = record.stored_size == entry.stored_size
            ? rec_write_at(s.state, entry.offset, bytes, record.stored_size)
            : rec_place_record(s, bytes, record.stored_size, kPlaceWriteNow, entry);
        mem_unlock(record.data);
        take_packed_sizes(entry, record);
    }
    if (record.data && record.data != block)
        mem_free(record.data);
    return result == kErrOk ? rec_dir_store(s.state, entry) : result;
}

static int write_marked_records(RecSlot& s)
{
    std::vector<uint32_t> entries;
    rec_cache_entries_of(uint32_t(s.state.slot), entries);
    for (uint32_t index : entries) {
        RecCacheEntry* e = rec_cache_at(index);
        RecordDirEntry entry;
        if (!(e->flags & kCacheWrite) || !e->block
            || !rec_dir_lookup(s.state, rec_id_number(e->id), entry, nullptr))
            continue;
        int result = write_marked(s, entry, e->block);
        if (result != kErrOk)
            return result;
        rec_cache_at(index)->flags &= uint8_t(~kCacheWrite);
    }
    return kErrOk;
}

static int write_directory(RecordFileState& state)
{
    RecordFileHeader& h = state.header;
    if (h.directory_size <= 0)
        return kErrOk;
    int result = h.directory_offset != 0 ? rec_write_at(state, h.directory_offset,
                     mem_address(state.directory), uint32_t(h.directory_size))
                                         : rec_write_directory(state, h.directory_size);
    return result == kErrOk ? kErrOk : kErrNoLayout;
}

static int flush_in_place(RecSlot& s, int mode)
{
    RecordFileState& state = s.state;
    int result = write_kind_header(s);
    if (result == kErrOk)
        result = write_marked_records(s);
    if (result == kErrOk)
        result = rec_compact(state, mode);
    if (result == kErrOk)
        result = write_directory(state);
    if (result == kErrOk)
        result = rec_trim_tail(state);
    if (result != kErrOk)
        return result;
    RecordFileHeader& h = state.header;
    h.version = kRecordLayoutVersion;
    h.end_of_data = int32_t(state.allocated_end);
    h.data_length = int32_t(
        state.allocated_end - h.directory_size - state.data_start - int64_t(kRecordHeaderSize));
    h.used_bytes = h.data_length - h.free_bytes;
    result = rec_write_header(state);
    if (result == kErrOk)
        result = sync_file(state.file);
    if (result != kErrOk)
        return result;
    h.flags &= uint16_t(~kHeaderPackaged);
    after_flush(s);
    return kErrOk;
}

// --- flushing through a copy ----------------------------------------------------------------

// The file a disk slot saves: its own, unless it reads a stand-in for it.
static FileHandle saved_file(const RecSlot& s) { return s.original ? s.original : s.state.file; }

// The slot goes on with the file now saved; the handles it had for it are closed.
static void take_saved_file(RecSlot& s, plat::FileSave& save, CopyResult& copy)
{
    RecordFileState& state = s.state;
    FileHandle file = saved_file(s);
    if (save.in_place) {
        plat::close_handle(save.file); // the slot's own handle sees the new bytes
    } else {
        FileHandle renamed = file_adopt_disk(save.file.id, file);
        file_close(file.handle, file.kind);
        file = renamed;
    }
    if (s.original)
        file_close(state.file.handle, state.file.kind);
    state.file = file;
    s.original = FileHandle {};
    adopt_copy(s, copy);
}

// A failed save in place that could not write the old bytes back leaves the file half
// written until its next open or save puts them back; until then the slot reads them from
// their copy, where they keep their offsets.
static void give_up_save(RecSlot& s, plat::FileSave& save)
{
    plat::close_handle(save.file);
    if (plat::save_abandon(save))
        return;
    FileHandle file = saved_file(s);
    FileHandle stand_in = file_adopt_disk(save.old_bytes.id, file);
    if (!stand_in)
        return;
    if (s.original)
        file_close(s.state.file.handle, s.state.file.kind);
    s.original = file;
    s.state.file = stand_in;
}

static int flush_by_copy(RecSlot& s)
{
    RecordFileState& state = s.state;
    plat::FileSave save;
    if (!plat::save_begin(plat::FileHandle(saved_file(s).handle), save))
        return last_file_error(kErrWriteFault);
    FileHandle out { save.file.id, kFileKindDisk };
    // In place the file is the copy's target: the records are read from the old bytes' copy.
    FileHandle reader = state.file;
    if (save.old_bytes)
        state.file = FileHandle { save.old_bytes.id, kFileKindDisk };
    CopyResult copy;
    int result = write_copy(s, out, state.expected_magic, kMarkedFromMemory, copy);
    state.file = reader;
    if (result == kErrOk && !plat::save_commit(save))
        result = last_file_error(kErrWriteFault);
    if (!save.committed) {
        give_up_save(s, save);
        mem_free(copy.directory);
        return result;
    }
    // Committed even when the folder's sync failed: the file on disk is the copy now.
    take_saved_file(s, save, copy);
    return result;
}

int rec_flush(int slot, int mode)
{
    rec_set_error_word(0);
    RecSlot* s = rec_slot(slot);
    if (!s || !s->state.file || (s->state.flags & kRecFileReadOnly)
        || !(s->state.flags & kRecFileDirty))
        return kErrOk;
    int result = s->spec ? flush_by_copy(*s) : flush_in_place(*s, mode);
    return result == kErrOk ? kErrOk : fail(result);
}

// --- saving a copy --------------------------------------------------------------------------

// The slot goes on with the copy; its old file is closed as a close would leave it.
static void switch_to_copy(
    RecSlot& s, FileHandle file, const FileSpec* spec, uint32_t kind, CopyResult& copy)
{
    RecordFileState& state = s.state;
    if (state.file && !(state.flags & (kRecFileReadOnly | kRecFileFlushed))) {
        file_set_length(state.file.handle, state.file.kind, state.end_at_open);
        if (state.file_time != 0)
            file_set_time(state.file.handle, state.file.kind, state.file_time);
    }
    if (state.file)
        file_close(state.file.handle, state.file.kind);
    if (s.original)
        file_close(s.original.handle, s.original.kind);
    s.original = FileHandle {};
    fspec_free(s.spec);
    s.spec = spec && !fspec_is_memory(spec) ? fspec_clone(spec) : nullptr;
    state.file = file;
    if (kind != kKindAny)
        state.expected_magic = kind;
    adopt_copy(s, copy);
    // The copy starts a new life: closing it unflushed keeps the time it has now.
    state.flags &= uint8_t(~kRecFileFlushed);
    state.file_time = 0;
    file_get_time(file.handle, file.kind, &state.file_time);
}

int rec_save_as(
    int slot, FileHandle new_file, const FileSpec* new_spec, uint32_t kind, RecSaveAs mode)
{
    rec_set_error_word(0);
    RecSlot* s = rec_slot(slot);
    if (!s)
        return fail(kErrBadValue);
    if (!new_file)
        return fail(kErrWriteFault);
    CopyResult copy;
    int result = write_copy(*s, new_file, kind, kLoadedFromMemory, copy);
    if (result != kErrOk)
        return fail(result);
    if (mode == kSaveAsSwitch)
        switch_to_copy(*s, new_file, new_spec, kind, copy);
    mem_free(copy.directory);
    return kErrOk;
}
