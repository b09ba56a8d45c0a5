// Shared by the in-process tests of the spine: each case starts from an empty window system on
// a virtual clock with the spine's state cleared, and may make svrun32's main window.
#pragma once
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/menu.h"
#include "platform/window/message.h"
#include "platform/backend/script.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/app/app.h"
#include "runtime/app/app_dispatch.h"
#include "runtime/app/app_window.h"
#include "runtime/files/err.h"
#include "runtime/files/msg.h"
#include "runtime/pieces/piece_hooks.h"
#include "tests/wintest/wintest_support.h"

class AppFixture : public testing::Test {
protected:
    void SetUp() override
    {
        // The settings file and the error log stay inside the test's own folder.
        ASSERT_FALSE(scratch.path().empty());
        setenv("STORVEL_WINDOWS_DIR", scratch.path().c_str(), 1);
        reset_all();
    }
    void TearDown() override
    {
        reset_all();
        unsetenv("STORVEL_WINDOWS_DIR");
    }

    wintest::ScratchFolder scratch{"svrun32-app"};

    static void reset_all()
    {
        plat::backend_set(nullptr);
        plat::clock_reset();
        plat::clock_use_virtual(1000, 0);
        plat::window_system_reset();
        plat::message_queue_reset();
        plat::script_reset();
        plat::menu_reset();
        plat::keyboard_reset();
        plat::keyboard_set_layout(plat::KeyboardLayout::us);
        app_set_step_observer(nullptr);
        app_reset();
        err_reset();
        msg_reset();
        // The engine's quit reaches the program's close road as start-up lends it.
        PieceHooks hooks {};
        hooks.main_window = app_main_window;
        hooks.request_quit = app_request_quit;
        piece_set_hooks(&hooks);
    }

    // The main window as start-up makes it, with its system menu.
    plat::WindowHandle make_main_window()
    {
        EXPECT_EQ(app_register_main_window(plat::SW_SHOWNORMAL), 1);
        EXPECT_EQ(app_sysmenu_init(), 1);
        return app_main_window();
    }

    // Whether a message of that number waits for the window, left in the queue.
    static bool waiting(plat::WindowHandle window, uint32_t message)
    {
        plat::Msg msg;
        return plat::peek_message(msg, window, message, message, plat::PM_NOREMOVE);
    }
};
