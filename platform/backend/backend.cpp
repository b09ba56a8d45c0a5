#include "platform/backend/backend.h"

#include <cstdlib>
#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/backend/headless.h"
#include "platform/backend/sdl.h"
#include "platform/ipc/ipc.h"
#include "platform/kernel/log.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr Size kNoBackendScreen{1024, 768};

struct BackendState {
    std::unique_ptr<Backend> backend;
};

static BackendState s_backend;

void backend_set(std::unique_ptr<Backend> backend)
{
    s_backend.backend = std::move(backend);
    wintree_set_screen_size(backend_screen_size());
}

Backend* backend_get() { return s_backend.backend.get(); }

Size backend_screen_size()
{
    return s_backend.backend ? s_backend.backend->screen_size() : kNoBackendScreen;
}

// A script is for headless runs: with one, an unset PLAT_BACKEND does not look for a display.
static bool want_display(const char* name)
{
    if (name && *name)
        return std::strcmp(name, "sdl") == 0;
    const char* script = std::getenv("PLAT_SCRIPT");
    return !(script && *script) && sdl_display_available();
}

// Programs started this way meet the user's other programs; one that cannot runs alone.
static void join_other_programs()
{
    std::string reason;
    if (!ipc_start(reason))
        log_event("between programs: off (" + reason + ")");
}

static bool start_backend(std::string& error);

// PLAT_CODEPAGE: the program's code page, which on Windows the system's language gives.
static bool code_page_from_environment(std::string& error)
{
    const char* page = std::getenv("PLAT_CODEPAGE");
    if (!page || !*page)
        return true;
    char* end = nullptr;
    unsigned long value = std::strtoul(page, &end, 10);
    if (*end != '\0' || value > 0xFFFF || !set_active_code_page(uint32_t(value))) {
        error = std::string("PLAT_CODEPAGE: no code page \"") + page + "\" (1252, 949 or 932)";
        return false;
    }
    return true;
}

bool backend_start_from_environment(std::string& error)
{
    if (!code_page_from_environment(error) || !start_backend(error))
        return false;
    join_other_programs();
    return true;
}

static bool is_set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool backend_start_for_program(std::string& error)
{
    if (!is_set("PLAT_BACKEND") && !is_set("PLAT_SCRIPT") && !sdl_display_available()) {
        error = "no display to open the window on (DISPLAY or WAYLAND_DISPLAY); "
                "PLAT_BACKEND=headless runs without one";
        return false;
    }
    return backend_start_from_environment(error);
}

static bool start_backend(std::string& error)
{
    const char* name = std::getenv("PLAT_BACKEND");
    bool named = name && *name;
    if (named && std::strcmp(name, "headless") != 0 && std::strcmp(name, "sdl") != 0) {
        error = std::string("PLAT_BACKEND: no backend named \"") + name + "\" (sdl or headless)";
        return false;
    }
    HeadlessOptions options;
    if (!headless_options_from_environment(options, error))
        return false;
    if (want_display(name)) {
        if (!options.script_path.empty()) {
            error = "PLAT_SCRIPT: scripts run with PLAT_BACKEND=headless only";
            return false;
        }
        if (!sdl_start(options.log_path, error)) {
            error = "PLAT_BACKEND=sdl: " + error;
            return false;
        }
        return true;
    }
    return headless_start(options, error);
}

const Surface* backend_window_surface(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && wintree_is_top_level(*record) ? record->surface.get() : nullptr;
}

bool backend_wait(uint32_t max_ms)
{
    if (s_backend.backend)
        return s_backend.backend->wait(max_ms);
    if (max_ms == INFINITE)
        return false;
    clock_wait(max_ms);
    return true;
}

void backend_poll()
{
    if (s_backend.backend)
        s_backend.backend->poll();
}

} // namespace plat
