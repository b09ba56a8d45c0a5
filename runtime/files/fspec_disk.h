// Disk file specs: a Windows path kept as one text plus the positions of its parts,
// so that folder, name and extension are read and replaced without parsing again. Setting a
// path also writes it in canonical form: a folder on a mapped network drive by its network
// name, every existing component by its long name. '\' and '/' both separate; every scan
// steps over double-byte characters whole.
//
// On Linux there are no mapped network drives (the manager's list is empty unless a source is
// installed), short names are the long names, and shell shortcuts do not exist.
#pragma once
#include "runtime/files/fspec.h"

#include <cstdint>
#include <string>

// Part flags of a disk path.
enum : uint8_t {
    kPathHasDrive = 1, // begins with a drive letter and a colon
    kPathHasFolder = 2, // has a separator, so a folder part
    kPathHasName = 4, // something follows the last separator (or the drive's colon)
    kPathHasExtension = 8, // the name holds a '.'
};

class DiskFileSpec final : public FileSpec {
public:
    DiskFileSpec();
    ~DiskFileSpec() override;

    // Empties text and parts; network mapping and long-name expansion back on.
    void reset() override;
    int kind() const override { return kSpecDisk; }
    int display_text(char* buffer, int size, int form) const override;

    int make_temp_name() override;
    StringHolder* path_holder() override { return &text; }
    int set_from_fileref(FileRef* ref, int* changed) override;
    int set_folder(const char* folder) override;
    int get_folder(char* buffer, int size) const override;
    int get_root(char* buffer, int size) const override;
    int set_name(const char* name) override;
    int get_name(char* buffer, int size) const override;
    int equals(const FileSpec* other) const override;
    int same_folder(const FileSpec* other) const override;
    int same_name(const FileSpec* other) const override;
    int same_extension(const FileSpec* other) const override;
    int resolve_shortcut() override;
    int make_relative(const FileSpec* base) override;
    int make_absolute(const FileSpec* base) override;
    int disk_free(
        int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector) const override;
    FileRefItem* new_fileref_item() const override;

    StringHolder text;
    uint8_t flags = 0;
    int root_length = 0; // 2 with kPathHasDrive
    int folder_end = 0; // where the name starts: after the last separator, or the drive's colon
    int name_start = 0;
    int name_length = 0;
    int network_mapping = 1; // rewrite a mapped drive letter to its network root
    int long_names = 1; // expand components to their long names
};

// The spec as a disk spec, or null for null and the other kinds.
DiskFileSpec* fspec_as_disk(FileSpec* spec);
const DiskFileSpec* fspec_as_disk(const FileSpec* spec);

void fspec_disk_reset(DiskFileSpec& spec);
// Parses, then rewrites a mapped drive to its network root and components to long names as
// the switches say; 0 or 8.
int fspec_disk_set_path(DiskFileSpec& spec, const char* path);
// Resets and splits the path into its parts, without rewriting; 0 or 8.
int fspec_disk_parse(DiskFileSpec& spec, const char* path);
// Copies flags, positions, both switches and the text; 0 or 8.
int fspec_disk_copy(DiskFileSpec& destination, const DiskFileSpec& source);
// 0, or 2 with an empty buffer when the part is missing.
int fspec_disk_get_folder(const DiskFileSpec& spec, char* buffer, int size);
int fspec_disk_get_name(const DiskFileSpec& spec, char* buffer, int size);
// A path under a network root whose share is mapped to a drive is rewritten with that drive;
// the network mapping switch goes off. 0 or 8.
int fspec_disk_to_unc(DiskFileSpec& spec);
// Rewrites every component after the root to its short (8.3) or long name as the file system
// spells it; a failed look-up leaves the text alone. 0 or 8.
int fspec_disk_to_short_names(DiskFileSpec& spec);
int fspec_disk_to_long_names(DiskFileSpec& spec);
// As fspec_disk_to_long_names, but a result that differs only in case is taken too.
int fspec_disk_expand_long_names(DiskFileSpec& spec);

// Free space of the volume holding the spec as a byte count (not capped); 0 or the error
// (2 when the volume cannot be measured).
int fspec_disk_free_bytes(const DiskFileSpec& spec, uint64_t* bytes);
// The three-value form of a byte count: clusters, sectors per cluster, bytes per sector.
void fspec_disk_split_free(
    uint64_t bytes, int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector);
// 1 when the spec can name a file: no name, or a readable volume and a name the file system
// allows.
int fspec_disk_is_valid(const DiskFileSpec& spec);
