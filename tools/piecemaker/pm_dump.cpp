#include "tools/piecemaker/pm_dump.h"
#include "tools/piecemaker/pm_text.h"

#include "platform/kernel/path.h"
#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/action_queue.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/session.h"
#include "runtime/engine/urec.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/swap.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_icons.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

std::string format(const char* pattern, auto... values)
{
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

std::string kind_text(uint32_t magic)
{
    std::string text;
    for (int n = 0; n < 4; n++) {
        char c = char(magic >> (8 * n));
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

const char* order_text(uint8_t byte_order)
{
    return rec_order_is_native(byte_order) ? "little" : "big";
}

std::string storage_text(uint16_t scheme)
{
    return scheme == 1 ? "raw" : scheme == 2 ? "zlib" : "scheme " + std::to_string(scheme);
}

int refuse(std::string& out, int code)
{
    out += format("error %d\n", code);
    return 1;
}

// The spec of a host path: a disk spec where a drive root holds it, else a memory copy.
FileSpec* spec_of(const std::string& path)
{
    std::error_code failure;
    std::string windows = plat::path_from_host(std::filesystem::absolute(path, failure).string());
    FileSpec* spec = nullptr;
    if (!windows.empty() && windows.size() < 260 && fspec_from_path(windows.c_str(), &spec) == 0)
        return spec;
    fspec_free(spec);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!pm_load(path, bytes, error))
        return nullptr;
    spec = fspec_new_memory();
    MemHandle data = mem_alloc_copy(bytes.data(), bytes.size());
    if (!spec || !data || fspec_set_memory(spec, data, int32_t(bytes.size()), 0) != 0) {
        fspec_free(spec);
        spec = nullptr;
    }
    mem_free(data);
    return spec;
}

void dump_headers(RecordFileState& state, uint32_t format_number, std::string& out)
{
    uint8_t bytes[kRecordHeaderSize];
    if (rec_read_at(state, state.data_start, bytes, sizeof bytes) != 0)
        return;
    RecordFileHeader h = rec_header_from_bytes(bytes);
    out += format("kind %s format %u version %d base %lld order %s\n",
        kind_text(state.expected_magic).c_str(), format_number, state.kind_version,
        (long long)(state.data_start - kKindHeaderArea), order_text(h.byte_order));
    out += format(
        "header layout %d end %d data-length %d directory-offset %d directory-size %d entries %d "
        "free %d used %d flags 0x%04x\n",
        h.version, h.end_of_data, h.data_length, h.directory_offset, h.directory_size,
        h.entry_count, h.free_bytes, h.used_bytes, h.flags);
    out += format("directory %s entries %d\n", rec_is_packaged(state) ? "packaged" : "editable",
        state.header.entry_count);
}

// Every record is loaded, so that a damaged one is found.
int dump_records(RecordFileState& state, std::string& out)
{
    int failed = 0;
    RecordDirEntry entry;
    for (int32_t n = 0; rec_dir_entry_at(state, n, entry); n++) {
        out += format("record %u type %d %s stored %u unpacked %u order %s offset %u", entry.number,
            entry.type, storage_text(entry.scheme).c_str(), entry.stored_size, entry.unpacked_size,
            order_text(entry.byte_order), entry.offset);
        RecordDescriptor loaded;
        int result = rec_load_record(state, entry, loaded);
        mem_free(loaded.data);
        if (result != 0) {
            out += format(" error %d", result);
            failed = result;
        }
        out += "\n";
    }
    return failed != 0 ? refuse(out, failed) : 0;
}

int dump_hex(RecordFileState& state, int number, std::string& out)
{
    RecordDirEntry entry;
    if (!rec_dir_lookup(state, uint32_t(number), entry, nullptr))
        return refuse(out, kErrNotFound);
    RecordDescriptor loaded;
    int result = rec_load_record(state, entry, loaded);
    if (result != 0)
        return refuse(out, result);
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(loaded.data));
    for (uint32_t at = 0; at < loaded.unpacked_size; at += 16) {
        out += format("%08x ", at);
        for (uint32_t n = at; n < at + 16 && n < loaded.unpacked_size; n++)
            out += format(" %02x", bytes[n]);
        out += "\n";
    }
    mem_free(loaded.data);
    return 0;
}

int dump_file(const FileSpec* spec, FileHandle file, int hex_record, std::string& out)
{
    // The kind is learnt first, so that the open checks the version for that kind.
    int64_t base = fhdr_exe_data_offset(spec, file);
    uint32_t magic = kKindAny, format_number = 0;
    int32_t version = 0;
    int result = fhdr_read_write(0, file, base, &magic, &format_number, 0, &version);
    if (result != 0)
        return refuse(out, result);
    RecordFileState state;
    result = rec_file_attach(state, spec, file, 0, magic, fhdr_check, 0);
    if (result != 0)
        return refuse(out, result);
    if (state.kind_version != version)
        format_number = swap_bytes32(format_number); // a header of the other byte order
    if (hex_record > 0) {
        result = dump_hex(state, hex_record, out);
    } else {
        dump_headers(state, format_number, out);
        result = dump_records(state, out);
    }
    rec_file_detach(state);
    return result;
}

constexpr int kTreeSlot = 1;

// One line per icon: indented by its depth below the walk's start.
struct TreeLines {
    IconId start;
    std::string& out;
};

// A stored title may be longer than any buffer we would guess: read again into a larger one
// until it fits (a title never exceeds its pool record).
std::string whole_title(IconId icon)
{
    std::vector<char> buffer(kTitleKeyBytes + 1);
    for (;;) {
        int length = node_title(icon, buffer.data(), buffer.size());
        if (length < 0 || size_t(length) + 1 < buffer.size() || buffer.size() >= (size_t(1) << 26))
            return std::string(buffer.data(), size_t(std::max(length, 0)));
        buffer.resize(buffer.size() * 4);
    }
}

int tree_line(IconId icon, void* user)
{
    TreeLines& lines = *static_cast<TreeLines*>(user);
    int depth = 0;
    for (IconId at = icon; at != lines.start && at != 0 && depth < int(kNodeCountMax); depth++)
        at = node_parent(at);
    lines.out += std::string(size_t(2 * depth), ' ')
        + format("%u %s class %d \"", node_icon_number(icon), pm_kind_name(node_kind(icon)).c_str(),
            node_layout_class(icon))
        + whole_title(icon) + "\"\n";
    return 1;
}

// The trees of the file's top icons: node 1, and node 2 in a library.
int dump_tree_of_open(uint32_t magic, std::string& out)
{
    bool library = magic == kKindLibrary || magic == fhdr_magic("VLIB");
    node_file_set_library(kTreeSlot, library ? 1 : 0);
    for (uint32_t top = 1; top <= (library ? 2u : 1u); top++) {
        IconId start = node_make_icon(kTreeSlot, top);
        if (node_parent(start) != 0 || (top == 2 && node_kind(start) == kKindFree))
            continue;
        TreeLines lines { start, out };
        node_walk(start, kWalkTree, tree_line, &lines);
        if (node_error_word() != 0)
            return refuse(out, node_error_word());
    }
    return 0;
}

} // namespace

int pm_dump_tree(const std::string& path, std::string& out)
{
    pm_text_lend_converters();
    file_init();
    FileSpec* spec = spec_of(path);
    FileHandle file = spec ? file_open(spec, kFileModeReadOnly) : FileHandle {};
    if (!file) {
        fspec_free(spec);
        uint32_t error = file_take_last_error();
        return refuse(out, error != 0 ? int(error) : 2);
    }
    uint32_t magic = kKindAny, format_number = 0;
    int32_t version = 0;
    int result = fhdr_read_write(
        0, file, fhdr_exe_data_offset(spec, file), &magic, &format_number, 0, &version);
    file_close(file.handle, file.kind);
    if (result == 0 && (!rec_init() || !node_files_init()))
        result = kErrOutOfMemory;
    if (result == 0)
        result = rec_open_file(spec, kTreeSlot, 0, fhdr_check, magic, kRecRefuseEmpty);
    if (result == 0) {
        result = node_file_open(kTreeSlot, 0);
        result = result == 0 ? dump_tree_of_open(magic, out) : refuse(out, result);
        node_files_free();
    } else {
        refuse(out, result);
    }
    rec_reset();
    fspec_free(spec);
    return result == 0 ? 0 : 1;
}

int pm_dump(const std::string& path, int hex_record, std::string& out)
{
    pm_text_lend_converters();
    file_init();
    FileSpec* spec = spec_of(path);
    FileHandle file = spec ? file_open(spec, kFileModeReadOnly) : FileHandle {};
    if (!file) {
        fspec_free(spec);
        uint32_t error = file_take_last_error();
        return refuse(out, error != 0 ? int(error) : 2);
    }
    int result = dump_file(spec, file, hex_record, out);
    file_close(file.handle, file.kind);
    fspec_free(spec);
    return result;
}

namespace {

constexpr int kLearnerPieceSlot = 1;

struct LearnerLines {
    std::string& out;
    std::vector<uint16_t> tags;
};

int learner_field(uint16_t tag, const uint8_t*, uint16_t length, void* user, uint32_t*)
{
    auto* lines = static_cast<LearnerLines*>(user);
    lines->out += format("field %u size %u\n", unsigned(tag), unsigned(length));
    lines->tags.push_back(tag);
    return 1;
}

int learner_task(uint16_t, const uint8_t* data, uint16_t length, void* user, uint32_t*)
{
    auto* out = static_cast<std::string*>(user);
    if (length != kTaskStoredSize)
        return 0;
    plat::ByteReader r(data, length);
    r.skip(10);
    uint32_t interval = r.u32le();
    r.skip(14);
    uint32_t index = r.u32le();
    uint32_t a = r.u32le();
    uint32_t b = r.u32le();
    *out += format("task %u %u %u interval %u\n", index, a, b, interval);
    return 1;
}

// The kernel's small state and the records it names.
int dump_kernel(const std::vector<uint8_t>& list, std::string& out)
{
    uint8_t kernel[kKernelSavedSize];
    if (taglist_item_length(list.data(), list.size(), kSlotKernel) != kKernelSavedSize
        || taglist_get(list.data(), list.size(), kSlotKernel, kernel, sizeof kernel) != kKernelSavedSize)
        return kErrStateSize;
    plat::ByteReader r(kernel + 66, kKernelSavedSize - 66);
    IconId icon = r.u32le();
    uint16_t kind = r.u16le();
    int32_t state = r.i32le();
    uint16_t depth = r.u16le();
    out += format("kernel icon %u kind %s state %d depth %u\n", node_icon_number(icon), exec_kind_name(kind), state,
        unsigned(depth));
    uint16_t log_record = plat::load_u16le(kernel + 28);
    out += format("icon log size %d index %d wrapped %u\n", int16_t(plat::load_u16le(kernel + 20)),
        int16_t(plat::load_u16le(kernel + 22)), plat::load_u32le(kernel + 24));
    std::vector<uint8_t> log;
    if (log_record && (urec_read(log_record, log) != 0 || log.size() != kIconLogBytes))
        return kErrOutOfMemory;
    return 0;
}

// The session counts: the seconds are those the next session starts with.
int dump_session(const std::vector<uint8_t>& list, std::string& out)
{
    uint8_t field[kSessionBlockSize];
    if (taglist_item_length(list.data(), list.size(), kSlotSession) != kSessionBlockSize
        || taglist_get(list.data(), list.size(), kSlotSession, field, sizeof field) != kSessionBlockSize)
        return kErrStateSize;
    SessionBlock block = session_decode(field);
    int64_t seconds = block.earlier_seconds;
    if (block.last_save != 0)
        seconds += (block.last_save - block.session_start) / 1000;
    out += format("session count %u seconds %lld\n", unsigned(block.sessions), static_cast<long long>(seconds));
    return 0;
}

int dump_tasks(const std::vector<uint8_t>& list, std::string& out)
{
    uint8_t field[2];
    if (taglist_get(list.data(), list.size(), kSlotTasks, field, sizeof field) != sizeof field)
        return kErrStateSize;
    std::vector<uint8_t> tasks;
    if (urec_read(plat::load_u16le(field), tasks) != 0)
        return kErrOutOfMemory;
    if (taglist_check(tasks.data(), tasks.size()) != 0)
        return kErrFileDamaged;
    if (taglist_for_each_locked(tasks.data(), tasks.size(), learner_task, &out, nullptr) != 0)
        return kErrStateSize;
    return 0;
}

// The action queue (slot 20) and its waiting entries; an empty slot shows nothing.
int dump_queue(const std::vector<uint8_t>& list, std::string& out)
{
    uint8_t state[kQueueSavedSize];
    if (taglist_item_length(list.data(), list.size(), kSlotActionQueue) != kQueueSavedSize)
        return 0;
    if (taglist_get(list.data(), list.size(), kSlotActionQueue, state, sizeof state) != kQueueSavedSize)
        return kErrStateSize;
    uint32_t count = plat::load_u32le(state + 8);
    uint32_t cursor = plat::load_u32le(state + 12);
    std::vector<uint8_t> block;
    if (urec_read(plat::load_u16le(state + 16), block) != 0)
        return kErrOutOfMemory;
    if (plat::load_u32le(state + 18) != kKernelActionSize || cursor > count
        || uint64_t(count) * kKernelActionSize != block.size())
        return kErrStateSize;
    out += format("queue count %u cursor %u\n", count, cursor);
    for (uint32_t i = 0; i < count; i++) {
        KernelAction a = kaction_decode(block.data() + size_t(i) * kKernelActionSize);
        uint32_t state = a.op == kActEnterContainer ? node_icon_number(a.state) : a.state;
        out += format("action %u %u %u %u %u\n", a.op, node_icon_number(a.icon), state, node_icon_number(a.second),
            unsigned(a.flags));
    }
    return 0;
}

int dump_learner_open(bool with_piece, std::string& out)
{
    std::vector<uint8_t> list;
    if (urec_read(1, list) != 0)
        return kErrNoFirstRecord;
    if (taglist_check(list.data(), list.size()) != 0)
        return kErrFileDamaged;
    LearnerLines lines {out, {}};
    taglist_for_each_locked(list.data(), list.size(), learner_field, &lines, nullptr);
    if (with_piece) {
        int stamp = urec_check_stamp();
        if (stamp != 0 && stamp != kErrStampDiffers)
            return stamp;
        out += stamp == 0 ? "stamp ok\n" : "stamp differs\n";
    }
    if (int error = dump_kernel(list, out))
        return error;
    if (int error = dump_session(list, out))
        return error;
    if (int error = dump_tasks(list, out))
        return error;
    if (int error = dump_queue(list, out))
        return error;
    return pm_dump_variables(list, with_piece ? kLearnerPieceSlot : 0, out);
}

// Opens the file into the slot: 0 or the error.
int open_for_dump(const std::string& path, int slot, uint32_t magic, FileSpec** file)
{
    *file = spec_of(path);
    if (!*file)
        return 2;
    return rec_open_file(*file, slot, 0, fhdr_check, magic, kRecRefuseEmpty);
}

} // namespace

int pm_dump_learner(const std::string& records, const std::string& piece, std::string& out)
{
    pm_text_lend_converters();
    file_init();
    // A program that runs pieces itself may call this: its stores and its running piece are
    // left as they were, and only the slots opened here are closed again.
    int running_slot = piece_slot();
    int result = rec_init() && node_files_init() ? 0 : kErrOutOfMemory;
    FileSpec* piece_file = nullptr;
    FileSpec* records_file = nullptr;
    bool piece_open = false, records_open = false;
    if (result == 0 && !piece.empty()) {
        result = open_for_dump(piece, kLearnerPieceSlot, kKindAny, &piece_file);
        piece_open = result == 0;
        if (result == 0)
            result = node_file_open(kLearnerPieceSlot, 0);
        piece_current_set_slot(kLearnerPieceSlot);
    }
    if (result == 0) {
        result = open_for_dump(records, kRecordsSlot, kKindRecords, &records_file);
        records_open = result == 0;
    }
    if (result == 0)
        result = dump_learner_open(!piece.empty(), out);
    if (result != 0)
        refuse(out, result);
    piece_current_set_slot(running_slot);
    if (records_open)
        (void)rec_close_file(kRecordsSlot);
    if (piece_open) {
        node_file_close(kLearnerPieceSlot);
        (void)rec_close_file(kLearnerPieceSlot);
    }
    fspec_free(piece_file);
    fspec_free(records_file);
    return result == 0 ? 0 : 1;
}
