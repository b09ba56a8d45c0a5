// Packed device-independent bitmaps: one movable block holding a BITMAPINFOHEADER (or a
// longer info header), its colour table (or the three bit-field masks) and the bits, in that
// order. The header arithmetic below decides where the bits start; every routine that reads a
// packed DIB checks the header, the table and the image size against the bytes that are there
// (dib_parts), so a damaged block is refused, never read past. Conversion from device
// bitmaps, drawing, and colour tables as palettes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"
#include "runtime/base/mem.h"
#include "runtime/base/rect.h"

using PackedDib = MemHandle;

// dib_from_bitmap flags: one row shorter than the bitmap (its top rows); any other bit asks
// for run-length compression of 4- and 8-bit DIBs.
constexpr uint32_t kDibOneRowShorter = 0x8000;
constexpr uint32_t kDibCompress = 0x0001;

// Header arithmetic over the bytes of a BITMAPINFOHEADER (0 when fewer than 40 bytes).
// Colour-table entries: 0 above 8 bits; 2 for 1 bit; for 2 to 4 bits biClrUsed when it is
// 1 to 15, else 16; for 5 to 8 bits biClrUsed when it is 1 to 255, else 256.
uint32_t dib_color_count(std::span<const uint8_t> header);
// 12 for BI_BITFIELDS (the masks), else 4 x the colour count.
uint32_t dib_color_table_bytes(std::span<const uint8_t> header);
// biSizeImage when nonzero; else the padded rows x |height|, half as much again for
// run-length images. 64-bit: a header may claim more than 4 GB.
uint64_t dib_image_size(std::span<const uint8_t> header);
// Where the bits start: the header's size + the colour table's bytes.
uint64_t dib_bits_offset(std::span<const uint8_t> header);

// A checked DIB: its header, the BITMAPINFO (header, masks and table) and its image bytes.
struct DibParts {
    plat::DibHeader header;
    std::span<const uint8_t> info;
    std::span<const uint8_t> bits;
};
// Checks a BITMAPINFO and bits held apart: a 40-byte or longer info header of a depth the
// platform draws, the whole table in info, and an image that fits in bits (the rows of an
// uncompressed DIB; biSizeImage, when given, of a run-length one). False when damaged.
bool dib_check(std::span<const uint8_t> info, std::span<const uint8_t> bits, DibParts& out);
// The parts of a packed DIB's bytes (the bits start at dib_bits_offset); false when damaged.
bool dib_parts(std::span<const uint8_t> packed, DibParts& out);
// Checked parts opened for reading rows of colours (plat::dib_read_row); false when the
// run-length stream is damaged. out keeps pointing into the parts' bits.
bool dib_open_parts(const DibParts& parts, plat::DibImage& out);

// A packed DIB of the bitmap (null on any failure). bits_per_pixel 0 takes the bitmap's own
// depth; the DIB gets 1 bit for 1, 4 bits for 2 to 4, 8 bits for 5 to 8, else 24. Colour
// tables come from the palette (null: the default palette), selected into a screen DC. The
// block holds exactly header + table + image, whatever its size.
PackedDib dib_from_bitmap(plat::GdiObject bitmap, uint32_t flags, int bits_per_pixel, plat::GdiObject palette);
// A packed DIB, in its own depth, of the bitmap selected into a memory DC (null without one).
PackedDib dib_from_dc(plat::DcHandle dc);
// Draws the source rectangle (image coordinates, y down from the top row; cut to the DIB) into
// the target rectangle with the raster operation. True when drawn, or when the target is not
// visible in the DC; false for a damaged DIB or a failed draw.
bool dib_draw(plat::DcHandle dc, PackedDib dib, const Rect& source, const Rect& target, uint32_t rop);
// The same over a checked DIB's parts.
bool dib_draw_parts(plat::DcHandle dc, const DibParts& parts, const Rect& source, const Rect& target, uint32_t rop);

// A palette of the colour table (red and blue swapped from the RGBQUAD order, flags 0); null
// for a damaged header or a DIB without a table.
plat::GdiObject dib_palette(std::span<const uint8_t> info);
// For each colour-table entry, the nearest index in the palette (bytes, out holding at least
// the colour count); the entries written, 0 without palette or with a damaged header.
uint32_t dib_map_to_palette(std::span<const uint8_t> info, std::span<uint8_t> out, plat::GdiObject palette);
// An RGBQUAD (blue, green, red, 0) of a COLORREF.
void dib_rgbquad(uint32_t color, uint8_t out[4]);
