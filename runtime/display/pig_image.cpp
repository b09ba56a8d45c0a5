#include "runtime/display/pig_image.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/rle.h"
#include "platform/gdi/rop.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/pig_draw.h"
#include "runtime/store/rec_store.h"

using namespace plat;

constexpr size_t kMaskColorsSize = 8;
constexpr uint32_t kRopImageXor = 0x990066; // DSxn: the image inverts what it is drawn on

// --- layout -----------------------------------------------------------------------------------

void pig_image_record(const PigStream* s, PigImageRecord& out)
{
    out = PigImageRecord{};
    if (pig_i16(s, 0) == kPigOpImageRecord) {
        out.in_record = true;
        out.id = rec_make_id(uint32_t(s->file_slot), uint32_t(pig_i32(s, 10)) & 0xFFFF);
        out.source = pig_rect(s, 14);
        out.destination = pig_rect(s, 22);
        out.hit_rect = pig_rect(s, 30);
        out.mask_offset = pig_i32(s, 42) == -1 ? -1 : int64_t(uint32_t(pig_i32(s, 42)));
        out.image_offset = uint32_t(pig_i32(s, 46));
        int32_t hit = pig_i32(s, 50);
        out.hit_offset = hit == 0 ? -1 : 54 + int64_t(uint32_t(hit));
        return;
    }
    out.source = pig_rect(s, 10);
    out.destination = pig_rect(s, 18);
    int32_t mask = pig_i32(s, 30);
    out.mask_offset = mask == 0 ? -1 : 34 + int64_t(uint32_t(mask));
    out.image_offset = 38 + int64_t(uint32_t(pig_i32(s, 34)));
}

PigImageCheck pig_image_read(std::span<const uint8_t> area, int64_t offset, bool mask, PigImage& out)
{
    size_t head = kBitmapInfoHeaderSize + (mask ? kMaskColorsSize : 0);
    if (offset < 0 || uint64_t(offset) > area.size() || area.size() - size_t(offset) < head)
        return PigImageCheck::damaged;
    // The runtime's own 1-bit run-length forms pass the header check as plain 1-bit images.
    uint8_t copy[kBitmapInfoHeaderSize];
    std::memcpy(copy, area.data() + offset, sizeof copy);
    uint32_t compression = load_u32le(copy + 16);
    if (load_u32le(copy + 4) == 0 || load_u32le(copy + 8) == 0)
        return PigImageCheck::empty;
    bool mono_rle = compression == kPigMonoRle4 || compression == kPigMonoRle8;
    if (mono_rle)
        store_u32le(copy + 16, BI_RGB);
    DibHeader& h = out.header;
    if (!dib_read_header(std::span<const uint8_t>(copy, sizeof copy), h) || h.size != kBitmapInfoHeaderSize
        || h.height < 0 || (mono_rle && h.bit_count != 1))
        return PigImageCheck::damaged;
    h.compression = compression;
    if (mask && (h.bit_count != 1 || compression == BI_RLE8 || compression == BI_RLE4))
        return PigImageCheck::damaged;
    out.header_bytes = area.subspan(size_t(offset), kBitmapInfoHeaderSize);
    out.colors = mask ? area.subspan(size_t(offset) + kBitmapInfoHeaderSize, kMaskColorsSize) : std::span<const uint8_t>{};
    out.bits = area.subspan(size_t(offset) + head);
    if (h.compression == BI_RGB && dib_stride(h.width, h.bit_count) * size_t(h.height) > out.bits.size())
        return PigImageCheck::damaged;
    return PigImageCheck::ok;
}

bool pig_image_plain(const PigImage& image, std::vector<uint8_t>& storage, PigImage& out)
{
    out = image;
    uint32_t compression = image.header.compression;
    if (compression != kPigMonoRle4 && compression != kPigMonoRle8)
        return true;
    int per_unit = compression == kPigMonoRle4 ? 4 : 8;
    int32_t width = image.header.width, height = image.header.height;
    int32_t units = (width + per_unit - 1) / per_unit;
    std::vector<uint8_t> values, present;
    if (!rle_decode(image.bits, per_unit, units, height, values, present))
        return false;
    size_t stride = dib_stride(width, 1);
    storage.assign(stride * size_t(height), 0);
    for (int32_t y = 0; y < height; y++) {
        uint8_t* row = storage.data() + stride * size_t(y);
        for (int32_t x = 0; x < width; x++) {
            uint8_t value = values[size_t(y) * size_t(units) + size_t(x / per_unit)];
            if (value >> (per_unit - 1 - x % per_unit) & 1)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    out.header.compression = BI_RGB;
    out.header.size_image = 0;
    out.bits = storage;
    return true;
}

uint32_t pig_entry_rgb(const uint8_t* entry) { return uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0]; }

// --- drawing ------------------------------------------------------------------------------------

static int64_t ceil_div(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) == (b < 0)) ? q + 1 : q;
}

// When one height is a whole multiple of the other, the source follows the clipped
// destination (rounded up), so that a clipped part is drawn from the rows it shows.
static void cut_source(Rect& source, Rect& destination, const Rect& out)
{
    int32_t sh = source.height(), dh = destination.height();
    int32_t larger = std::max(sh, dh), smaller = std::min(sh, dh);
    if (smaller <= 0 || larger % smaller != 0 || destination.width() == 0)
        return;
    int64_t sw = source.width(), dw = destination.width();
    Rect cut;
    cut.left = int32_t(source.left + ceil_div(int64_t(out.left - destination.left) * sw, dw));
    cut.top = int32_t(source.top + ceil_div(int64_t(out.top - destination.top) * sh, dh));
    cut.right = int32_t(cut.left + ceil_div(int64_t(out.width()) * sw, dw));
    cut.bottom = int32_t(cut.top + ceil_div(int64_t(out.height()) * sh, dh));
    source = cut;
    destination = out;
}

// The table of the run's colour-table block behind the image's header.
static std::vector<uint8_t> image_info(const DrawStyle* style, const DibHeader& header)
{
    MemHandle block{style->color_table};
    auto* bytes = static_cast<const uint8_t*>(mem_address(block));
    size_t size = mem_size(block);
    std::vector<uint8_t> info(bytes, bytes + size);
    DibHeader h = header;
    if (h.bit_count == 4 && h.clr_used == 0)
        h.clr_used = 16;
    dib_write_header(h, info.data());
    return info;
}

static void set_entry(std::vector<uint8_t>& info, int index, uint32_t colorref)
{
    uint8_t* e = info.data() + kBitmapInfoHeaderSize + 4 * index;
    e[0] = uint8_t(colorref >> 16), e[1] = uint8_t(colorref >> 8), e[2] = uint8_t(colorref), e[3] = 0;
}

struct Blit {
    DcHandle dc;
    Rect destination;
    Rect source;
};

// StretchDIBits with the source clamped to the image; a failed call is repeated while memory
// can be freed and the destination shows.
static int stretch(const Blit& b, const PigImage& image, const std::vector<uint8_t>& info, uint32_t usage, uint32_t rop)
{
    const DibHeader& h = image.header;
    int32_t sx = b.source.left, sy = h.height - b.source.bottom;
    int32_t sw = std::min(b.source.width(), h.width - sx), sh = std::min(b.source.height(), h.height - sy);
    if (sw <= 0 || sh <= 0)
        return 0;
    const Rect& d = b.destination;
    for (;;) {
        if (stretch_dib_bits(b.dc, d.left, d.top, d.width(), d.height(), sx, sy, sw, sh, image.bits, info, usage, rop))
            return 0;
        PigMemoryRecover recover = pig_memory_recover();
        if (!recover || !recover())
            return kPigNoMemory;
        Rect clip;
        if (get_clip_box(b.dc, clip) == NULLREGION || !rect_overlaps(clip, d))
            return 0;
    }
}

static int mask_pass(const Blit& b, const PigImage& mask, std::vector<uint8_t> info)
{
    int kept = set_stretch_blt_mode(b.dc, WHITEONBLACK);
    int result = stretch(b, mask, info, DIB_RGB_COLORS, SRCPAINT);
    set_stretch_blt_mode(b.dc, kept);
    return result;
}

static int stored_mask_pass(const Blit& b, const PigImage& mask)
{
    std::vector<uint8_t> info(kBitmapInfoHeaderSize + kMaskColorsSize);
    dib_write_header(mask.header, info.data());
    set_entry(info, 0, 0x000000);
    set_entry(info, 1, 0xFFFFFF);
    return mask_pass(b, mask, std::move(info));
}

// The image's white becomes black (kept), its other colour white (covered).
static int image_mask_pass(const Blit& b, const PigImage& image, std::vector<uint8_t> info, bool entry0_white)
{
    set_entry(info, 0, entry0_white ? 0x000000 : 0xFFFFFF);
    set_entry(info, 1, entry0_white ? 0xFFFFFF : 0x000000);
    return mask_pass(b, image, std::move(info));
}

static int image_pass(const Blit& b, const PigImage& image, std::vector<uint8_t> info, const DrawStyle* style,
    uint32_t rop)
{
    bool mono = image.header.bit_count == 1;
    uint32_t usage = style->palette_map && !mono ? DIB_PAL_COLORS : DIB_RGB_COLORS;
    if (mono) {
        set_entry(info, 0, style->fill_back_color);
        set_entry(info, 1, style->fill_color);
    }
    int kept = set_stretch_blt_mode(b.dc, mono ? BLACKONWHITE : COLORONCOLOR);
    int result = stretch(b, image, info, usage, rop);
    set_stretch_blt_mode(b.dc, kept);
    return result;
}

static bool entry_white(const std::vector<uint8_t>& info, int index)
{
    return pig_entry_rgb(info.data() + kBitmapInfoHeaderSize + 4 * index) == 0xFFFFFF;
}

// The passes of one image by the mode.
static int draw_passes(const Blit& b, const PigImage& image, const PigImage* mask, const DrawStyle* style)
{
    std::vector<uint8_t> info = image_info(style, image.header);
    bool mono = image.header.bit_count == 1;
    int mode = style->mode;
    if (mode == 1 && mono) {
        bool white0 = entry_white(info, 0);
        if (!white0 && !entry_white(info, 1))
            return image_pass(b, image, info, style, SRCCOPY);
        if (int result = image_mask_pass(b, image, info, white0))
            return result;
        return image_pass(b, image, info, style, SRCAND);
    }
    if (mode == 0 || mode == 1) {
        if (!mask)
            return image_pass(b, image, info, style, SRCCOPY);
        if (int result = stored_mask_pass(b, *mask))
            return result;
        return image_pass(b, image, info, style, SRCAND);
    }
    if (mode == 2)
        return image_pass(b, image, info, style, kRopImageXor);
    if (mode == 3) {
        if (mono)
            return image_mask_pass(b, image, info, entry_white(info, 0));
        return image_pass(b, image, info, style, MERGEPAINT);
    }
    return image_pass(b, image, info, style, SRCCOPY);
}

static int draw_from(PigDrawRun* run, const PigImageRecord& rec, std::span<const uint8_t> area)
{
    DrawStyle* style = run->style;
    bool made = !style->color_table;
    if (made && pig_color_table_make(style, 0))
        return kPigNoMemory;
    Blit b{run->dc, rec.destination, rec.source};
    // A zero-sized source or destination has nothing to show (and would divide by zero).
    if (b.source.height() <= 0 || b.destination.height() <= 0 || b.source.width() <= 0 || b.destination.width() <= 0)
        return 0;
    Rect out{};
    if (!run->rect_routine(&b.destination, run->caller_data, &out))
        return 0;
    cut_source(b.source, b.destination, out);
    PigImage image, plain;
    PigImageCheck check = pig_image_read(area, rec.image_offset, false, image);
    if (check != PigImageCheck::ok)
        return check == PigImageCheck::empty ? 0 : kPigOverrun;
    // Without a colour table only images that carry their colours in their pixels can draw.
    if (made && image.header.bit_count <= 8)
        return kPigNoMemory;
    std::vector<uint8_t> storage, mask_storage;
    if (!pig_image_plain(image, storage, plain))
        return kPigOverrun;
    PigImage mask, plain_mask;
    bool has_mask = false;
    if (rec.mask_offset >= 0) {
        check = pig_image_read(area, rec.mask_offset, true, mask);
        if (check == PigImageCheck::damaged || (check == PigImageCheck::ok && !pig_image_plain(mask, mask_storage, plain_mask)))
            return kPigOverrun;
        has_mask = check == PigImageCheck::ok;
    }
    return draw_passes(b, plain, has_mask ? &plain_mask : nullptr, style);
}

int pig_draw_image(PigDrawRun* run)
{
    PigImageRecord rec;
    pig_image_record(run, rec);
    if (!rec.in_record)
        return draw_from(run, rec, std::span<const uint8_t>(run->record, run->record_length));
    MemHandle block = rec_get(rec.id);
    if (!block)
        return kPigNoRecord;
    auto* bytes = static_cast<const uint8_t*>(mem_lock(block));
    int result = bytes ? draw_from(run, rec, std::span<const uint8_t>(bytes, mem_size(block))) : kPigNoRecord;
    if (bytes)
        mem_unlock(block);
    rec_release(rec.id, kReleaseOne);
    return result;
}
