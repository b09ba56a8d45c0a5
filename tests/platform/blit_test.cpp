#include "platform/gdi/blit.h"

#include <memory>

#include "gdi_test_support.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/region.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/shape.h"
#include "platform/backend/backend.h"
#include "window_test_support.h"

namespace {

using namespace gditest;

class BlitTest : public GdiTest {};

// Pixel x of row y gets a colour of its own.
void paint_numbered(Canvas& canvas, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++)
            set_pixel(canvas.dc, x, y, ref(uint32_t(0x010000 * (x + 1) + 0x000100 * (y + 1))));
}

uint32_t numbered(int32_t x, int32_t y) { return uint32_t(0x010000 * (x + 1) + 0x000100 * (y + 1)); }

TEST_F(BlitTest, CopiesLandExactlyAndStopAtTheSourcesEdges)
{
    Canvas source(8, 8), dest(16, 16);
    paint_numbered(source, 8, 8);
    ASSERT_TRUE(bit_blt(dest.dc, 4, 4, 8, 8, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dest.at(4, 4), numbered(0, 0));
    EXPECT_EQ(dest.at(11, 11), numbered(7, 7));
    EXPECT_EQ(dest.at(3, 4), kWhite);
    EXPECT_EQ(dest.at(12, 11), kWhite);
    EXPECT_EQ(dest.at(11, 12), kWhite);

    // Half the source rectangle lies outside the source: that half of the target stays.
    Canvas partial(16, 16);
    bit_blt(partial.dc, 0, 0, 8, 8, source.dc, 4, -4, SRCCOPY);
    EXPECT_EQ(partial.at(0, 4), numbered(4, 0));
    EXPECT_EQ(partial.at(3, 7), numbered(7, 3));
    EXPECT_EQ(partial.at(4, 4), kWhite);
    EXPECT_EQ(partial.at(0, 3), kWhite);
}

TEST_F(BlitTest, OverlappingCopiesWithinOneBitmapReadTheOldPixels)
{
    struct Scroll {
        const char* name;
        int32_t dx, dy;
    };
    static const Scroll cases[] = {{"right", 1, 0}, {"left", -1, 0}, {"down", 0, 1}, {"up", 0, -1}};
    for (const Scroll& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(8, 8);
        paint_numbered(canvas, 8, 8);
        bit_blt(canvas.dc, 1 + c.dx, 1 + c.dy, 6, 6, canvas.dc, 1, 1, SRCCOPY);
        for (int32_t i = 1; i < 7; i++)
            EXPECT_EQ(canvas.at(i + c.dx, 3 + c.dy), numbered(i, 3)) << i;
    }
}

TEST_F(BlitTest, MonochromeAndColourConvertByTextAndBackgroundColours)
{
    // Monochrome to colour: 1 bits take the target's background colour, 0 bits its text colour.
    const uint8_t bits[] = {0xA0, 0x00};
    GdiObject mono_bits = create_bitmap(8, 1, 1, 1, bits, sizeof bits);
    DcHandle mono = create_compatible_dc(DcHandle{});
    GdiObject old = select_object(mono, mono_bits);
    Canvas colour(8, 1);
    set_text_color(colour.dc, ref(0xFF0000));
    set_bk_color(colour.dc, ref(0x0000FF));
    bit_blt(colour.dc, 0, 0, 8, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(colour.at(0, 0), 0x0000FFu);
    EXPECT_EQ(colour.at(1, 0), 0xFF0000u);
    EXPECT_EQ(colour.at(2, 0), 0x0000FFu);

    // Colour to monochrome: pixels of the source's background colour become 1, the rest 0.
    set_pixel(colour.dc, 3, 0, ref(0x00FF00));
    set_bk_color(colour.dc, ref(0x00FF00));
    Canvas back(8, 1, 1);
    bit_blt(back.dc, 0, 0, 8, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(back.row(0, 0, 8, kWhite), "...#....");

    // Monochrome to monochrome copies bits whatever the colours.
    set_text_color(back.dc, ref(0x00FF00));
    set_bk_color(back.dc, ref(0xFF0000));
    bit_blt(back.dc, 0, 0, 8, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(back.row(0, 0, 8, kWhite), "#.#.....");
    select_object(mono, old);
    delete_dc(mono);
    delete_object(mono_bits);
}

TEST_F(BlitTest, EveryRop3CodeCombinesPatternSourceAndDestination)
{
    // Between them the three values hold every combination of pattern, source and
    // destination bits, so each code's whole truth table shows.
    const uint32_t p = 0xF0CC33, s = 0xCCAA0F, d = 0xAAF055;
    Canvas source(1, 1);
    set_pixel(source.dc, 0, 0, ref(s));
    for (uint32_t index = 0; index < 256; index++) {
        Canvas dest(1, 1);
        set_pixel(dest.dc, 0, 0, ref(d));
        delete_object(select_object(dest.dc, create_solid_brush(ref(p))));
        ASSERT_TRUE(bit_blt(dest.dc, 0, 0, 1, 1, source.dc, 0, 0, index << 16));
        EXPECT_EQ(dest.at(0, 0), rop3_apply(uint8_t(index), p, s, d) & 0xFFFFFF) << std::hex << index;
    }
}

TEST_F(BlitTest, PatternSelectTakesTheSourceWhereThePatternIsSet)
{
    // The 0xCA0749 code of dissolve effects with an AA 55 checkerboard brush.
    uint8_t bits[16];
    for (int i = 0; i < 8; i++)
        bits[i * 2] = (i & 1) ? 0x55 : 0xAA, bits[i * 2 + 1] = 0;
    GdiObject checker = create_bitmap(8, 8, 1, 1, bits, sizeof bits);
    Canvas source(8, 8), dest(8, 8);
    pat_blt(source.dc, 0, 0, 8, 8, BLACKNESS);
    delete_object(select_object(dest.dc, create_pattern_brush(checker)));
    ASSERT_TRUE(bit_blt(dest.dc, 0, 0, 8, 8, source.dc, 0, 0, 0x00CA0749));
    EXPECT_EQ(dest.row(0, 0, 8), "#.#.#.#.");
    EXPECT_EQ(dest.row(1, 0, 8), ".#.#.#.#");
    delete_object(checker);
}

TEST_F(BlitTest, StretchModesDecideWhatShrinkingKeeps)
{
    struct ShrinkCase {
        int mode;
        uint32_t kept;
    };
    static const ShrinkCase cases[] = {
        {BLACKONWHITE, kBlack}, {WHITEONBLACK, kWhite}, {COLORONCOLOR, kWhite}, {HALFTONE, kWhite}};
    Canvas source(4, 4);
    set_pixel(source.dc, 2, 2, 0); // one black pixel among white ones
    for (const ShrinkCase& c : cases) {
        SCOPED_TRACE(c.mode);
        Canvas dest(1, 1);
        pat_blt(dest.dc, 0, 0, 1, 1, c.kept == kBlack ? WHITENESS : BLACKNESS);
        set_stretch_blt_mode(dest.dc, c.mode);
        stretch_blt(dest.dc, 0, 0, 1, 1, source.dc, 0, 0, 4, 4, SRCCOPY);
        EXPECT_EQ(dest.at(0, 0), c.kept);
    }
}

TEST_F(BlitTest, StretchingRepeatsPixelsAndOppositeSignsMirror)
{
    Canvas source(3, 100), dest(6, 300);
    paint_numbered(source, 3, 100);
    stretch_blt(dest.dc, 0, 0, 6, 300, source.dc, 0, 0, 3, 100, SRCCOPY);
    EXPECT_EQ(dest.at(0, 0), numbered(0, 0));
    EXPECT_EQ(dest.at(1, 0), numbered(0, 0));
    EXPECT_EQ(dest.at(2, 0), numbered(1, 0));
    EXPECT_EQ(dest.at(5, 299), numbered(2, 99));
    EXPECT_EQ(dest.at(0, 150), numbered(0, 50)); // the lower half starts at source row 50
    EXPECT_EQ(dest.at(0, 149), numbered(0, 49));

    Canvas mirrored(3, 1);
    stretch_blt(mirrored.dc, 3, 0, -3, 1, source.dc, 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(mirrored.at(0, 0), numbered(2, 0));
    EXPECT_EQ(mirrored.at(2, 0), numbered(0, 0));
    Canvas upside_down(1, 3);
    stretch_blt(upside_down.dc, 0, 0, 1, 3, source.dc, 0, 3, 1, -3, SRCCOPY);
    EXPECT_EQ(upside_down.at(0, 0), numbered(0, 2));
    EXPECT_EQ(upside_down.at(0, 2), numbered(0, 0));
}

TEST_F(BlitTest, PatternBlitsAndRectangleCallsPaintTheirRectangleOnly)
{
    struct PatCase {
        const char* name;
        int bits;
        uint32_t rop;
        uint32_t result;
    };
    static const PatCase cases[] = {
        {"DSTINVERT", 32, DSTINVERT, kBlack},
        {"PATINVERT with red", 32, PATINVERT, 0x00FFFF},
        {"PATCOPY with red", 32, PATCOPY, 0xFF0000},
        {"BLACKNESS on 8 bits", 8, BLACKNESS, kBlack},
        {"BLACKNESS on 1 bit", 1, BLACKNESS, kBlack},
        {"DSTINVERT on 4 bits", 4, DSTINVERT, kBlack},
        {"PATCOPY on 16 bits", 16, PATCOPY, 0xFF0000},
    };
    for (const PatCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(6, 6, c.bits);
        EXPECT_EQ(canvas.at(5, 5), kWhite);
        delete_object(select_object(canvas.dc, create_solid_brush(ref(0xFF0000))));
        ASSERT_TRUE(pat_blt(canvas.dc, 1, 1, 4, 4, c.rop));
        EXPECT_EQ(canvas.at(1, 1), c.result);
        EXPECT_EQ(canvas.at(4, 4), c.result);
        EXPECT_EQ(canvas.at(5, 4), kWhite);
        EXPECT_EQ(canvas.at(0, 0), kWhite);
    }
    Canvas canvas(6, 6);
    EXPECT_FALSE(pat_blt(canvas.dc, 0, 0, 6, 6, SRCCOPY));
    EXPECT_EQ(frame_rect(canvas.dc, Rect{1, 1, 5, 5}, get_stock_object(BLACK_BRUSH)), 1);
    EXPECT_EQ(canvas.row(1, 0, 6), ".####.");
    EXPECT_EQ(canvas.row(2, 0, 6), ".#..#.");
    EXPECT_EQ(canvas.row(4, 0, 6), ".####.");
    EXPECT_TRUE(invert_rect(canvas.dc, Rect{0, 2, 6, 3}));
    EXPECT_EQ(canvas.row(2, 0, 6), "#.##.#");
}

TEST_F(BlitTest, ClipRegionsLimitEveryBlit)
{
    Canvas source(8, 8), dest(8, 8);
    pat_blt(source.dc, 0, 0, 8, 8, BLACKNESS);
    GdiObject region = create_rect_rgn(2, 0, 4, 8);
    GdiObject other = create_rect_rgn(6, 0, 7, 8);
    combine_rgn(region, region, other, RGN_OR);
    EXPECT_EQ(select_clip_rgn(dest.dc, region), COMPLEXREGION);
    bit_blt(dest.dc, 0, 0, 8, 8, source.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(dest.row(5, 0, 8), "..##..#.");
    delete_object(region);
    delete_object(other);
}

class WindowBlitTest : public wintest::WindowTest {};

TEST_F(WindowBlitTest, WindowDcsDrawAtTheClientAreaInsideTheVisibleArea)
{
    WindowHandle top = make_top("T", Rect{0, 0, 200, 150}, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
    WindowHandle child = make_child("C", top, Rect{20, 20, 60, 60}, 1);
    pump();
    fill_client(top, rgb(255, 255, 255));
    fill_client(child, rgb(0, 255, 0));
    DcHandle memory = create_compatible_dc(DcHandle{});
    DcHandle screen = get_dc(WindowHandle{});
    GdiObject bitmap = create_compatible_bitmap(screen, 100, 100); // the memory DC's own would be monochrome
    release_dc(WindowHandle{}, screen);
    GdiObject old = select_object(memory, bitmap);
    pat_blt(memory, 0, 0, 100, 100, BLACKNESS);
    DcHandle dc = get_dc(top);
    ASSERT_TRUE(bit_blt(dc, 10, 10, 100, 100, memory, 0, 0, SRCCOPY));
    release_dc(top, dc);
    EXPECT_EQ(client_pixel(top, 10, 10), 0u);
    EXPECT_EQ(client_pixel(top, 109, 109), 0u);
    EXPECT_EQ(client_pixel(top, 110, 109), 0xFFFFFFu);
    EXPECT_EQ(client_pixel(top, 9, 10), 0xFFFFFFu);
    EXPECT_EQ(client_pixel(child, 5, 5), 0x00FF00u); // the child is clipped out

    // And back: a window DC as the source.
    pat_blt(memory, 0, 0, 100, 100, WHITENESS);
    dc = get_dc(child);
    bit_blt(memory, 0, 0, 40, 40, dc, 0, 0, SRCCOPY);
    release_dc(child, dc);
    EXPECT_EQ(get_pixel(memory, 39, 39), ref(0x00FF00));
    EXPECT_EQ(get_pixel(memory, 40, 40), ref(kWhite));
    select_object(memory, old);
    delete_dc(memory);
    delete_object(bitmap);
}

// Stands in for a display: keeps what the window layer says changed.
class ChangeRecorder : public Backend {
public:
    const char* name() const override { return "recorder"; }
    Size screen_size() const override { return Size{1024, 768}; }
    int screen_bits_per_pixel() const override { return 32; }
    void window_changed(WindowHandle, WindowChange) override {}
    void surface_changed(WindowHandle window, const Rect& rect) override { changes.push_back({window, rect}); }
    void cursor_changed(CursorHandle) override {}
    void cursor_moved(Point) override {}
    bool wait(uint32_t) override { return false; }
    void poll() override {}
    std::vector<std::pair<WindowHandle, Rect>> changes;
};

TEST_F(WindowBlitTest, DrawingOnAWindowTellsTheDisplayWhatChanged)
{
    WindowHandle top = make_top("T", Rect{0, 0, 200, 150});
    WindowHandle child = make_child("C", top, Rect{20, 30, 60, 60}, 1);
    pump();
    auto owned = std::make_unique<ChangeRecorder>();
    ChangeRecorder* recorder = owned.get();
    backend_set(std::move(owned));
    DcHandle dc = get_dc(child);
    DcTarget target;
    ASSERT_TRUE(dc_target(dc, target));
    pat_blt(dc, 2, 3, 5, 4, BLACKNESS);
    move_to_ex(dc, 0, 0, nullptr);
    line_to(dc, 0, 0); // draws nothing, so reports nothing
    release_dc(child, dc);
    ASSERT_EQ(recorder->changes.size(), 1u);
    EXPECT_EQ(recorder->changes[0].first, top);
    Rect expected{target.origin.x + 2, target.origin.y + 3, target.origin.x + 7, target.origin.y + 7};
    EXPECT_EQ(recorder->changes[0].second, expected);
    EXPECT_EQ(client_pixel(child, 6, 6), 0u);
}

} // namespace
