// Inside the between-programs area: the connections, the I/O thread and the requests that
// ipc.cpp keeps, and what the window thread's side (ipc_deliver.cpp) takes from them.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ipc/ipc_frame.h"
#include "platform/window/message.h"

namespace plat {

struct IpcConnection {
    int fd = -1;
    uint32_t peer_pid = 0;
    uint32_t program = 0; // the program it leads to; 0 for one another program opened
    FrameReader reader;   // the I/O thread's
    std::mutex write_lock;
    bool closed = false; // under the state's lock
    ~IpcConnection();
};

// A frame that the window thread is to handle.
struct IpcIncoming {
    FrameKind kind = FrameKind::post;
    uint32_t serial = 0;
    std::shared_ptr<IpcConnection> from;
    MessageFrame message; // send, post
    CopyFrame copy;
    PlaceFrame place;
};

uint64_t ipc_now_ms();

// The next frame for the window thread (sent_only: leaves posted ones where they are).
bool ipc_core_take_incoming(IpcIncoming& out, bool sent_only);
// Answers a sent frame on the connection it came by.
void ipc_core_reply(const IpcIncoming& incoming, LResult result, uint32_t error);
// The window thread looked at its queue now.
void ipc_core_looked();
// Replaces the snapshot of this program's windows when it changed.
void ipc_core_publish(std::vector<SnapshotWindow> windows);

// Sends a frame to program and waits up to timeout_ms for its answer; sends that arrive
// meanwhile run when run_sent is set. 0 with the answer, else the error (1400, 1460).
enum class WhileWaiting { run_sent, nothing };
uint32_t ipc_core_request(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload,
    uint32_t timeout_ms, WhileWaiting waiting, ReplyFrame& reply);
// Sends a frame without waiting for an answer; 0 or the error.
uint32_t ipc_core_send_only(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload);
// Asks every other program for its snapshot; those silent past kIpcSilentMs are left out.
// only: one program's number, or 0 for all.
std::vector<ProgramSnapshot> ipc_core_snapshots(uint32_t only);

// The window thread runs one arrival (ipc_deliver.cpp).
void ipc_deliver(IpcIncoming& incoming);

} // namespace plat
