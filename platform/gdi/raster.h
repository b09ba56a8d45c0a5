// Where one drawing call lands: the pixels a DC draws into, its clip in those pixels, and the
// DC's colours resolved for them; and painting spans and rectangles there with a paint (a
// solid value or an 8 x 8 pattern) through a ROP3 code. Every drawing call opens a target,
// paints, and closes it, which tells the backend what changed on a window's surface.
// Text drawing builds on blend_mono_mask.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/pixels.h"
#include "platform/gdi/region.h"

namespace plat {

struct RasterTarget {
    DcHandle dc;
    PixelPlane plane; // no pixels for the screen DC: it shows nothing
    Point offset;     // plane pixel = device pixel + offset
    Region clip;      // plane coordinates
    bool window = false;
    Rect changed;     // plane coordinates
    DcAttributes attr; // a copy: painting cannot change the DC
    uint32_t text_rgb = 0, bk_rgb = 0;     // 0x00RRGGBB
    uint32_t text_value = 0, bk_value = 0; // as the plane stores them
};

// False for a bad DC or an information context.
bool raster_open(DcHandle dc, RasterTarget& out);
void raster_close(RasterTarget& target);

// A colour's plain RGB (COLORREF) with the DC's palette; its value in the plane.
uint32_t raster_resolve(const RasterTarget& target, uint32_t color);
uint32_t raster_value(const RasterTarget& target, uint32_t color);

struct RasterPaint {
    uint8_t rop = 0xF0; // over pattern (this paint) and destination
    bool patterned = false;
    uint32_t solid = 0; // a plane value
    int32_t pattern_width = 8, pattern_height = 8;
    uint32_t pattern[64] = {}; // plane values, 8 per row
    Point pattern_origin;      // plane pixel of cell (0, 0)
};

RasterPaint raster_solid(uint32_t value, uint8_t rop);
// The brush's paint (monochrome patterns take the text colour for 0 bits and the background
// colour for 1 bits); false for the null brush or a bad handle.
bool raster_brush(const RasterTarget& target, GdiObject brush, uint8_t rop, RasterPaint& out);
// The DC's pen as a paint with its ROP2 mode, and its width in device pixels; false for the
// null pen.
bool raster_pen(const RasterTarget& target, RasterPaint& out, int32_t& width);

// Spans and rectangles in device coordinates, clipped.
void raster_spans(RasterTarget& target, const RasterPaint& paint, const std::vector<Span>& spans);
void raster_fill(RasterTarget& target, const RasterPaint& paint, const Rect& device);
// fill_rect's and pat_blt's common case straight into a memory DC's bitmap: a solid brush
// through PATCOPY, at most one clip rectangle and an unscaled mapping, filled row by row
// without opening a target. The pixels are raster_fill's; false (nothing drawn) for anything
// else, which takes the general path.
bool raster_quick_fill(DcHandle dc, const Rect& logical, GdiObject brush, uint8_t rop);
// The device rectangle that holds everything drawable: shapes scan only these rows.
Rect raster_window(const RasterTarget& target);

// A 1-bit mask (rows top-down, leftmost pixel in the high bit, 1 = ink).
struct MonoMask {
    const uint8_t* bits = nullptr;
    size_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
};
// Paints the mask's 1 pixels with the colour through the DC's clip, the top-left at the
// logical point (not scaled by the mapping), combined by the ROP3 code (PATCOPY: plain ink).
bool blend_mono_mask(DcHandle dc, int32_t x, int32_t y, const MonoMask& mask, uint32_t color, uint32_t rop);

} // namespace plat
