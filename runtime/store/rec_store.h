// The record store: numbered records of up to 25 open record files, handed out as movable
// blocks. A record is named by a RecordId (slot << 16 | number). The store opens record files
// into slots, loads a record on first use (read, unpack, convert to native order), keeps it in
// the table of loaded records with a use count, and puts records nobody uses on the LRU, from
// which they are freed when the list is full or the memory budget is exceeded (rec_cache.h).
// Writing, placement and deletion are rec_write.h; flushing and saving a copy rec_flush.h.
//
// Every operation that can fail sets the store's error word (0 on success); most return 0 or
// null on failure, so callers read the word for the reason. A record that does not exist comes
// back as null with the word 0.
#pragma once
#include "runtime/files/file.h"
#include "runtime/files/fspec.h"
#include "runtime/base/mem.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/rec_types.h"

#include <cstdint>

constexpr int kRecSlotCount = 25;

// A reference to a record on the caller's stack.
struct RecordRef {
    uint32_t valid = 0; // 1 once set
    int16_t type = kRecTypeUntyped; // -1: any
    RecordId id = 0;
};

// One slot's open file and what the store needs to write it again.
struct RecSlot {
    RecordFileState state;
    FileSpec* spec = nullptr; // a clone of the spec the file was opened from; null without
    uint32_t open_flags = 0;
    // Set while state.file is a stand-in holding the old bytes of a file that a failed save
    // left half written: the file itself, which the next flush saves.
    FileHandle original;
};

// Whether an empty file may be opened as a new record file.
enum RecEmpty : int {
    kRecRefuseEmpty = 0,
    kRecAcceptEmpty = 1,
};

// How many uses a release drops.
enum RecRelease : int {
    kReleaseOne = 0,
    kReleaseAll = 1,
};

// Which size rec_size gives.
enum RecSizeKind : int {
    kSizeStored = 0,
    kSizeUnpacked = 1,
};

// The caches of other subsystems that share the memory budget with loaded records: plug-in
// assets and the bitmap cache. A missing function counts as an empty cache.
struct RecOtherCaches {
    int64_t (*asset_total_bytes)();
    uint32_t (*asset_oldest_tick)(); // 0xFFFFFFFF when empty
    int64_t (*asset_purge)(int64_t bytes);
    int64_t (*bitmap_total_bytes)();
    uint32_t (*bitmap_lru_size)(); // the oldest entry's tick, compared with the assets'; 0xFFFFFFFF when empty
    int64_t (*bitmap_purge)(int64_t bytes);
};

// --- the store ----------------------------------------------------------------------------

// The table of loaded records; 1, or 0 when memory is short.
int rec_init();
// Closes every slot without writing, frees every loaded record and the tables (shutdown).
void rec_close_all();
// rec_close_all, then forgets the error word and the other caches (tests).
void rec_reset();
// The reason of the last failure, 0 after a success.
int rec_error_word();
void rec_set_error_word(int error);
// Lends the store the other caches for its budget; null forgets them.
void rec_set_other_caches(const RecOtherCaches* caches);
// The caches lent now (each lender copies the table and changes its own entries).
const RecOtherCaches& rec_other_caches();

// --- slots --------------------------------------------------------------------------------

// Opens the spec's file into the slot (null spec: a slot without file) and sets it up. A
// writable open creates the file only when it does not exist (2 or 3), and deletes what it
// created when the setup fails; a name ending in ".EXE" is opened for reading only. 0 or the
// error (also in the word).
int rec_open_file(FileSpec* spec, int slot, uint32_t open_flags, RecHeaderCallback callback,
    uint32_t expected_magic, RecEmpty empty);
// Sets up an open file (or none) in the slot; the store closes the file with the slot. A slot
// already open is closed first, so none of its records is served as the new file's. 0, 8 for
// a slot outside 1-25, or the reader's error (the file is then left open).
int rec_file_setup(const FileSpec* spec, FileHandle file, int slot, uint32_t open_flags,
    RecHeaderCallback callback, uint32_t expected_magic, RecEmpty empty);
// Frees the slot's loaded records; a writable file is cut at its end at open and, unless it
// was flushed, gets back the last-write time it had when opened; closes it. 0 or the error of
// the cut.
int rec_close_file(int slot);
// The open slot, null when the slot is not open.
RecSlot* rec_slot(int slot);

// The file handle, end of data (-1 when not open), free bytes of its volume (-1 without file)
// and number of records of a slot.
FileHandle rec_file_handle(int slot);
int64_t rec_file_end(int slot);
int64_t rec_file_free_space(int slot);
int32_t rec_file_record_count(int slot);
// 2 when the slot has no file or slot_spec is not spec, else 1 open writable, 0 read-only.
int rec_file_matches(const FileSpec* slot_spec, int slot, const FileSpec* spec);

// --- records ------------------------------------------------------------------------------

void rec_ref_init(RecordRef& ref, RecordId id, int type);
// The directory entry of an open slot's record: 1 found, 0 not.
int rec_lookup(RecordId id, RecordDirEntry& out, uint32_t* stored_size);

// The record's block with its use count raised, loading it when needed; null on failure or
// when the record does not exist (word 0).
MemHandle rec_get(RecordId id);
MemHandle rec_ref_load(const RecordRef& ref);
// A block the caller owns: the cached block itself when nobody else uses it and it has nothing
// to write, else a copy (the caller's use is dropped). Null as rec_get.
MemHandle rec_take(RecordId id);
MemHandle rec_ref_take(const RecordRef& ref);
// Lowers the use count; at 0 a block with nothing to write goes on the LRU.
void rec_release(RecordId id, RecRelease release);
void rec_ref_release(const RecordRef& ref, RecRelease release);
// The record's unpacked or stored size, 0 when absent.
uint32_t rec_size(RecordId id, RecSizeKind kind);
uint32_t rec_ref_size(const RecordRef& ref, RecSizeKind kind);
// The loaded block when it has users, else null; loads and counts nothing.
MemHandle rec_peek(RecordId id);
// 1 when the record is loaded with exactly one use and its cached block became block (the old
// block stays the caller's).
int rec_replace_handle(RecordId id, MemHandle block);
// 1 when the record's bytes can be read now; asking for them (local files always have them).
int rec_is_available(RecordId id);
int rec_request(RecordId id);
// 1 when the record was on the LRU and has been freed.
int rec_discard(RecordId id);
int rec_ref_discard(const RecordRef& ref);
