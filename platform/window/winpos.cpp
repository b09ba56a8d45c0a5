#include "platform/window/winpos.h"

#include <algorithm>

#include "platform/backend/backend.h"
#include "platform/kernel/error.h"
#include "platform/ipc/ipc.h"
#include "platform/window/focus.h"
#include "platform/kernel/log.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr int32_t kCoordinateLimit = 1 << 20;
constexpr int32_t kSizeLimit = 1 << 15;
// Where Win32 parks minimised top-level windows.
constexpr int32_t kMinimizedPosition = -32000;

MinMaxInfo winpos_min_max_info(WindowHandle window)
{
    MinMaxInfo info;
    WindowRecord* record = wintree_find(window);
    int32_t frame = record ? nonclient_frame_width(record->style, record->ex_style) : 0;
    Size screen = backend_screen_size();
    info.max_size = Point{screen.cx + 2 * frame, screen.cy + 2 * frame};
    info.max_position = Point{-frame, -frame};
    info.min_track_size = Point{get_system_metrics(SM_CXMINTRACK), get_system_metrics(SM_CYMINTRACK)};
    info.max_track_size = Point{get_system_metrics(SM_CXMAXTRACK), get_system_metrics(SM_CYMAXTRACK)};
    if (record)
        send_message(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
    // The program's answer is kept within the bounds of positions and sizes, so that sums of
    // them stay in range.
    auto size = [](Point& p) { p = Point{std::clamp(p.x, 0, kSizeLimit), std::clamp(p.y, 0, kSizeLimit)}; };
    size(info.max_size);
    size(info.min_track_size);
    size(info.max_track_size);
    info.max_position.x = std::clamp(info.max_position.x, -kCoordinateLimit, kCoordinateLimit);
    info.max_position.y = std::clamp(info.max_position.y, -kCoordinateLimit, kCoordinateLimit);
    return info;
}

// Fills in what the flags keep and drops flags that would change nothing.
static void normalise(WindowPos& pos, const WindowRecord& window)
{
    const Rect& rect = window.window_rect;
    if (pos.flags & SWP_NOMOVE) {
        pos.x = rect.left;
        pos.y = rect.top;
    }
    if (pos.flags & SWP_NOSIZE) {
        pos.cx = rect.width();
        pos.cy = rect.height();
    }
    pos.x = std::clamp(pos.x, -kCoordinateLimit, kCoordinateLimit);
    pos.y = std::clamp(pos.y, -kCoordinateLimit, kCoordinateLimit);
    pos.cx = std::clamp(pos.cx, 0, kSizeLimit);
    pos.cy = std::clamp(pos.cy, 0, kSizeLimit);
    if (pos.x == rect.left && pos.y == rect.top)
        pos.flags |= SWP_NOMOVE;
    if (pos.cx == rect.width() && pos.cy == rect.height())
        pos.flags |= SWP_NOSIZE;
    bool visible = (window.style & WS_VISIBLE) != 0;
    if (visible)
        pos.flags &= ~SWP_SHOWWINDOW;
    else
        pos.flags &= ~SWP_HIDEWINDOW;
    if (!wintree_is_top_level(window))
        pos.flags |= SWP_NOACTIVATE;
}

static bool changes_anything(uint32_t flags)
{
    uint32_t still = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    return (flags & still) != still || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED));
}

static void restack(WindowRecord& window, WindowHandle insert_after)
{
    if (insert_after == HWND_TOPMOST)
        window.ex_style |= WS_EX_TOPMOST;
    else if (insert_after == HWND_NOTOPMOST)
        window.ex_style &= ~WS_EX_TOPMOST;
    if (insert_after == window.handle)
        return;
    wintree_unlink(window);
    wintree_link(window, insert_after);
}

// The new rectangle; the client area is asked again only when the size or frame changed.
static void move_and_size(WindowHandle handle, const WindowPos& pos)
{
    WindowRecord* window = wintree_find(handle);
    Rect old = window->window_rect;
    window->window_rect = Rect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    if ((pos.flags & SWP_NOSIZE) && !(pos.flags & SWP_FRAMECHANGED)) {
        offset_rect(window->client_rect, pos.x - old.left, pos.y - old.top);
        return;
    }
    if (window->surface)
        surface_resize(*window->surface, pos.cx, pos.cy);
    Rect client = window->window_rect;
    send_message(handle, WM_NCCALCSIZE, 0, reinterpret_cast<LParam>(&client));
    if (!(window = wintree_find(handle)))
        return;
    const Rect& outer = window->window_rect;
    client.left = std::clamp(client.left, outer.left, outer.right);
    client.right = std::clamp(client.right, client.left, outer.right);
    client.top = std::clamp(client.top, outer.top, outer.bottom);
    client.bottom = std::clamp(client.bottom, client.top, outer.bottom);
    window->client_rect = client;
}

static void invalidate_after(WindowHandle handle, const WindowPos& pos, const Rect& old_rect, bool was_visible)
{
    WindowRecord* window = wintree_find(handle);
    if (!window || (pos.flags & SWP_NOREDRAW))
        return;
    bool moved = !(pos.flags & SWP_NOMOVE);
    bool sized = !(pos.flags & SWP_NOSIZE) || (pos.flags & SWP_FRAMECHANGED);
    bool shown = (pos.flags & SWP_SHOWWINDOW) != 0;
    bool hidden = (pos.flags & SWP_HIDEWINDOW) != 0;
    bool top_level = wintree_is_top_level(*window);
    // A child's pixels live in its parent's surface: uncovered parts of the parent repaint.
    if (!top_level && was_visible && (moved || sized || hidden))
        invalidate_rect(window->parent, &old_rect, true);
    bool visible = (window->style & WS_VISIBLE) != 0;
    if (visible && (shown || sized || (!top_level && moved)))
        paint_invalidate_window(handle);
}

static void tell_backend(WindowHandle handle, const WindowPos& pos)
{
    WindowRecord* window = wintree_find(handle);
    Backend* backend = backend_get();
    if (!window || !wintree_is_top_level(*window) || !backend)
        return;
    if (pos.flags & SWP_SHOWWINDOW)
        backend->window_changed(handle, WindowChange::shown);
    if (pos.flags & SWP_HIDEWINDOW)
        backend->window_changed(handle, WindowChange::hidden);
    if (!(pos.flags & SWP_NOMOVE))
        backend->window_changed(handle, WindowChange::moved);
    if (!(pos.flags & SWP_NOSIZE))
        backend->window_changed(handle, WindowChange::resized);
    if (!(pos.flags & SWP_NOZORDER))
        backend->window_changed(handle, WindowChange::restacked);
}

static void log_visibility(WindowHandle handle, uint32_t flags)
{
    WindowRecord* window = wintree_find(handle);
    if (!window || !wintree_is_top_level(*window) || window->quiet)
        return;
    if (flags & SWP_SHOWWINDOW) {
        window->shown_logged = true;
        log_event("window shown " + log_quote(window->text));
    } else if ((flags & SWP_HIDEWINDOW) && !window->destroying) // a closing window logs its close
        log_event("window hidden " + log_quote(window->text));
}

// The change itself, between WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED.
static void apply(WindowHandle handle, WindowPos& pos)
{
    WindowRecord* window = wintree_find(handle);
    Rect old_rect = window->window_rect;
    bool was_visible = wintree_is_visible(*window);
    if (!(pos.flags & SWP_NOZORDER))
        restack(*window, pos.insert_after);
    if (!(pos.flags & SWP_NOMOVE) || !(pos.flags & SWP_NOSIZE) || (pos.flags & SWP_FRAMECHANGED))
        move_and_size(handle, pos);
    if (!(window = wintree_find(handle)))
        return;
    if (pos.flags & SWP_SHOWWINDOW)
        window->style |= WS_VISIBLE;
    if (pos.flags & SWP_HIDEWINDOW)
        window->style &= ~WS_VISIBLE;
    invalidate_after(handle, pos, old_rect, was_visible);
    log_visibility(handle, pos.flags);
    tell_backend(handle, pos);
    bool activate = !(pos.flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && (window->style & WS_VISIBLE);
    if (activate)
        focus_activate(handle, WA_ACTIVE);
    if (pos.flags & (SWP_SHOWWINDOW | SWP_FRAMECHANGED) || !(pos.flags & SWP_NOSIZE))
        paint_frames_and_erase_now(handle);
}

// Another program's window is placed by its owner, as its desktop allows.
static bool place_foreign(PlaceFrame request)
{
    LResult result = 0;
    return ipc_place(request, result) && result != 0;
}

bool set_window_pos(WindowHandle window, WindowHandle insert_after, int32_t x, int32_t y,
    int32_t cx, int32_t cy, uint32_t flags)
{
    if (ipc_is_foreign(window))
        return place_foreign(PlaceFrame{window.id, PlaceOp::position, insert_after.id, x, y, cx, cy, flags});
    WindowRecord* record = wintree_is_desktop(window) ? nullptr : wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    WindowPos pos{window, insert_after, x, y, cx, cy, flags};
    normalise(pos, *record);
    if (!changes_anything(pos.flags))
        return true;
    if (!(pos.flags & SWP_NOSENDCHANGING)) {
        send_message(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LParam>(&pos));
        if (!(record = wintree_find(window)))
            return false;
        normalise(pos, *record);
    }
    apply(window, pos);
    if (!wintree_find(window))
        return false;
    send_message(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LParam>(&pos));
    if (pos.flags & SWP_HIDEWINDOW)
        focus_window_hiding(window);
    return true;
}

bool move_window(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint)
{
    uint32_t flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : uint32_t(SWP_NOREDRAW));
    return set_window_pos(window, {}, x, y, width, height, flags);
}

bool bring_window_to_top(WindowHandle window)
{
    return set_window_pos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

static bool place(WindowHandle window, const Rect& rect, uint32_t flags)
{
    return set_window_pos(window, HWND_TOP, rect.left, rect.top, rect.width(), rect.height(), flags | SWP_FRAMECHANGED);
}

static void keep_normal_rect(WindowRecord& window)
{
    if (!(window.style & (WS_MINIMIZE | WS_MAXIMIZE)))
        window.normal_rect = window.window_rect;
}

enum class Activation { keep, give_away };

static bool minimize(WindowHandle handle, Activation activation)
{
    WindowRecord* window = wintree_find(handle);
    keep_normal_rect(*window);
    window->style = (window->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
    Rect parked{kMinimizedPosition, kMinimizedPosition, kMinimizedPosition + get_system_metrics(SM_CXMINIMIZED),
        kMinimizedPosition + get_system_metrics(SM_CYMINIMIZED)};
    if (!place(handle, parked, SWP_SHOWWINDOW | SWP_NOACTIVATE))
        return false;
    if (activation == Activation::give_away)
        focus_window_hiding(handle);
    return true;
}

static bool maximize(WindowHandle handle)
{
    MinMaxInfo info = winpos_min_max_info(handle);
    WindowRecord* window = wintree_find(handle);
    if (!window)
        return false;
    keep_normal_rect(*window);
    window->style = (window->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
    Rect full{info.max_position.x, info.max_position.y, info.max_position.x + info.max_size.x,
        info.max_position.y + info.max_size.y};
    return place(handle, full, SWP_SHOWWINDOW);
}

static bool restore(WindowHandle handle, uint32_t activate_flag)
{
    WindowRecord* window = wintree_find(handle);
    if (!(window->style & (WS_MINIMIZE | WS_MAXIMIZE)))
        return set_window_pos(handle, {}, 0, 0, 0, 0,
            SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW | activate_flag);
    window->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
    return place(handle, window->normal_rect, SWP_SHOWWINDOW | activate_flag);
}

static bool hide(WindowHandle handle)
{
    send_message(handle, WM_SHOWWINDOW, 0, 0);
    if (!wintree_find(handle))
        return false;
    return set_window_pos(handle, {}, 0, 0, 0, 0,
        SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The show commands that change placement or visibility, once WM_SHOWWINDOW is out.
static void run_show_command(WindowHandle window, int command)
{
    bool quiet = command == SW_SHOWNOACTIVATE || command == SW_SHOWNA || command == SW_SHOWMINNOACTIVE;
    uint32_t activate_flag = quiet ? uint32_t(SWP_NOACTIVATE) : 0u;
    switch (command) {
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: minimize(window, Activation::give_away); break;
    case SW_SHOWMINIMIZED: minimize(window, Activation::keep); break;
    case SW_SHOWMAXIMIZED: maximize(window); break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT: restore(window, activate_flag); break;
    default:
        set_window_pos(window, {}, 0, 0, 0, 0,
            SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW | activate_flag);
        break;
    }
}

bool show_window(WindowHandle window, int command)
{
    if (ipc_is_foreign(window))
        return place_foreign(PlaceFrame{window.id, PlaceOp::show, uint32_t(command), 0, 0, 0, 0, 0});
    WindowRecord* record = wintree_is_desktop(window) ? nullptr : wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    bool was_visible = (record->style & WS_VISIBLE) != 0;
    if (command == SW_HIDE) {
        if (was_visible)
            hide(window);
        return was_visible;
    }
    if (command < SW_SHOWNORMAL || command > SW_SHOWDEFAULT) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return was_visible;
    }
    if (!was_visible) {
        send_message(window, WM_SHOWWINDOW, 1, 0);
        if (!wintree_find(window))
            return false;
    }
    run_show_command(window, command);
    return was_visible;
}

bool get_window_placement(WindowHandle window, WindowPlacement& placement)
{
    uint32_t style = 0;
    Rect normal;
    if (ipc_is_foreign(window)) {
        SnapshotWindow info;
        if (!ipc_window_info(window, info))
            return false;
        style = info.style;
        normal = info.normal_rect;
    } else {
        WindowRecord* record = wintree_is_desktop(window) ? nullptr : wintree_find(window);
        if (!record) {
            set_last_error(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        style = record->style;
        normal = (style & (WS_MINIMIZE | WS_MAXIMIZE)) ? record->normal_rect : record->window_rect;
    }
    placement = WindowPlacement{};
    placement.show_cmd = (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement.normal_position = normal;
    placement.min_position = Point{-1, -1};
    placement.max_position = Point{-1, -1};
    return true;
}

} // namespace plat
