#include "platform/ipc/ipc.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "platform/ipc/ipc_core.h"
#include "platform/ipc/ipc_folder.h"
#include "platform/kernel/error.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr size_t kReadChunk = 64 * 1024;
// How long the I/O thread may spend writing one answer to a program that does not read.
constexpr uint32_t kAnswerWriteMs = 1000;
// The most arrivals that may wait for the window thread, as many as a queue holds posts.
constexpr size_t kIncomingLimit = kPostedMessageLimit;
constexpr size_t kIncomingBytesLimit = 4 * size_t(kCopyDataMax);

struct Pending {
    std::shared_ptr<IpcConnection> via;
    bool done = false;
    uint32_t error = 0;
    ReplyFrame reply;
    ProgramSnapshot snapshot;
};

struct IpcState {
    bool active = false;
    std::string folder;
    FolderSeat seat;
    int wake_fd = -1;    // the window thread's: something arrived
    int control_fd = -1; // the I/O thread's: the set of connections changed, or stop
    std::thread io;
    std::atomic<bool> stopping{false};
    std::atomic<void (*)()> waker{nullptr};
    std::atomic<uint64_t> last_look{0};
    uint32_t pid = 0;

    std::mutex lock; // everything below
    std::vector<std::shared_ptr<IpcConnection>> connections;
    std::map<uint32_t, std::shared_ptr<IpcConnection>> outgoing; // by program number
    std::map<uint32_t, Pending> pending;                          // by serial
    std::deque<IpcIncoming> incoming;
    size_t incoming_bytes = 0; // copied bytes among them
    std::vector<SnapshotWindow> windows;
    uint32_t next_serial = 1;

    uint64_t serve_until = 0; // the window thread's
};

static IpcState s_ipc;

IpcConnection::~IpcConnection()
{
    if (fd >= 0)
        close(fd);
}

uint64_t ipc_now_ms()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

static void signal_fd(int fd)
{
    uint64_t one = 1;
    ssize_t ignored = write(fd, &one, sizeof one);
    (void)ignored;
}

static void drain_fd(int fd)
{
    uint64_t count = 0;
    ssize_t ignored = read(fd, &count, sizeof count);
    (void)ignored;
}

static void wake_window_thread()
{
    signal_fd(s_ipc.wake_fd);
    if (auto waker = s_ipc.waker.load())
        waker();
}

// Writes a whole frame within the deadline. A frame cut short would leave the stream
// unreadable, so a write that fails or runs out of time shuts the connection.
static uint32_t write_frame(IpcConnection& connection, const std::vector<uint8_t>& frame, uint64_t deadline)
{
    std::lock_guard<std::mutex> guard(connection.write_lock);
    size_t done = 0;
    while (done < frame.size()) {
        ssize_t written = ::send(connection.fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (written > 0) {
            done += size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            uint64_t now = ipc_now_ms();
            if (now < deadline) {
                pollfd out {connection.fd, POLLOUT, 0};
                poll(&out, 1, int(std::min<uint64_t>(deadline - now, 60000)));
                continue;
            }
            shutdown(connection.fd, SHUT_RDWR);
            return ERROR_TIMEOUT;
        }
        shutdown(connection.fd, SHUT_RDWR);
        return ERROR_INVALID_WINDOW_HANDLE;
    }
    return 0;
}

// Under the lock: forgets a connection and fails what waits on it.
static void drop_connection_locked(const std::shared_ptr<IpcConnection>& connection)
{
    if (connection->closed)
        return;
    connection->closed = true;
    shutdown(connection->fd, SHUT_RDWR);
    auto& all = s_ipc.connections;
    all.erase(std::remove(all.begin(), all.end(), connection), all.end());
    for (auto it = s_ipc.outgoing.begin(); it != s_ipc.outgoing.end();) {
        if (it->second == connection)
            it = s_ipc.outgoing.erase(it);
        else
            ++it;
    }
    for (auto& [serial, pending] : s_ipc.pending) {
        if (pending.via == connection && !pending.done) {
            pending.done = true;
            pending.error = ERROR_INVALID_WINDOW_HANDLE;
        }
    }
}

static void answer_snapshot(const std::shared_ptr<IpcConnection>& connection, uint32_t serial)
{
    ProgramSnapshot snapshot;
    snapshot.pid = s_ipc.pid;
    uint64_t now = ipc_now_ms();
    snapshot.ms_since_look = uint32_t(std::min<uint64_t>(now - std::min(now, s_ipc.last_look.load()), 0xFFFFFFFF));
    {
        std::lock_guard<std::mutex> guard(s_ipc.lock);
        snapshot.windows = s_ipc.windows;
    }
    write_frame(*connection, frame_encode(FrameKind::snapshot, serial, frame_encode_snapshot(snapshot)), now + kAnswerWriteMs);
}

static bool program_hung()
{
    uint64_t now = ipc_now_ms();
    uint64_t looked = s_ipc.last_look.load();
    return looked < now && now - looked > kIpcHungMs;
}

// The answer to one of this program's requests; only the connection the request went by
// may answer it.
static bool take_answer(const std::shared_ptr<IpcConnection>& connection, const Frame& frame)
{
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    auto found = s_ipc.pending.find(frame.serial);
    if (found == s_ipc.pending.end() || found->second.done || found->second.via != connection)
        return true; // a request given up on: its late answer goes nowhere
    Pending& pending = found->second;
    bool good = frame.kind == FrameKind::reply ? frame_decode_reply(frame.payload, pending.reply)
                                               : frame_decode_snapshot(frame.payload, pending.snapshot);
    if (!good)
        return false;
    pending.done = true;
    return true;
}

// A frame the window thread is to handle, decoded here so that a bad one closes the
// connection at once.
static bool queue_incoming(const std::shared_ptr<IpcConnection>& connection, Frame& frame)
{
    IpcIncoming incoming;
    incoming.kind = frame.kind;
    incoming.serial = frame.serial;
    incoming.from = connection;
    bool good = false;
    switch (frame.kind) {
    case FrameKind::send:
    case FrameKind::post: good = frame_decode_message(frame.payload, incoming.message); break;
    case FrameKind::copy_data: good = frame_decode_copy(frame.payload, incoming.copy); break;
    case FrameKind::place: good = frame_decode_place(frame.payload, incoming.place); break;
    default: break;
    }
    if (!good)
        return false;
    bool sent = frame.kind != FrameKind::post;
    bool abort_if_hung = frame.kind == FrameKind::send && (incoming.message.flags & kSendAbortIfHung);
    if (sent && abort_if_hung && program_hung()) {
        ipc_core_reply(incoming, 0, ERROR_TIMEOUT);
        return true;
    }
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    // A program that floods this one while its window thread is busy is cut off.
    size_t bytes = incoming.copy.bytes.size();
    if (s_ipc.incoming.size() >= kIncomingLimit || bytes > kIncomingBytesLimit - s_ipc.incoming_bytes)
        return false;
    s_ipc.incoming_bytes += bytes;
    s_ipc.incoming.push_back(std::move(incoming));
    return true;
}

// False when the connection must close.
static bool handle_frame(const std::shared_ptr<IpcConnection>& connection, Frame& frame)
{
    switch (frame.kind) {
    case FrameKind::reply:
    case FrameKind::snapshot: return take_answer(connection, frame);
    case FrameKind::snapshot_request: answer_snapshot(connection, frame.serial); return true;
    default: return queue_incoming(connection, frame);
    }
}

// Reads what a connection has; false when it ended or sent something that cannot be trusted.
static bool read_connection(const std::shared_ptr<IpcConnection>& connection)
{
    std::vector<uint8_t> buffer(kReadChunk);
    std::vector<Frame> frames;
    for (;;) {
        ssize_t got = recv(connection->fd, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0)
            return false;
        if (!connection->reader.feed(buffer.data(), size_t(got), frames))
            return false;
        for (Frame& frame : frames) {
            if (!handle_frame(connection, frame))
                return false;
        }
        frames.clear();
    }
    return true;
}

static std::shared_ptr<IpcConnection> add_connection(int fd, uint32_t program, uint32_t pid)
{
    auto connection = std::make_shared<IpcConnection>();
    connection->fd = fd;
    connection->program = program;
    connection->peer_pid = pid;
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    s_ipc.connections.push_back(connection);
    if (program)
        s_ipc.outgoing[program] = connection;
    return connection;
}

// Another program connects: only the same user's.
static void accept_connections()
{
    for (;;) {
        int fd = accept4(s_ipc.seat.listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        uint32_t uid = 0;
        uint32_t pid = 0;
        if (!ipc_peer_credentials(fd, uid, pid) || uid != getuid()) {
            close(fd);
            continue;
        }
        add_connection(fd, 0, pid);
    }
}

static void io_thread()
{
    std::vector<pollfd> watched;
    std::vector<std::shared_ptr<IpcConnection>> order;
    while (!s_ipc.stopping.load()) {
        watched.assign({{s_ipc.control_fd, POLLIN, 0}, {s_ipc.seat.listen_fd, POLLIN, 0}});
        {
            std::lock_guard<std::mutex> guard(s_ipc.lock);
            order = s_ipc.connections;
        }
        for (auto& connection : order)
            watched.push_back({connection->fd, POLLIN, 0});
        if (poll(watched.data(), watched.size(), -1) < 0)
            continue;
        if (watched[0].revents)
            drain_fd(s_ipc.control_fd);
        if (watched[1].revents)
            accept_connections();
        bool arrived = false;
        for (size_t i = 0; i < order.size(); i++) {
            if (!watched[i + 2].revents)
                continue;
            arrived = true;
            if (!read_connection(order[i])) {
                std::lock_guard<std::mutex> guard(s_ipc.lock);
                drop_connection_locked(order[i]);
            }
        }
        order.clear();
        if (arrived)
            wake_window_thread();
    }
}

bool ipc_start_in(const std::string& folder, std::string& reason)
{
    if (s_ipc.active)
        return true;
    FolderSeat seat;
    if (!ipc_folder_take_seat(folder, seat, reason))
        return false;
    s_ipc.folder = folder;
    s_ipc.seat = seat;
    s_ipc.pid = uint32_t(getpid());
    s_ipc.wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    s_ipc.control_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    s_ipc.last_look = ipc_now_ms();
    s_ipc.stopping = false;
    s_ipc.active = true;
    wintree_set_program(seat.number);
    s_ipc.io = std::thread(io_thread);
    return true;
}

bool ipc_start(std::string& reason)
{
    std::string folder;
    if (!ipc_folder_choose(folder, reason))
        return false;
    if (!ipc_start_in(folder, reason))
        return false;
    static bool registered = false;
    if (!registered) // a normal end removes the program's socket
        registered = std::atexit(ipc_stop) == 0;
    return true;
}

void ipc_stop()
{
    if (!s_ipc.active)
        return;
    s_ipc.stopping = true;
    signal_fd(s_ipc.control_fd);
    s_ipc.io.join();
    {
        std::lock_guard<std::mutex> guard(s_ipc.lock);
        while (!s_ipc.connections.empty())
            drop_connection_locked(s_ipc.connections.front());
        s_ipc.pending.clear();
        s_ipc.incoming.clear();
        s_ipc.incoming_bytes = 0;
        s_ipc.windows.clear();
    }
    ipc_folder_leave(s_ipc.folder, s_ipc.seat);
    close(s_ipc.wake_fd);
    close(s_ipc.control_fd);
    s_ipc.wake_fd = s_ipc.control_fd = -1;
    s_ipc.active = false;
    s_ipc.serve_until = 0;
    wintree_set_program(0);
}

bool ipc_active() { return s_ipc.active; }

uint32_t ipc_program_number() { return s_ipc.active ? s_ipc.seat.number : 0; }

std::string ipc_folder_path() { return s_ipc.active ? s_ipc.folder : std::string(); }

int ipc_wake_descriptor() { return s_ipc.active ? s_ipc.wake_fd : -1; }

void ipc_set_waker(void (*waker)()) { s_ipc.waker = waker; }

bool ipc_wait_for_arrival(uint32_t ms)
{
    if (!s_ipc.active)
        return false;
    pollfd wake {s_ipc.wake_fd, POLLIN, 0};
    bool arrived = poll(&wake, 1, int(std::min<uint32_t>(ms, 60000))) > 0;
    drain_fd(s_ipc.wake_fd);
    return arrived;
}

void ipc_core_looked() { s_ipc.last_look = ipc_now_ms(); }

void ipc_core_publish(std::vector<SnapshotWindow> windows)
{
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    bool same = windows.size() == s_ipc.windows.size()
        && std::equal(windows.begin(), windows.end(), s_ipc.windows.begin(), [](const SnapshotWindow& a, const SnapshotWindow& b) {
               return a.id == b.id && a.style == b.style && a.window_rect == b.window_rect
                   && a.normal_rect == b.normal_rect && a.title == b.title && a.class_name == b.class_name;
           });
    if (!same)
        s_ipc.windows = std::move(windows);
}

bool ipc_core_take_incoming(IpcIncoming& out, bool sent_only)
{
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    for (auto it = s_ipc.incoming.begin(); it != s_ipc.incoming.end(); ++it) {
        if (sent_only && it->kind == FrameKind::post)
            continue;
        s_ipc.incoming_bytes -= it->copy.bytes.size();
        out = std::move(*it);
        s_ipc.incoming.erase(it);
        return true;
    }
    return false;
}

void ipc_core_reply(const IpcIncoming& incoming, LResult result, uint32_t error)
{
    ReplyFrame reply {int64_t(result), error};
    std::vector<uint8_t> frame = frame_encode(FrameKind::reply, incoming.serial, frame_encode_reply(reply));
    write_frame(*incoming.from, frame, ipc_now_ms() + kIpcSendTimeoutMs);
}

// The connection to another program, made when there is none; null when nobody is there.
static std::shared_ptr<IpcConnection> connection_to(uint32_t program)
{
    if (!s_ipc.active || program == 0 || program > kProgramNumberMax || program == s_ipc.seat.number)
        return nullptr;
    {
        std::lock_guard<std::mutex> guard(s_ipc.lock);
        auto found = s_ipc.outgoing.find(program);
        if (found != s_ipc.outgoing.end())
            return found->second;
    }
    int fd = ipc_folder_connect(s_ipc.folder, program);
    if (fd < 0)
        return nullptr;
    uint32_t uid = 0;
    uint32_t pid = 0;
    ipc_peer_credentials(fd, uid, pid);
    auto connection = add_connection(fd, program, pid);
    signal_fd(s_ipc.control_fd);
    return connection;
}

static uint32_t start_request(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload,
    uint64_t deadline, uint32_t& serial)
{
    std::shared_ptr<IpcConnection> connection = connection_to(program);
    if (!connection)
        return ERROR_INVALID_WINDOW_HANDLE;
    {
        std::lock_guard<std::mutex> guard(s_ipc.lock);
        serial = s_ipc.next_serial++;
        if (serial == 0)
            serial = s_ipc.next_serial++;
        s_ipc.pending[serial].via = connection;
    }
    uint32_t error = write_frame(*connection, frame_encode(kind, serial, payload), deadline);
    if (error) {
        {
            std::lock_guard<std::mutex> guard(s_ipc.lock);
            s_ipc.pending.erase(serial);
            drop_connection_locked(connection);
        }
        ipc_folder_remove_if_stale(s_ipc.folder, program);
    }
    return error;
}

// Whether the request is answered; takes its entry when it is.
static bool finished(uint32_t serial, Pending& out)
{
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    auto found = s_ipc.pending.find(serial);
    if (found == s_ipc.pending.end() || !found->second.done)
        return false;
    out = std::move(found->second);
    s_ipc.pending.erase(found);
    return true;
}

static void give_up(uint32_t serial)
{
    std::lock_guard<std::mutex> guard(s_ipc.lock);
    s_ipc.pending.erase(serial);
}

uint32_t ipc_core_request(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload,
    uint32_t timeout_ms, WhileWaiting waiting, ReplyFrame& reply)
{
    uint64_t deadline = ipc_now_ms() + timeout_ms;
    uint32_t serial = 0;
    if (uint32_t error = start_request(program, kind, payload, deadline, serial))
        return error;
    Pending answer;
    for (;;) {
        if (finished(serial, answer)) {
            // The program went away while it had the request: its socket may be stale now.
            if (answer.error == ERROR_INVALID_WINDOW_HANDLE)
                ipc_folder_remove_if_stale(s_ipc.folder, program);
            reply = answer.reply;
            return answer.error;
        }
        IpcIncoming incoming;
        if (waiting == WhileWaiting::run_sent && ipc_core_take_incoming(incoming, true)) {
            ipc_core_looked();
            ipc_deliver(incoming);
            continue;
        }
        uint64_t now = ipc_now_ms();
        if (now >= deadline) {
            give_up(serial);
            return ERROR_TIMEOUT;
        }
        if (waiting == WhileWaiting::run_sent)
            ipc_core_looked(); // waiting in a send counts as looking at the queue
        ipc_wait_for_arrival(uint32_t(deadline - now));
    }
}

uint32_t ipc_core_send_only(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload)
{
    std::shared_ptr<IpcConnection> connection = connection_to(program);
    if (!connection)
        return ERROR_INVALID_WINDOW_HANDLE;
    uint32_t error = write_frame(*connection, frame_encode(kind, 0, payload), ipc_now_ms() + kIpcSendTimeoutMs);
    if (error) {
        {
            std::lock_guard<std::mutex> guard(s_ipc.lock);
            drop_connection_locked(connection);
        }
        ipc_folder_remove_if_stale(s_ipc.folder, program);
    }
    return error;
}

std::vector<ProgramSnapshot> ipc_core_snapshots(uint32_t only)
{
    std::vector<ProgramSnapshot> out;
    if (!s_ipc.active)
        return out;
    std::vector<uint32_t> programs = only ? std::vector<uint32_t>{only} : ipc_folder_programs(s_ipc.folder, s_ipc.seat.number);
    uint64_t deadline = ipc_now_ms() + kIpcSilentMs;
    std::vector<uint32_t> serials;
    std::vector<uint32_t> asked;
    for (uint32_t program : programs) {
        uint32_t serial = 0;
        if (start_request(program, FrameKind::snapshot_request, {}, deadline, serial) == 0) {
            serials.push_back(serial);
            asked.push_back(program);
        }
    }
    std::vector<Pending> answers(serials.size());
    std::vector<bool> have(serials.size(), false);
    size_t left = serials.size();
    while (left > 0) {
        for (size_t i = 0; i < serials.size(); i++) {
            if (!have[i] && finished(serials[i], answers[i])) {
                have[i] = true;
                left--;
            }
        }
        uint64_t now = ipc_now_ms();
        if (left == 0 || now >= deadline)
            break;
        ipc_wait_for_arrival(uint32_t(deadline - now));
    }
    for (size_t i = 0; i < serials.size(); i++) {
        if (!have[i]) {
            give_up(serials[i]);
            continue;
        }
        if (answers[i].error)
            continue;
        // A program speaks only for its own windows.
        auto& windows = answers[i].snapshot.windows;
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                          [&](const SnapshotWindow& w) { return window_program_of(WindowHandle(w.id)) != asked[i]; }),
            windows.end());
        out.push_back(std::move(answers[i].snapshot));
    }
    return out;
}

void ipc_serve(uint32_t ms) { s_ipc.serve_until = ipc_now_ms() + ms; }

bool ipc_serve_wait(uint32_t ms)
{
    if (!s_ipc.active || s_ipc.serve_until == 0)
        return false;
    uint64_t now = ipc_now_ms();
    if (now >= s_ipc.serve_until) {
        s_ipc.serve_until = 0;
        return false;
    }
    ipc_wait_for_arrival(uint32_t(std::min<uint64_t>(s_ipc.serve_until - now, ms)));
    return true;
}

} // namespace plat
