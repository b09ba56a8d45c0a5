#include "runtime/app/app.h"

#include <cfenv>
#include <iterator>
#include <string>

#include "platform/kernel/internal_error.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"
#include "runtime/app/app_dispatch.h"
#include "runtime/app/app_window.h"
#include "runtime/files/clock.h"
#include "runtime/files/err.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/ini.h"
#include "runtime/files/netprof.h"
#include "runtime/base/mem.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/pieces/piece_start.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/rec_store.h"
#include "runtime/files/sched.h"
#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/display/bmcache.h"
#include "runtime/icons/icons.h"
#include "runtime/display/font.h"
#include "runtime/display/fontmap.h"
#include "runtime/ui/cursor.h"
#include "runtime/display/palette.h"
#include "runtime/display/pig_stream.h"
#include "runtime/display/refresh.h"
#include "runtime/display/screen_state.h"
#include "runtime/display/screen_window.h"
#include "runtime/display/text_style.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/idle.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/session.h"
#include "runtime/text/charmap.h"
#include "runtime/ui/win_place.h"
#include "runtime/text/intl.h"
#include "runtime/ui/menu.h"
#include "runtime/ui/progress.h"
#include "runtime/ui/winlist.h"

namespace {

struct AppState {
    plat::WindowHandle main_window;
    int close_requested = 0;
    int shutdown_done = 0;
    int quicktime_state = 0;
    std::string command_line;
    int show_command = 0;
    AppStepObserver observer = nullptr;
};

AppState s_app;

enum class StepCheck { required, ignored };

struct InitStep {
    const char* name;
    int (*run)(); // nonzero: started
    StepCheck check;
};

struct ReleaseStep {
    const char* name;
    void (*run)();
};

// Module names and lines of the internal errors that end a failed start-up.
constexpr const char* kStartModule = "main2_w";
constexpr int kInitFailedLine = 241;
constexpr int kInitUiFailedLine = 279;

// How long the loop lets an authoring window react before the window goes.
constexpr uint32_t kClosePauseMs = 1000;

} // namespace

static int note_physical_memory()
{
    mem_note_physical();
    return 1;
}

static int start_text()
{
    str_init();
    return 1;
}

static int create_symbols() { return symdict_create() == 0; }
static int start_locale()
{
    intl_init();
    return 1;
}
static int create_font_map() { return font_map_create() == 0; }
static int create_charset_map() { return str_charmap_init() == 0; }
static void release_charset_map() { str_charmap_term(); }
static int start_settings() { return ini_init(0); } // the authoring target icon comes with its link
static int register_main_window() { return app_register_main_window(s_app.show_command); }
static int start_record_store() { return rec_init(); }
// The main window is the presentation window: the stage is its client area, placed and sized
// from the piece's settings.
static void take_presentation_area(int flags)
{
    plat::WindowHandle window = app_main_window();
    win_apply_compact_metrics();
    win_place_presentation(window, flags ? PlaceWhen::size_changed : PlaceWhen::always);
    screen_set_window(window);
}
static int presentation_exists() { return screen_window() ? 1 : 0; }
static void apply_background() { dobj_set_background_color(pal_background_color()); }
static void release_screen()
{
    screen_release_planes();
    pal_free_current();
}

// The pieces library reaches the program's window and close request through its hooks.
static int start_pieces()
{
    PieceHooks hooks = piece_hooks();
    hooks.main_window = app_main_window;
    hooks.request_quit = app_request_quit;
    hooks.palette_forget_piece = pal_forget_piece_palette;
    hooks.background_apply = apply_background;
    hooks.window_place = take_presentation_area;
    hooks.presentation_exists = presentation_exists;
    hooks.presentation_first_messages = screen_send_first_messages;
    piece_set_hooks(&hooks);
    return pieces_init();
}
// The engine's modules take their slots and its hooks; then every module hears Startup.
static int start_engine()
{
    engine_init();
    icons_install();
    screen_init(); // the display engine's flush and damage serve the engine's hooks
    screen_window_init();
    screen_state_init();
    ScreenWindowHooks window = screen_window_hooks();
    window.request_close = app_request_close;
    window.dead_key_pending = app_dead_key_pending;
    window.win_list_forget = win_list_remove;
    screen_set_window_hooks(window);
    ScreenHooks screen; // the window placement answers for the area before there is a window
    screen.presentation_area = win_content_rect;
    screen_set_hooks(screen);
    ExecHooks hooks = exec_hooks();
    hooks.close_requested = app_close_requested;
    exec_set_hooks(&hooks);
    session_set_pump(app_pump_one_message);
    modmsg_startup();
    return 1;
}
// The menus draw the system item with the program's glyph.
static int start_menus()
{
    MenuHooks hooks;
    hooks.system_bitmap = app_sysmenu_close_bitmap;
    menu_set_hooks(&hooks);
    return menu_init();
}
static int start_bitmap_cache() { return bmcache_init(kBmcacheStartEntries); }
static int start_netprof()
{
    netprof_init(nullptr);
    return 1;
}
static void release_pieces()
{
    pieces_term();
    piece_set_hooks(nullptr);
}
static int start_quicktime()
{
    app_quicktime_start();
    return 1;
}

// Before the recovery point: a failure here ends the program without a word.
static const InitStep kEarlySteps[] = {
    {"mem_note_physical", note_physical_memory, StepCheck::required},
    {"str_init", start_text, StepCheck::required},
    {"symdict_create", create_symbols, StepCheck::required},
    {"intl_init", start_locale, StepCheck::required},
    {"fspec_manager_create", fspec_manager_create, StepCheck::required},
    {"file_init", file_init, StepCheck::required},
};

// Steps of modules that later work builds go in at their place in this order.
static const InitStep kInitSteps[] = {
    {"win_list_init", win_list_init, StepCheck::required},
    {"sched_init", sched_init, StepCheck::required},
    {"ini_init", start_settings, StepCheck::required},
    {"sysfn_build_table", sysfn_build_table, StepCheck::required},
    {"node_files_init", node_files_init, StepCheck::required},
    {"text_styles_init", text_styles_init, StepCheck::required},
    {"list_tables_init", list_tables_init, StepCheck::required},
    {"pal_init_system", pal_init_system, StepCheck::required},
};

static const InitStep kUiSteps[] = {
    {"font_map_create", create_font_map, StepCheck::required},
    {"str_charmap_init", create_charset_map, StepCheck::required},
    {"font_init", font_init, StepCheck::required},
    {"app_register_main_window", register_main_window, StepCheck::required},
    {"app_sysmenu_init", app_sysmenu_init, StepCheck::required},
    {"modmsg_startup", start_engine, StepCheck::ignored},
    {"bmcache_init", start_bitmap_cache, StepCheck::required},
    {"menu_init", start_menus, StepCheck::required},
    {"curs_init", curs_init, StepCheck::required},
    {"pig_tables_init", pig_tables_init, StepCheck::ignored},
    {"rec_init", start_record_store, StepCheck::ignored},
    {"clock_init", clock_init, StepCheck::ignored},
    {"lib_init", start_pieces, StepCheck::required},
    {"lib_list_init", lib_list_init, StepCheck::required},
    {"dlg_progress_register_class", dlg_progress_register_class, StepCheck::required},
    {"app_quicktime_start", start_quicktime, StepCheck::ignored},
    {"netprof_init", start_netprof, StepCheck::ignored},
};

// Each of these accepts a module that never started or is gone already: an internal error
// can come from any start-up step, and the whole chain still runs.
static const ReleaseStep kReleaseSteps[] = {
    {"app_quicktime_stop", app_quicktime_stop},
    {"ini_term", ini_term},
    {"font_term", font_term},
    {"curs_term", curs_term},
    {"sched_term", sched_term},
    {"rec_close_all", rec_close_all},
    {"app_sysmenu_term", app_sysmenu_term},
    {"pal_free_current", release_screen},
    {"win_restore_metrics", win_restore_metrics},
    {"bmcache_free", bmcache_free},
    {"dobj_free_background_brush", dobj_free_background_brush},
    {"pig_tables_free", pig_tables_free},
    {"clock_term", clock_term},
    {"app_close_file_table", app_close_file_table},
    {"text_styles_term", text_styles_term},
    {"lib_term", release_pieces},
    {"node_files_free", node_files_free},
    {"fspec_manager_destroy", fspec_manager_destroy},
    {"str_charmap_term", release_charset_map},
    {"font_map_destroy", font_map_destroy},
    {"list_tables_free", list_tables_free},
    {"symdict_release", symdict_release},
};

struct ChainView {
    const InitStep* init;
    const ReleaseStep* release;
    int count;
};

static ChainView chain_view(AppChain chain)
{
    switch (chain) {
    case AppChain::early: return {kEarlySteps, nullptr, int(std::size(kEarlySteps))};
    case AppChain::init: return {kInitSteps, nullptr, int(std::size(kInitSteps))};
    case AppChain::ui: return {kUiSteps, nullptr, int(std::size(kUiSteps))};
    case AppChain::release: return {nullptr, kReleaseSteps, int(std::size(kReleaseSteps))};
    }
    return {nullptr, nullptr, 0};
}

static bool observer_allows(AppChain chain, const char* step)
{
    return !s_app.observer || s_app.observer(chain, step);
}

// Runs the steps in order; the first required step that fails ends the chain with 0.
static int run_init_chain(AppChain chain)
{
    ChainView view = chain_view(chain);
    for (int i = 0; i < view.count; i++) {
        const InitStep& step = view.init[i];
        int started = observer_allows(chain, step.name) ? step.run() : 0;
        if (!started && step.check == StepCheck::required)
            return 0;
    }
    return 1;
}

int app_init_early() { return run_init_chain(AppChain::early); }

int app_init(const char* command_line)
{
    s_app.command_line = command_line ? command_line : "";
    return run_init_chain(AppChain::init);
}

int app_init_ui(int show_command)
{
    s_app.show_command = show_command;
    return run_init_chain(AppChain::ui);
}

// The chain always runs to its end: a step that raises an internal error has shown its box,
// and the modules after it are still released.
static void release_step(const ReleaseStep& step)
{
    try {
        if (observer_allows(AppChain::release, step.name))
            step.run();
    } catch (const plat::InternalError&) {
    }
}

int app_shutdown(int)
{
    if (s_app.shutdown_done)
        return 0;
    // Set first: nothing that a release step does may start the chain again.
    s_app.shutdown_done = 1;
    for (const ReleaseStep& step : kReleaseSteps)
        release_step(step);
    return 0;
}

int app_shutdown_done() { return s_app.shutdown_done; }

void app_close_file_table() { file_term(); }

void app_quicktime_start()
{
    if (s_app.quicktime_state == 0)
        s_app.quicktime_state = 1;
}

void app_quicktime_stop()
{
    if (s_app.quicktime_state == 2)
        s_app.quicktime_state = 1;
}

int app_quicktime_state() { return s_app.quicktime_state; }

void app_request_close() { s_app.close_requested = 1; }
int app_close_requested() { return s_app.close_requested; }

void app_request_quit()
{
    if (s_app.main_window)
        plat::post_message(s_app.main_window, plat::WM_CLOSE, 0, 0);
}

plat::WindowHandle app_main_window() { return s_app.main_window; }
void app_set_main_window(plat::WindowHandle window) { s_app.main_window = window; }

// The engine's passes after each message. After an end-of-session release no pass runs,
// since the modules it would touch are gone.
static void run_engine_passes()
{
    if (s_app.shutdown_done)
        return;
    exec_run_idle(kAllTaskKinds);
}

// The pause processes no messages: the authoring window gets its second to react.
static void close_main_window()
{
    uint32_t start = clock_now_ms();
    for (uint32_t passed = 0; passed < kClosePauseMs; passed = clock_now_ms() - start)
        plat::clock_wait(kClosePauseMs - passed);
    screen_destroy_window(s_app.main_window);
}

int app_run_message_loop()
{
    plat::Msg msg;
    for (;;) {
        // A failing get_message would fail again at once: the loop ends as on WM_QUIT.
        int got = plat::get_message(msg);
        if (got <= 0)
            return got == 0 ? int(msg.wparam) : 0;
        // Plug-ins and drivers may leave exceptions unmasked; the runtime's maths expects
        // them masked.
        std::fesetenv(FE_DFL_ENV);
        app_dispatch_message(msg);
        run_engine_passes();
        if (s_app.close_requested && s_app.main_window && !s_app.shutdown_done)
            close_main_window();
    }
}

static int start_and_run(const char* command_line, int show_command)
{
    if (!app_init(command_line))
        err_internal(kStartModule, kInitFailedLine);
    if (!app_init_ui(show_command))
        err_internal(kStartModule, kInitUiFailedLine);
    app_open_start_piece(command_line);
    int exit_code = app_run_message_loop();
    app_shutdown(0);
    return exit_code;
}

int app_main(const char* command_line, int show_command)
{
    s_app.close_requested = 0;
    // No recovery point yet: nothing has started that needs releasing.
    try {
        if (!app_init_early())
            return 0;
    } catch (const plat::InternalError&) {
        return 0;
    }
    try {
        return start_and_run(command_line, show_command);
    } catch (const plat::InternalError&) {
    }
    // The recovery point.
    app_shutdown(0);
    return 0;
}

const char* app_chain_name(AppChain chain)
{
    switch (chain) {
    case AppChain::early: return "early";
    case AppChain::init: return "init";
    case AppChain::ui: return "ui";
    case AppChain::release: return "release";
    }
    return "";
}

int app_chain_length(AppChain chain) { return chain_view(chain).count; }

const char* app_chain_step_name(AppChain chain, int index)
{
    ChainView view = chain_view(chain);
    if (index < 0 || index >= view.count)
        return nullptr;
    return view.init ? view.init[index].name : view.release[index].name;
}

void app_set_step_observer(AppStepObserver observer) { s_app.observer = observer; }

void app_reset()
{
    s_app = AppState{};
    app_window_reset();
    app_dispatch_reset();
}
