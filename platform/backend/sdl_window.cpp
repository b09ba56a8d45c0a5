#include "platform/backend/sdl_window.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/backend/sdl_keys.h"
#include "platform/kernel/codepage.h"
#include "platform/window/focus.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

struct DisplayWindow {
    WindowHandle handle;
    SDL_Window* sdl = nullptr;
    uint32_t sdl_id = 0;
    bool failed = false;    // SDL could not make it: not asked again
    Rect placed;            // where the SDL window is, screen coordinates
    bool shown = false;
    bool minimized = false; // as SDL has it
    bool topmost = false;
    std::string title;      // UTF-8
    Rect dirty;             // surface coordinates still to show
    // Places asked of SDL whose events may still come: each is the echo of our own request,
    // not the desktop moving the window, even when a later request overtook it.
    std::vector<Rect> requested;
};

constexpr size_t kRequestsKept = 8;

struct SdlWindowState {
    std::vector<DisplayWindow> windows;
    std::vector<WindowHandle> stacking; // shown windows, front first, as last raised
    WindowHandle focused;               // the window last given the keyboard
    bool captured = false;
    bool changed = false;
    bool focus_lost = false;
    uint32_t focus_lost_at = 0;
};

static SdlWindowState s_windows;

static DisplayWindow* find_window(WindowHandle handle)
{
    for (DisplayWindow& window : s_windows.windows) {
        if (window.handle == handle)
            return &window;
    }
    return nullptr;
}

static DisplayWindow* find_sdl(uint32_t sdl_id)
{
    for (DisplayWindow& window : s_windows.windows) {
        if (window.sdl && window.sdl_id == sdl_id)
            return &window;
    }
    return nullptr;
}

static void add_dirty(DisplayWindow& window, const Rect& rect)
{
    if (is_rect_empty(rect))
        return;
    if (is_rect_empty(window.dirty))
        window.dirty = rect;
    else
        union_rect(window.dirty, window.dirty, rect);
}

static void dirty_all(DisplayWindow& window)
{
    add_dirty(window, Rect{0, 0, window.placed.width(), window.placed.height()});
}

void sdlwin_note_change(WindowHandle window, WindowChange change)
{
    s_windows.changed = true;
    DisplayWindow* shown = find_window(window);
    if (shown && (change == WindowChange::shown || change == WindowChange::resized))
        dirty_all(*shown);
}

void sdlwin_note_pixels(WindowHandle window, const Rect& rect)
{
    DisplayWindow* shown = find_window(window);
    if (shown)
        add_dirty(*shown, rect);
    else
        s_windows.changed = true; // a window not yet on the display: the sync makes it
}

static bool capture_wanted() { return wintree_find(get_capture()) != nullptr; }

bool sdlwin_sync_pending()
{
    if (s_windows.changed || s_windows.focus_lost || get_active_window() != s_windows.focused
        || capture_wanted() != s_windows.captured)
        return true;
    return std::any_of(s_windows.windows.begin(), s_windows.windows.end(),
        [](const DisplayWindow& window) { return !is_rect_empty(window.dirty); });
}

static void destroy_sdl(DisplayWindow& window)
{
    if (window.sdl)
        SDL_DestroyWindow(window.sdl);
    window.sdl = nullptr;
}

static bool on_display(const WindowRecord& record)
{
    Rect rect = record.window_rect;
    return (record.style & WS_VISIBLE) && record.surface && rect.width() > 0 && rect.height() > 0;
}

// Captions and frames are the layer's own drawing, so every window is borderless; windows
// that Win32 keeps off the task bar (tool windows, owned popups) stay off it here too.
static uint32_t sdl_flags(const WindowRecord& record)
{
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    if (record.ex_style & WS_EX_TOOLWINDOW)
        flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
    else if (record.owner)
        flags |= SDL_WINDOW_SKIP_TASKBAR;
    if (record.ex_style & WS_EX_TOPMOST)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    return flags;
}

static void create_sdl(DisplayWindow& window, const WindowRecord& record)
{
    const Rect& rect = record.window_rect;
    window.title = code_page_to_utf8(CP_ACP, record.text);
    window.sdl = SDL_CreateWindow(window.title.c_str(), rect.left, rect.top, rect.width(), rect.height(),
        sdl_flags(record));
    if (!window.sdl) {
        std::fprintf(stderr, "display: cannot make a window: %s\n", SDL_GetError());
        window.failed = true;
        return;
    }
    window.sdl_id = SDL_GetWindowID(window.sdl);
    window.placed = rect;
    window.topmost = (record.ex_style & WS_EX_TOPMOST) != 0;
    dirty_all(window);
}

static void follow_title(DisplayWindow& window, const WindowRecord& record)
{
    std::string title = code_page_to_utf8(CP_ACP, record.text);
    if (title != window.title) {
        window.title = title;
        SDL_SetWindowTitle(window.sdl, title.c_str());
    }
}

// A minimised window keeps its place on the display: the layer parks it far off screen.
static void follow_place(DisplayWindow& window, const WindowRecord& record)
{
    const Rect& rect = record.window_rect;
    if ((record.style & WS_MINIMIZE) || rect == window.placed)
        return;
    if (window.requested.size() >= kRequestsKept)
        window.requested.erase(window.requested.begin());
    window.requested.push_back(rect);
    if (rect.left != window.placed.left || rect.top != window.placed.top)
        SDL_SetWindowPosition(window.sdl, rect.left, rect.top);
    if (rect.width() != window.placed.width() || rect.height() != window.placed.height()) {
        SDL_SetWindowSize(window.sdl, rect.width(), rect.height());
        window.placed = rect;
        dirty_all(window);
    }
    window.placed = rect;
}

static void follow_state(DisplayWindow& window, const WindowRecord& record)
{
    bool minimized = (record.style & WS_MINIMIZE) != 0;
    bool wanted = on_display(record);
    if (wanted && !window.shown) {
        SDL_ShowWindow(window.sdl);
        window.shown = true;
        dirty_all(window);
    } else if (!wanted && window.shown) {
        SDL_HideWindow(window.sdl);
        window.shown = false;
    }
    if (window.shown && minimized != window.minimized) {
        if (minimized)
            SDL_MinimizeWindow(window.sdl);
        else
            SDL_RestoreWindow(window.sdl);
        window.minimized = minimized;
    }
    bool topmost = (record.ex_style & WS_EX_TOPMOST) != 0;
    if (topmost != window.topmost) {
        SDL_SetWindowAlwaysOnTop(window.sdl, topmost ? SDL_TRUE : SDL_FALSE);
        window.topmost = topmost;
    }
}

static void follow_window(WindowHandle handle)
{
    WindowRecord* record = wintree_find(handle);
    if (!record)
        return;
    DisplayWindow* window = find_window(handle);
    if (!window) {
        if (!on_display(*record))
            return; // made when it first shows
        s_windows.windows.push_back(DisplayWindow{});
        window = &s_windows.windows.back();
        window->handle = handle;
    }
    if (!window->sdl && !window->failed && on_display(*record))
        create_sdl(*window, *record);
    if (!window->sdl)
        return;
    follow_title(*window, *record);
    follow_place(*window, *record);
    follow_state(*window, *record);
}

static void drop_gone_windows()
{
    auto gone = [](DisplayWindow& window) {
        WindowRecord* record = wintree_find(window.handle);
        if (record && wintree_is_top_level(*record) && !record->destroying)
            return false;
        destroy_sdl(window);
        return true;
    };
    auto& windows = s_windows.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(), gone), windows.end());
}

// SDL can only raise a window to the top: the order is rebuilt from the back.
static void follow_stacking()
{
    std::vector<WindowHandle> order;
    for (WindowHandle handle : wintree_top_levels()) {
        DisplayWindow* window = find_window(handle);
        if (window && window->sdl && window->shown)
            order.push_back(handle);
    }
    if (order == s_windows.stacking)
        return;
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        SDL_RaiseWindow(find_window(*it)->sdl);
    s_windows.stacking = order;
    s_windows.focused = {}; // raising may have moved the keyboard: give it back below
}

static void follow_activation()
{
    WindowHandle active = get_active_window();
    if (active == s_windows.focused)
        return;
    DisplayWindow* window = find_window(active);
    if (window && window->sdl && window->shown && !window->minimized) {
        SDL_SetWindowInputFocus(window->sdl);
        s_windows.focused = active;
    } else if (!active)
        s_windows.focused = {};
}

static void follow_capture()
{
    bool wanted = capture_wanted();
    if (wanted != s_windows.captured) {
        SDL_CaptureMouse(wanted ? SDL_TRUE : SDL_FALSE);
        s_windows.captured = wanted;
    }
}

static void present(DisplayWindow& window)
{
    Rect dirty = window.dirty;
    window.dirty = Rect{};
    WindowRecord* record = wintree_find(window.handle);
    if (!record || !record->surface || !window.sdl || !window.shown || is_rect_empty(dirty))
        return;
    Surface& pixels = *record->surface;
    SDL_Surface* target = SDL_GetWindowSurface(window.sdl);
    if (!target || pixels.pixels.empty())
        return;
    Rect limit{0, 0, std::min(pixels.width, target->w), std::min(pixels.height, target->h)};
    if (!intersect_rect(dirty, dirty, limit))
        return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(pixels.pixels.data(), pixels.width,
        pixels.height, 32, pixels.stride * 4, SDL_PIXELFORMAT_RGB888);
    if (!source)
        return;
    SDL_Rect area{dirty.left, dirty.top, dirty.width(), dirty.height()};
    SDL_Rect to = area;
    SDL_BlitSurface(source, &area, target, &to);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurfaceRects(window.sdl, &area, 1);
}

// Activation went to another program when, a moment after one of our windows lost the
// keyboard, none of them has it.
static void check_focus_lost()
{
    if (!s_windows.focus_lost || get_tick_count() - s_windows.focus_lost_at < kSdlFocusSettleMs)
        return;
    s_windows.focus_lost = false;
    if (SDL_GetKeyboardFocus() || !get_active_window())
        return;
    focus_activate({}, WA_INACTIVE);
    s_windows.focused = {};
}

void sdlwin_sync()
{
    drop_gone_windows();
    if (s_windows.changed) {
        std::vector<WindowHandle> tops = wintree_top_levels();
        for (WindowHandle handle : tops)
            follow_window(handle);
        follow_stacking();
        s_windows.changed = false;
    }
    follow_activation();
    follow_capture();
    for (DisplayWindow& window : s_windows.windows)
        present(window);
    check_focus_lost();
}

// While the layer holds the capture it may be moving the very window the pointer is in (a drag
// of the caption): an event's point is relative to where the window was when the event was
// made, which is not where the layer now places it, so the pointer's own screen position is
// asked instead; the window-relative point would make the drag jump back and forth.
Point sdlwin_screen_point(uint32_t sdl_window_id, int32_t x, int32_t y)
{
    DisplayWindow* window = find_sdl(sdl_window_id);
    if (window && !capture_wanted())
        return Point{window->placed.left + x, window->placed.top + y};
    int global_x = 0;
    int global_y = 0;
    SDL_GetGlobalMouseState(&global_x, &global_y);
    return Point{global_x, global_y};
}

// The desktop moved or sized a window: the layer follows, as after a drag of its frame.
static bool echo_of_request(DisplayWindow& window, const Rect& rect, bool size_only)
{
    auto& requested = window.requested;
    for (auto it = requested.begin(); it != requested.end(); ++it) {
        bool same = size_only ? it->width() == rect.width() && it->height() == rect.height()
                              : it->left == rect.left && it->top == rect.top;
        if (same) {
            requested.erase(requested.begin(), it + 1);
            return true;
        }
    }
    return false;
}

static void desktop_placed(DisplayWindow& window, const Rect& rect, bool size_only)
{
    if (echo_of_request(window, rect, size_only))
        return;
    WindowRecord* record = wintree_find(window.handle);
    if (!record || (record->style & WS_MINIMIZE) || window.minimized || rect == window.placed)
        return;
    bool moved = rect.left != window.placed.left || rect.top != window.placed.top;
    uint32_t flags = SWP_NOZORDER | SWP_NOACTIVATE | (moved ? 0u : uint32_t(SWP_NOMOVE));
    if (rect.width() == window.placed.width() && rect.height() == window.placed.height())
        flags |= SWP_NOSIZE;
    else
        dirty_all(window);
    window.placed = rect;
    set_window_pos(window.handle, {}, rect.left, rect.top, rect.width(), rect.height(), flags);
    s_windows.changed = true; // the program may have refused: the sync puts it back
}

static void desktop_command(DisplayWindow& window, uint32_t command)
{
    WindowRecord* record = wintree_find(window.handle);
    // A window disabled under a modal dialog cannot be closed or minimised from outside.
    if (record && !(record->style & WS_DISABLED))
        post_message(window.handle, WM_SYSCOMMAND, command, 0);
}

// Our window got the keyboard from the desktop (a click or a window switch): it becomes
// active, or, while a modal dialog disables it, the dialog does.
static void desktop_focused(DisplayWindow& window)
{
    s_windows.focus_lost = false;
    WindowHandle target = window.handle;
    WindowRecord* record = wintree_find(target);
    if (record && (record->style & WS_DISABLED))
        target = get_last_active_popup(target);
    record = wintree_find(target);
    if (!record || (record->style & WS_DISABLED) || (record->ex_style & WS_EX_NOACTIVATE))
        return;
    if (target != get_active_window())
        focus_activate(target, WA_ACTIVE);
    s_windows.focused = target == window.handle ? target : WindowHandle{};
}

void sdlwin_window_event(const SDL_Event& event)
{
    DisplayWindow* window = find_sdl(event.window.windowID);
    if (!window)
        return;
    int32_t a = event.window.data1;
    int32_t b = event.window.data2;
    const Rect& placed = window->placed;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_EXPOSED: dirty_all(*window); break;
    case SDL_WINDOWEVENT_MOVED:
        desktop_placed(*window, Rect{a, b, a + placed.width(), b + placed.height()}, false);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        desktop_placed(*window, Rect{placed.left, placed.top, placed.left + a, placed.top + b}, true);
        break;
    case SDL_WINDOWEVENT_CLOSE: desktop_command(*window, SC_CLOSE); break;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!window->minimized) {
            window->minimized = true;
            desktop_command(*window, SC_MINIMIZE);
        }
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (window->minimized) {
            window->minimized = false;
            desktop_command(*window, SC_RESTORE);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        sdlkeys_follow_locks(SDL_GetModState());
        desktop_focused(*window);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        s_windows.focus_lost = true;
        s_windows.focus_lost_at = get_tick_count();
        break;
    default: break;
    }
}

uint32_t sdlwin_ms_until_focus_check()
{
    if (!s_windows.focus_lost)
        return INFINITE;
    uint32_t since = get_tick_count() - s_windows.focus_lost_at;
    return since >= kSdlFocusSettleMs ? 0 : kSdlFocusSettleMs - since;
}

void sdlwin_reset()
{
    for (DisplayWindow& window : s_windows.windows)
        destroy_sdl(window);
    s_windows = SdlWindowState{};
}

} // namespace plat
