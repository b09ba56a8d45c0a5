#include "runtime/files/file.h"
#include "runtime/files/netprof.h"

#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "runtime/base/errcode.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/base/recarr.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

// An open file. Memory files keep their bytes here; disk files keep the path they were opened
// by, to find the volume of an open file.
struct FileTableEntry {
    uint32_t handle;
    uint32_t kind;
    MemHandle data;
    int32_t length;
    int32_t position;
    uint32_t spec_serial; // the memory spec that gets the bytes back at close
    uint8_t written; // only a written file hands its bytes back
    char path[kPathBufferSize];
};

// Opening is tried this often: a file being closed by another program may refuse at first.
constexpr int kOpenAttempts = 3;

static struct FileState {
    RecordArray table;
    bool ready = false;
    uint32_t next_memory_handle = 1;
} s_file;

static bool is_memory(uint32_t kind) { return kind >= kFileKindMemory; }

static plat::FileHandle disk_handle(uint32_t handle) { return plat::FileHandle(handle); }

uint32_t file_set_error(uint32_t code)
{
    plat::set_last_error(code);
    return code;
}

uint32_t file_take_last_error()
{
    uint32_t code = plat::get_last_error();
    plat::set_last_error(0);
    return code;
}

// Index of the newest entry of the pair, 0 when none.
static uint32_t find_entry(uint32_t handle, uint32_t kind, FileTableEntry* entry)
{
    if (!s_file.ready)
        return 0;
    for (uint32_t i = recarr_count(s_file.table); i >= 1; --i) {
        FileTableEntry candidate;
        recarr_get(s_file.table, i, &candidate);
        if (candidate.handle == handle && candidate.kind == kind) {
            if (entry)
                *entry = candidate;
            return i;
        }
    }
    return 0;
}

int file_init()
{
    if (s_file.ready)
        return 1;
    if (!recarr_init(s_file.table, sizeof(FileTableEntry), nullptr))
        return 0;
    s_file.ready = true;
    return 1;
}

void file_term()
{
    file_find_end();
    if (!s_file.ready)
        return;
    while (recarr_count(s_file.table) > 0) {
        FileTableEntry entry;
        recarr_get(s_file.table, recarr_count(s_file.table), &entry);
        file_close(entry.handle, entry.kind);
    }
    recarr_free(s_file.table);
    s_file.ready = false;
}

int file_open_count() { return s_file.ready ? int(recarr_count(s_file.table)) : 0; }

// --- opening and closing -----------------------------------------------------------------

static FileHandle open_memory(const FileSpec* spec)
{
    MemHandle copy;
    int32_t length = 0;
    int32_t capacity = 0;
    int result = fspec_get_memory(spec, &copy, &length, &capacity);
    if (result != kErrOk || !copy) {
        file_set_error(result != kErrOk ? uint32_t(result) : plat::ERROR_FILE_NOT_FOUND);
        return FileHandle {};
    }
    FileTableEntry entry {};
    entry.handle = s_file.next_memory_handle++;
    if (s_file.next_memory_handle == 0)
        s_file.next_memory_handle = 1;
    entry.kind = kFileKindMemory;
    entry.data = copy;
    // The spec's fields are public: never believe a length past its block.
    entry.length = int32_t(std::min<size_t>(size_t(std::max(length, 0)), mem_size(copy)));
    // Bytes past the length read as zero when the file is extended.
    std::memset(static_cast<uint8_t*>(mem_address(copy)) + entry.length, 0,
        mem_size(copy) - size_t(entry.length));
    entry.spec_serial = static_cast<const MemoryFileSpec*>(spec)->serial;
    if (!s_file.ready || recarr_append(s_file.table, &entry) == 0) {
        mem_free(copy);
        file_set_error(plat::ERROR_NOT_ENOUGH_MEMORY);
        return FileHandle {};
    }
    plat::set_last_error(0);
    return FileHandle { entry.handle, entry.kind };
}

static uint32_t access_of(int mode)
{
    if (mode & kFileModeReadOnly)
        return plat::GENERIC_READ;
    switch (mode & 3) {
    case kFileModeRead: return plat::GENERIC_READ;
    case kFileModeWrite: return plat::GENERIC_WRITE;
    default: return plat::GENERIC_READ | plat::GENERIC_WRITE;
    }
}

static FileHandle open_disk(const FileSpec* spec, int mode)
{
    std::string path;
    uint32_t result = file_spec_path(spec, path);
    if (result != 0) {
        file_set_error(result);
        return FileHandle {};
    }
    plat::FileHandle opened;
    for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt)
        opened = plat::create_file(path, access_of(mode), plat::FILE_SHARE_READ,
            plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (!opened)
        return FileHandle {};
    FileTableEntry entry {};
    entry.handle = opened.id;
    entry.kind = kFileKindDisk;
    fspec_copy_text(entry.path, sizeof entry.path, path);
    if (!s_file.ready || recarr_append(s_file.table, &entry) == 0) {
        plat::close_handle(opened);
        file_set_error(plat::ERROR_NOT_ENOUGH_MEMORY);
        return FileHandle {};
    }
    return FileHandle { entry.handle, entry.kind };
}

FileHandle file_open(const FileSpec* spec, int mode)
{
    if (fspec_is_memory(spec))
        return open_memory(spec);
    return open_disk(spec, mode);
}

// A written memory file's bytes go back to its spec; otherwise they are dropped.
static void hand_back(const FileTableEntry& entry)
{
    MemoryFileSpec* spec = entry.written ? fspec_memory_by_serial(entry.spec_serial) : nullptr;
    if (spec == nullptr) {
        mem_free(entry.data);
        return;
    }
    spec->reset();
    spec->data = entry.data;
    spec->length = entry.length;
    spec->capacity = int32_t(std::min<size_t>(mem_size(entry.data), INT32_MAX));
}

void file_close(uint32_t handle, uint32_t kind)
{
    FileTableEntry entry;
    uint32_t index = find_entry(handle, kind, &entry);
    if (index == 0)
        return;
    recarr_delete(s_file.table, index);
    if (is_memory(kind))
        hand_back(entry);
    else
        plat::close_handle(disk_handle(handle));
}

FileHandle file_adopt_disk(uint32_t platform_handle, FileHandle like)
{
    FileTableEntry entry;
    if (like.kind != kFileKindDisk || find_entry(like.handle, like.kind, &entry) == 0) {
        plat::close_handle(disk_handle(platform_handle));
        file_set_error(plat::ERROR_INVALID_HANDLE);
        return FileHandle {};
    }
    entry.handle = platform_handle;
    if (recarr_append(s_file.table, &entry) == 0) {
        plat::close_handle(disk_handle(platform_handle));
        file_set_error(plat::ERROR_NOT_ENOUGH_MEMORY);
        return FileHandle {};
    }
    return FileHandle { entry.handle, entry.kind };
}

// --- memory files ------------------------------------------------------------------------

// The entry of a memory pair, or 0 with error 2.
static uint32_t memory_entry(uint32_t handle, uint32_t kind, FileTableEntry& entry)
{
    uint32_t index = find_entry(handle, kind, &entry);
    if (index == 0)
        file_set_error(plat::ERROR_FILE_NOT_FOUND);
    return index;
}

static int64_t memory_seek(uint32_t handle, uint32_t kind, int64_t offset, int origin)
{
    FileTableEntry entry;
    uint32_t index = memory_entry(handle, kind, entry);
    if (index == 0)
        return -1;
    int64_t base = origin == kFileBegin ? 0
        : origin == kFileCurrent        ? entry.position
                                        : entry.length;
    if (origin < kFileBegin || origin > kFileEnd || offset < -base
        || offset > entry.length - base) {
        file_set_error(kFileErrBadArguments);
        return -1;
    }
    entry.position = int32_t(base + offset);
    recarr_set(s_file.table, index, &entry);
    plat::set_last_error(0);
    return entry.position;
}

// Makes the block hold at least size bytes, new bytes zero; false with error 112.
static bool memory_reserve(FileTableEntry& entry, int64_t size)
{
    if (size > INT32_MAX) {
        file_set_error(kFileErrDiskFull);
        return false;
    }
    if (mem_size(entry.data) >= size_t(size))
        return true;
    if (!mem_realloc(entry.data, size, kMemMovableZero)) {
        file_set_error(kFileErrDiskFull);
        return false;
    }
    return true;
}

static int32_t memory_read(uint32_t handle, uint32_t kind, void* buffer, int32_t count)
{
    FileTableEntry entry;
    uint32_t index = memory_entry(handle, kind, entry);
    if (index == 0)
        return -1;
    int32_t available = std::max(entry.length - entry.position, 0);
    int32_t taken = std::min(count, available);
    if (taken > 0)
        std::memcpy(buffer, static_cast<const uint8_t*>(mem_address(entry.data)) + entry.position,
            size_t(taken));
    entry.position += taken;
    recarr_set(s_file.table, index, &entry);
    plat::set_last_error(0);
    return taken;
}

static int32_t memory_write(uint32_t handle, uint32_t kind, const void* bytes, int32_t count)
{
    FileTableEntry entry;
    uint32_t index = memory_entry(handle, kind, entry);
    if (index == 0)
        return -1;
    int64_t end = int64_t(entry.position) + count;
    if (!memory_reserve(entry, end))
        return -1;
    if (count > 0)
        std::memcpy(
            static_cast<uint8_t*>(mem_address(entry.data)) + entry.position, bytes, size_t(count));
    entry.position = int32_t(end);
    entry.length = std::max(entry.length, int32_t(end));
    entry.written = 1;
    recarr_set(s_file.table, index, &entry);
    plat::set_last_error(0);
    return count;
}

static int64_t memory_set_length(uint32_t handle, uint32_t kind, int64_t length)
{
    FileTableEntry entry;
    uint32_t index = memory_entry(handle, kind, entry);
    if (index == 0 || !memory_reserve(entry, length))
        return -1;
    // Bytes beyond the length are kept zero, so that a later extension or a write past the
    // end never brings old contents back.
    uint8_t* bytes = static_cast<uint8_t*>(mem_address(entry.data));
    if (length < entry.length)
        std::memset(bytes + length, 0, size_t(entry.length - length));
    entry.length = int32_t(length);
    entry.written = 1;
    recarr_set(s_file.table, index, &entry);
    plat::set_last_error(0);
    return length;
}

// --- handle operations -------------------------------------------------------------------

int64_t file_seek(uint32_t handle, uint32_t kind, int64_t offset, int origin)
{
    if (is_memory(kind))
        return memory_seek(handle, kind, offset, origin);
    if (origin < kFileBegin || origin > kFileEnd) {
        file_set_error(plat::ERROR_INVALID_PARAMETER);
        return -1;
    }
    return plat::set_file_pointer(disk_handle(handle), offset, uint32_t(origin));
}

int32_t file_read(
    uint32_t handle, uint32_t kind, void* buffer, int32_t count, int origin, int64_t offset)
{
    if (count < 0 || (buffer == nullptr && count > 0)) {
        file_set_error(plat::ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (file_seek(handle, kind, offset, origin) < 0)
        return -1;
    if (is_memory(kind))
        return memory_read(handle, kind, buffer, count);
    // Each disk read is one transfer of kind 0, timed around the read itself.
    netprof_timer_start(kTransferDiskRead, handle);
    uint32_t read = 0;
    bool ok = plat::read_file(disk_handle(handle), buffer, uint32_t(count), &read);
    netprof_timer_end(kTransferDiskRead, handle, ok ? int32_t(read) : -1);
    return ok ? int32_t(read) : -1;
}

int32_t file_write(
    uint32_t handle, uint32_t kind, const void* bytes, int32_t count, int origin, int64_t offset)
{
    if (count < 0 || (bytes == nullptr && count > 0)) {
        file_set_error(plat::ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (file_seek(handle, kind, offset, origin) < 0)
        return -1;
    if (is_memory(kind))
        return memory_write(handle, kind, bytes, count);
    uint32_t written = 0;
    if (!plat::write_file(disk_handle(handle), bytes, uint32_t(count), &written))
        return -1;
    return int32_t(written);
}

int64_t file_set_length(uint32_t handle, uint32_t kind, int64_t length)
{
    if (length < 0) {
        file_set_error(plat::ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (is_memory(kind))
        return memory_set_length(handle, kind, length);
    if (plat::set_file_pointer(disk_handle(handle), length, plat::FILE_BEGIN) < 0
        || !plat::set_end_of_file(disk_handle(handle)))
        return -1;
    return length;
}

int64_t file_length(uint32_t handle, uint32_t kind)
{
    if (!is_memory(kind))
        return plat::set_file_pointer(disk_handle(handle), 0, plat::FILE_END);
    FileTableEntry entry;
    if (memory_entry(handle, kind, entry) == 0)
        return -1;
    return entry.length;
}

int file_flush(uint32_t handle, uint32_t kind)
{
    if (!is_memory(kind))
        plat::flush_file_buffers(disk_handle(handle));
    return 0;
}

int file_get_time(uint32_t handle, uint32_t kind, uint64_t* last_write)
{
    if (is_memory(kind))
        return 0;
    return plat::get_file_time(disk_handle(handle), nullptr, nullptr, last_write) ? 1 : 0;
}

int file_set_time(uint32_t handle, uint32_t kind, uint64_t last_write)
{
    if (is_memory(kind))
        return 0;
    return plat::set_file_time(disk_handle(handle), nullptr, nullptr, &last_write) ? 1 : 0;
}

int file_request_range(uint32_t, uint32_t, int64_t, int64_t) { return 0; }

int file_range_ready(uint32_t, uint32_t, int64_t, int64_t) { return 1; }

int32_t file_free_space_of_handle(uint32_t handle, uint32_t kind)
{
    FileTableEntry entry;
    if (find_entry(handle, kind, &entry) == 0) {
        file_set_error(kFileErrBadArguments);
        return -1;
    }
    if (is_memory(kind))
        return INT32_MAX;
    FileSpec* spec = nullptr;
    fspec_from_path(entry.path, &spec);
    int32_t free_bytes = fspec_disk_free(spec);
    fspec_free(spec);
    return free_bytes;
}

int64_t file_length_of_spec(const FileSpec* spec)
{
    FileHandle file = file_open(spec, kFileModeReadOnly);
    if (!file)
        return -1;
    int64_t length = file_length(file.handle, file.kind);
    file_close(file.handle, file.kind);
    return length;
}
