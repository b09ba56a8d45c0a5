// The trigger block as stored: records of 46 + 10n bytes, walked by their lengths and ended by
// a record of kind 1 and length 46. Records are named by their offset, never by a pointer, as
// the block moves when it grows; compaction waits while a walk is in progress.
#pragma once
#include "runtime/calc/value.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Field offsets of a record.
enum : size_t {
    kTrigAtLength = 0, // u16
    kTrigAtKind = 2, // i32
    kTrigAtHolder = 6, // IconId holding the property
    kTrigAtProperty = 10, // u16
    kTrigAtFlags = 12, // u16
    kTrigAtHeld = 14, // ScriptValue
    kTrigAtArgument = 30, // i32
    kTrigAtContext = 34, // IconId
    kTrigAtPeriod = 38, // u32 ms
    kTrigAtMask = 42, // u32
    kTrigAtDeps = 46,
};

struct TrigDep {
    uint16_t event = 0;
    int32_t value = 0;
    int32_t context = 0;
};

struct TrigBlock {
    std::vector<uint8_t> bytes; // its size is the capacity
    uint16_t used = 0;
    int walk_depth = 0;
    bool needs_compaction = false;
};

// An empty block of 528 bytes holding the end record.
void tblock_init(TrigBlock& block);
// Room for free_bytes more: the block grows to what it needs + 528; 0 when that would reach
// 32240 bytes.
int tblock_reserve(TrigBlock& block, size_t free_bytes);
// Inserts a record before the end record: 1 with its offset in out, 0 when the block cannot
// grow.
int tblock_insert(TrigBlock& block, const uint8_t* record, size_t length, size_t* out);
// Moves the live records down over deleted ones, unless a walk is in progress.
void tblock_compact(TrigBlock& block);
// 1 when used bytes are whole records of 46 + 10n bytes, of kinds 0 and 2..9, with the end
// record last and nowhere else, below the size limit.
int tblock_check(const uint8_t* bytes, size_t used);

// The walk: the first record, the one after, and whether at is the end record.
inline size_t tblock_first(const TrigBlock&) { return 0; }
size_t tblock_next(const TrigBlock& block, size_t at);
bool tblock_at_end(const TrigBlock& block, size_t at);

// Fields.
uint16_t tblock_u16(const TrigBlock& block, size_t at, size_t field);
uint32_t tblock_u32(const TrigBlock& block, size_t at, size_t field);
void tblock_put_u16(TrigBlock& block, size_t at, size_t field, uint16_t value);
void tblock_put_u32(TrigBlock& block, size_t at, size_t field, uint32_t value);
inline int32_t tblock_kind(const TrigBlock& b, size_t at) { return int32_t(tblock_u32(b, at, kTrigAtKind)); }
inline bool tblock_live(const TrigBlock& b, size_t at)
{
    int32_t kind = tblock_kind(b, at);
    return kind >= 2 && kind <= 9;
}
inline uint16_t tblock_flags(const TrigBlock& b, size_t at) { return tblock_u16(b, at, kTrigAtFlags); }
inline void tblock_set_flags(TrigBlock& b, size_t at, uint16_t flags) { tblock_put_u16(b, at, kTrigAtFlags, flags); }
ScriptValue tblock_held(const TrigBlock& block, size_t at);
void tblock_set_held(TrigBlock& block, size_t at, const ScriptValue& value);
size_t tblock_dep_count(const TrigBlock& block, size_t at);
TrigDep tblock_dep(const TrigBlock& block, size_t at, size_t index);
void tblock_set_dep(TrigBlock& block, size_t at, size_t index, const TrigDep& dep);

// A stored dependency list's dependency count, or -1 when it is not 12 + 10n bytes or its
// record would reach the size limit.
int tblock_list_deps(size_t length);
