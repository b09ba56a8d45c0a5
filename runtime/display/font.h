// Fonts as pieces describe them: a FontDesc holds the face, the size in points and pixels, the
// style bits and two sets of metrics, one measured on the platform the piece was made on
// (platform 2) and one measured here (platform 1). Points and pixels convert at a fixed 96
// pixels per inch. Also the stored font record of text-style records, and the sixteen stock
// fonts of the runtime's own interface.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"

constexpr size_t kFontFaceSize = 32;

// Flags of a FontDesc.
enum : uint16_t {
    kFontMadeOnPlatform2 = 0x10,
    kFontMadeOnPlatform1 = 0x20,
};

// Style bits.
enum : int16_t {
    kFontBold = 0x01,
    kFontItalic = 0x02,
    kFontUnderline = 0x04,
};

struct FontDesc {
    // Platform 2: offsets 0-19.
    int16_t p2_point_size = 0;
    uint8_t p2_reserved[4] = {};
    int16_t p2_metrics[2] = {};
    int16_t p2_ascent = 0;
    int16_t p2_descent = 0;
    int16_t p2_leading = 0;
    int16_t p2_metric = 0;
    int16_t p2_cleared = 0;
    // Platform 1: offsets 20-55.
    int16_t pixel_height = 0; // negative: character height; -1: no usable size; 0: not computed
    uint8_t measured = 0;
    uint8_t outline = 0;
    uint8_t scalable = 0;
    uint8_t p1_reserved[5] = {};
    int16_t height = 0;
    int16_t ascent = 0;
    int16_t descent = 0;
    int16_t internal_leading = 0;
    int16_t external_leading = 0;
    int16_t max_char_width = 0;
    uint8_t pitch_and_family = 0;
    uint8_t char_set = 0;
    int16_t overhang = 0;
    int16_t outline_values[4] = {}; // size, box bottom, ascent and descent of the outline
    int16_t point_size = 0;
    // Offsets 56-91.
    int16_t style = 0;
    uint16_t flags = 0;
    char face[kFontFaceSize] = {};
};

// A font made for use, with its metrics.
struct StockFont {
    plat::GdiObject font;
    int32_t owned = 0; // 1 when the holder deletes the font
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t max_char_width = 0;
    int32_t external_leading = 0;
    int32_t line_height = 0;
};

// The font selected before, to put back.
struct DcTextState {
    plat::GdiObject previous;
    bool saved = false;
};

// 96 dpi.
int32_t font_points_to_pixels(int32_t points);
int32_t font_pixels_to_points(int32_t pixels);

// The stock-font cache (start-up) and its release (deletes every font made).
int font_init();
void font_term();

void font_desc_clear(FontDesc* desc);
// Copies at most 31 bytes of the face and a NUL, then measures again.
void font_desc_set_face(FontDesc* desc, const char* face);
// Positive: points; negative: pixels; 0: neither. Then measures again.
void font_desc_set_size(FontDesc* desc, int32_t size);
void font_desc_set_style(FontDesc* desc, int16_t bits);
int32_t font_desc_point_size(const FontDesc* desc);
// Platform 1, 2, or 0 for the platform the description was made on.
int32_t font_desc_ascent(const FontDesc* desc, int platform);
int32_t font_desc_descent(const FontDesc* desc, int platform);
int32_t font_desc_leading(const FontDesc* desc, int platform);
int32_t font_desc_line_height(const FontDesc* desc, int platform);
// Looks the face up and measures it here. A description without a pixel height asks the font
// map for the size of platform2_name (may be null) at the platform-2 point size.
void font_desc_recompute(FontDesc* desc, const char* platform2_name);

// Makes the font: false only when not even the system font could be had.
bool font_create(const FontDesc* desc, StockFont* out);
void font_release(StockFont* font);
// Selects the font with baseline alignment and a transparent background; with the state of
// an earlier call (font null) it puts the previous font back.
void font_select(DcTextState* state, plat::DcHandle dc, plat::GdiObject font);
void font_dc_metrics(plat::DcHandle dc, StockFont* out);
void font_text_out(plat::DcHandle dc, int32_t x, int32_t y, const char* text, int16_t length);
int32_t font_text_width(plat::DcHandle dc, const char* text, int16_t length);
int32_t font_measure_text(plat::DcHandle dc, const char* text, int16_t length);

// Stock fonts 1-16.
constexpr int kStockFontCount = 16;
bool font_stock_get(int index, StockFont* out);
plat::GdiObject font_stock_handle(int index);
void font_stock_select(DcTextState* state, plat::DcHandle dc, int index);
void font_stock_text_out(plat::DcHandle dc, int index, int32_t x, int32_t y, const char* text, int16_t length);
// A null dc measures on the screen.
int32_t font_stock_text_width(plat::DcHandle dc, int index, const char* text, int16_t length);
int32_t font_stock_ascent(int index);
int32_t font_stock_descent(int index);
int32_t font_stock_line_height(int index);
int32_t font_stock_height(int index);
int32_t font_stock_max_char_width(int index);
int32_t font_stock_leading(int index);
void font_stock_copy_metrics(int index, StockFont* out);

// The size of the platform-1 font that a platform-2 font name maps to at a size (the font map
// lends it; empty: 0, no mapping).
using FontMapSizeHook = int32_t (*)(const char* platform2_name, int32_t size);
void font_set_map_size_hook(FontMapSizeHook hook);
