// Shared by the window layer's tests: a fixture that starts each case with an empty window
// system on a virtual clock, and a window class whose procedure records every message as
// "<label> <WM_NAME>" so that tests compare message orders as readable lists.
#pragma once
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/message.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/backend/script.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

namespace wintest {

using namespace plat;

struct MessageName {
    uint32_t message;
    const char* name;
};

inline const char* message_name(uint32_t message)
{
    static const MessageName kNames[] = {
        {WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"}, {WM_MOVE, "WM_MOVE"},
        {WM_SIZE, "WM_SIZE"}, {WM_ACTIVATE, "WM_ACTIVATE"}, {WM_SETFOCUS, "WM_SETFOCUS"},
        {WM_KILLFOCUS, "WM_KILLFOCUS"}, {WM_ENABLE, "WM_ENABLE"}, {WM_SETTEXT, "WM_SETTEXT"},
        {WM_GETTEXT, "WM_GETTEXT"}, {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"}, {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"}, {WM_QUIT, "WM_QUIT"}, {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"}, {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"},
        {WM_SETCURSOR, "WM_SETCURSOR"}, {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"},
        {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"}, {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
        {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"}, {WM_STYLECHANGING, "WM_STYLECHANGING"},
        {WM_STYLECHANGED, "WM_STYLECHANGED"}, {WM_NCCREATE, "WM_NCCREATE"},
        {WM_NCDESTROY, "WM_NCDESTROY"}, {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
        {WM_NCHITTEST, "WM_NCHITTEST"}, {WM_NCPAINT, "WM_NCPAINT"}, {WM_NCACTIVATE, "WM_NCACTIVATE"},
        {WM_NCMOUSEMOVE, "WM_NCMOUSEMOVE"}, {WM_NCLBUTTONDOWN, "WM_NCLBUTTONDOWN"},
        {WM_NCLBUTTONUP, "WM_NCLBUTTONUP"}, {WM_NCLBUTTONDBLCLK, "WM_NCLBUTTONDBLCLK"},
        {WM_KEYDOWN, "WM_KEYDOWN"}, {WM_KEYUP, "WM_KEYUP"}, {WM_CHAR, "WM_CHAR"},
        {WM_DEADCHAR, "WM_DEADCHAR"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"}, {WM_SYSKEYUP, "WM_SYSKEYUP"},
        {WM_SYSCHAR, "WM_SYSCHAR"}, {WM_SYSDEADCHAR, "WM_SYSDEADCHAR"}, {WM_COMMAND, "WM_COMMAND"},
        {WM_SYSCOMMAND, "WM_SYSCOMMAND"}, {WM_TIMER, "WM_TIMER"}, {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
        {WM_RBUTTONUP, "WM_RBUTTONUP"}, {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
        {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
        {WM_ENTERSIZEMOVE, "WM_ENTERSIZEMOVE"}, {WM_EXITSIZEMOVE, "WM_EXITSIZEMOVE"}, {WM_USER, "WM_USER"}, {WM_USER + 1, "WM_USER+1"},
        {WM_USER + 2, "WM_USER+2"}, {WM_APP, "WM_APP"},
    };
    for (const MessageName& row : kNames) {
        if (row.message == message)
            return row.name;
    }
    return "WM_?";
}

class WindowTest;
inline WindowTest* g_window_test = nullptr;

class WindowTest : public testing::Test {
protected:
    // Messages recorded by default; a test lists more with record().
    std::set<uint32_t> quiet{WM_NCHITTEST, WM_SETCURSOR, WM_GETTEXT, WM_GETTEXTLENGTH, WM_NCCALCSIZE,
        WM_GETMINMAXINFO, WM_STYLECHANGING, WM_STYLECHANGED, WM_PARENTNOTIFY, WM_MOUSEMOVE, WM_NCMOUSEMOVE};
    std::vector<std::string> seen;
    std::map<uint32_t, std::string> labels;
    // A test may answer a message itself: return a value to skip the default processing.
    std::function<std::optional<LResult>(WindowHandle, uint32_t, WParam, LParam)> answer;

    void SetUp() override
    {
        g_window_test = this;
        backend_set(nullptr);
        clock_reset();
        clock_use_virtual(1000, 0);
        window_system_reset();
        script_reset();
        WindowClass recorder;
        recorder.style = CS_DBLCLKS;
        recorder.proc = &WindowTest::record_proc;
        recorder.class_name = "Recorder";
        recorder.background = GdiObject(uint32_t(COLOR_WINDOW + 1));
        ASSERT_NE(register_class(recorder), 0);
    }

    void TearDown() override
    {
        window_system_reset();
        backend_set(nullptr);
        clock_reset();
        keyboard_set_layout(KeyboardLayout::us);
        codepage_reset();
        g_window_test = nullptr;
    }

    static LResult record_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
    {
        WindowTest* test = g_window_test;
        if (!test->labels.count(window.id) && !test->pending_label.empty())
            test->labels[window.id] = test->pending_label; // its first message, during creation
        if (!test->quiet.count(message))
            test->seen.push_back(test->label(window) + " " + message_name(message));
        if (test->answer) {
            if (std::optional<LResult> result = test->answer(window, message, wparam, lparam))
                return *result;
        }
        return def_window_proc(window, message, wparam, lparam);
    }

    std::string label(WindowHandle window) const
    {
        auto found = labels.find(window.id);
        return found == labels.end() ? "?" : found->second;
    }

    // Windows get their label before creation messages arrive: the next window made is named.
    WindowHandle make(const std::string& name, uint32_t style, const Rect& rect, WindowHandle parent = {},
        uintptr_t id = 0, uint32_t ex_style = 0)
    {
        pending_label = name;
        WindowHandle window = create_window_ex(ex_style, "Recorder", name.c_str(), style, rect.left, rect.top,
            rect.width(), rect.height(), parent, id, {}, nullptr);
        pending_label.clear();
        return window;
    }

    WindowHandle make_top(const std::string& name, const Rect& rect = Rect{100, 100, 400, 300},
        uint32_t style = WS_OVERLAPPEDWINDOW | WS_VISIBLE)
    {
        return make(name, style, rect);
    }

    WindowHandle make_child(const std::string& name, WindowHandle parent, const Rect& rect, uintptr_t id = 1,
        uint32_t style = WS_CHILD | WS_VISIBLE)
    {
        return make(name, style, rect, parent, id);
    }

    // Takes and dispatches everything waiting, paints and due timers included.
    void pump()
    {
        Msg msg;
        for (int guard = 0; guard < 10000 && peek_message(msg, PM_REMOVE); guard++) {
            translate_message(msg);
            dispatch_message(msg);
        }
    }

    // A pixel of a window's client area as it stands in its top-level window's surface.
    static uint32_t client_pixel(WindowHandle window, int32_t x, int32_t y)
    {
        DcHandle dc = get_dc(window);
        DcTarget target;
        uint32_t pixel = 0xDEADBEEF;
        if (dc_target(dc, target))
            pixel = surface_get_pixel(*target.surface, target.origin.x + x, target.origin.y + y);
        release_dc(window, dc);
        return pixel;
    }

    static void fill_client(WindowHandle window, uint32_t color)
    {
        DcHandle dc = get_dc(window);
        GdiObject brush = create_solid_brush(color);
        fill_rect(dc, Rect{0, 0, 10000, 10000}, brush);
        delete_object(brush);
        release_dc(window, dc);
    }

    std::vector<std::string> take_seen()
    {
        std::vector<std::string> out;
        out.swap(seen);
        return out;
    }

    std::string pending_label;
};

} // namespace wintest
