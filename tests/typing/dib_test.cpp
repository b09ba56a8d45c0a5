#include "typing/dib.h"

#include "platform/gdi/blit.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rop.h"

#include "test_util.h"

namespace {

class Dib : public ::testing::Test {
protected:
    void SetUp() override { plat::dc_reset(); }
    void TearDown() override { plat::dc_reset(); }
};

std::vector<uint32_t> ramp(size_t count)
{
    std::vector<uint32_t> colours(count);
    for (size_t i = 0; i < count; ++i)
        colours[i] = uint32_t(0x010203 * i) ^ 0x804020;
    return colours;
}

TEST_F(Dib, PaletteHoldsTheTableItsHeaderDescribes)
{
    struct PaletteCase {
        const char* name;
        TestDib dib;
        size_t entries; // 0: no palette
    };
    std::vector<uint8_t> row4(4), row8(4), row24(4);
    const PaletteCase kCases[] = {
        {"1 bit: two colours", {40, 1, 1, 1, 0, ramp(2), row4}, 2},
        {"4 bits: sixteen", {40, 1, 1, 4, 0, ramp(16), row4}, 16},
        {"4 bits, five colours used", {40, 1, 1, 4, 5, ramp(5), row4}, 5},
        {"8 bits: 256", {40, 1, 1, 8, 0, ramp(256), row8}, 256},
        {"core header with 3-byte entries", {12, 1, 1, 8, 0, ramp(256), row8}, 256},
        {"24 bits without a table", {40, 1, 1, 24, 0, {}, row24}, 0},
        {"24 bits, 300 colours used: a palette holds 256", {40, 1, 1, 24, 300, ramp(300), row24},
            256},
        {"a table cut by the block's end", {40, 1, 1, 8, 0, ramp(100), {}}, 0},
        {"a header of an unknown size", {20, 1, 1, 8, 0, ramp(256), row8}, 0},
    };
    for (const PaletteCase& c : kCases) {
        SCOPED_TRACE(c.name);
        plat::GdiObject palette = dib_palette_create(packed_dib(c.dib));
        ASSERT_EQ(bool(palette), c.entries > 0);
        if (!palette)
            continue;
        std::vector<plat::PaletteEntry> entries(300);
        ASSERT_EQ(plat::get_palette_entries(palette, 0, 300, entries.data()), c.entries);
        for (size_t i = 0; i < c.entries; ++i) {
            uint32_t colour = c.dib.table[i];
            plat::PaletteEntry want {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour), 0};
            ASSERT_EQ(entries[i], want) << i;
        }
        plat::delete_object(palette);
    }
}

TEST_F(Dib, BitmapsHoldTheDibsColours)
{
    static const uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808000, 0x102030};
    auto index = [](int x, int y) { return uint32_t((x + 2 * y) % 5); };
    auto colour = [&](int x, int y) { return kColours[index(x, y)]; };
    struct BitmapCase {
        const char* name;
        TestDib dib;
    };
    std::vector<uint32_t> table(std::begin(kColours), std::end(kColours));
    std::vector<uint32_t> table16 = table;
    table16.resize(16);
    const BitmapCase kCases[] = {
        {"4 bits, five colours used", {40, 7, 3, 4, 5, table, dib_rows(7, 3, 4, index)}},
        {"core header", {12, 7, 3, 4, 0, table16, dib_rows(7, 3, 4, index)}},
        {"24 bits", {40, 7, 3, 24, 0, {}, dib_rows(7, 3, 24, colour)}},
    };
    for (const BitmapCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> dib = packed_dib(c.dib);
        plat::GdiObject palette = dib_palette_create(dib);
        plat::GdiObject bitmap = dib_to_bitmap(dib, palette);
        ASSERT_TRUE(bitmap);
        Canvas canvas(7, 3, 0xFFFFFF);
        plat::DcHandle memory = plat::create_compatible_dc(plat::DcHandle {});
        plat::GdiObject previous = plat::select_object(memory, bitmap);
        plat::bit_blt(canvas.dc, 0, 0, 7, 3, memory, 0, 0, plat::SRCCOPY);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(canvas.at(x, y), kColours[index(x, y)]) << x << ", " << y;
        }
        plat::select_object(memory, previous);
        plat::delete_dc(memory);
        plat::delete_object(bitmap);
        if (palette)
            plat::delete_object(palette);
    }

    TestDib cut {40, 7, 3, 4, 5, table, dib_rows(7, 3, 4, index)};
    cut.bits.pop_back(); // the top row lacks a byte
    EXPECT_FALSE(dib_to_bitmap(packed_dib(cut), plat::GdiObject {}));
    EXPECT_FALSE(dib_to_bitmap(std::vector<uint8_t>(10, 0), plat::GdiObject {}));
}

} // namespace
