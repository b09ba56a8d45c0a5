// Text styles: each open file (slots 0-25) has a table of styles, loaded from its text-style
// record (type 25) when the file opens, to which run-time edits add styles. A style sets only
// the attributes its mask names, so styles can be layered. Styles are named by (index, file),
// the index 1-based.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/window/window_types.h"
#include "runtime/display/font.h"

// Attribute mask.
enum : uint32_t {
    kStyleBitsMask = 0x7F,
    kStyleFont = 0x100,
    kStyleSize = 0x200,
    kStyleAlignment = 0x800,
    kStyleNumberFormat = 0x1000,
    kStyleColor = 0x4000,
    kStyleLeftIndent = 0x100000,
    kStyleRightIndent = 0x200000,
    kStyleFirstIndent = 0x400000,
    kStyleTabs = 0x800000,
    kStyleCursor = 0x1000000,
    kStyleHotText = 0x2000000,
    kStyleHotInverted = 0x4000000,
    kStyleLink = 0x10000000,
};

// Slot flags of a style.
enum : uint16_t {
    kStyleInUse = 0x01,
    kStyleTemporary = 0x02,
    kStyleFromFile04 = 0x04,
    kStyleFromFile20 = 0x20,
    kStyleMadeAtRunTime = 0x80,
};

constexpr int kStyleSlotCount = 26;
constexpr int16_t kStyleRecordVersion = 19;

struct TextStyle {
    uint32_t mask = 0;
    uint32_t color = 0;
    uint32_t number_format = 0;
    uint16_t slot_flags = 0;
    uint16_t owner = 0;
    uint8_t hot_trigger = 0;
    uint8_t reserved_byte = 0;
    uint16_t style_bits = 0;
    int16_t alignment = 0;
    int16_t first_indent = 0;
    int16_t left_indent = 0;
    int16_t right_indent = 0;
    int16_t tab_count = 0;
    int16_t cursor = 0;
    int16_t reserved_word = 0;
    uint16_t link = 0;
    uint16_t font_name = 0;
    uint16_t font = 0;
    uint8_t reserved[40] = {};
    int16_t kept_word = 0;
    std::vector<int32_t> tabs;
    int16_t size = 0;
};

// The slots (start-up): lends the node store its load and release and the record store the
// converter of record type 25. Term unloads every slot and frees the font tables.
int text_styles_init();
void text_styles_term();
// 0; 5001 for a version other than 19; 5002 without the record; 5000 for a record that does
// not fit; 8; or the record store's or the font map's error. A failed load keeps the table.
int text_styles_load(int file);
void text_styles_unload(int file);
int text_style_default(int file);
int16_t text_style_table_flags(int file);
// The number of styles of the file's table (in use or not).
int text_style_count(int file);
// The style, null for an index or file outside the tables.
const TextStyle* text_style_get(int index, int file);

int text_style_new(uint16_t owner, int file);
int text_style_new_temporary(uint16_t owner, int file);
void text_style_set_temporary(int index, int file, int on);
void text_style_delete(int index, int file);
uint32_t text_style_attr_mask(int index, int file);
void text_style_set_flags(int index, int file, uint32_t mask, uint32_t values);
void text_style_clear_attrs(int index, int file, uint32_t mask);
void text_style_font_name(int index, int file, char* out, size_t size);
int32_t text_style_size(int index, int file);
uint32_t text_style_flags(int index, int file);
uint32_t text_style_color(int index, int file);
uint32_t text_style_number_format(int index, int file);
int text_style_hot_trigger(int index, int file);
uint16_t text_style_link(int index, int file);
int text_style_alignment(int index, int file);
int text_style_first_indent(int index, int file);
int text_style_left_indent(int index, int file);
int text_style_right_indent(int index, int file);
// The tab stops (count in *count), null without.
const int32_t* text_style_tabs(int index, int file, int* count);
// The cursor for the style's stored number (for 0 without kStyleCursor), through the cursors'
// hook; 0 while no cursor module lent it.
uint32_t text_style_cursor(int index, int file);
int text_style_font_entry(int index, int file);
int text_style_font_translated(int index, int file, int fallback);
void text_style_copy_attrs(int from, int to, int file);
void text_style_apply_list(const uint32_t* list, size_t count, int to, int file);
uint32_t text_style_list_item(const uint32_t* list, size_t count, int n);
uint32_t text_style_compare(int index_a, int file_a, int index_b, int file_b);
int text_style_find_equal(int index, int file);
// The style's font; a style without a font leaves out->font null.
void text_style_create_font(int index, int file, StockFont* out);
int32_t text_style_text_width(plat::DcHandle dc, int index, int file, const char* text, int16_t length);
int32_t text_style_ascent(int index, int file, int platform);
int32_t text_style_descent(int index, int file, int platform);
int32_t text_style_leading(int index, int file, int platform);

// The cursor of a stored cursor number (lent by the cursors module).
using TextStyleCursorHook = uint32_t (*)(int stored_number);
void text_style_set_cursor_hook(TextStyleCursorHook hook);

// The table of a slot replaced (the record loader).
void text_styles_replace(int file, std::vector<TextStyle>&& styles, int16_t table_flags, int16_t default_style);
