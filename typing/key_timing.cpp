#include "typing/key_timing.h"

#include <algorithm>

#include "typing/johab.h"

void key_timing_restart(KeyTiming& timing, uint32_t now)
{
    timing.last_key = now;
    timing.first = 0;
    timing.count = 0;
}

static int32_t interval(KeyTiming& timing, uint32_t now)
{
    uint32_t elapsed = now - timing.last_key; // unsigned: survives the tick count's wrap
    timing.last_key = now;
    return int32_t(std::min<uint32_t>(elapsed, kKeyIntervalCap));
}

void key_timing_interim(KeyTiming& timing, uint32_t now, uint16_t code)
{
    KeyTiming::Step step {interval(timing, now), code};
    if (timing.count == kKeyRingSize) { // the oldest step gives way
        timing.first = (timing.first + 1) % kKeyRingSize;
        timing.count--;
    }
    timing.ring[size_t((timing.first + timing.count) % kKeyRingSize)] = step;
    timing.count++;
}

static KeyTiming::Step take(KeyTiming& timing)
{
    KeyTiming::Step step = timing.ring[size_t(timing.first)];
    timing.first = (timing.first + 1) % kKeyRingSize;
    timing.count--;
    return step;
}

// Hands steps to one field: none for a fill, else one, and one more when the next step shows
// the field changed to another real jamo. False when the ring ran out.
static bool hand_out(KeyTiming& timing, int (*field)(uint16_t), int fill, uint16_t code, int32_t& ms)
{
    if (field(code) == fill)
        return true;
    if (timing.count == 0)
        return false;
    KeyTiming::Step step = take(timing);
    ms += step.interval;
    if (timing.count > 0) {
        int next = field(timing.ring[size_t(timing.first)].code);
        if (next != fill && next != field(step.code))
            ms += take(timing).interval;
    }
    return true;
}

KeyTimes key_timing_final(KeyTiming& timing, uint32_t now, uint16_t code)
{
    KeyTimes times;
    if (code < 0x80)
        timing.count = 0; // what a withdrawn composition left belongs to no character
    if (timing.count == 0) {
        int32_t ms = interval(timing, now);
        if (code < 0x80 || johab_initial(code) != kJohabInitialFill)
            times.initial_ms = ms;
        else if (johab_medial(code) != kJohabMedialFill)
            times.medial_ms = ms;
        else
            times.final_ms = ms;
        return times;
    }
    bool enough = hand_out(timing, johab_initial, kJohabInitialFill, code, times.initial_ms)
        && hand_out(timing, johab_medial, kJohabMedialFill, code, times.medial_ms)
        && hand_out(timing, johab_final, kJohabFinalFill, code, times.final_ms);
    if (!enough)
        key_timing_restart(timing, now);
    return times;
}
