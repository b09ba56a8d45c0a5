// Files with Win32's meaning over the host file system: open and create with dispositions and
// share modes, read, write, seek, size, times; delete, move, copy, attributes, folders; folder
// searches with Windows wildcards; temporary files; free space and drive types. Paths are
// Windows paths (kernel/path.h). Every failure sets the last error to the Win32 code.
#pragma once
#include "platform/kernel/handle.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

using FileHandle = Handle<struct FileTag>; // a null handle means the open failed
using FindHandle = Handle<struct FindTag>;

enum : uint32_t {
    // desired access
    GENERIC_READ = 0x80000000,
    GENERIC_WRITE = 0x40000000,
    GENERIC_EXECUTE = 0x20000000,
    GENERIC_ALL = 0x10000000,
    DELETE = 0x00010000,

    // share mode
    FILE_SHARE_READ = 0x1,
    FILE_SHARE_WRITE = 0x2,
    FILE_SHARE_DELETE = 0x4,

    // creation disposition
    CREATE_NEW = 1,
    CREATE_ALWAYS = 2,
    OPEN_EXISTING = 3,
    OPEN_ALWAYS = 4,
    TRUNCATE_EXISTING = 5,

    // attributes
    FILE_ATTRIBUTE_READONLY = 0x1,
    FILE_ATTRIBUTE_HIDDEN = 0x2,
    FILE_ATTRIBUTE_SYSTEM = 0x4,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    FILE_ATTRIBUTE_TEMPORARY = 0x100,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,

    // flags beside the attributes
    FILE_FLAG_WRITE_THROUGH = 0x80000000,
    FILE_FLAG_NO_BUFFERING = 0x20000000,
    FILE_FLAG_RANDOM_ACCESS = 0x10000000,
    FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000,
    FILE_FLAG_DELETE_ON_CLOSE = 0x04000000,
    FILE_FLAG_BACKUP_SEMANTICS = 0x02000000, // lets a folder be opened

    // move method
    FILE_BEGIN = 0,
    FILE_CURRENT = 1,
    FILE_END = 2,

    // move_file flags
    MOVEFILE_REPLACE_EXISTING = 0x1,
    MOVEFILE_COPY_ALLOWED = 0x2,
    MOVEFILE_WRITE_THROUGH = 0x8,

    // copy_file flags
    COPY_FILE_FAIL_IF_EXISTS = 0x1,

    // drive types
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// Times are FILETIMEs: 100-nanosecond units since 1 January 1601 (UTC).
struct FindData {
    uint32_t attributes = 0;
    uint64_t creation_time = 0;
    uint64_t last_access_time = 0;
    uint64_t last_write_time = 0;
    uint64_t size = 0;
    std::string name; // in the active code page
    std::string alternate_name; // the short name: the same as name, Linux has no 8.3 names
};

// CreateFile. Share modes hold between the handles of this process: a conflicting open fails
// with 32 before anything is created or truncated. The last error is 183 after CREATE_ALWAYS or
// OPEN_ALWAYS found the file, else 0. Read-only files refuse write access and truncation (5).
FileHandle create_file(std::string_view path, uint32_t desired_access, uint32_t share_mode,
    uint32_t creation_disposition, uint32_t flags_and_attributes);

// CloseHandle; closing the last handle of a delete-on-close file deletes it.
bool close_handle(FileHandle file);

// ReadFile / WriteFile at the file pointer; reading at the end succeeds with 0 bytes. The
// counts may be null. A write that meets a full disk writes what fits and fails with 112.
bool read_file(FileHandle file, void* buffer, uint32_t bytes_to_read, uint32_t* bytes_read);
bool write_file(
    FileHandle file, const void* buffer, uint32_t bytes_to_write, uint32_t* bytes_written);

// SetFilePointerEx: the new position, or -1 (131 for a position before the start).
int64_t set_file_pointer(FileHandle file, int64_t distance, uint32_t move_method);

// GetFileSizeEx: the size, or -1; the file pointer does not move.
int64_t get_file_size(FileHandle file);

// SetEndOfFile: cuts or extends the file to the file pointer.
bool set_end_of_file(FileHandle file);

// FlushFileBuffers: the data reaches the disk (fsync).
bool flush_file_buffers(FileHandle file);

// GetFileTime / SetFileTime; null or 0 leaves a time alone. Linux keeps no settable creation
// time: reading gives the birth time where the host has one, else the last write time.
bool get_file_time(
    FileHandle file, uint64_t* creation, uint64_t* last_access, uint64_t* last_write);
bool set_file_time(FileHandle file, const uint64_t* creation, const uint64_t* last_access,
    const uint64_t* last_write);

// DeleteFile: not folders (5), not read-only files (5), not files open without FILE_SHARE_DELETE
// (32).
bool delete_file(std::string_view path);

// MoveFileEx: files and folders; a file that exists is replaced only with
// MOVEFILE_REPLACE_EXISTING (else 183); a move between host file systems needs
// MOVEFILE_COPY_ALLOWED (else 17). A name that differs only in case renames in place.
bool move_file(std::string_view from, std::string_view to, uint32_t flags);

// CopyFileEx with COPY_FILE_FAIL_IF_EXISTS (80 when the target exists); the copy is written
// beside the target and renamed over it, so a failed copy leaves the old target whole.
// It keeps the source's permissions and last write time.
bool copy_file(std::string_view from, std::string_view to, uint32_t copy_flags);

// GetFileAttributes: DIRECTORY, READONLY (a file without owner write permission), HIDDEN (a name
// starting with '.'), ARCHIVE for every other file; INVALID_FILE_ATTRIBUTES on failure.
uint32_t get_file_attributes(std::string_view path);

// SetFileAttributes: READONLY of a file sets or clears its write permissions; the other
// attributes have no host form and are ignored.
bool set_file_attributes(std::string_view path, uint32_t attributes);

// CreateDirectory (183 when the name exists) and RemoveDirectory (145 when not empty, 267 for
// a file, 32 for the current folder).
bool create_directory(std::string_view path);
bool remove_directory(std::string_view path);

// FindFirstFile / FindNextFile / FindClose. The pattern's folder is found as any path is; its
// last component holds '*' and '?' (path_wildcard_match). Entries come sorted by name ignoring
// case, "." and ".." included except at a drive root. No match gives 2, a missing folder 3,
// the end of the entries 18.
FindHandle find_first_file(std::string_view pattern, FindData& data);
bool find_next_file(FindHandle search, FindData& data);
bool find_close(FindHandle search);

// GetTempPath: the host's temporary folder ($TMPDIR, else /tmp) with a trailing backslash.
std::string get_temp_path();

// GetTempFileName: folder\PPPXXXX.tmp with the first three characters of prefix and unique's
// low 16 bits in hex. With unique 0 a free number is chosen and the empty file is created;
// the result is the number used, 0 on failure.
uint32_t get_temp_file_name(
    std::string_view folder, std::string_view prefix, uint32_t unique, std::string& temp_file_name);

// GetDiskFreeSpaceEx of the volume holding path ("" is the current folder); each out may be null.
bool get_disk_free_space_ex(
    std::string_view path, uint64_t* free_to_caller, uint64_t* total_bytes, uint64_t* total_free);

// GetDriveType of "X:\" ("" is the current drive): fixed for a mapped drive, else no root.
uint32_t get_drive_type(std::string_view root);

// Test hook: once bytes more bytes are written (write_file, copy_file, saves), writes and
// syncs fail with 112 as on a full disk, the crossing write stopping at the limit; 0 turns it
// off.
void file_fail_writes_after(uint64_t bytes);

// Closes every handle and search and turns the write fault off (tests).
void file_reset();

} // namespace plat
