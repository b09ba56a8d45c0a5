// Display icons over a piece the piece maker writes, shown on a headless stage: where and on
// which layer and plane the picture object lands, what showing an icon again does, the erase
// of previous contents, the errors of damaged pictures, and the object's own messages.
#include "tests/engine/engine_fixture.h"

#include "platform/backend/backend.h"
#include "platform/backend/script.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/clock.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/display/group.h"
#include "runtime/display/shapes.h"
#include "runtime/calc/value.h"
#include "runtime/engine/session.h"
#include "runtime/engine/trig.h"
#include "runtime/icons/icon_display.h"
#include "runtime/icons/icon_display_object.h"
#include "runtime/icons/icon_display_position.h"
#include "runtime/icons/icons.h"
#include "tests/display/stage_window.h"

namespace {

using namespace enginetest;

constexpr uint32_t kRed = 0x0000FF; // COLORREF
constexpr uint32_t kBlue = 0xFF0000;

// Pictures: a red square whose authored bounds are (10, 20)-(50, 60); a blue one at
// (100, 20)-(140, 60); one whose rectangle fills only the top-left of its bounds; a media
// element too short for its data; an image whose bits lie in a record that does not exist.
constexpr const char* kPictures = R"(kind PCRS
record 100 52 raw
    pic header 10 20 50 60
    pic fill-color 255 0 0
    pic line-off
    pic rect 10 20 50 60
end
record 101 52 raw
    pic header 100 20 140 60
    pic fill-color 0 0 255
    pic line-off
    pic rect 100 20 140 60
end
record 102 52 raw
    pic header 0 0 100 100
    pic fill-color 0 0 255
    pic rect 0 0 10 10
end
record 103 52 raw
    pic header 0 0 40 40
    pic raw "\x9a\0\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
end
record 104 52 raw
    pic header 0 0 40 40
    pic image-record 99 0 0 9 5 0 0 9 5 -1 0
end
record 105 52 raw
    pic header 10 20 50 60
    pic fill-color 255 0 0
    pic line-off
    pic rect 10 20 50 60
    pic text 60 20 80 40 "\x01\x02\x03"
end
record 106 52 raw
    pic header 0 0 40 40
    pic raw "\x9a\0\x2e\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
end
)";

std::string piece(const std::string& icons)
{
    return std::string(kPictures) + "icon map \"Top\" {\n" + icons + "}\n";
}

class IconDisplayTest : public EngineTest {
protected:
    plat::WindowHandle window;

    void SetUp() override
    {
        EngineTest::SetUp();
        plat::clock_use_virtual(1000, 0);
        window = disptest::open_fresh_stage("IconStage", 200, 150);
        ASSERT_TRUE(window);
        icons_install();
    }
    void TearDown() override
    {
        // The shown objects go while the icon modules that made them still stand.
        dobj_erase_all();
        dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
        icon_display_reset();
        EngineTest::TearDown();
        disptest::close_fresh_stage(window);
    }

    uint32_t pixel(int32_t x, int32_t y)
    {
        screen_flush();
        plat::DcHandle dc = plat::get_dc(window);
        uint32_t value = plat::get_pixel(dc, x, y) & 0xFFFFFF;
        plat::release_dc(window, dc);
        return value;
    }
    static Rect bounds_of(IconId icon)
    {
        Rect bounds {};
        dobj_icon_rect(icon, 0, bounds);
        return bounds;
    }
    static uint32_t id_of(IconId icon)
    {
        uint8_t* object = dobj_find_icon(icon, 0);
        if (!object)
            return 0;
        uint32_t id = dobj_id(object);
        dlist_unlock(dlist_stage());
        return id;
    }
    // Reads the object's record while the stage is locked.
    template <typename F> static void with_object(IconId icon, F f)
    {
        uint8_t* object = dobj_find_icon(icon, 0);
        ASSERT_TRUE(object);
        f(object);
        dlist_unlock(dlist_stage());
    }
    static void answer_boxes(const char* script)
    {
        std::vector<plat::ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(plat::script_parse(script, commands, error)) << error;
        plat::script_start(commands);
        while (plat::script_has_next() && plat::script_run_next(error)) {
        }
    }
};

// The kernel enters the Display icon: its picture shows at its authored place, numbered,
// erasable, on the bottom plane; the background around it is untouched.
TEST_F(IconDisplayTest, EnteredDisplayIconShowsItsPictureWhereItWasAuthored)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
    }
)")),
        0);
    walk();
    uint32_t background = pixel(190, 140);
    IconId red = piece_icon("Red");
    EXPECT_EQ(pixel(30, 40), kRed);
    EXPECT_EQ(pixel(9, 40), background);
    EXPECT_EQ(pixel(51, 40), background);
    EXPECT_TRUE(plat::equal_rect(bounds_of(red), Rect {10, 20, 50, 60}));
    with_object(red, [&](uint8_t* object) {
        EXPECT_GT(dobj_icon_sequence(object), 0);
        EXPECT_EQ(dobj_icon_erase_allowed(object), 1);
        EXPECT_EQ(icon_picture_shown_by(object), red);
        EXPECT_EQ(dobj_flags(object) & kDobjPlaneBits, kDobjPlaneBottom);
    });
}

// Layers are kept in 16 bits; a layer above 0 is the middle plane, direct to screen the screen
// plane whatever the layer; prevent automatic erase clears the erase permission.
TEST_F(IconDisplayTest, LayerAndOptionsChooseTheLayerPlaneAndErasePermission)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Far" {
        attr 0x4040002 100
        code 1044 "40000"
    }
    icon display "Deep" {
        attr 0x4040002 100
        code 1044 "-40000"
    }
    icon display "Flat" {
        attr 0x4040002 100
    }
    icon display "One" {
        attr 0x4040002 100
        code 1044 "1"
    }
    icon display "Direct" {
        attr 0x4040002 100
        attr 10 1
    }
    icon display "Kept" {
        attr 0x4040002 100
        attr 9 1
    }
)")),
        0);
    static const struct {
        const char* icon;
        int32_t layer;
        uint16_t plane;
        int32_t erase_allowed;
    } rows[] = {
        {"Far", 32767, kDobjPlaneMiddle, 1},
        {"Deep", -32768, kDobjPlaneBottom, 1},
        {"Flat", 0, kDobjPlaneBottom, 1},
        {"One", 1, kDobjPlaneMiddle, 1},
        {"Direct", 0, kDobjPlaneScreen, 1},
        {"Kept", 0, kDobjPlaneBottom, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.icon);
        IconId icon = piece_icon(row.icon);
        EXPECT_GT(icon_display(icon, 6), 0);
        with_object(icon, [&](uint8_t* object) {
            EXPECT_EQ(dobj_icon_layer(object), row.layer);
            EXPECT_EQ(dobj_flags(object) & kDobjPlaneBits, row.plane);
            EXPECT_EQ(dobj_icon_erase_allowed(object), row.erase_allowed);
        });
    }
}

// The layer override stands for one display only.
TEST_F(IconDisplayTest, LayerOverrideLastsForOneDisplay)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
        code 1044 "2"
    }
)")),
        0);
    IconId red = piece_icon("Red");
    icon_layer_override(red, 9);
    icon_display(red, 6);
    with_object(red, [](uint8_t* object) { EXPECT_EQ(dobj_icon_layer(object), 9); });
    IconId left = 0;
    int32_t layer = 0;
    icon_layer_override_get(left, layer);
    EXPECT_EQ(left, 0u);
    icon_display(red, 6); // flag 4: back to the layer property
    with_object(red, [](uint8_t* object) { EXPECT_EQ(dobj_icon_layer(object), 2); });
}

// Where each position rule puts the picture (authored centre (30, 40), 40 x 40).
TEST_F(IconDisplayTest, PositionRulesPlaceThePicture)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Values" {
        attr 0x4040002 100
        code 1025 "100"
        code 1026 "80"
    }
    icon display "Unmoved" {
        attr 0x4040002 100
    }
    icon display "Point" {
        attr 0x4040002 100
        attr 5 1
        prop 5 u16 60 70
    }
    icon display "Short point" {
        attr 0x4040002 100
        attr 5 1
        prop 5 u16 60 70 0
    }
    icon display "Path" {
        attr 0x4040002 100
        attr 5 2
        code 1025 "1"
    }
    icon display "Line" {
        attr 0x4040002 100
        attr 5 3
        prop 16 u16 0 0 100 50
        code 1025 "5"
        code 1027 "0"
        code 1029 "10"
    }
    icon display "Equal ends" {
        attr 0x4040002 100
        attr 5 3
        prop 16 u16 0 0 100 50
        code 1025 "3"
        code 1027 "7"
        code 1029 "7"
    }
    icon display "Past the end" {
        attr 0x4040002 100
        attr 5 3
        prop 16 u16 0 0 100 50
        code 1025 "20"
        code 1029 "10"
    }
    icon display "Area" {
        attr 0x4040002 100
        attr 5 4
        prop 16 u16 0 0 100 50
        code 1025 "1"
        code 1029 "4"
        code 1026 "3"
        code 1030 "4"
    }
    icon display "No area" {
        attr 0x4040002 100
        attr 5 4
        code 1025 "1"
        code 1029 "4"
    }
)")),
        0);
    static const struct {
        const char* icon;
        Point centre;
    } rows[] = {
        {"Values", {100, 80}},
        {"Unmoved", {30, 40}},
        {"Point", {80, 90}},       // the stored point is the top-left
        {"Short point", {30, 40}}, // a point is exactly 4 bytes
        {"Path", {30, 40}},        // no path loads
        {"Line", {50, 25}},
        {"Equal ends", {100, 50}},
        {"Past the end", {100, 50}},
        {"Area", {25, 38}},
        {"No area", {30, 40}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.icon);
        IconId icon = piece_icon(row.icon);
        icon_display(icon, 6);
        Point centre = rect_center(bounds_of(icon));
        EXPECT_EQ(centre.x, row.centre.x);
        EXPECT_EQ(centre.y, row.centre.y);
    }
}

TEST(DisplayPosition, InterpolationDoesNotOverflowAndFractionsStayInRange)
{
    static const struct {
        const char* name;
        int32_t a, b, fraction, expected;
    } points[] = {
        {"half way", 0, 100, 0x8000, 50},
        {"backwards", 100, 0, 0x8000, 50},
        {"rounds half up", 0, 75, 0x8000, 38},
        {"whole range of 32 bits", -2000000000, 2000000000, 0x10000, 2000000000},
        {"middle of it", -2000000000, 2000000000, 0x8000, 0},
        {"backwards across it", 2000000000, -2000000000, 0x10000, -2000000000},
    };
    for (const auto& row : points) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(icon_display_interpolate(row.a, row.b, row.fraction), row.expected);
    }
    static const struct {
        const char* name;
        double value, start, end;
        int32_t expected;
    } fractions[] = {
        {"inside", 5, 0, 10, 0x8000},
        {"equal ends", 3, 7, 7, 0x10000},
        {"past the end", 20, 0, 10, 0x10000},
        {"before the start", -5, 0, 10, 0},
        {"reversed range", 2.5, 10, 0, 0xC000},
        {"huge", 1e300, 0, 1, 0x10000},
    };
    for (const auto& row : fractions) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(icon_display_fraction(row.value, row.start, row.end), row.expected);
    }
}

// Shown again without a transition: the one object stays, returns to its place and takes its
// layer; with a transition it is erased and made again.
TEST_F(IconDisplayTest, ShownAgainKeepsItsObjectUnlessATransitionRebuildsIt)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Plain" {
        attr 0x4040002 100
    }
    icon display "Fading" {
        attr 0x4040002 101
        attr 0x4020001 5
    }
)")),
        0);
    IconId plain = piece_icon("Plain");
    IconId fading = piece_icon("Fading");
    int16_t first = icon_display(plain, 6);
    uint32_t plain_id = id_of(plain);
    with_object(plain, [](uint8_t* object) { icon_display_move(Point {150, 100}, object); });
    EXPECT_EQ(pixel(150, 100), kRed);
    icon_layer_override(plain, 3);
    int16_t second = icon_display(plain, 6);
    EXPECT_EQ(id_of(plain), plain_id);
    EXPECT_NE(second, first);
    EXPECT_TRUE(plat::equal_rect(bounds_of(plain), Rect {10, 20, 50, 60}));
    EXPECT_EQ(pixel(30, 40), kRed);
    EXPECT_NE(pixel(150, 100), kRed);
    with_object(plain, [&](uint8_t* object) {
        EXPECT_EQ(dobj_icon_layer(object), 3);
        EXPECT_EQ(dobj_flags(object) & kDobjPlaneBits, kDobjPlaneMiddle); // the override sets the plane
        EXPECT_EQ(dobj_icon_sequence(object), second);
    });

    icon_display(fading, 6);
    uint32_t fading_id = id_of(fading);
    icon_display(fading, 6);
    EXPECT_NE(id_of(fading), fading_id);
    EXPECT_EQ(pixel(120, 40), kBlue);
    fading_id = id_of(fading);
    icon_display(fading, 4); // without flag 2 the transition does not rebuild it
    EXPECT_EQ(id_of(fading), fading_id);
}

// DisplayIcon refreshes a shown object where it is, and shows one that is not.
TEST_F(IconDisplayTest, DisplayNowLeavesAShownObjectInPlace)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
    }
)")),
        0);
    IconId red = piece_icon("Red");
    icon_display_now(red);
    EXPECT_EQ(pixel(30, 40), kRed);
    with_object(red, [](uint8_t* object) { icon_display_move(Point {150, 100}, object); });
    icon_display_now(red);
    EXPECT_EQ(pixel(150, 100), kRed);
    EXPECT_NE(pixel(30, 40), kRed);
}

// An icon that erases previous contents clears its layer even when it has nothing to show.
TEST_F(IconDisplayTest, EmptyDisplayIconStillClearsItsLayer)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
    }
    icon display "Blue" {
        attr 0x4040002 101
        code 1044 "5"
    }
    icon display "Blank" {
        attr 0x2030001 1
    }
)")),
        0);
    walk();
    uint32_t background = pixel(190, 140);
    EXPECT_FALSE(dobj_icon_exists(piece_icon("Red"), 0));
    EXPECT_EQ(pixel(30, 40), background);
    // Erasing previous contents takes the layer and those below it; a higher one stays.
    EXPECT_TRUE(dobj_icon_exists(piece_icon("Blue"), 0));
    EXPECT_EQ(pixel(120, 40), kBlue);
    EXPECT_FALSE(dobj_icon_exists(piece_icon("Blank"), 0));
}

// Icons under node 2 of their file (a library's top icon) are not numbered.
TEST_F(IconDisplayTest, IconsUnderNodeTwoGetSequenceZero)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon map node 2 {
        icon display "Inside" {
            attr 0x4040002 100
        }
    }
    icon display "Outside" {
        attr 0x4040002 101
    }
)")),
        0);
    EXPECT_EQ(icon_display(piece_icon("Inside"), 6), 0);
    EXPECT_TRUE(dobj_icon_exists(piece_icon("Inside"), 0));
    EXPECT_GT(icon_display(piece_icon("Outside"), 6), 0);
}

// A display that shows nothing still ends a synchronised wait for it.
TEST_F(IconDisplayTest, NothingShownStillReachesTheSyncClock)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Blank"
)")),
        0);
    IconId blank = piece_icon("Blank");
    exec_sync_set(1, blank);
    EXPECT_EQ(icon_display(blank, 6), 0);
    uint8_t bytes[kSessionBlockSize];
    exec_get_session_info(bytes);
    EXPECT_EQ(session_decode(bytes).sync_icon, 0u);
}

// A media element too short for its data stops the build: message 45, no object. A picture
// that fails while drawing gives message 56, once.
TEST_F(IconDisplayTest, DamagedPicturesAreReportedAndShowNothing)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Short media" {
        attr 0x4040002 103
    }
    icon display "Lost bits" {
        attr 0x4040002 104
    }
    icon display "Lost again" {
        attr 0x4040002 104
    }
)")),
        0);
    answer_boxes("answer Continue\n");
    EXPECT_EQ(icon_display(piece_icon("Short media"), 6), 0);
    EXPECT_FALSE(dobj_icon_exists(piece_icon("Short media"), 0));
    EXPECT_EQ(exec_error_shown(), 1);
    plat::script_reset();

    exec_clear_error_flags();
    answer_boxes("answer Continue\n");
    EXPECT_GT(icon_display(piece_icon("Lost bits"), 6), 0);
    EXPECT_GT(icon_display(piece_icon("Lost again"), 6), 0);
    screen_flush();
    EXPECT_FALSE(plat::script_has_next()); // one box for both
    EXPECT_EQ(exec_error_shown(), 0);      // saving goes on
}

// The object is hit on its picture, not on the empty rest of its bounds; the cover option
// answers message 32 while the object lies where its picture is.
TEST_F(IconDisplayTest, HitsFollowThePictureAndCoverAnswersThePlaneQuestion)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Corner" {
        attr 0x4040002 102
        attr 0x2030308 1
    }
    icon display "Red" {
        attr 0x4040002 100
        code 1044 "-1"
    }
)")),
        0);
    IconId corner = piece_icon("Corner");
    IconId red = piece_icon("Red");
    icon_display(corner, 6);
    icon_display(red, 6);
    static const struct {
        const char* name;
        Point at;
        IconId expected;
    } rows[] = {
        {"on the corner square", {5, 5}, corner},
        {"two pixels off it", {11, 11}, corner},
        {"empty part over red", {30, 40}, red},
        {"nothing", {150, 120}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        IconObjectRef ref;
        dobj_icon_at_point(row.at.x, row.at.y, ref);
        EXPECT_EQ(ref.icon, row.expected);
    }
    with_object(corner, [](uint8_t* object) { EXPECT_EQ(dobj_send(object, kMsgWantsUpdate, nullptr), 1); });
    with_object(red, [](uint8_t* object) { EXPECT_EQ(dobj_send(object, kMsgWantsUpdate, nullptr), 0); });
    with_object(corner, [](uint8_t* object) { icon_display_move(Point {100, 100}, object); });
    IconObjectRef moved;
    dobj_icon_at_point(55, 55, moved);
    EXPECT_EQ(moved.icon, corner); // its square went with it
}

// The member makers: a text element hands over its data after the 14-byte head (here a blue
// square member the test makes of it), a media element its whole record once it holds the 46
// bytes before its data; a maker's error removes the object with message 45.
struct MemberCall {
    uint32_t size = 0;
    int calls = 0;
};
MemberCall s_member;
int s_member_error = 0;

TEST_F(IconDisplayTest, MemberMakersGetTheElementsDataAndItsBoundsJoinTheObject)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "With text" {
        attr 0x4040002 105
    }
    icon display "Media" {
        attr 0x4040002 106
    }
    icon display "Failing media" {
        attr 0x4040002 106
    }
)")),
        0);
    DisplayMemberHooks hooks {};
    hooks.text = [](MemHandle data, DisplayBuild& build) {
        s_member = {uint32_t(mem_size(data)), s_member.calls + 1};
        mem_free(data);
        DrawStyle style;
        gdi_style_init(&style);
        style.fill_color = 0xFF0000;
        style.line_on = 0;
        Rect square {60, 20, 80, 40};
        shape_add_box(*build.members, kMemberRect, style, square, uint16_t(kDobjVisible | build.plane));
        Rect united;
        plat::union_rect(united, build.bounds, square);
        build.bounds = united;
        return 0;
    };
    hooks.media = [](const uint8_t*, uint32_t length, DisplayBuild&) {
        s_member = {length, s_member.calls + 1};
        return s_member_error;
    };
    icon_display_set_member_hooks(&hooks);

    s_member = {};
    IconId text = piece_icon("With text");
    EXPECT_GT(icon_display(text, 6), 0);
    EXPECT_EQ(s_member.calls, 1);
    EXPECT_EQ(s_member.size, 3u);
    EXPECT_TRUE(plat::equal_rect(bounds_of(text), Rect {10, 20, 80, 60}));
    EXPECT_EQ(pixel(30, 40), kRed);
    EXPECT_EQ(pixel(70, 30), kBlue);
    // A changed property reaches the members and leaves the picture's bounds in place.
    ScriptValue value;
    icon_display_property_changed(text, 1600, &value, 0);
    EXPECT_TRUE(plat::equal_rect(bounds_of(text), Rect {10, 20, 80, 60}));
    // Moved, the member goes with the picture.
    with_object(text, [](uint8_t* object) { icon_display_move(Point {100, 100}, object); });
    EXPECT_TRUE(plat::equal_rect(bounds_of(text), Rect {65, 80, 135, 120}));
    EXPECT_EQ(pixel(125, 90), kBlue);

    s_member = {};
    EXPECT_GT(icon_display(piece_icon("Media"), 6), 0);
    EXPECT_EQ(s_member.size, 46u);

    s_member_error = 8;
    answer_boxes("answer Continue\n");
    EXPECT_EQ(icon_display(piece_icon("Failing media"), 6), 0);
    EXPECT_FALSE(dobj_icon_exists(piece_icon("Failing media"), 0));
    EXPECT_EQ(exec_error_shown(), 1);
    s_member_error = 0;
}

// A new object tells the triggers that wait for an icon's display (event 5); showing it again
// in place does not.
int s_watched = 0;

TEST_F(IconDisplayTest, NewObjectSignalsTheDisplayEvent)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
    }
    icon calc "Watcher" {
        code 1600 "1"
        deps 1600 5 0
    }
)")),
        0);
    s_watched = 0;
    trig_set_handler(kTrigMotionProps, [](IconId, uint16_t, ScriptValue* value, int32_t) {
        s_watched++;
        val_set_integer(s_watched + 1, *value); // never equal to the next evaluation's 1
    });
    ASSERT_EQ(trig_register(kTrigMotionProps, piece_icon("Watcher"), 1600, 0, 0), 1);
    IconId red = piece_icon("Red");
    icon_display(red, 6);
    EXPECT_EQ(s_watched, 1);
    icon_display(red, 6);
    EXPECT_EQ(s_watched, 1);
    trig_set_handler(kTrigMotionProps, nullptr);
}

// Erasing an object a Motion icon moved last ends a synchronised wait for that motion; one the
// icon itself showed last does not.
TEST_F(IconDisplayTest, ErasingAMovedObjectEndsTheWaitForItsMotion)
{
    ASSERT_EQ(open_piece_file(piece(R"(    icon display "Red" {
        attr 0x4040002 100
    }
    icon display "Blue" {
        attr 0x4040002 101
    }
    icon motion "Slide"
)")),
        0);
    IconId red = piece_icon("Red");
    IconId blue = piece_icon("Blue");
    IconId slide = piece_icon("Slide");
    icon_display(red, 6);
    icon_display(blue, 6);
    with_object(red, [&](uint8_t* object) { icon_picture_set_shown_by(object, slide); });
    exec_sync_set(2, slide);
    auto sync_icon = [] {
        uint8_t bytes[kSessionBlockSize];
        exec_get_session_info(bytes);
        return session_decode(bytes).sync_icon;
    };
    dobj_erase_icon(blue, 0);
    EXPECT_EQ(sync_icon(), slide);
    dobj_erase_icon(red, 0);
    EXPECT_EQ(sync_icon(), 0u);
}

} // namespace
