#include "platform/text/font.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <strings.h>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/text/font_match.h"
#include "platform/text/font_metrics.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/slots.h"

namespace plat {

constexpr uint32_t kFontFirstGeneration = 0x3F1;
constexpr int kStockSlots = DEFAULT_GUI_FONT + 1;
// The enumeration describes each face at this cell height.
constexpr int32_t kEnumCellHeight = 16;

struct FontEntry {
    LogFont logical;
    GdiObject object; // the object that carries it (stock fonts: none known)
    bool stock = false;
    uint32_t realized = 0;   // realized font, valid while the code page stays
    uint32_t code_page = 0;
};

struct FontState {
    SlotTable<FontEntry> entries{kFontFirstGeneration};
    std::array<uint32_t, kStockSlots> stock_payload{};
    std::array<bool, kStockSlots> stock_handed{}; // given to the GDI table since its last reset
    uint32_t epoch = 0;
};

static FontState s_font;

struct StockFontRow {
    int index;
    int32_t height;
    int32_t width;
    int32_t weight;
    uint8_t char_set;
    uint8_t pitch_and_family;
    const char* face;
};

// DEFAULT_CHARSET follows the active code page, as the system font of a Korean system is a
// Hangul font.
static const StockFontRow kStockFonts[] = {
    {OEM_FIXED_FONT, 12, 8, FW_NORMAL, OEM_CHARSET, FIXED_PITCH | FF_MODERN, "Terminal"},
    {ANSI_FIXED_FONT, 13, 8, FW_NORMAL, ANSI_CHARSET, FIXED_PITCH | FF_MODERN, "Courier"},
    {ANSI_VAR_FONT, 13, 0, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif"},
    {SYSTEM_FONT, 16, 0, FW_BOLD, DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS, "System"},
    {DEVICE_DEFAULT_FONT, 16, 0, FW_BOLD, DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS, "System"},
    {SYSTEM_FIXED_FONT, 16, 0, FW_NORMAL, DEFAULT_CHARSET, FIXED_PITCH | FF_MODERN, "Fixedsys"},
    {DEFAULT_GUI_FONT, -11, 0, FW_NORMAL, DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif"}, // 8 points
};

static void copy_face(char (&target)[LF_FACESIZE], const char* face)
{
    std::memset(target, 0, LF_FACESIZE);
    if (face)
        std::strncpy(target, face, LF_FACESIZE - 1);
}

// --- Hooks from the GDI table --------------------------------------------------------------

// dc_reset dropped the GDI table: objects that carried entries are gone.
static void forget_dropped_objects()
{
    std::vector<uint32_t> gone;
    s_font.entries.for_each([&gone](uint32_t id, FontEntry& entry) {
        FontData* data = entry.stock ? nullptr : gdi_data<FontData>(entry.object, GdiLookup::pending);
        if (!entry.stock && (!data || data->payload != id))
            gone.push_back(id);
    });
    for (uint32_t id : gone)
        s_font.entries.erase(id);
    s_font.stock_handed = {};
    s_font.epoch++;
}

static uint32_t stock_entry(int index)
{
    if (index < 0 || index >= kStockSlots)
        return 0;
    uint32_t& payload = s_font.stock_payload[size_t(index)];
    if (s_font.entries.find(payload))
        return payload;
    for (const StockFontRow& row : kStockFonts) {
        if (row.index != index)
            continue;
        FontEntry entry;
        entry.stock = true;
        entry.logical.height = row.height;
        entry.logical.width = row.width;
        entry.logical.weight = row.weight;
        entry.logical.char_set = row.char_set;
        entry.logical.pitch_and_family = row.pitch_and_family;
        copy_face(entry.logical.face_name, row.face);
        payload = s_font.entries.insert(entry);
        return payload;
    }
    return 0;
}

// GDI asks for a stock font only when its slot is empty: asking twice means its table was
// reset in between.
static uint32_t stock_hook(int index)
{
    uint32_t payload = stock_entry(index);
    if (!payload)
        return 0;
    if (s_font.stock_handed[size_t(index)])
        forget_dropped_objects();
    s_font.stock_handed[size_t(index)] = true;
    return payload;
}

static void release_hook(uint32_t payload)
{
    FontEntry* entry = s_font.entries.find(payload);
    if (entry && !entry->stock)
        s_font.entries.erase(payload);
}

void font_install_hooks() { gdi_set_font_hooks(release_hook, stock_hook); }

uint32_t font_gdi_epoch() { return s_font.epoch; }

void font_reset()
{
    s_font.entries.clear();
    s_font.stock_payload = {};
    s_font.stock_handed = {};
    s_font.epoch++;
    font_metrics_reset();
}

// --- Objects -------------------------------------------------------------------------------

GdiObject create_font_indirect(const LogFont& font)
{
    font_install_hooks();
    FontEntry entry;
    entry.logical = font;
    entry.logical.face_name[LF_FACESIZE - 1] = 0;
    uint32_t payload = s_font.entries.insert(entry);
    if (!payload) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    GdiObject object = gdi_add_font(payload);
    if (!object) {
        s_font.entries.erase(payload);
        return {};
    }
    s_font.entries.find(payload)->object = object;
    return object;
}

GdiObject create_font(int32_t height, int32_t width, int32_t escapement, int32_t orientation, int32_t weight,
    uint32_t italic, uint32_t underline, uint32_t strike_out, uint32_t char_set, uint32_t out_precision,
    uint32_t clip_precision, uint32_t quality, uint32_t pitch_and_family, const char* face)
{
    LogFont font;
    font.height = height;
    font.width = width;
    font.escapement = escapement;
    font.orientation = orientation;
    font.weight = weight;
    font.italic = uint8_t(italic);
    font.underline = uint8_t(underline);
    font.strike_out = uint8_t(strike_out);
    font.char_set = uint8_t(char_set);
    font.out_precision = uint8_t(out_precision);
    font.clip_precision = uint8_t(clip_precision);
    font.quality = uint8_t(quality);
    font.pitch_and_family = uint8_t(pitch_and_family);
    copy_face(font.face_name, face);
    return create_font_indirect(font);
}

static FontEntry* entry_of(GdiObject font, GdiLookup lookup)
{
    FontData* data = gdi_data<FontData>(font, lookup);
    return data ? s_font.entries.find(data->payload) : nullptr;
}

bool get_object(GdiObject font, LogFont& out)
{
    FontEntry* entry = entry_of(font, GdiLookup::live);
    if (!entry) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    out = entry->logical;
    return true;
}

// --- Realizing -----------------------------------------------------------------------------

static uint32_t realize_entry(FontEntry& entry)
{
    uint32_t code_page = get_active_code_page();
    if (entry.realized && entry.code_page == code_page && font_realized(entry.realized))
        return entry.realized;
    entry.realized = font_realize(entry.logical);
    entry.code_page = code_page;
    return entry.realized;
}

uint32_t font_of_stock(int index)
{
    FontEntry* entry = s_font.entries.find(stock_entry(index));
    return entry ? realize_entry(*entry) : 0;
}

uint32_t font_of_dc(DcHandle dc)
{
    font_install_hooks();
    DcRecord* record = dc_find(dc);
    if (!record)
        return 0;
    // A font deleted while selected still draws until it is deselected.
    FontEntry* entry = entry_of(record->attr.font, GdiLookup::pending);
    return entry ? realize_entry(*entry) : font_of_stock(SYSTEM_FONT);
}

static const RealizedFont* dc_font(DcHandle dc)
{
    const RealizedFont* font = font_realized(font_of_dc(dc));
    if (!font)
        set_last_error(ERROR_INVALID_HANDLE);
    return font;
}

int get_text_face(DcHandle dc, char* buffer, int size)
{
    const RealizedFont* font = dc_font(dc);
    if (!font)
        return 0;
    const std::string& face = font->match.face;
    if (!buffer)
        return int(face.size() + 1);
    if (size <= 0)
        return 0;
    size_t count = std::min(face.size(), size_t(size - 1));
    std::memcpy(buffer, face.data(), count);
    buffer[count] = 0;
    return int(count + 1);
}

bool get_text_metrics(DcHandle dc, TextMetric& out)
{
    const RealizedFont* font = dc_font(dc);
    if (!font)
        return false;
    out = font->metrics;
    return true;
}

uint32_t get_outline_text_metrics(DcHandle dc, OutlineTextMetric* out)
{
    const RealizedFont* font = dc_font(dc);
    if (!font || !font->loaded)
        return 0;
    if (out)
        *out = font->outline;
    return font->outline.size;
}

bool get_font_match_info(GdiObject font, FontMatchInfo& out)
{
    FontEntry* entry = entry_of(font, GdiLookup::live);
    const RealizedFont* realized = entry ? font_realized(realize_entry(*entry)) : nullptr;
    if (!realized) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    out.requested = entry->logical.face_name;
    out.face = realized->match.face;
    out.fell_back = realized->match.fell_back;
    return true;
}

// --- Enumeration ---------------------------------------------------------------------------

static bool same_face(const std::string& a, const char* b)
{
    size_t length = strnlen(b, LF_FACESIZE);
    return a.size() == length && strncasecmp(a.c_str(), b, length) == 0;
}

static LogFont enumerated_font(const FontFaceEntry& face, TextMetric& metrics)
{
    LogFont font;
    font.height = kEnumCellHeight;
    font.char_set = face.char_set;
    font.pitch_and_family = face.pitch_and_family;
    copy_face(font.face_name, face.face.c_str());
    const RealizedFont* realized = font_realized(font_realize(font));
    metrics = realized ? realized->metrics : TextMetric{};
    font.height = metrics.height;
    font.width = metrics.ave_char_width;
    font.weight = metrics.weight;
    font.out_precision = OUT_TT_PRECIS;
    font.clip_precision = CLIP_STROKE_PRECIS;
    font.quality = DRAFT_QUALITY;
    return font;
}

int enum_font_families(DcHandle dc, const char* face, FontEnumProc proc, LParam lparam)
{
    if (!dc_find(dc) || !proc) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int answer = 1;
    bool every = !face || !face[0];
    for (const FontFaceEntry& entry : font_enumerate_faces()) {
        if (!every && !same_face(entry.face, face))
            continue;
        TextMetric metrics;
        LogFont font = enumerated_font(entry, metrics);
        answer = proc(font, metrics, TRUETYPE_FONTTYPE, lparam);
        if (answer == 0)
            break;
    }
    return answer;
}

int enum_fonts(DcHandle dc, const char* face, FontEnumProc proc, LParam lparam)
{
    return enum_font_families(dc, face, proc, lparam);
}

} // namespace plat
