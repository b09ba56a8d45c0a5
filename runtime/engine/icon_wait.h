// The Wait icon's kind handler and the stopwatch behind its time limit: executor task 4 (icon, 0)
// looks every limit/128 ms (1..10000) and ends the wait once the limit has passed. The clock's
// face and keeping it across a save come with the time-limit clock object; until then a save
// loses the limit.
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
// Starts the icon's stopwatch with the limit (0 ms: due at the first look).
void exec_wait_arm_time(IconId icon, int32_t limit_ms);
// Plugs the handler and the clock's task into the kernel.
void exec_wait_install();
void exec_wait_reset();
