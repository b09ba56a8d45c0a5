#include "platform/text/text.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/text/font.h"
#include "platform/text/glyph_cache.h"
#include "platform/gdi/raster.h"

namespace plat {

constexpr uint8_t kRopPatCopy = 0xF0; // plain ink

// --- Per-DC state: kept in the DC's attributes, so save and restore carry it ---------------

static DcAttributes* state_of(DcHandle dc)
{
    font_install_hooks();
    DcRecord* record = dc_find(dc);
    if (!record) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &record->attr;
}

uint32_t set_text_align(DcHandle dc, uint32_t align)
{
    DcAttributes* state = state_of(dc);
    if (!state)
        return GDI_ERROR;
    uint32_t previous = state->text_align;
    state->text_align = align & (TA_UPDATECP | TA_CENTER | TA_BASELINE);
    return previous;
}

uint32_t get_text_align(DcHandle dc)
{
    DcAttributes* state = state_of(dc);
    return state ? state->text_align : GDI_ERROR;
}

int32_t set_text_character_extra(DcHandle dc, int32_t extra)
{
    DcAttributes* state = state_of(dc);
    if (!state)
        return kTextExtraError;
    int32_t previous = state->text_extra;
    state->text_extra = extra;
    return previous;
}

int32_t get_text_character_extra(DcHandle dc)
{
    DcAttributes* state = state_of(dc);
    return state ? state->text_extra : kTextExtraError;
}

// --- Layout --------------------------------------------------------------------------------

struct TextLayout {
    std::vector<TextChar> chars;
    std::vector<int32_t> advances; // one per character
    int32_t width = 0;
};

static void lay_out(const RealizedFont& font, const char* text, size_t count, int32_t extra, const int32_t* dx,
    TextLayout& out)
{
    glyph_decode(font, text, count, out.chars);
    out.advances.resize(out.chars.size());
    int64_t width = 0;
    for (size_t i = 0; i < out.chars.size(); i++) {
        const TextChar& c = out.chars[i];
        int32_t advance = 0;
        if (dx)
            advance = dx[c.offset] + (c.length == 2 ? dx[c.offset + 1] : 0);
        else
            advance = glyph_get(font, c.code).advance + extra;
        out.advances[i] = advance;
        width += advance;
    }
    out.width = int32_t(std::clamp<int64_t>(width, INT32_MIN / 2, INT32_MAX / 2));
}

int32_t text_width(uint32_t font, const char* text, size_t count, int32_t extra)
{
    const RealizedFont* realized = font_realized(font);
    if (!realized)
        return 0;
    TextLayout layout;
    lay_out(*realized, text, count, extra, nullptr, layout);
    return layout.width;
}

static bool bad_text(const char* text, int count)
{
    if (count < 0 || (count > 0 && !text)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return true;
    }
    return false;
}

// --- Drawing -------------------------------------------------------------------------------

// Where the pen starts and where the baseline lies, in device pixels.
struct TextPlace {
    int32_t pen_x = 0;
    int32_t baseline = 0;
    int32_t top = 0;
};

static TextPlace place_text(Point reference, uint32_t align, int32_t width, const TextMetric& metrics)
{
    TextPlace place;
    uint32_t horizontal = align & TA_CENTER;
    place.pen_x = horizontal == TA_RIGHT ? reference.x - width
        : horizontal == TA_CENTER        ? reference.x - width / 2
                                         : reference.x;
    uint32_t vertical = align & TA_BASELINE;
    place.baseline = vertical == TA_BASELINE ? reference.y
        : vertical == TA_BOTTOM              ? reference.y - metrics.descent
                                             : reference.y + metrics.ascent;
    place.top = place.baseline - metrics.ascent;
    return place;
}

static void glyph_spans(const Glyph& glyph, int32_t pen_x, int32_t baseline, std::vector<Span>& out)
{
    int32_t left = pen_x + glyph.left;
    int32_t top = baseline - glyph.top;
    for (int32_t row = 0; row < glyph.height; row++) {
        const uint8_t* bits = glyph.bits.data() + size_t(row) * glyph.stride;
        int32_t run = -1;
        for (int32_t col = 0; col <= glyph.width; col++) {
            bool ink = col < glyph.width && (bits[col >> 3] >> (7 - (col & 7)) & 1);
            if (ink && run < 0)
                run = col;
            if (!ink && run >= 0) {
                out.push_back(Span{top + row, left + run, left + col});
                run = -1;
            }
        }
    }
}

static void draw_glyphs(RasterTarget& target, const RealizedFont& font, const TextLayout& layout, const TextPlace& place)
{
    std::vector<Span> spans;
    int32_t pen = place.pen_x;
    for (size_t i = 0; i < layout.chars.size(); i++) {
        glyph_spans(glyph_get(font, layout.chars[i].code), pen, place.baseline, spans);
        pen += layout.advances[i];
    }
    raster_spans(target, raster_solid(target.text_value, kRopPatCopy), spans);
}

static void draw_lines(RasterTarget& target, const RealizedFont& font, int32_t width, const TextPlace& place)
{
    RasterPaint ink = raster_solid(target.text_value, kRopPatCopy);
    int32_t right = place.pen_x + width;
    if (font.logical.underline) {
        int32_t top = place.baseline + font.underline_top;
        raster_fill(target, ink, Rect{place.pen_x, top, right, top + font.underline_rows});
    }
    if (font.logical.strike_out) {
        int32_t top = place.baseline + font.strikeout_top;
        raster_fill(target, ink, Rect{place.pen_x, top, right, top + font.strikeout_rows});
    }
}

static void clip_target(RasterTarget& target, const Rect& device)
{
    Rect plane = device;
    offset_rect(plane, target.offset.x, target.offset.y);
    target.clip = region_combine(target.clip, region_from_rect(plane), RGN_AND);
}

// The reference point in device pixels: (x, y), or the current position with TA_UPDATECP,
// which then moves past the text.
static Point reference_of(DcRecord& record, uint32_t align, int32_t x, int32_t y)
{
    Point logical = (align & TA_UPDATECP) ? record.attr.position : Point{x, y};
    return mapping_to_device(record.attr.mapping, logical);
}

static void move_current_position(DcRecord& record, uint32_t align, Point reference, int32_t width)
{
    if (!(align & TA_UPDATECP))
        return;
    uint32_t horizontal = align & TA_CENTER;
    if (horizontal == TA_CENTER)
        return;
    Point moved{horizontal == TA_RIGHT ? reference.x - width : reference.x + width, reference.y};
    record.attr.position.x = mapping_to_logical(record.attr.mapping, moved).x;
}

static void paint_text(RasterTarget& target, const RealizedFont& font, const TextLayout& layout,
    const TextPlace& place, uint32_t options, const Rect* rect)
{
    if (rect && (options & ETO_OPAQUE))
        raster_fill(target, raster_solid(target.bk_value, kRopPatCopy), mapping_rect_to_device(target.attr.mapping, *rect));
    if (rect && (options & ETO_CLIPPED))
        clip_target(target, mapping_rect_to_device(target.attr.mapping, *rect));
    if (target.attr.bk_mode == OPAQUE && layout.width > 0) {
        Rect cell{place.pen_x, place.top, place.pen_x + layout.width, place.top + font.metrics.height};
        raster_fill(target, raster_solid(target.bk_value, kRopPatCopy), cell);
    }
    draw_glyphs(target, font, layout, place);
    draw_lines(target, font, layout.width, place);
}

bool ext_text_out(DcHandle dc, int32_t x, int32_t y, uint32_t options, const Rect* rect, const char* text,
    int count, const int32_t* dx)
{
    if (bad_text(text, count))
        return false;
    DcAttributes* state = state_of(dc);
    const RealizedFont* font = state ? font_realized(font_of_dc(dc)) : nullptr;
    DcRecord* record = dc_find(dc);
    if (!font || !record)
        return false;
    uint32_t align = state->text_align;
    TextLayout layout;
    lay_out(*font, text, size_t(count), state->text_extra, dx, layout);
    Point reference = reference_of(*record, align, x, y);
    RasterTarget target;
    if (!raster_open(dc, target))
        return false;
    paint_text(target, *font, layout, place_text(reference, align, layout.width, font->metrics), options, rect);
    raster_close(target);
    if ((record = dc_find(dc)) != nullptr)
        move_current_position(*record, align, reference, layout.width);
    return true;
}

bool text_out(DcHandle dc, int32_t x, int32_t y, const char* text, int count)
{
    return ext_text_out(dc, x, y, 0, nullptr, text, count, nullptr);
}

bool text_fill(DcHandle dc, const Rect& rect, uint32_t color, const Rect* clip)
{
    RasterTarget target;
    if (!raster_open(dc, target))
        return false;
    if (clip)
        clip_target(target, mapping_rect_to_device(target.attr.mapping, *clip));
    raster_fill(target, raster_solid(raster_value(target, color), kRopPatCopy),
        mapping_rect_to_device(target.attr.mapping, rect));
    raster_close(target);
    return true;
}

// --- Surfaces ------------------------------------------------------------------------------

static void paint_run(Surface& surface, const RectList& clip, int32_t y, int32_t x0, int32_t x1, uint32_t pixel)
{
    for (const Rect& area : clip) {
        if (y < area.top || y >= area.bottom || y < 0 || y >= surface.height)
            continue;
        int32_t from = std::max({x0, area.left, 0});
        int32_t to = std::min({x1, area.right, surface.width});
        for (int32_t x = from; x < to; x++)
            surface.pixels[size_t(y) * size_t(surface.stride) + size_t(x)] = pixel;
    }
}

void text_paint_surface(Surface& surface, const RectList& clip, int32_t left, int32_t top, uint32_t font,
    const char* text, size_t count, uint32_t pixel)
{
    const RealizedFont* realized = font_realized(font);
    if (!realized)
        return;
    TextLayout layout;
    lay_out(*realized, text, count, 0, nullptr, layout);
    std::vector<Span> spans;
    int32_t pen = left;
    for (size_t i = 0; i < layout.chars.size(); i++) {
        glyph_spans(glyph_get(*realized, layout.chars[i].code), pen, top + realized->metrics.ascent, spans);
        pen += layout.advances[i];
    }
    for (const Span& span : spans)
        paint_run(surface, clip, span.y, span.x0, span.x1, pixel);
}

// --- Measuring -----------------------------------------------------------------------------

bool get_text_extent_point32(DcHandle dc, const char* text, int count, Size& out)
{
    return get_text_extent_ex_point(dc, text, count, 0, nullptr, nullptr, out);
}

bool get_text_extent_ex_point(DcHandle dc, const char* text, int count, int32_t max_extent, int32_t* fit,
    int32_t* dx, Size& out)
{
    if (bad_text(text, count))
        return false;
    DcAttributes* state = state_of(dc);
    const RealizedFont* font = state ? font_realized(font_of_dc(dc)) : nullptr;
    if (!font)
        return false;
    TextLayout layout;
    lay_out(*font, text, size_t(count), state->text_extra, nullptr, layout);
    int32_t extent = 0;
    int32_t fitting = 0;
    for (size_t i = 0; i < layout.chars.size(); i++) {
        const TextChar& c = layout.chars[i];
        extent += layout.advances[i];
        if (extent <= max_extent && fitting == int32_t(c.offset))
            fitting = int32_t(c.offset + c.length);
        for (uint32_t b = 0; dx && b < c.length; b++)
            dx[c.offset + b] = extent;
    }
    if (fit)
        *fit = fitting;
    out = Size{layout.width, font->metrics.height};
    return true;
}

static const RealizedFont* widths_font(DcHandle dc, uint32_t first, uint32_t last, const void* widths)
{
    if (!widths || last < first || last - first > 0xFFFF) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    font_install_hooks();
    const RealizedFont* font = font_realized(font_of_dc(dc));
    if (!font)
        set_last_error(ERROR_INVALID_HANDLE);
    return font;
}

bool get_char_width32(DcHandle dc, uint32_t first, uint32_t last, int32_t* widths)
{
    const RealizedFont* font = widths_font(dc, first, last, widths);
    if (!font)
        return false;
    for (uint32_t c = first; c <= last; c++)
        widths[c - first] = glyph_get(*font, glyph_code_of(*font, c)).advance;
    return true;
}

bool get_char_abc_widths(DcHandle dc, uint32_t first, uint32_t last, AbcWidths* widths)
{
    const RealizedFont* font = widths_font(dc, first, last, widths);
    if (!font)
        return false;
    for (uint32_t c = first; c <= last; c++) {
        const Glyph& glyph = glyph_get(*font, glyph_code_of(*font, c));
        AbcWidths& abc = widths[c - first];
        abc.a = glyph.width > 0 ? glyph.left : 0;
        abc.b = uint32_t(glyph.width);
        abc.c = glyph.advance - abc.a - glyph.width;
    }
    return true;
}

} // namespace plat
