#include "platform/gdi/dib.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "platform/gdi/rle.h"

namespace plat {

// Header sizes in use: core, info, the two with masks in the header, and versions 4 and 5.
static bool known_header_size(uint32_t size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

uint32_t dib_color_count(const DibHeader& header)
{
    int bits = header.bit_count;
    if (bits > 8)
        return header.clr_used;
    if (bits <= 1)
        return 2;
    uint32_t full = 1u << bits;
    return (header.clr_used >= 1 && header.clr_used < full) ? header.clr_used : full;
}

size_t dib_stride(int32_t width, int bits) { return (uint64_t(width) * uint64_t(bits) + 31) / 32 * 4; }

static bool read_header(ByteReader& r, DibHeader& h)
{
    h.size = r.u32le();
    if (r.failed() || !known_header_size(h.size) || h.size - 4 > r.remaining())
        return false;
    if (h.size == kBitmapCoreHeaderSize) {
        h.width = r.u16le();
        h.height = r.u16le();
        h.planes = r.u16le();
        h.bit_count = r.u16le();
        return !r.failed();
    }
    h.width = r.i32le();
    h.height = r.i32le();
    h.planes = r.u16le();
    h.bit_count = r.u16le();
    h.compression = r.u32le();
    h.size_image = r.u32le();
    h.x_pels_per_meter = r.i32le();
    h.y_pels_per_meter = r.i32le();
    h.clr_used = r.u32le();
    h.clr_important = r.u32le();
    return !r.failed();
}

static bool valid_depth(const DibHeader& h)
{
    switch (h.compression) {
    case BI_RGB:
        return h.bit_count == 1 || h.bit_count == 4 || h.bit_count == 8 || h.bit_count == 16
            || h.bit_count == 24 || h.bit_count == 32;
    case BI_RLE8: return h.bit_count == 8 && h.height > 0; // run-length images are bottom-up
    case BI_RLE4: return h.bit_count == 4 && h.height > 0;
    case BI_BITFIELDS: return (h.bit_count == 16 || h.bit_count == 32) && h.size != kBitmapCoreHeaderSize;
    default: return false;
    }
}

static bool valid_size(const DibHeader& h)
{
    if (h.planes != 1 || h.width < 1 || h.width > kDibMaxSide || h.height == 0)
        return false;
    int64_t rows = h.height < 0 ? -int64_t(h.height) : h.height;
    return rows <= kDibMaxSide && uint64_t(h.width) * uint64_t(rows) <= kDibMaxPixels;
}

static void default_masks(DibFormat& f)
{
    if (f.header.bit_count == 16) {
        f.masks[0] = 0x7C00, f.masks[1] = 0x03E0, f.masks[2] = 0x001F;
    } else if (f.header.bit_count == 32) {
        f.masks[0] = 0xFF0000, f.masks[1] = 0x00FF00, f.masks[2] = 0x0000FF;
    }
}

bool dib_read_header(std::span<const uint8_t> header, DibHeader& out)
{
    ByteReader r(header.data(), header.size());
    DibHeader h;
    if (!read_header(r, h) || !valid_depth(h) || !valid_size(h))
        return false;
    out = h;
    return true;
}

// Masks follow a 40-byte header, or sit inside a longer one at offset 40.
static bool read_masks(std::span<const uint8_t> info, DibFormat& f)
{
    default_masks(f);
    f.table_offset = f.header.size;
    if (f.header.compression != BI_BITFIELDS)
        return true;
    ByteReader r(info.data(), info.size());
    r.seek(kBitmapInfoHeaderSize);
    for (uint32_t& mask : f.masks)
        mask = r.u32le();
    if (f.header.size == kBitmapInfoHeaderSize)
        f.table_offset += 12;
    return !r.failed();
}

bool dib_read_format(std::span<const uint8_t> info, uint32_t usage, DibFormat& out)
{
    ByteReader r(info.data(), info.size());
    DibFormat f;
    if (!read_header(r, f.header) || !valid_depth(f.header) || !valid_size(f.header) || !read_masks(info, f))
        return false;
    f.width = f.header.width;
    f.top_down = f.header.height < 0;
    f.height = f.top_down ? -f.header.height : f.header.height;
    f.bits = f.header.bit_count;
    f.color_count = dib_color_count(f.header);
    bool core = f.header.size == kBitmapCoreHeaderSize;
    f.entry_size = usage == DIB_PAL_COLORS ? 2 : core ? 3 : 4;
    uint64_t table_bytes = uint64_t(f.color_count) * f.entry_size;
    if (f.table_offset > info.size() || table_bytes > info.size() - f.table_offset)
        return false;
    f.info_size = f.table_offset + size_t(table_bytes);
    out = f;
    return true;
}

void dib_write_header(const DibHeader& h, uint8_t* out)
{
    store_u32le(out, kBitmapInfoHeaderSize);
    store_u32le(out + 4, uint32_t(h.width));
    store_u32le(out + 8, uint32_t(h.height));
    store_u16le(out + 12, h.planes);
    store_u16le(out + 14, h.bit_count);
    store_u32le(out + 16, h.compression);
    store_u32le(out + 20, h.size_image);
    store_u32le(out + 24, uint32_t(h.x_pels_per_meter));
    store_u32le(out + 28, uint32_t(h.y_pels_per_meter));
    store_u32le(out + 32, h.clr_used);
    store_u32le(out + 36, h.clr_important);
}

// --- Reading pixels ------------------------------------------------------------------------

static std::vector<uint32_t> table_colors(std::span<const uint8_t> info, const DibFormat& f, const std::vector<uint32_t>& palette)
{
    std::vector<uint32_t> colors(size_t(1) << f.bits, 0);
    uint32_t entries = std::min<uint32_t>(f.color_count, uint32_t(colors.size()));
    const uint8_t* table = info.data() + f.table_offset;
    for (uint32_t i = 0; i < entries; i++) {
        const uint8_t* e = table + size_t(i) * f.entry_size;
        if (f.entry_size == 2) {
            uint16_t index = load_u16le(e);
            colors[i] = index < palette.size() ? palette[index] : 0;
        } else {
            colors[i] = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
    }
    return colors;
}

bool dib_open(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t usage,
    const std::vector<uint32_t>& palette, int32_t first_row, int32_t row_count, DibImage& out)
{
    DibFormat& f = out.format;
    if (!dib_read_format(info, usage, f))
        return false;
    if (f.bits <= 8)
        out.colors = table_colors(info, f, palette);
    out.bits = bits;
    bool compressed = f.header.compression == BI_RLE4 || f.header.compression == BI_RLE8;
    if (compressed) {
        out.first_row = 0;
        out.row_count = f.height;
        return rle_decode(bits, f.bits, f.width, f.height, out.indices, out.present);
    }
    if (first_row < 0 || row_count < 0 || first_row > f.height || row_count > f.height - first_row)
        return false;
    out.first_row = first_row;
    out.row_count = row_count;
    return bits.size() / dib_stride(f.width, f.bits) >= uint64_t(row_count);
}

Rect dib_rows_rect(const DibImage& image)
{
    const DibFormat& f = image.format;
    int32_t top = f.top_down ? image.first_row : f.height - image.first_row - image.row_count;
    return Rect{0, top, f.width, top + image.row_count};
}

// An 8-bit value of a mask's field: wider fields drop low bits, narrower ones repeat theirs.
static uint32_t field_value(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int width = 32 - std::countl_zero(mask) - shift;
    uint32_t v = (pixel & mask) >> shift;
    if (width >= 8)
        return (v >> (width - 8)) & 0xFF;
    uint32_t wide = 0;
    int filled = 0;
    while (filled < 8) {
        wide = wide << width | v;
        filled += width;
    }
    return (wide >> (filled - 8)) & 0xFF;
}

static uint32_t masked_rgb(const DibFormat& f, uint32_t pixel)
{
    return field_value(pixel, f.masks[0]) << 16 | field_value(pixel, f.masks[1]) << 8 | field_value(pixel, f.masks[2]);
}

static void read_stored_row(const DibImage& image, const uint8_t* row, int32_t x, int32_t count, uint32_t* rgb)
{
    const DibFormat& f = image.format;
    const uint32_t* colors = image.colors.data();
    bool plain32 = f.masks[0] == 0xFF0000 && f.masks[1] == 0xFF00 && f.masks[2] == 0xFF;
    switch (f.bits) {
    case 1:
        for (int32_t i = 0, p = x; i < count; i++, p++)
            rgb[i] = colors[row[p >> 3] >> (7 - (p & 7)) & 1];
        break;
    case 4:
        for (int32_t i = 0, p = x; i < count; i++, p++)
            rgb[i] = colors[(p & 1) ? row[p >> 1] & 0x0F : row[p >> 1] >> 4];
        break;
    case 8:
        for (int32_t i = 0; i < count; i++)
            rgb[i] = colors[row[x + i]];
        break;
    case 16:
        for (int32_t i = 0; i < count; i++)
            rgb[i] = masked_rgb(f, load_u16le(row + size_t(x + i) * 2));
        break;
    case 24:
        for (int32_t i = 0; i < count; i++) {
            const uint8_t* p = row + size_t(x + i) * 3;
            rgb[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        break;
    default:
        for (int32_t i = 0; i < count; i++) {
            uint32_t pixel = load_u32le(row + size_t(x + i) * 4);
            rgb[i] = plain32 ? pixel & 0xFFFFFF : masked_rgb(f, pixel);
        }
        break;
    }
}

void dib_read_row(const DibImage& image, int32_t y, int32_t x, int32_t count, uint32_t* rgb, uint8_t* present)
{
    const DibFormat& f = image.format;
    int32_t stored = f.top_down ? y : f.height - 1 - y;
    if (!image.indices.empty()) {
        size_t at = size_t(stored) * size_t(f.width) + size_t(x);
        for (int32_t i = 0; i < count; i++) {
            rgb[i] = image.colors[image.indices[at + size_t(i)]];
            if (present)
                present[i] = image.present[at + size_t(i)];
        }
        return;
    }
    const uint8_t* row = image.bits.data() + size_t(stored - image.first_row) * dib_stride(f.width, f.bits);
    read_stored_row(image, row, x, count, rgb);
    if (present)
        std::fill_n(present, count, uint8_t(1));
}

// --- Writing pixels ------------------------------------------------------------------------

static uint32_t pack_field(uint32_t component, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int width = 32 - std::countl_zero(mask) - shift;
    uint32_t v = width >= 8 ? component << (width - 8) : component >> (8 - width);
    return (v << shift) & mask;
}

static uint32_t pack_rgb(const DibFormat& f, uint32_t rgb)
{
    return pack_field(rgb >> 16 & 0xFF, f.masks[0]) | pack_field(rgb >> 8 & 0xFF, f.masks[1]) | pack_field(rgb & 0xFF, f.masks[2]);
}

void dib_write_row(const DibFormat& f, const uint32_t* values, int32_t width, uint8_t* out)
{
    std::memset(out, 0, dib_stride(width, f.bits));
    for (int32_t x = 0; x < width; x++) {
        uint32_t v = values[x];
        switch (f.bits) {
        case 1: out[x >> 3] = uint8_t(out[x >> 3] | (v & 1) << (7 - (x & 7))); break;
        case 4: out[x >> 1] = uint8_t(out[x >> 1] | ((x & 1) ? v & 0x0F : (v & 0x0F) << 4)); break;
        case 8: out[x] = uint8_t(v); break;
        case 16: store_u16le(out + size_t(x) * 2, uint16_t(pack_rgb(f, v))); break;
        case 24: out[x * 3] = uint8_t(v), out[x * 3 + 1] = uint8_t(v >> 8), out[x * 3 + 2] = uint8_t(v >> 16); break;
        default: store_u32le(out + size_t(x) * 4, pack_rgb(f, v)); break;
        }
    }
}

} // namespace plat
