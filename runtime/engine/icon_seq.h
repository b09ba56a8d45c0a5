// Display sequence numbers: 9-bit numbers stamped on icons and their display objects when they
// run, so that "everything shown since icon X ran" is a range of numbers. A counter (1..511),
// a list of erased ranges, and a renumbering that compacts the numbers when they run out.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

constexpr int kSeqCounterMax = 511;
// Renumbering gives up (and warns once) at this many groups.
constexpr int kSeqMaxBoundaries = 506;

int icon_seq_counter();
// A fresh number: renumbers first when the counter has reached 511; the counter stays at 511
// when renumbering cannot make room, so a number never spills out of its 9 bits.
uint16_t icon_seq_next();
// The icon's number when it is not 0 and not erased, else 0.
uint16_t icon_seq_live(IconId icon);
// high 0 means counter - 1; an overlapping range is widened, else the range is added.
void icon_seq_mark_erased(int low, int high);
int icon_seq_is_erased(int number);
void icon_seq_renumber();
// The 1-based position of the greatest boundary not above the number (ascending boundaries);
// 0 when none: a number's new value after renumbering.
int icon_seq_position(const uint16_t* boundaries, int count, int number);
// The erased ranges, low and high in turn (tests).
int icon_seq_range_count();
void icon_seq_range(int n, int* low, int* high);

// Slot 10.
int icon_seq_module(ModuleMessage* message);
// Counter 1, no ranges, the warning may show again (tests).
void icon_seq_reset();
void icon_seq_set_counter(int counter);
