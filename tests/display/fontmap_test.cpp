// The font map: FONTMAP.TXT lines and the lookups they give, the stored fields checked before
// use, the merge of the text file over the record, and the fields' byte order.
#include <cstring>

#include <gtest/gtest.h>

#include "platform/kernel/byte_io.h"
#include "runtime/store/swap.h"
#include "tests/display/text_fixture.h"
#include "tests/runtime/hex_fixture.h"

namespace {

using texttest::PieceTextTest;

struct Lookup {
    const char* name;
    const char* text; // FONTMAP.TXT
    int target_platform;
    const char* source;
    int32_t size;
    int source_platform;
    int result;
    const char* mapped;
    int32_t mapped_size;
    int translate;
};

constexpr const char* kHelvLine = "Mac: Helv => Win: \"MS Sans Serif\" 9 => 8 12 => 10\n";

static const Lookup kLookups[] = {
    {"a size pair", kHelvLine, 1, "Helv", 12, 2, 3, "MS Sans Serif", 10, 1},
    {"no pair for the size", kHelvLine, 1, "Helv", 10, 2, 3, "MS Sans Serif", 10, 1},
    {"the other pair", kHelvLine, 1, "Helv", 9, 2, 3, "MS Sans Serif", 8, 1},
    {"a second line for the same pair is ignored", "Mac: Helv => Win: Arial 12 => 10\nMac: Helv => Win: Arial 12 => 7\n",
        1, "Helv", 12, 2, 3, "Arial", 10, 1},
    {"Map None", "Mac: Symbol => Win: Arial Map None\n", 1, "Symbol", 12, 2, 3, "Arial", 12, 0},
    {"Map All", "Mac: Symbol => Win: Arial Map All\n", 1, "Symbol", 12, 2, 3, "Arial", 12, 1},
    {"the default source", "Mac: _Default_ => Win: Arial\n", 1, "Geneva", 14, 2, 2, "Arial", 14, 1},
    {"the first own target when none exists", "Mac: Chicago => Win: NoSuchFace 12 => 9\n", 1, "Chicago", 12, 2, 1,
        "NoSuchFace", 9, 1},
    {"the default before a missing own target", "Mac: Chicago => Win: NoSuchFace\nMac: _Default_ => Win: Arial\n", 1,
        "Chicago", 12, 2, 2, "Arial", 12, 1},
    {"an existing target before a missing one",
        "Mac: Chicago => Win: NoSuchFace\nMac: Chicago => Win: \"Courier New\"\n", 1, "Chicago", 12, 2, 3,
        "Courier New", 12, 1},
    {"both platforms Win do nothing", "Win: Arial => Win: \"Courier New\"\n", 2, "Arial", 12, 1, 0, "Arial", 12, 1},
    {"the marker line is read", ";$!$:Mac: Helv => Win: Arial\n", 1, "Helv", 12, 2, 3, "Arial", 12, 1},
    {"a comment line", "; Mac: Helv => Win: Arial\n", 1, "Helv", 12, 2, 0, "Helv", 12, 1},
    {"a dashed comment", "-- Mac: Helv => Win: Arial\n", 1, "Helv", 12, 2, 0, "Helv", 12, 1},
    {"names compare byte for byte", "Mac: helv => Win: Arial\n", 1, "Helv", 12, 2, 0, "Helv", 12, 1},
    {"keywords ignore case", "mAC: Helv => WIN: Arial map NONE\n", 1, "Helv", 12, 2, 3, "Arial", 12, 0},
    {"quoted names", "Mac: 'New York' => Win: \"Times New Roman\"\n", 1, "New York", 12, 2, 3, "Times New Roman", 12, 1},
    {"a quote ends at the line end", "Mac: 'New York\nMac: Helv => Win: Arial\n", 1, "Helv", 12, 2, 3, "Arial", 12, 1},
    {"separators end words", "Mac:Helv=>Win:Arial 12=>10\n", 1, "Helv", 12, 2, 3, "Arial", 10, 1},
    {"a malformed Map ends the line", "Mac: Helv => Win: Arial Map Some\n", 1, "Helv", 12, 2, 0, "Helv", 12, 1},
    {"a malformed pair keeps what came before", "Mac: Helv => Win: Arial 12 => 10 x 14 => 9\n", 1, "Helv", 14, 2,
        3, "Arial", 14, 1},
    {"the line after a malformed one", "Mac: Helv => Win: Arial 12 => x\nMac: Times => Win: Arial\n", 1, "Times", 12,
        2, 3, "Arial", 12, 1},
    {"a line end inside a font line", "Mac: Helv =>\nWin: Arial\n", 1, "Helv", 12, 2, 0, "Helv", 12, 1},
    {"the other direction", "Win: Arial => Mac: Helvetica\n", 2, "Arial", 12, 1, 1, "Helvetica", 12, 1},
    {"a direction without entries", "Win: Arial => Mac: Helvetica\n", 1, "Arial", 12, 2, 0, "Arial", 12, 1},
    {"text before the platform is skipped", "note Mac: Helv => Win: Arial\n", 1, "Helv", 12, 2, 3, "Arial", 12, 1},
    {"LF CR is one line end", "Mac: Helv => Win: Arial\n\rMac: Times => Win: Arial\n", 1, "Times", 12, 2, 3, "Arial",
        12, 1},
    {"no line end at the end", "Mac: Helv => Win: Arial 12 => 10", 1, "Helv", 12, 2, 3, "Arial", 10, 1},
};

class FontMapTest : public PieceTextTest {
protected:
    static int lookup(const char* source, int32_t size, int from, int to, std::string& name, int32_t& out_size,
        int& translate)
    {
        char buffer[64] = {};
        translate = 1;
        int result = fontmap_map_font(font_map(), buffer, sizeof buffer, &out_size, &translate, to, source, size, from);
        name = buffer;
        return result;
    }
};

TEST_F(FontMapTest, LinesOfTheTextFileGiveTheirLookups)
{
    for (const Lookup& c : kLookups) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(font_map_reset(font_map()), 0);
        ASSERT_EQ(font_map_merge_text(font_map(), c.text, std::strlen(c.text)), 0);
        std::string name;
        int32_t size = 0;
        int translate = 1;
        for (int again = 0; again < 2; again++) { // a second lookup answers the same
            EXPECT_EQ(lookup(c.source, c.size, c.source_platform, c.target_platform, name, size, translate), c.result);
            EXPECT_EQ(name, c.mapped);
            EXPECT_EQ(size, c.mapped_size);
            EXPECT_EQ(translate, c.translate);
        }
    }
}

TEST_F(FontMapTest, TokensAcrossReadPiecesOfTheFile)
{
    // The file is read 1024 bytes at a time: "Helvetica" spans the first boundary.
    std::string text = "; " + std::string(1012, 'x') + "\n" + "Mac: Helvetica => Win: Arial\n";
    ASSERT_EQ(text.find("Helvetica") < 1024 && text.find("Helvetica") + 9 > 1024, true);
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\"\n", text), 0);
    std::string name;
    int32_t size = 0;
    int translate = 1;
    EXPECT_EQ(lookup("Helvetica", 12, 2, 1, name, size, translate), 3);
    EXPECT_EQ(name, "Arial");
}

TEST_F(FontMapTest, TheTextFileWinsOverTheRecordForTheSamePair)
{
    const char* piece = "kind PCRS\nicon map \"Top\"\nfont-map 40 zlib\n"
                        "font-map-line \"Mac: Helv => Win: Arial 12 => 10\"\n"
                        "font-map-line \"Mac: Times => Win: 'Times New Roman'\"\n";
    ASSERT_EQ(open_current(piece, "Mac: Helv => Win: Arial 12 => 9\n"), 0);
    std::string name;
    int32_t size = 0;
    int translate = 1;
    EXPECT_EQ(lookup("Helv", 12, 2, 1, name, size, translate), 3);
    EXPECT_EQ(size, 9);
    EXPECT_EQ(lookup("Times", 12, 2, 1, name, size, translate), 3);
    EXPECT_EQ(name, "Times New Roman");
    // Later loads do nothing until a reset.
    std::ofstream(host("FONTMAP.TXT")) << "Mac: Helv => Win: Arial 12 => 7\n";
    EXPECT_EQ(font_map_load(font_map(), kPieceSlot), 0);
    EXPECT_EQ(lookup("Helv", 12, 2, 1, name, size, translate), 3);
    EXPECT_EQ(size, 9);
}

struct FieldCase {
    const char* name;
    const char* header;
    const char* pool;
    const char* index;
    const char* to_win;
    int result;
};

// A pool "Helv", "Arial" at offsets 8 and 13; entries Helv -> Arial.
constexpr const char* kPool = "00000000 13000000 48656c7600 417269616c00";
constexpr const char* kIndex = "0d000000 08000000";
constexpr const char* kEntry = "08000000 0d000000 0000 0000 01000000";

static const FieldCase kFieldCases[] = {
    {"whole", "00000000 02000000 01000000 00000000", kPool, kIndex, kEntry, 0},
    {"long header", "00000000 02000000 00000000 00000000 00000000 00000000 01000000 00000000", kPool, kIndex, kEntry, 0},
    {"header of another size", "00000000 02000000 01000000", kPool, kIndex, kEntry, 5000},
    {"no header", nullptr, kPool, kIndex, kEntry, 5000},
    {"more names than the index holds", "00000000 03000000 01000000 00000000", kPool, kIndex, kEntry, 5000},
    {"more entries than the field holds", "00000000 02000000 02000000 00000000", kPool, kIndex, kEntry, 5000},
    {"a pool longer than its field", "00000000 02000000 01000000 00000000", "00000000 40000000 48656c7600", kIndex,
        kEntry, 5000},
    {"a pool shorter than its header", "00000000 02000000 01000000 00000000", "0000", kIndex, kEntry, 5000},
    {"an index offset past the pool", "00000000 02000000 01000000 00000000", kPool, "0d000000 ff000000", kEntry, 5000},
    {"an index offset into the header", "00000000 02000000 01000000 00000000", kPool, "0d000000 04000000", kEntry, 5000},
    {"a name without its end", "00000000 01000000 00000000 00000000", "00000000 0c000000 48656c76", "08000000",
        nullptr, 5000},
    {"an entry target past the pool", "00000000 02000000 01000000 00000000", kPool, kIndex,
        "08000000 ff000000 0000 0000 01000000", 5000},
    {"the default source", "00000000 02000000 01000000 00000000", kPool, kIndex,
        "feffffff 0d000000 0000 0000 01000000", 0},
    {"missing entries read as none", "00000000 02000000 00000000 00000000", kPool, kIndex, nullptr, 0},
};

static FontMapField field(const std::vector<uint8_t>& bytes, const char* hex)
{
    return hex ? FontMapField {bytes.data(), bytes.size()} : FontMapField {};
}

TEST_F(FontMapTest, StoredFieldsAreCheckedBeforeUse)
{
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes[4] = {from_hex(c.header ? c.header : ""), from_hex(c.pool),
            from_hex(c.index), from_hex(c.to_win ? c.to_win : "")};
        FontMap* map = font_map_new();
        int result = font_map_load_fields(map, field(bytes[0], c.header), field(bytes[1], c.pool),
            field(bytes[2], c.index), field(bytes[3], c.to_win), FontMapField {});
        EXPECT_EQ(result, c.result);
        if (result != 0) {
            EXPECT_EQ(font_map_entry_count(map, 0), 0u);
        }
        font_map_free(map);
    }
}

TEST_F(FontMapTest, ADamagedRecordFailsTheLoadAndLeavesTheMapEmpty)
{
    ASSERT_EQ(open_current("kind PCRS\nicon map \"Top\"\nfont-map 40 raw\nfont-map-field 1 u32 0 9 9 9\n"), 5000);
    EXPECT_EQ(font_map_entry_count(font_map(), 0), 0u);
}

TEST_F(FontMapTest, FieldsConvertBothWaysAndLoseRunTimeBits)
{
    FontMap* map = font_map_new();
    const char* text = "Mac: Helv => Win: Arial Map None 12 => 10\nWin: Arial => Mac: Helv\n";
    ASSERT_EQ(font_map_merge_text(map, text, std::strlen(text)), 0);
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> fields;
    font_map_write_fields(map, fields);
    font_map_free(map);
    for (auto& [tag, data] : fields) {
        SCOPED_TRACE(tag);
        std::vector<uint8_t> copy = data;
        if (tag >= 100 && !copy.empty())
            copy[12] |= kFontMapChecked | kFontMapChosen;
        ASSERT_EQ(font_swap_resource(tag, copy.data(), copy.size(), 0), 0);
        if (tag == 1) {
            EXPECT_EQ(plat::load_u32le(copy.data() + 4), swap_bytes32(2)); // two names, now foreign
        }
        ASSERT_EQ(font_swap_resource(tag, copy.data(), copy.size(), 1), 0);
        EXPECT_EQ(copy, data);
    }
    uint8_t odd[17] = {};
    EXPECT_EQ(font_swap_resource(100, odd, sizeof odd, 1), 5000);
    EXPECT_EQ(font_swap_resource(1, odd, 12, 1), 5000);
}

} // namespace
