#include "platform/window/caret.h"

#include "control_test_support.h"

namespace {

using namespace wintest;

constexpr uint32_t kPaper = rgb(255, 255, 255);
constexpr uint32_t kInverted = rgb(0, 0, 0);

class CaretTest : public ControlTest {
protected:
    WindowHandle field;

    void SetUp() override
    {
        ControlTest::SetUp();
        labels.clear();
        answer = [](WindowHandle window, uint32_t message, WParam, LParam) -> std::optional<LResult> {
            if (message != WM_PAINT)
                return std::nullopt;
            PaintStruct ps;
            DcHandle dc = begin_paint(window, ps); // paints the whole field white
            fill_rect(dc, Rect{0, 0, 1000, 1000}, get_stock_object(WHITE_BRUSH));
            end_paint(window, ps);
            return 0;
        };
        field = make_child("Field", host, Rect{10, 10, 110, 40});
        pump();
    }
    uint32_t at(int32_t x, int32_t y) { return client_pixel(field, x, y); }
};

TEST_F(CaretTest, ItStartsHiddenAndEachHideNeedsAShow)
{
    ASSERT_TRUE(create_caret(field, {}, 2, 10));
    set_caret_pos(5, 5);
    EXPECT_FALSE(caret_is_drawn());
    EXPECT_EQ(at(5, 5), kPaper);
    ASSERT_TRUE(show_caret(field));
    EXPECT_EQ(at(5, 5), kInverted);
    EXPECT_EQ(at(6, 14), kInverted);
    EXPECT_EQ(at(7, 5), kPaper);
    hide_caret(field);
    hide_caret(field);
    EXPECT_EQ(at(5, 5), kPaper);
    show_caret(field);
    EXPECT_FALSE(caret_is_drawn());
    show_caret(field);
    EXPECT_TRUE(caret_is_drawn());
    EXPECT_FALSE(show_caret(field)); // not hidden: nothing to show
    EXPECT_FALSE(hide_caret(host));  // not the owner
}

TEST_F(CaretTest, ItBlinksOnTheTimerOfItsWindow)
{
    create_caret(field, {}, 1, 8);
    set_caret_blink_time(500);
    show_caret(field);
    std::vector<bool> states;
    for (int i = 0; i < 4; i++) {
        clock_advance(500);
        pump();
        states.push_back(caret_is_drawn());
    }
    EXPECT_EQ(states, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(at(0, 0), kInverted);
}

TEST_F(CaretTest, MovingItShowsItAtOnceAtTheNewPlace)
{
    create_caret(field, {}, 1, 8);
    show_caret(field);
    clock_advance(get_caret_blink_time());
    pump();
    ASSERT_FALSE(caret_is_drawn());
    set_caret_pos(20, 3);
    EXPECT_TRUE(caret_is_drawn());
    EXPECT_EQ(at(20, 3), kInverted);
    EXPECT_EQ(at(0, 0), kPaper);
    Point where;
    get_caret_pos(where);
    EXPECT_EQ(where, (Point{20, 3}));
}

TEST_F(CaretTest, PaintingTheOwnerLeavesTheCaretWhole)
{
    create_caret(field, {}, 3, 8);
    set_caret_pos(10, 2);
    show_caret(field);
    invalidate_rect(field, nullptr, true);
    pump(); // the field paints itself white over the caret's place
    EXPECT_TRUE(caret_is_drawn());
    EXPECT_EQ(at(10, 2), kInverted);
    EXPECT_EQ(at(12, 9), kInverted);
    destroy_caret();
    EXPECT_EQ(at(10, 2), kPaper);
    EXPECT_FALSE(destroy_caret());
}

TEST_F(CaretTest, ACaretOfAHiddenWindowStaysOff)
{
    create_caret(field, {}, 2, 8);
    show_window(field, SW_HIDE);
    show_caret(field);
    EXPECT_FALSE(caret_is_drawn());
    show_window(field, SW_SHOW);
    pump();
    set_caret_pos(1, 1);
    EXPECT_TRUE(caret_is_drawn());
    EXPECT_EQ(at(1, 1), kInverted);
}

} // namespace
