// Text styles: record type 25 as the piece maker writes it in both byte orders (checked against
// hand-made bytes), loaded when a piece opens, every count and reference checked, and the
// style operations.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/font_names.h"
#include "runtime/display/text_style_record.h"
#include "runtime/store/swap_record.h"
#include "tests/display/text_fixture.h"
#include "tests/runtime/hex_fixture.h"
#include "tools/piecemaker/pm_dump.h"

namespace {

using texttest::PieceTextTest;

// One style (number 1: colour 0x0000ff, one tab stop at 36), no fonts, no names.
constexpr const char* kFixtureStyles = "styles 40 raw names short\n"
                                       "style 1 mask 0x4000 color 0xff slot-flags 1 tabs 36\n";
// Its record by hand: header | style | tab | fonts block | names block.
constexpr const char* kFixtureLittle = "1300 0100 0000 6e000000 00000000 04000000 0100 0000 0000 |"
                                       " 0100 00400000 ff000000 00000000 0100 0000 00 00 0000 0000 0000 0000 0000 0100"
                                       " 0000 0000 0000 0000 0000"
                                       " 00000000000000000000000000000000000000000000000000000000000000000000000000000000"
                                       " 0000 | 2400 | 0000 4000 | 0000 4000";
constexpr const char* kFixtureBig = "0013 0001 0000 0000006e 00000000 00000004 0001 0000 0000 |"
                                    " 0001 00004000 000000ff 00000000 0001 0000 00 00 0000 0000 0000 0000 0000 0001"
                                    " 0000 0000 0000 0000 0000"
                                    " 00000000000000000000000000000000000000000000000000000000000000000000000000000000"
                                    " 0000 | 0024 | 0000 0040 | 0000 0040";

class TextStyleTest : public PieceTextTest {
protected:
    int open_styles(const std::string& statements, const std::string& icons = "icon map \"Top\"\n",
        const std::string& fontmap_text = "")
    {
        return open_current("kind PCRS\n" + icons + statements, fontmap_text);
    }
};

TEST_F(TextStyleTest, FixtureBytesInBothOrders)
{
    std::vector<uint8_t> little = from_hex(kFixtureLittle);
    std::vector<uint8_t> big = from_hex(kFixtureBig);
    for (int order = 0; order < 2; order++) {
        SCOPED_TRACE(order == 0 ? "little" : "big");
        std::string description = std::string("kind PCRS\n") + (order ? "order big\n" : "") + "icon map \"Top\"\n" + kFixtureStyles;
        std::vector<uint8_t> file = piece_bytes(description);
        const std::vector<uint8_t>& stored = order ? big : little;
        EXPECT_NE(std::search(file.begin(), file.end(), stored.begin(), stored.end()), file.end());
        // The dump shows the record in native order whichever order it is stored in.
        write_file("fixture.v5r", file);
        std::string dump;
        EXPECT_EQ(pm_dump(host("fixture.v5r"), 40, dump), 0);
        EXPECT_EQ(dump.substr(0, 58), "00000000  13 00 01 00 00 00 6e 00 00 00 00 00 00 00 04 00\n");
        node_file_close_all(kPieceSlot);
        ASSERT_EQ(open_current(description), 0);
        ASSERT_EQ(text_style_count(kPieceSlot), 1);
        EXPECT_EQ(text_style_color(1, kPieceSlot), 0xffu);
        int count = 0;
        const int32_t* tabs = text_style_tabs(1, kPieceSlot, &count);
        ASSERT_EQ(count, 1);
        EXPECT_EQ(tabs[0], 36);
        EXPECT_EQ(text_style_default(kPieceSlot), 1);
    }
    // The converter turns one into the other.
    std::vector<uint8_t> converted = little;
    ASSERT_EQ(swap_record_bytes(25, converted.data(), converted.size(), 0), 0);
    EXPECT_EQ(converted, big);
    ASSERT_EQ(swap_record_bytes(25, converted.data(), converted.size(), 1), 0);
    EXPECT_EQ(converted, little);
}

TEST_F(TextStyleTest, GapsInTheNumbersLeaveStylesNotInUse)
{
    ASSERT_EQ(open_styles("styles 40 zlib\nstyle 1 slot-flags 1\nstyle 2 slot-flags 1\nstyle 5 slot-flags 1\n"), 0);
    ASSERT_EQ(text_style_count(kPieceSlot), 5);
    for (int index : {3, 4})
        EXPECT_EQ(text_style_get(index, kPieceSlot)->slot_flags & kStyleInUse, 0) << index;
    EXPECT_EQ(text_style_get(5, kPieceSlot)->slot_flags & kStyleInUse, kStyleInUse);
    // A new style takes the first one not in use.
    EXPECT_EQ(text_style_new(7, kPieceSlot), 3);
    EXPECT_EQ(text_style_get(3, kPieceSlot)->slot_flags, kStyleInUse | kStyleMadeAtRunTime);
}

TEST_F(TextStyleTest, StyleOneLosesCursorHotTextAndLink)
{
    ASSERT_EQ(open_styles("styles 40 raw\nstyle 1 mask 0x17004000 cursor 3 link 9 hot 1\n"
                          "style 2 mask 0x01000000 cursor 3\n"),
        0);
    EXPECT_EQ(text_style_attr_mask(1, kPieceSlot), 0x4000u);
    EXPECT_EQ(text_style_link(1, kPieceSlot), 0);
    EXPECT_EQ(text_style_attr_mask(2, kPieceSlot), 0x01000000u);
    // No cursor module has lent its hook: no cursor.
    EXPECT_EQ(text_style_cursor(2, kPieceSlot), 0u);
    text_style_set_cursor_hook([](int stored) { return uint32_t(100 + stored); });
    EXPECT_EQ(text_style_cursor(2, kPieceSlot), 103u);
    EXPECT_EQ(text_style_cursor(1, kPieceSlot), 100u); // without the attribute: cursor 0
    text_style_set_cursor_hook(nullptr);
}

TEST_F(TextStyleTest, LinksStayOnlyToNavigateIconsUnderNodeThree)
{
    const char* icons = "icon map \"Top\" {\n"
                        "    icon map \"Three\" node 3 {\n"
                        "        icon navigate \"Go\" node 20\n"
                        "        icon calc \"Calc\" node 21\n"
                        "    }\n"
                        "    icon navigate \"Elsewhere\" node 22\n"
                        "}\n";
    ASSERT_EQ(open_styles("styles 40 raw\nstyle 1\n"
                          "style 2 mask 0x10000000 link 20\nstyle 3 mask 0x10000000 link 21\n"
                          "style 4 mask 0x10000000 link 22\nstyle 5 mask 0x10000000 link 999\nstyle 6 link 20\n",
                  icons),
        0);
    static const struct {
        int style;
        uint16_t link;
    } kLinks[] = {{2, 20}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    for (const auto& c : kLinks) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(text_style_link(c.style, kPieceSlot), c.link);
        EXPECT_EQ(text_style_get(c.style, kPieceSlot)->link, c.link);
    }
    // The learner's records' slot keeps links unchecked.
    std::vector<uint8_t> record = text_styles_write({StoredStyle {}, StoredStyle {2, {}, {}}}, {}, {}, NamesForm::short_form, 0, 1);
    plat::store_u32le(record.data() + 24 + 84 + 2, kStyleLink);
    plat::store_u16le(record.data() + 24 + 84 + 36, 21);
    std::vector<TextStyle> styles;
    int16_t flags = 0, default_style = 0;
    ASSERT_EQ(text_styles_parse(record.data(), record.size(), 24, styles, &flags, &default_style), 0);
    EXPECT_EQ(styles[1].link, 21);
    ASSERT_EQ(text_styles_parse(record.data(), record.size(), 2, styles, &flags, &default_style), 0);
    EXPECT_EQ(styles[1].link, 0);
}

TEST_F(TextStyleTest, FontsAndNamesJoinTheProcessTables)
{
    ASSERT_EQ(open_styles("styles 40 raw names long\n"
                          "style-name \"Helvetica\" \"Arial\" flags 0x60\n"
                          "style-name \"Geneva\" \"\"\n"
                          "style-font 1 12\nstyle-font 2 10\n"
                          "style 1 mask 0x300 font-name 1 font 1\n"
                          "style 2 mask 0x300 font-name 2 font 2\n"
                          "style 3 mask 0x4000\n",
                  "icon map \"Top\"\n", "Mac: Geneva => Win: Verdana Map None\n"),
        0);
    char name[40];
    text_style_font_name(1, kPieceSlot, name, sizeof name);
    EXPECT_STREQ(name, "Arial");
    EXPECT_EQ(text_style_size(1, kPieceSlot), 12);
    // A platform-2 name alone is filled in through the font map.
    text_style_font_name(2, kPieceSlot, name, sizeof name);
    EXPECT_STREQ(name, "Verdana");
    int entry = text_style_get(2, kPieceSlot)->font_name;
    EXPECT_EQ(font_name_flags(entry) & (kFontNameFilledIn | kFontNameTranslated), kFontNameFilledIn);
    EXPECT_EQ(text_style_font_translated(2, kPieceSlot, 1), 0);
    EXPECT_EQ(text_style_font_translated(3, kPieceSlot, 1), 1); // no font: the default
    EXPECT_EQ(font_name_find(2, "HELVETICA"), text_style_get(1, kPieceSlot)->font_name);
    EXPECT_NE(text_style_font_entry(1, kPieceSlot), 0);
    EXPECT_EQ(text_style_font_entry(3, kPieceSlot), 0);
    EXPECT_GT(text_style_ascent(1, kPieceSlot, 1), 0);
    EXPECT_EQ(text_style_ascent(3, kPieceSlot, 1), 0);
    StockFont font;
    text_style_create_font(1, kPieceSlot, &font);
    EXPECT_TRUE(font.font);
    font_release(&font);
    plat::DcHandle screen = plat::get_dc({});
    EXPECT_GT(text_style_text_width(screen, 1, kPieceSlot, "Wide", 4), 0);
    EXPECT_EQ(text_style_text_width(screen, 3, kPieceSlot, "Wide", 4), 0);
    plat::release_dc({}, screen);
    // Unloading the last file's styles frees both tables.
    text_styles_unload(kPieceSlot);
    EXPECT_EQ(font_name_count(), 0);
    EXPECT_EQ(font_count(), 0);
}

struct DamageCase {
    const char* name;
    size_t offset; // where the patch goes in the base record
    const char* patch;
    int result;
};

// The base: styles 1 and 2 (style 2: font 1, one tab), one font, one short name.
// Offsets: header 0, style 1 at 24, style 2 at 108 (tab at 192), fonts at 194, names at 262.
static const DamageCase kDamageCases[] = {
    {"the base", 0, "", 0},
    {"version 18", 0, "1200", 5001},
    {"more styles than the record holds", 2, "0300", 5000},
    {"a negative count", 2, "ffff", 5000},
    {"a tab count past the record", 108 + 30, "ff7f", 5000},
    {"a negative tab count", 108 + 30, "ffff", 5000},
    {"fonts block past the record", 6, "ffff0000", 5000},
    {"fonts block inside the header", 6, "05000000", 5000},
    {"fonts block inside a style", 6, "c0000000", 5000},
    {"fonts block longer than the record", 14, "ffff0000", 5000},
    {"style numbers falling", 108, "0100", 5000},
    {"style number zero", 24, "0000", 5000},
    {"a font reference past the block", 108 + 40, "0200", 5000},
    {"a name reference past the block", 108 + 38, "0900", 5000},
    {"a fonts entry smaller than its record", 196, "1000", 5000},
    {"a font record of no version", 198 + 2, "0900", 5000},
    {"a names entry size below an entry", 264, "1000", 5000},
};

static std::vector<uint8_t> damage_base()
{
    StoredStyle first;
    first.style.slot_flags = kStyleInUse;
    StoredStyle second;
    second.number = 2;
    second.style.mask = kStyleFont | kStyleSize;
    second.style.font_name = 1;
    second.style.font = 1;
    second.tabs = {10};
    StoredFont font;
    font.desc.point_size = 12;
    font.desc.pixel_height = -16;
    font.desc.flags = kFontMadeOnPlatform1;
    StoredFontName name;
    std::strcpy(name.platform1, "Arial");
    return text_styles_write({first, second}, {font}, {name}, NamesForm::short_form, 0, 1);
}

TEST_F(TextStyleTest, EveryCountOffsetAndReferenceIsChecked)
{
    std::vector<uint8_t> base = damage_base();
    ASSERT_EQ(base.size(), 262u + 4 + 64);
    ASSERT_EQ(plat::load_u32le(base.data() + 6), 194u);
    for (const DamageCase& c : kDamageCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> record = base;
        std::vector<uint8_t> patch = from_hex(c.patch);
        std::copy(patch.begin(), patch.end(), record.begin() + ptrdiff_t(c.offset));
        std::vector<TextStyle> styles;
        int16_t flags = 0, default_style = 0;
        EXPECT_EQ(text_styles_parse(record.data(), record.size(), 2, styles, &flags, &default_style), c.result);
        // The converter never reads past the record either.
        text_styles_swap(record.data(), record.size(), 1);
        text_styles_swap(record.data(), record.size(), 0);
    }
    for (size_t cut = 0; cut < base.size(); cut++) {
        std::vector<TextStyle> styles;
        int16_t flags = 0, default_style = 0;
        std::vector<uint8_t> shorter(base.begin(), base.begin() + ptrdiff_t(cut));
        EXPECT_NE(text_styles_parse(shorter.data(), shorter.size(), 2, styles, &flags, &default_style), 0) << cut;
    }
}

TEST_F(TextStyleTest, AFailedLoadKeepsTheTable)
{
    ASSERT_EQ(open_styles("styles 40 raw\nstyle 1 mask 0x4000 color 7\nrecord 41 25 raw\nu16 18 0 0\nzeros 18\nend\n"), 0);
    node_dir_set_word(kPieceSlot, kStyleRecordDirWord, 41);
    EXPECT_EQ(text_styles_load(kPieceSlot), 5001);
    EXPECT_EQ(text_style_color(1, kPieceSlot), 7u);
    node_dir_set_word(kPieceSlot, kStyleRecordDirWord, 0);
    EXPECT_EQ(text_styles_load(kPieceSlot), 5002);
    EXPECT_EQ(text_style_count(kPieceSlot), 1);
}

TEST_F(TextStyleTest, AFileWithoutStylesOpensWithAnEmptyTable)
{
    ASSERT_EQ(open_styles(""), 0);
    EXPECT_EQ(text_style_count(kPieceSlot), 0);
}

TEST_F(TextStyleTest, CopyCompareAndFindEqual)
{
    ASSERT_EQ(open_styles("styles 40 raw names short\nstyle-name \"\" \"Arial\"\nstyle-font 1 12\n"
                          "style 1 slot-flags 1\n"
                          "style 2 mask 0x300 font-name 1 font 1 slot-flags 1\n"
                          "style 3 mask 0x100 font-name 1 font 1 slot-flags 1\n"
                          "style 4 mask 0x804001 color 5 align 2 bits 1 slot-flags 1 tabs 10 20\n"
                          "style 5 mask 0x10000000 link 0 slot-flags 1\n"),
        0);
    int target = text_style_new(0, kPieceSlot);
    text_style_copy_attrs(2, target, kPieceSlot);
    EXPECT_NE(text_style_font_entry(target, kPieceSlot), 0);
    // A font without its size names no font of the table.
    text_style_copy_attrs(3, target, kPieceSlot);
    EXPECT_EQ(text_style_font_entry(target, kPieceSlot), 0);
    EXPECT_EQ(text_style_get(target, kPieceSlot)->font_name, text_style_get(3, kPieceSlot)->font_name);

    int copy = text_style_new(0, kPieceSlot);
    uint32_t list[] = {4};
    text_style_apply_list(list, 1, copy, kPieceSlot);
    EXPECT_EQ(text_style_compare(copy, kPieceSlot, 4, kPieceSlot), 0u);
    int count = 0;
    EXPECT_EQ(text_style_tabs(copy, kPieceSlot, &count)[1], 20);
    EXPECT_EQ(text_style_list_item(list, 1, 1), 4u);
    EXPECT_EQ(text_style_list_item(list, 1, 2), 0u);

    static const struct {
        const char* name;
        void (*change)(int style);
        uint32_t difference;
    } kChanges[] = {
        {"colour", [](int s) { const_cast<TextStyle*>(text_style_get(s, kPieceSlot))->color = 9; }, kStyleColor},
        {"a tab stop", [](int s) { const_cast<TextStyle*>(text_style_get(s, kPieceSlot))->tabs[0] = 11; }, kStyleTabs},
        {"a style bit", [](int s) { text_style_set_flags(s, kPieceSlot, 1, 0); }, 1},
        {"an attribute less", [](int s) { text_style_clear_attrs(s, kPieceSlot, kStyleTabs); }, kStyleTabs},
        {"an unset field", [](int s) { const_cast<TextStyle*>(text_style_get(s, kPieceSlot))->cursor = 4; }, 0},
    };
    for (const auto& c : kChanges) {
        SCOPED_TRACE(c.name);
        int changed = text_style_new(0, kPieceSlot);
        text_style_copy_attrs(4, changed, kPieceSlot);
        c.change(changed);
        EXPECT_EQ(text_style_compare(changed, kPieceSlot, 4, kPieceSlot), c.difference);
        text_style_delete(changed, kPieceSlot);
    }
    // Link targets are not compared, only their presence.
    int linked = text_style_new(0, kPieceSlot);
    text_style_copy_attrs(5, linked, kPieceSlot);
    const_cast<TextStyle*>(text_style_get(linked, kPieceSlot))->link = 77;
    EXPECT_EQ(text_style_compare(linked, kPieceSlot, 5, kPieceSlot), 0u);

    // An equal style of the same owner and mask, not temporary and not the default.
    EXPECT_EQ(text_style_find_equal(copy, kPieceSlot), 4);
    text_style_set_temporary(4, kPieceSlot, 1);
    EXPECT_EQ(text_style_find_equal(copy, kPieceSlot), 0);
    text_style_set_temporary(4, kPieceSlot, 0);
    const_cast<TextStyle*>(text_style_get(copy, kPieceSlot))->owner = 3;
    EXPECT_EQ(text_style_find_equal(copy, kPieceSlot), 0);
}

} // namespace
