// Stored font records of a text-style record's fonts block, versions 1 to 3: {i16 version,
// i16 style bits, i16 flags, the platform-2 metrics (18 bytes in version 1, else 20), the
// platform-1 metrics (32 bytes and one more word in versions 1 and 2; 36 in version 3)}.
// Versions 1 and 2 take 60 bytes, version 3 takes 62.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/display/font.h"

// Stored font records (versions 1-3) of a text-style record's fonts block.
constexpr size_t kFontStoredSize12 = 60;
constexpr size_t kFontStoredSize3 = 62;
size_t font_stored_size(int version);
// The version when 1-3 and the record holds that many bytes, else 0.
int font_stored_valid(const uint8_t* record, size_t size);
// The point size of a stored record; made_on_platform2 receives its flag (may be null).
int32_t font_stored_point_size(const uint8_t* record, size_t size, int* made_on_platform2);
// Builds a description from a stored record and the face (the font-name entry's platform-1
// name) and measures it; false for a record that is not valid.
bool font_desc_from_stored(const uint8_t* record, size_t size, const char* face, const char* platform2_name,
    FontDesc* out);
// Byte-order conversion in place: the version, or 0 for an invalid record (left as it was).
int font_stored_swap(uint8_t* record, size_t size, int to_native);

// Appends a version-3 record of the description (62 bytes, native order).
void font_stored_write(const FontDesc& desc, std::vector<uint8_t>& out);
