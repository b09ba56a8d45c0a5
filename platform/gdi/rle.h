// Run-length compression of 4- and 8-bit DIBs (BI_RLE4, BI_RLE8). A stream is pairs of
// bytes: a count and a value (a run; for 4 bits the value's two nibbles alternate), or 0
// and an escape: 0 end of line, 1 end of bitmap, 2 a move right and up by the next two
// bytes, 3 or more that many literal pixels padded to a 2-byte boundary. Rows are stored
// bottom-up; pixels a stream moves over keep their old value.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace plat {

// Decodes into indices and present flags (width x height each, rows as stored, row 0 at the
// bottom; present[i] = 1 where the stream set the pixel). Pixels in a row's padding are
// dropped (encoders code whole stored rows). False for a damaged stream: a run or literal
// past its stored row, a move past the image, pixels past the last row, a stream that ends
// before its end-of-bitmap mark, or a size too large to be real.
bool rle_decode(std::span<const uint8_t> data, int bits, int32_t width, int32_t height,
    std::vector<uint8_t>& indices, std::vector<uint8_t>& present);

// Encodes rows of indices (width per row, rows as stored) as BI_RLE8 or BI_RLE4.
void rle_encode(const uint8_t* indices, int bits, int32_t width, int32_t height, std::vector<uint8_t>& out);

} // namespace plat
