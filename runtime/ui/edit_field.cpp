#include "runtime/ui/edit_field.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/memory.h"
#include "runtime/base/str.h"
#include "runtime/ui/edit_access.h"

// --- tables -------------------------------------------------------------------------------

bool edit_table_resize(MemHandle block, size_t bytes, void** pointer)
{
    // A locked block may move while it grows; its lock count stays, so only the address is
    // taken again.
    if (!plat::global_realloc(block, std::max<size_t>(bytes, 1), plat::GMEM_MOVEABLE | plat::GMEM_ZEROINIT))
        return false;
    if (*pointer)
        *pointer = mem_address(block);
    return true;
}

bool edit_resize_lines(EditField* f, int32_t entries)
{
    return edit_table_resize(f->lines, size_t(entries) * sizeof(EditLine), reinterpret_cast<void**>(&f->lines_ptr));
}

EditAccess::EditAccess(EditHandle handle)
    : handle_(handle)
    , record_(handle ? static_cast<EditField*>(mem_lock(handle)) : nullptr)
{
    if (record_)
        edit_lock(record_);
}

EditAccess::~EditAccess()
{
    if (record_) {
        edit_unlock(record_);
        mem_unlock(handle_);
    }
}

void edit_lock(EditField* f)
{
    if (f->lock_count++ > 0)
        return;
    f->text_ptr = static_cast<char*>(mem_lock(f->text));
    f->runs_ptr = static_cast<EditRun*>(mem_lock(f->runs));
    f->lines_ptr = static_cast<EditLine*>(mem_lock(f->lines));
    f->marks_ptr = static_cast<EditMark*>(mem_lock(f->marks));
}

void edit_unlock(EditField* f)
{
    if (f->lock_count <= 0 || --f->lock_count > 0)
        return;
    for (MemHandle block : {f->text, f->runs, f->lines, f->marks})
        mem_unlock(block);
    f->text_ptr = nullptr;
    f->runs_ptr = nullptr;
    f->lines_ptr = nullptr;
    f->marks_ptr = nullptr;
}

// --- lifetime -------------------------------------------------------------------------------

static void free_tables(EditField* f)
{
    for (MemHandle block : {f->text, f->runs, f->lines, f->marks})
        if (block)
            mem_free(block);
    if (f->pending_styles)
        idset_free(f->pending_styles);
}

EditHandle edit_create(const Rect& layout, const Rect& display, int16_t style_slot, plat::WindowHandle owner)
{
    EditHandle handle = mem_alloc(sizeof(EditField), kMemMovableZero);
    if (!handle)
        return {};
    EditField* f = new (mem_lock(handle)) EditField {};
    f->layout = layout;
    f->display = display;
    f->style_slot = style_slot;
    f->owner = owner;
    f->text = mem_alloc(1, kMemMovableZero);
    f->runs = mem_alloc(sizeof(EditRun), kMemMovableZero);
    f->lines = mem_alloc(2 * sizeof(EditLine), kMemMovableZero);
    f->marks = mem_alloc(1, kMemMovableZero);
    f->pending_styles = idset_new();
    if (!f->text || !f->runs || !f->lines || !f->marks || !f->pending_styles) {
        free_tables(f);
        mem_unlock(handle);
        mem_free(handle);
        return {};
    }
    edit_lock(f);
    f->runs_ptr[0] = EditRun { 0, 0, 2, 0 };
    f->run_count = 1;
    for (int i = 0; i < 2; i++)
        f->lines_ptr[i] = EditLine { 0, layout.top, layout.left, layout.top };
    edit_unlock(f);
    mem_unlock(handle);
    return handle;
}

void edit_destroy(EditHandle field)
{
    if (!field)
        return;
    EditField* f = static_cast<EditField*>(mem_lock(field));
    if (!f)
        return;
    while (f->lock_count > 0)
        edit_unlock(f);
    free_tables(f);
    mem_unlock(field);
    mem_free(field);
}

void edit_set_owner(EditHandle field, plat::WindowHandle owner)
{
    EditAccess f(field);
    if (!f)
        return;
    f->owner = owner;
    f->borrowed_dc = {};
}

// --- editing primitives ---------------------------------------------------------------------

int32_t edit_fit_bytes(const char* bytes, int32_t count, int32_t max)
{
    // Whole characters only: a lead byte whose trail byte would be cut off goes too.
    int32_t taken = 0;
    while (taken < count) {
        int32_t step = (taken + 1 < count && !str_is_single_byte(bytes + taken)) ? 2 : 1;
        if (taken + step > max)
            break;
        taken += step;
    }
    return taken;
}

void edit_lower_layout_state(EditField* f, int32_t position)
{
    if (f->layout_state == kEditLayoutMoved)
        edit_apply_pending_offset(f);
    if (f->layout_state > position)
        f->layout_state = int16_t(std::max<int32_t>(position, kEditLayoutAll));
}

// Replaces old_length bytes at position by count bytes; false (nothing changed) when the
// block cannot take them. The block keeps a NUL after the text.
static bool splice_text(EditField* f, int32_t position, int32_t old_length, const char* bytes, int32_t count)
{
    int32_t new_length = f->length - old_length + count;
    if (count > old_length && !edit_table_resize(f->text, size_t(new_length) + 1, reinterpret_cast<void**>(&f->text_ptr)))
        return false;
    char* t = f->text_ptr;
    std::memmove(t + position + count, t + position + old_length, size_t(f->length - position - old_length));
    if (count > 0)
        std::memcpy(t + position, bytes, size_t(count));
    t[new_length] = '\0';
    f->length = int16_t(new_length);
    return true;
}

static bool is_paragraph_start(const EditField* f, int32_t s)
{
    if (s > 0 && f->text_ptr[s - 1] != '\r')
        return false;
    return !(f->length > 0 && s == f->length);
}

static void shift_after_insert(EditField* f, int32_t s, int32_t n, bool paragraph_start)
{
    for (int32_t i = 0; i < f->mark_count; i++) {
        EditMark& m = f->marks_ptr[i];
        if (paragraph_start ? s < m.start : (m.start >= s && m.start != 0))
            m.start = int16_t(m.start + n);
        if (paragraph_start ? s < m.end : m.end >= s)
            m.end = int16_t(m.end + n);
    }
    for (int32_t i = 1; i < f->run_count; i++) {
        EditRun& r = f->runs_ptr[i];
        if (paragraph_start ? r.first > s : r.first >= s)
            r.first = int16_t(r.first + n);
    }
}

void edit_merge_runs(EditField* f)
{
    int32_t count = f->run_count;
    while (count > 1 && f->runs_ptr[count - 1].first >= f->length)
        count--;
    EditRun* runs = f->runs_ptr;
    for (int32_t i = count - 2; i >= 0; i--) {
        const EditRun& next = runs[i + 1];
        if (runs[i].first != next.first && (runs[i].style != next.style || runs[i].flags != next.flags))
            continue;
        int16_t first = runs[i].first;
        std::memmove(runs + i, runs + i + 1, sizeof(EditRun) * size_t(count - i - 1));
        runs[i].first = first;
        count--;
    }
    f->run_count = int16_t(count);
}

static void insert_locked(EditField* f, const char* bytes, int32_t count)
{
    int32_t s = f->selection_start;
    int32_t n = edit_fit_bytes(bytes, count, kEditMaxLength - f->length);
    if (n <= 0)
        return;
    bool paragraph_start = is_paragraph_start(f, s);
    if (!splice_text(f, s, 0, bytes, n))
        return;
    edit_lower_layout_state(f, s);
    shift_after_insert(f, s, n, paragraph_start);
    f->pending_styles_on = 0;
    f->selection_start = f->selection_end = int16_t(s + n);
    f->caret_scroll_pending = 1;
}

void edit_insert_text(EditHandle field, const char* bytes, int32_t count)
{
    EditAccess f(field);
    if (f && bytes && count > 0)
        insert_locked(f.get(), bytes, count);
}

static void delete_locked(EditField* f)
{
    int32_t s = f->selection_start;
    int32_t n = f->selection_end - s;
    if (n < 1)
        return;
    splice_text(f, s, n, nullptr, 0);
    f->selection_end = int16_t(s);
    edit_lower_layout_state(f, s);
    auto lower = [&](int16_t& p) {
        if (p > s)
            p = int16_t(std::max(p - n, s));
    };
    for (int32_t i = 0; i < f->mark_count; i++) {
        lower(f->marks_ptr[i].start);
        lower(f->marks_ptr[i].end);
    }
    for (int32_t i = 1; i < f->run_count; i++)
        lower(f->runs_ptr[i].first);
    edit_merge_runs(f);
    f->caret_scroll_pending = 1;
}

void edit_delete_selection(EditHandle field)
{
    EditAccess f(field);
    if (f)
        delete_locked(f.get());
}

void edit_replace_selection(EditHandle field, const char* bytes, int32_t count)
{
    EditAccess f(field);
    if (!f)
        return;
    delete_locked(f.get());
    if (bytes && count > 0)
        insert_locked(f.get(), bytes, count);
}

int32_t edit_text_length(EditHandle field)
{
    EditAccess f(field);
    return f ? f->length : 0;
}

void edit_get_selection(EditHandle field, int32_t* start, int32_t* end)
{
    EditAccess f(field);
    *start = f ? f->selection_start : 0;
    *end = f ? f->selection_end : 0;
}

// The largest character boundary at or before position.
int32_t edit_char_boundary(const EditField* f, int32_t position)
{
    position = std::clamp<int32_t>(position, 0, f->length);
    int32_t at = 0;
    while (at < position) {
        int32_t step = edit_char_size(f, at);
        if (at + step > position)
            break;
        at += step;
    }
    return at;
}

int32_t edit_char_size(const EditField* f, int32_t position)
{
    return position + 1 < f->length && !str_is_single_byte(f->text_ptr + position) ? 2 : 1;
}

void edit_set_selection(EditHandle field, plat::DcHandle, int32_t start, int32_t end)
{
    EditAccess f(field);
    if (!f)
        return;
    start = edit_char_boundary(f.get(), start);
    end = edit_char_boundary(f.get(), end);
    f->selection_start = int16_t(std::min(start, end));
    f->selection_end = int16_t(std::max(start, end));
}

// A position after a replacement of [from, to) by n bytes: past the range it moves with the
// text; inside a shrinking range it stays on the new text, never past it.
static int16_t moved_position(int32_t p, int32_t from, int32_t to, int32_t n)
{
    if (p >= to)
        return int16_t(p + n - (to - from));
    return int16_t(std::min(p, from + n));
}

static void shift_after_replace(EditField* f, int32_t from, int32_t to, int32_t n)
{
    int32_t d = n - (to - from);
    if (f->selection_start > from)
        f->selection_start = int16_t(std::max(f->selection_start + d, from));
    if (f->selection_end > from)
        f->selection_end = int16_t(std::max(f->selection_end + d, from));
    for (int32_t i = 0; i < f->mark_count; i++) {
        EditMark& m = f->marks_ptr[i];
        m.start = moved_position(m.start, from, to, n);
        m.end = moved_position(m.end, from, to, n);
    }
    for (int32_t i = 1; i < f->run_count; i++) {
        EditRun& r = f->runs_ptr[i];
        if (r.first > from)
            r.first = moved_position(r.first, from, to, n);
    }
    edit_merge_runs(f);
}

int32_t edit_replace_range(EditHandle field, const char* text, int32_t from, int32_t to)
{
    EditAccess f(field);
    if (!f)
        return 0;
    from = edit_char_boundary(f.get(), from);
    to = std::max(from, edit_char_boundary(f.get(), to));
    if (!text || !*text) {
        // One hidden character keeps the place of an emptied value, so its mark keeps a range.
        text = "{";
        edit_set_run_hidden(f.get(), from, 1);
    } else {
        EditRun& run = f->runs_ptr[edit_run_index_at(f.get(), from)];
        run.flags = int16_t(run.flags & ~kEditRunHidden);
    }
    int32_t room = kEditMaxLength - (f->length - (to - from));
    int32_t n = edit_fit_bytes(text, int32_t(std::strlen(text)), room);
    if (!splice_text(f.get(), from, to - from, text, n))
        return from;
    shift_after_replace(f.get(), from, to, n);
    edit_lower_layout_state(f.get(), std::max(from - 1, 0));
    return std::max<int32_t>(f->layout_state, 0);
}
