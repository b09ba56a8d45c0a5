#include "platform/controls/ctl_scroll.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_draw.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

namespace plat {

// The repeat of a held arrow or page press: a pause, then a steady beat.
constexpr uint32_t kFirstRepeatMs = 400;
constexpr uint32_t kRepeatMs = 50;
constexpr uintptr_t kRepeatTimerId = 0x7FFF5C01;
// A proportional thumb never gets thinner than this, so it can still be taken.
constexpr int32_t kMinThumb = 8;

enum class Part { none, arrow_first, page_first, thumb, page_last, arrow_last };

struct ScrollState {
    int32_t min = 0;
    int32_t max = 100;
    uint32_t page = 0;
    int32_t pos = 0;
    uint32_t disabled_arrows = ESB_ENABLE_BOTH;
    bool dragging = false;
    int32_t track_pos = 0;
    Part pressed = Part::none;
    bool focused = false;
};

struct WindowBars {
    WindowHandle window;
    ScrollState bars[2]; // SB_HORZ, SB_VERT
};

struct ScrollModuleState {
    std::vector<WindowBars> windows;
};

static ScrollModuleState s_scroll;
static ControlTable<ScrollState> s_controls{0x5C8};

// Which bar: a control (SB_CTL) or one of a window's own.
struct Bar {
    WindowHandle window;
    int kind = SB_CTL;
};

static ScrollState* window_state(WindowHandle window, int kind)
{
    if (kind != SB_HORZ && kind != SB_VERT)
        return nullptr;
    for (WindowBars& entry : s_scroll.windows) {
        if (entry.window == window)
            return &entry.bars[kind];
    }
    if (!is_window(window))
        return nullptr;
    // Entries of windows that are gone make room as new ones come.
    std::erase_if(s_scroll.windows, [](const WindowBars& entry) { return !is_window(entry.window); });
    s_scroll.windows.push_back(WindowBars{window, {}});
    return &s_scroll.windows.back().bars[kind];
}

static ScrollState* state_of(const Bar& bar)
{
    return bar.kind == SB_CTL ? s_controls.find(bar.window) : window_state(bar.window, bar.kind);
}

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }

// A window's bar in window coordinates, beside or below the client area.
static bool window_bar_rect(WindowHandle window, int kind, Rect& out)
{
    Rect window_rect;
    Rect client;
    Point origin{0, 0};
    if (!get_window_rect(window, window_rect) || !get_client_rect(window, client) || !client_to_screen(window, origin))
        return false;
    int32_t left = origin.x - window_rect.left;
    int32_t top = origin.y - window_rect.top;
    uint32_t style = style_of(window);
    if (kind == SB_VERT && (style & WS_VSCROLL)) {
        out = Rect{left + client.width(), top, left + client.width() + get_system_metrics(SM_CXVSCROLL), top + client.height()};
        return true;
    }
    if (kind == SB_HORZ && (style & WS_HSCROLL)) {
        out = Rect{left, top + client.height(), left + client.width(), top + client.height() + get_system_metrics(SM_CYHSCROLL)};
        return true;
    }
    return false;
}

static bool geometry_of(const Bar& bar, Rect& rect, bool& vertical)
{
    if (bar.kind == SB_CTL) {
        vertical = (style_of(bar.window) & SBS_VERT) != 0;
        return get_client_rect(bar.window, rect);
    }
    vertical = bar.kind == SB_VERT;
    return window_bar_rect(bar.window, bar.kind, rect);
}

static int32_t max_position(const ScrollState& s)
{
    int64_t top = int64_t(s.max) - std::max<int64_t>(int64_t(s.page) - 1, 0);
    return int32_t(std::max<int64_t>(top, s.min));
}

static bool can_scroll(const ScrollState& s) { return max_position(s) > s.min; }

struct Parts {
    Rect arrow_first, arrow_last, track, thumb;
    bool has_thumb = false;
};

// A span along the bar as a rectangle.
static Rect span(const Rect& rect, bool vertical, int32_t from, int32_t to)
{
    return vertical ? Rect{rect.left, rect.top + from, rect.right, rect.top + to}
                    : Rect{rect.left + from, rect.top, rect.left + to, rect.bottom};
}

static Parts layout(const Rect& rect, bool vertical, const ScrollState& s)
{
    Parts parts;
    int32_t length = vertical ? rect.height() : rect.width();
    int32_t thickness = vertical ? rect.width() : rect.height();
    int32_t arrow = std::max(0, std::min(thickness, length / 2));
    parts.arrow_first = span(rect, vertical, 0, arrow);
    parts.arrow_last = span(rect, vertical, length - arrow, length);
    parts.track = span(rect, vertical, arrow, length - arrow);
    int32_t track = length - 2 * arrow;
    if (!can_scroll(s) || track <= 0)
        return parts;
    int64_t range = int64_t(s.max) - s.min + 1;
    int32_t thumb = s.page ? int32_t(std::max<int64_t>(kMinThumb, int64_t(track) * s.page / range))
                           : std::min(thickness, track);
    if (thumb > track || track < kMinThumb)
        return parts;
    int32_t pos = s.dragging ? s.track_pos : s.pos;
    int64_t offset = int64_t(track - thumb) * (int64_t(pos) - s.min) / (int64_t(max_position(s)) - s.min);
    int32_t start = arrow + int32_t(std::clamp<int64_t>(offset, 0, track - thumb));
    parts.thumb = span(rect, vertical, start, start + thumb);
    parts.has_thumb = true;
    return parts;
}

static Part hit(const Parts& parts, bool vertical, Point p)
{
    if (pt_in_rect(parts.arrow_first, p))
        return Part::arrow_first;
    if (pt_in_rect(parts.arrow_last, p))
        return Part::arrow_last;
    if (!parts.has_thumb || !pt_in_rect(parts.track, p))
        return Part::none;
    if (pt_in_rect(parts.thumb, p))
        return Part::thumb;
    int32_t at = vertical ? p.y : p.x;
    int32_t thumb_start = vertical ? parts.thumb.top : parts.thumb.left;
    return at < thumb_start ? Part::page_first : Part::page_last;
}

static void fill_track(DcHandle dc, const Rect& rect)
{
    static const uint8_t kDither[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    GdiObject pattern = create_bitmap(8, 8, 1, 1, kDither, sizeof kDither);
    GdiObject brush = create_pattern_brush(pattern);
    delete_object(pattern);
    uint32_t old_text = set_text_color(dc, get_sys_color(COLOR_BTNFACE));
    uint32_t old_back = set_bk_color(dc, get_sys_color(COLOR_BTNHIGHLIGHT));
    fill_rect(dc, rect, brush);
    set_text_color(dc, old_text);
    set_bk_color(dc, old_back);
    delete_object(brush);
}

static void draw_bar(DcHandle dc, const Rect& rect, bool vertical, const ScrollState& s, bool enabled)
{
    Parts parts = layout(rect, vertical, s);
    bool active = enabled && can_scroll(s);
    uint32_t first = (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT)
        | (s.pressed == Part::arrow_first ? DFCS_PUSHED : 0u)
        | (!active || (s.disabled_arrows & ESB_DISABLE_LTUP) ? DFCS_INACTIVE : 0u);
    uint32_t last = (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT)
        | (s.pressed == Part::arrow_last ? DFCS_PUSHED : 0u)
        | (!active || (s.disabled_arrows & ESB_DISABLE_RTDN) ? DFCS_INACTIVE : 0u);
    draw_frame_control(dc, parts.arrow_first, DFC_SCROLL, first);
    draw_frame_control(dc, parts.arrow_last, DFC_SCROLL, last);
    fill_track(dc, parts.track);
    if (!parts.has_thumb || !enabled)
        return;
    if (s.pressed == Part::page_first || s.pressed == Part::page_last) {
        Rect pressed = parts.track;
        if (s.pressed == Part::page_first)
            (vertical ? pressed.bottom : pressed.right) = vertical ? parts.thumb.top : parts.thumb.left;
        else
            (vertical ? pressed.top : pressed.left) = vertical ? parts.thumb.bottom : parts.thumb.right;
        ctl_draw_fill(dc, pressed, COLOR_3DDKSHADOW);
    }
    Rect thumb = parts.thumb;
    draw_edge(dc, thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    if (s.focused) {
        inflate_rect(thumb, -1, -1);
        draw_focus_rect(dc, thumb);
    }
}

static void repaint(const Bar& bar)
{
    ScrollState* found = state_of(bar);
    Rect rect;
    bool vertical = false;
    if (!found || !is_window_visible(bar.window) || !geometry_of(bar, rect, vertical))
        return;
    ScrollState s = *found;
    DcHandle dc = bar.kind == SB_CTL ? get_dc(bar.window) : get_window_dc(bar.window);
    draw_bar(dc, rect, vertical, s, is_window_enabled(bar.window));
    release_dc(bar.window, dc);
}

void scrollbar_paint_nonclient(WindowHandle window)
{
    uint32_t style = style_of(window);
    if (style & WS_VSCROLL)
        repaint(Bar{window, SB_VERT});
    if (style & WS_HSCROLL)
        repaint(Bar{window, SB_HORZ});
    Rect vertical;
    Rect horizontal;
    if (window_bar_rect(window, SB_VERT, vertical) && window_bar_rect(window, SB_HORZ, horizontal)) {
        DcHandle dc = get_window_dc(window);
        ctl_draw_fill(dc, Rect{vertical.left, horizontal.top, vertical.right, horizontal.bottom}, COLOR_BTNFACE);
        release_dc(window, dc);
    }
}

static void keep_in_range(ScrollState& s)
{
    // The widest range has 2^32 positions, one more than 32 bits count.
    int64_t span = int64_t(s.max) - s.min + 1;
    s.page = uint32_t(std::min<int64_t>(s.page, span));
    s.pos = std::clamp(s.pos, s.min, max_position(s));
}

static int32_t apply_info(ScrollState& s, const ScrollInfo& info)
{
    if (info.mask & SIF_RANGE) {
        s.min = info.min;
        s.max = std::max(info.min, info.max);
    }
    if (info.mask & SIF_PAGE)
        s.page = info.page;
    if (info.mask & SIF_POS)
        s.pos = info.pos;
    keep_in_range(s);
    return s.pos;
}

int32_t set_scroll_info(WindowHandle window, int bar, const ScrollInfo& info, bool redraw)
{
    if (bar == SB_CTL)
        return int32_t(send_message(window, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LParam>(&info)));
    ScrollState* s = window_state(window, bar);
    if (!s)
        return 0;
    int32_t pos = apply_info(*s, info);
    // A window's bar is there while its range scrolls, unless asked to stay disabled.
    bool scrolls = can_scroll(*s);
    if (!(info.mask & SIF_DISABLENOSCROLL) && (info.mask & (SIF_RANGE | SIF_PAGE)))
        show_scroll_bar(window, bar, scrolls);
    if (redraw)
        repaint(Bar{window, bar});
    return pos;
}

bool get_scroll_info(WindowHandle window, int bar, ScrollInfo& info)
{
    if (bar == SB_CTL)
        return send_message(window, SBM_GETSCROLLINFO, 0, reinterpret_cast<LParam>(&info)) != 0;
    ScrollState* s = window_state(window, bar);
    if (!s)
        return false;
    info.min = s->min;
    info.max = s->max;
    info.page = s->page;
    info.pos = s->pos;
    info.track_pos = s->dragging ? s->track_pos : s->pos;
    return true;
}

int32_t set_scroll_pos(WindowHandle window, int bar, int32_t pos, bool redraw)
{
    int32_t old = get_scroll_pos(window, bar);
    ScrollInfo info;
    info.mask = SIF_POS;
    info.pos = pos;
    set_scroll_info(window, bar, info, redraw);
    return old;
}

int32_t get_scroll_pos(WindowHandle window, int bar)
{
    ScrollInfo info;
    return get_scroll_info(window, bar, info) ? info.pos : 0;
}

bool set_scroll_range(WindowHandle window, int bar, int32_t min, int32_t max, bool redraw)
{
    ScrollInfo info;
    info.mask = SIF_RANGE;
    info.min = min;
    info.max = max;
    set_scroll_info(window, bar, info, redraw);
    return is_window(window);
}

bool get_scroll_range(WindowHandle window, int bar, int32_t* min, int32_t* max)
{
    ScrollInfo info;
    if (!get_scroll_info(window, bar, info))
        return false;
    if (min)
        *min = info.min;
    if (max)
        *max = info.max;
    return true;
}

bool show_scroll_bar(WindowHandle window, int bar, bool show)
{
    if (!is_window(window))
        return false;
    if (bar == SB_CTL)
        return show_window(window, show ? SW_SHOW : SW_HIDE) || true;
    uint32_t bits = bar == SB_VERT ? WS_VSCROLL : bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL | WS_HSCROLL;
    uint32_t style = style_of(window);
    uint32_t wanted = show ? style | bits : style & ~bits;
    if (wanted == style)
        return true;
    set_window_long(window, GWL_STYLE, int32_t(wanted));
    set_window_pos(window, {}, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return true;
}

bool enable_scroll_bar(WindowHandle window, int bar, uint32_t arrows)
{
    if (bar == SB_CTL)
        return send_message(window, SBM_ENABLE_ARROWS, arrows, 0) != 0;
    ScrollState* s = window_state(window, bar);
    if (!s)
        return false;
    s->disabled_arrows = arrows & ESB_DISABLE_BOTH;
    repaint(Bar{window, bar});
    return true;
}

static void notify(const Bar& bar, uint32_t code, int32_t pos)
{
    bool vertical = bar.kind == SB_VERT || (bar.kind == SB_CTL && (style_of(bar.window) & SBS_VERT));
    uint32_t message = vertical ? WM_VSCROLL : WM_HSCROLL;
    WParam wparam = make_wparam(code, uint32_t(pos));
    if (bar.kind == SB_CTL) {
        if (WindowHandle parent = get_parent(bar.window))
            send_message(parent, message, wparam, LParam(bar.window.id));
        return;
    }
    send_message(bar.window, message, wparam, 0);
}

static uint32_t code_of(Part part)
{
    switch (part) {
    case Part::arrow_first: return SB_LINEUP;
    case Part::arrow_last: return SB_LINEDOWN;
    case Part::page_first: return SB_PAGEUP;
    default: return SB_PAGEDOWN;
    }
}

// Where the bar's pixels are for a screen point: client coordinates of a control, window
// coordinates for a window's own bars.
static Point bar_point(const Bar& bar, Point screen)
{
    if (bar.kind == SB_CTL) {
        screen_to_client(bar.window, screen);
        return screen;
    }
    Rect window_rect;
    get_window_rect(bar.window, window_rect);
    return Point{screen.x - window_rect.left, screen.y - window_rect.top};
}

static Part part_at(const Bar& bar, Point screen)
{
    ScrollState* s = state_of(bar);
    Rect rect;
    bool vertical = false;
    if (!s || !geometry_of(bar, rect, vertical))
        return Part::none;
    return hit(layout(rect, vertical, *s), vertical, bar_point(bar, screen));
}

static void set_pressed(const Bar& bar, Part part)
{
    ScrollState* s = state_of(bar);
    if (s && s->pressed != part) {
        s->pressed = part;
        repaint(bar);
    }
}

// The position the thumb's leading edge at the pointer gives, along the track.
static int32_t drag_position(const Bar& bar, Point screen, int32_t grab_offset)
{
    ScrollState* s = state_of(bar);
    Rect rect;
    bool vertical = false;
    if (!s || !geometry_of(bar, rect, vertical))
        return 0;
    Parts parts = layout(rect, vertical, *s);
    Point p = bar_point(bar, screen);
    int32_t thumb = vertical ? parts.thumb.height() : parts.thumb.width();
    int32_t track_start = vertical ? parts.track.top : parts.track.left;
    int32_t free = (vertical ? parts.track.height() : parts.track.width()) - thumb;
    if (free <= 0)
        return s->pos;
    int32_t at = std::clamp((vertical ? p.y : p.x) - grab_offset - track_start, 0, free);
    // In 64 bits: a range may span more positions than an int32_t holds.
    int64_t offset = (int64_t(at) * (int64_t(max_position(*s)) - s->min) + free / 2) / free;
    return int32_t(std::clamp<int64_t>(int64_t(s->min) + offset, s->min, max_position(*s)));
}

static int32_t grab_offset_of(const Bar& bar, Point screen)
{
    ScrollState* s = state_of(bar);
    Rect rect;
    bool vertical = false;
    if (!s || !geometry_of(bar, rect, vertical))
        return 0;
    Parts parts = layout(rect, vertical, *s);
    Point p = bar_point(bar, screen);
    return vertical ? p.y - parts.thumb.top : p.x - parts.thumb.left;
}

static void drag_thumb(const Bar& bar, int32_t position)
{
    ScrollState* s = state_of(bar);
    if (!s || (s->dragging && s->track_pos == position))
        return;
    s->dragging = true;
    s->track_pos = position;
    repaint(bar);
    notify(bar, SB_THUMBTRACK, position);
}

static bool is_mouse(uint32_t message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

// The press is followed in a loop of its own, as Win32's scroll bars do: mouse messages and
// the repeat timer are the tracker's, everything else is dispatched as usual.
static void track(const Bar& bar, Point screen)
{
    Part part = part_at(bar, screen);
    if (part == Part::none)
        return;
    int32_t grab = part == Part::thumb ? grab_offset_of(bar, screen) : 0;
    set_capture(bar.window);
    if (part == Part::thumb) {
        if (ScrollState* s = state_of(bar))
            drag_thumb(bar, s->pos);
    } else {
        set_pressed(bar, part);
        notify(bar, code_of(part), 0);
        set_timer(bar.window, kRepeatTimerId, kFirstRepeatMs, nullptr);
    }
    Msg msg;
    while (get_capture() == bar.window && state_of(bar)) {
        int got = get_message(msg);
        if (got <= 0) {
            if (got == 0)
                post_quit_message(int(msg.wparam));
            break;
        }
        if (msg.message == WM_TIMER && msg.hwnd == bar.window && msg.wparam == kRepeatTimerId) {
            set_timer(bar.window, kRepeatTimerId, kRepeatMs, nullptr);
            Point at;
            get_cursor_pos(at);
            if (part_at(bar, at) == part)
                notify(bar, code_of(part), 0);
            continue;
        }
        if (!is_mouse(msg.message)) {
            translate_message(msg);
            dispatch_message(msg);
            continue;
        }
        if (part == Part::thumb)
            drag_thumb(bar, drag_position(bar, msg.pt, grab));
        else
            set_pressed(bar, part_at(bar, msg.pt) == part ? part : Part::none);
        if (msg.message == WM_LBUTTONUP)
            break;
    }
    kill_timer(bar.window, kRepeatTimerId);
    if (get_capture() == bar.window)
        release_capture();
    ScrollState* s = state_of(bar);
    if (s && part == Part::thumb && s->dragging) {
        int32_t final_pos = s->track_pos;
        notify(bar, SB_THUMBPOSITION, final_pos);
        if ((s = state_of(bar)))
            s->dragging = false;
    }
    set_pressed(bar, Part::none);
    repaint(bar);
    notify(bar, SB_ENDSCROLL, 0);
}

void scrollbar_track_nonclient(WindowHandle window, int32_t hit_code, Point screen)
{
    if (hit_code == HTVSCROLL || hit_code == HTHSCROLL)
        track(Bar{window, hit_code == HTVSCROLL ? SB_VERT : SB_HORZ}, screen);
}

static LResult on_paint(WindowHandle window)
{
    PaintStruct ps;
    DcHandle dc = begin_paint(window, ps);
    ScrollState* found = s_controls.find(window);
    Rect rect;
    get_client_rect(window, rect);
    if (found) {
        ScrollState s = *found;
        controls_color_brush(window, dc, WM_CTLCOLORSCROLLBAR);
        draw_bar(dc, rect, (style_of(window) & SBS_VERT) != 0, s, is_window_enabled(window));
    }
    end_paint(window, ps);
    return 0;
}

static uint32_t key_code(uint32_t vk)
{
    switch (vk) {
    case VK_UP:
    case VK_LEFT: return SB_LINEUP;
    case VK_DOWN:
    case VK_RIGHT: return SB_LINEDOWN;
    case VK_PRIOR: return SB_PAGEUP;
    case VK_NEXT: return SB_PAGEDOWN;
    case VK_HOME: return SB_TOP;
    case VK_END: return SB_BOTTOM;
    default: return UINT32_MAX;
    }
}

static LResult on_key(WindowHandle window, uint32_t message, WParam wparam)
{
    uint32_t code = key_code(uint32_t(wparam));
    if (code == UINT32_MAX)
        return 0;
    notify(Bar{window, SB_CTL}, message == WM_KEYDOWN ? code : SB_ENDSCROLL, 0);
    return 0;
}

static LResult on_control_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    ScrollState* s = s_controls.find(window);
    if (!s)
        return 0;
    switch (message) {
    case SBM_SETPOS: {
        int32_t old = s->pos;
        s->pos = int32_t(wparam);
        keep_in_range(*s);
        if (lparam)
            repaint(Bar{window, SB_CTL});
        return old;
    }
    case SBM_GETPOS: return s->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW:
        s->min = int32_t(wparam);
        s->max = std::max(s->min, int32_t(lparam));
        keep_in_range(*s);
        if (message == SBM_SETRANGEREDRAW)
            repaint(Bar{window, SB_CTL});
        return s->pos;
    case SBM_GETRANGE:
        if (auto* min = reinterpret_cast<int32_t*>(wparam))
            *min = s->min;
        if (auto* max = reinterpret_cast<int32_t*>(lparam))
            *max = s->max;
        return 0;
    case SBM_ENABLE_ARROWS:
        s->disabled_arrows = uint32_t(wparam) & ESB_DISABLE_BOTH;
        repaint(Bar{window, SB_CTL});
        return 1;
    case SBM_SETSCROLLINFO: {
        auto* info = reinterpret_cast<const ScrollInfo*>(lparam);
        int32_t pos = info ? apply_info(*s, *info) : s->pos;
        if (wparam)
            repaint(Bar{window, SB_CTL});
        return pos;
    }
    default: { // SBM_GETSCROLLINFO
        auto* info = reinterpret_cast<ScrollInfo*>(lparam);
        if (!info)
            return 0;
        info->min = s->min;
        info->max = s->max;
        info->page = s->page;
        info->pos = s->pos;
        info->track_pos = s->dragging ? s->track_pos : s->pos;
        return 1;
    }
    }
}

static LResult on_focus(WindowHandle window, bool gained)
{
    if (ScrollState* s = s_controls.find(window))
        s->focused = gained;
    repaint(Bar{window, SB_CTL});
    return 0;
}

LResult scrollbar_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE: {
        ScrollState* s = s_controls.create(window);
        if (!s)
            return -1;
        s->max = 0; // a control's range starts empty
        return 0;
    }
    case WM_NCDESTROY: s_controls.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: invalidate_rect(window, nullptr, false); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS: return on_focus(window, true);
    case WM_KILLFOCUS: return on_focus(window, false);
    case WM_KEYDOWN:
    case WM_KEYUP: return on_key(window, message, wparam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if ((style_of(window) & WS_TABSTOP) && get_focus() != window)
            set_focus(window);
        Point screen{get_x_lparam(lparam), get_y_lparam(lparam)};
        client_to_screen(window, screen);
        track(Bar{window, SB_CTL}, screen);
        return 0;
    }
    case SBM_SETPOS:
    case SBM_GETPOS:
    case SBM_SETRANGE:
    case SBM_GETRANGE:
    case SBM_ENABLE_ARROWS:
    case SBM_SETRANGEREDRAW:
    case SBM_SETSCROLLINFO:
    case SBM_GETSCROLLINFO: return on_control_message(window, message, wparam, lparam);
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

void scrollbar_reset()
{
    s_scroll = ScrollModuleState{};
    s_controls.clear();
}

} // namespace plat
