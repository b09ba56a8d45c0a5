#include "runtime/store/rec_file.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_space.h"
#include "runtime/store/rec_zip.h"
#include "runtime/store/swap.h"
#include "runtime/store/swap_record.h"

#include <algorithm>
#include <cstring>

constexpr int64_t kMaxClusterSize = 4096;
constexpr uint32_t kMaxRecordNumber = 65535;
constexpr uint8_t kPackedZlib = 0x01;
constexpr uint8_t kPackedNative = 0x02;

static const uint8_t kHeaderDescriptor[] = { kSwapTwoU32, kSwapTwoU32, kSwapTwoU32, kSwapTwoU32,
    kSwapU16, kSwapSkip, 20, kSwapU16, kSwapEnd };
static const uint8_t kEntryDescriptor[] = { kSwapU32, kSwapU16, kSwapU16, kSwapU32, kSwapU32,
    kSwapU16, kSwapSkip, 1, kSwapSkip, 1, kSwapU32, kSwapU32, kSwapU16, kSwapEnd };
static const uint8_t kPackedDescriptor[] = { kSwapU32, kSwapU32, kSwapSkip, 2, kSwapEnd };

int rec_order_is_native(uint8_t byte_order)
{
    return byte_order == 0 || byte_order == kOrderNative ? 1 : 0;
}

int rec_is_packaged(const RecordFileState& state)
{
    return (state.header.flags & kHeaderPackaged) != 0 ? 1 : 0;
}

static uint8_t* directory_bytes(const RecordFileState& state)
{
    return static_cast<uint8_t*>(mem_address(state.directory));
}

// --- the header ----------------------------------------------------------------------------

void rec_swap_header(uint8_t* header)
{
    SwapScope scope(1);
    swap_by_descriptor(header, kRecordHeaderSize, kHeaderDescriptor);
}

void rec_swap_directory(uint8_t* entries, size_t count, int packaged)
{
    SwapScope scope(1);
    size_t size = packaged ? kPackedEntrySize : kDirEntrySize;
    swap_records(entries, count * size, packaged ? kPackedDescriptor : kEntryDescriptor, count);
}

RecordFileHeader rec_header_from_bytes(const uint8_t* bytes)
{
    uint8_t native[kRecordHeaderSize];
    std::memcpy(native, bytes, sizeof native);
    if (!rec_order_is_native(bytes[56]))
        rec_swap_header(native);
    plat::ByteReader r(native, sizeof native);
    RecordFileHeader h;
    h.version = r.i32le();
    h.end_of_data = r.i32le();
    h.data_length = r.i32le();
    h.directory_size = r.i32le();
    h.entry_count = r.i32le();
    h.directory_offset = r.i32le();
    h.free_bytes = r.i32le();
    h.used_bytes = r.i32le();
    h.reserved_word = r.u16le();
    r.bytes(h.reserved_middle, sizeof h.reserved_middle);
    h.flags = r.u16le();
    h.byte_order = r.u8();
    r.bytes(h.reserved_tail, sizeof h.reserved_tail);
    return h;
}

void rec_header_to_bytes(const RecordFileHeader& h, uint8_t* bytes)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    for (int32_t value : { h.version, h.end_of_data, h.data_length, h.directory_size, h.entry_count,
             h.directory_offset, h.free_bytes, h.used_bytes })
        w.u32le(uint32_t(value));
    w.u16le(h.reserved_word);
    w.bytes(h.reserved_middle, sizeof h.reserved_middle);
    w.u16le(h.flags);
    w.u8(h.byte_order);
    w.bytes(h.reserved_tail, sizeof h.reserved_tail);
    std::memcpy(bytes, out.data(), kRecordHeaderSize);
}

// The header's own consistency, before anything it names is read.
static int check_header(const RecordFileState& state, const RecordFileHeader& h)
{
    if (h.version < 2)
        return kErrFileTooOld;
    if (h.version > kRecordLayoutVersion)
        return kErrFileTooNew;
    if (h.end_of_data < 0 || h.data_length < 0 || h.directory_size < 0 || h.directory_offset < 0
        || h.entry_count < 0 || uint32_t(h.entry_count) > kMaxRecordNumber || h.reserved_word != 0)
        return kErrFileDamaged;
    int64_t header_end = state.data_start + int64_t(kRecordHeaderSize);
    if (h.version >= 4) {
        if (h.directory_offset > h.end_of_data
            || h.directory_size > h.end_of_data - h.directory_offset)
            return kErrFileDamaged;
        if (h.directory_size > 0 && h.directory_offset < header_end)
            return kErrFileDamaged; // a directory inside the headers
    } else if (int64_t(h.end_of_data) != int64_t(h.directory_size) + h.data_length + header_end) {
        return kErrFileDamaged;
    }
    if (h.end_of_data > state.end_at_open || h.end_of_data < header_end)
        return kErrFileDamaged;
    return kErrOk;
}

int rec_read_header(RecordFileState& state)
{
    uint8_t bytes[kRecordHeaderSize];
    int result = rec_read_at(state, state.data_start, bytes, sizeof bytes);
    if (result != kErrOk)
        return result;
    RecordFileHeader header = rec_header_from_bytes(bytes);
    result = check_header(state, header);
    if (result != kErrOk)
        return result;
    state.header = header;
    state.end_at_open = state.allocated_end = header.end_of_data;
    int64_t old_offset = 0, old_size = 0;
    result = rec_read_directory(state, &old_offset, &old_size);
    if (result != kErrOk || (state.flags & kRecFileReadOnly))
        return result;
    result = rec_build_holes(state, old_offset, old_size);
    if (result == kErrOk && state.header.directory_offset == 0)
        result = rec_write_directory(state, state.header.directory_size);
    return result;
}

// --- reading directories -------------------------------------------------------------------

// Entries of layouts 2 to 4, converted to the 30-byte form.
static int convert_old_directory(
    RecordFileState& state, const std::vector<uint8_t>& old, int foreign)
{
    const RecordFileHeader& h = state.header;
    size_t count = size_t(h.entry_count);
    size_t new_size = count * kDirEntrySize;
    MemHandle block = mem_alloc(new_size, kMemMovableZero);
    if (!block)
        return kErrOutOfMemory;
    plat::ByteReader r(old.data(), old.size());
    uint8_t* out = static_cast<uint8_t*>(mem_address(block));
    int64_t base = state.data_start - kKindHeaderArea;
    for (size_t n = 0; n < count; n++) {
        uint16_t number = foreign ? r.u16be() : r.u16le();
        if (h.version >= 3)
            r.skip(2 + 4); // bits, reserved: bits lose their meaning with the new owner
        uint32_t offset = foreign ? r.u32be() : r.u32le();
        uint32_t size = foreign ? r.u32be() : r.u32le();
        if (h.version == 2)
            offset = uint32_t(int64_t(offset) + base);
        uint8_t* e = out + n * kDirEntrySize;
        plat::store_u32le(e, number);
        plat::store_u16le(e + 4, uint16_t(kRecTypeUntyped));
        plat::store_u32le(e + 8, size);
        plat::store_u32le(e + 12, size);
        plat::store_u16le(e + 16, kSchemeRaw);
        e[18] = kOrderNative;
        plat::store_u32le(e + 24, offset);
    }
    mem_free(state.directory);
    state.directory = block;
    state.directory_capacity = int64_t(new_size);
    state.header.directory_size = int32_t(new_size);
    state.header.directory_offset = 0;
    state.header.version = kRecordLayoutVersion;
    state.header.flags &= uint16_t(~kHeaderPackaged);
    return kErrOk;
}

static uint32_t entry_number(const uint8_t* e) { return plat::load_u32le(e); }

// Rising numbers, sizes and offsets within the data. Stored bytes inside the headers would
// change under the record whenever a flush writes the headers.
static int check_editable_entries(const RecordFileState& state)
{
    const uint8_t* entries = directory_bytes(state);
    int64_t header_end = state.data_start + int64_t(kRecordHeaderSize);
    uint32_t previous = 0;
    for (int32_t n = 0; n < state.header.entry_count; n++) {
        const uint8_t* e = entries + size_t(n) * kDirEntrySize;
        uint32_t number = entry_number(e), stored = plat::load_u32le(e + 8);
        uint32_t unpacked = plat::load_u32le(e + 12), offset = plat::load_u32le(e + 24);
        if (number <= previous || number > kMaxRecordNumber)
            return kErrFileDamaged;
        if (int32_t(stored) < 0 || int32_t(unpacked) < 0 || int32_t(offset) < 0)
            return kErrFileDamaged;
        if (offset > state.end_at_open || stored > state.end_at_open - offset)
            return kErrFileDamaged;
        if (stored > 0 && offset < header_end)
            return kErrFileDamaged;
        previous = number;
    }
    return kErrOk;
}

// Offsets rise from the end of the headers to the sentinel, which lies within the data.
static int check_packed_entries(const RecordFileState& state)
{
    const uint8_t* entries = directory_bytes(state);
    int64_t previous = state.data_start + int64_t(kRecordHeaderSize);
    for (int32_t n = 0; n <= state.header.entry_count; n++) {
        const uint8_t* e = entries + size_t(n) * kPackedEntrySize;
        int64_t offset = plat::load_u32le(e);
        if (offset < previous || offset > state.end_at_open)
            return kErrFileDamaged;
        if (n < state.header.entry_count && int32_t(plat::load_u32le(e + 4)) < 0)
            return kErrFileDamaged;
        previous = offset;
    }
    return kErrOk;
}

static int read_current_directory(RecordFileState& state, int foreign)
{
    RecordFileHeader& h = state.header;
    int packaged = rec_is_packaged(state);
    size_t entry_size = packaged ? kPackedEntrySize : kDirEntrySize;
    size_t needed = size_t(h.entry_count) + (packaged && h.entry_count > 0 ? 1 : 0);
    if (needed > size_t(h.directory_size) / entry_size)
        return kErrFileDamaged;
    if (h.directory_size > 0) {
        int result = rec_read_at(
            state, h.directory_offset, directory_bytes(state), uint32_t(h.directory_size));
        if (result != kErrOk)
            return result;
    }
    uint8_t* entries = directory_bytes(state);
    if (foreign)
        rec_swap_directory(entries, size_t(h.directory_size) / entry_size, packaged);
    if (!packaged)
        for (int32_t n = 0; n < h.entry_count; n++)
            plat::store_u16le(entries + size_t(n) * kDirEntrySize + 28, 0);
    h.directory_offset = 0;
    return packaged ? (h.entry_count > 0 ? check_packed_entries(state) : kErrOk)
                    : check_editable_entries(state);
}

static int read_old_directory(RecordFileState& state, int foreign)
{
    const RecordFileHeader& h = state.header;
    size_t old_entry = h.version == 2 ? 10 : 16;
    if (size_t(h.entry_count) > size_t(h.directory_size) / old_entry)
        return kErrFileDamaged;
    std::vector<uint8_t> old(size_t(h.entry_count) * old_entry);
    if (!old.empty()) {
        int result = rec_read_at(state, h.directory_offset, old.data(), uint32_t(old.size()));
        if (result != kErrOk)
            return result;
    }
    int result = convert_old_directory(state, old, foreign);
    return result != kErrOk ? result : check_editable_entries(state);
}

int rec_read_directory(RecordFileState& state, int64_t* old_offset, int64_t* old_size)
{
    RecordFileHeader& h = state.header;
    int foreign = !rec_order_is_native(h.byte_order);
    mem_free(state.directory);
    state.directory = mem_alloc(size_t(h.directory_size), kMemMovableZero);
    if (!state.directory)
        return kErrOutOfMemory;
    state.directory_capacity = h.directory_size;
    state.cache_number = 0;
    state.cache_index = -1;
    if (h.version <= 3)
        h.directory_offset = int32_t(state.data_start + int64_t(kRecordHeaderSize) + h.data_length);
    *old_offset = h.directory_offset;
    *old_size = h.directory_size;
    return h.version == kRecordLayoutVersion ? read_current_directory(state, foreign)
                                             : read_old_directory(state, foreign);
}

// --- writing -------------------------------------------------------------------------------

int rec_write_directory(RecordFileState& state, int64_t size)
{
    RecordFileHeader& h = state.header;
    if (size > 0 && state.directory_capacity < size) {
        MemHandle grown = mem_realloc(state.directory, size, kMemMovableZero);
        if (!grown)
            return kErrOutOfMemory;
        std::memset(static_cast<uint8_t*>(mem_address(grown)) + state.directory_capacity, 0,
            size_t(size - state.directory_capacity));
        state.directory = grown;
        state.directory_capacity = size;
    }
    int64_t offset = 0;
    if (size > 0) {
        offset = rec_take_hole(state, size);
        if (offset == 0) {
            offset = state.allocated_end;
            int result = rec_extend(state, size);
            if (result != kErrOk)
                return result;
        }
        // A slot without file keeps its directory in memory only.
        int result = state.file
            ? rec_write_at(state, offset, directory_bytes(state), uint32_t(size))
            : kErrOk;
        if (result != kErrOk) {
            rec_free_space(state, offset, size);
            return result;
        }
    }
    // The previous place was given since the last flush; the committed one is never freed
    // here, because the offset is 0 while the directory still lives there.
    if (h.directory_offset != 0)
        rec_free_space(state, h.directory_offset, h.directory_size);
    h.directory_offset = int32_t(offset);
    h.directory_size = int32_t(size);
    return kErrOk;
}

int rec_write_header(RecordFileState& state)
{
    RecordFileHeader header = state.header;
    header.byte_order = kOrderNative;
    uint8_t bytes[kRecordHeaderSize];
    rec_header_to_bytes(header, bytes);
    return rec_write_at(state, state.data_start, bytes, sizeof bytes);
}

// --- lookup --------------------------------------------------------------------------------

static RecordDirEntry decode_entry(const uint8_t* e)
{
    RecordDirEntry entry;
    entry.number = plat::load_u32le(e);
    entry.type = int16_t(plat::load_u16le(e + 4));
    entry.format_version = plat::load_u16le(e + 6);
    entry.stored_size = plat::load_u32le(e + 8);
    entry.unpacked_size = plat::load_u32le(e + 12);
    entry.scheme = plat::load_u16le(e + 16);
    entry.byte_order = e[18];
    entry.offset = plat::load_u32le(e + 24);
    entry.bits = plat::load_u16le(e + 28);
    return entry;
}

// Bytes 19 to 23 are reserved and stay as they are.
static void encode_entry(const RecordDirEntry& entry, uint8_t* e)
{
    plat::store_u32le(e, entry.number);
    plat::store_u16le(e + 4, uint16_t(entry.type));
    plat::store_u16le(e + 6, entry.format_version);
    plat::store_u32le(e + 8, entry.stored_size);
    plat::store_u32le(e + 12, entry.unpacked_size);
    plat::store_u16le(e + 16, entry.scheme);
    e[18] = entry.byte_order;
    plat::store_u32le(e + 24, entry.offset);
    plat::store_u16le(e + 28, entry.bits);
}

void rec_entry_to_bytes(const RecordDirEntry& entry, uint8_t* bytes) { encode_entry(entry, bytes); }

// Record number of a packaged directory, from its entry and the next one.
static RecordDirEntry decode_packed(const uint8_t* entries, uint32_t number)
{
    const uint8_t* e = entries + size_t(number - 1) * kPackedEntrySize;
    RecordDirEntry entry;
    entry.number = number;
    uint8_t type = e[8];
    entry.type = type >= 253 ? int16_t(type - 256) : int16_t(type);
    entry.format_version = kConverterVersion;
    entry.offset = plat::load_u32le(e);
    entry.stored_size = plat::load_u32le(e + kPackedEntrySize) - entry.offset;
    entry.unpacked_size = plat::load_u32le(e + 4);
    entry.scheme = (e[9] & kPackedZlib) ? kSchemeZlib : kSchemeRaw;
    entry.byte_order = (e[9] & kPackedNative) ? kOrderNative : kOrderOther;
    return entry;
}

int rec_dir_entry_at(const RecordFileState& state, int32_t index, RecordDirEntry& out)
{
    if (index < 0 || index >= state.header.entry_count || !state.directory)
        return 0;
    if (rec_is_packaged(state))
        out = decode_packed(directory_bytes(state), uint32_t(index) + 1);
    else
        out = decode_entry(directory_bytes(state) + size_t(index) * kDirEntrySize);
    return 1;
}

int32_t rec_dir_find(RecordFileState& state, uint32_t number)
{
    int32_t count = state.header.entry_count;
    if (count == 0)
        return -1;
    if (number == state.cache_number && state.cache_index >= 0 && state.cache_index < count)
        return state.cache_index;
    const uint8_t* entries = directory_bytes(state);
    auto number_at = [entries](int64_t index) {
        return entry_number(entries + size_t(index) * kDirEntrySize);
    };
    int64_t lo = 0, hi = int64_t(count) - 1;
    while (lo <= hi) {
        int64_t mid = (lo + hi) / 2;
        uint32_t at_mid = number_at(mid);
        // Numbers are mostly consecutive: where the number would be if they all were.
        int64_t guess = int64_t(number) + mid - int64_t(at_mid);
        int64_t found = guess >= lo && guess <= hi && number_at(guess) == number ? guess
            : at_mid == number                                                   ? mid
                                                                                 : -1;
        if (found >= 0) {
            state.cache_number = number;
            state.cache_index = int32_t(found);
            return int32_t(found);
        }
        if (number > at_mid)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return int32_t(-lo - 1);
}

int rec_dir_lookup(
    RecordFileState& state, uint32_t number, RecordDirEntry& out, uint32_t* stored_size)
{
    if (number == 0 || number > kMaxRecordNumber || !state.directory)
        return 0;
    if (rec_is_packaged(state)) {
        // Numbers past the count name the sentinel and the padding.
        if (number > uint32_t(state.header.entry_count)
            || int64_t(number) * int64_t(kPackedEntrySize) >= state.header.directory_size)
            return 0;
        out = decode_packed(directory_bytes(state), number);
    } else {
        int32_t index = rec_dir_find(state, number);
        if (index < 0)
            return 0;
        out = decode_entry(directory_bytes(state) + size_t(index) * kDirEntrySize);
    }
    if (stored_size)
        *stored_size = out.stored_size;
    return 1;
}

// --- changes -------------------------------------------------------------------------------

int rec_dir_insert(RecordFileState& state, int32_t insertion_point, int32_t* index)
{
    if (rec_is_packaged(state))
        return kErrPackagedFile;
    int32_t count = state.header.entry_count;
    if (insertion_point < 0 || insertion_point > count)
        insertion_point = count;
    int64_t needed = (int64_t(count) + 1) * int64_t(kDirEntrySize);
    if (state.directory_capacity < needed) {
        int result = rec_write_directory(state, needed + int64_t(kDirectoryGrowth));
        if (result != kErrOk)
            return result;
    }
    uint8_t* entries = directory_bytes(state);
    uint8_t* at = entries + size_t(insertion_point) * kDirEntrySize;
    std::memmove(at + kDirEntrySize, at, size_t(count - insertion_point) * kDirEntrySize);
    std::memset(at, 0, kDirEntrySize);
    state.header.entry_count = count + 1;
    state.cache_number = 0;
    state.cache_index = -1;
    *index = insertion_point;
    return kErrOk;
}

int rec_dir_store(RecordFileState& state, const RecordDirEntry& entry)
{
    if (rec_is_packaged(state))
        return kErrPackagedFile;
    if (entry.number == 0 || entry.number > kMaxRecordNumber)
        return kErrBadValue;
    int32_t index = rec_dir_find(state, entry.number);
    if (index < 0) {
        int result = rec_dir_insert(state, -index - 1, &index);
        if (result != kErrOk)
            return result;
    }
    encode_entry(entry, directory_bytes(state) + size_t(index) * kDirEntrySize);
    return kErrOk;
}

void rec_dir_remove(RecordFileState& state, uint32_t number)
{
    if (rec_is_packaged(state))
        return;
    int32_t index = rec_dir_find(state, number);
    if (index < 0)
        return;
    uint8_t* at = directory_bytes(state) + size_t(index) * kDirEntrySize;
    int32_t after = state.header.entry_count - index - 1;
    std::memmove(at, at + kDirEntrySize, size_t(after) * kDirEntrySize);
    std::memset(at + size_t(after) * kDirEntrySize, 0, kDirEntrySize);
    state.header.entry_count--;
    state.cache_number = 0;
    state.cache_index = -1;
}

// --- record bytes --------------------------------------------------------------------------

int rec_read_at(RecordFileState& state, int64_t offset, void* buffer, uint32_t size)
{
    if (!state.file || size > uint32_t(INT32_MAX))
        return kErrShortRead;
    int32_t got
        = file_read(state.file.handle, state.file.kind, buffer, int32_t(size), kFileBegin, offset);
    if (got < 0) {
        uint32_t error = file_take_last_error();
        return error != 0 ? int(error) : kErrShortRead;
    }
    return uint32_t(got) == size ? kErrOk : kErrShortRead;
}

int rec_write_at(RecordFileState& state, int64_t offset, const void* bytes, uint32_t size)
{
    if (!state.file || size > uint32_t(INT32_MAX))
        return kErrWriteFault;
    int32_t written
        = file_write(state.file.handle, state.file.kind, bytes, int32_t(size), kFileBegin, offset);
    if (written < 0) {
        uint32_t error = file_take_last_error();
        return error != 0 ? int(error) : kErrWriteFault;
    }
    return uint32_t(written) == size ? kErrOk : kErrWriteFault;
}

int rec_convert_order(RecordDescriptor& record)
{
    if (rec_order_is_native(record.byte_order))
        return kErrOk;
    int result = swap_record_by_type(record, 1);
    if (result == kErrOk)
        record.byte_order = kOrderNative;
    return result;
}

// The stored bytes of the entry in a new block.
static int read_stored(RecordFileState& state, const RecordDirEntry& entry, MemHandle* out)
{
    *out = mem_alloc(entry.stored_size, kMemMovable);
    if (!*out)
        return kErrOutOfMemory;
    if (entry.stored_size == 0)
        return kErrOk;
    int result = rec_read_at(state, entry.offset, mem_lock(*out), entry.stored_size);
    mem_unlock(*out);
    if (result != kErrOk)
        *out = mem_free(*out);
    return result;
}

int rec_load_record(RecordFileState& state, const RecordDirEntry& entry, RecordDescriptor& out)
{
    out = rec_descriptor_of(entry, uint32_t(state.slot));
    // A raw record is its stored bytes (a packaged file may pad them); it cannot be longer.
    if (entry.scheme != kSchemeZlib && entry.unpacked_size > entry.stored_size)
        return kErrFileDamaged;
    if (entry.scheme == kSchemeZlib && entry.unpacked_size > 0 && entry.stored_size == 0)
        return kErrFileDamaged;
    MemHandle stored;
    int result = read_stored(state, entry, &stored);
    if (result != kErrOk)
        return result;
    out.data = stored;
    MemHandle unpacked;
    result = rec_decompress(out, &unpacked);
    if (result == kErrOk && unpacked) {
        mem_free(stored);
        out.data = unpacked;
    } else if (result == kErrOk && entry.unpacked_size < entry.stored_size) {
        MemHandle fitted = mem_realloc(stored, entry.unpacked_size, kMemMovable);
        if (fitted)
            out.data = fitted;
    }
    if (result == kErrOk)
        result = rec_convert_order(out);
    if (result != kErrOk)
        out.data = mem_free(out.data);
    return result;
}

// --- opening -------------------------------------------------------------------------------

static int64_t cluster_size_of(const FileSpec* spec, FileHandle file)
{
    if (file.kind >= kFileKindMemory || !spec)
        return kMaxClusterSize;
    int64_t size = fspec_cluster_size(spec);
    return size <= 0 || size > kMaxClusterSize ? kMaxClusterSize : size;
}

static void set_open_flags(RecordFileState& state, uint32_t open_flags)
{
    state.flags = kRecFileOpen;
    if (!(open_flags & kRecOpenWritable))
        state.flags |= kRecFileReadOnly;
    if (open_flags & kRecOpenWriteThrough)
        state.flags |= kRecFileWriteThrough;
    if (open_flags & kRecOpenOwnsSpace)
        state.flags |= kRecFileOwnsSpace;
    state.flags2 = (open_flags & kRecOpenNoLaterWrite) ? 1 : 0;
}

int rec_file_attach(RecordFileState& state, const FileSpec* spec, FileHandle file,
    uint32_t open_flags, uint32_t expected_magic, RecHeaderCallback callback, int accept_empty)
{
    rec_file_detach(state);
    if (file) {
        state.end_at_open = file_length(file.handle, file.kind);
        if (state.end_at_open < 0) {
            uint32_t error = file_take_last_error();
            state = RecordFileState {};
            return error != 0 ? int(error) : kErrFileDamaged;
        }
        state.cluster_size = cluster_size_of(spec, file);
        file_get_time(file.handle, file.kind, &state.file_time);
    }
    state.allocated_end = state.end_at_open;
    int append = (open_flags & kRecOpenAppend) != 0;
    int64_t data_start = kKindHeaderArea;
    int32_t kind_version = 0;
    int result = callback
        ? callback(append ? 2 : 0, file, &data_start, expected_magic, &kind_version)
        : kErrOk;
    int empty = state.end_at_open == 0;
    if (result != kErrOk && !(empty && accept_empty)) {
        rec_file_detach(state);
        return result;
    }
    set_open_flags(state, open_flags);
    state.file = file;
    state.header_callback = callback;
    state.expected_magic = expected_magic;
    state.kind_version = kind_version;
    state.data_start = data_start;
    if (!empty && !append)
        result = rec_read_header(state);
    else
        result = (state.flags & kRecFileReadOnly) ? kErrFileDamaged : rec_file_create_empty(state);
    if (result != kErrOk)
        rec_file_detach(state);
    return result;
}

void rec_file_detach(RecordFileState& state)
{
    mem_free(state.directory);
    state = RecordFileState {};
}
