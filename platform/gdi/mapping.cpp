#include "platform/gdi/mapping.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gdi/dc.h"

namespace plat {

constexpr int64_t kMappedLimit = int64_t(1) << 28;

static int32_t clamp_mapped(int64_t value) { return int32_t(std::clamp(value, -kMappedLimit, kMappedLimit)); }

// value x num / den rounded to the nearest integer, halves away from zero (as MulDiv).
static int64_t scale(int64_t value, int64_t num, int64_t den)
{
    __int128 product = __int128(value) * num;
    bool negative = (product < 0) != (den < 0);
    __int128 magnitude = product < 0 ? -product : product;
    __int128 divisor = den < 0 ? -__int128(den) : __int128(den);
    __int128 rounded = (magnitude + divisor / 2) / divisor;
    __int128 limit = __int128(kMappedLimit) * 4;
    rounded = std::min(rounded, limit);
    return int64_t(negative ? -rounded : rounded);
}

static bool scaled(const DcMapping& mapping) { return mapping.mode != MM_TEXT; }

Point mapping_to_device(const DcMapping& m, Point p)
{
    int64_t dx = int64_t(p.x) - m.window_org.x, dy = int64_t(p.y) - m.window_org.y;
    if (scaled(m)) {
        dx = scale(dx, m.viewport_ext.cx, m.window_ext.cx);
        dy = scale(dy, m.viewport_ext.cy, m.window_ext.cy);
    }
    return Point{clamp_mapped(dx + m.viewport_org.x), clamp_mapped(dy + m.viewport_org.y)};
}

Point mapping_to_logical(const DcMapping& m, Point p)
{
    int64_t dx = int64_t(p.x) - m.viewport_org.x, dy = int64_t(p.y) - m.viewport_org.y;
    if (scaled(m)) {
        dx = scale(dx, m.window_ext.cx, m.viewport_ext.cx);
        dy = scale(dy, m.window_ext.cy, m.viewport_ext.cy);
    }
    return Point{clamp_mapped(dx + m.window_org.x), clamp_mapped(dy + m.window_org.y)};
}

Rect mapping_rect_to_device(const DcMapping& mapping, const Rect& logical)
{
    Point a = mapping_to_device(mapping, Point{logical.left, logical.top});
    Point b = mapping_to_device(mapping, Point{logical.right, logical.bottom});
    if (!scaled(mapping))
        return Rect{a.x, a.y, b.x, b.y}; // MM_TEXT keeps an upside-down rectangle as it is
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

int32_t mapping_width_to_device(const DcMapping& mapping, int32_t width)
{
    if (!scaled(mapping))
        return width;
    return clamp_mapped(std::llabs(scale(width, mapping.viewport_ext.cx, mapping.window_ext.cx)));
}

bool mapping_is_unscaled(const DcMapping& mapping)
{
    return !scaled(mapping) || (mapping.viewport_ext == mapping.window_ext);
}

static DcMapping* mapping_of(DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    return record ? &record->attr.mapping : nullptr;
}

int set_map_mode(DcHandle dc, int mode)
{
    DcMapping* m = mapping_of(dc);
    if (!m || (mode != MM_TEXT && mode != MM_ISOTROPIC && mode != MM_ANISOTROPIC))
        return 0;
    int previous = m->mode;
    m->mode = mode;
    if (mode == MM_TEXT) {
        m->window_ext = Size{1, 1};
        m->viewport_ext = Size{1, 1};
    }
    return previous;
}

int get_map_mode(DcHandle dc)
{
    DcMapping* m = mapping_of(dc);
    return m ? m->mode : 0;
}

static bool set_point(DcHandle dc, Point DcMapping::*field, Point value, Point* previous)
{
    DcMapping* m = mapping_of(dc);
    if (!m)
        return false;
    if (previous)
        *previous = m->*field;
    m->*field = value;
    return true;
}

static bool offset_point(DcHandle dc, Point DcMapping::*field, int32_t dx, int32_t dy, Point* previous)
{
    DcMapping* m = mapping_of(dc);
    if (!m)
        return false;
    Point moved{clamp_mapped(int64_t((m->*field).x) + dx), clamp_mapped(int64_t((m->*field).y) + dy)};
    return set_point(dc, field, moved, previous);
}

static bool get_point(DcHandle dc, Point DcMapping::*field, Point& out)
{
    DcMapping* m = mapping_of(dc);
    if (!m)
        return false;
    out = m->*field;
    return true;
}

bool set_window_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous)
{
    return set_point(dc, &DcMapping::window_org, Point{x, y}, previous);
}
bool get_window_org_ex(DcHandle dc, Point& out) { return get_point(dc, &DcMapping::window_org, out); }
bool offset_window_org_ex(DcHandle dc, int32_t dx, int32_t dy, Point* previous)
{
    return offset_point(dc, &DcMapping::window_org, dx, dy, previous);
}
bool set_viewport_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous)
{
    return set_point(dc, &DcMapping::viewport_org, Point{x, y}, previous);
}
bool get_viewport_org_ex(DcHandle dc, Point& out) { return get_point(dc, &DcMapping::viewport_org, out); }
bool offset_viewport_org_ex(DcHandle dc, int32_t dx, int32_t dy, Point* previous)
{
    return offset_point(dc, &DcMapping::viewport_org, dx, dy, previous);
}

static bool set_extent(DcHandle dc, Size DcMapping::*field, int32_t cx, int32_t cy, Size* previous)
{
    DcMapping* m = mapping_of(dc);
    if (!m)
        return false;
    if (previous)
        *previous = m->*field;
    if (!scaled(*m))
        return true; // MM_TEXT ignores extents
    if (cx == 0 || cy == 0)
        return false;
    m->*field = Size{cx, cy};
    return true;
}

bool set_window_ext_ex(DcHandle dc, int32_t cx, int32_t cy, Size* previous)
{
    return set_extent(dc, &DcMapping::window_ext, cx, cy, previous);
}
bool set_viewport_ext_ex(DcHandle dc, int32_t cx, int32_t cy, Size* previous)
{
    return set_extent(dc, &DcMapping::viewport_ext, cx, cy, previous);
}

bool get_window_ext_ex(DcHandle dc, Size& out)
{
    DcMapping* m = mapping_of(dc);
    if (m)
        out = m->window_ext;
    return m != nullptr;
}

bool get_viewport_ext_ex(DcHandle dc, Size& out)
{
    DcMapping* m = mapping_of(dc);
    if (m)
        out = m->viewport_ext;
    return m != nullptr;
}

bool lp_to_dp(DcHandle dc, Point* points, int count)
{
    DcMapping* m = mapping_of(dc);
    if (!m || (count > 0 && !points))
        return false;
    for (int i = 0; i < count; i++)
        points[i] = mapping_to_device(*m, points[i]);
    return true;
}

bool dp_to_lp(DcHandle dc, Point* points, int count)
{
    DcMapping* m = mapping_of(dc);
    if (!m || (count > 0 && !points))
        return false;
    for (int i = 0; i < count; i++)
        points[i] = mapping_to_logical(*m, points[i]);
    return true;
}

} // namespace plat
