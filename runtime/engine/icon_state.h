// Icon state words: four bytes of run-time state per icon of the running piece, in one block
// that the learner's records keep (4 + 4 x node count bytes: an i32 1, then the entry of node n
// at 4 + 4n). Word 0 holds the display sequence number and flags, byte 2 the match count of a
// response, byte 3 more flags.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

// Word 0.
enum : uint16_t {
    kIconSeqMask = 0x01FF,
    kIconDone = 0x0200,
    kIconMovable = 0x0400,
    kIconDragMode4 = 0x0800,
    kIconMatchClear = 0x1000,
    kIconBranchShift = 13, // bits 13-14: the response's branch kind
    kIconAreaShown = 0x8000,
};

// Byte 3.
enum : uint8_t {
    kIconNotify = 0x01,
    kIconActive = 0x02,
    kIconChecked = 0x04,
    kIconTracking = 0x08,
};

// Node attributes the initial entries come from.
constexpr uint32_t kAttrMovable = 0x20306c0;
constexpr uint32_t kAttrBranchKind = 0x1000430;
constexpr uint32_t kAttrTracking = 0x2080001;
// The node-directory word naming a precomputed initial block.
constexpr uint32_t kDirInitialStates = 29;

// The entry's parts; icons outside the running piece or the block read 0 and take nothing.
uint16_t icon_state_word(IconId icon);
void icon_state_set_word(IconId icon, uint16_t word);
uint8_t icon_state_matches(IconId icon);
void icon_state_set_matches(IconId icon, uint8_t count);
uint8_t icon_state_flags(IconId icon);
void icon_state_set_flags(IconId icon, uint8_t flags);
uint16_t icon_state_seq(IconId icon);
void icon_state_set_seq(IconId icon, uint16_t number);
// The block's size in bytes (0 without one).
uint32_t icon_state_block_size();

// Slot 7.
int icon_states_module(ModuleMessage* message);
