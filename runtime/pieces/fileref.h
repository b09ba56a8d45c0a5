// File references: one file kept in several representations at once, so that a piece written
// on one platform finds its files on another. Index 0 a plain path, 1 a path with a second
// (short) path, 2 a classic Mac file specification, 3 an internet address, 4 and above raw
// bytes kept as read. The file layer makes and resolves FileSpecs through them once
// pfs_fileref_install has lent it this module.
//
// Stored form (little-endian): u32 1, u32 count, then per index {u32 size, size bytes} (size 0
// for an empty index). The old form is three {u32 size, data} items for indexes 0 to 2. A text
// is stored with its NUL. Index 2 keeps its integers big-endian: u32 tag, u16 has-path, then
// the path (has-path 1) or i16 volume, i32 folder id, char[64] name.
#pragma once
#include "runtime/files/fspec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum FileRefIndex : int {
    kRefPath = 0,
    kRefPathPair = 1,
    kRefMac = 2,
    kRefUrl = 3,
};

struct FileRefItem {
    int index = 0;
    std::string first; // index 0, 1 (first path), 2 (path), 3 (URL)
    std::string second; // index 1
    int16_t volume = 0; // index 2
    int32_t folder_id = 0;
    char name[64] = {};
    uint32_t tag = 0;
    std::vector<uint8_t> raw; // index 4 and above
};

struct FileRef {
    std::vector<FileRefItem*> items; // by index; null: empty
    int changed = 0; // read from the old form; handed out and cleared by a resolve
};

FileRef* pfs_fileref_new();
// Reads a stored reference (null data: empty): 0, 8004 for bytes that do not fit.
int pfs_fileref_read(FileRef* ref, const uint8_t* data, size_t length);
size_t pfs_fileref_size(const FileRef* ref);
void pfs_fileref_write(const FileRef* ref, std::vector<uint8_t>& out);
void pfs_fileref_clear(FileRef* ref);
void pfs_fileref_destroy(FileRef* ref);
// Puts the spec's own representation at its index (disk: 1, internet: 3); 0, 8 or 8004.
int pfs_fileref_set_spec(FileRef* ref, FileSpec* spec);
// Replaces the representation at item->index (the reference owns item); 0 or 8004.
int pfs_fileref_set_at(FileRef* ref, FileRefItem* item);
// A new FileSpec of the best representation (3, 1, 0, 2), or null; changed gets the flag.
FileSpec* pfs_fileref_resolve(FileRef* ref, int* changed);
// The text form of representation 1: "FIRST (SECOND)", FIRST alone, "" without one.
void pfs_fileref_text(const FileRef* ref, char* buffer, int size);
// The text form of an item: a path, "FIRST (SECOND)", a Mac path else name, a URL, "Unknown".
std::string pfs_item_text(const FileRefItem& item);

// "C:\Dir\File" -> "Dir:File": the Mac form of a path.
std::string pfs_mac_path(const std::string& path);
// "Disk:Folder:File" -> "C:\Disk\Folder\File"; a path without colon stays.
std::string pfs_path_from_mac(const std::string& path);

// Lends this module to the file layer (start-up); fspec_set_fileref_service(null) takes it back.
void pfs_fileref_install();
