#include "platform/gdi/scan.h"

#include <algorithm>
#include <cmath>

namespace plat {

static int64_t floor_div(int64_t a, int64_t b) // b > 0
{
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

static int64_t ceil_div(int64_t a, int64_t b) { return -floor_div(-a, b); }

// The first i in [lo, hi) for which pred holds, pred being false then true; hi when never.
template <typename Pred>
static int64_t first_true(int64_t lo, int64_t hi, Pred pred)
{
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// --- Lines ---------------------------------------------------------------------------------

struct LineWalk {
    int64_t major0, minor0; // the start point along and across the major axis
    int64_t step;           // +1 or -1 along the major axis
    int64_t delta_minor;    // minor change over the whole line
    int64_t length;         // major steps over the whole line (> 0)
    int64_t minor(int64_t i) const
    {
        return floor_div(2 * minor0 * length + 2 * i * delta_minor + length, 2 * length);
    }
};

// The steps [lo, hi) whose pixels fall inside the window.
static void line_window(const LineWalk& walk, int64_t count, int64_t major_lo, int64_t major_hi,
    int64_t minor_lo, int64_t minor_hi, int64_t& lo, int64_t& hi)
{
    if (walk.step > 0) {
        lo = major_lo - walk.major0;
        hi = major_hi - walk.major0;
    } else {
        lo = walk.major0 - major_hi + 1;
        hi = walk.major0 - major_lo + 1;
    }
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, count);
    if (lo >= hi)
        return;
    bool rising = walk.delta_minor >= 0;
    int64_t from = lo, to = hi;
    lo = first_true(from, to, [&](int64_t i) { return rising ? walk.minor(i) >= minor_lo : walk.minor(i) < minor_hi; });
    hi = first_true(lo, to, [&](int64_t i) { return rising ? walk.minor(i) >= minor_hi : walk.minor(i) < minor_lo; });
}

void scan_line(Point a, Point b, LastPixel last, const Rect& window, std::vector<Span>& out)
{
    int64_t dx = int64_t(b.x) - a.x, dy = int64_t(b.y) - a.y;
    bool x_major = std::llabs(dx) >= std::llabs(dy);
    int64_t length = x_major ? std::llabs(dx) : std::llabs(dy);
    int64_t count = length + (last == LastPixel::included ? 1 : 0);
    if (count == 0)
        return;
    if (length == 0) {
        if (pt_in_rect(window, a))
            out.push_back(Span{a.y, a.x, a.x + 1});
        return;
    }
    LineWalk walk = x_major ? LineWalk{a.x, a.y, dx > 0 ? 1 : -1, dy, length}
                            : LineWalk{a.y, a.x, dy > 0 ? 1 : -1, dx, length};
    int64_t lo = 0, hi = 0;
    if (x_major)
        line_window(walk, count, window.left, window.right, window.top, window.bottom, lo, hi);
    else
        line_window(walk, count, window.top, window.bottom, window.left, window.right, lo, hi);
    for (int64_t i = lo; i < hi; i++) {
        int32_t major = int32_t(walk.major0 + walk.step * i);
        int32_t minor = int32_t(walk.minor(i));
        int32_t x = x_major ? major : minor;
        int32_t y = x_major ? minor : major;
        Span* back = out.empty() ? nullptr : &out.back();
        if (x_major && back && back->y == y && (back->x1 == x || back->x0 == x + 1)) {
            back->x0 = std::min(back->x0, x);
            back->x1 = std::max(back->x1, x + 1);
        } else {
            out.push_back(Span{y, x, x + 1});
        }
    }
}

// --- Polygons ------------------------------------------------------------------------------

struct Edge {
    int64_t x0, y0, x1, y1; // y0 < y1
    int direction;          // +1 downward as given, -1 upward
};

// The first pixel whose centre is at or right of the edge's crossing of row y's centre line.
static int64_t edge_crossing(const Edge& e, int64_t y)
{
    int64_t dx = e.x1 - e.x0, dy = e.y1 - e.y0;
    return ceil_div((2 * e.x0 - 1) * dy + (2 * y + 1 - 2 * e.y0) * dx, 2 * dy);
}

static std::vector<Edge> polygon_edges(const Point* points, int count)
{
    std::vector<Edge> edges;
    for (int i = 0; i < count; i++) {
        Point a = points[i], b = points[(i + 1) % count];
        if (a.y == b.y)
            continue;
        if (a.y < b.y)
            edges.push_back(Edge{a.x, a.y, b.x, b.y, 1});
        else
            edges.push_back(Edge{b.x, b.y, a.x, a.y, -1});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.y0 < r.y0; });
    return edges;
}

static void emit_row(std::vector<std::pair<int64_t, int>>& crossings, int fill_mode, int32_t y, std::vector<Span>& out)
{
    std::sort(crossings.begin(), crossings.end());
    if (fill_mode != WINDING) {
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            if (crossings[i + 1].first > crossings[i].first)
                out.push_back(Span{y, int32_t(crossings[i].first), int32_t(crossings[i + 1].first)});
        }
        return;
    }
    int winding = 0;
    int64_t start = 0;
    for (const auto& [x, direction] : crossings) {
        int before = winding;
        winding += direction;
        if (before == 0 && winding != 0)
            start = x;
        else if (before != 0 && winding == 0 && x > start)
            out.push_back(Span{y, int32_t(start), int32_t(x)});
    }
}

void scan_polygon(const Point* points, int count, int fill_mode, const Rect& window, std::vector<Span>& out)
{
    if (!points || count < 3)
        return;
    std::vector<Edge> edges = polygon_edges(points, count);
    if (edges.empty())
        return;
    int64_t top = edges.front().y0, bottom = top;
    for (const Edge& e : edges)
        bottom = std::max(bottom, e.y1);
    top = std::max<int64_t>(top, window.top);
    bottom = std::min<int64_t>(bottom, window.bottom);
    std::vector<const Edge*> active;
    std::vector<std::pair<int64_t, int>> crossings;
    size_t next = 0;
    for (int64_t y = top; y < bottom; y++) {
        for (; next < edges.size() && edges[next].y0 <= y; next++)
            active.push_back(&edges[next]);
        std::erase_if(active, [y](const Edge* e) { return e->y1 <= y; });
        crossings.clear();
        for (const Edge* e : active)
            crossings.emplace_back(edge_crossing(*e, y), e->direction);
        emit_row(crossings, fill_mode, int32_t(y), out);
    }
}

// --- Ellipses and round rectangles ---------------------------------------------------------

struct RowSpan {
    bool any = false;
    int32_t left = 0, right = 0; // inclusive
};

// Twice the distance from the centre to the row's outermost pixel centre, for an ellipse of
// w x h pixels, on the row at twice-distance dy from the centre.
static int64_t ellipse_reach(int64_t w, int64_t h, int64_t dy)
{
    int64_t parity = (w - 1) & 1;
    if (dy * dy <= 1)
        return w - 1; // the middle rows reach both sides
    using Wide = __int128;
    Wide limit = Wide(w) * w * (Wide(h) * h - Wide(dy) * dy);
    auto inside = [&](int64_t d) { return Wide(d) * d * (Wide(h) * h) < limit; };
    long double guess = (long double)w * std::sqrt((long double)(h * h - dy * dy)) / (long double)h;
    int64_t d = std::min<int64_t>(int64_t(guess), w - 1);
    while (d > 0 && !inside(d))
        d--;
    while (d + 1 <= w - 1 && inside(d + 1))
        d++;
    if ((d & 1) != parity)
        d--;
    return d < parity ? parity : d;
}

static RowSpan ellipse_row(const Rect& box, int64_t y)
{
    RowSpan row;
    if (y < box.top || y > box.bottom || box.right < box.left)
        return row;
    int64_t w = int64_t(box.right) - box.left + 1, h = int64_t(box.bottom) - box.top + 1;
    int64_t reach = ellipse_reach(w, h, 2 * y - box.top - box.bottom);
    int64_t sum = int64_t(box.left) + box.right;
    row.any = true;
    row.left = int32_t((sum - reach) / 2);
    row.right = int32_t((sum + reach) / 2);
    return row;
}

static RowSpan round_rect_row(const Rect& box, int32_t corner_w, int32_t corner_h, int64_t y)
{
    RowSpan row;
    if (y < box.top || y > box.bottom || box.right < box.left)
        return row;
    int64_t w = int64_t(box.right) - box.left + 1, h = int64_t(box.bottom) - box.top + 1;
    int64_t ew = std::clamp<int64_t>(corner_w, 0, w), eh = std::clamp<int64_t>(corner_h, 0, h);
    row = RowSpan{true, box.left, box.right};
    if (ew < 2 || eh < 2)
        return row;
    int64_t from_top = y - box.top, from_bottom = box.bottom - y;
    int64_t corner_row = from_top < eh / 2 ? from_top : from_bottom < eh / 2 ? eh - 1 - from_bottom : -1;
    if (corner_row < 0)
        return row;
    RowSpan corner = ellipse_row(Rect{0, 0, int32_t(ew - 1), int32_t(eh - 1)}, corner_row);
    row.left = int32_t(box.left + corner.left);
    row.right = int32_t(box.right - corner.left);
    return row;
}

static void push_row(std::vector<Span>& out, int64_t y, int64_t left, int64_t right_inclusive)
{
    if (left <= right_inclusive)
        out.push_back(Span{int32_t(y), int32_t(left), int32_t(right_inclusive + 1)});
}

template <typename RowOf>
static void fill_rows(const Rect& box, const Rect& window, RowOf row_of, std::vector<Span>& out)
{
    int64_t top = std::max<int64_t>(box.top, window.top);
    int64_t bottom = std::min<int64_t>(int64_t(box.bottom) + 1, window.bottom);
    for (int64_t y = top; y < bottom; y++) {
        RowSpan row = row_of(y);
        if (row.any)
            push_row(out, y, row.left, row.right);
    }
}

// The filled pixels with a 4-neighbour outside: per row, the span minus what lies inside the
// rows above and below and inside its own ends.
template <typename RowOf>
static void outline_rows(const Rect& box, const Rect& window, RowOf row_of, std::vector<Span>& out)
{
    int64_t top = std::max<int64_t>(box.top, window.top);
    int64_t bottom = std::min<int64_t>(int64_t(box.bottom) + 1, window.bottom);
    for (int64_t y = top; y < bottom; y++) {
        RowSpan row = row_of(y), up = row_of(y - 1), down = row_of(y + 1);
        if (!row.any)
            continue;
        int64_t inner_left = int64_t(row.left) + 1, inner_right = int64_t(row.right) - 1;
        if (up.any && down.any) {
            inner_left = std::max<int64_t>({inner_left, up.left, down.left});
            inner_right = std::min<int64_t>({inner_right, up.right, down.right});
        } else {
            inner_left = inner_right + 1; // an edge row is all outline
        }
        if (inner_left > inner_right) {
            push_row(out, y, row.left, row.right);
            continue;
        }
        push_row(out, y, row.left, inner_left - 1);
        push_row(out, y, inner_right + 1, row.right);
    }
}

// The rows of outer minus the rows of hole.
template <typename OuterOf, typename HoleOf>
static void ring_rows(const Rect& outer_box, const Rect& window, OuterOf outer_of, HoleOf hole_of, std::vector<Span>& out)
{
    int64_t top = std::max<int64_t>(outer_box.top, window.top);
    int64_t bottom = std::min<int64_t>(int64_t(outer_box.bottom) + 1, window.bottom);
    for (int64_t y = top; y < bottom; y++) {
        RowSpan outer = outer_of(y), hole = hole_of(y);
        if (!outer.any)
            continue;
        if (!hole.any || hole.left > outer.right || hole.right < outer.left) {
            push_row(out, y, outer.left, outer.right);
            continue;
        }
        push_row(out, y, outer.left, int64_t(hole.left) - 1);
        push_row(out, y, int64_t(hole.right) + 1, outer.right);
    }
}

void scan_ellipse(const Rect& box, const Rect& window, std::vector<Span>& out)
{
    fill_rows(box, window, [&](int64_t y) { return ellipse_row(box, y); }, out);
}

void scan_ellipse_outline(const Rect& box, const Rect& window, std::vector<Span>& out)
{
    outline_rows(box, window, [&](int64_t y) { return ellipse_row(box, y); }, out);
}

void scan_round_rect(const Rect& box, int32_t corner_w, int32_t corner_h, const Rect& window, std::vector<Span>& out)
{
    fill_rows(box, window, [&](int64_t y) { return round_rect_row(box, corner_w, corner_h, y); }, out);
}

void scan_round_rect_outline(const Rect& box, int32_t corner_w, int32_t corner_h, const Rect& window, std::vector<Span>& out)
{
    outline_rows(box, window, [&](int64_t y) { return round_rect_row(box, corner_w, corner_h, y); }, out);
}

// The box the pen's outer edge follows, and the box inside its inner edge (which may be
// empty): a pen covers [p - w/2, p - w/2 + w) across the path.
static Rect grown_box(const Rect& box, int32_t width)
{
    return Rect{box.left - width / 2, box.top - width / 2, box.right + (width - 1) / 2, box.bottom + (width - 1) / 2};
}

static Rect hole_box(const Rect& box, int32_t width)
{
    return Rect{box.left + (width + 1) / 2, box.top + (width + 1) / 2, box.right - width / 2 - 1, box.bottom - width / 2 - 1};
}

void scan_wide_ellipse_outline(const Rect& box, int32_t width, const Rect& window, std::vector<Span>& out)
{
    Rect outer = grown_box(box, width), hole = hole_box(box, width);
    ring_rows(outer, window, [&](int64_t y) { return ellipse_row(outer, y); },
        [&](int64_t y) { return ellipse_row(hole, y); }, out);
}

void scan_wide_round_rect_outline(const Rect& box, int32_t corner_w, int32_t corner_h, int32_t width,
    const Rect& window, std::vector<Span>& out)
{
    Rect outer = grown_box(box, width), hole = hole_box(box, width);
    int32_t outer_w = corner_w + width - 1, outer_h = corner_h + width - 1;
    int32_t hole_w = std::max(corner_w - width - 1, 0), hole_h = std::max(corner_h - width - 1, 0);
    ring_rows(outer, window, [&](int64_t y) { return round_rect_row(outer, outer_w, outer_h, y); },
        [&](int64_t y) { return round_rect_row(hole, hole_w, hole_h, y); }, out);
}

// --- Wide pens -----------------------------------------------------------------------------

struct Interval {
    bool any = false;
    double lo = 0, hi = 0;
    void take(double l, double h)
    {
        if (l > h)
            return;
        lo = any ? std::min(lo, l) : l;
        hi = any ? std::max(hi, h) : h;
        any = true;
    }
};

static void disc_row(double cx, double cy, double r, double yc, Interval& out)
{
    double dy = yc - cy;
    if (std::fabs(dy) > r)
        return;
    double half = std::sqrt(r * r - dy * dy);
    out.take(cx - half, cx + half);
}

// The part of row yc within r of the segment: the discs at its ends and the band between.
static Interval capsule_row(double ax, double ay, double bx, double by, double r, double yc)
{
    Interval row;
    disc_row(ax, ay, r, yc, row);
    disc_row(bx, by, r, yc, row);
    double dx = bx - ax, dy = by - ay;
    if (dy == 0) {
        if (std::fabs(yc - ay) <= r)
            row.take(std::min(ax, bx), std::max(ax, bx));
        return row;
    }
    double length = std::hypot(dx, dy);
    double centre = ax + (yc - ay) * dx / dy;
    double half = r * length / std::fabs(dy);
    double lo = centre - half, hi = centre + half;
    if (dx == 0) {
        double t = (yc - ay) / dy;
        if (t < 0 || t > 1)
            return row;
    } else {
        double at_start = ax - (yc - ay) * dy / dx;
        double at_end = ax + (length * length - (yc - ay) * dy) / dx;
        lo = std::max(lo, std::min(at_start, at_end));
        hi = std::min(hi, std::max(at_start, at_end));
    }
    row.take(lo, hi);
    return row;
}

void scan_wide_path(const Point* points, int count, PathEnd end, int32_t width, const Rect& window, std::vector<Span>& out)
{
    if (!points || count < 1 || width < 1)
        return;
    double r = width / 2.0;
    double shift = (width % 2) ? 0.5 : 0.0;
    double top = points[0].y, bottom = points[0].y;
    for (int i = 0; i < count; i++) {
        top = std::min<double>(top, points[i].y);
        bottom = std::max<double>(bottom, points[i].y);
    }
    int64_t first = std::max<int64_t>(int64_t(std::floor(top + shift - r)) - 1, window.top);
    int64_t last = std::min<int64_t>(int64_t(std::ceil(bottom + shift + r)) + 1, window.bottom);
    int segments = (end == PathEnd::closed && count > 2) ? count : std::max(count - 1, 1);
    std::vector<Span> row_spans;
    for (int64_t y = first; y < last; y++) {
        double yc = double(y) + 0.5;
        row_spans.clear();
        for (int i = 0; i < segments; i++) {
            Point a = points[i], b = points[(i + 1) % count];
            Interval part = capsule_row(a.x + shift, a.y + shift, b.x + shift, b.y + shift, r, yc);
            int64_t x0 = int64_t(std::ceil(part.lo - 0.5)), x1 = int64_t(std::floor(part.hi - 0.5)) + 1;
            if (part.any && x0 < x1)
                row_spans.push_back(Span{int32_t(y), int32_t(x0), int32_t(x1)});
        }
        spans_normalize(row_spans);
        out.insert(out.end(), row_spans.begin(), row_spans.end());
    }
}

// --- Arcs ----------------------------------------------------------------------------------

struct Vec {
    int64_t x, y;
};

// A pixel as a vector from the box's centre, doubled (so the centre is whole) and with y
// pointing up, so that counter-clockwise on the screen is counter-clockwise here.
static Vec from_centre(const Rect& box, Point p)
{
    return Vec{2 * int64_t(p.x) - box.left - box.right, int64_t(box.top) + box.bottom - 2 * int64_t(p.y)};
}

static int64_t cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

bool scan_in_sweep(const ArcSweep& sweep, Point p)
{
    Vec s = from_centre(sweep.box, sweep.start), e = from_centre(sweep.box, sweep.end);
    Vec q = from_centre(sweep.box, p);
    int64_t turn = cross(s, e);
    if (turn == 0 && s.x * e.x + s.y * e.y >= 0)
        return true; // the same ray: the whole ellipse
    if (turn > 0)
        return cross(s, q) >= 0 && cross(q, e) >= 0;
    return cross(s, q) >= 0 || cross(q, e) >= 0;
}

bool scan_in_chord(const ArcSweep& sweep, Point p)
{
    Point s = scan_arc_point(sweep.box, sweep.start), e = scan_arc_point(sweep.box, sweep.end);
    if (s == e)
        return true;
    Vec chord{int64_t(e.x) - s.x, int64_t(s.y) - e.y};
    Vec to_p{int64_t(p.x) - s.x, int64_t(s.y) - p.y};
    return cross(chord, to_p) <= 0;
}

Point scan_arc_point(const Rect& box, Point through)
{
    Vec d = from_centre(box, through);
    double a = double(box.right) - box.left, b = double(box.bottom) - box.top; // doubled half-axes
    double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    if (d.x == 0 && d.y == 0)
        d = Vec{1, 0};
    double scale = std::hypot(double(d.x) * b, double(d.y) * a);
    double t = scale > 0 ? a * b / scale : 0;
    double x = cx + t * double(d.x) / 2, y = cy - t * double(d.y) / 2;
    int32_t px = int32_t(std::clamp<double>(std::floor(x + 0.5), box.left, box.right));
    int32_t py = int32_t(std::clamp<double>(std::floor(y + 0.5), box.top, box.bottom));
    return Point{px, py};
}

// --- Span lists ----------------------------------------------------------------------------

void spans_normalize(std::vector<Span>& spans)
{
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return a.y != b.y ? a.y < b.y : a.x0 < b.x0;
    });
    size_t kept = 0;
    for (const Span& span : spans) {
        if (span.x0 >= span.x1)
            continue;
        if (kept > 0 && spans[kept - 1].y == span.y && spans[kept - 1].x1 >= span.x0) {
            spans[kept - 1].x1 = std::max(spans[kept - 1].x1, span.x1);
            continue;
        }
        spans[kept++] = span;
    }
    spans.resize(kept);
}

std::vector<Span> spans_subtract(const std::vector<Span>& a, const std::vector<Span>& b)
{
    std::vector<Span> out;
    size_t j = 0;
    for (const Span& span : a) {
        while (j < b.size() && (b[j].y < span.y || (b[j].y == span.y && b[j].x1 <= span.x0)))
            j++;
        int32_t from = span.x0;
        for (size_t k = j; k < b.size() && b[k].y == span.y && b[k].x0 < span.x1; k++) {
            if (b[k].x0 > from)
                out.push_back(Span{span.y, from, b[k].x0});
            from = std::max(from, b[k].x1);
        }
        if (from < span.x1)
            out.push_back(Span{span.y, from, span.x1});
    }
    return out;
}

} // namespace plat
