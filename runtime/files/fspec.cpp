#include "runtime/files/fspec.h"

#include "runtime/base/errcode.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/base/str.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

static const char kMemoryDisplayText[] = "Memory Based File";

// Memory specs by serial, so that a file left open on a spec that is gone cannot write into
// whatever object now sits at its address.
static struct {
    std::unordered_map<uint32_t, MemoryFileSpec*> live;
    uint32_t next_serial = 1;
    const FileRefService* fileref = nullptr;
} s_spec;

void fspec_set_fileref_service(const FileRefService* service) { s_spec.fileref = service; }

const FileRefService* fspec_fileref_service() { return s_spec.fileref; }

bool fspec_fileref_text(FileRef* ref, int* changed, std::string& text)
{
    if (changed)
        *changed = 0;
    const FileRefService* service = s_spec.fileref;
    if (ref == nullptr || service == nullptr)
        return false;
    FileSpec* resolved = service->resolve(ref, changed);
    if (resolved == nullptr)
        return false;
    text = fspec_text(*resolved);
    fspec_manager_release(resolved);
    return true;
}

void fspec_copy_text(char* buffer, int size, const std::string& text)
{
    if (buffer == nullptr || size <= 0)
        return;
    int length = str_fit_length(text.c_str(), size - 1);
    std::memcpy(buffer, text.data(), size_t(length));
    buffer[length] = '\0';
}

std::string fspec_text(const FileSpec& spec)
{
    const StringHolder* holder = spec.path_holder();
    return holder ? str_holder_string(*holder) : std::string();
}

int fspec_read_part(
    const FileSpec& spec, int (FileSpec::*getter)(char* buffer, int size) const, std::string& out)
{
    // A part is never longer than the whole text.
    std::vector<char> buffer(std::max<size_t>(fspec_text(spec).size() + 1, kPathBufferSize));
    buffer[0] = '\0';
    int result = (spec.*getter)(buffer.data(), int(buffer.size()));
    out = result == kErrOk ? std::string(buffer.data()) : std::string();
    return result;
}

// Where the extension's dot stands in a name (double-byte aware); npos without one.
static size_t last_dot(const std::string& name)
{
    const char* dot = str_find_last_char(name.c_str(), '.');
    return dot ? size_t(dot - name.c_str()) : std::string::npos;
}

// --- generic operations ------------------------------------------------------------------

int FileSpec::make_temp_name()
{
    reset();
    return kErrOk;
}

StringHolder* FileSpec::path_holder() { return nullptr; }

int FileSpec::set_from_fileref(FileRef*, int* changed)
{
    if (changed)
        *changed = 0;
    return kErrBadValue;
}

int FileSpec::set_folder_from_handle(MemHandle text)
{
    if (!text)
        return kErrOk;
    const char* address = static_cast<const char*>(mem_lock(text));
    if (!address)
        return kErrOutOfMemory;
    std::string folder(address, strnlen(address, mem_size(text)));
    mem_unlock(text);
    return set_folder(folder.c_str());
}

int FileSpec::set_folder(const char*) { return kErrBadValue; }

int FileSpec::get_folder_handle(MemHandle* out, int* size) const
{
    if (out == nullptr)
        return kErrBadValue;
    *out = MemHandle {};
    std::string folder;
    int result = fspec_read_part(*this, &FileSpec::get_folder, folder);
    if (result != kErrOk && result != kErrPartMissing)
        return result;
    MemHandle block = mem_alloc(kPathBufferSize, kMemMovableZero);
    if (!block)
        return kErrOutOfMemory;
    fspec_copy_text(static_cast<char*>(mem_address(block)), kPathBufferSize, folder);
    *out = block;
    if (size)
        *size = kPathBufferSize;
    return kErrOk;
}

int FileSpec::get_folder(char* buffer, int size) const
{
    fspec_copy_text(buffer, size, "");
    return kErrBadValue;
}

int FileSpec::get_root(char* buffer, int size) const { return get_folder(buffer, size); }

int FileSpec::get_full_path(char* buffer, int size) const
{
    return fspec_mgr_get_full_path(this, buffer, size);
}

int FileSpec::set_name(const char*) { return kErrBadValue; }

int FileSpec::get_name(char* buffer, int size) const { return get_folder(buffer, size); }

int FileSpec::get_base_name(char* buffer, int size) const
{
    std::string name;
    int result = fspec_read_part(*this, &FileSpec::get_name, name);
    fspec_copy_text(buffer, size, name.substr(0, last_dot(name)));
    return result;
}

int FileSpec::set_extension(const char* text)
{
    std::string extension = text ? text : "";
    std::string name;
    int result = fspec_read_part(*this, &FileSpec::get_name, name);
    if (result != kErrOk && result != kErrPartMissing)
        return result;
    if (name.empty())
        return extension.empty() ? kErrPartMissing : set_name(("." + extension).c_str());
    int room = kNameWithExtensionMax - (extension.empty() ? 0 : 1 + int(extension.size()));
    if (room < 0)
        return kErrBadValue;
    std::string base = name.substr(0, last_dot(name));
    base.resize(size_t(str_fit_length(base.c_str(), room)));
    if (!extension.empty())
        base += "." + extension;
    return set_name(base.c_str());
}

int FileSpec::get_extension(char* buffer, int size) const
{
    std::string name;
    int result = fspec_read_part(*this, &FileSpec::get_name, name);
    size_t dot = last_dot(name);
    fspec_copy_text(buffer, size, dot == std::string::npos ? "" : name.substr(dot + 1));
    return result;
}

int FileSpec::equals(const FileSpec*) const { return 0; }
int FileSpec::same_folder(const FileSpec*) const { return 0; }
int FileSpec::same_name(const FileSpec*) const { return 0; }
int FileSpec::same_extension(const FileSpec*) const { return 0; }
int FileSpec::resolve_shortcut() { return kErrOk; }
int FileSpec::make_relative(const FileSpec*) { return kErrOk; }
int FileSpec::make_absolute(const FileSpec*) { return kErrOk; }

int FileSpec::disk_free(
    int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector) const
{
    for (int32_t* out : { clusters, sectors_per_cluster, bytes_per_sector })
        if (out)
            *out = 0;
    return kErrPartMissing;
}

FileRefItem* FileSpec::new_fileref_item() const { return nullptr; }

// --- memory-based specs ------------------------------------------------------------------

MemoryFileSpec::MemoryFileSpec()
    : serial(s_spec.next_serial++)
{
    s_spec.live[serial] = this;
}

MemoryFileSpec::~MemoryFileSpec()
{
    s_spec.live.erase(serial);
    if (data)
        mem_free(data);
}

void MemoryFileSpec::reset()
{
    // The block is the spec's own copy: clearing the handle without freeing it would leak it.
    if (data)
        mem_free(data);
    data = MemHandle {};
    length = 0;
    capacity = 0;
}

int MemoryFileSpec::display_text(char* buffer, int size, int) const
{
    fspec_copy_text(buffer, size, kMemoryDisplayText);
    return kErrOk;
}

MemoryFileSpec* fspec_memory_by_serial(uint32_t serial)
{
    auto found = s_spec.live.find(serial);
    return found == s_spec.live.end() ? nullptr : found->second;
}
