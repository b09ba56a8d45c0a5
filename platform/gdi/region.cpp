#include "platform/gdi/region.h"

#include <algorithm>

#include "platform/kernel/error.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/scan.h"

namespace plat {

// Coordinates a moved region keeps; past them rectangles are cut, never wrapped.
constexpr int64_t kRegionLimit = int64_t(1) << 30;

using Intervals = std::vector<std::pair<int32_t, int32_t>>;

Region region_from_rect(const Rect& rect)
{
    Region region;
    if (!is_rect_empty(rect))
        region.rects.push_back(rect);
    return region;
}

Region region_from_rects(const std::vector<Rect>& rects)
{
    Region region;
    for (const Rect& rect : rects)
        region = region_combine(region, region_from_rect(rect), RGN_OR);
    return region;
}

// Appends a band, joining it to the band above when they touch and hold the same intervals.
static void append_band(Region& region, int32_t top, int32_t bottom, const Intervals& intervals, size_t& last_band)
{
    if (intervals.empty())
        return;
    size_t count = region.rects.size() - last_band;
    bool joins = count == intervals.size() && count > 0 && region.rects[last_band].bottom == top;
    for (size_t i = 0; joins && i < count; i++) {
        const Rect& r = region.rects[last_band + i];
        joins = r.left == intervals[i].first && r.right == intervals[i].second;
    }
    if (joins) {
        for (size_t i = last_band; i < region.rects.size(); i++)
            region.rects[i].bottom = bottom;
        return;
    }
    last_band = region.rects.size();
    for (const auto& [left, right] : intervals)
        region.rects.push_back(Rect{left, top, right, bottom});
}

Region region_from_spans(const std::vector<Span>& spans)
{
    Region region;
    size_t last_band = 0;
    Intervals row;
    for (size_t i = 0; i < spans.size();) {
        int32_t y = spans[i].y;
        row.clear();
        for (; i < spans.size() && spans[i].y == y; i++) {
            if (spans[i].x0 < spans[i].x1)
                row.emplace_back(spans[i].x0, spans[i].x1);
        }
        append_band(region, y, y + 1, row, last_band);
    }
    return region;
}

static bool combine_test(int mode, bool in_a, bool in_b)
{
    switch (mode) {
    case RGN_AND: return in_a && in_b;
    case RGN_OR: return in_a || in_b;
    case RGN_XOR: return in_a != in_b;
    case RGN_DIFF: return in_a && !in_b;
    default: return in_a;
    }
}

// The intervals of the band covering row y; cursor walks forward as y grows.
static Intervals band_intervals(const Region& region, size_t& cursor, int32_t y)
{
    const std::vector<Rect>& rects = region.rects;
    while (cursor < rects.size() && rects[cursor].bottom <= y)
        cursor++;
    Intervals out;
    if (cursor >= rects.size() || rects[cursor].top > y)
        return out;
    for (size_t i = cursor; i < rects.size() && rects[i].top == rects[cursor].top; i++)
        out.emplace_back(rects[i].left, rects[i].right);
    return out;
}

static Intervals combine_intervals(const Intervals& a, const Intervals& b, int mode)
{
    std::vector<int32_t> edges;
    for (const auto& [left, right] : a)
        edges.insert(edges.end(), {left, right});
    for (const auto& [left, right] : b)
        edges.insert(edges.end(), {left, right});
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    Intervals out;
    size_t i = 0, j = 0;
    for (size_t k = 0; k + 1 < edges.size(); k++) {
        int32_t x = edges[k];
        while (i < a.size() && a[i].second <= x)
            i++;
        while (j < b.size() && b[j].second <= x)
            j++;
        bool in_a = i < a.size() && a[i].first <= x;
        bool in_b = j < b.size() && b[j].first <= x;
        if (!combine_test(mode, in_a, in_b))
            continue;
        if (!out.empty() && out.back().second == x)
            out.back().second = edges[k + 1];
        else
            out.emplace_back(x, edges[k + 1]);
    }
    return out;
}

// An empty operand decides the result without walking bands (regions here are always banded,
// so the other operand is already the answer's form).
static bool combine_with_empty(const Region& a, const Region& b, int mode, Region& out)
{
    if (!a.rects.empty() && !b.rects.empty())
        return false;
    bool keeps_a = mode == RGN_OR || mode == RGN_XOR || mode == RGN_DIFF;
    bool keeps_b = mode == RGN_OR || mode == RGN_XOR;
    if (a.rects.empty())
        out = keeps_b ? b : Region{};
    else
        out = keeps_a ? a : Region{};
    return true;
}

// A region cut to one rectangle: each band cut to its rows and columns, then joined again where
// the cut made neighbouring bands alike. This is what every clipped drawing call asks for.
static Region cut_to_rect(const Region& region, const Rect& rect)
{
    Region out;
    if (region.rects.size() == 1) {
        Rect part;
        if (intersect_rect(part, region.rects[0], rect))
            out.rects.push_back(part);
        return out;
    }
    size_t last_band = 0;
    Intervals band;
    for (size_t i = 0; i < region.rects.size();) {
        const Rect& first = region.rects[i];
        int32_t top = std::max(first.top, rect.top), bottom = std::min(first.bottom, rect.bottom);
        band.clear();
        for (; i < region.rects.size() && region.rects[i].top == first.top; i++) {
            int32_t left = std::max(region.rects[i].left, rect.left);
            int32_t right = std::min(region.rects[i].right, rect.right);
            if (left < right)
                band.emplace_back(left, right);
        }
        if (top < bottom)
            append_band(out, top, bottom, band, last_band);
    }
    return out;
}

Region region_combine(const Region& a, const Region& b, int mode)
{
    if (mode == RGN_COPY)
        return a;
    Region quick;
    if (combine_with_empty(a, b, mode, quick))
        return quick;
    if (mode == RGN_AND && b.rects.size() == 1)
        return cut_to_rect(a, b.rects[0]);
    if (mode == RGN_AND && a.rects.size() == 1)
        return cut_to_rect(b, a.rects[0]);
    std::vector<int32_t> rows;
    for (const Rect& r : a.rects)
        rows.insert(rows.end(), {r.top, r.bottom});
    for (const Rect& r : b.rects)
        rows.insert(rows.end(), {r.top, r.bottom});
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    Region out;
    size_t last_band = 0, cursor_a = 0, cursor_b = 0;
    for (size_t k = 0; k + 1 < rows.size(); k++) {
        Intervals in_a = band_intervals(a, cursor_a, rows[k]);
        Intervals in_b = band_intervals(b, cursor_b, rows[k]);
        append_band(out, rows[k], rows[k + 1], combine_intervals(in_a, in_b, mode), last_band);
    }
    return out;
}

static int32_t moved(int32_t value, int32_t delta)
{
    return int32_t(std::clamp(int64_t(value) + delta, -kRegionLimit, kRegionLimit));
}

void region_offset(Region& region, int32_t dx, int32_t dy)
{
    if (dx == 0 && dy == 0)
        return;
    size_t kept = 0;
    for (const Rect& r : region.rects) {
        Rect m{moved(r.left, dx), moved(r.top, dy), moved(r.right, dx), moved(r.bottom, dy)};
        if (!is_rect_empty(m))
            region.rects[kept++] = m;
    }
    region.rects.resize(kept);
}

Rect region_bounds(const Region& region)
{
    Rect bounds;
    for (const Rect& r : region.rects)
        union_rect(bounds, bounds, r);
    return bounds;
}

int region_kind(const Region& region)
{
    if (region.rects.empty())
        return NULLREGION;
    return region.rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

size_t region_band_at(const Region& region, int32_t y)
{
    const std::vector<Rect>& rects = region.rects;
    auto it = std::partition_point(rects.begin(), rects.end(), [y](const Rect& r) { return r.bottom <= y; });
    if (it == rects.end() || it->top > y)
        return rects.size();
    return size_t(it - rects.begin());
}

bool region_contains(const Region& region, Point point)
{
    for (size_t i = region_band_at(region, point.y); i < region.rects.size(); i++) {
        const Rect& r = region.rects[i];
        if (r.top > point.y || r.left > point.x)
            return false;
        if (point.x < r.right)
            return true;
    }
    return false;
}

bool region_meets_rect(const Region& region, const Rect& rect)
{
    Rect part;
    for (const Rect& r : region.rects) {
        if (intersect_rect(part, r, rect))
            return true;
    }
    return false;
}

static Rect ordered_rect(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return Rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

static GdiObject add_region(Region region)
{
    GdiRecord record;
    record.kind = OBJ_REGION;
    record.data = std::move(region);
    return gdi_add(std::move(record));
}

GdiObject create_rect_rgn(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return add_region(region_from_rect(ordered_rect(left, top, right, bottom)));
}

GdiObject create_rect_rgn_indirect(const Rect& rect)
{
    return create_rect_rgn(rect.left, rect.top, rect.right, rect.bottom);
}

// Shapes turned into regions keep the rows and columns any bitmap can have, so that a huge
// shape costs no more than a large one.
constexpr int32_t kShapeRegionLimit = 2 * kPixmapMaxSide;

static Rect region_window()
{
    return Rect{-kShapeRegionLimit, -kShapeRegionLimit, kShapeRegionLimit, kShapeRegionLimit};
}

GdiObject create_elliptic_rgn(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    Rect box = rect_clamp(ordered_rect(left, top, right, bottom));
    std::vector<Span> spans;
    if (box.right > box.left && box.bottom > box.top)
        scan_ellipse(Rect{box.left, box.top, box.right - 1, box.bottom - 1}, region_window(), spans);
    return add_region(region_from_spans(spans));
}

GdiObject create_polygon_rgn(const Point* points, int count, int fill_mode)
{
    if (!points || count < 0 || (fill_mode != ALTERNATE && fill_mode != WINDING)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    std::vector<Point> clamped(points, points + count);
    for (Point& p : clamped) {
        Rect r = rect_clamp(Rect{p.x, p.y, p.x, p.y});
        p = Point{r.left, r.top};
    }
    std::vector<Span> spans;
    scan_polygon(clamped.data(), count, fill_mode, region_window(), spans);
    return add_region(region_from_spans(spans));
}

bool set_rect_rgn(GdiObject region, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    Region* data = gdi_data<Region>(region);
    if (!data)
        return false;
    // Reuses the region's storage: drawing code sets one scratch region per object it draws.
    Rect rect = ordered_rect(left, top, right, bottom);
    data->rects.clear();
    if (!is_rect_empty(rect))
        data->rects.push_back(rect);
    return true;
}

int combine_rgn(GdiObject dest, GdiObject a, GdiObject b, int mode)
{
    Region* out = gdi_data<Region>(dest);
    Region* first = gdi_data<Region>(a);
    Region* second = mode == RGN_COPY ? first : gdi_data<Region>(b);
    if (!out || !first || !second || mode < RGN_AND || mode > RGN_COPY)
        return REGION_ERROR;
    Region result = region_combine(*first, *second, mode);
    *out = std::move(result);
    return region_kind(*out);
}

int offset_rgn(GdiObject region, int32_t dx, int32_t dy)
{
    Region* data = gdi_data<Region>(region);
    if (!data)
        return REGION_ERROR;
    region_offset(*data, dx, dy);
    return region_kind(*data);
}

int get_rgn_box(GdiObject region, Rect& box)
{
    Region* data = gdi_data<Region>(region);
    if (!data) {
        box = Rect{};
        return REGION_ERROR;
    }
    box = region_bounds(*data);
    return region_kind(*data);
}

bool pt_in_region(GdiObject region, int32_t x, int32_t y)
{
    Region* data = gdi_data<Region>(region);
    return data && region_contains(*data, Point{x, y});
}

bool rect_in_region(GdiObject region, const Rect& rect)
{
    Region* data = gdi_data<Region>(region);
    return data && region_meets_rect(*data, ordered_rect(rect.left, rect.top, rect.right, rect.bottom));
}

bool equal_rgn(GdiObject a, GdiObject b)
{
    Region* first = gdi_data<Region>(a);
    Region* second = gdi_data<Region>(b);
    return first && second && *first == *second;
}

bool get_region_rects(GdiObject region, std::vector<Rect>& out)
{
    Region* data = gdi_data<Region>(region);
    if (!data)
        return false;
    out = data->rects;
    return true;
}

} // namespace plat
