#include "platform/gdi/region.h"

#include <random>

#include "gdi_test_support.h"
#include "platform/gdi/shape.h"

namespace {

using namespace gditest;

class RegionTest : public GdiTest {};

// Banded: sorted by top then left, one band's rectangles share top and bottom, bands and
// neighbours within a band neither overlap nor touch.
bool banded(const Region& region)
{
    const std::vector<Rect>& r = region.rects;
    for (size_t i = 0; i < r.size(); i++) {
        if (is_rect_empty(r[i]))
            return false;
        if (i == 0)
            continue;
        bool same_band = r[i].top == r[i - 1].top;
        if (same_band && (r[i].bottom != r[i - 1].bottom || r[i].left <= r[i - 1].right))
            return false;
        if (!same_band && r[i].top < r[i - 1].bottom)
            return false;
    }
    return true;
}

TEST_F(RegionTest, CombiningAgreesWithSetsOfPixels)
{
    std::mt19937 random(11);
    auto random_region = [&]() {
        std::vector<Rect> rects;
        for (int i = 0, n = int(random() % 5); i < n; i++) {
            int32_t x = int32_t(random() % 20), y = int32_t(random() % 20);
            rects.push_back(Rect{x, y, x + 1 + int32_t(random() % 8), y + 1 + int32_t(random() % 8)});
        }
        return region_from_rects(rects);
    };
    static const int modes[] = {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY};
    for (int round = 0; round < 200; round++) {
        Region a = random_region(), b = random_region();
        for (int mode : modes) {
            Region c = region_combine(a, b, mode);
            ASSERT_TRUE(banded(c));
            for (int32_t y = -1; y < 30; y++) {
                for (int32_t x = -1; x < 30; x++) {
                    bool in_a = region_contains(a, Point{x, y}), in_b = region_contains(b, Point{x, y});
                    bool want = mode == RGN_AND ? in_a && in_b : mode == RGN_OR ? in_a || in_b
                        : mode == RGN_XOR ? in_a != in_b : mode == RGN_DIFF ? in_a && !in_b : in_a;
                    ASSERT_EQ(region_contains(c, Point{x, y}), want) << "mode " << mode << " at " << x << "," << y;
                }
            }
        }
    }
}

// Cutting to one rectangle takes a shorter way than the band walk of the other modes; it must
// give the same rectangles, bands joined again where the cut made them alike.
TEST_F(RegionTest, CuttingToOneRectangleGivesTheBandWalksRectangles)
{
    std::mt19937 random(5);
    for (int round = 0; round < 500; round++) {
        std::vector<Rect> rects;
        for (int i = 0, n = int(random() % 6); i < n; i++) {
            int32_t x = int32_t(random() % 20), y = int32_t(random() % 20);
            rects.push_back(Rect{x, y, x + 1 + int32_t(random() % 10), y + 1 + int32_t(random() % 10)});
        }
        Region a = region_from_rects(rects);
        int32_t x = int32_t(random() % 24) - 2, y = int32_t(random() % 24) - 2;
        Region cut = region_from_rect(Rect{x, y, x + int32_t(random() % 12), y + int32_t(random() % 12)});
        Region walked = region_combine(a, region_combine(a, cut, RGN_DIFF), RGN_DIFF);
        ASSERT_EQ(region_combine(a, cut, RGN_AND), walked) << "round " << round;
        ASSERT_EQ(region_combine(cut, a, RGN_AND), walked) << "round " << round;
    }
    Region ell = region_combine(region_from_rect(Rect{0, 0, 4, 2}), region_from_rect(Rect{0, 2, 8, 4}), RGN_OR);
    Region joined = region_combine(ell, region_from_rect(Rect{0, 0, 4, 4}), RGN_AND);
    EXPECT_EQ(joined.rects, (std::vector<Rect>{Rect{0, 0, 4, 4}}));
    EXPECT_EQ(region_kind(joined), SIMPLEREGION);
}

TEST_F(RegionTest, RegionObjectsAnswerLikeWin32)
{
    GdiObject a = create_rect_rgn(10, 10, 0, 0); // sides in any order
    GdiObject b = create_rect_rgn(5, 5, 15, 15);
    GdiObject c = create_rect_rgn(0, 0, 1, 1);
    Rect box;
    EXPECT_EQ(get_rgn_box(a, box), SIMPLEREGION);
    EXPECT_EQ(box, (Rect{0, 0, 10, 10}));
    EXPECT_TRUE(pt_in_region(a, 0, 0));
    EXPECT_TRUE(pt_in_region(a, 9, 9));
    EXPECT_FALSE(pt_in_region(a, 10, 5)); // right and bottom are outside
    EXPECT_FALSE(pt_in_region(a, 5, 10));
    EXPECT_TRUE(rect_in_region(a, Rect{9, 9, 20, 20}));
    EXPECT_FALSE(rect_in_region(a, Rect{10, 0, 20, 20}));

    EXPECT_EQ(combine_rgn(c, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(get_rgn_box(c, box), COMPLEXREGION);
    EXPECT_EQ(box, (Rect{0, 0, 15, 15}));
    EXPECT_EQ(combine_rgn(c, a, b, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(offset_rgn(c, -5, -5), SIMPLEREGION);
    EXPECT_TRUE(equal_rgn(c, a) == false);
    set_rect_rgn(a, 0, 0, 5, 5);
    EXPECT_TRUE(equal_rgn(c, a));
    EXPECT_EQ(combine_rgn(c, a, a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(combine_rgn(c, b, GdiObject{}, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(combine_rgn(c, b, GdiObject{}, RGN_OR), REGION_ERROR);
    EXPECT_EQ(combine_rgn(c, b, b, 9), REGION_ERROR);
    EXPECT_EQ(get_rgn_box(get_stock_object(WHITE_BRUSH), box), REGION_ERROR);
    EXPECT_EQ(offset_rgn(c, 1 << 29, 0), SIMPLEREGION);
    get_rgn_box(c, box);
    EXPECT_EQ(box.left, (1 << 29) + 5);
    EXPECT_EQ(offset_rgn(c, INT32_MAX, 0), NULLREGION); // cut at the limit, never wrapped round
    for (GdiObject r : {a, b, c})
        delete_object(r);
}

TEST_F(RegionTest, PolygonAndEllipseRegionsCoverWhatTheShapesFill)
{
    // The gauge's ring: a diamond of radius 10 less a diamond of radius 4.
    const Point outer[] = {{20, 10}, {30, 20}, {20, 30}, {10, 20}};
    const Point inner[] = {{20, 16}, {24, 20}, {20, 24}, {16, 20}};
    GdiObject ring = create_polygon_rgn(outer, 4, ALTERNATE);
    GdiObject hole = create_polygon_rgn(inner, 4, WINDING);
    combine_rgn(ring, ring, hole, RGN_DIFF);
    EXPECT_TRUE(pt_in_region(ring, 20, 12));
    EXPECT_FALSE(pt_in_region(ring, 20, 20));
    EXPECT_FALSE(pt_in_region(ring, 12, 12));
    EXPECT_EQ(create_polygon_rgn(outer, 4, 7), GdiObject{});

    // An elliptic region holds the pixels an ellipse with a pen covers.
    GdiObject round = create_elliptic_rgn(0, 0, 10, 10);
    Canvas canvas(12, 12);
    canvas.use(1, kBlack);
    ellipse(canvas.dc, 0, 0, 10, 10);
    for (int32_t y = 0; y < 12; y++)
        for (int32_t x = 0; x < 12; x++)
            EXPECT_EQ(pt_in_region(round, x, y), canvas.at(x, y) == kBlack) << x << "," << y;
    for (GdiObject r : {ring, hole, round})
        delete_object(r);
}

} // namespace
