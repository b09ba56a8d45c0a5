#include "runtime/app/app_test_hook.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/window/defproc.h"
#include "platform/kernel/log.h"
#include "platform/window/window.h"
#include "runtime/app/app.h"
#include "runtime/app/app_test_stage.h"
#include "runtime/files/err.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/msg.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/fhdr.h"
#include "runtime/store/rec_store.h"

using namespace plat;

namespace {

struct HookState {
    bool trace = false;
    std::string fail_step;
    std::string raise_step;
    bool raise_in_loop = false;
    int message = 0;
    int message_argument = 0;
    bool end_session = false;
    std::string hold;
    std::string stage;
    WindowHandle window;
};

HookState s_hook;

constexpr const char* kHookClass = "SvrunTestHook";
constexpr uint32_t kHookRun = WM_APP + 1;
constexpr const char* kHookModule = "apptest";
constexpr int kStepLine = 1;
constexpr int kLoopLine = 2;

} // namespace

static std::string setting(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The learner's records slot holds the file writable, as a records file a piece opened would.
static void hold_file()
{
    constexpr int kRecordsSlot = 23;
    FileSpec* file_spec = nullptr;
    if (fspec_from_path(s_hook.hold.c_str(), &file_spec) == 0
        && rec_open_file(file_spec, kRecordsSlot, kRecOpenWritable, fhdr_check, kKindRecords, kRecAcceptEmpty) == 0) {
        piece_current_set_records(file_spec);
        log_event("svrun32 test: holding " + s_hook.hold);
        return;
    }
    fspec_free(file_spec);
}

static bool observe_step(AppChain chain, const char* step)
{
    // The presentation state's module frees the stage when it is released; a stage shown
    // without it goes with the screen.
    if (!s_hook.stage.empty() && chain == AppChain::release && std::strcmp(step, "pal_free_current") == 0)
        app_test_stage_clear();
    if (s_hook.trace)
        log_event(std::string("svrun32 test: ") + app_chain_name(chain) + " " + step);
    if (!s_hook.hold.empty() && std::strcmp(step, "netprof_init") == 0)
        hold_file();
    if (s_hook.raise_step == step)
        err_internal(kHookModule, kStepLine);
    return s_hook.fail_step != step;
}

static void show_message()
{
    int answer = msg_show(uint32_t(s_hook.message), s_hook.message_argument);
    log_event("svrun32 test: message " + std::to_string(s_hook.message) + " answered " + std::to_string(answer));
}

static void end_session()
{
    WindowHandle main = app_main_window();
    if (send_message(main, WM_QUERYENDSESSION, 0, 0))
        send_message(main, WM_ENDSESSION, 1, 0);
    log_event(std::string("svrun32 test: session ended, released ") + (app_shutdown_done() ? "yes" : "no"));
}

// Runs inside the message loop, as any handler of the program would.
static LResult hook_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message != kHookRun)
        return def_window_proc(window, message, wparam, lparam);
    if (s_hook.raise_in_loop)
        err_internal(kHookModule, kLoopLine);
    if (s_hook.message)
        show_message();
    if (s_hook.end_session)
        end_session();
    if (!s_hook.stage.empty() && !app_test_stage_show(s_hook.stage))
        log_event("svrun32 test: stage not shown");
    return 0;
}

static void install_window()
{
    WindowClass hook_class;
    hook_class.proc = hook_proc;
    hook_class.class_name = kHookClass;
    if (!register_class(hook_class))
        return;
    // Hidden and never active: the script's quit still finds the main window.
    s_hook.window = create_window_ex(0, kHookClass, "", WS_POPUP, 0, 0, 0, 0, {}, 0, {}, nullptr);
    if (s_hook.window)
        post_message(s_hook.window, kHookRun, 0, 0);
}

void app_test_hook_install()
{
    s_hook.trace = setting("STORVEL_TEST_TRACE") == "1";
    s_hook.fail_step = setting("STORVEL_TEST_FAIL");
    s_hook.raise_step = setting("STORVEL_TEST_RAISE");
    s_hook.raise_in_loop = s_hook.raise_step == "loop";
    std::string message = setting("STORVEL_TEST_MESSAGE");
    if (!message.empty()) {
        s_hook.message = std::atoi(message.c_str());
        size_t comma = message.find(',');
        if (comma != std::string::npos)
            s_hook.message_argument = std::atoi(message.c_str() + comma + 1);
    }
    s_hook.end_session = setting("STORVEL_TEST_ENDSESSION") == "1";
    s_hook.hold = setting("STORVEL_TEST_HOLD");
    s_hook.stage = setting("STORVEL_TEST_STAGE");
    if (!s_hook.stage.empty())
        app_test_stage_register_kind();
    if (s_hook.trace || !s_hook.fail_step.empty() || !s_hook.raise_step.empty() || !s_hook.hold.empty()
        || !s_hook.stage.empty())
        app_set_step_observer(observe_step);
    if (s_hook.raise_in_loop || s_hook.message || s_hook.end_session || !s_hook.stage.empty())
        install_window();
}
