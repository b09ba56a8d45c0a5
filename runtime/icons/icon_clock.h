// The time-limit clock: the display object (object kind 5) that an icon with limited time owns.
// Its stopwatch and limit live in the object's record, so a save of the stage keeps them (the
// modules' suspend around the save pauses the stopwatch, the resume after a restore lets it run
// on); executor task 4 (icon, 0) redraws the face and notices when the limit has passed, then
// lets the owner go on: a Wait icon's wait ends, a Decision icon or a TimeLimit response is told
// through the hooks below.
#pragma once
#include <cstdint>

#include "runtime/display/dobj.h"
#include "runtime/files/clock.h"
#include "runtime/nodes/node_files.h"

// The object kind of an icon's clock and the kind table entry of its handler.
constexpr uint16_t kObjectKindClock = 5;
constexpr uint32_t kClockHandlerKind = 7;
// The owner's property with the face's centre (two i16, x and y).
constexpr uint16_t kPropClockCentre = 7;
constexpr int32_t kClockBoxSize = 34;     // the face's rectangle
constexpr int32_t kClockFaceRadius = 11;  // the face itself, a circle of 22 pixels
constexpr int32_t kClockHitRadius = 12;
constexpr int kClockGlyph = 51;

// The kind data after the record's header, little-endian.
enum : uint32_t {
    kClockStopwatch = 0, // u32 value, u8 pause bits, u8 stopped flag
    kClockLimit = 8,     // i32 milliseconds
    kClockFlags = 12,    // u8
    kClockOwner = 16,    // u32 IconId
    kClockTaskArg = 20,  // i32, the task's second argument (0)
    kClockDataSize = 24,
};
enum : uint8_t {
    kClockForResponse = 0x01, // the limit of a TimeLimit response
    kClockLimitPassed = 0x04,
};

// Creates the icon's clock with its stopwatch started, shown (a face) or not (invisible and of
// no area), and adds its task every limit/128 ms. Nonzero when the icon already has a clock.
int resp_clock_create(IconId icon, int32_t limit_ms, int shown, int for_response);
// Every clock of the icon (one whose limit has passed is spared when asked) restarts from zero
// and runs; a new limit replaces the old and re-times the task.
void resp_clock_restart(IconId icon, int32_t limit_ms, int spare_expired);
// Hold and release the icon's clocks (a perpetual call interrupting their interaction).
void resp_clock_hold(IconId icon);
void resp_clock_unhold(IconId icon);
// Stops the clocks of the interaction's responses for good (an exit response was matched).
void resp_clock_stop(IconId interaction);
// The smallest positive time left of the clocks of the icon and of its responses; 0 when none.
int32_t resp_clock_time_remaining(IconId icon);
// Executor task 4: arguments (1, 1) are the inactivity time-out, others (icon, 0) a clock.
// Nonzero keeps the task.
int resp_clock_task(uint32_t icon, uint32_t argument);
// The display-object kind handler of clocks.
int32_t resp_clock_handler(uint8_t* object, int message, DisplayMsgArg* arg);
// The task's interval for a limit: limit / 128 ms, 1 to 10000.
uint32_t resp_clock_interval(int32_t limit_ms);

// What later modules do when a limit passes. Empty entries: a TimeLimit response is never taken
// (its clock just stops), a Decision icon's time-out does nothing, the inactivity time-out's
// task ends, and no sound is playing to be stopped.
struct ClockHooks {
    // Response message 9: the response's active condition.
    int (*response_active)(IconId response);
    // Commits the entry text and jumps to the response.
    void (*time_limit_jump)(IconId response);
    void (*decision_time_out)(IconId decision);
    // A run of the time-out's task (1, 1); nonzero keeps it.
    int (*timeout_task)();
    void (*sound_stop)();
};
void resp_clock_set_hooks(const ClockHooks& hooks);
const ClockHooks& resp_clock_hooks();

// Registers the handler, the task and the Wait icon's clock hooks (after the engine's install).
void icon_clock_install();
// Forgets the hooks (tests).
void icon_clock_reset();
