// The tutor's pictures: BMP files, each packed with LZSS, behind an index of 150 named entries
// at the start of "qktbmp.map" in the program folder. The archive is opened once and stays
// open; a picture that is missing, damaged or disagrees with its entry is simply not there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/window_types.h"

constexpr size_t kArchiveEntryCount = 150;
constexpr size_t kArchiveEntrySize = 28; // name[16], offset, packed size, unpacked size
constexpr size_t kArchiveNameSize = 16; // NUL-terminated unless all 16 bytes are the name
constexpr size_t kArchiveIndexSize = kArchiveEntryCount * kArchiveEntrySize;
constexpr size_t kBmpFileHeaderSize = 14;
constexpr uint32_t kArchiveWaitCursorSize = 100000; // larger pictures show the wait cursor
inline constexpr char kArchiveFileName[] = "qktbmp.map";

struct ArchiveEntry {
    std::string name;
    uint32_t offset = 0; // of the packed bytes in the file
    uint32_t packed_size = 0;
    uint32_t unpacked_size = 0; // of the whole BMP file
};

// The entries of an index, up to the first empty name; only whole entries count.
std::vector<ArchiveEntry> bitmap_archive_parse_index(std::span<const uint8_t> index);

// The packed bytes of an entry inside the whole file; empty when they lie outside it.
std::span<const uint8_t> bitmap_archive_packed_bytes(
    const ArchiveEntry& entry, std::span<const uint8_t> file);

// The BMP file of an entry from its packed bytes; empty unless the stream gives exactly the
// entry's unpacked size.
std::vector<uint8_t> bitmap_archive_unpack(const ArchiveEntry& entry, std::span<const uint8_t> packed);

// The packed DIB of a BMP file: the bytes after its 14-byte file header; empty unless the
// file starts with "BM" and has more than the header.
std::vector<uint8_t> bmp_file_to_dib(std::span<const uint8_t> bmp);

// Opens the archive beside the program, or at a given path, and reads its index; false when
// the file cannot be opened (every look-up then fails). Opening again closes the first one.
bool bitmap_archive_open();
bool bitmap_archive_open_file(std::string_view path);
void bitmap_archive_close();

// The entry named so, ignoring case, in index order; null when there is none.
const ArchiveEntry* bitmap_archive_find(std::string_view name);

// The packed DIB of the named picture; empty when it is missing or damaged. While a picture
// of more than kArchiveWaitCursorSize bytes is unpacked, the wait cursor is shown.
std::vector<uint8_t> bitmap_archive_read(std::string_view name);

// The cursor shown while a large picture is unpacked (null: none, the default). The cursor
// services give it once they are there; the archive itself has no cursors to load.
void bitmap_archive_set_wait_cursor(plat::CursorHandle cursor);

// The named picture as a device bitmap in the colours of its own table; null when it is
// missing or damaged. The caller deletes it.
plat::GdiObject bitmap_archive_load(std::string_view name);
