// DIBs into and out of DCs and bitmaps: StretchDIBits, SetDIBits, GetDIBits and
// CreateDIBitmap. The BITMAPINFO and the bits come as byte spans, so that nothing is read
// past what the caller holds. DIB colours go to a monochrome destination as the nearest of
// black and white; DIB_PAL_COLORS tables name entries of the DC's palette. Pixels a
// run-length DIB skips are left as they were.
#pragma once
#include <cstdint>
#include <span>

#include "platform/gdi/dib.h"
#include "platform/window/window_types.h"

namespace plat {

constexpr uint32_t CBM_INIT = 4;

// StretchDIBits: the source rectangle is in DIB pixels with y up from the bottom row for a
// bottom-up DIB (from the top for a top-down one). The number of source rows, 0 on failure.
int stretch_dib_bits(DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height, int32_t source_x,
    int32_t source_y, int32_t source_width, int32_t source_height, std::span<const uint8_t> bits,
    std::span<const uint8_t> info, uint32_t usage, uint32_t rop);
// SetDIBits: the stored rows [start, start + lines) that bits holds go into the bitmap (lines
// past the DIB's last row are dropped); stored row 0 is the bitmap's bottom row for a
// bottom-up DIB, its top row for a top-down one. The rows set, 0 on failure.
int set_dib_bits(DcHandle dc, GdiObject bitmap, uint32_t start, uint32_t lines, std::span<const uint8_t> bits,
    std::span<const uint8_t> info, uint32_t usage);
// GetDIBits: info holds a BITMAPINFOHEADER asking for a format (any depth; BI_RGB,
// BI_BITFIELDS, BI_RLE8, BI_RLE4; negative height for top-down). A bit count of 0 only fills
// the header with the bitmap's own format. Otherwise the header gets its image size and the
// colour table (8 bits and less: the bitmap's own table at its own depth, else black and
// white, the sixteen VGA colours, or the DC's palette; DIB_PAL_COLORS: indices 0, 1, ...) and,
// when bits is not empty, the stored rows [start, start + lines) are written there. The rows
// written (or the bitmap's height when no bits were asked for), 0 on failure.
int get_dib_bits(DcHandle dc, GdiObject bitmap, uint32_t start, uint32_t lines, std::span<uint8_t> bits,
    std::span<uint8_t> info, uint32_t usage);
// CreateDIBitmap: a bitmap compatible with the DC (monochrome without a DC), of the header's
// size, with the DIB's pixels when init holds CBM_INIT.
GdiObject create_dib_bitmap(DcHandle dc, std::span<const uint8_t> header, uint32_t init,
    std::span<const uint8_t> bits, std::span<const uint8_t> info, uint32_t usage);

// A packed DIB (BITMAPINFO followed by the bits) cut into its two parts; false when damaged.
bool dib_split_packed(std::span<const uint8_t> packed, std::span<const uint8_t>& info, std::span<const uint8_t>& bits);

} // namespace plat
