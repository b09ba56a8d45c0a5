#include "runtime/app/app_dispatch.h"

#include "platform/window/keyboard.h"
#include "runtime/app/app.h"

using namespace plat;

namespace {

struct DispatchState {
    uint32_t dead_key_state = 0;
    uint32_t dead_character = 0;
};

DispatchState s_dispatch;

constexpr LParam kRepeatBit = LParam(1) << 30;

} // namespace

static bool is_shift_or_ctrl(WParam key) { return key == VK_SHIFT || key == VK_CONTROL; }

static int on_key_down(const Msg& msg, int& translate)
{
    if (s_dispatch.dead_key_state & kDeadKeyTyped) {
        if (is_shift_or_ctrl(msg.wparam))
            s_dispatch.dead_key_state &= ~kDeadKeyOtherKey;
        else
            s_dispatch.dead_key_state |= kDeadKeyOtherKey;
        return 1;
    }
    // Translated now, so that a dead key shows as the WM_DEADCHAR it queues.
    translate_message(msg);
    translate = 0;
    Msg next;
    uint32_t dead = msg.message == WM_SYSKEYDOWN ? WM_SYSDEADCHAR : WM_DEADCHAR;
    if (peek_message(next, msg.hwnd, dead, dead, PM_NOREMOVE)) {
        s_dispatch.dead_key_state = kDeadKeyTyped | kDeadKeyOtherKey;
        return 1;
    }
    // Keys of a running piece for the engine's type-ahead and its hot keys, then the Tab and
    // dialog keys of an active modeless runtime dialog, come in here with the engine and the
    // runtime's dialogs.
    return 1;
}

static int on_character(const Msg& msg)
{
    if (s_dispatch.dead_key_state & kDeadKeyTyped) {
        if (msg.wparam == s_dispatch.dead_character)
            s_dispatch.dead_key_state &= ~kDeadKeyOtherKey;
        else
            s_dispatch.dead_key_state = 0;
    }
    return 1;
}

int app_pretranslate_key(const Msg& msg, int& translate)
{
    translate = 1;
    if (msg.message == WM_KEYDOWN && is_shift_or_ctrl(msg.wparam) && (msg.lparam & kRepeatBit))
        return 0; // a held Shift or Ctrl reaches the engine once
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return on_key_down(msg, translate);
    case WM_KEYUP:
    case WM_SYSKEYUP: // the dead key's own key-up must not reach anyone
        return (s_dispatch.dead_key_state & kDeadKeyTyped) && !is_shift_or_ctrl(msg.wparam) ? 0 : 1;
    case WM_CHAR:
    case WM_SYSCHAR: return on_character(msg);
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
        s_dispatch.dead_key_state = kDeadKeyTyped | kDeadKeyOtherKey;
        s_dispatch.dead_character = uint32_t(msg.wparam);
        return 1;
    default: return 1;
    }
}

void app_dispatch_message(const Msg& msg)
{
    // Input restarts the engine's inactivity time-out here, once the engine has one.
    int translate = 1;
    if (!app_pretranslate_key(msg, translate))
        return;
    if (translate)
        translate_message(msg);
    dispatch_message(msg);
}

int app_pump_one_message()
{
    Msg msg;
    if (!peek_message(msg, {}, 0, 0, PM_NOREMOVE))
        return kPumpNothing;
    // Left in the queue so that a wait can end before they are handled; taking WM_QUIT here
    // would lose it.
    if (msg.message == WM_QUIT)
        return kPumpCloseWaiting;
    if (msg.message == WM_SYSCOMMAND && (msg.wparam & 0xFFF0) == SC_CLOSE)
        return kPumpCloseWaiting;
    if (msg.message == WM_SYSCOMMAND && (msg.wparam & 0xFFF0) == SC_MAXIMIZE)
        return kPumpMaximizeWaiting;
    int got = get_message(msg);
    if (got == 0) {
        post_quit_message(int(msg.wparam));
        return kPumpCloseWaiting;
    }
    if (got < 0)
        return kPumpNothing;
    app_dispatch_message(msg);
    return kPumpDispatched;
}

int app_dead_key_pending() { return s_dispatch.dead_key_state == (kDeadKeyTyped | kDeadKeyOtherKey); }
uint32_t app_dead_key_state() { return s_dispatch.dead_key_state; }

void app_dispatch_reset() { s_dispatch = DispatchState{}; }
