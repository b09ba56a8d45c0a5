// The records of the font and text services, shared by the font modules: logical fonts as
// programs describe them (LOGFONT), the metrics a realized font answers (TEXTMETRIC,
// OUTLINETEXTMETRIC), and their Win32 constants.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/window/geometry.h"

namespace plat {

constexpr size_t LF_FACESIZE = 32;

// Weights.
enum : int32_t {
    FW_DONTCARE = 0,
    FW_THIN = 100,
    FW_EXTRALIGHT = 200,
    FW_LIGHT = 300,
    FW_NORMAL = 400,
    FW_MEDIUM = 500,
    FW_SEMIBOLD = 600,
    FW_BOLD = 700,
    FW_EXTRABOLD = 800,
    FW_HEAVY = 900,
};

// Character sets.
enum : uint8_t {
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    SYMBOL_CHARSET = 2,
    SHIFTJIS_CHARSET = 128,
    HANGUL_CHARSET = 129,
    OEM_CHARSET = 255,
};

// Pitch (low bits) and family (high nibble) of a logical font.
enum : uint8_t {
    DEFAULT_PITCH = 0,
    FIXED_PITCH = 1,
    VARIABLE_PITCH = 2,
    FF_DONTCARE = 0x00,
    FF_ROMAN = 0x10,
    FF_SWISS = 0x20,
    FF_MODERN = 0x30,
    FF_SCRIPT = 0x40,
    FF_DECORATIVE = 0x50,
};

// tmPitchAndFamily bits; TMPF_FIXED_PITCH set means variable pitch, as in Win32.
enum : uint8_t {
    TMPF_FIXED_PITCH = 0x01,
    TMPF_VECTOR = 0x02,
    TMPF_TRUETYPE = 0x04,
    TMPF_DEVICE = 0x08,
};

// Precisions and qualities are kept as given: every font here is drawn unsmoothed.
enum : uint8_t {
    OUT_DEFAULT_PRECIS = 0,
    OUT_STRING_PRECIS = 1,
    OUT_TT_PRECIS = 4,
    CLIP_DEFAULT_PRECIS = 0,
    CLIP_CHARACTER_PRECIS = 1,
    CLIP_STROKE_PRECIS = 2,
    DEFAULT_QUALITY = 0,
    DRAFT_QUALITY = 1,
    PROOF_QUALITY = 2,
    NONANTIALIASED_QUALITY = 3,
};

// Font types of the enumeration callback.
enum : uint32_t {
    RASTER_FONTTYPE = 1,
    DEVICE_FONTTYPE = 2,
    TRUETYPE_FONTTYPE = 4,
};

// LOGFONTA. Height < 0: character height in pixels; > 0: cell height; 0: the default size.
// The face is bytes of the active code page, NUL-terminated.
struct LogFont {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;  // kept; text is drawn horizontally
    int32_t orientation = 0; // kept; text is drawn horizontally
    int32_t weight = FW_DONTCARE;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strike_out = 0;
    uint8_t char_set = ANSI_CHARSET;
    uint8_t out_precision = OUT_DEFAULT_PRECIS;
    uint8_t clip_precision = CLIP_DEFAULT_PRECIS;
    uint8_t quality = DEFAULT_QUALITY;
    uint8_t pitch_and_family = DEFAULT_PITCH | FF_DONTCARE;
    char face_name[LF_FACESIZE] = {};
};

// TEXTMETRICA, in pixels.
struct TextMetric {
    int32_t height = 0;
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t internal_leading = 0;
    int32_t external_leading = 0;
    int32_t ave_char_width = 0;
    int32_t max_char_width = 0;
    int32_t weight = 0;
    int32_t overhang = 0;
    int32_t digitized_aspect_x = 96;
    int32_t digitized_aspect_y = 96;
    uint8_t first_char = 0;
    uint8_t last_char = 0;
    uint8_t default_char = 0;
    uint8_t break_char = 0;
    uint8_t italic = 0;
    uint8_t underlined = 0;
    uint8_t struck_out = 0;
    uint8_t pitch_and_family = 0;
    uint8_t char_set = 0;
    bool operator==(const TextMetric&) const = default;
};

// OUTLINETEXTMETRICA without its panose block; pixel values but em_square (font units).
// size is what the Win32 call reports as otmSize: the fixed part and the four names.
struct OutlineTextMetric {
    uint32_t size = 0;
    TextMetric text_metrics;
    uint32_t fs_selection = 0;
    uint32_t fs_type = 0;
    int32_t char_slope_rise = 1;
    int32_t char_slope_run = 0;
    int32_t italic_angle = 0; // tenths of a degree, counter-clockwise
    uint32_t em_square = 0;
    int32_t ascent = 0;
    int32_t descent = 0;
    uint32_t line_gap = 0;
    uint32_t cap_em_height = 0;
    uint32_t x_height = 0;
    Rect font_box; // y up: top > bottom
    int32_t mac_ascent = 0;
    int32_t mac_descent = 0;
    uint32_t mac_line_gap = 0;
    uint32_t min_ppem = 0;
    Point subscript_size, subscript_offset, superscript_size, superscript_offset;
    uint32_t strikeout_size = 0;
    int32_t strikeout_position = 0;
    int32_t underscore_size = 0;
    int32_t underscore_position = 0;
    std::string family_name, face_name, style_name, full_name;
};

// ABC widths of a character: a before the black box, b the box, c after it.
struct AbcWidths {
    int32_t a = 0;
    uint32_t b = 0;
    int32_t c = 0;
    bool operator==(const AbcWidths&) const = default;
};

} // namespace plat
