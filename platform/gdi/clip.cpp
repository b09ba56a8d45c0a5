#include "platform/gdi/clip.h"

#include <algorithm>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"

namespace plat {

// What the device itself lets a DC draw on, device coordinates.
static Region device_area(const DcRecord& record)
{
    if (record.kind != DcKind::window)
        return region_from_rect(dc_device_rect(record));
    Region visible = region_from_rects(record.visible);
    region_offset(visible, -record.origin.x, -record.origin.y);
    return visible;
}

bool clip_device_region(DcHandle dc, Region& out)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    out = device_area(*record);
    if (record->attr.clipped)
        out = region_combine(out, record->attr.clip, RGN_AND);
    return true;
}

static int drawable_kind(DcHandle dc)
{
    // A bitmap clipped to one rectangle, what every object's draw selects, needs no region.
    DcRecord* record = dc_find(dc);
    if (record && record->kind != DcKind::window && record->attr.clipped && record->attr.clip.rects.size() <= 1) {
        Rect part;
        bool meets = !record->attr.clip.rects.empty()
            && intersect_rect(part, record->attr.clip.rects[0], dc_device_rect(*record));
        return meets ? SIMPLEREGION : NULLREGION;
    }
    Region drawable;
    return clip_device_region(dc, drawable) ? region_kind(drawable) : REGION_ERROR;
}

// The clip region, or the whole device when there is none.
static Region clip_or_device(const DcRecord& record)
{
    return record.attr.clipped ? record.attr.clip : region_from_rect(dc_device_rect(record));
}

int select_clip_rgn(DcHandle dc, GdiObject region)
{
    return ext_select_clip_rgn(dc, region, RGN_COPY);
}

int ext_select_clip_rgn(DcHandle dc, GdiObject region, int mode)
{
    DcRecord* record = dc_find(dc);
    Region* data = gdi_data<Region>(region);
    if (!record || mode < RGN_AND || mode > RGN_COPY || (region && !data) || (!data && mode != RGN_COPY))
        return REGION_ERROR;
    if (!data) {
        record->attr.clipped = false;
        record->attr.clip = Region{};
    } else if (mode == RGN_COPY) {
        record->attr.clip = *data;
        record->attr.clipped = true;
    } else {
        record->attr.clip = region_combine(clip_or_device(*record), *data, mode);
        record->attr.clipped = true;
    }
    return drawable_kind(dc);
}

bool select_clip_rect(DcHandle dc, const Rect& device)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    record->attr.clip.rects.clear(); // keeps the storage for the next object's rectangle
    if (!is_rect_empty(device))
        record->attr.clip.rects.push_back(device);
    record->attr.clipped = true;
    return true;
}

static int combine_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int mode)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return REGION_ERROR;
    Rect device = mapping_rect_to_device(record->attr.mapping, Rect{left, top, right, bottom});
    device = Rect{std::min(device.left, device.right), std::min(device.top, device.bottom),
        std::max(device.left, device.right), std::max(device.top, device.bottom)};
    record->attr.clip = region_combine(clip_or_device(*record), region_from_rect(device), mode);
    record->attr.clipped = true;
    return drawable_kind(dc);
}

int exclude_clip_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return combine_rect(dc, left, top, right, bottom, RGN_DIFF);
}

int intersect_clip_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return combine_rect(dc, left, top, right, bottom, RGN_AND);
}

int offset_clip_rgn(DcHandle dc, int32_t dx, int32_t dy)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return REGION_ERROR;
    if (record->attr.clipped) {
        const DcMapping& m = record->attr.mapping;
        Point origin = mapping_to_device(m, Point{0, 0});
        Point moved = mapping_to_device(m, Point{dx, dy});
        region_offset(record->attr.clip, moved.x - origin.x, moved.y - origin.y);
    }
    return drawable_kind(dc);
}

int get_clip_box(DcHandle dc, Rect& rect)
{
    DcRecord* record = dc_find(dc);
    Region drawable;
    rect = Rect{};
    if (!record || !clip_device_region(dc, drawable))
        return REGION_ERROR;
    if (drawable.rects.empty())
        return NULLREGION;
    Rect bounds = region_bounds(drawable);
    Point a = mapping_to_logical(record->attr.mapping, Point{bounds.left, bounds.top});
    Point b = mapping_to_logical(record->attr.mapping, Point{bounds.right, bounds.bottom});
    rect = Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    return region_kind(drawable);
}

int get_clip_rgn(DcHandle dc, GdiObject region)
{
    DcRecord* record = dc_find(dc);
    Region* data = gdi_data<Region>(region);
    if (!record || !data)
        return -1;
    if (!record->attr.clipped)
        return 0;
    *data = record->attr.clip;
    return 1;
}

bool pt_visible(DcHandle dc, int32_t x, int32_t y)
{
    DcRecord* record = dc_find(dc);
    Region drawable;
    if (!record || !clip_device_region(dc, drawable))
        return false;
    return region_contains(drawable, mapping_to_device(record->attr.mapping, Point{x, y}));
}

bool rect_visible(DcHandle dc, const Rect& rect)
{
    DcRecord* record = dc_find(dc);
    Region drawable;
    if (!record || !clip_device_region(dc, drawable))
        return false;
    Rect device = mapping_rect_to_device(record->attr.mapping, rect);
    device = Rect{std::min(device.left, device.right), std::min(device.top, device.bottom),
        std::max(device.left, device.right), std::max(device.top, device.bottom)};
    return region_meets_rect(drawable, device);
}

} // namespace plat
