#include "platform/window/nonclient.h"

#include "platform/kernel/error.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

struct AdjustCase {
    const char* name;
    uint32_t style;
    uint32_t ex_style;
    bool menu;
    Rect expected; // for the client rectangle (0, 0, 100, 50)
};

static const AdjustCase kAdjustCases[] = {
    {"popup without frame", WS_POPUP, 0, false, {0, 0, 100, 50}},
    {"thin border", WS_POPUP | WS_BORDER, 0, false, {-1, -1, 101, 51}},
    {"caption: dialog frame and caption", WS_POPUP | WS_CAPTION, 0, false, {-3, -22, 103, 53}},
    {"sizable overlapped window", WS_OVERLAPPEDWINDOW, 0, false, {-4, -23, 104, 54}},
    {"with a menu", WS_OVERLAPPEDWINDOW, 0, true, {-4, -42, 104, 54}},
    {"tool window caption", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW, false, {-3, -18, 103, 53}},
    {"client edge", WS_CHILD, WS_EX_CLIENTEDGE, false, {-2, -2, 102, 52}},
    {"modal frame without caption bits", WS_POPUP, WS_EX_DLGMODALFRAME, false, {-3, -3, 103, 53}},
};

TEST(NonClient, AdjustWindowRectAddsFrameCaptionAndMenu)
{
    for (const AdjustCase& c : kAdjustCases) {
        SCOPED_TRACE(c.name);
        Rect rect{0, 0, 100, 50};
        adjust_window_rect_ex(rect, c.style, c.menu, c.ex_style);
        EXPECT_EQ(rect, c.expected);
    }
}

class NonClientTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // A sizable window at (100, 100), 300 x 200: frame 4, caption rows 4..21, close box
        // (16 x 14) at x 278..293, y 6..19; maximise and minimise boxes to its left.
        window = make_top("W", Rect{100, 100, 400, 300});
        tool = make("T", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, Rect{500, 100, 600, 200}, {}, 0, WS_EX_TOOLWINDOW);
        set_active_window(window);
        pump();
        take_seen();
    }

    int32_t hit(WindowHandle target, int32_t x, int32_t y)
    {
        return int32_t(send_message(target, WM_NCHITTEST, 0, make_lparam(uint32_t(x), uint32_t(y))));
    }

    WindowHandle window, tool;
};

struct HitCase {
    const char* name;
    Point at; // window coordinates
    int32_t expected;
};

TEST_F(NonClientTest, HitTestingACaptionedSizableWindow)
{
    const HitCase cases[] = {
        {"client", {150, 100}, HTCLIENT},
        {"caption", {150, 10}, HTCAPTION},
        {"close box", {285, 12}, HTCLOSE},
        {"beside the close box", {295, 12}, HTCAPTION},
        {"maximise box", {270, 12}, HTMAXBUTTON},
        {"minimise box", {254, 12}, HTMINBUTTON},
        {"system menu", {8, 12}, HTSYSMENU},
        {"left edge", {1, 100}, HTLEFT},
        {"bottom edge", {150, 198}, HTBOTTOM},
        {"top-left corner", {1, 1}, HTTOPLEFT},
        {"bottom-right corner", {299, 199}, HTBOTTOMRIGHT},
        {"top edge near the right", {290, 1}, HTTOPRIGHT},
        {"outside", {300, 100}, HTNOWHERE},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hit(window, 100 + c.at.x, 100 + c.at.y), c.expected);
    }
}

TEST_F(NonClientTest, HitTestingAToolWindow)
{
    // Dialog frame 3, small caption rows 3..16, close box 12 x 10 at x 83..94.
    const HitCase cases[] = {
        {"close box", {90, 8}, HTCLOSE},
        {"caption where a normal window has its menu box", {8, 8}, HTCAPTION},
        {"no maximise box", {75, 8}, HTCAPTION},
        {"client below the small caption", {50, 20}, HTCLIENT},
        {"fixed frame", {1, 50}, HTBORDER},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hit(tool, 500 + c.at.x, 100 + c.at.y), c.expected);
    }
}

// Runs the message loop until the window is gone or the queue would block.
static void run_until_idle()
{
    Msg msg;
    for (int guard = 0; guard < 1000 && peek_message(msg, PM_REMOVE); guard++) {
        translate_message(msg);
        dispatch_message(msg);
    }
}

TEST_F(NonClientTest, AClickOnTheCloseBoxClosesTheWindow)
{
    input_mouse_button(MouseButton::left, true, Point{385, 112});
    input_mouse_button(MouseButton::left, false, Point{386, 113});
    run_until_idle();
    EXPECT_FALSE(is_window(window));
    Seen got = take_seen();
    Seen expected{"W WM_NCLBUTTONDOWN", "W WM_CAPTURECHANGED", "W WM_SYSCOMMAND", "W WM_CLOSE"};
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(Seen(got.begin(), got.begin() + long(expected.size())), expected);
    EXPECT_NE(std::find(got.begin(), got.end(), "W WM_DESTROY"), got.end());
}

TEST_F(NonClientTest, ReleasingAwayFromTheCloseBoxDoesNothing)
{
    input_mouse_button(MouseButton::left, true, Point{385, 112});
    input_mouse_move(Point{200, 200});
    input_mouse_button(MouseButton::left, false, Point{200, 200});
    run_until_idle();
    EXPECT_TRUE(is_window(window));
    Seen got = take_seen();
    EXPECT_EQ(std::count(got.begin(), got.end(), "W WM_SYSCOMMAND"), 0);
    EXPECT_FALSE(get_capture());
}

TEST_F(NonClientTest, CaptionButtonsMaximiseAndMinimise)
{
    input_mouse_button(MouseButton::left, true, Point{370, 112});
    input_mouse_button(MouseButton::left, false, Point{370, 112});
    run_until_idle();
    EXPECT_TRUE(is_zoomed(window));
    send_message(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(is_zoomed(window));
    send_message(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(is_iconic(window));
}

TEST_F(NonClientTest, TheCaptionShowsActivation)
{
    uint32_t active = pixel_from_colorref(get_sys_color(COLOR_ACTIVECAPTION));
    uint32_t inactive = pixel_from_colorref(get_sys_color(COLOR_INACTIVECAPTION));
    set_active_window(window);
    EXPECT_EQ(client_pixel(window, 150, -10), active); // the caption lies above the client area
    EXPECT_EQ(client_pixel(tool, 40, -6), inactive);
    set_active_window(tool);
    EXPECT_EQ(client_pixel(window, 150, -10), inactive);
    EXPECT_EQ(client_pixel(tool, 40, -6), active);
    EXPECT_EQ(client_pixel(window, -4, 50), pixel_from_colorref(get_sys_color(COLOR_3DLIGHT))); // outer frame
}

static int g_caption_calls = 0;
static Rect g_caption_area;

static void note_caption(WindowHandle, Surface&, const RectList&, const Rect& area, uint32_t)
{
    g_caption_calls++;
    g_caption_area = area;
}

TEST_F(NonClientTest, TheTextLayerDrawsCaptionTitles)
{
    g_caption_calls = 0;
    nonclient_set_caption_text_painter(note_caption);
    set_window_text(window, "New title");
    nonclient_set_caption_text_painter(nullptr);
    EXPECT_EQ(g_caption_calls, 1);
    // Between the system menu box and the minimise box, in surface coordinates.
    EXPECT_EQ(g_caption_area, (Rect{21 + 2, 4, 244 - 2, 22}));
}

TEST(Metrics, FollowTheScreenOfTheBackend)
{
    EXPECT_EQ(get_system_metrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(get_system_metrics(SM_CYSCREEN), 768);
    EXPECT_EQ(get_system_metrics(SM_CXVIRTUALSCREEN), 1024);
    EXPECT_EQ(get_system_metrics(SM_CMONITORS), 1);
    EXPECT_EQ(get_system_metrics(SM_CYCAPTION), 19);
    EXPECT_EQ(get_system_metrics(9999), 0);
    EXPECT_EQ(get_sys_color(COLOR_BTNFACE), rgb(192, 192, 192));
    EXPECT_EQ(get_sys_color(-1), 0u);
    int index = COLOR_BTNFACE;
    uint32_t color = 0;
    EXPECT_TRUE(set_sys_colors(1, &index, &color));
    EXPECT_EQ(get_sys_color(COLOR_BTNFACE), rgb(192, 192, 192)); // the scheme is fixed
}

// Compact metrics are this program's own: its frames follow them and its windows hear of them.
TEST_F(NonClientTest, NonClientMetricsSetByTheProgramShapeItsFrames)
{
    NonClientMetrics metrics;
    ASSERT_TRUE(system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0));
    EXPECT_EQ(metrics.caption_height, get_system_metrics(SM_CYCAPTION) - 1);
    Rect before;
    get_client_rect(window, before);

    NonClientMetrics bad = metrics;
    bad.menu_height = -1;
    EXPECT_FALSE(system_parameters_info(SPI_SETNONCLIENTMETRICS, bad.size, &bad, SPIF_SENDCHANGE));
    EXPECT_EQ(get_last_error(), 87u);

    metrics.caption_height = 12;
    metrics.sm_caption_height = 10;
    metrics.menu_height = 14;
    int changes = 0;
    answer = [&](WindowHandle target, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (target == window && message == WM_SETTINGCHANGE && wparam == SPI_SETNONCLIENTMETRICS)
            changes++;
        return std::nullopt;
    };
    ASSERT_TRUE(system_parameters_info(SPI_SETNONCLIENTMETRICS, metrics.size, &metrics, SPIF_SENDCHANGE));
    EXPECT_EQ(get_system_metrics(SM_CYCAPTION), 13);
    EXPECT_EQ(get_system_metrics(SM_CYSMCAPTION), 11);
    EXPECT_EQ(get_system_metrics(SM_CYMENU), 15);
    Rect after;
    get_client_rect(window, after);
    EXPECT_EQ(after.height(), before.height() + 6);
    EXPECT_EQ(changes, 1);
    answer = nullptr;
    NonClientMetrics read_back;
    ASSERT_TRUE(system_parameters_info(SPI_GETNONCLIENTMETRICS, read_back.size, &read_back, 0));
    EXPECT_EQ(read_back.menu_height, 14);

    window_system_reset();
    EXPECT_EQ(get_system_metrics(SM_CYCAPTION), 19);
}

} // namespace
