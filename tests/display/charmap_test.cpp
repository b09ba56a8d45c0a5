// The character-set map: identity tables, the piece's flags (property 62), tables from the
// font-map record's fields 200 and 201 or from FONTMAP.TXT sections, double-byte characters
// left whole, and translated titles.
#include <cstring>
#include <iconv.h>

#include <gtest/gtest.h>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "tests/display/text_fixture.h"

namespace {

using texttest::PieceTextTest;

class CharmapTest : public PieceTextTest {
protected:
    void TearDown() override
    {
        plat::set_active_code_page(1252);
        str_reset();
        PieceTextTest::TearDown();
    }
    static std::string translated(std::string text, int from, int to)
    {
        str_charmap_translate_n(str_charmap(), text.data(), text.size(), from, to);
        return text;
    }
    int load_piece(const std::string& description, const std::string& fontmap_text = "")
    {
        int result = open_current(description, fontmap_text);
        return result != 0 ? result : font_map_load(font_map(), kPieceSlot);
    }
};

TEST_F(CharmapTest, WithoutTablesNothingChanges)
{
    ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\"\n"), 0);
    std::string all;
    for (int c = 1; c < 256; c++)
        all += char(c);
    EXPECT_EQ(translated(all, 2, 1), all);
    EXPECT_EQ(translated(all, 1, 2), all);
    EXPECT_EQ(str_charmap_table(str_charmap(), 1, 1), nullptr);
    EXPECT_EQ(str_charmap_translate(str_charmap(), all.data(), 2, 2), nullptr);
}

struct FlagCase {
    const char* name;
    const char* property; // the top icon's property 62, or ""
    int titles, literals, values, index;
};

static const FlagCase kFlagCases[] = {
    {"defaults on a single-byte system", "", 1, 1, 1, 1},
    {"titles and values", "prop 62 u32 0x48", 1, 0, 1, 0},
    {"low bits are never set", "prop 62 u32 0x07", 0, 0, 0, 0},
    {"a property of another size is no flag word", "prop 62 u16 0", 1, 1, 1, 1},
};

TEST_F(CharmapTest, FlagsComeFromTheTopIcon)
{
    for (const FlagCase& c : kFlagCases) {
        SCOPED_TRACE(c.name);
        node_file_close_all(kPieceSlot);
        ASSERT_EQ(load_piece(std::string("kind PCRS\nicon map \"Top\" {\n") + c.property + "\n}\n"), 0);
        const CharsetMap* map = str_charmap();
        EXPECT_EQ(str_charmap_maps_titles(map), c.titles);
        EXPECT_EQ(str_charmap_maps_literals(map), c.literals);
        EXPECT_EQ(str_charmap_maps_values(map), c.values);
        EXPECT_EQ(str_charmap_maps_index(map), c.index);
        EXPECT_EQ(str_charmap_flags(map) & 0x07, 0u);
    }
}

TEST_F(CharmapTest, DoubleByteSystemsTranslateNothingByDefaultAndKeepPairsWhole)
{
    ASSERT_TRUE(plat::set_active_code_page(949));
    str_init_from_entry("K");
    ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\"\n", "Mac: => Win\n176 => 65\n161 => 66\n"), 0);
    EXPECT_EQ(str_charmap_flags(str_charmap()), 0u);
    // B0 A1 is one Hangul syllable: neither byte changes; a lone B0 at the end does.
    EXPECT_EQ(translated("\xB0\xA1", 2, 1), "\xB0\xA1");
    EXPECT_EQ(translated("x\xB0", 2, 1), "xA");
    EXPECT_EQ(str_charmap_has_high_chars_n(str_charmap(), "\xB0\xA1", 2), 0);
    EXPECT_EQ(str_charmap_has_high_chars_n(str_charmap(), "\xB0", 1), 1);
}

struct SectionCase {
    const char* name;
    const char* text;
    int code;
    int expected; // table[code] from Mac to Win
};

static const SectionCase kSectionCases[] = {
    {"a pair", "Mac: => Win\n142 => 233\n", 142, 233},
    {"low codes are ignored", "Mac: => Win\n65 => 66\n", 65, 65},
    {"codes above a byte are ignored", "Mac: => Win\n300 => 65\n128 => 256\n", 128, 128},
    {"a line that is no pair is skipped", "Mac: => Win\n142 = 233\n143 => 200\n", 143, 200},
    {"comments and blank lines stay in the section", "Mac: => Win\n; note\n\n142 => 1\n", 142, 1},
    {"the same platform reads nothing", "Mac: => Mac\n142 => 1\n", 142, 142},
    {"a font line ends the section", "Mac: => Win\n142 => 1\nMac: Helv => Win: Arial\n143 => 2\n", 143, 143},
    {"CR LF line ends", "Mac: => Win\r\n142 => 7\r\n143 => 8\r\n", 143, 8},
    {"full-width blank is no blank here", "Mac: => Win\n142 => 9", 142, 9},
};

TEST_F(CharmapTest, SectionsOfTheTextFileFillTheTables)
{
    for (const SectionCase& c : kSectionCases) {
        SCOPED_TRACE(c.name);
        node_file_close_all(kPieceSlot);
        ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\"\n", c.text), 0);
        EXPECT_EQ(str_charmap_table(str_charmap(), 2, 1)[c.code], c.expected);
    }
}

TEST_F(CharmapTest, AFieldThatIsNotATableIsIgnored)
{
    ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\"\nfont-map 40 raw\n"
                         "font-map-field 200 u8 0 zeros 127 u8 0x41 zeros 126\n"
                         "font-map-field 201 zeros 128 u8 0x42 zeros 127\n"),
        0);
    EXPECT_EQ(str_charmap_table(str_charmap(), 2, 1)[128], 128); // 255 bytes: no table
    EXPECT_EQ(str_charmap_table(str_charmap(), 1, 2)[128], 0x42);
}

// The 8-bit codes iconv converts between two character sets, for 128-255.
static std::vector<std::pair<int, int>> iconv_pairs(const char* from, const char* to)
{
    std::vector<std::pair<int, int>> pairs;
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, iconv_t(-1));
    for (int code = 128; code < 256; code++) {
        char in[1] = {char(code)};
        char out[8] = {};
        char* in_at = in;
        char* out_at = out;
        size_t in_left = 1, out_left = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in_at, &in_left, &out_at, &out_left) != size_t(-1) && out_at - out == 1)
            pairs.emplace_back(code, static_cast<unsigned char>(out[0]));
    }
    iconv_close(cd);
    return pairs;
}

static std::string section(const char* header, const std::vector<std::pair<int, int>>& pairs)
{
    std::string text = std::string(header) + "\n";
    for (auto [from, to] : pairs)
        text += std::to_string(from) + " => " + std::to_string(to) + "\n";
    return text;
}

static std::string table_hex(const std::vector<std::pair<int, int>>& pairs)
{
    int table[256];
    for (int i = 0; i < 256; i++)
        table[i] = i;
    for (auto [from, to] : pairs)
        table[from] = to;
    std::string hex = "hex \"";
    char two[3];
    for (int value : table) {
        std::snprintf(two, sizeof two, "%02x", value);
        hex += two;
    }
    return hex + "\"";
}

TEST_F(CharmapTest, TablesFromTheTextFileAndFromTheRecordAgreeWithIconv)
{
    auto to_win = iconv_pairs("MACINTOSH", "CP1252");
    auto to_mac = iconv_pairs("CP1252", "MACINTOSH");
    ASSERT_GT(to_win.size(), 100u);
    ASSERT_GT(to_mac.size(), 100u);
    std::string fontmap_text = "-- tables made by iconv\n" + section("Mac: => Win", to_win) + section("Win: => Mac", to_mac);
    std::string from_record = "kind PCRS\nicon map \"Top\"\nfont-map 40 raw\nfont-map-field 200 " + table_hex(to_win)
        + "\nfont-map-field 201 " + table_hex(to_mac) + "\n";
    for (int source = 0; source < 2; source++) {
        SCOPED_TRACE(source == 0 ? "FONTMAP.TXT" : "fields 200 and 201");
        node_file_close_all(kPieceSlot);
        ASSERT_EQ(source == 0 ? load_piece("kind PCRS\nicon map \"Top\"\n", fontmap_text) : load_piece(from_record), 0);
        for (int direction = 0; direction < 2; direction++) {
            const auto& pairs = direction == 0 ? to_win : to_mac;
            int from = direction == 0 ? 2 : 1, to = direction == 0 ? 1 : 2;
            for (int code = 128; code < 256; code++) {
                int expected = code;
                for (auto [a, b] : pairs)
                    if (a == code)
                        expected = b;
                std::string one(1, char(code));
                ASSERT_EQ(static_cast<unsigned char>(translated(one, from, to)[0]), expected) << "code " << code;
            }
        }
    }
}

TEST_F(CharmapTest, ResetMakesIdentitiesAgain)
{
    ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\"\n", "Mac: => Win\n142 => 233\n"), 0);
    EXPECT_EQ(translated("\x8E", 2, 1), "\xE9");
    EXPECT_EQ(font_map_reset(font_map()), 0);
    EXPECT_EQ(translated("\x8E", 2, 1), "\x8E");
}

TEST_F(CharmapTest, PendingTitlesAreTranslatedWhenThePieceAsks)
{
    ASSERT_EQ(load_piece("kind PCRS\nicon map \"Top\" {\n    icon calc \"Caf\\x8e\" pending\n}\n",
                  "Mac: => Win\n142 => 233\n"),
        0);
    EXPECT_EQ(title_of(icon(kPieceSlot, 7)), "Caf\xE9");
    EXPECT_EQ(str_charmap_term(), 0);
    EXPECT_EQ(node_services().title_to_windows, nullptr);
}

} // namespace
