#include "runtime/files/clock.h"

#include "platform/kernel/clock.h"

namespace {

struct ClockState {
    TickTimer program;
    bool program_started = false;
};

ClockState s_clock;

} // namespace

int clock_init()
{
    util_tick_timer_start(s_clock.program);
    s_clock.program_started = true;
    return 1;
}

void clock_term() { }

uint32_t clock_now_ms() { return plat::get_tick_count(); }

static bool is_running(const Stopwatch& stopwatch)
{
    return stopwatch.pause_bits == 0 && !stopwatch.stopped;
}

static void apply_operation(Stopwatch& stopwatch, int operation)
{
    switch (operation) {
    case kStopwatchUnstop: stopwatch.stopped = 0; break;
    case kStopwatchStop: stopwatch.stopped = 1; break;
    case kStopwatchPause0: stopwatch.pause_bits |= 1; break;
    case kStopwatchResume0: stopwatch.pause_bits &= uint8_t(~1u); break;
    case kStopwatchPause1: stopwatch.pause_bits |= 2; break;
    case kStopwatchResume1: stopwatch.pause_bits &= uint8_t(~2u); break;
    default: break;
    }
}

uint32_t clock_stopwatch_control(Stopwatch& stopwatch, int operation)
{
    uint32_t now = clock_now_ms();
    if (operation == kStopwatchStart) {
        stopwatch = Stopwatch { now, 0, 0 };
        return now;
    }
    bool was_running = is_running(stopwatch);
    apply_operation(stopwatch, operation);
    bool running = is_running(stopwatch);
    if (running == was_running)
        return running ? 0 : 1;
    // Unsigned subtraction turns a start time into an elapsed time and back, across the wrap.
    stopwatch.value = now - stopwatch.value;
    return stopwatch.value;
}

uint32_t clock_stopwatch_elapsed(const Stopwatch& stopwatch)
{
    return is_running(stopwatch) ? clock_now_ms() - stopwatch.value : stopwatch.value;
}

Fixed clock_stopwatch_fraction(const Stopwatch& stopwatch, int32_t period)
{
    if (period == 0)
        return kFixedOne;
    return fix_div(Fixed(clock_stopwatch_elapsed(stopwatch)), period);
}

uint32_t clock_stopwatch_set_elapsed(Stopwatch& stopwatch, uint32_t ms)
{
    if (!is_running(stopwatch)) {
        stopwatch.value = ms;
        return 0;
    }
    stopwatch.value = clock_now_ms() - ms;
    return stopwatch.value;
}

int clock_stopwatch_cycle(
    const Stopwatch& stopwatch, int32_t period, int32_t scale, int32_t limit, int32_t& out_position)
{
    uint32_t rest = clock_stopwatch_elapsed(stopwatch);
    uint64_t cycles = 1;
    uint32_t fraction = 0;
    if (period > 0) {
        uint32_t length = uint32_t(period);
        // Whole periods come off in chunks of g periods (at most 0x7FFF ms for short periods),
        // so that what is left divides into a 16.16 quotient without overflow.
        uint32_t g = uint16_t((length | 0x7FFF) / length);
        uint32_t chunk = length * g;
        cycles = 0;
        if (rest > chunk) {
            uint32_t chunks = (rest - 1) / chunk; // as many as leave 1..chunk
            rest -= chunks * chunk;
            cycles = uint64_t(chunks) * g;
        }
        Fixed quotient = fix_div(Fixed(rest), period);
        cycles += uint32_t(quotient) >> 16;
        fraction = uint32_t(quotient) & 0xFFFF;
    }
    if (limit != 0 && int64_t(cycles) >= limit)
        return 1;
    int64_t product = int64_t(fraction) * scale;
    if (product < 0)
        product += 0xFFFF; // a negative scale rounds toward zero, as a positive one does
    out_position = int32_t(product >> 16);
    return 0;
}

void util_tick_timer_start(TickTimer& timer)
{
    timer.last = plat::get_tick_count();
    timer.total = U64Value { 0, timer.last };
}

void util_tick_timer_elapsed(TickTimer& timer, U64Value& out)
{
    uint32_t now = plat::get_tick_count();
    util_u64_add(timer.total, U64Value { 0, now - timer.last });
    timer.last = now;
    out = timer.total;
}

void clock_program_elapsed(U64Value& out)
{
    if (!s_clock.program_started) {
        util_tick_timer_start(s_clock.program);
        s_clock.program_started = true;
    }
    util_tick_timer_elapsed(s_clock.program, out);
}

bool util_u64_ge(const U64Value& a, const U64Value& b)
{
    return a.high > b.high || (a.high == b.high && a.low >= b.low);
}

void util_u64_add(U64Value& a, const U64Value& addend)
{
    uint32_t low = a.low + addend.low;
    a.high += addend.high + (low < a.low ? 1 : 0);
    a.low = low;
}

void util_u64_sum(const U64Value& a, U64Value& out, const U64Value& addend)
{
    out = a;
    util_u64_add(out, addend);
}

void clock_reset_program_timer() { s_clock = ClockState {}; }
