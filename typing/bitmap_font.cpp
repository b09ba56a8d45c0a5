// The bitmap font. Glyph numbers come from Johab fields and from the file's own tables, so
// every glyph is checked against the glyph block before a byte of it is read.
#include "typing/bitmap_font.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/file.h"
#include "typing/johab.h"
#include "typing/tutor_paths.h"

constexpr int kMaxCellSize = 64; // no size of a sane font is larger; bounds the cell buffer

static struct {
    std::string path;
    std::vector<FontSize> sizes;
    int loaded_size = -1; // index of the size whose block is held
    std::vector<uint8_t> block;
} s_font;

// ---------------------------------------------------------------------------------------------
// Cells and strips

namespace {

// One character cell being built, 1 bit per pixel, paper where nothing was drawn.
struct Cell {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;
};

// What rendering needs of a size: its geometry, its block and its variant tables.
struct Renderer {
    const FontSize& size;
    std::span<const uint8_t> block;
    int half_width;
    size_t half_glyph_bytes;
    const uint8_t* variants = nullptr; // null: Hangul comes from whole syllable glyphs
    int variant_counts[3] = {};
};

} // namespace

static int row_bytes(int width) { return (width + 7) / 8; }

bool glyph_strip_ink(const GlyphStrip& strip, int x, int y)
{
    if (x < 0 || y < 0 || x >= strip.width || y >= strip.height)
        return false;
    return !(strip.bits[size_t(y) * strip.stride + x / 8] & (0x80 >> (x % 8)));
}

// Adds the ink of glyph `number` of the area at `area` (glyphs `glyph_bytes` apart, `width`
// pixels wide) to the cell; a glyph not wholly inside the block adds nothing.
static void add_glyph(const Renderer& rd, uint32_t area, int64_t number, size_t glyph_bytes,
    int width, Cell& cell)
{
    size_t bytes_per_row = row_bytes(width);
    uint64_t needed = uint64_t(bytes_per_row) * cell.height;
    if (area == kFontAbsent || number < 0 || area > rd.block.size())
        return;
    uint64_t offset = area + uint64_t(number) * glyph_bytes;
    if (offset > rd.block.size() || needed > rd.block.size() - offset)
        return;
    const uint8_t* glyph = rd.block.data() + offset;
    for (int y = 0; y < cell.height; ++y) {
        for (int x = 0; x < width && x < cell.width; ++x) {
            if (!(glyph[y * bytes_per_row + x / 8] & (0x80 >> (x % 8))))
                cell.ink[size_t(y) * cell.width + x] = true;
        }
    }
}

static void add_half_width_glyph(const Renderer& rd, int byte, Cell& cell)
{
    add_glyph(rd, rd.size.half_width_table, int64_t(byte) - 1, rd.half_glyph_bytes, rd.half_width, cell);
}

static void blit_cell(const Cell& cell, int left, GlyphStrip& strip)
{
    for (int y = 0; y < cell.height; ++y) {
        for (int x = 0; x < cell.width; ++x) {
            int column = left + x;
            if (cell.ink[size_t(y) * cell.width + x] && column < strip.width)
                strip.bits[size_t(y) * strip.stride + column / 8] &= uint8_t(~(0x80 >> (column % 8)));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Hangul

// Jamo numbers of the 5-bit fields: 0 for the fill value, 1.. for the jamo in order, and one
// past the last jamo for a field outside the syllable ranges. Such a number still selects
// variants of the other jamo, but is itself drawn as nothing: the glyph it would name belongs
// to the next variant.
static int initial_number(int field)
{
    if (field == kJohabInitialFill)
        return 0;
    return field >= 2 && field <= 20 ? field - 1 : kFontInitials + 1;
}

static int medial_number(int field)
{
    // The vowels sit in four runs of field values with gaps between them.
    static const uint8_t kMedialNumbers[32] = {
        22, 22, 0, 1, 2, 3, 4, 5,         // 2 fill, 3..7 ㅏ..ㅓ
        22, 22, 6, 7, 8, 9, 10, 11,       // 10..15 ㅔ..ㅙ
        22, 22, 12, 13, 14, 15, 16, 17,   // 18..23 ㅚ..ㅟ
        22, 22, 18, 19, 20, 21, 22, 22,   // 26..29 ㅠ..ㅣ
    };
    return kMedialNumbers[field & 31];
}

static int final_number(int field)
{
    if (field == kJohabFinalFill)
        return 0;
    if (field >= 2 && field <= 17)
        return field - 1;
    return field >= 19 && field <= 29 ? field - 2 : kFontFinals + 1;
}

static void compose_syllable(const Renderer& rd, uint16_t code, Cell& cell)
{
    int i = initial_number(johab_initial(code));
    int m = medial_number(johab_medial(code));
    int f = final_number(johab_final(code));
    const uint8_t* initial_variant = rd.variants + 6; // [medial][final]
    const uint8_t* medial_variant = initial_variant + 1024; // [initial][final]
    const uint8_t* final_variant = medial_variant + 1024; // [initial][medial]
    int64_t medial_base = int64_t(kFontInitials) * rd.variant_counts[0];
    int64_t final_base = medial_base + int64_t(kFontMedials) * rd.variant_counts[1];
    uint32_t area = rd.size.areas[0];
    size_t stride = rd.size.glyph_bytes;
    if (i > 0 && i <= kFontInitials)
        add_glyph(rd, area, i + kFontInitials * initial_variant[m * 32 + f] - 1, stride, rd.size.width, cell);
    if (m > 0 && m <= kFontMedials)
        add_glyph(rd, area, medial_base + m + kFontMedials * medial_variant[i * 32 + f] - 1, stride,
            rd.size.width, cell);
    if (f > 0 && f <= kFontFinals)
        add_glyph(rd, area, final_base + f + kFontFinals * final_variant[i * 32 + m] - 1, stride,
            rd.size.width, cell);
}

// A whole glyph by its KS X 1001 place: rows from the area's first row, 94 cells a row.
static void add_ks_glyph(const Renderer& rd, JohabClass category, uint16_t code, Cell& cell)
{
    static const int kFirstRow[] = {0xB0, 0xCA, 0xA1}; // Hangul, Hanja, symbols
    uint16_t ks = johab_to_ksc(code);
    int row = ks >> 8;
    if (ks == 0 || row < kFirstRow[category])
        return;
    int64_t number = int64_t(row - kFirstRow[category]) * 94 + (ks & 0xFF) - 0xA1;
    add_glyph(rd, rd.size.areas[category], number, rd.size.glyph_bytes, rd.size.width, cell);
}

// ---------------------------------------------------------------------------------------------
// Rendering

// Draws one double-byte character; false when it ends the strip instead (no half-width glyphs
// for an undrawable pair).
static bool render_pair(const Renderer& rd, uint16_t code, Cell& cell)
{
    JohabClass category = johab_classify(code);
    if (category == kJohabHangul && rd.variants)
        compose_syllable(rd, code, cell);
    else if (category != kJohabNotDrawable)
        add_ks_glyph(rd, category, code, cell);
    else if (rd.size.half_width_table == kFontAbsent)
        return false;
    else
        add_half_width_glyph(rd, code & 0xFF, cell); // its trail byte, in a full-width cell
    return true;
}

static bool render_single(const Renderer& rd, uint8_t byte, Cell& cell)
{
    if (rd.size.half_width_table == kFontAbsent)
        return false;
    add_half_width_glyph(rd, byte, cell);
    return true;
}

static void find_variant_tables(Renderer& rd)
{
    uint32_t offset = rd.size.variant_tables;
    if (offset == kFontAbsent || offset > rd.block.size()
        || kFontVariantTablesSize > rd.block.size() - offset)
        return;
    rd.variants = rd.block.data() + offset;
    for (int k = 0; k < 3; ++k)
        rd.variant_counts[k] = plat::load_u16le(rd.variants + 2 * k);
}

static void strip_clear(GlyphStrip& strip, int width, int height)
{
    strip.width = width;
    strip.height = height;
    strip.stride = (width + 31) / 32 * 4;
    strip.bits.assign(size_t(strip.stride) * height, 0xFF);
}

bool bitmap_font_render(const FontSize& size, std::span<const uint8_t> block, std::string_view text,
    GlyphStrip& strip)
{
    strip = {};
    int width = size.width;
    int height = size.height;
    if (width < 2 || height < 1 || width > kMaxCellSize || height > kMaxCellSize
        || size.glyph_bytes < size_t(row_bytes(width)) * height)
        return false;
    Renderer rd {size, block, width / 2, size_t(row_bytes(width / 2)) * height};
    find_variant_tables(rd);
    strip_clear(strip, int(text.size()) * rd.half_width, height);
    int x = 0;
    for (size_t i = 0; i < text.size();) {
        uint8_t byte = uint8_t(text[i]);
        bool pair = byte & 0x80;
        if (pair && i + 1 >= text.size())
            break; // a lead byte without its trail byte
        Cell cell {pair ? width : rd.half_width, height, {}};
        cell.ink.assign(size_t(cell.width) * height, false);
        bool drawn = pair ? render_pair(rd, uint16_t(byte << 8 | uint8_t(text[i + 1])), cell)
                          : render_single(rd, byte, cell);
        if (!drawn)
            break;
        blit_cell(cell, x, strip);
        x += cell.width;
        i += pair ? 2 : 1;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The font file

bool bitmap_font_parse_sizes(std::span<const uint8_t> head, std::vector<FontSize>& sizes)
{
    sizes.clear();
    plat::ByteReader r(head.data(), head.size());
    r.skip(64);
    uint16_t count = r.u16le();
    if (r.failed() || count > r.remaining() / kFontSizeEntrySize)
        return false;
    for (uint16_t k = 0; k < count; ++k) {
        FontSize size;
        size.width = r.u16le();
        size.height = r.u16le();
        size.glyph_bytes = r.u16le();
        size.block_offset = r.u32le();
        size.block_size = r.u32le();
        r.skip(6); // unused, and room the program once kept an address in
        size.half_width_table = r.u32le();
        size.variant_tables = r.u32le();
        for (uint32_t& area : size.areas)
            area = r.u32le();
        sizes.push_back(size);
    }
    return !r.failed();
}

// Reads count bytes at offset of the open file; false unless all of them are there.
static bool read_at(plat::FileHandle file, uint64_t offset, std::vector<uint8_t>& bytes, size_t count)
{
    bytes.assign(count, 0);
    uint32_t got = 0;
    return plat::set_file_pointer(file, int64_t(offset), plat::FILE_BEGIN) == int64_t(offset)
        && plat::read_file(file, bytes.data(), uint32_t(count), &got) && got == count;
}

static bool read_head(plat::FileHandle file, std::vector<FontSize>& sizes)
{
    int64_t file_size = plat::get_file_size(file);
    std::vector<uint8_t> head;
    if (file_size < int64_t(kFontHeaderSize) || !read_at(file, 0, head, kFontHeaderSize))
        return false;
    size_t count = plat::load_u16le(head.data() + 64);
    size_t entries_size = count * kFontSizeEntrySize;
    if (entries_size > uint64_t(file_size) - kFontHeaderSize)
        return false;
    std::vector<uint8_t> entries;
    if (!read_at(file, kFontHeaderSize, entries, entries_size))
        return false;
    head.insert(head.end(), entries.begin(), entries.end());
    return bitmap_font_parse_sizes(head, sizes);
}

std::string bitmap_font_file_path() { return path_in_program_folder(kFontFileName); }

bool bitmap_font_load()
{
    return bitmap_font_load_file(bitmap_font_file_path());
}

bool bitmap_font_load_file(std::string_view path)
{
    bitmap_font_free();
    plat::FileHandle file = plat::create_file(
        path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return false;
    std::vector<FontSize> sizes;
    bool ok = read_head(file, sizes);
    plat::close_handle(file);
    if (!ok)
        return false;
    s_font.path = std::string(path);
    s_font.sizes = std::move(sizes);
    return true;
}

void bitmap_font_free()
{
    s_font.path.clear();
    s_font.sizes.clear();
    s_font.loaded_size = -1;
    s_font.block.clear();
    s_font.block.shrink_to_fit();
}

// Makes the block of the 20 x 20 size the held one; the file is opened only for the read.
static const FontSize* select_block()
{
    for (size_t k = 0; k < s_font.sizes.size(); ++k) {
        const FontSize& size = s_font.sizes[k];
        if (size.width != kFontCellSize || size.height != kFontCellSize)
            continue;
        if (s_font.loaded_size == int(k))
            return &size;
        s_font.loaded_size = -1;
        plat::FileHandle file = plat::create_file(
            s_font.path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
        if (!file)
            return nullptr;
        int64_t file_size = plat::get_file_size(file);
        bool ok = file_size >= 0 && size.block_offset <= uint64_t(file_size)
            && size.block_size <= uint64_t(file_size) - size.block_offset
            && read_at(file, size.block_offset, s_font.block, size.block_size);
        plat::close_handle(file);
        if (!ok)
            return nullptr;
        s_font.loaded_size = int(k);
        return &size;
    }
    return nullptr;
}

bool bitmap_font_glyph_strip(std::string_view text, GlyphStrip& strip)
{
    const FontSize* size = select_block();
    if (!size) {
        strip = {};
        return false;
    }
    return bitmap_font_render(*size, s_font.block, text, strip);
}
