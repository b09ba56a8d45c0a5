// The font map: for each direction between the platforms (1 Windows, here; 2 the other), which
// font stands for which, at which sizes, and whether text in the font is translated by the
// character-set map. It comes from the piece's font-map record (fields 1-3, 100 and 101) and
// from "FONTMAP.TXT" in the piece's folder, which the author can edit; the text file's entries
// win over the record's for the same source and target. One map for the process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

struct FontMap;

// Flags of an entry.
enum : uint32_t {
    kFontMapAlways = 0x01,
    kFontMapNoTranslate = 0x02, // "Map None"
    kFontMapChecked = 0x04,
    kFontMapExists = 0x08,
    kFontMapChosen = 0x10,
    kFontMapNotParsed = 0x20,
    kFontMapRunTimeBits = 0x1C,
};

constexpr int32_t kFontMapDefaultSource = -2; // "_Default_"

// Fields of the font-map record.
enum : uint16_t {
    kFontMapFieldHeader = 1,
    kFontMapFieldPool = 2,
    kFontMapFieldIndex = 3,
    kFontMapFieldToWin = 100, // entries 2 -> 1
    kFontMapFieldToMac = 101, // entries 1 -> 2
};

// An entry, also its 16-byte stored form: names are offsets into the map's string pool.
struct FontMapEntry {
    int32_t source = 0;
    int32_t target = 0;
    int16_t source_size = 0; // 0: the entry for every size
    int16_t target_size = 0;
    uint32_t flags = kFontMapAlways;
};

// Results of a lookup.
enum : int {
    kFontMapUnchanged = 0,
    kFontMapMissing = 1,  // mapped to a font that does not exist here
    kFontMapDefault = 2,  // mapped through "_Default_"
    kFontMapExisting = 3, // mapped to a font that exists here
};

// The process's map: create (0 or 8), destroy, and the map (null when none).
int font_map_create();
void font_map_destroy();
FontMap* font_map();

// Empties a map that holds names and entries, allows the next load, and makes the character-set
// map identities again: 0 or 8.
int font_map_reset(FontMap* map);
// Once until the next reset: the slot's font-map record (5000 when it is damaged; the map is
// then empty), then FONTMAP.TXT of the current piece's folder. 0 or an error.
int font_map_load(FontMap* map, int slot);
// Parses FONTMAP.TXT text and merges it over the map's entries as a load does: 0 or 8.
int font_map_merge_text(FontMap* map, const char* text, size_t length);

// Maps a font of source_platform to target_platform. name and size receive the result (name
// holds name_size bytes); *translate becomes 0 or 1 when an entry applies and keeps the
// caller's value otherwise.
int fontmap_map_font(FontMap* map, char* name, size_t name_size, int32_t* size, int* translate, int target_platform,
    const char* source_name, int32_t source_size, int source_platform);

// The map's entries of a direction (0: 2 -> 1, 1: 1 -> 2) and the name at a pool offset (tests
// and the record writer).
size_t font_map_entry_count(const FontMap* map, int direction);
FontMapEntry font_map_entry(const FontMap* map, int direction, size_t index);
const char* font_map_name(const FontMap* map, int32_t offset);

// Byte-order conversion of one field of the font-map record: 0 or 5000.
int font_swap_resource(uint16_t tag, uint8_t* data, size_t length, int to_native);

// A map of one's own (the record writer; the fuzz target): null without memory.
FontMap* font_map_new();
void font_map_free(FontMap* map);
// Loads fields 1-3, 100 and 101 (null: missing) as a load does: 0, 5000 (the map is then
// empty) or 8.
struct FontMapField {
    const uint8_t* data = nullptr;
    size_t length = 0;
};
int font_map_load_fields(FontMap* map, const FontMapField& header, const FontMapField& pool,
    const FontMapField& index, const FontMapField& to_win, const FontMapField& to_mac);
// The map's fields 1, 2, 3, 100 and 101 in native order (header of 16 bytes).
void font_map_write_fields(const FontMap* map, std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& out);
