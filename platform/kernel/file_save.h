// Saving a file whole, so that a failure at any moment, a crash or a power cut leaves either
// its old contents or its new ones.
//
// The new contents go into a temporary file beside the file (".storvel-save-" and six
// characters, whatever the file's name, so a long path grows no longer), made with the old
// file's permissions and, where the host permits, its owner and group. It is synced and renamed
// over the file, and the folder is synced so that the new name survives a power cut. A file
// reached through a symbolic link is saved where the link leads; the link stays.
//
// A folder that takes no new file (no write permission) still lets a writable file be saved,
// in place: its old bytes are first copied into the per-user data folder, the Windows folder's
// "SAVING" folder, as "<16 hex digits>.old" (the digits hash the file's host path, device and
// inode, so the file finds its copy again), and synced. The copy goes once the new contents
// are synced. A copy that a cut left behind is put back over the file by save_recover, and by
// every save_begin of the file, before anything else touches it.
#pragma once
#include "platform/kernel/file.h"

#include <string>
#include <string_view>

namespace plat {

struct FileSave {
    FileHandle file; // write the new contents here, from offset 0; the caller closes it
    FileHandle old_bytes; // in place: the old contents, at their old offsets (read only)
    std::string target; // host path of the file saved
    std::string temp; // host path of the temporary file; empty in place
    std::string backup; // in place: host path of the copy of the old bytes
    bool in_place = false; // the file itself is written, its old bytes kept in a copy
    bool committed = false; // the new contents are the file's
};

// Starts saving the file the open handle has open (the path it was opened by, which a later
// change of the current folder does not move). False with the last error, nothing left behind.
bool save_begin(FileHandle open_file, FileSave& save);
// The same for a host path; a missing file is made (never in place).
bool save_begin_host(const std::string& host_path, FileSave& save);

// Syncs the new contents and makes them the file's; save.file then has the file open under its
// own name. False with the last error: when save.committed is still false the old contents are
// back as save_abandon leaves them; when it is true only the folder's sync failed.
bool save_commit(FileSave& save);

// Gives the save up: the temporary file goes, or in place the old bytes are written back. True
// when the file holds its old contents; false when they could not be written back: the copy
// stays for save_recover and save.old_bytes stays open on it (the caller closes it).
bool save_abandon(FileSave& save);

// Puts back the old contents of a file whose in-place save a cut left unfinished; true when
// there was nothing to put back or it is back, false with the last error.
bool save_recover(std::string_view path);
bool save_recover_host(const std::string& host_path);

// Folders synced after a save since the last file_reset (tests).
uint32_t file_folder_sync_count();

} // namespace plat
