// Clocks and calendar time. Every reading of time in the layer comes from one source: the
// host's clocks by default, or a virtual clock that only moves when told to, so tests and the
// headless backend see the same times on every run. Waits that would block go through
// clock_wait, where a backend can hook in (the headless one jumps to the next due timer).
#pragma once
#include <cstdint>

namespace plat {

constexpr uint32_t INFINITE = 0xFFFFFFFF; // a wait without time-out

// SYSTEMTIME: a calendar time, day_of_week 0 = Sunday.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0; // 1..12
    uint16_t day_of_week = 0;
    uint16_t day = 0; // 1..31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// Milliseconds since an arbitrary start; wraps after 2^32 ms, so compare by subtraction.
uint32_t get_tick_count();
// timeGetTime: the same clock as get_tick_count.
uint32_t time_get_time();

// The current time in UTC and in the local time zone.
void get_system_time(SystemTime& out);
void get_local_time(SystemTime& out);
// The current UTC time as a file time (100-ns units since 1601-01-01).
uint64_t get_system_time_as_file_time();

// File time <-> calendar time. Fails with error 87 for fields out of range (years
// 1601..30827) or a file time above 0x7FFFFFFFFFFFFFFF.
bool system_time_to_file_time(const SystemTime& time, uint64_t& file_time);
bool file_time_to_system_time(uint64_t file_time, SystemTime& time);

// UTC <-> local file times, with the current offset of the local zone (as Win32 does, not
// the offset in force at that date). Fails with error 87 when the result leaves the range.
bool file_time_to_local_file_time(uint64_t utc, uint64_t& local);
bool local_file_time_to_file_time(uint64_t local, uint64_t& utc);

// Host time stamps (seconds and nanoseconds since 1970, UTC) <-> file times.
uint64_t file_time_from_unix(int64_t seconds, uint32_t nanoseconds);
void file_time_to_unix(uint64_t file_time, int64_t& seconds, uint32_t& nanoseconds);

// The source of time. clock_use_virtual starts a virtual clock at the given tick and UTC
// file time and fixes the local zone at UTC; it then moves only through clock_advance (tick
// and calendar together) and clock_set_tick (tick alone, e.g. just before the 32-bit wrap).
void clock_use_real();
void clock_use_virtual(uint32_t start_tick, uint64_t start_file_time);
bool clock_is_virtual();
void clock_advance(uint32_t ms);
void clock_set_tick(uint32_t tick);

// Fixes the local zone at minutes east of UTC, in either source; clock_use_real returns to
// the host's zone.
void clock_set_local_offset(int32_t minutes);

// Called by clock_wait in place of blocking: max_ms is the longest the caller would wait
// (INFINITE when only an outside event can end the wait). The hook returns when something
// may have happened; it may move a virtual clock. Null removes it.
using ClockWaitHook = void (*)(uint32_t max_ms);
void clock_set_wait_hook(ClockWaitHook hook);

// A wait that would block up to max_ms: the hook when one is set; otherwise a virtual clock
// jumps forward by max_ms and the real one sleeps for it (INFINITE returns at once).
void clock_wait(uint32_t max_ms);

// The real source, the host's zone and no hook (tests call it between cases).
void clock_reset();

} // namespace plat
