// svrun32's entry: picks the platform's backend, then runs the program as its WinMain would,
// with the command line's words joined into one tail.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend/backend.h"
#include "platform/backend/sdl.h"
#include "platform/window/winpos.h"
#include "runtime/app/app.h"
#ifdef STORVEL_TEST_HOOKS
#include "runtime/app/app_test_hook.h"
#endif

static bool is_set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// Without a display the program would run headless with nobody to close it: say so instead,
// unless a headless run was asked for.
static bool backend_start(std::string& error)
{
    if (!is_set("PLAT_BACKEND") && !is_set("PLAT_SCRIPT") && !plat::sdl_display_available()) {
        error = "no display to open the window on (DISPLAY or WAYLAND_DISPLAY); "
                "PLAT_BACKEND=headless runs without one";
        return false;
    }
    return plat::backend_start_from_environment(error);
}

int main(int argc, char** argv)
{
    std::string error;
    if (!backend_start(error)) {
        std::fprintf(stderr, "svrun32: %s\n", error.c_str());
        return 2;
    }
    std::string tail;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            tail += ' ';
        tail += argv[i];
    }
#ifdef STORVEL_TEST_HOOKS
    app_test_hook_install();
#endif
    return app_main(tail.c_str(), plat::SW_SHOWNORMAL);
}
