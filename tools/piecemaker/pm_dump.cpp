#include "tools/piecemaker/pm_dump.h"
#include "tools/piecemaker/pm_text.h"

#include "platform/kernel/path.h"
#include "runtime/base/errcode.h"
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
