// Free space of an editable record file: the table of holes (free ranges of the data area)
// that new and grown records are fitted into, best fit first, merged with their neighbours
// when freed; growing and trimming the data area in whole clusters; closing the holes by
// moving data down; and setting up an empty record file.
#pragma once
#include "runtime/store/rec_file.h"

#include <cstddef>
#include <cstdint>

// Compaction modes.
enum : int {
    kCompactNone = 0,
    kCompactNew = 1, // only the area allocated since the file was opened or last flushed
    kCompactAll = 2, // the whole data area: moves committed data, so only for a copy
};

// Rebuilds the holes from the used areas: every entry's stored bytes, the directory's place,
// the additional area (when it is not the directory's), the headers and the end of the data
// area. 0 or 8.
int rec_build_holes(RecordFileState& state, int64_t additional_offset, int64_t additional_size);
// Takes the smallest hole of at least size bytes, handing back what it does not need: the
// offset, or 0 when no hole is large enough.
int64_t rec_take_hole(RecordFileState& state, int64_t size);
// Returns a range to the holes, merged with the holes it touches.
void rec_free_space(RecordFileState& state, int64_t offset, int64_t size);
void rec_remove_hole(RecordFileState& state, size_t index);
// Cuts a hole that ends at the end of the data area off the data area.
int rec_trim_tail(RecordFileState& state);
// Grows (or, negative, shrinks) the data area; the file is lengthened in whole clusters when it
// is too short. Never below the end at open, nor past 2^31 - 1 (112). 0 or the file layer's
// error.
int rec_extend(RecordFileState& state, int64_t size);
// Closes the holes from the mode's start by moving the data above them down, moves the entries
// with it and cuts the file: 0, 8 or the file layer's error.
int rec_compact(RecordFileState& state, int mode);
// An empty, dirty record file of layout 5 whose data area ends after the header. 0 or an error.
int rec_file_create_empty(RecordFileState& state);
