#include "platform/controls/ctl_draw.h"

#include "control_test_support.h"

namespace {

using namespace wintest;

class CtlDrawTest : public ControlTest {
protected:
    WindowHandle canvas;
    DcHandle dc;

    void SetUp() override
    {
        ControlTest::SetUp();
        canvas = make_child("Canvas", host, Rect{10, 10, 110, 110});
        fill_client(canvas, rgb(255, 0, 255));
        dc = get_dc(canvas);
    }
    void TearDown() override
    {
        release_dc(canvas, dc);
        ControlTest::TearDown();
    }
    uint32_t at(int32_t x, int32_t y) { return client_pixel(canvas, x, y); }
};

struct EdgeCase {
    const char* name;
    uint32_t edge;
    int outer_top_left, outer_bottom_right, inner_top_left, inner_bottom_right;
};

// Each bevel lights its own sides; the bottom and right lines own the far corners.
static const EdgeCase kEdges[] = {
    {"raised", EDGE_RAISED, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_3DHIGHLIGHT, COLOR_3DSHADOW},
    {"sunken", EDGE_SUNKEN, COLOR_3DSHADOW, COLOR_3DHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
    {"etched", EDGE_ETCHED, COLOR_3DSHADOW, COLOR_3DHIGHLIGHT, COLOR_3DHIGHLIGHT, COLOR_3DSHADOW},
};

TEST_F(CtlDrawTest, EdgesDrawTheirTwoBevelsAndShrinkWithAdjust)
{
    for (const EdgeCase& c : kEdges) {
        SCOPED_TRACE(c.name);
        fill_client(canvas, rgb(255, 0, 255));
        Rect r{10, 10, 30, 30};
        ASSERT_TRUE(draw_edge(dc, r, c.edge, BF_RECT | BF_MIDDLE | BF_ADJUST));
        EXPECT_EQ(r, (Rect{12, 12, 28, 28}));
        EXPECT_EQ(at(10, 15), sys_pixel(c.outer_top_left));
        EXPECT_EQ(at(15, 29), sys_pixel(c.outer_bottom_right));
        EXPECT_EQ(at(29, 10), sys_pixel(c.outer_bottom_right)); // the far corner
        EXPECT_EQ(at(11, 15), sys_pixel(c.inner_top_left));
        EXPECT_EQ(at(28, 15), sys_pixel(c.inner_bottom_right));
        EXPECT_EQ(at(20, 20), sys_pixel(COLOR_BTNFACE));
        EXPECT_EQ(at(9, 9), rgb(255, 0, 255));
    }
}

TEST_F(CtlDrawTest, OneSideAloneLeavesTheOthers)
{
    Rect r{10, 10, 40, 12};
    draw_edge(dc, r, EDGE_ETCHED, BF_TOP);
    EXPECT_EQ(at(20, 10), sys_pixel(COLOR_3DSHADOW));
    EXPECT_EQ(at(20, 11), sys_pixel(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(at(10, 11), sys_pixel(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(at(39, 11), sys_pixel(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(r, (Rect{10, 10, 40, 12}));
}

TEST_F(CtlDrawTest, AFocusRectangleDrawnTwiceLeavesNoTrace)
{
    Rect r{5, 5, 25, 15};
    uint32_t before[2] = {at(5, 5), at(6, 5)};
    draw_focus_rect(dc, r);
    // Every other pixel of the outline is inverted.
    EXPECT_NE(at(5, 5) == before[0], at(6, 5) == before[1]);
    EXPECT_EQ(at(15, 10), rgb(255, 0, 255));
    draw_focus_rect(dc, r);
    EXPECT_EQ(at(5, 5), before[0]);
    EXPECT_EQ(at(6, 5), before[1]);
}

TEST_F(CtlDrawTest, CheckBoxesShowTheirMarkOnlyWhenChecked)
{
    Rect box{0, 0, 13, 13};
    draw_frame_control(dc, box, DFC_BUTTON, DFCS_BUTTONCHECK);
    EXPECT_EQ(at(0, 0), sys_pixel(COLOR_3DSHADOW));
    EXPECT_EQ(at(6, 6), sys_pixel(COLOR_WINDOW));
    draw_frame_control(dc, box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    EXPECT_EQ(at(6, 6), sys_pixel(COLOR_WINDOWTEXT));
    draw_frame_control(dc, box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE);
    EXPECT_EQ(at(6, 6), sys_pixel(COLOR_GRAYTEXT));
    EXPECT_EQ(at(9, 9), sys_pixel(COLOR_BTNFACE)); // a disabled box is face-coloured inside
}

TEST_F(CtlDrawTest, RadioButtonsAreRoundWithADotWhenChecked)
{
    Rect box{0, 0, 12, 12};
    draw_frame_control(dc, box, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED);
    EXPECT_EQ(at(0, 0), rgb(255, 0, 255)); // corners stay
    EXPECT_EQ(at(5, 5), sys_pixel(COLOR_WINDOWTEXT));
    EXPECT_EQ(at(5, 0), sys_pixel(COLOR_3DSHADOW));
    EXPECT_EQ(at(5, 11), sys_pixel(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(at(5, 2), sys_pixel(COLOR_WINDOW));
}

TEST_F(CtlDrawTest, ScrollArrowsPointTheirWay)
{
    Rect up{0, 0, 16, 16};
    draw_frame_control(dc, up, DFC_SCROLL, DFCS_SCROLLUP);
    Rect down{20, 0, 36, 16};
    draw_frame_control(dc, down, DFC_SCROLL, DFCS_SCROLLDOWN);
    uint32_t ink = sys_pixel(COLOR_BTNTEXT);
    // The up arrow is widest at its bottom row, the down arrow at its top row.
    int up_top = 0, up_bottom = 0, down_top = 0, down_bottom = 0;
    for (int32_t x = 0; x < 16; x++) {
        up_top += at(x, 6) == ink;
        up_bottom += at(x, 9) == ink;
        down_top += at(20 + x, 6) == ink;
        down_bottom += at(20 + x, 9) == ink;
    }
    EXPECT_LT(up_top, up_bottom);
    EXPECT_GT(down_top, down_bottom);
}

} // namespace
