#include "runtime/files/fspec_func.h"

#include "runtime/base/errcode.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_inet.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/base/str.h"

#include <climits>
#include <cstring>

// Extensions travel as codes of three characters and a NUL.
constexpr int kExtensionCodeLength = 3;

static MemoryFileSpec* as_memory(FileSpec* spec)
{
    return spec && spec->kind() == kSpecMemory ? static_cast<MemoryFileSpec*>(spec) : nullptr;
}

static const MemoryFileSpec* as_memory(const FileSpec* spec)
{
    return spec && spec->kind() == kSpecMemory ? static_cast<const MemoryFileSpec*>(spec) : nullptr;
}

// --- making and freeing ------------------------------------------------------------------

FileSpec* fspec_new() { return fspec_manager_new_spec(); }

FileSpec* fspec_new_memory() { return fspec_manager_new_memory(); }

int fspec_from_path(const char* path, FileSpec** out)
{
    if (out == nullptr)
        return kErrBadValue;
    DiskFileSpec* spec = fspec_manager_new_spec();
    if (spec == nullptr)
        return kErrOutOfMemory;
    *out = spec;
    return fspec_disk_set_path(*spec, path);
}

int fspec_from_folder(const char* folder, FileSpec** out)
{
    if (out == nullptr)
        return kErrBadValue;
    FileSpec* spec = fspec_new();
    if (spec == nullptr)
        return kErrOutOfMemory;
    *out = spec;
    return spec->set_folder(folder);
}

int fspec_from_fileref(FileRef* ref, FileSpec** out, int* changed)
{
    if (out == nullptr)
        return kErrBadValue;
    FileSpec* spec = fspec_new();
    if (spec == nullptr)
        return kErrOutOfMemory;
    *out = spec;
    return spec->set_from_fileref(ref, changed);
}

FileSpec* fspec_clone(const FileSpec* spec) { return fspec_manager_clone(spec); }

int fspec_copy(FileSpec* destination, const FileSpec* source)
{
    return fspec_manager_copy(destination, source);
}

void fspec_free(FileSpec* spec) { fspec_manager_release(spec); }

FileRef* fspec_fileref_new()
{
    const FileRefService* service = fspec_fileref_service();
    return service ? service->create() : nullptr;
}

FileRef* fspec_fileref_from_data(MemHandle data, int32_t length)
{
    const FileRefService* service = fspec_fileref_service();
    return service ? service->from_data(data, length) : nullptr;
}

int fspec_fileref_set(FileRef* ref, FileSpec* spec)
{
    if (ref == nullptr || spec == nullptr)
        return kErrBadValue;
    const FileRefService* service = fspec_fileref_service();
    return service ? service->set_spec(ref, spec) : kErrOutOfMemory;
}

void fspec_fileref_free(FileRef* ref)
{
    const FileRefService* service = fspec_fileref_service();
    if (ref != nullptr && service != nullptr)
        service->destroy(ref);
}

// --- setters -----------------------------------------------------------------------------

int fspec_set_path(FileSpec* spec, const char* path)
{
    if (DiskFileSpec* disk = fspec_as_disk(spec))
        return fspec_disk_set_path(*disk, path);
    if (InetFileSpec* inet = fspec_as_inet(spec))
        return inet_spec_set_url(*inet, path);
    return kErrBadValue;
}

int fspec_set_folder(FileSpec* spec, const char* folder)
{
    return spec ? spec->set_folder(folder) : kErrBadValue;
}

int fspec_set_folder_handle(FileSpec* spec, MemHandle folder)
{
    return spec ? spec->set_folder_from_handle(folder) : kErrBadValue;
}

int fspec_set_name(FileSpec* spec, const char* name)
{
    return spec ? spec->set_name(name) : kErrBadValue;
}

int fspec_set_extension_code(FileSpec* spec, uint32_t code)
{
    if (spec == nullptr)
        return kErrBadValue;
    char text[kExtensionCodeLength + 1] = {};
    for (int i = 0; i < kExtensionCodeLength; ++i)
        text[i] = char((code >> (8 * i)) & 0xFF);
    return spec->set_extension(text);
}

int fspec_set_memory(FileSpec* spec, MemHandle data, int32_t length, int32_t capacity)
{
    MemoryFileSpec* memory = as_memory(spec);
    if (memory == nullptr || length < 0 || size_t(length) > mem_size(data))
        return kErrBadValue;
    MemHandle copy;
    if (data) {
        copy = mem_alloc(size_t(length), kMemMovableZero);
        if (!copy)
            return kErrOutOfMemory;
        if (length > 0)
            std::memcpy(mem_address(copy), mem_address(data), size_t(length));
    }
    memory->reset();
    memory->data = copy;
    memory->length = length;
    memory->capacity = capacity;
    return kErrOk;
}

// --- getters -----------------------------------------------------------------------------

int fspec_get_path(const FileSpec* spec, char* buffer, int size)
{
    return spec ? fspec_mgr_get_path(spec, buffer, size) : kErrPartMissing;
}

int fspec_get_full_path(const FileSpec* spec, char* buffer, int size)
{
    return spec ? spec->get_full_path(buffer, size) : kErrPartMissing;
}

int fspec_get_short_path(const FileSpec* spec, char* buffer, int size)
{
    return spec ? fspec_mgr_get_short_path(spec, buffer, size) : kErrBadValue;
}

int fspec_get_folder(const FileSpec* spec, char* buffer, int size)
{
    return spec ? spec->get_folder(buffer, size) : kErrBadValue;
}

int fspec_get_folder_handle(const FileSpec* spec, MemHandle* out, int* size)
{
    return spec ? spec->get_folder_handle(out, size) : kErrBadValue;
}

int fspec_get_root(const FileSpec* spec, char* buffer, int size)
{
    return spec ? spec->get_root(buffer, size) : kErrBadValue;
}

int fspec_get_name(const FileSpec* spec, char* buffer, int size)
{
    return spec ? spec->get_name(buffer, size) : kErrBadValue;
}

int fspec_get_base_name(const FileSpec* spec, char* buffer, int size)
{
    return spec ? spec->get_base_name(buffer, size) : kErrBadValue;
}

int fspec_get_extension(const FileSpec* spec, char* buffer, int size)
{
    if (spec == nullptr)
        return kErrBadValue;
    std::string extension;
    int result = fspec_read_part(*spec, &FileSpec::get_extension, extension);
    extension.resize(size_t(str_fit_length(extension.c_str(), kExtensionCodeLength)));
    fspec_copy_text(buffer, size, extension);
    return result;
}

int fspec_get_display_text(const FileSpec* spec, char* buffer, int size, int form)
{
    return spec ? spec->display_text(buffer, size, form & 0xFF) : kErrBadValue;
}

int fspec_get_memory(const FileSpec* spec, MemHandle* copy, int32_t* length, int32_t* capacity)
{
    const MemoryFileSpec* memory = as_memory(spec);
    if (memory == nullptr || copy == nullptr)
        return kErrBadValue;
    *copy = MemHandle {};
    if (memory->data) {
        *copy = mem_duplicate(memory->data);
        if (!*copy)
            return kErrOutOfMemory;
    }
    if (length)
        *length = memory->length;
    if (capacity)
        *capacity = memory->capacity;
    return kErrOk;
}

// --- tests and measures ------------------------------------------------------------------

int fspec_is_memory(const FileSpec* spec) { return as_memory(spec) ? 1 : 0; }

static int inet_is_valid(const InetFileSpec& spec)
{
    std::string name;
    if (fspec_read_part(spec, &FileSpec::get_name, name) != kErrOk
        || name.size() >= size_t(kPathBufferSize))
        return 0;
    return name.find(' ') == std::string::npos ? 1 : 0;
}

int fspec_is_valid(const FileSpec* spec)
{
    if (const DiskFileSpec* disk = fspec_as_disk(spec))
        return fspec_disk_is_valid(*disk);
    if (const InetFileSpec* inet = fspec_as_inet(spec))
        return inet_is_valid(*inet);
    return as_memory(spec) ? 1 : 0;
}

int fspec_equal(const FileSpec* a, const FileSpec* b)
{
    if (a == nullptr || b == nullptr || a->kind() != b->kind() || a->kind() == kSpecMemory)
        return 0;
    return a->equals(b);
}

static bool comparable(const FileSpec* a, const FileSpec* b)
{
    return a != nullptr && !as_memory(a) && !as_memory(b);
}

int fspec_same_folder(const FileSpec* a, const FileSpec* b)
{
    return comparable(a, b) ? a->same_folder(b) : 0;
}

int fspec_same_name(const FileSpec* a, const FileSpec* b)
{
    return comparable(a, b) ? a->same_name(b) : 0;
}

int fspec_same_extension(const FileSpec* a, const FileSpec* b)
{
    return comparable(a, b) ? a->same_extension(b) : 0;
}

// Asks slot 25 of the spec, or of a copy made absolute against the piece when the spec lies
// elsewhere, so that a relative path is measured where the piece would open it.
static int ask_free_space(const FileSpec* spec, int32_t* clusters, int32_t* per_cluster,
    int32_t* per_sector, uint64_t* bytes)
{
    const FileSpec* piece = fspec_manager_piece();
    FileSpec* clone = nullptr;
    if (piece != nullptr && fspec_equal(spec, piece) == 0) {
        clone = fspec_clone(spec);
        if (clone == nullptr || clone->make_absolute(piece) != kErrOk) {
            fspec_free(clone);
            return kErrPartMissing;
        }
        spec = clone;
    }
    int result = spec->disk_free(clusters, per_cluster, per_sector);
    if (result == kErrOk && bytes) {
        const DiskFileSpec* disk = fspec_as_disk(spec);
        if (disk == nullptr || fspec_disk_free_bytes(*disk, bytes) != kErrOk)
            *bytes = uint64_t(*clusters) * uint64_t(*per_cluster) * uint64_t(*per_sector);
    }
    fspec_free(clone);
    return result;
}

int fspec_disk_free_ex(const FileSpec* spec, uint64_t* bytes)
{
    if (bytes)
        *bytes = 0;
    if (spec == nullptr)
        return kErrBadValue;
    int32_t clusters = 0, per_cluster = 0, per_sector = 0;
    return ask_free_space(spec, &clusters, &per_cluster, &per_sector, bytes);
}

int32_t fspec_disk_free(const FileSpec* spec)
{
    if (spec == nullptr)
        return 0;
    int32_t clusters = 0, per_cluster = 0, per_sector = 0;
    if (ask_free_space(spec, &clusters, &per_cluster, &per_sector, nullptr) != kErrOk)
        return INT32_MAX;
    double product = double(clusters) * double(per_cluster) * double(per_sector);
    return product > double(INT32_MAX) ? INT32_MAX : int32_t(product);
}

int32_t fspec_cluster_size(const FileSpec* spec)
{
    if (spec == nullptr)
        return 0;
    int32_t clusters = 0, per_cluster = 0, per_sector = 0;
    if (ask_free_space(spec, &clusters, &per_cluster, &per_sector, nullptr) != kErrOk)
        return 0;
    return per_cluster * per_sector;
}

int fspec_expand_long_names(FileSpec* spec)
{
    DiskFileSpec* disk = fspec_as_disk(spec);
    if (disk == nullptr || !disk->long_names)
        return kErrOk;
    return fspec_disk_expand_long_names(*disk);
}

int fspec_check_arg(const void* pointer) { return pointer ? kErrOk : kErrBadValue; }

uint32_t fspec_extension_code(const char* text)
{
    if (text == nullptr)
        return 0;
    int length = str_fit_length(text, kExtensionCodeLength);
    uint32_t code = 0;
    for (int i = 0; i < length; ++i)
        code |= uint32_t(uint8_t(text[i])) << (8 * i);
    return code;
}
