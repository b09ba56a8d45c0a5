#include "runtime/display/fontmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/kernel/byte_io.h"
#include "platform/text/font_match.h"
#include "runtime/base/errcode.h"
#include "runtime/display/font.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/swap.h"
#include "runtime/text/charmap.h"
#include "runtime/text/font_tok.h"
#include "runtime/text/fontrec.h"

struct FontMap {
    // The pool's stored form: {u32 0, u32 used length, NUL-terminated names}; names are named
    // by their offset in it.
    std::vector<uint8_t> pool;
    std::vector<int32_t> index; // pool offsets, sorted by the names' bytes
    std::vector<FontMapEntry> entries[2]; // [0] 2 -> 1, [1] 1 -> 2
    uint32_t flags = 0;
};

namespace {

enum : uint32_t {
    kMapReady = 0x01,
    kMapLoaded = 0x04,
    kMapFilled = 0x08,
};

constexpr size_t kPoolHeader = 8;
constexpr size_t kEntrySize = 16;
constexpr const char* kTextFileName = "FONTMAP.TXT";

FontMap* s_map = nullptr;

} // namespace

static void clear_tables(FontMap* map)
{
    map->pool.assign(kPoolHeader, 0);
    plat::store_u32le(map->pool.data() + 4, uint32_t(kPoolHeader));
    map->index.clear();
    map->entries[0].clear();
    map->entries[1].clear();
}

FontMap* font_map_new()
{
    FontMap* map = new (std::nothrow) FontMap;
    if (!map)
        return nullptr;
    clear_tables(map);
    map->flags = kMapReady;
    return map;
}

void font_map_free(FontMap* map) { delete map; }

// The platform-1 size of a platform-2 font, for descriptions measured without a pixel height.
static int32_t mapped_platform1_size(const char* platform2_name, int32_t size)
{
    char name[kFontFaceSize] = {};
    int32_t out_size = size;
    int translate = 1;
    fontmap_map_font(s_map, name, sizeof name, &out_size, &translate, 1, platform2_name, size, 2);
    return out_size;
}

static int reset_hook() { return font_map_reset(s_map); }
static int load_hook(int slot) { return font_map_load(s_map, slot); }

static void lend_piece_hooks(bool on)
{
    PieceHooks hooks = piece_hooks();
    hooks.font_map_reset = on ? reset_hook : nullptr;
    hooks.font_map_load = on ? load_hook : nullptr;
    piece_set_hooks(&hooks);
}

int font_map_create()
{
    font_map_destroy();
    s_map = font_map_new();
    if (!s_map)
        return 8;
    font_set_map_size_hook(mapped_platform1_size);
    swap_set_hook(kSwapHookFont, font_swap_resource);
    lend_piece_hooks(true);
    return 0;
}

void font_map_destroy()
{
    if (!s_map)
        return;
    lend_piece_hooks(false);
    swap_set_hook(kSwapHookFont, nullptr);
    font_set_map_size_hook(nullptr);
    font_map_free(s_map);
    s_map = nullptr;
}

FontMap* font_map() { return s_map; }

int font_map_reset(FontMap* map)
{
    if (!map)
        return 8;
    if (map->flags & kMapFilled)
        clear_tables(map);
    map->flags &= ~(kMapLoaded | kMapFilled);
    return str_charmap_reset(str_charmap());
}

// --- names ----------------------------------------------------------------------------------

const char* font_map_name(const FontMap* map, int32_t offset)
{
    if (!map || offset < int32_t(kPoolHeader) || size_t(offset) >= map->pool.size())
        return "";
    return reinterpret_cast<const char*>(map->pool.data() + offset);
}

static bool name_less(const FontMap* map, int32_t offset, const char* name)
{
    return std::strcmp(font_map_name(map, offset), name) < 0;
}

// The name's pool offset, or -1 (names compare byte for byte).
static int32_t find_name(const FontMap* map, const char* name)
{
    auto it = std::lower_bound(map->index.begin(), map->index.end(), name,
        [map](int32_t offset, const char* key) { return name_less(map, offset, key); });
    if (it != map->index.end() && std::strcmp(font_map_name(map, *it), name) == 0)
        return *it;
    return -1;
}

static int32_t add_name(FontMap* map, const std::string& name)
{
    int32_t found = find_name(map, name.c_str());
    if (found >= 0)
        return found;
    int32_t offset = int32_t(map->pool.size());
    map->pool.insert(map->pool.end(), name.begin(), name.end());
    map->pool.push_back(0);
    plat::store_u32le(map->pool.data() + 4, uint32_t(map->pool.size()));
    auto it = std::lower_bound(map->index.begin(), map->index.end(), name.c_str(),
        [map](int32_t at, const char* key) { return name_less(map, at, key); });
    map->index.insert(it, offset);
    return offset;
}

// --- entries --------------------------------------------------------------------------------

static int direction_of(int source_platform, int target_platform)
{
    if (source_platform == 2 && target_platform == 1)
        return 0;
    if (source_platform == 1 && target_platform == 2)
        return 1;
    return -1;
}

static bool has_pair(const std::vector<FontMapEntry>& entries, int32_t source, int32_t target)
{
    for (const FontMapEntry& e : entries)
        if (e.source == source && e.target == target)
            return true;
    return false;
}

// Entries of a source stay together; a target's entries follow each other by source size.
static void add_entry(std::vector<FontMapEntry>& entries, const FontMapEntry& entry)
{
    size_t at = entries.size();
    bool seen_source = false;
    for (size_t i = 0; i < entries.size(); i++) {
        FontMapEntry& e = entries[i];
        if (e.source == entry.source && e.target == entry.target && e.source_size == entry.source_size) {
            e.target_size = entry.target_size;
            e.flags = (e.flags & ~kFontMapNoTranslate) | (entry.flags & kFontMapNoTranslate);
            return;
        }
        if (e.source == entry.source) {
            seen_source = true;
            at = i + 1;
            if (e.target == entry.target && e.source_size > entry.source_size) {
                at = i;
                break;
            }
        } else if (seen_source) {
            break;
        }
    }
    entries.insert(entries.begin() + ptrdiff_t(at), entry);
}

static void clear_run_time_bits(FontMap* map)
{
    for (auto& table : map->entries)
        for (FontMapEntry& e : table)
            e.flags &= ~kFontMapRunTimeBits;
}

size_t font_map_entry_count(const FontMap* map, int direction)
{
    return map && (direction == 0 || direction == 1) ? map->entries[direction].size() : 0;
}

FontMapEntry font_map_entry(const FontMap* map, int direction, size_t index)
{
    if (index >= font_map_entry_count(map, direction))
        return {};
    return map->entries[direction][index];
}

// --- FONTMAP.TXT ----------------------------------------------------------------------------

static bool line_over(int token) { return token == kFontTokLineEnd || token == kFontTokEnd; }

// The rest of a malformed or finished line.
static int finish_line(FontTokenizer& tok, int token)
{
    if (line_over(token))
        return token;
    return font_tok_skip_line(tok);
}

// font-line -> source '=>' platform ':' target [ 'Map' ('All' | 'None') ] { number '=>' number }
// Returns the token that ended the line.
static int parse_font_line(FontMap* map, FontTokenizer& tok, int source_platform, int first)
{
    std::string source_name = first == kFontTokName ? tok.word : std::string();
    if (first == kFontTokName && source_name.empty())
        return finish_line(tok, font_tok_next(tok));
    int token = font_tok_next(tok);
    if (token != kFontTokArrow)
        return finish_line(tok, token);
    token = font_tok_next(tok);
    int direction = direction_of(source_platform, font_platform_from_token(token));
    if (direction < 0)
        return finish_line(tok, token);
    if ((token = font_tok_next(tok)) != kFontTokColon)
        return finish_line(tok, token);
    if ((token = font_tok_next(tok)) != kFontTokName || tok.word.empty())
        return finish_line(tok, token);
    std::string target_name = tok.word;
    uint32_t flags = kFontMapAlways;
    token = font_tok_next(tok);
    if (token == kFontTokMap) {
        token = font_tok_next(tok);
        if (token != kFontTokAll && token != kFontTokNone)
            return finish_line(tok, token);
        if (token == kFontTokNone)
            flags |= kFontMapNoTranslate;
        token = font_tok_next(tok);
    }
    std::vector<FontMapEntry>& entries = map->entries[direction];
    int32_t source = first == kFontTokDefault ? kFontMapDefaultSource : add_name(map, source_name);
    int32_t target = add_name(map, target_name);
    if (has_pair(entries, source, target))
        return finish_line(tok, token);
    add_entry(entries, FontMapEntry {source, target, 0, 0, flags});
    while (token == kFontTokNumber) {
        uint32_t from = tok.number;
        if ((token = font_tok_next(tok)) != kFontTokArrow || (token = font_tok_next(tok)) != kFontTokNumber)
            return finish_line(tok, token);
        uint32_t to = tok.number;
        int16_t from_size = int16_t(std::min<uint32_t>(from, INT16_MAX));
        int16_t to_size = int16_t(std::min<uint32_t>(to, INT16_MAX));
        add_entry(entries, FontMapEntry {source, target, from_size, to_size, flags});
        token = font_tok_next(tok);
    }
    return finish_line(tok, token);
}

// line -> { token } platform ':' ( '=>' section | font-line )
static void parse_text(FontMap* map, FontTokenizer& tok)
{
    for (;;) {
        int token = font_tok_next(tok);
        if (token == kFontTokEnd)
            return;
        int platform = font_platform_from_token(token);
        if (!platform)
            continue;
        token = font_tok_next(tok);
        if (token != kFontTokColon) {
            if (finish_line(tok, token) == kFontTokEnd)
                return;
            continue;
        }
        token = font_tok_next(tok);
        if (token == kFontTokArrow) {
            int done = 0;
            str_charmap_parse_section(str_charmap(), tok, platform, &done);
            if (done)
                return;
        } else if (token == kFontTokName || token == kFontTokDefault) {
            if (parse_font_line(map, tok, platform, token) == kFontTokEnd)
                return;
        } else if (finish_line(tok, token) == kFontTokEnd) {
            return;
        }
    }
}

// The text file's entries replace the record's for the same source and target.
static int merge_parsed(FontMap* map, FontTokenizer& tok)
{
    std::vector<FontMapEntry> kept[2] = {std::move(map->entries[0]), std::move(map->entries[1])};
    map->entries[0].clear();
    map->entries[1].clear();
    parse_text(map, tok);
    for (int direction = 0; direction < 2; direction++)
        for (const FontMapEntry& e : kept[direction])
            if (!has_pair(map->entries[direction], e.source, e.target))
                add_entry(map->entries[direction], e);
    clear_run_time_bits(map);
    map->flags |= kMapFilled;
    return 0;
}

int font_map_merge_text(FontMap* map, const char* text, size_t length)
{
    if (!map)
        return 8;
    FontTokenizer tok;
    font_tok_set_text(tok, text, length);
    return merge_parsed(map, tok);
}

// --- the stored map -------------------------------------------------------------------------

static bool valid_name_offset(const FontMap* map, int32_t offset)
{
    if (offset < int32_t(kPoolHeader) || size_t(offset) >= map->pool.size())
        return false;
    return std::memchr(map->pool.data() + offset, 0, map->pool.size() - size_t(offset)) != nullptr;
}

static int load_pool(FontMap* map, const FontMapField& field)
{
    if (!field.data)
        return 0;
    if (field.length < kPoolHeader)
        return kErrFileDamaged;
    uint32_t used = plat::load_u32le(field.data + 4);
    if (used < kPoolHeader || used > field.length)
        return kErrFileDamaged;
    map->pool.assign(field.data, field.data + used);
    plat::store_u32le(map->pool.data(), 0);
    return 0;
}

static int load_index(FontMap* map, const FontMapField& field, uint32_t count)
{
    if (count == 0)
        return 0;
    if (!field.data || count > field.length / 4)
        return kErrFileDamaged;
    for (uint32_t i = 0; i < count; i++) {
        int32_t offset = int32_t(plat::load_u32le(field.data + 4 * i));
        if (!valid_name_offset(map, offset))
            return kErrFileDamaged;
        map->index.push_back(offset);
    }
    // Lookups search the index: a stored one out of order would hide names.
    std::sort(map->index.begin(), map->index.end(),
        [map](int32_t a, int32_t b) { return std::strcmp(font_map_name(map, a), font_map_name(map, b)) < 0; });
    return 0;
}

static int load_entries(FontMap* map, std::vector<FontMapEntry>& entries, const FontMapField& field, uint32_t count)
{
    if (count == 0)
        return 0;
    if (!field.data || count > field.length / kEntrySize)
        return kErrFileDamaged;
    plat::ByteReader r(field.data, field.length);
    for (uint32_t i = 0; i < count; i++) {
        FontMapEntry e;
        e.source = r.i32le();
        e.target = r.i32le();
        e.source_size = r.i16le();
        e.target_size = r.i16le();
        e.flags = r.u32le();
        if ((e.source != kFontMapDefaultSource && !valid_name_offset(map, e.source)) || !valid_name_offset(map, e.target))
            return kErrFileDamaged;
        entries.push_back(e);
    }
    return 0;
}

// Header: {i32, i32 names, i32 entries 2 -> 1, i32 entries 1 -> 2}, or 32 bytes with four
// reserved words before the two counts.
static int read_counts(const FontMapField& header, uint32_t counts[3])
{
    if (!header.data || (header.length != 16 && header.length != 32))
        return kErrFileDamaged;
    size_t entries_at = header.length == 16 ? 8 : 24;
    counts[0] = plat::load_u32le(header.data + 4);
    counts[1] = plat::load_u32le(header.data + entries_at);
    counts[2] = plat::load_u32le(header.data + entries_at + 4);
    return 0;
}

int font_map_load_fields(FontMap* map, const FontMapField& header, const FontMapField& pool, const FontMapField& index,
    const FontMapField& to_win, const FontMapField& to_mac)
{
    clear_tables(map);
    uint32_t counts[3] = {};
    int result = read_counts(header, counts);
    if (result == 0)
        result = load_pool(map, pool);
    if (result == 0)
        result = load_index(map, index, counts[0]);
    if (result == 0)
        result = load_entries(map, map->entries[0], to_win, counts[1]);
    if (result == 0)
        result = load_entries(map, map->entries[1], to_mac, counts[2]);
    if (result != 0) {
        clear_tables(map);
        return result;
    }
    clear_run_time_bits(map);
    map->flags |= kMapFilled;
    return 0;
}

static FontMapField field_of(const std::vector<uint8_t>& bytes, bool present)
{
    return present ? FontMapField {bytes.data(), bytes.size()} : FontMapField {};
}

static int load_record(FontMap* map, int slot)
{
    std::vector<uint8_t> bytes[5];
    const uint16_t tags[5] = {kFontMapFieldHeader, kFontMapFieldPool, kFontMapFieldIndex, kFontMapFieldToWin,
        kFontMapFieldToMac};
    bool present[5];
    for (int i = 0; i < 5; i++)
        present[i] = fontrec_field(slot, tags[i], bytes[i]);
    return font_map_load_fields(map, field_of(bytes[0], present[0]), field_of(bytes[1], present[1]),
        field_of(bytes[2], present[2]), field_of(bytes[3], present[3]), field_of(bytes[4], present[4]));
}

int font_map_load(FontMap* map, int slot)
{
    if (!map)
        return 8;
    if (map->flags & kMapLoaded)
        return 0;
    char folder[260] = {};
    int result = piece_folder(folder, int(sizeof folder));
    if (result != 0)
        return result;
    std::vector<uint8_t> header;
    if (fontrec_field(slot, kFontMapFieldHeader, header)) {
        result = load_record(map, slot);
        map->flags |= kMapLoaded;
        if (result != 0)
            return result;
    } else {
        font_map_reset(map);
    }
    str_charmap_load_for_file(str_charmap(), slot);
    FontTokenizer tok;
    std::string path = std::string(folder) + kTextFileName;
    if (font_tok_open(tok, path.c_str()) == 0)
        result = merge_parsed(map, tok);
    map->flags |= kMapLoaded;
    return result;
}

// --- lookups --------------------------------------------------------------------------------

static bool target_exists(const FontMap* map, const FontMapEntry& e, int target_platform)
{
    return target_platform == 1 && plat::font_face_exists(font_map_name(map, e.target));
}

static void apply(const FontMap* map, const std::vector<FontMapEntry>& entries, const FontMapEntry& e, char* name,
    size_t name_size, int32_t* size, int* translate)
{
    if (name && name_size > 0) {
        std::strncpy(name, font_map_name(map, e.target), name_size - 1);
        name[name_size - 1] = 0;
    }
    *translate = (e.flags & kFontMapNoTranslate) ? 0 : 1;
    if (*size == 0)
        return;
    for (const FontMapEntry& other : entries)
        if (other.source == e.source && other.target == e.target && other.source_size == *size) {
            *size = other.target_size;
            return;
        }
}

// The first chosen entry of the source, checking each entry's target once; -1 when none.
static ptrdiff_t chosen_entry(const FontMap* map, std::vector<FontMapEntry>& entries, int32_t source, int target_platform)
{
    for (size_t i = 0; i < entries.size(); i++) {
        FontMapEntry& e = entries[i];
        if (e.source != source)
            continue;
        if (!(e.flags & kFontMapChecked)) {
            e.flags |= kFontMapChecked;
            if (target_exists(map, e, target_platform))
                e.flags |= kFontMapExists | kFontMapChosen;
        }
        if (e.flags & kFontMapChosen)
            return ptrdiff_t(i);
    }
    return -1;
}

int fontmap_map_font(FontMap* map, char* name, size_t name_size, int32_t* size, int* translate, int target_platform,
    const char* source_name, int32_t source_size, int source_platform)
{
    int32_t out_size = source_size;
    int unused_translate = 1;
    int* translate_out = translate ? translate : &unused_translate;
    int result = kFontMapUnchanged;
    int direction = direction_of(source_platform, target_platform);
    if (map && source_name && direction >= 0) {
        std::vector<FontMapEntry>& entries = map->entries[direction];
        int32_t source = find_name(map, source_name);
        ptrdiff_t at = source >= 0 ? chosen_entry(map, entries, source, target_platform) : -1;
        if (at >= 0) {
            result = (entries[size_t(at)].flags & kFontMapExists) ? kFontMapExisting : kFontMapMissing;
        } else if ((at = chosen_entry(map, entries, kFontMapDefaultSource, target_platform)) >= 0) {
            result = kFontMapDefault;
        } else if (source >= 0) {
            for (size_t i = 0; i < entries.size() && at < 0; i++)
                if (entries[i].source == source)
                    at = ptrdiff_t(i);
            if (at >= 0) {
                entries[size_t(at)].flags |= kFontMapChosen;
                result = kFontMapMissing;
            }
        }
        if (at >= 0)
            apply(map, entries, entries[size_t(at)], name, name_size, &out_size, translate_out);
    }
    if (result == kFontMapUnchanged && name && name_size > 0 && source_name && name != source_name) {
        std::strncpy(name, source_name, name_size - 1);
        name[name_size - 1] = 0;
    }
    if (size)
        *size = out_size;
    return result;
}

// --- stored form ----------------------------------------------------------------------------

int font_swap_resource(uint16_t tag, uint8_t* data, size_t length, int to_native)
{
    SwapScope scope(to_native);
    if (tag == kFontMapFieldHeader) {
        if (length != 16 && length != 32)
            return kErrFileDamaged;
        swap_longs(data, 2);
        swap_longs(data + (length == 16 ? 8 : 24), 2);
        return 0;
    }
    if (tag == kFontMapFieldPool) {
        if (length < kPoolHeader)
            return kErrFileDamaged;
        swap_longs(data, 2);
        return 0;
    }
    if (tag == kFontMapFieldIndex) {
        swap_longs(data, length / 4);
        return 0;
    }
    if (tag >= 100 && tag <= 199) {
        if (length % kEntrySize != 0)
            return kErrFileDamaged;
        for (size_t at = 0; at < length; at += kEntrySize) {
            swap_longs(data + at, 2);
            swap_short(data + at + 8);
            swap_short(data + at + 10);
            if (!to_native)
                plat::store_u32le(data + at + 12, plat::load_u32le(data + at + 12) & ~kFontMapRunTimeBits);
            swap_long(data + at + 12);
            if (to_native)
                plat::store_u32le(data + at + 12, plat::load_u32le(data + at + 12) & ~kFontMapRunTimeBits);
        }
        return 0;
    }
    return 0;
}

void font_map_write_fields(const FontMap* map, std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& out)
{
    std::vector<uint8_t> header;
    plat::ByteWriter h(header);
    h.u32le(0);
    h.u32le(uint32_t(map->index.size()));
    h.u32le(uint32_t(map->entries[0].size()));
    h.u32le(uint32_t(map->entries[1].size()));
    out.emplace_back(kFontMapFieldHeader, header);
    out.emplace_back(kFontMapFieldPool, map->pool);
    std::vector<uint8_t> index;
    plat::ByteWriter ix(index);
    for (int32_t offset : map->index)
        ix.u32le(uint32_t(offset));
    out.emplace_back(kFontMapFieldIndex, index);
    for (int direction = 0; direction < 2; direction++) {
        std::vector<uint8_t> entries;
        plat::ByteWriter w(entries);
        for (const FontMapEntry& e : map->entries[direction]) {
            w.u32le(uint32_t(e.source));
            w.u32le(uint32_t(e.target));
            w.u16le(uint16_t(e.source_size));
            w.u16le(uint16_t(e.target_size));
            w.u32le(e.flags & ~kFontMapRunTimeBits);
        }
        out.emplace_back(direction == 0 ? kFontMapFieldToWin : kFontMapFieldToMac, entries);
    }
}
