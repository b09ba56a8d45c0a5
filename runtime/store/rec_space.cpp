#include "runtime/store/rec_space.h"

#include "runtime/base/errcode.h"

#include <algorithm>
#include <climits>
#include <vector>

constexpr size_t kCopyBufferMax = 0x40000;
constexpr size_t kCopyBufferMin = 512;
constexpr int64_t kMaxDataEnd = INT32_MAX;

static bool by_size(const RecordHole& a, const RecordHole& b)
{
    return a.size != b.size ? a.size < b.size : a.offset < b.offset;
}

static bool by_offset(const RecordHole& a, const RecordHole& b)
{
    return a.offset != b.offset ? a.offset < b.offset : a.size < b.size;
}

static void total_free(RecordFileState& state)
{
    int64_t total = 0;
    for (const RecordHole& hole : state.holes)
        total += hole.size;
    state.header.free_bytes = int32_t(total);
}

static int file_error()
{
    uint32_t error = file_take_last_error();
    return error != 0 ? int(error) : kErrWriteFault;
}

int rec_build_holes(RecordFileState& state, int64_t additional_offset, int64_t additional_size)
{
    std::vector<RecordHole> used;
    RecordDirEntry entry;
    for (int32_t n = 0; rec_dir_entry_at(state, n, entry); n++)
        used.push_back({ entry.offset, entry.stored_size });
    const RecordFileHeader& h = state.header;
    if (h.directory_offset != 0)
        used.push_back({ h.directory_offset, h.directory_size });
    if (additional_size > 0 && additional_offset != h.directory_offset)
        used.push_back({ additional_offset, additional_size });
    used.push_back({ 0, state.data_start + int64_t(kRecordHeaderSize) });
    used.push_back({ state.allocated_end, 1 });
    std::sort(used.begin(), used.end(), by_offset);
    state.holes.clear();
    // Areas may overlap in a file written by someone else: the gap starts after the furthest end.
    int64_t reached = 0;
    for (const RecordHole& area : used) {
        if (area.offset > reached)
            state.holes.push_back({ reached, area.offset - reached });
        reached = std::max(reached, area.offset + area.size);
    }
    std::sort(state.holes.begin(), state.holes.end(), by_size);
    state.holes.shrink_to_fit();
    total_free(state);
    return kErrOk;
}

void rec_remove_hole(RecordFileState& state, size_t index)
{
    if (index >= state.holes.size())
        return;
    state.header.free_bytes -= int32_t(state.holes[index].size);
    state.holes.erase(state.holes.begin() + ptrdiff_t(index));
}

int64_t rec_take_hole(RecordFileState& state, int64_t size)
{
    if (size <= 0)
        return 0;
    auto fit = std::find_if(state.holes.begin(), state.holes.end(),
        [size](const RecordHole& hole) { return hole.size >= size; });
    if (fit == state.holes.end())
        return 0;
    RecordHole hole = *fit;
    rec_remove_hole(state, size_t(fit - state.holes.begin()));
    if (hole.size > size)
        rec_free_space(state, hole.offset + size, hole.size - size);
    return hole.offset;
}

void rec_free_space(RecordFileState& state, int64_t offset, int64_t size)
{
    if (size <= 0)
        return;
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t n = 0; n < state.holes.size(); n++) {
            const RecordHole& hole = state.holes[n];
            if (hole.offset + hole.size != offset && hole.offset != offset + size)
                continue;
            offset = std::min(offset, hole.offset);
            size += hole.size;
            rec_remove_hole(state, n);
            merged = true;
            break;
        }
    }
    RecordHole range { offset, size };
    state.holes.insert(
        std::lower_bound(state.holes.begin(), state.holes.end(), range, by_size), range);
    state.header.free_bytes += int32_t(size);
}

int rec_extend(RecordFileState& state, int64_t size)
{
    if (size == 0 || (state.flags & kRecFileReadOnly))
        return kErrOk;
    int64_t new_end = std::max(state.end_at_open, state.allocated_end + size);
    // Offsets in the header and the directory are 32-bit signed: a data area past that would
    // place records and the directory where no stored offset can name them.
    if (new_end > kMaxDataEnd)
        return kErrWriteFault;
    if (state.file) {
        int64_t length = file_length(state.file.handle, state.file.kind);
        if (length < 0)
            return file_error();
        if (length < new_end) {
            int64_t clusters = (new_end + state.cluster_size - 1) / state.cluster_size;
            if (file_set_length(state.file.handle, state.file.kind, clusters * state.cluster_size)
                < 0)
                return file_error();
        }
    }
    state.allocated_end = new_end;
    return kErrOk;
}

int rec_trim_tail(RecordFileState& state)
{
    for (size_t n = 0; n < state.holes.size(); n++) {
        RecordHole hole = state.holes[n];
        if (hole.offset + hole.size != state.allocated_end)
            continue;
        rec_remove_hole(state, n);
        int result = rec_extend(state, -hole.size);
        // The data area never shrinks below the end at open: what stays of the hole stays free.
        if (result == kErrOk && state.allocated_end > hole.offset)
            rec_free_space(state, hole.offset, state.allocated_end - hole.offset);
        return result;
    }
    return kErrOk;
}

// Moves length bytes from one offset down to a lower one through the buffer.
static int move_down(
    RecordFileState& state, int64_t from, int64_t to, int64_t length, uint8_t* buffer, size_t room)
{
    while (length > 0) {
        uint32_t chunk = uint32_t(std::min<int64_t>(length, int64_t(room)));
        int result = rec_read_at(state, from, buffer, chunk);
        if (result == kErrOk)
            result = rec_write_at(state, to, buffer, chunk);
        if (result != kErrOk)
            return result;
        from += chunk;
        to += chunk;
        length -= chunk;
    }
    return kErrOk;
}

// Size of the closed holes that lie below an offset. Only an empty record can lie inside a
// hole (another writer may have left it anywhere): it moves by the part below it, to the
// hole's start, never below it.
static int64_t shift_below(const std::vector<RecordHole>& closed, int64_t offset)
{
    int64_t shift = 0;
    for (const RecordHole& hole : closed)
        if (hole.offset < offset)
            shift += std::min(hole.size, offset - hole.offset);
    return shift;
}

static int close_holes(RecordFileState& state, const std::vector<RecordHole>& closed)
{
    size_t room = 0;
    MemHandle block = mem_alloc_best(kCopyBufferMin, kCopyBufferMax);
    if (!block)
        return kErrOutOfMemory;
    room = mem_size(block);
    uint8_t* buffer = static_cast<uint8_t*>(mem_lock(block));
    int64_t shift = 0;
    int result = kErrOk;
    for (size_t n = 0; n < closed.size() && result == kErrOk; n++) {
        shift += closed[n].size;
        int64_t run_start = closed[n].offset + closed[n].size;
        int64_t run_end = n + 1 < closed.size() ? closed[n + 1].offset : state.allocated_end;
        result = move_down(state, run_start, run_start - shift, run_end - run_start, buffer, room);
    }
    mem_unlock(block);
    mem_free(block);
    return result;
}

static void move_entries(RecordFileState& state, const std::vector<RecordHole>& closed)
{
    RecordDirEntry entry;
    for (int32_t n = 0; rec_dir_entry_at(state, n, entry); n++) {
        int64_t shift = shift_below(closed, entry.offset);
        if (shift == 0)
            continue;
        entry.offset = uint32_t(entry.offset - shift);
        rec_dir_store(state, entry);
    }
}

int rec_compact(RecordFileState& state, int mode)
{
    if ((mode != kCompactNew && mode != kCompactAll) || rec_is_packaged(state))
        return kErrOk;
    int64_t start = std::max(state.end_at_open, state.data_start + int64_t(kRecordHeaderSize));
    if (mode == kCompactAll) {
        start = state.data_start + int64_t(kRecordHeaderSize);
        rec_build_holes(state, 0, 0);
    }
    RecordFileHeader& h = state.header;
    if (h.directory_offset != 0) {
        rec_free_space(state, h.directory_offset, h.directory_size);
        h.directory_offset = 0; // written again after the compaction
    }
    std::sort(state.holes.begin(), state.holes.end(), by_offset);
    auto first = std::find_if(state.holes.begin(), state.holes.end(),
        [start](const RecordHole& hole) { return hole.offset >= start; });
    std::vector<RecordHole> closed(first, state.holes.end());
    int result = closed.empty() ? kErrOk : close_holes(state, closed);
    if (result != kErrOk || closed.empty()) {
        std::sort(state.holes.begin(), state.holes.end(), by_size);
        return result;
    }
    move_entries(state, closed);
    // Only the closed holes move data: holes below the start stay where they are.
    state.holes.erase(first, state.holes.end());
    std::sort(state.holes.begin(), state.holes.end(), by_size);
    total_free(state);
    state.allocated_end -= shift_below(closed, state.allocated_end);
    if (state.file && file_set_length(state.file.handle, state.file.kind, state.allocated_end) < 0)
        return file_error();
    return kErrOk;
}

int rec_file_create_empty(RecordFileState& state)
{
    state.header = RecordFileHeader {};
    state.flags |= kRecFileDirty;
    mem_free(state.directory);
    state.directory = mem_alloc(0, kMemMovableZero);
    if (!state.directory)
        return kErrOutOfMemory;
    state.directory_capacity = 0;
    state.cache_number = 0;
    state.cache_index = -1;
    state.holes.clear();
    int64_t header_end = state.data_start + int64_t(kRecordHeaderSize);
    int result = header_end > state.allocated_end
        ? rec_extend(state, header_end - state.allocated_end)
        : kErrOk;
    state.header.end_of_data = int32_t(state.allocated_end);
    return result;
}
