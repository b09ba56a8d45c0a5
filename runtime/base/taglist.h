// TagList: the runtime's record of optional properties, a list of tagged byte strings in one
// movable block, also the stored form of icon properties, jump records and the learner's
// records: {u16 tag (1 up), u16 length, data, a pad byte when the length is odd} repeated, ended
// by a u16 tag 0. Each tag occurs once. A list grows as far as memory allows; one record holds
// at most 65498 bytes because its length field is 16-bit.
//
// The pointer forms read a list at an address with the bytes available there (a locked block,
// or a slot inside a larger record); every walk stays inside those bytes, and a list that runs
// out of them before its terminator reads as absent records and size 0. The handle forms take
// the list's handle, or for writers the address of the handle variable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/base/mem.h"

using TagList = MemHandle;

constexpr uint32_t kTagListMaxData = 65498;

// Called for each record: returns 0 to stop; whatever it leaves in *flags (0 on entry) is
// ORed into the walk's flags.
using TagVisit = int (*)(uint16_t tag, const uint8_t* data, uint16_t length, void* user, uint32_t* flags);

// A new empty list; null when out of memory.
TagList taglist_new();
void taglist_free(TagList list);
// 2: the terminator alone.
size_t taglist_empty_size();
// Bytes up to and including the terminator; 0 for null or a list without terminator.
size_t taglist_size(const uint8_t* list, size_t bytes);
// 0 when the bytes hold a whole list; kErrFileDamaged when a record or the terminator is missing.
int taglist_check(const uint8_t* list, size_t bytes);
// taglist_check over a loaded block.
int taglist_attach(TagList list);
// Nonzero when the list holds no record (null and damaged lists too).
int taglist_is_empty(TagList list);
// The data length of the tag's record; 0 when absent.
uint16_t taglist_item_length(const uint8_t* list, size_t bytes, uint16_t tag);
// Copies the data and zero-fills the rest of buffer; the bytes copied. An absent tag or data
// longer than buffer copies nothing and zero-fills buffer (0); a null list leaves it alone.
uint16_t taglist_get(const uint8_t* list, size_t bytes, uint16_t tag, void* buffer, uint16_t size);
// Copies min(size, length) bytes and puts a NUL on the last copied byte; returns its index.
// Absent or null list: "" and 0.
size_t taglist_get_string(const uint8_t* list, size_t bytes, uint16_t tag, char* buffer, size_t size);
// A new block holding a copy of the data; null when absent, kMemFailed when out of memory.
MemHandle taglist_get_handle(TagList list, uint16_t tag);
// The record's data with the block left locked (and its length); null, unlocked, when absent.
uint8_t* taglist_lock_item(TagList list, uint16_t tag, uint16_t* length);
// Unlocks the block when data is not null.
void taglist_unlock_item(TagList list, const uint8_t* data);
// 1/0: adds the record, replaces its data (resizing it) or, with length 0, deletes it (1).
// Tag 0, a length above 65498 and a damaged list are refused. With null data the room is
// reserved and its bytes left as they are. Failures leave the list as it was.
int taglist_put(TagList* list, uint16_t tag, const void* data, uint32_t length);
// As taglist_put; force is kept for the writers of whole stored records, which set it. Lists
// are not held to 65504 bytes either way.
int taglist_put_ex(TagList* list, uint16_t tag, const void* data, uint32_t length, int force);
// The data comes from a block: null deletes the record (1); a discarded block or a length
// beyond it fails (0).
int taglist_put_handle(TagList* list, uint16_t tag, MemHandle data, uint32_t length);
// Stores text with its NUL; an empty text deletes the record.
int taglist_put_string(TagList* list, uint16_t tag, const char* text);
// Removes the tag's record when present; 1 when it was.
int taglist_delete(TagList list, uint16_t tag);
// Visits the records in order; the tag at which visit returned 0, or 0. The visitor may change
// the list: the walk reads the block again after each call.
uint16_t taglist_for_each(TagList list, TagVisit visit, void* user, uint32_t* flags);
// The same over a list at an address, which the visitor must leave alone.
uint16_t taglist_for_each_locked(const uint8_t* list, size_t bytes, TagVisit visit, void* user, uint32_t* flags);
