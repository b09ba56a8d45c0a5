#include "tools/piecemaker/pm_build.h"

#include "platform/kernel/byte_io.h"
#include "runtime/store/fhdr.h"
#include "runtime/store/rec_zip.h"
#include "runtime/store/swap_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr uint64_t kHeadersEnd = 32 + 74; // kind header, its reserved bytes, record-file header
constexpr size_t kPackedEntry = 10;
constexpr size_t kEditableEntry = 30;
constexpr uint64_t kOffsetLimit = 0x7FFFFFFF;

// Fields in the file's byte order. Kind magics and single bytes have none.
struct FieldWriter {
    plat::ByteWriter out;
    bool big;

    void u8(uint8_t v) { out.u8(v); }
    void u16(uint16_t v) { big ? out.u16be(v) : out.u16le(v); }
    void u32(uint32_t v) { big ? out.u32be(v) : out.u32le(v); }
    void zeros(size_t count)
    {
        for (size_t n = 0; n < count; n++)
            out.u8(0);
    }
};

// A record as it will be stored.
struct StoredRecord {
    const PieceRecord* source = nullptr;
    std::vector<uint8_t> bytes;
    uint32_t unpacked = 0;
    uint16_t scheme = 1;
    uint32_t offset = 0;
};

std::string where(const PieceRecord& r)
{
    return "record " + std::to_string(r.number) + " (line " + std::to_string(r.line) + ")";
}

bool store_record(const PieceRecord& r, StoredRecord& out, std::string& error)
{
    std::vector<uint8_t> data = r.bytes;
    if (r.foreign && !data.empty()) {
        int result = swap_record_bytes(r.type, data.data(), data.size(), 0);
        if (result != 0) {
            error = where(r) + ": type " + std::to_string(r.type)
                + " cannot be stored in the other byte order (error " + std::to_string(result)
                + ")";
            return false;
        }
    }
    out.source = &r;
    out.unpacked = uint32_t(data.size());
    // An empty record is stored raw, as the runtime stores one.
    if (r.scheme == 2 && !data.empty()) {
        size_t room = compressBound(uLong(data.size()));
        out.bytes.resize(room);
        if (util_pack(1, data.data(), data.size(), out.bytes.data(), &room) != 0) {
            error = where(r) + ": zlib failed";
            return false;
        }
        out.bytes.resize(room);
        out.scheme = 2;
    } else {
        out.bytes = std::move(data);
    }
    return true;
}

bool store_records(
    const PieceDescription& piece, std::vector<StoredRecord>& out, std::string& error)
{
    std::vector<const PieceRecord*> sorted;
    for (const PieceRecord& r : piece.records)
        sorted.push_back(&r);
    std::sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a->number < b->number; });
    out.resize(sorted.size());
    for (size_t n = 0; n < sorted.size(); n++)
        if (!store_record(*sorted[n], out[n], error))
            return false;
    return true;
}

struct Layout {
    uint64_t data_start = 0;
    uint64_t end = 0;
    uint64_t directory_offset = 0;
    uint64_t directory_size = 0;
    uint32_t entry_count = 0;
    bool packaged = false;
};

void write_kind_header(FieldWriter& w, const PieceDescription& piece)
{
    w.out.u32le(piece.magic); // four characters in file order
    w.out.u32le(~piece.magic);
    w.u32(piece.format);
    w.u32(uint32_t(pm_kind_version(piece)));
    w.zeros(16);
}

void write_record_header(FieldWriter& w, const Layout& l)
{
    uint64_t data_length = l.end - l.directory_size - l.data_start - 74;
    for (uint64_t value : { uint64_t(5), l.end, data_length, l.directory_size,
             uint64_t(l.entry_count), l.directory_offset, uint64_t(0), data_length })
        w.u32(uint32_t(value));
    w.u16(0); // reserved, must be 0
    w.zeros(20);
    w.u16(l.packaged ? 0x0002 : 0);
    w.u8(w.big ? 2 : 1);
    w.zeros(17);
}

bool type_byte(const StoredRecord& r, uint8_t& out, std::string& error)
{
    int type = r.source->type;
    if (type < -3 || type > 252) {
        error = where(*r.source) + ": a packaged directory holds types -3 to 252";
        return false;
    }
    out = uint8_t(type < 0 ? type + 256 : type);
    return true;
}

// Packaged: the directory right after the header, one entry per number from 1 to the highest,
// a sentinel, the padding; then the records.
bool write_packaged(const PieceDescription& piece, std::vector<StoredRecord>& records,
    FieldWriter& w, Layout& l, std::string& error)
{
    l.entry_count = records.empty() ? 0 : records.back().source->number;
    l.directory_offset = l.data_start + 74;
    l.directory_size = (uint64_t(l.entry_count) + 1 + piece.padding) * kPackedEntry;
    uint64_t offset = l.directory_offset + l.directory_size;
    for (StoredRecord& r : records) {
        r.offset = uint32_t(offset);
        offset += r.bytes.size();
    }
    l.end = offset;
    if (l.end > kOffsetLimit) {
        error = "the file would pass 2 GB";
        return false;
    }
    write_record_header(w, l);
    size_t next = 0;
    for (uint32_t number = 1; number <= l.entry_count; number++) {
        // A number the description skips is an empty record where the next one starts.
        uint32_t at = next < records.size() ? records[next].offset : uint32_t(l.end);
        uint8_t type = 255, flags = 0x02;
        uint32_t unpacked = 0;
        if (next < records.size() && records[next].source->number == number) {
            const StoredRecord& r = records[next++];
            if (!type_byte(r, type, error))
                return false;
            flags = uint8_t((r.scheme == 2 ? 0x01 : 0) | (r.source->foreign ? 0 : 0x02));
            unpacked = r.unpacked;
        }
        w.u32(at);
        w.u32(unpacked);
        w.u8(type);
        w.u8(flags);
    }
    w.u32(uint32_t(l.end)); // the sentinel
    w.zeros(6 + piece.padding * kPackedEntry);
    for (const StoredRecord& r : records)
        w.out.bytes(r.bytes.data(), r.bytes.size());
    return true;
}

// Editable: the records after the header, then the sorted 30-byte directory.
bool write_editable(const PieceDescription& piece, std::vector<StoredRecord>& records,
    FieldWriter& w, Layout& l, std::string& error)
{
    uint64_t offset = l.data_start + 74;
    for (StoredRecord& r : records) {
        r.offset = uint32_t(offset);
        offset += r.bytes.size();
    }
    l.entry_count = uint32_t(records.size());
    l.directory_offset = offset;
    l.directory_size = (records.size() + piece.padding) * kEditableEntry;
    l.end = l.directory_offset + l.directory_size;
    if (l.end > kOffsetLimit) {
        error = "the file would pass 2 GB";
        return false;
    }
    write_record_header(w, l);
    for (const StoredRecord& r : records)
        w.out.bytes(r.bytes.data(), r.bytes.size());
    for (const StoredRecord& r : records) {
        w.u32(r.source->number);
        w.u16(uint16_t(r.source->type));
        w.u16(swap_type_version(r.source->type));
        w.u32(uint32_t(r.bytes.size()));
        w.u32(r.unpacked);
        w.u16(r.scheme);
        w.u8(r.source->foreign ? 2 : 1);
        w.zeros(1 + 4);
        w.u32(r.offset);
        w.u16(0);
    }
    w.zeros(piece.padding * kEditableEntry);
    return true;
}

} // namespace

bool pm_build(
    const PieceDescription& piece, uint64_t base, std::vector<uint8_t>& out, std::string& error)
{
    out.clear();
    std::vector<StoredRecord> records;
    if (!store_records(piece, records, error))
        return false;
    FieldWriter w { plat::ByteWriter(out), piece.foreign };
    write_kind_header(w, piece);
    Layout l;
    l.data_start = base + 32;
    l.packaged = pm_is_packaged(piece);
    return l.packaged ? write_packaged(piece, records, w, l, error)
                      : write_editable(piece, records, w, l, error);
}

bool pm_append_to_program(const std::vector<uint8_t>& program, const std::vector<uint8_t>& piece,
    std::vector<uint8_t>& out, std::string& error)
{
    uint64_t base = program.size();
    out = program;
    out.insert(out.end(), piece.begin(), piece.end());
    if (program.size() >= 64 && program[0] == 'M' && program[1] == 'Z') {
        if (base > 0xFFFFFFFFu) {
            error = "the program is too large for its DOS header's word";
            return false;
        }
        plat::store_u32le(out.data() + 0x20, uint32_t(base));
        return true;
    }
    if (program.size() >= 4
        && std::memcmp(program.data(),
               "\x7f"
               "ELF",
               4)
            == 0) {
        plat::ByteWriter w(out);
        w.bytes(kPieceTrailerMagic, 8);
        w.u32le(uint32_t(base));
        w.u32le(uint32_t(base >> 32));
        return true;
    }
    error = "the program is neither an MZ nor an ELF file";
    return false;
}

bool pm_make(const PieceDescription& piece, std::vector<uint8_t>& out, std::string& error)
{
    if (piece.program.empty())
        return pm_build(piece, 0, out, error);
    std::vector<uint8_t> program, bytes;
    return pm_load(piece.program, program, error) && pm_build(piece, program.size(), bytes, error)
        && pm_append_to_program(program, bytes, out, error);
}

bool pm_load(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool pm_save(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()
        && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (file && std::fclose(file) != 0)
        ok = false;
    std::error_code failure;
    if (ok)
        std::filesystem::rename(temp, path, failure);
    if (!ok || failure) {
        std::filesystem::remove(temp, failure);
        error = "cannot write " + path;
        return false;
    }
    return true;
}
