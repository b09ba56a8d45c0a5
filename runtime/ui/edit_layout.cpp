#include "runtime/ui/edit_layout.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "runtime/base/str.h"
#include "runtime/display/text_style.h"
#include "runtime/files/msg.h"
#include "runtime/ui/cursor.h"
#include "runtime/ui/edit_measure.h"
#include "runtime/ui/edit_words.h"

namespace {

constexpr int32_t kWaitCursorLength = 5000;
constexpr int32_t kStandardWaitCursor = 5;
constexpr int32_t kLineTableGrowth = 10;
constexpr int32_t kProbeStep = 16; // characters of the first double-byte probe
constexpr uint32_t kStyleSuperscript = 0x20;
constexpr uint32_t kStyleSubscript = 0x40;
constexpr uint32_t kMsgOutOfMemory = 22;

// Standard cursor 5 while a long layout runs, the cursor before it afterwards.
void show_wait_cursor(int on)
{
    static int32_t previous = 0;
    if (on)
        previous = curs_set_standard(kStandardWaitCursor);
    else
        curs_set_standard(previous);
}

struct LayoutState {
    int error = 0;
    EditWaitCursorHook wait_cursor = show_wait_cursor;
};
LayoutState s_layout;

// What fitting one layout walks once: the end of a word that spans many lines (a long run of
// letters broken character by character) and the next CR or TAB, not once per line.
struct FitCache {
    int32_t from = -1; // any position after from and before end lies inside the word
    int32_t end = -1;

    int32_t at(const EditField* f, int32_t p, int32_t limit)
    {
        if (p > from && p < end && end <= limit)
            return end;
        int32_t e = edit_word_break(kWordBreakClasses, f->text_ptr, p, limit);
        if (!edit_is_blank(f->text_ptr, p, limit)) {
            from = p;
            end = e;
        }
        return e;
    }

    // The next CR or TAB at or after p (or the text end), also found once per stretch.
    int32_t piece_from = -1;
    int32_t piece_end = -1;

    int32_t next_stop(const EditField* f, int32_t p)
    {
        if (p >= piece_from && p <= piece_end)
            return piece_end;
        int32_t q = p;
        while (q < f->length && f->text_ptr[q] != '\r' && f->text_ptr[q] != '\t')
            q++;
        piece_from = p;
        piece_end = q;
        return q;
    }
};

int32_t skip_blanks(const EditField* f, int32_t p, int32_t end)
{
    while (p < end && edit_is_blank(f->text_ptr, p, end))
        p += edit_char_bytes(f->text_ptr, p, end);
    return p;
}

// Whole characters while they fit.
int32_t fit_chars(EditMeasure& m, const EditField* f, int32_t s, int32_t n, int32_t* w)
{
    int32_t p = s, used = 0;
    while (p < s + n) {
        int32_t q = p + edit_char_bytes(f->text_ptr, p, s + n);
        int32_t width = m.width(s, q - s);
        if (width > *w)
            break;
        p = q;
        used = width;
    }
    *w -= used;
    return p - s;
}

// Blanks and a word at a time, back to the last word end that fit.
int32_t fit_words(EditMeasure& m, FitCache& cache, const EditField* f, int32_t s, int32_t n, int32_t* w)
{
    int32_t p = s, used = 0;
    while (p < s + n && used < *w) {
        int32_t q = cache.at(f, p, s + n);
        int32_t width = m.width_up_to(s, q - s, *w);
        if (width > *w)
            break;
        p = q;
        used = width;
    }
    *w -= used;
    return p - s;
}

// A probe that ends inside a word moves on to the word's end.
int32_t to_word_end(FitCache& cache, const EditField* f, int32_t previous, int32_t q, int32_t end)
{
    const char* t = f->text_ptr;
    if (q >= end || previous < 0 || edit_is_blank(t, q, end) || edit_is_blank(t, previous, end)
        || edit_break_allowed(kWordBreakClasses, t + previous, t + q))
        return q;
    return cache.at(f, previous, end);
}

// Double-byte text: probes forward in halving steps of characters, each moved to a word end,
// so a long line is measured a few times instead of once per character.
int32_t fit_probing(EditMeasure& m, FitCache& cache, const EditField* f, int32_t s, int32_t n, int32_t* w)
{
    int32_t end = s + n, p = s, used = 0, failed = INT32_MAX;
    int32_t step = kProbeStep;
    while (step > 0 && p < end && used < *w) {
        int32_t q = p, previous = -1, taken = 0;
        for (; taken < step && q < end; taken++) {
            previous = q;
            q += edit_char_bytes(f->text_ptr, q, end);
        }
        if (taken < step) {
            step /= 2;
            continue;
        }
        q = to_word_end(cache, f, previous, q, end);
        int32_t width = q < failed ? m.width_up_to(s, q - s, *w) : INT32_MAX;
        if (width <= *w) {
            p = q;
            used = width;
        } else {
            failed = std::min(failed, q);
            step /= 2;
        }
    }
    *w -= used;
    return p - s;
}

// Characters one by one only at a line's start: after a TAB a word that does not fit wraps
// whole to the next line, as it would after a blank.
int32_t fit(EditMeasure& m, FitCache& cache, const EditField* f, const EditParagraph& para, int32_t s, int32_t n,
    int32_t* w, bool line_start)
{
    if (n <= 0)
        return 0;
    int32_t taken = (!str_settings().double_byte || para.alignment == 3) ? fit_words(m, cache, f, s, n, w)
                                                                         : fit_probing(m, cache, f, s, n, w);
    return taken > 0 || !line_start ? taken : fit_chars(m, f, s, n, w);
}

// The end of the line that starts at s; *w is left with the room right of its last character.
int32_t break_line(EditMeasure& m, FitCache& cache, const EditField* f, const EditParagraph& para, int32_t s,
    int32_t x, int32_t* w)
{
    const char* t = f->text_ptr;
    *w = para.right - x;
    int32_t p = s;
    for (;;) {
        int32_t piece_end = cache.next_stop(f, p);
        int32_t taken = fit(m, cache, f, para, p, piece_end - p, w, p == s);
        if (taken < piece_end - p) {
            if (taken == 0 && p == s) {
                // A line holds at least one character, however wide.
                taken = edit_char_bytes(t, p, piece_end);
                *w -= m.width(p, taken);
            }
            // Blanks at the line's end hang into the margin.
            int32_t q = skip_blanks(f, p + taken, piece_end);
            if (q < piece_end)
                return q;
        }
        p = piece_end;
        if (p >= f->length)
            return f->length;
        if (t[p] == '\r')
            return p + 1;
        int32_t stop = edit_tab_stop(m, f, para, para.right - *w, p + 1);
        if (stop >= 0) {
            *w = para.right - stop;
        } else {
            const EditRun& run = f->runs_ptr[edit_run_index_at(f, p)];
            int32_t space = 0;
            if (!(run.flags & kEditRunHidden)) {
                m.use_style(run.style);
                space = m.plain_width(" ", 1);
            }
            if (space > *w && p > s)
                return p;
            *w -= space;
        }
        p++;
    }
}

struct LineMetrics {
    int32_t ascent = 0;
    int32_t descent = 0;
};

// Ascent and descent of the runs of [from, to); sets each run's vertical shift.
LineMetrics line_metrics(EditField* f, int32_t from, int32_t to)
{
    int platform = (f->source_platform == 1 || !f->keep_stored_lines) ? 1 : 2;
    int slot = f->style_slot;
    auto shifted = [&](int32_t r) { return text_style_flags(f->runs_ptr[r].style, slot) & (kStyleSuperscript | kStyleSubscript); };
    int32_t first = edit_run_index_at(f, from);
    int32_t last = edit_run_index_at(f, std::max(from, to - 1));
    int32_t half = 0;
    for (int32_t r = first; r >= 0; r--)
        if (!shifted(r)) {
            half = text_style_ascent(f->runs_ptr[r].style, slot, platform) / 2;
            break;
        }
    LineMetrics line;
    for (int32_t r = first; r <= last; r++) {
        int style = f->runs_ptr[r].style;
        uint32_t bits = text_style_flags(style, slot);
        int32_t a = text_style_ascent(style, slot, platform);
        int32_t d = text_style_descent(style, slot, platform) + text_style_leading(style, slot, platform);
        int32_t shift = 0;
        if (bits & kStyleSuperscript) {
            shift = half;
            a += half;
        } else if (bits & kStyleSubscript) {
            shift = -half;
            d += half;
        } else {
            half = a / 2;
        }
        f->runs_ptr[r].shift = shift;
        line.ascent = std::max(line.ascent, a);
        line.descent = std::max(line.descent, d);
    }
    return line;
}

int32_t next_top(const EditField* f, int32_t top, const LineMetrics& line)
{
    if (f->line_spacing < kEditSingleSpacing)
        return top + line.ascent + line.descent + f->line_spacing;
    return top + (f->line_spacing - 0x6FFE) * ((line.ascent + line.descent + 1) / 2);
}

int32_t line_capacity(const EditField* f) { return int32_t(mem_size(f->lines) / sizeof(EditLine)); }

// Room for entry index + 1 (the sentinel after it); 0 or the layout error.
int grow_lines(EditField* f, int32_t index)
{
    if (index + 2 <= line_capacity(f))
        return kEditLayoutOk;
    if (index >= kEditMaxLines)
        return kEditLayoutTooManyLines;
    if (!edit_resize_lines(f, line_capacity(f) + kLineTableGrowth)) {
        msg_show(kMsgOutOfMemory, 2);
        return kEditLayoutNoMemory;
    }
    return kEditLayoutOk;
}


// Lays out lines from line start on; the layout error.
int lay_out_from(EditField* f, EditMeasure& m, int32_t start)
{
    const char* t = f->text_ptr;
    int32_t top = start == 0 ? f->layout.top : f->lines_ptr[start].top;
    int32_t pos = start == 0 ? 0 : f->lines_ptr[start].first;
    int32_t i = start;
    EditParagraph para;
    edit_paragraph_at(f, pos, &para);
    FitCache cache;
    for (;;) {
        if (int error = grow_lines(f, i))
            return error;
        bool paragraph_start = pos == 0 || t[pos - 1] == '\r';
        if (paragraph_start && i > start)
            edit_paragraph_at(f, pos, &para);
        int32_t x = para.left + (paragraph_start ? para.first_indent : 0);
        int32_t room = 0;
        int32_t end = break_line(m, cache, f, para, pos, x, &room);
        LineMetrics metrics = line_metrics(f, pos, end);
        if (para.alignment == 1)
            x += room / 2;
        else if (para.alignment == 2)
            x += room + (paragraph_start && para.first_indent < 0 ? para.first_indent : 0);
        f->lines_ptr[i++] = EditLine { int16_t(pos), top, x, top + metrics.ascent };
        top = next_top(f, top, metrics);
        bool closes_text_with_cr = end == f->length && end > pos && t[end - 1] == '\r';
        pos = end;
        if (pos < f->length || closes_text_with_cr)
            continue;
        break;
    }
    f->lines_ptr[i] = EditLine { f->length, top, f->layout.left, top };
    f->line_count = int16_t(i);
    return kEditLayoutOk;
}

// Puts the lines from before a failed layout back (the table only grew, so they fit). They
// may describe a longer text than the one now held: their starts are kept inside it, on
// character boundaries, so nothing reads past the text.
void restore_lines(EditField* f, const std::vector<EditLine>& old)
{
    std::copy(old.begin(), old.end(), f->lines_ptr);
    f->line_count = int16_t(old.size() - 1);
    int16_t floor = 0;
    for (int32_t i = 0; i < f->line_count; i++) {
        EditLine& line = f->lines_ptr[i];
        line.first = int16_t(std::max<int32_t>(edit_char_boundary(f, line.first), floor));
        floor = line.first;
    }
    f->lines_ptr[f->line_count].first = f->length;
}

} // namespace

void edit_set_wait_cursor_hook(EditWaitCursorHook hook) { s_layout.wait_cursor = hook ? hook : show_wait_cursor; }

int edit_last_error() { return s_layout.error; }

void edit_ensure_layout(EditHandle field, plat::DcHandle dc)
{
    if (edit_layout_state(field) != kEditLayoutDone)
        edit_layout(field, dc, nullptr, 0);
}

void edit_apply_pending_offset(EditField* f)
{
    for (int32_t i = 0; i <= f->line_count; i++) {
        EditLine& line = f->lines_ptr[i];
        line.top += f->pending_dy;
        line.baseline += f->pending_dy;
        line.x += f->pending_dx;
    }
    f->pending_dx = f->pending_dy = 0;
    f->layout_state = kEditLayoutDone;
}

static void set_damaged(Rect* damaged, const EditField* f, int32_t top, int32_t bottom)
{
    if (damaged)
        *damaged = Rect { f->display.left, top, f->display.right, bottom };
}

int32_t edit_layout(EditHandle field, plat::DcHandle dc, Rect* damaged, uint32_t flags)
{
    s_layout.error = kEditLayoutOk;
    if (damaged)
        *damaged = Rect {};
    EditAccess f(field);
    if (!f)
        return 0;
    bool everything = flags & kEditLayoutEverything;
    if (f->layout_state == kEditLayoutMoved) {
        edit_apply_pending_offset(f.get());
        if (!everything) {
            int32_t bottom = f->lines_ptr[f->line_count].top;
            set_damaged(damaged, f.get(), f->display.top, std::max(f->display.bottom, bottom));
            return bottom;
        }
    }
    if (f->layout_state == kEditLayoutDone && !everything)
        return f->lines_ptr[f->line_count].top;

    bool full = everything || f->layout_state < 0;
    bool wait = full && f->length > kWaitCursorLength && s_layout.wait_cursor;
    if (wait)
        s_layout.wait_cursor(1);
    std::vector<EditLine> old(f->lines_ptr, f->lines_ptr + f->line_count + 1);
    int32_t start = full ? 0 : std::max<int32_t>(edit_line_holding(f.get(), f->layout_state) - 1, 0);
    int error = kEditLayoutOk;
    {
        EditMeasure measure(f.get(), dc);
        error = lay_out_from(f.get(), measure, start);
    }
    if (error) {
        restore_lines(f.get(), old);
        s_layout.error = error;
    }
    f->layout_state = kEditLayoutDone;
    int32_t bottom = f->lines_ptr[f->line_count].top;
    int32_t first_top = start < int32_t(old.size()) ? f->lines_ptr[start].top : bottom;
    set_damaged(damaged, f.get(), first_top, std::max(old.back().top, bottom));
    if (wait)
        s_layout.wait_cursor(0);
    return bottom;
}
