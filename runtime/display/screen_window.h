// The presentation window's messages: the main window procedure offers each of them here
// first. Paint requests become damage and a refresh, size and moves reach the engine, keys go
// to the key queue, input-method messages to the keyboard-focus object, mouse messages to the
// response code (and the mouse triggers), activation to the executor modules. Around it: peeking
// for and discarding input, the idle tick of display objects, the window's destroy road and the
// cover window that hides the window while its menu bar changes.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

struct KeyEvent;

// Data code of a mouse message relayed by another window through WM_COPYDATA, and the message
// the sender is answered with.
constexpr uintptr_t kCopyDataRelayMouse = 1224;
constexpr uint32_t kMsgRelayMouseAnswer = 1225;
// Activation of the presentation window as the main window tells it (wParam: active).
constexpr uint32_t kMsgAppActivation = 0x464;
// The data of a relayed mouse message: u16 message, u16 wParam, i16 x, i16 y (screen), i16 a
// window the runtime does not read (a 16-bit window cannot name ours: the sender is wParam).
constexpr uint32_t kRelayMouseSize = 10;

// What the handler reaches in the program above it and in modules later work builds. Empty
// entries: a close is never asked for, no dead key waits, no outside program or authoring
// window sees a message, keys and clicks go nowhere (the mouse triggers still fire), the
// window-position variables are not told.
struct ScreenWindowHooks {
    // --- the program ---------------------------------------------------------------------
    void (*request_close)();
    int (*dead_key_pending)();
    // --- later services ------------------------------------------------------------------
    // The outside-program interface and the authoring-window link: true when they answered
    // the message (result set).
    bool (*extapi_filter_message)(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
        plat::LParam lparam, plat::LResult& result);
    bool (*wizard_window_message)(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
        plat::LParam lparam, plat::LResult& result);
    // The response code, in stage coordinates.
    void (*resp_mouse_move)(int32_t x, int32_t y);
    void (*resp_mouse_down)(int32_t x, int32_t y, int double_click);
    void (*resp_mouse_up)(int32_t x, int32_t y);
    void (*resp_track_other_buttons)(uint32_t message, int32_t x, int32_t y);
    // The engine's key queue.
    void (*exec_key_post)(const KeyEvent& event);
    // The system variables of the window's place (moved) and size (not moved).
    void (*window_variables_changed)(int moved);
    // The runtime's window list forgets the window.
    void (*win_list_forget)(plat::WindowHandle window);
};
void screen_set_window_hooks(const ScreenWindowHooks& hooks);
const ScreenWindowHooks& screen_window_hooks();

// The handler: true when the message was answered (result set); the main window procedure
// handles the rest. Mouse coordinates arrive in stage coordinates.
bool screen_window_message(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam,
    plat::LResult& result);
// WM_CREATE and WM_SHOWWINDOW (0, 0) to the handler, as a piece that opens gives its window.
void screen_send_first_messages();

// Nonzero when any message waits (nothing is removed). With ignore_repeated_timer a WM_TIMER
// after a WM_TIMER that the previous call saw counts as nothing.
int screen_peek_message(int ignore_repeated_timer);
// Removes the presentation window's waiting mouse (bit 1) and key (bit 2) messages.
enum : int { kFlushMouse = 1, kFlushKeys = 2 };
void screen_flush_input(int flags);
bool screen_is_active();
// Message 82 to every live icon object, from the front.
void dobj_send_idle();
// Saves the learner's records, tells the modules, releases the planes, forgets the window,
// closes the piece and destroys the window.
void screen_destroy_window(plat::WindowHandle window);
// A popup over the window (one pixel wider and taller) that paints nothing, shown without
// activation; null when it cannot be made.
plat::WindowHandle screen_create_cover(plat::WindowHandle window);

// Fills the engine's and the calculation language's presentation-window hooks.
void screen_window_init();
// Forgets the handler's state and hooks (tests).
void screen_window_reset();
