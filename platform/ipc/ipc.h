// Between programs: the project's programs of one user find each other's top-level windows,
// send, post and copy data to them and share global atoms, over Unix-domain sockets in a
// folder of their own (ipc_folder.h). One I/O thread per program reads the sockets, answers
// questions about the program's windows from a snapshot its window thread keeps, and wakes
// the window thread, which alone runs window procedures. Every wait on another program has a
// limit. Numbers cross; addresses never do.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ipc/ipc_frame.h"
#include "platform/window/message.h"

namespace plat {

// How long a send to another program waits at most, how long a program that does not look at
// its queue counts as hung, and how long a program may stay silent before it is skipped.
constexpr uint32_t kIpcSendTimeoutMs = 5000;
constexpr uint32_t kIpcHungMs = 5000;
constexpr uint32_t kIpcSilentMs = 1000;
constexpr uint32_t ERROR_TIMEOUT = 1460;

// Joins the folder of ipc_folder_choose (the program takes its number, which new window ids
// carry, and starts its I/O thread). False with the reason when the program must run alone.
bool ipc_start(std::string& reason);
// The same in a given folder (tests).
bool ipc_start_in(const std::string& folder, std::string& reason);
// Leaves the folder (the socket goes) and stops the thread; the program runs alone again.
void ipc_stop();
bool ipc_active();
uint32_t ipc_program_number();
// The folder the program met others in ("" while alone).
std::string ipc_folder_path();

// Readable when something arrived for the window thread; -1 while alone.
int ipc_wake_descriptor();
// Called by the I/O thread after it made the descriptor readable (a display backend wakes its
// event wait this way); null for none.
void ipc_set_waker(void (*waker)());
// Waits up to ms of real time for something to arrive; true when something did.
bool ipc_wait_for_arrival(uint32_t ms);

// The window thread looks at its queue: the snapshot of its windows is brought up to date and
// what other programs sent or posted is delivered (posted messages go to the queue).
void ipc_pump();

// Whether a window id names a window of another program.
bool ipc_is_foreign(WindowHandle window);

// Sends to another program's window and waits up to timeout_ms (kSendAbortIfHung: fails at
// once when the receiver is hung), running messages sent to this program meanwhile. False
// with the error set (1460 time-out or hung, 1400 window or program gone, 5 a message that
// carries an address, 87 a copy too large).
bool ipc_send(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, uint32_t flags,
    uint32_t timeout_ms, LResult& result);
// Posts in order; false with 1400 when the program is gone, 5 for a message with an address.
bool ipc_post(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
// show_window, set_foreground_window and set_window_pos for the window's owner to do.
bool ipc_place(const PlaceFrame& place, LResult& result);

// Another program's top-level window as its snapshot has it; false with 1400.
bool ipc_window_info(WindowHandle window, SnapshotWindow& out);
// The top-level windows of every other program that answers within kIpcSilentMs, by program
// number, each program's front first.
std::vector<SnapshotWindow> ipc_other_windows();

// Whether a message may go to another program: below WM_USER only those whose parameters are
// plain values (WM_COPYDATA crosses as a copy).
bool ipc_message_crosses(uint32_t message);

// Headless "serve": until ms of real time have passed, the program takes what others send.
void ipc_serve(uint32_t ms);
// While serving, waits for an arrival up to at most ms (real time) and answers true; false
// when not serving.
bool ipc_serve_wait(uint32_t ms);

} // namespace plat
