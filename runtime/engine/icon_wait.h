// The Wait icon's kind handler and its time limit. With the clock hooks filled the limit is the
// icons library's clock object, which shows a face and stays in the learner's records with the
// stage. Without them the icon keeps a stopwatch of its own: executor task 4 (icon, 0) looks
// every limit/128 ms (1..10000) and ends the wait once the limit has passed, nothing shows, and
// a save loses the limit.
#pragma once
#include "runtime/engine/kernel.h"

#include <cstdint>

constexpr uint32_t kAttrWaitButton = 0x2000520;
constexpr uint32_t kAttrWaitKey = 0x2000640;
constexpr uint32_t kAttrWaitClick = 0x2000780;
constexpr uint32_t kAttrWaitCountdown = 0x2000410;
constexpr int32_t kWaitLimitMaxMs = 2147483647;

int exec_wait_handler(KernelMessage* message);
// 1 when the kernel was released at the icon (its button and clock go).
int exec_wait_icon_done(IconId icon);
// Seconds to milliseconds: 0 for none or less, saturating at the i32 maximum.
int32_t exec_wait_limit_ms(double seconds);
// Starts the icon's clock with the limit (0 ms: due at the first look), its face shown or not.
void exec_wait_arm_time(IconId icon, int32_t limit_ms, int shown);

// The time-limit clock object of the icons library. Empty entries: the stopwatch above.
struct WaitClockHooks {
    // Creates the icon's clock; nonzero when the icon already had one (it is left as it was).
    int (*create)(IconId icon, int32_t limit_ms, int shown, int for_response);
    // Restarts the icon's clocks from zero with the limit.
    void (*restart)(IconId icon, int32_t limit_ms, int spare_expired);
    // Erases the icon's clock (its task goes with it).
    void (*erase)(IconId icon);
};
// Installs a copy (null: every entry empty).
void exec_wait_set_clock_hooks(const WaitClockHooks* hooks);
// Plugs the handler and the clock's task into the kernel.
void exec_wait_install();
void exec_wait_reset();
