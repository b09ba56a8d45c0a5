// Window placement: presets, the stored rectangle, the presentation and content areas, placing
// and centring the window, min/max information and the compact metrics.
#include "platform/window/metrics.h"
#include "platform/window/winpos.h"
#include "tests/ui/win_fixture.h"

using namespace wintestui;

namespace {

struct StoredCase {
    const char* name;
    const char* top_lines;
    uint32_t code;
    bool used;
    WinArea area;
};
// Property 21 is x, y, width, height as i16 (hex, little-endian).
static const StoredCase kStoredCases[] = {
    {"no property: the preset at 0, 0", "", 3, false, {0, 0, 640, 480}},
    {"no property, code 2: preset 3", "", 2, false, {0, 0, 640, 480}},
    {"code 5 takes x and y only", " prop 21 hex 0a00 1400 8002 2c01\n", 5, true, {10, 20, 800, 600}},
    {"code 2 keeps a negative width positive", " prop 21 hex 0a00 1400 80fd 2c01\n", 2, true, {10, 20, 640, 300}},
    {"code 20 counts as 2", " prop 21 hex 0a00 1400 80fd 2c01\n", 20, true, {10, 20, 640, 300}},
    {"code 1 is the screen", " prop 21 hex 0a00 1400 8002 2c01\n", 1, true, {10, 20, 1024, 768}},
    {"6 bytes are no stored rectangle", " prop 21 hex 0a00 1400 8002\n", 5, false, {0, 0, 800, 600}},
};

TEST_F(StageTest, StoredRectangleFromPropertyAndPreset)
{
    for (const StoredCase& row : kStoredCases) {
        SCOPED_TRACE(row.name);
        open_with(row.top_lines);
        WinArea area;
        EXPECT_EQ(win_stored_rect(row.code, area), row.used);
        EXPECT_EQ(area.x, row.area.x);
        EXPECT_EQ(area.y, row.area.y);
        EXPECT_EQ(area.width, row.area.width);
        EXPECT_EQ(area.height, row.area.height);
        node_file_close_all(kPieceSlot);
    }
}

struct AreaCase {
    const char* name;
    const char* top_lines;
    WinArea presentation;
    int32_t content_height;
};
// SM_CYCAPTION is 19 and SM_CYMENU 19 (menu height 20) in the classic scheme.
static const AreaCase kAreaCases[] = {
    {"preset 3 with a title loses the caption", " attr 0x20004f0 3\n attr 0x2000102 1\n", {-1, -1, 640, 462}, 462},
    {"without a title bar it keeps it", " attr 0x20004f0 3\n", {-1, -1, 640, 480}, 480},
    {"a menu bar comes off the content", " attr 0x20004f0 3\n attr 0x2000102 1\n attr 0x2000204 1\n", {-1, -1, 640, 462}, 442},
    {"code 1 without title keeps the menu in", " attr 0x20004f0 1\n attr 0x2000204 1\n", {-1, -1, 1024, 768}, 768},
    {"a stored code-2 size keeps its height", " attr 0x20004f0 2\n attr 0x2000102 1\n prop 21 hex 0a00 1400 2003 5802\n",
        {10, 20, 800, 600}, 600},
    {"full height ignores the stored place", " attr 0x20004f0 6\n prop 21 hex 0a00 1400 2003 5802\n", {-1, -1, 1024, 768}, 768},
};

TEST_F(StageTest, PresentationAndContentAreas)
{
    for (const AreaCase& row : kAreaCases) {
        SCOPED_TRACE(row.name);
        open_with(row.top_lines);
        WinArea area;
        win_presentation_rect(area);
        EXPECT_EQ(area.x, row.presentation.x);
        EXPECT_EQ(area.y, row.presentation.y);
        EXPECT_EQ(area.width, row.presentation.width);
        EXPECT_EQ(area.height, row.presentation.height);
        Rect content;
        ASSERT_TRUE(win_content_rect(content));
        EXPECT_EQ(content.width(), row.presentation.width);
        EXPECT_EQ(content.height(), row.content_height);
        node_file_close_all(kPieceSlot);
    }
    Rect none;
    EXPECT_FALSE(win_content_rect(none));
}

TEST_F(StageTest, WindowWaitsOffScreenUntilThePieceCentresIt)
{
    open_with(" attr 0x20004f0 3\n attr 0x2000102 1\n");
    make_stage();
    Rect parked;
    get_window_rect(stage, parked);
    EXPECT_EQ(parked.left, -150);
    EXPECT_EQ(parked.top, -150);
    win_place_presentation(stage, PlaceWhen::always);
    Rect client = client_on_screen(stage);
    EXPECT_EQ(client.width(), 640);
    EXPECT_EQ(client.height(), 462);
    Rect outer;
    get_window_rect(stage, outer);
    EXPECT_EQ(outer.left, (1024 - outer.width()) / 2);
    EXPECT_EQ(outer.top, (768 - outer.height()) / 2);
    // The same size again leaves a window that was moved where it is.
    win_move(stage, 5, 7);
    win_place_presentation(stage, PlaceWhen::size_changed);
    get_window_rect(stage, outer);
    EXPECT_EQ(outer.left, 5);
    EXPECT_EQ(outer.top, 7);
}

TEST_F(StageTest, StoredPlaceIsKeptUnlessTheCentreOptionIsSet)
{
    static const struct {
        const char* name;
        const char* centre;
        bool centred;
    } kRows[] = {{"stored", "", false}, {"centred", " attr 0x2080780 1\n", true}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        open_with(std::string(" attr 0x20004f0 3\n attr 0x2000102 1\n prop 21 hex 0a00 1400 0000 0000\n") + row.centre);
        make_stage();
        win_place_presentation(stage, PlaceWhen::always);
        Rect outer;
        get_window_rect(stage, outer);
        EXPECT_EQ(outer.left, row.centred ? (1024 - outer.width()) / 2 : 10);
        EXPECT_EQ(outer.top, row.centred ? (768 - outer.height()) / 2 : 20);
        EXPECT_EQ(client_on_screen(stage).height(), 462);
        destroy_window(stage);
        node_file_close_all(kPieceSlot);
    }
}

TEST_F(StageTest, MinMaxInformationAndDraggingLimit)
{
    open_with(" attr 0x20004f0 3\n attr 0x2000102 1\n");
    make_stage();
    MinMaxInfo info = winpos_min_max_info(stage);
    EXPECT_EQ(info.max_size.x, 4096);
    EXPECT_EQ(info.max_track_size.y, 4096);
    EXPECT_EQ(info.min_track_size.x, 200);
    EXPECT_EQ(info.min_track_size.y, 50);
    // Dragged smaller than that, the window stays at 200 x 50.
    set_window_pos(stage, {}, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    Rect outer;
    get_window_rect(stage, outer);
    EXPECT_EQ(outer.width(), 200);
    EXPECT_EQ(outer.height(), 50);
}

TEST_F(StageTest, CompactMetricsComeBackExceptWhatTheUserChanged)
{
    make_stage();
    int caption = get_system_metrics(SM_CYCAPTION);
    int menu = get_system_metrics(SM_CYMENU);
    open_with(" attr 0x20a0204 1\n");
    win_apply_compact_metrics();
    NonClientMetrics now;
    ASSERT_TRUE(system_parameters_info(SPI_GETNONCLIENTMETRICS, now.size, &now, 0));
    EXPECT_EQ(now.caption_height, 20);
    EXPECT_EQ(now.menu_height, 17);
    EXPECT_EQ(now.border_width, 1);
    // The user sets another caption height while the piece runs.
    now.caption_height = 25;
    ASSERT_TRUE(system_parameters_info(SPI_SETNONCLIENTMETRICS, now.size, &now, 0));
    win_restore_metrics();
    ASSERT_TRUE(system_parameters_info(SPI_GETNONCLIENTMETRICS, now.size, &now, 0));
    EXPECT_EQ(now.caption_height, 25);
    EXPECT_EQ(get_system_metrics(SM_CYMENU), menu);
    EXPECT_NE(get_system_metrics(SM_CYCAPTION), caption);
    // Restoring twice changes nothing more.
    win_restore_metrics();
    EXPECT_EQ(get_system_metrics(SM_CYMENU), menu);
}

TEST_F(StageTest, CaptionComesAndGoesKeepingTheClientInPlace)
{
    open_with(" attr 0x20004f0 3\n attr 0x2000102 1\n");
    make_stage();
    win_place_presentation(stage, PlaceWhen::always);
    Rect before = client_on_screen(stage);
    win_set_caption(false);
    EXPECT_EQ(win_style(stage) & WS_DLGFRAME, 0u);
    win_set_caption(true);
    EXPECT_NE(win_style(stage) & WS_DLGFRAME, 0u);
    Rect after = client_on_screen(stage);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.width(), before.width());
}

} // namespace
