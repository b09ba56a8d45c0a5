// The display's windows: one borderless SDL window for each shown top-level window of the
// window layer, placed where the layer says and showing its surface (the layer draws captions
// and frames itself). The layer's state is the truth: each sync makes the SDL windows follow
// it (shown or hidden, place, size, title, stacking, the active window, capture); what the
// desktop does to a window (moved, resized, closed, minimised, focused) is fed back by
// sdlwin_window_event as the layer's own calls and messages.
#pragma once
#include <cstdint>

#include "platform/backend/backend.h"
#include "platform/window/geometry.h"
#include "platform/window/message.h"

union SDL_Event;

namespace plat {

// The layer told the backend of a change; the next sync carries it out.
void sdlwin_note_change(WindowHandle window, WindowChange change);
// Pixels changed inside rect of a top-level window's surface; the next sync shows them.
void sdlwin_note_pixels(WindowHandle window, const Rect& rect);
// Whether a sync has anything to do.
bool sdlwin_sync_pending();
// Makes the SDL windows follow the window layer and shows changed pixels.
void sdlwin_sync();

// A point in an SDL window's coordinates as a point of the layer's screen; while the layer
// holds the capture, the pointer's screen position from the desktop.
Point sdlwin_screen_point(uint32_t sdl_window_id, int32_t x, int32_t y);

// A window event of SDL: the desktop moved, sized, closed, minimised or focused a window.
void sdlwin_window_event(const SDL_Event& event);
// Activation lost to another program shows after this long without any of our windows
// getting the keyboard back, so that focus passing between our own windows is not mistaken
// for it. The ms until the check is due (INFINITE when none waits).
constexpr uint32_t kSdlFocusSettleMs = 60;
uint32_t sdlwin_ms_until_focus_check();

// Closes every SDL window (the backend is going away).
void sdlwin_reset();

} // namespace plat
