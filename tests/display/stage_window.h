// Shared by the tests that paint through the refresh: a headless desktop of 640 x 480 with one
// visible popup window as the stage, left validated so that only the refresh paints it.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/backend/headless.h"
#include "platform/window/defproc.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "platform/backend/backend.h"
#include "platform/backend/script.h"
#include "platform/kernel/clock.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/engine/modbus.h"

namespace disptest {

// The stage window of the given size; null (with a test failure) when the desktop cannot start.
inline plat::WindowHandle open_stage_window(const char* class_name, int32_t width, int32_t height)
{
    plat::HeadlessOptions options;
    options.screen = plat::Size{640, 480};
    std::string error;
    if (!plat::headless_start_with(options, {}, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    plat::WindowClass stage_class;
    stage_class.proc = plat::def_window_proc;
    stage_class.class_name = class_name;
    plat::register_class(stage_class);
    plat::WindowHandle window = plat::create_window_ex(0, class_name, "Stage", plat::WS_POPUP | plat::WS_VISIBLE, 0,
        0, width, height, {}, 0, {}, nullptr);
    if (window)
        plat::validate_rect(window, nullptr); // painting is the refresh's business here
    return window;
}

// The stage window with the display modules started afresh on it, as a piece's window is.
inline plat::WindowHandle open_fresh_stage(const char* class_name, int32_t width, int32_t height)
{
    plat::WindowHandle window = open_stage_window(class_name, width, height);
    if (!window)
        return {};
    dlist_reset();
    dobj_reset();
    dobj_icon_reset();
    screen_reset();
    pal_reset();
    exec_clear_error_flags();
    screen_init();
    screen_set_window(window);
    return window;
}

// Frees what is still shown and closes the desktop the stage stood on.
inline void close_fresh_stage(plat::WindowHandle window)
{
    dobj_erase_all();
    dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
    dlist_reset();
    screen_reset();
    dobj_reset();
    plat::destroy_window(window);
    plat::script_reset();
    plat::backend_set(nullptr);
    plat::clock_use_real();
}

} // namespace disptest
