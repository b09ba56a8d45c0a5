#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/window.h"
#include "runtime/base/mem.h"
#include "runtime/files/util.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct OsCase {
    const char* name;
    uint32_t platform;
    int32_t major, minor;
    int32_t is_nt, is_95, is_98, is_win32s;
    const char* text;
};

TEST(UtilOsVersion, KindAndTextFollowThePlatformAndVersion)
{
    static const OsCase kCases[] = {
        { "Windows 98 shows 4.10 as 4.1", 1, 4, 10, 0, 0, 1, 0, "Windows 98 (4.1)" },
        { "Windows 95", 1, 4, 0, 0, 1, 0, 0, "Windows 95 (4.0)" },
        { "Windows NT 4.0", 2, 4, 0, 1, 0, 0, 0, "Windows NT (4.0)" },
        { "a minor version not divisible by 10", 2, 5, 1, 1, 0, 0, 0, "Windows NT (5.1)" },
        { "Win32s", 0, 3, 11, 0, 0, 0, 1, "Win32s on Windows 3.11" },
    };
    for (const OsCase& c : kCases) {
        SCOPED_TRACE(c.name);
        OsVersionInfo info;
        util_os_version_describe(info, c.platform, c.major, c.minor);
        EXPECT_EQ(info.is_nt, c.is_nt);
        EXPECT_EQ(info.is_95, c.is_95);
        EXPECT_EQ(info.is_98, c.is_98);
        EXPECT_EQ(info.is_win32s, c.is_win32s);
        EXPECT_EQ(info.major, c.major);
        EXPECT_EQ(info.minor, c.minor);
        EXPECT_STREQ(info.text, c.text);
        EXPECT_EQ(info.text_length, int32_t(std::strlen(c.text)));
    }
}

TEST(UtilOsVersion, RuntimeReportsWindowsNt51WithTheNewShell)
{
    util_reset();
    const OsVersionInfo* info = util_os_version();
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->text, "Windows NT (5.1)");
    EXPECT_EQ(util_os_is_nt(), 1);
    EXPECT_EQ(util_os_new_shell(), 1);
    EXPECT_EQ(util_os_new_shell_alt(), 1);
    EXPECT_EQ(util_os_version(), info); // made once, kept
}

TEST(UtilVersionText, VersionProcessorAndDoubleByteParts)
{
    mem_reset();
    char out[128];
    EXPECT_EQ(util_version_text(out, sizeof out, 0), 12);
    EXPECT_STREQ(out, "5.0 (32-bit)");

    std::string with_flag
        = std::string("5.0 (") + (app_mmx_available() ? "MMX(tm) technology" : "32-bit") + ")";
    util_version_text(out, sizeof out, 1);
    EXPECT_EQ(out, with_flag);

    mem_reset();
    app_mmx_set_settings(
        [](char* value, uint32_t size, const char*, const char*, const char*) -> uint32_t {
            return uint32_t(snprintf(value, size, "0")); // the check switched off in the settings
        },
        nullptr);
    util_version_text(out, sizeof out, 1);
    EXPECT_STREQ(out, "5.0 (32-bit)");
    mem_reset();

    {
        TextScope scope(949, "K");
        util_version_text(out, sizeof out, 0);
        EXPECT_STREQ(out, "5.0 (32-bit) (2-byte)");
    }
    EXPECT_EQ(util_version_text(out, 6, 0), 5);
    EXPECT_STREQ(out, "5.0 (");
}

struct ChecksumCase {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t count;
    uint32_t expected;
};

TEST(UtilChecksum, AddsWordsWhileMoreThanFourBytesAreLeft)
{
    static const ChecksumCase kCases[] = {
        { "8 bytes add only the first word", { 0x70, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF }, 8,
            0x12345678 },
        { "4 bytes add nothing", { 1, 2, 3, 4 }, 4, 4 },
        { "no bytes", {}, 0, 0 },
        { "9 bytes read two words", { 0, 1, 0, 0, 0, 0x10, 0, 0, 0xEE }, 9, 0x110D },
        { "6 bytes read the first word only", { 0x10, 0, 0, 0, 0xEE, 0xEE }, 6, 0x16 },
        { "the count is taken as 16 bits", { 0x70, 0x56, 0x34, 0x12, 0, 0, 0, 0 }, 0x10008,
            0x12345678 },
    };
    for (const ChecksumCase& c : kCases) {
        SCOPED_TRACE(c.name);
        // An exact-size copy, so that a read past the count is caught by the sanitizer.
        std::vector<uint8_t> words(c.bytes);
        EXPECT_EQ(util_checksum(words.empty() ? nullptr : words.data(), c.count), c.expected);
    }
}

plat::LResult quiet_proc(
    plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    return plat::def_window_proc(window, message, wparam, lparam);
}

// One visible, focused top-level window at (100, 100)-(500, 400), its client area from
// (104, 123), on a virtual clock, with nothing queued.
class UtilInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::backend_set(nullptr);
        plat::clock_use_virtual(1000, 0);
        plat::window_system_reset();
        plat::WindowClass window_class;
        window_class.proc = quiet_proc;
        window_class.class_name = "UtilInput";
        ASSERT_NE(plat::register_class(window_class), 0);
        top = plat::create_window_ex(0, "UtilInput", "Top",
            plat::WS_OVERLAPPEDWINDOW | plat::WS_VISIBLE, 100, 100, 400, 300, {}, 0, {}, nullptr);
        ASSERT_TRUE(top);
        plat::set_focus(top);
        drain();
    }
    void TearDown() override
    {
        plat::window_system_reset();
        plat::clock_reset();
        util_reset();
    }

    // Takes and dispatches everything waiting; the message numbers taken.
    static std::vector<uint32_t> drain()
    {
        std::vector<uint32_t> taken;
        plat::Msg msg;
        while (taken.size() < 1000 && plat::peek_message(msg, plat::PM_REMOVE)) {
            taken.push_back(msg.message);
            plat::dispatch_message(msg);
        }
        return taken;
    }

    static void key(uint32_t vk, bool down) { plat::input_key(vk, down); }

    plat::WindowHandle top;
};

using Messages = std::vector<uint32_t>;

TEST_F(UtilInputTest, CtrlBreakThrowsAwayQueuedKeysAndClicks)
{
    key(plat::VK_CONTROL, true);
    key(plat::VK_CANCEL, true);
    plat::input_mouse_button(plat::MouseButton::left, true, plat::Point { 200, 200 });
    plat::input_mouse_button(plat::MouseButton::left, false, plat::Point { 200, 200 });
    plat::post_message(top, plat::WM_USER, 0, 0);
    EXPECT_EQ(util_ctrl_break_pressed(), 1);
    EXPECT_EQ(drain(), Messages { plat::WM_USER });
}

TEST_F(UtilInputTest, BreakWithoutCtrlLeavesTheQueueAlone)
{
    key(plat::VK_CANCEL, true);
    plat::input_mouse_button(plat::MouseButton::left, true, plat::Point { 200, 200 });
    EXPECT_EQ(util_ctrl_break_pressed(), 0);
    EXPECT_EQ(drain(), (Messages { plat::WM_KEYDOWN, plat::WM_LBUTTONDOWN }));
}

TEST_F(UtilInputTest, EscapeIsTakenOnlyWhenItIsTheNextKeyDown)
{
    key(plat::VK_ESCAPE, true);
    key(plat::VK_ESCAPE, false);
    EXPECT_EQ(util_escape_pending(top), 1);
    EXPECT_EQ(drain(), Messages { plat::WM_KEYUP });

    key('A', true);
    key(plat::VK_ESCAPE, true);
    EXPECT_EQ(util_escape_pending(top), 0);
    plat::Msg msg;
    ASSERT_TRUE(
        plat::peek_message(msg, top, plat::WM_KEYDOWN, plat::WM_KEYDOWN, plat::PM_NOREMOVE));
    EXPECT_EQ(msg.wparam, plat::WParam('A'));
}

struct ButtonCase {
    const char* name;
    bool held;
    bool release_queued;
    plat::Point release_at;
    int expected;
};

TEST_F(UtilInputTest, LeftButtonCountsAsDownUntilItsReleaseIsQueued)
{
    static const ButtonCase kCases[] = {
        { "held, nothing queued", true, false, {}, 1 },
        { "released in the client area", true, true, { 200, 200 }, 0 },
        { "released on the caption", true, true, { 200, 110 }, 0 },
        { "not held", false, false, {}, 0 },
    };
    for (const ButtonCase& c : kCases) {
        SCOPED_TRACE(c.name);
        uint8_t state[256] = {};
        state[plat::VK_LBUTTON] = c.held ? 0x80 : 0;
        plat::set_keyboard_state(state);
        if (c.release_queued)
            plat::input_mouse_button(plat::MouseButton::left, false, c.release_at);
        EXPECT_EQ(util_left_button_down(), c.expected);
        drain();
    }
}

TEST_F(UtilInputTest, CursorPositionInClientCoordinates)
{
    plat::set_cursor_pos(150, 160);
    drain();
    plat::Point point;
    EXPECT_EQ(util_cursor_client_pos(top, point), 1);
    EXPECT_EQ(point.x, 46);
    EXPECT_EQ(point.y, 37);
    EXPECT_EQ(util_cursor_client_pos(plat::WindowHandle { 0x7777 }, point), 0);
}

TEST_F(UtilInputTest, MessagePendingLooksWithoutTaking)
{
    EXPECT_EQ(util_message_pending(), 0);
    plat::post_message(top, plat::WM_USER, 0, 0);
    EXPECT_NE(util_message_pending(), 0);
    EXPECT_NE(util_message_pending(), 0);
    EXPECT_EQ(drain(), Messages { plat::WM_USER });
}

int g_sound_stops = 0;

TEST_F(UtilInputTest, BeepStopsTheSoundFirst)
{
    g_sound_stops = 0;
    util_beep(); // no sound player yet: only the beep
    util_set_sound_stop([] { g_sound_stops++; });
    util_beep();
    EXPECT_EQ(g_sound_stops, 1);
}

} // namespace
