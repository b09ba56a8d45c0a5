#include "platform/gdi/gdi_object.h"

#include "gdi_test_support.h"
#include "platform/kernel/error.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/shape.h"

namespace {

using namespace gditest;

class GdiObjectTest : public GdiTest {};

TEST_F(GdiObjectTest, StockObjectsStayWhenDeleted)
{
    struct StockCase {
        int index;
        int type;
    };
    static const StockCase cases[] = {
        {WHITE_BRUSH, OBJ_BRUSH}, {NULL_BRUSH, OBJ_BRUSH}, {BLACK_PEN, OBJ_PEN}, {NULL_PEN, OBJ_PEN}, {DEFAULT_PALETTE, OBJ_PAL},
        {SYSTEM_FONT, OBJ_FONT}, {DEFAULT_GUI_FONT, OBJ_FONT}};
    for (const StockCase& c : cases) {
        SCOPED_TRACE(c.index);
        GdiObject stock = get_stock_object(c.index);
        EXPECT_TRUE(delete_object(stock));
        EXPECT_EQ(get_object_type(stock), c.type);
        EXPECT_EQ(get_stock_object(c.index), stock);
    }
    EXPECT_EQ(get_stock_object(9), GdiObject{});
    uint16_t entries = 0;
    ASSERT_TRUE(get_object(get_stock_object(DEFAULT_PALETTE), entries));
    EXPECT_EQ(entries, 20);
}

TEST_F(GdiObjectTest, ASelectedPenOrBrushOutlivesItsDeletion)
{
    Canvas canvas(4, 4);
    GdiObject red = create_pen(PS_SOLID, 1, ref(0xFF0000));
    GdiObject original = select_object(canvas.dc, red);
    EXPECT_EQ(original, get_stock_object(BLACK_PEN));
    EXPECT_TRUE(delete_object(red));
    EXPECT_EQ(get_object_type(red), 0); // gone for the program ...
    EXPECT_EQ(select_object(canvas.dc, red), GdiObject{});
    move_to_ex(canvas.dc, 0, 0, nullptr);
    line_to(canvas.dc, 4, 0);
    EXPECT_EQ(canvas.at(2, 0), 0xFF0000u); // ... still drawn with by the DC holding it
    EXPECT_EQ(select_object(canvas.dc, original), red);
    EXPECT_EQ(gdi_find(red, GdiLookup::pending), nullptr); // freed when let go

    // A saved state holds its objects too.
    GdiObject blue = create_solid_brush(ref(0x0000FF));
    select_object(canvas.dc, blue);
    int level = save_dc(canvas.dc);
    select_object(canvas.dc, get_stock_object(BLACK_BRUSH));
    EXPECT_TRUE(delete_object(blue));
    EXPECT_NE(gdi_find(blue, GdiLookup::pending), nullptr);
    EXPECT_TRUE(restore_dc(canvas.dc, level));
    EXPECT_EQ(fill_rect(canvas.dc, Rect{0, 1, 4, 2}, blue), 0); // the program's handle is gone
    pat_blt(canvas.dc, 0, 1, 4, 1, PATCOPY);
    EXPECT_EQ(canvas.at(0, 1), 0x0000FFu);
    select_object(canvas.dc, get_stock_object(WHITE_BRUSH));
    EXPECT_EQ(gdi_find(blue, GdiLookup::pending), nullptr);
}

TEST_F(GdiObjectTest, ABitmapBelongsToOneDcAndCannotBeDeletedThere)
{
    DcHandle first = create_compatible_dc(DcHandle{}), second = create_compatible_dc(DcHandle{});
    GdiObject bitmap = create_bitmap(8, 8, 1, 32, nullptr, 0);
    GdiObject default_bitmap = select_object(first, bitmap);
    EXPECT_EQ(get_object_type(default_bitmap), OBJ_BITMAP);
    EXPECT_EQ(select_object(second, bitmap), GdiObject{});
    EXPECT_FALSE(delete_object(bitmap));
    EXPECT_EQ(select_object(first, default_bitmap), bitmap);
    EXPECT_NE(select_object(second, bitmap), GdiObject{});
    delete_dc(second); // letting go of everything it held
    EXPECT_TRUE(delete_object(bitmap));
    EXPECT_EQ(select_object(first, get_stock_object(DEFAULT_PALETTE)), GdiObject{}); // palettes need select_palette
    delete_dc(first);
}

TEST_F(GdiObjectTest, CompatibleBitmapsTakeTheDevicesFormat)
{
    DcHandle display = get_dc(WindowHandle{});
    DcHandle memory = create_compatible_dc(display);
    BitmapInfo info;
    GdiObject colour = create_compatible_bitmap(display, 9, 3);
    GdiObject mono = create_compatible_bitmap(memory, 9, 3); // a new memory DC holds a monochrome bitmap
    GdiObject empty = create_compatible_bitmap(display, 0, 3);
    ASSERT_TRUE(get_object(colour, info));
    EXPECT_EQ(info.bits_pixel, 32);
    EXPECT_EQ(info.width_bytes, 36);
    ASSERT_TRUE(get_object(mono, info));
    EXPECT_EQ(info.bits_pixel, 1);
    EXPECT_EQ(info.width_bytes, 2);
    ASSERT_TRUE(get_object(empty, info));
    EXPECT_EQ((Rect{0, 0, info.width, info.height}), (Rect{0, 0, 1, 1}));
    GdiObject eight = create_bitmap(4, 2, 1, 8, nullptr, 0);
    select_object(memory, eight);
    GdiObject like_eight = create_compatible_bitmap(memory, 2, 2);
    ASSERT_TRUE(get_object(like_eight, info));
    EXPECT_EQ(info.bits_pixel, 8);
    EXPECT_EQ(create_bitmap(4, 2, 3, 3, nullptr, 0), GdiObject{}); // planes x bits = 9
    EXPECT_EQ(create_bitmap(4, 2, 1, 7, nullptr, 0), GdiObject{});
    EXPECT_EQ(create_bitmap(4, 2, 1, 8, "abc", 3), GdiObject{}); // fewer bits than rows

    // GetBitmapBits and SetBitmapBits use rows padded to 2 bytes.
    const uint8_t rows[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(set_bitmap_bits(like_eight, sizeof rows, rows), 4u);
    uint8_t back[8] = {};
    EXPECT_EQ(get_bitmap_bits(like_eight, sizeof back, back), 4u);
    EXPECT_EQ(back[3], 4);
    delete_dc(memory);
    release_dc(WindowHandle{}, display);
}

TEST_F(GdiObjectTest, DiscardedBitmapsCanNoLongerBeSelected)
{
    DcHandle display = get_dc(WindowHandle{});
    DcHandle memory = create_compatible_dc(display);
    GdiObject held = create_discardable_bitmap(display, 4, 4);
    GdiObject idle = create_discardable_bitmap(display, 4, 4);
    GdiObject kept = create_compatible_bitmap(display, 4, 4);
    GdiObject old = select_object(memory, held);
    gdi_discard_bitmaps();
    EXPECT_EQ(select_object(memory, idle), GdiObject{});
    EXPECT_EQ(select_object(memory, kept), held);
    EXPECT_NE(select_object(memory, held), GdiObject{}); // it was held while the purge ran
    uint8_t bits[64];
    EXPECT_EQ(get_bitmap_bits(idle, sizeof bits, bits), 0u);
    select_object(memory, old);
    delete_dc(memory);
    release_dc(WindowHandle{}, display);
}

TEST_F(GdiObjectTest, PensAndBrushesDescribeThemselves)
{
    LogPen pen;
    GdiObject wide = create_pen(PS_SOLID, 5, ref(0x123456));
    ASSERT_TRUE(get_object(wide, pen));
    EXPECT_EQ(pen.width.x, 5);
    EXPECT_EQ(pen.color, ref(0x123456));
    EXPECT_EQ(create_pen(9, 1, 0), GdiObject{});
    EXPECT_EQ(get_last_error(), ERROR_INVALID_PARAMETER);
    LogBrush brush;
    GdiObject hollow = create_brush_indirect(LogBrush{BS_NULL, 0, 0});
    ASSERT_TRUE(get_object(hollow, brush));
    EXPECT_EQ(brush.style, BS_NULL);
    EXPECT_FALSE(get_object(hollow, pen));
    EXPECT_EQ(create_pattern_brush(wide), GdiObject{});
    EXPECT_EQ(get_object_type(create_brush_indirect(LogBrush{BS_PATTERN, 0, create_bitmap(8, 8, 1, 1, nullptr, 0).id})), OBJ_BRUSH);
    EXPECT_FALSE(delete_object(GdiObject(12345)));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
}

} // namespace
