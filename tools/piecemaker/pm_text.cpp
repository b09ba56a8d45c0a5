#include "tools/piecemaker/pm_text.h"

#include "runtime/display/pig_swap.h"

#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/display/fontmap.h"
#include "runtime/display/text_style_record.h"
#include "runtime/store/swap.h"
#include "runtime/text/fontrec.h"

namespace {

struct StyleField {
    const char* word;
    void (*set)(TextStyle& s, int64_t value);
};

// The words of the style statement and the field each sets.
const StyleField kStyleFields[] = {
    {"mask", [](TextStyle& s, int64_t v) { s.mask = uint32_t(v); }},
    {"color", [](TextStyle& s, int64_t v) { s.color = uint32_t(v); }},
    {"format", [](TextStyle& s, int64_t v) { s.number_format = uint32_t(v); }},
    {"slot-flags", [](TextStyle& s, int64_t v) { s.slot_flags = uint16_t(v); }},
    {"owner", [](TextStyle& s, int64_t v) { s.owner = uint16_t(v); }},
    {"hot", [](TextStyle& s, int64_t v) { s.hot_trigger = uint8_t(v); }},
    {"bits", [](TextStyle& s, int64_t v) { s.style_bits = uint16_t(v); }},
    {"align", [](TextStyle& s, int64_t v) { s.alignment = int16_t(v); }},
    {"first", [](TextStyle& s, int64_t v) { s.first_indent = int16_t(v); }},
    {"left", [](TextStyle& s, int64_t v) { s.left_indent = int16_t(v); }},
    {"right", [](TextStyle& s, int64_t v) { s.right_indent = int16_t(v); }},
    {"cursor", [](TextStyle& s, int64_t v) { s.cursor = int16_t(v); }},
    {"link", [](TextStyle& s, int64_t v) { s.link = uint16_t(v); }},
    {"font-name", [](TextStyle& s, int64_t v) { s.font_name = uint16_t(v); }},
    {"font", [](TextStyle& s, int64_t v) { s.font = uint16_t(v); }},
    {"kept", [](TextStyle& s, int64_t v) { s.kept_word = int16_t(v); }},
};

int swap_styles(uint16_t, uint8_t* data, size_t length, int to_native) { return text_styles_swap(data, length, to_native); }

} // namespace

bool pm_text_style_field_known(const std::string& word)
{
    for (const StyleField& f : kStyleFields)
        if (word == f.word)
            return true;
    return false;
}

void pm_text_lend_converters()
{
    swap_set_hook(kSwapHookTextStyles, swap_styles);
    swap_set_hook(kSwapHookFont, font_swap_resource);
    pig_swap_lend_converter();
}

static void copy_name(char* out, const std::string& name)
{
    std::memset(out, 0, 32);
    std::memcpy(out, name.data(), std::min<size_t>(name.size(), 32));
}

static std::vector<uint8_t> styles_bytes(const PieceStyles& described)
{
    std::vector<StoredStyle> styles;
    for (const PieceStyles::Style& d : described.styles) {
        StoredStyle stored;
        stored.number = d.number;
        stored.tabs = d.tabs;
        for (const auto& [word, value] : d.fields)
            for (const StyleField& f : kStyleFields)
                if (word == f.word)
                    f.set(stored.style, value);
        styles.push_back(std::move(stored));
    }
    std::vector<StoredFont> fonts;
    for (const PieceStyles::Font& d : described.fonts) {
        StoredFont font;
        font.name_reference = d.name_reference;
        font.desc.flags = d.flags;
        font.desc.style = d.style;
        font.desc.point_size = d.points;
        font.desc.p2_point_size = d.points;
        font.desc.pixel_height = int16_t(-font_points_to_pixels(d.points));
        fonts.push_back(font);
    }
    std::vector<StoredFontName> names;
    for (const PieceStyles::Name& d : described.names) {
        StoredFontName name;
        copy_name(name.platform2, d.platform2);
        copy_name(name.platform1, d.platform1);
        name.flags = d.flags;
        names.push_back(name);
    }
    return text_styles_write(styles, fonts, names, described.long_names ? NamesForm::long_form : NamesForm::short_form,
        described.flags, described.default_style);
}

// A tagged list {u16 tag, u16 length, data padded to even} ended by tag 0.
static std::vector<uint8_t> font_map_bytes(const PieceFontMap& described)
{
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> fields;
    if (!described.text.empty()) {
        FontMap* map = font_map_new();
        font_map_merge_text(map, described.text.data(), described.text.size());
        font_map_write_fields(map, fields);
        font_map_free(map);
    }
    for (const PieceFontMap::Field& given : described.fields) {
        std::erase_if(fields, [&](const auto& f) { return f.first == given.tag; });
        fields.emplace_back(given.tag, given.data);
    }
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    for (const auto& [tag, data] : fields) {
        w.u16le(tag);
        w.u16le(uint16_t(data.size()));
        w.bytes(data.data(), data.size());
        if (data.size() % 2)
            w.u8(0);
    }
    w.u16le(0);
    return out;
}

static bool add_record(PieceDescription& piece, uint32_t number, int type, uint16_t scheme, bool foreign, int line,
    std::vector<uint8_t> bytes, std::string& error)
{
    for (const PieceRecord& r : piece.records)
        if (r.number == number) {
            error = "line " + std::to_string(line) + ": record " + std::to_string(number) + " is given twice";
            return false;
        }
    PieceRecord record;
    record.number = number;
    record.type = type;
    record.scheme = scheme;
    record.foreign = foreign;
    record.line = line;
    record.bytes = std::move(bytes);
    piece.records.push_back(std::move(record));
    return true;
}

bool pm_text_build(PieceDescription& piece, std::string& error)
{
    pm_text_lend_converters();
    const PieceStyles& styles = piece.styles;
    if (styles.record) {
        if (!add_record(piece, styles.record, 25, styles.scheme, styles.foreign, styles.line, styles_bytes(styles), error))
            return false;
        piece.nodes.words.push_back({kStyleRecordDirWord, uint16_t(styles.record)});
    }
    const PieceFontMap& map = piece.font_map;
    if (map.record) {
        if (!add_record(piece, map.record, 40, map.scheme, map.foreign, map.line, font_map_bytes(map), error))
            return false;
        piece.nodes.words.push_back({kFontMapDirWord, uint16_t(map.record)});
    }
    return true;
}
