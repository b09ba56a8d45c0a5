#include "tools/piecemaker/pm_picture.h"

#include "platform/gdi/bmp.h"
#include "platform/gdi/rle.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/pig_image.h"
#include "runtime/display/pig_stream.h"
#include "tools/piecemaker/pm_desc.h"

using namespace plat;

namespace {

struct Context {
    const std::vector<PmPicArg>& args;
    const std::string& folder;
    std::vector<uint8_t>& bytes;
    std::string& error;
};

bool fail(Context& c, const std::string& message)
{
    c.error = message;
    return false;
}

bool numbers(Context& c, size_t count, std::vector<int64_t>& out, size_t first = 0)
{
    out.clear();
    for (size_t i = first; i < first + count; i++) {
        if (i >= c.args.size() || c.args[i].is_text)
            return fail(c, "expected " + std::to_string(count) + " numbers");
        out.push_back(c.args[i].number);
    }
    return true;
}

void put16(std::vector<uint8_t>& b, int64_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, int64_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, (v >> 16) & 0xFFFF);
}

// Keeps the header (when the record starts with one) counting the records written.
void count_record(std::vector<uint8_t>& b)
{
    if (b.size() < kPigHeaderSize || load_u16le(b.data()) != 0 || std::string(b.begin() + 2, b.begin() + 5) != "PIG")
        return;
    store_u32le(b.data() + kPigHeaderCount, load_u32le(b.data() + kPigHeaderCount) + 1);
    store_u32le(b.data() + kPigHeaderLength, uint32_t(b.size()));
}

// A record of fixed length: opcode and i16 fields.
bool fixed(Context& c, uint16_t opcode, size_t fields)
{
    std::vector<int64_t> v;
    if (!numbers(c, fields, v))
        return false;
    put16(c.bytes, opcode);
    for (int64_t x : v)
        put16(c.bytes, x);
    count_record(c.bytes);
    return true;
}

// A variable record: opcode, its total length, then the body.
void variable(Context& c, uint16_t opcode, const std::vector<uint8_t>& body)
{
    put16(c.bytes, opcode);
    put32(c.bytes, int64_t(body.size() + kPigVarHead));
    c.bytes.insert(c.bytes.end(), body.begin(), body.end());
    count_record(c.bytes);
}

bool byte_record(Context& c, uint16_t opcode, size_t count, size_t length)
{
    std::vector<int64_t> v;
    if (!numbers(c, count, v))
        return false;
    put16(c.bytes, opcode);
    for (int64_t x : v)
        c.bytes.push_back(uint8_t(x));
    c.bytes.resize(c.bytes.size() + (length - 2 - count), 0);
    count_record(c.bytes);
    return true;
}

bool header(Context& c)
{
    std::vector<int64_t> v;
    if (!numbers(c, 4, v))
        return false;
    if (!c.bytes.empty())
        return fail(c, "a picture header starts its record");
    put16(c.bytes, 0);
    for (const char* tag : {"PIG", "WIN", "001"})
        c.bytes.insert(c.bytes.end(), tag, tag + 4);
    put32(c.bytes, 0);
    put32(c.bytes, 0);
    put32(c.bytes, 0);
    for (int copy = 0; copy < 2; copy++)
        for (int64_t x : v)
            put16(c.bytes, x);
    count_record(c.bytes);
    return true;
}

struct Bmp {
    std::vector<uint8_t> file;
    BmpFile parts;
};

bool load_bmp(Context& c, size_t at, Bmp& out)
{
    if (at >= c.args.size() || !c.args[at].is_text)
        return fail(c, "expected a quoted BMP file name");
    const std::string& name = c.args[at].text;
    std::string path = name.empty() || name[0] == '/' || c.folder.empty() ? name : c.folder + "/" + name;
    if (!pm_read_file(path, out.file) || !bmp_read(out.file, out.parts))
        return fail(c, "cannot read BMP '" + name + "'");
    if (out.parts.format.header.size < kBitmapInfoHeaderSize || out.parts.format.top_down)
        return fail(c, "BMP '" + name + "' is not a bottom-up DIB with a 40-byte or longer header");
    return true;
}

// A 1-bit image coded with the run-length escapes, 4 or 8 pixels to a unit.
std::vector<uint8_t> mono_rle(const Bmp& bmp, int per_unit)
{
    const DibFormat& f = bmp.parts.format;
    int32_t units = (f.width + per_unit - 1) / per_unit;
    size_t stride = dib_stride(f.width, 1);
    std::vector<uint8_t> values(size_t(units) * size_t(f.height), 0);
    for (int32_t y = 0; y < f.height; y++)
        for (int32_t x = 0; x < f.width; x++)
            if (bmp.parts.bits[stride * size_t(y) + size_t(x / 8)] & (0x80 >> (x % 8)))
                values[size_t(y) * size_t(units) + size_t(x / per_unit)] |= uint8_t(1 << (per_unit - 1 - x % per_unit));
    std::vector<uint8_t> out;
    rle_encode(values.data(), per_unit, units, f.height, out);
    return out;
}

// The image's header and bits (a mask: with two colour entries between), as images in
// pictures store them: without a colour table. Option words: mono-rle4, mono-rle8.
bool image_bytes(Context& c, const Bmp& bmp, bool mask, const std::string& option, std::vector<uint8_t>& out)
{
    const DibFormat& f = bmp.parts.format;
    DibHeader h = f.header;
    // 5-5-5 bit fields are the plain 16-bit form pictures store; other masks have no such form.
    if (h.compression == BI_BITFIELDS) {
        if (h.bit_count != 16 || f.masks[0] != 0x7C00 || f.masks[1] != 0x03E0 || f.masks[2] != 0x001F)
            return fail(c, "only 5-5-5 bit fields have a picture form");
        h.compression = BI_RGB;
    }
    size_t size = h.compression == BI_RGB ? dib_stride(h.width, h.bit_count) * size_t(f.height) : bmp.parts.bits.size();
    std::vector<uint8_t> bits(bmp.parts.bits.begin(), bmp.parts.bits.begin() + ptrdiff_t(size));
    if (!option.empty()) {
        if (h.bit_count != 1 || (option != "mono-rle4" && option != "mono-rle8"))
            return fail(c, "only 1-bit images take mono-rle4 or mono-rle8");
        int per_unit = option == "mono-rle4" ? 4 : 8;
        bits = mono_rle(bmp, per_unit);
        h.compression = per_unit == 4 ? kPigMonoRle4 : kPigMonoRle8;
    }
    if (mask && h.bit_count != 1)
        return fail(c, "a mask is a 1-bit image");
    h.size = kBitmapInfoHeaderSize;
    h.size_image = uint32_t(bits.size());
    out.resize(kBitmapInfoHeaderSize);
    dib_write_header(h, out.data());
    if (mask)
        for (uint8_t b : {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0})
            out.push_back(b);
    out.insert(out.end(), bits.begin(), bits.end());
    return true;
}

// A word argument (an option) at a place, or empty.
std::string word_at(const Context& c, size_t at)
{
    return at < c.args.size() && c.args[at].is_text && c.args[at].text.rfind("mono-", 0) == 0 ? c.args[at].text : "";
}

void color_table(Context& c, const Bmp& bmp)
{
    const DibFormat& f = bmp.parts.format;
    if (f.color_count == 0 || f.header.bit_count > 8)
        return;
    std::vector<uint8_t> body;
    put32(body, f.color_count);
    body.insert(body.end(), bmp.parts.info.begin() + ptrdiff_t(f.table_offset),
        bmp.parts.info.begin() + ptrdiff_t(f.table_offset + 4 * f.color_count));
    variable(c, kPigOpColorTable, body);
}

// pic image SL ST SR SB DL DT DR DB "image.bmp" [mono-rle4|mono-rle8] ["mask.bmp"]
bool image(Context& c)
{
    std::vector<int64_t> v;
    Bmp bmp, mask_bmp;
    if (!numbers(c, 8, v) || !load_bmp(c, 8, bmp))
        return false;
    std::string option = word_at(c, 9);
    size_t mask_at = option.empty() ? 9 : 10;
    bool has_mask = mask_at < c.args.size();
    if (has_mask && !load_bmp(c, mask_at, mask_bmp))
        return false;
    std::vector<uint8_t> picture, mask;
    if (!image_bytes(c, bmp, false, option, picture) || (has_mask && !image_bytes(c, mask_bmp, true, "", mask)))
        return false;
    color_table(c, bmp);
    std::vector<uint8_t> body;
    put32(body, 0);
    for (int64_t x : v)
        put16(body, x);
    put16(body, 0);
    put16(body, 0);
    // Offsets from +34 (mask) and +38 (image); the mask follows the reserved bytes, then the image.
    size_t data_start = 58;
    put32(body, has_mask ? int64_t(data_start - 34) : 0);
    put32(body, int64_t(data_start + mask.size() - 38));
    body.resize(body.size() + 20, 0);
    body.insert(body.end(), mask.begin(), mask.end());
    body.insert(body.end(), picture.begin(), picture.end());
    variable(c, kPigOpImage, body);
    return true;
}

// pic image-record NUMBER SL ST SR SB DL DT DR DB MASK_OFFSET IMAGE_OFFSET ["hit.bmp" HL HT HR HB]
bool image_record(Context& c)
{
    std::vector<int64_t> v;
    if (!numbers(c, 11, v))
        return false;
    std::vector<uint8_t> hit;
    std::vector<int64_t> hit_rect(4, 0);
    if (c.args.size() > 11) {
        Bmp bmp;
        if (!load_bmp(c, 11, bmp) || !image_bytes(c, bmp, true, "", hit) || !numbers(c, 4, hit_rect, 12))
            return false;
    }
    std::vector<uint8_t> body;
    put32(body, 0);
    put32(body, v[0]);
    for (size_t i = 1; i < 9; i++)
        put16(body, v[i]);
    for (int64_t x : hit_rect)
        put16(body, x);
    put16(body, 0);
    put16(body, 0);
    put32(body, v[9]);
    put32(body, v[10]);
    put32(body, hit.empty() ? 0 : 20); // the hit mask follows the reserved bytes
    body.resize(body.size() + 20, 0);
    body.insert(body.end(), hit.begin(), hit.end());
    variable(c, kPigOpImageRecord, body);
    return true;
}

// pic dib|mask "file.bmp" [mono-rle4|mono-rle8]: an image's bytes for an image record.
bool dib(Context& c, bool mask)
{
    Bmp bmp;
    std::vector<uint8_t> out;
    if (!load_bmp(c, 0, bmp) || !image_bytes(c, bmp, mask, word_at(c, 1), out))
        return false;
    c.bytes.insert(c.bytes.end(), out.begin(), out.end());
    return true;
}

bool colors(Context& c)
{
    if (c.args.size() % 3 != 0)
        return fail(c, "colours come as red green blue");
    std::vector<int64_t> v;
    if (!numbers(c, c.args.size(), v))
        return false;
    std::vector<uint8_t> body;
    put32(body, int64_t(v.size() / 3));
    for (size_t i = 0; i < v.size(); i += 3)
        for (int64_t b : {v[i + 2], v[i + 1], v[i], int64_t(0)})
            body.push_back(uint8_t(b));
    variable(c, kPigOpColorTable, body);
    return true;
}

bool palette_map(Context& c)
{
    std::vector<int64_t> v;
    if (!numbers(c, c.args.size(), v) || v.empty())
        return fail(c, "palette-map takes an id and indexes");
    std::vector<uint8_t> body;
    put32(body, int64_t(v.size() - 1));
    put32(body, v[0]);
    for (size_t i = 1; i < v.size(); i++)
        body.push_back(uint8_t(v[i]));
    variable(c, kPigOpPaletteMap, body);
    return true;
}

bool polygon(Context& c)
{
    std::vector<int64_t> v;
    if (c.args.size() < 4 || c.args.size() % 2 != 0 || !numbers(c, c.args.size(), v))
        return fail(c, "polygon takes bounds and x y pairs");
    std::vector<uint8_t> body;
    for (size_t i = 0; i < 4; i++)
        put16(body, v[i]);
    put16(body, int64_t((v.size() - 4) / 2));
    for (size_t i = 4; i < v.size(); i++)
        put16(body, v[i]);
    variable(c, kPigOpPolygon, body);
    return true;
}

// pic text L T R B "stored bytes": an embedded text record with the given stored text.
bool text(Context& c)
{
    std::vector<int64_t> v;
    if (!numbers(c, 4, v) || c.args.size() != 5 || !c.args[4].is_text)
        return fail(c, "text takes a rectangle and the stored bytes");
    std::vector<uint8_t> body;
    for (int64_t x : v)
        put16(body, x);
    body.insert(body.end(), c.args[4].text.begin(), c.args[4].text.end());
    variable(c, kPigOpText, body);
    return true;
}

// pic raw "bytes": a record given whole, counted (damage is made this way).
bool raw(Context& c)
{
    if (c.args.size() != 1 || !c.args[0].is_text)
        return fail(c, "raw takes one quoted text of bytes");
    c.bytes.insert(c.bytes.end(), c.args[0].text.begin(), c.args[0].text.end());
    count_record(c.bytes);
    return true;
}

struct Op {
    const char* name;
    bool (*handler)(Context&);
};

const Op kOps[] = {
    {"header", header},
    {"fill-on", [](Context& c) { return fixed(c, kPigOpFillOn, 0); }},
    {"fill-off", [](Context& c) { return fixed(c, kPigOpFillOff, 0); }},
    {"line-on", [](Context& c) { return fixed(c, kPigOpLineOn, 0); }},
    {"line-off", [](Context& c) { return fixed(c, kPigOpLineOff, 0); }},
    {"pen", [](Context& c) { return fixed(c, kPigOpLineSize, 2); }},
    {"fill-color", [](Context& c) { return byte_record(c, kPigOpFillColor, 3, 8); }},
    {"fill-back", [](Context& c) { return byte_record(c, kPigOpFillBackColor, 3, 8); }},
    {"line-color", [](Context& c) { return byte_record(c, kPigOpLineColor, 3, 8); }},
    {"line-back", [](Context& c) { return byte_record(c, kPigOpLineBackColor, 3, 8); }},
    {"fill-pattern", [](Context& c) { return byte_record(c, kPigOpFillPattern, 8, 10); }},
    {"line-pattern", [](Context& c) { return byte_record(c, kPigOpLinePattern, 8, 10); }},
    {"mode", [](Context& c) { return byte_record(c, kPigOpMode, 1, 4); }},
    {"flags", [](Context& c) { return byte_record(c, kPigOpFlags, 1, 4); }},
    {"arrows", [](Context& c) { return byte_record(c, kPigOpArrows, 1, 4); }},
    {"rect", [](Context& c) { return fixed(c, kPigOpRect, 4); }},
    {"oval", [](Context& c) { return fixed(c, kPigOpOval, 4); }},
    {"line", [](Context& c) { return fixed(c, kPigOpLine, 4); }},
    {"round-rect", [](Context& c) { return fixed(c, kPigOpRoundRect, 6); }},
    {"pie", [](Context& c) { return fixed(c, kPigOpPie, 8); }},
    {"arc", [](Context& c) { return fixed(c, kPigOpArc, 8); }},
    {"polygon", polygon},
    {"colors", colors},
    {"palette-map", palette_map},
    {"image", image},
    {"image-record", image_record},
    {"dib", [](Context& c) { return dib(c, false); }},
    {"mask", [](Context& c) { return dib(c, true); }},
    {"text", text},
    {"raw", raw},
};

} // namespace

bool pm_picture_statement(const std::string& op, const std::vector<PmPicArg>& args, const std::string& folder,
    std::vector<uint8_t>& bytes, std::string& error)
{
    Context c{args, folder, bytes, error};
    for (const Op& row : kOps)
        if (op == row.name)
            return row.handler(c);
    return fail(c, "unknown picture statement '" + op + "'");
}
