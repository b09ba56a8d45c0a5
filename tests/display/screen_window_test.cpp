#include "runtime/display/screen_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/backend/script.h"
#include "platform/gdi/region.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/base/key.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/modbus.h"

namespace {

constexpr Rect kStage{0, 0, 320, 240};

// What reached the services around the handler, in order.
struct Seen {
    std::vector<std::string> calls;
    std::vector<KeyEvent> keys;
    std::vector<int> modules;
    int relay_answers = 0;
    bool dead_key = false;
    bool close_on_click = false;
};
Seen* g_seen = nullptr;

void note(const std::string& text) { g_seen->calls.push_back(text); }
std::string point_text(const char* name, int32_t x, int32_t y)
{
    return std::string(name) + " " + std::to_string(x) + "," + std::to_string(y);
}

plat::LResult stage_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    plat::LResult result = 0;
    if (window == screen_window() && screen_window_message(window, message, wparam, lparam, result))
        return result;
    return plat::def_window_proc(window, message, wparam, lparam);
}

plat::LResult sender_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    if (message == kMsgRelayMouseAnswer)
        g_seen->relay_answers++;
    return plat::def_window_proc(window, message, wparam, lparam);
}

int recording_module(ModuleMessage* message)
{
    g_seen->modules.push_back(message->message);
    return 0;
}

class ScreenWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::HeadlessOptions options;
        options.screen = plat::Size{640, 480};
        std::string error;
        // A script that ended would close the program: this one waits longer than any case.
        plat::ScriptCommand wait;
        wait.ms = 3600000;
        ASSERT_TRUE(plat::headless_start_with(options, {wait}, error)) << error;
        register_window_class("ScreenWindowStage", stage_proc);
        register_window_class("ScreenWindowSender", sender_proc);
        window = plat::create_window_ex(0, "ScreenWindowStage", "Stage", plat::WS_POPUP | plat::WS_VISIBLE, 100, 50,
            kStage.right, kStage.bottom, {}, 0, {}, nullptr);
        sender = plat::create_window_ex(0, "ScreenWindowSender", "Sender", plat::WS_POPUP | plat::WS_VISIBLE, 500, 300,
            50, 50, {}, 0, {}, nullptr);
        ASSERT_TRUE(window && sender);
        dlist_reset();
        dobj_reset();
        screen_reset();
        pal_reset();
        screen_window_reset();
        screen_init();
        screen_set_window(window);
        plat::set_active_window(window);
        // Nothing waits: the windows need no paint, and what their creation posted is gone.
        plat::validate_rect(window, nullptr);
        plat::validate_rect(sender, nullptr);
        plat::Msg msg;
        for (int i = 0; i < 100 && plat::peek_message(msg, plat::PM_REMOVE); i++) {
        }
        g_seen = &seen;
        install_hooks();
        modmsg_register(kSlotKernel, exec_kernel_module);
        modmsg_register(kSlotVideo, recording_module);
        exec_set_records_open(1);
    }
    void TearDown() override
    {
        modmsg_suspend_all(1);
        modmsg_reset();
        exec_kernel_reset_all();
        screen_window_reset();
        dlist_reset();
        screen_reset();
        dobj_reset();
        g_seen = nullptr;
        plat::window_system_reset();
        plat::script_reset();
        plat::backend_set(nullptr);
        plat::clock_set_wait_hook(nullptr);
        plat::clock_use_real();
    }

    static void register_window_class(const char* name, plat::WindowProc proc)
    {
        plat::WindowClass window_class;
        window_class.proc = proc;
        window_class.class_name = name;
        plat::register_class(window_class);
    }
    static void install_hooks()
    {
        ScreenWindowHooks hooks{};
        hooks.request_close = [] { note("close"); };
        hooks.dead_key_pending = [] { return g_seen->dead_key ? 1 : 0; };
        hooks.resp_mouse_move = [](int32_t x, int32_t y) { note(point_text("move", x, y)); };
        hooks.resp_mouse_down = [](int32_t x, int32_t y, int twice) {
            note(point_text(twice ? "double" : "down", x, y));
            if (g_seen->close_on_click)
                plat::destroy_window(screen_window());
        };
        hooks.resp_mouse_up = [](int32_t x, int32_t y) { note(point_text("up", x, y)); };
        hooks.resp_track_other_buttons = [](uint32_t message, int32_t x, int32_t y) {
            note(point_text(("other " + std::to_string(message)).c_str(), x, y));
        };
        hooks.exec_key_post = [](const KeyEvent& event) { g_seen->keys.push_back(event); };
        screen_set_window_hooks(hooks);
    }

    plat::LResult send(uint32_t message, plat::WParam wparam = 0, plat::LParam lparam = 0)
    {
        return plat::send_message(window, message, wparam, lparam);
    }
    // A relayed mouse message of size bytes, from the window with the id.
    plat::LResult relay(uint32_t message, int16_t x, int16_t y, uint32_t size, uint32_t from)
    {
        uint8_t data[kRelayMouseSize] = {};
        plat::store_u16le(data, uint16_t(message));
        plat::store_u16le(data + 2, 1); // MK_LBUTTON
        plat::store_u16le(data + 4, uint16_t(x));
        plat::store_u16le(data + 6, uint16_t(y));
        plat::CopyDataStruct copy;
        copy.dw_data = kCopyDataRelayMouse;
        copy.cb_data = size;
        copy.lp_data = data;
        return send(plat::WM_COPYDATA, from, plat::LParam(&copy));
    }

    plat::WindowHandle window;
    plat::WindowHandle sender;
    Seen seen;
};

TEST_F(ScreenWindowTest, KeysAreQueuedOnlyWhileTheWindowIsActiveAndTheEngineRuns)
{
    send(plat::WM_KEYDOWN, 'A', 1);
    send(plat::WM_SYSKEYDOWN, 'B', 1); // queued as a plain key-down
    send(plat::WM_SYSKEYUP, 'B', 1);
    ASSERT_EQ(seen.keys.size(), 3u);
    EXPECT_EQ(seen.keys[0].kind, kKeyEventDown);
    EXPECT_EQ(seen.keys[1].kind, kKeyEventDown);
    EXPECT_EQ(seen.keys[2].kind, kKeyEventUp);

    seen.dead_key = true; // a key-down waits for the dead key's character; a key-up does not
    send(plat::WM_KEYDOWN, 'C', 1);
    send(plat::WM_KEYUP, 'C', 1);
    EXPECT_EQ(seen.keys.size(), 4u);
    seen.dead_key = false;

    plat::set_active_window(sender);
    send(plat::WM_KEYDOWN, 'D', 1);
    send(plat::WM_CHAR, 'd', 1);
    EXPECT_EQ(seen.keys.size(), 4u);

    plat::set_active_window(window);
    modmsg_suspend_all(0);
    ASSERT_TRUE(exec_suspended());
    send(plat::WM_KEYDOWN, 'E', 1);
    EXPECT_EQ(seen.keys.size(), 4u);
}

struct MouseCase {
    uint32_t message;
    const char* call; // what the response code hears ("" nothing)
};

TEST_F(ScreenWindowTest, MouseMessagesReachTheResponseCodeByButton)
{
    static const MouseCase kCases[] = {
        {plat::WM_MOUSEMOVE, "move 30,-4"},
        {plat::WM_LBUTTONDOWN, "down 30,-4"},
        {plat::WM_LBUTTONUP, "up 30,-4"},
        {plat::WM_LBUTTONDBLCLK, "double 30,-4"},
        {plat::WM_RBUTTONDOWN, "other 516 30,-4"},
        {plat::WM_RBUTTONDBLCLK, "other 518 30,-4"},
        {plat::WM_MBUTTONUP, "other 520 30,-4"},
    };
    for (const MouseCase& row : kCases) {
        SCOPED_TRACE(row.message);
        seen.calls.clear();
        EXPECT_EQ(send(row.message, 0, plat::make_lparam(30, uint32_t(-4))), 0);
        EXPECT_EQ(seen.calls, std::vector<std::string>{row.call});
    }
    modmsg_suspend_all(0);
    seen.calls.clear();
    send(plat::WM_LBUTTONDOWN, 0, plat::make_lparam(1, 1));
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(ScreenWindowTest, AClickThatClosesTheWindowIsSpent)
{
    seen.close_on_click = true;
    plat::LResult result = 7;
    EXPECT_TRUE(screen_window_message(window, plat::WM_LBUTTONDOWN, 0, plat::make_lparam(5, 5), result));
    EXPECT_FALSE(plat::is_window(window));
}

struct RelayCase {
    const char* name;
    uint32_t message;
    uint32_t size;
    bool from_sender; // else from a window that does not exist
    plat::LResult answer;
    const char* call; // "" nothing replayed
};

TEST_F(ScreenWindowTest, RelayedMouseMessagesAreAnsweredAndReplayedAtTheClientPoint)
{
    static const RelayCase kCases[] = {
        {"left press", plat::WM_LBUTTONDOWN, 10, true, 1, "down 20,30"},
        {"longer data", plat::WM_MOUSEMOVE, 16, true, 1, "move 20,30"},
        {"wheel is no mouse message", plat::WM_MOUSEWHEEL, 10, true, 0, ""},
        {"short data", plat::WM_LBUTTONDOWN, 9, true, 0, ""},
        {"sender gone", plat::WM_LBUTTONDOWN, 10, false, 0, ""},
    };
    for (const RelayCase& row : kCases) {
        SCOPED_TRACE(row.name);
        seen.calls.clear();
        seen.relay_answers = 0;
        // The window's client area starts at (100, 50) on the screen.
        plat::LResult answer = relay(row.message, 120, 80, row.size, row.from_sender ? sender.id : 0x7FFF);
        EXPECT_EQ(answer, row.answer);
        EXPECT_EQ(seen.relay_answers, row.answer ? 1 : 0);
        std::vector<std::string> expected;
        if (*row.call)
            expected.push_back(row.call);
        EXPECT_EQ(seen.calls, expected);
    }
}

TEST_F(ScreenWindowTest, PaintGoesThroughTheRefreshAndNothingElseErases)
{
    EXPECT_EQ(send(plat::WM_ERASEBKGND), 1);
    EXPECT_FALSE(screen_refresh_needed());
    plat::LResult result = 0;
    EXPECT_FALSE(screen_window_message(window, plat::WM_NCPAINT, 1, 0, result)); // no region: nothing
    EXPECT_FALSE(screen_refresh_needed());

    // A frame region reaching 10 pixels into the client area damages the stage there.
    plat::GdiObject region = plat::create_rect_rgn(100, 50, 110, 60);
    screen_window_message(window, plat::WM_NCPAINT, region.id, 0, result);
    plat::delete_object(region);
    EXPECT_TRUE(screen_refresh_needed());

    plat::invalidate_rect(window, nullptr, true);
    EXPECT_TRUE(plat::update_window(window));
    EXPECT_FALSE(screen_refresh_needed()); // painted by the refresh
    Rect update;
    EXPECT_FALSE(plat::get_update_rect(window, &update, false));
}

TEST_F(ScreenWindowTest, ActivationShowingAndMovesReachTheModules)
{
    send(plat::WM_SHOWWINDOW, 1); // not after a creation: nothing
    screen_send_first_messages(); // as a piece that opens does
    send(plat::WM_SHOWWINDOW, 1); // only the first one counts
    send(kMsgAppActivation, 1);
    send(kMsgAppActivation, 0);
    send(plat::WM_MOVE);
    EXPECT_EQ(seen.modules, (std::vector<int>{kModWindowShown, kModAppActivate, kModAppDeactivate, kModWindowMoved}));

    modmsg_suspend_all(0);
    seen.modules.clear();
    send(kMsgAppActivation, 1);
    EXPECT_EQ(seen.modules, std::vector<int>{});
}

TEST_F(ScreenWindowTest, CloseAsksTheProgramAndIsAnswered)
{
    plat::LResult result = 5;
    EXPECT_TRUE(screen_window_message(window, plat::WM_CLOSE, 0, 0, result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.calls, std::vector<std::string>{"close"});
    EXPECT_TRUE(plat::is_window(window));
}

TEST_F(ScreenWindowTest, PeekingIgnoresATimerAfterATimer)
{
    EXPECT_EQ(screen_peek_message(1), 0);
    plat::set_timer(window, 2, 1, nullptr);
    // Each empty peek lets a millisecond pass: the timer comes due, and the first WM_TIMER
    // after an empty queue counts.
    int peeks = 1;
    while (peeks < 50 && !screen_peek_message(1))
        peeks++;
    EXPECT_LT(peeks, 50); // timers come 10 ms apart at the least
    EXPECT_EQ(screen_peek_message(1), 0); // the same one seen again: a repeat
    EXPECT_EQ(screen_peek_message(0), 1);
    plat::kill_timer(window, 2);
    plat::post_message(window, plat::WM_USER, 0, 0);
    EXPECT_EQ(screen_peek_message(1), 1);
}

TEST_F(ScreenWindowTest, FlushingInputRemovesOnlyTheKindsAsked)
{
    plat::post_message(window, plat::WM_MOUSEMOVE, 0, 0);
    plat::post_message(window, plat::WM_KEYDOWN, 'A', 0);
    plat::post_message(window, plat::WM_USER, 0, 0);
    screen_flush_input(kFlushMouse);
    std::vector<uint32_t> left;
    plat::Msg msg;
    while (plat::peek_message(msg, window, 0, 0, plat::PM_REMOVE))
        left.push_back(msg.message);
    EXPECT_EQ(left, (std::vector<uint32_t>{plat::WM_KEYDOWN, plat::WM_USER}));

    plat::post_message(window, plat::WM_MOUSEMOVE, 0, 0);
    plat::post_message(window, plat::WM_KEYDOWN, 'A', 0);
    plat::post_message(window, plat::WM_CHAR, 'a', 0);
    screen_flush_input(kFlushMouse | kFlushKeys);
    EXPECT_FALSE(plat::peek_message(msg, plat::PM_REMOVE));
}

TEST_F(ScreenWindowTest, TheCoverLiesOverTheWindowWithoutTakingActivation)
{
    plat::WindowHandle cover = screen_create_cover(window);
    ASSERT_TRUE(cover);
    Rect frame;
    ASSERT_TRUE(plat::get_window_rect(cover, frame));
    EXPECT_EQ(frame, (Rect{100, 50, 421, 291}));
    EXPECT_TRUE(plat::is_window_visible(cover));
    EXPECT_EQ(plat::get_active_window(), window);
    EXPECT_EQ(plat::send_message(cover, plat::WM_ERASEBKGND, 0, 0), 0);
    EXPECT_EQ(plat::send_message(cover, plat::WM_NCHITTEST, 0, 0), 0);
    // The class is registered once; a second cover uses it.
    plat::WindowHandle second = screen_create_cover(window);
    EXPECT_TRUE(second);
    plat::destroy_window(second);
    plat::destroy_window(cover);
}

} // namespace
