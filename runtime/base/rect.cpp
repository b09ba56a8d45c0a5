#include "runtime/base/rect.h"

#include <algorithm>
#include <utility>

static int32_t clamp32(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

Rect rect_from_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    return { std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2) };
}

Point rect_center(const Rect& rect)
{
    return { int32_t((int64_t(rect.left) + rect.right) / 2),
        int32_t((int64_t(rect.top) + rect.bottom) / 2) };
}

static void offset(Rect& rect, int64_t dx, int64_t dy)
{
    rect = { clamp32(rect.left + dx), clamp32(rect.top + dy), clamp32(rect.right + dx),
        clamp32(rect.bottom + dy) };
}

void rect_center_on(Point point, Rect& rect)
{
    Point center = rect_center(rect);
    offset(rect, int64_t(point.x) - center.x, int64_t(point.y) - center.y);
}

void rect_move_to(int32_t x, int32_t y, Rect& rect)
{
    offset(rect, int64_t(x) - rect.left, int64_t(y) - rect.top);
}

void rect_keep_inside(Rect& rect, const Rect& bounds)
{
    int64_t dx = std::max<int64_t>(
        int64_t(bounds.left) - rect.left, std::min<int64_t>(0, int64_t(bounds.right) - rect.right));
    int64_t dy = std::max<int64_t>(
        int64_t(bounds.top) - rect.top, std::min<int64_t>(0, int64_t(bounds.bottom) - rect.bottom));
    offset(rect, dx, dy);
}

// Clamps without std::clamp's precondition: bounds from a record may be inverted.
static int32_t clamp_edge(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : value > high ? high : value;
}

void rect_clamp_into(const Rect& bounds, Rect& rect)
{
    rect.left = clamp_edge(rect.left, bounds.left, bounds.right);
    rect.right = clamp_edge(rect.right, bounds.left, bounds.right);
    rect.top = clamp_edge(rect.top, bounds.top, bounds.bottom);
    rect.bottom = clamp_edge(rect.bottom, bounds.top, bounds.bottom);
}

int rect_is_empty(const Rect& rect) { return !(rect.left < rect.right && rect.top < rect.bottom); }

int rect_overlaps(const Rect& a, const Rect& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// The scale of one axis: target size over reference size, with the zero rules of rect_map.
struct AxisScale {
    int64_t target; // w or h
    int64_t source; // W or H, never 0
};

static AxisScale axis_scale(int32_t from_low, int32_t from_high, int32_t to_low, int32_t to_high)
{
    int64_t source = int64_t(from_high) - from_low;
    int64_t target = int64_t(to_high) - to_low;
    if (source == 0 && target == 0)
        target = 1; // keeps coordinates relative to the target's edge
    return { target, source == 0 ? 1 : source };
}

static Rect flipped(const Rect& to, int flip)
{
    Rect r = to;
    if (flip & kRectFlipX)
        std::swap(r.left, r.right);
    if (flip & kRectFlipY)
        std::swap(r.top, r.bottom);
    return r;
}

// base + (value - origin) * scale; the product of two 33-bit differences needs 128 bits.
static int64_t map_coordinate(int32_t base, int32_t value, int32_t origin, const AxisScale& s)
{
    __int128 scaled = __int128(int64_t(value) - origin) * s.target / s.source;
    return int64_t(base) + int64_t(std::clamp<__int128>(scaled, INT64_MIN / 2, INT64_MAX / 2));
}

void rect_map(Rect& rect, const Rect& from, const Rect& to, int flip)
{
    Rect t = flipped(to, flip);
    AxisScale x = axis_scale(from.left, from.right, t.left, t.right);
    AxisScale y = axis_scale(from.top, from.bottom, t.top, t.bottom);
    int32_t left = clamp32(map_coordinate(t.left, rect.left, from.left, x));
    int32_t top = clamp32(map_coordinate(t.top, rect.top, from.top, y));
    int32_t right = clamp32(map_coordinate(t.right, rect.right, from.right, x));
    int32_t bottom = clamp32(map_coordinate(t.bottom, rect.bottom, from.bottom, y));
    rect = rect_from_points(left, top, right, bottom);
}

void rect_map_point(Point& point, const Rect& from, const Rect& to, int flip)
{
    Rect t = flipped(to, flip);
    AxisScale x = axis_scale(from.left, from.right, t.left, t.right);
    AxisScale y = axis_scale(from.top, from.bottom, t.top, t.bottom);
    point = { clamp32(map_coordinate(t.left, point.x, from.left, x)),
        clamp32(map_coordinate(t.top, point.y, from.top, y)) };
}

Point rect_handle_delta(int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int handle)
{
    switch (handle) {
    case kHandleTopLeft: return { dx1, dy1 };
    case kHandleTop: return { 0, dy1 };
    case kHandleTopRight: return { dx2, dy1 };
    case kHandleRight: return { dx2, 0 };
    case kHandleBottomRight: return { dx2, dy2 };
    case kHandleBottom: return { 0, dy2 };
    case kHandleBottomLeft: return { dx1, dy2 };
    case kHandleLeft: return { dx1, 0 };
    default: return { 0, 0 };
    }
}

int rect_opposite_handle(int handle)
{
    if (handle < kHandleTopLeft || handle > kHandleLeft)
        return 0;
    return handle <= 4 ? handle + 4 : handle - 4;
}

int rect_corner_code(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (y2 >= y1)
        return x2 >= x1 ? kHandleTopLeft : kHandleTopRight;
    return x2 < x1 ? kHandleBottomRight : kHandleBottomLeft;
}

static bool handle_in(int handle, int a, int b, int c)
{
    return handle == a || handle == b || handle == c;
}

int rect_handle_flip(int32_t dx, int32_t dy, int handle, int32_t x, int32_t y)
{
    int bits = 0;
    if (dx != 0
        && ((x < dx && handle_in(handle, kHandleTopLeft, kHandleBottomLeft, kHandleLeft))
            || (x >= dx && handle_in(handle, kHandleTopRight, kHandleRight, kHandleBottomRight))))
        bits |= 1;
    if (dy != 0
        && ((dy < y && handle_in(handle, kHandleBottomRight, kHandleBottom, kHandleBottomLeft))
            || (dy >= y && handle_in(handle, kHandleTopLeft, kHandleTop, kHandleTopRight))))
        bits |= 2;
    return bits;
}
