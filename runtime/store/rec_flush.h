// Making an open record file's changes permanent, and saving a compacted copy of it.
//
// A disk file is saved whole (platform/kernel/file_save.h): its records are written, one after
// the other, into a new file beside it, which is synced and renamed over the old one (the
// folder synced after), so that a failure at any moment leaves either the old file or the new
// one, whole. The file saved is the one the slot opened, wherever the current folder has moved
// since, through a symbolic link to the file it names; the new file keeps the old one's
// permissions and, where permitted, owner. In a folder that takes no new file the copy is
// written over the file in place, its old bytes kept in a copy in the per-user data folder
// until the new ones are synced; records are read from that copy meanwhile. Until the commit
// the old file is as it was (records placed since the open went only into space no header
// names). A memory-based file, or a file the store does not know the path of, is flushed in
// place: marked records are written at their places (placed anew when their packed size
// changed since the put), the data area is compacted by the mode, then the directory and the
// header are written.
#pragma once
#include "runtime/files/file.h"
#include "runtime/files/fspec.h"

#include <cstdint>

// Whether the slot goes on with the copy after rec_save_as.
enum RecSaveAs : int {
    kSaveAsCopy = 0,
    kSaveAsSwitch = 1,
};

// Writes a writable, dirty file's changes: 0 (also when there is nothing to do) or the error
// (also in the word); a failed flush leaves the file dirty and the slot as it was. mode 0, 1 or
// 2 is the compaction of an in-place flush (rec_space.h); a copy is always compact.
int rec_flush(int slot, int mode);

// Writes a compacted copy of the slot's file into new_file (open for writing; what it held is
// dropped): whatever the old file's records follow (a program), the kind header (as kind, by
// the slot's header callback; the old one when the callback writes none for kKindAny), the
// records in directory order (loaded records from memory, packed as for a put; the others
// copied as stored), the directory and the header. The slot's file is never written.
// With kSaveAsSwitch the slot then uses the copy: the old file is cut back and gets its time
// back unless it was read-only or flushed, and is closed; the store owns new_file from then
// on, and new_spec (may be null) tells where it lives for later flushes. 0 or the error; on
// failure the slot is as it was and new_file stays the caller's.
int rec_save_as(
    int slot, FileHandle new_file, const FileSpec* new_spec, uint32_t kind, RecSaveAs mode);
