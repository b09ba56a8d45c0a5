// Showing, moving, sizing and stacking windows, with Win32's messages: WM_SHOWWINDOW, then
// WM_WINDOWPOSCHANGING, the change itself (with activation when a top-level window is shown),
// WM_WINDOWPOSCHANGED, whose default processing sends WM_MOVE and WM_SIZE. Minimising and
// maximising keep the normal placement to restore.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"

namespace plat {

enum : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWMAXIMIZED = 3,
    SW_MAXIMIZE = 3,
    SW_SHOWNOACTIVATE = 4,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_SHOWMINNOACTIVE = 7,
    SW_SHOWNA = 8,
    SW_RESTORE = 9,
    SW_SHOWDEFAULT = 10,
};

enum : uint32_t {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010,
    SWP_FRAMECHANGED = 0x0020,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
    SWP_NOCOPYBITS = 0x0100,
    SWP_NOOWNERZORDER = 0x0200,
    SWP_NOSENDCHANGING = 0x0400,
};

// WM_SIZE kinds.
enum : uint32_t {
    SIZE_RESTORED = 0,
    SIZE_MINIMIZED = 1,
    SIZE_MAXIMIZED = 2,
};

// WINDOWPOS: what WM_WINDOWPOSCHANGING (which may change it) and WM_WINDOWPOSCHANGED receive.
struct WindowPos {
    WindowHandle hwnd;
    WindowHandle insert_after;
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    uint32_t flags = 0;
};

// MINMAXINFO: what WM_GETMINMAXINFO receives, filled with the defaults first.
struct MinMaxInfo {
    Point reserved;
    Point max_size;
    Point max_position;
    Point min_track_size;
    Point max_track_size;
};

// ShowWindow: answers whether the window was visible before. show_window, set_window_pos and
// set_foreground_window on another program's window are done by that program (answering
// whether it did).
bool show_window(WindowHandle window, int command);
// SetWindowPos: x, y in the parent's client coordinates.
bool set_window_pos(WindowHandle window, WindowHandle insert_after, int32_t x, int32_t y,
    int32_t cx, int32_t cy, uint32_t flags);
bool move_window(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
bool bring_window_to_top(WindowHandle window);

// WINDOWPLACEMENT: the show state (SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED) and
// the rectangle the window has when neither minimised nor maximised.
struct WindowPlacement {
    uint32_t flags = 0;
    int show_cmd = SW_SHOWNORMAL;
    Point min_position;
    Point max_position;
    Rect normal_position;
};
// GetWindowPlacement; false with 1400 for a window that does not exist.
bool get_window_placement(WindowHandle window, WindowPlacement& placement);

// The defaults and the program's answer to WM_GETMINMAXINFO.
MinMaxInfo winpos_min_max_info(WindowHandle window);

} // namespace plat
