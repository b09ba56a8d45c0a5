// Drawing primitives over one DrawStyle: rectangles, ellipses, rounded rectangles, arcs, pies,
// polygons and lines with arrow heads, shared by the shape objects, pictures, buttons and the
// graphics functions. Modes 0..7 decide pen, brush and raster operation; modes 1 and 3 with
// fill on draw each shape twice (white pen merged, then the real pen masked). The colour
// passed to each call is the stage background colour (mode 3 draws with it).
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/base/rect.h"

struct DrawStyle {
    uint8_t mode = 4;
    uint8_t flag1 = 1;
    uint8_t flag2 = 0;
    uint8_t arrows = 0; // 1 at the start, 2 at the end, 3 both
    int16_t fill_on = 1;
    uint32_t fill_color = 0x000000;
    uint32_t fill_back_color = 0xFFFFFF;
    uint32_t spare = 0;
    uint8_t fill_pattern[8] = {};
    int16_t line_on = 1;
    int16_t line_width = 1;
    int16_t line_height = 1;
    uint32_t line_color = 0x000000;
    uint32_t line_back_color = 0xFFFFFF;
    uint8_t line_pattern[8] = {};
    // Picture runs only (never stored with shapes): the colour-table block's id and whether
    // its entries are palette indexes.
    uint32_t color_table = 0;
    int16_t palette_map = 0;
};

// The 48 stored bytes that shape records keep (little-endian, offsets as listed above).
constexpr uint32_t kDrawStyleStoredSize = 48;
DrawStyle gdi_style_load(const uint8_t* bytes);
void gdi_style_store(const DrawStyle& style, uint8_t* bytes);

// Mode 4, fill and line on, solid black on white, pen 1 x 1, no arrows.
void gdi_style_init(DrawStyle* style);

void gdi_draw_rect(plat::DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, uint32_t color);
void gdi_draw_ellipse(plat::DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, uint32_t color);
void gdi_draw_round_rect(plat::DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, int32_t corner_width, int32_t corner_height, uint32_t color);
// With fill on, the pie wedge first without the line; then the arc with the pen.
void gdi_draw_arc(plat::DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, int32_t x3, int32_t y3, int32_t x4, int32_t y4, uint32_t color);
void gdi_draw_pie(plat::DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, int32_t x3, int32_t y3, int32_t x4, int32_t y4, uint32_t color);
// Closed (first = last, or no line) as one polygon; open as a filled polygon and a polyline.
void gdi_draw_polygon(plat::DcHandle dc, const DrawStyle* style, const Point* points, int count, uint32_t color);
void gdi_draw_line(plat::DcHandle dc, const DrawStyle* style, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
    uint32_t color);
// The rectangle a line of that pen width (and arrows) covers.
void gdi_line_bounds(Rect* out, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int arrows);
// The arrow-head size of a pen width, and whether a line of that length gets its heads.
int32_t gdi_arrow_size(int32_t width);
// A rectangle with the selected pen and no brush.
void gdi_frame_rect(plat::DcHandle dc, const Rect* rect);
void gdi_set_origin(plat::DcHandle dc, int32_t x, int32_t y);
Point gdi_get_origin(plat::DcHandle dc);
void gdi_offset_origin(plat::DcHandle dc, int32_t dx, int32_t dy);
// A pattern brush of 8 rows (0 bits draw the text colour, 1 bits the background).
plat::GdiObject gdi_pattern_brush(const uint8_t pattern[8]);

void crect_offset(Rect* rect, int32_t dx, int32_t dy);
void crect_move_to(Rect* rect, int32_t x, int32_t y);
