// Focus, activation and capture with Win32's messages and order. Activating a window sends
// WM_NCACTIVATE(FALSE) and WM_ACTIVATE(WA_INACTIVE) to the window losing activation, then
// WM_ACTIVATEAPP to every top-level window when the program as a whole becomes active or
// inactive, then WM_NCACTIVATE(TRUE) and WM_ACTIVATE to the new window, whose default
// processing gives it the focus (WM_KILLFOCUS to the old focus, then WM_SETFOCUS).
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    WA_INACTIVE = 0,
    WA_ACTIVE = 1,
    WA_CLICKACTIVE = 2,
};

// SetFocus: activates the window's top-level window first when needed; answers the previous
// focus (null with error 1400 for a window that does not exist).
WindowHandle set_focus(WindowHandle window);
WindowHandle get_focus();
// SetActiveWindow: a top-level window (a child activates its top-level window); answers the
// previously active window. A window answering WM_NCACTIVATE(FALSE) with 0 keeps activation.
WindowHandle set_active_window(WindowHandle window);
WindowHandle get_active_window();
// SetForegroundWindow: within one program, activation.
bool set_foreground_window(WindowHandle window);
WindowHandle get_foreground_window();
// SetCapture / ReleaseCapture: the window losing capture gets WM_CAPTURECHANGED.
WindowHandle set_capture(WindowHandle window);
bool release_capture();
WindowHandle get_capture();

// For the window layer.
bool focus_activate(WindowHandle window, uint32_t how);
// A window is being hidden or destroyed: activation moves to its owner or the next top-level
// window, and a focus inside it moves to its parent (or is lost).
void focus_window_hiding(WindowHandle window);
// A destroyed window and its descendants are forgotten without messages.
void focus_window_gone(WindowHandle window);
void focus_reset();

} // namespace plat
