#include "platform/text/text.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "gdi_test_support.h"
#include "platform/kernel/codepage.h"
#include "platform/text/font.h"
#include "platform/text/glyph_cache.h"
#include "platform/gdi/shape.h"
#include "platform/text/text_setup.h"

namespace {

using namespace gditest;

constexpr uint32_t kRed = 0xFF0000;

class TextTest : public GdiTest {
protected:
    void SetUp() override
    {
        codepage_reset();
        text_setup();
        GdiTest::SetUp();
    }
    void TearDown() override
    {
        GdiTest::TearDown();
        codepage_reset();
    }

    // Selects a new font into the DC, deleting the one it had unless that was a stock font.
    static void use_font(DcHandle dc, const char* face, int32_t height, int32_t weight = FW_NORMAL,
        bool italic = false, bool underline = false, bool strike_out = false)
    {
        GdiObject font = create_font(height, 0, 0, 0, weight, italic, underline, strike_out, DEFAULT_CHARSET, 0, 0, 0,
            0, face);
        ASSERT_TRUE(font);
        delete_object(select_object(dc, font));
    }

    static int32_t extent(DcHandle dc, const std::string& text)
    {
        Size size;
        EXPECT_TRUE(get_text_extent_point32(dc, text.data(), int(text.size()), size));
        return size.cx;
    }

    static TextMetric metrics_of(DcHandle dc)
    {
        TextMetric m;
        EXPECT_TRUE(get_text_metrics(dc, m));
        return m;
    }
};

// The box of every pixel that is not white; empty when there is none.
Rect ink_box(const Canvas& canvas, int32_t width, int32_t height, uint32_t paper = kWhite)
{
    Rect box{width, height, 0, 0};
    for (int32_t y = 0; y < height; y++) {
        for (int32_t x = 0; x < width; x++) {
            if (canvas.at(x, y) == paper)
                continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    return is_rect_empty(box) ? Rect{} : box;
}

bool same_pixels(const Canvas& a, const Canvas& b, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; y++) {
        for (int32_t x = 0; x < width; x++) {
            if (a.at(x, y) != b.at(x, y))
                return false;
        }
    }
    return true;
}

struct ExtentCase {
    const char* face;
    int32_t height;
    int32_t weight;
    const char* text;
    int32_t width;
};

// Measured once with the Debian fonts; each row also checks that the extent is the sum of
// the characters' advances.
static const ExtentCase kExtentCases[] = {
    {"Arial", -16, 400, "Hello, World", 84},
    {"Arial", -16, 400, "The quick brown fox", 137},
    {"Arial", -16, 700, "Hello, World", 92},
    {"Helvetica", 13, 400, "Hello, World", 67},
    {"MS Sans Serif", -11, 400, "The quick brown fox", 100},
    {"Times New Roman", -16, 400, "Hello, World", 79},
    {"Times", -16, 400, "The quick brown fox", 126},
    {"Courier New", -16, 400, "Hello, World", 120},
    {"Courier", -16, 400, "The quick brown fox", 190},
    {"System", 16, 700, "Hello, World", 85},
    {"System", 16, 900, "Hello, World", 97},
    {"Symbol", -16, 400, "Hello, World", 110},
    {"Gulim", -16, 400, "Hello, World", 89},
    {"Dotum", -16, 400, "The quick brown fox", 147},
    {"Batang", -16, 400, "Hello, World", 96},
    {"GulimChe", -16, 400, "Hello, World", 96},
    {"No Such Face", -16, 400, "Hello, World", 84},
};

TEST_F(TextTest, ExtentsOfKnownStringsAreTheSumOfTheAdvances)
{
    Canvas canvas(8, 8);
    for (const ExtentCase& c : kExtentCases) {
        SCOPED_TRACE(std::string(c.face) + " " + std::to_string(c.height) + " " + std::to_string(c.weight) + " "
            + c.text);
        use_font(canvas.dc, c.face, c.height, c.weight);
        std::string text = c.text;
        EXPECT_EQ(extent(canvas.dc, text), c.width);
        int32_t sum = 0;
        for (unsigned char byte : text) {
            int32_t width = 0;
            ASSERT_TRUE(get_char_width32(canvas.dc, byte, byte, &width));
            sum += width;
        }
        EXPECT_EQ(sum, c.width);
        Size size;
        ASSERT_TRUE(get_text_extent_point32(canvas.dc, text.data(), int(text.size()), size));
        EXPECT_EQ(size.cy, metrics_of(canvas.dc).height);
        set_text_character_extra(canvas.dc, 3);
        EXPECT_EQ(extent(canvas.dc, text), c.width + 3 * int32_t(text.size()));
        set_text_character_extra(canvas.dc, 0);
    }
}

TEST_F(TextTest, PartialFitsCountWholeCharacters)
{
    Canvas canvas(8, 8);
    use_font(canvas.dc, "Arial", -16);
    int32_t dx[5] = {};
    int32_t fit = -1;
    Size size;
    ASSERT_TRUE(get_text_extent_ex_point(canvas.dc, "Hello", 5, 1000, &fit, dx, size));
    EXPECT_EQ(fit, 5);
    EXPECT_EQ(dx[4], size.cx);
    for (int i = 0; i < 5; i++) {
        int32_t width = 0;
        get_char_width32(canvas.dc, uint8_t("Hello"[i]), uint8_t("Hello"[i]), &width);
        EXPECT_EQ(dx[i] - (i ? dx[i - 1] : 0), width);
    }
    struct FitCase {
        int32_t max_extent;
        int32_t fit;
    };
    const FitCase cases[] = {{dx[2], 3}, {dx[2] - 1, 2}, {0, 0}, {-5, 0}, {dx[4], 5}};
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.max_extent);
        ASSERT_TRUE(get_text_extent_ex_point(canvas.dc, "Hello", 5, c.max_extent, &fit, nullptr, size));
        EXPECT_EQ(fit, c.fit);
    }
    // A double-byte character fits whole or not at all; both its bytes hold its extent.
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    use_font(canvas.dc, "Gulim", -16);
    std::string text = utf8_to_code_page(CP_KOREAN, "한a글");
    int32_t korean_dx[5] = {};
    ASSERT_TRUE(get_text_extent_ex_point(canvas.dc, text.data(), 5, 15, &fit, korean_dx, size));
    EXPECT_EQ(fit, 2);
    EXPECT_EQ(korean_dx[0], 15);
    EXPECT_EQ(korean_dx[1], 15);
    EXPECT_EQ(korean_dx[3], korean_dx[4]);
    EXPECT_EQ(korean_dx[4], size.cx);
    ASSERT_TRUE(get_text_extent_ex_point(canvas.dc, text.data(), 5, 14, &fit, nullptr, size));
    EXPECT_EQ(fit, 0);
}

TEST_F(TextTest, KoreanTextInCodePage949IsMeasuredAndDrawnSyllableBySyllable)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    Canvas canvas(200, 40);
    use_font(canvas.dc, "Gulim", -16);
    std::string text = utf8_to_code_page(CP_KOREAN, "한글 텍스트");
    ASSERT_EQ(text.size(), 11u);
    std::vector<int32_t> dx(text.size());
    int32_t fit = 0;
    Size size;
    ASSERT_TRUE(get_text_extent_ex_point(canvas.dc, text.data(), int(text.size()), 1000, &fit, dx.data(), size));
    EXPECT_EQ(size.cx, 79); // five syllables of 15 and a space of 4
    int32_t width = 0;
    ASSERT_TRUE(get_char_width32(canvas.dc, 0xC7D1, 0xC7D1, &width)); // 한 is C7 D1
    EXPECT_EQ(width, 15);

    const int32_t left = 10, top = 5;
    ASSERT_TRUE(text_out(canvas.dc, left, top, text.data(), int(text.size())));
    TextMetric m = metrics_of(canvas.dc);
    // Every syllable has ink inside its own advance; the space has none.
    int32_t from = left;
    for (size_t i = 0; i < text.size(); i++) {
        bool last_byte = i + 1 == text.size() || dx[i + 1] != dx[i];
        if (!last_byte)
            continue;
        int32_t to = left + dx[i];
        int ink = 0;
        for (int32_t x = from; x < to; x++) {
            std::string column = canvas.column(x, top, top + m.height);
            ink += int(std::count(column.begin(), column.end(), '#'));
        }
        SCOPED_TRACE(i);
        EXPECT_EQ(ink > 0, text[i] != ' ');
        from = to;
    }
    Rect box = ink_box(canvas, 200, 40);
    EXPECT_GE(box.left, left);
    EXPECT_LE(box.right, left + size.cx); // nothing past the measured width
    EXPECT_GE(box.top, top);
    EXPECT_LE(box.bottom, top + m.height);
}

TEST_F(TextTest, HangulInALatinFaceComesFromTheLinkedFamily)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    Canvas canvas(120, 30);
    GdiObject arial = create_font(-16, 0, 0, 0, 0, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    select_object(canvas.dc, arial);
    std::string text = utf8_to_code_page(CP_KOREAN, "A한");
    EXPECT_EQ(extent(canvas.dc, text), extent(canvas.dc, "A") + 15);
    char face[LF_FACESIZE];
    get_text_face(canvas.dc, face, sizeof face);
    EXPECT_STREQ(face, "Arial"); // the font stays Arial; only the missing syllable is linked
    text_out(canvas.dc, 0, 0, text.data(), int(text.size()));
    int32_t a = extent(canvas.dc, "A");
    EXPECT_GT(ink_box(canvas, 120, 30).right, a + 8);
    select_object(canvas.dc, get_stock_object(SYSTEM_FONT));
    delete_object(arial);
}

struct AlignCase {
    const char* name;
    uint32_t align;
};

static const AlignCase kAlignCases[] = {
    {"left top", TA_LEFT | TA_TOP},
    {"right top", TA_RIGHT | TA_TOP},
    {"centre top", TA_CENTER | TA_TOP},
    {"left baseline", TA_LEFT | TA_BASELINE},
    {"right bottom", TA_RIGHT | TA_BOTTOM},
    {"centre baseline", TA_CENTER | TA_BASELINE},
};

TEST_F(TextTest, AlignmentPlacesTheCellAndAnOpaqueBackgroundFillsItExactly)
{
    const int32_t x = 100, y = 40;
    for (const AlignCase& c : kAlignCases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(200, 80);
        use_font(canvas.dc, "Arial", -16);
        set_bk_mode(canvas.dc, OPAQUE);
        set_bk_color(canvas.dc, ref(kRed));
        set_text_align(canvas.dc, c.align);
        ASSERT_TRUE(text_out(canvas.dc, x, y, "Hig", 3));
        TextMetric m = metrics_of(canvas.dc);
        int32_t w = extent(canvas.dc, "Hig");
        uint32_t horizontal = c.align & TA_CENTER;
        int32_t left = horizontal == TA_RIGHT ? x - w : horizontal == TA_CENTER ? x - w / 2 : x;
        uint32_t vertical = c.align & TA_BASELINE;
        int32_t top = vertical == TA_BASELINE ? y - m.ascent : vertical == TA_BOTTOM ? y - m.height : y;
        Rect cell{left, top, left + w, top + m.height};
        EXPECT_EQ(ink_box(canvas, 200, 80), cell);
        int red = canvas.count(kRed), black = canvas.count(kBlack);
        EXPECT_EQ(red + black, cell.width() * cell.height());
        EXPECT_GT(black, 0);
    }
}

TEST_F(TextTest, TransparentTextLeavesTheBackgroundAndOpaqueRectanglesFillAnyway)
{
    Canvas canvas(120, 40);
    use_font(canvas.dc, "Arial", -16);
    set_bk_color(canvas.dc, ref(kRed));
    set_bk_mode(canvas.dc, TRANSPARENT);
    ASSERT_TRUE(text_out(canvas.dc, 5, 5, "Hig", 3));
    EXPECT_EQ(canvas.count(kRed), 0);
    int32_t w = extent(canvas.dc, "Hig");
    Rect box = ink_box(canvas, 120, 40);
    EXPECT_GE(box.left, 5);
    EXPECT_LE(box.right, 5 + w);

    Canvas opaque(120, 40);
    use_font(opaque.dc, "Arial", -16);
    set_bk_color(opaque.dc, ref(kRed));
    set_bk_mode(opaque.dc, TRANSPARENT);
    Rect area{0, 0, 60, 30};
    ASSERT_TRUE(ext_text_out(opaque.dc, 5, 5, ETO_OPAQUE, &area, "Hig", 3, nullptr));
    EXPECT_EQ(ink_box(opaque, 120, 40), area);
    EXPECT_EQ(opaque.count(kRed) + opaque.count(kBlack), 60 * 30);

    // Clipped text stays inside the rectangle, even where the glyphs go on.
    Canvas clipped(120, 40);
    use_font(clipped.dc, "Arial", -16);
    Rect narrow{5, 5, 15, 30};
    ASSERT_TRUE(ext_text_out(clipped.dc, 5, 5, ETO_CLIPPED, &narrow, "WWW", 3, nullptr));
    Rect inked = ink_box(clipped, 120, 40);
    EXPECT_FALSE(is_rect_empty(inked));
    EXPECT_LE(inked.right, 15);
}

TEST_F(TextTest, CharacterSpacingAndAdvancesMoveEveryCharacter)
{
    Canvas spaced(120, 30), apart(120, 30), with_dx(120, 30), placed(120, 30);
    for (Canvas* canvas : {&spaced, &apart, &with_dx, &placed})
        use_font(canvas->dc, "Times New Roman", -16);
    int32_t a = extent(spaced.dc, "a"), b = extent(spaced.dc, "b");
    set_text_character_extra(spaced.dc, 4);
    text_out(spaced.dc, 10, 5, "abc", 3);
    text_out(apart.dc, 10, 5, "a", 1);
    text_out(apart.dc, 10 + a + 4, 5, "b", 1);
    text_out(apart.dc, 10 + a + 4 + b + 4, 5, "c", 1);
    EXPECT_TRUE(same_pixels(spaced, apart, 120, 30));

    const int32_t dx[3] = {20, 20, 20};
    ext_text_out(with_dx.dc, 10, 5, 0, nullptr, "abc", 3, dx);
    text_out(placed.dc, 10, 5, "a", 1);
    text_out(placed.dc, 30, 5, "b", 1);
    text_out(placed.dc, 50, 5, "c", 1);
    EXPECT_TRUE(same_pixels(with_dx, placed, 120, 30));
}

TEST_F(TextTest, UpdatingTheCurrentPositionMovesItPastTheText)
{
    Canvas canvas(200, 40);
    use_font(canvas.dc, "Arial", -16);
    int32_t w = extent(canvas.dc, "ab");
    move_to_ex(canvas.dc, 20, 5, nullptr);
    set_text_align(canvas.dc, TA_UPDATECP);
    ASSERT_TRUE(text_out(canvas.dc, 150, 30, "ab", 2)); // x and y do not count
    Point at;
    get_current_position_ex(canvas.dc, at);
    EXPECT_EQ(at, (Point{20 + w, 5}));
    Rect box = ink_box(canvas, 200, 40);
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.right, 20 + w);
    set_text_align(canvas.dc, TA_UPDATECP | TA_RIGHT);
    text_out(canvas.dc, 0, 0, "ab", 2);
    get_current_position_ex(canvas.dc, at);
    EXPECT_EQ(at, (Point{20, 5}));
}

TEST_F(TextTest, AlignmentAndSpacingAreSavedAndRestoredWithTheDc)
{
    Canvas canvas(8, 8);
    EXPECT_EQ(get_text_align(canvas.dc), TA_LEFT | TA_TOP);
    EXPECT_EQ(set_text_align(canvas.dc, TA_BASELINE), TA_LEFT | TA_TOP);
    set_text_character_extra(canvas.dc, 2);
    int saved = save_dc(canvas.dc);
    EXPECT_EQ(get_text_align(canvas.dc), TA_BASELINE);
    set_text_align(canvas.dc, TA_RIGHT | TA_BOTTOM);
    set_text_character_extra(canvas.dc, 7);
    ASSERT_TRUE(restore_dc(canvas.dc, saved));
    EXPECT_EQ(get_text_align(canvas.dc), TA_BASELINE);
    EXPECT_EQ(get_text_character_extra(canvas.dc), 2);
    EXPECT_EQ(set_text_align(DcHandle{}, TA_LEFT), GDI_ERROR);
    EXPECT_EQ(set_text_character_extra(DcHandle{}, 1), kTextExtraError);
    // A new DC starts with the defaults, also after a GDI reset gave out the same ids again.
    dc_reset();
    Canvas fresh(8, 8);
    EXPECT_EQ(get_text_align(fresh.dc), TA_LEFT | TA_TOP);
    EXPECT_EQ(get_text_character_extra(fresh.dc), 0);
}

TEST_F(TextTest, UnderlineAndStrikeOutRunUnderTheWholeText)
{
    struct LineCase {
        const char* name;
        bool underline;
        bool strike_out;
        int full_rows; // rows inked from the first to the last column of the text
    };
    static const LineCase cases[] = {{"plain", false, false, 0}, {"underline", true, false, 1}, {"strike-out", false, true, 1},
        {"both", true, true, 2}};
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(120, 30);
        use_font(canvas.dc, "Arial", -16, FW_NORMAL, false, c.underline, c.strike_out);
        ASSERT_TRUE(text_out(canvas.dc, 10, 5, "a b", 3));
        int32_t w = extent(canvas.dc, "a b");
        TextMetric m = metrics_of(canvas.dc);
        int full = 0;
        for (int32_t y = 5; y < 5 + m.height; y++)
            full += canvas.row(y, 10, 10 + w) == std::string(size_t(w), '#');
        EXPECT_EQ(full, c.full_rows);
        EXPECT_LE(ink_box(canvas, 120, 30).bottom, 5 + m.height); // inside the cell
    }
}

TEST_F(TextTest, SynthesisedBoldSmearsOnePixelAndWidensEachAdvanceByTheOverhang)
{
    Canvas bold(60, 30), heavy(60, 30);
    use_font(bold.dc, "System", 16, FW_BOLD);
    use_font(heavy.dc, "System", 16, FW_HEAVY); // past the bold file: emboldened
    TextMetric m = metrics_of(heavy.dc);
    ASSERT_EQ(m.overhang, 1);
    EXPECT_EQ(metrics_of(bold.dc).overhang, 0);
    const std::string text = "Hello, World";
    EXPECT_EQ(extent(heavy.dc, text), extent(bold.dc, text) + int32_t(text.size()) * m.overhang);
    text_out(bold.dc, 10, 5, "l", 1);
    text_out(heavy.dc, 10, 5, "l", 1);
    int ink = 0;
    for (int32_t y = 0; y < 30; y++) {
        for (int32_t x = 1; x < 60; x++) {
            bool smeared = bold.at(x, y) == kBlack || bold.at(x - 1, y) == kBlack;
            EXPECT_EQ(heavy.at(x, y) == kBlack, smeared) << x << "," << y;
            ink += smeared;
        }
    }
    EXPECT_GT(ink, 0);
}

TEST_F(TextTest, SynthesisedItalicShearsTheGlyphAndKeepsItsAdvance)
{
    Canvas upright(40, 30), slanted(40, 30);
    use_font(upright.dc, "Gulim", -16);
    use_font(slanted.dc, "Gulim", -16, FW_NORMAL, true);
    EXPECT_EQ(extent(slanted.dc, "Hello, World"), extent(upright.dc, "Hello, World"));
    text_out(upright.dc, 10, 5, "l", 1);
    text_out(slanted.dc, 10, 5, "l", 1);
    auto first_ink = [](const Canvas& canvas, int32_t y) {
        std::string row = canvas.row(y, 0, 40);
        return int32_t(row.find('#'));
    };
    Rect straight = ink_box(upright, 40, 30), sheared = ink_box(slanted, 40, 30);
    EXPECT_EQ(first_ink(upright, straight.top), first_ink(upright, straight.bottom - 1));
    EXPECT_GT(first_ink(slanted, sheared.top), first_ink(slanted, sheared.bottom - 1));
}

TEST_F(TextTest, OneBitSurfacesGetTheSameGlyphs)
{
    Canvas mono(80, 24, 1), colour(80, 24, 32);
    for (Canvas* canvas : {&mono, &colour}) {
        use_font(canvas->dc, "Courier New", -16);
        ASSERT_TRUE(text_out(canvas->dc, 2, 2, "Ag&j", 4));
    }
    for (int32_t y = 0; y < 24; y++) {
        SCOPED_TRACE(y);
        EXPECT_EQ(mono.row(y, 0, 80), colour.row(y, 0, 80));
    }
    EXPECT_GT(mono.count(kBlack), 20);
}

TEST_F(TextTest, DrawingTheSameTextAgainRasterisesNothing)
{
    Canvas canvas(200, 30);
    use_font(canvas.dc, "Batang", -17);
    glyph_cache_clear();
    GlyphCacheStats before = glyph_cache_stats();
    text_out(canvas.dc, 0, 0, "cache me", 8);
    GlyphCacheStats first = glyph_cache_stats();
    EXPECT_EQ(first.rasterised - before.rasterised, 6u); // c, a, h, e, space and m once each
    text_out(canvas.dc, 0, 0, "cache me", 8);
    GlyphCacheStats second = glyph_cache_stats();
    EXPECT_EQ(second.rasterised, first.rasterised);
    EXPECT_EQ(second.hits - first.hits, 16u); // measured, then drawn
}

TEST_F(TextTest, AbcWidthsAddUpToTheAdvance)
{
    Canvas canvas(8, 8);
    use_font(canvas.dc, "Times New Roman", -20, FW_NORMAL, true);
    AbcWidths abc[26];
    int32_t widths[26];
    ASSERT_TRUE(get_char_abc_widths(canvas.dc, 'a', 'z', abc));
    ASSERT_TRUE(get_char_width32(canvas.dc, 'a', 'z', widths));
    for (int i = 0; i < 26; i++) {
        SCOPED_TRACE(char('a' + i));
        EXPECT_EQ(abc[i].a + int32_t(abc[i].b) + abc[i].c, widths[i]);
        EXPECT_GT(abc[i].b, 0u);
    }
    EXPECT_FALSE(get_char_width32(canvas.dc, 'z', 'a', widths));
    EXPECT_FALSE(get_char_width32(canvas.dc, 'a', 'z', nullptr));
}

TEST_F(TextTest, BadCallsFailWithoutDrawing)
{
    Canvas canvas(40, 20);
    EXPECT_FALSE(text_out(canvas.dc, 0, 0, "abc", -1));
    EXPECT_FALSE(text_out(canvas.dc, 0, 0, nullptr, 2));
    EXPECT_TRUE(text_out(canvas.dc, 0, 0, nullptr, 0));
    EXPECT_FALSE(text_out(DcHandle{}, 0, 0, "abc", 3));
    Size size;
    EXPECT_FALSE(get_text_extent_point32(DcHandle{}, "abc", 3, size));
    EXPECT_EQ(canvas.count(kBlack), 0);
    // An information context measures but does not draw.
    DcHandle info = create_ic("DISPLAY");
    EXPECT_FALSE(text_out(info, 0, 0, "abc", 3));
    EXPECT_TRUE(get_text_extent_point32(info, "abc", 3, size));
    EXPECT_GT(size.cx, 0);
    delete_dc(info);
}

} // namespace

// Alignment and spacing are part of the DC's saved state: a restore brings back exactly the
// values of the level it returns to, also when a new save follows at once.
TEST(TextState, SaveAndRestoreCarryAlignmentAndSpacing)
{
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle());
    ASSERT_TRUE(dc);
    plat::set_text_align(dc, plat::TA_CENTER);
    plat::set_text_character_extra(dc, 3);
    int level = plat::save_dc(dc);
    plat::set_text_align(dc, plat::TA_RIGHT | plat::TA_BASELINE);
    plat::set_text_character_extra(dc, 7);
    ASSERT_TRUE(plat::restore_dc(dc, level));
    plat::save_dc(dc);
    EXPECT_EQ(plat::get_text_align(dc), uint32_t(plat::TA_CENTER));
    EXPECT_EQ(plat::get_text_character_extra(dc), 3);
    plat::delete_dc(dc);
}
