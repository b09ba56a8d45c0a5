#include "runtime/display/font.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/dc.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "platform/text/font.h"
#include "platform/text/text.h"
#include "platform/window/metrics.h"
#include "runtime/base/str.h"

namespace {

constexpr int32_t kMaxPixelHeight = 16384;
constexpr int32_t kScalableProbe = -36;
constexpr uint32_t kStockFontType = 258;
constexpr int kMessageFontIndex = 14;

struct StockSlot {
    StockFont font;
    bool made = false;
};

struct FontState {
    bool ready = false;
    StockSlot slots[kStockFontCount + 1];
    FontMapSizeHook map_size = nullptr;
};

FontState s_font;

// Stock metrics without an information context.
const StockFont kFallbackMetrics = {{}, 0, 10, 2, 10, 2, 13};

} // namespace

int32_t font_points_to_pixels(int32_t points) { return int32_t((int64_t(points) * 87381 + 32768) >> 16); }

// 64-bit on the magnitude: the 32-bit form overflows above 43690 pixels and mangles negative
// heights.
int32_t font_pixels_to_points(int32_t pixels)
{
    int64_t magnitude = std::llabs(int64_t(pixels));
    int64_t points = (magnitude * 49152 + 32768) >> 16;
    return int32_t(pixels < 0 ? -points : points);
}

void font_set_map_size_hook(FontMapSizeHook hook) { s_font.map_size = hook; }

// --- descriptions -----------------------------------------------------------------------------

void font_desc_clear(FontDesc* desc)
{
    *desc = FontDesc {};
    desc->flags = kFontMadeOnPlatform1;
}

void font_desc_set_face(FontDesc* desc, const char* face)
{
    std::memset(desc->face, 0, sizeof desc->face);
    // 31 bytes and the NUL: a 32-byte name would be left without its end.
    str_copy_bounded(desc->face, face ? face : "", int(sizeof desc->face));
    font_desc_recompute(desc, nullptr);
}

static int16_t clamp_height(int32_t pixels) { return int16_t(std::clamp(pixels, -kMaxPixelHeight, kMaxPixelHeight)); }

void font_desc_set_size(FontDesc* desc, int32_t size)
{
    if (size > 0) {
        desc->point_size = int16_t(std::min(size, int32_t(INT16_MAX)));
        desc->pixel_height = clamp_height(-font_points_to_pixels(size));
    } else if (size < 0) {
        desc->pixel_height = clamp_height(size);
        desc->point_size = int16_t(std::min(font_pixels_to_points(-size), kMaxPixelHeight));
    } else {
        desc->pixel_height = 0;
        desc->point_size = 0;
    }
    font_desc_recompute(desc, nullptr);
}

void font_desc_set_style(FontDesc* desc, int16_t bits) { desc->style = bits; }

int32_t font_desc_point_size(const FontDesc* desc)
{
    if (desc->point_size == 0 && desc->pixel_height != -1)
        return font_pixels_to_points(desc->height - desc->internal_leading);
    return desc->point_size;
}

static int effective_platform(const FontDesc* desc, int platform)
{
    if (platform == 0)
        return (desc->flags & kFontMadeOnPlatform2) ? 2 : 1;
    return platform;
}

int32_t font_desc_ascent(const FontDesc* desc, int platform)
{
    return effective_platform(desc, platform) == 2 ? desc->p2_ascent : desc->ascent;
}

int32_t font_desc_descent(const FontDesc* desc, int platform)
{
    return effective_platform(desc, platform) == 2 ? desc->p2_descent : desc->descent;
}

int32_t font_desc_leading(const FontDesc* desc, int platform)
{
    return effective_platform(desc, platform) == 2 ? desc->p2_leading : desc->external_leading;
}

int32_t font_desc_line_height(const FontDesc* desc, int platform)
{
    return font_desc_ascent(desc, platform) + font_desc_descent(desc, platform) + font_desc_leading(desc, platform);
}

struct FaceLookup {
    const char* face;
    bool found = false;
    uint8_t pitch_and_family = 0;
    uint8_t char_set = 0;
};

static int face_found(const plat::LogFont& font, const plat::TextMetric&, uint32_t, plat::LParam lparam)
{
    auto* lookup = reinterpret_cast<FaceLookup*>(lparam);
    if (str_compare_nocase(font.face_name, lookup->face) != 0)
        return 1;
    lookup->found = true;
    lookup->pitch_and_family = font.pitch_and_family;
    lookup->char_set = font.char_set;
    return 0;
}

static void look_up_face(plat::DcHandle ic, FontDesc* desc)
{
    FaceLookup lookup {desc->face};
    if (desc->face[0])
        plat::enum_fonts(ic, desc->face, face_found, plat::LParam(&lookup));
    if (lookup.found) {
        desc->pitch_and_family = lookup.pitch_and_family;
        desc->char_set = lookup.char_set;
        return;
    }
    plat::TextMetric metrics;
    if (plat::get_text_metrics(ic, metrics)) {
        desc->pitch_and_family = metrics.pitch_and_family;
        desc->char_set = metrics.char_set;
    }
}

static plat::GdiObject make_probe(const FontDesc* desc, int32_t height)
{
    return plat::create_font(height, 0, 0, 0, plat::FW_NORMAL, 0, 0, 0, desc->char_set, 0, 0, 0,
        desc->pitch_and_family, desc->face);
}

static int16_t narrow(int64_t value) { return int16_t(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX)); }

static void take_metrics(FontDesc* desc, const plat::TextMetric& tm)
{
    desc->height = narrow(tm.height);
    desc->ascent = narrow(tm.ascent);
    desc->descent = narrow(tm.descent);
    desc->internal_leading = narrow(tm.internal_leading);
    desc->external_leading = narrow(tm.external_leading);
    desc->max_char_width = narrow(tm.max_char_width);
    desc->overhang = narrow(tm.overhang);
}

// Measures at the pixel height on the information context; false leaves the block as it was.
static bool measure(plat::DcHandle ic, FontDesc* desc)
{
    plat::GdiObject probe = make_probe(desc, desc->pixel_height);
    if (!probe)
        return false;
    plat::GdiObject old = plat::select_object(ic, probe);
    plat::TextMetric tm;
    bool ok = plat::get_text_metrics(ic, tm);
    FontDesc measured = *desc;
    if (ok && (tm.pitch_and_family & plat::TMPF_TRUETYPE)) {
        plat::OutlineTextMetric otm;
        if (plat::get_outline_text_metrics(ic, &otm)) {
            take_metrics(&measured, otm.text_metrics);
            measured.outline_values[0] = narrow(otm.size);
            measured.outline_values[1] = narrow(otm.font_box.bottom);
            measured.outline_values[2] = narrow(otm.mac_ascent);
            measured.outline_values[3] = narrow(otm.mac_descent);
            measured.outline = 1;
            measured.scalable = 1;
        } else {
            ok = false;
        }
    } else if (ok) {
        take_metrics(&measured, tm);
        measured.outline = 0;
        plat::GdiObject big = make_probe(desc, kScalableProbe);
        plat::select_object(ic, big);
        plat::TextMetric big_tm;
        measured.scalable = plat::get_text_metrics(ic, big_tm) && (big_tm.pitch_and_family & plat::TMPF_TRUETYPE) ? 1 : 0;
        plat::select_object(ic, probe);
        plat::delete_object(big);
    }
    plat::select_object(ic, old);
    plat::delete_object(probe);
    if (!ok)
        return false;
    measured.measured = 1;
    *desc = measured;
    return true;
}

void font_desc_recompute(FontDesc* desc, const char* platform2_name)
{
    plat::DcHandle ic = plat::create_ic("DISPLAY");
    if (!ic)
        return;
    look_up_face(ic, desc);
    if (desc->pixel_height == 0) {
        int32_t size = s_font.map_size && platform2_name ? s_font.map_size(platform2_name, desc->p2_point_size) : 0;
        desc->point_size = narrow(size);
        desc->pixel_height = size > 0 ? clamp_height(-font_points_to_pixels(size)) : -1;
    }
    measure(ic, desc);
    plat::delete_dc(ic);
}

// --- making fonts ---------------------------------------------------------------------------

static void copy_desc_metrics(const FontDesc* desc, StockFont* out)
{
    out->ascent = desc->ascent;
    out->descent = desc->descent;
    out->max_char_width = desc->max_char_width;
    out->external_leading = desc->external_leading;
}

bool font_create(const FontDesc* desc, StockFont* out)
{
    plat::LogFont lf;
    lf.height = desc->pixel_height;
    bool bold = desc->style & kFontBold;
    bool system_face = str_compare_nocase(desc->face, "System") == 0 || str_compare_nocase(desc->face, "@System") == 0;
    lf.weight = bold ? (system_face ? plat::FW_HEAVY : plat::FW_BOLD) : plat::FW_NORMAL;
    lf.italic = (desc->style & kFontItalic) ? 1 : 0;
    lf.underline = (desc->style & kFontUnderline) ? 1 : 0;
    lf.char_set = desc->char_set;
    lf.pitch_and_family = desc->pitch_and_family;
    std::memcpy(lf.face_name, desc->face, sizeof lf.face_name);
    lf.face_name[sizeof lf.face_name - 1] = 0;
    out->font = plat::create_font_indirect(lf);
    out->owned = out->font ? 1 : 0;
    if (!out->font)
        out->font = plat::get_stock_object(plat::SYSTEM_FONT);
    if (!out->font)
        return false;
    copy_desc_metrics(desc, out);
    return true;
}

void font_release(StockFont* font)
{
    if (font->owned && font->font)
        plat::delete_object(font->font);
    *font = StockFont {};
}

void font_select(DcTextState* state, plat::DcHandle dc, plat::GdiObject font)
{
    if (!font) {
        if (state->saved)
            plat::select_object(dc, state->previous);
        *state = DcTextState {};
        return;
    }
    state->previous = plat::select_object(dc, font);
    state->saved = true;
    plat::set_text_align(dc, plat::TA_BASELINE);
    plat::set_bk_mode(dc, plat::TRANSPARENT);
}

void font_dc_metrics(plat::DcHandle dc, StockFont* out)
{
    plat::TextMetric tm;
    if (!plat::get_text_metrics(dc, tm))
        return;
    out->ascent = tm.ascent;
    out->descent = tm.descent;
    out->max_char_width = tm.max_char_width;
    out->external_leading = tm.external_leading;
    out->line_height = tm.height + tm.external_leading;
}

void font_text_out(plat::DcHandle dc, int32_t x, int32_t y, const char* text, int16_t length)
{
    if (text && length > 0)
        plat::text_out(dc, x, y, text, length);
}

int32_t font_measure_text(plat::DcHandle dc, const char* text, int16_t length)
{
    plat::Size size;
    if (!text || length <= 0 || !plat::get_text_extent_point32(dc, text, length, size))
        return 0;
    return size.cx;
}

int32_t font_text_width(plat::DcHandle dc, const char* text, int16_t length)
{
    return font_measure_text(dc, text, length);
}

// --- stock fonts ----------------------------------------------------------------------------

// A stock-font resource: i16 height, width, escapement, orientation, weight; eight bytes
// italic to pitch and family; the face.
static bool font_from_resource(int index, plat::LogFont& lf)
{
    plat::ResourceBytes bytes = plat::find_resource(plat::ModuleHandle {}, plat::ResourceId(kStockFontType),
        plat::ResourceId(uint32_t(index)));
    if (!bytes.data)
        return false;
    plat::ByteReader r(static_cast<const uint8_t*>(bytes.data), bytes.size);
    lf.height = r.i16le();
    lf.width = r.i16le();
    lf.escapement = r.i16le();
    lf.orientation = r.i16le();
    lf.weight = r.i16le();
    uint8_t* fields[8] = {&lf.italic, &lf.underline, &lf.strike_out, &lf.char_set, &lf.out_precision,
        &lf.clip_precision, &lf.quality, &lf.pitch_and_family};
    for (uint8_t* field : fields)
        *field = r.u8();
    if (r.failed())
        return false;
    size_t face_length = std::min<size_t>(r.remaining(), plat::LF_FACESIZE - 1);
    std::memcpy(lf.face_name, static_cast<const uint8_t*>(bytes.data) + r.position(), face_length);
    lf.face_name[face_length] = 0;
    return true;
}

static bool message_font(plat::LogFont& lf)
{
    plat::NonClientMetrics metrics;
    if (!plat::system_parameters_info(plat::SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0))
        return false;
    lf = metrics.message_font;
    return true;
}

static void read_stock_metrics(StockFont* font)
{
    plat::DcHandle ic = plat::create_ic("DISPLAY");
    if (!ic) {
        StockFont metrics = kFallbackMetrics;
        metrics.font = font->font;
        metrics.owned = font->owned;
        *font = metrics;
        return;
    }
    plat::GdiObject old = plat::select_object(ic, font->font);
    font_dc_metrics(ic, font);
    font->line_height = font->ascent + font->descent + font->external_leading;
    plat::select_object(ic, old);
    plat::delete_dc(ic);
}

static StockFont make_stock(int index)
{
    StockFont font;
    plat::LogFont lf;
    bool have = index == kMessageFontIndex ? message_font(lf) : font_from_resource(index, lf);
    if (have) {
        // A double-byte system gives its own character set where the resource has none.
        if (lf.char_set == plat::ANSI_CHARSET && str_settings().double_byte)
            lf.char_set = plat::DEFAULT_CHARSET;
        font.font = plat::create_font_indirect(lf);
        font.owned = font.font ? 1 : 0;
    }
    if (!font.font) {
        font.font = plat::get_stock_object(plat::SYSTEM_FONT);
        font.owned = 0;
    }
    read_stock_metrics(&font);
    return font;
}

int font_init()
{
    font_term();
    s_font.ready = true;
    return 1;
}

void font_term()
{
    for (StockSlot& slot : s_font.slots) {
        if (slot.made)
            font_release(&slot.font);
        slot = StockSlot {};
    }
    s_font.ready = false;
}

static bool valid_index(int index) { return index >= 1 && index <= kStockFontCount; }

bool font_stock_get(int index, StockFont* out)
{
    if (!valid_index(index))
        return false;
    if (!s_font.ready) {
        // Without the cache each call makes a font of its own.
        *out = make_stock(index);
        return true;
    }
    StockSlot& slot = s_font.slots[index];
    if (!slot.made) {
        slot.font = make_stock(index);
        slot.made = true;
    }
    *out = slot.font;
    out->owned = 0;
    return true;
}

plat::GdiObject font_stock_handle(int index)
{
    StockFont font;
    return font_stock_get(index, &font) ? font.font : plat::GdiObject {};
}

void font_stock_select(DcTextState* state, plat::DcHandle dc, int index) { font_select(state, dc, font_stock_handle(index)); }

void font_stock_text_out(plat::DcHandle dc, int index, int32_t x, int32_t y, const char* text, int16_t length)
{
    DcTextState state;
    font_stock_select(&state, dc, index);
    font_text_out(dc, x, y, text, length);
    font_select(&state, dc, {});
}

int32_t font_stock_text_width(plat::DcHandle dc, int index, const char* text, int16_t length)
{
    plat::DcHandle screen = dc ? dc : plat::get_dc({});
    DcTextState state;
    font_stock_select(&state, screen, index);
    int32_t width = font_measure_text(screen, text, length);
    font_select(&state, screen, {});
    if (!dc)
        plat::release_dc({}, screen);
    return width;
}

void font_stock_copy_metrics(int index, StockFont* out)
{
    StockFont font;
    if (font_stock_get(index, &font)) {
        font.font = {};
        *out = font;
    }
}

static StockFont stock_metrics(int index)
{
    StockFont font;
    font_stock_copy_metrics(index, &font);
    return font;
}

int32_t font_stock_ascent(int index) { return stock_metrics(index).ascent; }
int32_t font_stock_descent(int index) { return stock_metrics(index).descent; }
int32_t font_stock_line_height(int index) { return stock_metrics(index).line_height; }
int32_t font_stock_height(int index) { return stock_metrics(index).ascent + stock_metrics(index).descent; }
int32_t font_stock_max_char_width(int index) { return stock_metrics(index).max_char_width; }
int32_t font_stock_leading(int index) { return stock_metrics(index).external_leading; }
