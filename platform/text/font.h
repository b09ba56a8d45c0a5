// Logical fonts as GDI objects: CreateFont(Indirect), the stock fonts, GetObject, and what a
// DC's selected font answers (GetTextFace, GetTextMetrics, GetOutlineTextMetrics) and the
// enumeration of faces (EnumFonts, EnumFontFamilies). A font is realized (text/font_metrics.h)
// when something is measured or drawn with it. A DC without a font object (one made before
// the font hooks were installed) uses the system font.
#pragma once
#include <cstdint>
#include <string>

#include "platform/text/font_types.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

// CreateFontIndirect: null (error 8) only when the object table is full. Escapement and
// orientation are kept but text is drawn horizontally; weights past 1000 count as 1000.
GdiObject create_font_indirect(const LogFont& font);
// CreateFontA; a null face is an empty one.
GdiObject create_font(int32_t height, int32_t width, int32_t escapement, int32_t orientation, int32_t weight,
    uint32_t italic, uint32_t underline, uint32_t strike_out, uint32_t char_set, uint32_t out_precision,
    uint32_t clip_precision, uint32_t quality, uint32_t pitch_and_family, const char* face);
// GetObject for fonts (stock fonts included); false for a handle of another kind.
bool get_object(GdiObject font, LogFont& out);

// GetTextFaceA: copies the face the selected font answers to (at most size - 1 bytes and a
// NUL) and answers the bytes copied with the NUL; with a null buffer the length it needs.
int get_text_face(DcHandle dc, char* buffer, int size);
// GetTextMetricsA of the selected font.
bool get_text_metrics(DcHandle dc, TextMetric& out);
// GetOutlineTextMetricsA: the size (otmSize), filling out when given; 0 on failure.
uint32_t get_outline_text_metrics(DcHandle dc, OutlineTextMetric* out);

// What a font object got: the face asked for, the face it answers to, and whether it fell
// back because the face asked for is not here (or a null face was asked for).
struct FontMatchInfo {
    std::string requested;
    std::string face;
    bool fell_back = false;
};
bool get_font_match_info(GdiObject font, FontMatchInfo& out);

// EnumFontFamiliesA and EnumFontsA: every face there is (face null or ""), or the faces named
// face (case ignored; none when it is not here), each once with a logical font and the metrics
// at a 16-pixel cell. The callback answers 0 to stop; the answer is its last answer, or 1 when
// it was never called. A bad DC answers 0.
using FontEnumProc = int (*)(const LogFont& font, const TextMetric& metrics, uint32_t font_type, LParam lparam);
int enum_font_families(DcHandle dc, const char* face, FontEnumProc proc, LParam lparam);
int enum_fonts(DcHandle dc, const char* face, FontEnumProc proc, LParam lparam);

// For the text modules.
// The realized font of the DC's selected font; 0 for a bad DC.
uint32_t font_of_dc(DcHandle dc);
// The realized font of a stock font (SYSTEM_FONT ...); 0 for another index.
uint32_t font_of_stock(int index);
// Installs the GDI hooks for font objects (idempotent; the text modules call it on entry).
void font_install_hooks();
// Counts the GDI resets seen (dc_reset drops font objects without telling), so that records
// the text modules keep per DC start again with the DCs.
uint32_t font_gdi_epoch();
// Forgets every font object and realized font (tests).
void font_reset();

} // namespace plat
