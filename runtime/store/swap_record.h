// The byte-order converters of the stored record types: one table by record type (1-42 and
// 50-62), each entry a descriptor, a tagged-list kind or a converter of its own, and the format
// version stamped on directory entries of the type. A converter never trusts a count or an
// offset in the record: what reaches past the record's length is damage (5000).
#pragma once
#include "runtime/store/rec_types.h"

#include <cstddef>
#include <cstdint>

// Converts the record's unpacked bytes (its locked data block, at most unpacked_size bytes)
// to or from native order: 0; 5000 for a damaged record; 8005 when no conversion exists for
// the type (type 50, or a converter another module has not lent); 8006 for type -1, whose
// layout is unknown. Types outside the table convert to nothing (0). Sets the swap state for
// the duration.
int swap_record_by_type(const RecordDescriptor& record, int to_native);
// The same over bytes of the given type (the piece maker converts records it writes).
int swap_record_bytes(int type, uint8_t* data, size_t size, int to_native);
// 0x4001 for types 1-42, 50-62, -2 and -3; 1 for any other type.
uint16_t swap_type_version(int type);
// 1 when the type is one the converter table lists (1-42 and 50-62).
int swap_type_known(int type);

// Record type 37: a u32 offset table of 257 entries, then one TagList per node converted tag
// by tag. Swapping must be on.
int swap_property_group(uint8_t* data, size_t size, int to_native);
