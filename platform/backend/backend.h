// The backend under the window layer: the screen the windows live on and the wait for input.
// The window layer tells it what a person would see change; the backend feeds input back
// through window/input.h. Two implement it: the headless backend (backend/headless.h) and the
// display backend (backend/sdl.h).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/gdi/surface.h"
#include "platform/window/window_types.h"

namespace plat {

enum class WindowChange { shown, hidden, moved, resized, restacked, retitled, destroyed };

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    virtual Size screen_size() const = 0;
    virtual int screen_bits_per_pixel() const = 0;
    // A top-level window changed in a way a person would see.
    virtual void window_changed(WindowHandle window, WindowChange change) = 0;
    // Pixels of a top-level window's surface changed inside rect (surface coordinates).
    virtual void surface_changed(WindowHandle window, const Rect& rect) = 0;
    virtual void cursor_changed(CursorHandle cursor) = 0;
    // The program set the cursor's position (set_cursor_pos).
    virtual void cursor_moved(Point screen) = 0;
    // The program has nothing to do: wait up to max_ms (INFINITE: no limit) for input. Returns
    // when something may have happened; false when nothing can ever happen again.
    virtual bool wait(uint32_t max_ms) = 0;
    // A peek found nothing: take input that has arrived (headless: 1 ms of virtual time passes).
    virtual void poll() = 0;
};

// Installs the backend (null: none) and tells the window layer the screen's size.
void backend_set(std::unique_ptr<Backend> backend);
// The installed backend, or null.
Backend* backend_get();
// The screen's size: the backend's, else 1024 x 768.
Size backend_screen_size();

// Starts the backend that PLAT_BACKEND names: "sdl" (a real display) or "headless". Unset, it
// is "sdl" when a display is there (sdl_display_available) and no PLAT_SCRIPT is given, else
// "headless". PLAT_CODEPAGE (1252 unless set) is the active code page, which programs started
// from this one get as theirs. False with a message for the user when it cannot start (an
// unknown name or code page, no display for "sdl", a script for "sdl", a bad PLAT_SCRIPT, a
// PLAT_LOG that cannot be written).
bool backend_start_from_environment(std::string& error);
// The same for a program a person starts: without a display, and with neither PLAT_BACKEND
// nor PLAT_SCRIPT set, it would run headless with nobody to close it, so it refuses and says so.
bool backend_start_for_program(std::string& error);

// The surface of a top-level window, which a backend shows; null for other windows.
const Surface* backend_window_surface(WindowHandle window);

// What the window layer does without a backend or with its wait: a timed wait moves the
// clock (clock_wait), and a wait without limit answers false, since no input can come.
bool backend_wait(uint32_t max_ms);
void backend_poll();

} // namespace plat
