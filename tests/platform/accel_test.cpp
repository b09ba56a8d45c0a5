// Accelerator tables: the test resources' table MAIN turns keys into commands.
#include "platform/window/accel.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

struct AccelCase {
    const char* name;
    uint32_t message;
    uint32_t key;
    std::vector<int> held; // virtual keys down
    uint16_t command; // 0: not an accelerator
};
static const AccelCase kAccelCases[] = {
    {"Ctrl+O as its control character", WM_CHAR, 0x0F, {}, 101},
    {"Alt+o as a system character", WM_SYSCHAR, 'o', {}, 102},
    {"o without Alt is typed", WM_CHAR, 'o', {}, 0},
    {"F1", WM_KEYDOWN, VK_F1, {}, 103},
    {"Shift+F1 is another key", WM_KEYDOWN, VK_F1, {VK_SHIFT}, 0},
    {"F1's release", WM_KEYUP, VK_F1, {}, 0},
    {"Ctrl+Shift+S", WM_KEYDOWN, 'S', {VK_CONTROL, VK_SHIFT}, 104},
    {"Ctrl+S lacks Shift", WM_KEYDOWN, 'S', {VK_CONTROL}, 0},
    {"Delete", WM_KEYDOWN, 0x2E, {}, 106},
    {"Alt+Delete is another key", WM_SYSKEYDOWN, 0x2E, {}, 0},
};

TEST_F(WindowTest, AcceleratorsSendTheirCommandsForTheirKeysOnly)
{
    AccelHandle table = load_accelerators({}, "MAIN");
    ASSERT_TRUE(table);
    EXPECT_FALSE(load_accelerators({}, "NOSUCHTABLE"));
    WindowHandle window = make_top("W");
    pump();
    std::vector<uint32_t> commands;
    answer = [&](WindowHandle, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (message == WM_COMMAND)
            commands.push_back(uint32_t(wparam));
        return std::nullopt;
    };
    for (const AccelCase& row : kAccelCases) {
        SCOPED_TRACE(row.name);
        uint8_t state[256] = {};
        for (int vk : row.held)
            state[vk] = 0x80;
        set_keyboard_state(state);
        commands.clear();
        Msg msg;
        msg.hwnd = window;
        msg.message = row.message;
        msg.wparam = row.key;
        EXPECT_EQ(translate_accelerator(window, table, msg), row.command != 0);
        EXPECT_EQ(commands, row.command ? std::vector<uint32_t> {1u << 16 | row.command} : std::vector<uint32_t> {});
    }
    accel_reset();
    Msg f1;
    f1.hwnd = window;
    f1.message = WM_KEYDOWN;
    f1.wparam = VK_F1;
    EXPECT_FALSE(translate_accelerator(window, table, f1)); // the table is gone
}

} // namespace
