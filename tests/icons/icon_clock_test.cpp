// The time-limit clock: its task's interval, its face on the headless screen as time passes,
// hits and moves, holding and suspending, the Wait icon's end, and its limit and elapsed time
// kept in the learner's records across a close and a resume.
#include "runtime/icons/icon_clock.h"

#include "tests/display/stage_window.h"
#include "tests/engine/engine_fixture.h"

#include "platform/backend/backend.h"
#include "platform/backend/script.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/clock.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/refresh.h"
#include "runtime/display/screen_state.h"
#include "runtime/engine/icon_wait.h"

namespace enginetest {
namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBackground = 0xC0C0C0;

// A Calc icon owns the clocks made directly (its clock runs out without effect); the Wait icons
// show their countdown at (100, 50), "Long" for 30 minutes.
constexpr const char* kClockPiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "Face" {
        prop 7 hex 6400 3200
    }
    icon wait "Timed" {
        code 1007 "10"
        attr 0x2000410 1
        prop 7 hex 6400 3200
    }
    icon wait "Long" {
        code 1007 "1800"
    }
}
)";

plat::WindowHandle s_stage;

class ClockTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        s_stage = disptest::open_stage_window("ClockTestStage", 320, 200);
        ASSERT_TRUE(s_stage);
        dlist_reset();
        dobj_reset();
        screen_reset();
        screen_init();
        screen_state_init();
        screen_set_window(s_stage);
        dobj_set_background_color(kBackground);
        ExecHooks hooks = exec_hooks();
        hooks.presentation_window = [] { return s_stage; };
        exec_set_hooks(&hooks);
        icon_clock_install();
    }
    void TearDown() override
    {
        piece_close(0);
        icon_clock_reset();
        screen_state_reset();
        dlist_reset();
        screen_reset();
        dobj_reset();
        EngineTest::TearDown();
        plat::destroy_window(s_stage);
        plat::script_reset();
        plat::backend_set(nullptr);
        plat::clock_use_real();
    }

    // Lets the virtual clock run, running the due tasks every millisecond.
    static void run_for(uint32_t ms)
    {
        for (uint32_t i = 0; i < ms; i++) {
            plat::clock_advance(1);
            sched_tick(0xFFFF);
        }
    }
    // Milliseconds until the kernel leaves the Waiting state (at most limit).
    static uint32_t run_until_wait_ends(uint32_t limit)
    {
        uint32_t began = plat::get_tick_count();
        while (exec_context().state == kStateWaiting && plat::get_tick_count() - began < limit)
            run_for(1);
        return plat::get_tick_count() - began;
    }
    static uint32_t pixel(int32_t x, int32_t y)
    {
        plat::DcHandle dc = plat::get_dc(s_stage);
        uint32_t value = plat::get_pixel(dc, x, y) & 0xFFFFFF;
        plat::release_dc(s_stage, dc);
        return value;
    }
    static Rect clock_bounds(IconId icon)
    {
        Rect bounds;
        EXPECT_TRUE(dobj_icon_rect(icon, kObjectKindClock, bounds));
        return bounds;
    }
    // Walks to the Wait icon called title (the Calc before it runs on the way).
    void enter_wait(const char* title)
    {
        for (int i = 0; i < 20 && where() != std::string(title) + " 2"; i++)
            exec_step();
        ASSERT_EQ(where(), std::string(title) + " 2");
    }
};

TEST(ClockInterval, OneHundredTwentyEighthOfTheLimitBetween1And10000)
{
    static const struct {
        int32_t limit;
        uint32_t interval;
    } rows[] = { { 3000, 23 }, { 1800000, 10000 }, { 1279999, 9999 }, { 1280000, 10000 }, { 255, 1 }, { 127, 1 },
        { 0, 1 }, { -5000, 1 } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.limit);
        EXPECT_EQ(resp_clock_interval(row.limit), row.interval);
    }
}

// The Wait icons' clocks look at the intervals their limits give: 10 s, 30 minutes.
TEST_F(ClockTest, WaitIconsArmAClockObjectWhoseTaskFollowsTheLimit)
{
    ASSERT_EQ(open_piece_file(kClockPiece), 0);
    enter_wait("Timed");
    IconId timed = piece_icon("Timed");
    EXPECT_TRUE(dobj_icon_exists(timed, kObjectKindClock));
    EXPECT_EQ(task_interval(kTaskTimeLimit, timed, 0), 78u);
    EXPECT_EQ(resp_clock_time_remaining(timed), 10000);
    // The countdown option shows the face round the icon's point; without it nothing shows.
    Rect bounds = clock_bounds(timed);
    EXPECT_EQ(bounds, (Rect { 83, 33, 117, 67 }));
    // A task looks again 56 ms before its interval is up: 22 ms apart here.
    uint32_t waited = run_until_wait_ends(20000);
    EXPECT_GE(waited, 10000u);
    EXPECT_LE(waited, 10022u);
    EXPECT_FALSE(dobj_icon_exists(timed, kObjectKindClock));
    EXPECT_FALSE(task_exists(kTaskTimeLimit, timed, 0));

    enter_wait("Long");
    IconId long_wait = piece_icon("Long");
    EXPECT_EQ(task_interval(kTaskTimeLimit, long_wait, 0), 10000u);
    EXPECT_EQ(clock_bounds(long_wait), (Rect {}));
    EXPECT_EQ(resp_clock_time_remaining(long_wait), 1800000);
}

// The face at (100, 50): a black disc with a crown; the elapsed part white, clockwise from the
// top; once the limit has passed all white with a black line up from the centre.
TEST_F(ClockTest, FaceShowsTheElapsedPartAndThePassedLimit)
{
    ASSERT_EQ(open_piece_file(kClockPiece), 0);
    IconId face = piece_icon("Face");
    ASSERT_EQ(resp_clock_create(face, 3000, 1, 0), 0);
    struct Spot {
        const char* where;
        int32_t x, y;
        uint32_t at_start, at_half, passed;
    };
    static const Spot spots[] = {
        { "three o'clock", 106, 50, kBlack, kWhite, kWhite },
        { "five o'clock", 103, 55, kBlack, kWhite, kWhite },
        { "six o'clock, past half a turn of 31/32", 99, 57, kBlack, kBlack, kWhite },
        { "nine o'clock", 94, 50, kBlack, kBlack, kWhite },
        { "just left of the top", 98, 44, kBlack, kBlack, kWhite },
        { "the line to the top, where the sector starts", 100, 44, kBlack, kWhite, kBlack },
        { "the rim outside the face", 112, 50, kBlack, kBlack, kBlack },
        { "the crown", 100, 34, kBlack, kBlack, kBlack },
        { "the stage beside the disc", 116, 50, kBackground, kBackground, kBackground },
    };
    auto check = [&](const char* moment, uint32_t Spot::*expected) {
        SCOPED_TRACE(moment);
        for (const Spot& spot : spots) {
            SCOPED_TRACE(spot.where);
            EXPECT_EQ(pixel(spot.x, spot.y), spot.*expected);
        }
    };
    sched_tick(0xFFFF); // the task is due at once: the first look draws the face
    check("start", &Spot::at_start);
    run_for(1500);
    check("half", &Spot::at_half);
    EXPECT_EQ(resp_clock_time_remaining(face), 1500);
    run_for(1500);
    check("passed", &Spot::passed);
    EXPECT_FALSE(task_exists(kTaskTimeLimit, face, 0));
    EXPECT_EQ(resp_clock_time_remaining(face), 0);
}

// A point within 12 pixels of the centre hits; a move keeps the size, centred on the request;
// an erase takes the task away; a second create leaves the first clock alone.
TEST_F(ClockTest, HitsMovesErasesAndStaysSingle)
{
    ASSERT_EQ(open_piece_file(kClockPiece), 0);
    IconId face = piece_icon("Face");
    ASSERT_EQ(resp_clock_create(face, 5000, 1, 0), 0);
    EXPECT_EQ(resp_clock_create(face, 9000, 1, 0), 1);
    EXPECT_EQ(resp_clock_time_remaining(face), 5000);
    static const struct {
        int32_t x, y;
        bool hit;
    } points[] = { { 100, 50, true }, { 112, 50, true }, { 100, 62, true }, { 113, 50, false }, { 109, 58, false },
        { 108, 58, true } };
    for (const auto& point : points) {
        SCOPED_TRACE(testing::Message() << point.x << "," << point.y);
        IconObjectRef ref;
        dobj_icon_at_point(point.x, point.y, ref);
        EXPECT_EQ(ref.icon == face && ref.object_kind == kObjectKindClock, point.hit);
    }
    uint8_t* object = dobj_find_icon(face, kObjectKindClock);
    ASSERT_NE(object, nullptr);
    DisplayMsgArg arg;
    arg.rect = Rect { 200, 100, 300, 160 };
    dobj_send(object, kMsgSetBounds, &arg);
    dlist_unlock(dlist_stage());
    EXPECT_EQ(clock_bounds(face), (Rect { 233, 113, 267, 147 }));
    dobj_erase_icon(face, kObjectKindClock);
    EXPECT_FALSE(task_exists(kTaskTimeLimit, face, 0));
    EXPECT_EQ(resp_clock_time_remaining(face), 0);
}

// Holding (a perpetual call), suspending the modules (a save, an inactive program) and a stop
// each keep the elapsed time still; a restart begins again, with a new limit re-timing the task.
TEST_F(ClockTest, HoldSuspendStopAndRestart)
{
    ASSERT_EQ(open_piece_file(kClockPiece), 0);
    IconId face = piece_icon("Face");
    ASSERT_EQ(resp_clock_create(face, 4000, 1, 0), 0);
    run_for(1000);
    resp_clock_hold(face);
    run_for(5000);
    EXPECT_EQ(resp_clock_time_remaining(face), 3000);
    EXPECT_TRUE(task_exists(kTaskTimeLimit, face, 0)); // released, it runs out after all
    resp_clock_unhold(face);
    run_for(500);
    EXPECT_EQ(resp_clock_time_remaining(face), 2500);

    modmsg_suspend_all(0);
    plat::clock_advance(60000);
    modmsg_suspend_all(1);
    EXPECT_EQ(resp_clock_time_remaining(face), 2500);

    resp_clock_restart(face, 8000, 0);
    EXPECT_EQ(resp_clock_time_remaining(face), 8000);
    EXPECT_EQ(task_interval(kTaskTimeLimit, face, 0), 62u);

    resp_clock_stop(node_parent(face));
    run_for(3000);
    EXPECT_EQ(resp_clock_time_remaining(face), 8000);
    EXPECT_FALSE(task_exists(kTaskTimeLimit, face, 0));
}

// The piece is closed 4 s into a 10 s wait and resumed later: the clock comes back with its
// limit and elapsed time, shows again, and the wait ends 6 s after the resume.
TEST_F(ClockTest, LimitAndElapsedTimeSurviveCloseAndResume)
{
    ASSERT_EQ(open_piece_file(kClockPiece), 0);
    enter_wait("Timed");
    IconId timed = piece_icon("Timed");
    run_for(4000);
    EXPECT_EQ(resp_clock_time_remaining(timed), 6000);
    close_piece();
    EXPECT_FALSE(dobj_icon_exists(timed, kObjectKindClock));
    plat::clock_advance(100000); // the learner comes back later

    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(where(), "Timed 2");
    EXPECT_EQ(resp_clock_time_remaining(timed), 6000);
    EXPECT_EQ(clock_bounds(timed), (Rect { 83, 33, 117, 67 }));
    EXPECT_EQ(task_interval(kTaskTimeLimit, timed, 0), 78u);
    sched_tick(0xFFFF);
    screen_flush();
    EXPECT_EQ(pixel(106, 50), kWhite); // 40% of a turn already white
    EXPECT_EQ(pixel(94, 50), kBlack);
    uint32_t waited = run_until_wait_ends(20000);
    EXPECT_GE(waited, 6000u);
    EXPECT_LE(waited, 6022u);
    EXPECT_FALSE(dobj_icon_exists(timed, kObjectKindClock));
}

} // namespace
} // namespace enginetest
