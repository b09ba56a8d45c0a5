// Pixel formats of the GDI layer. A bitmap holds 1, 4 or 8 bits per pixel with a colour table,
// 16 bits as 5-5-5, 24 bits as blue, green, red bytes or 32 bits as 0x00RRGGBB; rows run top
// down, each padded to 4 bytes, the leftmost pixel of a byte in its high bits (the DIB order).
// A window's Surface is the 32-bit case. Drawing works on "values": a pixel as the format
// stores it (an index, a 5-5-5 word, 0x00RRGGBB), so that raster operations combine the bits
// the device holds, as GDI's do.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/surface.h"

namespace plat {

// Pixels a bitmap owns.
struct Pixmap {
    int32_t width = 0;
    int32_t height = 0;
    int bits_per_pixel = 1;
    size_t stride = 0; // bytes from one row to the next
    std::vector<uint8_t> bits;
    std::vector<uint32_t> colors; // 0x00RRGGBB, for 1 to 8 bits per pixel
};

// A view of pixels in one of the formats: a bitmap's or a window surface's.
struct PixelPlane {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    int bits_per_pixel = 32;
    const uint32_t* colors = nullptr;
    uint32_t color_count = 0;
};

// Largest bitmap the layer makes: a program asking for more gets a failure, not an abort.
constexpr int32_t kPixmapMaxSide = 1 << 16;
constexpr size_t kPixmapMaxBytes = size_t(1) << 28;

// Bytes of one row, padded to 4 bytes; 0 for a depth the layer does not keep.
size_t pixels_stride(int32_t width, int bits_per_pixel);
bool pixels_depth_supported(int bits_per_pixel);
// The bits a value of the depth holds (0xFFFFFF for 24 and 32: the top byte stays 0).
uint32_t pixels_value_mask(int bits_per_pixel);

// Zero-filled pixels with the depth's default colours; false when too large or the depth is
// not one of 1, 4, 8, 16, 24, 32.
bool pixmap_create(Pixmap& out, int32_t width, int32_t height, int bits_per_pixel);
PixelPlane pixmap_plane(Pixmap& pixmap);
PixelPlane surface_plane(Surface& surface);

// The colours a new bitmap of the depth gets: black and white for 1 bit, the sixteen VGA
// colours for 4 bits, the default palette's twenty colours at both ends for 8 bits.
std::vector<uint32_t> pixels_default_colors(int bits_per_pixel);
// The twenty static colours of the default palette (0x00RRGGBB), in palette order.
constexpr uint32_t kStaticColorCount = 20;
const uint32_t* pixels_static_colors();

// Values of count pixels of row y from x; the caller keeps the run inside the plane.
void pixels_read(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, uint32_t* values);
void pixels_write(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, const uint32_t* values);
uint32_t pixels_get(const PixelPlane& plane, int32_t x, int32_t y);
// Sets count pixels of row y from x to one value, as pixels_write of that value repeated.
void pixels_fill(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, uint32_t value);
// pixels_fill of every row of a rectangle the caller keeps inside the plane.
void pixels_fill_rect(const PixelPlane& plane, const Rect& rect, uint32_t value);

// A value's colour (0x00RRGGBB) and the value nearest to a colour. 5-bit fields widen by
// repeating their top bits; an index past the colour table is black.
uint32_t pixels_to_rgb(const PixelPlane& plane, uint32_t value);
uint32_t pixels_from_rgb(const PixelPlane& plane, uint32_t rgb);
void pixels_row_to_rgb(const PixelPlane& plane, const uint32_t* values, int32_t count, uint32_t* rgb);

// The first of the nearest colours (squared distance); count must be at least 1.
uint32_t pixels_nearest_index(const uint32_t* colors, uint32_t count, uint32_t rgb);

// Two planes whose values mean the same colours (same depth and colour table).
bool pixels_same_format(const PixelPlane& a, const PixelPlane& b);

} // namespace plat
