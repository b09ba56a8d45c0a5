// Mouse and keyboard input. What the backend reports enters a queue of raw events; each becomes
// a window message when the message queue reaches it. Mouse input goes to the capture, else to
// the deepest enabled visible window under the point, asking WM_NCHITTEST (a window answering
// HTTRANSPARENT passes the point to the window beneath) and, when the message is taken,
// WM_MOUSEACTIVATE (a click on an inactive window activates it) and WM_SETCURSOR. Keys go to
// the focus (to the active window as WM_SYSKEYDOWN when nothing has the focus). get_key_state
// follows the messages taken; get_async_key_state follows the events as they arrive.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

enum class MouseButton { left, right, middle };

// Mouse message key flags (wparam of client mouse messages).
enum : uint32_t {
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
    MK_MBUTTON = 0x0010,
};

// One notch of the mouse wheel (WM_MOUSEWHEEL's delta).
constexpr int32_t WHEEL_DELTA = 120;

// WM_MOUSEACTIVATE answers.
enum : uint32_t {
    MA_ACTIVATE = 1,
    MA_ACTIVATEANDEAT = 2,
    MA_NOACTIVATE = 3,
    MA_NOACTIVATEANDEAT = 4,
};

// ChildWindowFromPointEx flags.
enum : uint32_t {
    CWP_ALL = 0,
    CWP_SKIPINVISIBLE = 1,
    CWP_SKIPDISABLED = 2,
    CWP_SKIPTRANSPARENT = 4,
};

// Input from the backend, in screen coordinates. A key is a virtual key; Shift, Ctrl and Alt
// may be given generic or left/right, and both kinds of state follow. input_char delivers a
// character of the active code page that no key types (committed input-method text).
// input_mouse_wheel: delta in WHEEL_DELTA steps, positive away from the user; WM_MOUSEWHEEL
// goes to the focus with the point in screen coordinates.
void input_mouse_move(Point screen);
void input_mouse_button(MouseButton button, bool down, Point screen);
void input_mouse_wheel(int32_t delta, Point screen);
void input_key(uint32_t vk, bool down);
void input_char(uint8_t ch);
// A lock key's toggle (Caps Lock) as the desktop says it stands, where the layer's own count of
// presses may be wrong (the lock was on before the program started, or changed while another
// program had the keyboard). It takes its turn among the queued input: get_key_state and the
// characters of keys follow it once the keys before it are taken.
void input_set_toggle(uint32_t vk, bool on);
// A key message already taken goes back to the head of the input, to be taken again (the key
// state stays as it is): a key that must wait until what it would act on is ready.
void input_put_back(const Msg& msg);
bool input_pending();

// GetKeyState: bit 15 set (a negative value) while down, bit 0 the toggle (Caps Lock on).
int16_t get_key_state(int vk);
// GetAsyncKeyState: bit 15 while down now, bit 0 when pressed since the last call.
int16_t get_async_key_state(int vk);
bool get_keyboard_state(uint8_t* state);       // 256 bytes
bool set_keyboard_state(const uint8_t* state); // 256 bytes

bool get_cursor_pos(Point& point);
// SetCursorPos: moves the pointer (clamped to the screen); a WM_MOUSEMOVE follows.
bool set_cursor_pos(int32_t x, int32_t y);
// SetCursor: answers the previous cursor shape. ShowCursor: the display count.
CursorHandle set_cursor(CursorHandle cursor);
CursorHandle get_cursor();
int show_cursor(bool show);

// WindowFromPoint: the deepest visible, enabled window whose rectangle holds the point (no
// hit testing messages). ChildWindowFromPoint(Ex): the child of parent at a point in parent's
// client coordinates, parent itself when no child is there, null outside parent.
WindowHandle window_from_point(Point screen);
WindowHandle child_window_from_point(WindowHandle parent, Point client);
WindowHandle child_window_from_point_ex(WindowHandle parent, Point client, uint32_t flags);

// For the queue: the first input message for the filter; with remove the event leaves the
// queue, the key state follows it and WM_MOUSEACTIVATE and WM_SETCURSOR are sent.
bool input_next_message(Msg& out, WindowHandle filter, uint32_t first, uint32_t last, bool remove);
void input_reset();

} // namespace plat
