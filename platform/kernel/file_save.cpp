#include "platform/kernel/file_save.h"

#include "platform/kernel/error.h"
#include "platform/kernel/file_host.h"
#include "platform/kernel/path.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {

static const char kTempStem[] = ".storvel-save-";
static const char kBackupFolder[] = "SAVING";
static const char kBackupExtension[] = ".old";

static struct {
    uint32_t folder_syncs = 0;
    uint64_t temp_counter = 0;
} s_save;

static bool fail(uint32_t code)
{
    set_last_error(code);
    return false;
}

static bool fail_errno(int host_errno, const std::string& host)
{
    return fail(path_error_from_errno(host_errno, host));
}

static std::string folder_of(const std::string& host_path)
{
    size_t slash = host_path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : host_path.substr(0, slash);
}

static bool sync_folder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail_errno(errno, folder);
    bool synced = file_sync_host(fd);
    ::close(fd);
    if (synced)
        s_save.folder_syncs++;
    return synced;
}

// Through a symbolic link the file it names is saved, not the link. A link that leads nowhere
// yet is saved as a new file where it points.
static std::string save_target(const std::string& host_path)
{
    struct stat info;
    if (::lstat(host_path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return host_path;
    if (char* resolved = ::realpath(host_path.c_str(), nullptr)) {
        std::string target = resolved;
        std::free(resolved);
        return target;
    }
    std::vector<char> link(size_t(info.st_size) + 1);
    ssize_t length = ::readlink(host_path.c_str(), link.data(), link.size());
    if (length <= 0 || size_t(length) >= link.size())
        return host_path;
    std::string leads_to(link.data(), size_t(length));
    return leads_to[0] == '/' ? leads_to : folder_of(host_path) + "/" + leads_to;
}

// --- the copy of the old bytes ------------------------------------------------------------

static uint64_t hash_bytes(uint64_t hash, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; i++) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

static std::string backup_folder()
{
    std::string windows = get_windows_directory();
    if (windows.empty())
        return "";
    std::string host = path_to_host(windows);
    return host.empty() ? host : host + "/" + kBackupFolder;
}

// Where the copy of the file's old bytes lives; "" (last error set) without a data folder.
static std::string backup_path(const std::string& target, const struct stat& file)
{
    std::string folder = backup_folder();
    if (folder.empty())
        return "";
    uint64_t hash = hash_bytes(0xCBF29CE484222325ull, target.data(), target.size() + 1);
    uint64_t device = file.st_dev;
    uint64_t inode = file.st_ino;
    hash = hash_bytes(hash, &device, sizeof device);
    hash = hash_bytes(hash, &inode, sizeof inode);
    char name[24];
    std::snprintf(name, sizeof name, "%016llX", static_cast<unsigned long long>(hash));
    return folder + "/" + name + kBackupExtension;
}

// Copies every byte of in to out from the start, cuts out there and syncs it.
static bool copy_all(int in, int out)
{
    if (::lseek(in, 0, SEEK_SET) < 0 || ::lseek(out, 0, SEEK_SET) < 0)
        return fail(error_from_errno(errno));
    if (!file_copy_host(in, out))
        return false;
    off_t end = ::lseek(out, 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(out, end) != 0)
        return fail(error_from_errno(errno));
    return file_sync_host(out);
}

// The old bytes back over the file, then the copy goes.
static bool write_back(const std::string& backup, int copy, const std::string& target)
{
    int out = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0)
        return fail_errno(errno, target);
    bool restored = copy_all(copy, out);
    ::close(out);
    if (!restored)
        return false;
    // Not synced: a copy that comes back after a power cut holds what the file holds now.
    ::unlink(backup.c_str());
    set_last_error(ERROR_SUCCESS);
    return true;
}

bool save_recover_host(const std::string& host_path)
{
    std::string target = save_target(host_path);
    struct stat file;
    if (::stat(target.c_str(), &file) != 0 || !S_ISREG(file.st_mode))
        return true; // nothing there to put anything back into
    std::string backup = backup_path(target, file);
    int copy = backup.empty() ? -1 : ::open(backup.c_str(), O_RDONLY | O_CLOEXEC);
    if (copy < 0)
        return true;
    bool restored = write_back(backup, copy, target);
    ::close(copy);
    return restored;
}

bool save_recover(std::string_view path)
{
    std::string host = path_to_host(path);
    return !host.empty() && save_recover_host(host);
}

// --- beginning ----------------------------------------------------------------------------

// A new file beside the target; one that takes the old file's place is readable and writable
// by its owner only until it has the old file's owner and permissions. -1 with errno.
static int create_temporary(const std::string& target, const struct stat* old, std::string& temp)
{
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string stem = folder_of(target) + "/" + kTempStem;
    for (int attempt = 0; attempt < 100; attempt++) {
        uint64_t mix = (uint64_t(::getpid()) << 32) ^ ++s_save.temp_counter * 0x9E3779B97F4A7C15ull;
        temp = stem;
        for (int i = 0; i < 6; i++, mix /= 36)
            temp += kDigits[mix % 36];
        int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd >= 0 && old != nullptr) {
            // Not permitted for another owner unless privileged: the file then becomes ours.
            (void)::fchown(fd, old->st_uid, old->st_gid);
            (void)::fchmod(fd, old->st_mode & 07777);
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

static bool begin_in_place(const std::string& target, const struct stat& old, FileSave& save)
{
    int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return fail_errno(errno, target);
    std::string backup = backup_path(target, old);
    std::string folder = backup.empty() ? "" : folder_of(backup);
    if (!folder.empty() && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        backup.clear();
    int copy
        = backup.empty() ? -1 : ::open(backup.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (copy < 0) {
        uint32_t code = backup.empty() ? ERROR_ACCESS_DENIED : path_error_from_errno(errno, backup);
        ::close(fd);
        return fail(code);
    }
    // The copy and its name must be on the disk before the file is touched; the new
    // contents are then written from the start.
    if (!copy_all(fd, copy) || !sync_folder(folder) || ::lseek(fd, 0, SEEK_SET) != 0) {
        uint32_t code = get_last_error();
        ::close(copy);
        ::unlink(backup.c_str());
        ::close(fd);
        return fail(code);
    }
    save.old_bytes = file_adopt_host(copy, backup, GENERIC_READ, FILE_SHARE_READ);
    if (!save.old_bytes) { // the file is untouched: its copy is not needed
        ::unlink(backup.c_str());
        ::close(fd);
        return false;
    }
    save.target = target;
    save.backup = backup;
    save.in_place = true;
    save.file = file_adopt_host(fd, target, GENERIC_READ | GENERIC_WRITE, 0);
    if (save.file)
        return true;
    uint32_t code = get_last_error();
    save_abandon(save);
    return fail(code);
}

bool save_begin_host(const std::string& host_path, FileSave& save)
{
    save = FileSave {};
    std::string target = save_target(host_path);
    struct stat old;
    bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return fail_errno(errno, target);
    if (exists && !S_ISREG(old.st_mode))
        return fail(ERROR_ACCESS_DENIED);
    // What a cut left half written is put right before it is read or saved again.
    if (exists && !save_recover_host(target))
        return false;
    std::string temp;
    int fd = create_temporary(target, exists ? &old : nullptr, temp);
    if (fd < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return begin_in_place(target, old, save);
        return fail_errno(errno, temp);
    }
    save.target = target;
    save.temp = temp;
    save.file = file_adopt_host(fd, temp, GENERIC_READ | GENERIC_WRITE, 0);
    if (save.file)
        return true;
    ::unlink(temp.c_str());
    return false;
}

bool save_begin(FileHandle open_file, FileSave& save)
{
    save = FileSave {};
    std::string host;
    if (file_host_of(open_file, &host) < 0)
        return false;
    return save_begin_host(host, save);
}

// --- ending -------------------------------------------------------------------------------

static bool commit_temporary(FileSave& save, int fd)
{
    struct stat made;
    if (::fstat(fd, &made) != 0 || ::rename(save.temp.c_str(), save.target.c_str()) != 0) {
        uint32_t code = path_error_from_errno(errno, save.target);
        save_abandon(save);
        return fail(code);
    }
    save.committed = true;
    file_follow_host_rename(made.st_dev, made.st_ino, save.target);
    save.temp.clear();
    return sync_folder(folder_of(save.target));
}

static bool commit_in_place(FileSave& save)
{
    save.committed = true;
    close_handle(save.old_bytes);
    save.old_bytes = FileHandle();
    ::unlink(save.backup.c_str());
    std::string folder = folder_of(save.backup);
    save.backup.clear();
    return sync_folder(folder);
}

bool save_commit(FileSave& save)
{
    int fd = file_host_of(save.file, nullptr);
    if (fd < 0 || !file_sync_host(fd)) {
        uint32_t code = get_last_error();
        save_abandon(save);
        return fail(code);
    }
    bool synced = save.in_place ? commit_in_place(save) : commit_temporary(save, fd);
    if (synced)
        set_last_error(ERROR_SUCCESS);
    return synced;
}

bool save_abandon(FileSave& save)
{
    if (!save.temp.empty()) {
        ::unlink(save.temp.c_str());
        save.temp.clear();
        return true;
    }
    if (save.backup.empty())
        return true;
    int copy = file_host_of(save.old_bytes, nullptr);
    if (copy < 0 || !write_back(save.backup, copy, save.target))
        return false;
    close_handle(save.old_bytes);
    save.old_bytes = FileHandle();
    save.backup.clear();
    return true;
}

uint32_t file_folder_sync_count() { return s_save.folder_syncs; }

} // namespace plat
