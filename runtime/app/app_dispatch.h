// The dispatch of each queued message in the message loop, with the key pre-translation that
// the main window's keys pass first: dead keys and their composed characters, dropped
// auto-repeats of Shift and Ctrl, keys for the engine's type-ahead and the dialog keys of an
// active modeless dialog. Also one step of a wait that keeps messages flowing.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

// The dispatch step of the message loop: pre-translation, then translate and dispatch.
void app_dispatch_message(const plat::Msg& msg);

// 1: dispatch the message; 0: swallow it. translate is set to 0 when the key was translated
// here already (the dispatcher must not translate it again).
int app_pretranslate_key(const plat::Msg& msg, int& translate);

enum : int {
    kPumpNothing = 0, // nothing pending
    kPumpDispatched = 1, // one message was taken and dispatched
    kPumpCloseWaiting = 2, // SC_CLOSE or WM_QUIT is next: left in the queue
    kPumpMaximizeWaiting = 3, // SC_MAXIMIZE is next: left in the queue
};
// One message of a wait that keeps messages flowing; waits stop on 2 and 3.
int app_pump_one_message();

// 1 right after a dead key, before any other key: the composed character is still to come.
int app_dead_key_pending();

// DeadKeyState bits.
enum : uint32_t {
    kDeadKeyTyped = 1, // a dead key was typed; its composed character is still to come
    kDeadKeyOtherKey = 2, // set with the dead key and by any other key but Shift or Ctrl; they clear it
};
uint32_t app_dead_key_state();

void app_dispatch_reset();
