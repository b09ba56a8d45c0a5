// Hit tests of shapes and the geometry beside them: rows of pointer positions against
// rectangles, ellipses, lines and polygons, including points far away (64-bit arithmetic).
#include <gtest/gtest.h>

#include "runtime/display/gdi_draw.h"
#include "runtime/display/hit_test.h"

namespace {

// The test rectangle callers build around the pointer.
static Rect around(int32_t x, int32_t y) { return Rect{x - 2, y - 2, x + 2, y + 2}; }

TEST(HitTest, RectIntersects)
{
    static const struct {
        const char* name;
        Rect a, b;
        bool meets;
    } kRows[] = {
        {"overlapping", {0, 0, 10, 10}, {5, 5, 15, 15}, true},
        {"touching edges count", {0, 0, 10, 10}, {10, 0, 20, 10}, true},
        {"apart", {0, 0, 10, 10}, {11, 0, 20, 10}, false},
        {"b with top + bottom 0 meets anything", {100, 100, 110, 110}, {5, -4, 9, 4}, true},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rect_intersects(row.a, row.b), row.meets);
    }
}

TEST(HitTest, FramedRectsAndEllipses)
{
    static const struct {
        const char* name;
        Point at;
        bool filled;
        bool rect_hit, ellipse_hit;
    } kRows[] = {
        {"centre, filled", {50, 50}, true, true, true},
        {"centre, frame only", {50, 50}, false, false, false},
        {"on the left edge", {20, 50}, false, true, true},
        {"corner: the ellipse misses", {21, 21}, true, true, false},
        {"1000 pixels to the left", {-950, 50}, true, false, false},
        {"far below", {50, 2000000000}, true, false, false},
    };
    Rect shape{20, 20, 80, 80};
    Point pen{1, 1};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Rect t = around(row.at.x, row.at.y);
        EXPECT_EQ(hit_framed_rect(t, shape, pen, row.filled), row.rect_hit);
        EXPECT_EQ(hit_ellipse(t, shape, pen, row.filled), row.ellipse_hit);
    }
}

TEST(HitTest, PointInEllipseScalesLargeOffsets)
{
    static const struct {
        const char* name;
        Point at;
        Rect ellipse;
        bool inside;
    } kRows[] = {
        {"1000 left of a 20 x 20 ellipse", {-990, 10}, {0, 0, 20, 20}, false},
        {"centre of a huge ellipse", {0, 0}, {-100000, -100000, 100000, 100000}, true},
        {"inside a huge ellipse near its edge", {99000, 0}, {-100000, -100000, 100000, 100000}, true},
        {"outside a huge ellipse's corner", {80000, 80000}, {-100000, -100000, 100000, 100000}, false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hit_point_in_ellipse(row.at.x, row.at.y, row.ellipse), row.inside);
    }
}

TEST(HitTest, Lines)
{
    static const struct {
        const char* name;
        Point p, q, at;
        bool hit;
    } kRows[] = {
        {"on a diagonal", {0, 0}, {100, 100}, {50, 50}, true},
        {"beside a diagonal", {0, 0}, {100, 100}, {50, 60}, false},
        {"near a steep line", {10, 0}, {12, 100}, {12, 50}, true},
        {"far from a steep line", {10, 0}, {12, 100}, {30, 50}, false},
        {"past the end", {0, 50}, {100, 50}, {120, 50}, false},
        {"long line, slope beyond 16 bits", {0, 0}, {100000, 1}, {50000, 1}, true},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hit_line(around(row.at.x, row.at.y), row.p, row.q, Point{1, 1}), row.hit);
    }
}

TEST(HitTest, Polygons)
{
    static const Point kTriangle[3] = {{0, 0}, {100, 0}, {0, 100}};
    Rect bounds{0, 0, 100, 100};
    static const struct {
        const char* name;
        Point at;
        bool closed;
        bool hit;
        int edge;
    } kRows[] = {
        {"on the first edge", {50, 0}, true, true, 0},
        {"on the closing edge", {0, 50}, true, true, 2},
        {"inside, closed", {20, 20}, true, true, -1},
        {"inside, open: only near segments", {20, 20}, false, false, -1},
        {"on the hypotenuse of an open line", {50, 50}, false, true, 1},
        {"outside, beyond the hypotenuse", {70, 70}, true, false, -1},
        {"outside the bounds", {200, 200}, true, false, -1},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        int edge = -1;
        EXPECT_EQ(hit_test_polygon(around(row.at.x, row.at.y), 3, kTriangle, bounds, Point{1, 1}, row.closed, &edge),
            row.hit);
        EXPECT_EQ(edge, row.edge);
    }
}

TEST(HitTest, Geometry)
{
    EXPECT_EQ(dist_points(0, 0, 3, 4), 5);
    EXPECT_EQ(dist_points(-100000, 0, 100000, 0), 200000); // the square passes 32 bits
    int64_t dx2 = 0;
    EXPECT_EQ(dist_points_squared(1, 1, 4, 5, &dx2), 25);
    EXPECT_EQ(dx2, 9);
    static const struct {
        const char* name;
        int32_t x1, y1, x2, y2, x, y;
        Point foot;
    } kRows[] = {
        {"horizontal", 0, 5, 10, 5, 3, 9, {3, 5}},
        {"vertical", 4, 0, 4, 10, 9, 3, {4, 3}},
        {"diagonal", 0, 0, 10, 10, 10, 0, {5, 5}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(point_project_on_line(row.x1, row.y1, row.x2, row.y2, row.x, row.y), row.foot);
    }
    Rect r{1, 2, 3, 4};
    crect_offset(&r, 10, 20);
    EXPECT_EQ(r, (Rect{11, 22, 13, 24}));
    crect_move_to(&r, 0, 0);
    EXPECT_EQ(r, (Rect{0, 0, 2, 2}));
}

} // namespace
