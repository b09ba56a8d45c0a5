// The edit field's accessors: text copies, runs and styles, marks, rectangles and state, and
// the invariant check that tests and the fuzz target run after each operation.
#include <algorithm>
#include <cstring>

#include "runtime/base/idset.h"
#include "runtime/display/text_style.h"
#include "runtime/ui/edit_access.h"

// --- text copies ----------------------------------------------------------------------------

static void clamp_range(const EditField* f, int32_t* from, int32_t* to)
{
    *from = std::clamp<int32_t>(*from, 0, f->length);
    *to = std::clamp<int32_t>(*to, *from, f->length);
}

MemHandle edit_text_range(EditHandle field, int32_t from, int32_t to)
{
    EditAccess f(field);
    if (!f)
        return {};
    clamp_range(f.get(), &from, &to);
    MemHandle block = mem_alloc(size_t(to - from) + 1, kMemMovableZero);
    if (!block)
        return {};
    char* out = static_cast<char*>(mem_lock(block));
    std::memcpy(out, f->text_ptr + from, size_t(to - from));
    mem_unlock(block);
    return block;
}

int32_t edit_copy_text_range(EditHandle field, int32_t from, int32_t to, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    EditAccess f(field);
    if (!f)
        return 0;
    clamp_range(f.get(), &from, &to);
    int32_t room = int32_t(std::min<size_t>(size - 1, size_t(kEditMaxLength)));
    int32_t count = edit_fit_bytes(f->text_ptr + from, to - from, room);
    std::memcpy(buffer, f->text_ptr + from, size_t(count));
    buffer[count] = '\0';
    return count;
}

// --- runs and styles ------------------------------------------------------------------------

int32_t edit_run_index_at(const EditField* f, int32_t position)
{
    // From the last run back: edits happen mostly near the end.
    int32_t i = f->run_count - 1;
    while (i > 0 && f->runs_ptr[i].first > position)
        i--;
    return i;
}

int32_t edit_style_slot(EditHandle field)
{
    EditAccess f(field);
    return f ? f->style_slot : 0;
}

int32_t edit_style_at(EditHandle field, int32_t position)
{
    EditAccess f(field);
    return f ? f->runs_ptr[edit_run_index_at(f.get(), position)].style : 0;
}

uint32_t edit_number_format_at(EditHandle field, int32_t position)
{
    EditAccess f(field);
    if (!f)
        return 0;
    return text_style_number_format(f->runs_ptr[edit_run_index_at(f.get(), position)].style, f->style_slot);
}

int edit_set_runs(EditHandle field, const EditRun* runs, int32_t count)
{
    EditAccess f(field);
    if (!f)
        return 0;
    if (count < 1 || count > kEditMaxLength || runs[0].first != 0)
        return 5000;
    for (int32_t i = 1; i < count; i++)
        if (runs[i].first <= runs[i - 1].first || runs[i].first >= f->length)
            return 5000;
    int32_t old_count = f->run_count;
    if (!edit_table_resize(f->runs, size_t(count) * sizeof(EditRun), reinterpret_cast<void**>(&f->runs_ptr))) {
        f->run_count = int16_t(old_count);
        return 8;
    }
    std::memcpy(f->runs_ptr, runs, size_t(count) * sizeof(EditRun));
    f->run_count = int16_t(count);
    edit_lower_layout_state(f.get(), kEditLayoutAll);
    return 0;
}

int32_t edit_run_count(EditHandle field)
{
    EditAccess f(field);
    return f ? f->run_count : 0;
}

EditRun edit_run(EditHandle field, int32_t n)
{
    EditAccess f(field);
    return f && n >= 0 && n < f->run_count ? f->runs_ptr[n] : EditRun {};
}

void edit_set_pending_styles(EditHandle field, const uint16_t* ids, int32_t count)
{
    EditAccess f(field);
    if (!f)
        return;
    idset_clear(f->pending_styles);
    for (int32_t i = 0; i < count; i++)
        idset_add(f->pending_styles, ids[i]);
    f->pending_styles_on = count > 0;
}

void edit_set_run_hidden(EditField* f, int32_t position, int hidden)
{
    EditRun& run = f->runs_ptr[edit_run_index_at(f, position)];
    run.flags = int16_t(hidden ? (run.flags | kEditRunHidden) : (run.flags & ~kEditRunHidden));
    edit_lower_layout_state(f, position);
}

// --- marks ----------------------------------------------------------------------------------

int32_t edit_mark_count(EditHandle field)
{
    EditAccess f(field);
    return f ? f->mark_count : 0;
}

int edit_get_mark(EditHandle field, int32_t n, EditMark* out)
{
    EditAccess f(field);
    if (!f || n < 1 || n > f->mark_count)
        return 0;
    *out = f->marks_ptr[n - 1];
    return 1;
}

static int32_t add_mark_locked(EditField* f, EditMark mark)
{
    if (f->mark_count >= INT16_MAX)
        return 0;
    // A mark outside the text would break every later shift.
    int32_t from = std::clamp<int32_t>(mark.start, 0, f->length);
    int32_t to = std::clamp<int32_t>(mark.end, from, f->length);
    mark.start = int16_t(from);
    mark.end = int16_t(to);
    size_t bytes = size_t(f->mark_count + 1) * sizeof(EditMark);
    if (!edit_table_resize(f->marks, bytes, reinterpret_cast<void**>(&f->marks_ptr)))
        return 0;
    f->marks_ptr[f->mark_count++] = mark;
    return f->mark_count;
}

int32_t edit_add_mark(EditHandle field, const EditMark& mark)
{
    EditAccess f(field);
    return f ? add_mark_locked(f.get(), mark) : 0;
}

static void remove_mark_locked(EditField* f, int32_t n)
{
    if (n < 1 || n > f->mark_count)
        return;
    std::memmove(f->marks_ptr + n - 1, f->marks_ptr + n, sizeof(EditMark) * size_t(f->mark_count - n));
    f->mark_count--;
}

void edit_remove_mark(EditHandle field, int32_t n)
{
    EditAccess f(field);
    if (f)
        remove_mark_locked(f.get(), n);
}

void edit_set_hot_mark(EditHandle field, int32_t from, int32_t to, EditHotMark add, uint32_t data)
{
    EditAccess f(field);
    if (!f)
        return;
    if (add == kEditHotAdd) {
        int32_t end = std::min<int32_t>(to, f->length);
        if (from >= 0 && from < end)
            add_mark_locked(f.get(), EditMark { int16_t(from), int16_t(end), data, kMarkHighlight });
        return;
    }
    // From the last to the first, so that a removal does not skip the next mark.
    for (int32_t n = f->mark_count; n >= 1; n--) {
        const EditMark& m = f->marks_ptr[n - 1];
        if (m.kind == kMarkHighlight && m.start >= from && m.end <= to)
            remove_mark_locked(f.get(), n);
    }
}

int edit_hot_text_extent(EditHandle field, int32_t position, int32_t* from, int32_t* to)
{
    *from = *to = position;
    EditAccess f(field);
    if (!f)
        return 0;
    int found = 0;
    for (int32_t i = 0; i < f->mark_count; i++) {
        const EditMark& m = f->marks_ptr[i];
        if (m.kind != kMarkStyle || position < m.start || position >= m.end)
            continue;
        if (!(text_style_attr_mask(int(m.data), f->style_slot) & kStyleHotText))
            continue;
        *from = std::min<int32_t>(*from, m.start);
        *to = std::max<int32_t>(*to, m.end);
        found = 1;
    }
    return found;
}

// --- the embedded-expression interface ------------------------------------------------------

static int embed_get_mark(void* field, int n, EditMark& out)
{
    return edit_get_mark(EditHandle { uint32_t(reinterpret_cast<uintptr_t>(field)) }, n, &out);
}

static void embed_replace_range(void* field, const char* text, int from, int to)
{
    edit_replace_range(EditHandle { uint32_t(reinterpret_cast<uintptr_t>(field)) }, text, from, to);
}

static uint32_t embed_number_format_at(void* field, int position)
{
    return edit_number_format_at(EditHandle { uint32_t(reinterpret_cast<uintptr_t>(field)) }, position);
}

EmbedText edit_embed_text(EditHandle field)
{
    // The interface carries the field's id, never an address into it.
    return EmbedText { reinterpret_cast<void*>(uintptr_t(field.id)), embed_get_mark, embed_replace_range,
        embed_number_format_at };
}

// --- rectangles and state -------------------------------------------------------------------

void edit_get_layout_rect(EditHandle field, Rect* out)
{
    EditAccess f(field);
    *out = f ? f->layout : Rect {};
}

void edit_get_display_rect(EditHandle field, Rect* out)
{
    EditAccess f(field);
    *out = f ? f->display : Rect {};
}

void edit_set_display_rect(EditHandle field, const Rect& rect)
{
    EditAccess f(field);
    if (f)
        f->display = rect;
}

void edit_set_layout_rect(EditHandle field, const Rect& rect)
{
    EditAccess f(field);
    if (!f)
        return;
    const Rect old = f->layout;
    bool same_width = rect.right - rect.left == old.right - old.left;
    bool same_height = rect.bottom - rect.top == old.bottom - old.top || rect.bottom == kEditUnlimitedBottom;
    bool laid_out = f->layout_state == kEditLayoutDone || f->layout_state == kEditLayoutMoved;
    f->layout = rect;
    if (same_width && same_height && laid_out) {
        f->pending_dx += rect.left - old.left;
        f->pending_dy += rect.top - old.top;
        f->layout_state = kEditLayoutMoved;
    } else {
        f->pending_dx = f->pending_dy = 0;
        f->layout_state = kEditLayoutAll;
    }
}

void edit_invalidate_layout(EditHandle field)
{
    EditAccess f(field);
    if (f)
        edit_lower_layout_state(f.get(), kEditLayoutAll);
}

int32_t edit_border_width(EditHandle field)
{
    EditAccess f(field);
    return f ? std::max<int16_t>(f->border_width, 1) : 1;
}

// Fields have no scroll bar yet, so the bar's width and the height delta are 0.
void edit_get_bounds(EditHandle field, Rect* out)
{
    EditAccess f(field);
    *out = f ? f->display : Rect {};
    if (f && f->border_width > 1) {
        out->left--;
        out->top--;
        out->right++;
        out->bottom++;
    }
}

void edit_get_outer_rect(EditHandle field, Rect* out) { edit_get_display_rect(field, out); }

void edit_set_outer_rect(EditHandle field, const Rect& rect) { edit_set_display_rect(field, rect); }

int32_t edit_draw_mode(EditHandle field)
{
    EditAccess f(field);
    return f ? f->draw_mode : 0;
}

void edit_set_appearance(EditHandle field, uint16_t draw_mode, uint32_t background, uint16_t line_spacing)
{
    EditAccess f(field);
    if (!f)
        return;
    f->draw_mode = draw_mode;
    f->background = background;
    if (f->line_spacing != line_spacing)
        edit_lower_layout_state(f.get(), kEditLayoutAll);
    f->line_spacing = line_spacing;
}

int32_t edit_is_active(EditHandle field)
{
    EditAccess f(field);
    return f ? f->active : 0;
}

int32_t edit_smooth_text(EditHandle field)
{
    EditAccess f(field);
    return f ? f->smooth_text : 0;
}

void edit_set_redraw_callback(EditHandle field, EditRedrawCallback callback, void* context)
{
    EditAccess f(field);
    if (!f)
        return;
    f->redraw = callback;
    f->redraw_context = context;
}

void edit_set_callback_context(EditHandle field, void* context)
{
    EditAccess f(field);
    if (f && f->redraw)
        f->redraw_context = context;
}

plat::DcHandle edit_borrowed_dc(EditHandle field)
{
    EditAccess f(field);
    return f ? f->borrowed_dc : plat::DcHandle {};
}

int32_t edit_layout_state(EditHandle field)
{
    EditAccess f(field);
    return f ? f->layout_state : 0;
}

int32_t edit_line_count(EditHandle field)
{
    EditAccess f(field);
    return f ? f->line_count : 0;
}

EditLine edit_line(EditHandle field, int32_t n)
{
    EditAccess f(field);
    return f && n >= 0 && n <= f->line_count ? f->lines_ptr[n] : EditLine {};
}

// --- invariants -----------------------------------------------------------------------------

static const char* check_runs(const EditField* f)
{
    if (f->run_count < 1 || mem_size(f->runs) < size_t(f->run_count) * sizeof(EditRun))
        return "run table size";
    if (f->runs_ptr[0].first != 0)
        return "first run not at 0";
    for (int32_t i = 1; i < f->run_count; i++)
        if (f->runs_ptr[i].first <= f->runs_ptr[i - 1].first || f->runs_ptr[i].first >= f->length)
            return "runs out of order or past the text";
    return nullptr;
}

static const char* check_lines(const EditField* f)
{
    if (f->line_count < 1 || mem_size(f->lines) < size_t(f->line_count + 1) * sizeof(EditLine))
        return "line table size";
    if (f->layout_state != kEditLayoutDone)
        return nullptr;
    if (f->lines_ptr[f->line_count].first != f->length)
        return "sentinel line not at the text end";
    for (int32_t i = 1; i <= f->line_count; i++)
        if (f->lines_ptr[i].first < f->lines_ptr[i - 1].first)
            return "lines out of order";
    return nullptr;
}

const char* edit_check_invariants(EditHandle field)
{
    EditAccess f(field);
    if (!f)
        return "no field";
    if (f->length < 0 || f->length > kEditMaxLength || mem_size(f->text) < size_t(f->length))
        return "text length";
    if (f->selection_start < 0 || f->selection_start > f->selection_end || f->selection_end > f->length)
        return "selection";
    if (const char* broken = check_runs(f.get()))
        return broken;
    if (mem_size(f->marks) < size_t(f->mark_count) * sizeof(EditMark))
        return "mark table size";
    for (int32_t i = 0; i < f->mark_count; i++) {
        const EditMark& m = f->marks_ptr[i];
        if (m.start < 0 || m.start > m.end || m.end > f->length)
            return "mark outside the text";
    }
    return check_lines(f.get());
}
