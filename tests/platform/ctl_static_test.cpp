#include "platform/controls/ctl_static.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/image.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

class StaticTest : public ControlTest {
protected:
    // The first column holding text colour in a row of the control.
    static int32_t first_ink(WindowHandle window, int32_t y, int32_t width)
    {
        for (int32_t x = 0; x < width; x++) {
            if (client_pixel(window, x, y) == sys_pixel(COLOR_WINDOWTEXT))
                return x;
        }
        return -1;
    }
};

TEST_F(StaticTest, AnIconStaticLoadsTheIconItsTextNamesAndTakesItsSize)
{
    WindowHandle icon = control(kStaticClass, "#32515", SS_ICON, Rect{10, 10, 20, 20}, 5);
    ASSERT_TRUE(icon);
    EXPECT_EQ(IconHandle(uint32_t(send_message(icon, STM_GETICON, 0, 0))), load_icon({}, IDI_EXCLAMATION));
    Rect client;
    get_client_rect(icon, client);
    EXPECT_EQ(client, (Rect{0, 0, 32, 32}));
    IconHandle hand = load_icon({}, IDI_HAND);
    EXPECT_EQ(uint32_t(send_message(icon, STM_SETICON, WParam(hand.id), 0)), load_icon({}, IDI_EXCLAMATION).id);
    EXPECT_EQ(uint32_t(send_message(icon, STM_GETIMAGE, IMAGE_ICON, 0)), hand.id);
    EXPECT_EQ(send_message(icon, STM_GETIMAGE, IMAGE_BITMAP, 0), 0); // not the kind it shows
    pump();
    EXPECT_EQ(client_pixel(icon, 16, 4), sys_pixel(COLOR_WINDOWTEXT)); // the hand icon's black disc
}

TEST_F(StaticTest, ABitmapStaticShowsTheBitmapSetIntoIt)
{
    WindowHandle picture = control(kStaticClass, "", SS_BITMAP, Rect{10, 10, 60, 60}, 6);
    uint32_t pixels[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    GdiObject bitmap = create_bitmap(2, 2, 1, 32, pixels, sizeof pixels);
    send_message(picture, STM_SETIMAGE, IMAGE_BITMAP, LParam(bitmap.id));
    pump();
    Rect client;
    get_client_rect(picture, client);
    EXPECT_EQ(client, (Rect{0, 0, 2, 2}));
    EXPECT_EQ(client_pixel(picture, 0, 0), 0x0000FFu);
    EXPECT_EQ(client_pixel(picture, 1, 1), 0xFFFFFFu);
    delete_object(bitmap);
}

TEST_F(StaticTest, ClicksPassThroughUnlessTheStaticAsksForThem)
{
    WindowHandle quiet = control(kStaticClass, "Quiet", SS_LEFT, Rect{10, 10, 110, 30}, 7);
    WindowHandle loud = control(kStaticClass, "Loud", SS_LEFT | SS_NOTIFY, Rect{10, 40, 110, 60}, 8);
    EXPECT_EQ(send_message(quiet, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    click(loud, 5, 5);
    clock_advance(get_double_click_time());
    click(loud, 5, 5, true);
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"8 0", "8 0", "8 1"}));
    EXPECT_EQ(send_message(loud, WM_GETDLGCODE, 0, 0), LResult(DLGC_STATIC));
}

TEST_F(StaticTest, TextFollowsTheAlignmentOfItsStyle)
{
    WindowHandle left = control(kStaticClass, "Il", SS_LEFT, Rect{10, 10, 210, 30}, 1);
    WindowHandle right = control(kStaticClass, "Il", SS_RIGHT, Rect{10, 40, 210, 60}, 2);
    WindowHandle centre = control(kStaticClass, "Il", SS_CENTER, Rect{10, 70, 210, 90}, 3);
    pump();
    int32_t row = 8;
    EXPECT_LT(first_ink(left, row, 200), 10);
    EXPECT_GT(first_ink(right, row, 200), 180);
    int32_t middle = first_ink(centre, row, 200);
    EXPECT_GT(middle, 85);
    EXPECT_LT(middle, 110);
    EXPECT_EQ(client_pixel(left, 150, row), sys_pixel(COLOR_BTNFACE)); // the parent's colour behind
}

TEST_F(StaticTest, EtchedLinesAndFramesUseThe3DColours)
{
    WindowHandle line = control(kStaticClass, "", SS_ETCHEDHORZ, Rect{10, 10, 110, 12}, 1);
    WindowHandle frame = control(kStaticClass, "", SS_BLACKFRAME, Rect{10, 20, 60, 50}, 2);
    pump();
    EXPECT_EQ(client_pixel(line, 50, 0), sys_pixel(COLOR_3DSHADOW));
    EXPECT_EQ(client_pixel(line, 50, 1), sys_pixel(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(client_pixel(frame, 0, 10), sys_pixel(COLOR_3DDKSHADOW));
    EXPECT_EQ(client_pixel(frame, 49, 29), sys_pixel(COLOR_3DDKSHADOW));
}

TEST_F(StaticTest, AnOwnerDrawnStaticIsDrawnByItsParent)
{
    WindowHandle owned = control(kStaticClass, "", SS_OWNERDRAW, Rect{10, 10, 60, 30}, 9);
    pump();
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().ctl_type, uint32_t(ODT_STATIC));
    EXPECT_EQ(draws.back().ctl_id, 9u);
    EXPECT_EQ(draws.back().hwnd_item, owned);
    EXPECT_EQ(draws.back().rc_item, (Rect{0, 0, 50, 20}));
}

} // namespace
