#include "runtime/base/rect.h"

#include <gtest/gtest.h>

namespace {

TEST(Rect, PointsAndCentres)
{
    EXPECT_EQ(rect_from_points(10, 20, 0, 5), (Rect { 0, 5, 10, 20 }));
    EXPECT_EQ(rect_center({ 0, 0, 11, 11 }), (Point { 5, 5 }));
    EXPECT_EQ(rect_center({ -11, -11, 0, 0 }), (Point { -5, -5 })); // toward zero
    EXPECT_EQ(rect_center({ INT32_MAX - 2, 0, INT32_MAX, 0 }), (Point { INT32_MAX - 1, 0 }));

    Rect r { 0, 0, 10, 20 };
    rect_center_on({ 100, 100 }, r);
    EXPECT_EQ(r, (Rect { 95, 90, 105, 110 }));
    rect_move_to(-3, 4, r);
    EXPECT_EQ(r, (Rect { -3, 4, 7, 24 }));
    rect_move_to(INT32_MAX, 0, r);
    EXPECT_EQ(r.right, INT32_MAX); // clamped, not wrapped
}

TEST(Rect, KeepInsideAndClamp)
{
    struct Case {
        const char* name;
        Rect rect;
        Rect bounds;
        Rect kept;
        Rect clamped;
    };
    static const Case kCases[] = {
        { "inside already", { 10, 10, 20, 20 }, { 0, 0, 100, 100 }, { 10, 10, 20, 20 },
            { 10, 10, 20, 20 } },
        { "past the bottom right", { 50, 50, 70, 70 }, { 0, 0, 60, 60 }, { 40, 40, 60, 60 },
            { 50, 50, 60, 60 } },
        { "past the left", { -10, 5, 10, 15 }, { 0, 0, 100, 100 }, { 0, 5, 20, 15 },
            { 0, 5, 10, 15 } },
        { "wider than the bounds: left edge wins", { -5, 0, 200, 10 }, { 0, 0, 100, 100 },
            { 0, 0, 205, 10 }, { 0, 0, 100, 10 } },
        { "taller than the bounds: top edge wins", { 0, 50, 10, 300 }, { 0, 0, 100, 100 },
            { 0, 0, 10, 250 }, { 0, 50, 10, 100 } },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Rect kept = c.rect;
        rect_keep_inside(kept, c.bounds);
        EXPECT_EQ(kept, c.kept);
        Rect clamped = c.rect;
        rect_clamp_into(c.bounds, clamped);
        EXPECT_EQ(clamped, c.clamped);
    }
}

TEST(Rect, EmptyAndOverlap)
{
    EXPECT_EQ(rect_is_empty({ 0, 0, 0, 5 }), 1);
    EXPECT_EQ(rect_is_empty({ 0, 0, 5, 0 }), 1);
    EXPECT_EQ(rect_is_empty({ 5, 5, 0, 0 }), 1);
    EXPECT_EQ(rect_is_empty({ 0, 0, 1, 1 }), 0);
    EXPECT_EQ(rect_overlaps({ 0, 0, 10, 10 }, { 10, 10, 20, 20 }), 1); // touching corners
    EXPECT_EQ(rect_overlaps({ 0, 0, 10, 10 }, { 11, 0, 20, 10 }), 0);
    EXPECT_EQ(rect_overlaps({ 0, 0, 10, 10 }, { 0, 11, 10, 20 }), 0);
    EXPECT_EQ(rect_overlaps({ 0, 0, 10, 10 }, { 2, 2, 3, 3 }), 1);
}

TEST(Rect, MapBetweenReferences)
{
    struct Case {
        const char* name;
        Rect rect;
        Rect from;
        Rect to;
        int flip;
        Rect expected;
    };
    static const Case kCases[] = {
        { "scale", { 10, 10, 50, 50 }, { 0, 0, 100, 100 }, { 0, 0, 200, 50 }, 0,
            { 20, 5, 100, 25 } },
        { "offset", { 10, 10, 20, 20 }, { 0, 0, 100, 100 }, { 5, 5, 105, 105 }, 0,
            { 15, 15, 25, 25 } },
        { "flip x", { 10, 10, 50, 50 }, { 0, 0, 100, 100 }, { 0, 0, 200, 50 }, kRectFlipX,
            { 100, 5, 180, 25 } },
        { "flip y", { 10, 10, 50, 50 }, { 0, 0, 100, 100 }, { 0, 0, 100, 100 }, kRectFlipY,
            { 10, 50, 50, 90 } },
        { "both references without width", { 7, 0, 9, 10 }, { 5, 0, 5, 100 }, { 10, 0, 10, 100 }, 0,
            { 12, 0, 14, 10 } },
        { "reference without width", { 7, 0, 9, 10 }, { 5, 0, 5, 100 }, { 0, 0, 50, 100 }, 0,
            { 100, 0, 250, 10 } },
        { "extreme values clamp", { INT32_MIN, 0, INT32_MAX, 1 }, { 0, 0, 1, 1 },
            { 0, 0, INT32_MAX, 1 }, 0, { INT32_MIN, 0, INT32_MAX, 1 } },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Rect r = c.rect;
        rect_map(r, c.from, c.to, c.flip);
        Rect expected = rect_from_points(
            c.expected.left, c.expected.top, c.expected.right, c.expected.bottom);
        EXPECT_EQ(r, expected);
    }
    Point p { 50, 50 };
    rect_map_point(p, { 0, 0, 100, 100 }, { 0, 0, 200, 50 }, 0);
    EXPECT_EQ(p, (Point { 100, 25 }));
    p = { 10, 10 };
    rect_map_point(p, { 0, 0, 100, 100 }, { 0, 0, 200, 50 }, kRectFlipX);
    EXPECT_EQ(p, (Point { 180, 5 }));
}

TEST(Rect, DragHandles)
{
    struct Case {
        int handle;
        Point delta; // for dx1 1, dy1 2, dx2 3, dy2 4
        int opposite;
    };
    static const Case kCases[] = {
        { 1, { 1, 2 }, 5 },
        { 2, { 0, 2 }, 6 },
        { 3, { 3, 2 }, 7 },
        { 4, { 3, 0 }, 8 },
        { 5, { 3, 4 }, 1 },
        { 6, { 0, 4 }, 2 },
        { 7, { 1, 4 }, 3 },
        { 8, { 1, 0 }, 4 },
        { 0, { 0, 0 }, 0 },
        { 9, { 0, 0 }, 0 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.handle);
        EXPECT_EQ(rect_handle_delta(1, 2, 3, 4, c.handle), c.delta);
        EXPECT_EQ(rect_opposite_handle(c.handle), c.opposite);
    }
    EXPECT_EQ(rect_corner_code(0, 0, 5, 5), 1);
    EXPECT_EQ(rect_corner_code(0, 0, -5, 5), 3);
    EXPECT_EQ(rect_corner_code(0, 0, -5, -5), 5);
    EXPECT_EQ(rect_corner_code(0, 0, 5, -5), 7);
    EXPECT_EQ(rect_corner_code(0, 0, 0, 0), 1);
}

TEST(Rect, HandleFlip)
{
    struct Case {
        int32_t dx;
        int32_t dy;
        int handle;
        int32_t x;
        int32_t y;
        int expected;
    };
    static const Case kCases[] = {
        { 10, 0, kHandleLeft, 5, 0, 1 }, // x < dx on a left handle
        { 10, 0, kHandleLeft, 15, 0, 0 },
        { 10, 0, kHandleRight, 10, 0, 1 }, // x >= dx on a right handle
        { 10, 0, kHandleTop, 10, 0, 0 }, // a top handle never flips x
        { 0, 10, kHandleBottom, 0, 20, 2 }, // dy < y on a bottom handle
        { 0, 10, kHandleTopLeft, 0, 10, 2 }, // dy >= y on a top handle
        { 10, 10, kHandleTopLeft, 5, 5, 3 },
        { 0, 0, kHandleTopLeft, -5, -5, 0 }, // no movement, no flip
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.handle << " " << c.x << "," << c.y);
        EXPECT_EQ(rect_handle_flip(c.dx, c.dy, c.handle, c.x, c.y), c.expected);
    }
}

} // namespace
