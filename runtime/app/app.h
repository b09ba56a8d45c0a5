// svrun32's spine: the entry function, the start-up chains that bring the modules up in a
// fixed order, the one message loop with the engine passes after each message, the close
// request that ends it and the release of every module, once, in a fixed order. An internal
// error (plat::InternalError) is caught at the recovery point in app_main: before that point
// the program ends at once; after it, everything is released and the program ends.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

// The program's entry (WinMain): start-up, the first piece, the loop; the exit code (0 on
// every road: a quiet start-up failure, an internal error, or the WM_QUIT of a close).
int app_main(const char* command_line, int show_command);

// The three start-up chains. Each answers 1 when every step it looks at succeeded, else 0.
int app_init_early();
int app_init(const char* command_line);
int app_init_ui(int show_command);

// The one message loop; ends on WM_QUIT (its wparam) or a failing get_message (0). The
// caller releases the modules.
int app_run_message_loop();

// A close was asked for (a WM_CLOSE reached the presentation window): the engine passes stop
// and the loop closes the window after the current message. Never cleared.
void app_request_close();
int app_close_requested();
// Posts WM_CLOSE to the main window (the Quit command).
void app_request_quit();

// Releases every module in the fixed order; a second call does nothing. Always 0.
int app_shutdown(int ignored);
int app_shutdown_done();
// The file layer's open-file table: one step of the release chain.
void app_close_file_table();

// The movie system of the other platform is never there: start only notes that it is off.
void app_quicktime_start();
void app_quicktime_stop();
int app_quicktime_state(); // 0 undecided, 1 off, 2 started

// The main window (null before it exists and after WM_DESTROY); app_window.cpp keeps it here.
plat::WindowHandle app_main_window();
void app_set_main_window(plat::WindowHandle window);

// The chains as named steps, for tests and the start-up trace.
enum class AppChain { early, init, ui, release };
const char* app_chain_name(AppChain chain);
// The number of steps of a chain, and the name of step index (0 up; null past the end).
int app_chain_length(AppChain chain);
const char* app_chain_step_name(AppChain chain, int index);

// Told before each step runs; answering false makes an init step fail without running and
// skips a release step (tests and the test build's hooks). Null: every step runs.
using AppStepObserver = bool (*)(AppChain chain, const char* step);
void app_set_step_observer(AppStepObserver observer);

// Back to the state before app_main (tests); the modules themselves are not touched.
void app_reset();
