// Any bytes as a BMP file and as a packed DIB (colour table by RGB and by palette index):
// the readers, the decoders, drawing the DIB stretched and mirrored into bitmaps of two
// depths, setting it into a bitmap, and writing that bitmap back run-length compressed,
// which must decode again.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/bmp.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/rle.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Large images are valid but slow: the fuzzer learns more from many small ones.
constexpr uint64_t kReadPixelLimit = 1 << 16;

void read_rows(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t usage)
{
    plat::DibFormat format;
    plat::DibImage image;
    if (!plat::dib_read_format(info, usage, format) || uint64_t(format.width) * uint64_t(format.height) > kReadPixelLimit)
        return;
    std::vector<uint32_t> palette(7, 0x123456);
    if (!plat::dib_open(info, bits, usage, palette, 0, format.height, image))
        return;
    std::vector<uint32_t> rgb(size_t(format.width));
    std::vector<uint8_t> present(size_t(format.width));
    plat::Rect rows = plat::dib_rows_rect(image);
    for (int32_t y = rows.top; y < rows.bottom; y++) {
        plat::dib_read_row(image, y, 0, format.width, rgb.data(), present.data());
        for (uint32_t c : rgb)
            check(c <= 0xFFFFFF);
    }
}

// The bitmap's pixels back as a run-length DIB, which must decode.
void write_back(plat::DcHandle dc, plat::GdiObject bitmap)
{
    std::vector<uint8_t> info(40 + 1024, 0), bits(4096, 0);
    plat::DibHeader request;
    request.width = 12;
    request.height = 9;
    request.bit_count = 8;
    request.compression = plat::BI_RLE8;
    plat::dib_write_header(request, info.data());
    int rows = plat::get_dib_bits(dc, bitmap, 0, 9, bits, info, plat::DIB_RGB_COLORS);
    check(rows == 9);
    plat::DibImage image;
    bits.resize(plat::load_u32le(info.data() + 20));
    check(plat::dib_open(info, bits, plat::DIB_RGB_COLORS, {}, 0, 9, image));
}

void draw(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t usage)
{
    plat::DibFormat format;
    if (!plat::dib_read_format(info, usage, format) || uint64_t(format.width) * uint64_t(format.height) > kReadPixelLimit)
        return;
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle{});
    for (int depth : {32, 8}) {
        plat::GdiObject bitmap = plat::bitmap_create(12, 9, depth, false);
        plat::GdiObject old = plat::select_object(dc, bitmap);
        plat::stretch_dib_bits(dc, 0, 0, 12, 9, 0, 0, format.width, format.height, bits, info, usage, 0x00CC0020);
        plat::stretch_dib_bits(dc, 11, 0, -7, 5, 1, 2, 3, 4, bits, info, usage, 0x00660046);
        plat::select_object(dc, old);
        plat::set_dib_bits(dc, bitmap, 0, uint32_t(format.height), bits, info, usage);
        write_back(dc, bitmap);
        plat::delete_object(bitmap);
    }
    plat::delete_dc(dc);
}

void exercise(std::span<const uint8_t> info, std::span<const uint8_t> bits)
{
    for (uint32_t usage : {plat::DIB_RGB_COLORS, plat::DIB_PAL_COLORS}) {
        read_rows(info, bits, usage);
        draw(info, bits, usage);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> exact(data, data + size); // a copy of the exact size shows overruns
    std::span<const uint8_t> bytes(exact);
    plat::BmpFile bmp;
    if (plat::bmp_read(bytes, bmp))
        exercise(bmp.info, bmp.bits);
    std::span<const uint8_t> info, bits;
    if (plat::dib_split_packed(bytes, info, bits))
        exercise(info, bits);
    plat::dc_reset();
    return 0;
}
