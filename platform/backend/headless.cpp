#include "platform/backend/headless.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/log.h"
#include "platform/ipc/ipc.h"
#include "platform/window/message.h"
#include "platform/window/metrics.h"
#include "platform/gdi/png.h"
#include "platform/kernel/process.h"
#include "platform/window/styles.h"
#include "platform/window/wintree.h"

namespace plat {

// Virtual time starts at tick 0 on 1 January 2024, 12:00 UTC.
constexpr uint64_t kStartFileTime = 133485840000000000ull;

class HeadlessBackend : public Backend {
public:
    explicit HeadlessBackend(const HeadlessOptions& options)
        : m_screen(options.screen)
        , m_bits(options.bits_per_pixel)
    {
    }
    const char* name() const override { return "headless"; }
    Size screen_size() const override { return m_screen; }
    int screen_bits_per_pixel() const override { return m_bits; }
    void set_bits_per_pixel(int bits) { m_bits = bits; }
    void window_changed(WindowHandle, WindowChange) override {}
    void surface_changed(WindowHandle, const Rect&) override {}
    void cursor_changed(CursorHandle) override {}
    void cursor_moved(Point) override {}
    bool wait(uint32_t max_ms) override;
    void poll() override;

private:
    bool after_script(uint32_t max_ms);
    void finish_script();

    Size m_screen;
    int m_bits;
    bool m_script_over = false;
    uint32_t m_over_at = 0;
    bool m_quit_posted = false;
};

static void run_command()
{
    std::string error;
    if (!script_run_next(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        log_event("script error " + log_quote_utf8(error));
    }
}

// The script is over: the program is closed as by its close box, unless the script did so.
void HeadlessBackend::finish_script()
{
    m_script_over = true;
    m_over_at = get_tick_count();
    if (!script_quit_ran())
        script_close_program();
}

bool HeadlessBackend::after_script(uint32_t max_ms)
{
    if (!m_script_over) {
        finish_script();
        return true;
    }
    uint32_t since = get_tick_count() - m_over_at;
    uint32_t deadline = m_quit_posted ? 2 * kHeadlessGraceMs : kHeadlessGraceMs;
    bool nothing_due = max_ms == INFINITE;
    if (nothing_due || since >= deadline) {
        if (m_quit_posted)
            return false; // the program ignored the quit: nothing more can happen
        m_quit_posted = true;
        post_quit_message(0);
        return true;
    }
    // At least 1 ms, so that a wait with nothing to take cannot repeat at the same instant.
    clock_advance(std::max(1u, std::min(max_ms, deadline - since)));
    return true;
}

bool HeadlessBackend::wait(uint32_t max_ms)
{
    // Serving other programs: real time passes while virtual time stands still.
    if (ipc_serve_wait(INFINITE))
        return true;
    // The time of a "wait" passes first, also when it is the script's last command.
    int32_t until = int32_t(script_next_due() - get_tick_count());
    if (until > 0) {
        clock_advance(std::max(1u, std::min(uint32_t(until), max_ms)));
        return true;
    }
    if (!script_has_next())
        return after_script(max_ms);
    run_command();
    return true;
}

void HeadlessBackend::poll()
{
    if (ipc_serve_wait(1))
        return;
    clock_advance(1);
    if (int32_t(script_next_due() - get_tick_count()) > 0)
        return;
    if (script_has_next())
        run_command();
    else if (!m_script_over)
        finish_script();
    else if (!m_quit_posted && get_tick_count() - m_over_at >= kHeadlessGraceMs) {
        m_quit_posted = true;
        post_quit_message(0);
    }
}

bool headless_depth_supported(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool headless_set_depth(int bits)
{
    auto* backend = dynamic_cast<HeadlessBackend*>(backend_get());
    if (!backend || !headless_depth_supported(bits))
        return false;
    backend->set_bits_per_pixel(bits);
    // As Win32 does after a mode change: every top-level window hears of it, at once.
    Size screen = backend->screen_size();
    std::vector<WindowHandle> windows = wintree_top_levels();
    for (WindowHandle window : windows)
        send_message(window, WM_DISPLAYCHANGE, WParam(bits), make_lparam(uint32_t(screen.cx), uint32_t(screen.cy)));
    return true;
}

static bool parse_screen(const char* text, HeadlessOptions& options)
{
    unsigned width = 0;
    unsigned height = 0;
    unsigned bits = 32;
    char extra = 0;
    int fields = std::sscanf(text, "%ux%ux%u%c", &width, &height, &bits, &extra);
    if (fields != 2 && fields != 3)
        return false;
    if (width < 64 || height < 64 || width > unsigned(kSurfaceMaxSide) || height > unsigned(kSurfaceMaxSide))
        return false;
    if (!headless_depth_supported(int(bits)))
        return false;
    options.screen = Size{int32_t(width), int32_t(height)};
    options.bits_per_pixel = int(bits);
    return true;
}

bool headless_options_from_environment(HeadlessOptions& options, std::string& error)
{
    if (const char* script = std::getenv("PLAT_SCRIPT"))
        options.script_path = script;
    if (const char* log = std::getenv("PLAT_LOG"))
        options.log_path = log;
    const char* screen = std::getenv("PLAT_SCREEN");
    if (screen && *screen && !parse_screen(screen, options)) {
        error = std::string("PLAT_SCREEN: expected WIDTHxHEIGHT or WIDTHxHEIGHTxBITS, not \"") + screen + "\"";
        return false;
    }
    return true;
}

static LaunchDecision log_launch(const std::vector<std::string>& argv, const std::string&)
{
    std::string line = "program started";
    for (const std::string& argument : argv) {
        line += ' ';
        line += log_quote_utf8(argument);
    }
    log_event(line);
    return LaunchDecision::skip;
}

static void wait_hook(uint32_t max_ms)
{
    if (Backend* backend = backend_get())
        backend->wait(max_ms);
}

bool headless_start_with(const HeadlessOptions& options, std::vector<ScriptCommand> script, std::string& error)
{
    if (!options.log_path.empty() && !log_open(options.log_path)) {
        error = "PLAT_LOG: cannot write " + options.log_path;
        return false;
    }
    clock_use_virtual(0, kStartFileTime);
    backend_set(std::make_unique<HeadlessBackend>(options));
    clock_set_wait_hook(wait_hook);
    process_set_launch_observer(log_launch);
    script_start(std::move(script));
    return true;
}

bool headless_start(const HeadlessOptions& options, std::string& error)
{
    std::vector<ScriptCommand> script;
    if (!options.script_path.empty() && !script_load(options.script_path, script, error)) {
        error = "PLAT_SCRIPT: " + error;
        return false;
    }
    return headless_start_with(options, std::move(script), error);
}

void headless_compose_screen(Surface& out)
{
    Size screen = backend_screen_size();
    surface_resize(out, screen.cx, screen.cy);
    surface_fill_rect(out, Rect{0, 0, screen.cx, screen.cy}, pixel_from_colorref(get_sys_color(COLOR_BACKGROUND)));
    const std::vector<WindowHandle>& windows = wintree_top_levels();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        WindowRecord* window = wintree_find(*it);
        if (!window || !window->surface || !(window->style & WS_VISIBLE) || (window->style & WS_MINIMIZE))
            continue;
        const Surface& pixels = *window->surface;
        surface_copy(out, window->window_rect.left, window->window_rect.top, pixels, Rect{0, 0, pixels.width, pixels.height});
    }
}

static const Surface* window_surface(std::string_view title)
{
    std::string wanted = utf8_to_code_page(CP_ACP, title);
    for (WindowHandle handle : wintree_top_levels()) {
        WindowRecord* window = wintree_find(handle);
        if (window && window->surface && (window->style & WS_VISIBLE) && lstrcmpi(window->text.c_str(), wanted.c_str()) == 0)
            return window->surface.get();
    }
    return nullptr;
}

bool headless_shot(const std::string& host_path, std::string_view title, std::string& error)
{
    std::error_code ignored;
    std::filesystem::path parent = std::filesystem::path(host_path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    if (title.empty()) {
        Surface screen;
        headless_compose_screen(screen);
        return png_save_surface(screen, host_path, error);
    }
    const Surface* surface = window_surface(title);
    if (!surface) {
        error = "shot: no visible window titled \"" + std::string(title) + "\"";
        return false;
    }
    return png_save_surface(*surface, host_path, error);
}

} // namespace plat
