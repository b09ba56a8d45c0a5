// Drawing primitives on the platform's GDI: the pen adjustment of boxes, line bodies and arrow
// heads at their golden pixels, the pen, brush and raster rules of the modes, and the stored
// form of a draw style.
#include <cstring>

#include <gtest/gtest.h>

#include "platform/kernel/byte_io.h"

#include "platform/gdi/shape.h"
#include "runtime/display/gdi_draw.h"
#include "tests/platform/gdi_test_support.h"

namespace {

using namespace gditest;

// Pixels read back as 0x00RRGGBB; styles take COLORREFs (ref()).
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

class GdiDrawTest : public GdiTest {
protected:
    DrawStyle style;
    void SetUp() override
    {
        GdiTest::SetUp();
        gdi_style_init(&style);
    }
};

static bool same_pixels(const Canvas& a, const Canvas& b, int32_t size)
{
    for (int32_t y = 0; y < size; y++)
        for (int32_t x = 0; x < size; x++)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}

TEST_F(GdiDrawTest, BoxesAreAdjustedToThePen)
{
    static const struct {
        const char* name;
        int16_t line_on;
        int16_t pen;
        Rect passed; // what GDI must be given
    } kRows[] = {
        {"pen 2: grow by one, then shrink by one", 1, 2, {11, 11, 50, 50}},
        {"line off: grow by one", 0, 2, {10, 10, 51, 51}},
        {"pen 3: shrink by one", 1, 3, {11, 11, 49, 49}},
        {"pen 1: as given", 1, 1, {10, 10, 50, 50}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas drawn(64, 64), expected(64, 64);
        style.line_on = row.line_on;
        style.line_width = row.pen;
        style.line_height = row.pen;
        style.fill_color = ref(kRed);
        gdi_draw_rect(drawn.dc, &style, 10, 10, 50, 50, kWhite);
        GdiObject pen = row.line_on ? create_pen(PS_SOLID, row.pen, kBlack) : get_stock_object(NULL_PEN);
        GdiObject brush = create_solid_brush(ref(kRed));
        select_object(expected.dc, pen);
        select_object(expected.dc, brush);
        rectangle(expected.dc, row.passed.left, row.passed.top, row.passed.right, row.passed.bottom);
        EXPECT_TRUE(same_pixels(drawn, expected, 64));
        select_object(expected.dc, get_stock_object(BLACK_PEN));
        select_object(expected.dc, get_stock_object(WHITE_BRUSH));
        delete_object(pen);
        delete_object(brush);
        // The tools made for the drawing are gone: the stock ones are selected again.
        EXPECT_EQ(get_current_object(drawn.dc, OBJ_PEN), get_stock_object(BLACK_PEN));
        EXPECT_EQ(get_current_object(drawn.dc, OBJ_BRUSH), get_stock_object(WHITE_BRUSH));
    }
}

// Every pixel of the canvas in the ink colour lies in the rectangle, and the rectangle is full.
static void expect_exactly(const Canvas& canvas, int32_t size, const Rect& r, uint32_t ink)
{
    int outside = 0, missing = 0;
    for (int32_t y = 0; y < size; y++)
        for (int32_t x = 0; x < size; x++) {
            bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            bool inked = canvas.at(x, y) == ink;
            outside += inked && !in;
            missing += in && !inked;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(missing, 0);
}

TEST_F(GdiDrawTest, StraightLineBodies)
{
    static const struct {
        const char* name;
        int16_t width, height;
        Point from, to;
        Rect pixels; // GDI's fill of the rectangle leaves out its right column and bottom row
    } kRows[] = {
        {"3 x 3 pen, horizontal: rectangle (9, 9)-(23, 13)", 3, 3, {10, 10}, {20, 10}, {9, 9, 22, 12}},
        {"1 x 1 pen includes the end point", 1, 1, {10, 10}, {20, 10}, {10, 10, 21, 11}},
        {"vertical, drawn upward", 2, 2, {5, 30}, {5, 20}, {4, 19, 6, 31}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(40, 40);
        style.line_width = row.width;
        style.line_height = row.height;
        gdi_draw_line(canvas.dc, &style, row.from.x, row.from.y, row.to.x, row.to.y, kWhite);
        expect_exactly(canvas, 40, row.pixels, kBlack);
    }
}

TEST_F(GdiDrawTest, SlantedLinesReachBothEnds)
{
    Canvas thin(40, 40), wide(40, 40);
    gdi_draw_line(thin.dc, &style, 2, 3, 30, 17, kWhite);
    EXPECT_EQ(thin.at(2, 3), kBlack);
    EXPECT_EQ(thin.at(30, 17), kBlack);
    EXPECT_EQ(thin.at(31, 17), kWhite);
    style.line_width = 4;
    style.line_height = 4;
    gdi_draw_line(wide.dc, &style, 30, 5, 5, 30, kWhite);
    EXPECT_EQ(wide.at(29, 5), kBlack);
    EXPECT_EQ(wide.at(5, 29), kBlack);
    EXPECT_EQ(wide.at(17, 17), kBlack);
    EXPECT_EQ(wide.at(5, 5), kWhite);
    EXPECT_GT(wide.count(kBlack), thin.count(kBlack) * 2);
}

TEST_F(GdiDrawTest, NothingWithoutALine)
{
    static const struct {
        const char* name;
        int16_t line_on, width, height;
    } kRows[] = {{"line off", 0, 1, 1}, {"width 0", 1, 0, 1}, {"height 0", 1, 1, 0}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(20, 20);
        style.line_on = row.line_on;
        style.line_width = row.width;
        style.line_height = row.height;
        gdi_draw_line(canvas.dc, &style, 1, 1, 15, 9, kWhite);
        EXPECT_EQ(canvas.count(kWhite), 400);
    }
}

TEST_F(GdiDrawTest, ArrowHeadsNeedRoom)
{
    style.arrows = 3;
    Canvas short_line(40, 40);
    gdi_draw_line(short_line.dc, &style, 10, 20, 18, 20, kWhite); // 8 pixels, heads of 10
    expect_exactly(short_line, 40, Rect{10, 20, 19, 21}, kBlack);

    Canvas long_line(60, 60);
    gdi_draw_line(long_line.dc, &style, 10, 30, 40, 30, kWhite); // 30 pixels: both heads
    EXPECT_EQ(long_line.at(25, 30), kBlack);
    for (int32_t x : {18, 32}) { // the heads spread above and below the line near both ends
        SCOPED_TRACE(x);
        EXPECT_EQ(long_line.at(x, 28), kBlack);
        EXPECT_EQ(long_line.at(x, 31), kBlack);
    }
    EXPECT_EQ(long_line.at(25, 28), kWhite);

    Canvas one_head(60, 60);
    style.arrows = 2;
    gdi_draw_line(one_head.dc, &style, 10, 30, 25, 30, kWhite); // 15 pixels: one head of 10 fits
    EXPECT_EQ(one_head.at(17, 28), kBlack);
    EXPECT_EQ(one_head.at(13, 28), kWhite);
}

TEST_F(GdiDrawTest, LineBounds)
{
    static const struct {
        const char* name;
        int32_t width;
        int arrows;
        Rect bounds;
    } kRows[] = {
        {"width 1", 1, 0, {10, 10, 21, 11}},
        {"width 4", 4, 0, {8, 8, 22, 12}},
        {"width 1, arrows", 1, 3, {5, 5, 26, 16}},
        {"width 3, arrows", 3, 1, {1, 1, 30, 20}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Rect r;
        gdi_line_bounds(&r, 20, 10, 10, 10, row.width, row.arrows);
        EXPECT_EQ(r, row.bounds);
    }
    EXPECT_EQ(gdi_arrow_size(1), 10);
    EXPECT_EQ(gdi_arrow_size(2), 13);
    EXPECT_EQ(gdi_arrow_size(4), 19);
}

TEST_F(GdiDrawTest, FillModes)
{
    static const uint8_t kChecker[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    static const struct {
        const char* name;
        uint8_t mode;
        bool checker;
        uint32_t fill, fill_back, passed;
        uint32_t even, odd; // pixels (4, 4) and (5, 4) on a blue ground
    } kRows[] = {
        {"mode 4 solid: the fill colour", 4, false, kRed, kWhite, kWhite, kRed, kRed},
        {"mode 0 pattern: fill on back", 0, true, kRed, kGreen, kWhite, kRed, kGreen},
        {"mode 1 pattern: 1 bits show the ground", 1, true, kRed, kWhite, kWhite, kRed, kBlue},
        {"mode 3: the passed colour where the pattern is 0", 3, false, kRed, kWhite, kGreen, kGreen, kGreen},
        {"mode 3 pattern", 3, true, kRed, kWhite, kGreen, kGreen, kBlue},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(16, 16);
        GdiObject blue = create_solid_brush(ref(kBlue));
        fill_rect(canvas.dc, Rect{0, 0, 16, 16}, blue);
        delete_object(blue);
        style.mode = row.mode;
        style.line_on = 0;
        style.fill_color = ref(row.fill);
        style.fill_back_color = ref(row.fill_back);
        if (row.checker)
            std::memcpy(style.fill_pattern, kChecker, 8);
        else
            std::memset(style.fill_pattern, 0, 8);
        gdi_draw_rect(canvas.dc, &style, 2, 2, 12, 12, ref(row.passed));
        EXPECT_EQ(canvas.at(4, 4), row.even);
        EXPECT_EQ(canvas.at(5, 4), row.odd);
        EXPECT_EQ(canvas.at(0, 0), kBlue);
    }
}

TEST_F(GdiDrawTest, InvertModeUndoesItselfWithoutDoubleInversion)
{
    style.mode = 2;
    Canvas canvas(40, 40);
    gdi_draw_ellipse(canvas.dc, &style, 5, 5, 35, 30, kWhite);
    EXPECT_GT(canvas.count(kBlack), 400);
    // Every pixel was inverted once: the outline is as black as the inside.
    EXPECT_EQ(canvas.at(20, 5), kBlack);
    EXPECT_EQ(canvas.at(20, 17), kBlack);
    gdi_draw_ellipse(canvas.dc, &style, 5, 5, 35, 30, kWhite);
    EXPECT_EQ(canvas.count(kWhite), 1600);
}

TEST_F(GdiDrawTest, PenColourRules)
{
    static const struct {
        const char* name;
        uint8_t mode;
        bool clear_line_pattern;
        uint32_t outline;
    } kRows[] = {
        {"mode 4: the line colour", 4, false, kRed},
        {"mode 4, clear line pattern: white", 4, true, kWhite},
        {"mode 3: the passed colour", 3, false, kGreen},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(30, 30);
        GdiObject blue = create_solid_brush(ref(kBlue));
        fill_rect(canvas.dc, Rect{0, 0, 30, 30}, blue);
        delete_object(blue);
        style.mode = row.mode;
        style.fill_on = 0;
        style.line_color = ref(kRed);
        std::memset(style.line_pattern, row.clear_line_pattern ? 0xFF : 0, 8);
        gdi_draw_rect(canvas.dc, &style, 5, 5, 20, 20, ref(kGreen));
        EXPECT_EQ(canvas.at(5, 10), row.outline);
        EXPECT_EQ(canvas.at(10, 10), kBlue);
    }
}

TEST_F(GdiDrawTest, OpenPolylinesAreNotClosed)
{
    Point points[3] = {{2, 2}, {30, 2}, {30, 30}};
    style.fill_on = 0;
    Canvas open(40, 40);
    gdi_draw_polygon(open.dc, &style, points, 3, kWhite);
    EXPECT_EQ(open.at(16, 2), kBlack);
    EXPECT_EQ(open.at(16, 16), kWhite); // no closing edge along the diagonal
    Point closed_points[4] = {{2, 2}, {30, 2}, {30, 30}, {2, 2}};
    Canvas closed(40, 40);
    gdi_draw_polygon(closed.dc, &style, closed_points, 4, kWhite);
    EXPECT_EQ(closed.at(16, 16), kBlack);
}

TEST_F(GdiDrawTest, StoredFormRoundTrips)
{
    uint8_t bytes[kDrawStyleStoredSize];
    style.mode = 3;
    style.arrows = 2;
    style.fill_color = 0x123456;
    style.line_width = 7;
    style.line_pattern[7] = 0xAB;
    gdi_style_store(style, bytes);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(bytes[3], 2);
    EXPECT_EQ(plat::load_u32le(bytes + 6), 0x123456u);
    EXPECT_EQ(plat::load_u16le(bytes + 28), 7);
    EXPECT_EQ(bytes[47], 0xAB);
    DrawStyle back = gdi_style_load(bytes);
    uint8_t again[kDrawStyleStoredSize];
    gdi_style_store(back, again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
}

} // namespace
