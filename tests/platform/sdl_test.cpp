#include "platform/backend/sdl.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <gtest/gtest.h>
#include <string>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/backend/script.h"

// Starting SDL's video opens the desktop bus library, which keeps its allocations until the
// process ends; the leak checker of sanitizer builds is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

using namespace plat;

struct ChoiceCase {
    const char* name;
    const char* backend; // PLAT_BACKEND, null: unset
    const char* display; // DISPLAY, null: unset
    const char* script;  // PLAT_SCRIPT, null: unset
    const char* chosen;  // the backend's name, or null when it must fail
    const char* error;   // part of the message when it fails
};

// ":59999" names a display that no server answers.
static const ChoiceCase kChoices[] = {
    {"headless asked for", "headless", ":59999", nullptr, "headless", ""},
    {"no display: headless", nullptr, nullptr, nullptr, "headless", ""},
    {"a display that cannot be opened: headless", nullptr, ":59999", nullptr, "headless", ""},
    {"sdl without a display fails", "sdl", ":59999", nullptr, nullptr, "PLAT_BACKEND=sdl: cannot open the display"},
    {"sdl does not run scripts", "sdl", ":59999", "/nonexistent/run.script", nullptr, "PLAT_SCRIPT: scripts run"},
    {"unknown backend", "x11", nullptr, nullptr, nullptr, "no backend named \"x11\""},
};

class BackendChoice : public testing::Test {
protected:
    void TearDown() override
    {
        for (const char* name : {"PLAT_BACKEND", "PLAT_SCRIPT", "DISPLAY", "WAYLAND_DISPLAY"})
            restore(name);
        backend_set(nullptr);
        clock_reset();
        script_reset();
    }

    void set(const char* name, const char* value)
    {
        if (!saved.count(name)) {
            const char* old = std::getenv(name);
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    void restore(const char* name)
    {
        auto found = saved.find(name);
        if (found == saved.end())
            return;
        if (found->second)
            setenv(name, found->second->c_str(), 1);
        else
            unsetenv(name);
    }

    std::map<std::string, std::optional<std::string>> saved;
};

TEST_F(BackendChoice, PlatBackendAndTheDisplayPickTheBackend)
{
    for (const ChoiceCase& c : kChoices) {
        SCOPED_TRACE(c.name);
        set("PLAT_BACKEND", c.backend);
        set("DISPLAY", c.display);
        set("WAYLAND_DISPLAY", nullptr);
        set("PLAT_SCRIPT", c.script);
        std::string error;
        bool started = backend_start_from_environment(error);
        EXPECT_EQ(started, c.chosen != nullptr) << error;
        if (started && backend_get()) {
            EXPECT_STREQ(backend_get()->name(), c.chosen);
        }
        if (!started) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        backend_set(nullptr);
        clock_reset();
        script_reset();
    }
}

} // namespace
