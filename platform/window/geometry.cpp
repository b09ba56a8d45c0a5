#include "platform/window/geometry.h"

#include <algorithm>

namespace plat {

void set_rect(Rect& rect, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    rect = Rect{left, top, right, bottom};
}

void set_rect_empty(Rect& rect) { rect = Rect{}; }

bool equal_rect(const Rect& a, const Rect& b) { return a == b; }

bool pt_in_rect(const Rect& rect, Point point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top
        && point.y < rect.bottom;
}

static int32_t wrapping_add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

void offset_rect(Rect& rect, int32_t dx, int32_t dy)
{
    rect.left = wrapping_add(rect.left, dx);
    rect.right = wrapping_add(rect.right, dx);
    rect.top = wrapping_add(rect.top, dy);
    rect.bottom = wrapping_add(rect.bottom, dy);
}

void inflate_rect(Rect& rect, int32_t dx, int32_t dy)
{
    rect.left = wrapping_add(rect.left, int32_t(0u - uint32_t(dx)));
    rect.right = wrapping_add(rect.right, dx);
    rect.top = wrapping_add(rect.top, int32_t(0u - uint32_t(dy)));
    rect.bottom = wrapping_add(rect.bottom, dy);
}

constexpr int32_t kClampLimit = 1 << 28;

Rect rect_clamp(const Rect& rect)
{
    auto clamp = [](int32_t value) { return std::clamp(value, -kClampLimit, kClampLimit); };
    return Rect{clamp(rect.left), clamp(rect.top), clamp(rect.right), clamp(rect.bottom)};
}

bool union_rect(Rect& out, const Rect& a, const Rect& b)
{
    if (is_rect_empty(a)) {
        out = is_rect_empty(b) ? Rect{} : b;
        return !is_rect_empty(out);
    }
    if (is_rect_empty(b)) {
        out = a;
        return true;
    }
    out = Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
        std::max(a.bottom, b.bottom)};
    return true;
}

bool subtract_rect(Rect& out, const Rect& a, const Rect& b)
{
    Rect r = a;
    Rect cut;
    if (!is_rect_empty(a) && intersect_rect(cut, a, b)) {
        bool spans_width = cut.left == a.left && cut.right == a.right;
        bool spans_height = cut.top == a.top && cut.bottom == a.bottom;
        if (spans_width && cut.top == a.top)
            r.top = cut.bottom;
        else if (spans_width && cut.bottom == a.bottom)
            r.bottom = cut.top;
        else if (spans_height && cut.left == a.left)
            r.left = cut.right;
        else if (spans_height && cut.right == a.right)
            r.right = cut.left;
    }
    if (is_rect_empty(r)) {
        out = Rect{};
        return false;
    }
    out = r;
    return true;
}

// The parts of a outside b: at most a band above, a band below and two pieces beside.
static void cut_out(const Rect& a, const Rect& b, RectList& pieces)
{
    Rect cut;
    if (!intersect_rect(cut, a, b)) {
        pieces.push_back(a);
        return;
    }
    if (a.top < cut.top)
        pieces.push_back(Rect{a.left, a.top, a.right, cut.top});
    if (cut.bottom < a.bottom)
        pieces.push_back(Rect{a.left, cut.bottom, a.right, a.bottom});
    if (a.left < cut.left)
        pieces.push_back(Rect{a.left, cut.top, cut.left, cut.bottom});
    if (cut.right < a.right)
        pieces.push_back(Rect{cut.right, cut.top, a.right, cut.bottom});
}

// Joins neighbours that share a whole edge, so that repeated small additions stay few.
static void coalesce(RectList& list)
{
    bool joined = true;
    while (joined) {
        joined = false;
        for (size_t i = 0; i < list.size() && !joined; i++) {
            for (size_t j = i + 1; j < list.size() && !joined; j++) {
                Rect& a = list[i];
                const Rect& b = list[j];
                bool same_rows = a.top == b.top && a.bottom == b.bottom;
                bool same_columns = a.left == b.left && a.right == b.right;
                if (same_rows && (a.right == b.left || b.right == a.left)) {
                    a.left = std::min(a.left, b.left);
                    a.right = std::max(a.right, b.right);
                    joined = true;
                } else if (same_columns && (a.bottom == b.top || b.bottom == a.top)) {
                    a.top = std::min(a.top, b.top);
                    a.bottom = std::max(a.bottom, b.bottom);
                    joined = true;
                }
                if (joined)
                    list.erase(list.begin() + std::ptrdiff_t(j));
            }
        }
    }
}

void rects_add(RectList& list, const Rect& rect)
{
    if (is_rect_empty(rect))
        return;
    RectList pieces{rect};
    for (const Rect& existing : list) {
        RectList rest;
        for (const Rect& piece : pieces)
            cut_out(piece, existing, rest);
        pieces.swap(rest);
        if (pieces.empty())
            return;
    }
    list.insert(list.end(), pieces.begin(), pieces.end());
    coalesce(list);
    if (list.size() > kRectListMax) {
        Rect bounds = rects_bounds(list);
        list.assign(1, bounds);
    }
}

void rects_subtract(RectList& list, const Rect& rect)
{
    if (is_rect_empty(rect))
        return;
    RectList rest;
    for (const Rect& existing : list)
        cut_out(existing, rect, rest);
    list.swap(rest);
    coalesce(list);
}

void rects_intersect(RectList& list, const Rect& rect)
{
    RectList kept;
    for (const Rect& existing : list) {
        Rect part;
        if (intersect_rect(part, existing, rect))
            kept.push_back(part);
    }
    list.swap(kept);
}

void rects_offset(RectList& list, int32_t dx, int32_t dy)
{
    for (Rect& r : list)
        offset_rect(r, dx, dy);
}

Rect rects_bounds(const RectList& list)
{
    Rect bounds;
    for (const Rect& r : list)
        union_rect(bounds, bounds, r);
    return bounds;
}

bool rects_contain(const RectList& list, Point point)
{
    for (const Rect& r : list) {
        if (pt_in_rect(r, point))
            return true;
    }
    return false;
}

} // namespace plat
