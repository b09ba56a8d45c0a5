// Moving a window by dragging its caption, driven the way a person does it: a headless script
// of presses, moves and releases that runs while the program waits.
#include <cstdio>
#include <filesystem>

#include "platform/backend/headless.h"
#include "platform/window/nonclient.h"
#include "platform/kernel/process.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

class MoveTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        moves.clear();
        last_rect.clear();
        answer = [this](WindowHandle window, uint32_t message, WParam wparam, LParam lparam) {
            note(window, message, wparam, lparam);
            return std::optional<LResult>{};
        };
    }

    void TearDown() override
    {
        process_reset();
        WindowTest::TearDown();
    }

    // The moving and what surrounds it, as "<label> <what>"; WM_MOVE with the client origin.
    void note(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
    {
        std::string what;
        switch (message) {
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE)
                running = false; // the end of the script closes the program
            what = "sys " + hex(uint32_t(wparam));
            break;
        case WM_ENTERSIZEMOVE: what = "enter"; break;
        case WM_EXITSIZEMOVE: what = "exit"; break;
        case WM_WINDOWPOSCHANGING: what = "changing"; break;
        case WM_MOVE: what = "move " + std::to_string(get_x_lparam(lparam)) + "," + std::to_string(get_y_lparam(lparam)); break;
        case WM_CAPTURECHANGED: what = "capture lost"; break;
        case WM_ACTIVATE:
            if (loword(wparam) == WA_INACTIVE)
                return;
            what = "activated";
            break;
        case WM_DESTROY: get_window_rect(window, last_rect[label(window)]); return;
        default: return;
        }
        if (running)
            moves.push_back(label(window) + " " + what);
    }

    static std::string hex(uint32_t value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%X", value);
        return text;
    }

    // Runs the script as a program's loop would, until the end of the script closes it; then
    // last_rect holds where each window ended.
    void run(const std::string& script)
    {
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(script, commands, error)) << error;
        ASSERT_TRUE(headless_start_with(HeadlessOptions{}, commands, error)) << error;
        running = true;
        Msg msg;
        for (int guard = 0; guard < 100000 && get_message(msg) > 0; guard++) {
            translate_message(msg);
            dispatch_message(msg);
        }
        running = false;
        for (const auto& [id, name] : labels) {
            if (is_window(WindowHandle(id)))
                get_window_rect(WindowHandle(id), last_rect[name]);
        }
    }

    // A press at offset from the window's top-left, moves along the travel, a release.
    static std::string drag_script(WindowHandle window, Point offset, const std::vector<Point>& travels)
    {
        Rect rect;
        get_window_rect(window, rect);
        Point at{rect.left + offset.x, rect.top + offset.y};
        std::string script = "down " + text(at) + "\n";
        Point last = at;
        for (Point travel : travels) {
            last = Point{at.x + travel.x, at.y + travel.y};
            script += "move " + text(last) + "\n";
        }
        return script + "up " + text(last) + "\n";
    }

    static std::string text(Point p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

    Seen moves;
    bool running = false;
    std::map<std::string, Rect> last_rect; // as each window was when it was destroyed
};

// The caption: 4..21 down from the top, the system menu box up to x 21.
constexpr Point kOnCaption{30, 10};

enum class Setup { plain, maximised, child };

struct DragCase {
    const char* name;
    uint32_t style;
    uint32_t ex_style;
    Setup setup;
    Point travel;
    Point shift; // of the window's screen rectangle
};

// Screen 1024 x 768; the window starts at (100, 100), 300 x 200, its caption bar at 4..296
// across and 4..22 down, pressed at (30, 10).
static const DragCase kDragCases[] = {
    {"an overlapped window follows the pointer", WS_OVERLAPPEDWINDOW, 0, Setup::plain, {60, 40}, {60, 40}},
    {"a popup with a caption moves too", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, Setup::plain, {-50, 30}, {-50, 30}},
    {"a tool window moves", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW, Setup::plain, {5, -7}, {5, -7}},
    {"a press without travel moves nothing", WS_OVERLAPPEDWINDOW, 0, Setup::plain, {0, 0}, {0, 0}},
    {"a maximised window stays", WS_OVERLAPPEDWINDOW, 0, Setup::maximised, {60, 40}, {0, 0}},
    {"a child window with a caption stays", WS_CHILD | WS_CAPTION | WS_SYSMENU, 0, Setup::child, {60, 40}, {0, 0}},
    // The pointer stops at the screen's edge; the caption itself must stay wholly below the
    // top (the pointer alone would leave its top 6 rows above the screen) ...
    {"the caption stays below the screen's top", WS_OVERLAPPEDWINDOW, 0, Setup::plain, {0, -300}, {0, -104}},
    // ... wholly above the bottom (768 - 18 - 4) ...
    {"the caption stays above the screen's bottom", WS_OVERLAPPEDWINDOW, 0, Setup::plain, {0, 1000}, {0, 646}},
    // ... and 32 pixels of it inside the right edge (1024 - 32 - 4).
    {"32 pixels of the caption stay on the screen", WS_OVERLAPPEDWINDOW, 0, Setup::plain, {2000, 0}, {888, 0}},
};

TEST_F(MoveTest, DraggingTheCaptionMovesTheWindowByTheTravel)
{
    for (const DragCase& c : kDragCases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        WindowHandle parent;
        if (c.setup == Setup::child)
            parent = make_top("P", Rect{20, 0, 700, 500});
        Rect start{100, 100, 400, 300};
        if (parent) {
            // Placed so that its screen rectangle is the same as the others'.
            Point origin{0, 0};
            client_to_screen(parent, origin);
            offset_rect(start, -origin.x, -origin.y);
        }
        WindowHandle window = make("W", c.style | WS_VISIBLE, start, parent, parent ? 1 : 0, c.ex_style);
        if (c.setup == Setup::maximised)
            show_window(window, SW_MAXIMIZE);
        Rect before;
        get_window_rect(window, before);
        run(drag_script(window, kOnCaption, {Point{c.travel.x / 2, c.travel.y / 2}, c.travel}));
        Rect expected = before;
        offset_rect(expected, c.shift.x, c.shift.y);
        EXPECT_EQ(last_rect["W"], expected);
    }
}

TEST_F(MoveTest, ADragSendsItsMessagesInWin32Order)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    run(drag_script(window, kOnCaption, {Point{10, 5}, Point{30, 20}, Point{30, 20}}));
    // The client area starts at (4, 23) in the window; the last move goes nowhere new.
    EXPECT_EQ(moves, (Seen{"W sys F012", "W enter", "W changing", "W move 114,128", "W changing",
                         "W move 134,143", "W capture lost", "W exit"}));
}

TEST_F(MoveTest, APressWithoutTravelOnlyActivates)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    WindowHandle other = make_top("O", Rect{500, 100, 700, 300});
    set_active_window(other);
    run(drag_script(window, kOnCaption, {}) + "wait 10\n");
    EXPECT_EQ(moves, (Seen{"W activated", "W sys F012", "W capture lost"}));
    EXPECT_EQ(last_rect["W"], (Rect{100, 100, 400, 300}));
}

TEST_F(MoveTest, ADoubleClickOnTheCaptionStillMaximises)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    bool zoomed = false;
    answer = [&](WindowHandle target, uint32_t message, WParam, LParam) {
        if (target == window && message == WM_CLOSE)
            zoomed = is_zoomed(window);
        return std::optional<LResult>{};
    };
    run("dblclick 130 110\n");
    EXPECT_TRUE(zoomed);
}

// A program that takes the capture away ends the drag: the window stops following.
TEST_F(MoveTest, LosingTheCaptureEndsTheDrag)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    answer = [&](WindowHandle target, uint32_t message, WParam wparam, LParam lparam) {
        note(target, message, wparam, lparam);
        if (message == WM_MOVE && running)
            release_capture();
        return std::optional<LResult>{};
    };
    run(drag_script(window, kOnCaption, {Point{10, 5}, Point{30, 20}}));
    EXPECT_EQ(moves, (Seen{"W sys F012", "W enter", "W changing", "W move 114,128", "W capture lost", "W exit"}));
    EXPECT_EQ(last_rect["W"], (Rect{110, 105, 410, 305}));
}

} // namespace
