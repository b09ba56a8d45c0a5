#include "platform/kernel/clock.h"

#include <cerrno>
#include <ctime>

#include "platform/kernel/error.h"

namespace plat {

constexpr uint64_t kFileTicksPerMs = 10000;
constexpr uint64_t kFileTicksPerSecond = 10000000;
constexpr int64_t kFileTicksPerMinute = 600000000;
constexpr uint64_t kFileTicksPerDay = 864000000000;
constexpr uint64_t kFileTimeMax = 0x7FFFFFFFFFFFFFFF; // Win32 refuses the upper half
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kUnixEpochSeconds = kDaysFrom1601To1970 * 86400; // 1970 in seconds since 1601
constexpr uint16_t kFirstYear = 1601;
constexpr uint16_t kLastYear = 30827;

struct ClockState {
    bool is_virtual = false;
    uint64_t virtual_elapsed_ms = 0; // since clock_use_virtual, never wraps
    uint32_t tick_base = 0;          // tick = tick_base + elapsed, modulo 2^32
    uint64_t wall_base = 0;          // UTC file time at the start
    bool fixed_offset = false;       // else the host zone's current offset
    int32_t offset_minutes = 0;
    ClockWaitHook wait_hook = nullptr;
};

static ClockState s_clock;

static uint32_t real_tick()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
}

static uint64_t real_file_time()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return file_time_from_unix(now.tv_sec, uint32_t(now.tv_nsec));
}

// Seconds east of UTC of the host zone now, as Win32 takes the current bias.
static int64_t host_offset_seconds()
{
    time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local))
        return 0;
    return local.tm_gmtoff;
}

static int64_t local_offset_ticks()
{
    if (s_clock.fixed_offset)
        return int64_t(s_clock.offset_minutes) * kFileTicksPerMinute;
    return host_offset_seconds() * int64_t(kFileTicksPerSecond);
}

uint32_t get_tick_count()
{
    if (s_clock.is_virtual)
        return uint32_t(s_clock.tick_base + s_clock.virtual_elapsed_ms);
    return real_tick();
}

uint32_t time_get_time() { return get_tick_count(); }

uint64_t get_system_time_as_file_time()
{
    if (s_clock.is_virtual)
        return s_clock.wall_base + s_clock.virtual_elapsed_ms * kFileTicksPerMs;
    return real_file_time();
}

void get_system_time(SystemTime& out) { file_time_to_system_time(get_system_time_as_file_time(), out); }

void get_local_time(SystemTime& out)
{
    uint64_t local = 0;
    if (!file_time_to_local_file_time(get_system_time_as_file_time(), local))
        local = get_system_time_as_file_time();
    file_time_to_system_time(local, out);
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar. Years are counted
// from March, so the leap day ends a year and each 400-year era has the same 146097 days.
static int64_t days_from_civil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned year_of_era = unsigned(year - era * 400);
    unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + int64_t(day_of_era) - 719468;
}

static void civil_from_days(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned day_of_era = unsigned(days - era * 146097);
    unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    unsigned month_from_march = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    year = int64_t(year_of_era) + era * 400 + (month <= 2);
}

static bool is_leap_year(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

static unsigned days_in_month(unsigned year, unsigned month)
{
    static const uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

static bool system_time_is_valid(const SystemTime& t)
{
    return t.year >= kFirstYear && t.year <= kLastYear && t.month >= 1 && t.month <= 12 && t.day >= 1
        && t.day <= days_in_month(t.year, t.month) && t.hour < 24 && t.minute < 60 && t.second < 60
        && t.milliseconds < 1000;
}

bool system_time_to_file_time(const SystemTime& time, uint64_t& file_time)
{
    if (!system_time_is_valid(time)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return false;
    }
    uint64_t days = uint64_t(days_from_civil(time.year, time.month, time.day) + kDaysFrom1601To1970);
    uint64_t ms = ((uint64_t(time.hour) * 60 + time.minute) * 60 + time.second) * 1000 + time.milliseconds;
    file_time = days * kFileTicksPerDay + ms * kFileTicksPerMs;
    return true;
}

bool file_time_to_system_time(uint64_t file_time, SystemTime& time)
{
    if (file_time > kFileTimeMax) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return false;
    }
    uint64_t days = file_time / kFileTicksPerDay;
    uint64_t ms = file_time % kFileTicksPerDay / kFileTicksPerMs;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(int64_t(days) - kDaysFrom1601To1970, year, month, day);
    time.year = uint16_t(year);
    time.month = uint16_t(month);
    time.day = uint16_t(day);
    time.day_of_week = uint16_t((days + 1) % 7); // 1601-01-01 was a Monday
    time.hour = uint16_t(ms / 3600000);
    time.minute = uint16_t(ms / 60000 % 60);
    time.second = uint16_t(ms / 1000 % 60);
    time.milliseconds = uint16_t(ms % 1000);
    return true;
}

// file_time + delta when the result stays within 0..kFileTimeMax.
static bool shift_file_time(uint64_t file_time, int64_t delta, uint64_t& out)
{
    if (file_time > kFileTimeMax)
        return false;
    if (delta < 0 ? file_time < uint64_t(-delta) : uint64_t(delta) > kFileTimeMax - file_time) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return false;
    }
    out = file_time + uint64_t(delta);
    return true;
}

bool file_time_to_local_file_time(uint64_t utc, uint64_t& local)
{
    return shift_file_time(utc, local_offset_ticks(), local);
}

bool local_file_time_to_file_time(uint64_t local, uint64_t& utc)
{
    return shift_file_time(local, -local_offset_ticks(), utc);
}

uint64_t file_time_from_unix(int64_t seconds, uint32_t nanoseconds)
{
    if (seconds < -kUnixEpochSeconds)
        return 0;
    if (seconds > int64_t(kFileTimeMax / kFileTicksPerSecond) - kUnixEpochSeconds)
        return kFileTimeMax;
    return uint64_t(seconds + kUnixEpochSeconds) * kFileTicksPerSecond + nanoseconds / 100;
}

void file_time_to_unix(uint64_t file_time, int64_t& seconds, uint32_t& nanoseconds)
{
    seconds = int64_t(file_time / kFileTicksPerSecond) - kUnixEpochSeconds;
    nanoseconds = uint32_t(file_time % kFileTicksPerSecond) * 100;
}

void clock_use_real()
{
    s_clock.is_virtual = false;
    s_clock.fixed_offset = false;
}

void clock_use_virtual(uint32_t start_tick, uint64_t start_file_time)
{
    s_clock.is_virtual = true;
    s_clock.virtual_elapsed_ms = 0;
    s_clock.tick_base = start_tick;
    s_clock.wall_base = start_file_time;
    s_clock.fixed_offset = true;
    s_clock.offset_minutes = 0;
}

bool clock_is_virtual() { return s_clock.is_virtual; }

void clock_advance(uint32_t ms)
{
    if (s_clock.is_virtual)
        s_clock.virtual_elapsed_ms += ms;
}

void clock_set_tick(uint32_t tick)
{
    if (s_clock.is_virtual)
        s_clock.tick_base = uint32_t(tick - s_clock.virtual_elapsed_ms);
}

void clock_set_local_offset(int32_t minutes)
{
    s_clock.fixed_offset = true;
    s_clock.offset_minutes = minutes;
}

void clock_set_wait_hook(ClockWaitHook hook) { s_clock.wait_hook = hook; }

void clock_wait(uint32_t max_ms)
{
    if (s_clock.wait_hook) {
        s_clock.wait_hook(max_ms);
        return;
    }
    if (max_ms == INFINITE)
        return;
    if (s_clock.is_virtual) {
        clock_advance(max_ms);
        return;
    }
    timespec pause{time_t(max_ms / 1000), long(max_ms % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

void clock_reset() { s_clock = ClockState{}; }

} // namespace plat
