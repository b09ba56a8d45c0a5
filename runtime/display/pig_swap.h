// Byte-order conversion of picture streams. Pieces written on the other platform store their
// pictures big-endian, with rectangles as top, left, bottom, right and points as y, x:
// reversing each half of a rectangle and each point as one 32-bit unit gives the native
// order, and back. Counts and offsets that steer the walk are read in native form. Palette
// maps are recomputed for the piece's palette on the way.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/display/pig_stream.h"

// 0, 3 when the picture cannot be opened, 11 on overrun (the stream is then partly
// converted), or a converter's result. from_foreign 1: big-endian to native; 0: back.
int pig_swap(MemHandle picture, int32_t file_slot, int32_t unused, int from_foreign);
// The same over bytes the caller holds.
int pig_swap_bytes(uint8_t* bytes, size_t size, int from_foreign);
void pig_table_init_swap(PigHandlerTable* table);

// Lends the record store the converter of picture records (type 52).
void pig_swap_lend_converter();
