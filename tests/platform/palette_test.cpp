#include "platform/gdi/palette.h"

#include "gdi_test_support.h"

namespace {

using namespace gditest;

class PaletteTest : public GdiTest {};

TEST_F(PaletteTest, LogicalPalettesKeepAndFindTheirEntries)
{
    const PaletteEntry entries[] = {{0, 0, 0, 0}, {200, 0, 0, 0}, {200, 0, 0, PC_NOCOLLAPSE}, {0, 0, 250, 0}};
    GdiObject palette = create_palette(entries, 4);
    PaletteEntry out[8] = {};
    EXPECT_EQ(get_palette_entries(palette, 0, 0, nullptr), 4u);
    EXPECT_EQ(get_palette_entries(palette, 2, 8, out), 2u);
    EXPECT_EQ(out[0], entries[2]);
    EXPECT_EQ(get_nearest_palette_index(palette, ref(0xFF0000)), 1u); // the first of two equals
    EXPECT_EQ(get_nearest_palette_index(palette, ref(0x0000FF)), 3u);
    EXPECT_EQ(get_nearest_palette_index(palette, palette_index(2)), 2u);
    const PaletteEntry green{0, 255, 0, 0};
    EXPECT_EQ(set_palette_entries(palette, 3, 5, &green), 1u);
    EXPECT_EQ(get_nearest_palette_index(palette, ref(0x00F000)), 3u);
    ASSERT_TRUE(resize_palette(palette, 6));
    EXPECT_EQ(get_palette_entries(palette, 5, 1, out), 1u);
    EXPECT_EQ(out[0], (PaletteEntry{}));
    EXPECT_FALSE(resize_palette(palette, 0));
    EXPECT_EQ(create_palette(entries, 0), GdiObject{});
    EXPECT_EQ(get_nearest_palette_index(get_stock_object(WHITE_BRUSH), 0), CLR_INVALID);
    EXPECT_EQ(set_palette_entries(get_stock_object(DEFAULT_PALETTE), 0, 1, &green), 0u); // stock: unchanged
    delete_object(palette);
}

TEST_F(PaletteTest, DcsLookUpPaletteColoursInTheirPalette)
{
    Canvas canvas(4, 1);
    const PaletteEntry entries[] = {{10, 20, 30, 0}, {0, 128, 255, 0}};
    GdiObject palette = create_palette(entries, 2);
    EXPECT_EQ(select_palette(canvas.dc, palette, false), get_stock_object(DEFAULT_PALETTE));
    EXPECT_EQ(realize_palette(canvas.dc), 0u); // a true-colour screen maps nothing
    GdiObject indexed = create_solid_brush(palette_index(1));
    GdiObject past_end = create_solid_brush(palette_index(7));
    GdiObject relative = create_solid_brush(palette_rgb(1, 2, 3));
    fill_rect(canvas.dc, Rect{0, 0, 1, 1}, indexed);
    fill_rect(canvas.dc, Rect{1, 0, 2, 1}, past_end);
    fill_rect(canvas.dc, Rect{2, 0, 3, 1}, relative);
    EXPECT_EQ(canvas.at(0, 0), 0x0080FFu);
    EXPECT_EQ(canvas.at(1, 0), kBlack);
    EXPECT_EQ(canvas.at(2, 0), 0x010203u);
    EXPECT_EQ(get_nearest_color(canvas.dc, palette_index(0)), ref(0x0A141E));
    EXPECT_EQ(select_palette(canvas.dc, get_stock_object(DEFAULT_PALETTE), true), palette);
    EXPECT_EQ(get_system_palette_use(canvas.dc), SYSPAL_STATIC);
    EXPECT_EQ(set_system_palette_use(canvas.dc, SYSPAL_NOSTATIC), SYSPAL_STATIC);
    EXPECT_EQ(get_system_palette_entries(canvas.dc, 0, 1, nullptr), 0u);
    for (GdiObject object : {indexed, past_end, relative, palette})
        delete_object(object);
}

TEST_F(PaletteTest, NearestColoursDependOnTheBitmapsFormat)
{
    struct NearestCase {
        int bits;
        uint32_t asked, answer;
    };
    static const NearestCase cases[] = {
        {32, 0x123456, 0x123456}, {24, 0x123456, 0x123456}, {16, 0x123456, 0x103152}, {8, 0xF0F0F0, 0xFFFBF0},
        {4, 0x700000, 0x800000}, {1, 0x808080, kWhite}, {1, 0x7F7F7F, kBlack},
    };
    for (const NearestCase& c : cases) {
        SCOPED_TRACE(c.bits);
        Canvas canvas(1, 1, c.bits);
        EXPECT_EQ(get_nearest_color(canvas.dc, ref(c.asked)), ref(c.answer));
    }
}

} // namespace
