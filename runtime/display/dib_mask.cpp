#include "runtime/display/dib_mask.h"

#include <cstring>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dib.h"
#include "platform/kernel/byte_io.h"

constexpr int kOutOfMemory = 8;

// One flag a pixel, rows top-down: 1 where the pixel shows the key colour. Pixels a run-length
// image leaves alone are not the key.
static bool key_flags(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t key, int32_t& width,
    int32_t& height, std::vector<uint8_t>& out)
{
    DibParts parts;
    plat::DibImage image;
    if (!dib_check(info, bits, parts) || !dib_open_parts(parts, image))
        return false;
    width = image.format.width;
    height = image.format.height;
    uint32_t key_rgb = (key & 0xFF) << 16 | (key & 0xFF00) | (key >> 16 & 0xFF);
    out.assign(size_t(width) * size_t(height), 0);
    std::vector<uint32_t> rgb(static_cast<size_t>(width));
    std::vector<uint8_t> present(static_cast<size_t>(width));
    for (int32_t y = 0; y < height; y++) {
        plat::dib_read_row(image, y, 0, width, rgb.data(), present.data());
        uint8_t* row = out.data() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; x++)
            row[x] = present[size_t(x)] && rgb[size_t(x)] == key_rgb;
    }
    return true;
}

plat::GdiObject dib_mono_keyed(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t key)
{
    int32_t width = 0, height = 0;
    std::vector<uint8_t> flags;
    if (!key_flags(info, bits, key, width, height, flags))
        return {};
    size_t stride = (size_t(width) + 15) / 16 * 2; // monochrome rows are padded to words
    std::vector<uint8_t> rows(stride * (size_t(height) + 1), 0xFF);
    for (int32_t y = 0; y < height; y++) {
        for (int32_t x = 0; x < width; x++) {
            if (flags[size_t(y) * size_t(width) + size_t(x)])
                rows[size_t(y) * stride + size_t(x) / 8] &= uint8_t(~(0x80 >> (x & 7)));
        }
    }
    return plat::create_bitmap(width, height + 1, 1, 1, rows.data(), rows.size());
}

// Sets a 1-bit packed DIB's two colour-table entries.
static void set_table(PackedDib dib, uint32_t first, uint32_t second)
{
    uint8_t* bytes = static_cast<uint8_t*>(mem_lock(dib));
    if (!bytes)
        return;
    uint32_t header_size = plat::load_u32le(bytes);
    dib_rgbquad(first, bytes + header_size);
    dib_rgbquad(second, bytes + header_size + 4);
    mem_unlock(dib);
}

// Colours of a table entry (RGBQUAD) as a COLORREF.
static uint32_t quad_color(const uint8_t* quad) { return quad[2] | quad[1] << 8 | quad[0] << 16; }

int dib_color_mask(std::span<const uint8_t> info, std::span<const uint8_t> bits, PackedDib& out, uint32_t key,
    DibMaskTable table)
{
    out = {};
    plat::GdiObject mono = dib_mono_keyed(info, bits, key);
    if (!mono)
        return kOutOfMemory;
    PackedDib dib = dib_from_bitmap(mono, kDibOneRowShorter, 1, plat::GdiObject {});
    plat::delete_object(mono);
    if (!dib)
        return kOutOfMemory;
    if (table == DibMaskTable::invert) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(dib));
        if (!bytes) {
            mem_free(dib);
            return kOutOfMemory;
        }
        uint32_t header_size = plat::load_u32le(bytes);
        uint32_t first = quad_color(bytes + header_size), second = quad_color(bytes + header_size + 4);
        mem_unlock(dib);
        set_table(dib, first == 0 ? 0xFFFFFF : 0, second == 0 ? 0xFFFFFF : 0);
    }
    out = dib;
    return 0;
}

// Marks the key pixels connected to the border through key pixels (4-connected, as GDI's
// surface fill spreads); false when none touches it.
static bool fill_from_border(const std::vector<uint8_t>& keyed, int32_t width, int32_t height,
    std::vector<uint8_t>& removed)
{
    removed.assign(keyed.size(), 0);
    std::vector<size_t> pending;
    auto seed = [&](int32_t x, int32_t y) {
        size_t at = size_t(y) * size_t(width) + size_t(x);
        if (keyed[at] && !removed[at]) {
            removed[at] = 1;
            pending.push_back(at);
        }
    };
    for (int32_t x = 0; x < width; x++)
        seed(x, 0), seed(x, height - 1);
    for (int32_t y = 0; y < height; y++)
        seed(0, y), seed(width - 1, y);
    bool any = !pending.empty();
    while (!pending.empty()) {
        size_t at = pending.back();
        pending.pop_back();
        int32_t x = int32_t(at % size_t(width)), y = int32_t(at / size_t(width));
        if (x > 0)
            seed(x - 1, y);
        if (x + 1 < width)
            seed(x + 1, y);
        if (y > 0)
            seed(x, y - 1);
        if (y + 1 < height)
            seed(x, y + 1);
    }
    return any;
}

// A bottom-up 1-bit packed DIB: index 0 where flags are set, 1 elsewhere.
static PackedDib one_bit_dib(const std::vector<uint8_t>& flags, int32_t width, int32_t height)
{
    size_t stride = plat::dib_stride(width, 1);
    size_t info_size = plat::kBitmapInfoHeaderSize + 8;
    PackedDib dib = mem_alloc(info_size + stride * size_t(height), kMemMovableZero);
    uint8_t* bytes = static_cast<uint8_t*>(mem_lock(dib));
    if (!bytes) {
        mem_free(dib);
        return {};
    }
    plat::DibHeader h;
    h.width = width;
    h.height = height;
    h.bit_count = 1;
    h.size_image = uint32_t(stride * size_t(height));
    plat::dib_write_header(h, bytes);
    for (int32_t y = 0; y < height; y++) {
        uint8_t* row = bytes + info_size + size_t(height - 1 - y) * stride;
        for (int32_t x = 0; x < width; x++) {
            if (!flags[size_t(y) * size_t(width) + size_t(x)])
                row[x / 8] |= uint8_t(0x80 >> (x & 7));
        }
    }
    mem_unlock(dib);
    return dib;
}

int dib_matte_mask(std::span<const uint8_t> info, std::span<const uint8_t> bits, PackedDib& out, uint32_t key,
    uint32_t polarity)
{
    out = {};
    int32_t width = 0, height = 0;
    std::vector<uint8_t> keyed, removed;
    if (!key_flags(info, bits, key, width, height, keyed))
        return kOutOfMemory;
    if (!fill_from_border(keyed, width, height, removed))
        return 0;
    PackedDib dib = one_bit_dib(removed, width, height);
    if (!dib)
        return kOutOfMemory;
    if (polarity == kMattePolarityWhite)
        set_table(dib, 0x000000, 0xFFFFFF);
    else
        set_table(dib, 0xFFFFFF, 0x000000);
    out = dib;
    return 0;
}
