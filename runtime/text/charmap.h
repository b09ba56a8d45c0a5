// The character-set map: one translation table for each direction between the Macintosh
// character set (platform 2) and the Windows one (platform 1), and the flags that say which
// kinds of text a piece wants translated. Both tables start as identities; their upper halves
// come from the piece's font-map record (fields 200 and 201) or from the character-map
// sections of FONTMAP.TXT. Translation changes only one-byte characters of 0x80 and above: a
// double-byte character is stepped over whole.
//
// One map for the process (str_charmap()); while it exists it fills the node store's title
// services, so titles of a piece that asks for it are translated.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/base/strpool.h"
#include "runtime/text/font_tok.h"

struct CharsetMap;

// Translation flags.
enum : uint32_t {
    kCharmapTitles = 0x08,   // icon titles and button labels
    kCharmapLiterals = 0x20, // string literals in calculations
    kCharmapValues = 0x40,   // string values of variables and expressions
    kCharmapIndex = 0x80,    // page-search index words
    kCharmapDefaultFlags = 0xE8,
};

// Fields of the font-map record that hold the tables.
enum : uint16_t {
    kCharmapFieldMacToWin = 200,
    kCharmapFieldWinToMac = 201,
};

// Makes the map with identity tables: 0, or 8. Term deletes it (also when never made): 0.
int str_charmap_init();
int str_charmap_term();
// The map, null when there is none.
CharsetMap* str_charmap();

// Both tables identities again when they were changed: 0, or 8 without a map.
int str_charmap_reset(CharsetMap* map);
// The translation flags from property 62 of the current piece's top icon (or the defaults:
// 0 on double-byte systems, else 0xE8), then the tables from the file's font-map record
// fields 200 and 201 when they hold exactly 256 bytes. 0.
int str_charmap_load_for_file(CharsetMap* map, int slot);
// Reads one character-map section of FONTMAP.TXT, after "Mac:" or "Win:" and its arrow: the
// target platform, then lines "code => code". *done becomes 1 when the text ended. 0.
int str_charmap_parse_section(CharsetMap* map, FontTokenizer& tokenizer, int from_platform, int* done);

// The 256-byte table of a pair, null for any other pair (or without a map).
const uint8_t* str_charmap_table(const CharsetMap* map, int from, int to);
uint32_t str_charmap_flags(const CharsetMap* map);
int str_charmap_maps_titles(const CharsetMap* map);
int str_charmap_maps_literals(const CharsetMap* map);
int str_charmap_maps_values(const CharsetMap* map);
int str_charmap_maps_index(const CharsetMap* map);

// Translates in place; null (nothing done) when the pair has no table.
char* str_charmap_translate(const CharsetMap* map, char* text, int from, int to);
char* str_charmap_translate_n(const CharsetMap* map, char* bytes, size_t length, int from, int to);
// The pool's string at offset, when the offset lies inside the pool's used bytes.
void str_charmap_translate_pool(const CharsetMap* map, StringPool& pool, uint32_t offset, int from, int to);
// 1 when the text holds a one-byte character of 0x80 or above.
int str_charmap_has_high_chars(const CharsetMap* map, const char* text);
int str_charmap_has_high_chars_n(const CharsetMap* map, const char* bytes, size_t length);
