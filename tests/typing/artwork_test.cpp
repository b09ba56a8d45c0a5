// The tutor's pictures in the archive the build made: every name the program loads, at the
// size the screens place it, 8 bits with the one shared colour table, masks keyed on a colour
// nothing visible uses; and the keyboard legends the lessons light keys from.
#include "typing/bitmap_archive.h"
#include "typing/johab.h"
#include "typing/keyboard_legend.h"

#include "test_util.h"

#include <array>
#include <set>

namespace {

enum class Fit { exact, at_most, at_least, frames, stacked };

struct PictureCase {
    const char* name;
    Fit fit;
    int width, height; // frames: frame count, height; stacked: width, item count
    bool masked;
};

// The places and sizes the screens give the pictures.
const PictureCase kPictures[] = {
    {"vd-menu.bmp", Fit::exact, 640, 480, false},
    {"main-bk.bmp", Fit::exact, 640, 480, false},
    {"vd-2kr.bmp", Fit::exact, 640, 480, false},
    {"vd-smj.bmp", Fit::exact, 640, 480, false},
    {"vd-lmj.bmp", Fit::exact, 640, 480, false},
    {"vd-game.bmp", Fit::exact, 640, 480, false},
    {"vd-spd.bmp", Fit::exact, 640, 480, false},
    {"vd-usr2.bmp", Fit::exact, 640, 480, false}, // the face grid reaches 316 x 398
    {"vd-stybk.bmp", Fit::exact, 640, 480, false}, // twelve cells and two tools at y 419
    {"clock.bmp", Fit::frames, 31, 64, false},
    {"logo.bmp", Fit::at_most, 640, 417, true},
    {"main-sh.bmp", Fit::at_most, 601, 417, false}, // drawn at (39, 63)
    {"adpane1.bmp", Fit::at_most, 587, 277, false}, // revealed at (53, 203)
    {"main-kbd.bmp", Fit::at_most, 587, 277, false},
    {"banner1.bmp", Fit::at_most, 238, 68, false}, // at (402, 74), above the menu items
    {"banner2.bmp", Fit::at_most, 238, 68, false},
    {"banner3.bmp", Fit::at_most, 238, 68, false},
    {"iconmenu.bmp", Fit::exact, 167 * 10, 52, false},
    {"icontool.bmp", Fit::exact, 55 * 34, 55, false},
    {"iconstat.bmp", Fit::exact, 74 * 6, 55, false},
    {"sndoff.bmp", Fit::exact, 55, 55, false},
    {"kbd0.bmp", Fit::exact, 565, 192, false},
    {"kbd1.bmp", Fit::exact, 565, 192, false},
    {"kbd2.bmp", Fit::exact, 565, 192, false},
    {"kbd3.bmp", Fit::exact, 565, 192, false},
    {"kbd4.bmp", Fit::exact, 565, 192, false},
    {"kbd5.bmp", Fit::exact, 565, 192, false},
    {"kbd6.bmp", Fit::exact, 565, 192, false},
    {"kbd7.bmp", Fit::exact, 565, 192, false},
    {"fingicon.bmp", Fit::exact, 224, 28, false},
    {"menu3.bmp", Fit::stacked, 0, 10, false},
    {"menuqry.bmp", Fit::stacked, 0, 8, false},
    {"l_none.bmp", Fit::at_most, 400, 147, false}, // at (232, 18), above the typing line
    {"s_none.bmp", Fit::exact, 120, 80, false},
    // each long text's chooser and long-text pictures
    {"s_bombi.bmp", Fit::exact, 120, 80, false},
    {"l_bombi.bmp", Fit::at_most, 400, 147, false},
    {"s_sijang.bmp", Fit::exact, 120, 80, false},
    {"l_sijang.bmp", Fit::at_most, 400, 147, false},
    {"s_dalbit.bmp", Fit::exact, 120, 80, false},
    {"l_dalbit.bmp", Fit::at_most, 400, 147, false},
    {"s_bada.bmp", Fit::exact, 120, 80, false},
    {"l_bada.bmp", Fit::at_most, 400, 147, false},
    {"s_namu.bmp", Fit::exact, 120, 80, false},
    {"l_namu.bmp", Fit::at_most, 400, 147, false},
    {"s_kite.bmp", Fit::exact, 120, 80, false},
    {"l_kite.bmp", Fit::at_most, 400, 147, false},
    {"s_baker.bmp", Fit::exact, 120, 80, false},
    {"l_baker.bmp", Fit::at_most, 400, 147, false},
    {"s_snow.bmp", Fit::exact, 120, 80, false},
    {"l_snow.bmp", Fit::at_most, 400, 147, false},
    {"s_garden.bmp", Fit::exact, 120, 80, false},
    {"l_garden.bmp", Fit::at_most, 400, 147, false},
    {"s_light.bmp", Fit::exact, 120, 80, false},
    {"l_light.bmp", Fit::at_most, 400, 147, false},
    {"vd-ttl.bmp", Fit::at_most, 640, 480, false},
    {"vd-gm-ar.bmp", Fit::at_most, 640, 200, true},
    {"vd-bumb.bmp", Fit::exact, 160, 30, true},
    {"vd-bunus.bmp", Fit::exact, 160, 30, true},
    {"tower0.bmp", Fit::frames, 14, 0, false},
    {"tower1.bmp", Fit::frames, 11, 0, false},
    {"tower2.bmp", Fit::frames, 14, 0, false},
    {"tower3.bmp", Fit::frames, 14, 0, false},
    {"tower4.bmp", Fit::frames, 14, 0, false},
    {"tower5.bmp", Fit::frames, 14, 0, false},
    {"tower6.bmp", Fit::frames, 14, 0, false},
    {"tower7.bmp", Fit::frames, 14, 0, false},
    {"vd-gamet.bmp", Fit::at_most, 640, 480, false},
    {"vd-gamel.bmp", Fit::at_least, 370 + 100, 173 + 100, false}, // the flags' places
    {"flag1.bmp", Fit::exact, 100, 100, false},
    {"flag2.bmp", Fit::exact, 100, 100, false},
    {"flag3.bmp", Fit::exact, 100, 100, false},
    {"flag4.bmp", Fit::exact, 100, 100, false},
    {"flag5.bmp", Fit::exact, 100, 100, false},
    {"flag6.bmp", Fit::exact, 100, 100, false},
    {"flag7.bmp", Fit::exact, 100, 100, false},
    {"vd-gt-vn.bmp", Fit::at_least, 300, 295, false}, // ten rows under y 75
    {"spdcode.bmp", Fit::exact, 490, 25 * 7, false},
    {"spdunit.bmp", Fit::exact, 35 * 2, 185, false},
    {"spddel1.bmp", Fit::at_most, 132, 238, false}, // at (459, 158) inside the chart
    {"spddel2.bmp", Fit::at_most, 132, 238, false},
    {"vd-del.bmp", Fit::at_least, 145 + 55, 115 + 55, false}, // tool 909's place
    {"vd-env.bmp", Fit::at_least, 286 + 55, 223 + 30, false}, // tool 906, the last selector
    {"op_kbd.bmp", Fit::exact, 100, 60, false}, // items of 100 x 30, stacked
    {"op_kor.bmp", Fit::exact, 100, 60, false},
    {"op_eng.bmp", Fit::exact, 100, 60, false},
    {"repeat.bmp", Fit::exact, 100, 150, false},
    {"space.bmp", Fit::exact, 100, 90, false},
    {"face1.bmp", Fit::exact, 70, 88, false},
    {"face2.bmp", Fit::exact, 70, 88, false},
    {"face3.bmp", Fit::exact, 70, 88, false},
    {"face4.bmp", Fit::exact, 70, 88, false},
    {"face5.bmp", Fit::exact, 70, 88, false},
    {"face6.bmp", Fit::exact, 70, 88, false},
    {"face7.bmp", Fit::exact, 70, 88, false},
    {"face8.bmp", Fit::exact, 70, 88, false},
    {"face9.bmp", Fit::exact, 70, 88, false},
};

constexpr uint32_t kKeyColour = 0xFF00FF;

// The shared colour table as its source file lists it.
std::vector<uint32_t> palette_source()
{
    std::ifstream in(STORVEL_SOURCE_DIR "/assets/typing/art/palette.txt");
    std::vector<uint32_t> table;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() >= 7 && line[0] == '#' && line[1] != ' ')
            table.push_back(uint32_t(std::stoul(line.substr(1, 6), nullptr, 16)));
    }
    return table;
}

struct Picture {
    int width = 0, height = 0, depth = 0;
    uint32_t compression = 0;
    std::vector<uint32_t> table;
    std::vector<uint8_t> pixels; // top row first
};

// A packed 8-bit DIB read field by field; empty pixels when it is not one.
Picture picture_read(const std::vector<uint8_t>& dib)
{
    Picture p;
    if (dib.size() < 40 || plat::load_u32le(dib.data()) != 40)
        return p;
    p.width = int32_t(plat::load_u32le(&dib[4]));
    p.height = int32_t(plat::load_u32le(&dib[8]));
    p.depth = plat::load_u16le(&dib[14]);
    p.compression = plat::load_u32le(&dib[16]);
    uint32_t used = plat::load_u32le(&dib[32]);
    uint32_t entries = used ? used : 256;
    size_t stride = (size_t(p.width) + 3) / 4 * 4;
    if (p.depth != 8 || p.width <= 0 || p.height <= 0 || entries > 256
        || dib.size() != 40 + 4 * entries + stride * size_t(p.height))
        return p;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* quad = &dib[40 + 4 * i];
        p.table.push_back(uint32_t(quad[2]) << 16 | uint32_t(quad[1]) << 8 | quad[0]);
    }
    const uint8_t* bits = &dib[40 + 4 * entries];
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = bits + stride * size_t(p.height - 1 - y);
        p.pixels.insert(p.pixels.end(), row, row + p.width);
    }
    return p;
}

void expect_fit(const PictureCase& c, const Picture& p)
{
    switch (c.fit) {
    case Fit::exact:
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        break;
    case Fit::at_most:
        EXPECT_LE(p.width, c.width);
        EXPECT_LE(p.height, c.height);
        break;
    case Fit::at_least:
        EXPECT_GE(p.width, c.width);
        EXPECT_GE(p.height, c.height);
        break;
    case Fit::frames:
        EXPECT_EQ(p.width % c.width, 0);
        if (c.height) {
            EXPECT_EQ(p.height, c.height);
        }
        break;
    case Fit::stacked:
        EXPECT_EQ(p.height % c.height, 0);
        break;
    }
}

class Artwork : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bitmap_archive_open_file(STORVEL_BINARY_DIR "/bin/qktbmp.map")); }
    void TearDown() override { bitmap_archive_close(); }
};

TEST_F(Artwork, EveryPictureHasItsPlacesSizeInTheSharedTable)
{
    std::vector<uint32_t> shared = palette_source();
    ASSERT_EQ(shared.size(), 256u);
    ASSERT_EQ(std::count(shared.begin(), shared.end(), kKeyColour), 1); // nothing else looks like it
    size_t key = size_t(std::find(shared.begin(), shared.end(), kKeyColour) - shared.begin());
    EXPECT_EQ(std::size(kPictures), 96u);
    for (const PictureCase& c : kPictures) {
        SCOPED_TRACE(c.name);
        Picture p = picture_read(bitmap_archive_read(c.name));
        ASSERT_FALSE(p.pixels.empty()) << "missing or not an uncompressed 8-bit DIB";
        EXPECT_EQ(p.compression, 0u);
        EXPECT_EQ(p.table, shared);
        expect_fit(c, p);
        std::set<uint8_t> used(p.pixels.begin(), p.pixels.end());
        EXPECT_GE(used.size(), 2u); // something is drawn
        EXPECT_EQ(p.pixels[0] == key, c.masked); // masks key on the top-left pixel
        if (!c.masked)
            EXPECT_FALSE(used.count(uint8_t(key))) << "the key colour shows";
        else
            EXPECT_GT(p.pixels.size(), size_t(std::count(p.pixels.begin(), p.pixels.end(), key)));
    }
}

// The intro shows the clock's frames with their black pixels see-through.
TEST_F(Artwork, ClockShowsNoPureBlack)
{
    Picture p = picture_read(bitmap_archive_read("clock.bmp"));
    ASSERT_FALSE(p.pixels.empty());
    for (uint8_t index : std::set<uint8_t>(p.pixels.begin(), p.pixels.end()))
        EXPECT_NE(p.table[index], 0u) << "entry " << int(index);
}

// Tower frames stand in the game's field: their background is the field's colour there.
TEST_F(Artwork, TowerFramesMatchTheFieldBehindThem)
{
    Picture game = picture_read(bitmap_archive_read("vd-game.bmp"));
    ASSERT_FALSE(game.pixels.empty());
    for (const char* name : {"tower0.bmp", "tower1.bmp", "tower7.bmp"}) {
        SCOPED_TRACE(name);
        Picture tower = picture_read(bitmap_archive_read(name));
        ASSERT_FALSE(tower.pixels.empty());
        int frame_width = tower.width / (std::string(name) == "tower1.bmp" ? 11 : 14);
        int x = (640 - frame_width) / 2, y = 395 - tower.height; // where a frame stands
        EXPECT_EQ(tower.pixels[0], game.pixels[size_t(y) * 640 + size_t(x)]);
    }
}

// The gauges write their numbers on a copy of the background under them: it must be plain.
TEST_F(Artwork, GaugeNumbersStandOnPlainBackground)
{
    static const struct {
        const char* name;
        int y; // of the number strips, 102 x 20 at cx - 51 for cx 216, 325, 434
    } kScreens[] = {{"vd-smj.bmp", 325 + 20 + 51}, {"vd-lmj.bmp", 460}};
    for (const auto& c : kScreens) {
        SCOPED_TRACE(c.name);
        Picture p = picture_read(bitmap_archive_read(c.name));
        ASSERT_EQ(p.width, 640);
        for (int cx : {216, 325, 434}) {
            std::set<uint8_t> used;
            for (int y = c.y; y < c.y + 20; ++y)
                for (int x = cx - 51; x < cx + 51; ++x)
                    used.insert(p.pixels[size_t(y) * 640 + size_t(x)]);
            EXPECT_EQ(used.size(), 1u) << cx;
        }
    }
}

constexpr uint16_t final_code(int field) { return uint16_t(0x8440 | field); }

std::vector<uint16_t> codes_of(const char* utf8)
{
    std::vector<uint16_t> codes;
    for (const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8); *p;) {
        if (*p < 0x80) {
            codes.push_back(*p++);
            continue;
        }
        uint32_t u = uint32_t(p[0] & 0x0F) << 12 | uint32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        codes.push_back(unicode_to_johab(u));
        p += 3;
    }
    return codes;
}

// Every key of every lesson is on its layout's map, so the lesson can light it.
TEST(KeyboardLegend, HoldsEveryLessonKey)
{
    static const struct {
        int layout;
        const char* keys;
        std::vector<int> finals; // 3-beolsik's final-consonant keys by Johab field
    } kLayouts[] = {
        {0, "ㅁㄴㅇㄹㅓㅏㅣ;ㅂㅃㅈㅉㄷㄸㄱㄲㅅㅆㅎㅛㅗㅠㅜㅕㅑㅐㅒㅔㅖㅋㅌㅊㅍㅡ,./1234567890!@#$%^&*()-=_+[]{}<>?:\"'", {}},
        {1, "ㅣㅏㅇㄱㅈㅂㄹㄷㅁㅊㅍㅕㅐㅒㅓㅅㅎㄴㅌㅔㅗㅜㅡㅖㅢㅋㅛㅠㅑ1234567890!@#$%^&*()-=_+[]{},./<>?:\"'",
            {23, 5, 21, 9, 17, 2, 29, 22, 19, 8, 7, 10, 3, 24, 28, 27, 26, 25, 20, 11, 16}},
        {2, "asdfjkl;qwertyghbnuiopzxcvm,<>./?1234567890!@#$%^&*()_+-=[]{}:\"'", {}},
        {3, "aoeuhtnsgcrlyfidxb',.pmwvz;qjk1234567890!@#$%^&*()_+-=[]{}/<>?:\"", {}},
    };
    for (const auto& c : kLayouts) {
        SCOPED_TRACE(c.layout);
        std::set<uint16_t> on_map;
        for (const auto& shift : kKeyboardLegend[c.layout])
            for (const auto& row : shift)
                on_map.insert(std::begin(row), std::end(row));
        std::vector<uint16_t> keys = codes_of(c.keys);
        for (int field : c.finals)
            keys.push_back(final_code(field));
        for (uint16_t key : keys)
            EXPECT_TRUE(on_map.count(key)) << std::hex << key;
    }
}

// Row 2 holds the home keys of the ten fingers in columns 1 to 10, which the drills pair
// with; rows hold codes up to their length and nothing after it.
TEST(KeyboardLegend, HomeRowAndRowLengths)
{
    static const char* const kHome[kLegendLayouts] = {"ㅁㄴㅇㄹㅎㅗㅓㅏㅣ;", nullptr, "asdfghjkl;", "aoeuidhtns"};
    for (int layout = 0; layout < kLegendLayouts; ++layout) {
        SCOPED_TRACE(layout);
        std::vector<uint16_t> home = layout == 1
            ? std::vector<uint16_t> {final_code(23), final_code(5), 0, 0, 0, 0, 0, 0, 0, 0}
            : codes_of(kHome[layout]);
        if (layout == 1) {
            std::vector<uint16_t> rest = codes_of("ㅣㅏㅡㄴㅇㄱㅈㅂ");
            std::copy(rest.begin(), rest.end(), home.begin() + 2);
        }
        ASSERT_EQ(home.size(), 10u);
        for (int finger = 0; finger < 10; ++finger)
            EXPECT_EQ(kKeyboardLegend[layout][0][2][finger + 1], home[size_t(finger)]) << finger;
        for (int shift = 0; shift < kLegendShifts; ++shift) {
            for (int row = 0; row < kLegendRows; ++row) {
                for (int column = 0; column < kLegendColumns; ++column)
                    EXPECT_EQ(kKeyboardLegend[layout][shift][row][column] != 0, column < kLegendRowLength[row])
                        << shift << " " << row << " " << column;
            }
        }
        EXPECT_EQ(kKeyboardLegend[layout][0][4][kLegendSpaceColumn], ' ');
    }
}

} // namespace
