// Device-independent bitmaps: the BITMAPINFO that describes one (a 40-byte or newer header,
// or a 12-byte core header; bit-field masks; a colour table of RGB quads, RGB triples for core
// headers, or 16-bit indices into the DC's palette with DIB_PAL_COLORS) and the bits (rows of
// 1, 4, 8, 16, 24 or 32 bits per pixel padded to 4 bytes, bottom-up unless the height is
// negative, or a BI_RLE4 / BI_RLE8 stream). Every size and offset is checked against the
// bytes that are there before anything is read or allocated.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/window/geometry.h"

namespace plat {

enum : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
};

enum : uint32_t {
    DIB_RGB_COLORS = 0,
    DIB_PAL_COLORS = 1,
};

constexpr size_t kBitmapCoreHeaderSize = 12;
constexpr size_t kBitmapInfoHeaderSize = 40;
// Sides and pixel counts past these are refused as damage: no picture the programs draw
// comes near them, and a header claiming more must not make us allocate it.
constexpr int32_t kDibMaxSide = 1 << 16;
constexpr uint64_t kDibMaxPixels = uint64_t(1) << 24;

// BITMAPINFOHEADER's fields (a core header fills width, height, planes and bit count).
struct DibHeader {
    uint32_t size = kBitmapInfoHeaderSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bit_count = 0;
    uint32_t compression = BI_RGB;
    uint32_t size_image = 0;
    int32_t x_pels_per_meter = 0;
    int32_t y_pels_per_meter = 0;
    uint32_t clr_used = 0;
    uint32_t clr_important = 0;
};

// What a checked BITMAPINFO says.
struct DibFormat {
    DibHeader header;
    int32_t width = 0;
    int32_t height = 0; // rows, positive
    bool top_down = false;
    int bits = 0;
    uint32_t masks[3] = {}; // red, green, blue for 16 and 32 bits
    uint32_t color_count = 0;
    size_t table_offset = 0;
    size_t entry_size = 4;
    size_t info_size = 0; // header, masks and table: where a packed DIB's bits start
};

// Colour-table entries: 2 for 1 bit; biClrUsed when it is 1 to 2^n - 1, else 2^n, for 4 and 8
// bits; biClrUsed above 8 bits (a table a palette device may use; the bits do not).
uint32_t dib_color_count(const DibHeader& header);
// Bytes of a row: (bits x width + 31) / 32 x 4.
size_t dib_stride(int32_t width, int bits);
// Reads and checks a header alone (CreateDIBitmap's), without masks or table.
bool dib_read_header(std::span<const uint8_t> header, DibHeader& out);
// Reads and checks a BITMAPINFO; usage says whether the table holds quads or palette indices.
bool dib_read_format(std::span<const uint8_t> info, uint32_t usage, DibFormat& out);
// Writes a 40-byte BITMAPINFOHEADER.
void dib_write_header(const DibHeader& header, uint8_t* out);

// A DIB ready to be read row by row.
struct DibImage {
    DibFormat format;
    std::vector<uint32_t> colors; // 0x00RRGGBB per index: 2^bits entries, those past the table black
    std::span<const uint8_t> bits;
    int32_t first_row = 0; // the stored rows [first_row, first_row + row_count) are present
    int32_t row_count = 0;
    std::vector<uint8_t> indices, present; // a run-length image, decoded
};

// Opens a DIB whose bits hold the stored rows [first_row, first_row + row_count) (all rows for
// run-length images). palette gives the colours of DIB_PAL_COLORS tables. False for a damaged
// header, too few bits or a damaged run-length stream.
bool dib_open(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t usage,
    const std::vector<uint32_t>& palette, int32_t first_row, int32_t row_count, DibImage& out);
// The rows an open DIB holds, top-down image coordinates.
Rect dib_rows_rect(const DibImage& image);
// Colours (0x00RRGGBB) of count pixels from x of image row y (0 at the top); present (may be
// null) gets 0 where a run-length image left the pixel alone.
void dib_read_row(const DibImage& image, int32_t y, int32_t x, int32_t count, uint32_t* rgb, uint8_t* present);
// Stores one row: indices for 1 to 8 bits, colours (0x00RRGGBB) above.
void dib_write_row(const DibFormat& format, const uint32_t* values, int32_t width, uint8_t* out);

} // namespace plat
