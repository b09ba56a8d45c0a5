// The bitmap archive. Nothing in the index is trusted: each entry's bytes are checked against
// the file, and its sizes against what the stream really gives, when the picture is read.
#include "typing/bitmap_archive.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/input.h"
#include "typing/dib.h"
#include "typing/lzss.h"
#include "typing/tutor_paths.h"

#include <algorithm>
#include <cstring>

static struct {
    plat::FileHandle file;
    uint64_t file_size = 0;
    std::vector<ArchiveEntry> entries;
    plat::CursorHandle wait_cursor; // kept when the archive closes: it is the program's
} s_archive;

std::vector<ArchiveEntry> bitmap_archive_parse_index(std::span<const uint8_t> index)
{
    std::vector<ArchiveEntry> entries;
    plat::ByteReader r(index.data(), std::min(index.size(), kArchiveIndexSize));
    while (r.remaining() >= kArchiveEntrySize) {
        char name[kArchiveNameSize];
        r.bytes(name, sizeof name);
        ArchiveEntry entry;
        entry.name.assign(name, strnlen(name, sizeof name));
        entry.offset = r.u32le();
        entry.packed_size = r.u32le();
        entry.unpacked_size = r.u32le();
        if (entry.name.empty())
            break; // an empty name ends the index, whatever follows
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::span<const uint8_t> bitmap_archive_packed_bytes(
    const ArchiveEntry& entry, std::span<const uint8_t> file)
{
    if (entry.offset > file.size() || entry.packed_size > file.size() - entry.offset)
        return {};
    return file.subspan(entry.offset, entry.packed_size);
}

std::vector<uint8_t> bitmap_archive_unpack(const ArchiveEntry& entry, std::span<const uint8_t> packed)
{
    if (packed.size() != entry.packed_size
        || entry.unpacked_size > uint64_t(entry.packed_size) * kLzssMaxExpansion)
        return {};
    std::vector<uint8_t> bmp(entry.unpacked_size);
    LzssDecoded decoded = lzss_decode(packed, bmp);
    if (decoded.overflowed || decoded.written != bmp.size())
        return {};
    return bmp;
}

std::vector<uint8_t> bmp_file_to_dib(std::span<const uint8_t> bmp)
{
    if (bmp.size() <= kBmpFileHeaderSize || bmp[0] != 'B' || bmp[1] != 'M')
        return {};
    return std::vector<uint8_t>(bmp.begin() + kBmpFileHeaderSize, bmp.end());
}

bool bitmap_archive_open()
{
    return bitmap_archive_open_file(path_in_program_folder(kArchiveFileName));
}

bool bitmap_archive_open_file(std::string_view path)
{
    bitmap_archive_close();
    plat::FileHandle file = plat::create_file(
        path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return false;
    int64_t size = plat::get_file_size(file);
    std::vector<uint8_t> index(kArchiveIndexSize);
    uint32_t got = 0;
    if (size < 0 || !plat::read_file(file, index.data(), uint32_t(index.size()), &got)) {
        plat::close_handle(file);
        return false;
    }
    index.resize(got); // a short file holds fewer entries
    s_archive.file = file;
    s_archive.file_size = uint64_t(size);
    s_archive.entries = bitmap_archive_parse_index(index);
    return true;
}

void bitmap_archive_close()
{
    if (s_archive.file)
        plat::close_handle(s_archive.file);
    s_archive.file = {};
    s_archive.file_size = 0;
    s_archive.entries.clear();
}

const ArchiveEntry* bitmap_archive_find(std::string_view name)
{
    std::string wanted(name);
    for (const ArchiveEntry& entry : s_archive.entries) {
        if (plat::lstrcmpi(entry.name.c_str(), wanted.c_str()) == 0)
            return &entry;
    }
    return nullptr;
}

// The packed bytes of an entry read from the open file; empty when they are not all there.
static std::vector<uint8_t> read_packed(const ArchiveEntry& entry)
{
    if (entry.offset > s_archive.file_size || entry.packed_size > s_archive.file_size - entry.offset)
        return {};
    std::vector<uint8_t> packed(entry.packed_size);
    uint32_t got = 0;
    if (plat::set_file_pointer(s_archive.file, entry.offset, plat::FILE_BEGIN) != entry.offset
        || !plat::read_file(s_archive.file, packed.data(), entry.packed_size, &got)
        || got != entry.packed_size)
        return {};
    return packed;
}

static std::vector<uint8_t> read_entry(const ArchiveEntry& entry)
{
    std::vector<uint8_t> packed = read_packed(entry);
    if (packed.size() != entry.packed_size)
        return {};
    return bmp_file_to_dib(bitmap_archive_unpack(entry, packed));
}

std::vector<uint8_t> bitmap_archive_read(std::string_view name)
{
    const ArchiveEntry* entry = bitmap_archive_find(name);
    if (!entry)
        return {};
    if (entry->unpacked_size <= kArchiveWaitCursorSize || !s_archive.wait_cursor)
        return read_entry(*entry);
    plat::CursorHandle previous = plat::set_cursor(s_archive.wait_cursor);
    std::vector<uint8_t> dib = read_entry(*entry);
    plat::set_cursor(previous);
    return dib;
}

void bitmap_archive_set_wait_cursor(plat::CursorHandle cursor) { s_archive.wait_cursor = cursor; }

plat::GdiObject bitmap_archive_load(std::string_view name)
{
    std::vector<uint8_t> dib = bitmap_archive_read(name);
    if (dib.empty())
        return {};
    plat::GdiObject palette = dib_palette_create(dib);
    plat::GdiObject bitmap = dib_to_bitmap(dib, palette);
    if (palette)
        plat::delete_object(palette);
    return bitmap;
}
