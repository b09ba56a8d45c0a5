// BMP files: a 14-byte file header ("BM", the file's size, two reserved words, the offset of
// the bits) followed by a BITMAPINFO and, at that offset, the bits.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/dib.h"

namespace plat {

constexpr size_t kBmpFileHeaderSize = 14;

struct BmpFile {
    std::span<const uint8_t> info; // header, masks and colour table
    std::span<const uint8_t> bits;
    DibFormat format;
};

// Finds the parts of a BMP file. False when it is damaged: no "BM", a header or table past
// the end, bits that start inside the table or past the end, fewer bits than the rows need.
// The spans point into file.
bool bmp_read(std::span<const uint8_t> file, BmpFile& out);
// The file as a packed DIB (BITMAPINFO and bits in one block).
bool bmp_to_packed_dib(std::span<const uint8_t> file, std::vector<uint8_t>& out);
// A BMP file holding a packed DIB.
bool bmp_from_packed_dib(std::span<const uint8_t> packed, std::vector<uint8_t>& out);

} // namespace plat
