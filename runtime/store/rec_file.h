// Record files: the 74-byte record-file header after the kind header, the directory that says
// where each numbered record lies, and the per-file state the record store keeps for an open
// file. Packaged files (pieces and libraries made for delivery) have a read-only directory of
// 10-byte entries indexed by record number, closed by a sentinel entry; editable files have a
// sorted directory of 30-byte entries. Files of layout versions 2 to 4 are converted to the
// editable form when read. All offsets are absolute file offsets.
//
// Stored bytes (header, directory) are read field by field and checked before use: a count
// against the directory's size, every offset and size against the end of data, the end of
// data against the file's length; a damaged header or directory is 5000.
#pragma once
#include "runtime/files/file.h"
#include "runtime/files/fspec.h"
#include "runtime/base/mem.h"
#include "runtime/store/rec_types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kRecordHeaderSize = 74;
constexpr size_t kPackedEntrySize = 10;
constexpr size_t kDirEntrySize = 30;
constexpr int32_t kRecordLayoutVersion = 5;
// An editable directory grows by this much beyond what one more entry needs.
constexpr size_t kDirectoryGrowth = 960;

// Header flags.
enum : uint16_t {
    kHeaderPackaged = 0x0002,
};

// The record-file header with its values in native order; reserved bytes are kept as read.
struct RecordFileHeader {
    int32_t version = kRecordLayoutVersion;
    int32_t end_of_data = 0;
    int32_t data_length = 0;
    int32_t directory_size = 0;
    int32_t entry_count = 0;
    int32_t directory_offset = 0; // 0 while the directory has no place in the file
    int32_t free_bytes = 0;
    int32_t used_bytes = 0;
    uint16_t reserved_word = 0;
    uint8_t reserved_middle[20] = {};
    uint16_t flags = 0;
    uint8_t byte_order = kOrderNative; // as stored: 0 and 1 native, anything else the other order
    uint8_t reserved_tail[17] = {};
};

// A free range of an editable file's data area.
struct RecordHole {
    int64_t offset = 0;
    int64_t size = 0;
};

// The header callback an open runs (fhdr_check or one of the same form).
using RecHeaderCallback = int (*)(int mode, FileHandle file, int64_t* data_start,
    uint32_t expected_magic, int32_t* layout_version);

// State flags.
enum : uint8_t {
    kRecFileOpen = 0x01,
    kRecFileReadOnly = 0x02,
    kRecFileDirty = 0x04,
    kRecFileWriteThrough = 0x08,
    kRecFileFlushed = 0x10,
    kRecFileOwnsSpace = 0x80,
};

// Open flags.
enum : uint32_t {
    kRecOpenWritable = 0x01, // else read-only
    kRecOpenWriteThrough = 0x02,
    kRecOpenAppend = 0x04, // a new record file after the file's existing content
    kRecOpenOwnsSpace = 0x08,
    kRecOpenNoLaterWrite = 0x10,
};

// One open record file.
struct RecordFileState {
    uint8_t flags = 0;
    uint8_t flags2 = 0; // bit 0: records put are never marked for a later write
    int16_t slot = 0;
    FileHandle file;
    int64_t end_at_open = 0; // the file's length at open; after a flush the end of data
    int64_t allocated_end = 0; // the end of the data area as it grows
    uint32_t cache_number = 0; // lookup cache: the last number found and its index
    int32_t cache_index = -1;
    RecordFileHeader header;
    MemHandle directory; // entries in stored (native) form, 10 or 30 bytes each
    int64_t data_start = 0; // base + 32
    RecHeaderCallback header_callback = nullptr;
    uint32_t expected_magic = 0;
    int32_t kind_version = 0;
    std::vector<RecordHole> holes; // by size, then offset; their sum is header.free_bytes
    int64_t cluster_size = 4096;
    uint64_t file_time = 0; // last-write time at open
    int64_t directory_capacity = 0; // bytes of the directory block
};

// --- opening ---------------------------------------------------------------------------------

// Sets up the state of an open file: its length, cluster size (from spec, at most 4096; 4096
// for memory files and without spec), last-write time, the header callback (mode 2 with
// kRecOpenAppend), then reads header and directory, or starts an empty record file when the
// file is empty (and accept_empty) or appended to. A read-only file that holds no record file
// is 5000. The state is cleared on failure; the file stays open either way.
int rec_file_attach(RecordFileState& state, const FileSpec* spec, FileHandle file,
    uint32_t open_flags, uint32_t expected_magic, RecHeaderCallback callback, int accept_empty);
// Frees the directory and the holes and clears the state; the file is not closed.
void rec_file_detach(RecordFileState& state);

// --- header and directory --------------------------------------------------------------------

// Reads and checks the header at the data start, then the directory; a writable file also gets
// its holes and a new place for its directory. 5006 short read, 5001/5009 version, 5000 damage.
int rec_read_header(RecordFileState& state);
// Reads, converts and checks the directory; *old_offset and *old_size receive the directory's
// area on disk.
int rec_read_directory(RecordFileState& state, int64_t* old_offset, int64_t* old_size);
// Gives the directory a place of size bytes (best-fitting hole, else the end of the data area),
// writes it there and frees its previous place. 0 or an error.
int rec_write_directory(RecordFileState& state, int64_t size);
// Writes the header at the data start in native order.
int rec_write_header(RecordFileState& state);
// Byte-swaps a stored 74-byte header in place (eight u32, one u16, skip 20, one u16).
void rec_swap_header(uint8_t* header);
// Byte-swaps stored directory entries in place.
void rec_swap_directory(uint8_t* entries, size_t count, int packaged);
// The header in and out of its 74 stored bytes (native order in, either order out).
void rec_header_to_bytes(const RecordFileHeader& header, uint8_t* bytes);
RecordFileHeader rec_header_from_bytes(const uint8_t* bytes);

int rec_is_packaged(const RecordFileState& state);
// 1 when a stored byte-order value means native order.
int rec_order_is_native(uint8_t byte_order);

// --- lookup and changes ----------------------------------------------------------------------

// The entry of record number (1 found, 0 not) and its stored size.
int rec_dir_lookup(
    RecordFileState& state, uint32_t number, RecordDirEntry& out, uint32_t* stored_size);
// Entry index (0-based) of a packaged file's record index + 1 or an editable file's index-th
// entry; 0 when the index is outside the directory.
int rec_dir_entry_at(const RecordFileState& state, int32_t index, RecordDirEntry& out);
// Editable files: the index of the number, or -(insertion point) - 1.
int32_t rec_dir_find(RecordFileState& state, uint32_t number);
// Stores the entry's fields under its number, inserting it when new: 0, 5014 (packaged), 8.
int rec_dir_store(RecordFileState& state, const RecordDirEntry& entry);
// Opens a zeroed entry at the insertion point, growing the directory when full: 0, 5014, 8.
int rec_dir_insert(RecordFileState& state, int32_t insertion_point, int32_t* index);
// Removes the number's entry when present (editable files only).
void rec_dir_remove(RecordFileState& state, uint32_t number);
// An entry in its stored 30-byte form (native order; the reserved bytes are left alone).
void rec_entry_to_bytes(const RecordDirEntry& entry, uint8_t* bytes);

// --- record bytes ----------------------------------------------------------------------------

// Reads size bytes at offset: 0, 5006 for a short read, or the file layer's error.
int rec_read_at(RecordFileState& state, int64_t offset, void* buffer, uint32_t size);
// Writes size bytes at offset: 0, 112, or the file layer's error.
int rec_write_at(RecordFileState& state, int64_t offset, const void* bytes, uint32_t size);
// Loads an entry's record: reads the stored bytes, unpacks them and converts them to native
// order. out.data is a new block the caller owns (unpacked_size bytes; an empty record has an
// empty block). 0, 8, 5000, 5006, 8005, 8006 or the file layer's error; nothing is handed out
// on failure.
int rec_load_record(RecordFileState& state, const RecordDirEntry& entry, RecordDescriptor& out);
// Converts a loaded record to native order by its type when it is not: 0 or the converter's
// error.
int rec_convert_order(RecordDescriptor& record);
