// The per-user folder that programs meet in: for each running program N (1-511) a lock file
// N.lock that it holds for life and a socket N.sock that it listens on. A socket whose lock
// nobody holds is stale and is removed, under that lock, by whoever meets it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

constexpr uint32_t kProgramNumberMax = 511;

// The folder: STORVEL_RUNTIME_DIR, else $XDG_RUNTIME_DIR/storvel, else storvel-UID in the
// temporary folder; made 0700 when missing. False with the reason when it is a symlink,
// belongs to someone else or lets others in, or cannot be made.
bool ipc_folder_choose(std::string& folder, std::string& reason);

// A program's place in the folder.
struct FolderSeat {
    uint32_t number = 0;
    int lock_fd = -1;
    int listen_fd = -1; // non-blocking
};

// Takes the lowest free number and listens on its socket. False with the reason.
bool ipc_folder_take_seat(const std::string& folder, FolderSeat& seat, std::string& reason);
// Removes the program's own socket and lets its number go.
void ipc_folder_leave(const std::string& folder, FolderSeat& seat);

// Connects to program number's socket: a non-blocking descriptor, or -1 when nobody listens
// there (a stale socket is removed on the way) or the listener is another user.
int ipc_folder_connect(const std::string& folder, uint32_t number);

// Removes program number's socket when nobody holds its lock.
void ipc_folder_remove_if_stale(const std::string& folder, uint32_t number);

// The numbers that have a socket in the folder, lowest first, without own.
std::vector<uint32_t> ipc_folder_programs(const std::string& folder, uint32_t own);

// The user and process at the other end of a connected socket; false when unknown.
bool ipc_peer_credentials(int fd, uint32_t& uid, uint32_t& pid);

std::string ipc_folder_file(const std::string& folder, const std::string& name);

} // namespace plat
