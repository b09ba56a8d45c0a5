#include "platform/window/input.h"

#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/cursor.h"
#include "platform/window/focus.h"
#include "platform/ime/ime.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "platform/window/wintree.h"

namespace plat {

enum class RawKind : uint8_t { move, button, wheel, key, character, toggle, again };

struct RawEvent {
    RawKind kind = RawKind::move;
    MouseButton button = MouseButton::left;
    bool down = false;
    Point pt;
    uint32_t vk = 0;
    bool was_down = false;
    bool alt = false;  // Alt held: the context bit of key messages
    bool ctrl = false;
    uint32_t key_flags = 0; // MK_ flags as the event left them
    uint8_t ch = 0;
    int32_t wheel_delta = 0;
    uint32_t time = 0;
    // Filled the first time the queue looks at the event.
    bool cooked = false;
    bool dropped = false;
    Msg msg;
    int32_t hit = HTCLIENT;
};

struct LastClick {
    bool valid = false;
    uint32_t time = 0;
    Point pt;
    WindowHandle window;
    uint32_t message = 0;
};

struct InputState {
    std::deque<RawEvent> events;
    uint8_t sync[256] = {};
    uint8_t async[256] = {};
    bool pressed_since_asked[256] = {};
    Point cursor;
    CursorHandle shape;
    int cursor_count = 0;
    LastClick last_click;
};

static InputState s_input;

// Queued input is bounded like the posted queue: a flood from a backend drops the oldest moves
// rather than growing without end.
constexpr size_t kInputEventLimit = 10000;

static const uint32_t kButtonKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
static const uint32_t kButtonDownMessages[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
constexpr uint32_t kNonClientOffset = WM_MOUSEMOVE - WM_NCMOUSEMOVE;

static uint32_t mouse_key_flags(const uint8_t* state)
{
    uint32_t flags = 0;
    if (state[VK_LBUTTON] & 0x80)
        flags |= MK_LBUTTON;
    if (state[VK_RBUTTON] & 0x80)
        flags |= MK_RBUTTON;
    if (state[VK_MBUTTON] & 0x80)
        flags |= MK_MBUTTON;
    if (state[VK_SHIFT] & 0x80)
        flags |= MK_SHIFT;
    if (state[VK_CONTROL] & 0x80)
        flags |= MK_CONTROL;
    return flags;
}

// Shift, Ctrl and Alt exist as a generic key and a left and right one; messages carry the
// generic key and the state holds both.
static uint32_t generic_key(uint32_t vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

static uint32_t sided_key(uint32_t vk)
{
    switch (vk) {
    case VK_SHIFT: return VK_LSHIFT;
    case VK_CONTROL: return VK_LCONTROL;
    case VK_MENU: return VK_LMENU;
    default: return vk;
    }
}

static void set_key(uint8_t* state, uint32_t vk, bool down)
{
    if (down && !(state[vk] & 0x80))
        state[vk] ^= 0x01; // the toggle flips on each press
    state[vk] = uint8_t(down ? state[vk] | 0x80 : state[vk] & ~0x80);
}

static void set_key_both(uint8_t* state, uint32_t vk, bool down)
{
    set_key(state, generic_key(vk), down);
    if (sided_key(vk) != generic_key(vk))
        set_key(state, sided_key(vk), down);
    else if (vk != generic_key(vk))
        set_key(state, vk, down);
}

static void push_event(RawEvent event)
{
    event.time = get_tick_count();
    event.key_flags = mouse_key_flags(s_input.async);
    if (s_input.events.size() >= kInputEventLimit)
        s_input.events.pop_front();
    s_input.events.push_back(event);
}

static Point clamp_to_screen(Point point)
{
    Size screen = backend_screen_size();
    point.x = std::max(0, std::min(point.x, screen.cx - 1));
    point.y = std::max(0, std::min(point.y, screen.cy - 1));
    return cursor_clip_point(point);
}

void input_mouse_move(Point screen)
{
    s_input.cursor = clamp_to_screen(screen);
    // Moves not yet looked at merge, as the mouse reports only where it is now.
    if (!s_input.events.empty() && s_input.events.back().kind == RawKind::move
        && !s_input.events.back().cooked) {
        s_input.events.back().pt = s_input.cursor;
        return;
    }
    RawEvent event;
    event.kind = RawKind::move;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_mouse_button(MouseButton button, bool down, Point screen)
{
    s_input.cursor = clamp_to_screen(screen);
    uint32_t vk = kButtonKeys[int(button)];
    set_key(s_input.async, vk, down);
    if (down)
        s_input.pressed_since_asked[vk] = true;
    RawEvent event;
    event.kind = RawKind::button;
    event.button = button;
    event.down = down;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_mouse_wheel(int32_t delta, Point screen)
{
    s_input.cursor = clamp_to_screen(screen);
    RawEvent event;
    event.kind = RawKind::wheel;
    event.wheel_delta = delta;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_key(uint32_t vk, bool down)
{
    if (vk == 0 || vk > 0xFE)
        return;
    RawEvent event;
    event.kind = RawKind::key;
    event.vk = generic_key(vk);
    event.down = down;
    event.was_down = (s_input.async[event.vk] & 0x80) != 0;
    set_key_both(s_input.async, vk, down);
    if (down)
        s_input.pressed_since_asked[event.vk] = true;
    // Releasing Alt still belongs to the Alt sequence, as Win32 reports it.
    event.alt = (s_input.async[VK_MENU] & 0x80) || (event.vk == VK_MENU && !down);
    event.ctrl = (s_input.async[VK_CONTROL] & 0x80) != 0;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_char(uint8_t ch)
{
    RawEvent event;
    event.kind = RawKind::character;
    event.ch = ch;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_set_toggle(uint32_t vk, bool on)
{
    if (vk == 0 || vk > 0xFE || ((s_input.async[vk] & 0x01) != 0) == on)
        return;
    s_input.async[vk] ^= 0x01;
    RawEvent event;
    event.kind = RawKind::toggle;
    event.vk = vk;
    event.down = on;
    event.pt = s_input.cursor;
    push_event(event);
}

void input_put_back(const Msg& msg)
{
    RawEvent event;
    event.kind = RawKind::again;
    event.cooked = true;
    event.msg = msg;
    event.time = msg.time;
    event.pt = msg.pt;
    s_input.events.push_front(event);
}

bool input_pending() { return !s_input.events.empty(); }

int16_t get_key_state(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    uint8_t state = s_input.sync[vk];
    return int16_t(((state & 0x80) ? 0xFF80 : 0) | (state & 0x01));
}

int16_t get_async_key_state(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    bool pressed = s_input.pressed_since_asked[vk];
    s_input.pressed_since_asked[vk] = false;
    return int16_t(((s_input.async[vk] & 0x80) ? 0x8000 : 0) | (pressed ? 1 : 0));
}

bool get_keyboard_state(uint8_t* state)
{
    if (!state)
        return false;
    std::memcpy(state, s_input.sync, sizeof s_input.sync);
    return true;
}

bool set_keyboard_state(const uint8_t* state)
{
    if (!state)
        return false;
    std::memcpy(s_input.sync, state, sizeof s_input.sync);
    return true;
}

bool get_cursor_pos(Point& point)
{
    point = s_input.cursor;
    return true;
}

bool set_cursor_pos(int32_t x, int32_t y)
{
    input_mouse_move(Point{x, y});
    if (Backend* backend = backend_get())
        backend->cursor_moved(s_input.cursor);
    return true;
}

// While the display count is negative the pointer shows no shape, whatever was set.
CursorHandle set_cursor(CursorHandle cursor)
{
    CursorHandle old = s_input.shape;
    s_input.shape = cursor;
    Backend* backend = backend_get();
    if (backend && old != cursor && s_input.cursor_count >= 0)
        backend->cursor_changed(cursor);
    return old;
}

CursorHandle get_cursor() { return s_input.shape; }

int show_cursor(bool show)
{
    bool was_shown = s_input.cursor_count >= 0;
    s_input.cursor_count += show ? 1 : -1;
    bool shown = s_input.cursor_count >= 0;
    Backend* backend = backend_get();
    if (backend && shown != was_shown)
        backend->cursor_changed(shown ? s_input.shape : CursorHandle{});
    return s_input.cursor_count;
}

enum class Area { window, client };

static bool contains_screen_point(const WindowRecord& window, Point screen, Area area)
{
    Rect rect = wintree_screen_rect(window);
    if (area == Area::client) {
        Point origin = wintree_client_origin(window);
        rect = Rect{origin.x, origin.y, origin.x + window.client_rect.width(),
            origin.y + window.client_rect.height()};
    }
    return pt_in_rect(rect, screen);
}

static bool can_receive_mouse(const WindowRecord& window)
{
    return (window.style & WS_VISIBLE) && !(window.style & WS_DISABLED);
}

// The deepest enabled, visible window under the point, starting at a window that holds it.
static WindowHandle deepest_at(WindowRecord& window, Point screen)
{
    if (!contains_screen_point(window, screen, Area::client))
        return window.handle;
    for (WindowHandle handle : window.children) {
        WindowRecord* child = wintree_find(handle);
        if (child && can_receive_mouse(*child) && contains_screen_point(*child, screen, Area::window))
            return deepest_at(*child, screen);
    }
    return window.handle;
}

static bool top_level_at(const WindowRecord& window, Point screen)
{
    return (window.style & WS_VISIBLE) && !(window.style & WS_MINIMIZE)
        && contains_screen_point(window, screen, Area::window);
}

WindowHandle window_from_point(Point screen)
{
    for (WindowHandle handle : wintree_top_levels()) {
        WindowRecord* top = wintree_find(handle);
        if (top && top_level_at(*top, screen))
            return deepest_at(*top, screen);
    }
    return {};
}

static bool child_passes(const WindowRecord& child, uint32_t flags)
{
    if ((flags & CWP_SKIPINVISIBLE) && !(child.style & WS_VISIBLE))
        return false;
    if ((flags & CWP_SKIPDISABLED) && (child.style & WS_DISABLED))
        return false;
    return !((flags & CWP_SKIPTRANSPARENT) && (child.ex_style & WS_EX_TRANSPARENT));
}

WindowHandle child_window_from_point_ex(WindowHandle parent, Point client, uint32_t flags)
{
    WindowRecord* record = wintree_find(parent);
    if (!record)
        return {};
    if (!pt_in_rect(Rect{0, 0, record->client_rect.width(), record->client_rect.height()}, client))
        return {};
    for (WindowHandle handle : record->children) {
        WindowRecord* child = wintree_find(handle);
        if (child && child_passes(*child, flags) && pt_in_rect(child->window_rect, client))
            return handle;
    }
    return parent;
}

WindowHandle child_window_from_point(WindowHandle parent, Point client)
{
    return child_window_from_point_ex(parent, client, CWP_ALL);
}

// The window under the point after `window` passed it on (HTTRANSPARENT): its siblings further
// back, then its parent; for a top-level window the top-level windows behind it.
static WindowHandle window_beneath(WindowHandle window, Point screen)
{
    WindowRecord* record = wintree_find(window);
    WindowRecord* parent = record ? wintree_find(record->parent) : nullptr;
    if (!parent)
        return {};
    bool top_level = wintree_is_desktop(parent->handle);
    bool past = false;
    for (WindowHandle handle : parent->children) {
        WindowRecord* sibling = wintree_find(handle);
        if (handle == window) {
            past = true;
            continue;
        }
        if (!past || !sibling)
            continue;
        bool holds = top_level ? top_level_at(*sibling, screen)
                               : can_receive_mouse(*sibling) && contains_screen_point(*sibling, screen, Area::window);
        if (holds)
            return deepest_at(*sibling, screen);
    }
    return top_level ? WindowHandle{} : parent->handle;
}

// The target of a mouse event and its hit-test code; a null window when none takes it.
static WindowHandle hit_test(Point screen, int32_t& hit)
{
    WindowHandle candidate = window_from_point(screen);
    for (int passes = 0; candidate && passes < 64; passes++) {
        hit = int32_t(send_message(candidate, WM_NCHITTEST, 0, make_lparam(uint32_t(screen.x), uint32_t(screen.y))));
        if (hit != HTTRANSPARENT)
            return candidate;
        candidate = window_beneath(candidate, screen);
    }
    return {};
}

static uint32_t mouse_message(const RawEvent& event)
{
    if (event.kind == RawKind::move)
        return WM_MOUSEMOVE;
    uint32_t down = kButtonDownMessages[int(event.button)];
    return event.down ? down : down + 1;
}

static bool wants_double_clicks(WindowHandle window, bool client)
{
    if (!client)
        return true;
    WindowRecord* record = wintree_find(window);
    ClassRecord* window_class = record ? wndclass_record(record->class_id) : nullptr;
    return window_class && (window_class->info.style & CS_DBLCLKS);
}

static bool is_double_click(const RawEvent& event, WindowHandle target, uint32_t message)
{
    const LastClick& last = s_input.last_click;
    int32_t dx = std::abs(event.pt.x - last.pt.x);
    int32_t dy = std::abs(event.pt.y - last.pt.y);
    return last.valid && last.window == target && last.message == message
        && event.time - last.time < get_double_click_time()
        && dx <= get_system_metrics(SM_CXDOUBLECLK) / 2 && dy <= get_system_metrics(SM_CYDOUBLECLK) / 2;
}

static void cook_mouse(RawEvent& event)
{
    WindowHandle target = get_capture();
    int32_t hit = HTCLIENT;
    if (!wintree_find(target))
        target = hit_test(event.pt, hit);
    WindowRecord* root = wintree_root(target);
    if (!target || hit == HTERROR || !root || (root->style & WS_DISABLED)) {
        event.dropped = true;
        return;
    }
    bool client = hit == HTCLIENT;
    uint32_t message = mouse_message(event);
    if (event.kind == RawKind::button && event.down && wants_double_clicks(target, client)
        && is_double_click(event, target, message))
        message += 2;
    WindowRecord* record = wintree_find(target);
    Point origin = wintree_client_origin(*record);
    event.hit = hit;
    event.msg.hwnd = target;
    event.msg.message = client ? message : message - kNonClientOffset;
    event.msg.wparam = client ? event.key_flags : WParam(uint32_t(hit));
    event.msg.lparam = client ? make_lparam(uint32_t(event.pt.x - origin.x), uint32_t(event.pt.y - origin.y))
                              : make_lparam(uint32_t(event.pt.x), uint32_t(event.pt.y));
}

static LParam key_lparam(const RawEvent& event)
{
    uint32_t bits = 1 | keyboard_scan_code(event.vk) << 16;
    if (keyboard_is_extended(event.vk))
        bits |= 1u << 24;
    if (event.alt)
        bits |= 1u << 29;
    if (event.was_down)
        bits |= 1u << 30;
    if (!event.down)
        bits |= 1u << 31;
    return LParam(int32_t(bits));
}

static void cook_key(RawEvent& event)
{
    WindowHandle target = get_focus();
    bool no_focus = !wintree_find(target);
    if (no_focus)
        target = get_active_window();
    if (!wintree_find(target)) {
        event.dropped = true;
        return;
    }
    event.msg.hwnd = target;
    if (event.kind == RawKind::character) {
        event.msg.message = no_focus ? WM_SYSCHAR : WM_CHAR;
        event.msg.wparam = event.ch;
        event.msg.lparam = 1;
        return;
    }
    bool sys = (event.alt && !event.ctrl) || event.vk == VK_F10 || no_focus;
    uint32_t message = event.down ? WM_KEYDOWN : WM_KEYUP;
    event.msg.message = sys ? message + (WM_SYSKEYDOWN - WM_KEYDOWN) : message;
    event.msg.wparam = event.vk;
    event.msg.lparam = key_lparam(event);
    // A key the input method composes with reaches the window as VK_PROCESSKEY; the scan
    // code in lparam still tells which key it was.
    if (event.down && !sys && ime_takes_key(target, event.vk, event.alt || event.ctrl))
        event.msg.wparam = VK_PROCESSKEY;
}

// The wheel turns for the window with the focus, as the keys do; the point stays on the screen.
static void cook_wheel(RawEvent& event)
{
    WindowHandle target = get_focus();
    if (!wintree_find(target))
        target = get_active_window();
    if (!wintree_find(target)) {
        event.dropped = true;
        return;
    }
    event.msg.hwnd = target;
    event.msg.message = WM_MOUSEWHEEL;
    event.msg.wparam = make_wparam(event.key_flags, uint32_t(int16_t(event.wheel_delta)));
    event.msg.lparam = make_lparam(uint32_t(event.pt.x), uint32_t(event.pt.y));
}

static void cook(RawEvent& event)
{
    if (event.cooked)
        return;
    event.cooked = true;
    if (event.kind == RawKind::toggle)
        event.dropped = true; // no message: only the state changes, when the queue takes it
    else if (event.kind == RawKind::move || event.kind == RawKind::button)
        cook_mouse(event);
    else if (event.kind == RawKind::wheel)
        cook_wheel(event);
    else
        cook_key(event);
    event.msg.time = event.time;
    event.msg.pt = event.pt;
}

static bool in_range(uint32_t message, uint32_t first, uint32_t last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

// The client-area mouse message of a message that may be its non-client twin.
static uint32_t client_message(uint32_t message)
{
    return message >= WM_MOUSEFIRST ? message : message + kNonClientOffset;
}

static bool is_button_down(uint32_t message)
{
    uint32_t client = client_message(message);
    return client == WM_LBUTTONDOWN || client == WM_RBUTTONDOWN || client == WM_MBUTTONDOWN
        || client == WM_LBUTTONDBLCLK || client == WM_RBUTTONDBLCLK || client == WM_MBUTTONDBLCLK;
}

// A click on a window of an inactive top-level window asks WM_MOUSEACTIVATE; false when the
// answer eats the click.
static bool mouse_activate(const RawEvent& event)
{
    WindowRecord* root = wintree_root(event.msg.hwnd);
    if (!root || root->handle == get_active_window() || get_capture())
        return true;
    LResult answer = send_message(event.msg.hwnd, WM_MOUSEACTIVATE, WParam(root->handle.id),
        make_lparam(uint32_t(event.hit), event.msg.message));
    bool activate = answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT;
    root = wintree_root(event.msg.hwnd);
    if (activate && root && !(root->ex_style & WS_EX_NOACTIVATE))
        focus_activate(root->handle, WA_CLICKACTIVE);
    return answer != MA_ACTIVATEANDEAT && answer != MA_NOACTIVATEANDEAT;
}

static void notify_parents_of_click(const RawEvent& event)
{
    WindowRecord* window = wintree_find(event.msg.hwnd);
    while (window && !wintree_is_top_level(*window) && !(window->ex_style & WS_EX_NOPARENTNOTIFY)) {
        WindowHandle parent = window->parent;
        Point point = event.pt;
        screen_to_client(parent, point);
        send_message(parent, WM_PARENTNOTIFY, make_wparam(event.msg.message, 0),
            make_lparam(uint32_t(point.x), uint32_t(point.y)));
        window = wintree_find(parent);
    }
}

static void remember_click(const RawEvent& event)
{
    LastClick& last = s_input.last_click;
    uint32_t message = client_message(event.msg.message);
    bool double_click = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
    // A double click ends the sequence: a third press starts a new one.
    last = LastClick{!double_click, event.time, event.pt, event.msg.hwnd, message};
}

// What taking a mouse event does besides returning it; false when the message is eaten.
static bool take_mouse(const RawEvent& event)
{
    if (event.kind == RawKind::button)
        set_key(s_input.sync, kButtonKeys[int(event.button)], event.down);
    if (!wintree_find(event.msg.hwnd))
        return false;
    bool down = is_button_down(event.msg.message);
    if (down && !mouse_activate(event))
        return false;
    if (!get_capture() && wintree_find(event.msg.hwnd))
        send_message(event.msg.hwnd, WM_SETCURSOR, WParam(event.msg.hwnd.id),
            make_lparam(uint32_t(event.hit), client_message(event.msg.message)));
    if (down) {
        remember_click(event);
        notify_parents_of_click(event);
    }
    return wintree_find(event.msg.hwnd) != nullptr;
}

static bool take(const RawEvent& event)
{
    if (event.kind == RawKind::key)
        set_key_both(s_input.sync, event.vk, event.down);
    if (event.kind == RawKind::toggle)
        s_input.sync[event.vk] = uint8_t((s_input.sync[event.vk] & ~0x01) | (event.down ? 0x01 : 0));
    if (event.dropped)
        return false;
    if (event.kind == RawKind::move || event.kind == RawKind::button)
        return take_mouse(event);
    return wintree_find(event.msg.hwnd) != nullptr;
}

bool input_next_message(Msg& out, WindowHandle filter, uint32_t first, uint32_t last, bool remove)
{
    size_t index = 0;
    while (index < s_input.events.size()) {
        RawEvent& event = s_input.events[index];
        cook(event);
        bool matches = !event.dropped && (!filter || event.msg.hwnd == filter)
            && in_range(event.msg.message, first, last);
        if (!matches && !event.dropped) {
            index++;
            continue;
        }
        if (!remove && matches) {
            out = event.msg;
            return true;
        }
        if (!remove) {
            index++;
            continue;
        }
        // Out of the queue before anything is sent: a handler may peek again.
        RawEvent taken = event;
        s_input.events.erase(s_input.events.begin() + std::ptrdiff_t(index));
        if (take(taken) && matches) {
            out = taken.msg;
            return true;
        }
        index = 0;
    }
    return false;
}

void input_reset() { s_input = InputState{}; }

} // namespace plat
