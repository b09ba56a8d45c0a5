#include "runtime/display/pig_draw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rop.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/dib.h"
#include "runtime/display/palette.h"

using namespace plat;

static struct {
    PigHandlerTable draw;
    bool draw_built;
    uint32_t background = 0xFFFFFF;
} s_draw;

static PigDrawRun* run_of(PigStream* stream) { return static_cast<PigDrawRun*>(stream); }

static uint32_t record_color(const PigStream* s)
{
    return uint32_t(s->record[2]) | uint32_t(s->record[3]) << 8 | uint32_t(s->record[4]) << 16;
}

// --- state ----------------------------------------------------------------------------------

static int op_nothing(PigStream*) { return 0; }
static int op_fill_on(PigStream* s) { return s->style->fill_on = 1, 0; }
static int op_fill_off(PigStream* s) { return s->style->fill_on = 0, 0; }
static int op_line_on(PigStream* s) { return s->style->line_on = 1, 0; }
static int op_line_off(PigStream* s) { return s->style->line_on = 0, 0; }
static int op_fill_color(PigStream* s) { return s->style->fill_color = record_color(s), 0; }
static int op_fill_back_color(PigStream* s) { return s->style->fill_back_color = record_color(s), 0; }
static int op_line_color(PigStream* s) { return s->style->line_color = record_color(s), 0; }
static int op_line_back_color(PigStream* s) { return s->style->line_back_color = record_color(s), 0; }
static int op_fill_pattern(PigStream* s) { return std::memcpy(s->style->fill_pattern, s->record + 2, 8), 0; }
static int op_line_pattern(PigStream* s) { return std::memcpy(s->style->line_pattern, s->record + 2, 8), 0; }
static int op_flag2_on(PigStream* s) { return s->style->flag2 = 1, 0; }
static int op_flag2_off(PigStream* s) { return s->style->flag2 = 0, 0; }
static int op_arrows(PigStream* s) { return s->style->arrows = s->record[2], 0; }
static int op_arrows_off(PigStream* s) { return s->style->arrows = 0, 0; }
static int op_mode(PigStream* s) { return s->style->mode = s->record[2], 0; }
static int op_flags(PigStream* s) { return s->style->flag1 = s->record[2], 0; }

static int op_line_size(PigStream* s)
{
    s->style->line_width = pig_i16(s, 2);
    s->style->line_height = pig_i16(s, 4);
    return 0;
}

int pig_color_table_make(DrawStyle* style, uint32_t entries)
{
    if (style->color_table)
        return 0;
    entries = std::max<uint32_t>(entries, kPigColorTableEntries);
    MemHandle block = mem_alloc(kBitmapInfoHeaderSize + size_t(entries) * 4, kMemMovableZero);
    if (!block)
        return kPigNoMemory;
    auto* bytes = static_cast<uint8_t*>(mem_address(block));
    DibHeader header;
    header.bit_count = 8;
    dib_write_header(header, bytes);
    style->color_table = block.id;
    return 0;
}

// Entries beyond what the record holds or the block has room for are dropped.
int pig_color_table_set(DrawStyle* style, const PigStream* s)
{
    int32_t claimed = pig_i32(s, 6);
    uint32_t held = (s->record_length - 10) / 4;
    uint32_t count = claimed < 0 ? 0 : std::min(uint32_t(claimed), held);
    style->palette_map = 0;
    if (int result = pig_color_table_make(style, count))
        return result;
    MemHandle block{style->color_table};
    auto* bytes = static_cast<uint8_t*>(mem_address(block));
    count = std::min<uint32_t>(count, uint32_t((mem_size(block) - kBitmapInfoHeaderSize) / 4));
    DibHeader header;
    header.bit_count = 8;
    header.clr_used = count;
    dib_write_header(header, bytes);
    std::memcpy(bytes + kBitmapInfoHeaderSize, s->record + 10, size_t(count) * 4);
    return 0;
}

static int op_color_table(PigStream* s) { return pig_color_table_set(s->style, s); }

static bool screen_is_8_bit()
{
    DcHandle screen = get_dc(WindowHandle{});
    int bits = get_device_caps(screen, BITSPIXEL) * get_device_caps(screen, PLANES);
    release_dc(WindowHandle{}, screen);
    return bits == 8;
}

// Only a map made for the current palette on a palette screen is used: elsewhere the stored
// colours are right as they are.
static int op_palette_map(PigStream* s)
{
    DrawStyle* style = s->style;
    uint32_t id = uint32_t(pig_i32(s, 10));
    if (!style->color_table || id == 0 || id != pal_current_id() || !screen_is_8_bit())
        return 0;
    MemHandle block{style->color_table};
    auto* bytes = static_cast<uint8_t*>(mem_address(block));
    int32_t claimed = pig_i32(s, 6);
    size_t entries = (mem_size(block) - kBitmapInfoHeaderSize) / 4;
    size_t count = std::min({size_t(std::max(claimed, 0)), size_t(s->record_length - 14), entries});
    for (size_t i = 0; i < count; i++)
        store_u16le(bytes + kBitmapInfoHeaderSize + i * 2, s->record[14 + i]);
    style->palette_map = 1;
    return 0;
}

// --- shapes ---------------------------------------------------------------------------------

static int copy_rect(const Rect* element, uint32_t, Rect* out)
{
    *out = *element;
    return 1;
}

static bool element_wanted(PigDrawRun* run, const Rect& element)
{
    Rect out{};
    return run->rect_routine(&element, run->caller_data, &out) != 0;
}

using BoxPrimitive = void (*)(DcHandle, const DrawStyle*, int32_t, int32_t, int32_t, int32_t, uint32_t);

static int draw_box(PigStream* s, BoxPrimitive draw)
{
    PigDrawRun* run = run_of(s);
    Rect r = pig_rect(s, 2);
    if (element_wanted(run, r))
        draw(run->dc, s->style, r.left, r.top, r.right, r.bottom, s_draw.background);
    return 0;
}

static int op_rect(PigStream* s) { return draw_box(s, gdi_draw_rect); }
static int op_oval(PigStream* s) { return draw_box(s, gdi_draw_ellipse); }

static int op_round_rect(PigStream* s)
{
    PigDrawRun* run = run_of(s);
    Rect r = pig_rect(s, 2);
    if (element_wanted(run, r))
        gdi_draw_round_rect(run->dc, s->style, r.left, r.top, r.right, r.bottom, pig_i16(s, 10), pig_i16(s, 12),
            s_draw.background);
    return 0;
}

static int op_pie_or_arc(PigStream* s)
{
    PigDrawRun* run = run_of(s);
    Rect r = pig_rect(s, 2);
    if (!element_wanted(run, r))
        return 0;
    auto draw = pig_i16(s, 0) == kPigOpPie ? gdi_draw_pie : gdi_draw_arc;
    draw(run->dc, s->style, r.left, r.top, r.right, r.bottom, pig_i16(s, 10), pig_i16(s, 12), pig_i16(s, 14),
        pig_i16(s, 16), s_draw.background);
    return 0;
}

static int op_line(PigStream* s)
{
    PigDrawRun* run = run_of(s);
    int32_t x1 = pig_i16(s, 2), y1 = pig_i16(s, 4), x2 = pig_i16(s, 6), y2 = pig_i16(s, 8);
    Rect bounds;
    gdi_line_bounds(&bounds, x1, y1, x2, y2, s->style->line_width, s->style->arrows);
    if (element_wanted(run, bounds))
        gdi_draw_line(run->dc, s->style, x1, y1, x2, y2, s_draw.background);
    return 0;
}

// The points of a polygon record, closed when the style asks and the ends differ; false when
// the count does not fit the record.
bool pig_polygon_points(const PigStream* s, bool close, std::vector<Point>& out)
{
    int32_t count = pig_i16(s, 14);
    if (count < 0 || uint32_t(count) > (s->record_length - 16) / 4)
        return false;
    out.clear();
    out.reserve(size_t(count) + 1);
    for (int32_t i = 0; i < count; i++)
        out.push_back(Point{pig_i16(s, 16 + 4 * size_t(i)), pig_i16(s, 18 + 4 * size_t(i))});
    if (close && count > 0 && std::memcmp(s->record + 16, s->record + 16 + 4 * size_t(count - 1), 4) != 0)
        out.push_back(out.front());
    return true;
}

static int op_polygon(PigStream* s)
{
    PigDrawRun* run = run_of(s);
    if (!element_wanted(run, pig_rect(s, 6)))
        return 0;
    std::vector<Point> points;
    if (!pig_polygon_points(s, (s->style->flag1 & kPigFlagClosePolygons) != 0, points))
        return kPigOverrun;
    gdi_draw_polygon(run->dc, s->style, points.data(), int(points.size()), s_draw.background);
    return 0;
}

static int op_element(PigStream* s)
{
    PigDrawRun* run = run_of(s);
    if (s->element)
        return s->element(s->record, pig_i16(s, 6), run->caller_data, run->rect_routine);
    return 0;
}

static int op_image(PigStream* s) { return pig_draw_image(run_of(s)); }

// --- tables ---------------------------------------------------------------------------------

static const PigHandlerRow kBaseRows[] = {
    {kPigOpFillOn, op_fill_on},
    {kPigOpFillOff, op_fill_off},
    {kPigOpFillColor, op_fill_color},
    {kPigOpFillPattern, op_fill_pattern},
    {12, op_nothing}, // reserved, kept as a state record
    {kPigOpFillBackColor, op_fill_back_color},
    {16, op_nothing},
    {kPigOpLineOn, op_line_on},
    {kPigOpLineOff, op_line_off},
    {kPigOpLineSize, op_line_size},
    {kPigOpLineColor, op_line_color},
    {kPigOpLinePattern, op_line_pattern},
    {44, op_nothing},
    {kPigOpLineBackColor, op_line_back_color},
    {48, op_nothing},
    {kPigOpFlag2On, op_flag2_on},
    {kPigOpFlag2Off, op_flag2_off},
    {kPigOpArrows, op_arrows},
    {kPigOpArrowsOff, op_arrows_off},
    {kPigOpMode, op_mode},
    {kPigOpFlags, op_flags},
    {kPigOpPaletteMap, op_palette_map},
    {kPigOpColorTable, op_color_table},
};

static const PigHandlerRow kDrawRows[] = {
    {kPigOpHeader, op_nothing},
    {4, op_nothing},
    {5, op_nothing},
    {kPigOpElement, op_element},
    {8, op_nothing},
    {64, op_nothing},
    {65, op_nothing},
    {kPigOpImageRecord, op_image},
    {kPigOpImage, op_image},
    {kPigOpRect, op_rect},
    {kPigOpLine, op_line},
    {kPigOpOval, op_oval},
    {kPigOpRoundRect, op_round_rect},
    {kPigOpPie, op_pie_or_arc},
    {kPigOpArc, op_pie_or_arc},
    {kPigOpPolygon, op_polygon},
    // 152, 153 and 154 are the request's, filled for each run.
};

void pig_table_init_base(PigHandlerTable* table)
{
    pig_table_clear(table);
    pig_table_install(table, kBaseRows);
}

void pig_table_init_draw(PigHandlerTable* table)
{
    pig_table_init_base(table);
    pig_table_install(table, kDrawRows);
}

void pig_draw_table_free()
{
    pig_table_clear(&s_draw.draw);
    s_draw.draw_built = false;
}

// --- entry points ---------------------------------------------------------------------------

uint32_t pig_background_color() { return s_draw.background; }

uint32_t pig_set_background_color(uint32_t color)
{
    uint32_t previous = s_draw.background;
    s_draw.background = color;
    return previous;
}

static void fill_run(PigDrawRun* run, const PigDrawRequest* request)
{
    pig_style_init(&run->run_style);
    run->style = &run->run_style;
    run->spare_style = &run->run_style;
    run->dc = request->dc;
    run->caller_data = request->caller_data;
    run->rect_routine = request->rect_routine ? request->rect_routine : copy_rect;
    run->further[0] = request->further[0];
    run->further[1] = request->further[1];
    run->element = request->element;
}

int pig_draw(const PigDrawRequest* request)
{
    PigDrawRun run;
    if (pig_open(request->picture, request->file_slot, &run) != 0)
        return kPigCannotOpen;
    Point saved{};
    if (!request->metafile)
        get_window_org_ex(request->dc, saved);
    if (!s_draw.draw_built) {
        pig_table_init_draw(&s_draw.draw);
        s_draw.draw_built = true;
    }
    fill_run(&run, request);
    Rect shown = run.damaged ? Rect{} : pig_load_rect(run.bytes + kPigHeaderBounds2);
    Point origin = request->origin ? *request->origin : Point{run.bounds.left, run.bounds.top};
    set_window_org_ex(request->dc, shown.left - origin.x, shown.top - origin.y, nullptr);

    PigHandlerTable& table = s_draw.draw;
    PigHandler kept[4] = {table.slots[84], table.slots[152], table.slots[153], table.slots[154]};
    if (request->metafile)
        table.slots[84] = nullptr;
    table.slots[152] = request->metafile ? nullptr : request->text;
    table.slots[153] = request->ole;
    table.slots[154] = request->media;
    int result = pig_exec(&run, &table, kPigHighestOpcode);
    table.slots[84] = kept[0];
    table.slots[152] = kept[1];
    table.slots[153] = kept[2];
    table.slots[154] = kept[3];

    pig_close(&run);
    pig_style_free(&run.run_style);
    if (!request->metafile)
        set_window_org_ex(request->dc, saved.x, saved.y, nullptr);
    return result;
}

// Text, OLE objects and media elements come with their own subsystems, which lend their
// handlers here; until then their records are skipped.
static struct {
    PigHandler text, ole, media;
} s_embedded;

int pig_draw_into(MemHandle picture, int32_t file_slot, DcHandle dc, int32_t metafile, uint32_t, int,
    const Point* origin)
{
    PigDrawRequest request;
    request.dc = dc;
    request.metafile = metafile;
    request.picture = picture;
    request.file_slot = file_slot;
    request.origin = origin;
    request.text = s_embedded.text;
    request.ole = s_embedded.ole;
    request.media = s_embedded.media;
    return pig_draw(&request);
}

MemHandle pig_to_metafile(MemHandle, int32_t, uint32_t, int) { return MemHandle{}; }

static bool side_ok(int32_t side) { return side > 0 && side <= kPigBitmapMaxSide; }

GdiObject pig_to_bitmap(MemHandle picture, int32_t file_slot, uint32_t icon, int text_mode, GdiObject palette)
{
    Rect bounds;
    if (!pig_bounds(picture, file_slot, &bounds) || !side_ok(bounds.width()) || !side_ok(bounds.height()))
        return GdiObject{};
    DcHandle screen = get_dc(WindowHandle{});
    GdiObject bitmap = create_compatible_bitmap(screen, bounds.width(), bounds.height());
    DcHandle dc = create_compatible_dc(screen);
    release_dc(WindowHandle{}, screen);
    if (!bitmap || !dc) {
        delete_object(bitmap);
        delete_dc(dc);
        return GdiObject{};
    }
    GdiObject old_bitmap = select_object(dc, bitmap);
    GdiObject old_palette{};
    if (palette) {
        old_palette = select_palette(dc, palette, false);
        realize_palette(dc);
    }
    pat_blt(dc, 0, 0, bounds.width(), bounds.height(), WHITENESS);
    Point origin{0, 0};
    int result = pig_draw_into(picture, file_slot, dc, 0, icon, text_mode, &origin);
    if (palette)
        select_palette(dc, old_palette, false);
    select_object(dc, old_bitmap);
    delete_dc(dc);
    if (result != 0) {
        delete_object(bitmap);
        return GdiObject{};
    }
    return bitmap;
}

MemHandle pig_to_dib(MemHandle picture, int32_t file_slot, uint32_t icon, int text_mode, GdiObject palette)
{
    GdiObject bitmap = pig_to_bitmap(picture, file_slot, icon, text_mode, palette);
    if (!bitmap)
        return MemHandle{};
    MemHandle dib = dib_from_bitmap(bitmap, 0, 0, palette);
    delete_object(bitmap);
    return dib;
}

int pig_draw_stretched(DcHandle dc, MemHandle picture, int32_t file_slot, const Rect* source, const Rect* destination)
{
    Rect bounds;
    if (!pig_bounds(picture, file_slot, &bounds))
        return kPigCannotOpen;
    if (!side_ok(bounds.right) || !side_ok(bounds.bottom))
        return kPigNoMemory;
    GdiObject bitmap = create_compatible_bitmap(dc, bounds.right, bounds.bottom);
    DcHandle memory = create_compatible_dc(dc);
    if (!bitmap || !memory) {
        delete_object(bitmap);
        delete_dc(memory);
        return kPigNoMemory;
    }
    GdiObject old_bitmap = select_object(memory, bitmap);
    pat_blt(memory, 0, 0, bounds.right, bounds.bottom, WHITENESS);
    PigDrawRequest request;
    request.dc = memory;
    request.picture = picture;
    request.file_slot = file_slot;
    int result = pig_draw(&request);
    if (result == 0) {
        int mode = set_stretch_blt_mode(dc, COLORONCOLOR);
        stretch_blt(dc, destination->left, destination->top, destination->width(), destination->height(), memory,
            source->left, source->top, source->width(), source->height(), SRCCOPY);
        set_stretch_blt_mode(dc, mode);
    }
    select_object(memory, old_bitmap);
    delete_dc(memory);
    delete_object(bitmap);
    return result;
}

// The source rectangle of a clipped draw, for the intersecting rectangle routine.
static Rect s_clip_source;

void pig_map_scaled(DcHandle dc, const Rect* viewport, const Rect* window)
{
    set_map_mode(dc, MM_ANISOTROPIC);
    set_viewport_org_ex(dc, viewport->left, viewport->top, nullptr);
    set_viewport_ext_ex(dc, viewport->width(), viewport->height(), nullptr);
    set_window_org_ex(dc, window->left, window->top, nullptr);
    set_window_ext_ex(dc, window->width(), window->height(), nullptr);
}

void pig_map_reset(DcHandle dc)
{
    set_map_mode(dc, MM_TEXT);
    set_window_org_ex(dc, 0, 0, nullptr);
    set_viewport_org_ex(dc, 0, 0, nullptr);
}

static int intersect_routine(const Rect* element, uint32_t, Rect* out)
{
    out->left = std::max(element->left, s_clip_source.left);
    out->top = std::max(element->top, s_clip_source.top);
    out->right = std::min(element->right, s_clip_source.right);
    out->bottom = std::min(element->bottom, s_clip_source.bottom);
    return out->left < out->right && out->top < out->bottom;
}

int pig_draw_clipped(DcHandle dc, MemHandle picture, int32_t file_slot, const Rect* source, const Rect* destination,
    PigDrawRequest* request)
{
    Point origin{destination->left - source->left, destination->top - source->top};
    request->dc = dc;
    request->picture = picture;
    request->file_slot = file_slot;
    request->origin = &origin;
    request->metafile = 0;
    Rect kept = s_clip_source;
    if (!request->rect_routine) {
        s_clip_source = *source;
        request->rect_routine = intersect_routine;
    }
    int result = pig_draw(request);
    if (request->rect_routine == intersect_routine)
        request->rect_routine = nullptr;
    s_clip_source = kept;
    request->origin = nullptr;
    return result;
}
