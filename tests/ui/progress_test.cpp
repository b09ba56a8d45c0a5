#include "runtime/ui/progress.h"

#include <string>

#include "platform/kernel/clock.h"
#include "runtime/display/refresh.h"
#include "tests/platform/control_test_support.h"

namespace {

using namespace wintest;

constexpr uint32_t kBlue = 0x0000FF; // as the surface holds it: 0x00RRGGBB

// A bar of 104 x 14 in the host (100 pixels inside), and the progress dialog over the host.
class ProgressTest : public ScriptedControlTest {
protected:
    WindowHandle bar;

    void SetUp() override
    {
        ScriptedControlTest::SetUp();
        dlg_progress_reset();
        ASSERT_EQ(dlg_progress_register_class(), 1);
        ASSERT_EQ(dlg_progress_register_class(), 1); // an existing class is accepted
        bar = create_window_ex(0, kThermometerClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 104, 14, host, 7, {}, nullptr);
        ASSERT_TRUE(bar);
        set_active_window(host);
        pump();
    }
    void TearDown() override
    {
        dlg_progress_reset();
        ScriptedControlTest::TearDown();
    }

    int32_t position() const { return get_window_long(bar, 0); }
    // The blue part's width along the middle row.
    int32_t blue_width()
    {
        pump();
        int32_t width = 0;
        for (int32_t x = 2; x < 102; x++)
            width += client_pixel(bar, x, 7) == kBlue ? 1 : 0;
        return width;
    }
    void set_range(int32_t minimum, int32_t maximum)
    {
        ThermometerRange range{minimum, maximum};
        send_message(bar, kThermometerSetRange, 0, reinterpret_cast<LParam>(&range));
    }
};

struct BarStep {
    const char* name;
    uint32_t message;
    int32_t a;
    int32_t b; // the maximum for kThermometerSetRange
    int32_t position;
    int32_t width;
};

TEST_F(ProgressTest, TheBarKeepsItsPositionInTheRangeAndDrawsItsShare)
{
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(blue_width(), 0);
    static const BarStep kSteps[] = {
        {"a quarter", kThermometerSetRange, 0, 1000, 0, 0},
        {"position 250 of 1000", kThermometerSetPosition, 250, 0, 250, 25},
        {"the range shrinks, the share stays", kThermometerSetRange, 0, 100, 25, 25},
        {"a step", kThermometerStep, 5, 0, 30, 30},
        {"past the maximum", kThermometerSetPosition, 2000, 0, 100, 100},
        {"back", kThermometerSetPosition, 10, 0, 10, 10},
        {"below the minimum", kThermometerSetPosition, -5, 0, 0, 0},
        {"byte counts need 64 bits", kThermometerSetRange, 0, 2000000000, 0, 0},
        {"three quarters of 2e9", kThermometerSetPosition, 1500000000, 0, 1500000000, 75},
        {"a range of 2e9 to 1e9 keeps the share", kThermometerSetRange, 0, 1000000000, 750000000, 75},
        {"to the maximum at once", kThermometerFill, 0, 0, 1000000000, 100},
        {"a maximum below the minimum lowers it", kThermometerSetRange, 50, 20, 20, 100},
    };
    for (const BarStep& step : kSteps) {
        SCOPED_TRACE(step.name);
        if (step.message == kThermometerSetRange)
            set_range(step.a, step.b);
        else
            send_message(bar, step.message, 0, LParam(step.a));
        EXPECT_EQ(position(), step.position);
        EXPECT_EQ(blue_width(), step.width);
    }
}

TEST_F(ProgressTest, OneDialogAtATimeOverItsDisabledOwner)
{
    start_script("wait 1000\n"); // the headless clock moves while the dialog waits
    ASSERT_EQ(dlg_progress_open("Copying", 0, 1000, 1, kProgressTemplate), 1);
    WindowHandle dialog = dlg_progress_window();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(is_window_enabled(host));
    EXPECT_EQ(dlg_progress_open("Again", 0, 10, 1, kProgressStopTemplate), 0);
    EXPECT_EQ(dlg_progress_window(), dialog);
    EXPECT_EQ(text_of(get_dlg_item(dialog, kProgressMessageLine)), "Copying");

    dlg_progress_set(250, "%d of %d bytes", 250, 1000);
    EXPECT_EQ(text_of(get_dlg_item(dialog, kProgressSecondLine)), "250 of 1000 bytes");
    WindowHandle dialog_bar = get_dlg_item(dialog, kProgressBar);
    EXPECT_EQ(get_window_long(dialog_bar, 0), 250);
    dlg_progress_range(0, 100);
    EXPECT_EQ(get_window_long(dialog_bar, 0), 25);
    dlg_progress_caption("Saving");
    EXPECT_EQ(text_of(dialog), "Saving");

    // Closed 50 ms after it opened, it stays until 300 ms have passed.
    uint32_t opened = get_tick_count();
    clock_advance(50);
    dlg_progress_close();
    EXPECT_GE(get_tick_count() - opened, 300u);
    EXPECT_FALSE(is_window(dialog));
    EXPECT_TRUE(is_window_enabled(host));
    EXPECT_FALSE(dlg_progress_window());
}

TEST_F(ProgressTest, WithoutCancelTheDialogEndsBelowTheBar)
{
    start_script("wait 2000\n");
    ASSERT_EQ(dlg_progress_open("Working", 0, 10, 1, kProgressStopTemplate), 1);
    Rect with_button;
    get_window_rect(dlg_progress_window(), with_button);
    EXPECT_EQ(text_of(dlg_progress_window()), "Progress");
    EXPECT_EQ(text_of(get_dlg_item(dlg_progress_window(), IDCANCEL)), "Stop");
    dlg_progress_close();

    ASSERT_EQ(dlg_progress_open("Working", 0, 10, 0, kProgressStopTemplate), 1);
    WindowHandle dialog = dlg_progress_window();
    Rect without, button;
    get_window_rect(dialog, without);
    get_window_rect(get_dlg_item(dialog, IDCANCEL), button);
    EXPECT_FALSE(is_window_visible(get_dlg_item(dialog, IDCANCEL)));
    EXPECT_EQ(without.bottom, button.top + 4 + get_system_metrics(SM_CYDLGFRAME) + get_system_metrics(SM_CYBORDER));
    EXPECT_LT(without.height(), with_button.height());
    dlg_progress_close();
}

TEST_F(ProgressTest, AClickOnCancelIsWhatThePumpAnswers)
{
    ASSERT_EQ(dlg_progress_open("Copying", 0, 100, 1, kProgressTemplate), 1);
    Rect button;
    get_window_rect(get_dlg_item(dlg_progress_window(), IDCANCEL), button);
    std::string at = std::to_string((button.left + button.right) / 2) + " " + std::to_string((button.top + button.bottom) / 2);
    start_script("wait 20\nclick " + at + "\n");
    int answered = 0;
    for (int step = 0; step < 200 && !answered; step++) {
        clock_advance(1);
        answered = dlg_progress_pump();
    }
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(dlg_progress_pump(), 0); // the flag was taken
    dlg_progress_close();
}

} // namespace
