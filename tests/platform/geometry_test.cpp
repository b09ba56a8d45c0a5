#include "platform/window/geometry.h"

#include <gtest/gtest.h>
#include <random>

using namespace plat;

namespace {

struct TwoRectCase {
    const char* name;
    Rect a;
    Rect b;
    bool expected;
    Rect result;
};

static const TwoRectCase kIntersectCases[] = {
    {"overlap", {0, 0, 10, 10}, {5, 5, 15, 15}, true, {5, 5, 10, 10}},
    {"touching edges do not meet", {0, 0, 10, 10}, {10, 0, 20, 10}, false, {}},
    {"inside", {0, 0, 10, 10}, {2, 2, 4, 4}, true, {2, 2, 4, 4}},
    {"empty input", {0, 0, 0, 10}, {0, 0, 10, 10}, false, {}},
};

TEST(Geometry, IntersectRect)
{
    for (const TwoRectCase& c : kIntersectCases) {
        SCOPED_TRACE(c.name);
        Rect out{1, 1, 1, 1};
        EXPECT_EQ(intersect_rect(out, c.a, c.b), c.expected);
        EXPECT_EQ(out, c.result);
    }
}

static const TwoRectCase kUnionCases[] = {
    {"bounding box", {0, 0, 10, 10}, {20, 5, 30, 8}, true, {0, 0, 30, 10}},
    {"empty ignored", {0, 0, 0, 0}, {20, 5, 30, 8}, true, {20, 5, 30, 8}},
    {"both empty", {5, 5, 5, 9}, {1, 1, 0, 0}, false, {}},
};

TEST(Geometry, UnionRect)
{
    for (const TwoRectCase& c : kUnionCases) {
        SCOPED_TRACE(c.name);
        Rect out;
        EXPECT_EQ(union_rect(out, c.a, c.b), c.expected);
        EXPECT_EQ(out, c.result);
    }
}

static const TwoRectCase kSubtractCases[] = {
    {"cut the top band", {0, 0, 10, 10}, {-5, -5, 15, 3}, true, {0, 3, 10, 10}},
    {"cut the right band", {0, 0, 10, 10}, {7, -1, 20, 11}, true, {0, 0, 7, 10}},
    {"hole in the middle keeps a", {0, 0, 10, 10}, {3, 3, 6, 6}, true, {0, 0, 10, 10}},
    {"covered entirely", {0, 0, 10, 10}, {-1, -1, 11, 11}, false, {}},
};

TEST(Geometry, SubtractRect)
{
    for (const TwoRectCase& c : kSubtractCases) {
        SCOPED_TRACE(c.name);
        Rect out;
        EXPECT_EQ(subtract_rect(out, c.a, c.b), c.expected);
        EXPECT_EQ(out, c.result);
    }
}

TEST(Geometry, PointsOnTheRightAndBottomEdgesAreOutside)
{
    Rect r{0, 0, 10, 10};
    EXPECT_TRUE(pt_in_rect(r, Point{0, 0}));
    EXPECT_TRUE(pt_in_rect(r, Point{9, 9}));
    EXPECT_FALSE(pt_in_rect(r, Point{10, 5}));
    EXPECT_FALSE(pt_in_rect(r, Point{5, 10}));
}

static int covered_area(const RectList& list)
{
    int area = 0;
    for (const Rect& r : list)
        area += r.width() * r.height();
    return area;
}

static bool disjoint(const RectList& list)
{
    for (size_t i = 0; i < list.size(); i++) {
        for (size_t j = i + 1; j < list.size(); j++) {
            Rect overlap;
            if (intersect_rect(overlap, list[i], list[j]))
                return false;
        }
    }
    return true;
}

TEST(RectList, OverlappingAdditionsCountOnce)
{
    RectList list;
    rects_add(list, Rect{0, 0, 10, 10});
    rects_add(list, Rect{5, 5, 15, 15});
    rects_add(list, Rect{2, 2, 4, 4}); // already covered
    EXPECT_TRUE(disjoint(list));
    EXPECT_EQ(covered_area(list), 175);
    EXPECT_EQ(rects_bounds(list), (Rect{0, 0, 15, 15}));
    EXPECT_FALSE(rects_contain(list, Point{12, 2}));
    EXPECT_TRUE(rects_contain(list, Point{12, 12}));
}

TEST(RectList, NeighboursJoinIntoOneRectangle)
{
    RectList list;
    for (int x = 0; x < 100; x += 10)
        rects_add(list, Rect{x, 0, x + 10, 20});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (Rect{0, 0, 100, 20}));
}

TEST(RectList, TooManyPiecesBecomeTheBoundingBox)
{
    RectList list;
    for (int i = 0; i < int(kRectListMax) + 1; i++)
        rects_add(list, Rect{i * 20, i * 20, i * 20 + 5, i * 20 + 5});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (Rect{0, 0, int(kRectListMax) * 20 + 5, int(kRectListMax) * 20 + 5}));
}

// Random additions and removals against a pixel map: the list always covers exactly the
// pixels the operations say, with no rectangle overlapping another.
TEST(RectList, MatchesAPixelModel)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(0, 40);
    for (int round = 0; round < 200; round++) {
        bool pixels[40][40] = {};
        RectList list;
        for (int step = 0; step < 6; step++) {
            int x0 = coordinate(random), x1 = coordinate(random), y0 = coordinate(random), y1 = coordinate(random);
            Rect r{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
            bool add = step < 4 || random() % 2;
            add ? rects_add(list, r) : rects_subtract(list, r);
            for (int y = r.top; y < r.bottom; y++)
                for (int x = r.left; x < r.right; x++)
                    pixels[y][x] = add;
        }
        ASSERT_TRUE(disjoint(list));
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 40; x++)
                ASSERT_EQ(rects_contain(list, Point{x, y}), pixels[y][x]) << "round " << round << " at " << x << "," << y;
    }
}

TEST(RectList, IntersectKeepsOnlyTheInside)
{
    RectList list{Rect{0, 0, 10, 10}, Rect{20, 0, 30, 10}};
    rects_intersect(list, Rect{5, 5, 25, 25});
    EXPECT_EQ(covered_area(list), 50);
    rects_offset(list, 100, 0);
    EXPECT_EQ(rects_bounds(list), (Rect{105, 5, 125, 10}));
}

} // namespace
