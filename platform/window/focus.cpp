#include "platform/window/focus.h"

#include "platform/backend/backend.h"
#include "platform/ime/ime.h"
#include "platform/kernel/error.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wintree.h"

namespace plat {

struct FocusState {
    WindowHandle focus;
    WindowHandle active;
    WindowHandle capture;
    bool app_active = false;
};

static FocusState s_focus;

static bool exists(WindowHandle window) { return wintree_find(window) != nullptr; }

static bool is_minimized(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && (record->style & WS_MINIMIZE);
}

static bool is_inside(WindowHandle window, WindowHandle container)
{
    return window && (window == container || wintree_is_ancestor(container, window));
}

static void send_activate_app(bool active)
{
    std::vector<WindowHandle> windows = wintree_top_levels();
    for (WindowHandle window : windows)
        send_message(window, WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

static WindowHandle change_focus(WindowHandle window)
{
    WindowHandle old = s_focus.focus;
    if (old == window)
        return old;
    s_focus.focus = window;
    if (exists(old)) {
        ime_focus_leaving(old); // what was being composed there stays there
        send_message(old, WM_KILLFOCUS, WParam(window.id), 0);
    }
    if (window && s_focus.focus == window && exists(window))
        send_message(window, WM_SETFOCUS, WParam(old.id), 0);
    return old;
}

// False when the window refuses to give up activation.
static bool deactivate(WindowHandle old, WindowHandle next)
{
    if (!exists(old))
        return true;
    if (send_message(old, WM_NCACTIVATE, 0, 0) == 0)
        return false;
    if (exists(old))
        send_message(old, WM_ACTIVATE, make_wparam(WA_INACTIVE, is_minimized(old)), LParam(next.id));
    return true;
}

// The active window comes to the front, with the windows it owns in front of it.
static void bring_to_front(WindowRecord& window)
{
    wintree_unlink(window);
    wintree_link(window, HWND_TOP);
    std::vector<WindowHandle> owned;
    for (WindowHandle other : wintree_top_levels()) {
        WindowRecord* record = wintree_find(other);
        if (record && record->owner == window.handle)
            owned.push_back(other);
    }
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        WindowRecord* record = wintree_find(*it);
        wintree_unlink(*record);
        wintree_link(*record, HWND_TOP);
    }
    if (Backend* backend = backend_get())
        backend->window_changed(window.handle, WindowChange::restacked);
}

static void note_last_active_popup(WindowRecord& window)
{
    WindowRecord* owner = wintree_find(window.owner);
    while (owner) {
        owner->last_active_popup = window.handle;
        owner = wintree_find(owner->owner);
    }
}

static void app_deactivated()
{
    s_focus.app_active = false;
    send_activate_app(false);
    change_focus({});
}

bool focus_activate(WindowHandle window, uint32_t how)
{
    WindowRecord* root = window ? wintree_root(window) : nullptr;
    if (window && !root)
        return false;
    WindowHandle target = root ? root->handle : WindowHandle{};
    if (target == s_focus.active)
        return true;
    WindowHandle old = s_focus.active;
    if (!deactivate(old, target))
        return false;
    s_focus.active = target;
    if (!target) {
        app_deactivated();
        return true;
    }
    if (!s_focus.app_active) {
        s_focus.app_active = true;
        send_activate_app(true);
    }
    if (!(root = wintree_find(target)))
        return false;
    bring_to_front(*root);
    note_last_active_popup(*root);
    send_message(target, WM_NCACTIVATE, 1, 0);
    if (exists(target))
        send_message(target, WM_ACTIVATE, make_wparam(how, is_minimized(target)), LParam(old.id));
    // A focus left in another top-level window would take the keys meant for this one.
    WindowRecord* focus_root = wintree_root(s_focus.focus);
    if (s_focus.focus && s_focus.active == target && (!focus_root || focus_root->handle != target))
        change_focus({});
    return true;
}

WindowHandle set_focus(WindowHandle window)
{
    if (window && (!exists(window) || wintree_is_desktop(window))) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return {};
    }
    if (window == s_focus.focus)
        return window;
    WindowHandle before = s_focus.focus;
    if (window) {
        WindowRecord* root = wintree_root(window);
        if (root && root->handle != s_focus.active && !focus_activate(root->handle, WA_ACTIVE))
            return {};
        if (!exists(window))
            return {};
    }
    change_focus(window);
    return before;
}

WindowHandle get_focus() { return s_focus.focus; }

WindowHandle set_active_window(WindowHandle window)
{
    if (window && !exists(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return {};
    }
    WindowHandle old = s_focus.active;
    if (!focus_activate(window, WA_ACTIVE))
        return {};
    return old;
}

WindowHandle get_active_window() { return s_focus.active; }

bool set_foreground_window(WindowHandle window)
{
    return exists(window) && focus_activate(window, WA_ACTIVE);
}

WindowHandle get_foreground_window() { return s_focus.active; }

WindowHandle set_capture(WindowHandle window)
{
    if (window && !exists(window))
        return {};
    WindowHandle old = s_focus.capture;
    s_focus.capture = window;
    if (old && old != window && exists(old))
        send_message(old, WM_CAPTURECHANGED, 0, LParam(window.id));
    return old;
}

bool release_capture()
{
    WindowHandle old = s_focus.capture;
    s_focus.capture = {};
    if (exists(old))
        send_message(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

WindowHandle get_capture() { return s_focus.capture; }

static bool can_take_activation(WindowHandle candidate, WindowHandle leaving)
{
    WindowRecord* record = wintree_find(candidate);
    return record && candidate != leaving && !record->destroying && (record->style & WS_VISIBLE)
        && !(record->style & (WS_DISABLED | WS_MINIMIZE)) && !(record->ex_style & WS_EX_NOACTIVATE)
        && !wintree_is_ancestor(leaving, candidate) && record->owner != leaving;
}

// The owner first, as a closing dialog gives activation back to its owner; else the front
// window that can take it.
static WindowHandle next_active(const WindowRecord& leaving)
{
    if (can_take_activation(leaving.owner, leaving.handle))
        return leaving.owner;
    for (WindowHandle candidate : wintree_top_levels()) {
        if (can_take_activation(candidate, leaving.handle))
            return candidate;
    }
    return {};
}

void focus_window_hiding(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    if (wintree_is_top_level(*record) && s_focus.active == window)
        focus_activate(next_active(*record), WA_ACTIVE);
    if (!is_inside(s_focus.focus, window) || !(record = wintree_find(window)))
        return;
    bool top_level = wintree_is_top_level(*record);
    change_focus(top_level ? WindowHandle{} : record->parent);
}

void focus_window_gone(WindowHandle window)
{
    if (is_inside(s_focus.focus, window))
        s_focus.focus = {};
    if (is_inside(s_focus.capture, window))
        s_focus.capture = {};
    if (is_inside(s_focus.active, window)) {
        s_focus.active = {};
        s_focus.app_active = false;
    }
}

void focus_reset() { s_focus = FocusState{}; }

} // namespace plat
