// The millisecond clock that all timing of the runtime reads, stopwatches that icons use to
// measure and pause time, and a 64-bit millisecond clock for long-running motion. The 32-bit
// clock wraps after about 49 days: compare its readings by subtraction, never by size.
#pragma once
#include "runtime/base/fix.h"

#include <cstdint>

// Always 1: the platform's tick count is the one millisecond clock (no multimedia library).
int clock_init();
void clock_term();
// Milliseconds since an arbitrary start (the platform clock, virtual in tests).
uint32_t clock_now_ms();

// Runs while no pause bit is set and it is not stopped. value is the start time while running
// and the elapsed time while paused.
struct Stopwatch {
    uint32_t value = 0;
    uint8_t pause_bits = 0; // bit 0 and bit 1: two independent reasons to pause
    uint8_t stopped = 0;
};

enum ClockStopwatchOp : int {
    kStopwatchStart = 0, // resets and runs; answers the start time
    kStopwatchUnstop = 1,
    kStopwatchStop = 2,
    kStopwatchPause0 = 3,
    kStopwatchResume0 = 4,
    kStopwatchPause1 = 5,
    kStopwatchResume1 = 6,
};

// Applies the operation. When the stopwatch changes between running and paused its value is
// turned over (start time <-> elapsed time) and answered; otherwise 1 when paused, 0 running.
uint32_t clock_stopwatch_control(Stopwatch& stopwatch, int operation);
uint32_t clock_stopwatch_elapsed(const Stopwatch& stopwatch);
// Elapsed / period as 16.16; a period of 0 gives 1.0.
Fixed clock_stopwatch_fraction(const Stopwatch& stopwatch, int32_t period);
// Sets the elapsed time; paused: 0, running: the new start time.
uint32_t clock_stopwatch_set_elapsed(Stopwatch& stopwatch, uint32_t ms);
// Splits the elapsed time into whole periods and the position within the current one, scaled
// to 0..scale (scale may be negative). 1 when a nonzero limit of whole periods is reached (out
// untouched), else 0 with the position in out. A period of 0 or less counts as one period done.
int clock_stopwatch_cycle(const Stopwatch& stopwatch, int32_t period, int32_t scale, int32_t limit,
    int32_t& out_position);

// An unsigned 64-bit value as two 32-bit halves.
struct U64Value {
    uint32_t high = 0;
    uint32_t low = 0;
};

// A 64-bit millisecond clock made of 32-bit readings: the total starts at the current tick
// count and grows by the ticks between reads.
struct TickTimer {
    uint32_t last = 0;
    U64Value total;
};

void util_tick_timer_start(TickTimer& timer);
// Adds the ticks since the last read and gives the total. Gaps of 2^32 ms or more between two
// reads cannot be seen, so the total is exact only for programs read more often than that.
void util_tick_timer_elapsed(TickTimer& timer, U64Value& out);
// The program's own tick timer, started at clock_init (or at its first read).
void clock_program_elapsed(U64Value& out);

bool util_u64_ge(const U64Value& a, const U64Value& b);
// a += addend, and out = a + addend, with the carry into the high half.
void util_u64_add(U64Value& a, const U64Value& addend);
void util_u64_sum(const U64Value& a, U64Value& out, const U64Value& addend);

// Forgets the program's tick timer (tests).
void clock_reset_program_timer();
