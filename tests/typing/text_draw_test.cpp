#include "typing/text_draw.h"

#include "typing/bitmap_font.h"
#include "typing/johab.h"

#include "test_util.h"

#include <string>

namespace {

using plat::colorref_from_pixel;

// Colours as 0x00RRGGBB.
constexpr uint32_t kBackground = 0x2050A0;
constexpr uint32_t kTextColour = 0xE01010;
constexpr uint32_t kBkColour = 0x10C020; // the DC's background colour: only empty text uses it
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;
constexpr int kCanvasWidth = 130;
constexpr int kCanvasHeight = 40;

// A가나다 힣 in Johab: a letter, three syllables of the KS rows, a blank, and a syllable that
// only composition can draw.
std::string sample_text()
{
    std::string text = wansung_to_johab("A\xB0\xA1\xB3\xAA\xB4\xD9 ");
    return text + "\xD3\xBD";
}

// The text drawn with the font the build puts beside the program.
class TextDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::dc_reset();
        ASSERT_TRUE(bitmap_font_load_file(STORVEL_BINARY_DIR "/bin/PNXBMP.FNT"));
        ASSERT_TRUE(bitmap_font_glyph_strip(sample_text(), m_strip));
    }
    void TearDown() override
    {
        bitmap_font_free();
        plat::dc_reset();
    }

    GlyphStrip m_strip;
};

enum class Mode { plain, transparent, embossed };

// What pixel (px, py) of the canvas holds after the strip was drawn at (x, y).
uint32_t expected_pixel(Mode mode, const GlyphStrip& strip, int x, int y, int px, int py)
{
    auto inked = [&](int dx, int dy) { return glyph_strip_ink(strip, px - x - dx, py - y - dy); };
    bool inside = px - x >= 0 && px - x < strip.width && py - y >= 0 && py - y < strip.height;
    switch (mode) {
    case Mode::plain:
        return inside ? (inked(0, 0) ? kBlack : kWhite) : kBackground;
    case Mode::transparent:
        return inked(0, 0) ? kTextColour : kBackground;
    case Mode::embossed:
        if (inked(0, 0))
            return kTextColour;
        if (inked(0, -1))
            return kGrey; // the copy one pixel up
        return inked(1, 1) ? kWhite : kBackground; // the copy one pixel down and right
    }
    return kBackground;
}

// The ways of drawing the sample, at (x, y) of the DC.
using DrawFunction = void (*)(plat::DcHandle dc, int x, int y, const std::string& text);
const plat::Rect kWholeCanvas {0, 0, kCanvasWidth, kCanvasHeight};

void draw_plain(plat::DcHandle dc, int x, int y, const std::string& t) { text_draw_plain(dc, x, y, t); }
void draw_opaque(plat::DcHandle dc, int x, int y, const std::string& t)
{
    text_draw(dc, x, y, kTextOpaque, nullptr, t);
}
void draw_transparent(plat::DcHandle dc, int x, int y, const std::string& t)
{
    text_draw(dc, x, y, 0, nullptr, t);
}
void draw_with_rectangle(plat::DcHandle dc, int x, int y, const std::string& t)
{
    text_draw(dc, x, y, 0, &kWholeCanvas, t);
}
void draw_embossed(plat::DcHandle dc, int x, int y, const std::string& t)
{
    text_draw_embossed(dc, x, y, 0, nullptr, t);
}

struct DrawCase {
    const char* name;
    Mode mode;
    int x, y;
    DrawFunction draw;
};

TEST_F(TextDraw, EachModePutsTheStripsPixelsOnTheDc)
{
    static const DrawCase kCases[] = {
        {"plain: black ink on white cells", Mode::plain, 12, 10, draw_plain},
        {"the opaque flag ignores the text colour", Mode::plain, 12, 10, draw_opaque},
        {"transparent: ink alone, in the text colour", Mode::transparent, 12, 10, draw_transparent},
        {"a rectangle is not filled when there is text", Mode::transparent, 12, 10, draw_with_rectangle},
        {"embossed: white below right, grey above, ink on top", Mode::embossed, 12, 10, draw_embossed},
        {"embossed across the canvas's top-left corner", Mode::embossed, -25, -8, draw_embossed},
        {"plain across the bottom-right corner", Mode::plain, 70, 30, draw_plain},
    };
    for (const DrawCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(kCanvasWidth, kCanvasHeight, kBackground);
        plat::set_text_color(canvas.dc, colorref_from_pixel(kTextColour));
        plat::set_bk_color(canvas.dc, colorref_from_pixel(kBkColour));
        c.draw(canvas.dc, c.x, c.y, sample_text());
        int wrong = 0;
        for (int py = 0; py < kCanvasHeight; ++py) {
            for (int px = 0; px < kCanvasWidth; ++px) {
                uint32_t want = expected_pixel(c.mode, m_strip, c.x, c.y, px, py);
                if (canvas.at(px, py) != want && wrong++ == 0)
                    ADD_FAILURE() << "first wrong pixel (" << px << ", " << py << "): "
                                  << std::hex << canvas.at(px, py) << " instead of " << want;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(plat::get_text_color(canvas.dc), colorref_from_pixel(kTextColour));
        EXPECT_EQ(plat::get_bk_color(canvas.dc), colorref_from_pixel(kBkColour));
    }
}

TEST_F(TextDraw, CellsAreHalfACellPerByteWithInkInEach)
{
    Canvas canvas(kCanvasWidth, kCanvasHeight, kBackground);
    std::string text = sample_text();
    EXPECT_EQ(text_extent(canvas.dc, text), 100u | 20u << 16);
    plat::set_text_color(canvas.dc, colorref_from_pixel(kTextColour));
    text_draw(canvas.dc, 12, 10, 0, nullptr, text);
    struct CellSpan {
        const char* name;
        int left, width;
        bool inked;
    };
    static const CellSpan kCells[] = {
        {"A", 0, 10, true}, {"가", 10, 20, true}, {"나", 30, 20, true},
        {"다", 50, 20, true}, {"blank", 70, 10, false}, {"힣", 80, 20, true},
    };
    int total = 0;
    for (const CellSpan& cell : kCells) {
        SCOPED_TRACE(cell.name);
        int ink = 0;
        for (int y = 10; y < 30; ++y) {
            for (int x = 12 + cell.left; x < 12 + cell.left + cell.width; ++x)
                ink += canvas.at(x, y) == kTextColour;
        }
        EXPECT_EQ(ink > 0, cell.inked);
        total += ink;
    }
    int everywhere = 0;
    for (int y = 0; y < kCanvasHeight; ++y) {
        for (int x = 0; x < kCanvasWidth; ++x)
            everywhere += canvas.at(x, y) == kTextColour;
    }
    EXPECT_EQ(everywhere, total); // nothing outside the cells
}

TEST_F(TextDraw, EmptyTextFillsTheRectangleOrDrawsNothing)
{
    static const plat::Rect kRect {5, 6, 25, 16};
    struct EmptyCase {
        const char* name;
        void (*draw)(plat::DcHandle dc);
        bool filled;
    };
    static const EmptyCase kCases[] = {
        {"rectangle", [](plat::DcHandle dc) { text_draw(dc, 0, 0, 0, &kRect, ""); }, true},
        {"rectangle, opaque",
            [](plat::DcHandle dc) { text_draw(dc, 0, 0, kTextOpaque, &kRect, ""); }, true},
        {"rectangle, embossed",
            [](plat::DcHandle dc) { text_draw_embossed(dc, 0, 0, 0, &kRect, ""); }, true},
        {"no rectangle",
            [](plat::DcHandle dc) { text_draw(dc, 0, 0, kTextOpaque, nullptr, ""); }, false},
        {"no rectangle, plain", [](plat::DcHandle dc) { text_draw_plain(dc, 0, 0, ""); }, false},
    };
    for (const EmptyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(40, 30, kBackground);
        plat::set_bk_color(canvas.dc, colorref_from_pixel(kBkColour));
        c.draw(canvas.dc);
        EXPECT_EQ(canvas.at(5, 6), c.filled ? kBkColour : kBackground);
        EXPECT_EQ(canvas.at(24, 15), c.filled ? kBkColour : kBackground);
        EXPECT_EQ(canvas.at(25, 15), kBackground);
        EXPECT_EQ(canvas.at(24, 16), kBackground);
    }
}

TEST_F(TextDraw, NothingIsDrawnOnABadDcOrWithoutTheFont)
{
    text_draw_plain(plat::DcHandle(0xDEAD), 0, 0, sample_text());
    text_draw_embossed(plat::DcHandle(0xDEAD), 0, 0, 0, nullptr, sample_text());

    bitmap_font_free();
    Canvas canvas(kCanvasWidth, kCanvasHeight, kBackground);
    text_draw_plain(canvas.dc, 0, 0, sample_text());
    text_draw_embossed(canvas.dc, 0, 0, 0, nullptr, sample_text());
    EXPECT_EQ(canvas.at(0, 0), kBackground);
    EXPECT_EQ(canvas.at(50, 10), kBackground);
    EXPECT_EQ(text_extent(canvas.dc, " "), 10u | 20u << 16); // the shell still measures its cells
}

} // namespace
