#include "runtime/display/hit_test.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "runtime/base/fix.h"

static int32_t clamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The rectangle with dx added to left and taken from right, dy likewise (negative: grows).
static Rect shrink(const Rect& r, int64_t dx, int64_t dy)
{
    return Rect{clamp32(r.left + dx), clamp32(r.top + dy), clamp32(r.right - dx), clamp32(r.bottom - dy)};
}

static int64_t width_of(const Rect& r) { return int64_t(r.right) - r.left; }
static int64_t height_of(const Rect& r) { return int64_t(r.bottom) - r.top; }
static Point center_of(const Rect& r) { return Point{clamp32((int64_t(r.left) + r.right) / 2), clamp32((int64_t(r.top) + r.bottom) / 2)}; }

bool rect_intersects(const Rect& a, const Rect& b)
{
    if (int64_t(b.top) + b.bottom == 0)
        return true;
    return a.bottom >= b.top && a.top <= b.bottom && a.right >= b.left && b.right >= a.left;
}

bool hit_framed_rect(const Rect& test, const Rect& rect, Point pen, bool filled)
{
    if (!rect_intersects(test, rect))
        return false;
    if (filled)
        return true;
    Rect inner = shrink(rect, width_of(test) + pen.x, height_of(test) + pen.y);
    return !rect_intersects(test, inner);
}

// Halves the offset and the half-axis together until both fit in 9 bits.
static void scale_down(int64_t& offset, int64_t& radius)
{
    while (std::llabs(offset) > 256 || radius > 256) {
        offset /= 2;
        radius /= 2;
    }
}

bool hit_point_in_ellipse(int32_t x, int32_t y, const Rect& rect)
{
    int64_t cx = (int64_t(rect.left) + rect.right) / 2, cy = (int64_t(rect.top) + rect.bottom) / 2;
    int64_t rx = width_of(rect) / 2, ry = height_of(rect) / 2;
    int64_t dx = x - cx, dy = y - cy;
    scale_down(dx, rx);
    scale_down(dy, ry);
    return rx * rx * ry * ry >= dx * dx * ry * ry + rx * rx * dy * dy;
}

bool hit_ellipse(const Rect& test, const Rect& rect, Point pen, bool filled)
{
    Point c = center_of(test);
    Rect outer = shrink(rect, -width_of(test), -height_of(test));
    if (!hit_point_in_ellipse(c.x, c.y, outer))
        return false;
    if (filled)
        return true;
    Rect inner = shrink(rect, width_of(test) + pen.x, height_of(test) + pen.y);
    return !hit_point_in_ellipse(c.x, c.y, inner);
}

// 16.16 slope from a to b; 0 for a vertical step.
static int64_t slope(int64_t ax, int64_t ay, int64_t bx, int64_t by)
{
    return bx == ax ? 0 : (by - ay) * 65536 / (bx - ax);
}

bool hit_line(const Rect& test, Point p, Point q, Point pen)
{
    int64_t k = width_of(test) + pen.x / 2;
    Rect span = rect_from_points(p.x, p.y, q.x, q.y);
    if (!rect_intersects(test, shrink(span, -k, -k)))
        return false;
    Point c = center_of(test);
    if (height_of(span) > width_of(span)) {
        std::swap(p.x, p.y);
        std::swap(q.x, q.y);
        std::swap(c.x, c.y);
    }
    int64_t s = slope(p.x, p.y, q.x, q.y);
    int64_t s1 = slope(p.x, p.y - k, c.x, c.y);
    int64_t s2 = slope(p.x, p.y + k, c.x, c.y);
    return (s < s2) != (s < s1);
}

// +1, -1 or 0: which side of p0->p1 the point p2 lies on, with the collinear cases ordered.
static int orientation(Point p0, Point p1, Point p2)
{
    int64_t d1x = int64_t(p1.x) - p0.x, d1y = int64_t(p1.y) - p0.y;
    int64_t d2x = int64_t(p2.x) - p0.x, d2y = int64_t(p2.y) - p0.y;
    if (d1x * d2y > d1y * d2x)
        return 1;
    if (d1x * d2y < d1y * d2x)
        return -1;
    if (d1y == 0 && d2y == 0)
        return d2x > 0 ? 1 : (d2x < 0 ? -1 : 0);
    if (d1x * d2x < 0 || d1y * d2y < 0)
        return -1;
    if (d1x * d1x + d1y * d1y < d2x * d2x + d2y * d2y)
        return 1;
    return 0;
}

static bool segments_cross(Point a, Point b, Point c, Point d)
{
    return orientation(a, b, c) * orientation(a, b, d) <= 0 && orientation(c, d, a) * orientation(c, d, b) <= 0;
}

// Odd crossings of the ray from c to x = 0x7FFF, walking round from the lowest point.
static bool inside_by_ray(int count, const Point* points, Point c)
{
    int start = 0;
    for (int i = 1; i < count; i++)
        if (points[i].y < points[start].y || (points[i].y == points[start].y && points[i].x < points[start].x))
            start = i;
    Point far{0x7FFF, c.y};
    int crossings = 0;
    for (int n = 0; n < count; n++) {
        Point a = points[(start + n) % count], b = points[(start + n + 1) % count];
        if (a == b)
            continue;
        bool through_start = a.y == c.y && a.x >= c.x;
        if (!through_start && segments_cross(c, far, a, b))
            crossings++;
    }
    return crossings % 2 == 1;
}

bool hit_test_polygon(const Rect& test, int count, const Point* points, const Rect& bounds, Point pen, bool closed,
    int* edge_index)
{
    if (count <= 0 || !points || !rect_intersects(test, bounds))
        return false;
    for (int i = 0; i < count; i++) {
        if (i == count - 1 && !closed)
            break;
        Point a = points[i], b = points[(i + 1) % count];
        if (a == b)
            continue;
        if (hit_line(test, a, b, pen)) {
            if (edge_index)
                *edge_index = i;
            return true;
        }
    }
    return closed && inside_by_ray(count, points, center_of(test));
}

int64_t dist_points_squared(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int64_t* dx_squared)
{
    int64_t dx = int64_t(x2) - x1, dy = int64_t(y2) - y1;
    if (dx_squared)
        *dx_squared = dx * dx;
    return dx * dx + dy * dy;
}

int32_t dist_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    int64_t squared = dist_points_squared(x1, y1, x2, y2, nullptr);
    if (squared <= INT32_MAX)
        return fix_isqrt(int32_t(squared));
    // Points farther apart than 46340: the same root, taken wider.
    int64_t root = int64_t(std::sqrt(double(squared)));
    while (root * root > squared)
        root--;
    while ((root + 1) * (root + 1) <= squared)
        root++;
    return clamp32(root);
}

Point point_project_on_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x, int32_t y)
{
    if (y1 == y2)
        return Point{x, y1};
    if (x1 == x2)
        return Point{x1, y};
    double m = (double(y2) - y1) / (double(x2) - x1);
    double h = 1 / m;
    double fx = (h * x + m * x1 + (double(y) - y1)) / (m + h);
    double fy = y1 + m * (fx - x1);
    auto to_int = [](double v) { return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX))); };
    return Point{to_int(fx), to_int(fy)};
}
