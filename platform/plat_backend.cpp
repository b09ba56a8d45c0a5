#include "platform/plat_backend.h"

#include <cstdlib>
#include <cstring>

#include "platform/plat_clock.h"
#include "platform/plat_headless.h"
#include "platform/plat_wintree.h"

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

bool backend_start_from_environment(std::string& error)
{
    const char* name = std::getenv("PLAT_BACKEND");
    // Only the headless backend is built so far; it is also what a host without a display gets.
    if (name && *name && std::strcmp(name, "headless") != 0) {
        error = std::string("PLAT_BACKEND: no backend named \"") + name + "\" in this build";
        return false;
    }
    HeadlessOptions options;
    if (!headless_options_from_environment(options, error))
        return false;
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
