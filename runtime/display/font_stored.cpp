#include "runtime/display/font_stored.h"

#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/base/str.h"
#include "runtime/store/swap.h"

namespace {

constexpr size_t kPlatform2Offset = 6;

} // namespace

size_t font_stored_size(int version) { return version == 1 || version == 2 ? kFontStoredSize12 : kFontStoredSize3; }

int font_stored_valid(const uint8_t* record, size_t size)
{
    if (!record || size < 2)
        return 0;
    int version = int16_t(plat::load_u16le(record));
    if (version < 1 || version > 3 || size < font_stored_size(version))
        return 0;
    return version;
}

// Version 1 keeps 18 bytes of platform-2 metrics (the cleared word is not stored).
static size_t platform1_offset(int version) { return version == 1 ? 24 : 26; }

static void read_platform2(plat::ByteReader& r, FontDesc& d, int version)
{
    d.p2_point_size = r.i16le();
    for (uint8_t& b : d.p2_reserved)
        b = r.u8();
    d.p2_metrics[0] = r.i16le();
    d.p2_metrics[1] = r.i16le();
    d.p2_ascent = r.i16le();
    d.p2_descent = r.i16le();
    d.p2_leading = r.i16le();
    d.p2_metric = r.i16le();
    if (version != 1)
        r.i16le();
    d.p2_cleared = 0;
}

static void read_platform1(plat::ByteReader& r, FontDesc& d, int version)
{
    d.pixel_height = r.i16le();
    d.measured = r.u8();
    d.outline = r.u8();
    d.scalable = r.u8();
    for (uint8_t& b : d.p1_reserved)
        b = r.u8();
    int16_t* words[] = {&d.height, &d.ascent, &d.descent, &d.internal_leading, &d.external_leading, &d.max_char_width};
    for (int16_t* w : words)
        *w = r.i16le();
    d.pitch_and_family = r.u8();
    d.char_set = r.u8();
    d.overhang = r.i16le();
    for (int16_t& v : d.outline_values)
        v = r.i16le();
    if (version == 3)
        d.point_size = r.i16le();
    else if (d.measured)
        d.point_size = int16_t(font_pixels_to_points(d.height - d.internal_leading));
    else
        d.point_size = 0;
}

int32_t font_stored_point_size(const uint8_t* record, size_t size, int* made_on_platform2)
{
    int version = font_stored_valid(record, size);
    if (made_on_platform2)
        *made_on_platform2 = 0;
    if (!version)
        return 0;
    FontDesc d;
    plat::ByteReader r(record + kPlatform2Offset, size - kPlatform2Offset);
    read_platform2(r, d, version);
    read_platform1(r, d, version);
    bool platform2 = plat::load_u16le(record + 4) & kFontMadeOnPlatform2;
    if (made_on_platform2)
        *made_on_platform2 = platform2 ? 1 : 0;
    if (platform2)
        return d.p2_point_size;
    if (version == 3)
        return d.point_size;
    return font_pixels_to_points(d.height - d.internal_leading);
}

bool font_desc_from_stored(const uint8_t* record, size_t size, const char* face, const char* platform2_name, FontDesc* out)
{
    int version = font_stored_valid(record, size);
    if (!version)
        return false;
    FontDesc d;
    d.style = int16_t(plat::load_u16le(record + 2));
    d.flags = plat::load_u16le(record + 4);
    plat::ByteReader r(record + kPlatform2Offset, size - kPlatform2Offset);
    read_platform2(r, d, version);
    read_platform1(r, d, version);
    str_copy_bounded(d.face, face ? face : "", int(sizeof d.face));
    *out = d;
    font_desc_recompute(out, platform2_name);
    return true;
}

static void swap16_at(uint8_t* record, size_t offset, size_t count)
{
    for (size_t i = 0; i < count; i++)
        swap_short(record + offset + 2 * i);
}

int font_stored_swap(uint8_t* record, size_t size, int to_native)
{
    if (!record || size < 2)
        return 0;
    SwapScope scope(to_native);
    uint16_t raw = swap_take_u16(record);
    int version = to_native ? int16_t(plat::load_u16le(record)) : int16_t(raw);
    if (version < 1 || version > 3 || size < font_stored_size(version)) {
        swap_short(record); // back as it was
        return 0;
    }
    swap16_at(record, 2, 3); // style bits, flags, platform-2 point size
    swap16_at(record, 12, 6);
    size_t block = platform1_offset(version);
    swap16_at(record, block, 1);
    swap16_at(record, block + 6, 8);
    swap16_at(record, block + 24, 5);
    if (version == 3)
        swap16_at(record, block + 34, 1);
    return version;
}

void font_stored_write(const FontDesc& d, std::vector<uint8_t>& out)
{
    plat::ByteWriter w(out);
    w.u16le(3);
    w.u16le(uint16_t(d.style));
    w.u16le(d.flags);
    w.u16le(uint16_t(d.p2_point_size));
    for (uint8_t b : d.p2_reserved)
        w.u8(b);
    for (int16_t v : {d.p2_metrics[0], d.p2_metrics[1], d.p2_ascent, d.p2_descent, d.p2_leading, d.p2_metric, d.p2_cleared})
        w.u16le(uint16_t(v));
    w.u16le(uint16_t(d.pixel_height));
    w.u8(d.measured);
    w.u8(d.outline);
    w.u8(d.scalable);
    for (uint8_t b : d.p1_reserved)
        w.u8(b);
    for (int16_t v : {d.height, d.ascent, d.descent, d.internal_leading, d.external_leading, d.max_char_width})
        w.u16le(uint16_t(v));
    w.u8(d.pitch_and_family);
    w.u8(d.char_set);
    w.u16le(uint16_t(d.overhang));
    for (int16_t v : d.outline_values)
        w.u16le(uint16_t(v));
    w.u16le(uint16_t(d.point_size));
}
