#include "runtime/ui/edit_draw.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/text/font.h"
#include "platform/text/text.h"
#include "runtime/base/str.h"
#include "runtime/display/gdi_draw.h"
#include "runtime/display/palette.h"
#include "runtime/display/text_style.h"
#include "runtime/ui/edit_layout.h"
#include "runtime/ui/edit_measure.h"

namespace {

constexpr uint32_t kRopInvertUnderText = 0x990066; // the destination inverted where the source is black
constexpr int32_t kMaskMargin = 16;

struct DrawModule {
    EditSmoothTextRenderer smooth = nullptr;
};
DrawModule s_draw;

bool fills_background(uint16_t mode) { return mode == 0 || mode == 4 || mode == 7; }
bool draws_opaque(uint16_t mode) { return mode == 5 || mode == 6 || mode >= 8; }

uint32_t palette_relative(uint32_t color) { return 0x02000000 | (color & 0xFFFFFF); }

// Mode 2: the glyphs black on white in a monochrome bitmap, blitted so that they invert what
// lies under them. False when the bitmap cannot be made.
bool paint_masked(plat::DcHandle dc, int32_t x, int32_t y, const char* text, int32_t length)
{
    plat::TextMetric metrics;
    plat::get_text_metrics(dc, metrics);
    int32_t width = font_measure_text(dc, text, int16_t(length)) + kMaskMargin;
    int32_t height = metrics.ascent + metrics.descent + kMaskMargin;
    plat::GdiObject bitmap = plat::create_bitmap(width, height, 1, 1, nullptr, 0);
    if (!bitmap)
        return false;
    plat::DcHandle mask = plat::create_compatible_dc(dc);
    if (!mask) {
        plat::delete_object(bitmap);
        return false;
    }
    plat::GdiObject old_bitmap = plat::select_object(mask, bitmap);
    plat::GdiObject old_font = plat::select_object(mask, plat::get_current_object(dc, plat::OBJ_FONT));
    plat::pat_blt(mask, 0, 0, width, height, plat::WHITENESS);
    plat::set_text_color(mask, 0x000000);
    plat::set_bk_mode(mask, plat::TRANSPARENT);
    plat::set_text_align(mask, plat::TA_BASELINE);
    plat::text_out(mask, 0, metrics.ascent, text, int(length));
    plat::set_text_color(dc, 0x000000);
    plat::set_bk_color(dc, 0xFFFFFF);
    plat::bit_blt(dc, x, y - metrics.ascent, width, height, mask, 0, 0, kRopInvertUnderText);
    plat::select_object(mask, old_font);
    plat::select_object(mask, old_bitmap);
    plat::delete_dc(mask);
    plat::delete_object(bitmap);
    return true;
}

struct Painter {
    EditMeasure& m;
    const EditField* f;
    plat::DcHandle dc;
};

// One piece of a run at (x, baseline y) in the font selected for it, by the draw mode.
void paint_text(const Painter& p, const EditRun& run, int32_t x, int32_t y, const char* text, int32_t length)
{
    if (length <= 0)
        return;
    uint16_t mode = p.f->draw_mode;
    if (s_draw.smooth && p.f->smooth_text && !p.f->active) {
        int smooth_mode = mode == 2 ? 2 : mode == 3 ? 1 : 0;
        EditSmoothRun smooth { p.dc, x, y, text, length, run.style, p.f->style_slot, smooth_mode, pal_background_color() };
        int32_t width = 0;
        if (s_draw.smooth(smooth, &width))
            return;
    }
    if (mode == 2 && paint_masked(p.dc, x, y, text, length))
        return;
    uint32_t color = mode == 3 ? pal_background_color() : palette_relative(text_style_color(run.style, p.f->style_slot));
    plat::set_text_color(p.dc, color);
    plat::set_text_align(p.dc, plat::TA_BASELINE);
    plat::set_bk_mode(p.dc, draws_opaque(mode) ? plat::OPAQUE : plat::TRANSPARENT);
    plat::text_out(p.dc, x, y, text, int(length));
}

void paint_segment(const Painter& p, const EditSegment& seg, int32_t y)
{
    const EditRun& run = p.f->runs_ptr[seg.run];
    const char* text = p.f->text_ptr + seg.from;
    switch (seg.kind) {
    case kSegmentText:
        paint_text(p, run, seg.x, y, text, seg.to - seg.from);
        break;
    case kSegmentGap:
        // A single-byte space takes its share through the inter-character spacing.
        if (seg.to - seg.from == 1 && seg.extra)
            plat::set_text_character_extra(p.dc, seg.extra);
        paint_text(p, run, seg.x, y, text, seg.to - seg.from);
        plat::set_text_character_extra(p.dc, 0);
        break;
    case kSegmentTabSpace:
        paint_text(p, run, seg.x, y, " ", 1);
        break;
    case kSegmentTab:
        break;
    }
}

void paint_line(const Painter& p, int32_t line)
{
    std::vector<EditSegment> segments;
    edit_line_segments(p.m, p.f, line, segments);
    bool double_byte = str_settings().double_byte;
    int32_t baseline = p.f->lines_ptr[line].baseline;
    // Double-byte underlines are drawn over each run's whole painted width, gaps included.
    int32_t underline_run = -1, underline_from = 0, underline_to = 0;
    auto flush_underline = [&]() {
        if (underline_run < 0)
            return;
        const EditRun& run = p.f->runs_ptr[underline_run];
        uint32_t color = palette_relative(text_style_color(run.style, p.f->style_slot));
        edit_draw_underline(p.dc, color, p.f->background, underline_from, underline_to, baseline - run.shift);
        underline_run = -1;
    };
    for (const EditSegment& seg : segments) {
        const EditRun& run = p.f->runs_ptr[seg.run];
        if (run.flags & kEditRunHidden)
            continue;
        p.m.use_style(run.style);
        paint_segment(p, seg, baseline - run.shift);
        bool underlined = double_byte && (text_style_flags(run.style, p.f->style_slot) & kFontUnderline);
        if (seg.run != underline_run)
            flush_underline();
        if (underlined) {
            if (underline_run < 0)
                underline_from = seg.x;
            underline_run = seg.run;
            underline_to = seg.x + seg.width + seg.extra;
        }
    }
    flush_underline();
}

void fill(plat::DcHandle dc, const Rect& rect, uint32_t color)
{
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    plat::GdiObject brush = plat::create_solid_brush(color);
    plat::fill_rect(dc, rect, brush);
    plat::delete_object(brush);
}

// A highlight over several lines: the first line to its right limit, the lines between across
// the paragraphs' widest extent, the last line from its left limit.
void paint_highlight(const Painter& p, const EditMark& mark)
{
    const EditField* f = p.f;
    int32_t first = edit_line_holding(f, mark.start);
    int32_t last = edit_line_holding(f, mark.end);
    if (last > first && f->lines_ptr[last].first == mark.end)
        last--;
    int32_t x_from = edit_x_of_position(p.m, f, first, mark.start);
    int32_t x_to = edit_x_of_position(p.m, f, last, mark.end);
    const EditLine* lines = f->lines_ptr;
    if (first == last) {
        fill(p.dc, Rect { x_from, lines[first].top, x_to, lines[first + 1].top }, mark.data);
        return;
    }
    EditParagraph para;
    int32_t left = INT32_MAX, right = INT32_MIN;
    for (int32_t line = first; line <= last; line++) {
        edit_paragraph_at(f, lines[line].first, &para);
        left = std::min(left, para.left);
        right = std::max(right, para.right);
        if (line == first)
            fill(p.dc, Rect { x_from, lines[first].top, para.right, lines[first + 1].top }, mark.data);
        if (line == last)
            fill(p.dc, Rect { para.left, lines[last].top, x_to, lines[last + 1].top }, mark.data);
    }
    fill(p.dc, Rect { left, lines[first + 1].top, right, lines[last].top }, mark.data);
}

} // namespace

void edit_set_smooth_text_renderer(EditSmoothTextRenderer renderer) { s_draw.smooth = renderer; }

void edit_draw_underline(plat::DcHandle dc, uint32_t color, uint32_t background, int32_t x_from, int32_t x_to,
    int32_t baseline)
{
    if (x_from >= x_to)
        return;
    DrawStyle style;
    gdi_style_init(&style);
    style.line_color = color;
    style.line_back_color = background;
    gdi_draw_line(dc, &style, x_from, baseline + 1, x_to, baseline + 1, background);
}

void edit_draw(EditHandle field, plat::DcHandle dc, const Rect* clip)
{
    if (!dc)
        return;
    edit_ensure_layout(field, dc);
    EditAccess f(field);
    if (!f)
        return;
    Rect visible = f->display;
    if (clip) {
        visible.left = std::max(visible.left, clip->left);
        visible.top = std::max(visible.top, clip->top);
        visible.right = std::min(visible.right, clip->right);
        visible.bottom = std::min(visible.bottom, clip->bottom);
    }
    if (visible.left >= visible.right || visible.top >= visible.bottom)
        return;
    f->borrowed_dc = dc;
    int saved = plat::save_dc(dc);
    plat::intersect_clip_rect(dc, visible.left, visible.top, visible.right, visible.bottom);
    if (fills_background(f->draw_mode))
        fill(dc, visible, f->background);
    if (f->length > 0) {
        EditMeasure measure(f.get(), dc, kEditDrawing);
        Painter painter { measure, f.get(), dc };
        for (int32_t i = 0; i < f->mark_count; i++)
            if (f->marks_ptr[i].kind == kMarkHighlight && f->marks_ptr[i].start < f->marks_ptr[i].end)
                paint_highlight(painter, f->marks_ptr[i]);
        for (int32_t line = 0; line < f->line_count; line++) {
            if (f->lines_ptr[line + 1].top <= visible.top)
                continue;
            if (f->lines_ptr[line].top >= visible.bottom)
                break;
            paint_line(painter, line);
        }
    }
    plat::restore_dc(dc, saved);
    f->borrowed_dc = {};
}
