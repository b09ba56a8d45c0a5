#include "platform/controls/ctl_edit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/window/caret.h"
#include "platform/window/clipboard.h"
#include "platform/kernel/codepage.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_draw.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/text/font.h"
#include "platform/gdi/gdi_object.h"
#include "platform/ime/ime.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/text/text.h"

namespace plat {

// Pixels between the client edge and the text.
constexpr int32_t kMargin = 1;

struct EditData {
    std::string text;
    size_t anchor = 0; // the fixed end of the selection
    size_t caret = 0;  // the moving end, where the caret shows
    int32_t scroll_x = 0;
    size_t limit = kEditDefaultLimit;
    bool modified = false;
    bool focused = false;
    char password = 0;
    uint8_t pending_lead = 0; // the first byte of a double-byte character typed in two messages
    bool tracking = false;
    bool word_tracking = false;
    size_t word_start = 0, word_end = 0; // the word a double click selected
    // One level of undo: the text and selection before the last change.
    bool can_undo = false;
    bool typing_run = false; // the last change was typing at the caret: more typing joins it
    std::string undo_text;
    size_t undo_anchor = 0, undo_caret = 0;
    // The syllable the input method is composing: shown marked in place of the selection, not
    // yet part of the text.
    std::string composition;
};

static ControlTable<EditData> s_edits{0xED1};

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }
static bool is_read_only(WindowHandle window) { return (style_of(window) & ES_READONLY) != 0; }

static size_t sel_start(const EditData& e) { return std::min(e.anchor, e.caret); }
static size_t sel_end(const EditData& e) { return std::max(e.anchor, e.caret); }

static bool in_combo(WindowHandle window)
{
    char name[16];
    WindowHandle parent = get_parent(window);
    return parent && get_class_name(parent, name, sizeof name) && lstrcmpi(name, kComboBoxClass) == 0;
}

// Character steps that never split a double-byte character.
static size_t next_boundary(const std::string& text, size_t i)
{
    if (i >= text.size())
        return text.size();
    size_t step = is_dbcs_lead_byte(uint8_t(text[i])) && i + 1 < text.size() ? 2 : 1;
    return i + step;
}

static size_t prev_boundary(const std::string& text, size_t i)
{
    if (i == 0)
        return 0;
    size_t at = 0;
    size_t last = 0;
    while (at < i) {
        last = at;
        at = next_boundary(text, at);
    }
    return last;
}

static size_t snap(const std::string& text, size_t i)
{
    i = std::min(i, text.size());
    size_t at = 0;
    while (at < i) {
        size_t next = next_boundary(text, at);
        if (next > i)
            return at;
        at = next;
    }
    return at;
}

static bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The start of the word that runs up to i: i itself after a blank, else the last character
// boundary before it that follows a blank. One pass from the start, since double-byte text
// cannot be stepped backwards; stepping back a character at a time was quadratic in a long word.
static size_t word_start(const std::string& text, size_t i)
{
    if (i == 0 || is_blank(text[i - 1]))
        return i;
    size_t start = 0;
    for (size_t at = 0; at < i; at = next_boundary(text, at)) {
        if (at > 0 && is_blank(text[at - 1]))
            start = at;
    }
    return start;
}

static size_t word_left(const std::string& text, size_t i)
{
    while (i > 0 && is_blank(text[i - 1]))
        i--;
    return word_start(text, i);
}

static size_t word_right(const std::string& text, size_t i)
{
    while (i < text.size() && !is_blank(text[i]))
        i = next_boundary(text, i);
    while (i < text.size() && is_blank(text[i]))
        i++;
    return i;
}

// What shows: the text, or one password character for each character of it.
static std::string shown_text(const EditData& e)
{
    if (!e.password)
        return e.text;
    size_t count = 0;
    for (size_t i = 0; i < e.text.size(); i = next_boundary(e.text, i))
        count++;
    return std::string(count, e.password);
}

static size_t shown_index(const EditData& e, size_t i)
{
    if (!e.password)
        return i;
    size_t count = 0;
    for (size_t at = 0; at < i && at < e.text.size(); at = next_boundary(e.text, at))
        count++;
    return count;
}

// A DC of the edit with its font, for measuring and drawing.
struct EditDc {
    WindowHandle window;
    DcHandle dc;
    GdiObject old_font;
};

static EditDc open_dc(WindowHandle window, DcHandle dc = {})
{
    EditDc out{window, dc ? dc : get_dc(window), {}};
    out.old_font = controls_select_font(window, out.dc);
    return out;
}

static void close_dc(EditDc& edc, bool release)
{
    select_object(edc.dc, edc.old_font);
    if (release)
        release_dc(edc.window, edc.dc);
}

static int32_t line_height(DcHandle dc)
{
    TextMetric metrics;
    get_text_metrics(dc, metrics);
    return metrics.height;
}

// The area text is drawn in: the client area less the margins, one line high, centred.
static Rect format_rect(WindowHandle window, DcHandle dc)
{
    Rect client;
    get_client_rect(window, client);
    int32_t height = line_height(dc);
    int32_t top = std::max(0, (client.height() - height) / 2);
    return Rect{kMargin, top, std::max(kMargin, client.right - kMargin), top + height};
}

static int32_t width_of(DcHandle dc, const std::string& shown, size_t count)
{
    Size size;
    get_text_extent_point32(dc, shown.c_str(), int(count), size);
    return size.cx;
}

// The width of every prefix of the shown text from one measuring of the whole line: [k] is the
// width of the first k shown bytes. Measuring each prefix on its own made a click in a long
// field quadratic. Good until the text, the password character or the font changes.
using LineWidths = std::vector<int32_t>;

static LineWidths measure_line(const EditData& e, DcHandle dc)
{
    std::string shown = shown_text(e);
    LineWidths before(shown.size() + 1, 0);
    if (shown.empty())
        return before;
    Size size;
    get_text_extent_ex_point(dc, shown.c_str(), int(shown.size()), 0, nullptr, before.data() + 1, size);
    // A password character that is a lead byte pairs up with the next one; a prefix that ends
    // between the two shows its last one alone.
    if (e.password && is_dbcs_lead_byte(uint8_t(e.password))) {
        Size alone;
        get_text_extent_point32(dc, &e.password, 1, alone);
        for (size_t k = 1; k < shown.size(); k += 2)
            before[k] = before[k - 1] + alone.cx;
    }
    return before;
}

static int32_t x_of(const EditData& e, const LineWidths& before, const Rect& area, size_t i)
{
    return area.left - e.scroll_x + before[shown_index(e, i)];
}

// The character boundary nearest to x; the first of two as near.
static size_t index_at(const EditData& e, const LineWidths& before, const Rect& area, int32_t x)
{
    size_t best = 0;
    int32_t best_distance = INT32_MAX;
    size_t at = 0;
    size_t count = 0; // characters before at: a password field shows one byte for each
    for (;;) {
        int32_t distance = std::abs(area.left - e.scroll_x + before[e.password ? count : at] - x);
        if (distance < best_distance) {
            best = at;
            best_distance = distance;
        }
        if (at >= e.text.size())
            break;
        at = next_boundary(e.text, at);
        count++;
    }
    return best;
}

// The caret stays in view: the text scrolls by a third of the width past either edge.
static void scroll_to_caret(EditData& e, const LineWidths& before, const Rect& area)
{
    int32_t total = before.back();
    int32_t caret_x = before[shown_index(e, e.caret)];
    int32_t view = std::max(1, area.width() - 1);
    int32_t step = std::max(1, view / 3);
    if (caret_x < e.scroll_x)
        e.scroll_x = std::max(0, caret_x - step);
    else if (caret_x > e.scroll_x + view)
        e.scroll_x = caret_x - view + step;
    e.scroll_x = std::max(0, std::min(e.scroll_x, std::max(0, total - view)));
    if (caret_x > e.scroll_x + view)
        e.scroll_x = caret_x - view;
}

// measured, when given, holds the line's widths a click has just found its place in.
static void place_caret(WindowHandle window, const LineWidths* measured = nullptr)
{
    EditData* e = s_edits.find(window);
    if (!e || !e->focused)
        return;
    EditDc edc = open_dc(window);
    Rect area = format_rect(window, edc.dc);
    LineWidths own;
    if (!measured)
        own = measure_line(*e, edc.dc);
    const LineWidths& before = measured ? *measured : own;
    scroll_to_caret(*e, before, area);
    set_caret_pos(x_of(*e, before, area, e->caret), area.top);
    close_dc(edc, true);
}

static void changed_view(WindowHandle window, const LineWidths* measured = nullptr)
{
    place_caret(window, measured);
    invalidate_rect(window, nullptr, false);
}

static void set_selection(WindowHandle window, size_t anchor, size_t caret, const LineWidths* measured = nullptr)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return;
    e->anchor = snap(e->text, anchor);
    e->caret = snap(e->text, caret);
    e->typing_run = false;
    changed_view(window, measured);
}

static void keep_undo(EditData& e)
{
    e.undo_text = e.text;
    e.undo_anchor = e.anchor;
    e.undo_caret = e.caret;
    e.can_undo = true;
}

static void notify_change(WindowHandle window)
{
    controls_notify(window, EN_UPDATE);
    controls_notify(window, EN_CHANGE);
}

enum class Change { typing, other };

// Replaces the selection, within the limit; false (and EN_MAXTEXT) when nothing of the text
// fits.
static bool replace_selection(WindowHandle window, std::string insert, Change change)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return false;
    size_t start = sel_start(*e);
    size_t end = sel_end(*e);
    size_t room = e->limit > e->text.size() - (end - start) ? e->limit - (e->text.size() - (end - start)) : 0;
    bool cut = insert.size() > room;
    if (cut)
        insert.resize(snap(insert, room));
    if (insert.empty() && start == end) {
        if (cut)
            controls_notify(window, EN_MAXTEXT);
        return false;
    }
    if (!(change == Change::typing && e->typing_run && e->can_undo))
        keep_undo(*e);
    e->typing_run = change == Change::typing;
    e->text.replace(start, end - start, insert);
    e->anchor = e->caret = start + insert.size();
    e->modified = true;
    changed_view(window);
    if (cut)
        controls_notify(window, EN_MAXTEXT);
    notify_change(window);
    return true;
}

static void delete_range(WindowHandle window, size_t from, size_t to)
{
    EditData* e = s_edits.find(window);
    if (!e || from == to || is_read_only(window))
        return;
    e->anchor = from;
    e->caret = to;
    replace_selection(window, std::string(), Change::other);
}

static void copy_selection(WindowHandle window)
{
    EditData* e = s_edits.find(window);
    if (!e || e->password || sel_start(*e) == sel_end(*e))
        return;
    std::string text = e->text.substr(sel_start(*e), sel_end(*e) - sel_start(*e));
    if (!open_clipboard(window))
        return;
    empty_clipboard();
    GlobalHandle block = global_alloc(GMEM_MOVEABLE, text.size() + 1);
    if (auto* bytes = static_cast<char*>(global_lock(block))) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        global_unlock(block);
        set_clipboard_data(CF_TEXT, block);
    }
    close_clipboard();
}

// One line of the clipboard's text: a single-line field stops at the first line break.
static std::string clipboard_line(WindowHandle window)
{
    std::string text;
    if (!open_clipboard(window))
        return text;
    GlobalHandle block = get_clipboard_data(CF_TEXT);
    if (const auto* bytes = static_cast<const char*>(global_lock(block))) {
        text.assign(bytes, strnlen(bytes, global_size(block)));
        global_unlock(block);
    }
    close_clipboard();
    size_t line_end = text.find_first_of("\r\n");
    if (line_end != std::string::npos)
        text.resize(line_end);
    return text;
}

static void paste(WindowHandle window)
{
    if (is_read_only(window))
        return;
    std::string text = clipboard_line(window);
    if (!text.empty())
        replace_selection(window, text, Change::other);
}

static void undo(WindowHandle window)
{
    EditData* e = s_edits.find(window);
    if (!e || !e->can_undo || is_read_only(window))
        return;
    std::swap(e->text, e->undo_text);
    std::swap(e->anchor, e->undo_anchor);
    std::swap(e->caret, e->undo_caret);
    e->typing_run = false;
    e->modified = true;
    changed_view(window);
    notify_change(window);
}

// The moving end goes to a new place; without Shift the selection collapses there.
static void move_caret(WindowHandle window, size_t to, bool extend, const LineWidths* measured = nullptr)
{
    EditData* e = s_edits.find(window);
    if (e)
        set_selection(window, extend ? e->anchor : to, to, measured);
}

static size_t target_of_key(const EditData& e, uint32_t vk, bool ctrl, bool extend)
{
    bool collapsed = e.anchor == e.caret;
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
        if (!extend && !collapsed && !ctrl)
            return sel_start(e);
        return ctrl ? word_left(e.text, e.caret) : prev_boundary(e.text, e.caret);
    case VK_RIGHT:
    case VK_DOWN:
        if (!extend && !collapsed && !ctrl)
            return sel_end(e);
        return ctrl ? word_right(e.text, e.caret) : next_boundary(e.text, e.caret);
    case VK_HOME: return 0;
    default: return e.text.size(); // VK_END
    }
}

static bool forwards_to_combo(WindowHandle window, uint32_t vk)
{
    return in_combo(window) && (vk == VK_UP || vk == VK_DOWN || vk == VK_F4 || vk == VK_PRIOR || vk == VK_NEXT
        || vk == VK_RETURN || vk == VK_ESCAPE);
}

static LResult on_key_down(WindowHandle window, uint32_t vk)
{
    if (forwards_to_combo(window, vk))
        return send_message(get_parent(window), WM_KEYDOWN, vk, 0);
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    bool shift = get_key_state(VK_SHIFT) < 0;
    bool ctrl = get_key_state(VK_CONTROL) < 0;
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END: move_caret(window, target_of_key(*e, vk, ctrl, shift), shift); return 0;
    case VK_DELETE:
        if (shift) {
            copy_selection(window);
            if ((e = s_edits.find(window)))
                delete_range(window, sel_start(*e), sel_end(*e));
        } else if (e->anchor != e->caret) {
            delete_range(window, sel_start(*e), sel_end(*e));
        } else {
            delete_range(window, e->caret, next_boundary(e->text, e->caret));
        }
        return 0;
    case VK_INSERT:
        if (ctrl)
            copy_selection(window);
        else if (shift)
            paste(window);
        return 0;
    default: return 0;
    }
}

static void backspace(WindowHandle window)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return;
    if (e->anchor != e->caret)
        delete_range(window, sel_start(*e), sel_end(*e));
    else
        delete_range(window, prev_boundary(e->text, e->caret), e->caret);
}

// A typed byte with the style's rules; false when the field takes it not.
static bool accept_typed(WindowHandle window, uint8_t& ch)
{
    uint32_t style = style_of(window);
    if (style & ES_READONLY)
        return false;
    if ((style & ES_NUMBER) && !(ch >= '0' && ch <= '9'))
        return false;
    if (style & ES_UPPERCASE)
        ch = uint8_t(char_upper(char(ch)));
    else if (style & ES_LOWERCASE)
        ch = uint8_t(char_lower(char(ch)));
    return true;
}

static void type_byte(WindowHandle window, uint8_t ch)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return;
    if (e->pending_lead) {
        std::string pair{char(e->pending_lead), char(ch)};
        e->pending_lead = 0;
        // A double-byte character is never a digit: a number field turns it away whole.
        if (!(style_of(window) & (ES_READONLY | ES_NUMBER)))
            replace_selection(window, pair, Change::typing);
        return;
    }
    if (is_dbcs_lead_byte(ch)) {
        e->pending_lead = ch;
        return;
    }
    if (accept_typed(window, ch))
        replace_selection(window, std::string(1, char(ch)), Change::typing);
}

static LResult on_char(WindowHandle window, WParam wparam)
{
    uint8_t ch = uint8_t(wparam);
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    switch (ch) {
    case 0x08: backspace(window); return 0;
    case 0x01: set_selection(window, 0, e->text.size()); return 0; // Ctrl+A
    case 0x03: copy_selection(window); return 0;                  // Ctrl+C
    case 0x16: paste(window); return 0;                           // Ctrl+V
    case 0x18:                                                    // Ctrl+X
        copy_selection(window);
        if ((e = s_edits.find(window)))
            delete_range(window, sel_start(*e), sel_end(*e));
        return 0;
    case 0x1A: undo(window); return 0; // Ctrl+Z
    default: break;
    }
    if (ch < 0x20 && !e->pending_lead)
        return 0;
    type_byte(window, ch);
    return 0;
}

// The character boundary under the mouse, found in the line's widths, which the caret's
// placing then uses too: one measuring of the line for each click and drag step.
static size_t index_at_point(WindowHandle window, LParam lparam, LineWidths& measured)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    EditDc edc = open_dc(window);
    Rect area = format_rect(window, edc.dc);
    measured = measure_line(*e, edc.dc);
    size_t at = index_at(*e, measured, area, get_x_lparam(lparam));
    close_dc(edc, true);
    return at;
}

static void select_word_at(WindowHandle window, size_t at, const LineWidths& measured)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return;
    size_t start = word_start(e->text, at);
    size_t end = at;
    while (end < e->text.size() && !is_blank(e->text[end]))
        end = next_boundary(e->text, end);
    e->word_start = start;
    e->word_end = end;
    e->word_tracking = true;
    set_selection(window, start, end, &measured);
}

static LResult on_button_down(WindowHandle window, uint32_t message, LParam lparam)
{
    if (get_focus() != window)
        set_focus(window);
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    LineWidths measured;
    size_t at = index_at_point(window, lparam, measured);
    if (message == WM_LBUTTONDBLCLK) {
        select_word_at(window, at, measured);
    } else {
        e->word_tracking = false;
        move_caret(window, at, get_key_state(VK_SHIFT) < 0, &measured);
    }
    if ((e = s_edits.find(window))) {
        e->tracking = true;
        set_capture(window);
    }
    return 0;
}

static LResult on_mouse_move(WindowHandle window, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e || !e->tracking)
        return 0;
    LineWidths measured;
    size_t at = index_at_point(window, lparam, measured);
    if (!e->word_tracking) {
        move_caret(window, at, true, &measured);
        return 0;
    }
    // A drag after a double click extends by whole words, the first word kept.
    if (at < e->word_start)
        set_selection(window, e->word_end, word_left(e->text, at), &measured);
    else
        set_selection(window, e->word_start, std::max(e->word_end, word_right(e->text, at)), &measured);
    return 0;
}

static LResult on_button_up(WindowHandle window)
{
    EditData* e = s_edits.find(window);
    if (e && e->tracking) {
        e->tracking = false;
        release_capture();
    }
    return 0;
}

static void paint_run(DcHandle dc, const std::string& shown, size_t from, size_t to, int32_t x, const Rect& area, bool selected)
{
    if (from >= to)
        return;
    if (selected) {
        set_text_color(dc, get_sys_color(COLOR_HIGHLIGHTTEXT));
        set_bk_color(dc, get_sys_color(COLOR_HIGHLIGHT));
    }
    Size size;
    get_text_extent_point32(dc, shown.c_str() + from, int(to - from), size);
    Rect box{x, area.top, x + size.cx, area.bottom};
    intersect_rect(box, box, area);
    ext_text_out(dc, x, area.top, (selected ? uint32_t(ETO_OPAQUE) : 0u) | ETO_CLIPPED, &box, shown.c_str() + from, int(to - from), nullptr);
}

static void paint(WindowHandle window, DcHandle dc)
{
    EditData* found = s_edits.find(window);
    if (!found)
        return;
    bool grey = is_read_only(window) || !is_window_enabled(window);
    Rect client;
    get_client_rect(window, client);
    GdiObject brush = controls_color_brush(window, dc, grey ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    EditData e = *found;
    fill_rect(dc, client, brush);
    if (!is_window_enabled(window))
        set_text_color(dc, get_sys_color(COLOR_GRAYTEXT));
    uint32_t normal_text = get_text_color(dc);
    uint32_t normal_back = get_bk_color(dc);
    EditDc edc = open_dc(window, dc);
    Rect area = format_rect(window, dc);
    std::string shown = shown_text(e);
    bool show_selection = e.focused || (style_of(window) & ES_NOHIDESEL);
    size_t from = show_selection ? shown_index(e, sel_start(e)) : shown.size();
    size_t to = show_selection ? shown_index(e, sel_end(e)) : shown.size();
    if (!e.composition.empty()) {
        // The syllable stands where typing will put it, marked as the selection is.
        shown = shown.substr(0, from) + e.composition + shown.substr(to);
        to = from + e.composition.size();
    }
    set_bk_mode(dc, TRANSPARENT);
    int32_t x = area.left - e.scroll_x;
    paint_run(dc, shown, 0, from, x, area, false);
    set_bk_mode(dc, OPAQUE);
    paint_run(dc, shown, from, to, x + width_of(dc, shown, from), area, true);
    set_text_color(dc, normal_text);
    set_bk_color(dc, normal_back);
    set_bk_mode(dc, TRANSPARENT);
    paint_run(dc, shown, to, shown.size(), x + width_of(dc, shown, to), area, false);
    close_dc(edc, false);
}

static LResult on_paint(WindowHandle window) { return ctl_draw_on_paint(window, paint); }

static void set_composition(WindowHandle window, std::string text)
{
    EditData* e = s_edits.find(window);
    if (!e || e->composition == text)
        return;
    e->composition = std::move(text);
    invalidate_rect(window, nullptr, false);
}

// The syllable being composed shows inline (a password field shows nothing of it); a result
// goes on to the default processing, which types it as characters. A field that takes no
// typing leaves the composition to the input method's own display.
static LResult on_composition(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e || is_read_only(window))
        return def_window_proc(window, message, wparam, lparam);
    if (message == WM_IME_COMPOSITION && (lparam & GCS_COMPSTR) && !e->password) {
        ImcHandle context = imm_get_context(window);
        std::string text(size_t(std::max(imm_get_composition_string(context, GCS_COMPSTR, nullptr, 0), 0)), '\0');
        int32_t length = imm_get_composition_string(context, GCS_COMPSTR, text.data(), uint32_t(text.size()));
        text.resize(size_t(std::max(length, 0)));
        set_composition(window, std::move(text));
    }
    if (message == WM_IME_ENDCOMPOSITION || (lparam & GCS_RESULTSTR))
        set_composition(window, {});
    if (message == WM_IME_COMPOSITION && (lparam & GCS_RESULTSTR))
        return def_window_proc(window, message, wparam, lparam);
    return 0;
}

// The caret is as high as a line of the field's font.
static void make_caret(WindowHandle window)
{
    EditDc edc = open_dc(window);
    int32_t height = line_height(edc.dc);
    close_dc(edc, true);
    create_caret(window, {}, 1, height);
    place_caret(window);
    show_caret(window);
}

static LResult on_focus(WindowHandle window, bool gained)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    e->focused = gained;
    e->pending_lead = 0;
    if (gained) {
        make_caret(window);
    } else {
        if (e->tracking)
            on_button_up(window);
        destroy_caret();
    }
    invalidate_rect(window, nullptr, false);
    controls_notify(window, gained ? EN_SETFOCUS : EN_KILLFOCUS);
    return 0;
}

static void set_text(WindowHandle window, const char* text)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return;
    e->text = text ? std::string(text, strnlen(text, 0x7FFFFFFE)) : std::string();
    e->anchor = e->caret = 0;
    e->scroll_x = 0;
    e->modified = false;
    e->can_undo = false;
    e->typing_run = false;
    changed_view(window);
}

static LResult on_create(WindowHandle window, LParam lparam)
{
    EditData* e = s_edits.create(window);
    if (!e)
        return -1;
    if (style_of(window) & ES_PASSWORD)
        e->password = '*';
    auto* create = reinterpret_cast<const CreateStruct*>(lparam);
    set_text(window, create ? create->name : nullptr);
    return 0;
}

static LResult on_set_text(WindowHandle window, LParam lparam)
{
    set_text(window, reinterpret_cast<const char*>(lparam));
    if (!in_combo(window))
        notify_change(window);
    return 1;
}

static LResult on_get_sel(WindowHandle window, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    uint32_t start = uint32_t(sel_start(*e));
    uint32_t end = uint32_t(sel_end(*e));
    if (auto* out = reinterpret_cast<uint32_t*>(wparam))
        *out = start;
    if (auto* out = reinterpret_cast<uint32_t*>(lparam))
        *out = end;
    return LResult(make_lparam(std::min(start, 0xFFFFu), std::min(end, 0xFFFFu)));
}

// EM_SETSEL: -1 as start only drops the selection; -1 (or anything past it) as end is the end.
static LResult on_set_sel(WindowHandle window, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    int32_t start = int32_t(wparam);
    int32_t end = int32_t(lparam);
    if (start == -1) {
        set_selection(window, e->caret, e->caret);
        return 0;
    }
    size_t length = e->text.size();
    size_t from = start < 0 ? length : std::min(size_t(start), length);
    size_t to = end < 0 ? length : std::min(size_t(end), length);
    set_selection(window, from, to);
    return 0;
}

static LResult on_get_line(WindowHandle window, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    auto* buffer = reinterpret_cast<char*>(lparam);
    if (!e || !buffer || wparam != 0)
        return 0;
    uint16_t room = 0;
    std::memcpy(&room, buffer, sizeof room); // the buffer's size stands in its first word
    size_t count = std::min(size_t(room), e->text.size());
    std::memcpy(buffer, e->text.data(), count);
    return LResult(count);
}

static LResult on_position(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return -1;
    EditDc edc = open_dc(window);
    Rect area = format_rect(window, edc.dc);
    LineWidths before = measure_line(*e, edc.dc);
    LResult result = 0;
    if (message == EM_POSFROMCHAR) {
        size_t at = std::min(size_t(wparam), e->text.size());
        result = make_lparam(uint32_t(x_of(*e, before, area, at)), uint32_t(area.top));
    } else {
        result = make_lparam(uint32_t(index_at(*e, before, area, get_x_lparam(lparam))), 0);
    }
    close_dc(edc, true);
    return result;
}

static LResult on_edit_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    EditData* e = s_edits.find(window);
    if (!e)
        return 0;
    switch (message) {
    case EM_GETSEL: return on_get_sel(window, wparam, lparam);
    case EM_SETSEL: return on_set_sel(window, wparam, lparam);
    case EM_SCROLLCARET: place_caret(window); invalidate_rect(window, nullptr, false); return 1;
    case EM_GETMODIFY: return e->modified ? 1 : 0;
    case EM_SETMODIFY: e->modified = wparam != 0; return 0;
    case EM_GETLINECOUNT: return 1;
    case EM_LINEINDEX: return wparam == 0 || int32_t(wparam) == -1 ? 0 : -1;
    case EM_LINEFROMCHAR: return 0;
    case EM_LINELENGTH: return LResult(e->text.size());
    case EM_REPLACESEL: {
        std::string text = lparam ? reinterpret_cast<const char*>(lparam) : "";
        text.resize(std::min(text.size(), text.find_first_of("\r\n")));
        replace_selection(window, text, Change::other);
        if (!wparam && (e = s_edits.find(window)))
            e->can_undo = false;
        return 0;
    }
    case EM_GETLINE: return on_get_line(window, wparam, lparam);
    case EM_LIMITTEXT: e->limit = wparam ? size_t(wparam) : kEditNoLimit; return 0;
    case EM_GETLIMITTEXT: return LResult(e->limit);
    case EM_CANUNDO: return e->can_undo ? 1 : 0;
    case EM_UNDO: undo(window); return 1;
    case EM_EMPTYUNDOBUFFER: e->can_undo = false; return 0;
    case EM_SETPASSWORDCHAR: {
        e->password = char(wparam);
        uint32_t style = e->password ? style_of(window) | ES_PASSWORD : style_of(window) & ~ES_PASSWORD;
        set_window_long(window, GWL_STYLE, int32_t(style));
        changed_view(window);
        return 0;
    }
    case EM_GETPASSWORDCHAR: return uint8_t(e->password);
    case EM_SETREADONLY: {
        uint32_t style = wparam ? style_of(window) | ES_READONLY : style_of(window) & ~ES_READONLY;
        set_window_long(window, GWL_STYLE, int32_t(style));
        invalidate_rect(window, nullptr, false);
        return 1;
    }
    case EM_GETFIRSTVISIBLELINE: return 0;
    case EM_GETRECT: {
        if (auto* rect = reinterpret_cast<Rect*>(lparam)) {
            EditDc edc = open_dc(window);
            *rect = format_rect(window, edc.dc);
            close_dc(edc, true);
        }
        return 0;
    }
    case EM_POSFROMCHAR:
    case EM_CHARFROMPOS: return on_position(window, message, wparam, lparam);
    default: return 0;
    }
}

static uint32_t dialog_code(WindowHandle window, WParam wparam, LParam lparam)
{
    uint32_t code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    // The combo box decides whether Enter and Esc close its list rather than the dialog.
    if (in_combo(window))
        code |= uint32_t(send_message(get_parent(window), WM_GETDLGCODE, wparam, lparam)) & DLGC_WANTALLKEYS;
    return code;
}

LResult edit_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE: return on_create(window, lparam);
    case WM_NCDESTROY: s_edits.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window);
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return on_set_text(window, lparam);
    case WM_GETTEXT: {
        EditData* e = s_edits.find(window);
        return e ? defproc_copy_text(e->text, reinterpret_cast<char*>(lparam), int(std::min<WParam>(wparam, 0x7FFFFFFF))) : 0;
    }
    case WM_GETTEXTLENGTH: {
        EditData* e = s_edits.find(window);
        return e ? LResult(e->text.size()) : 0;
    }
    case WM_SETFONT:
        controls_set_font(window, GdiObject(uint32_t(wparam)), lparam != 0);
        if (get_focus() == window) { // the caret takes the new font's height; the focus stays
            destroy_caret();
            make_caret(window);
        }
        return 0;
    case WM_GETFONT: return LResult(controls_get_font(window).id);
    case WM_GETDLGCODE: return dialog_code(window, wparam, lparam);
    case WM_SETFOCUS: return on_focus(window, true);
    case WM_KILLFOCUS: return on_focus(window, false);
    case WM_KEYDOWN: return on_key_down(window, uint32_t(wparam));
    case WM_SYSKEYDOWN:
        if (wparam == VK_DOWN && in_combo(window))
            return send_message(get_parent(window), message, wparam, lparam);
        return def_window_proc(window, message, wparam, lparam);
    case WM_CHAR: return on_char(window, wparam);
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION: return on_composition(window, message, wparam, lparam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return on_button_down(window, message, lparam);
    case WM_MOUSEMOVE: return on_mouse_move(window, lparam);
    case WM_LBUTTONUP: return on_button_up(window);
    case WM_CAPTURECHANGED:
        if (EditData* e = s_edits.find(window); e && LParam(window.id) != lparam)
            e->tracking = false;
        return 0;
    case WM_SIZE: changed_view(window); return 0;
    case WM_ENABLE: invalidate_rect(window, nullptr, false); return 0;
    case WM_CUT:
        copy_selection(window);
        if (EditData* e = s_edits.find(window))
            delete_range(window, sel_start(*e), sel_end(*e));
        return 0;
    case WM_COPY: copy_selection(window); return 0;
    case WM_PASTE: paste(window); return 0;
    case WM_CLEAR:
        if (EditData* e = s_edits.find(window))
            delete_range(window, sel_start(*e), sel_end(*e));
        return 0;
    case WM_UNDO: undo(window); return 1;
    default:
        if (message >= EM_GETSEL && message <= EM_CHARFROMPOS)
            return on_edit_message(window, message, wparam, lparam);
        return def_window_proc(window, message, wparam, lparam);
    }
}

void edit_reset() { s_edits.clear(); }

} // namespace plat
