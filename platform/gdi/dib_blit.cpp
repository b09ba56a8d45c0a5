#include "platform/gdi/dib_blit.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/raster.h"
#include "platform/gdi/rle.h"

namespace plat {

// The colours DIB_PAL_COLORS tables index: the DC's palette, or the default one.
static std::vector<uint32_t> dc_palette(DcHandle dc, uint32_t usage)
{
    if (usage != DIB_PAL_COLORS)
        return {};
    DcRecord* record = dc_find(dc);
    return palette_colors(record ? record->attr.palette : get_stock_object(DEFAULT_PALETTE));
}

static void read_dib(const void* context, int32_t x, int32_t y, int32_t count, uint32_t* values, uint8_t* present)
{
    dib_read_row(*static_cast<const DibImage*>(context), y, x, count, values, present);
}

static BlitSource dib_source(const DibImage& image)
{
    BlitSource source;
    source.bounds = dib_rows_rect(image);
    source.has_gaps = !image.indices.empty();
    source.context = &image;
    source.read = read_dib;
    return source;
}

int stretch_dib_bits(DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height, int32_t source_x,
    int32_t source_y, int32_t source_width, int32_t source_height, std::span<const uint8_t> bits,
    std::span<const uint8_t> info, uint32_t usage, uint32_t rop)
{
    DibFormat format;
    RasterTarget target;
    if (!dib_read_format(info, usage, format) || !raster_open(dc, target))
        return 0;
    DibImage image;
    if (!dib_open(info, bits, usage, dc_palette(dc, usage), 0, format.height, image))
        return 0;
    // Bottom-up DIBs count source rows from the bottom; rows then run down as usual.
    int64_t top = format.top_down ? source_y : int64_t(format.height) - source_y - source_height;
    BlitArea from{source_x, top, source_width, source_height};
    BlitArea to = blit_map_area(target.attr.mapping, x, y, width, height);
    blit_run(target, to, dib_source(image), from, rop3_index(rop));
    raster_close(target);
    return std::max(std::abs(source_height), 1);
}

// The bitmap's values for a DIB row's colours; pixels the DIB skipped keep theirs.
static void store_row(PixelPlane& plane, int32_t y, const DibImage& image, int32_t dib_y, std::vector<uint32_t>& rgb,
    std::vector<uint8_t>& present, std::vector<uint32_t>& values)
{
    int32_t count = std::min(plane.width, image.format.width);
    dib_read_row(image, dib_y, 0, count, rgb.data(), present.data());
    pixels_read(plane, 0, y, count, values.data());
    for (int32_t x = 0; x < count; x++) {
        if (present[size_t(x)])
            values[size_t(x)] = pixels_from_rgb(plane, rgb[size_t(x)]);
    }
    pixels_write(plane, 0, y, count, values.data());
}

int set_dib_bits(DcHandle dc, GdiObject bitmap, uint32_t start, uint32_t lines, std::span<const uint8_t> bits,
    std::span<const uint8_t> info, uint32_t usage)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    DibFormat format;
    DibImage image;
    if (!data || data->discarded || !dib_read_format(info, usage, format) || start > uint32_t(format.height))
        return 0;
    lines = std::min(lines, uint32_t(format.height) - start);
    if (!dib_open(info, bits, usage, dc_palette(dc, usage), int32_t(start), int32_t(lines), image))
        return 0;
    PixelPlane plane = pixmap_plane(data->pixmap);
    const DibFormat& f = image.format;
    std::vector<uint32_t> rgb(size_t(f.width)), values(size_t(f.width));
    std::vector<uint8_t> present(size_t(f.width));
    for (int32_t stored = image.first_row; stored < image.first_row + image.row_count; stored++) {
        // Stored row 0 is the bitmap's top row for a top-down DIB, its bottom row otherwise.
        int32_t y = f.top_down ? stored : plane.height - 1 - stored;
        if (y >= 0 && y < plane.height)
            store_row(plane, y, image, f.top_down ? stored : f.height - 1 - stored, rgb, present, values);
    }
    return image.row_count;
}

// --- GetDIBits -----------------------------------------------------------------------------

struct DibRequest {
    DibHeader header;
    bool top_down = false;
    uint32_t masks[3] = {};
    size_t table_offset = 0;
    uint32_t table_entries = 0;
    std::vector<uint32_t> colors; // the table's colours
    uint32_t searched = 0;        // entries nearest-colour searches may pick
};

static bool read_request(std::span<const uint8_t> info, DibRequest& out)
{
    ByteReader r(info.data(), info.size());
    uint32_t size = r.u32le();
    if (r.failed() || size < kBitmapInfoHeaderSize || size > info.size())
        return false;
    r.skip(10);
    out.header.bit_count = r.u16le();
    out.header.compression = r.u32le();
    out.top_down = load_u32le(info.data() + 8) >> 31;
    out.header.size = size;
    return !r.failed();
}

static bool valid_request(const DibRequest& request)
{
    const DibHeader& h = request.header;
    switch (h.compression) {
    case BI_RGB: return pixels_depth_supported(h.bit_count);
    case BI_BITFIELDS: return h.bit_count == 16 || h.bit_count == 32;
    case BI_RLE8: return h.bit_count == 8 && !request.top_down;
    case BI_RLE4: return h.bit_count == 4 && !request.top_down;
    default: return false;
    }
}

static void request_masks(std::span<uint8_t> info, DibRequest& request)
{
    request.table_offset = request.header.size;
    if (request.header.compression != BI_BITFIELDS)
        return;
    bool sixteen = request.header.bit_count == 16;
    const uint32_t defaults[3] = {sixteen ? 0xF800u : 0xFF0000u, sixteen ? 0x07E0u : 0xFF00u, sixteen ? 0x001Fu : 0xFFu};
    size_t at = kBitmapInfoHeaderSize;
    bool given = info.size() >= at + 12 && (load_u32le(info.data() + at) | load_u32le(info.data() + at + 4)
                                               | load_u32le(info.data() + at + 8)) != 0;
    for (int i = 0; i < 3; i++)
        request.masks[i] = given ? load_u32le(info.data() + at + 4 * size_t(i)) : defaults[i];
    if (request.header.size == kBitmapInfoHeaderSize)
        request.table_offset += 12;
}

// The colours of the table GetDIBits writes, and which of them pixels may map to.
static void request_colors(const Pixmap& pixmap, DcHandle dc, DibRequest& request)
{
    int bits = request.header.bit_count;
    if (bits > 8)
        return;
    uint32_t full = 1u << bits;
    std::vector<uint32_t> colors;
    if (pixmap.bits_per_pixel == bits)
        colors = pixmap.colors;
    else if (bits == 8)
        colors = palette_colors(dc_find(dc) ? dc_find(dc)->attr.palette : get_stock_object(DEFAULT_PALETTE));
    else
        colors = pixels_default_colors(bits);
    colors.resize(std::min<size_t>(colors.size(), full));
    request.searched = std::max<uint32_t>(uint32_t(colors.size()), 1);
    colors.resize(full, 0);
    request.colors = colors;
    request.table_entries = full;
}

static void write_table(std::span<uint8_t> info, const DibRequest& request, uint32_t usage)
{
    uint8_t* table = info.data() + request.table_offset;
    for (uint32_t i = 0; i < request.table_entries; i++) {
        if (usage == DIB_PAL_COLORS) {
            store_u16le(table + size_t(i) * 2, uint16_t(i));
            continue;
        }
        uint32_t c = request.colors[i];
        uint8_t* e = table + size_t(i) * 4;
        e[0] = uint8_t(c), e[1] = uint8_t(c >> 8), e[2] = uint8_t(c >> 16), e[3] = 0;
    }
    if (request.header.compression == BI_BITFIELDS && request.header.size == kBitmapInfoHeaderSize) {
        for (int i = 0; i < 3; i++)
            store_u32le(info.data() + kBitmapInfoHeaderSize + 4 * size_t(i), request.masks[i]);
    }
}

// A bitmap row as values of the requested format: indices into the table, or colours.
static void row_values(Pixmap& pixmap, int32_t y, const DibRequest& request, std::vector<uint32_t>& out)
{
    PixelPlane plane = pixmap_plane(pixmap);
    out.resize(size_t(pixmap.width));
    pixels_read(plane, 0, y, pixmap.width, out.data());
    bool same_table = request.header.bit_count == pixmap.bits_per_pixel && request.colors.size() >= pixmap.colors.size()
        && std::equal(pixmap.colors.begin(), pixmap.colors.end(), request.colors.begin());
    if (request.header.bit_count <= 8 && same_table)
        return;
    pixels_row_to_rgb(plane, out.data(), pixmap.width, out.data());
    if (request.header.bit_count > 8)
        return;
    for (uint32_t& v : out)
        v = pixels_nearest_index(request.colors.data(), request.searched, v);
}

static DibFormat request_format(const DibRequest& request, int32_t width)
{
    DibFormat f;
    f.width = width;
    f.bits = request.header.bit_count;
    std::copy(request.masks, request.masks + 3, f.masks);
    if (f.bits == 16 && request.header.compression == BI_RGB)
        f.masks[0] = 0x7C00, f.masks[1] = 0x03E0, f.masks[2] = 0x001F;
    if (f.bits == 32 && request.header.compression == BI_RGB)
        f.masks[0] = 0xFF0000, f.masks[1] = 0xFF00, f.masks[2] = 0xFF;
    return f;
}

// The stored rows [first, first + count) of the bitmap in the requested format.
static bool write_rows(Pixmap& pixmap, const DibRequest& request, int32_t first, int32_t count, std::span<uint8_t> bits)
{
    DibFormat f = request_format(request, pixmap.width);
    size_t stride = dib_stride(pixmap.width, f.bits);
    if (bits.size() / stride < size_t(count))
        return false;
    std::vector<uint32_t> values;
    for (int32_t i = 0; i < count; i++) {
        int32_t stored = first + i;
        row_values(pixmap, request.top_down ? stored : pixmap.height - 1 - stored, request, values);
        dib_write_row(f, values.data(), pixmap.width, bits.data() + size_t(i) * stride);
    }
    return true;
}

static std::vector<uint8_t> encode_rle(Pixmap& pixmap, const DibRequest& request)
{
    std::vector<uint8_t> indices(size_t(pixmap.width) * size_t(pixmap.height));
    std::vector<uint32_t> values;
    for (int32_t stored = 0; stored < pixmap.height; stored++) {
        row_values(pixmap, pixmap.height - 1 - stored, request, values);
        for (int32_t x = 0; x < pixmap.width; x++)
            indices[size_t(stored) * size_t(pixmap.width) + size_t(x)] = uint8_t(values[size_t(x)]);
    }
    std::vector<uint8_t> out;
    rle_encode(indices.data(), request.header.bit_count, pixmap.width, pixmap.height, out);
    return out;
}

static void write_request_header(std::span<uint8_t> info, const Pixmap& pixmap, const DibRequest& request, uint32_t image_size)
{
    DibHeader h = request.header;
    h.width = pixmap.width;
    h.height = request.top_down ? -pixmap.height : pixmap.height;
    h.planes = 1;
    h.size_image = image_size;
    h.clr_used = 0;
    h.clr_important = 0;
    dib_write_header(h, info.data());
    store_u32le(info.data(), request.header.size);
}

static int own_format_header(std::span<uint8_t> info, const Pixmap& pixmap, DibRequest& request)
{
    request.header.bit_count = uint16_t(pixmap.bits_per_pixel);
    request.header.compression = BI_RGB;
    request.top_down = false;
    write_request_header(info, pixmap, request, uint32_t(dib_stride(pixmap.width, pixmap.bits_per_pixel) * size_t(pixmap.height)));
    return pixmap.height;
}

static int write_image(Pixmap& pixmap, const DibRequest& request, uint32_t start, uint32_t lines, std::span<uint8_t> bits,
    std::span<uint8_t> info)
{
    bool compressed = request.header.compression == BI_RLE8 || request.header.compression == BI_RLE4;
    if (compressed) {
        std::vector<uint8_t> stream = encode_rle(pixmap, request);
        write_request_header(info, pixmap, request, uint32_t(stream.size()));
        if (bits.empty())
            return pixmap.height;
        if (stream.size() > bits.size())
            return 0;
        std::memcpy(bits.data(), stream.data(), stream.size());
        return pixmap.height;
    }
    size_t stride = dib_stride(pixmap.width, request.header.bit_count);
    write_request_header(info, pixmap, request, uint32_t(stride * size_t(pixmap.height)));
    if (bits.empty())
        return pixmap.height;
    if (start >= uint32_t(pixmap.height))
        return 0;
    int32_t count = int32_t(std::min<uint32_t>(lines, uint32_t(pixmap.height) - start));
    return write_rows(pixmap, request, int32_t(start), count, bits) ? count : 0;
}

int get_dib_bits(DcHandle dc, GdiObject bitmap, uint32_t start, uint32_t lines, std::span<uint8_t> bits,
    std::span<uint8_t> info, uint32_t usage)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    DibRequest request;
    if (!data || data->discarded || !read_request(info, request))
        return 0;
    Pixmap& pixmap = data->pixmap;
    if (request.header.bit_count == 0)
        return own_format_header(info, pixmap, request);
    if (!valid_request(request))
        return 0;
    request_masks(info, request);
    request_colors(pixmap, dc, request);
    size_t entry = usage == DIB_PAL_COLORS ? 2 : 4;
    if (request.table_offset > info.size() || size_t(request.table_entries) * entry > info.size() - request.table_offset)
        return 0;
    write_table(info, request, usage);
    return write_image(pixmap, request, start, lines, bits, info);
}

// --- Bitmaps from DIBs ---------------------------------------------------------------------

GdiObject create_dib_bitmap(DcHandle dc, std::span<const uint8_t> header, uint32_t init,
    std::span<const uint8_t> bits, std::span<const uint8_t> info, uint32_t usage)
{
    DibHeader h;
    if (!dib_read_header(header, h))
        return {};
    int32_t rows = h.height < 0 ? -h.height : h.height;
    GdiObject bitmap = bitmap_create(h.width, rows, dc_find(dc) ? 32 : 1, false);
    if (!bitmap || !(init & CBM_INIT))
        return bitmap;
    if (set_dib_bits(dc, bitmap, 0, uint32_t(rows), bits, info, usage) == 0) {
        delete_object(bitmap);
        return {};
    }
    return bitmap;
}

bool dib_split_packed(std::span<const uint8_t> packed, std::span<const uint8_t>& info, std::span<const uint8_t>& bits)
{
    DibFormat format;
    if (!dib_read_format(packed, DIB_RGB_COLORS, format))
        return false;
    info = packed.subspan(0, format.info_size);
    bits = packed.subspan(format.info_size);
    return true;
}

} // namespace plat
