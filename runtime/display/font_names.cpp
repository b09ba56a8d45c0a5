#include "runtime/display/font_names.h"

#include <cstring>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/hash.h"
#include "runtime/base/str.h"
#include "runtime/display/font_stored.h"
#include "runtime/display/fontmap.h"

namespace {

struct FontName {
    char names[2][kFontFaceSize] = {}; // [0] platform 1, [1] platform 2
    uint32_t hashes[2] = {};
    uint16_t flags = 0;
};

struct FontEntry {
    FontDesc desc;
    int name_index = 0;
};

struct FontTables {
    std::vector<FontName> names;
    std::vector<FontEntry> fonts;
};

FontTables s_tables;

constexpr size_t kLongNamesHeader = 128;
constexpr size_t kLongNameEntry = 128;
constexpr size_t kShortNamesHeader = 4;
constexpr size_t kShortNameEntry = 64;
constexpr size_t kFontsHeader = 4;

} // namespace

static int side(int platform) { return platform == 2 ? 1 : 0; }

static FontName* name_entry(int index)
{
    if (index < 1 || size_t(index) > s_tables.names.size())
        return nullptr;
    return &s_tables.names[size_t(index) - 1];
}

// Names are kept as 31 bytes and a NUL: a stored 32-byte name may lack its end.
static void put_name(FontName& entry, int platform, const char* name)
{
    char* slot = entry.names[side(platform)];
    std::memset(slot, 0, kFontFaceSize);
    str_copy_bounded(slot, name ? name : "", int(kFontFaceSize));
    entry.hashes[side(platform)] = hash_string_nocase(slot);
}

int font_name_add(int platform, const char* name)
{
    FontName entry;
    entry.flags = platform == 2 ? kFontNameFromPlatform2 : kFontNameFromPlatform1;
    put_name(entry, platform, name);
    s_tables.names.push_back(entry);
    return int(s_tables.names.size());
}

void font_name_set(int index, int platform, const char* name, uint16_t flags)
{
    FontName* entry = name_entry(index);
    if (!entry)
        return;
    if (name)
        put_name(*entry, platform, name);
    if (flags)
        entry->flags = flags;
}

// Fills the missing name of a platform through the font map.
static void resolve(FontName& entry, int platform)
{
    char* wanted = entry.names[side(platform)];
    const char* other = entry.names[side(platform == 1 ? 2 : 1)];
    if (wanted[0] || !other[0])
        return;
    char mapped[kFontFaceSize] = {};
    int32_t size = 0;
    int translate = 1;
    fontmap_map_font(font_map(), mapped, sizeof mapped, &size, &translate, platform, other, 0, platform == 1 ? 2 : 1);
    put_name(entry, platform, mapped[0] ? mapped : other);
    entry.flags |= kFontNameFilledIn;
    if (translate)
        entry.flags |= kFontNameTranslated;
    else
        entry.flags &= ~kFontNameTranslated;
}

void font_name_resolve_all()
{
    for (FontName& entry : s_tables.names) {
        resolve(entry, 1);
        resolve(entry, 2);
    }
}

int font_name_find(int platform, const char* name)
{
    font_name_resolve_all();
    const char* key = name ? name : "";
    char bounded[kFontFaceSize] = {};
    str_copy_bounded(bounded, key, int(sizeof bounded));
    uint32_t hash = hash_string_nocase(bounded);
    for (size_t i = 0; i < s_tables.names.size(); i++) {
        const FontName& entry = s_tables.names[i];
        if (entry.hashes[side(platform)] == hash && str_compare_nocase(entry.names[side(platform)], bounded) == 0)
            return int(i + 1);
    }
    return 0;
}

void font_name_get(int index, int platform, char* out, size_t size)
{
    if (size == 0)
        return;
    out[0] = 0;
    FontName* entry = name_entry(index);
    if (!entry)
        return;
    resolve(*entry, platform);
    str_copy_bounded(out, entry->names[side(platform)], int(size));
}

uint16_t font_name_flags(int index)
{
    FontName* entry = name_entry(index);
    if (!entry)
        return 0;
    resolve(*entry, 1);
    return entry->flags;
}

void font_name_set_flags(int index, uint16_t value)
{
    if (FontName* entry = name_entry(index))
        entry->flags = value;
}

int font_name_count() { return int(s_tables.names.size()); }
void font_names_free() { s_tables.names.clear(); }

int font_add(int name_index, const FontDesc* desc)
{
    s_tables.fonts.push_back(FontEntry {*desc, name_index});
    return int(s_tables.fonts.size());
}

static int find_font(int name_index, int32_t size, bool platform2)
{
    for (size_t i = 0; i < s_tables.fonts.size(); i++) {
        const FontEntry& f = s_tables.fonts[i];
        int32_t points = platform2 ? f.desc.p2_point_size : font_desc_point_size(&f.desc);
        if (f.name_index == name_index && points == size)
            return int(i + 1);
    }
    return 0;
}

int font_find_by_size(int name_index, int32_t size) { return find_font(name_index, size, false); }
int font_find_by_platform2_size(int name_index, int32_t size) { return find_font(name_index, size, true); }

FontDesc* text_font_lock(int index)
{
    if (index < 1 || size_t(index) > s_tables.fonts.size())
        return nullptr;
    return &s_tables.fonts[size_t(index) - 1].desc;
}

void text_font_unlock(int) {}

int text_font_name_index(int index)
{
    if (index < 1 || size_t(index) > s_tables.fonts.size())
        return 0;
    return s_tables.fonts[size_t(index) - 1].name_index;
}

int font_count() { return int(s_tables.fonts.size()); }
void fonts_free() { s_tables.fonts.clear(); }

// --- stored blocks --------------------------------------------------------------------------

struct NamesLayout {
    size_t header = 0;
    size_t entry_size = 0;
    uint32_t count = 0;
    bool long_form = false;
};

static bool names_layout(const NamesBlock& names, NamesLayout& out)
{
    plat::ByteReader r(names.data, names.size);
    int16_t first = r.i16le();
    out.long_form = first == -1;
    if (out.long_form) {
        r.i16le(); // flags present: only conversion needs it
        out.count = uint16_t(r.i16le());
        out.entry_size = uint16_t(r.i16le());
        out.header = kLongNamesHeader;
    } else {
        out.count = uint16_t(first);
        out.entry_size = uint16_t(r.i16le());
        out.header = kShortNamesHeader;
    }
    // Reading and conversion both step by the entry size, which must hold an entry.
    size_t minimum = out.long_form ? kLongNameEntry : kShortNameEntry;
    return !r.failed() && out.entry_size >= minimum && names.size >= out.header;
}

static void copy_stored_name(const uint8_t* at, char* out)
{
    std::memset(out, 0, kFontFaceSize);
    std::memcpy(out, at, kFontFaceSize - 1);
}

int font_name_from_stored(const NamesBlock& names, int reference, int* error)
{
    NamesLayout layout;
    if (!names_layout(names, layout) || reference < 1 || uint32_t(reference) > layout.count
        || size_t(reference) > (names.size - layout.header) / layout.entry_size) {
        *error = kErrFileDamaged;
        return 0;
    }
    const uint8_t* at = names.data + layout.header + size_t(reference - 1) * layout.entry_size;
    char platform2[kFontFaceSize], platform1[kFontFaceSize];
    copy_stored_name(at, platform2);
    copy_stored_name(at + kFontFaceSize, platform1);
    uint16_t flags = layout.long_form ? plat::load_u16le(at + 2 * kFontFaceSize) : 0;
    bool by_platform1 = platform1[0] != 0;
    int platform = by_platform1 ? 1 : 2;
    if (!by_platform1)
        flags = kFontNameFromPlatform2;
    const char* name = by_platform1 ? platform1 : platform2;
    const char* other = by_platform1 ? platform2 : platform1;
    int index = font_name_find(platform, name);
    if (index)
        return index;
    index = font_name_add(platform, name);
    font_name_set(index, platform == 1 ? 2 : 1, other[0] ? other : nullptr, flags);
    return index;
}

// The entry's bytes, or null with *error set.
static const uint8_t* fonts_entry(const FontsBlock& fonts, int reference, size_t* entry_size, int* error)
{
    plat::ByteReader r(fonts.data, fonts.size);
    uint32_t count = uint16_t(r.i16le());
    size_t size = uint16_t(r.i16le());
    if (r.failed() || reference < 1 || uint32_t(reference) > count || size < 2 + 2
        || size_t(reference) > (fonts.size - kFontsHeader) / size) {
        *error = kErrFileDamaged;
        return nullptr;
    }
    const uint8_t* at = fonts.data + kFontsHeader + size_t(reference - 1) * size;
    // The entry must hold its whole font record.
    if (font_stored_valid(at + 2, size - 2) == 0) {
        *error = kErrFileDamaged;
        return nullptr;
    }
    *entry_size = size;
    return at;
}

int font_stored_name_reference(const FontsBlock& fonts, int reference, int* error)
{
    size_t size = 0;
    const uint8_t* at = fonts_entry(fonts, reference, &size, error);
    return at ? int16_t(plat::load_u16le(at)) : 0;
}

int font_from_stored(const FontsBlock& fonts, int reference, int name_index, int* error)
{
    size_t size = 0;
    const uint8_t* at = fonts_entry(fonts, reference, &size, error);
    if (!at)
        return 0;
    const uint8_t* record = at + 2;
    int platform2 = 0;
    int32_t points = font_stored_point_size(record, size - 2, &platform2);
    int found = find_font(name_index, points, platform2 != 0);
    if (found)
        return found;
    FontDesc desc;
    char platform1_name[kFontFaceSize] = {}, platform2_name[kFontFaceSize] = {};
    font_name_get(name_index, 1, platform1_name, sizeof platform1_name);
    font_name_get(name_index, 2, platform2_name, sizeof platform2_name);
    font_desc_from_stored(record, size - 2, platform1_name, platform2_name, &desc);
    if (!(desc.flags & (kFontMadeOnPlatform1 | kFontMadeOnPlatform2)))
        desc.flags |= kFontMadeOnPlatform1;
    return font_add(name_index, &desc);
}
