// Points and rectangles with Win32's rules (a rectangle holds left..right-1 and top..bottom-1;
// it is empty when right <= left or bottom <= top), and rectangle lists: disjoint rectangles
// whose union is a region, as update regions and clip areas keep them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

using RectList = std::vector<Rect>;

void set_rect(Rect& rect, int32_t left, int32_t top, int32_t right, int32_t bottom);
void set_rect_empty(Rect& rect);
inline bool is_rect_empty(const Rect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }
bool equal_rect(const Rect& a, const Rect& b);
bool pt_in_rect(const Rect& rect, Point point);
// OffsetRect and InflateRect wrap around at the ends of the 32-bit range, as Win32's do.
void offset_rect(Rect& rect, int32_t dx, int32_t dy);
void inflate_rect(Rect& rect, int32_t dx, int32_t dy);
// A rectangle a program passed, kept within +-2^28 so that moving it between coordinate
// systems cannot overflow; the part that matters on any screen stays the same.
Rect rect_clamp(const Rect& rect);
// IntersectRect: false and an empty out when they do not meet.
// Inline: drawing and clipping call it for every object they meet.
inline bool intersect_rect(Rect& out, const Rect& a, const Rect& b)
{
    Rect r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
        a.bottom < b.bottom ? a.bottom : b.bottom};
    out = is_rect_empty(r) ? Rect{} : r;
    return !is_rect_empty(r);
}
// UnionRect: the bounding box; empty inputs are ignored. False when both are empty.
bool union_rect(Rect& out, const Rect& a, const Rect& b);
// SubtractRect: a minus b when the rest is a rectangle, else a itself. False when empty.
bool subtract_rect(Rect& out, const Rect& a, const Rect& b);

// Adds a rectangle to a list, keeping the rectangles disjoint. A list that would grow past
// kRectListMax rectangles becomes its bounding box: more area repaints, nothing is lost.
constexpr size_t kRectListMax = 32;
void rects_add(RectList& list, const Rect& rect);
// Removes an area from a list (rectangles are split where it cuts them).
void rects_subtract(RectList& list, const Rect& rect);
// Keeps only the parts of the list inside rect.
void rects_intersect(RectList& list, const Rect& rect);
void rects_offset(RectList& list, int32_t dx, int32_t dy);
// The union's bounding box; empty for an empty list.
Rect rects_bounds(const RectList& list);
bool rects_contain(const RectList& list, Point point);

} // namespace plat
