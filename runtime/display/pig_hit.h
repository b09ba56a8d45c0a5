// Hit testing of picture streams: each element tests itself against the pointer's test
// rectangle with the shape tests of the drawing primitives, images look at their pixels, mask
// or hit mask by the drawing mode, and the first element hit ends the run with 13.
#pragma once
#include <cstdint>

#include "runtime/display/pig_stream.h"

// The hit table's handlers.
void pig_hit_table_init(PigHandlerTable* table);

// 13 when something is hit, 0 when nothing is, else 2 (no picture), 4, 11 or 15. A nonzero
// flag word keeps embedded text from hitting. x, y and test are in picture coordinates.
int pig_hit_test(MemHandle picture, int32_t file_slot, int32_t x, int32_t y, const Rect* test, int32_t flags);
