// Drawing into memory DCs: a run drawn by the field is the platform's own text_out of the same
// text, font and colour at the same place, in each draw mode; highlights, hidden runs, clips,
// justification and the double-byte underline by their pixels.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/gdi/palette.h"
#include "platform/text/text.h"
#include "runtime/display/palette.h"
#include "runtime/ui/edit_draw.h"
#include "tests/runtime/text_scope.h"
#include "tests/ui/edit_fixture.h"

namespace edittest {
namespace {

using gditest::Canvas;
using gditest::ref;

constexpr int32_t kSize = 240;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kCyan = 0x00FFFF;
constexpr uint32_t kGray = 0x808080;

class EditDrawTest : public EditTest {
public:
    static void paint(Canvas& canvas, uint32_t rgb, const Rect& rect = Rect { 0, 0, kSize, kSize })
    {
        plat::GdiObject brush = plat::create_solid_brush(ref(rgb));
        plat::fill_rect(canvas.dc, rect, brush);
        plat::delete_object(brush);
    }
    // text_out in the style's font at (x, baseline y), transparent unless opaque is set.
    void text_out(Canvas& canvas, int style, int32_t x, int32_t y, const std::string& text, uint32_t rgb,
        bool opaque = false)
    {
        StockFont font;
        text_style_create_font(style, kSlot, &font);
        plat::GdiObject old = plat::select_object(canvas.dc, font.font);
        plat::set_text_align(canvas.dc, plat::TA_BASELINE);
        plat::set_bk_mode(canvas.dc, opaque ? plat::OPAQUE : plat::TRANSPARENT);
        plat::set_text_color(canvas.dc, ref(rgb));
        plat::text_out(canvas.dc, x, y, text.data(), int(text.size()));
        plat::select_object(canvas.dc, old);
        font_release(&font);
    }
protected:
    static int differences(const Canvas& a, const Canvas& b)
    {
        int n = 0;
        for (int32_t y = 0; y < kSize; y++)
            for (int32_t x = 0; x < kSize; x++)
                n += a.at(x, y) != b.at(x, y);
        return n;
    }
    EditLine line(int n) { return edit_line(field, n); }
};

TEST_F(EditDrawTest, ARunIsTheSameTextOutAtTheSamePlace)
{
    set("Hello, world", {{0, kBody}, {7, kBold}});
    layout();
    Canvas drawn(kSize, kSize), expected(kSize, kSize);
    paint(drawn, kGray);
    paint(expected, kGray);
    edit_draw(field, drawn.dc, nullptr);
    paint(expected, 0xFFFFFF, kDisplay); // mode 4 fills with the field's white
    text_out(expected, kBody, line(0).x, line(0).baseline, "Hello, ", 0x000000);
    text_out(expected, kBold, caret_x(7), line(0).baseline, "world", kRed);
    EXPECT_EQ(differences(drawn, expected), 0);
    EXPECT_GT(drawn.count(kRed), 0);
}

TEST_F(EditDrawTest, EachDrawModeByItsPixels)
{
    set("Mode", {{0, kBig}});
    layout();
    int32_t x = line(0).x, y = line(0).baseline;
    static const struct {
        const char* name;
        uint16_t mode;
        // Builds what the canvas must hold, from a red canvas.
        void (*expect)(EditDrawTest&, Canvas&, int32_t x, int32_t y);
    } kRows[] = {
        {"mode 4 fills and draws", 4,
            [](EditDrawTest& t, Canvas& c, int32_t x, int32_t y) {
                paint(c, 0xFFFFFF, kDisplay);
                t.text_out(c, kBig, x, y, "Mode", 0x000000);
            }},
        {"mode 0 too", 0,
            [](EditDrawTest& t, Canvas& c, int32_t x, int32_t y) {
                paint(c, 0xFFFFFF, kDisplay);
                t.text_out(c, kBig, x, y, "Mode", 0x000000);
            }},
        {"mode 1 keeps the background", 1,
            [](EditDrawTest& t, Canvas& c, int32_t x, int32_t y) { t.text_out(c, kBig, x, y, "Mode", 0x000000); }},
        {"mode 3 draws in the piece's background colour", 3,
            [](EditDrawTest& t, Canvas& c, int32_t x, int32_t y) {
                t.text_out(c, kBig, x, y, "Mode", pal_background_color() & 0xFFFFFF);
            }},
        {"mode 5 is opaque in the DC's background colour", 5,
            [](EditDrawTest& t, Canvas& c, int32_t x, int32_t y) {
                plat::set_bk_color(c.dc, ref(kGreen));
                t.text_out(c, kBig, x, y, "Mode", 0x000000, true);
            }},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        edit_set_appearance(field, row.mode, 0xFFFFFF, kEditSingleSpacing);
        Canvas drawn(kSize, kSize), expected(kSize, kSize);
        paint(drawn, kRed);
        paint(expected, kRed);
        plat::set_bk_color(drawn.dc, ref(kGreen));
        edit_draw(field, drawn.dc, nullptr);
        row.expect(*this, expected, x, y);
        EXPECT_EQ(differences(drawn, expected), 0);
    }
}

TEST_F(EditDrawTest, Mode2InvertsWhatLiesUnderTheGlyphs)
{
    set("Mask", {{0, kBig}});
    layout();
    edit_set_appearance(field, 2, 0xFFFFFF, kEditSingleSpacing);
    Canvas drawn(kSize, kSize), glyphs(kSize, kSize);
    paint(drawn, kRed);
    edit_draw(field, drawn.dc, nullptr);
    text_out(glyphs, kBig, line(0).x, line(0).baseline, "Mask", 0x000000);
    int inverted = 0;
    for (int32_t y = 0; y < kSize; y++)
        for (int32_t x = 0; x < kSize; x++) {
            bool ink = glyphs.at(x, y) == 0x000000;
            ASSERT_EQ(drawn.at(x, y), ink ? kCyan : kRed) << x << "," << y;
            inverted += ink;
        }
    EXPECT_GT(inverted, 50);
}

TEST_F(EditDrawTest, HighlightsHiddenRunsAndTheClip)
{
    set("ab{cd", {{0, kBody}, {2, kBody}, {3, kBody}});
    std::vector<EditRun> runs = {EditRun {0, 0, kBody, 0}, EditRun {2, 0, kBody, kEditRunHidden}, EditRun {3, 0, kBody, 0}};
    ASSERT_EQ(edit_set_runs(field, runs.data(), 3), 0);
    layout();
    // The hidden brace is neither drawn nor given room.
    Canvas drawn(kSize, kSize), expected(kSize, kSize);
    edit_draw(field, drawn.dc, nullptr);
    text_out(expected, kBody, line(0).x, line(0).baseline, "ab", 0x000000);
    text_out(expected, kBody, line(0).x + width(kBody, "ab"), line(0).baseline, "cd", 0x000000);
    EXPECT_EQ(differences(drawn, expected), 0);

    // A highlight fills its range's cells behind the text.
    edit_set_hot_mark(field, 1, 4, kEditHotAdd, ref(kBlue));
    Canvas lit(kSize, kSize);
    edit_draw(field, lit.dc, nullptr);
    EXPECT_EQ(lit.at(caret_x(1), line(0).top), kBlue);
    EXPECT_EQ(lit.at(caret_x(4) - 1, line(1).top - 1), kBlue);
    EXPECT_EQ(lit.at(caret_x(4) + 1, line(0).top), 0xFFFFFFu);
    EXPECT_EQ(lit.at(caret_x(1) - 1, line(0).top), 0xFFFFFFu);

    // A clip keeps everything outside it.
    Canvas clipped(kSize, kSize);
    paint(clipped, kRed);
    Rect clip { 0, 0, caret_x(1), kSize };
    edit_draw(field, clipped.dc, &clip);
    EXPECT_EQ(clipped.at(caret_x(1), line(0).top), kRed);
    EXPECT_EQ(clipped.at(caret_x(1) - 1, line(0).top), 0xFFFFFFu);
    EXPECT_EQ(clipped.at(kDisplay.left - 1, line(0).top), kRed);
}

TEST_F(EditDrawTest, AHighlightOverSeveralLinesIsThreeRectangles)
{
    set("one two three four five six", {{0, kBody}});
    set_width(width(kBody, "three fo"));
    layout();
    ASSERT_GE(edit_line_count(field), 3);
    edit_set_hot_mark(field, 2, edit_line(field, 2).first + 2, kEditHotAdd, ref(kBlue));
    Canvas lit(kSize, kSize);
    edit_draw(field, lit.dc, nullptr);
    int32_t right = kLayout.left + width(kBody, "three fo");
    EXPECT_EQ(lit.at(right - 1, line(0).top), kBlue) << "first line to the right limit";
    EXPECT_EQ(lit.at(caret_x(2), line(0).top), kBlue);
    EXPECT_EQ(lit.at(caret_x(2) - 1, line(0).top), 0xFFFFFFu);
    EXPECT_EQ(lit.at(kLayout.left, line(1).top), kBlue) << "lines between across the paragraph";
    EXPECT_EQ(lit.at(right - 1, line(1).top), kBlue);
    EXPECT_EQ(lit.at(kLayout.left, line(2).top), kBlue) << "last line from the left limit";
    EXPECT_EQ(lit.at(caret_x(edit_line(field, 2).first + 2), line(2).top), 0xFFFFFFu);
}

TEST_F(EditDrawTest, JustifiedLinesReachTheRightLimitAndDoubleByteUnderlinesSpanTheGaps)
{
    TextScope korean(949, "K");
    std::string word = "\xB0\xA1\xB3\xAA"; // two syllables
    std::string text = word + " " + word + " " + word + " " + word + " " + word + " " + word;
    set(text, {{0, kKoreanUnderlined}});
    int32_t limit = width(kKoreanUnderlined, word + " " + word + " " + word) + 9;
    set_width(limit);
    layout();
    ASSERT_GE(edit_line_count(field), 2);
    Canvas drawn(kSize, kSize);
    edit_draw(field, drawn.dc, nullptr);
    int32_t right = kLayout.left + limit;
    // The underline runs unbroken from the line's start to the right limit, across the gaps.
    int32_t underline = line(0).baseline + 1;
    EXPECT_EQ(drawn.row(underline, line(0).x, right), std::string(size_t(right - line(0).x), '#'));
    // The last glyph of the justified line ends near the right limit.
    int32_t ink_right = 0;
    for (int32_t y = line(0).top; y < line(0).baseline; y++)
        for (int32_t x = 0; x < kSize; x++)
            if (drawn.at(x, y) == 0x000000)
                ink_right = std::max(ink_right, x);
    EXPECT_GE(ink_right, right - 4);
    EXPECT_LT(ink_right, right + 2);
}

TEST_F(EditDrawTest, AJustifiedLineWithoutGapsStaysAsItIs)
{
    set("abcdefghijklmnopqrstuvwxyz", {{0, kJustified}});
    set_width(width(kJustified, "abcdefghij") + 3);
    layout();
    ASSERT_GE(edit_line_count(field), 2);
    // No blank to widen: the line is drawn unjustified and the x of its end is its width.
    EXPECT_EQ(caret_x(edit_line(field, 1).first - 1) + width(kJustified, "j"), kLayout.left + width(kJustified, "abcdefghij"));
    Canvas drawn(kSize, kSize), expected(kSize, kSize);
    edit_draw(field, drawn.dc, nullptr);
    paint(expected, 0xFFFFFF, kDisplay);
    text_out(expected, kJustified, line(0).x, line(0).baseline, "abcdefghij", 0x000000);
    Rect first_line { 0, 0, kSize, line(1).top };
    Canvas top(kSize, kSize), top_expected(kSize, kSize);
    edit_draw(field, top.dc, &first_line);
    plat::bit_blt(top_expected.dc, 0, 0, kSize, line(1).top, expected.dc, 0, 0, plat::SRCCOPY);
    EXPECT_EQ(differences(top, top_expected), 0);
}

} // namespace
} // namespace edittest
