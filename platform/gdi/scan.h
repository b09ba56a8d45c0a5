// Scan conversion under GDI's pixel rules, producing spans in device pixels. A point names a
// pixel; a shape's box is given by its inclusive corner pixels. Each routine only produces
// rows inside the window rectangle, so a shape larger than any screen costs what shows.
//
// - Lines step along their major axis; the minor coordinate rounds half up on the screen, so
//   a line and its reverse light the same pixels; the last pixel is left out on request.
// - Polygons sample pixel centres: a pixel is inside when its centre is, with left and top
//   edges inside and right and bottom edges outside, so a polygon of a rectangle's corners
//   covers what FillRect of that rectangle covers.
// - Ellipses cover the pixels whose centres lie inside the ellipse inscribed in the box; every
//   row of the box keeps at least its middle pixel and the middle rows reach both sides, so
//   the box is always touched; they are symmetric about both axes by construction.
// - Wide pens sweep a disc of the pen's diameter (round ends and joins); for an even width
//   the disc sits half a pixel up and left of the path, so that the pen covers
//   [p - w/2, p - w/2 + w) across a straight edge.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/gdi/region.h"

namespace plat {

enum class LastPixel { excluded, included };

// A thin line from a to b.
void scan_line(Point a, Point b, LastPixel last, const Rect& window, std::vector<Span>& out);
void scan_polygon(const Point* points, int count, int fill_mode, const Rect& window, std::vector<Span>& out);
// The filled ellipse of the box (corners inclusive).
void scan_ellipse(const Rect& box, const Rect& window, std::vector<Span>& out);
// Its one-pixel outline: filled pixels with a 4-neighbour outside.
void scan_ellipse_outline(const Rect& box, const Rect& window, std::vector<Span>& out);
// Round rectangles: corners are quarters of a corner_w x corner_h ellipse.
void scan_round_rect(const Rect& box, int32_t corner_w, int32_t corner_h, const Rect& window, std::vector<Span>& out);
void scan_round_rect_outline(const Rect& box, int32_t corner_w, int32_t corner_h, const Rect& window, std::vector<Span>& out);
// A wide pen's outline of an ellipse or round rectangle box: the ring between the shape of the
// box grown by the pen and the shape shrunk by it.
void scan_wide_ellipse_outline(const Rect& box, int32_t width, const Rect& window, std::vector<Span>& out);
void scan_wide_round_rect_outline(const Rect& box, int32_t corner_w, int32_t corner_h, int32_t width,
    const Rect& window, std::vector<Span>& out);
// A wide pen along a path (closed: back to the first point).
enum class PathEnd { open, closed };
void scan_wide_path(const Point* points, int count, PathEnd end, int32_t width, const Rect& window, std::vector<Span>& out);

// Arcs, pies and chords: the part of the ellipse swept counter-clockwise (as the screen shows
// it) from the ray through start to the ray through end, both from the box's centre; equal
// rays sweep the whole ellipse.
struct ArcSweep {
    Rect box;
    Point start;
    Point end;
};
// Whether pixel p lies in the sweep.
bool scan_in_sweep(const ArcSweep& sweep, Point p);
// Whether pixel p lies on the arc's side of the chord.
bool scan_in_chord(const ArcSweep& sweep, Point p);
// The pixel where a ray meets the ellipse outline.
Point scan_arc_point(const Rect& box, Point through);
// Keeps the spans' pixels that pass the test.
template <typename Keep>
void scan_filter(const std::vector<Span>& in, Keep keep, std::vector<Span>& out)
{
    for (const Span& span : in) {
        int32_t run = span.x0;
        for (int32_t x = span.x0; x <= span.x1; x++) {
            bool inside = x < span.x1 && keep(Point{x, span.y});
            if (inside)
                continue;
            if (x > run)
                out.push_back(Span{span.y, run, x});
            run = x + 1;
        }
    }
}

// Sorts spans by row and x and joins those that overlap or touch.
void spans_normalize(std::vector<Span>& spans);
// Spans of a that b does not cover; both normalized.
std::vector<Span> spans_subtract(const std::vector<Span>& a, const std::vector<Span>& b);

} // namespace plat
