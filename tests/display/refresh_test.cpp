#include "runtime/display/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/backend/script.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/palette.h"
#include "runtime/display/rect_list.h"
#include "runtime/engine/modbus.h"
#include "tests/display/stage_window.h"

namespace {

constexpr uint32_t kTestKind = kDobjOtherKinds + 15;
constexpr uint32_t kMark = 0xFF00FF;
constexpr Rect kStage{0, 0, 320, 240};

// Kind data of the test objects.
enum : uint32_t {
    kColour = kDobjHeaderSize,   // u32: what the object paints
    kSilent = kColour + 4,       // u8: it paints nothing
    kAnswer85 = kSilent + 1,     // u8: message 85 answers its bounds
    kTestRecordSize = kAnswer85 + 1,
};

struct Draw {
    uint32_t id;
    int mask;
    bool drew; // its update list met its bounds
    bool operator==(const Draw&) const = default;
};

std::vector<Draw> g_draws;
std::vector<uint32_t> g_depth_notes;

int32_t test_kind(uint8_t* object, int message, DisplayMsgArg* arg)
{
    switch (message) {
    case kMsgDraw: {
        Rect bounds = dobj_rect(object, kDobjBounds);
        bool drew = rlist_select_clip(dobj_list_word(object, kDobjUpdate), &bounds, arg->dc);
        g_draws.push_back({dobj_id(object), arg->sub_code, drew});
        if (drew && !object[kSilent]) {
            plat::GdiObject brush = plat::create_solid_brush(plat::load_u32le(object + kColour));
            plat::fill_rect(arg->dc, bounds, brush);
            plat::delete_object(brush);
        }
        plat::select_clip_rgn(arg->dc, plat::GdiObject{});
        return 0;
    }
    case kMsgDepthChanged: g_depth_notes.push_back(dobj_id(object)); return 0;
    case kMsgAfterScreen:
        if (object[kAnswer85]) // where it was before, say: the plane below shows there again
            return rlist_add(arg->list, Rect{250, 100, 290, 140});
        break;
    default: break;
    }
    return dobj_default_handler(object, message, arg);
}

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = disptest::open_fresh_stage("RefreshTestStage", kStage.right, kStage.bottom);
        ASSERT_TRUE(window);
        dobj_register_kind(kTestKind, test_kind);
        g_draws.clear();
        g_depth_notes.clear();
    }
    void TearDown() override
    {
        plat::clock_set_wait_hook(nullptr);
        disptest::close_fresh_stage(window);
    }

    uint32_t add(const Rect& bounds, uint16_t plane, uint32_t colour, uint16_t extra_flags = 0)
    {
        std::vector<uint8_t> record(kTestRecordSize, 0);
        plat::store_u16le(record.data() + kDobjLength, uint16_t(kTestRecordSize));
        dobj_set_kind(record.data(), kTestKind);
        dobj_set_flags(record.data(), uint16_t(plane | kDobjVisible | extra_flags));
        dobj_set_rect(record.data(), kDobjBounds, bounds);
        plat::store_u32le(record.data() + kColour, colour);
        uint32_t id = dlist_append(dlist_stage(), record.data());
        with(id, [](uint8_t* object) { dobj_send(object, kMsgUpdate, nullptr); }); // as a new object does
        return id;
    }
    // Runs f on the object's record with the stage list locked.
    template <typename F> void with(uint32_t id, F f)
    {
        ASSERT_TRUE(dlist_lock(dlist_stage()));
        uint8_t* object = dlist_find(dlist_stage(), id);
        ASSERT_NE(object, nullptr);
        f(object);
        dlist_unlock(dlist_stage());
    }
    uint32_t pixel(int32_t x, int32_t y)
    {
        plat::DcHandle dc = plat::get_dc(window);
        uint32_t value = plat::get_pixel(dc, x, y) & 0xFFFFFF;
        plat::release_dc(window, dc);
        return value;
    }
    void mark_window()
    {
        plat::DcHandle dc = plat::get_dc(window);
        plat::GdiObject brush = plat::create_solid_brush(kMark);
        plat::fill_rect(dc, kStage, brush);
        plat::delete_object(brush);
        plat::release_dc(window, dc);
    }
    std::vector<Draw> drawn_by(uint32_t id)
    {
        std::vector<Draw> out;
        for (const Draw& d : g_draws)
            if (d.id == id)
                out.push_back(d);
        return out;
    }

    plat::WindowHandle window;
};

TEST_F(RefreshTest, DamageIsClippedToTheStageAndReachesThePlanesAbove)
{
    EXPECT_FALSE(screen_refresh_needed());
    screen_damage_rect(Rect{10, 10, 20, 20}, 3); // no such plane
    EXPECT_FALSE(screen_refresh_needed());
    screen_damage_rect(Rect{-50, -50, 10, 10}, kPlaneScreen);
    EXPECT_TRUE(screen_refresh_needed());
    Rect stage;
    ASSERT_TRUE(screen_stage_rect(stage));
    EXPECT_EQ(stage, kStage);
    // The origin moves the stage: its bottom is lengthened by the origin's y.
    screen_set_origin(0, 20);
    ASSERT_TRUE(screen_stage_rect(stage));
    EXPECT_EQ(stage, (Rect{0, 0, 320, 260}));
    Point point{5, 5};
    screen_point_to_stage(point);
    EXPECT_EQ(point, (Point{5, 25}));
    screen_point_from_stage(point);
    EXPECT_EQ(point, (Point{5, 5}));
    EXPECT_EQ(screen_client_rect(), (Rect{0, 20, 320, 260}));
    screen_set_origin(0, 0);
}

TEST_F(RefreshTest, ARepaintOfOneRectangleLeavesEverythingElseAlone)
{
    uint32_t back = add(Rect{0, 0, 100, 100}, kPlaneBottom, 0x0000FF);
    uint32_t middle = add(Rect{50, 50, 150, 150}, kPlaneMiddle, 0x00FF00);
    uint32_t front = add(Rect{120, 120, 200, 200}, kPlaneScreen, 0xFF0000);
    uint32_t far = add(Rect{250, 150, 300, 220}, kPlaneBottom, 0x00FFFF);
    screen_flush();
    EXPECT_FALSE(screen_refresh_needed());
    EXPECT_EQ(pixel(10, 10), 0x0000FFu);
    EXPECT_EQ(pixel(60, 60), 0x00FF00u);
    EXPECT_EQ(pixel(130, 130), 0xFF0000u);
    EXPECT_EQ(pixel(310, 5), 0xFFFFFFu); // the background

    mark_window();
    g_draws.clear();
    const Rect damaged{40, 40, 72, 72};
    screen_damage_rect(damaged, kPlaneBottom);
    screen_flush();
    for (int32_t y = 0; y < kStage.bottom; y += 4) {
        for (int32_t x = 0; x < kStage.right; x += 4) {
            bool inside = x >= damaged.left && x < damaged.right && y >= damaged.top && y < damaged.bottom;
            uint32_t expected = !inside ? kMark : (x >= 50 && y >= 50 ? 0x00FF00u : 0x0000FFu);
            ASSERT_EQ(pixel(x, y), expected) << x << ", " << y;
        }
    }
    EXPECT_EQ(drawn_by(back), (std::vector<Draw>{{back, kPlaneBottom, true}}));
    EXPECT_EQ(drawn_by(middle), (std::vector<Draw>{{middle, kPlaneMiddle, true}}));
    EXPECT_EQ(drawn_by(front), (std::vector<Draw>{{front, kPlaneScreen, false}}));
    EXPECT_EQ(drawn_by(far), (std::vector<Draw>{{far, kPlaneBottom, false}}));
}

TEST_F(RefreshTest, AnObjectsOwnDamageIsCollectedAndItsListsAreClearedAfter)
{
    uint32_t back = add(Rect{0, 0, 100, 100}, kPlaneBottom, 0x0000FF);
    uint32_t front = add(Rect{20, 20, 60, 60}, kPlaneMiddle, 0x00FF00);
    screen_flush();
    mark_window();
    g_draws.clear();
    with(back, [](uint8_t* object) { dobj_send(object, kMsgDamage, nullptr); });
    EXPECT_TRUE(screen_refresh_needed());
    screen_flush();
    EXPECT_EQ(pixel(5, 5), 0x0000FFu);
    EXPECT_EQ(pixel(30, 30), 0x00FF00u); // in front of the damage: drawn again
    EXPECT_EQ(pixel(150, 150), kMark);
    EXPECT_EQ(drawn_by(front), (std::vector<Draw>{{front, kPlaneMiddle, true}}));
    for (uint32_t id : {back, front}) {
        with(id, [](uint8_t* object) {
            EXPECT_EQ(dobj_list_word(object, kDobjUpdate), 0);
            EXPECT_EQ(dobj_list_word(object, kDobjDamage), 0);
            EXPECT_EQ(dobj_list_word(object, kDobjSpare), 0);
        });
    }
}

struct ModeCase {
    int mode;
    int planes;
    int bottom_mask; // what the bottom object is drawn with
    int middle_mask;
    int screen_mask;
};

TEST_F(RefreshTest, PlaneModesChooseThePlanesAndWidenTheMasks)
{
    static const ModeCase kModes[] = {
        {1, 1, 14, 14, 14}, // straight onto the screen after the background
        {2, 2, 6, 6, 8},    // bottom objects drawn into the middle plane
        {3, 3, 2, 4, 8},
    };
    uint32_t back = add(Rect{0, 0, 50, 50}, kPlaneBottom, 0x0000FF);
    uint32_t middle = add(Rect{20, 20, 70, 70}, kPlaneMiddle, 0x00FF00);
    uint32_t front = add(Rect{40, 40, 90, 90}, kPlaneScreen, 0xFF0000);
    for (const ModeCase& c : kModes) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(screen_set_plane_mode(c.mode), c.planes);
        EXPECT_EQ(screen_plane_count(), c.planes);
        g_draws.clear();
        screen_invalidate_all();
        screen_flush();
        EXPECT_EQ(drawn_by(back), (std::vector<Draw>{{back, c.bottom_mask, true}}));
        EXPECT_EQ(drawn_by(middle), (std::vector<Draw>{{middle, c.middle_mask, true}}));
        EXPECT_EQ(drawn_by(front), (std::vector<Draw>{{front, c.screen_mask, true}}));
        EXPECT_EQ(pixel(10, 10), 0x0000FFu);
        EXPECT_EQ(pixel(30, 30), 0x00FF00u);
        EXPECT_EQ(pixel(80, 80), 0xFF0000u);
        EXPECT_EQ(pixel(200, 200), 0xFFFFFFu);
    }
    EXPECT_EQ(screen_set_plane_mode(7), 3); // keeps the choice
}

TEST_F(RefreshTest, OpaqueScreenObjectsAreNotCopiedOverAndMessage85CopiesAgain)
{
    add(Rect{0, 0, 320, 240}, kPlaneBottom, 0x0000FF);
    uint32_t opaque = add(Rect{10, 10, 50, 50}, kPlaneScreen, 0, kDobjOpaque);
    uint32_t asks = add(Rect{100, 100, 140, 140}, kPlaneScreen, 0x00FF00);
    with(opaque, [](uint8_t* object) { object[kSilent] = 1; });
    screen_flush();
    mark_window();
    with(asks, [](uint8_t* object) { object[kAnswer85] = 1; });
    screen_damage_rect(Rect{0, 0, 200, 200}, kPlaneScreen);
    screen_flush();
    EXPECT_EQ(pixel(20, 20), kMark); // opaque: left to the object, which paints nothing
    EXPECT_EQ(pixel(60, 60), 0x0000FFu);
    EXPECT_EQ(pixel(120, 120), 0x00FF00u);
    // The object asked for a place outside the damage to be copied from the middle plane.
    EXPECT_EQ(pixel(260, 120), 0x0000FFu);
    EXPECT_EQ(pixel(250, 220), kMark);
}

TEST_F(RefreshTest, ADepthChangeIsToldOnceToEveryObject)
{
    uint32_t a = add(Rect{0, 0, 10, 10}, kPlaneBottom, 0x0000FF);
    uint32_t b = add(Rect{20, 0, 30, 10}, kPlaneScreen, 0x0000FF);
    screen_flush();
    EXPECT_EQ(screen_last_depth(), 32);
    EXPECT_TRUE(g_depth_notes.empty()); // the first refresh never tells
    ASSERT_TRUE(plat::headless_set_depth(8));
    screen_invalidate_all();
    screen_flush();
    EXPECT_EQ(g_depth_notes, (std::vector<uint32_t>{a, b}));
    screen_invalidate_all();
    screen_flush();
    EXPECT_EQ(g_depth_notes.size(), 2u);
    EXPECT_EQ(screen_last_depth(), 8);
}

TEST_F(RefreshTest, AFullPoolRepaintsTheWholeStage)
{
    add(Rect{0, 0, 320, 240}, kPlaneBottom, 0x0000FF);
    screen_flush();
    mark_window();
    // Far more separate rectangles than the pool can hold, then damage it cannot take.
    RectList held = 0;
    for (int i = 0; i < 5000 && !rlist_pool_overflowed(); i++)
        held = rlist_add(held, Rect{(i % 100) * 100, (i / 100) * 100, (i % 100) * 100 + 1, (i / 100) * 100 + 1});
    screen_damage_rect(Rect{0, 0, 1, 1}, kPlaneScreen);
    ASSERT_TRUE(rlist_pool_overflowed());
    screen_flush();
    EXPECT_FALSE(rlist_pool_overflowed());
    EXPECT_EQ(pixel(300, 230), 0x0000FFu);
    EXPECT_EQ(pixel(5, 5), 0x0000FFu);
}

TEST_F(RefreshTest, FreeingThePoolClearsEveryObjectsListsGroupMembersToo)
{
    uint32_t id = add(Rect{0, 0, 10, 10}, kPlaneBottom, 0x0000FF);
    with(id, [](uint8_t* object) {
        dobj_send(object, kMsgDamage, nullptr);
        dobj_send(object, kMsgUpdate, nullptr);
        EXPECT_NE(dobj_list_word(object, kDobjDamage), 0);
    });
    // A group whose member list holds one member with lists of its own.
    std::vector<uint8_t> member(kTestRecordSize, 0);
    plat::store_u16le(member.data() + kDobjLength, uint16_t(kTestRecordSize));
    dobj_set_kind(member.data(), kTestKind);
    dobj_set_list_word(member.data(), kDobjUpdate, rlist_add(0, Rect{1, 1, 2, 2}));
    dobj_set_list_word(member.data(), kDobjDamage, rlist_add(0, Rect{3, 3, 4, 4}));
    DisplayList members;
    dlist_init(members);
    uint32_t member_id = dlist_append(members, member.data());
    std::vector<uint8_t> group(kDobjHeaderSize + kDlistHeaderSize, 0);
    plat::store_u16le(group.data() + kDobjLength, uint16_t(group.size()));
    dobj_set_kind(group.data(), kDobjKindGroup);
    dlist_store(members, group.data() + kDobjHeaderSize);
    uint32_t group_id = dlist_append(dlist_stage(), group.data());
    ASSERT_NE(group_id, 0u);
    rlist_free_pool();
    with(id, [](uint8_t* object) {
        EXPECT_EQ(dobj_list_word(object, kDobjUpdate), 0);
        EXPECT_EQ(dobj_list_word(object, kDobjDamage), 0);
    });
    ASSERT_TRUE(dlist_lock(members));
    uint8_t* inside = dlist_find(members, member_id);
    ASSERT_NE(inside, nullptr);
    EXPECT_EQ(dobj_list_word(inside, kDobjUpdate), 0);
    EXPECT_EQ(dobj_list_word(inside, kDobjDamage), 0);
    dlist_unlock(members);
    // The group's record names the member list's block; the test frees it.
    with(group_id, [](uint8_t* object) { std::fill(object + kDobjHeaderSize, object + kDobjHeaderSize + kDlistHeaderSize, 0); });
    dlist_free(members);
}

TEST_F(RefreshTest, APlaneBitmapThatCannotBeMadeIsReportedOnceAndStaysAbsent)
{
    uint32_t back = add(Rect{0, 0, 50, 50}, kPlaneBottom, 0x0000FF);
    // A stage taller than any bitmap can be.
    screen_set_origin(0, 1 << 20);
    std::vector<plat::ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(plat::script_parse("answer Continue\nanswer Continue\n", commands, error));
    plat::script_start(commands);
    while (plat::script_has_next() && plat::script_run_next(error)) {
    }
    screen_flush();
    EXPECT_EQ(exec_error_shown(), 1);
    EXPECT_TRUE(screen_plane_absent(kPlaneBottom));
    EXPECT_TRUE(screen_plane_absent(kPlaneMiddle));
    EXPECT_FALSE(screen_plane_has_bitmap(kPlaneBottom));
    EXPECT_EQ(screen_plane_count(), 1);
    EXPECT_EQ(drawn_by(back), (std::vector<Draw>{{back, 14, true}})); // straight onto the screen
    // Absent until the plane mode is set again, even when the stage would fit now.
    screen_set_origin(0, 0);
    g_draws.clear();
    screen_invalidate_all();
    screen_flush();
    EXPECT_EQ(drawn_by(back), (std::vector<Draw>{{back, 14, true}}));
    EXPECT_EQ(pixel(10, 10), 0x0000FFu);
    EXPECT_EQ(pixel(100, 100), 0xFFFFFFu);
    EXPECT_EQ(screen_set_plane_mode(3), 3);
}

TEST_F(RefreshTest, FlashDebugWaitsOnEachPlaneAndWithoutAWindowOnlyPurges)
{
    add(Rect{0, 0, 50, 50}, kPlaneBottom, 0x0000FF);
    std::vector<plat::ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(plat::script_parse("wait 100000\n", commands, error)); // time passes, nothing ends
    plat::script_start(commands);
    screen_set_flash_debug(true);
    screen_invalidate_all();
    uint32_t start = plat::get_tick_count();
    screen_flush();
    EXPECT_GE(plat::get_tick_count() - start, 3 * kFlashWaitMs);
    screen_set_flash_debug(false);

    uint32_t gone = add(Rect{0, 0, 10, 10}, kPlaneBottom, 0x0000FF);
    with(gone, [](uint8_t* object) { dobj_erase(object); });
    screen_release_planes();
    g_draws.clear();
    screen_flush();
    EXPECT_TRUE(g_draws.empty());
    ASSERT_TRUE(dlist_lock(dlist_stage()));
    EXPECT_EQ(dlist_find(dlist_stage(), gone), nullptr);
    dlist_unlock(dlist_stage());
}

TEST_F(RefreshTest, TheBackgroundBrushFollowsTheColour)
{
    add(Rect{0, 0, 10, 10}, kPlaneBottom, 0x0000FF);
    dobj_set_background_color(0x336699);
    EXPECT_TRUE(screen_refresh_needed()); // the whole stage is damaged
    screen_flush();
    EXPECT_EQ(pixel(100, 100), 0x336699u);
    EXPECT_EQ(pixel(5, 5), 0x0000FFu);
    dobj_free_background_brush();
    screen_invalidate_all();
    screen_flush();
    EXPECT_EQ(pixel(100, 100), 0xFFFFFFu); // no brush: the white stock brush
}

} // namespace
