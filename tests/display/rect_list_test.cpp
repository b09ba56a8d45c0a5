#include "runtime/display/rect_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/shape.h"
#include "platform/gdi/rop.h"

namespace {

std::vector<Rect> nodes_of(RectList list)
{
    std::vector<Rect> out;
    for (RectList node = list; node;) {
        Rect rect;
        node = rlist_get_node(node, rect);
        out.push_back(rect);
    }
    return out;
}

RectList list_of(const std::vector<Rect>& rects)
{
    RectList list = 0;
    for (const Rect& rect : rects)
        list = rlist_add(list, rect);
    return list;
}

class RectListTest : public ::testing::Test {
protected:
    void SetUp() override { rlist_free_pool(); }
    void TearDown() override { rlist_free_pool(); }
};

struct AddCase {
    const char* name;
    std::vector<Rect> added;
    std::vector<Rect> nodes;
};

static const AddCase kAddCases[] = {
    {"all zeros are ignored", {{0, 0, 0, 0}}, {}},
    {"a gap of 10 merges", {{0, 0, 90, 90}, {100, 100, 110, 110}}, {{0, 0, 110, 110}}},
    {"a far one is appended", {{0, 0, 90, 90}, {100, 100, 110, 110}, {200, 200, 210, 210}},
        {{0, 0, 110, 110}, {200, 200, 210, 210}}},
    {"exactly 20 apart stays apart", {{0, 0, 50, 10}, {70, 0, 80, 10}}, {{0, 0, 50, 10}, {70, 0, 80, 10}}},
    {"19 apart merges", {{0, 0, 50, 10}, {69, 0, 80, 10}}, {{0, 0, 80, 10}}},
    {"20 apart vertically stays apart", {{0, 0, 10, 50}, {0, 70, 10, 80}}, {{0, 0, 10, 50}, {0, 70, 10, 80}}},
    {"the first node that meets takes it", {{0, 0, 10, 10}, {100, 0, 110, 10}, {50, 0, 60, 10}},
        {{0, 0, 10, 10}, {100, 0, 110, 10}, {50, 0, 60, 10}}},
    {"merging into the first of two", {{0, 0, 10, 10}, {100, 0, 110, 10}, {25, 0, 85, 10}},
        {{0, 0, 85, 10}, {100, 0, 110, 10}}},
    {"a zero rectangle after others", {{5, 5, 6, 6}, {0, 0, 0, 0}}, {{5, 5, 6, 6}}},
};

TEST_F(RectListTest, AddingMergesWithinTwentyPixelsByStrictTests)
{
    for (const AddCase& c : kAddCases) {
        SCOPED_TRACE(c.name);
        rlist_free_pool();
        RectList list = list_of(c.added);
        EXPECT_EQ(nodes_of(list), c.nodes);
        EXPECT_EQ(rlist_count(list), int(c.nodes.size()));
    }
}

TEST_F(RectListTest, AMergeThatGivesBackItsNodeReusesIt)
{
    RectList list = rlist_add(0, Rect{0, 0, 10, 10});
    RectList far = rlist_add(0, Rect{500, 500, 510, 510});
    list = rlist_add(list, Rect{15, 0, 25, 10}); // merged: the node it took is free again
    RectList next = rlist_add(0, Rect{900, 900, 910, 910});
    EXPECT_EQ(next, far + kRlistNodeSize);
    EXPECT_EQ(nodes_of(list), (std::vector<Rect>{{0, 0, 25, 10}}));
}

TEST_F(RectListTest, MergingRepeatsPassesUntilAChainIsOneNode)
{
    // Each within 20 of the next only: A - C - B, listed A, B, C.
    RectList list = rlist_add(0, Rect{0, 0, 10, 10});
    list = rlist_append_list(list, rlist_add(0, Rect{50, 0, 60, 10}));
    list = rlist_append_list(list, rlist_add(0, Rect{25, 0, 35, 10}));
    ASSERT_EQ(rlist_count(list), 3);
    list = rlist_merge(list);
    EXPECT_EQ(nodes_of(list), (std::vector<Rect>{{0, 0, 60, 10}}));
    // Far apart lists stay as they are.
    RectList apart = rlist_append_list(rlist_add(0, Rect{0, 0, 10, 10}), rlist_add(0, Rect{30, 0, 40, 10}));
    EXPECT_EQ(nodes_of(rlist_merge(apart)), (std::vector<Rect>{{0, 0, 10, 10}, {30, 0, 40, 10}}));
}

TEST_F(RectListTest, AppendCopyCountBoundsAndIntersections)
{
    RectList a = list_of({{0, 0, 10, 10}, {100, 0, 110, 10}});
    RectList b = list_of({{0, 100, 10, 110}});
    EXPECT_EQ(rlist_append_list(0, b), b);
    EXPECT_EQ(rlist_append_list(a, 0), a);
    RectList joined = rlist_append_list(a, b);
    EXPECT_EQ(joined, a);
    EXPECT_EQ(rlist_count(joined), 3);
    EXPECT_EQ(rlist_append_list(joined, b), joined); // already in the chain: no loop
    EXPECT_EQ(rlist_count(joined), 3);

    RectList copy = rlist_copy(joined);
    EXPECT_NE(copy, joined);
    EXPECT_EQ(nodes_of(copy), nodes_of(joined));

    Rect bounds;
    EXPECT_TRUE(rlist_bounds(joined, bounds));
    EXPECT_EQ(bounds, (Rect{0, 0, 110, 110}));
    EXPECT_FALSE(rlist_bounds(0, bounds));

    Rect meet;
    EXPECT_TRUE(rlist_intersect_bounds(joined, Rect{5, 5, 105, 105}, meet));
    EXPECT_EQ(meet, (Rect{5, 5, 105, 105}));
    EXPECT_FALSE(rlist_intersect_bounds(joined, Rect{40, 40, 60, 60}, meet));

    RectList inside = 0;
    RectList outside = 0;
    rlist_split_inside(joined, Rect{0, 0, 50, 200}, inside, outside);
    EXPECT_EQ(nodes_of(inside), (std::vector<Rect>{{0, 0, 10, 10}, {0, 100, 10, 110}}));
    EXPECT_EQ(nodes_of(outside), (std::vector<Rect>{{100, 0, 110, 10}}));
}

TEST_F(RectListTest, ThePoolGrowsInSteps)
{
    EXPECT_EQ(rlist_pool_capacity(), 0u);
    RectList list = rlist_add(0, Rect{0, 0, 1, 1});
    EXPECT_EQ(list, 2); // offset 0 is never handed out
    EXPECT_EQ(rlist_pool_capacity(), kRlistPoolFirst);
    // 14 nodes end at 254; the 15th needs 272 bytes: (272 - 256) & ~255 + 256 more.
    for (int i = 1; i < 15; i++)
        list = rlist_add(list, Rect{i * 100, 0, i * 100 + 1, 1});
    EXPECT_EQ(rlist_pool_capacity(), 2 * kRlistPoolFirst);
    EXPECT_EQ(rlist_count(list), 15);
    rlist_free_pool();
    EXPECT_EQ(rlist_pool_capacity(), 0u);
}

TEST_F(RectListTest, AFullPoolLosesNoListAndIsMarked)
{
    RectList list = 0;
    int added = 0;
    for (; added < 5000 && !rlist_pool_overflowed(); added++)
        list = rlist_add(list, Rect{(added % 100) * 100, (added / 100) * 100, (added % 100) * 100 + 1, (added / 100) * 100 + 1});
    ASSERT_TRUE(rlist_pool_overflowed());
    int held = rlist_count(list);
    EXPECT_EQ(held, added - 1);
    EXPECT_LE(rlist_pool_capacity(), kRlistPoolMax);
    // The refused rectangle leaves the list as it was, never empties it.
    EXPECT_EQ(rlist_add(list, Rect{1, 1, 2, 2}), list);
    EXPECT_EQ(rlist_count(list), held);
    // A copy that does not fit is one node of the union, or nothing when not even that fits.
    RectList copy = rlist_copy(list);
    EXPECT_LE(rlist_count(copy), 1);
    rlist_free_pool();
    EXPECT_FALSE(rlist_pool_overflowed());
    // A list from before the free reads as empty, never as freed bytes.
    EXPECT_EQ(rlist_count(list), 0);
}

TEST_F(RectListTest, ACopyThatDoesNotFitIsTheUnion)
{
    RectList small = list_of({{0, 0, 10, 10}, {100, 100, 110, 110}});
    // Fill the pool to one node short of its limit.
    RectList filler = 0;
    uint32_t largest = kRlistPoolMax / kRlistPoolFirst * kRlistPoolFirst; // grown in whole steps
    uint32_t total = (largest - 2) / kRlistNodeSize;
    for (uint32_t i = 0; i < total - 3; i++)
        filler = rlist_add(filler, Rect{int32_t(i % 100) * 100 + 1000, int32_t(i / 100) * 100, int32_t(i % 100) * 100 + 1001, int32_t(i / 100) * 100 + 1});
    ASSERT_FALSE(rlist_pool_overflowed());
    RectList copy = rlist_copy(small);
    EXPECT_EQ(nodes_of(copy), (std::vector<Rect>{{0, 0, 110, 110}}));
}

// Draws through the lists on a 64 x 64 bitmap with a window origin of (10, 20).
class RectListDrawTest : public RectListTest {
protected:
    void SetUp() override
    {
        RectListTest::SetUp();
        screen = plat::get_dc(plat::WindowHandle{});
        dc = plat::create_compatible_dc(screen);
        bitmap = plat::create_compatible_bitmap(screen, 64, 64);
        old = plat::select_object(dc, bitmap);
        plat::set_window_org_ex(dc, 10, 20, nullptr);
    }
    void TearDown() override
    {
        plat::select_object(dc, old);
        plat::delete_object(bitmap);
        plat::delete_dc(dc);
        plat::release_dc(plat::WindowHandle{}, screen);
        RectListTest::TearDown();
    }
    uint32_t at(int32_t x, int32_t y) { return plat::get_pixel(dc, x, y) & 0xFFFFFF; }

    plat::DcHandle screen;
    plat::DcHandle dc;
    plat::GdiObject bitmap;
    plat::GdiObject old;
};

TEST_F(RectListDrawTest, ClipFillAndBlitWorkInStageCoordinates)
{
    plat::pat_blt(dc, 10, 20, 64, 64, plat::WHITENESS);
    RectList list = list_of({{12, 22, 16, 26}, {50, 60, 54, 64}});
    rlist_fill_color(list, dc, 0x0000FF);
    EXPECT_EQ(at(12, 22), 0x0000FFu);
    EXPECT_EQ(at(15, 25), 0x0000FFu);
    EXPECT_EQ(at(16, 26), 0xFFFFFFu);
    EXPECT_EQ(at(53, 63), 0x0000FFu);

    // The clip is the union of the nodes cut to the clip rectangle, moved by the origin.
    Rect clip{0, 0, 14, 100};
    ASSERT_TRUE(rlist_select_clip(list, &clip, dc));
    plat::pat_blt(dc, 10, 20, 64, 64, plat::BLACKNESS);
    plat::select_clip_rgn(dc, plat::GdiObject{}); // pixels outside the clip cannot be read
    EXPECT_EQ(at(12, 22), 0u);
    EXPECT_EQ(at(13, 25), 0u);
    EXPECT_EQ(at(14, 22), 0x0000FFu); // outside the clip rectangle
    EXPECT_EQ(at(53, 63), 0x0000FFu); // node missed by the clip rectangle
    EXPECT_EQ(at(30, 30), 0xFFFFFFu);
    Rect nowhere{200, 200, 300, 300};
    EXPECT_FALSE(rlist_select_clip(list, &nowhere, dc));

    // A copy of each rectangle from another DC, same place.
    plat::DcHandle other = plat::create_compatible_dc(screen);
    plat::GdiObject other_bitmap = plat::create_compatible_bitmap(screen, 64, 64);
    plat::GdiObject other_old = plat::select_object(other, other_bitmap);
    plat::set_window_org_ex(other, 10, 20, nullptr);
    plat::pat_blt(other, 10, 20, 64, 64, plat::WHITENESS);
    rlist_blit(list_of({{12, 22, 13, 23}}), other, dc);
    EXPECT_EQ(at(12, 22), 0xFFFFFFu);
    EXPECT_EQ(at(13, 23), 0u);
    plat::select_object(other, other_old);
    plat::delete_object(other_bitmap);
    plat::delete_dc(other);
}

} // namespace
