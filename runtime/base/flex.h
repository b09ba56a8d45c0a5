// FlexBuffer: a growable output buffer that stays locked while it is filled and hands its
// block to the caller when finished. A buffer that fails once stays failed and has freed its
// block.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/base/mem.h"

struct FlexBuffer {
    MemHandle block;
    uint8_t* write = nullptr; // where the next byte goes, while the block is locked
    int64_t used = 0;
    int64_t free = 0;
    int64_t growth_step = 0;
    int32_t failed = 0;
};

// 1/0: allocates initial_size bytes (not zeroed) and locks them; a failure marks the buffer.
int flex_init(FlexBuffer& buffer, size_t initial_size, size_t growth_step);
// 1/0: appends length bytes, growing by length + the growth step when they do not fit.
int flex_append(FlexBuffer& buffer, const void* bytes, size_t length);
// The block, shrunk to the used length and owned by the caller, with that length; null and 0
// for a failed buffer.
MemHandle flex_finish(FlexBuffer& buffer, size_t* length);
