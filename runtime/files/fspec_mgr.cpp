#include "runtime/files/fspec_mgr.h"

#include "platform/kernel/path.h"
#include "runtime/base/errcode.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_inet.h"

#include <new>

struct PoolEntry {
    int in_use = 0;
    DiskFileSpec* spec = nullptr; // null when its allocation failed
};

static struct ManagerState {
    bool created = false;
    PoolEntry pool[kSpecPoolSize];
    int network_stale = 1;
    size_t cursor = 0; // of the network list's iteration
    std::vector<NetworkMapping> network;
    NetworkSource source = nullptr;
    FileSpec* piece = nullptr;
} s_mgr;

static const std::vector<NetworkMapping> kNoMappings;

int fspec_manager_create()
{
    if (s_mgr.created)
        fspec_manager_destroy();
    for (PoolEntry& entry : s_mgr.pool)
        entry = PoolEntry { 0, new (std::nothrow) DiskFileSpec() };
    s_mgr.created = true;
    s_mgr.network_stale = 1;
    s_mgr.cursor = 0;
    s_mgr.network.clear();
    return 1;
}

void fspec_manager_destroy()
{
    if (!s_mgr.created)
        return;
    // The piece's copy may be a pooled spec: it goes back before the pool goes.
    fspec_manager_release(s_mgr.piece);
    s_mgr.piece = nullptr;
    for (PoolEntry& entry : s_mgr.pool) {
        delete entry.spec;
        entry = PoolEntry {};
    }
    s_mgr.network.clear();
    s_mgr.created = false;
}

DiskFileSpec* fspec_pool_take()
{
    if (!s_mgr.created)
        return nullptr;
    for (PoolEntry& entry : s_mgr.pool) {
        if (entry.in_use == 0 && entry.spec != nullptr) {
            entry.in_use = 1;
            return entry.spec;
        }
    }
    return nullptr;
}

DiskFileSpec* fspec_manager_new_spec()
{
    DiskFileSpec* spec = fspec_pool_take();
    return spec ? spec : new (std::nothrow) DiskFileSpec();
}

InetFileSpec* fspec_manager_new_inet()
{
    InetFileSpec* spec = new (std::nothrow) InetFileSpec();
    return spec ? spec : new (std::nothrow) InetFileSpec();
}

MemoryFileSpec* fspec_manager_new_memory() { return new (std::nothrow) MemoryFileSpec(); }

static PoolEntry* pool_entry_of(const FileSpec* spec)
{
    if (!s_mgr.created || spec == nullptr)
        return nullptr;
    for (PoolEntry& entry : s_mgr.pool)
        if (entry.spec == spec)
            return &entry;
    return nullptr;
}

void fspec_manager_release(FileSpec* spec)
{
    if (spec == nullptr)
        return;
    if (PoolEntry* entry = pool_entry_of(spec)) {
        entry->spec->reset();
        entry->in_use = 0;
        return;
    }
    delete spec;
}

int fspec_pool_in_use()
{
    int count = 0;
    for (const PoolEntry& entry : s_mgr.pool)
        count += entry.in_use;
    return count;
}

// --- clone and copy, by kind -------------------------------------------------------------

static int copy_memory(MemoryFileSpec& destination, const MemoryFileSpec& source)
{
    MemHandle data;
    if (source.data) {
        data = mem_duplicate(source.data);
        if (!data)
            return kErrOutOfMemory;
    }
    destination.reset();
    destination.data = data;
    destination.length = source.length;
    destination.capacity = source.capacity;
    return kErrOk;
}

int fspec_manager_copy(FileSpec* destination, const FileSpec* source)
{
    if (destination == nullptr || source == nullptr || destination->kind() != source->kind())
        return kErrBadValue;
    if (destination == source)
        return kErrOk;
    switch (source->kind()) {
    case kSpecDisk: return fspec_disk_copy(*fspec_as_disk(destination), *fspec_as_disk(source));
    case kSpecInet:
        return str_holder_assign(fspec_as_inet(destination)->text, fspec_as_inet(source)->text);
    case kSpecMemory:
        return copy_memory(*static_cast<MemoryFileSpec*>(destination),
            *static_cast<const MemoryFileSpec*>(source));
    }
    return kErrBadValue;
}

static FileSpec* new_spec_of_kind(int kind)
{
    switch (kind) {
    case kSpecDisk: return fspec_manager_new_spec();
    case kSpecInet: return fspec_manager_new_inet();
    case kSpecMemory: return fspec_manager_new_memory();
    }
    return nullptr;
}

FileSpec* fspec_manager_clone(const FileSpec* spec)
{
    if (spec == nullptr)
        return nullptr;
    FileSpec* clone = new_spec_of_kind(spec->kind());
    if (clone == nullptr)
        return nullptr;
    if (fspec_manager_copy(clone, spec) != kErrOk) {
        fspec_manager_release(clone);
        return nullptr;
    }
    return clone;
}

// --- path texts --------------------------------------------------------------------------

int fspec_mgr_get_path(const FileSpec* spec, char* buffer, int size)
{
    std::string text = spec ? fspec_text(*spec) : std::string();
    fspec_copy_text(buffer, size, text);
    return text.empty() ? kErrPartMissing : kErrOk;
}

// GetFullPathName of text with the piece's folder as the current folder.
static std::string full_path_in_piece_folder(const std::string& text)
{
    std::string saved = plat::get_current_directory();
    if (saved.empty())
        return text;
    std::string piece_folder;
    if (s_mgr.piece != nullptr)
        fspec_read_part(*s_mgr.piece, &FileSpec::get_folder, piece_folder);
    bool switched = !piece_folder.empty() && plat::set_current_directory(piece_folder);
    std::string full = plat::get_full_path_name(text);
    if (switched)
        plat::set_current_directory(saved);
    return full.empty() ? text : full;
}

int fspec_mgr_get_full_path(const FileSpec* spec, char* buffer, int size)
{
    std::string text = spec ? fspec_text(*spec) : std::string();
    if (!text.empty() && spec->kind() == kSpecDisk)
        text = full_path_in_piece_folder(text);
    fspec_copy_text(buffer, size, text);
    return text.empty() ? kErrPartMissing : kErrOk;
}

int fspec_mgr_get_short_path(const FileSpec* spec, char* buffer, int size)
{
    const DiskFileSpec* disk = fspec_as_disk(spec);
    if (disk == nullptr)
        return fspec_mgr_get_path(spec, buffer, size);
    DiskFileSpec scratch;
    int result = fspec_disk_copy(scratch, *disk);
    if (result == kErrOk)
        result = fspec_disk_to_unc(scratch);
    if (result == kErrOk)
        result = fspec_disk_to_short_names(scratch);
    fspec_copy_text(buffer, size, result == kErrOk ? fspec_text(scratch) : std::string());
    return result;
}

// --- the current piece -------------------------------------------------------------------

void fspec_manager_set_piece(const FileSpec* spec)
{
    FileSpec* copy = fspec_manager_clone(spec);
    fspec_manager_release(s_mgr.piece);
    s_mgr.piece = copy;
}

const FileSpec* fspec_manager_piece() { return s_mgr.piece; }

// --- network drives ----------------------------------------------------------------------

void fspec_manager_mark_activated() { s_mgr.network_stale = 1; }

void fspec_manager_set_network_source(NetworkSource source)
{
    s_mgr.source = source;
    s_mgr.network_stale = 1;
}

int fspec_network_refresh()
{
    if (!s_mgr.created)
        return kErrNetworkList;
    if (!s_mgr.network_stale)
        return kErrOk;
    s_mgr.network.clear();
    // Without a source there is nothing to enumerate, which is a complete list.
    if (s_mgr.source == nullptr || s_mgr.source(s_mgr.network) == 0)
        s_mgr.network_stale = 0;
    return kErrOk;
}

int fspec_network_begin()
{
    if (!s_mgr.created)
        return kErrNetworkList;
    s_mgr.cursor = 0;
    return s_mgr.network.empty() ? kErrOutOfMemory : kErrOk;
}

const NetworkMapping* fspec_network_next()
{
    if (!s_mgr.created || s_mgr.cursor >= s_mgr.network.size())
        return nullptr;
    return &s_mgr.network[s_mgr.cursor++];
}

void fspec_network_end() { s_mgr.cursor = 0; }

const std::vector<NetworkMapping>& fspec_network_list()
{
    return s_mgr.created ? s_mgr.network : kNoMappings;
}
