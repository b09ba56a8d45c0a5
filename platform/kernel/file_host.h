// For the kernel's own modules only: the file module's handles over host file descriptors.
// Every write and sync here passes the write fault hook as the public calls do.
#pragma once
#include "platform/kernel/file.h"

#include <string>
#include <sys/types.h>

namespace plat {

// A handle for a descriptor the caller opened; the handle owns it from now on (also when
// this fails, with the last error set). Access is GENERIC_READ and/or GENERIC_WRITE.
FileHandle file_adopt_host(
    int fd, const std::string& host_path, uint32_t desired_access, uint32_t share_mode);

// The descriptor and host path of an open handle; -1 with 6 (invalid handle).
int file_host_of(FileHandle file, std::string* host_path);

// Writes every byte, or fails with the last error set.
bool file_write_host(int fd, const void* data, size_t count);
// Copies in to out from their positions to the end of in.
bool file_copy_host(int in, int out);
// fsync, refused as a write once the fault hook has tripped.
bool file_sync_host(int fd);

// Handles open on the file (device, inode) now answer to host_path, after a rename.
void file_follow_host_rename(dev_t device, ino_t inode, const std::string& host_path);

} // namespace plat
