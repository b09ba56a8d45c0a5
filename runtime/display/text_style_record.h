// Record type 25, a file's text styles: {i16 version 19, i16 style count, i16 table flags, i32
// fonts-block offset, i32 (unread), i32 fonts-block length, i16 default style, 2 x i16
// (unread)}, then the stored styles (84 bytes each and their tab stops as i16), the fonts
// block and, after it to the record's end, the names block. Every count, offset, entry size and
// reference is checked against the record: what does not fit is damage (5000).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/display/text_style.h"

constexpr uint32_t kStyleRecordDirWord = 25;
constexpr size_t kStyleRecordHeader = 24;
constexpr size_t kStoredStyleSize = 84;

// Unpacks a record for the file's slot (fonts and names join the process tables): 0, 5001,
// 5000 or 8.
int text_styles_parse(const uint8_t* data, size_t size, int file, std::vector<TextStyle>& out, int16_t* table_flags,
    int16_t* default_style);
// Converts the record in place: 0, or 5000 when a count or offset does not fit (conversion
// stops there).
int text_styles_swap(uint8_t* data, size_t size, int to_native);

// A style to write: the stored number, its fields (font name and font as 1-based references
// into the names and fonts written), tab stops.
struct StoredStyle {
    int16_t number = 1;
    TextStyle style;
    std::vector<int16_t> tabs;
};
// A font-name entry to write (both names) and a font to write (a version-3 record).
struct StoredFontName {
    char platform2[32] = {};
    char platform1[32] = {};
    uint16_t flags = 0;
};
struct StoredFont {
    int16_t name_reference = 1;
    FontDesc desc;
};
enum class NamesForm { short_form, long_form };
// The record's bytes in native order.
std::vector<uint8_t> text_styles_write(const std::vector<StoredStyle>& styles, const std::vector<StoredFont>& fonts,
    const std::vector<StoredFontName>& names, NamesForm form, int16_t table_flags, int16_t default_style);
