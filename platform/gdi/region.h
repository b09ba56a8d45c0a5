// Regions: areas kept as y-x banded rectangle lists (rectangles sorted by top, then left;
// the rectangles of one band share top and bottom; bands and rectangles never overlap or
// touch sideways), so that combining, testing and clipping walk bands in order. Region
// objects (HRGN) are GDI objects holding one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

namespace plat {

struct Region {
    std::vector<Rect> rects;
    bool operator==(const Region&) const = default;
};

// A horizontal run of pixels x0 <= x < x1 on row y.
struct Span {
    int32_t y;
    int32_t x0;
    int32_t x1;
};

// CombineRgn modes.
enum : int {
    RGN_AND = 1,
    RGN_OR = 2,
    RGN_XOR = 3,
    RGN_DIFF = 4,
    RGN_COPY = 5,
};

// Region kinds as GetClipBox and CombineRgn answer them.
enum : int {
    REGION_ERROR = 0,
    NULLREGION = 1,
    SIMPLEREGION = 2,
    COMPLEXREGION = 3,
};

// Polygon fill modes.
enum : int {
    ALTERNATE = 1,
    WINDING = 2,
};

Region region_from_rect(const Rect& rect);
// The union of any rectangles.
Region region_from_rects(const std::vector<Rect>& rects);
// Spans in rows ascending, each row's spans ascending and disjoint; equal neighbouring rows
// join into one band.
Region region_from_spans(const std::vector<Span>& spans);
Region region_combine(const Region& a, const Region& b, int mode);
void region_offset(Region& region, int32_t dx, int32_t dy);
Rect region_bounds(const Region& region);
int region_kind(const Region& region);
bool region_contains(const Region& region, Point point);
// Whether any part of the rectangle is inside.
bool region_meets_rect(const Region& region, const Rect& rect);
// The index of the first rectangle of the band holding row y, or rects.size().
size_t region_band_at(const Region& region, int32_t y);

// Region objects.
GdiObject create_rect_rgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
GdiObject create_rect_rgn_indirect(const Rect& rect);
// The pixels an ellipse of the rectangle covers (right and bottom excluded).
GdiObject create_elliptic_rgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
GdiObject create_polygon_rgn(const Point* points, int count, int fill_mode);
bool set_rect_rgn(GdiObject region, int32_t left, int32_t top, int32_t right, int32_t bottom);
// CombineRgn: dest = a op b (b unused for RGN_COPY); the kind of the result, or REGION_ERROR.
int combine_rgn(GdiObject dest, GdiObject a, GdiObject b, int mode);
int offset_rgn(GdiObject region, int32_t dx, int32_t dy);
int get_rgn_box(GdiObject region, Rect& box);
bool pt_in_region(GdiObject region, int32_t x, int32_t y);
bool rect_in_region(GdiObject region, const Rect& rect);
bool equal_rgn(GdiObject a, GdiObject b);
// The region's rectangles, for callers that walk them; false for a handle that is no region.
bool get_region_rects(GdiObject region, std::vector<Rect>& out);

} // namespace plat
