// wintest: a small program for end-to-end tests of the window layer. A captioned main window
// (blue) holds a panel (red; a click turns it green and back) and shows a black square for
// each character typed; a tool window (yellow) sits beside it; a timer ticks three times. It
// logs what it sees to the event log (each place a drag of its caption takes the main window
// through, too), so a script can check the program's reactions. For tests between programs it
// answers WM_USER+1 with wParam + lParam and WM_COPYDATA with its byte count; WM_USER+2 makes
// it send WM_USER+1 with the same parameters back to the sender's main window; WM_USER+3 keeps
// it busy for wParam ms of real time; WM_USER+4 keeps it busy for 300 ms (so that the sender's
// next send waits), then sends as WM_USER+2 does, crossing that send; WM_USER+5 logs the name of the global atom in wParam. Started with "--menu" the
// main window has a menu bar: File (Toggle panel, Exit) and Help (About); it logs each command.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/backend/backend.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/menu.h"
#include "platform/kernel/atom.h"
#include "platform/kernel/log.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

using namespace plat;

namespace {

constexpr int kPanelId = 10;
constexpr uintptr_t kTickTimer = 1;
constexpr int kTicksWanted = 3;
constexpr uint32_t kTogglePanel = 1;
constexpr uint32_t kExit = 2;
constexpr uint32_t kAbout = 3;

struct App {
    WindowHandle main;
    WindowHandle panel;
    WindowHandle tool;
    bool panel_green = false;
    bool dragged = false; // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
    int ticks = 0;
    std::string typed;
};

App s_app;

void note(const std::string& text) { log_event("wintest: " + text); }

std::string point_text(LParam lparam)
{
    return std::to_string(get_x_lparam(lparam)) + "," + std::to_string(get_y_lparam(lparam));
}

void fill(DcHandle dc, const Rect& rect, uint32_t color)
{
    GdiObject brush = create_solid_brush(color);
    fill_rect(dc, rect, brush);
    delete_object(brush);
}

void paint_main(WindowHandle window)
{
    PaintStruct paint;
    DcHandle dc = begin_paint(window, paint);
    fill(dc, Rect{200, 20, 380, 120}, rgb(255, 255, 255));
    for (size_t i = 0; i < s_app.typed.size(); i++) {
        int32_t x = 10 + int32_t(i) * 12;
        fill(dc, Rect{x, 200, x + 8, 208}, rgb(0, 0, 0));
    }
    end_paint(window, paint);
}

void on_char(WindowHandle window, WParam wparam)
{
    char c = char(wparam);
    if (c == '\r') {
        note("typed \"" + s_app.typed + "\"");
        return;
    }
    s_app.typed += c;
    note(std::string("char ") + c);
    invalidate_rect(window, nullptr, true);
}

// Each step of a drag is logged, so that a test can see the window never jump back.
void note_place(WindowHandle window, const char* what)
{
    Rect rect;
    get_window_rect(window, rect);
    note(std::string("main ") + what + " " + std::to_string(rect.left) + "," + std::to_string(rect.top));
}

void on_timer(WindowHandle window)
{
    s_app.ticks++;
    note("tick " + std::to_string(s_app.ticks));
    if (s_app.ticks == kTicksWanted)
        kill_timer(window, kTickTimer);
}

constexpr uint32_t kAdd = WM_USER + 1;
constexpr uint32_t kSendBack = WM_USER + 2;
constexpr uint32_t kStayBusy = WM_USER + 3;
constexpr uint32_t kCross = WM_USER + 4;
constexpr uint32_t kAtomName = WM_USER + 5;

struct SenderSearch {
    uint32_t pid = 0;
    WindowHandle found;
};

bool is_senders_main(WindowHandle window, LParam lparam)
{
    auto* search = reinterpret_cast<SenderSearch*>(lparam);
    uint32_t pid = 0;
    char name[64];
    get_window_thread_process_id(window, &pid);
    if (pid != search->pid || !get_class_name(window, name, sizeof name) || std::strcmp(name, "WinTestMain") != 0)
        return true;
    search->found = window;
    return false;
}

// Sends WM_USER+1 to the main window of the program the message came from.
LResult send_to_sender(WParam wparam, LParam lparam)
{
    SenderSearch search;
    search.pid = get_message_sender_process();
    if (search.pid)
        enum_windows(is_senders_main, reinterpret_cast<LParam>(&search));
    return search.found ? send_message(search.found, kAdd, wparam, lparam) : -1;
}

void stay_busy(WParam ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
    }
}

constexpr WParam kCrossBusyMs = 300;

// The sender is left to end by itself: closing it from here would race with what its script
// does after the crossing send (a close that arrives first ends it before its next command).
void cross(WParam wparam, LParam lparam)
{
    stay_busy(kCrossBusyMs);
    note("crossed, answered " + std::to_string(send_to_sender(wparam, lparam)));
}

LResult on_copy_data(LParam lparam)
{
    auto* data = reinterpret_cast<const CopyDataStruct*>(lparam);
    return data ? LResult(data->cb_data) : 0;
}

void note_atom(WParam atom)
{
    char name[300];
    if (global_get_atom_name(Atom(atom), name, sizeof name))
        note(std::string("atom ") + name);
    else
        note("no atom " + std::to_string(atom));
}

void on_command(WindowHandle window, WParam wparam)
{
    note("command " + std::to_string(loword(wparam)));
    if (loword(wparam) == kTogglePanel) {
        s_app.panel_green = !s_app.panel_green;
        invalidate_rect(s_app.panel, nullptr, false);
    } else if (loword(wparam) == kExit) {
        post_message(window, WM_CLOSE, 0, 0);
    }
}

MenuHandle make_menu_bar()
{
    MenuHandle file = create_popup_menu();
    append_menu(file, MF_STRING, kTogglePanel, "&Toggle panel\tF2");
    append_menu(file, MF_SEPARATOR, 0, nullptr);
    append_menu(file, MF_STRING, kExit, "E&xit");
    MenuHandle help = create_popup_menu();
    append_menu(help, MF_STRING, kAbout, "&About");
    MenuHandle bar = create_menu();
    append_menu(bar, MF_POPUP, file.id, "&File");
    append_menu(bar, MF_POPUP, help.id, "&Help");
    return bar;
}

LResult main_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case kAdd: return LResult(wparam) + lparam;
    case kSendBack: return send_to_sender(wparam, lparam);
    case kStayBusy: stay_busy(wparam); return 0;
    case kCross: cross(wparam, lparam); return 0;
    case kAtomName: note_atom(wparam); return 0;
    case WM_COPYDATA: return on_copy_data(lparam);
    case WM_COMMAND: on_command(window, wparam); return 0;
    case WM_PAINT: paint_main(window); return 0;
    case WM_CHAR: on_char(window, wparam); return 0;
    case WM_KEYDOWN:
        if (wparam == VK_F5)
            note("key F5");
        return 0;
    case WM_TIMER: on_timer(window); return 0;
    case WM_ENTERSIZEMOVE: s_app.dragged = true; return 0;
    case WM_MOVE:
        if (s_app.dragged)
            note_place(window, "moving to");
        return 0;
    case WM_EXITSIZEMOVE:
        s_app.dragged = false;
        note_place(window, "moved to");
        return 0;
    case WM_LBUTTONDOWN: note("main click " + point_text(lparam)); return 0;
    case WM_RBUTTONDOWN: note("main right click " + point_text(lparam)); return 0;
    case WM_CLOSE: note("close requested"); break;
    case WM_DESTROY:
        note("bye after " + std::to_string(s_app.ticks) + " ticks");
        post_quit_message(0);
        return 0;
    default: break;
    }
    return def_window_proc(window, message, wparam, lparam);
}

LResult panel_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_PAINT: {
        PaintStruct paint;
        DcHandle dc = begin_paint(window, paint);
        Rect client;
        get_client_rect(window, client);
        fill(dc, client, s_app.panel_green ? rgb(0, 255, 0) : rgb(255, 0, 0));
        end_paint(window, paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
        note("panel click " + point_text(lparam));
        s_app.panel_green = !s_app.panel_green;
        invalidate_rect(window, nullptr, false);
        return 0;
    case WM_LBUTTONDBLCLK: note("panel double click"); return 0;
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

LResult tool_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_LBUTTONDOWN)
        note("tool click " + point_text(lparam));
    return def_window_proc(window, message, wparam, lparam);
}

bool register_classes()
{
    WindowClass main_class;
    main_class.proc = main_proc;
    main_class.class_name = "WinTestMain";
    main_class.background = create_solid_brush(rgb(0, 0, 255));
    WindowClass panel_class;
    panel_class.style = CS_DBLCLKS;
    panel_class.proc = panel_proc;
    panel_class.class_name = "WinTestPanel";
    WindowClass tool_class;
    tool_class.proc = tool_proc;
    tool_class.class_name = "WinTestTool";
    tool_class.background = create_solid_brush(rgb(255, 255, 0));
    return register_class(main_class) && register_class(panel_class) && register_class(tool_class);
}

bool create_windows(bool with_menu)
{
    MenuHandle bar = with_menu ? make_menu_bar() : MenuHandle();
    s_app.main = create_window_ex(0, "WinTestMain", "Win Test", WS_OVERLAPPEDWINDOW, 100, 80, 400, 300,
        {}, bar.id, {}, nullptr);
    if (!s_app.main)
        return false;
    s_app.panel = create_window_ex(0, "WinTestPanel", "", WS_CHILD | WS_VISIBLE, 20, 20, 120, 80,
        s_app.main, kPanelId, {}, nullptr);
    s_app.tool = create_window_ex(WS_EX_TOOLWINDOW, "WinTestTool", "Tools",
        WS_POPUP | WS_CAPTION | WS_SYSMENU, 560, 80, 160, 120, s_app.main, 0, {}, nullptr);
    if (!s_app.panel || !s_app.tool)
        return false;
    show_window(s_app.main, SW_SHOW);
    update_window(s_app.main);
    show_window(s_app.tool, SW_SHOWNA);
    set_timer(s_app.main, kTickTimer, 250, nullptr);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    bool with_menu = argc > 1 && std::strcmp(argv[1], "--menu") == 0;
    std::string error;
    if (!backend_start_from_environment(error)) {
        std::fprintf(stderr, "wintest: %s\n", error.c_str());
        return 2;
    }
    if (!register_classes() || !create_windows(with_menu)) {
        std::fprintf(stderr, "wintest: cannot make the windows\n");
        return 1;
    }
    Msg msg;
    int got = 0;
    while ((got = get_message(msg)) > 0) {
        translate_message(msg);
        dispatch_message(msg);
    }
    note(got == 0 ? "quit" : "run ended");
    return got == 0 ? int(msg.wparam) : 3;
}
