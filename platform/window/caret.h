// The caret: one per program, owned by a window, a block inverted on the window's client area
// that blinks on a timer of that window (virtual time in headless runs). It starts hidden;
// each hide_caret needs one show_caret. Painting the owner hides it around begin_paint and
// end_paint, so that what the window draws never leaves a stale inverted block behind.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

// CreateCaret's bitmap argument for a grey caret (a null bitmap is a solid one).
constexpr GdiObject kGrayCaret{1};

// CreateCaret: replaces the program's caret, hidden. A width or height of 0 is the system's
// border width or height; a bitmap other than null and kGrayCaret gives its size and is drawn
// inverted.
bool create_caret(WindowHandle window, GdiObject bitmap, int32_t width, int32_t height);
// DestroyCaret: false when there is none.
bool destroy_caret();
// HideCaret / ShowCaret: the window must own the caret (a null window: whichever does).
bool hide_caret(WindowHandle window);
bool show_caret(WindowHandle window);
// SetCaretPos / GetCaretPos, in the owner's client coordinates.
bool set_caret_pos(int32_t x, int32_t y);
bool get_caret_pos(Point& out);
uint32_t get_caret_blink_time();
bool set_caret_blink_time(uint32_t ms);

// For the layer: painting the owner takes the caret off and puts it back.
void caret_paint_begin(WindowHandle window);
void caret_paint_end(WindowHandle window);
// Whether the caret's block is on the screen now (tests).
bool caret_is_drawn();
void caret_reset();

} // namespace plat
