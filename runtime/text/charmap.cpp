#include "runtime/text/charmap.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/base/str.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/text/fontrec.h"

struct CharsetMap {
    uint8_t mac_to_win[256];
    uint8_t win_to_mac[256];
    uint32_t state = 0;
    uint32_t flags = kCharmapDefaultFlags;
};

namespace {

enum : uint32_t {
    kStateTables = 0x01,
    kStateChanged = 0x02,
};

constexpr uint16_t kPropTranslationFlags = 62;
constexpr size_t kTableSize = 256;
constexpr uint32_t kLowFlagBits = 0x07; // never set

std::unique_ptr<CharsetMap> s_map;

} // namespace

static void make_identity(uint8_t* table)
{
    for (size_t i = 0; i < kTableSize; i++)
        table[i] = uint8_t(i);
}

static uint8_t* table_for(CharsetMap* map, int from, int to)
{
    if (!map)
        return nullptr;
    if (from == 2 && to == 1)
        return map->mac_to_win;
    if (from == 1 && to == 2)
        return map->win_to_mac;
    return nullptr;
}

const uint8_t* str_charmap_table(const CharsetMap* map, int from, int to)
{
    return table_for(const_cast<CharsetMap*>(map), from, to);
}

// The node store's title services while the map exists.
static int titles_translated() { return str_charmap_maps_titles(s_map.get()); }
static void title_to_windows(char* text, size_t length) { str_charmap_translate_n(s_map.get(), text, length, 2, 1); }

static void lend_title_services(bool on)
{
    NodeServices services = node_services();
    services.titles_translated = on ? titles_translated : nullptr;
    services.title_to_windows = on ? title_to_windows : nullptr;
    node_set_services(&services);
}

static uint32_t default_flags() { return str_settings().double_byte ? 0u : uint32_t(kCharmapDefaultFlags); }

int str_charmap_init()
{
    s_map.reset(new (std::nothrow) CharsetMap);
    if (!s_map)
        return 8;
    make_identity(s_map->mac_to_win);
    make_identity(s_map->win_to_mac);
    s_map->state = kStateTables;
    s_map->flags = default_flags();
    lend_title_services(true);
    return 0;
}

int str_charmap_term()
{
    if (s_map)
        lend_title_services(false);
    s_map.reset();
    return 0;
}

CharsetMap* str_charmap() { return s_map.get(); }

int str_charmap_reset(CharsetMap* map)
{
    if (!map || !(map->state & kStateTables))
        return 8;
    if (map->state & kStateChanged) {
        make_identity(map->mac_to_win);
        make_identity(map->win_to_mac);
        map->state &= ~kStateChanged;
    }
    return 0;
}

static uint32_t piece_flags()
{
    IconId top = piece_top_icon();
    uint16_t length = 0;
    const uint8_t* value = top ? node_lock_prop(top, kPropTranslationFlags, &length) : nullptr;
    if (!value)
        return default_flags();
    uint32_t flags = length == 4 ? plat::load_u32le(value) & ~kLowFlagBits : default_flags();
    node_unlock_prop(top, kPropTranslationFlags, 0, value);
    return flags;
}

// Only bytes 128-255 of a stored table are used; a field of another size is no table.
static void load_table(uint8_t* table, bool was_changed, int slot, uint16_t tag)
{
    if (was_changed)
        make_identity(table);
    std::vector<uint8_t> field;
    if (fontrec_field(slot, tag, field) && field.size() == kTableSize)
        std::memcpy(table + 128, field.data() + 128, 128);
}

int str_charmap_load_for_file(CharsetMap* map, int slot)
{
    if (!map)
        return 0;
    map->flags = piece_flags();
    bool was_changed = map->state & kStateChanged;
    load_table(map->mac_to_win, was_changed, slot, kCharmapFieldMacToWin);
    load_table(map->win_to_mac, was_changed, slot, kCharmapFieldWinToMac);
    map->state |= kStateChanged;
    return 0;
}

// One line "code => code"; the line's end is consumed. Lines that do not fit are ignored.
static void read_pair_line(uint8_t* table, FontTokenizer& tokenizer)
{
    uint32_t source = tokenizer.number;
    int token = font_tok_next(tokenizer);
    bool ok = token == kFontTokArrow && (token = font_tok_next(tokenizer)) == kFontTokNumber;
    uint32_t target = tokenizer.number;
    // Codes past one byte would index past the table.
    if (ok && table && source >= 0x80 && source <= 0xFF && target <= 0xFF)
        table[source] = uint8_t(target);
    if (ok)
        token = font_tok_next(tokenizer);
    if (token != kFontTokLineEnd && token != kFontTokEnd)
        token = font_tok_skip_line(tokenizer);
    if (token == kFontTokEnd)
        font_tok_give_back(tokenizer, token);
}

// section -> platform NEWLINE { number '=>' number NEWLINE }
// Blank and comment lines inside the section are skipped; any other line ends it and is left
// for the font map's reader.
int str_charmap_parse_section(CharsetMap* map, FontTokenizer& tokenizer, int from_platform, int* done)
{
    *done = 0;
    int token = font_tok_next(tokenizer);
    int to_platform = font_platform_from_token(token);
    uint8_t* table = to_platform != from_platform ? table_for(map, from_platform, to_platform) : nullptr;
    if (token != kFontTokLineEnd && token != kFontTokEnd)
        token = font_tok_skip_line(tokenizer);
    if (token == kFontTokEnd) {
        *done = 1;
        return 0;
    }
    if (map)
        map->state |= kStateChanged;
    for (;;) {
        token = font_tok_next(tokenizer);
        if (token == kFontTokEnd) {
            *done = 1;
            return 0;
        }
        if (token == kFontTokLineEnd)
            continue;
        if (token != kFontTokNumber) {
            font_tok_give_back(tokenizer, token);
            return 0;
        }
        read_pair_line(table, tokenizer);
    }
}

uint32_t str_charmap_flags(const CharsetMap* map) { return map ? map->flags : 0; }
int str_charmap_maps_titles(const CharsetMap* map) { return (str_charmap_flags(map) & kCharmapTitles) != 0; }
int str_charmap_maps_literals(const CharsetMap* map) { return (str_charmap_flags(map) & kCharmapLiterals) != 0; }
int str_charmap_maps_values(const CharsetMap* map) { return (str_charmap_flags(map) & kCharmapValues) != 0; }
int str_charmap_maps_index(const CharsetMap* map) { return (str_charmap_flags(map) & kCharmapIndex) != 0; }

// Bytes of the character at p within the length: a lead byte and its trail byte go together.
static size_t char_bytes(const char* p, size_t left)
{
    if (left < 2 || static_cast<unsigned char>(p[0]) < 0x80)
        return 1;
    char pair[3] = {p[0], p[1], 0};
    return str_is_single_byte(pair) ? 1 : 2;
}

char* str_charmap_translate_n(const CharsetMap* map, char* bytes, size_t length, int from, int to)
{
    const uint8_t* table = str_charmap_table(map, from, to);
    if (!table || !bytes)
        return nullptr;
    for (size_t i = 0; i < length;) {
        size_t step = char_bytes(bytes + i, length - i);
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (step == 1 && c >= 0x80)
            bytes[i] = char(table[c]);
        i += step;
    }
    return bytes;
}

char* str_charmap_translate(const CharsetMap* map, char* text, int from, int to)
{
    if (!text)
        return nullptr;
    return str_charmap_translate_n(map, text, std::strlen(text), from, to);
}

void str_charmap_translate_pool(const CharsetMap* map, StringPool& pool, uint32_t offset, int from, int to)
{
    if (!strpool_is_valid(pool) || offset >= strpool_used(pool))
        return;
    uint8_t* bytes = strpool_lock(pool);
    if (!bytes)
        return;
    char* text = reinterpret_cast<char*>(bytes + offset);
    size_t limit = strpool_used(pool) - offset;
    size_t length = strnlen(text, limit);
    str_charmap_translate_n(map, text, length, from, to);
    strpool_unlock(pool);
}

int str_charmap_has_high_chars_n(const CharsetMap*, const char* bytes, size_t length)
{
    if (!bytes)
        return 0;
    for (size_t i = 0; i < length;) {
        size_t step = char_bytes(bytes + i, length - i);
        if (step == 1 && static_cast<unsigned char>(bytes[i]) >= 0x80)
            return 1;
        i += step;
    }
    return 0;
}

int str_charmap_has_high_chars(const CharsetMap* map, const char* text)
{
    return text ? str_charmap_has_high_chars_n(map, text, std::strlen(text)) : 0;
}
