#include "runtime/display/text_style_record.h"

#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/display/font_names.h"
#include "runtime/display/font_stored.h"
#include "runtime/display/fontmap.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_types.h"
#include "runtime/store/swap.h"

namespace {

// Attributes style 1 never has: it is the base of every text.
constexpr uint32_t kNotInFirstStyle = kStyleCursor | kStyleHotText | kStyleHotInverted | kStyleLink;
constexpr int kNavigateKind = 13;
constexpr uint32_t kLinkParentNode = 3;
// Slots of the learner's records and the scratch file: their links are not checked.
constexpr int kUncheckedSlotA = 24;
constexpr int kUncheckedSlotB = 25;

struct RecordBlocks {
    FontsBlock fonts;
    NamesBlock names;
};

} // namespace

static void read_style_fields(plat::ByteReader& r, TextStyle& s)
{
    s.mask = r.u32le();
    s.color = r.u32le();
    s.number_format = r.u32le();
    s.slot_flags = r.u16le();
    s.owner = r.u16le();
    s.hot_trigger = r.u8();
    s.reserved_byte = r.u8();
    s.style_bits = r.u16le();
    s.alignment = r.i16le();
    s.first_indent = r.i16le();
    s.left_indent = r.i16le();
    s.right_indent = r.i16le();
    s.tab_count = r.i16le();
    s.cursor = r.i16le();
    s.reserved_word = r.i16le();
    s.link = r.u16le();
    s.font_name = r.u16le();
    s.font = r.u16le();
    for (uint8_t& b : s.reserved)
        b = r.u8();
    s.kept_word = r.i16le();
}

static bool link_stays(int file, uint16_t link)
{
    if (file == kUncheckedSlotA || file == kUncheckedSlotB)
        return true;
    IconId icon = IconId(uint32_t(file) << 16 | link);
    return node_is_valid(icon) && node_kind(icon) == kNavigateKind && (node_parent(icon) & 0xFFFF) == kLinkParentNode;
}

// Stored references become table indexes.
static int resolve_fonts(TextStyle& s, const RecordBlocks& blocks)
{
    int name_reference = s.font_name, font_reference = s.font;
    s.font_name = 0;
    s.font = 0;
    if (!(s.mask & (kStyleFont | kStyleSize)))
        return 0;
    int error = 0;
    int name_index = name_reference ? font_name_from_stored(blocks.names, name_reference, &error) : 0;
    int font_index = font_reference && !error ? font_from_stored(blocks.fonts, font_reference, name_index, &error) : 0;
    if (error)
        return error;
    s.font_name = uint16_t(name_index);
    s.font = uint16_t(font_index);
    if (const FontDesc* desc = text_font_lock(font_index))
        s.size = int16_t(font_desc_point_size(desc));
    return 0;
}

static int unpack_style(plat::ByteReader& r, int file, const RecordBlocks& blocks, TextStyle& s)
{
    read_style_fields(r, s);
    if (r.failed() || s.tab_count < 0 || size_t(s.tab_count) > r.remaining() / 2)
        return kErrFileDamaged;
    for (int16_t i = 0; i < s.tab_count; i++)
        s.tabs.push_back(r.i16le());
    if (!(s.mask & kStyleLink) || !link_stays(file, s.link)) {
        s.link = 0;
        s.mask &= ~kStyleLink;
    }
    return resolve_fonts(s, blocks);
}

static int find_blocks(plat::ByteReader header, size_t size, const uint8_t* data, RecordBlocks& blocks)
{
    header.seek(6);
    uint32_t fonts_offset = header.u32le();
    header.u32le();
    uint32_t fonts_length = header.u32le();
    if (fonts_offset > size || fonts_length > size - fonts_offset)
        return kErrFileDamaged;
    blocks.fonts = FontsBlock {data + fonts_offset, fonts_length};
    size_t names_at = size_t(fonts_offset) + fonts_length;
    blocks.names = NamesBlock {data + names_at, size - names_at};
    return 0;
}

int text_styles_parse(const uint8_t* data, size_t size, int file, std::vector<TextStyle>& out, int16_t* table_flags,
    int16_t* default_style)
{
    out.clear();
    plat::ByteReader r(data, size);
    int16_t version = r.i16le();
    int16_t count = r.i16le();
    int16_t flags = r.i16le();
    if (r.failed() || size < kStyleRecordHeader)
        return kErrFileDamaged;
    if (version != kStyleRecordVersion)
        return kErrFileTooOld;
    RecordBlocks blocks;
    if (find_blocks(r, size, data, blocks) != 0 || count < 0)
        return kErrFileDamaged;
    r.seek(18);
    *default_style = r.i16le();
    r.seek(kStyleRecordHeader);
    bool marked = false;
    for (int16_t n = 0; n < count; n++) {
        int16_t number = r.i16le();
        // Numbers ascend: a repeated or falling number would overwrite or misplace styles.
        if (r.failed() || number < 1 || size_t(number) <= out.size())
            return kErrFileDamaged;
        out.resize(size_t(number) - 1);
        TextStyle style;
        int result = unpack_style(r, file, blocks, style);
        if (result != 0)
            return result;
        marked |= (style.slot_flags & (kStyleFromFile04 | kStyleFromFile20)) != 0;
        out.push_back(std::move(style));
    }
    // The fonts and names blocks follow the styles; overlapping them would read one field as two.
    if (blocks.fonts.data < data + r.position())
        return kErrFileDamaged;
    if (!out.empty())
        out[0].mask &= ~kNotInFirstStyle;
    if (!out.empty() && !(out[0].mask & kStyleLink))
        out[0].link = 0;
    *table_flags = int16_t(flags | (marked ? 1 : 0));
    return 0;
}

int text_styles_load(int file)
{
    int result = font_map_load(font_map(), file);
    if (result != 0)
        return result;
    uint16_t number = node_dir_word(file, kStyleRecordDirWord);
    if (number == 0)
        return kErrNotFound;
    RecordId id = rec_make_id(uint32_t(file), number);
    MemHandle block = rec_get(id);
    if (!block) {
        int error = rec_error_word();
        return error ? error : kErrNotFound;
    }
    std::vector<TextStyle> styles;
    int16_t flags = 0, default_style = 0;
    const uint8_t* data = static_cast<const uint8_t*>(mem_lock(block));
    result = data ? text_styles_parse(data, mem_size(block), file, styles, &flags, &default_style) : kErrOutOfMemory;
    mem_unlock(block);
    rec_release(id, kReleaseOne);
    if (result == 0)
        text_styles_replace(file, std::move(styles), flags, default_style);
    return result;
}

// --- byte order -----------------------------------------------------------------------------

static void swap_shorts_at(uint8_t* p, size_t count)
{
    for (size_t i = 0; i < count; i++)
        swap_short(p + 2 * i);
}

// One stored style at data + at: its size, or 0 when it does not fit.
static size_t swap_style(uint8_t* data, size_t size, size_t at)
{
    if (at > size || size - at < kStoredStyleSize)
        return 0;
    uint8_t* s = data + at;
    swap_short(s);
    swap_longs(s + 2, 3);
    swap_shorts_at(s + 14, 2);
    // The tab count is read in native order: after a conversion to it, before one from it.
    int16_t before = int16_t(plat::load_u16le(s + 30));
    swap_shorts_at(s + 20, 11);
    int16_t tabs = swap_direction() ? int16_t(plat::load_u16le(s + 30)) : before;
    if (tabs < 0 || size_t(tabs) > (size - at - kStoredStyleSize) / 2)
        return 0;
    swap_shorts_at(s + kStoredStyleSize, size_t(tabs));
    return kStoredStyleSize + 2 * size_t(tabs);
}

static int swap_fonts_block(uint8_t* block, size_t size)
{
    if (size == 0)
        return 0;
    if (size < 4)
        return kErrFileDamaged;
    uint16_t count = swap_take_u16(block);
    uint16_t entry_size = swap_take_u16(block + 2);
    if (count == 0)
        return 0;
    // Entries are stepped by the entry size, which must hold a reference and a record.
    if (entry_size < 2 + kFontStoredSize12 || count > (size - 4) / entry_size)
        return kErrFileDamaged;
    for (size_t n = 0; n < count; n++) {
        uint8_t* entry = block + 4 + n * entry_size;
        swap_short(entry);
        if (font_stored_swap(entry + 2, entry_size - 2, swap_direction()) == 0)
            return kErrFileDamaged;
    }
    return 0;
}

static int swap_names_block(uint8_t* block, size_t size)
{
    if (size == 0)
        return 0;
    if (size < 4)
        return kErrFileDamaged;
    if (plat::load_u16le(block) != 0xFFFF) {
        swap_shorts_at(block, 2);
        return 0;
    }
    if (size < 128)
        return kErrFileDamaged;
    int16_t flags_present = int16_t(swap_take_u16(block + 2));
    uint16_t count = swap_take_u16(block + 4);
    uint16_t entry_size = swap_take_u16(block + 6);
    if (flags_present <= 0 || count == 0)
        return 0;
    if (entry_size < 128 || count > (size - 128) / entry_size)
        return kErrFileDamaged;
    for (size_t n = 0; n < count; n++)
        swap_short(block + 128 + n * entry_size + 64);
    return 0;
}

int text_styles_swap(uint8_t* data, size_t size, int to_native)
{
    SwapScope scope(to_native);
    if (size < kStyleRecordHeader)
        return kErrFileDamaged;
    swap_shorts_at(data, 2); // version, count
    int16_t count = int16_t(to_native ? plat::load_u16le(data + 2) : swap_bytes16(plat::load_u16le(data + 2)));
    swap_short(data + 4);
    uint32_t fonts_offset = swap_take_u32(data + 6);
    swap_long(data + 10);
    uint32_t fonts_length = swap_take_u32(data + 14);
    swap_shorts_at(data + 18, 3);
    if (count < 0 || fonts_offset > size || fonts_length > size - fonts_offset)
        return kErrFileDamaged;
    size_t at = kStyleRecordHeader;
    for (int16_t n = 0; n < count; n++) {
        size_t used = swap_style(data, size, at);
        if (used == 0)
            return kErrFileDamaged;
        at += used;
    }
    if (fonts_offset < at)
        return kErrFileDamaged;
    int result = swap_fonts_block(data + fonts_offset, fonts_length);
    if (result == 0)
        result = swap_names_block(data + fonts_offset + fonts_length, size - fonts_offset - fonts_length);
    return result;
}

// --- writing --------------------------------------------------------------------------------

static void write_style(plat::ByteWriter& w, const StoredStyle& stored)
{
    const TextStyle& s = stored.style;
    w.u16le(uint16_t(stored.number));
    w.u32le(s.mask);
    w.u32le(s.color);
    w.u32le(s.number_format);
    w.u16le(s.slot_flags);
    w.u16le(s.owner);
    w.u8(s.hot_trigger);
    w.u8(s.reserved_byte);
    w.u16le(s.style_bits);
    for (int16_t v : {s.alignment, s.first_indent, s.left_indent, s.right_indent})
        w.u16le(uint16_t(v));
    w.u16le(uint16_t(stored.tabs.size()));
    w.u16le(uint16_t(s.cursor));
    w.u16le(uint16_t(s.reserved_word));
    w.u16le(s.link);
    w.u16le(s.font_name);
    w.u16le(s.font);
    w.bytes(s.reserved, sizeof s.reserved);
    w.u16le(uint16_t(s.kept_word));
    for (int16_t tab : stored.tabs)
        w.u16le(uint16_t(tab));
}

static void write_names(plat::ByteWriter& w, const std::vector<StoredFontName>& names, NamesForm form)
{
    bool long_form = form == NamesForm::long_form;
    if (long_form) {
        w.u16le(0xFFFF);
        w.u16le(1);
        w.u16le(uint16_t(names.size()));
        w.u16le(128);
        for (int i = 0; i < 120; i++)
            w.u8(0);
    } else {
        w.u16le(uint16_t(names.size()));
        w.u16le(64);
    }
    for (const StoredFontName& n : names) {
        w.bytes(n.platform2, sizeof n.platform2);
        w.bytes(n.platform1, sizeof n.platform1);
        if (long_form) {
            w.u16le(n.flags);
            for (int i = 0; i < 62; i++)
                w.u8(0);
        }
    }
}

std::vector<uint8_t> text_styles_write(const std::vector<StoredStyle>& styles, const std::vector<StoredFont>& fonts,
    const std::vector<StoredFontName>& names, NamesForm form, int16_t table_flags, int16_t default_style)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    w.u16le(uint16_t(kStyleRecordVersion));
    w.u16le(uint16_t(styles.size()));
    w.u16le(uint16_t(table_flags));
    w.u32le(0); // fonts-block offset, set below
    w.u32le(0);
    w.u32le(0); // fonts-block length, set below
    w.u16le(uint16_t(default_style));
    w.u16le(0);
    w.u16le(0);
    for (const StoredStyle& s : styles)
        write_style(w, s);
    size_t fonts_at = out.size();
    w.u16le(uint16_t(fonts.size()));
    w.u16le(uint16_t(2 + kFontStoredSize3));
    for (const StoredFont& f : fonts) {
        w.u16le(uint16_t(f.name_reference));
        font_stored_write(f.desc, out);
    }
    size_t fonts_length = out.size() - fonts_at;
    write_names(w, names, form);
    plat::store_u32le(out.data() + 6, uint32_t(fonts_at));
    plat::store_u32le(out.data() + 14, uint32_t(fonts_length));
    return out;
}
