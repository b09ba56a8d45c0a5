// Any bytes as a packed DIB through every routine that reads one: the header arithmetic, the
// checked parts, drawing (1:1, part of it, mirrored), the colour table as a palette and mapped
// to one, the keyed monochrome bitmap and both masks. What a mask routine answers must be a
// packed DIB of the picture's size.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rop.h"
#include "runtime/display/dib.h"
#include "runtime/display/dib_mask.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Large pictures are valid but slow: the fuzzer learns more from many small ones.
constexpr uint64_t kPixelLimit = 1 << 16;

// A mask answered must be a 1-bit packed DIB of the picture's size.
void check_mask(int answer, PackedDib mask, const DibParts& picture, bool parts_ok)
{
    check(answer == 0 || answer == 8);
    check(answer == 0 || !mask);
    if (!mask)
        return;
    check(parts_ok);
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(mask));
    DibParts parts;
    check(dib_parts({bytes, mem_size(mask)}, parts));
    int32_t rows = picture.header.height < 0 ? -picture.header.height : picture.header.height;
    check(parts.header.bit_count == 1 && parts.header.width == picture.header.width && parts.header.height == rows);
    mem_unlock(mask);
    mem_free(mask);
}

void draw(PackedDib block, const DibParts& parts)
{
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle {});
    plat::GdiObject bitmap = plat::bitmap_create(12, 9, 32, false);
    plat::GdiObject old = plat::select_object(dc, bitmap);
    int32_t w = parts.header.width, h = parts.header.height < 0 ? -parts.header.height : parts.header.height;
    dib_draw(dc, block, Rect {0, 0, w, h}, Rect {0, 0, 12, 9}, plat::SRCCOPY);
    dib_draw(dc, block, Rect {1, 2, w + 3, h - 1}, Rect {11, 0, 4, 5}, plat::SRCINVERT);
    plat::select_object(dc, old);
    plat::delete_object(bitmap);
    plat::delete_dc(dc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> exact(data, data + size); // a copy of the exact size shows overruns
    std::span<const uint8_t> bytes(exact);
    dib_color_count(bytes);
    dib_color_table_bytes(bytes);
    dib_image_size(bytes);
    size_t split = size_t(std::min<uint64_t>(dib_bits_offset(bytes), size));
    std::span<const uint8_t> info = bytes.first(split), bits = bytes.subspan(split);

    DibParts parts;
    bool parts_ok = dib_parts(bytes, parts);
    if (parts_ok) {
        int32_t rows = parts.header.height < 0 ? -parts.header.height : parts.header.height;
        if (uint64_t(parts.header.width) * uint64_t(rows) > kPixelLimit)
            return 0;
        check(parts.info.data() == bytes.data() && parts.bits.data() == bytes.data() + split);
    }
    PackedDib block = mem_alloc_copy(exact.data(), exact.size());
    draw(block, parts);
    mem_free(block);

    plat::GdiObject palette = dib_palette(info);
    uint8_t map[256];
    dib_map_to_palette(info, map, palette ? palette : plat::get_stock_object(plat::DEFAULT_PALETTE));
    if (palette)
        plat::delete_object(palette);

    // The key: a colour the fuzzer picks with the last bytes.
    uint32_t key = size >= 3 ? uint32_t(data[size - 3]) | uint32_t(data[size - 2]) << 8 | uint32_t(data[size - 1]) << 16
                             : 0xFF00FF;
    plat::GdiObject mono = dib_mono_keyed(info, bits, key);
    check(!mono || parts_ok);
    if (mono)
        plat::delete_object(mono);
    for (DibMaskTable table : {DibMaskTable::keep, DibMaskTable::invert}) {
        PackedDib mask;
        int answer = dib_color_mask(info, bits, mask, key, table);
        check_mask(answer, mask, parts, parts_ok);
    }
    for (uint32_t polarity : {0u, kMattePolarityWhite}) {
        PackedDib matte;
        int answer = dib_matte_mask(info, bits, matte, key, polarity);
        check_mask(answer, matte, parts, parts_ok);
    }
    plat::dc_reset();
    return 0;
}
