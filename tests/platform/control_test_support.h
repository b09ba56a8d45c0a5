// Shared by the tests of the standard controls and dialogs: a fixture that starts from an
// empty window system with every control module's state cleared, a parent window ("Host")
// whose procedure writes down each notification its controls send as "<id> <code>", and
// helpers that press keys and click as a person would, through the input queue.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/window/caret.h"
#include "platform/window/clipboard.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_combo.h"
#include "platform/controls/ctl_edit.h"
#include "platform/controls/ctl_listbox.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/controls/ctl_static.h"
#include "platform/window/cursor.h"
#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/backend/headless.h"
#include "platform/gdi/surface.h"
#include "window_test_support.h"

namespace wintest {

// Queues the keys that type text on the US keyboard, Shift around a shifted key; a character
// no key types comes as a character.
inline void queue_typed(const std::string& text)
{
    for (char c : text) {
        uint32_t vk = 0;
        bool shift = false;
        if (!keyboard_key_for_char(uint8_t(c), vk, shift)) {
            input_char(uint8_t(c));
            continue;
        }
        if (shift)
            input_key(VK_SHIFT, true);
        input_key(vk, true);
        input_key(vk, false);
        if (shift)
            input_key(VK_SHIFT, false);
    }
}

class ControlTest;
inline ControlTest* g_control_test = nullptr;

class ControlTest : public WindowTest {
protected:
    std::vector<std::string> notes; // "<id> <code>" of WM_COMMAND, "scroll <code> <pos>", "delete <item> <data>"
    std::vector<DrawItemStruct> draws;  // WM_DRAWITEM as the host saw it
    uint32_t measure_height = 0;        // answered to WM_MEASUREITEM when not 0
    int destroy_on = -1;                // a notification whose sender the host destroys while handling it
    WindowHandle host;

    void SetUp() override
    {
        reset_controls();
        WindowTest::SetUp();
        g_control_test = this;
        WindowClass host_class;
        host_class.proc = &ControlTest::host_proc;
        host_class.class_name = "Host";
        host_class.background = GdiObject(uint32_t(COLOR_BTNFACE + 1));
        ASSERT_NE(register_class(host_class), 0);
        host = create_window_ex(0, "Host", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 400, {}, 0, {}, nullptr);
        ASSERT_TRUE(host);
    }

    void TearDown() override
    {
        g_control_test = nullptr;
        WindowTest::TearDown();
        reset_controls();
    }

    // The window system itself is the base fixture's to reset.
    static void reset_controls()
    {
        static_reset();
        button_reset();
        edit_reset();
        listbox_reset();
        combo_reset();
        scrollbar_reset();
        dialog_reset();
        dlgmgr_reset();
        caret_reset();
        clipboard_reset();
        cursor_reset();
    }

    static LResult host_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
    {
        ControlTest* test = g_control_test;
        switch (message) {
        case WM_COMMAND:
            test->notes.push_back(std::to_string(loword(wparam)) + " " + std::to_string(hiword(wparam)));
            if (test->destroy_on == int(hiword(wparam)))
                destroy_window(WindowHandle(uint32_t(lparam)));
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            test->notes.push_back("scroll " + std::to_string(loword(wparam)) + " " + std::to_string(hiword(wparam)));
            return 0;
        case WM_DRAWITEM:
            test->draws.push_back(*reinterpret_cast<const DrawItemStruct*>(lparam));
            return 1;
        case WM_DELETEITEM: {
            auto* item = reinterpret_cast<const DeleteItemStruct*>(lparam);
            test->notes.push_back("delete " + std::to_string(item->item_id) + " " + std::to_string(item->item_data));
            return 1;
        }
        case WM_MEASUREITEM:
            if (test->measure_height)
                reinterpret_cast<MeasureItemStruct*>(lparam)->item_height = test->measure_height;
            return 1;
        default: return def_window_proc(window, message, wparam, lparam);
        }
    }

    WindowHandle control(const char* class_name, const char* text, uint32_t style, const Rect& rect, int id)
    {
        return create_window_ex(0, class_name, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top, rect.width(),
            rect.height(), host, uintptr_t(id), {}, nullptr);
    }

    std::vector<std::string> take_notes()
    {
        std::vector<std::string> out;
        out.swap(notes);
        return out;
    }

    // Keys through the queue, as typed: "Ctrl+Left" presses Ctrl, then Left.
    void press(const std::string& keys)
    {
        std::vector<uint32_t> vks;
        ASSERT_TRUE(keyboard_parse_combination(keys, vks)) << keys;
        for (uint32_t vk : vks)
            input_key(vk, true);
        for (auto it = vks.rbegin(); it != vks.rend(); ++it)
            input_key(*it, false);
        pump();
    }

    void type(const std::string& text)
    {
        queue_typed(text);
        pump();
    }

    // A click at a point of a window's client area.
    void click(WindowHandle window, int32_t x, int32_t y, bool twice = false)
    {
        Point at{x, y};
        client_to_screen(window, at);
        input_mouse_move(at);
        for (int i = 0; i < (twice ? 2 : 1); i++) {
            input_mouse_button(MouseButton::left, true, at);
            input_mouse_button(MouseButton::left, false, at);
        }
        pump();
    }

    void mouse_down(WindowHandle window, int32_t x, int32_t y)
    {
        Point at{x, y};
        client_to_screen(window, at);
        input_mouse_move(at);
        input_mouse_button(MouseButton::left, true, at);
        pump();
    }

    void mouse_move(WindowHandle window, int32_t x, int32_t y)
    {
        Point at{x, y};
        client_to_screen(window, at);
        input_mouse_move(at);
        pump();
    }

    void mouse_up(WindowHandle window, int32_t x, int32_t y)
    {
        Point at{x, y};
        client_to_screen(window, at);
        input_mouse_button(MouseButton::left, false, at);
        pump();
    }

    static uint32_t sys_pixel(int color) { return pixel_from_colorref(get_sys_color(color)); }

    static std::string text_of(WindowHandle window) { return controls_text(window); }
};

// For tests that run a headless script against the controls and read the event log back: the
// log goes to a scratch folder of the test's own.
class ScriptedControlTest : public ControlTest {
protected:
    std::string folder;

    void SetUp() override
    {
        ControlTest::SetUp();
        char pattern[] = "/tmp/plat-scripted-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        log_close();
        std::filesystem::remove_all(folder);
        ControlTest::TearDown();
    }
    void start_script(const std::string& script)
    {
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(script, commands, error)) << error;
        HeadlessOptions options;
        options.log_path = folder + "/run.log";
        ASSERT_TRUE(headless_start_with(options, commands, error)) << error;
    }
    // The log's lines without their times.
    std::vector<std::string> log_lines()
    {
        std::ifstream file(folder + "/run.log");
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(file, line))
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
};

} // namespace wintest
