#include "platform/text/font_metrics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_SIZES_H
#include FT_SYSTEM_H
#include FT_TRUETYPE_TABLES_H

#include "platform/kernel/codepage.h"

namespace plat {

// Distinct fonts kept before the cache starts again; programs make a handful.
constexpr size_t kMaxRealized = 512;
// A requested weight this far above the file's is emboldened on top of it, as GDI does for a
// bold request on the already bold System font.
constexpr int32_t kEmboldenStep = 200;
constexpr int32_t kItalicAngleTenths = -120;
// What the fixed part of OUTLINETEXTMETRICA takes, before its four names.
constexpr uint32_t kOutlineFixedSize = 224;
// A zero height asks for the default size: the cell of the system font.
constexpr int32_t kDefaultCellHeight = 16;

struct MetricsState {
    FT_Library library = nullptr;
    bool library_failed = false;
    std::map<std::string, FT_Face> faces; // by path and index; null: the file is unusable
    std::map<std::string, uint32_t> by_key;
    std::map<uint32_t, std::unique_ptr<RealizedFont>> realized;
    uint32_t next_id = 1; // ids are not used again, so a stale one finds nothing
    uint32_t generation = 1;
};

static MetricsState s_metrics;

// --- FreeType ------------------------------------------------------------------------------

static void* ft_alloc(FT_Memory, long size) { return std::malloc(size_t(size)); }
static void ft_free(FT_Memory, void* block) { std::free(block); }
static void* ft_realloc(FT_Memory, long, long size, void* block) { return std::realloc(block, size_t(size)); }

static FT_MemoryRec_ s_ft_memory{nullptr, ft_alloc, ft_free, ft_realloc};

// FT_Init_FreeType would apply FREETYPE_PROPERTIES from the environment; a library made from
// its parts has only the drivers' built-in settings, and the interpreter is named outright.
static FT_Library library()
{
    if (s_metrics.library || s_metrics.library_failed)
        return s_metrics.library;
    if (FT_New_Library(&s_ft_memory, &s_metrics.library) != 0) {
        s_metrics.library_failed = true;
        s_metrics.library = nullptr;
        return nullptr;
    }
    FT_Add_Default_Modules(s_metrics.library);
    FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
    FT_Property_Set(s_metrics.library, "truetype", "interpreter-version", &interpreter);
    return s_metrics.library;
}

static int32_t load_flags(const FontFamily& family)
{
    return FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP | (family.own_hints ? FT_LOAD_NO_AUTOHINT : FT_LOAD_FORCE_AUTOHINT);
}

bool font_activate(const FontFaceSize& face)
{
    return face.face && face.size && FT_Activate_Size(face.size) == 0;
}

// The face of a file, opened once; null when it cannot be read or is not the family the
// match chose (the file changed under fontconfig's cache).
static FT_Face open_face(const FontFile& file, const char* family)
{
    std::string key = file.path + '#' + std::to_string(file.index);
    auto found = s_metrics.faces.find(key);
    if (found != s_metrics.faces.end())
        return found->second;
    FT_Face face = nullptr;
    FT_Library lib = library();
    if (lib && FT_New_Face(lib, file.path.c_str(), file.index, &face) == 0) {
        bool right = face->family_name && std::strcmp(face->family_name, family) == 0 && FT_IS_SCALABLE(face)
            && face->units_per_EM > 0;
        if (!right) {
            FT_Done_Face(face);
            face = nullptr;
        }
    } else {
        face = nullptr;
    }
    s_metrics.faces[key] = face;
    return face;
}

static FontFaceSize open_style(int family, bool bold, bool italic)
{
    FontFaceSize out;
    const FontFamily* record = font_family(family);
    if (!record)
        return out;
    bool bold_file = bold && record->bold_file;
    bool italic_file = italic && record->italic_file;
    FontFile file;
    if (!font_family_file(family, bold_file, italic_file, file))
        return out;
    out.face = open_face(file, record->name);
    out.load_flags = load_flags(*record);
    out.synth_bold = bold && !bold_file;
    out.synth_italic = italic && !italic_file;
    return out;
}

static bool size_face(FontFaceSize& face, int32_t ppem_x, int32_t ppem_y)
{
    if (!face.face || FT_New_Size(face.face, &face.size) != 0) {
        face = FontFaceSize{};
        return false;
    }
    if (FT_Activate_Size(face.size) != 0 || FT_Set_Pixel_Sizes(face.face, FT_UInt(ppem_x), FT_UInt(ppem_y)) != 0) {
        FT_Done_Size(face.size);
        face = FontFaceSize{};
        return false;
    }
    return true;
}

// --- Scaling -------------------------------------------------------------------------------

// value x ppem / units, rounded half up (towards +infinity), for either sign.
static int32_t scale(int64_t value, int32_t ppem, int32_t units)
{
    int64_t twice = 2 * value * ppem + units;
    int64_t den = 2 * int64_t(units);
    int64_t q = twice / den;
    if (twice % den != 0 && twice < 0)
        q--;
    return int32_t(q);
}

struct FaceTables {
    const TT_OS2* os2 = nullptr;
    const TT_HoriHeader* hhea = nullptr;
    const TT_Postscript* post = nullptr;
    const TT_Header* head = nullptr;
    int32_t units = 2048;
    int32_t win_ascent = 0;
    int32_t win_descent = 0;
};

static FaceTables tables_of(FT_Face face)
{
    FaceTables t;
    t.os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    t.hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    t.post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    t.head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    t.units = face->units_per_EM;
    // GDI's cell is the Windows ascent and descent; fonts without them use the hhea values.
    if (t.os2 && t.os2->version != 0xFFFF && t.os2->usWinAscent + t.os2->usWinDescent > 0) {
        t.win_ascent = t.os2->usWinAscent;
        t.win_descent = t.os2->usWinDescent;
    } else {
        t.win_ascent = face->ascender;
        t.win_descent = -face->descender;
    }
    if (t.win_ascent + t.win_descent <= 0)
        t.win_ascent = t.units;
    return t;
}

static int32_t clamp_ppem(int64_t ppem) { return int32_t(std::clamp<int64_t>(ppem, 1, kMaxPpem)); }

static void choose_ppem(RealizedFont& font, const FaceTables& t)
{
    int64_t height = std::clamp<int64_t>(font.logical.height, -16384, 16384);
    int64_t cell_units = t.win_ascent + t.win_descent;
    if (height < 0) {
        font.ppem_y = clamp_ppem(-height);
    } else {
        int64_t cell = height > 0 ? height : kDefaultCellHeight;
        font.ppem_y = clamp_ppem((cell * t.units + cell_units / 2) / cell_units);
        font.cell = int32_t(std::min<int64_t>(cell, kMaxPpem * 2));
    }
    int64_t width = std::min<int64_t>(std::abs(int64_t(font.logical.width)), 16384);
    int64_t average = t.os2 && t.os2->version != 0xFFFF && t.os2->xAvgCharWidth > 0 ? t.os2->xAvgCharWidth : t.units / 2;
    font.ppem_x = width == 0 ? font.ppem_y : clamp_ppem((width * t.units + average / 2) / average);
}

// --- Metrics -------------------------------------------------------------------------------

static int32_t bold_extra(const RealizedFont& font) { return font.primary.synth_bold ? kSynthBoldOverhang : 0; }

static int32_t requested_weight(const LogFont& logical)
{
    return logical.weight <= 0 ? FW_NORMAL : std::min<int32_t>(logical.weight, 1000);
}

static void fill_vertical_metrics(RealizedFont& font, const FaceTables& t)
{
    TextMetric& m = font.metrics;
    int32_t y = font.ppem_y;
    if (font.cell > 0) {
        // A cell height is exact: the Windows ascent and descent share it.
        m.height = font.cell;
        m.ascent = scale(t.win_ascent, font.cell, t.win_ascent + t.win_descent);
        m.descent = m.height - m.ascent;
    } else {
        m.ascent = scale(t.win_ascent, y, t.units);
        m.descent = scale(t.win_descent, y, t.units);
        m.height = m.ascent + m.descent;
    }
    m.internal_leading = std::max(0, m.height - y);
    int32_t hhea_ascent = t.hhea ? t.hhea->Ascender : t.win_ascent;
    int32_t hhea_descent = t.hhea ? t.hhea->Descender : -t.win_descent;
    int32_t line_gap = t.hhea ? t.hhea->Line_Gap : 0;
    int64_t external = int64_t(line_gap) - ((t.win_ascent + t.win_descent) - (hhea_ascent - hhea_descent));
    m.external_leading = std::max(0, scale(external, y, t.units));
}

static void fill_text_metrics(RealizedFont& font, FT_Face face, const FaceTables& t)
{
    fill_vertical_metrics(font, t);
    TextMetric& m = font.metrics;
    int32_t x = font.ppem_x;
    int32_t average = t.os2 && t.os2->version != 0xFFFF ? t.os2->xAvgCharWidth : 0;
    m.ave_char_width = std::max(1, scale(average > 0 ? average : t.units / 2, x, t.units)) + bold_extra(font);
    m.max_char_width = std::max(1, scale(face->bbox.xMax - face->bbox.xMin, x, t.units)) + bold_extra(font);
    int32_t file_weight = t.os2 && t.os2->version != 0xFFFF && t.os2->usWeightClass ? int32_t(t.os2->usWeightClass) : int32_t(FW_NORMAL);
    m.weight = font.primary.synth_bold ? std::max(file_weight + kEmboldenStep, requested_weight(font.logical))
                                       : file_weight;
    m.weight = std::min(m.weight, int32_t(FW_HEAVY));
    m.overhang = bold_extra(font);
    m.first_char = 0x1E;
    m.last_char = 0xFF;
    m.default_char = 0x1F;
    m.break_char = 0x20;
    m.italic = font.logical.italic ? 0xFF : 0;
    m.underlined = font.logical.underline ? 0xFF : 0;
    m.struck_out = font.logical.strike_out ? 0xFF : 0;
    bool variable = (font.match.pitch_and_family & 0x03) != FIXED_PITCH;
    m.pitch_and_family = uint8_t((font.match.pitch_and_family & 0xF0) | TMPF_VECTOR | TMPF_TRUETYPE
        | (variable ? TMPF_FIXED_PITCH : 0));
    m.char_set = font.match.symbol ? uint8_t(SYMBOL_CHARSET) : font.match.char_set;
}

static const char* style_name(const RealizedFont& font)
{
    bool bold = font.metrics.weight >= FW_SEMIBOLD;
    bool italic = font.logical.italic != 0;
    return bold ? (italic ? "Bold Italic" : "Bold") : (italic ? "Italic" : "Regular");
}

static void fill_outline_names(OutlineTextMetric& o, const RealizedFont& font)
{
    o.family_name = font.match.face;
    o.style_name = style_name(font);
    o.face_name = o.style_name == "Regular" ? o.family_name : o.family_name + " " + o.style_name;
    o.full_name = o.face_name;
    o.size = kOutlineFixedSize + uint32_t(o.family_name.size() + o.face_name.size() + o.style_name.size()
                 + o.full_name.size() + 4);
}

static void fill_outline_os2(OutlineTextMetric& o, const FaceTables& t, int32_t x, int32_t y)
{
    if (!t.os2 || t.os2->version == 0xFFFF)
        return;
    const TT_OS2& os2 = *t.os2;
    o.fs_selection = os2.fsSelection;
    o.fs_type = os2.fsType;
    o.ascent = scale(os2.sTypoAscender, y, t.units);
    o.descent = scale(os2.sTypoDescender, y, t.units);
    o.line_gap = uint32_t(std::max(0, scale(os2.sTypoLineGap, y, t.units)));
    o.cap_em_height = uint32_t(std::max(0, scale(os2.sCapHeight, y, t.units)));
    o.x_height = uint32_t(std::max(0, scale(os2.sxHeight, y, t.units)));
    o.subscript_size = Point{scale(os2.ySubscriptXSize, x, t.units), scale(os2.ySubscriptYSize, y, t.units)};
    o.subscript_offset = Point{scale(os2.ySubscriptXOffset, x, t.units), scale(os2.ySubscriptYOffset, y, t.units)};
    o.superscript_size = Point{scale(os2.ySuperscriptXSize, x, t.units), scale(os2.ySuperscriptYSize, y, t.units)};
    o.superscript_offset = Point{scale(os2.ySuperscriptXOffset, x, t.units), scale(os2.ySuperscriptYOffset, y, t.units)};
    o.strikeout_size = uint32_t(std::max(1, scale(os2.yStrikeoutSize, y, t.units)));
    o.strikeout_position = scale(os2.yStrikeoutPosition, y, t.units);
}

static void fill_outline_metrics(RealizedFont& font, FT_Face face, const FaceTables& t)
{
    OutlineTextMetric& o = font.outline;
    int32_t x = font.ppem_x, y = font.ppem_y;
    o.text_metrics = font.metrics;
    o.em_square = uint32_t(t.units);
    fill_outline_os2(o, t, x, y);
    if (font.primary.synth_bold)
        o.fs_selection |= 0x20;
    if (t.hhea) {
        o.mac_ascent = scale(t.hhea->Ascender, y, t.units);
        o.mac_descent = scale(t.hhea->Descender, y, t.units);
        o.mac_line_gap = uint32_t(std::max(0, scale(t.hhea->Line_Gap, y, t.units)));
        o.char_slope_rise = t.hhea->caret_Slope_Rise;
        o.char_slope_run = t.hhea->caret_Slope_Run;
    }
    o.font_box = Rect{scale(face->bbox.xMin, x, t.units), scale(face->bbox.yMax, y, t.units),
        scale(face->bbox.xMax, x, t.units), scale(face->bbox.yMin, y, t.units)};
    o.min_ppem = t.head ? t.head->Lowest_Rec_PPEM : 0;
    if (t.post) {
        o.italic_angle = int32_t((int64_t(t.post->italicAngle) * 10 + (t.post->italicAngle < 0 ? -32768 : 32768)) / 65536);
        o.underscore_size = std::max(1, scale(t.post->underlineThickness, y, t.units));
        o.underscore_position = scale(t.post->underlinePosition, y, t.units);
    }
    if (font.primary.synth_italic) {
        o.fs_selection |= 0x01;
        o.italic_angle = kItalicAngleTenths;
        o.char_slope_rise = 0x10000;
        o.char_slope_run = kSynthItalicShear;
    }
    fill_outline_names(o, font);
}

// Underline and strike-out stay inside the cell, so an opaque background covers them.
static void place_lines(RealizedFont& font)
{
    const OutlineTextMetric& o = font.outline;
    int32_t descent = std::max(1, font.metrics.descent);
    font.underline_rows = std::clamp(o.underscore_size, 1, descent);
    font.underline_top = std::clamp(-o.underscore_position, 0, descent - font.underline_rows);
    font.strikeout_rows = std::clamp(int32_t(o.strikeout_size), 1, std::max(1, font.metrics.ascent));
    int32_t position = o.strikeout_position > 0 ? o.strikeout_position : font.metrics.ascent / 3;
    font.strikeout_top = -std::clamp(position, font.strikeout_rows, std::max(font.strikeout_rows, font.metrics.ascent));
}

// Without any face file: metrics of the right size so that layout still works; nothing is drawn.
static void estimate_metrics(RealizedFont& font)
{
    int32_t cell = font.logical.height < 0 ? -font.logical.height : font.logical.height > 0 ? font.logical.height : kDefaultCellHeight;
    font.ppem_y = font.ppem_x = clamp_ppem(cell);
    TextMetric& m = font.metrics;
    m.ascent = (font.ppem_y * 4 + 4) / 5;
    m.descent = font.ppem_y - m.ascent;
    m.height = font.ppem_y;
    m.ave_char_width = std::max(1, font.ppem_y / 2);
    m.max_char_width = font.ppem_y;
    m.weight = requested_weight(font.logical);
    m.char_set = font.match.char_set;
    m.pitch_and_family = uint8_t(font.match.pitch_and_family & 0xF0);
    font.outline.text_metrics = m;
    font.underline_top = 0;
    font.strikeout_top = -m.ascent / 3;
}

// --- Realizing -----------------------------------------------------------------------------

static bool wants_bold(const LogFont& logical) { return logical.weight >= FW_SEMIBOLD; }

// The primary face: the bold file for a bold request, emboldened further when the weight asked
// is well above the file's.
static FontFaceSize primary_face(const RealizedFont& font)
{
    bool bold = wants_bold(font.logical);
    FontFaceSize face = open_style(font.match.family, bold, font.logical.italic != 0);
    if (face.face && bold && !face.synth_bold && font.logical.weight >= FW_BOLD + kEmboldenStep)
        face.synth_bold = true;
    return face;
}

static void link_faces(RealizedFont& font)
{
    for (int family : font_linked_families(font.match.family)) {
        FontFaceSize face = open_style(family, wants_bold(font.logical), font.logical.italic != 0);
        if (size_face(face, font.ppem_x, font.ppem_y))
            font.linked.push_back(face);
    }
}

static void realize_into(RealizedFont& font)
{
    font.match = font_match_face(font.logical.face_name, font.logical.char_set, font.logical.pitch_and_family);
    font.primary = primary_face(font);
    if (!font.primary.face) {
        estimate_metrics(font);
        return;
    }
    FaceTables tables = tables_of(font.primary.face);
    choose_ppem(font, tables);
    if (!size_face(font.primary, font.ppem_x, font.ppem_y)) {
        estimate_metrics(font);
        return;
    }
    font.loaded = true;
    fill_text_metrics(font, font.primary.face, tables);
    fill_outline_metrics(font, font.primary.face, tables);
    place_lines(font);
    link_faces(font);
}

static std::string key_of(const LogFont& logical)
{
    std::string key = std::to_string(get_active_code_page());
    for (int32_t value : {logical.height, logical.width, logical.weight})
        key += ',' + std::to_string(value);
    for (uint8_t value : {uint8_t(logical.italic != 0), uint8_t(logical.underline != 0), uint8_t(logical.strike_out != 0),
             font_resolve_char_set(logical.char_set), logical.pitch_and_family})
        key += ',' + std::to_string(value);
    key += ',';
    for (size_t i = 0; i < LF_FACESIZE && logical.face_name[i]; i++) {
        char c = logical.face_name[i];
        key += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return key;
}

static void release_realized(RealizedFont& font)
{
    if (font.primary.size)
        FT_Done_Size(font.primary.size);
    for (FontFaceSize& face : font.linked)
        FT_Done_Size(face.size);
}

static void drop_realized()
{
    for (auto& [id, font] : s_metrics.realized)
        release_realized(*font);
    s_metrics.realized.clear();
    s_metrics.by_key.clear();
    s_metrics.generation++;
}

uint32_t font_realize(const LogFont& font)
{
    std::string key = key_of(font);
    auto found = s_metrics.by_key.find(key);
    if (found != s_metrics.by_key.end())
        return found->second;
    if (s_metrics.realized.size() >= kMaxRealized)
        drop_realized();
    auto realized = std::make_unique<RealizedFont>();
    realized->logical = font;
    realized->logical.face_name[LF_FACESIZE - 1] = 0;
    realize_into(*realized);
    uint32_t id = s_metrics.next_id++;
    if (s_metrics.next_id == 0)
        s_metrics.next_id = 1;
    realized->id = id;
    s_metrics.realized[id] = std::move(realized);
    s_metrics.by_key[key] = id;
    return id;
}

const RealizedFont* font_realized(uint32_t id)
{
    auto found = s_metrics.realized.find(id);
    return found == s_metrics.realized.end() ? nullptr : found->second.get();
}

uint32_t font_realized_generation() { return s_metrics.generation; }

void font_metrics_reset()
{
    drop_realized();
    for (auto& [key, face] : s_metrics.faces) {
        if (face)
            FT_Done_Face(face);
    }
    s_metrics.faces.clear();
    if (s_metrics.library)
        FT_Done_Library(s_metrics.library);
    s_metrics.library = nullptr;
    s_metrics.library_failed = false;
}

} // namespace plat
