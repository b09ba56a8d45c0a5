#include "platform/backend/sdl.h"

#include <SDL.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/ime/ime.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/kernel/process.h"
#include "platform/backend/script.h"
#include "platform/backend/sdl_clipboard.h"
#include "platform/backend/sdl_cursor.h"
#include "platform/backend/sdl_keys.h"
#include "platform/backend/sdl_window.h"
#include "platform/sound/sound.h"

namespace plat {

class SdlBackend : public Backend {
public:
    SdlBackend(Size screen, int bits)
        : m_screen(screen)
        , m_bits(bits)
    {
    }
    ~SdlBackend() override
    {
        clipboard_set_host(nullptr);
        m_cursors.clear();
        SDL_Quit();
    }
    const char* name() const override { return "sdl"; }
    Size screen_size() const override { return m_screen; }
    int screen_bits_per_pixel() const override { return m_bits; }
    void window_changed(WindowHandle window, WindowChange change) override
    {
        sdlwin_note_change(window, change);
    }
    void surface_changed(WindowHandle window, const Rect& rect) override { sdlwin_note_pixels(window, rect); }
    // SetCursor(NULL) hides the pointer until a shape is set again.
    void cursor_changed(CursorHandle cursor) override { m_cursors.show(cursor); }
    void cursor_moved(Point screen) override { SDL_WarpMouseGlobal(screen.x, screen.y); }
    bool wait(uint32_t max_ms) override;
    void poll() override;

private:
    void handle(const SDL_Event& event);
    void on_key(const SDL_KeyboardEvent& key);
    void on_text(const char* utf8);
    void drain();

    Size m_screen;
    int m_bits;
    SdlCursors m_cursors;
    // SDL reports a typed key twice, as the key and as its text; the layer makes the text of a
    // key through its own layout, so the text right after such a key is that key's echo.
    bool m_echo_expected = false;
};

static MouseButton button_of(uint8_t sdl_button, bool& known)
{
    known = true;
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return MouseButton::left;
    case SDL_BUTTON_RIGHT: return MouseButton::right;
    case SDL_BUTTON_MIDDLE: return MouseButton::middle;
    default: known = false; return MouseButton::left;
    }
}

static bool all_ascii(const char* text)
{
    for (; *text; text++) {
        if (uint8_t(*text) >= 0x80)
            return false;
    }
    return true;
}

void SdlBackend::on_key(const SDL_KeyboardEvent& key)
{
    uint32_t vk = sdlkeys_key_event(key);
    if (vk && key.type == SDL_KEYDOWN) {
        uint8_t state[256] = {};
        state[VK_SHIFT] = (key.keysym.mod & KMOD_SHIFT) ? 0x80 : 0;
        m_echo_expected = keyboard_key_char(vk, state).kind != KeyChar::none;
    }
}

void SdlBackend::on_text(const char* utf8)
{
    bool echo = m_echo_expected && all_ascii(utf8);
    m_echo_expected = false;
    if (!echo)
        ime_host_commit(utf8);
}

void SdlBackend::handle(const SDL_Event& event)
{
    if (event.type != SDL_TEXTINPUT && event.type != SDL_KEYDOWN && event.type != SDL_KEYUP)
        m_echo_expected = false;
    bool known = false;
    switch (event.type) {
    case SDL_QUIT: script_close_program(); break;
    case SDL_WINDOWEVENT: sdlwin_window_event(event); break;
    case SDL_MOUSEMOTION:
        input_mouse_move(sdlwin_screen_point(event.motion.windowID, event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        MouseButton button = button_of(event.button.button, known);
        Point at = sdlwin_screen_point(event.button.windowID, event.button.x, event.button.y);
        if (known)
            input_mouse_button(button, event.type == SDL_MOUSEBUTTONDOWN, at);
        break;
    }
    case SDL_MOUSEWHEEL: {
        int32_t notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        Point at;
        get_cursor_pos(at);
        if (notches)
            input_mouse_wheel(notches * WHEEL_DELTA, at);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: on_key(event.key); break;
    case SDL_TEXTINPUT: on_text(event.text.text); break;
    case SDL_TEXTEDITING: ime_host_composition(event.edit.text); break;
    default: break;
    }
}

void SdlBackend::drain()
{
    SDL_Event event;
    while (SDL_PollEvent(&event))
        handle(event);
}

// Pixels painted since the last look are shown before the program sleeps, and the sleep ends
// at the next timer, at input, or when a lost focus is due to be checked.
bool SdlBackend::wait(uint32_t max_ms)
{
    if (sdlwin_sync_pending())
        sdlwin_sync();
    uint32_t limit = std::min(max_ms, sdlwin_ms_until_focus_check());
    SDL_Event event;
    int got = limit == INFINITE ? SDL_WaitEvent(&event)
                                : SDL_WaitEventTimeout(&event, int(std::min<uint32_t>(limit, INT_MAX)));
    if (got) {
        handle(event);
        drain();
    }
    if (sdlwin_sync_pending())
        sdlwin_sync();
    return true;
}

void SdlBackend::poll()
{
    drain();
    if (sdlwin_sync_pending())
        sdlwin_sync();
}

static void set_hints()
{
    // Ctrl+C ends the program as usual; SDL does not turn it into a quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Closing a window is the program's decision (WM_SYSCOMMAND), not SDL's.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A click on an inactive window reaches it, as on Win32, where it activates and clicks.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Surfaces are copied as they are: the display's own framebuffer, without a GPU renderer
    // (threads and a shader compiler) behind it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

static bool has_display_variable()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// SDL's video on a desktop. SDL would fall back to drivers that show nothing to anyone (an
// off-screen one, the console's), so only the desktop ones are asked for and accepted.
static bool start_video(std::string& error)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot open the display: ") + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0))
        return true;
    error = std::string("cannot open the display: SDL offers only ") + (driver ? driver : "none");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
}

bool sdl_display_available()
{
    if (!has_display_variable())
        return false;
    set_hints();
    std::string ignored;
    bool started = start_video(ignored);
    if (started)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return started;
}

// A 24-bit display keeps its pixels in 32 bits, as Win32 reports such a screen.
static int display_bits(uint32_t format)
{
    int bytes = SDL_BYTESPERPIXEL(format);
    return bytes >= 3 ? bytes * 8 : std::max(8, int(SDL_BITSPERPIXEL(format)));
}

static LaunchDecision log_launch(const std::vector<std::string>& argv, const std::string&)
{
    std::string line = "program started";
    for (const std::string& argument : argv)
        line += " " + log_quote_utf8(argument);
    log_event(line);
    return LaunchDecision::start;
}

bool sdl_start(const std::string& log_path, std::string& error)
{
    set_hints();
    if (!start_video(error))
        return false;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w < 1 || mode.h < 1) {
        error = std::string("cannot read the display's size: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    if (!log_path.empty() && !log_open(log_path)) {
        error = "PLAT_LOG: cannot write " + log_path;
        SDL_Quit();
        return false;
    }
    clock_use_real();
    backend_set(std::make_unique<SdlBackend>(Size{mode.w, mode.h}, display_bits(mode.format)));
    process_set_launch_observer(log_launch);
    sound_set_output(SoundOutput::audio);
    clipboard_set_host(sdl_clipboard_host());
    sdlkeys_follow_locks(SDL_GetModState());
    SDL_StartTextInput();
    return true;
}

} // namespace plat
