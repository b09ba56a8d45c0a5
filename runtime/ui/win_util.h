// Window functions the runtime uses for its own windows: rectangles in parent or screen
// coordinates, frames, moving and sizing without activation, z-order and enabling.
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
