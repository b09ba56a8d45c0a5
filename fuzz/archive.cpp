// Any bytes as a bitmap archive: every entry of the index is unpacked from the same bytes, and
// the LZSS decoder also runs on the whole input; nothing may read or write out of bounds.
#include "typing/bitmap_archive.h"
#include "typing/lzss.h"

#include <cstdint>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    for (const ArchiveEntry& entry : bitmap_archive_parse_index(file)) {
        check(!entry.name.empty() && entry.name.size() <= kArchiveNameSize);
        std::vector<uint8_t> bmp = bitmap_archive_unpack(entry, bitmap_archive_packed_bytes(entry, file));
        check(bmp.empty() || bmp.size() == entry.unpacked_size);
        std::vector<uint8_t> dib = bmp_file_to_dib(bmp);
        check(dib.empty() || dib.size() + kBmpFileHeaderSize == bmp.size());
    }
    std::vector<uint8_t> out(8192);
    LzssDecoded decoded = lzss_decode(file, out);
    check(decoded.written <= out.size());
    return 0;
}
