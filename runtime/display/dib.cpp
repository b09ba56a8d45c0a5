#include "runtime/display/dib.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rle.h"
#include "platform/kernel/byte_io.h"

// --- header arithmetic ---------------------------------------------------------------------

static uint32_t color_count(const plat::DibHeader& header)
{
    int bits = header.bit_count;
    if (bits > 8)
        return 0;
    if (bits <= 1)
        return 2;
    if (bits <= 4)
        return (header.clr_used >= 1 && header.clr_used <= 15) ? header.clr_used : 16;
    return (header.clr_used >= 1 && header.clr_used <= 255) ? header.clr_used : 256;
}

static uint32_t color_table_bytes(const plat::DibHeader& header)
{
    if (header.compression == plat::BI_BITFIELDS)
        return 12;
    return 4 * color_count(header);
}

static bool run_length(const plat::DibHeader& header)
{
    return header.compression == plat::BI_RLE4 || header.compression == plat::BI_RLE8;
}

// The rows of an uncompressed image: stride x |height| in 64 bits.
static uint64_t rows_bytes(const plat::DibHeader& header)
{
    uint64_t rows = header.height < 0 ? uint64_t(-int64_t(header.height)) : uint64_t(header.height);
    uint64_t width = header.width < 0 ? 0 : uint64_t(header.width);
    return (header.bit_count * width + 31) / 32 * 4 * rows;
}

static uint64_t image_size(const plat::DibHeader& header)
{
    if (header.size_image != 0)
        return header.size_image;
    uint64_t bytes = rows_bytes(header);
    return run_length(header) ? bytes + bytes / 2 : bytes;
}

static uint64_t bits_offset(const plat::DibHeader& header)
{
    return uint64_t(header.size) + color_table_bytes(header);
}

// The fields the arithmetic reads, unchecked: a header from a picture may be any bytes.
static bool header_fields(std::span<const uint8_t> bytes, plat::DibHeader& out)
{
    if (bytes.size() < plat::kBitmapInfoHeaderSize)
        return false;
    const uint8_t* p = bytes.data();
    out.size = plat::load_u32le(p);
    out.width = int32_t(plat::load_u32le(p + 4));
    out.height = int32_t(plat::load_u32le(p + 8));
    out.bit_count = plat::load_u16le(p + 14);
    out.compression = plat::load_u32le(p + 16);
    out.size_image = plat::load_u32le(p + 20);
    out.clr_used = plat::load_u32le(p + 32);
    return true;
}

uint32_t dib_color_count(std::span<const uint8_t> header)
{
    plat::DibHeader h;
    return header_fields(header, h) ? color_count(h) : 0;
}

uint32_t dib_color_table_bytes(std::span<const uint8_t> header)
{
    plat::DibHeader h;
    return header_fields(header, h) ? color_table_bytes(h) : 0;
}

uint64_t dib_image_size(std::span<const uint8_t> header)
{
    plat::DibHeader h;
    return header_fields(header, h) ? image_size(h) : 0;
}

uint64_t dib_bits_offset(std::span<const uint8_t> header)
{
    plat::DibHeader h;
    return header_fields(header, h) ? bits_offset(h) : 0;
}

// --- checking ------------------------------------------------------------------------------

// The header of a BITMAPINFO, refusing the 12-byte core form, whose table has RGB triples.
static bool read_info_header(std::span<const uint8_t> info, plat::DibHeader& out)
{
    if (info.size() < plat::kBitmapInfoHeaderSize || plat::load_u32le(info.data()) < plat::kBitmapInfoHeaderSize)
        return false;
    return plat::dib_read_header(info, out);
}

bool dib_check(std::span<const uint8_t> info, std::span<const uint8_t> bits, DibParts& out)
{
    plat::DibHeader h;
    if (!read_info_header(info, h))
        return false;
    uint64_t info_size = bits_offset(h); // the header fits: dib_read_header checked it
    if (info_size > info.size())
        return false;
    uint64_t image = image_size(h);
    if (!run_length(h)) {
        uint64_t rows = rows_bytes(h);
        if (image < rows || rows > bits.size())
            return false;
        image = rows;
    } else if (h.size_image != 0 && image > bits.size()) {
        return false;
    } else {
        image = std::min<uint64_t>(image, bits.size()); // the estimate of a stream without size
    }
    out.header = h;
    out.info = info.first(size_t(info_size));
    out.bits = bits.first(size_t(image));
    return true;
}

bool dib_parts(std::span<const uint8_t> packed, DibParts& out)
{
    plat::DibHeader h;
    if (!read_info_header(packed, h))
        return false;
    uint64_t offset = bits_offset(h);
    if (offset > packed.size())
        return false;
    return dib_check(packed.first(size_t(offset)), packed.subspan(size_t(offset)), out);
}

// The BITMAPINFO as the platform reads it: above 8 bits its table counts biClrUsed entries,
// which a packed DIB does not hold, so the count goes.
static std::vector<uint8_t> platform_info(const DibParts& parts)
{
    std::vector<uint8_t> info(parts.info.begin(), parts.info.end());
    if (parts.header.bit_count > 8)
        plat::store_u32le(info.data() + 32, 0);
    return info;
}

bool dib_open_parts(const DibParts& parts, plat::DibImage& out)
{
    std::vector<uint8_t> info = platform_info(parts);
    int32_t rows = parts.header.height < 0 ? -parts.header.height : parts.header.height;
    return plat::dib_open(info, parts.bits, plat::DIB_RGB_COLORS, {}, 0, rows, out);
}

// --- drawing -------------------------------------------------------------------------------

bool dib_draw_parts(plat::DcHandle dc, const DibParts& parts, const Rect& source, const Rect& target, uint32_t rop)
{
    const plat::DibHeader& h = parts.header;
    int32_t rows = h.height < 0 ? -h.height : h.height;
    int32_t width = std::min(source.right, h.width) - source.left;
    int32_t height = std::min(source.bottom, rows) - source.top;
    int lines = 0;
    if (width > 0 && height > 0 && source.left >= 0 && source.top >= 0) {
        // Bottom-up DIBs count source rows from the bottom.
        int32_t source_y = h.height < 0 ? source.top : rows - source.top - height;
        std::vector<uint8_t> info = platform_info(parts);
        lines = plat::stretch_dib_bits(dc, target.left, target.top, target.width(), target.height(), source.left,
            source_y, width, height, parts.bits, info, plat::DIB_RGB_COLORS, rop);
    }
    return lines > 0 || !plat::rect_visible(dc, target);
}

bool dib_draw(plat::DcHandle dc, PackedDib dib, const Rect& source, const Rect& target, uint32_t rop)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(dib));
    if (!bytes)
        return false;
    DibParts parts;
    bool ok = dib_parts({bytes, mem_size(dib)}, parts) && dib_draw_parts(dc, parts, source, target, rop);
    mem_unlock(dib);
    return ok;
}

// --- conversion from bitmaps ---------------------------------------------------------------

static int dib_depth_for(int bits)
{
    if (bits == 1)
        return 1;
    if (bits >= 2 && bits <= 4)
        return 4;
    if (bits >= 5 && bits <= 8)
        return 8;
    return 24;
}

// The screen DC with a palette selected and realised, for the colour tables of conversions.
struct ScreenWithPalette {
    plat::DcHandle dc;
    plat::GdiObject previous;

    explicit ScreenWithPalette(plat::GdiObject palette)
    {
        dc = plat::get_dc(plat::WindowHandle {});
        if (!palette)
            palette = plat::get_stock_object(plat::DEFAULT_PALETTE);
        previous = plat::select_palette(dc, palette, false);
        plat::realize_palette(dc);
    }
    ~ScreenWithPalette()
    {
        if (previous)
            plat::select_palette(dc, previous, false);
        plat::release_dc(plat::WindowHandle {}, dc);
    }
};

// The rows of an uncompressed 4- or 8-bit image as one index a pixel, run-length coded.
static std::vector<uint8_t> encode_rows(const uint8_t* bits, int depth, int32_t width, int32_t rows)
{
    size_t stride = plat::dib_stride(width, depth);
    std::vector<uint8_t> indices(size_t(width) * size_t(rows));
    for (int32_t y = 0; y < rows; y++) {
        const uint8_t* row = bits + size_t(y) * stride;
        for (int32_t x = 0; x < width; x++) {
            uint8_t value = depth == 8 ? row[x] : uint8_t((x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4);
            indices[size_t(y) * size_t(width) + size_t(x)] = value;
        }
    }
    std::vector<uint8_t> stream;
    plat::rle_encode(indices.data(), depth, width, rows, stream);
    return stream;
}

// The block made again with its rows run-length coded; null (the old block freed) on failure.
static PackedDib compress_block(PackedDib block)
{
    uint8_t* bytes = static_cast<uint8_t*>(mem_lock(block));
    plat::DibHeader h;
    if (!bytes || !plat::dib_read_header({bytes, mem_size(block)}, h)) {
        mem_free(block);
        return {};
    }
    size_t info_size = size_t(bits_offset(h));
    std::vector<uint8_t> stream = encode_rows(bytes + info_size, h.bit_count, h.width, h.height);
    PackedDib out = mem_alloc(info_size + stream.size(), kMemMovableZero);
    uint8_t* target = static_cast<uint8_t*>(mem_lock(out));
    if (target) {
        std::memcpy(target, bytes, info_size);
        std::memcpy(target + info_size, stream.data(), stream.size());
        plat::store_u32le(target + 16, h.bit_count == 8 ? plat::BI_RLE8 : plat::BI_RLE4);
        plat::store_u32le(target + 20, uint32_t(stream.size()));
        mem_unlock(out);
    } else {
        mem_free(out);
        out = {};
    }
    mem_unlock(block);
    mem_free(block);
    return out;
}

// Header and table of the conversion in info (the bitmap's height), as the platform answers.
static bool query_format(plat::DcHandle dc, plat::GdiObject bitmap, const plat::BitmapInfo& bm, int depth,
    std::vector<uint8_t>& info)
{
    plat::DibHeader request;
    request.width = bm.width;
    request.height = bm.height;
    request.bit_count = uint16_t(depth);
    info.assign(plat::kBitmapInfoHeaderSize + 4 * 256, 0);
    plat::dib_write_header(request, info.data());
    return plat::get_dib_bits(dc, bitmap, 0, uint32_t(bm.height), {}, info, plat::DIB_RGB_COLORS) != 0;
}

PackedDib dib_from_bitmap(plat::GdiObject bitmap, uint32_t flags, int bits_per_pixel, plat::GdiObject palette)
{
    plat::BitmapInfo bm;
    if (!plat::get_object(bitmap, bm))
        return {};
    int depth = dib_depth_for(bits_per_pixel ? bits_per_pixel : bm.planes * bm.bits_pixel);
    uint32_t start = (flags & kDibOneRowShorter) ? 1 : 0; // stored rows from the bottom: the top rows stay
    int32_t rows = bm.height - int32_t(start);
    if (rows < 1 || bm.width < 1)
        return {};
    ScreenWithPalette screen(palette);
    std::vector<uint8_t> info;
    if (!query_format(screen.dc, bitmap, bm, depth, info))
        return {};
    plat::DibHeader h;
    plat::dib_read_header(info, h);
    h.height = rows;
    size_t info_size = size_t(bits_offset(h));
    uint64_t image = uint64_t(plat::dib_stride(bm.width, depth)) * uint64_t(rows);
    PackedDib block = mem_alloc(size_t(info_size + image), kMemMovableZero);
    uint8_t* bytes = static_cast<uint8_t*>(mem_lock(block));
    if (!bytes) {
        mem_free(block);
        return {};
    }
    std::memcpy(bytes, info.data(), plat::kBitmapInfoHeaderSize);
    int got = plat::get_dib_bits(screen.dc, bitmap, start, uint32_t(rows), {bytes + info_size, size_t(image)},
        {bytes, info_size}, plat::DIB_RGB_COLORS);
    plat::store_u32le(bytes + 8, uint32_t(rows));
    plat::store_u32le(bytes + 20, uint32_t(image));
    mem_unlock(block);
    if (got != rows) {
        mem_free(block);
        return {};
    }
    bool compress = (flags & ~kDibOneRowShorter) != 0 && (depth == 4 || depth == 8);
    return compress ? compress_block(block) : block;
}

PackedDib dib_from_dc(plat::DcHandle dc)
{
    plat::GdiObject probe = plat::create_bitmap(1, 1, 1, 1, nullptr, 0);
    plat::GdiObject held = plat::select_object(dc, probe);
    PackedDib dib = held ? dib_from_bitmap(held, 0, 0, plat::GdiObject {}) : PackedDib {};
    if (held)
        plat::select_object(dc, held);
    plat::delete_object(probe);
    return dib;
}

// --- colour tables -------------------------------------------------------------------------

// The header and the colour table of a BITMAPINFO; false when damaged or the table is short.
static bool read_table(std::span<const uint8_t> info, plat::DibHeader& h, std::span<const uint8_t>& table)
{
    if (!read_info_header(info, h))
        return false;
    uint64_t end = bits_offset(h);
    if (end > info.size())
        return false;
    uint32_t count = h.compression == plat::BI_BITFIELDS ? 0 : color_count(h);
    table = info.subspan(h.size, size_t(count) * 4);
    return true;
}

plat::GdiObject dib_palette(std::span<const uint8_t> info)
{
    plat::DibHeader h;
    std::span<const uint8_t> table;
    if (!read_table(info, h, table) || table.empty())
        return {};
    std::vector<plat::PaletteEntry> entries(table.size() / 4);
    for (size_t i = 0; i < entries.size(); i++) {
        const uint8_t* quad = table.data() + 4 * i;
        entries[i] = plat::PaletteEntry {quad[2], quad[1], quad[0], 0};
    }
    return plat::create_palette(entries.data(), uint32_t(entries.size()));
}

uint32_t dib_map_to_palette(std::span<const uint8_t> info, std::span<uint8_t> out, plat::GdiObject palette)
{
    plat::DibHeader h;
    std::span<const uint8_t> table;
    if (!palette || !read_table(info, h, table))
        return 0;
    size_t count = std::min(table.size() / 4, out.size());
    for (size_t i = 0; i < count; i++) {
        const uint8_t* quad = table.data() + 4 * i;
        uint32_t color = uint32_t(quad[2]) | uint32_t(quad[1]) << 8 | uint32_t(quad[0]) << 16;
        uint32_t index = plat::get_nearest_palette_index(palette, color);
        if (index == plat::CLR_INVALID)
            return 0;
        out[i] = uint8_t(index);
    }
    return uint32_t(count);
}

void dib_rgbquad(uint32_t color, uint8_t out[4])
{
    out[0] = uint8_t(color >> 16);
    out[1] = uint8_t(color >> 8);
    out[2] = uint8_t(color);
    out[3] = 0;
}
