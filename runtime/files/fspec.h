// File specs: a FileSpec names a file without opening it: a disk path
// (DiskFileSpec, fspec_disk.h), an Internet address (InetFileSpec, fspec_inet.h) or a block of
// memory (MemoryFileSpec, here). The operations are virtual so that one call works on every
// kind; the rest of the runtime reaches them through the plain functions of fspec_func.h.
// Texts go into caller buffers with their size, always NUL-terminated and never past it.
#pragma once
#include "runtime/base/mem.h"
#include "runtime/files/str_holder.h"

#include <cstdint>
#include <string>

enum FileSpecKind : int {
    kSpecMemory = 2,
    kSpecDisk = 5,
    kSpecInet = 6,
};

// Codes of the FileSpec functions beside errcode.h's 8 and 8004.
constexpr int kErrPartMissing = 2; // the asked part (folder, name, extension) is missing or empty
constexpr int kErrNetworkList = 8003; // the network-drive list could not be made
constexpr int kErrNoBase = 8006; // a relative-to spec is missing; a shortcut cannot be loaded

// Path buffers hold a Windows path of 260 characters and its NUL.
constexpr int kPathBufferSize = 261;
// The longest text a disk name may take before its extension is added.
constexpr int kNameWithExtensionMax = 259;

// Forms of display_text; above 4 nothing is written.
enum : int {
    kDisplayName = 0, // the name, abbreviated to the size
    kDisplayMenu = 1, // the whole path abbreviated, '&' doubled for menus
    kDisplayPath = 2, // the stored text as it is (also forms 3 and 4; Internet: 3 is the root)
    kDisplayRoot = 3,
    kDisplayPlain = 4,
};

// The plug-in host's file reference and its items; this layer only hands them over.
struct FileRef;
struct FileRefItem;
class FileSpec;

// What the plug-in host lends the FileSpec layer; without it every FileRef call
// answers 8 or null.
struct FileRefService {
    FileRef* (*create)();
    FileRef* (*from_data)(MemHandle data, int32_t length);
    int (*set_spec)(FileRef* ref, FileSpec* spec);
    // A new spec from the reference's best representation, or null.
    FileSpec* (*resolve)(FileRef* ref, int* changed);
    void (*destroy)(FileRef* ref);
    // Items holding a disk path with its network short form, and a URL.
    FileRefItem* (*new_path_item)(const char* path, const char* short_path);
    FileRefItem* (*new_url_item)(const char* url);
};
void fspec_set_fileref_service(const FileRefService* service);
const FileRefService* fspec_fileref_service();
// The text of the spec the host resolves the reference to; false, with changed 0, when there
// is no reference, no host, or nothing it resolves to.
bool fspec_fileref_text(FileRef* ref, int* changed, std::string& text);

// Every kind offers these; the path operations of a memory-based spec answer 8004 (setters and
// getters) or 0 (tests). The generic implementations here work through get_name, set_name,
// get_folder and set_folder and serve disk and Internet specs alike.
class FileSpec {
public:
    FileSpec() = default;
    // A spec owns its text block: a copy would free it twice. fspec_copy copies contents.
    FileSpec(const FileSpec&) = delete;
    FileSpec& operator=(const FileSpec&) = delete;
    virtual ~FileSpec() = default;
    virtual void reset() = 0;
    virtual int kind() const = 0;
    virtual int display_text(char* buffer, int size, int form) const = 0;

    virtual int make_temp_name();
    virtual StringHolder* path_holder();
    const StringHolder* path_holder() const { return const_cast<FileSpec*>(this)->path_holder(); }
    virtual int set_from_fileref(FileRef* ref, int* changed);
    virtual int set_folder_from_handle(MemHandle text);
    virtual int set_folder(const char* text);
    // A new 261-byte block with the get_folder text; 0 or 8.
    virtual int get_folder_handle(MemHandle* out, int* size) const;
    virtual int get_folder(char* buffer, int size) const;
    virtual int get_root(char* buffer, int size) const;
    virtual int get_full_path(char* buffer, int size) const;
    virtual int set_name(const char* text);
    virtual int get_name(char* buffer, int size) const;
    virtual int get_base_name(char* buffer, int size) const;
    // Text without its dot; "" removes the extension.
    virtual int set_extension(const char* text);
    virtual int get_extension(char* buffer, int size) const;
    virtual int equals(const FileSpec* other) const;
    virtual int same_folder(const FileSpec* other) const;
    virtual int same_name(const FileSpec* other) const;
    virtual int same_extension(const FileSpec* other) const;
    virtual int resolve_shortcut();
    virtual int make_relative(const FileSpec* base);
    virtual int make_absolute(const FileSpec* base);
    // Free space of the spec's volume as clusters of sectors; 0 or an error (outs then 0).
    virtual int disk_free(
        int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector) const;
    virtual FileRefItem* new_fileref_item() const;
};

// A file held in memory: its bytes, their length, and a capacity value the file layer keeps.
class MemoryFileSpec final : public FileSpec {
public:
    MemoryFileSpec();
    ~MemoryFileSpec() override;
    // Frees the spec's own copy of the bytes and clears the three fields.
    void reset() override;
    int kind() const override { return kSpecMemory; }
    int display_text(char* buffer, int size, int form) const override;

    MemHandle data;
    int32_t length = 0;
    int32_t capacity = 0;
    uint32_t serial = 0; // names this spec to the file layer; never reused in a run
};

// The live memory spec with that serial, or null once it was destroyed.
MemoryFileSpec* fspec_memory_by_serial(uint32_t serial);

// The text of a path spec ("" for none); the helpers below read parts into strings.
std::string fspec_text(const FileSpec& spec);
// A getter's text as a string: error 0 and the text, or the error and "".
int fspec_read_part(
    const FileSpec& spec, int (FileSpec::*getter)(char* buffer, int size) const, std::string& out);

// Copies text into buffer cut to size - 1 bytes of whole characters; nothing for size <= 0.
void fspec_copy_text(char* buffer, int size, const std::string& text);
