// The process-wide font-name table (each font name in both platforms' spelling) and font table
// (one FontDesc per font and size), shared by the text styles of every open file. Both are
// indexed from 1; 0 names nothing.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/display/font.h"

// Flags of a font-name entry.
enum : uint16_t {
    kFontNameFromPlatform2 = 0x10,
    kFontNameFromPlatform1 = 0x20,
    kFontNameTranslated = 0x40, // text in the font is translated by the character-set map
    kFontNameFilledIn = 0x80,   // a missing name was filled in through the font map
};

int font_name_add(int platform, const char* name);
void font_name_set(int index, int platform, const char* name, uint16_t flags);
int font_name_find(int platform, const char* name);
// The name, filling a missing one in through the font map first.
void font_name_get(int index, int platform, char* out, size_t size);
uint16_t font_name_flags(int index);
void font_name_set_flags(int index, uint16_t value);
void font_name_resolve_all();
int font_name_count();
void font_names_free();

int font_add(int name_index, const FontDesc* desc);
int font_find_by_size(int name_index, int32_t size);
int font_find_by_platform2_size(int name_index, int32_t size);
// The description, null for an index outside the table; valid until the table changes.
FontDesc* text_font_lock(int index);
void text_font_unlock(int index);
int text_font_name_index(int index);
int font_count();
void fonts_free();

// A stored names block: the long form ({-1, flags present, count, entry size} in a 128-byte
// header, 128-byte entries with flags) or the short one ({count, entry size}, 64-byte entries).
struct NamesBlock {
    const uint8_t* data = nullptr;
    size_t size = 0;
};
// A stored fonts block: {count, entry size}, entries {i16 name reference, font record}.
struct FontsBlock {
    const uint8_t* data = nullptr;
    size_t size = 0;
};
// The font-name index of a 1-based reference: 0 with *error 5000 when the reference or the
// block does not fit.
int font_name_from_stored(const NamesBlock& names, int reference, int* error);
// The font index of a 1-based reference into the fonts block (whose name reference is already
// the font-name index given); 0 with *error 5000 when it does not fit.
int font_from_stored(const FontsBlock& fonts, int reference, int name_index, int* error);
// The names-block reference of a fonts-block entry; 0 with *error 5000 when it does not fit.
int font_stored_name_reference(const FontsBlock& fonts, int reference, int* error);
