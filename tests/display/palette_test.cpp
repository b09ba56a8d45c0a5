#include "runtime/display/palette.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/palette.h"
#include "platform/kernel/clock.h"
#include "platform/window/metrics.h"
#include "tests/display/text_fixture.h"

namespace {

using plat::PaletteEntry;

std::vector<PaletteEntry> entries_of(plat::GdiObject palette)
{
    std::vector<PaletteEntry> out(plat::get_palette_entries(palette, 0, 0, nullptr));
    plat::get_palette_entries(palette, 0, uint32_t(out.size()), out.data());
    return out;
}

// 256 distinct colours that keep clear of black and white.
std::vector<PaletteEntry> spread_table(size_t count)
{
    std::vector<PaletteEntry> out;
    for (size_t i = 0; i < count; i++)
        out.push_back(PaletteEntry{uint8_t(20 + i % 200), uint8_t(30 + (i * 7) % 190), uint8_t(40 + i / 2), 0});
    return out;
}

// Twenty static colours of a palette screen: ten dark ones first, ten light ones last.
std::vector<PaletteEntry> statics()
{
    std::vector<PaletteEntry> out;
    for (int i = 0; i < 10; i++)
        out.push_back(PaletteEntry{uint8_t(i * 3), uint8_t(i * 2), uint8_t(i), 0});
    for (int i = 0; i < 10; i++)
        out.push_back(PaletteEntry{uint8_t(255 - i * 3), uint8_t(255 - i * 2), uint8_t(255 - i), 0});
    return out;
}

TEST(PaletteId, RotatesAndXorsEveryByteTheCountCovers)
{
    std::vector<PaletteEntry> two{{1, 2, 3, 0}, {4, 5, 6, 0}};
    std::vector<uint8_t> bytes = pal_log_bytes(two);
    ASSERT_EQ(bytes.size(), 12u);
    uint32_t h = 0;
    for (uint8_t b : bytes)
        h = ((h >> 8) | (h << 24)) ^ b;
    EXPECT_EQ(pal_id(bytes), h);
    EXPECT_EQ(pal_id(pal_log_bytes(two)), pal_id(bytes)); // identical tables, identical ids
    // Each byte is rotated by its place within four: swapping two colours of one entry shows,
    // swapping two whole entries does not (and stored ids rely on that very sum).
    std::vector<PaletteEntry> red_green{{2, 1, 3, 0}, {4, 5, 6, 0}};
    EXPECT_NE(pal_id(pal_log_bytes(red_green)), pal_id(bytes));
    std::vector<PaletteEntry> swapped{two[1], two[0]};
    EXPECT_EQ(pal_id(pal_log_bytes(swapped)), pal_id(bytes));
    // Bytes past the count do not count; a count past the bytes gives no id.
    bytes.push_back(9);
    EXPECT_EQ(pal_id(bytes), h);
    bytes.resize(11);
    EXPECT_EQ(pal_id(bytes), 0u);
    std::vector<PaletteEntry> parsed;
    EXPECT_FALSE(pal_parse(bytes, parsed));
    EXPECT_FALSE(pal_parse(std::vector<uint8_t>{0x00, 0x03}, parsed));
}

struct MergeCase {
    const char* name;
    int mode;
    size_t table_size;
};

TEST(PaletteMerge, ReservedColoursTakeTheEndsOfA256EntryPalette)
{
    static const MergeCase kCases[] = {
        {"mode 0, full table", 0, 256},
        {"mode 0, short table", 0, 100},
        {"mode 1, full table", 1, 256},
        {"mode 1, short table", 1, 30},
    };
    for (const MergeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<PaletteEntry> table = spread_table(c.table_size);
        pal_merge_system_colors(table, 256, c.mode, statics());
        ASSERT_EQ(table.size(), 256u);
        if (c.mode == 0) {
            EXPECT_EQ(table[0], (PaletteEntry{0, 0, 0, 0}));
            EXPECT_EQ(table[255], (PaletteEntry{255, 255, 255, 0}));
        } else {
            std::vector<PaletteEntry> reserved = statics();
            for (size_t i = 0; i < 10; i++) {
                EXPECT_EQ(table[i], reserved[i]);
                EXPECT_EQ(table[246 + i], reserved[10 + i]);
            }
        }
        size_t reserved_count = c.mode == 0 ? 2 : 20;
        for (size_t i = reserved_count / 2; i < 256 - reserved_count / 2; i++)
            EXPECT_EQ(table[i].flags, plat::PC_NOCOLLAPSE) << i;
        // A short table keeps every colour it had, in order.
        if (c.table_size + reserved_count <= 256) {
            std::vector<PaletteEntry> original = spread_table(c.table_size);
            for (size_t i = 0; i < c.table_size; i++) {
                PaletteEntry expected = original[i];
                expected.flags = plat::PC_NOCOLLAPSE;
                EXPECT_EQ(table[reserved_count / 2 + i], expected);
            }
        }
    }
}

TEST(PaletteMerge, AFullTableLosesTheEntriesNearestTheStaticColours)
{
    // 236 colours far from every static colour and 20 near ones, mixed in.
    std::vector<PaletteEntry> table;
    std::vector<PaletteEntry> near;
    for (int i = 0; i < 256; i++) {
        if (i % 12 == 5 && near.size() < 20) {
            PaletteEntry close = statics()[near.size()];
            close.blue = uint8_t(close.blue < 128 ? close.blue + 1 + near.size() % 3 : close.blue - 1 - near.size() % 3);
            near.push_back(close);
            table.push_back(close);
        } else {
            table.push_back(PaletteEntry{uint8_t(60 + i % 128), uint8_t(70 + (i * 3) % 100), uint8_t(64 + i / 4), 0});
        }
    }
    ASSERT_EQ(near.size(), 20u);
    pal_merge_system_colors(table, 256, 1, statics());
    for (const PaletteEntry& gone : near) {
        for (size_t i = 10; i < 246; i++)
            EXPECT_FALSE(table[i].red == gone.red && table[i].green == gone.green && table[i].blue == gone.blue) << i;
    }
}

TEST(PaletteMerge, DuplicatesAndReservedColoursGoFirst)
{
    std::vector<PaletteEntry> table{{9, 9, 9, 0}, {0, 0, 0, 0}, {9, 9, 9, 0}, {255, 255, 255, 0}, {7, 7, 7, 0}};
    pal_merge_system_colors(table, 8, 0, {});
    std::vector<PaletteEntry> expected{{0, 0, 0, 0}, {9, 9, 9, 4}, {7, 7, 7, 4}, {0, 0, 0, 4}, {0, 0, 0, 4}, {0, 0, 0, 4},
        {0, 0, 0, 4}, {255, 255, 255, 0}};
    // The padding is black like the reserved black, so the padding goes before any colour.
    EXPECT_EQ(table.size(), 8u);
    EXPECT_EQ(table[0], expected[0]);
    EXPECT_EQ(table[1], expected[1]);
    EXPECT_EQ(table[2], expected[2]);
    EXPECT_EQ(table[7], expected[7]);
    std::vector<PaletteEntry> untouched{{1, 2, 3, 0}};
    pal_merge_system_colors(untouched, 0, 1, statics()); // a true-colour screen
    EXPECT_EQ(untouched, (std::vector<PaletteEntry>{{1, 2, 3, 0}}));
}

// The palette over the headless screen, at the depth given.
class PaletteTest : public texttest::PieceTextTest {
protected:
    void SetUp() override
    {
        PieceTextTest::SetUp();
        pal_reset();
    }
    void TearDown() override
    {
        pal_reset();
        plat::backend_set(nullptr);
        plat::clock_use_real();
        PieceTextTest::TearDown();
    }
    void screen_at(int bits)
    {
        plat::HeadlessOptions options;
        options.bits_per_pixel = bits;
        std::string error;
        ASSERT_TRUE(plat::headless_start_with(options, {}, error)) << error;
    }
};

TEST_F(PaletteTest, WithoutATableTheBuiltInPaletteOfTheDepthServes)
{
    screen_at(32);
    ASSERT_EQ(pal_init_system(), 1);
    EXPECT_EQ(pal_system_info().palette_size, 0); // true colour: nothing merged
    plat::GdiObject palette;
    uint32_t id = pal_from_colors({}, 1, &palette);
    ASSERT_TRUE(palette);
    std::vector<PaletteEntry> cube = entries_of(palette);
    ASSERT_EQ(cube.size(), 256u);
    EXPECT_EQ(cube[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(cube[215], (PaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ(cube[1], (PaletteEntry{0, 0, 51, 0}));
    EXPECT_EQ(cube[216].red, cube[216].green); // the greys follow the cube
    EXPECT_EQ(id, pal_id(pal_log_bytes(cube))); // the id of the unmerged table
    plat::delete_object(palette);

    ASSERT_TRUE(plat::headless_set_depth(4));
    id = pal_from_colors({}, 1, &palette);
    std::vector<PaletteEntry> vga = entries_of(palette);
    ASSERT_EQ(vga.size(), 16u);
    EXPECT_EQ(vga[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(vga[15], (PaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ(id, pal_id(pal_log_bytes(vga)));
    plat::delete_object(palette);
}

TEST_F(PaletteTest, ThePiecesPropertyServesOnDeepScreensAndADamagedOneIsNotRead)
{
    screen_at(8);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\" {\n"
                           "    prop 36 u16 0x300 2 u8 10 20 30 0 40 50 60 0\n"
                           "    prop 26 u8 1 2 3 0\n"
                           "    prop 31 u8 4 5 6 0\n"
                           "}\n"),
        0);
    ASSERT_TRUE(pal_use_piece_palette());
    EXPECT_TRUE(pal_current_is_piece());
    EXPECT_EQ(entries_of(pal_current()), (std::vector<PaletteEntry>{{10, 20, 30, 0}, {40, 50, 60, 0}}));
    EXPECT_EQ(pal_current_id(), pal_id(pal_log_bytes({{10, 20, 30, 0}, {40, 50, 60, 0}})));
    EXPECT_EQ(pal_background_color(), 0x030201u);
    EXPECT_EQ(pal_key_color(), 0x060504u);
    // The cache is kept until the piece's palette is forgotten.
    pal_forget_piece_palette();
    node_file_close_all(kPieceSlot);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\" {\n    prop 36 u16 0x300 9 u8 10 20 30 0\n}\n"), 0);
    ASSERT_TRUE(pal_use_piece_palette());
    EXPECT_EQ(entries_of(pal_current()).size(), 256u); // the count is past the bytes: built-in
}

TEST_F(PaletteTest, WithoutAPieceTheColoursAreTheDefaults)
{
    screen_at(32);
    EXPECT_EQ(pal_background_color(), 0xFFFFFFu);
    EXPECT_EQ(pal_key_color(), 0xFF00FFu);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\" {\n    attr 0x20A0410 1\n}\n"), 0);
    EXPECT_EQ(pal_background_color(), plat::get_sys_color(plat::COLOR_WINDOW));
    EXPECT_EQ(pal_key_color(), 0xFF00FFu);
}

TEST_F(PaletteTest, TheSavedBlockRoundTripsAndADamagedOneFallsBackToThePiece)
{
    screen_at(32);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\"\n"), 0);
    ASSERT_TRUE(pal_use_piece_palette());
    std::vector<uint8_t> own = pal_save_entries();
    EXPECT_EQ(own, (std::vector<uint8_t>{0, 0, 1, 0, 0, 0, 0x00, 0x03, 0, 0})); // count 0: the piece's own
    uint32_t piece_id = pal_current_id();

    std::vector<uint8_t> table = pal_log_bytes({{1, 2, 3, 0}, {4, 5, 6, 0}});
    ASSERT_TRUE(pal_apply(table, 0));
    EXPECT_FALSE(pal_current_is_piece());
    EXPECT_EQ(pal_current_mode(), 0);
    std::vector<uint8_t> saved = pal_save_entries();
    ASSERT_EQ(saved.size(), 6u + table.size());
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 6, saved.end()), table);

    ASSERT_TRUE(pal_restore_entries(own));
    EXPECT_TRUE(pal_current_is_piece());
    EXPECT_EQ(pal_current_id(), piece_id);
    ASSERT_TRUE(pal_restore_entries(saved));
    EXPECT_EQ(entries_of(pal_current()), (std::vector<PaletteEntry>{{1, 2, 3, 0}, {4, 5, 6, 0}}));
    EXPECT_EQ(pal_current_mode(), 0);

    static const struct {
        const char* name;
        std::vector<uint8_t> block;
    } kDamaged[] = {
        {"count past the block", {0, 0, 1, 0, 0, 0, 0x00, 0x03, 5, 0, 1, 2, 3, 0}},
        {"no leading zero", {1, 0, 1, 0, 0, 0, 0x00, 0x03, 0, 0}},
        {"cut short", {0, 0, 1}},
        {"a mode that is none", {0, 0, 7, 0, 0, 0, 0x00, 0x03, 0, 0}},
    };
    for (const auto& c : kDamaged) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(pal_apply(table, 0));
        EXPECT_TRUE(pal_restore_entries(c.block));
        EXPECT_TRUE(pal_current_is_piece());
        EXPECT_EQ(pal_current_id(), piece_id);
    }
}

TEST_F(PaletteTest, SystemPaletteCallsChangeNothingAndSelectingRealises)
{
    screen_at(8);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\" {\n    attr 0x2010520 1\n}\n"), 0);
    piece_mark_open(1);
    std::vector<uint32_t> colours;
    for (int i = 0; i < 24; i++)
        colours.push_back(plat::get_sys_color(i));
    ASSERT_TRUE(pal_use_piece_palette());
    EXPECT_EQ(pal_current_mode(), 0); // the piece wants all colours
    pal_on_deactivate();
    pal_on_activate();
    pal_on_palette_changed(plat::WindowHandle{});
    for (int i = 0; i < 24; i++)
        EXPECT_EQ(plat::get_sys_color(i), colours[size_t(i)]) << i;
    EXPECT_EQ(pal_select_realize(plat::DcHandle{}), 0u);
    plat::DcHandle dc = plat::get_dc(plat::WindowHandle{});
    pal_select_realize(dc);
    EXPECT_EQ(plat::get_nearest_color(dc, plat::palette_index(0)) & 0xFFFFFF, 0u);
    plat::release_dc(plat::WindowHandle{}, dc);
    pal_set_background(true);
    EXPECT_EQ(pal_background_count(), 1);
    pal_set_background(false);
    EXPECT_EQ(pal_background_count(), 0);
    piece_mark_open(0);
}

TEST_F(PaletteTest, SettingAPaletteCopiesOrTakesItAsItIs)
{
    screen_at(32);
    PaletteEntry two[] = {{1, 1, 1, 0}, {2, 2, 2, 0}};
    plat::GdiObject given = plat::create_palette(two, 2);
    ASSERT_TRUE(pal_set_palette(given, kPalFlagNoStatic, PalUse::as_is));
    EXPECT_EQ(pal_current(), given);
    EXPECT_EQ(pal_current_id(), 0u); // unknown: pictures are translated
    EXPECT_EQ(pal_current_mode(), 0);
    plat::GdiObject other = plat::create_palette(two, 2);
    ASSERT_TRUE(pal_set_palette(other, kPalFlagStatic, PalUse::merged));
    EXPECT_NE(pal_current(), other);
    EXPECT_EQ(pal_current_id(), pal_id(pal_log_bytes({{1, 1, 1, 0}, {2, 2, 2, 0}})));
    EXPECT_EQ(pal_current_mode(), 1);
    EXPECT_FALSE(pal_set_palette(plat::GdiObject{}, 0, PalUse::merged));
}

} // namespace
