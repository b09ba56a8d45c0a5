#include "runtime/display/pig_hit.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/dib.h"
#include "runtime/display/hit_test.h"
#include "runtime/display/pig_draw.h"
#include "runtime/display/pig_image.h"
#include "runtime/store/rec_store.h"

using namespace plat;

// Sub-tests of images answer hit, miss or "undecided"; an undecided chain counts as a hit.
constexpr int kMiss = 0;
constexpr int kUndecided = -1;

struct PigHitRun : PigStream {
    Point point{};
    Rect test{};
    int32_t fill_on = 1;
    int32_t line_on = 1;
    Point line_size{1, 1};
    Point pen{1, 1};
    uint8_t mode = 0;
    int32_t flags = 0;
    DrawStyle run_style; // holds the colour-table block
};

static PigHitRun* run_of(PigStream* s) { return static_cast<PigHitRun*>(s); }
static int answer(bool hit) { return hit ? kPigHit : 0; }

// --- state --------------------------------------------------------------------------------------

static int op_fill_on(PigStream* s) { return run_of(s)->fill_on = 1, 0; }
static int op_fill_off(PigStream* s) { return run_of(s)->fill_on = 0, 0; }
static int op_mode(PigStream* s) { return run_of(s)->mode = s->record[2], 0; }
static int op_color_table(PigStream* s) { return pig_color_table_set(&run_of(s)->run_style, s); }

static int op_line_on(PigStream* s)
{
    PigHitRun* run = run_of(s);
    run->line_on = 1;
    run->pen = run->line_size;
    return 0;
}

static int op_line_off(PigStream* s)
{
    PigHitRun* run = run_of(s);
    run->line_on = 0;
    run->pen = Point{0, 0};
    return 0;
}

static int op_line_size(PigStream* s)
{
    PigHitRun* run = run_of(s);
    run->line_size = Point{pig_i16(s, 2), pig_i16(s, 4)};
    if (run->line_on)
        run->pen = run->line_size;
    return 0;
}

// --- shapes -------------------------------------------------------------------------------------

static int framed(PigHitRun* run, const Rect& rect) { return answer(hit_framed_rect(run->test, rect, run->pen, run->fill_on)); }

static int op_rect(PigStream* s) { return framed(run_of(s), pig_rect(s, 2)); }

static int op_oval(PigStream* s)
{
    PigHitRun* run = run_of(s);
    return answer(hit_ellipse(run->test, pig_rect(s, 2), run->pen, run->fill_on));
}

static int op_line(PigStream* s)
{
    PigHitRun* run = run_of(s);
    int32_t shift = (run->pen.x + 1) / 2;
    Point start{pig_i16(s, 2) + shift, pig_i16(s, 4) + shift};
    Point end{pig_i16(s, 6) + shift, pig_i16(s, 8) + shift};
    return answer(hit_line(run->test, start, end, run->pen));
}

static int op_polygon(PigStream* s)
{
    PigHitRun* run = run_of(s);
    std::vector<Point> points;
    if (!pig_polygon_points(s, false, points))
        return kPigOverrun;
    int edge = 0;
    return answer(hit_test_polygon(run->test, int(points.size()), points.data(), pig_rect(s, 6), run->pen,
        run->fill_on != 0, &edge));
}

static int op_text(PigStream* s)
{
    PigHitRun* run = run_of(s);
    return run->flags ? 0 : framed(run, pig_rect(s, 6));
}

static int op_ole(PigStream* s)
{
    if (s->record_length < 14)
        return kPigOverrun;
    return framed(run_of(s), pig_rect(s, 6));
}

// --- images -------------------------------------------------------------------------------------

// Pixels of the image inside rect (image coordinates, clipped to limit and the image): 13 at
// the first one that is not white, else 0.
static int examine(const PigImage& image, std::vector<uint8_t> info, Rect rect, const Rect& limit)
{
    rect.left = std::max({rect.left, limit.left, int32_t(0)});
    rect.top = std::max({rect.top, limit.top, int32_t(0)});
    rect.right = std::min({rect.right, limit.right, image.header.width});
    rect.bottom = std::min({rect.bottom, limit.bottom, image.header.height});
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return 0;
    std::vector<uint8_t> storage;
    PigImage plain;
    if (!pig_image_plain(image, storage, plain))
        return kPigOverrun;
    dib_write_header(plain.header, info.data());
    DibImage open;
    if (!dib_open(info, plain.bits, DIB_RGB_COLORS, {}, 0, plain.header.height, open))
        return kPigOverrun;
    std::vector<uint32_t> rgb(size_t(rect.width()));
    std::vector<uint8_t> present(size_t(rect.width()));
    for (int32_t y = rect.top; y < rect.bottom; y++) {
        dib_read_row(open, y, rect.left, rect.width(), rgb.data(), present.data());
        for (size_t i = 0; i < rgb.size(); i++)
            if (present[i] && rgb[i] != 0xFFFFFF)
                return kPigHit;
    }
    return 0;
}

// A 1-bit mask whose set pixels are black.
static int examine_mask(const PigImage& mask, const Rect& rect, const Rect& limit)
{
    std::vector<uint8_t> info(kBitmapInfoHeaderSize + 8, 0);
    info[kBitmapInfoHeaderSize + 0] = info[kBitmapInfoHeaderSize + 1] = info[kBitmapInfoHeaderSize + 2] = 0xFF;
    return examine(mask, std::move(info), rect, limit);
}

struct ImageTest {
    PigHitRun* run;
    PigImageRecord rec;
    std::span<const uint8_t> area; // what holds the image and its mask
    PigImage image;
};

static Rect mapped_area(const ImageTest& t, int32_t before, int32_t after, const Rect& to)
{
    Rect area{t.run->point.x - before, t.run->point.y - before, t.run->point.x + after, t.run->point.y + after};
    rect_map(area, t.rec.destination, to, 0);
    return area;
}

static int mask_test(const ImageTest& t)
{
    if (t.rec.mask_offset < 0)
        return kUndecided;
    PigImage mask;
    PigImageCheck check = pig_image_read(t.area, t.rec.mask_offset, true, mask);
    if (check != PigImageCheck::ok)
        return check == PigImageCheck::empty ? kUndecided : kPigOverrun;
    return examine_mask(mask, mapped_area(t, 1, 2, t.rec.source), t.rec.source);
}

static int hit_mask_test(const ImageTest& t)
{
    if (t.rec.hit_offset < 0)
        return kUndecided;
    PigImage mask;
    std::span<const uint8_t> record(t.run->record, t.run->record_length);
    PigImageCheck check = pig_image_read(record, t.rec.hit_offset, true, mask);
    if (check != PigImageCheck::ok)
        return check == PigImageCheck::empty ? kUndecided : kPigOverrun;
    Rect area = mapped_area(t, 0, 2, t.rec.source);
    rect_map(area, t.rec.source, t.rec.hit_rect, 0);
    return examine_mask(mask, area, t.rec.hit_rect);
}

static int pixel_test(const ImageTest& t)
{
    const DrawStyle& style = t.run->run_style;
    if (t.image.header.bit_count <= 8 && !style.color_table)
        return kUndecided;
    std::vector<uint8_t> info(kBitmapInfoHeaderSize, 0);
    if (style.color_table) {
        MemHandle block{style.color_table};
        auto* bytes = static_cast<const uint8_t*>(mem_address(block));
        info.assign(bytes, bytes + mem_size(block));
    }
    return examine(t.image, std::move(info), mapped_area(t, 1, 2, t.rec.source), t.rec.source);
}

// Each sub-test in turn while the answer is undecided.
static int chain(const ImageTest& t, std::initializer_list<int (*)(const ImageTest&)> tests)
{
    int result = kUndecided;
    for (auto test : tests) {
        if (result != kUndecided)
            break;
        result = test(t);
    }
    return result;
}

static int undecided(const ImageTest&) { return kUndecided; }

static int by_mode(const ImageTest& t)
{
    bool mono = t.image.header.bit_count == 1;
    uint8_t mode = t.run->mode;
    if (mode >= 7)
        return kMiss;
    if (mode >= 4)
        return kPigHit;
    if (!t.rec.in_record) {
        if (mode == 0)
            return mask_test(t);
        if (mode == 1)
            return mono ? pixel_test(t) : chain(t, {mask_test, pixel_test});
        return pixel_test(t);
    }
    if (mode == 0)
        return chain(t, {hit_mask_test, mask_test});
    if (mode == 1)
        return chain(t, {hit_mask_test, mono ? undecided : mask_test, pixel_test});
    return chain(t, {hit_mask_test, pixel_test});
}

static int test_image(ImageTest& t)
{
    PigImageCheck check = pig_image_read(t.area, t.rec.image_offset, false, t.image);
    if (check == PigImageCheck::empty)
        return 0;
    if (check == PigImageCheck::damaged)
        return kPigOverrun;
    int result = by_mode(t);
    if (result == kPigNoMemory || result == kPigNoRecord || result == kPigOverrun)
        return result;
    return result == kMiss ? 0 : kPigHit;
}

static int op_image(PigStream* s)
{
    ImageTest t{run_of(s), {}, {}, {}};
    pig_image_record(s, t.rec);
    if (!hit_framed_rect(t.run->test, t.rec.destination, t.run->pen, true))
        return 0;
    if (!t.rec.in_record) {
        t.area = std::span<const uint8_t>(s->record, s->record_length);
        return test_image(t);
    }
    MemHandle block = rec_get(t.rec.id);
    if (!block)
        return kPigNoRecord;
    auto* bytes = static_cast<const uint8_t*>(mem_lock(block));
    int result = kPigNoRecord;
    if (bytes) {
        t.area = std::span<const uint8_t>(bytes, mem_size(block));
        result = test_image(t);
        mem_unlock(block);
    }
    rec_release(t.rec.id, kReleaseOne);
    return result;
}

// --- table and entry ----------------------------------------------------------------------------

static const PigHandlerRow kHitRows[] = {
    {kPigOpFillOn, op_fill_on},
    {kPigOpFillOff, op_fill_off},
    {kPigOpLineOn, op_line_on},
    {kPigOpLineOff, op_line_off},
    {kPigOpLineSize, op_line_size},
    {kPigOpMode, op_mode},
    {kPigOpColorTable, op_color_table},
    {kPigOpImageRecord, op_image},
    {kPigOpImage, op_image},
    {kPigOpRect, op_rect},
    {kPigOpLine, op_line},
    {kPigOpOval, op_oval},
    {kPigOpRoundRect, op_rect}, // corners are not considered
    {kPigOpPolygon, op_polygon},
    {kPigOpText, op_text},
    {kPigOpOle, op_ole},
    // pies, arcs and media elements are never hit
};

void pig_hit_table_init(PigHandlerTable* table)
{
    pig_table_clear(table);
    pig_table_install(table, kHitRows);
}

int pig_hit_test(MemHandle picture, int32_t file_slot, int32_t x, int32_t y, const Rect* test, int32_t flags)
{
    PigHitRun run;
    if (int result = pig_open(picture, file_slot, &run))
        return result;
    pig_style_init(&run.run_style);
    run.style = run.spare_style = &run.run_style;
    run.point = Point{x, y};
    run.test = *test;
    run.flags = flags;
    int result = pig_exec(&run, pig_hit_table(), kPigHighestOpcode);
    pig_close(&run);
    pig_style_free(&run.run_style);
    return result;
}
