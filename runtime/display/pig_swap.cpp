#include "runtime/display/pig_swap.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/display/palette.h"
#include "runtime/display/pig_image.h"
#include "runtime/store/swap.h"

using namespace plat;

constexpr size_t kTableEntries = 256;
constexpr size_t kBitmapHeader = 40;

struct PigSwapRun : PigStream {
    int from_foreign = 0;
    uint32_t palette_id = 0;
    GdiObject palette{};
    uint8_t colors[kTableEntries * 4] = {}; // the last colour table's entries
    uint32_t color_count = 0;
};

static struct {
    PigHandlerTable table;
    bool built;
} s_swap;

static PigSwapRun* run_of(PigStream* s) { return static_cast<PigSwapRun*>(s); }

static uint32_t load_be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

static void reverse16(uint8_t* p) { std::swap(p[0], p[1]); }
static void reverse32(uint8_t* p)
{
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}

static void field16(PigStream* s, size_t offset) { reverse16(s->record + offset); }
static void field32(PigStream* s, size_t offset) { reverse32(s->record + offset); }
// A rectangle is two 32-bit units: {top, left} <-> {left, top}, {bottom, right} <-> {right, bottom}.
static void rect_field(PigStream* s, size_t offset)
{
    reverse32(s->record + offset);
    reverse32(s->record + offset + 4);
}
static void point_field(PigStream* s, size_t offset) { reverse32(s->record + offset); }

// Converts the field and answers its native value.
static uint32_t take32(PigStream* s, size_t offset)
{
    uint8_t* p = s->record + offset;
    if (run_of(s)->from_foreign)
        reverse32(p);
    uint32_t value = load_u32le(p);
    if (!run_of(s)->from_foreign)
        reverse32(p);
    return value;
}

static int16_t take16(PigStream* s, size_t offset)
{
    uint8_t* p = s->record + offset;
    if (run_of(s)->from_foreign)
        reverse16(p);
    int16_t value = int16_t(load_u16le(p));
    if (!run_of(s)->from_foreign)
        reverse16(p);
    return value;
}

// A BITMAPINFOHEADER at a native offset of the record: 11 when it is not inside.
static int bitmap_header(PigStream* s, uint64_t offset)
{
    if (offset > s->record_length || s->record_length - offset < kBitmapHeader)
        return kPigOverrun;
    uint8_t* h = s->record + offset;
    for (size_t at : {0, 4, 8})
        reverse32(h + at);
    reverse16(h + 12);
    reverse16(h + 14);
    for (size_t at : {16, 20, 24, 28, 32, 36})
        reverse32(h + at);
    return 0;
}

// --- converters ---------------------------------------------------------------------------------

static int op_header(PigStream* s)
{
    field32(s, kPigHeaderCount);
    field32(s, kPigHeaderLength);
    rect_field(s, kPigHeaderBounds);
    rect_field(s, kPigHeaderBounds2);
    return 0;
}

static int op_element(PigStream* s) { return field16(s, 6), 0; }

static int op_line_size(PigStream* s)
{
    field16(s, 2);
    field16(s, 4);
    return 0;
}

// The map's bytes are brought up to the piece palette: a stored map names another palette's
// indexes. Only the bytes the record holds are written.
static int op_palette_map(PigStream* s)
{
    PigSwapRun* run = run_of(s);
    int32_t count = int32_t(take32(s, 6));
    field32(s, 10);
    if (!run->palette)
        return 0;
    size_t n = std::min({size_t(std::max(count, 0)), size_t(s->record_length - 14), size_t(run->color_count)});
    for (size_t i = 0; i < n; i++) {
        const uint8_t* e = run->colors + 4 * i;
        uint32_t index = get_nearest_palette_index(run->palette, colorref_from_pixel(pig_entry_rgb(e)));
        s->record[14 + i] = uint8_t(index);
    }
    uint32_t id = run->palette_id;
    store_u32le(s->record + 10, id);
    if (!run->from_foreign)
        reverse32(s->record + 10);
    return 0;
}

static int op_color_table(PigStream* s)
{
    PigSwapRun* run = run_of(s);
    int32_t count = int32_t(take32(s, 6));
    size_t bytes = std::min<size_t>(s->record_length - 10, sizeof run->colors);
    std::memcpy(run->colors, s->record + 10, bytes);
    run->color_count = uint32_t(std::clamp<int64_t>(count, 0, int64_t(bytes / 4)));
    return 0;
}

static int op_image_record(PigStream* s)
{
    field32(s, 6);
    field32(s, 10);
    rect_field(s, 14);
    rect_field(s, 22);
    rect_field(s, 30);
    field16(s, 38);
    field16(s, 40);
    field32(s, 42);
    field32(s, 46);
    uint32_t hit = take32(s, 50);
    return hit == 0 ? 0 : bitmap_header(s, 54 + uint64_t(hit));
}

static int op_image(PigStream* s)
{
    field32(s, 6);
    rect_field(s, 10);
    rect_field(s, 18);
    field16(s, 26);
    field16(s, 28);
    uint32_t mask = take32(s, 30);
    uint32_t image = take32(s, 34);
    uint64_t image_at = 38 + uint64_t(image), mask_at = 34 + uint64_t(mask);
    // Headers lying over the record's fields or over each other would be converted twice or
    // under the offsets read from them: such a record cannot be converted and back.
    if (mask != 0 && (mask_at < 38 || (mask_at < image_at + kBitmapHeader && image_at < mask_at + kBitmapHeader)))
        return kPigOverrun;
    if (int result = bitmap_header(s, image_at))
        return result;
    return mask == 0 ? 0 : bitmap_header(s, mask_at);
}

static int op_rect(PigStream* s) { return rect_field(s, 2), 0; }

static int op_line(PigStream* s)
{
    point_field(s, 2);
    point_field(s, 6);
    return 0;
}

static int op_round_rect(PigStream* s)
{
    rect_field(s, 2);
    field16(s, 10);
    field16(s, 12);
    return 0;
}

static int op_pie_or_arc(PigStream* s)
{
    rect_field(s, 2);
    point_field(s, 10);
    point_field(s, 14);
    return 0;
}

static int op_polygon(PigStream* s)
{
    rect_field(s, 6);
    int32_t count = take16(s, 14);
    if (count < 0 || uint32_t(count) > (s->record_length - 16) / 4)
        return kPigOverrun;
    for (int32_t i = 0; i < count; i++)
        point_field(s, 16 + 4 * size_t(i));
    return 0;
}

// Embedded text and OLE objects: their stored bytes are converted by their own subsystems;
// here the rectangle.
static int op_embedded(PigStream* s)
{
    if (s->record_length < 14)
        return kPigOverrun;
    rect_field(s, 6);
    return 0;
}

static int op_media(PigStream* s)
{
    if (s->record_length < 24)
        return kPigOverrun;
    rect_field(s, 6);
    field16(s, 14);
    rect_field(s, 16);
    return 0;
}

static const PigHandlerRow kSwapRows[] = {
    {kPigOpLineSize, op_line_size},
    {kPigOpPaletteMap, op_palette_map},
    {kPigOpColorTable, op_color_table},
    {kPigOpHeader, op_header},
    {kPigOpElement, op_element},
    {kPigOpImageRecord, op_image_record},
    {kPigOpImage, op_image},
    {kPigOpRect, op_rect},
    {kPigOpLine, op_line},
    {kPigOpOval, op_rect},
    {kPigOpRoundRect, op_round_rect},
    {kPigOpPie, op_pie_or_arc},
    {kPigOpArc, op_pie_or_arc},
    {kPigOpPolygon, op_polygon},
    {kPigOpText, op_embedded},
    {kPigOpOle, op_embedded},
    {kPigOpMedia, op_media},
};

void pig_table_init_swap(PigHandlerTable* table)
{
    pig_table_clear(table);
    pig_table_install(table, kSwapRows);
}

// --- entry points -------------------------------------------------------------------------------

static int run_swap(PigSwapRun& run, int from_foreign)
{
    if (!s_swap.built) {
        pig_table_init_swap(&s_swap.table);
        s_swap.built = true;
    }
    run.from_foreign = from_foreign;
    // Without its header first, a stream's count and length are some other record's bytes,
    // which this run would convert under the interpreter's feet.
    if (run.damaged || load_u16le(run.bytes) != kPigOpHeader)
        return kPigOverrun;
    if (from_foreign) {
        run.record_count = int32_t(load_be32(run.bytes + kPigHeaderCount));
        run.byte_length = std::min(load_be32(run.bytes + kPigHeaderLength), run.block_size);
    }
    run.palette_id = pal_create_piece_palette(run.palette);
    if (!run.palette_id && run.palette) {
        delete_object(run.palette);
        run.palette = GdiObject{};
    }
    int result = pig_run(&run, &s_swap.table, kPigHighestOpcode, 1, from_foreign);
    if (run.palette)
        delete_object(run.palette);
    return result;
}

int pig_swap_bytes(uint8_t* bytes, size_t size, int from_foreign)
{
    PigSwapRun run;
    pig_open_bytes(bytes, size, &run);
    return run_swap(run, from_foreign);
}

int pig_swap(MemHandle picture, int32_t file_slot, int32_t, int from_foreign)
{
    PigSwapRun run;
    if (pig_open(picture, file_slot, &run) != 0)
        return kPigCannotOpen;
    int result = run_swap(run, from_foreign);
    pig_close(&run);
    return result;
}

// A picture the conversion could not finish is half in each order: the record is damaged.
static int swap_record_hook(uint16_t, uint8_t* data, size_t length, int to_native)
{
    return pig_swap_bytes(data, length, to_native) == 0 ? 0 : kErrFileDamaged;
}

void pig_swap_lend_converter() { swap_set_hook(kSwapHookPicture, swap_record_hook); }
