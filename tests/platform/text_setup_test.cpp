#include "platform/text/text_setup.h"

#include <algorithm>
#include <string>

#include "gdi_test_support.h"
#include "platform/text/font.h"
#include "platform/text/text.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

class CaptionTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        text_setup(); // another test may have taken the painter away
    }

    // A pixel of a window in window coordinates; a sizable window's client area starts at
    // (4, 23), a tool window's at (3, 18).
    static uint32_t window_pixel(WindowHandle window, Point client_origin, int32_t x, int32_t y)
    {
        return client_pixel(window, x - client_origin.x, y - client_origin.y);
    }

    // Rows of the caption area, '#' where the caption text colour is.
    static std::string caption_row(WindowHandle window, Point client_origin, int32_t y, int32_t x0, int32_t x1,
        uint32_t text)
    {
        std::string row;
        for (int32_t x = x0; x < x1; x++)
            row += window_pixel(window, client_origin, x, y) == text ? '#' : '.';
        return row;
    }
};

constexpr Point kSizable{4, 23};
constexpr Point kTool{3, 18};
// Between the system menu box and the minimise box of a 300-pixel sizable window.
constexpr Rect kTitleArea{23, 4, 242, 22};

uint32_t caption_text(bool active)
{
    return pixel_from_colorref(get_sys_color(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
}

// The title as text_out draws it in the system font on white, top-left at (0, 0).
std::string expected_row(const std::string& title, int32_t y, int32_t width)
{
    gditest::Canvas canvas(width, 20);
    text_out(canvas.dc, 0, 0, title.data(), int(title.size()));
    return canvas.row(y, 0, width);
}

TEST_F(CaptionTest, TheTitleIsDrawnInTheSystemFontCentredInTheCaption)
{
    WindowHandle window = make_top("Win Test", Rect{100, 100, 400, 300});
    set_active_window(window);
    pump();
    uint32_t text = caption_text(true);
    TextMetric m;
    DcHandle dc = create_compatible_dc(DcHandle{});
    get_text_metrics(dc, m);
    delete_dc(dc);
    int32_t top = kTitleArea.top + (kTitleArea.height() - m.height) / 2;
    int ink = 0;
    for (int32_t y = 0; y < m.height; y++) {
        SCOPED_TRACE(y);
        std::string row = caption_row(window, kSizable, top + y, kTitleArea.left, kTitleArea.left + 100, text);
        EXPECT_EQ(row, expected_row("Win Test", y, 100));
        ink += int(std::count(row.begin(), row.end(), '#'));
    }
    EXPECT_GT(ink, 50);
    // Above and below the cell the caption keeps its colour.
    uint32_t caption = pixel_from_colorref(get_sys_color(COLOR_ACTIVECAPTION));
    EXPECT_EQ(window_pixel(window, kSizable, kTitleArea.left + 5, kTitleArea.top), caption);

    set_active_window({});
    pump();
    EXPECT_EQ(caption_row(window, kSizable, top + 8, kTitleArea.left, kTitleArea.left + 100, caption_text(false)),
        expected_row("Win Test", 8, 100));
}

TEST_F(CaptionTest, ALongTitleEndsInAnEllipsisInsideTheArea)
{
    std::string title(60, 'W');
    WindowHandle window = make_top(title, Rect{100, 100, 400, 300});
    set_active_window(window);
    pump();
    // The longest start of the title that fits the area with "...".
    gditest::Canvas canvas(8, 8);
    std::string fitted;
    for (size_t keep = title.size(); keep > 0 && fitted.empty(); keep--) {
        std::string candidate = title.substr(0, keep) + "...";
        Size size;
        get_text_extent_point32(canvas.dc, candidate.data(), int(candidate.size()), size);
        if (size.cx <= kTitleArea.width())
            fitted = candidate;
    }
    ASSERT_FALSE(fitted.empty());
    TextMetric m;
    get_text_metrics(canvas.dc, m);
    uint32_t text = caption_text(true);
    int32_t top = kTitleArea.top + (kTitleArea.height() - m.height) / 2;
    for (int32_t y = 0; y < m.height; y++) {
        SCOPED_TRACE(y);
        EXPECT_EQ(caption_row(window, kSizable, top + y, kTitleArea.left, kTitleArea.right, text),
            expected_row(fitted, y, kTitleArea.width()));
        // Between the area and the minimise box.
        EXPECT_EQ(caption_row(window, kSizable, top + y, kTitleArea.right, kTitleArea.right + 2, text), "..");
    }
}

TEST_F(CaptionTest, ToolWindowsUseTheSmallCaptionFontInsideTheirLowCaption)
{
    WindowHandle tool = make("Tools", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, Rect{500, 100, 640, 200}, {}, 0,
        WS_EX_TOOLWINDOW);
    set_active_window(tool);
    pump();
    // 8 points, bold: what the title should look like, drawn on white.
    gditest::Canvas canvas(60, 20);
    GdiObject small = create_font(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    select_object(canvas.dc, small);
    text_out(canvas.dc, 0, 0, "Tools", 5);
    TextMetric m;
    get_text_metrics(canvas.dc, m);
    const Rect bar{3, 3, 137, 17}; // a tool window's 14 caption rows
    const int32_t left = bar.left + 2;
    int32_t top = bar.top + (bar.height() - m.height) / 2;
    uint32_t text = caption_text(true);
    int ink = 0;
    for (int32_t y = bar.top; y < bar.bottom; y++) {
        SCOPED_TRACE(y);
        std::string row = caption_row(tool, kTool, y, left, left + 60, text);
        std::string expected = y >= top && y < top + m.height ? canvas.row(y - top, 0, 60) : std::string(60, '.');
        EXPECT_EQ(row, expected);
        ink += int(std::count(row.begin(), row.end(), '#'));
    }
    EXPECT_GT(ink, 20);
    select_object(canvas.dc, get_stock_object(SYSTEM_FONT));
    delete_object(small);
}

TEST_F(CaptionTest, KoreanTitlesAreDrawnInTheActiveCodePage)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    std::string title = utf8_to_code_page(CP_KOREAN, "한글 창");
    WindowHandle window = make_top(title, Rect{100, 100, 400, 300});
    set_active_window(window);
    pump();
    uint32_t text = caption_text(true);
    int ink = 0;
    for (int32_t y = kTitleArea.top; y < kTitleArea.bottom; y++) {
        std::string row = caption_row(window, kSizable, y, kTitleArea.left, kTitleArea.left + 60, text);
        ink += int(std::count(row.begin(), row.end(), '#'));
    }
    EXPECT_GT(ink, 60);
}

} // namespace
