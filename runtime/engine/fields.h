// Typed fields: stored records whose whole content is one tag list (a name, a 16-byte value, a
// block per tag), read and written one field at a time by record id, so that callers never
// handle the record's block. Record 1 and the per-icon tables of the learner's records and the
// variable names and definitions of a piece are such records. Beside them the packed element
// blocks: a u32 offset table of count + 1 entries, then the elements, each of even size.
//
// A record that does not hold a whole tag list is damaged: reads find nothing in it, writes
// and walks answer 5000. A missing record or field is never an error (the store's error word
// is cleared).
#pragma once
#include "runtime/base/mem.h"
#include "runtime/store/rec_types.h"

#include <cstddef>
#include <cstdint>

constexpr int16_t kFieldGroupType = -2; // 0xFFFE: the type new field groups are written with

// Copies the field and zero-fills the rest of the buffer: the bytes copied. A field longer than
// the buffer, a missing field or record copy nothing (0, the buffer zeroed).
uint32_t fg_get_block(RecordId id, uint16_t tag, void* buffer, uint32_t size);
// The field's length in bytes, 0 when the record or field is missing.
uint32_t fg_field_size(RecordId id, uint16_t tag);
// A text field as a NUL-terminated string cut to the buffer: its length, 0 and "" when missing.
uint32_t fg_get_str(RecordId id, uint16_t tag, char* buffer, uint32_t size);
// A new block with a copy of the field; null when missing or without memory.
MemHandle fg_get_hand_g(RecordId id, uint16_t tag);
// Adds or replaces the field (size 0 deletes it); a missing record is created with the type.
// Record number or tag 0: 0 without effect. 0, 8, 5000 or the store's write error.
int fg_put_field(RecordId id, int16_t type, uint16_t tag, const void* data, uint32_t size);
// The field's data with the record loaded and locked (its length in *size); null when missing.
uint8_t* fg_lock_field(RecordId id, uint16_t tag, uint32_t* size);
// Ends a lock: a change is written back; the record is released.
void fg_unlock_field(RecordId id, uint16_t tag, int changed, uint8_t* data);
// Deletes the field; a record left without fields is deleted. 0, 5000 or the store's error.
int fg_delete_field(RecordId id, uint16_t tag);
// Called per field: 0 stops the walk. A callback that changed the data sets *changed.
using FieldVisit = int (*)(uint16_t tag, uint8_t* data, uint32_t size, void* user, int* changed);
// The tag where the callback stopped, 0 when it went through every field (or the record is
// missing); a reported change is written back. A damaged record is not walked: *error 5000.
uint16_t fg_for_each_field(RecordId id, FieldVisit visit, void* user, int* error = nullptr);
// Clears the record store's error word after a read that found no record.
void fg_clear_error();

// --- packed element blocks --------------------------------------------------------------------

// A new block of count empty elements; null without memory.
MemHandle var_packed_new(uint32_t count);
// The number of elements, 0 for a block whose offset table does not fit it.
uint32_t var_packed_count(MemHandle block);
// Replaces element index (null data: empty) with size bytes padded to even. The block, possibly
// moved; null without memory or for an index past the count or a damaged block (the old block
// is then untouched and still the caller's).
MemHandle var_packed_put(MemHandle block, uint32_t index, const void* data, uint32_t size);
// A new block with a copy of element index; null when it is empty, past the count or damaged.
MemHandle var_packed_get(MemHandle block, uint32_t index);

// --- the same on a record of the learner's records (slot 23) ----------------------------------

uint32_t urec_get_field(uint16_t number, uint16_t tag, void* buffer, uint32_t size);
int urec_put_field(uint16_t number, uint16_t tag, const void* data, uint32_t size);
uint8_t* urec_lock_field(uint16_t number, uint16_t tag, uint32_t* size);
uint16_t urec_for_each_field(uint16_t number, FieldVisit visit, void* user, int* error = nullptr);
