#include "platform/ipc/ipc_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat {

constexpr int kListenBacklog = 64;

std::string ipc_folder_file(const std::string& folder, const std::string& name) { return folder + "/" + name; }

static std::string socket_path(const std::string& folder, uint32_t number)
{
    return ipc_folder_file(folder, std::to_string(number) + ".sock");
}

static std::string lock_path(const std::string& folder, uint32_t number)
{
    return ipc_folder_file(folder, std::to_string(number) + ".lock");
}

static std::string default_folder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return std::string(runtime) + "/storvel";
    const char* temp = std::getenv("TMPDIR");
    std::string base = temp && *temp == '/' ? temp : "/tmp";
    return base + "/storvel-" + std::to_string(getuid());
}

bool ipc_folder_choose(std::string& folder, std::string& reason)
{
    const char* chosen = std::getenv("STORVEL_RUNTIME_DIR");
    folder = chosen && *chosen ? chosen : default_folder();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        reason = "cannot read " + folder;
        return false;
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        reason = folder + " is not a folder of its own";
        return false;
    }
    if (info.st_uid != getuid()) {
        reason = folder + " belongs to another user";
        return false;
    }
    if (info.st_mode & 077) {
        reason = folder + " is open to others";
        return false;
    }
    // The sockets' paths must fit an address; "511.sock" is the longest name.
    if (socket_path(folder, kProgramNumberMax).size() >= sizeof(sockaddr_un{}.sun_path)) {
        reason = folder + " is too long a path for sockets";
        return false;
    }
    return true;
}

static bool make_address(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The lock of a number, held; -1 when someone else holds it.
static int take_lock(const std::string& folder, uint32_t number)
{
    int fd = open(lock_path(folder, number).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static int listen_on(const std::string& path)
{
    sockaddr_un address;
    if (!make_address(path, address))
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    unlink(path.c_str()); // a former holder's, left by a crash: the lock is ours now
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, kListenBacklog) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ipc_folder_take_seat(const std::string& folder, FolderSeat& seat, std::string& reason)
{
    for (uint32_t number = 1; number <= kProgramNumberMax; number++) {
        int lock = take_lock(folder, number);
        if (lock < 0)
            continue;
        int listener = listen_on(socket_path(folder, number));
        if (listener < 0) {
            close(lock);
            reason = std::string("cannot listen in the folder: ") + std::strerror(errno);
            return false;
        }
        seat = FolderSeat{number, lock, listener};
        return true;
    }
    reason = "all program numbers are taken";
    return false;
}

void ipc_folder_leave(const std::string& folder, FolderSeat& seat)
{
    if (seat.listen_fd >= 0) {
        unlink(socket_path(folder, seat.number).c_str());
        close(seat.listen_fd);
    }
    if (seat.lock_fd >= 0)
        close(seat.lock_fd); // the lock file stays: removing it could give one number to two
    seat = FolderSeat{};
}

void ipc_folder_remove_if_stale(const std::string& folder, uint32_t number)
{
    int lock = take_lock(folder, number);
    if (lock < 0)
        return;
    unlink(socket_path(folder, number).c_str());
    close(lock);
}

bool ipc_peer_credentials(int fd, uint32_t& uid, uint32_t& pid)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    uid = uint32_t(credentials.uid);
    pid = uint32_t(credentials.pid);
    return true;
}

int ipc_folder_connect(const std::string& folder, uint32_t number)
{
    sockaddr_un address;
    if (!make_address(socket_path(folder, number), address))
        return -1;
    // Non-blocking from the start: a listener that stopped with a full backlog must not hold
    // the connect.
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        close(fd);
        if (error == ECONNREFUSED)
            ipc_folder_remove_if_stale(folder, number);
        return -1;
    }
    uint32_t uid = 0;
    uint32_t pid = 0;
    if (!ipc_peer_credentials(fd, uid, pid) || uid != getuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<uint32_t> ipc_folder_programs(const std::string& folder, uint32_t own)
{
    std::vector<uint32_t> numbers;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return numbers;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        unsigned long number = std::strtoul(entry->d_name, &end, 10);
        bool named = end != entry->d_name && std::strcmp(end, ".sock") == 0 && entry->d_name[0] != '0';
        if (named && number >= 1 && number <= kProgramNumberMax && number != own)
            numbers.push_back(uint32_t(number));
    }
    closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace plat
