// The archive writer: the index first, then each picture's LZSS stream in index order.
#include "typing/bitmap_archive_pack.h"

#include "platform/kernel/byte_io.h"
#include "typing/bitmap_archive.h"
#include "typing/lzss.h"

#include <cstdint>
#include <strings.h>

static bool check_picture(
    std::span<const ArchivePicture> pictures, size_t index, std::string& error)
{
    const ArchivePicture& picture = pictures[index];
    if (picture.name.empty() || picture.name.size() >= kArchiveNameSize
        || picture.name.find('\0') != std::string::npos) {
        error = "'" + picture.name + "': a name needs 1 to 15 bytes";
        return false;
    }
    for (size_t i = 0; i < index; ++i) {
        if (strcasecmp(pictures[i].name.c_str(), picture.name.c_str()) == 0) {
            error = "'" + picture.name + "': stored twice (names ignore case)";
            return false;
        }
    }
    if (picture.bmp.size() <= kBmpFileHeaderSize || picture.bmp[0] != 'B' || picture.bmp[1] != 'M') {
        error = "'" + picture.name + "': not a BMP file";
        return false;
    }
    return true;
}

bool bitmap_archive_pack(
    std::span<const ArchivePicture> pictures, std::vector<uint8_t>& out, std::string& error)
{
    if (pictures.size() > kArchiveEntryCount) {
        error = "more than 150 pictures";
        return false;
    }
    std::vector<uint8_t> index;
    std::vector<uint8_t> data;
    plat::ByteWriter w(index);
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (!check_picture(pictures, i, error))
            return false;
        std::vector<uint8_t> packed = lzss_encode(pictures[i].bmp);
        uint64_t offset = kArchiveIndexSize + data.size();
        if (offset + packed.size() > UINT32_MAX || pictures[i].bmp.size() > UINT32_MAX) {
            error = "the archive would pass 4 GB";
            return false;
        }
        char name[kArchiveNameSize] = {};
        pictures[i].name.copy(name, sizeof name);
        w.bytes(name, sizeof name);
        w.u32le(uint32_t(offset));
        w.u32le(uint32_t(packed.size()));
        w.u32le(uint32_t(pictures[i].bmp.size()));
        data.insert(data.end(), packed.begin(), packed.end());
    }
    index.resize(kArchiveIndexSize, 0); // the unused entries are empty names
    out = std::move(index);
    out.insert(out.end(), data.begin(), data.end());
    return true;
}
