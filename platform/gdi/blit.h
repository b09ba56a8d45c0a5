// Blits: copying pixels between DCs (and from DIBs, gdi/dib_blit.h) through any ROP3 code,
// with Win32's conversions: a monochrome source draws its 0 bits in the destination's text
// colour and its 1 bits in its background colour; a colour source drawn on a monochrome
// destination gives 1 where a pixel equals the source DC's background colour and 0
// elsewhere. Stretching maps each destination pixel to the source pixel floor(i x source /
// destination) away from the source's edge; when shrinking, BLACKONWHITE ANDs and
// WHITEONBLACK ORs the source pixels a destination pixel covers, COLORONCOLOR and HALFTONE
// keep one. Opposite signs of source and destination extents mirror. Destination pixels
// whose source lies outside the source's pixels are left alone.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/gdi/raster.h"
#include "platform/window/window_types.h"

namespace plat {

bool bit_blt(DcHandle dest, int32_t x, int32_t y, int32_t width, int32_t height, DcHandle source,
    int32_t source_x, int32_t source_y, uint32_t rop);
bool stretch_blt(DcHandle dest, int32_t x, int32_t y, int32_t width, int32_t height, DcHandle source,
    int32_t source_x, int32_t source_y, int32_t source_width, int32_t source_height, uint32_t rop);
// PatBlt: a code that uses a source fails.
bool pat_blt(DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);
// FrameRect: a one-pixel border inside the rectangle, in the brush.
int frame_rect(DcHandle dc, const Rect& rect, GdiObject brush);
// InvertRect: DSTINVERT over the rectangle.
bool invert_rect(DcHandle dc, const Rect& rect);
// FillRgn: the region (logical coordinates) in the brush.
bool fill_rgn(DcHandle dc, GdiObject region, GdiObject brush);

// For the DIB module: a source of pixel rows in its own coordinates.
struct BlitSource {
    Rect bounds;      // the pixels that exist; reads stay inside
    bool mono = false; // values are bits (0: text colour, 1: background colour), else 0x00RRGGBB
    // A DC source converts to monochrome by its background colour (1 where equal), others
    // by the nearest of black and white.
    bool mono_by_background = false;
    uint32_t background_rgb = 0;
    bool has_gaps = false; // run-length images skip pixels: present[i] = 0 leaves them alone
    const void* context = nullptr;
    void (*read)(const void* context, int32_t x, int32_t y, int32_t count, uint32_t* values, uint8_t* present) = nullptr;
    const PixelPlane* plane = nullptr; // a DC's pixels: same-format copies go straight
    Point plane_offset;                // plane pixel = source pixel + plane_offset
};

// A rectangle by corner and extents; negative extents run left or up (and mirror).
struct BlitArea {
    int64_t x = 0, y = 0, width = 0, height = 0;
};

// A logical rectangle by corner and extents in device pixels, the extents keeping their sign.
BlitArea blit_map_area(const DcMapping& mapping, int32_t x, int32_t y, int32_t width, int32_t height);
// One blit into an open target, device coordinates; the pattern is the DC's brush.
void blit_run(RasterTarget& target, const BlitArea& dest, const BlitSource& source, const BlitArea& from, uint8_t rop);

} // namespace plat
