// What the edit-field modules share inside the library: the lock of one operation and the
// table primitives. Not for callers outside runtime/ui.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/ui/edit_field.h"

// Locks the record and its tables for one operation; false for a null handle.
class EditAccess {
public:
    explicit EditAccess(EditHandle handle);
    ~EditAccess();
    EditAccess(const EditAccess&) = delete;
    EditAccess& operator=(const EditAccess&) = delete;
    explicit operator bool() const { return record_ != nullptr; }
    EditField* operator->() const { return record_; }
    EditField* get() const { return record_; }

private:
    EditHandle handle_;
    EditField* record_;
};

// Resizes a table block, keeping its lock and refreshing the cached address when set.
bool edit_table_resize(MemHandle block, size_t bytes, void** pointer);
bool edit_resize_lines(EditField* record, int32_t entries);
// How many of count bytes fit in max without splitting a double-byte character.
int32_t edit_fit_bytes(const char* bytes, int32_t count, int32_t max);
// Lowers the layout state to position (a pending move is applied first, so it is not lost).
void edit_lower_layout_state(EditField* record, int32_t position);
// Drops runs at or past the text end and empty runs, and joins neighbours of equal style.
void edit_merge_runs(EditField* record);
// Adds the pending move to every line entry (the layout module).
void edit_apply_pending_offset(EditField* record);
// Bytes of the character at position (2 for a lead byte with its trail inside the text).
int32_t edit_char_size(const EditField* record, int32_t position);
// The character boundary at or before position, within the text.
int32_t edit_char_boundary(const EditField* record, int32_t position);
// Index of the run that holds position: the last whose first character is at or before it.
int32_t edit_run_index_at(const EditField* record, int32_t position);
