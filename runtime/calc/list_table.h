// The object table of list values: each live list, rect or point under a 32-bit id with a
// stamp (a generation counter checked on every lookup, so a stale value never reaches a newer
// object in its slot) and a 32-bit reference count.
#pragma once
#include <cstdint>

#include "runtime/base/mem.h"
#include "runtime/calc/value.h"

constexpr uint32_t kListNotLive = 0xFFFF;

// Start-up and release: 1 ok, 0 no memory.
int list_tables_init();
void list_tables_free();

// A new object of kind 5-9 with count copies of out (the empty string for a new value) and
// one reference; out names it. 0 when it could not be made.
int list_new(int kind, int count, ScriptValue& out);
// 1 when the value names a live object.
int list_is_live(const ScriptValue& v);
// The new count, or kListNotLive.
uint32_t list_add_ref(const ScriptValue& v);
// The remaining count (kListNotLive when not live); at 0 the object and its elements go.
uint32_t list_release(const ScriptValue& v);

// Element count, 0 for a non-object.
int list_count(const ScriptValue& v);
// Element i of the object's main half (keys of property lists): 0 or 8004.
int list_get_element(const ScriptValue& v, int i, ScriptValue& out);
int list_set_element(const ScriptValue& v, int i, const ScriptValue& x);
// The text form with a NUL: a block the caller owns, null on failure.
MemHandle list_to_text(const ScriptValue& v, int use_default, uint32_t format, int escape);

// Value-level element functions: 0, 8, 8004 (no live object of a fitting kind, an index
// outside the list, a cycle or nesting too deep) or 8010.
// Rect, point and linear list: element i (1-based); setting past the count of a linear list
// fills with integer 0.
int list_get_at(const ScriptValue& list, int i, ScriptValue& out);
int list_set_at(const ScriptValue& list, int i, const ScriptValue& x);
int list_append(const ScriptValue& list, const ScriptValue& x);
// Property and event lists: the value of the first key equal to key (element comparison).
int list_prop_get(const ScriptValue& list, const ScriptValue& key, ScriptValue& out);
// Sets the value of the first equal key, or appends the pair.
int list_prop_set(const ScriptValue& list, const ScriptValue& key, const ScriptValue& x);
// Adds the pair: at its key's place in a sorted list (the order stays), else at the end.
int list_prop_add(const ScriptValue& list, const ScriptValue& key, const ScriptValue& x);
// Property and event lists: key and value of pair i.
int list_prop_key_at(const ScriptValue& list, int i, ScriptValue& out);
int list_prop_value_at(const ScriptValue& list, int i, ScriptValue& out);
// Property and event lists: sets key and value of pair i (past the count: fills with pairs of
// integer 0 up to i), or inserts the pair before pair i (past the count: after such pairs).
int list_prop_set_at(const ScriptValue& list, int i, const ScriptValue& key, const ScriptValue& x);
int list_prop_insert_at(const ScriptValue& list, int i, const ScriptValue& key, const ScriptValue& x);
// Rect and point fields; the setters signal the holders. 0, or 8004 for another kind.
int list_rect_get(const ScriptValue& rect, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
int list_rect_set(const ScriptValue& rect, int32_t left, int32_t top, int32_t right, int32_t bottom);
int list_point_get(const ScriptValue& point, int32_t* x, int32_t* y);
int list_point_set(const ScriptValue& point, int32_t x, int32_t y);
// -1, 0 or 1: numbers as doubles, texts and symbols as text, a scalar below a list, lists by
// element count.
int list_compare_elements(const ScriptValue& a, const ScriptValue& b);

// Linear lists: inserts before element i (past the count: fills with integer 0 up to i).
int list_insert_at(const ScriptValue& list, int i, const ScriptValue& x);
// Deletes element i (a pair of property lists): 0 or 8004.
int list_delete_at(const ScriptValue& list, int i);
// Sorts ascending (1) or descending (2) by element comparison (pairs by key) and records the
// order, which every change but list_add clears. 0.
int list_sort(const ScriptValue& list, int order);
int list_sort_order(const ScriptValue& list);
// Sorted insertion into a linear list (appends without an order): the new index, 0 on failure.
int list_add(const ScriptValue& list, const ScriptValue& x);
// The 1-based index of the first element equal to x (keys, or values when asked), 0 when none;
// a sorted list is searched by halving.
int list_find_value(const ScriptValue& list, const ScriptValue& x, int search_values);

// Holders: each variable holding a list is signalled (trig_mark_variable) when the list, or a
// list inside it, changes. A holder is a variable {1, variable, icon} or a list that contains
// the object {2, list id, 0}; its record is 8 bytes {u16 kind, u32 id, u16 icon}.
enum : uint16_t {
    kHolderVariable = 1,
    kHolderList = 2,
};
struct ListHolder {
    uint16_t kind;
    uint32_t id;
    uint16_t icon;
};
constexpr uint32_t kListHolderBytes = 8;

// 0, or 8004 when the value names no live object (drop: or the holder is not there).
int list_add_holder(const ListHolder& holder, const ScriptValue& v);
int list_drop_holder(const ListHolder& holder, const ScriptValue& v);
int list_add_var_holder(uint32_t variable, uint16_t icon, const ScriptValue& v);
int list_drop_var_holder(uint32_t variable, uint16_t icon, const ScriptValue& v);
int list_notify_holders(uint32_t id);
// Copies of the object's holder records and their bytes in *size; none when it has none.
MemHandle list_collect_holders(uint32_t id, uint32_t* size);
// A holder chain of its own made of records (whole 8-byte records of kind 1 or 2): its first
// slot, which a restored object takes over; 0 for no records or a damaged one.
uint32_t list_insert_holders(const uint8_t* records, uint32_t size);
void list_free_holder_chain(uint32_t first);

// Marks, for saving each list once.
void list_clear_marks();
void list_set_mark(const ScriptValue& v, uint16_t mark);
uint16_t list_get_mark(const ScriptValue& v);
// The id when the value still names its live object (same id and stamp), else 0.
uint32_t list_check_value(const ScriptValue& v);

// Saved blocks: {u8 kind, u32 h, u32 n, u32 e, holders, elements (keys), values}.
MemHandle list_save_value(const ScriptValue& v, uint32_t* size);
// Calls visit on each 16-byte element slot (keys, then values) of a saved block of a linear,
// property or event list, for callers that rewrite elements before storing it; false when the
// block's fields do not fit its size (nothing visited).
bool list_saved_slots(uint8_t* block, size_t size, void (*visit)(uint8_t* slot, void* user), void* user);
int list_restore_begin();
// value holds the kind and the stored id: 0 (value now names the new object, keeping the
// stored id, which lookups map until list_restore_end), 8004 for a damaged block or kind,
// 8006 without list_restore_begin.
int list_restore_value(const uint8_t* block, size_t size, ScriptValue& value);
uint32_t list_map_restored_id(uint32_t stored);
int list_add_restored_id(uint32_t stored, uint32_t new_id);
// Maps the ids of object elements of every restored list, then forgets the map. 0.
int list_restore_end();
