#include "platform/gdi/raster.h"

#include <algorithm>

#include "platform/backend/backend.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rop.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr int64_t kPlaneLimit = int64_t(1) << 30;

static int32_t plane_coord(int64_t device, int32_t offset)
{
    return int32_t(std::clamp(device + offset, -kPlaneLimit, kPlaneLimit));
}

static bool open_window(const DcRecord& record, RasterTarget& out)
{
    WindowRecord* root = wintree_root(record.window);
    if (!root || !root->surface || !wintree_find(record.window))
        return false;
    out.plane = surface_plane(*root->surface);
    out.offset = record.origin;
    // The surface may have shrunk since the DC was made: its visible area is cut to it.
    out.clip = region_combine(region_from_rects(record.visible),
        region_from_rect(Rect{0, 0, out.plane.width, out.plane.height}), RGN_AND);
    out.window = true;
    return true;
}

static bool open_memory(const DcRecord& record, RasterTarget& out)
{
    BitmapData* bitmap = gdi_data<BitmapData>(record.attr.bitmap, GdiLookup::pending);
    if (!bitmap || bitmap->discarded)
        return false;
    out.plane = pixmap_plane(bitmap->pixmap);
    out.clip = region_from_rect(Rect{0, 0, out.plane.width, out.plane.height});
    return true;
}

static void resolve_colors(RasterTarget& out)
{
    out.text_rgb = pixel_from_colorref(raster_resolve(out, out.attr.text_color));
    out.bk_rgb = pixel_from_colorref(raster_resolve(out, out.attr.bk_color));
    if (out.plane.bits) {
        out.text_value = pixels_from_rgb(out.plane, out.text_rgb);
        out.bk_value = pixels_from_rgb(out.plane, out.bk_rgb);
    }
}

bool raster_open(DcHandle dc, RasterTarget& out)
{
    DcRecord* record = dc_find(dc);
    if (!record || record->kind == DcKind::info)
        return false;
    out.dc = dc;
    out.attr = record->attr;
    bool opened = true;
    if (record->kind == DcKind::window)
        opened = open_window(*record, out);
    else if (record->kind == DcKind::memory)
        opened = open_memory(*record, out);
    if (!opened)
        return false;
    if (out.attr.clipped && out.offset == Point{0, 0}) {
        out.clip = region_combine(out.clip, out.attr.clip, RGN_AND);
    } else if (out.attr.clipped) {
        Region clip = out.attr.clip;
        region_offset(clip, out.offset.x, out.offset.y);
        out.clip = region_combine(out.clip, clip, RGN_AND);
    }
    resolve_colors(out);
    return true;
}

void raster_close(RasterTarget& target)
{
    DcRecord* record = dc_find(target.dc);
    if (!target.window || is_rect_empty(target.changed) || !record)
        return;
    WindowRecord* root = wintree_root(record->window);
    Backend* backend = backend_get();
    if (root && backend)
        backend->surface_changed(root->handle, target.changed);
}

uint32_t raster_resolve(const RasterTarget& target, uint32_t color)
{
    return palette_resolve(target.attr.palette, color);
}

// A colour's value in the plane with the palette.
static uint32_t plane_value(const PixelPlane& plane, GdiObject palette, uint32_t color)
{
    if (!plane.bits)
        return 0;
    return pixels_from_rgb(plane, pixel_from_colorref(palette_resolve(palette, color)));
}

uint32_t raster_value(const RasterTarget& target, uint32_t color)
{
    return plane_value(target.plane, target.attr.palette, color);
}

RasterPaint raster_solid(uint32_t value, uint8_t rop)
{
    RasterPaint paint;
    paint.rop = rop;
    paint.solid = value;
    return paint;
}

bool raster_brush(const RasterTarget& target, GdiObject brush, uint8_t rop, RasterPaint& out)
{
    BrushData* data = gdi_data<BrushData>(brush, GdiLookup::pending);
    if (!data || data->style == BS_NULL)
        return false;
    if (data->style == BS_SOLID) {
        // Field by field: a solid paint never reads its pattern, and clearing it costs more
        // than many a fill it serves.
        out.rop = rop;
        out.patterned = false;
        out.solid = raster_value(target, data->color);
        return true;
    }
    const PatternData& pattern = data->pattern;
    out = RasterPaint{};
    out.rop = rop;
    out.patterned = true;
    out.pattern_width = std::max(pattern.width, 1);
    out.pattern_height = std::max(pattern.height, 1);
    for (int i = 0; i < 64; i++) {
        uint32_t cell = pattern.cells[i];
        if (pattern.mono)
            out.pattern[i] = cell ? target.bk_value : target.text_value;
        else
            out.pattern[i] = target.plane.bits ? pixels_from_rgb(target.plane, cell) : 0;
    }
    out.pattern_origin = Point{plane_coord(target.attr.brush_org.x, target.offset.x),
        plane_coord(target.attr.brush_org.y, target.offset.y)};
    return true;
}

bool raster_pen(const RasterTarget& target, RasterPaint& out, int32_t& width)
{
    PenData* pen = gdi_data<PenData>(target.attr.pen, GdiLookup::pending);
    if (!pen || pen->style == PS_NULL)
        return false;
    out = raster_solid(raster_value(target, pen->color), rop2_to_rop3(target.attr.rop2));
    width = std::max(mapping_width_to_device(target.attr.mapping, pen->width), 1);
    return true;
}

// Rows of values reused across the runs of one call.
struct Scratch {
    std::vector<uint32_t> pattern;
    std::vector<uint32_t> dest;
};

static int32_t wrap(int64_t value, int32_t period)
{
    int64_t r = value % period;
    return int32_t(r < 0 ? r + period : r);
}

static void pattern_row(const RasterPaint& paint, int32_t y, int32_t x0, int32_t count, uint32_t* out)
{
    if (!paint.patterned) {
        std::fill_n(out, count, paint.solid);
        return;
    }
    const uint32_t* cells = paint.pattern + wrap(int64_t(y) - paint.pattern_origin.y, paint.pattern_height) * 8;
    int32_t column = wrap(int64_t(x0) - paint.pattern_origin.x, paint.pattern_width);
    for (int32_t i = 0; i < count; i++) {
        out[i] = cells[column];
        if (++column == paint.pattern_width)
            column = 0;
    }
}

// Paints plane pixels x0 <= x < x1 of row y; the caller has clipped them and counted them
// as changed.
static void paint_row(RasterTarget& target, const RasterPaint& paint, int32_t y, int32_t x0, int32_t x1, Scratch& scratch)
{
    int32_t count = x1 - x0;
    if (!paint.patterned && paint.rop == 0xF0) {
        pixels_fill(target.plane, x0, y, count, paint.solid);
        return;
    }
    scratch.dest.resize(size_t(count));
    const uint32_t* pattern = nullptr;
    if (rop3_uses_pattern(paint.rop)) {
        scratch.pattern.resize(size_t(count));
        pattern_row(paint, y, x0, count, scratch.pattern.data());
        pattern = scratch.pattern.data();
    }
    if (rop3_uses_dest(paint.rop))
        pixels_read(target.plane, x0, y, count, scratch.dest.data());
    rop3_row(paint.rop, pattern, nullptr, scratch.dest.data(), count, pixels_value_mask(target.plane.bits_per_pixel));
    pixels_write(target.plane, x0, y, count, scratch.dest.data());
}

// Paints x0 <= x < x1 of plane row y where the clip allows.
static void paint_clipped(RasterTarget& target, const RasterPaint& paint, int32_t y, int32_t x0, int32_t x1, Scratch& scratch)
{
    const std::vector<Rect>& rects = target.clip.rects;
    for (size_t i = region_band_at(target.clip, y); i < rects.size() && rects[i].top <= y; i++) {
        int32_t from = std::max(x0, rects[i].left), to = std::min(x1, rects[i].right);
        if (from < to) {
            union_rect(target.changed, target.changed, Rect{from, y, to, y + 1});
            paint_row(target, paint, y, from, to, scratch);
        }
    }
}

void raster_spans(RasterTarget& target, const RasterPaint& paint, const std::vector<Span>& spans)
{
    if (!target.plane.bits)
        return;
    Scratch scratch;
    for (const Span& span : spans) {
        int32_t y = plane_coord(span.y, target.offset.y);
        paint_clipped(target, paint, y, plane_coord(span.x0, target.offset.x), plane_coord(span.x1, target.offset.x), scratch);
    }
}

void raster_fill(RasterTarget& target, const RasterPaint& paint, const Rect& device)
{
    if (!target.plane.bits)
        return;
    Rect area{plane_coord(device.left, target.offset.x), plane_coord(device.top, target.offset.y),
        plane_coord(device.right, target.offset.x), plane_coord(device.bottom, target.offset.y)};
    Scratch scratch;
    Rect part;
    for (const Rect& clip : target.clip.rects) {
        if (!intersect_rect(part, clip, area))
            continue;
        union_rect(target.changed, target.changed, part);
        bool plain = !paint.patterned && paint.rop == 0xF0;
        for (int32_t y = part.top; y < part.bottom; y++) {
            if (plain)
                pixels_fill(target.plane, part.left, y, part.right - part.left, paint.solid);
            else
                paint_row(target, paint, y, part.left, part.right, scratch);
        }
    }
}

bool raster_quick_fill(DcHandle dc, const Rect& logical, GdiObject brush, uint8_t rop)
{
    DcRecord* record = dc_find(dc);
    if (!record || record->kind != DcKind::memory || rop != 0xF0)
        return false;
    const DcAttributes& attr = record->attr;
    if ((attr.clipped && attr.clip.rects.size() > 1) || !mapping_is_unscaled(attr.mapping))
        return false;
    BitmapData* bitmap = gdi_data<BitmapData>(attr.bitmap, GdiLookup::pending);
    BrushData* data = gdi_data<BrushData>(brush, GdiLookup::pending);
    if (!bitmap || bitmap->discarded || !data || data->style != BS_SOLID)
        return false;
    // No target is opened: copying the DC's attributes would copy its clip region.
    PixelPlane plane = pixmap_plane(bitmap->pixmap);
    if (!plane.bits)
        return false;
    Rect part;
    if (!intersect_rect(part, mapping_rect_to_device(attr.mapping, logical), Rect{0, 0, plane.width, plane.height}))
        return true;
    if (attr.clipped && (attr.clip.rects.empty() || !intersect_rect(part, part, attr.clip.rects[0])))
        return true;
    pixels_fill_rect(plane, part, plane_value(plane, attr.palette, data->color));
    return true;
}

Rect raster_window(const RasterTarget& target)
{
    Rect bounds = region_bounds(target.clip);
    offset_rect(bounds, -target.offset.x, -target.offset.y);
    return bounds;
}

static void mask_spans(const MonoMask& mask, Point at, std::vector<Span>& out)
{
    for (int32_t row = 0; row < mask.height; row++) {
        const uint8_t* bits = mask.bits + size_t(row) * mask.stride;
        int32_t run = -1;
        for (int32_t col = 0; col <= mask.width; col++) {
            bool ink = col < mask.width && (bits[col >> 3] >> (7 - (col & 7)) & 1);
            if (ink && run < 0)
                run = col;
            if (!ink && run >= 0) {
                out.push_back(Span{at.y + row, at.x + run, at.x + col});
                run = -1;
            }
        }
    }
}

bool blend_mono_mask(DcHandle dc, int32_t x, int32_t y, const MonoMask& mask, uint32_t color, uint32_t rop)
{
    if (mask.width < 0 || mask.height < 0 || (mask.height > 0 && !mask.bits)
        || mask.stride < (size_t(mask.width) + 7) / 8)
        return false;
    RasterTarget target;
    if (!raster_open(dc, target))
        return false;
    Point at = mapping_to_device(target.attr.mapping, Point{x, y});
    std::vector<Span> spans;
    mask_spans(mask, at, spans);
    raster_spans(target, raster_solid(raster_value(target, color), rop3_index(rop)), spans);
    raster_close(target);
    return true;
}

} // namespace plat
