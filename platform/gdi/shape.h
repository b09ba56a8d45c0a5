// Lines and shapes drawn with the DC's pen (outline) and brush (inside), both through the
// DC's ROP2 mode, under GDI's pixel rules (gdi/scan.h):
// - a line leaves out its last pixel; polylines draw each segment so, and polygons close;
// - a rectangle's outline covers left..right-1 and top..bottom-1; without a pen its inside
//   covers the same less the right column and bottom row;
// - ellipses, round rectangles, arcs, pies and chords are symmetric within the box
//   left..right-1 by top..bottom-1 (one pixel less each way without a pen); their inside is
//   painted first and the outline over it;
// - polygons fill by the DC's fill mode (ALTERNATE or WINDING);
// - wide pens have round ends and joins and are centred on the outline.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

namespace plat {

// ExtFloodFill kinds.
enum : int {
    FLOODFILLBORDER = 0,
    FLOODFILLSURFACE = 1,
};

bool move_to_ex(DcHandle dc, int32_t x, int32_t y, Point* previous);
bool get_current_position_ex(DcHandle dc, Point& out);
// A line from the current position, which moves to (x, y).
bool line_to(DcHandle dc, int32_t x, int32_t y);
bool polyline(DcHandle dc, const Point* points, int count);
bool polygon(DcHandle dc, const Point* points, int count);
bool rectangle(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool round_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_width,
    int32_t corner_height);
bool ellipse(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
// The part of the ellipse counter-clockwise from the ray to (x3, y3) to the ray to (x4, y4).
bool arc(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
    int32_t y4);
bool pie(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
    int32_t y4);
bool chord(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
    int32_t y4);
// SetPixel: the colour really set (the ROP2 mode does not apply); CLR_INVALID outside the
// clip. GetPixel: the pixel's colour, CLR_INVALID outside the clip.
uint32_t set_pixel(DcHandle dc, int32_t x, int32_t y, uint32_t color);
uint32_t get_pixel(DcHandle dc, int32_t x, int32_t y);
// ExtFloodFill: fills with the brush the area connected to (x, y) (4-neighbours, inside the
// clip) that is not the colour (FLOODFILLBORDER) or is the colour (FLOODFILLSURFACE). False
// when the start pixel is outside the clip or does not qualify.
bool ext_flood_fill(DcHandle dc, int32_t x, int32_t y, uint32_t color, int type);
bool flood_fill(DcHandle dc, int32_t x, int32_t y, uint32_t color);

} // namespace plat
