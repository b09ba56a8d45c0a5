#include "platform/kernel/clock.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#include "platform/kernel/error.h"

using namespace plat;

namespace {

class ClockTest : public testing::Test {
protected:
    void SetUp() override { clock_reset(); }
    void TearDown() override { clock_reset(); }
};

constexpr uint64_t kFileTime1970 = 116444736000000000;
constexpr uint64_t kFileTicksPerMs = 10000;

struct DateCase {
    const char* name;
    SystemTime time; // year, month, day_of_week, day, hour, minute, second, ms
    uint64_t file_time;
};

static const DateCase kDateCases[] = {
    {"first day of the file-time era", {1601, 1, 1, 1, 0, 0, 0, 0}, 0},
    {"host epoch", {1970, 1, 4, 1, 0, 0, 0, 0}, kFileTime1970},
    {"leap day of a year divisible by 400", {2000, 2, 2, 29, 12, 34, 56, 789}, 125963012967890000},
    {"past the 32-bit host seconds", {2038, 1, 2, 19, 3, 14, 8, 0}, 137919572480000000},
    {"1900 has no leap day", {1900, 3, 4, 1, 0, 0, 0, 0}, 94405824000000000},
    {"last millisecond Win32 accepts", {30827, 12, 5, 31, 23, 59, 59, 999}, 9223149887999990000},
};

TEST_F(ClockTest, CalendarAndFileTimeConvertBothWays)
{
    for (const DateCase& c : kDateCases) {
        SCOPED_TRACE(c.name);
        uint64_t file_time = 0;
        ASSERT_TRUE(system_time_to_file_time(c.time, file_time));
        EXPECT_EQ(file_time, c.file_time);

        SystemTime back;
        ASSERT_TRUE(file_time_to_system_time(c.file_time + 9999, back)); // sub-ms part drops
        EXPECT_EQ(back.year, c.time.year);
        EXPECT_EQ(back.month, c.time.month);
        EXPECT_EQ(back.day_of_week, c.time.day_of_week);
        EXPECT_EQ(back.day, c.time.day);
        EXPECT_EQ(back.hour, c.time.hour);
        EXPECT_EQ(back.minute, c.time.minute);
        EXPECT_EQ(back.second, c.time.second);
        EXPECT_EQ(back.milliseconds, c.time.milliseconds);
    }
}

TEST_F(ClockTest, EveryDayOfFourCenturiesRoundTrips)
{
    // Steps of a day and 1 ms cross every month end and leap rule of a 400-year cycle.
    for (uint64_t ft = kFileTime1970; ft < kFileTime1970 + 146097 * 864000000000ull; ft += 864000010000ull) {
        SystemTime time;
        uint64_t back = 0;
        ASSERT_TRUE(file_time_to_system_time(ft, time));
        ASSERT_TRUE(system_time_to_file_time(time, back));
        ASSERT_EQ(back, ft);
    }
}

static const DateCase kBadDates[] = {
    {"month 13", {2001, 13, 0, 1, 0, 0, 0, 0}, 0},
    {"month 0", {2001, 0, 0, 1, 0, 0, 0, 0}, 0},
    {"29 February of a common year", {2001, 2, 0, 29, 0, 0, 0, 0}, 0},
    {"29 February 1900", {1900, 2, 0, 29, 0, 0, 0, 0}, 0},
    {"31 April", {2001, 4, 0, 31, 0, 0, 0, 0}, 0},
    {"day 0", {2001, 4, 0, 0, 0, 0, 0, 0}, 0},
    {"before 1601", {1600, 12, 0, 31, 23, 59, 59, 999}, 0},
    {"after 30827", {30828, 1, 0, 1, 0, 0, 0, 0}, 0},
    {"hour 24", {2001, 1, 0, 1, 24, 0, 0, 0}, 0},
    {"second 60", {2001, 1, 0, 1, 0, 0, 60, 0}, 0},
    {"1000 ms", {2001, 1, 0, 1, 0, 0, 0, 1000}, 0},
};

TEST_F(ClockTest, OutOfRangeFieldsAreRefused)
{
    for (const DateCase& c : kBadDates) {
        SCOPED_TRACE(c.name);
        uint64_t file_time = 12345;
        set_last_error(0);
        EXPECT_FALSE(system_time_to_file_time(c.time, file_time));
        EXPECT_EQ(get_last_error(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(file_time, 12345u);
    }
    SystemTime time;
    EXPECT_FALSE(file_time_to_system_time(0x8000000000000000ull, time));
}

TEST_F(ClockTest, VirtualTickWrapsAt32Bits)
{
    clock_use_virtual(0xFFFFFF00u, kFileTime1970);
    EXPECT_TRUE(clock_is_virtual());
    uint32_t start = get_tick_count();
    EXPECT_EQ(start, 0xFFFFFF00u);
    EXPECT_EQ(get_tick_count(), start); // virtual time stands still while we compute

    clock_advance(0x200);
    EXPECT_EQ(get_tick_count(), 0x100u);
    EXPECT_EQ(time_get_time(), 0x100u);
    EXPECT_EQ(uint32_t(get_tick_count() - start), 0x200u); // elapsed survives the wrap
    EXPECT_EQ(get_system_time_as_file_time(), kFileTime1970 + 0x200 * kFileTicksPerMs);

    clock_set_tick(0xFFFFFFFFu); // tick alone: the calendar does not jump back
    EXPECT_EQ(get_tick_count(), 0xFFFFFFFFu);
    EXPECT_EQ(get_system_time_as_file_time(), kFileTime1970 + 0x200 * kFileTicksPerMs);
    clock_advance(1);
    EXPECT_EQ(get_tick_count(), 0u);
}

TEST_F(ClockTest, VirtualCalendarFollowsTheClock)
{
    SystemTime start = {1999, 12, 5, 31, 23, 59, 59, 500};
    uint64_t start_file_time = 0;
    ASSERT_TRUE(system_time_to_file_time(start, start_file_time));
    clock_use_virtual(0, start_file_time);
    clock_advance(600);

    SystemTime utc;
    SystemTime local;
    get_system_time(utc);
    get_local_time(local); // a virtual clock keeps local time at UTC
    for (const SystemTime& t : {utc, local}) {
        EXPECT_EQ(t.year, 2000);
        EXPECT_EQ(t.month, 1);
        EXPECT_EQ(t.day, 1);
        EXPECT_EQ(t.day_of_week, 6);
        EXPECT_EQ(t.second, 0);
        EXPECT_EQ(t.milliseconds, 100);
    }
}

TEST_F(ClockTest, LocalOffsetShiftsBothWays)
{
    clock_use_virtual(0, kFileTime1970);
    clock_set_local_offset(9 * 60 + 30);
    SystemTime local;
    get_local_time(local);
    EXPECT_EQ(local.hour, 9);
    EXPECT_EQ(local.minute, 30);

    clock_set_local_offset(-5 * 60);
    uint64_t shifted = 0;
    uint64_t back = 0;
    ASSERT_TRUE(file_time_to_local_file_time(kFileTime1970, shifted));
    EXPECT_EQ(kFileTime1970 - shifted, 5 * 3600 * 1000 * kFileTicksPerMs);
    ASSERT_TRUE(local_file_time_to_file_time(shifted, back));
    EXPECT_EQ(back, kFileTime1970);
    EXPECT_FALSE(file_time_to_local_file_time(0, shifted)); // before 1601
    EXPECT_FALSE(local_file_time_to_file_time(0x7FFFFFFFFFFFFFF0ull, back));
}

static uint32_t s_hook_asked = 0;

static void jump_to_due_timer(uint32_t max_ms)
{
    s_hook_asked = max_ms;
    clock_advance(40); // the next due timer is nearer than the caller's limit
}

TEST_F(ClockTest, WaitsGoThroughTheHookOrMoveVirtualTime)
{
    clock_use_virtual(1000, kFileTime1970);
    clock_wait(250);
    EXPECT_EQ(get_tick_count(), 1250u);
    clock_wait(INFINITE); // nothing can end it: return without moving
    EXPECT_EQ(get_tick_count(), 1250u);

    clock_set_wait_hook(jump_to_due_timer);
    clock_wait(INFINITE);
    EXPECT_EQ(s_hook_asked, INFINITE);
    EXPECT_EQ(get_tick_count(), 1290u);
    clock_set_wait_hook(nullptr);
    clock_wait(10);
    EXPECT_EQ(get_tick_count(), 1300u);
}

TEST_F(ClockTest, HostTimeStampsConvert)
{
    static const struct {
        int64_t seconds;
        uint32_t nanoseconds;
    } kStamps[] = {{0, 0}, {-1, 999999900}, {2000000000, 123456700}, {-11644473600, 0}};
    for (const auto& stamp : kStamps) {
        SCOPED_TRACE(stamp.seconds);
        uint64_t file_time = file_time_from_unix(stamp.seconds, stamp.nanoseconds);
        int64_t seconds = 0;
        uint32_t nanoseconds = 0;
        file_time_to_unix(file_time, seconds, nanoseconds);
        EXPECT_EQ(seconds, stamp.seconds);
        EXPECT_EQ(nanoseconds, stamp.nanoseconds);
    }
    EXPECT_EQ(file_time_from_unix(0, 0), kFileTime1970);
    EXPECT_EQ(file_time_from_unix(-11644473601, 0), 0u); // before 1601 clamps
}

TEST_F(ClockTest, RealClockIsPlausible)
{
    EXPECT_FALSE(clock_is_virtual());
    uint32_t first = get_tick_count();
    EXPECT_LT(uint32_t(get_tick_count() - first), 1000u);

    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    file_time_to_unix(get_system_time_as_file_time(), seconds, nanoseconds);
    EXPECT_LE(std::llabs(seconds - int64_t(std::time(nullptr))), 2);
    SystemTime now;
    get_system_time(now);
    EXPECT_GE(now.year, 2024);
}

} // namespace
