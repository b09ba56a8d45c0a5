// Realized fonts: a logical font made concrete with FreeType. The face comes from the face
// match; the size follows Win32 (negative height: character height = ppem, positive: cell
// height = ascent + descent), at a fixed 96 dpi; bold and italic that the family's files lack
// are synthesised (a one-pixel smear that widens every advance by the overhang, and a shear);
// and the metrics are integers computed from the font's tables, the same on every run.
//
// FreeType is pinned: its library is made without the properties FREETYPE_PROPERTIES would set,
// with the TrueType interpreter version set explicitly; glyphs are hinted for monochrome output
// (FT_LOAD_TARGET_MONO, never embedded bitmaps), by the font's own instructions or, for the
// families whose instructions are poor, always by the auto-hinter. Hinting stays on because
// the Liberation fonts' instructions are what make their advances match the faces they stand
// for; with it the advances are whole pixels that drawing and measuring share.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/text/font_match.h"
#include "platform/text/font_types.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace plat {

// One face of a realized font at its size: the primary face, or a linked face that supplies
// characters the primary lacks.
struct FontFaceSize {
    FT_FaceRec_* face = nullptr;
    FT_SizeRec_* size = nullptr;
    int32_t load_flags = 0; // FreeType load flags for its glyphs
    bool synth_bold = false;
    bool synth_italic = false;
};

struct RealizedFont {
    uint32_t id = 0;
    LogFont logical;
    FaceMatch match;
    bool loaded = false; // false when no face file could be opened: nothing is drawn
    FontFaceSize primary;
    std::vector<FontFaceSize> linked;
    int32_t ppem_x = 0;
    int32_t ppem_y = 0;
    int32_t cell = 0; // the cell height asked for (positive heights), else 0
    TextMetric metrics;
    OutlineTextMetric outline;
    // Lines of underline and strike-out: top row relative to the baseline (down positive).
    int32_t underline_top = 0;
    int32_t underline_rows = 1;
    int32_t strikeout_top = 0;
    int32_t strikeout_rows = 1;
};

// Pixels that synthesised bold adds to each advance; it is also the font's overhang.
constexpr int32_t kSynthBoldOverhang = 1;
// The shear of synthesised italics, 16.16 (about 12 degrees, FreeType's oblique slant).
constexpr int32_t kSynthItalicShear = 0x0366A;
// Largest pixels-per-em a font is realized at; larger requests are drawn at this size.
constexpr int32_t kMaxPpem = 4096;

// The realized font of a logical font (the active code page counts: it resolves
// DEFAULT_CHARSET and spells the face). The id stays good until font_metrics_reset, or until
// too many distinct fonts made the cache start again; font_realized then answers null.
uint32_t font_realize(const LogFont& font);
const RealizedFont* font_realized(uint32_t id);
// Counter that moves whenever realized fonts are dropped, so that caches keyed by their ids
// know to start again.
uint32_t font_realized_generation();

// Makes a face's size the current one before loading its glyphs (faces are shared between
// realized fonts).
bool font_activate(const FontFaceSize& face);

// Drops every realized font and face.
void font_metrics_reset();

} // namespace plat
