// The display backend (PLAT_BACKEND=sdl): the program's top-level windows as real windows on
// the desktop (backend/sdl_window.h), the mouse, the keyboard mapped to virtual keys
// (backend/sdl_keys.h), typed and composed text from the desktop's input method (ime/ime.h) and
// audio (sound/sound.h). Time is the host's clock; an idle program sleeps in SDL's event wait
// until input arrives or the next timer is due.
#pragma once
#include <string>

namespace plat {

// Whether a display is there to use: DISPLAY or WAYLAND_DISPLAY is set and SDL's video can
// start on it.
bool sdl_display_available();

// Installs the display backend with the real clock and the event log of log_path ("" for
// none). False with a message when the display cannot be opened or the log not written.
bool sdl_start(const std::string& log_path, std::string& error);

} // namespace plat
