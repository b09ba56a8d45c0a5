#include "platform/gdi/blit.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/dc.h"
#include "platform/gdi/rop.h"

namespace plat {

constexpr int64_t kAreaLimit = int64_t(1) << 28;

// --- Geometry ------------------------------------------------------------------------------

// One axis of a blit: destination pixels [dest_start, dest_start + dest_length) take the
// source pixels [source_start, source_start + source_length).
struct Axis {
    int64_t dest_start = 0, dest_length = 0;
    int64_t source_start = 0, source_length = 0;
    bool mirror = false;
    bool combine = false; // shrinking in BLACKONWHITE or WHITEONBLACK: every covered pixel counts

    // The source pixels [from, to) behind destination offset i.
    void range(int64_t i, int64_t& from, int64_t& to) const
    {
        int64_t k0 = i * source_length / dest_length;
        int64_t k1 = combine ? (i + 1) * source_length / dest_length : k0 + 1;
        k1 = std::max(k1, k0 + 1);
        from = mirror ? source_start + source_length - k1 : source_start + k0;
        to = mirror ? source_start + source_length - k0 : source_start + k1;
    }
    bool identity() const { return !mirror && dest_length == source_length; }
};

static void normalize(int64_t start, int64_t length, int64_t& out_start, int64_t& out_length, bool& flipped)
{
    flipped = length < 0;
    out_start = flipped ? start + length : start;
    out_length = flipped ? -length : length;
}

static Axis make_axis(int64_t dest_start, int64_t dest_length, int64_t source_start, int64_t source_length, bool shrink_combines)
{
    Axis axis;
    bool dest_flipped = false, source_flipped = false;
    normalize(dest_start, dest_length, axis.dest_start, axis.dest_length, dest_flipped);
    normalize(source_start, source_length, axis.source_start, axis.source_length, source_flipped);
    axis.mirror = dest_flipped != source_flipped;
    axis.combine = shrink_combines && axis.source_length > axis.dest_length;
    return axis;
}

static int64_t clamp_area(int64_t value) { return std::clamp(value, -kAreaLimit, kAreaLimit); }

BlitArea blit_map_area(const DcMapping& mapping, int32_t x, int32_t y, int32_t width, int32_t height)
{
    int64_t right = clamp_area(int64_t(x) + width), bottom = clamp_area(int64_t(y) + height);
    Point a = mapping_to_device(mapping, Point{int32_t(clamp_area(x)), int32_t(clamp_area(y))});
    Point b = mapping_to_device(mapping, Point{int32_t(right), int32_t(bottom)});
    return BlitArea{a.x, a.y, int64_t(b.x) - a.x, int64_t(b.y) - a.y};
}

// --- Sources -------------------------------------------------------------------------------

struct PlaneSource {
    const PixelPlane* plane = nullptr;
    Point offset;
    bool mono = false;
};

static void read_plane(const void* context, int32_t x, int32_t y, int32_t count, uint32_t* values, uint8_t*)
{
    const PlaneSource& source = *static_cast<const PlaneSource*>(context);
    pixels_read(*source.plane, x + source.offset.x, y + source.offset.y, count, values);
    if (!source.mono)
        pixels_row_to_rgb(*source.plane, values, count, values);
}

// A copy of the source pixels a blit reads, for blits within one set of pixels, which would
// otherwise read what they have already written.
struct Snapshot {
    Pixmap pixels;
    PixelPlane plane;
    PlaneSource reader;
    BlitSource source;
};

static void take_snapshot(const BlitSource& source, const Rect& area, Snapshot& out)
{
    const PixelPlane& from = *source.plane;
    out.pixels.width = area.width();
    out.pixels.height = area.height();
    out.pixels.bits_per_pixel = from.bits_per_pixel;
    out.pixels.stride = pixels_stride(area.width(), from.bits_per_pixel);
    out.pixels.bits.assign(out.pixels.stride * size_t(area.height()), 0);
    out.pixels.colors.assign(from.colors, from.colors + from.color_count);
    out.plane = pixmap_plane(out.pixels);
    std::vector<uint32_t> row(size_t(area.width()));
    for (int32_t y = area.top; y < area.bottom; y++) {
        pixels_read(from, area.left + source.plane_offset.x, y + source.plane_offset.y, area.width(), row.data());
        pixels_write(out.plane, 0, y - area.top, area.width(), row.data());
    }
    out.reader = PlaneSource{&out.plane, Point{-area.left, -area.top}, from.bits_per_pixel == 1};
    out.source = source;
    out.source.bounds = area;
    out.source.context = &out.reader;
    out.source.read = read_plane;
    out.source.plane = &out.plane;
    out.source.plane_offset = out.reader.offset;
}

// --- Rows ----------------------------------------------------------------------------------

struct ColorCache {
    uint32_t rgb = 0, value = 0;
    bool valid = false;
};

static void convert_row(const RasterTarget& target, const BlitSource& source, const uint32_t* in, int32_t count,
    uint32_t* out, ColorCache& cache)
{
    const PixelPlane& plane = target.plane;
    bool dest_mono = plane.bits_per_pixel == 1;
    for (int32_t i = 0; i < count; i++) {
        uint32_t v = in[i];
        if (source.mono)
            out[i] = dest_mono ? v : (v ? target.bk_value : target.text_value);
        else if (dest_mono && source.mono_by_background)
            out[i] = v == source.background_rgb ? 1 : 0;
        else if (plane.bits_per_pixel >= 24)
            out[i] = v;
        else {
            if (!cache.valid || cache.rgb != v)
                cache = ColorCache{v, pixels_from_rgb(plane, v), true};
            out[i] = cache.value;
        }
    }
}

// Buffers reused for every row of one blit.
struct RowWork {
    std::vector<int64_t> from, to; // per destination column of the piece: source columns
    int64_t first = 0, last = 0;   // source columns read: [first, last)
    std::vector<uint32_t> line, gathered, values, pattern, dest, result;
    std::vector<uint8_t> line_present, present, seen;
};

// The source columns of the destination columns [x0, x1) (plane), clamped to the bounds.
static void map_columns(const Axis& ax, const Rect& bounds, int64_t plane_left, int32_t x0, int32_t x1, RowWork& work)
{
    size_t count = size_t(x1 - x0);
    work.from.resize(count);
    work.to.resize(count);
    work.first = INT64_MAX;
    work.last = INT64_MIN;
    for (size_t i = 0; i < count; i++) {
        int64_t from = 0, to = 0;
        ax.range(x0 + int64_t(i) - plane_left, from, to);
        from = std::max<int64_t>(from, bounds.left);
        to = std::min<int64_t>(to, bounds.right);
        work.from[i] = from;
        work.to[i] = to;
        if (from < to) {
            work.first = std::min(work.first, from);
            work.last = std::max(work.last, to);
        }
    }
}

// Combines source row r into the gathered values: each column's covered pixels, AND or OR.
static void gather_row(const BlitSource& source, int64_t r, bool use_and, RowWork& work)
{
    int32_t width = int32_t(work.last - work.first);
    work.line.resize(size_t(width));
    work.line_present.assign(size_t(width), 1);
    source.read(source.context, int32_t(work.first), int32_t(r), width, work.line.data(),
        source.has_gaps ? work.line_present.data() : nullptr);
    for (size_t i = 0; i < work.from.size(); i++) {
        for (int64_t c = work.from[i]; c < work.to[i]; c++) {
            size_t at = size_t(c - work.first);
            if (!work.line_present[at])
                continue;
            uint32_t v = work.line[at];
            work.gathered[i] = work.seen[i] ? (use_and ? work.gathered[i] & v : work.gathered[i] | v) : v;
            work.seen[i] = 1;
        }
    }
}

static void finish_row(RasterTarget& target, const BlitSource& source, uint8_t rop, const RasterPaint& brush,
    int32_t y, int32_t x0, RowWork& work, ColorCache& cache)
{
    int32_t count = int32_t(work.from.size());
    bool all_present = std::all_of(work.seen.begin(), work.seen.end(), [](uint8_t s) { return s != 0; });
    work.values.resize(size_t(count));
    convert_row(target, source, work.gathered.data(), count, work.values.data(), cache);
    const uint32_t* pattern = nullptr;
    if (rop3_uses_pattern(rop)) {
        work.pattern.resize(size_t(count));
        RasterPaint paint = brush;
        for (int32_t i = 0; i < count; i++) {
            int64_t cx = (int64_t(x0) + i - paint.pattern_origin.x) % paint.pattern_width;
            int64_t cy = (int64_t(y) - paint.pattern_origin.y) % paint.pattern_height;
            cx += cx < 0 ? paint.pattern_width : 0;
            cy += cy < 0 ? paint.pattern_height : 0;
            work.pattern[size_t(i)] = paint.patterned ? paint.pattern[cy * 8 + cx] : paint.solid;
        }
        pattern = work.pattern.data();
    }
    work.dest.resize(size_t(count));
    if (rop3_uses_dest(rop) || !all_present)
        pixels_read(target.plane, x0, y, count, work.dest.data());
    work.result = work.dest;
    rop3_row(rop, pattern, work.values.data(), work.result.data(), count, pixels_value_mask(target.plane.bits_per_pixel));
    for (int32_t i = 0; i < count && !all_present; i++) {
        if (!work.seen[size_t(i)])
            work.result[size_t(i)] = work.dest[size_t(i)];
    }
    pixels_write(target.plane, x0, y, count, work.result.data());
    union_rect(target.changed, target.changed, Rect{x0, y, x0 + count, y + 1});
}

struct BlitJob {
    RasterTarget& target;
    const BlitSource& source;
    Axis ax, ay;
    Rect dest_plane; // destination rectangle in plane coordinates
    uint8_t rop;
    bool use_and;
    RasterPaint brush;
};

static void blit_row(BlitJob& job, int32_t y, int32_t x0, RowWork& work, ColorCache& cache)
{
    int64_t r0 = 0, r1 = 0;
    job.ay.range(y - job.dest_plane.top, r0, r1);
    r0 = std::max<int64_t>(r0, job.source.bounds.top);
    r1 = std::min<int64_t>(r1, job.source.bounds.bottom);
    if (r0 >= r1 || work.first >= work.last)
        return;
    size_t count = work.from.size();
    work.gathered.assign(count, 0);
    work.seen.assign(count, 0);
    for (int64_t r = r0; r < r1; r++)
        gather_row(job.source, r, job.use_and, work);
    finish_row(job.target, job.source, job.rop, job.brush, y, x0, work, cache);
}

// Same format, no stretching, SRCCOPY: rows are copied as they are stored.
static bool copy_direct(BlitJob& job, const Rect& piece)
{
    const PixelPlane& from = *job.source.plane;
    PixelPlane& to = job.target.plane;
    int bytes = to.bits_per_pixel / 8;
    int64_t sx = job.ax.source_start + (piece.left - job.dest_plane.left) + job.source.plane_offset.x;
    int64_t sy = job.ay.source_start + (piece.top - job.dest_plane.top) + job.source.plane_offset.y;
    if (bytes == 0)
        return false;
    size_t row_bytes = size_t(piece.width()) * size_t(bytes);
    if (row_bytes == from.stride && row_bytes == to.stride) {
        // Whole rows without padding on both sides: the rows are one block.
        std::memmove(to.bits + size_t(piece.top) * to.stride, from.bits + size_t(sy) * from.stride,
            row_bytes * size_t(piece.height()));
        union_rect(job.target.changed, job.target.changed, piece);
        return true;
    }
    for (int32_t y = piece.top; y < piece.bottom; y++, sy++) {
        const uint8_t* in = from.bits + size_t(sy) * from.stride + size_t(sx) * size_t(bytes);
        uint8_t* out = to.bits + size_t(y) * to.stride + size_t(piece.left) * size_t(bytes);
        std::memmove(out, in, size_t(piece.width()) * size_t(bytes));
    }
    union_rect(job.target.changed, job.target.changed, piece);
    return true;
}

// The part of a destination piece whose source pixels exist, for unstretched blits.
static bool inside_source(const BlitJob& job, Rect& piece)
{
    int64_t dx = job.ax.source_start - job.dest_plane.left, dy = job.ay.source_start - job.dest_plane.top;
    const Rect& b = job.source.bounds;
    Rect allowed{int32_t(std::clamp<int64_t>(b.left - dx, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(b.top - dy, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(b.right - dx, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(b.bottom - dy, INT32_MIN, INT32_MAX))};
    return intersect_rect(piece, piece, allowed);
}

// Unstretched rows: each destination pixel has its own source pixel, read in one run.
static void blit_rows_unstretched(BlitJob& job, const Rect& piece, RowWork& work, ColorCache& cache)
{
    size_t count = size_t(piece.width());
    int64_t sx = job.ax.source_start + (piece.left - job.dest_plane.left);
    int64_t sy = job.ay.source_start + (piece.top - job.dest_plane.top);
    work.from.resize(count);
    work.gathered.resize(count);
    work.seen.assign(count, 1);
    for (int32_t y = piece.top; y < piece.bottom; y++, sy++) {
        job.source.read(job.source.context, int32_t(sx), int32_t(sy), int32_t(count), work.gathered.data(),
            job.source.has_gaps ? work.seen.data() : nullptr);
        finish_row(job.target, job.source, job.rop, job.brush, y, piece.left, work, cache);
    }
}

static void blit_piece(BlitJob& job, Rect piece, RowWork& work, ColorCache& cache)
{
    bool identity = job.ax.identity() && job.ay.identity();
    if (identity && !inside_source(job, piece))
        return;
    bool direct = identity && job.rop == 0xCC && job.source.plane && !job.source.has_gaps
        && pixels_same_format(*job.source.plane, job.target.plane);
    if (direct && copy_direct(job, piece))
        return;
    if (identity) {
        blit_rows_unstretched(job, piece, work, cache);
        return;
    }
    map_columns(job.ax, job.source.bounds, job.dest_plane.left, piece.left, piece.right, work);
    for (int32_t y = piece.top; y < piece.bottom; y++)
        blit_row(job, y, piece.left, work, cache);
}

static Rect source_area(const Axis& ax, const Axis& ay, const Rect& bounds)
{
    Rect area{int32_t(clamp_area(ax.source_start)), int32_t(clamp_area(ay.source_start)),
        int32_t(clamp_area(ax.source_start + ax.source_length)), int32_t(clamp_area(ay.source_start + ay.source_length))};
    intersect_rect(area, area, bounds);
    return area;
}

void blit_run(RasterTarget& target, const BlitArea& dest, const BlitSource& source, const BlitArea& from, uint8_t rop)
{
    if (!target.plane.bits || dest.width == 0 || dest.height == 0 || from.width == 0 || from.height == 0)
        return;
    int mode = target.attr.stretch_mode;
    bool combines = mode == BLACKONWHITE || mode == WHITEONBLACK;
    Axis ax = make_axis(dest.x, dest.width, from.x, from.width, combines);
    Axis ay = make_axis(dest.y, dest.height, from.y, from.height, combines);
    Snapshot snapshot;
    const BlitSource* reading = &source;
    if (rop3_uses_source(rop) && source.plane && source.plane->bits == target.plane.bits) {
        Rect area = source_area(ax, ay, source.bounds);
        if (is_rect_empty(area))
            return;
        take_snapshot(source, area, snapshot);
        reading = &snapshot.source;
    }
    Rect dest_plane{int32_t(clamp_area(ax.dest_start + target.offset.x)), int32_t(clamp_area(ay.dest_start + target.offset.y)),
        int32_t(clamp_area(ax.dest_start + ax.dest_length + target.offset.x)),
        int32_t(clamp_area(ay.dest_start + ay.dest_length + target.offset.y))};
    BlitJob job{target, *reading, ax, ay, dest_plane, rop, mode == BLACKONWHITE, RasterPaint{}};
    if (rop3_uses_pattern(rop) && !raster_brush(target, target.attr.brush, rop, job.brush))
        return; // no brush: nothing to draw with
    RowWork work;
    ColorCache cache;
    Rect piece;
    for (const Rect& clip : target.clip.rects) {
        if (intersect_rect(piece, clip, dest_plane))
            blit_piece(job, piece, work, cache);
    }
}

// --- Calls ---------------------------------------------------------------------------------

static bool open_source(DcHandle dc, RasterTarget& target, PlaneSource& reader, BlitSource& out)
{
    DcRecord* record = dc_find(dc);
    if (!record || !raster_open(dc, target))
        return false;
    const PixelPlane& plane = target.plane;
    Rect device = dc_device_rect(*record);
    Rect pixels{-target.offset.x, -target.offset.y, plane.width - target.offset.x, plane.height - target.offset.y};
    intersect_rect(out.bounds, device, pixels);
    reader = PlaneSource{&target.plane, target.offset, plane.bits_per_pixel == 1};
    out.mono = reader.mono;
    out.mono_by_background = true;
    out.background_rgb = plane.bits ? pixels_to_rgb(plane, pixels_from_rgb(plane, target.bk_rgb)) : 0;
    out.context = &reader;
    out.read = read_plane;
    out.plane = plane.bits ? &target.plane : nullptr;
    out.plane_offset = target.offset;
    if (!plane.bits)
        out.bounds = Rect{};
    return true;
}

static bool blit_between(DcHandle dest, const BlitArea& to, DcHandle source, int32_t sx, int32_t sy,
    int32_t swidth, int32_t sheight, uint32_t rop)
{
    RasterTarget target, source_target;
    PlaneSource reader;
    BlitSource from;
    if (!raster_open(dest, target))
        return false;
    if (!open_source(source, source_target, reader, from))
        return false;
    BlitArea area = blit_map_area(source_target.attr.mapping, sx, sy, swidth, sheight);
    blit_run(target, to, from, area, rop3_index(rop));
    raster_close(target);
    return true;
}

bool bit_blt(DcHandle dest, int32_t x, int32_t y, int32_t width, int32_t height, DcHandle source,
    int32_t source_x, int32_t source_y, uint32_t rop)
{
    if (!rop3_uses_source(rop3_index(rop)))
        return pat_blt(dest, x, y, width, height, rop);
    DcRecord* record = dc_find(dest);
    if (!record)
        return false;
    BlitArea to = blit_map_area(record->attr.mapping, x, y, width, height);
    return blit_between(dest, to, source, source_x, source_y, width, height, rop);
}

bool stretch_blt(DcHandle dest, int32_t x, int32_t y, int32_t width, int32_t height, DcHandle source,
    int32_t source_x, int32_t source_y, int32_t source_width, int32_t source_height, uint32_t rop)
{
    if (!rop3_uses_source(rop3_index(rop)))
        return pat_blt(dest, x, y, width, height, rop);
    DcRecord* record = dc_find(dest);
    if (!record)
        return false;
    BlitArea to = blit_map_area(record->attr.mapping, x, y, width, height);
    return blit_between(dest, to, source, source_x, source_y, source_width, source_height, rop);
}

static Rect ordered(const BlitArea& area)
{
    int64_t left = area.width < 0 ? area.x + area.width : area.x;
    int64_t top = area.height < 0 ? area.y + area.height : area.y;
    return Rect{int32_t(clamp_area(left)), int32_t(clamp_area(top)),
        int32_t(clamp_area(left + std::abs(area.width))), int32_t(clamp_area(top + std::abs(area.height)))};
}

// Paints a device rectangle with the DC's brush (or nothing) under the code.
static bool paint_device_rect(RasterTarget& target, const Rect& device, uint8_t rop, GdiObject brush)
{
    RasterPaint paint = raster_solid(0, rop);
    if (rop3_uses_pattern(rop) && !raster_brush(target, brush, rop, paint))
        return true; // a null brush paints nothing
    raster_fill(target, paint, device);
    return true;
}

bool pat_blt(DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop)
{
    uint8_t index = rop3_index(rop);
    RasterTarget target;
    if (rop3_uses_source(index) || !raster_open(dc, target))
        return false;
    paint_device_rect(target, ordered(blit_map_area(target.attr.mapping, x, y, width, height)), index, target.attr.brush);
    raster_close(target);
    return true;
}

int frame_rect(DcHandle dc, const Rect& rect, GdiObject brush)
{
    RasterTarget target;
    if (!gdi_data<BrushData>(brush) || !raster_open(dc, target))
        return 0;
    Rect r = mapping_rect_to_device(target.attr.mapping, rect);
    if (!is_rect_empty(r)) {
        const Rect sides[] = {
            {r.left, r.top, r.right, r.top + 1},
            {r.left, r.bottom - 1, r.right, r.bottom},
            {r.left, r.top + 1, r.left + 1, r.bottom - 1},
            {r.right - 1, r.top + 1, r.right, r.bottom - 1},
        };
        for (const Rect& side : sides)
            paint_device_rect(target, side, 0xF0, brush);
    }
    raster_close(target);
    return 1;
}

bool invert_rect(DcHandle dc, const Rect& rect)
{
    RasterTarget target;
    if (!raster_open(dc, target))
        return false;
    raster_fill(target, raster_solid(0, rop3_index(DSTINVERT)), mapping_rect_to_device(target.attr.mapping, rect));
    raster_close(target);
    return true;
}

bool fill_rgn(DcHandle dc, GdiObject region, GdiObject brush)
{
    Region* area = gdi_data<Region>(region);
    RasterTarget target;
    if (!area || !gdi_data<BrushData>(brush) || !raster_open(dc, target))
        return false;
    for (const Rect& rect : area->rects)
        paint_device_rect(target, mapping_rect_to_device(target.attr.mapping, rect), 0xF0, brush);
    raster_close(target);
    return true;
}

} // namespace plat
