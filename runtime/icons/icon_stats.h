// Icon statistics: one 38-byte record per container icon the engine touches (interactions,
// decisions, frameworks, responses), in creation order in one block kept with the learner's
// records (executor module slot 8). A record holds the child selected last, the perpetual-call
// mark, the erase bookkeeping of the icon's children and, for the modules that judge, tries,
// flags, stopwatches and times. Reads of an icon without a record answer 0; writes create it,
// unless the block is full (kIconStatsMax records), when they are lost.
#pragma once
#include "runtime/base/idset.h"
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>

constexpr int kIconStatsSize = 38;
// The block's end stays below 65536 bytes.
constexpr int kIconStatsMax = 1724;

// The record's fields, little-endian.
enum : uint32_t {
    kStatIcon = 0,          // IconId
    kStatSelected = 4,      // IconId: the response matched last, the path chosen, the page
    kStatTries = 8,         // u16
    kStatPathCount = 10,    // u16
    kStatFlags = 12,        // u16, bits below
    kStatInteractionClock = 14, // 6-byte stopwatch
    kStatResponseClock = 20, // 6-byte stopwatch
    kStatResponseTime = 26, // i32 ms
    kStatEraseSet = 30,     // u32 handle of the pending-erase IdSet, 0 for none
    kStatObjectMatched = 34, // IconId
};
enum : uint16_t {
    kStatFlagCallMark = 1 << 0,
    kStatFlagForceCaps = 1 << 1,
    kStatFlagStay = 1 << 2,
    kStatFlagTimeExpired = 1 << 3,
    kStatEraseBitsShift = 8,
};

IconId icon_stat_selected_child(IconId icon);
void icon_stat_set_selected_child(IconId icon, IconId child);
// The perpetual-call mark: set while a perpetual call into the container is active.
int icon_stat_call_mark(IconId icon);
void icon_stat_set_call_mark(IconId icon, int on);
// Bit m set: some child display waits for erase moment m.
int icon_stat_erase_bits(IconId icon);
void icon_stat_set_erase_bits(IconId icon, int bits);
// The pending-erase set (entries moment | sequence << 2), null when none. Setting frees the
// previous set; a set the record cannot take (the block is full) is freed: 1 when kept, else 0.
IdSet icon_stat_erase_set(IconId icon);
int icon_stat_set_erase_set(IconId icon, IdSet set);
// Visits every record's icon and pending-erase set (renumbering rewrites the sets).
using IconStatSetVisit = void (*)(IconId icon, IdSet set, void* user);
void icon_stat_for_each_set(IconStatSetVisit visit, void* user);

// Records in the block.
int icon_stats_count();
// Takes stored records (count of them) and the TagList of their pending-erase sets in place of
// the current ones: 0, or kErrStateSize (5001) when they do not fit, leaving no records.
int icon_stats_load(const uint8_t* block, size_t block_size, const uint8_t* list, size_t list_size, int count);

// Slot 8.
int icon_stats_module(ModuleMessage* message);
// Registers the module and lends the GoTo roads the selected child and the call mark.
void icon_stats_install();
// Frees every set and forgets the block (tests).
void icon_stats_reset();
