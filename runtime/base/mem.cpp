#include "runtime/base/mem.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/system.h"

// Sizes below this are raised to it: every block has room for a count or a terminator.
constexpr size_t kMemMinimumSize = 8;
constexpr uint64_t kReservedPhysical = 3 * 1024 * 1024;
constexpr int64_t kBudgetMaximum = int64_t(1) << 62;
// The MMX decision in the process-wide flag word.
constexpr uint32_t kMmxProbed = 0x08;
constexpr uint32_t kMmxUsable = 0x10;

struct MemState {
    int64_t budget = 0;
    uint32_t mmx_flags = 0;
    MemSettingsRead settings_read = nullptr;
    MemSettingsWrite settings_write = nullptr;
};

static MemState s_mem;

// Resizes keeping the contents; a locked block may move, so the caller re-reads addresses.
static bool resize_block(MemHandle block, size_t size, uint32_t flags)
{
    if (size > plat::kGlobalMaxBlockSize)
        return false;
    return bool(plat::global_realloc(block, size, plat::GMEM_MOVEABLE | (flags & kMemZeroInit)));
}

int64_t mem_budget_from_physical(uint64_t total_physical)
{
    if (total_physical <= kReservedPhysical)
        return 0;
    return int64_t(std::min<uint64_t>(total_physical - kReservedPhysical, uint64_t(kMemBudgetCeiling)));
}

void mem_note_physical()
{
    plat::MemoryStatus status;
    plat::global_memory_status(status);
    s_mem.budget = mem_budget_from_physical(status.total_physical);
}

int64_t mem_budget() { return s_mem.budget; }

int64_t mem_budget_add(int64_t delta)
{
    // Clamped before adding, so the sum cannot overflow.
    delta = std::clamp(delta, -kBudgetMaximum, kBudgetMaximum);
    s_mem.budget = std::clamp(s_mem.budget + delta, int64_t(0), kBudgetMaximum);
    return s_mem.budget;
}

uint64_t mem_free_space()
{
    plat::MemoryStatus status;
    plat::global_memory_status(status);
    return status.available_page_file;
}

uint64_t mem_free_space_any(int) { return mem_free_space(); }

MemHandle mem_alloc(size_t size, uint32_t flags)
{
    return plat::global_alloc(flags, std::max(size, kMemMinimumSize));
}

MemHandle mem_alloc_copy(const void* bytes, size_t length)
{
    MemHandle block = plat::global_alloc(kMemMovableZero, std::max<size_t>(length, 1));
    if (block && length > 0)
        std::memcpy(plat::global_address(block), bytes, length);
    return block;
}

MemHandle mem_duplicate(MemHandle block)
{
    if (!block || !plat::global_address(block))
        return MemHandle{};
    size_t size = plat::global_size(block);
    // Locked while the copy is made: an allocation under pressure purges unlocked blocks.
    const void* source = plat::global_lock(block);
    MemHandle copy = plat::global_alloc(kMemMovable, size);
    if (copy)
        std::memcpy(plat::global_address(copy), source, size);
    plat::global_unlock(block);
    return copy;
}

int mem_resize(MemHandle block, size_t size, uint32_t flags)
{
    if (!block || size > kMemResizeLimit)
        return 0;
    return resize_block(block, std::max(size, kMemMinimumSize), flags) ? 1 : 0;
}

MemHandle mem_realloc(MemHandle block, int64_t size, uint32_t flags)
{
    if (!block || size < 0 || uint64_t(size) > plat::kGlobalMaxBlockSize)
        return MemHandle{};
    if (flags == 0)
        flags = kMemMovableZero;
    return resize_block(block, std::max(size_t(size), kMemMinimumSize), flags) ? block : MemHandle{};
}

MemHandle mem_set_size(MemHandle block, size_t size, uint32_t flags)
{
    size = std::max<size_t>(size, 1);
    if (!block)
        return plat::global_alloc(flags, size);
    // A copying reallocation: the contents survive growth, unlike a fresh block would.
    if (resize_block(block, size, flags))
        return block;
    plat::global_free(block);
    return MemHandle{};
}

// Copies bytes to offset of a block already large enough.
static void copy_in(MemHandle block, const void* bytes, size_t length, size_t offset)
{
    if (length > 0 && bytes)
        std::memcpy(static_cast<uint8_t*>(plat::global_address(block)) + offset, bytes, length);
}

// Zeroes the bytes between the old end and offset that a write past the end leaves behind.
static void zero_gap(MemHandle block, size_t old_size, size_t offset)
{
    if (offset > old_size)
        std::memset(static_cast<uint8_t*>(plat::global_address(block)) + old_size, 0, offset - old_size);
}

int mem_write_at(MemHandle block, const void* bytes, size_t length, size_t offset)
{
    if (!block || offset >= kMemWriteAtLimit || length >= kMemWriteAtLimit - offset)
        return 0;
    size_t old_size = plat::global_size(block);
    if (!resize_block(block, std::max<size_t>(offset + length, 1), kMemZeroInit))
        return 0;
    zero_gap(block, old_size, offset);
    copy_in(block, bytes, length, offset);
    return 1;
}

MemHandle mem_resize_write_at(MemHandle block, const void* bytes, size_t length, size_t offset)
{
    if (!block || offset > plat::kGlobalMaxBlockSize || length > plat::kGlobalMaxBlockSize - offset)
        return MemHandle{};
    size_t old_size = plat::global_size(block);
    block = mem_set_size(block, offset + length, kMemZeroInit);
    if (!block)
        return MemHandle{};
    zero_gap(block, old_size, offset);
    copy_in(block, bytes, length, offset);
    return block;
}

MemHandle mem_free(MemHandle block)
{
    if (!block)
        return MemHandle{};
    return plat::global_free(block);
}

size_t mem_size(MemHandle block) { return block ? plat::global_size(block) : 0; }

int mem_is_purged(MemHandle block)
{
    if (!block)
        return 0;
    uint32_t flags = plat::global_flags(block);
    return (flags != plat::GMEM_INVALID_HANDLE && (flags & plat::GMEM_DISCARDED)) ? 1 : 0;
}

int mem_set_purgeable(MemHandle block, int purgeable)
{
    if (!block)
        return 0;
    uint32_t flags = plat::global_flags(block);
    if (flags == plat::GMEM_INVALID_HANDLE)
        return 0;
    plat::global_realloc(block, 0, plat::GMEM_MODIFY | (purgeable ? plat::GMEM_DISCARDABLE : 0u));
    return (flags & plat::GMEM_DISCARDABLE) ? 1 : 0;
}

int mem_compare(MemHandle a, MemHandle b)
{
    if (!a || !b)
        return (!a && !b) ? 0 : (!b ? 1 : -1);
    size_t size_a = mem_size(a);
    size_t size_b = mem_size(b);
    size_t common = std::min(size_a, size_b);
    const void* bytes_a = plat::global_address(a);
    const void* bytes_b = plat::global_address(b);
    int order = common > 0 ? std::memcmp(bytes_a, bytes_b, common) : 0;
    if (order != 0)
        return order < 0 ? -1 : 1;
    return size_a == size_b ? 0 : (size_a < size_b ? -1 : 1);
}

MemHandle mem_alloc_best(size_t minimum, size_t wanted)
{
    uint64_t free_space = mem_free_space();
    if (free_space < wanted)
        wanted = size_t(free_space);
    for (size_t size = std::max(minimum, wanted); size >= minimum; size /= 2) {
        MemHandle block = plat::global_alloc(kMemMovableZero, std::max(size, kMemMinimumSize));
        if (block || size == 0)
            return block;
    }
    return MemHandle{};
}

void* mem_lock(MemHandle block) { return block ? plat::global_lock(block) : nullptr; }

bool mem_unlock(MemHandle block) { return block ? plat::global_unlock(block) : false; }

void* mem_address(MemHandle block) { return block ? plat::global_address(block) : nullptr; }

void* mem_alloc_locked(size_t size, uint32_t flags)
{
    MemHandle block = mem_alloc(size, flags);
    return block ? plat::global_lock(block) : nullptr;
}

void* mem_alloc_copy_locked(const void* bytes, size_t length)
{
    MemHandle block = mem_alloc_copy(bytes, length);
    return block ? plat::global_lock(block) : nullptr;
}

void mem_free_locked(void* address)
{
    if (!address)
        return;
    MemHandle block = plat::global_handle(address);
    if (block)
        plat::global_free(block);
}

void* mem_clear_190(void* address)
{
    // One memset is the widest store the compiler knows for the target, MMX or not.
    std::memset(address, 0, 190);
    return address;
}

// Moves the tail after a replaced range: from position + old_length up to size, to
// position + new_length.
static void move_tail(uint8_t* bytes, int64_t size, int64_t position, int64_t old_length, int64_t new_length)
{
    if (old_length != new_length)
        std::memmove(bytes + position + new_length, bytes + position + old_length,
                     size_t(size - position - old_length));
}

static void fill_range(uint8_t* at, const void* new_bytes, int64_t new_length)
{
    if (new_bytes)
        std::memcpy(at, new_bytes, size_t(new_length));
    else if (new_length == 190)
        mem_clear_190(at);
    else
        std::memset(at, 0, size_t(new_length));
}

int64_t util_replace_bytes(MemHandle block, int64_t size, int64_t position, int64_t old_length,
                           const void* new_bytes, int64_t new_length)
{
    int64_t block_size = int64_t(mem_size(block));
    if (!block || !mem_address(block) || old_length < 0 || new_length < 0 || position < 0)
        return -1;
    size = (size < 0 || size > block_size) ? block_size : size;
    position = std::min(position, size);
    old_length = std::min(old_length, size - position); // a range past the end is cut there
    if (new_length > int64_t(plat::kGlobalMaxBlockSize) - block_size)
        return -1;
    int64_t growth = new_length - old_length;
    if (growth > 0 && !resize_block(block, size_t(block_size + growth), 0))
        return -1;
    auto* bytes = static_cast<uint8_t*>(plat::global_lock(block));
    move_tail(bytes, size, position, old_length, new_length);
    fill_range(bytes + position, new_bytes, new_length);
    plat::global_unlock(block);
    if (growth < 0 && !resize_block(block, size_t(std::max<int64_t>(block_size + growth, 1)), 0))
        return -1;
    return position + new_length;
}

void app_mmx_set_settings(MemSettingsRead read, MemSettingsWrite write)
{
    s_mem.settings_read = read;
    s_mem.settings_write = write;
}

static bool processor_has_mmx()
{
#if defined(__i386__) || defined(__x86_64__)
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

int app_mmx_available()
{
    if (s_mem.mmx_flags & kMmxProbed)
        return (s_mem.mmx_flags & kMmxUsable) ? 1 : 0;
    s_mem.mmx_flags = (s_mem.mmx_flags | kMmxProbed) & ~kMmxUsable;
    char value[8] = "1";
    if (s_mem.settings_read)
        s_mem.settings_read(value, sizeof value, "MMXTechnology", "MMXEnableCheck", "1");
    // Anything not starting with "0" means on, and the key is written back in its clean form.
    const char* check = value[0] == '0' ? "0" : "1";
    if (s_mem.settings_write)
        s_mem.settings_write("MMXTechnology", "MMXEnableCheck", check);
    if (check[0] == '1' && processor_has_mmx())
        s_mem.mmx_flags |= kMmxUsable;
    return (s_mem.mmx_flags & kMmxUsable) ? 1 : 0;
}

void mem_reset() { s_mem = MemState{}; }
