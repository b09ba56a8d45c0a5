// A 32-bit pixel buffer: each top-level window draws into one, and the screen is composed from
// them. Pixels are 0x00RRGGBB; colours that programs pass (COLORREF) are 0x00BBGGRR and are
// converted at the edge. Drawing proper (blits, shapes, text) belongs to the GDI layer; this
// module only fills and copies, always clipped to the buffer.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/window/geometry.h"

namespace plat {

struct Surface {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0; // pixels from one row to the next
    std::vector<uint32_t> pixels;
};

// Each side is capped: a window may be larger than this, but only this much of it is kept,
// so a program asking for a huge window cannot exhaust memory.
constexpr int32_t kSurfaceMaxSide = 8192;

// Gives the surface a new size; pixels that stay inside keep their value, new ones get fill.
void surface_resize(Surface& surface, int32_t width, int32_t height, uint32_t fill = 0);
void surface_fill_rect(Surface& surface, const Rect& rect, uint32_t pixel);
// 0 outside the surface.
uint32_t surface_get_pixel(const Surface& surface, int32_t x, int32_t y);
// Copies source_rect of source to (x, y) of target, clipped on both sides.
void surface_copy(Surface& target, int32_t x, int32_t y, const Surface& source, const Rect& source_rect);

// RGB(r, g, b) as programs build COLORREF values.
constexpr uint32_t rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
constexpr uint32_t pixel_from_colorref(uint32_t color)
{
    return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}
constexpr uint32_t colorref_from_pixel(uint32_t pixel) { return pixel_from_colorref(pixel); }

} // namespace plat
