// Writing records into the store: putting a record (the store keeps the block), deleting it,
// reserving file space, numbering new records, and placing stored bytes in the data area.
// A record gets new space unless the space it has was allocated since the file was opened or
// last flushed (or the file owns its space), so committed bytes are never overwritten before
// a flush has written the directory that no longer names them. A write-through file writes
// the bytes at once; others keep the block marked for the next flush.
#pragma once
#include "runtime/store/rec_store.h"

#include <cstdint>

// Placement modes.
enum RecPlaceMode : int {
    kPlaceWrite = 0, // at once on a write-through file, else left marked for the flush
    kPlaceReserve = 1, // space without data
    kPlaceWriteNow = 2,
};

// Writes or replaces the record with size bytes of block (the store keeps the block and the
// record keeps at least one use, which the caller releases); a null block deletes. A discarded
// block, a closed slot or record number 0 do nothing (0). 0 or the error: 5014 packaged file,
// 5 read-only file, 8004 a size the block does not hold, 8, 5003, or the file layer's error
// (the block then stays the caller's and the record what it was).
int rec_put(RecordId id, int type, MemHandle block, uint32_t size);
int rec_ref_put(const RecordRef& ref, MemHandle block, uint32_t size);
// Reserves size bytes of file space for the record without data: 1, or 0 with the word set.
int rec_ref_reserve(const RecordRef& ref, uint32_t size);
// Frees a loaded block, returns the record's space (when allocated since the last flush or the
// file owns its space) and removes its entry. 0, 5014 (packaged), 5 (read-only); 0 when absent.
int rec_delete(RecordId id);
int rec_ref_delete(const RecordRef& ref);
// The first number from the ref's up that the file does not hold, where an empty record of the
// ref's type is put and released: that number, or 0 (word 5003 when the numbers run out, 5014
// for a packaged file).
uint32_t rec_ref_new_empty(const RecordRef& ref);
// Sets ref to a new empty record of the type at the first free number from 2: 0, 5003 when
// there is none, or the error of making it.
int rec_ref_init_new(RecordRef& ref, int slot, int type);

// Writes the record's directory entry and places its bytes (size bytes of block, packed when
// its type allows; kPlaceReserve: size bytes of space without data). A new entry is removed
// again on failure.
int rec_write_record(
    RecSlot& slot, const RecordRef& ref, MemHandle block, uint32_t size, RecPlaceMode mode);
// Places length stored bytes for the entry (its offset, stored size and bits are updated, not
// stored in the directory) and sets the record's cache flags: reserved, marked for the flush,
// or none when written now. 0 or the error; on failure nothing moved.
int rec_place_record(
    RecSlot& slot, const uint8_t* bytes, uint32_t length, RecPlaceMode mode, RecordDirEntry& entry);
