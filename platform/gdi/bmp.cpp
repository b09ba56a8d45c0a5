#include "platform/gdi/bmp.h"

#include "platform/kernel/byte_io.h"

namespace plat {

bool bmp_read(std::span<const uint8_t> file, BmpFile& out)
{
    ByteReader r(file.data(), file.size());
    uint8_t b = r.u8(), m = r.u8();
    r.skip(8); // file size and reserved words: often wrong in files, never needed
    uint32_t bits_offset = r.u32le();
    if (r.failed() || b != 'B' || m != 'M')
        return false;
    std::span<const uint8_t> rest = file.subspan(kBmpFileHeaderSize);
    DibFormat format;
    if (!dib_read_format(rest, DIB_RGB_COLORS, format))
        return false;
    size_t info_end = kBmpFileHeaderSize + format.info_size;
    if (bits_offset < info_end || bits_offset > file.size())
        return false;
    std::span<const uint8_t> bits = file.subspan(bits_offset);
    bool compressed = format.header.compression == BI_RLE8 || format.header.compression == BI_RLE4;
    if (compressed && format.header.size_image != 0 && format.header.size_image < bits.size())
        bits = bits.first(format.header.size_image);
    if (!compressed && bits.size() / dib_stride(format.width, format.bits) < size_t(format.height))
        return false;
    out.info = rest.first(format.info_size);
    out.bits = bits;
    out.format = format;
    return true;
}

bool bmp_to_packed_dib(std::span<const uint8_t> file, std::vector<uint8_t>& out)
{
    BmpFile bmp;
    if (!bmp_read(file, bmp))
        return false;
    out.assign(bmp.info.begin(), bmp.info.end());
    out.insert(out.end(), bmp.bits.begin(), bmp.bits.end());
    return true;
}

bool bmp_from_packed_dib(std::span<const uint8_t> packed, std::vector<uint8_t>& out)
{
    DibFormat format;
    if (!dib_read_format(packed, DIB_RGB_COLORS, format) || packed.size() > UINT32_MAX - kBmpFileHeaderSize)
        return false;
    out.clear();
    ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32le(uint32_t(kBmpFileHeaderSize + packed.size()));
    w.u32le(0);
    w.u32le(uint32_t(kBmpFileHeaderSize + format.info_size));
    w.bytes(packed.data(), packed.size());
    return true;
}

} // namespace plat
