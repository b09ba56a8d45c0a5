#include "platform/window/cursor.h"

#include "platform/kernel/error.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

class CursorTest : public ControlTest {};

struct StandardCursor {
    uint32_t id;
    int16_t hot_x, hot_y;
};

// The standard shapes and where each points.
static const StandardCursor kStandardCursors[] = {
    {IDC_ARROW, 0, 0},       {IDC_IBEAM, 15, 14},    {IDC_WAIT, 15, 15},     {IDC_CROSS, 15, 15},
    {IDC_UPARROW, 15, 1},    {IDC_SIZENWSE, 15, 15}, {IDC_SIZENESW, 15, 15}, {IDC_SIZEWE, 15, 15},
    {IDC_SIZENS, 15, 15},    {IDC_SIZEALL, 15, 15},  {IDC_NO, 15, 15},       {IDC_HAND, 10, 0},
    {IDC_APPSTARTING, 0, 0},
};

TEST_F(CursorTest, StandardCursorsLoadOnceWithTheirHotSpots)
{
    for (const StandardCursor& c : kStandardCursors) {
        SCOPED_TRACE(c.id);
        CursorHandle cursor = load_cursor({}, c.id);
        ASSERT_TRUE(cursor);
        EXPECT_EQ(load_cursor({}, c.id), cursor);
        IconImage image;
        ASSERT_TRUE(cursor_get_image(cursor, image));
        EXPECT_EQ(image.width, 32);
        EXPECT_EQ(image.height, 32);
        EXPECT_EQ(image.hotspot_x, c.hot_x);
        EXPECT_EQ(image.hotspot_y, c.hot_y);
        // Where the cursor points, it shows something.
        size_t stride = mask_stride(32);
        size_t byte = size_t(c.hot_y) * stride + size_t(c.hot_x) / 8;
        uint8_t bit = uint8_t(0x80 >> (c.hot_x % 8));
        bool transparent = (image.and_mask[byte] & bit) && !(image.xor_mask[byte] & bit);
        EXPECT_FALSE(transparent && c.id != IDC_CROSS); // the crosshair leaves its centre open
    }
    for (uint32_t icon : {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK})
        EXPECT_TRUE(load_icon({}, icon)) << icon;
    set_last_error(0);
    EXPECT_FALSE(load_cursor({}, 1));
    EXPECT_EQ(get_last_error(), uint32_t(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(CursorTest, LoadedShapesSurviveDestroyingWhileMadeOnesGo)
{
    CursorHandle shared = load_cursor({}, IDC_ARROW);
    EXPECT_TRUE(destroy_cursor(shared));
    EXPECT_EQ(load_cursor({}, IDC_ARROW), shared);
    uint8_t and_mask[2 * 2] = {0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t xor_mask[2 * 2] = {};
    CursorHandle made = create_cursor({}, 0, 1, 2, 2, and_mask, xor_mask);
    ASSERT_TRUE(made);
    set_cursor(made);
    EXPECT_TRUE(destroy_cursor(made));
    EXPECT_FALSE(destroy_cursor(made));
    EXPECT_FALSE(get_cursor()); // the shape on show went with it
}

struct BadCursor {
    const char* name;
    int32_t hot_x, hot_y, width, height;
};

static const BadCursor kBadCursors[] = {
    {"no width", 0, 0, 0, 4},
    {"too high", 0, 0, 4, 257},
    {"hot spot outside", 4, 0, 4, 4},
    {"negative hot spot", -1, 0, 4, 4},
};

TEST_F(CursorTest, CursorsOfImpossibleSizesAreRefused)
{
    std::vector<uint8_t> masks(2 * 300, 0);
    for (const BadCursor& c : kBadCursors) {
        SCOPED_TRACE(c.name);
        set_last_error(0);
        EXPECT_FALSE(create_cursor({}, c.hot_x, c.hot_y, c.width, c.height, masks.data(), masks.data()));
        EXPECT_EQ(get_last_error(), uint32_t(ERROR_INVALID_PARAMETER));
    }
    EXPECT_FALSE(create_icon({}, 4, 4, 1, 8, masks.data(), masks.data()));
}

TEST_F(CursorTest, IconsDrawTheirFourKindsOfPixel)
{
    WindowHandle canvas = make_child("Canvas", host, Rect{0, 0, 40, 40});
    fill_client(canvas, rgb(0, 128, 255));
    // One row: transparent, black, white, inverted (AND 1 0 0 1, XOR 0 0 1 1).
    uint8_t and_mask[2] = {0x90, 0};
    uint8_t xor_mask[2] = {0x30, 0};
    IconHandle icon = create_icon({}, 4, 1, 1, 1, and_mask, xor_mask);
    ASSERT_TRUE(icon);
    DcHandle dc = get_dc(canvas);
    ASSERT_TRUE(draw_icon(dc, 5, 5, icon));
    release_dc(canvas, dc);
    EXPECT_EQ(client_pixel(canvas, 5, 5), pixel_from_colorref(rgb(0, 128, 255)));
    EXPECT_EQ(client_pixel(canvas, 6, 5), rgb(0, 0, 0));
    EXPECT_EQ(client_pixel(canvas, 7, 5), rgb(255, 255, 255));
    EXPECT_EQ(client_pixel(canvas, 8, 5), pixel_from_colorref(rgb(255, 127, 0)));
}

TEST_F(CursorTest, TheClipKeepsThePointerInside)
{
    Rect area{100, 100, 200, 150};
    ASSERT_TRUE(clip_cursor(&area));
    input_mouse_move(Point{500, 10});
    Point at;
    get_cursor_pos(at);
    EXPECT_EQ(at, (Point{199, 100}));
    Rect kept;
    get_clip_cursor(kept);
    EXPECT_EQ(kept, area);
    clip_cursor(nullptr);
    input_mouse_move(Point{500, 10});
    get_cursor_pos(at);
    EXPECT_EQ(at, (Point{500, 10}));
}

struct HitCase {
    int32_t hit;
    uint32_t shape;
};

static const HitCase kHitCases[] = {
    {HTLEFT, IDC_SIZEWE},     {HTBOTTOM, IDC_SIZENS},       {HTTOPLEFT, IDC_SIZENWSE},
    {HTBOTTOMLEFT, IDC_SIZENESW}, {HTCAPTION, IDC_ARROW}, {HTCLIENT, IDC_CROSS},
};

TEST_F(CursorTest, TheDefaultSetCursorShowsFrameArrowsAndTheClassCursor)
{
    WindowClass crossed;
    crossed.proc = def_window_proc;
    crossed.class_name = "Crossed";
    crossed.cursor = load_cursor({}, IDC_CROSS);
    ASSERT_TRUE(register_class(crossed));
    WindowHandle window = create_window_ex(0, "Crossed", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, {}, 0, {}, nullptr);
    for (const HitCase& c : kHitCases) {
        SCOPED_TRACE(c.hit);
        set_cursor({});
        EXPECT_EQ(send_message(window, WM_SETCURSOR, WParam(window.id), make_lparam(uint32_t(c.hit), WM_MOUSEMOVE)), 1);
        EXPECT_EQ(get_cursor(), load_cursor({}, c.shape));
    }
}

class CursorBackend : public Backend {
public:
    std::vector<uint32_t> shown;
    const char* name() const override { return "test"; }
    Size screen_size() const override { return Size{1024, 768}; }
    int screen_bits_per_pixel() const override { return 32; }
    void window_changed(WindowHandle, WindowChange) override {}
    void surface_changed(WindowHandle, const Rect&) override {}
    void cursor_changed(CursorHandle cursor) override { shown.push_back(cursor.id); }
    void cursor_moved(Point) override {}
    bool wait(uint32_t) override { return false; }
    void poll() override {}
};

TEST_F(CursorTest, AHiddenPointerShowsNoShapeUntilShownAgain)
{
    auto owned = std::make_unique<CursorBackend>();
    CursorBackend* backend = owned.get();
    backend_set(std::move(owned));
    CursorHandle arrow = load_cursor({}, IDC_ARROW);
    CursorHandle wait = load_cursor({}, IDC_WAIT);
    set_cursor(arrow);
    EXPECT_EQ(show_cursor(false), -1);
    set_cursor(wait); // kept for later, not shown
    EXPECT_EQ(show_cursor(true), 0);
    EXPECT_EQ(backend->shown, (std::vector<uint32_t>{arrow.id, 0, wait.id}));
    backend_set(nullptr);
}

} // namespace
