#include "platform/kernel/file.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file_host.h"
#include "platform/kernel/path.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plat {

// What a handle does to its file, in the bits of the share mode that would allow it to others.
enum : uint32_t {
    kUseRead = FILE_SHARE_READ,
    kUseWrite = FILE_SHARE_WRITE,
    kUseDelete = FILE_SHARE_DELETE,
    kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
};

struct OpenFile {
    int fd = -1;
    uint32_t uses = 0;
    uint32_t share = 0;
    bool delete_on_close = false; // opened so: the file goes when its last handle closes
    bool delete_pending = false; // that handle closed: the file takes no new opens
    dev_t device = 0;
    ino_t inode = 0;
    std::string host_path;
};

struct FindSearch {
    std::vector<FindData> entries;
    size_t next = 0;
};

static struct FileState {
    std::map<uint32_t, OpenFile> files;
    std::map<uint32_t, FindSearch> searches;
    uint32_t last_file_id = 0;
    uint32_t last_find_id = 0;
    bool writes_limited = false;
    uint64_t write_budget = 0; // bytes left before the write fault hook trips
    uint32_t temp_counter = 0;
} s_file;

// 1 January 1970 in FILETIME units.
constexpr int64_t kUnixEpochFileTime = 116444736000000000;
constexpr int64_t kFileTimePerSecond = 10000000;

// Ids are never reused while the old one may still be held, so a stale handle is refused.
template <typename Table> static uint32_t new_id(uint32_t& last, const Table& table)
{
    do
        ++last;
    while (last == 0 || table.count(last) != 0);
    return last;
}

static bool fail(uint32_t code)
{
    set_last_error(code);
    return false;
}

static int64_t fail_position(uint32_t code)
{
    set_last_error(code);
    return -1;
}

static OpenFile* find_open(FileHandle file)
{
    auto it = s_file.files.find(file.id);
    if (it == s_file.files.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

static bool same_file(const OpenFile& open, const struct stat& st)
{
    return open.device == st.st_dev && open.inode == st.st_ino;
}

// Windows checks a new open against every handle of the file both ways: what the newcomer
// does must be shared by each holder, and what each holder does must be shared by the newcomer.
// A handle that neither reads, writes nor deletes (attributes only) takes no part.
static bool sharing_allows(const struct stat& st, uint32_t uses, uint32_t share)
{
    if (uses == 0)
        return true;
    for (const auto& [id, open] : s_file.files) {
        if (open.uses == 0)
            continue;
        bool conflict
            = (uses & ~open.share & kShareAll) != 0 || (open.uses & ~share & kShareAll) != 0;
        if (same_file(open, st) && conflict)
            return false;
    }
    return true;
}

static bool delete_pending(const struct stat& st)
{
    for (const auto& [id, open] : s_file.files) {
        if (same_file(open, st) && open.delete_pending)
            return true;
    }
    return false;
}

static bool is_read_only(const struct stat& st)
{
    return !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// stat, or lstat for a link that leads nowhere, which still has a name to delete or rename.
static bool stat_host(const std::string& host, struct stat& st)
{
    return stat(host.c_str(), &st) == 0 || lstat(host.c_str(), &st) == 0;
}

static bool fail_errno(int host_errno, const std::string& host)
{
    return fail(path_error_from_errno(host_errno, host));
}

// The host path of a name that exists, and its status; false with the last error set when the
// path is no good or nothing answers to it.
static bool stat_existing(std::string_view path, std::string& host, struct stat& st)
{
    host = path_to_host(path);
    if (host.empty())
        return false;
    return stat_host(host, st) || fail_errno(errno, host);
}

static uint64_t file_time_of(int64_t seconds, int64_t nanoseconds)
{
    int64_t units = seconds * kFileTimePerSecond + nanoseconds / 100 + kUnixEpochFileTime;
    return units < 0 ? 0 : uint64_t(units);
}

static timespec timespec_of(uint64_t file_time)
{
    int64_t since_epoch = int64_t(file_time) - kUnixEpochFileTime; // callers keep it below 2^63
    int64_t seconds = since_epoch / kFileTimePerSecond;
    int64_t rest = since_epoch % kFileTimePerSecond;
    if (rest < 0) {
        seconds--;
        rest += kFileTimePerSecond;
    }
    return timespec { time_t(seconds), long(rest * 100) };
}

struct FileTimes {
    uint64_t creation = 0;
    uint64_t last_access = 0;
    uint64_t last_write = 0;
};

static bool read_times(int dir_fd, const char* path, int flags, FileTimes& times)
{
    struct statx sx;
    if (statx(dir_fd, path, flags, STATX_ATIME | STATX_MTIME | STATX_BTIME, &sx) != 0)
        return false;
    times.last_access = file_time_of(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    times.last_write = file_time_of(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    bool has_birth = (sx.stx_mask & STATX_BTIME) != 0;
    times.creation
        = has_birth ? file_time_of(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : times.last_write;
    return true;
}

static uint32_t attributes_of(std::string_view name, const struct stat& st)
{
    uint32_t attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (is_read_only(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

static std::string_view host_name_of(const std::string& host)
{
    return std::string_view(host).substr(host.rfind('/') + 1);
}

// ---- the write fault hook

// How many of count bytes may be written before the hook's limit.
static size_t writable_bytes(size_t count)
{
    return s_file.writes_limited ? size_t(std::min<uint64_t>(count, s_file.write_budget)) : count;
}

static bool write_all(int fd, const uint8_t* data, size_t count, size_t& done)
{
    done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, data + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Every write of this module passes here so that the hook sees it; sets the last error.
static bool write_limited(int fd, const void* data, size_t count, size_t& done)
{
    size_t allowed = writable_bytes(count);
    bool written = write_all(fd, static_cast<const uint8_t*>(data), allowed, done);
    int host_errno = errno;
    if (s_file.writes_limited)
        s_file.write_budget -= done;
    if (!written)
        return fail(error_from_errno(host_errno));
    if (allowed < count)
        return fail(ERROR_DISK_FULL);
    return true;
}

static bool sync_limited(int fd)
{
    if (s_file.writes_limited && s_file.write_budget == 0)
        return fail(ERROR_DISK_FULL);
    if (fsync(fd) != 0 && errno != EINVAL) // EINVAL: the file cannot be synced, nothing to do
        return fail(error_from_errno(errno));
    return true;
}

bool file_write_host(int fd, const void* data, size_t count)
{
    size_t done = 0;
    return write_limited(fd, data, count, done);
}

bool file_sync_host(int fd) { return sync_limited(fd); }

void file_fail_writes_after(uint64_t bytes)
{
    s_file.writes_limited = bytes != 0;
    s_file.write_budget = bytes;
}

// ---- opening

static uint32_t uses_of(uint32_t desired_access, uint32_t flags)
{
    uint32_t uses = 0;
    if (desired_access & (GENERIC_READ | GENERIC_ALL))
        uses |= kUseRead;
    if (desired_access & (GENERIC_WRITE | GENERIC_ALL))
        uses |= kUseWrite;
    if ((desired_access & (DELETE | GENERIC_ALL)) || (flags & FILE_FLAG_DELETE_ON_CLOSE))
        uses |= kUseDelete;
    return uses;
}

struct OpenRequest {
    uint32_t uses;
    uint32_t share;
    uint32_t disposition;
    uint32_t flags;
};

// The checks Windows makes before it touches a file that exists, in its order.
static bool may_open_existing(const struct stat& st, const OpenRequest& request)
{
    if (request.disposition == CREATE_NEW)
        return fail(ERROR_FILE_EXISTS);
    bool truncates
        = request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
    if (S_ISDIR(st.st_mode) && (truncates || (request.flags & FILE_FLAG_BACKUP_SEMANTICS) == 0))
        return fail(ERROR_ACCESS_DENIED);
    if (is_read_only(st) && (truncates || (request.uses & (kUseWrite | kUseDelete)) != 0))
        return fail(ERROR_ACCESS_DENIED);
    if (delete_pending(st))
        return fail(ERROR_ACCESS_DENIED);
    if (!sharing_allows(st, request.uses, request.share))
        return fail(ERROR_SHARING_VIOLATION);
    return true;
}

static int open_flags(const OpenRequest& request, bool exists, bool is_folder)
{
    bool truncates = exists
        && (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING);
    bool writes = (request.uses & kUseWrite) != 0 || truncates;
    int flags = O_CLOEXEC | (writes ? ((request.uses & kUseRead) ? O_RDWR : O_WRONLY) : O_RDONLY);
    if (is_folder)
        return O_CLOEXEC | O_RDONLY | O_DIRECTORY;
    if (truncates)
        flags |= O_TRUNC;
    if (request.flags & FILE_FLAG_WRITE_THROUGH)
        flags |= O_DSYNC;
    if (!exists && request.disposition == CREATE_NEW)
        flags |= O_CREAT | O_EXCL;
    else if (!exists && request.disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    else if (!exists && request.disposition == OPEN_ALWAYS)
        flags |= O_CREAT; // never O_TRUNC: a file that appeared meanwhile keeps its data
    return flags;
}

static bool is_valid_request(const OpenRequest& request)
{
    bool known = request.disposition >= CREATE_NEW && request.disposition <= TRUNCATE_EXISTING;
    bool truncates_unwritable
        = request.disposition == TRUNCATE_EXISTING && (request.uses & kUseWrite) == 0;
    return (known && !truncates_unwritable) || fail(ERROR_INVALID_PARAMETER);
}

static FileHandle register_file(int fd, const std::string& host, const OpenRequest& request)
{
    struct stat st;
    if (fstat(fd, &st) != 0) {
        set_last_error(error_from_errno(errno));
        ::close(fd);
        return FileHandle();
    }
    OpenFile open;
    open.fd = fd;
    open.uses = request.uses;
    open.share = request.share;
    open.delete_on_close = (request.flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    open.device = st.st_dev;
    open.inode = st.st_ino;
    open.host_path = host;
    uint32_t id = new_id(s_file.last_file_id, s_file.files);
    s_file.files.emplace(id, std::move(open));
    return FileHandle(id);
}

FileHandle file_adopt_host(
    int fd, const std::string& host_path, uint32_t desired_access, uint32_t share_mode)
{
    OpenRequest request { uses_of(desired_access, 0), share_mode & kShareAll, OPEN_EXISTING, 0 };
    return register_file(fd, host_path, request);
}

int file_host_of(FileHandle file, std::string* host_path)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return -1;
    if (host_path != nullptr)
        *host_path = open->host_path;
    return open->fd;
}

FileHandle create_file(std::string_view path, uint32_t desired_access, uint32_t share_mode,
    uint32_t creation_disposition, uint32_t flags_and_attributes)
{
    OpenRequest request { uses_of(desired_access, flags_and_attributes), share_mode & kShareAll,
        creation_disposition, flags_and_attributes };
    if (!is_valid_request(request))
        return FileHandle();
    std::string host = path_to_host(path);
    if (host.empty())
        return FileHandle();
    struct stat st;
    bool exists = stat(host.c_str(), &st) == 0;
    // Only a name that is really missing may be created: any other failure is reported as it is.
    if (!exists
        && (errno != ENOENT || creation_disposition == OPEN_EXISTING
            || creation_disposition == TRUNCATE_EXISTING)) {
        set_last_error(path_error_from_errno(errno, host));
        return FileHandle();
    }
    if (exists && !may_open_existing(st, request))
        return FileHandle();
    mode_t mode = (flags_and_attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = ::open(host.c_str(), open_flags(request, exists, exists && S_ISDIR(st.st_mode)), mode);
    if (fd < 0) {
        set_last_error(errno == EEXIST ? ERROR_FILE_EXISTS : path_error_from_errno(errno, host));
        return FileHandle();
    }
    FileHandle file = register_file(fd, host, request);
    bool reports_existing
        = creation_disposition == CREATE_ALWAYS || creation_disposition == OPEN_ALWAYS;
    if (file)
        set_last_error(exists && reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file;
}

// Windows deletes the file when its last handle closes, so another handle takes the duty over.
static void finish_delete_on_close(const OpenFile& closed)
{
    for (auto& [id, open] : s_file.files) {
        if (open.device == closed.device && open.inode == closed.inode) {
            open.delete_on_close = true;
            open.delete_pending = true;
            return;
        }
    }
    struct stat st;
    if (lstat(closed.host_path.c_str(), &st) == 0 && st.st_dev == closed.device
        && st.st_ino == closed.inode)
        unlink(closed.host_path.c_str());
}

bool close_handle(FileHandle file)
{
    auto it = s_file.files.find(file.id);
    if (it == s_file.files.end())
        return fail(ERROR_INVALID_HANDLE);
    OpenFile closed = std::move(it->second);
    s_file.files.erase(it);
    ::close(closed.fd);
    if (closed.delete_on_close)
        finish_delete_on_close(closed);
    return true;
}

// ---- reading, writing, seeking

bool read_file(FileHandle file, void* buffer, uint32_t bytes_to_read, uint32_t* bytes_read)
{
    if (bytes_read != nullptr)
        *bytes_read = 0;
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    if ((open->uses & kUseRead) == 0)
        return fail(ERROR_ACCESS_DENIED);
    uint32_t done = 0;
    while (done < bytes_to_read) {
        ssize_t n = ::read(open->fd, static_cast<uint8_t*>(buffer) + done, bytes_to_read - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(error_from_errno(errno));
        if (n == 0)
            break;
        done += uint32_t(n);
        if (bytes_read != nullptr)
            *bytes_read = done;
    }
    return true;
}

bool write_file(
    FileHandle file, const void* buffer, uint32_t bytes_to_write, uint32_t* bytes_written)
{
    if (bytes_written != nullptr)
        *bytes_written = 0;
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    if ((open->uses & kUseWrite) == 0)
        return fail(ERROR_ACCESS_DENIED);
    size_t done = 0;
    bool ok = write_limited(open->fd, buffer, bytes_to_write, done);
    if (bytes_written != nullptr)
        *bytes_written = uint32_t(done);
    return ok;
}

int64_t set_file_pointer(FileHandle file, int64_t distance, uint32_t move_method)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return -1;
    struct stat st;
    int64_t base = 0;
    if (move_method == FILE_CURRENT)
        base = lseek(open->fd, 0, SEEK_CUR);
    else if (move_method == FILE_END)
        base = fstat(open->fd, &st) == 0 ? st.st_size : -1;
    else if (move_method != FILE_BEGIN)
        return fail_position(ERROR_INVALID_PARAMETER);
    if (base < 0)
        return fail_position(error_from_errno(errno));
    if (distance > 0 && base > std::numeric_limits<int64_t>::max() - distance)
        return fail_position(ERROR_INVALID_PARAMETER);
    int64_t target = base + distance;
    if (target < 0)
        return fail_position(ERROR_NEGATIVE_SEEK);
    if (lseek(open->fd, target, SEEK_SET) < 0)
        return fail_position(error_from_errno(errno));
    return target;
}

int64_t get_file_size(FileHandle file)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return -1;
    struct stat st;
    if (fstat(open->fd, &st) != 0)
        return fail_position(error_from_errno(errno));
    return st.st_size;
}

bool set_end_of_file(FileHandle file)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    if ((open->uses & kUseWrite) == 0)
        return fail(ERROR_ACCESS_DENIED);
    off_t position = lseek(open->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(open->fd, position) != 0)
        return fail(error_from_errno(errno));
    return true;
}

bool flush_file_buffers(FileHandle file)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    if ((open->uses & kUseWrite) == 0)
        return fail(ERROR_ACCESS_DENIED);
    return sync_limited(open->fd);
}

bool get_file_time(FileHandle file, uint64_t* creation, uint64_t* last_access, uint64_t* last_write)
{
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    FileTimes times;
    if (!read_times(open->fd, "", AT_EMPTY_PATH, times))
        return fail(error_from_errno(errno));
    if (creation != nullptr)
        *creation = times.creation;
    if (last_access != nullptr)
        *last_access = times.last_access;
    if (last_write != nullptr)
        *last_write = times.last_write;
    return true;
}

static bool time_to_set(const uint64_t* file_time, timespec& out)
{
    out.tv_sec = 0;
    out.tv_nsec = UTIME_OMIT;
    if (file_time == nullptr || *file_time == 0)
        return true;
    if (*file_time > uint64_t(std::numeric_limits<int64_t>::max()))
        return false;
    out = timespec_of(*file_time);
    return true;
}

bool set_file_time(FileHandle file, const uint64_t* creation, const uint64_t* last_access,
    const uint64_t* last_write)
{
    (void)creation; // the host has no settable creation time
    OpenFile* open = find_open(file);
    if (open == nullptr)
        return false;
    if ((open->uses & kUseWrite) == 0)
        return fail(ERROR_ACCESS_DENIED);
    timespec times[2];
    if (!time_to_set(last_access, times[0]) || !time_to_set(last_write, times[1]))
        return fail(ERROR_INVALID_PARAMETER);
    if (futimens(open->fd, times) != 0)
        return fail(error_from_errno(errno));
    return true;
}

// ---- names: delete, move, copy, attributes, folders

bool delete_file(std::string_view path)
{
    std::string host;
    struct stat st;
    if (!stat_existing(path, host, st))
        return false;
    if (S_ISDIR(st.st_mode) || is_read_only(st))
        return fail(ERROR_ACCESS_DENIED);
    if (!sharing_allows(st, kUseDelete, kShareAll))
        return fail(ERROR_SHARING_VIOLATION);
    if (unlink(host.c_str()) != 0)
        return fail_errno(errno, host);
    return true;
}

// The host name to move to. A target that is the source itself under another case is the
// source's folder with the new spelling, as Windows renames "a.txt" to "A.TXT".
static std::string move_target(std::string_view to, const struct stat& source)
{
    std::string host = path_to_host(to);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0 || st.st_dev != source.st_dev
        || st.st_ino != source.st_ino)
        return host;
    std::string full = get_full_path_name(to);
    std::string name = path_text_to_host(std::string_view(full).substr(path_name_offset(full)));
    return host.substr(0, host.rfind('/') + 1) + name;
}

void file_follow_host_rename(dev_t device, ino_t inode, const std::string& host_path)
{
    for (auto& [id, open] : s_file.files) {
        if (open.device == device && open.inode == inode)
            open.host_path = host_path;
    }
}

static void follow_rename(const struct stat& source, const std::string& target)
{
    file_follow_host_rename(source.st_dev, source.st_ino, target);
}

// rename, refusing to replace unless told; EINVAL: a file system without RENAME_NOREPLACE,
// where the caller's earlier check has to do.
static int rename_host(const std::string& from, const std::string& to, bool replace)
{
    if (replace)
        return rename(from.c_str(), to.c_str());
    int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL)
        return rename(from.c_str(), to.c_str());
    return result;
}

static bool may_replace(const std::string& target, const struct stat& source, uint32_t flags)
{
    struct stat st;
    if (lstat(target.c_str(), &st) != 0
        || (st.st_dev == source.st_dev && st.st_ino == source.st_ino))
        return true;
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0)
        return fail(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(st.st_mode) || S_ISDIR(source.st_mode) || is_read_only(st))
        return fail(ERROR_ACCESS_DENIED);
    if (!sharing_allows(st, kUseDelete, kShareAll))
        return fail(ERROR_ACCESS_DENIED); // Windows answers so for a target in use
    return true;
}

static bool copy_host_file(const std::string& from, const std::string& to, bool replace);

bool move_file(std::string_view from, std::string_view to, uint32_t flags)
{
    std::string source;
    struct stat st;
    if (!stat_existing(from, source, st))
        return false;
    if (!sharing_allows(st, kUseDelete, kShareAll))
        return fail(ERROR_SHARING_VIOLATION);
    std::string target = move_target(to, st);
    if (target.empty() || !may_replace(target, st, flags))
        return false;
    bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    if (rename_host(source, target, replace) == 0) {
        follow_rename(st, target);
        return true;
    }
    if (errno == EEXIST)
        return fail(ERROR_ALREADY_EXISTS);
    if (errno != EXDEV)
        return fail_errno(errno, target);
    if ((flags & MOVEFILE_COPY_ALLOWED) == 0 || !S_ISREG(st.st_mode))
        return fail(ERROR_NOT_SAME_DEVICE);
    return copy_host_file(source, target, replace)
        && (unlink(source.c_str()) == 0 || fail_errno(errno, source));
}

bool file_copy_host(int in, int out)
{
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(error_from_errno(errno));
        if (n == 0)
            return true;
        size_t done = 0;
        if (!write_limited(out, buffer.data(), size_t(n), done))
            return false;
    }
}

// Copies into a fresh name beside the target, then renames it over the target: the target
// is never half written.
static bool copy_host_file(const std::string& from, const std::string& to, bool replace)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail_errno(errno, from);
    struct stat st;
    std::string temp = to.substr(0, to.rfind('/') + 1) + ".storvel-copy-XXXXXX";
    int out = fstat(in, &st) == 0 ? mkostemp(temp.data(), O_CLOEXEC) : -1;
    if (out < 0) {
        uint32_t code = path_error_from_errno(errno, temp);
        ::close(in);
        return fail(code);
    }
    timespec times[2] = { st.st_atim, st.st_mtim };
    bool ok = file_copy_host(in, out)
        && (fchmod(out, st.st_mode & 07777) == 0 || fail(error_from_errno(errno)))
        && (futimens(out, times) == 0 || fail(error_from_errno(errno))) && sync_limited(out);
    ::close(in);
    ::close(out);
    if (ok && rename_host(temp, to, replace) != 0)
        ok = fail(errno == EEXIST ? ERROR_FILE_EXISTS : path_error_from_errno(errno, to));
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

static bool may_copy_over(const std::string& target, const struct stat& source, uint32_t copy_flags)
{
    struct stat st;
    if (lstat(target.c_str(), &st) != 0)
        return true;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino)
        return fail(ERROR_SHARING_VIOLATION); // a file copied onto itself is in use by the copy
    if (copy_flags & COPY_FILE_FAIL_IF_EXISTS)
        return fail(ERROR_FILE_EXISTS);
    if (S_ISDIR(st.st_mode) || is_read_only(st))
        return fail(ERROR_ACCESS_DENIED);
    if (!sharing_allows(st, kUseWrite, kShareAll))
        return fail(ERROR_SHARING_VIOLATION);
    return true;
}

bool copy_file(std::string_view from, std::string_view to, uint32_t copy_flags)
{
    std::string source = path_to_host(from);
    if (source.empty())
        return false;
    struct stat st;
    if (stat(source.c_str(), &st) != 0)
        return fail_errno(errno, source);
    if (S_ISDIR(st.st_mode))
        return fail(ERROR_ACCESS_DENIED);
    if (!sharing_allows(st, kUseRead, kShareAll))
        return fail(ERROR_SHARING_VIOLATION);
    std::string target = path_to_host(to);
    if (target.empty() || !may_copy_over(target, st, copy_flags))
        return false;
    return copy_host_file(source, target, (copy_flags & COPY_FILE_FAIL_IF_EXISTS) == 0);
}

uint32_t get_file_attributes(std::string_view path)
{
    std::string host;
    struct stat st;
    if (!stat_existing(path, host, st))
        return INVALID_FILE_ATTRIBUTES;
    return attributes_of(host_name_of(host), st);
}

bool set_file_attributes(std::string_view path, uint32_t attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return fail(ERROR_INVALID_PARAMETER);
    std::string host;
    struct stat st;
    if (!stat_existing(path, host, st))
        return false;
    if (!S_ISREG(st.st_mode))
        return true;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted
        = (attributes & FILE_ATTRIBUTE_READONLY) ? mode_t(mode & ~0222) : mode_t(mode | S_IWUSR);
    if (wanted != mode && chmod(host.c_str(), wanted) != 0)
        return fail_errno(errno, host);
    return true;
}

bool create_directory(std::string_view path)
{
    std::string host = path_to_host(path);
    if (host.empty())
        return false;
    if (mkdir(host.c_str(), 0777) != 0)
        return fail_errno(errno, host);
    return true;
}

bool remove_directory(std::string_view path)
{
    std::string host = path_to_host(path);
    if (host.empty())
        return false;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0)
        return fail_errno(errno, host);
    if (!S_ISDIR(st.st_mode))
        return fail(ERROR_DIRECTORY);
    // The process holds its current folder open on Windows, which keeps it from removal.
    struct stat current;
    std::string current_host = path_to_host(get_current_directory());
    if (stat(current_host.c_str(), &current) == 0 && current.st_dev == st.st_dev
        && current.st_ino == st.st_ino)
        return fail(ERROR_SHARING_VIOLATION);
    if (rmdir(host.c_str()) != 0)
        return fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : path_error_from_errno(errno, host));
    return true;
}

// ---- folder searches

struct FoundEntry {
    std::string host_name;
    FindData data;
};

static bool describe_entry(const std::string& folder, const std::string& name, FindData& data)
{
    std::string host = folder + (folder.back() == '/' ? "" : "/") + name;
    struct stat st;
    FileTimes times;
    if (!stat_host(host, st) || !read_times(AT_FDCWD, host.c_str(), 0, times))
        return false; // gone since the folder was read
    data.attributes = attributes_of(name, st);
    data.creation_time = times.creation;
    data.last_access_time = times.last_access;
    data.last_write_time = times.last_write;
    data.size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
    data.name = path_text_from_host(name);
    data.alternate_name = data.name;
    return true;
}

static bool list_folder(const std::string& folder, const std::string& pattern, bool at_root,
    std::vector<FoundEntry>& found)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return fail_errno(errno, folder);
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (at_root && (name == "." || name == ".."))
            continue; // a drive root has neither
        FoundEntry item { name, {} };
        if (path_wildcard_match(pattern, name) && describe_entry(folder, name, item.data))
            found.push_back(std::move(item));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) {
        int order = path_name_compare(a.host_name, b.host_name);
        return order != 0 ? order < 0 : a.host_name < b.host_name;
    });
    return true;
}

FindHandle find_first_file(std::string_view pattern, FindData& data)
{
    size_t name_at = path_name_offset(pattern);
    std::string_view name = pattern.substr(name_at);
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        set_last_error(name.empty() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
        return FindHandle();
    }
    std::string folder(pattern.substr(0, name_at));
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':'))
        folder += '.';
    std::string host = path_to_host(folder);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (!host.empty())
            set_last_error(ERROR_PATH_NOT_FOUND);
        return FindHandle();
    }
    std::vector<FoundEntry> found;
    if (!list_folder(host, path_text_to_host(name), get_full_path_name(folder).size() == 3, found))
        return FindHandle();
    if (found.empty()) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return FindHandle();
    }
    FindSearch search;
    for (FoundEntry& item : found)
        search.entries.push_back(std::move(item.data));
    data = search.entries[0];
    search.next = 1;
    uint32_t id = new_id(s_file.last_find_id, s_file.searches);
    s_file.searches.emplace(id, std::move(search));
    return FindHandle(id);
}

bool find_next_file(FindHandle search, FindData& data)
{
    auto it = s_file.searches.find(search.id);
    if (it == s_file.searches.end())
        return fail(ERROR_INVALID_HANDLE);
    FindSearch& state = it->second;
    if (state.next >= state.entries.size())
        return fail(ERROR_NO_MORE_FILES);
    data = state.entries[state.next++];
    return true;
}

bool find_close(FindHandle search)
{
    if (s_file.searches.erase(search.id) == 0)
        return fail(ERROR_INVALID_HANDLE);
    return true;
}

// ---- temporary files, volumes

static std::string host_temp_folder()
{
    const char* dir = std::getenv("TMPDIR");
    struct stat st;
    if (dir != nullptr && dir[0] == '/' && stat(dir, &st) == 0 && S_ISDIR(st.st_mode))
        return dir;
    return "/tmp";
}

std::string get_temp_path()
{
    std::string path = path_from_host(host_temp_folder());
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path;
}

static std::string temp_name(const std::string& folder, std::string_view prefix, uint32_t number)
{
    std::string prefix_text(prefix);
    const char* end = prefix_text.c_str();
    for (int i = 0; i < 3 && *end != '\0'; i++)
        end = char_next(end);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", unsigned(number & 0xFFFF));
    return folder + std::string(prefix_text.c_str(), end) + digits + ".tmp";
}

// The first number tried: the clock's low bits, moved on by each call so that names made in
// one run do not collide over and over.
static uint32_t first_temp_number()
{
    if (s_file.temp_counter == 0) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        s_file.temp_counter = uint32_t(now.tv_nsec / 1000) ^ uint32_t(getpid());
    }
    return s_file.temp_counter++;
}

uint32_t get_temp_file_name(
    std::string_view folder, std::string_view prefix, uint32_t unique, std::string& temp_file_name)
{
    std::string base(folder);
    if (path_name_offset(base) != base.size())
        base += '\\';
    if ((unique & 0xFFFF) != 0) {
        temp_file_name = temp_name(base, prefix, unique);
        return unique;
    }
    uint32_t start = first_temp_number();
    for (uint32_t i = 0; i < 0x10000; i++) {
        uint32_t number = (start + i) & 0xFFFF;
        if (number == 0)
            continue;
        std::string name = temp_name(base, prefix, number);
        FileHandle file = create_file(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (file) {
            close_handle(file);
            temp_file_name = name;
            return number;
        }
        if (get_last_error() != ERROR_FILE_EXISTS)
            return 0;
    }
    set_last_error(ERROR_FILE_EXISTS);
    return 0;
}

bool get_disk_free_space_ex(
    std::string_view path, uint64_t* free_to_caller, uint64_t* total_bytes, uint64_t* total_free)
{
    std::string host = path_to_host(path.empty() ? std::string_view(".") : path);
    if (host.empty())
        return false;
    struct statvfs volume;
    if (statvfs(host.c_str(), &volume) != 0)
        return fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : error_from_errno(errno));
    uint64_t unit = volume.f_frsize ? volume.f_frsize : volume.f_bsize;
    if (free_to_caller != nullptr)
        *free_to_caller = uint64_t(volume.f_bavail) * unit;
    if (total_bytes != nullptr)
        *total_bytes = uint64_t(volume.f_blocks) * unit;
    if (total_free != nullptr)
        *total_free = uint64_t(volume.f_bfree) * unit;
    return true;
}

uint32_t get_drive_type(std::string_view root)
{
    std::string text = root.empty() ? get_current_directory().substr(0, 3) : std::string(root);
    bool is_root = text.size() >= 2 && text[1] == ':'
        && (text.size() == 2 || (text.size() == 3 && (text[2] == '\\' || text[2] == '/')));
    std::string host = is_root ? get_drive_root(text[0]) : std::string();
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return DRIVE_NO_ROOT_DIR;
    return DRIVE_FIXED;
}

void file_reset()
{
    while (!s_file.files.empty())
        close_handle(FileHandle(s_file.files.begin()->first));
    s_file = FileState {};
}

} // namespace plat
