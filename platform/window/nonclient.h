// The non-client area of windows: frames, captions (normal and tool-window size) and caption
// buttons, as default processing computes it (WM_NCCALCSIZE), hit-tests it (WM_NCHITTEST) and
// draws it (WM_NCPAINT) into the window's surface; the press and release of a caption
// button, which ends in WM_SYSCOMMAND (the close box: SC_CLOSE); and the move of a window
// dragged by its caption (WM_SYSCOMMAND SC_MOVE).
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/gdi/surface.h"

namespace plat {

// AdjustWindowRect(Ex): the window rectangle for a client rectangle of the style. Scroll bars
// are not included, as in Win32.
bool adjust_window_rect(Rect& rect, uint32_t style, bool menu);
bool adjust_window_rect_ex(Rect& rect, uint32_t style, bool menu, uint32_t ex_style);

// For the window layer.
// Thickness of the outer frame: 4 sizing frame, 3 dialog frame (and captions), 1 border.
int32_t nonclient_frame_width(uint32_t style, uint32_t ex_style);
// The default WM_NCCALCSIZE: the client rectangle inside window_rect (same coordinates).
Rect nonclient_client_rect(WindowHandle window, const Rect& window_rect);
// The menu bar's area and the caption's system box, in window coordinates; empty when the
// window has none.
Rect nonclient_menu_bar_rect(WindowHandle window);
Rect nonclient_system_box_rect(WindowHandle window);
// The default WM_NCHITTEST for a point in screen coordinates.
int32_t nonclient_hit_test(WindowHandle window, Point screen);
// The default WM_NCPAINT: frame, caption, buttons, drawn active or not as WM_NCACTIVATE said.
void nonclient_paint(WindowHandle window);
// The default WM_NCLBUTTONDOWN on HTCLOSE, HTMINBUTTON or HTMAXBUTTON: the button stays pressed
// while the mouse is over it, and a release over it sends WM_SYSCOMMAND with its command.
void nonclient_track_button(WindowHandle window, int32_t hit);

// Whether a drag of the caption moves the window: not a child, neither minimised nor maximised.
bool nonclient_can_move(WindowHandle window);
// The default WM_SYSCOMMAND SC_MOVE|HTCAPTION for a left press at start (screen): until the
// button is released the window follows the pointer's travel through set_window_pos, between
// WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE, with part of its caption kept on the screen. Without
// travel nothing is sent and nothing moves.
void nonclient_track_move(WindowHandle window, Point start);

// The caption's title is drawn by the text layer, which registers here; without it captions
// show no title.
using CaptionTextPainter = void (*)(WindowHandle window, Surface& surface, const RectList& clip,
    const Rect& area, uint32_t text_pixel);
void nonclient_set_caption_text_painter(CaptionTextPainter painter);

} // namespace plat
