// Window functions the runtime uses for its own windows: rectangles in parent or screen
// coordinates, frames, moving and sizing without activation, z-order and enabling; capture,
// and the active runtime child window (a child of the presentation window told of its
// activation with kMsgAppActivation, which takes the keys while it is active).
#pragma once
#include "platform/window/geometry.h"
#include "platform/window/window.h"

#include <cstdint>

// The presentation window these functions measure against; set when it is created (null: none).
void win_set_presentation_window(plat::WindowHandle window);
plat::WindowHandle win_presentation_window();

// The parent of a WS_CHILD window, else null.
plat::WindowHandle win_parent_if_child(plat::WindowHandle window);
// Position or rectangle in the parent's client coordinates; screen coordinates for a window
// that is no child.
plat::Point win_position_in_parent(plat::WindowHandle window);
plat::Rect win_rect_in_parent(plat::WindowHandle window);
plat::Rect win_client_rect(plat::WindowHandle window);
plat::Size win_client_size(plat::WindowHandle window);
plat::Rect win_presentation_client_rect();
uint32_t win_style(plat::WindowHandle window);

// Up when the bottom is below the screen, left when the right is beyond it, then down when the
// top is above 0 and right when the left is below 0.
void win_keep_on_screen(plat::Rect& rect);
enum class ScreenCheck { skip, apply };
// Keeps at least 6 pixels of the rectangle reachable inside the presentation client area; with
// the check, a rectangle that misses the client area entirely is kept on the screen first.
void win_keep_in_client(plat::Rect& rect, ScreenCheck check);
// The window rectangle of a width x height client area with its top-left at (x, y), or moved by
// (dx, dy) from where the adjustment puts it.
plat::Rect win_rect_for_client_at(uint32_t style, bool menu, int32_t x, int32_t y, int32_t width, int32_t height);
plat::Rect win_rect_for_client_offset(uint32_t style, bool menu, int32_t dx, int32_t dy, int32_t width, int32_t height);
// Widths of the non-client frame: left, top, right, bottom (as a Rect of insets).
plat::Rect win_frame_insets(plat::WindowHandle window);

// SetWindowPos without size, z-order or activation change, retried (up to 5 times) until the
// window's top-left really is (x, y).
void win_move(plat::WindowHandle window, int32_t x, int32_t y);
void win_set_size(plat::WindowHandle window, int32_t width, int32_t height);
void win_bring_to_front(plat::WindowHandle window);
// Behind after without activation; at the front when after is null.
void win_place_after(plat::WindowHandle window, plat::WindowHandle after);
// Enables or disables every window after the given one in the z-order, except one.
void win_enable_following(plat::WindowHandle window, plat::WindowHandle except, bool enable);
// The top child window of the presentation window.
plat::WindowHandle win_top_child();

// SetCapture / ReleaseCapture, remembering the capturing window until it is released.
void win_set_capture(plat::WindowHandle window);
void win_release_capture();
plat::WindowHandle win_capture_window();

// For a window that exists: on gives it a 1 x 1 caret, tells it kMsgAppActivation (on) and then
// WM_NCACTIVATE (on), and makes it the active runtime child window, which also takes the focus
// when it answered 0 to the first message; off forgets it when it was the active one.
void win_activate_child(plat::WindowHandle window, bool on);
// The active runtime child window; null when none.
plat::WindowHandle win_active_child();
// Deactivates the window when it is the active child, takes it off the window list, destroys it,
// and activates the presentation window's top child (if any).
void win_destroy(plat::WindowHandle window);
// Forgets the capturing window and the active child (tests).
void win_util_reset();
