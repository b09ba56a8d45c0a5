#include "runtime/ui/win_util.h"

#include "platform/window/caret.h"
#include "platform/window/focus.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/styles.h"
#include "platform/window/winpos.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/screen_window.h"
#include "runtime/ui/winlist.h"

using namespace plat;

// How many times a move is repeated before the window's own answer is accepted.
constexpr int kMoveAttempts = 5;
// What must stay reachable of a window kept inside the presentation area.
constexpr int32_t kReachablePixels = 6;

static struct {
    WindowHandle presentation;
    WindowHandle capture;
    WindowHandle active_child;
} s_util;

void win_set_presentation_window(WindowHandle window) { s_util.presentation = window; }
WindowHandle win_presentation_window() { return s_util.presentation; }

WindowHandle win_parent_if_child(WindowHandle window)
{
    if (!(win_style(window) & WS_CHILD))
        return {};
    return get_parent(window);
}

Rect win_rect_in_parent(WindowHandle window)
{
    Rect rect;
    get_window_rect(window, rect);
    WindowHandle parent = win_parent_if_child(window);
    if (parent) {
        Point corners[2] = { { rect.left, rect.top }, { rect.right, rect.bottom } };
        map_window_points({}, parent, corners, 2);
        rect = { corners[0].x, corners[0].y, corners[1].x, corners[1].y };
    }
    return rect;
}

Point win_position_in_parent(WindowHandle window)
{
    Rect rect = win_rect_in_parent(window);
    return { rect.left, rect.top };
}

Rect win_client_rect(WindowHandle window)
{
    Rect rect;
    get_client_rect(window, rect);
    return rect;
}

Size win_client_size(WindowHandle window)
{
    Rect rect = win_client_rect(window);
    return { rect.width(), rect.height() };
}

Rect win_presentation_client_rect() { return win_client_rect(s_util.presentation); }

uint32_t win_style(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }

void win_keep_on_screen(Rect& rect)
{
    int32_t screen_width = get_system_metrics(SM_CXSCREEN);
    int32_t screen_height = get_system_metrics(SM_CYSCREEN);
    if (rect.bottom > screen_height)
        offset_rect(rect, 0, screen_height - rect.bottom);
    if (rect.right > screen_width)
        offset_rect(rect, screen_width - rect.right, 0);
    if (rect.top < 0)
        offset_rect(rect, 0, -rect.top);
    if (rect.left < 0)
        offset_rect(rect, -rect.left, 0);
}

static bool overlaps_or_touches(const Rect& a, const Rect& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

void win_keep_in_client(Rect& rect, ScreenCheck check)
{
    Rect client = win_presentation_client_rect();
    if (check == ScreenCheck::apply && !overlaps_or_touches(rect, client))
        win_keep_on_screen(rect);
    if (rect.top > client.bottom - kReachablePixels)
        offset_rect(rect, 0, client.bottom - kReachablePixels - rect.top);
    if (rect.top < client.top)
        offset_rect(rect, 0, client.top - rect.top);
    if (rect.left > client.right - kReachablePixels)
        offset_rect(rect, client.right - kReachablePixels - rect.left, 0);
    if (rect.right < client.left + kReachablePixels)
        offset_rect(rect, client.left + kReachablePixels - rect.right, 0);
}

Rect win_rect_for_client_offset(uint32_t style, bool menu, int32_t dx, int32_t dy, int32_t width, int32_t height)
{
    Rect rect { 0, 0, width, height };
    adjust_window_rect(rect, style, menu);
    offset_rect(rect, dx, dy);
    return rect;
}

Rect win_rect_for_client_at(uint32_t style, bool menu, int32_t x, int32_t y, int32_t width, int32_t height)
{
    Rect rect = win_rect_for_client_offset(style, menu, 0, 0, width, height);
    offset_rect(rect, x - rect.left, y - rect.top);
    return rect;
}

Rect win_frame_insets(WindowHandle window)
{
    Rect outer;
    get_window_rect(window, outer);
    Rect client = win_client_rect(window);
    Point origin;
    client_to_screen(window, origin);
    return { origin.x - outer.left, origin.y - outer.top, outer.right - (origin.x + client.width()),
        outer.bottom - (origin.y + client.height()) };
}

void win_move(WindowHandle window, int32_t x, int32_t y)
{
    for (int attempt = 0; attempt < kMoveAttempts; attempt++) {
        set_window_pos(window, {}, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Point at = win_position_in_parent(window);
        if (at.x == x && at.y == y)
            return;
    }
}

void win_set_size(WindowHandle window, int32_t width, int32_t height)
{
    set_window_pos(window, {}, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void win_bring_to_front(WindowHandle window)
{
    bring_window_to_top(window);
    enable_window(window, true);
}

void win_place_after(WindowHandle window, WindowHandle after)
{
    if (!after) {
        win_bring_to_front(window);
        return;
    }
    set_window_pos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void win_enable_following(WindowHandle window, WindowHandle except, bool enable)
{
    for (WindowHandle next = get_window(window, GW_HWNDNEXT); next; next = get_window(next, GW_HWNDNEXT)) {
        if (next != except)
            enable_window(next, enable);
    }
}

// Without a presentation window there is no child: the desktop's top window is none of ours.
WindowHandle win_top_child() { return s_util.presentation ? get_top_window(s_util.presentation) : WindowHandle(); }

void win_set_capture(WindowHandle window)
{
    set_capture(window);
    s_util.capture = window;
}

void win_release_capture()
{
    release_capture();
    s_util.capture = {};
}

WindowHandle win_capture_window() { return s_util.capture; }

void win_activate_child(WindowHandle window, bool on)
{
    if (!is_window(window))
        return;
    if (on)
        create_caret(window, {}, 1, 1);
    LResult answer = send_message(window, kMsgAppActivation, on ? 1 : 0, 0);
    send_message(window, WM_NCACTIVATE, on ? 1 : 0, 0);
    if (!on) {
        if (s_util.active_child == window)
            s_util.active_child = {};
        return;
    }
    s_util.active_child = window;
    if (answer == 0)
        win_set_focus(window);
}

WindowHandle win_active_child()
{
    if (s_util.active_child && !is_window(s_util.active_child))
        s_util.active_child = {}; // destroyed behind our back
    return s_util.active_child;
}

void win_destroy(WindowHandle window)
{
    if (window && window == s_util.active_child)
        win_activate_child(window, false);
    win_list_remove(window);
    destroy_window(window);
    if (WindowHandle top = win_top_child())
        win_activate_child(top, true);
}

void win_util_reset()
{
    s_util.capture = {};
    s_util.active_child = {};
}
