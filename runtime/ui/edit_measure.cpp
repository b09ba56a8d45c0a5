#include "runtime/ui/edit_measure.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gdi/dc.h"
#include "runtime/base/str.h"
#include "runtime/display/font_names.h"
#include "runtime/display/text_style.h"
#include "runtime/ui/edit_words.h"

// --- paragraphs -----------------------------------------------------------------------------

void edit_paragraph_of(const EditField* f, int style, EditParagraph* out)
{
    int slot = f->style_slot;
    out->alignment = text_style_alignment(style, slot);
    out->left = f->layout.left + text_style_left_indent(style, slot);
    out->right = f->layout.right - text_style_right_indent(style, slot);
    int32_t first = text_style_first_indent(style, slot);
    first = std::max(first, f->layout.left - out->left);
    first = std::min(first, out->right - out->left - 20);
    out->first_indent = first;
    int count = 0;
    const int32_t* tabs = text_style_tabs(style, slot, &count);
    out->tabs.assign(tabs, tabs + (tabs ? count : 0));
}

int32_t edit_paragraph_start(const EditField* f, int32_t position)
{
    position = std::clamp<int32_t>(position, 0, f->length);
    while (position > 0 && f->text_ptr[position - 1] != '\r')
        position--;
    return position;
}

void edit_paragraph_at(const EditField* f, int32_t position, EditParagraph* out)
{
    int32_t start = edit_paragraph_start(f, position);
    edit_paragraph_of(f, f->runs_ptr[edit_run_index_at(f, start)].style, out);
}

int32_t edit_line_holding(const EditField* f, int32_t position)
{
    int32_t i = f->line_count - 1;
    while (i > 0 && f->lines_ptr[i].first > position)
        i--;
    return i;
}

// --- measuring ------------------------------------------------------------------------------

static void make_font(int style, int slot, EditFontUse use, StockFont* out)
{
    uint32_t bits = text_style_flags(style, slot);
    if (use == kEditMeasuring || !str_settings().double_byte || !(bits & kFontUnderline)) {
        text_style_create_font(style, slot, out);
        return;
    }
    *out = StockFont {};
    const FontDesc* entry = text_font_lock(text_style_font_entry(style, slot));
    if (!entry)
        return;
    FontDesc desc = *entry;
    desc.style = int16_t(bits & ~uint32_t(kFontUnderline));
    font_create(&desc, out);
}

EditMeasure::EditMeasure(const EditField* record, plat::DcHandle dc, EditFontUse use)
    : record_(record)
    , dc_(dc)
    , use_(use)
{
    if (!dc_) {
        dc_ = plat::get_dc({});
        own_dc_ = true;
    }
}

EditMeasure::~EditMeasure()
{
    if (selected_)
        plat::select_object(dc_, original_);
    for (auto& [style, font] : fonts_)
        font_release(&font);
    if (own_dc_)
        plat::release_dc({}, dc_);
}

const StockFont& EditMeasure::use_style(int style)
{
    auto found = std::find_if(fonts_.begin(), fonts_.end(), [&](const auto& entry) { return entry.first == style; });
    if (found == fonts_.end()) {
        StockFont font;
        make_font(style, record_->style_slot, use_, &font);
        fonts_.emplace_back(style, font);
        found = fonts_.end() - 1;
    }
    if (style != current_) {
        // A style without a font measures with the DC's own.
        plat::GdiObject wanted = found->second.font ? found->second.font : original_;
        if (!selected_) {
            if (found->second.font) {
                original_ = plat::select_object(dc_, wanted);
                selected_ = true;
            }
        } else {
            plat::select_object(dc_, wanted);
        }
        current_ = style;
    }
    return found->second.font ? found->second : none_;
}

int32_t EditMeasure::plain_width(const char* bytes, int32_t count)
{
    return count > 0 ? font_measure_text(dc_, bytes, int16_t(count)) : 0;
}

int32_t EditMeasure::width(int32_t position, int32_t count)
{
    const EditField* f = record_;
    int32_t end = std::min<int32_t>(position + count, f->length);
    int32_t total = 0;
    for (int32_t r = edit_run_index_at(f, position); r < f->run_count && position < end; r++) {
        int32_t run_end = r + 1 < f->run_count ? std::min<int32_t>(f->runs_ptr[r + 1].first, end) : end;
        if (run_end <= position)
            continue;
        if (!(f->runs_ptr[r].flags & kEditRunHidden)) {
            use_style(f->runs_ptr[r].style);
            total += plain_width(f->text_ptr + position, run_end - position);
        }
        position = run_end;
    }
    return total;
}

int32_t EditMeasure::width_up_to(int32_t position, int32_t count, int32_t limit)
{
    // Pieces of 64 bytes, ended on character boundaries; widths of pieces add up.
    constexpr int32_t kPiece = 64;
    int32_t end = std::min<int32_t>(position + count, record_->length);
    int32_t total = 0;
    while (position < end && total <= limit) {
        int32_t piece = std::min(end - position, kPiece);
        if (position + piece < end)
            piece = edit_fit_bytes(record_->text_ptr + position, end - position, piece);
        total += width(position, std::max(piece, 1));
        position += std::max(piece, 1);
    }
    return total;
}

int32_t edit_tab_stop(EditMeasure& measure, const EditField* f, const EditParagraph& para, int32_t x, int32_t after)
{
    int32_t base = f->display.left;
    for (int32_t value : para.tabs) {
        int32_t distance = std::abs(value);
        if (distance <= x - base)
            continue;
        int32_t stop = base + distance;
        if (stop >= para.right)
            return -1;
        if (value < 0) {
            // A decimal stop: the text up to its point (or its end) ends at the stop.
            int32_t q = after;
            while (q < f->length && f->text_ptr[q] != '.' && uint8_t(f->text_ptr[q]) >= '!')
                q += edit_char_bytes(f->text_ptr, q, f->length);
            int32_t before_point = measure.width(after, q - after);
            stop -= std::min(before_point, std::max(stop - x - 3, 0));
        }
        return stop;
    }
    return -1;
}

// --- segments of a line ---------------------------------------------------------------------

namespace {

struct Gap {
    int32_t position;
    bool blank; // a blank character, or a boundary between two characters
    int32_t extra = 0;
};

bool line_ends_paragraph(const EditField* f, int32_t line)
{
    int32_t to = f->lines_ptr[line + 1].first;
    return line + 1 >= f->line_count || (to > 0 && f->text_ptr[to - 1] == '\r');
}

// The gaps of a justified line up to its last non-blank character, and the end of that
// character; empty when the line is not justified.
std::vector<Gap> justification_gaps(const EditField* f, int32_t from, int32_t to, int32_t* last_end)
{
    std::vector<Gap> gaps;
    const char* t = f->text_ptr;
    *last_end = from;
    for (int32_t p = from; p < to; p += edit_char_bytes(t, p, to))
        if (!edit_is_blank(t, p, to) && t[p] != '\r')
            *last_end = p + edit_char_bytes(t, p, to);
    bool double_byte = str_settings().double_byte;
    int32_t previous = -1;
    for (int32_t p = from; p < *last_end; p += edit_char_bytes(t, p, to)) {
        bool blank = edit_is_blank(t, p, to);
        if (blank)
            gaps.push_back(Gap { p, true });
        else if (double_byte && previous >= 0 && !edit_is_blank(t, previous, to)
            && edit_break_allowed(kWordBreakClasses, t + previous, t + p))
            gaps.push_back(Gap { p, false });
        previous = p;
    }
    return gaps;
}

// Spreads total pixels over the gaps: gap i of n gets its rounded share of i x total / n
// minus what the earlier gaps got, so the shares add up exactly.
void spread(std::vector<Gap>& gaps, int32_t total)
{
    int64_t n = int64_t(gaps.size());
    int64_t given = 0;
    for (int64_t i = 1; i <= n; i++) {
        int64_t upto = i == n ? total : ((int64_t(total) * 1024 / n) * i + 512) / 1024;
        gaps[size_t(i - 1)].extra = int32_t(upto - given);
        given = upto;
    }
}

} // namespace

bool edit_line_segments(EditMeasure& measure, const EditField* f, int32_t line, std::vector<EditSegment>& out)
{
    out.clear();
    int32_t from = f->lines_ptr[line].first;
    int32_t to = std::min<int32_t>(f->lines_ptr[line + 1].first, f->length);
    int32_t end = (to > from && f->text_ptr[to - 1] == '\r') ? to - 1 : to;
    EditParagraph para;
    edit_paragraph_at(f, from, &para);
    int32_t x = f->lines_ptr[line].x;

    std::vector<Gap> gaps;
    bool has_tab = std::find(f->text_ptr + from, f->text_ptr + end, '\t') != f->text_ptr + end;
    if (para.alignment == 3 && !has_tab && !line_ends_paragraph(f, line)) {
        int32_t last_end = from;
        gaps = justification_gaps(f, from, end, &last_end);
        // A line without a gap stays as it is: there is nothing to spread the width over.
        if (!gaps.empty())
            spread(gaps, std::max(para.right - (x + measure.width(from, last_end - from)), 0));
    }

    int32_t run = edit_run_index_at(f, from);
    int32_t start = from;
    size_t g = 0;
    auto flush = [&](int32_t until) {
        if (until > start) {
            int32_t w = measure.width(start, until - start);
            out.push_back(EditSegment { start, until, x, w, 0, run, kSegmentText });
            x += w;
        }
        start = until;
    };
    for (int32_t p = from; p < end;) {
        if (run + 1 < f->run_count && f->runs_ptr[run + 1].first <= p) {
            flush(p);
            run++;
            continue;
        }
        if (g < gaps.size() && gaps[g].position == p) {
            flush(p);
            int32_t size = gaps[g].blank ? edit_char_bytes(f->text_ptr, p, end) : 0;
            int32_t w = measure.width(p, size);
            out.push_back(EditSegment { p, p + size, x, w, gaps[g].extra, run, kSegmentGap });
            x += w + gaps[g].extra;
            p += size;
            start = p;
            g++;
            continue;
        }
        if (f->text_ptr[p] == '\t') {
            flush(p);
            int32_t stop = edit_tab_stop(measure, f, para, x, p + 1);
            if (stop >= x) {
                out.push_back(EditSegment { p, p + 1, x, stop - x, 0, run, kSegmentTab });
                x = stop;
            } else {
                measure.use_style(f->runs_ptr[run].style);
                int32_t w = (f->runs_ptr[run].flags & kEditRunHidden) ? 0 : measure.plain_width(" ", 1);
                out.push_back(EditSegment { p, p + 1, x, w, 0, run, kSegmentTabSpace });
                x += w;
            }
            start = ++p;
            continue;
        }
        p += edit_char_bytes(f->text_ptr, p, end);
    }
    flush(end);
    return !gaps.empty();
}

int32_t edit_x_of_position(EditMeasure& m, const EditField* f, int32_t line, int32_t position)
{
    std::vector<EditSegment> segments;
    edit_line_segments(m, f, line, segments);
    int32_t x = f->lines_ptr[line].x;
    for (const EditSegment& seg : segments) {
        if (position >= seg.from && position < seg.to)
            return seg.x + (seg.kind == kSegmentText ? m.width(seg.from, position - seg.from) : 0);
        if (position < seg.from)
            return seg.x;
        x = seg.x + seg.width + seg.extra;
    }
    return x;
}
