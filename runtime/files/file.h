// The file layer: the one place where the runtime opens, reads and writes files. A file is
// named by a FileSpec and, once open, by a handle pair: a disk file's platform handle with
// kind 0, or a memory-based file's number (from a counter that never repeats in a run) with
// kind 0x10000. Open files are kept in a table. Failures answer -1 or (0, 0) and leave a Win32
// code in the thread's last error, which callers take with file_take_last_error.
//
// A memory-based file works on a copy of its spec's bytes; closing it hands what was written
// back to the spec (when the spec still exists) and frees the table entry.
#pragma once
#include "runtime/files/fspec.h"

#include <cstdint>

// The pair file_open hands out; (0, 0) means the open failed.
struct FileHandle {
    uint32_t handle = 0;
    uint32_t kind = 0;
    explicit operator bool() const { return handle != 0 || kind != 0; }
};

enum : uint32_t {
    kFileKindDisk = 0,
    kFileKindMemory = 0x10000, // kinds from here up are memory-based files
};

// Open modes: bits 0-1 choose the access unless bit 3 asks for reading only.
enum : int {
    kFileModeRead = 0,
    kFileModeWrite = 1,
    kFileModeReadWrite = 2,
    kFileModeReadOnly = 8,
};

// Seek origins.
enum : int {
    kFileBegin = 0,
    kFileCurrent = 1,
    kFileEnd = 2,
};

// Codes this layer sets beside the platform's own.
enum : uint32_t {
    kFileErrDriveLocked = 108, // a removable volume is write-protected
    kFileErrDiskFull = 112, // a memory-based file cannot grow
    kFileErrBadArguments = 160, // a seek outside a memory file; a handle not in the table
    kFileErrNotReady = 1005, // the volume cannot be read
    kFileErrUnusable = 1118, // the spec names nothing the file system can hold
};

// 1 when the table exists (also when it already did), 0 when memory is short.
int file_init();
// Closes what is still open, ends a folder search and frees the table.
void file_term();
// Entries in the table (tests).
int file_open_count();

// Memory spec: a copy of its data (2 when it has none). Disk spec: an existing file opened with
// the mode's access, others may read it meanwhile; 1118 for an unusable spec.
FileHandle file_open(const FileSpec* spec, int mode);
// Removes the entry and closes the file; a pair not in the table (closed twice) does nothing.
void file_close(uint32_t handle, uint32_t kind);
// The new position or -1. A memory file refuses a target before 0 or past its length (160,
// position kept); a memory pair not in the table gives 2.
int64_t file_seek(uint32_t handle, uint32_t kind, int64_t offset, int origin);
// Takes a disk file the platform opened into the table, under the path of the open disk file
// like (the file saved anew, or a copy that stands for it); (0, 0) with 6 when like is not
// one, or 8 (the platform handle is closed either way).
FileHandle file_adopt_disk(uint32_t platform_handle, FileHandle like);
// Seeks to (origin, offset), then reads up to count bytes; the count read or -1.
int32_t file_read(
    uint32_t handle, uint32_t kind, void* buffer, int32_t count, int origin, int64_t offset);
// Seeks, then writes; the count written or -1 (112 when a memory file cannot grow).
int32_t file_write(
    uint32_t handle, uint32_t kind, const void* bytes, int32_t count, int origin, int64_t offset);
// Cuts or extends the file (new bytes are zero); the length or -1. A disk file's position ends
// at the new length.
int64_t file_set_length(uint32_t handle, uint32_t kind, int64_t length);
// The length or -1; a disk file's position moves to its end.
int64_t file_length(uint32_t handle, uint32_t kind);
// Pushes a disk file's buffers to the disk; always 0.
int file_flush(uint32_t handle, uint32_t kind);
// A disk file's last-write FILETIME; 1 ok, 0 (memory files always).
int file_get_time(uint32_t handle, uint32_t kind, uint64_t* last_write);
int file_set_time(uint32_t handle, uint32_t kind, uint64_t last_write);
// Ranges of local files are always there: request answers 0, ready answers 1.
int file_request_range(uint32_t handle, uint32_t kind, int64_t offset, int64_t length);
int file_range_ready(uint32_t handle, uint32_t kind, int64_t offset, int64_t length);
// Free bytes on the volume of an open disk file (fspec_disk_free); -1 and 160 for a pair not in
// the table; 2147483647 for a memory file, which no volume limits.
int32_t file_free_space_of_handle(uint32_t handle, uint32_t kind);
// Opens for reading, takes the length, closes; -1 when the file cannot be opened.
int64_t file_length_of_spec(const FileSpec* spec);

// The last error, which is then reset to 0.
uint32_t file_take_last_error();
// Sets the last error and returns the code.
uint32_t file_set_error(uint32_t code);
