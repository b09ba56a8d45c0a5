#include "platform/gdi/shape.h"

#include <algorithm>

#include "platform/gdi/dc.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/raster.h"
#include "platform/gdi/scan.h"

namespace plat {

// One shape call: the target with the DC's pen and brush made ready.
struct ShapeDraw {
    RasterTarget target;
    bool has_pen = false;
    RasterPaint pen;
    int32_t width = 1;
    bool has_brush = false;
    RasterPaint brush;
    Rect window; // device rows and columns worth scanning
};

static bool shape_begin(DcHandle dc, ShapeDraw& out)
{
    if (!raster_open(dc, out.target))
        return false;
    const DcAttributes& attr = out.target.attr;
    out.has_pen = raster_pen(out.target, out.pen, out.width);
    out.has_brush = raster_brush(out.target, attr.brush, rop2_to_rop3(attr.rop2), out.brush);
    out.window = raster_window(out.target);
    return true;
}

static bool shape_end(ShapeDraw& draw)
{
    raster_close(draw.target);
    return true;
}

static void paint(ShapeDraw& draw, const RasterPaint& with, std::vector<Span>& spans)
{
    raster_spans(draw.target, with, spans);
    spans.clear();
}

static Point device_point(const ShapeDraw& draw, int32_t x, int32_t y)
{
    return mapping_to_device(draw.target.attr.mapping, Point{x, y});
}

// The shape's rectangle in device pixels, sides in order.
static Rect device_box(const ShapeDraw& draw, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    Point a = device_point(draw, left, top), b = device_point(draw, right, bottom);
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The box of corner pixels a shape spans: one pixel in from right and bottom, one more
// without a pen.
static Rect pixel_box(const ShapeDraw& draw, const Rect& device)
{
    int32_t inset = draw.has_pen ? 1 : 2;
    return Rect{device.left, device.top, device.right - inset, device.bottom - inset};
}

static bool box_empty(const Rect& box) { return box.right < box.left || box.bottom < box.top; }

// --- Lines ---------------------------------------------------------------------------------

static void draw_thin_segment(ShapeDraw& draw, Point a, Point b, LastPixel last)
{
    std::vector<Span> spans;
    scan_line(a, b, last, draw.window, spans);
    paint(draw, draw.pen, spans);
}

static void draw_path(ShapeDraw& draw, const std::vector<Point>& points, PathEnd end)
{
    if (draw.width > 1) {
        std::vector<Span> spans;
        scan_wide_path(points.data(), int(points.size()), end, draw.width, draw.window, spans);
        paint(draw, draw.pen, spans);
        return;
    }
    size_t segments = end == PathEnd::closed ? points.size() : points.size() - 1;
    for (size_t i = 0; i < segments; i++)
        draw_thin_segment(draw, points[i], points[(i + 1) % points.size()], LastPixel::excluded);
}

bool move_to_ex(DcHandle dc, int32_t x, int32_t y, Point* previous)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    if (previous)
        *previous = record->attr.position;
    record->attr.position = Point{x, y};
    return true;
}

bool get_current_position_ex(DcHandle dc, Point& out)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    out = record->attr.position;
    return true;
}

bool line_to(DcHandle dc, int32_t x, int32_t y)
{
    ShapeDraw draw;
    if (!shape_begin(dc, draw))
        return false;
    Point from = draw.target.attr.position;
    if (draw.has_pen)
        draw_path(draw, {device_point(draw, from.x, from.y), device_point(draw, x, y)}, PathEnd::open);
    dc_find(dc)->attr.position = Point{x, y};
    return shape_end(draw);
}

static std::vector<Point> device_points(const ShapeDraw& draw, const Point* points, int count)
{
    std::vector<Point> out;
    for (int i = 0; i < count; i++)
        out.push_back(device_point(draw, points[i].x, points[i].y));
    return out;
}

bool polyline(DcHandle dc, const Point* points, int count)
{
    ShapeDraw draw;
    if (!points || count < 2 || !shape_begin(dc, draw))
        return false;
    if (draw.has_pen)
        draw_path(draw, device_points(draw, points, count), PathEnd::open);
    return shape_end(draw);
}

bool polygon(DcHandle dc, const Point* points, int count)
{
    ShapeDraw draw;
    if (!points || count < 2 || !shape_begin(dc, draw))
        return false;
    std::vector<Point> device = device_points(draw, points, count);
    if (draw.has_brush) {
        std::vector<Span> spans;
        scan_polygon(device.data(), count, draw.target.attr.poly_fill_mode, draw.window, spans);
        paint(draw, draw.brush, spans);
    }
    if (draw.has_pen)
        draw_path(draw, device, PathEnd::closed);
    return shape_end(draw);
}

// --- Rectangles and ellipses ---------------------------------------------------------------

// A one-pixel frame around the box, only the rows inside the window.
static void thin_frame(const Rect& box, const Rect& window, std::vector<Span>& out)
{
    if (box.top >= window.top && box.top < window.bottom)
        out.push_back(Span{box.top, box.left, box.right + 1});
    if (box.bottom > box.top && box.bottom >= window.top && box.bottom < window.bottom)
        out.push_back(Span{box.bottom, box.left, box.right + 1});
    int32_t first = std::max(box.top + 1, window.top), last = std::min(box.bottom, window.bottom);
    for (int32_t y = first; y < last; y++) {
        out.push_back(Span{y, box.left, box.left + 1});
        if (box.right > box.left)
            out.push_back(Span{y, box.right, box.right + 1});
    }
}

bool rectangle(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    ShapeDraw draw;
    if (!shape_begin(dc, draw))
        return false;
    Rect box = pixel_box(draw, device_box(draw, left, top, right, bottom));
    if (box_empty(box))
        return shape_end(draw);
    // The inside stops where the pen's inner edge starts: a pen covers [p - w/2, p - w/2 + w).
    int32_t w = draw.has_pen ? draw.width : 0;
    int32_t far_inset = w > 0 ? w / 2 + 1 : 0;
    Rect inside{box.left + (w + 1) / 2, box.top + (w + 1) / 2, box.right + 1 - far_inset, box.bottom + 1 - far_inset};
    if (draw.has_brush)
        raster_fill(draw.target, draw.brush, inside);
    if (!draw.has_pen)
        return shape_end(draw);
    std::vector<Span> spans;
    if (w == 1) {
        thin_frame(box, draw.window, spans);
    } else {
        const Point corners[] = {{box.left, box.top}, {box.right, box.top}, {box.right, box.bottom}, {box.left, box.bottom}};
        scan_wide_path(corners, 4, PathEnd::closed, w, draw.window, spans);
    }
    paint(draw, draw.pen, spans);
    return shape_end(draw);
}

// Ellipse-like shapes: their fill and their outline as span lists of one box.
struct RoundShape {
    Rect box;
    int32_t corner_w = -1, corner_h = -1; // a round rectangle's corners; -1: an ellipse
};

static void shape_fill(const RoundShape& shape, const Rect& window, std::vector<Span>& out)
{
    if (shape.corner_w < 0)
        scan_ellipse(shape.box, window, out);
    else
        scan_round_rect(shape.box, shape.corner_w, shape.corner_h, window, out);
}

static void shape_outline(const RoundShape& shape, int32_t width, const Rect& window, std::vector<Span>& out)
{
    if (shape.corner_w < 0 && width == 1)
        scan_ellipse_outline(shape.box, window, out);
    else if (shape.corner_w < 0)
        scan_wide_ellipse_outline(shape.box, width, window, out);
    else if (width == 1)
        scan_round_rect_outline(shape.box, shape.corner_w, shape.corner_h, window, out);
    else
        scan_wide_round_rect_outline(shape.box, shape.corner_w, shape.corner_h, width, window, out);
}

static bool draw_round(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_w, int32_t corner_h)
{
    ShapeDraw draw;
    if (!shape_begin(dc, draw))
        return false;
    RoundShape shape{pixel_box(draw, device_box(draw, left, top, right, bottom)), corner_w, corner_h};
    if (corner_w >= 0) {
        Rect corner = device_box(draw, 0, 0, corner_w, corner_h);
        shape.corner_w = corner.width();
        shape.corner_h = corner.height();
    }
    if (box_empty(shape.box))
        return shape_end(draw);
    std::vector<Span> spans;
    if (draw.has_brush) {
        shape_fill(shape, draw.window, spans);
        paint(draw, draw.brush, spans);
    }
    if (draw.has_pen) {
        shape_outline(shape, draw.width, draw.window, spans);
        paint(draw, draw.pen, spans);
    }
    return shape_end(draw);
}

bool ellipse(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return draw_round(dc, left, top, right, bottom, -1, -1);
}

bool round_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_width,
    int32_t corner_height)
{
    return draw_round(dc, left, top, right, bottom, std::max(corner_width, 0), std::max(corner_height, 0));
}

// --- Arcs, pies and chords -----------------------------------------------------------------

enum class ArcKind { arc, pie, chord };

// The outline's straight part: two radii for a pie, the chord for a chord.
static std::vector<Point> arc_closing_path(const ArcSweep& sweep, ArcKind kind)
{
    Point s = scan_arc_point(sweep.box, sweep.start), e = scan_arc_point(sweep.box, sweep.end);
    Point centre{int32_t((int64_t(sweep.box.left) + sweep.box.right) / 2), int32_t((int64_t(sweep.box.top) + sweep.box.bottom) / 2)};
    if (kind == ArcKind::pie)
        return {s, centre, e};
    return {s, e};
}

static void arc_outline(const ShapeDraw& draw, const ArcSweep& sweep, ArcKind kind, std::vector<Span>& out)
{
    std::vector<Span> ring;
    shape_outline(RoundShape{sweep.box}, draw.width, draw.window, ring);
    scan_filter(ring, [&](Point p) { return scan_in_sweep(sweep, p); }, out);
    if (kind == ArcKind::arc)
        return;
    std::vector<Point> path = arc_closing_path(sweep, kind);
    if (draw.width > 1) {
        scan_wide_path(path.data(), int(path.size()), PathEnd::open, draw.width, draw.window, out);
    } else {
        for (size_t i = 0; i + 1 < path.size(); i++)
            scan_line(path[i], path[i + 1], LastPixel::included, draw.window, out);
    }
    spans_normalize(out); // a pixel on both the arc and a line is painted once
}

static bool draw_arc(DcHandle dc, ArcKind kind, int32_t left, int32_t top, int32_t right, int32_t bottom,
    int32_t x3, int32_t y3, int32_t x4, int32_t y4)
{
    ShapeDraw draw;
    if (!shape_begin(dc, draw))
        return false;
    ArcSweep sweep{pixel_box(draw, device_box(draw, left, top, right, bottom)), device_point(draw, x3, y3), device_point(draw, x4, y4)};
    if (box_empty(sweep.box))
        return shape_end(draw);
    std::vector<Span> spans, kept;
    if (kind != ArcKind::arc && draw.has_brush) {
        scan_ellipse(sweep.box, draw.window, spans);
        if (kind == ArcKind::pie)
            scan_filter(spans, [&](Point p) { return scan_in_sweep(sweep, p); }, kept);
        else
            scan_filter(spans, [&](Point p) { return scan_in_chord(sweep, p); }, kept);
        spans.clear();
        paint(draw, draw.brush, kept);
    }
    if (draw.has_pen) {
        arc_outline(draw, sweep, kind, spans);
        paint(draw, draw.pen, spans);
    }
    return shape_end(draw);
}

bool arc(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4, int32_t y4)
{
    return draw_arc(dc, ArcKind::arc, left, top, right, bottom, x3, y3, x4, y4);
}

bool pie(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4, int32_t y4)
{
    return draw_arc(dc, ArcKind::pie, left, top, right, bottom, x3, y3, x4, y4);
}

bool chord(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4, int32_t y4)
{
    return draw_arc(dc, ArcKind::chord, left, top, right, bottom, x3, y3, x4, y4);
}

// --- Pixels --------------------------------------------------------------------------------

// The plane pixel of a logical point, when the clip allows drawing there.
static bool clipped_pixel(const RasterTarget& target, int32_t x, int32_t y, Point& out)
{
    Point device = mapping_to_device(target.attr.mapping, Point{x, y});
    out = Point{device.x + target.offset.x, device.y + target.offset.y};
    return target.plane.bits && region_contains(target.clip, out);
}

uint32_t set_pixel(DcHandle dc, int32_t x, int32_t y, uint32_t color)
{
    RasterTarget target;
    Point p;
    if (!raster_open(dc, target))
        return CLR_INVALID;
    if (!clipped_pixel(target, x, y, p))
        return CLR_INVALID;
    uint32_t value = raster_value(target, color);
    pixels_write(target.plane, p.x, p.y, 1, &value);
    target.changed = Rect{p.x, p.y, p.x + 1, p.y + 1};
    raster_close(target);
    return colorref_from_pixel(pixels_to_rgb(target.plane, value));
}

uint32_t get_pixel(DcHandle dc, int32_t x, int32_t y)
{
    RasterTarget target;
    Point p;
    if (!raster_open(dc, target) || !clipped_pixel(target, x, y, p))
        return CLR_INVALID;
    return colorref_from_pixel(pixels_to_rgb(target.plane, pixels_get(target.plane, p.x, p.y)));
}

// --- Flood fill ----------------------------------------------------------------------------

struct FloodArea {
    const RasterTarget& target;
    Rect bounds; // the clip's bounds: the visited flags cover these
    uint32_t value;
    bool surface;
    std::vector<uint64_t> visited;

    bool fillable(int32_t x, int32_t y)
    {
        if (!pt_in_rect(bounds, Point{x, y}) || seen(x, y) || !region_contains(target.clip, Point{x, y}))
            return false;
        bool same = pixels_get(target.plane, x, y) == value;
        return surface ? same : !same;
    }
    size_t index(int32_t x, int32_t y) const { return size_t(y - bounds.top) * size_t(bounds.width()) + size_t(x - bounds.left); }
    bool seen(int32_t x, int32_t y) const { return visited[index(x, y) / 64] >> (index(x, y) % 64) & 1; }
    void mark(int32_t x, int32_t y) { visited[index(x, y) / 64] |= uint64_t(1) << (index(x, y) % 64); }
};

// Seeds one point of each fillable run of row y within [left, right].
static void seed_row(FloodArea& area, int32_t y, int32_t left, int32_t right, std::vector<Point>& seeds)
{
    for (int32_t x = left; x <= right; x++) {
        if (!area.fillable(x, y))
            continue;
        seeds.push_back(Point{x, y});
        while (x < right && area.fillable(x + 1, y))
            x++;
    }
}

// Scanline fill: each seed grows into its row's run, which seeds the rows above and below.
static void flood(FloodArea& area, Point start, std::vector<Span>& out)
{
    std::vector<Point> seeds{start};
    while (!seeds.empty()) {
        Point p = seeds.back();
        seeds.pop_back();
        if (!area.fillable(p.x, p.y))
            continue;
        int32_t left = p.x, right = p.x;
        while (area.fillable(left - 1, p.y))
            left--;
        while (area.fillable(right + 1, p.y))
            right++;
        for (int32_t x = left; x <= right; x++)
            area.mark(x, p.y);
        out.push_back(Span{p.y, left, right + 1});
        seed_row(area, p.y - 1, left, right, seeds);
        seed_row(area, p.y + 1, left, right, seeds);
    }
}

bool ext_flood_fill(DcHandle dc, int32_t x, int32_t y, uint32_t color, int type)
{
    RasterTarget target;
    Point start;
    if ((type != FLOODFILLBORDER && type != FLOODFILLSURFACE) || !raster_open(dc, target))
        return false;
    if (!clipped_pixel(target, x, y, start))
        return false;
    FloodArea area{target, region_bounds(target.clip), raster_value(target, color), type == FLOODFILLSURFACE, {}};
    area.visited.assign((size_t(area.bounds.width()) * size_t(area.bounds.height()) + 63) / 64, 0);
    if (!area.fillable(start.x, start.y))
        return false;
    std::vector<Span> spans;
    flood(area, start, spans);
    for (Span& span : spans) { // back to device coordinates for painting
        span.y -= target.offset.y;
        span.x0 -= target.offset.x;
        span.x1 -= target.offset.x;
    }
    RasterPaint brush;
    if (raster_brush(target, target.attr.brush, 0xF0, brush))
        raster_spans(target, brush, spans);
    raster_close(target);
    return true;
}

bool flood_fill(DcHandle dc, int32_t x, int32_t y, uint32_t color)
{
    return ext_flood_fill(dc, x, y, color, FLOODFILLBORDER);
}

} // namespace plat
