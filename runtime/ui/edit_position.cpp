// Points to positions and positions to caret rectangles, over the same line segments that
// drawing paints.
#include <algorithm>
#include <vector>

#include "runtime/ui/edit_layout.h"
#include "runtime/ui/edit_measure.h"
#include "runtime/ui/edit_words.h"

namespace {


int32_t line_at_y(const EditField* f, int32_t y)
{
    if (y < f->lines_ptr[0].top)
        return 0;
    for (int32_t i = 0; i < f->line_count; i++)
        if (y < f->lines_ptr[i + 1].top)
            return i;
    return f->line_count - 1;
}

// The line whose caret rectangle shows the position.
int32_t caret_line(const EditField* f, int32_t position, int after_line_end)
{
    int32_t line = edit_line_holding(f, position);
    bool at_start = line > 0 && f->lines_ptr[line].first == position;
    bool at_tab = position < f->length && f->text_ptr[position] == '\t';
    if (at_start && (after_line_end || f->end_of_line_affinity || at_tab))
        line--;
    return line;
}

struct Hit {
    int32_t position = -1;
    int32_t left = 0, right = 0; // the character's cell
    bool in_gap = false;
    int32_t before_gap = -1; // the character before a justification gap
};

// The character of segment seg under x (x inside its cell).
Hit hit_in_segment(EditMeasure& m, const EditField* f, const EditSegment& seg, int32_t x)
{
    Hit hit;
    if (seg.kind != kSegmentText) {
        hit.position = seg.from;
        hit.left = seg.x;
        hit.right = seg.x + seg.width;
        return hit;
    }
    int32_t before = 0;
    for (int32_t c = seg.from; c < seg.to;) {
        int32_t next = c + edit_char_bytes(f->text_ptr, c, seg.to);
        int32_t after = m.width(seg.from, next - seg.from);
        if (x < seg.x + after || next >= seg.to) {
            hit.position = c;
            hit.left = seg.x + before;
            hit.right = seg.x + after;
            return hit;
        }
        before = after;
        c = next;
    }
    return hit;
}

int32_t previous_char(const EditField* f, int32_t from, int32_t position)
{
    int32_t previous = from;
    for (int32_t p = from; p < position; p += edit_char_bytes(f->text_ptr, p, f->length))
        previous = p;
    return previous;
}

Hit hit_on_line(EditMeasure& m, const EditField* f, int32_t line, const std::vector<EditSegment>& segments, int32_t x)
{
    for (const EditSegment& seg : segments) {
        if (x < seg.x + seg.width)
            return hit_in_segment(m, f, seg, x);
        if (x < seg.x + seg.width + seg.extra) {
            Hit hit;
            hit.in_gap = true;
            hit.position = seg.to;
            hit.left = hit.right = seg.x + seg.width + seg.extra;
            hit.before_gap = seg.to > seg.from ? seg.from : previous_char(f, f->lines_ptr[line].first, seg.from);
            return hit;
        }
    }
    return Hit {};
}

} // namespace

int32_t edit_line_at_y(EditHandle field, int32_t y)
{
    edit_ensure_layout(field, {});
    EditAccess f(field);
    return f && f->line_count > 0 ? line_at_y(f.get(), y) : -1;
}

int32_t edit_line_of_position(EditHandle field, int32_t position)
{
    edit_ensure_layout(field, {});
    EditAccess f(field);
    return f ? caret_line(f.get(), std::clamp<int32_t>(position, 0, f->length), 0) : 0;
}

int32_t edit_text_width(EditHandle field, int32_t position, int32_t count)
{
    EditAccess f(field);
    if (!f || position < 0 || count <= 0)
        return 0;
    EditMeasure m(f.get(), {});
    return m.width(position, count);
}

void edit_position_rect(EditHandle field, int32_t position, Rect* out, int after_line_end)
{
    edit_ensure_layout(field, {});
    EditAccess f(field);
    *out = Rect {};
    if (!f)
        return;
    position = std::clamp<int32_t>(position, 0, f->length);
    int32_t line = caret_line(f.get(), position, after_line_end);
    EditMeasure m(f.get(), {});
    int32_t x = edit_x_of_position(m, f.get(), line, position);
    if (f->length == 0) {
        EditParagraph para;
        edit_paragraph_at(f.get(), 0, &para);
        x = std::max(x, para.left + para.first_indent);
    }
    *out = Rect { x, f->lines_ptr[line].top, x + 1, f->lines_ptr[line + 1].top };
}

int32_t edit_char_at_point(EditHandle field, plat::DcHandle dc, int32_t x, int32_t y, EditPointMode mode, int* justified)
{
    if (justified)
        *justified = 0;
    edit_ensure_layout(field, dc);
    EditAccess f(field);
    if (!f)
        return -1;
    bool nearest = mode == kEditPointNearest;
    f->moved_up_a_character = 0;
    if (y < f->lines_ptr[0].top)
        return nearest ? 0 : -1;
    if (y >= f->lines_ptr[f->line_count].top)
        return nearest ? f->length : -1;
    int32_t line = line_at_y(f.get(), y);
    EditMeasure m(f.get(), dc);
    std::vector<EditSegment> segments;
    bool is_justified = edit_line_segments(m, f.get(), line, segments);
    if (justified)
        *justified = is_justified;
    int32_t line_from = f->lines_ptr[line].first;
    int32_t line_to = std::min<int32_t>(f->lines_ptr[line + 1].first, f->length);
    bool ends_in_cr = line_to > line_from && f->text_ptr[line_to - 1] == '\r';
    int32_t result = -1;
    if (x < f->lines_ptr[line].x) {
        result = nearest ? line_from : -1;
    } else {
        Hit hit = hit_on_line(m, f.get(), line, segments, x);
        if (hit.in_gap && mode == kEditPointBeforeGap)
            result = hit.before_gap;
        else if (hit.position >= 0 && nearest && !hit.in_gap && x - hit.left >= hit.right - x) {
            result = hit.position + edit_char_bytes(f->text_ptr, hit.position, f->length);
            f->moved_up_a_character = 1;
        } else if (hit.position >= 0)
            result = hit.position;
        else if (nearest)
            result = line_to;
    }
    if (nearest) {
        if (result == line_to && ends_in_cr)
            result = line_to - 1;
        f->end_of_line_affinity = result == line_to && !ends_in_cr && line + 1 < f->line_count;
    }
    return result;
}
