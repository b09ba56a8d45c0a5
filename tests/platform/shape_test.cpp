#include "platform/gdi/shape.h"

#include <cmath>

#include "gdi_test_support.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/palette.h"

namespace {

using namespace gditest;

class ShapeTest : public GdiTest {};

TEST_F(ShapeTest, LinesLeaveOutTheirLastPixelAndRoundHalvesDownTheScreen)
{
    struct LineCase {
        const char* name;
        Point from, to;
        int32_t row;
        const char* pixels; // row `row`, x 0..9
    };
    static const LineCase cases[] = {
        {"to the right", {2, 1}, {7, 1}, 1, "..#####..."},
        {"to the left", {7, 1}, {2, 1}, 1, "...#####.."},
        {"a point draws nothing", {4, 1}, {4, 1}, 1, ".........."},
        {"shallow, row 0", {0, 0}, {4, 2}, 0, "#........."},
        {"shallow, row 1: the half rounds down the screen", {0, 0}, {4, 2}, 1, ".##......."},
        {"shallow reversed, row 1: the same pixels", {4, 2}, {0, 0}, 1, ".##......."},
        {"shallow reversed, row 2", {4, 2}, {0, 0}, 2, "...##....."},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(10, 4);
        move_to_ex(canvas.dc, c.from.x, c.from.y, nullptr);
        ASSERT_TRUE(line_to(canvas.dc, c.to.x, c.to.y));
        EXPECT_EQ(canvas.row(c.row, 0, 10), c.pixels);
        Point position;
        get_current_position_ex(canvas.dc, position);
        EXPECT_EQ(position, c.to);
    }
}

TEST_F(ShapeTest, LinesFarOutsideTheBitmapDrawOnlyWhatShows)
{
    Canvas canvas(16, 16);
    move_to_ex(canvas.dc, -100000000, 5, nullptr);
    line_to(canvas.dc, 100000000, 5);
    move_to_ex(canvas.dc, -50000000, -50000000 + 3, nullptr);
    line_to(canvas.dc, 50000000, 50000000 + 3); // the diagonal y = x + 3
    EXPECT_EQ(canvas.row(5, 0, 16), "################");
    EXPECT_EQ(canvas.at(0, 3), kBlack);
    EXPECT_EQ(canvas.at(12, 15), kBlack);
    EXPECT_EQ(canvas.at(13, 15), kWhite);
    EXPECT_EQ(canvas.count(kBlack), 16 + 13 - 1);
}

TEST_F(ShapeTest, PolylinesDrawEachSegmentWithoutItsLastPixel)
{
    Canvas canvas(10, 6);
    set_rop2(canvas.dc, R2_NOT); // a pixel drawn twice would come back white
    const Point points[] = {{1, 1}, {6, 1}, {6, 4}, {1, 4}};
    ASSERT_TRUE(polyline(canvas.dc, points, 4));
    EXPECT_EQ(canvas.row(1, 0, 10), ".######...");
    EXPECT_EQ(canvas.row(4, 0, 10), "..#####...");
    EXPECT_EQ(canvas.at(1, 4), kWhite); // the end point is left out
    EXPECT_FALSE(polyline(canvas.dc, points, 1));
}

TEST_F(ShapeTest, RectanglesExcludeRightAndBottomAndShrinkWithoutAPen)
{
    struct RectCase {
        const char* name;
        int32_t pen;
        uint32_t brush;
        int32_t row;
        const char* pixels; // x 0..9, '#' black
    };
    static const RectCase cases[] = {
        {"pen: top edge", 1, 0xFFFFFFFF, 2, "..######.."},
        {"pen: bottom edge is bottom - 1", 1, 0xFFFFFFFF, 5, "..######.."},
        {"pen: sides", 1, 0xFFFFFFFF, 3, "..#....#.."},
        {"pen: nothing at bottom", 1, 0xFFFFFFFF, 6, ".........."},
        {"pen and brush: the inside", 1, kBlack, 3, "..######.."},
        {"no pen: one column less", 0, kBlack, 2, "..#####..."},
        {"no pen: one row less", 0, kBlack, 5, ".........."},
    };
    for (const RectCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(10, 8);
        canvas.use(c.pen, c.brush);
        ASSERT_TRUE(rectangle(canvas.dc, 2, 2, 8, 6));
        EXPECT_EQ(canvas.row(c.row, 0, 10), c.pixels);
    }
}

TEST_F(ShapeTest, WidePensStayInsideTheRectanglesTheDrawingCodeAdjustsFor)
{
    // The display engine passes (10, 10, 50, 50) with pen 2 as (11, 11, 50, 50) and with pen 3
    // as (11, 11, 49, 49): either way the outline must cover exactly 10..49.
    struct WideCase {
        int32_t pen;
        Rect rect;
    };
    static const WideCase cases[] = {{2, {11, 11, 50, 50}}, {3, {11, 11, 49, 49}}, {5, {12, 12, 48, 48}}};
    for (const WideCase& c : cases) {
        SCOPED_TRACE(c.pen);
        Canvas canvas(60, 60);
        canvas.use(c.pen, 0xFFFFFFFF);
        rectangle(canvas.dc, c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
        std::string middle = canvas.row(30, 8, 52);
        EXPECT_EQ(middle.substr(0, 2 + c.pen + 1), ".." + std::string(size_t(c.pen), '#') + ".");
        EXPECT_EQ(middle.substr(middle.size() - 3 - size_t(c.pen)), "." + std::string(size_t(c.pen), '#') + "..");
        EXPECT_EQ(canvas.column(30, 8, 11 + c.pen), ".." + std::string(size_t(c.pen), '#') + ".");
    }
    // Joins are round: a 5-pixel pen leaves the outermost corner pixel alone.
    Canvas canvas(60, 60);
    canvas.use(5, 0xFFFFFFFF);
    rectangle(canvas.dc, 12, 12, 48, 48);
    EXPECT_EQ(canvas.at(10, 10), kWhite);
    EXPECT_EQ(canvas.at(11, 10), kBlack);
    EXPECT_EQ(canvas.at(49, 49), kWhite);
    EXPECT_EQ(canvas.at(48, 49), kBlack);
}

TEST_F(ShapeTest, AnEllipseOfTenPixelsHasGdisOutline)
{
    Canvas canvas(12, 12);
    canvas.use(1, 0xFFFFFFFF);
    ASSERT_TRUE(ellipse(canvas.dc, 0, 0, 10, 10));
    static const char* const rows[] = {
        "...####...", ".##....##.", ".#......#.", "#........#", "#........#",
        "#........#", "#........#", ".#......#.", ".##....##.", "...####...",
    };
    for (int32_t y = 0; y < 10; y++)
        EXPECT_EQ(canvas.row(y, 0, 10), rows[y]) << "row " << y;
    EXPECT_EQ(canvas.row(10, 0, 12), "............");
}

TEST_F(ShapeTest, EllipsesAreSymmetricAndTouchTheirBox)
{
    for (int32_t w = 1; w <= 13; w++) {
        for (int32_t h = 1; h <= 13; h++) {
            for (int32_t pen : {0, 1, 3}) {
                SCOPED_TRACE(testing::Message() << w << " x " << h << " pen " << pen);
                Canvas canvas(20, 20);
                canvas.use(pen, pen == 1 ? 0xFFFFFFFF : kBlack);
                ellipse(canvas.dc, 2, 3, 2 + w, 3 + h);
                // Without a pen the box is one pixel smaller each way; a wide pen reaches out.
                int32_t grow = pen == 3 ? 1 : 0, shrink = pen == 0 ? 1 : 0;
                int32_t left = 2 - grow, top = 3 - grow, right = 2 + w - 1 - shrink + grow, bottom = 3 + h - 1 - shrink + grow;
                if (right < left || bottom < top) {
                    EXPECT_EQ(canvas.count(kBlack), 0);
                    continue;
                }
                int32_t minx = 99, maxx = -1, miny = 99, maxy = -1;
                bool symmetric = true;
                for (int32_t y = 0; y < 20; y++) {
                    for (int32_t x = 0; x < 20; x++) {
                        if (canvas.at(x, y) != kBlack)
                            continue;
                        minx = std::min(minx, x), maxx = std::max(maxx, x), miny = std::min(miny, y), maxy = std::max(maxy, y);
                        symmetric = symmetric && canvas.at(left + right - x, y) == kBlack
                            && canvas.at(x, top + bottom - y) == kBlack;
                    }
                }
                EXPECT_TRUE(symmetric);
                EXPECT_EQ((Rect{minx, miny, maxx, maxy}), (Rect{left, top, right, bottom}));
            }
        }
    }
}

TEST_F(ShapeTest, RoundRectanglesCutTheirCornersOnly)
{
    Canvas canvas(24, 12);
    canvas.use(1, 0xFFFFFFFF);
    ASSERT_TRUE(round_rect(canvas.dc, 0, 0, 20, 10, 6, 6));
    EXPECT_EQ(canvas.row(0, 0, 21), ".##################..");
    EXPECT_EQ(canvas.row(1, 0, 21), "#..................#.");
    EXPECT_EQ(canvas.row(5, 0, 21), "#..................#.");
    EXPECT_EQ(canvas.row(9, 0, 21), ".##################..");
    // Corners of 0 give a plain rectangle.
    Canvas square(24, 12);
    square.use(1, 0xFFFFFFFF);
    round_rect(square.dc, 0, 0, 20, 10, 0, 0);
    EXPECT_EQ(square.at(0, 0), kBlack);
    EXPECT_EQ(square.at(19, 9), kBlack);
}

TEST_F(ShapeTest, PiesArcsAndChordsSweepCounterClockwise)
{
    // From the ray to the east to the ray to the north: the top-right quarter.
    Canvas canvas(20, 20);
    canvas.use(0, kBlack);
    ASSERT_TRUE(pie(canvas.dc, 0, 0, 20, 20, 20, 9, 9, 0));
    EXPECT_EQ(canvas.at(14, 4), kBlack);
    EXPECT_EQ(canvas.at(4, 4), kWhite);
    EXPECT_EQ(canvas.at(14, 14), kWhite);
    EXPECT_EQ(canvas.at(4, 14), kWhite);
    // The same rays the other way round: all but that quarter.
    Canvas rest(20, 20);
    rest.use(0, kBlack);
    pie(rest.dc, 0, 0, 20, 20, 9, 0, 20, 9);
    EXPECT_EQ(rest.at(14, 4), kWhite);
    EXPECT_EQ(rest.at(4, 4), kBlack);
    EXPECT_EQ(rest.at(14, 14), kBlack);

    // A chord keeps only the part beyond the line between the arc's ends.
    Canvas segment(20, 20);
    segment.use(0, kBlack);
    chord(segment.dc, 0, 0, 20, 20, 20, 9, 9, 0);
    EXPECT_EQ(segment.at(15, 3), kBlack);
    EXPECT_EQ(segment.at(11, 7), kWhite);

    // The arc between the same rays: the outline's top-right quarter, ends included.
    Canvas quarter(20, 20);
    quarter.use(1, 0xFFFFFFFF);
    arc(quarter.dc, 0, 0, 20, 20, 20, 9, 9, 0);
    EXPECT_EQ(quarter.row(0, 6, 14), "...####."); // x 9..12; the ray to (9, 0) ends at x = 9
    EXPECT_EQ(quarter.column(19, 8, 12), "##.."); // down to y = 9 on the ray to (20, 9)
    EXPECT_EQ(quarter.at(0, 9), kWhite);

    // Equal rays: the arc is the whole ellipse's outline.
    Canvas whole(12, 12), outline(12, 12);
    whole.use(1, 0xFFFFFFFF);
    outline.use(1, 0xFFFFFFFF);
    arc(whole.dc, 0, 0, 10, 10, 10, 5, 10, 5);
    ellipse(outline.dc, 0, 0, 10, 10);
    for (int32_t y = 0; y < 10; y++)
        EXPECT_EQ(whole.row(y, 0, 10), outline.row(y, 0, 10)) << "row " << y;
}

TEST_F(ShapeTest, PolygonsFillByTheirFillModeAndMatchFillRect)
{
    Canvas star_alternate(40, 40), star_winding(40, 40);
    Point star[5];
    for (int i = 0; i < 5; i++) {
        double angle = -M_PI / 2 + i * 4 * M_PI / 5; // every second point of a pentagon
        star[i] = Point{int32_t(std::lround(20 + 18 * std::cos(angle))), int32_t(std::lround(20 + 18 * std::sin(angle)))};
    }
    star_alternate.use(0, kBlack);
    star_winding.use(0, kBlack);
    set_poly_fill_mode(star_winding.dc, WINDING);
    polygon(star_alternate.dc, star, 5);
    polygon(star_winding.dc, star, 5);
    EXPECT_EQ(star_alternate.at(20, 20), kWhite); // crossed twice: outside by alternate filling
    EXPECT_EQ(star_winding.at(20, 20), kBlack);
    EXPECT_EQ(star_alternate.at(20, 6), kBlack); // a point of the star

    Canvas by_polygon(10, 10), by_fill(10, 10);
    by_polygon.use(0, kBlack);
    const Point corners[] = {{2, 2}, {8, 2}, {8, 6}, {2, 6}};
    polygon(by_polygon.dc, corners, 4);
    fill_rect(by_fill.dc, Rect{2, 2, 8, 6}, get_stock_object(BLACK_BRUSH));
    for (int32_t y = 0; y < 10; y++)
        EXPECT_EQ(by_polygon.row(y, 0, 10), by_fill.row(y, 0, 10)) << "row " << y;
}

TEST_F(ShapeTest, Rop2ModesCombineThePenWithTheScreen)
{
    struct Rop2Case {
        int mode;
        uint32_t pen, screen, result;
    };
    static const Rop2Case cases[] = {
        {R2_COPYPEN, 0xFF0000, 0x00FF00, 0xFF0000},
        {R2_XORPEN, 0xFF00FF, 0x00FFFF, 0xFFFF00},
        {R2_MERGEPEN, 0xFF0000, 0x0000FF, 0xFF00FF},
        {R2_MASKPEN, 0xFFFF00, 0x00FFFF, 0x00FF00},
        {R2_NOT, 0xFF0000, 0x00FF00, 0xFF00FF},
        {R2_NOP, 0xFF0000, 0x00FF00, 0x00FF00},
        {R2_BLACK, 0xFF0000, 0x00FF00, 0x000000},
        {R2_NOTCOPYPEN, 0xFF0000, 0x00FF00, 0x00FFFF},
    };
    for (const Rop2Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Canvas canvas(8, 4);
        GdiObject screen = create_solid_brush(ref(c.screen));
        fill_rect(canvas.dc, Rect{0, 0, 8, 4}, screen);
        delete_object(screen);
        delete_object(select_object(canvas.dc, create_pen(PS_SOLID, 1, ref(c.pen))));
        set_rop2(canvas.dc, c.mode);
        move_to_ex(canvas.dc, 0, 1, nullptr);
        line_to(canvas.dc, 8, 1);
        EXPECT_EQ(canvas.at(3, 1), c.result);
        EXPECT_EQ(canvas.at(3, 2), c.screen);
    }
    // Drawing the same ellipse twice in an inverting mode leaves nothing behind.
    Canvas canvas(16, 16);
    canvas.use(1, kBlack);
    set_rop2(canvas.dc, R2_NOT);
    ellipse(canvas.dc, 1, 1, 15, 12);
    EXPECT_GT(canvas.count(kBlack), 0);
    ellipse(canvas.dc, 1, 1, 15, 12);
    EXPECT_EQ(canvas.count(kWhite), 16 * 16);
}

TEST_F(ShapeTest, FloodFillsStopAtBordersAndTheClip)
{
    struct FloodCase {
        const char* name;
        Point start;
        uint32_t color;
        int type;
        bool filled;
    };
    static const FloodCase cases[] = {
        {"inside to the border", {5, 5}, kBlack, FLOODFILLBORDER, true},
        {"the white surface", {5, 5}, kWhite, FLOODFILLSURFACE, true},
        {"starting on the border", {2, 5}, kBlack, FLOODFILLBORDER, false},
        {"a surface of another colour", {5, 5}, kBlack, FLOODFILLSURFACE, false},
        {"outside the bitmap", {-1, 5}, kBlack, FLOODFILLBORDER, false},
    };
    for (const FloodCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(16, 16);
        canvas.use(1, 0xFFFFFFFF);
        rectangle(canvas.dc, 2, 2, 12, 12);
        delete_object(select_object(canvas.dc, create_solid_brush(ref(0xFF0000))));
        intersect_clip_rect(canvas.dc, 0, 0, 8, 16);
        EXPECT_EQ(ext_flood_fill(canvas.dc, c.start.x, c.start.y, ref(c.color), c.type), c.filled);
        EXPECT_EQ(canvas.at(3, 3), c.filled ? 0xFF0000u : kWhite);
        EXPECT_EQ(canvas.at(7, 10), c.filled ? 0xFF0000u : kWhite);
        EXPECT_EQ(canvas.at(8, 5), kWhite); // past the clip
        EXPECT_EQ(canvas.at(2, 5), kBlack); // the border
        EXPECT_EQ(canvas.at(0, 0), kWhite); // outside the border
    }
}

TEST_F(ShapeTest, PixelsAnswerTheColourReallySet)
{
    Canvas canvas(4, 4, 8);
    EXPECT_EQ(set_pixel(canvas.dc, 1, 1, ref(0xFA0000)), ref(0xFF0000)); // the nearest colour there
    EXPECT_EQ(get_pixel(canvas.dc, 1, 1), ref(0xFF0000));
    EXPECT_EQ(set_pixel(canvas.dc, 4, 1, 0), CLR_INVALID);
    EXPECT_EQ(get_pixel(canvas.dc, -1, 0), CLR_INVALID);
    exclude_clip_rect(canvas.dc, 0, 0, 2, 2);
    EXPECT_EQ(get_pixel(canvas.dc, 1, 1), CLR_INVALID);
    EXPECT_EQ(get_pixel(canvas.dc, 2, 2), ref(kWhite));
}

TEST_F(ShapeTest, PatternBrushesFollowTheBrushOrigin)
{
    // A monochrome 8 x 8 pattern with one 0 bit: it takes the text colour, the rest the background.
    uint8_t bits[16];
    std::fill(bits, bits + 16, 0xFF);
    bits[0] = 0x7F;
    GdiObject pattern = create_bitmap(8, 8, 1, 1, bits, sizeof bits);
    GdiObject brush = create_pattern_brush(pattern);
    delete_object(pattern);
    struct OriginCase {
        Point origin;
        Point black[2];
    };
    static const OriginCase cases[] = {{{0, 0}, {{0, 0}, {8, 8}}}, {{3, 2}, {{3, 2}, {11, 10}}}};
    for (const OriginCase& c : cases) {
        Canvas canvas(16, 16);
        set_text_color(canvas.dc, ref(0x0000FF));
        set_brush_org_ex(canvas.dc, c.origin.x, c.origin.y, nullptr);
        fill_rect(canvas.dc, Rect{0, 0, 16, 16}, brush);
        EXPECT_EQ(canvas.count(0x0000FF), 4);
        for (Point p : c.black)
            EXPECT_EQ(canvas.at(p.x, p.y), 0x0000FFu);
    }
    delete_object(brush);
}

TEST_F(ShapeTest, ScaledMappingsDrawInDevicePixels)
{
    Canvas canvas(16, 16);
    canvas.use(0, kBlack);
    set_map_mode(canvas.dc, MM_ANISOTROPIC);
    set_window_ext_ex(canvas.dc, 1, 1, nullptr);
    set_viewport_ext_ex(canvas.dc, 2, 2, nullptr);
    set_window_org_ex(canvas.dc, 1, 0, nullptr);
    rectangle(canvas.dc, 2, 1, 5, 4); // device (2, 2) - (8, 8), less a pixel without a pen
    EXPECT_EQ(canvas.row(2, 0, 10), "..#####...");
    EXPECT_EQ(canvas.row(7, 0, 10), "..........");
}

} // namespace
