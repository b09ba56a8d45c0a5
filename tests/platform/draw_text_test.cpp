#include "platform/text/draw_text.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gdi_test_support.h"
#include "platform/kernel/codepage.h"
#include "platform/text/font.h"
#include "platform/text/text.h"
#include "platform/text/text_setup.h"

namespace {

using namespace gditest;

constexpr uint32_t kRed = 0xFF0000;
constexpr int32_t kWidth = 240;
constexpr int32_t kHeight = 100;

class DrawTextTest : public GdiTest {
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

    static void use_font(DcHandle dc, const char* face = "Arial", int32_t height = -16)
    {
        GdiObject font = create_font(height, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
        delete_object(select_object(dc, font));
    }

    static int32_t extent(DcHandle dc, const std::string& text)
    {
        Size size;
        get_text_extent_point32(dc, text.data(), int(text.size()), size);
        return size.cx;
    }

    static int32_t line_height(DcHandle dc)
    {
        TextMetric m;
        get_text_metrics(dc, m);
        return m.height;
    }
};

Rect ink_box(const Canvas& canvas)
{
    Rect box{kWidth, kHeight, 0, 0};
    for (int32_t y = 0; y < kHeight; y++) {
        for (int32_t x = 0; x < kWidth; x++) {
            if (canvas.at(x, y) == kWhite)
                continue;
            box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
        }
    }
    return is_rect_empty(box) ? Rect{} : box;
}

bool same_pixels(const Canvas& a, const Canvas& b)
{
    for (int32_t y = 0; y < kHeight; y++) {
        if (a.row(y, 0, kWidth) != b.row(y, 0, kWidth))
            return false;
    }
    return true;
}

struct WrapCase {
    const char* name;
    const char* text;   // UTF-8
    const char* fit;    // the rectangle is as wide as this text
    uint32_t format;
    std::vector<const char*> lines; // UTF-8
    bool korean;
};

static const WrapCase kWrapCases[] = {
    {"one line", "Hello", "Hello", DT_SINGLELINE, {"Hello"}, false},
    {"line ends", "a\r\nbb\ncc\rd", "bb", 0, {"a", "bb", "cc", "d"}, false},
    {"a single line keeps its line ends", "a\r\nb", "a", DT_SINGLELINE, {"a\r\nb"}, false},
    {"words wrap", "one two three", "one two", DT_WORDBREAK, {"one two", "three"}, false},
    {"blanks hang at the break", "one    two", "one", DT_WORDBREAK, {"one", "two"}, false},
    {"a long word breaks inside", "abcdefghij", "abcde", DT_WORDBREAK, {"abcde", "fghij"}, false},
    {"no wrapping without the flag", "one two three", "one", 0, {"one two three"}, false},
    {"Hangul breaks between syllables", "가나다라", "가나", DT_WORDBREAK, {"가나", "다라"}, true},
    {"Hangul words", "한글 문장 줄", "한글 문장", DT_WORDBREAK, {"한글 문장", "줄"}, true},
};

TEST_F(DrawTextTest, MeasuringGivesTheLinesWidestAndHeight)
{
    for (const WrapCase& c : kWrapCases) {
        SCOPED_TRACE(c.name);
        codepage_reset();
        if (c.korean) {
            ASSERT_TRUE(set_active_code_page(CP_KOREAN));
        }
        Canvas canvas(8, 8);
        use_font(canvas.dc, c.korean ? "Gulim" : "Arial");
        std::string text = utf8_to_code_page(CP_ACP, c.text);
        int32_t widest = 0;
        for (const char* line : c.lines)
            widest = std::max(widest, extent(canvas.dc, utf8_to_code_page(CP_ACP, line)));
        Rect rect{10, 20, 10 + extent(canvas.dc, utf8_to_code_page(CP_ACP, c.fit)), 25};
        int32_t height = draw_text(canvas.dc, text.data(), int(text.size()), rect, c.format | DT_CALCRECT);
        int32_t expected = int32_t(c.lines.size()) * line_height(canvas.dc);
        EXPECT_EQ(height, expected);
        EXPECT_EQ(rect, (Rect{10, 20, 10 + widest, 20 + expected}));
        EXPECT_EQ(canvas.count(kBlack), 0); // measuring draws nothing
    }
}

struct PlaceCase {
    const char* name;
    uint32_t format;
    int32_t answer_extra; // added to the line height in the answer
};

TEST_F(DrawTextTest, AlignmentPlacesTheLineAndTheAnswerTellsWhereItEnds)
{
    static const PlaceCase cases[] = {
        {"left top", DT_SINGLELINE, 0},
        {"centre", DT_SINGLELINE | DT_CENTER, 0},
        {"right", DT_SINGLELINE | DT_RIGHT, 0},
        {"centred both ways", DT_SINGLELINE | DT_CENTER | DT_VCENTER, 1},
        {"bottom right", DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, 2},
    };
    const Rect area{20, 10, 220, 90};
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(kWidth, kHeight);
        use_font(canvas.dc);
        set_bk_mode(canvas.dc, OPAQUE);
        set_bk_color(canvas.dc, ref(kRed));
        set_text_align(canvas.dc, TA_BASELINE | TA_RIGHT); // draw_text does not use it
        Rect rect = area;
        int32_t answer = draw_text(canvas.dc, "Hig", -1, rect, c.format);
        int32_t w = extent(canvas.dc, "Hig"), h = line_height(canvas.dc);
        int32_t left = (c.format & DT_CENTER) ? area.left + (area.width() - w) / 2
            : (c.format & DT_RIGHT)           ? area.right - w
                                              : area.left;
        int32_t top = (c.format & DT_VCENTER) ? area.top + (area.height() - h) / 2
            : (c.format & DT_BOTTOM)          ? area.bottom - h
                                              : area.top;
        EXPECT_EQ(ink_box(canvas), (Rect{left, top, left + w, top + h}));
        EXPECT_EQ(answer, c.answer_extra ? top - area.top + h : h);
        EXPECT_EQ(rect, area);
        EXPECT_EQ(get_text_align(canvas.dc), TA_BASELINE | TA_RIGHT);
    }
}

TEST_F(DrawTextTest, MnemonicsAreUnderlinedUnlessPrefixesAreOff)
{
    Canvas canvas(kWidth, kHeight), plain(kWidth, kHeight), hidden(kWidth, kHeight), literal(kWidth, kHeight);
    for (Canvas* c : {&canvas, &plain, &hidden, &literal})
        use_font(c->dc);
    Rect rect{10, 10, 200, 40};
    draw_text(canvas.dc, "&File", -1, rect, DT_SINGLELINE);
    draw_text(plain.dc, "File", -1, rect, DT_SINGLELINE);
    draw_text(hidden.dc, "&File", -1, rect, DT_SINGLELINE | DT_HIDEPREFIX);
    draw_text(literal.dc, "&File", -1, rect, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_TRUE(same_pixels(hidden, plain));
    EXPECT_FALSE(same_pixels(literal, plain));
    // The marked F gains a line below the baseline as wide as its advance, nothing else changes.
    int32_t f = extent(canvas.dc, "F");
    std::vector<int32_t> changed_rows;
    for (int32_t y = 0; y < kHeight; y++) {
        if (canvas.row(y, 0, kWidth) == plain.row(y, 0, kWidth))
            continue;
        changed_rows.push_back(y);
        EXPECT_EQ(canvas.row(y, 10, 10 + f), std::string(size_t(f), '#'));
        EXPECT_EQ(canvas.row(y, 10 + f, kWidth), plain.row(y, 10 + f, kWidth));
    }
    TextMetric m;
    get_text_metrics(canvas.dc, m);
    ASSERT_EQ(changed_rows.size(), 1u);
    EXPECT_GE(changed_rows[0], 10 + m.ascent);
    EXPECT_LT(changed_rows[0], 10 + m.height);

    Rect measure{0, 0, 0, 0};
    draw_text(canvas.dc, "a&&b", -1, measure, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(measure.right, extent(canvas.dc, "a&b"));
}

TEST_F(DrawTextTest, ALineTooWideEndsInAnEllipsisInsideTheRectangle)
{
    Canvas cut(kWidth, kHeight), expected(kWidth, kHeight);
    use_font(cut.dc);
    use_font(expected.dc);
    const std::string text = "The quick brown fox jumps";
    Rect rect{10, 10, 10 + extent(cut.dc, "The quick br"), 40};
    draw_text(cut.dc, text.data(), -1, rect, DT_SINGLELINE | DT_END_ELLIPSIS);
    // The longest start that fits with "...".
    size_t keep = text.size();
    while (keep > 0 && extent(cut.dc, text.substr(0, keep) + "...") > rect.width())
        keep--;
    std::string shown = text.substr(0, keep) + "...";
    text_out(expected.dc, 10, 10, shown.data(), int(shown.size()));
    EXPECT_TRUE(same_pixels(cut, expected));
    EXPECT_LE(ink_box(cut).right, rect.right);
}

TEST_F(DrawTextTest, TabsExpandToEightAverageWidths)
{
    Canvas tabbed(kWidth, kHeight), placed(kWidth, kHeight), custom(kWidth, kHeight), custom_placed(kWidth, kHeight);
    for (Canvas* c : {&tabbed, &placed, &custom, &custom_placed})
        use_font(c->dc);
    TextMetric m;
    get_text_metrics(tabbed.dc, m);
    Rect rect{10, 10, 230, 40};
    draw_text(tabbed.dc, "a\tb", -1, rect, DT_SINGLELINE | DT_EXPANDTABS);
    text_out(placed.dc, 10, 10, "a", 1);
    text_out(placed.dc, 10 + 8 * m.ave_char_width, 10, "b", 1);
    EXPECT_TRUE(same_pixels(tabbed, placed));
    draw_text(custom.dc, "a\tb", -1, rect, DT_SINGLELINE | DT_EXPANDTABS | DT_TABSTOP | (4 << 8));
    text_out(custom_placed.dc, 10, 10, "a", 1);
    text_out(custom_placed.dc, 10 + 4 * m.ave_char_width, 10, "b", 1);
    EXPECT_TRUE(same_pixels(custom, custom_placed));
}

TEST_F(DrawTextTest, TextIsClippedToTheRectangleUnlessNoClipIsAsked)
{
    Canvas clipped(kWidth, kHeight), unclipped(kWidth, kHeight);
    use_font(clipped.dc);
    use_font(unclipped.dc);
    Rect rect{10, 10, 30, 40};
    draw_text(clipped.dc, "WWWWWW", -1, rect, DT_SINGLELINE);
    draw_text(unclipped.dc, "WWWWWW", -1, rect, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_LE(ink_box(clipped).right, 30);
    EXPECT_GT(ink_box(unclipped).right, 30);
}

TEST_F(DrawTextTest, KoreanLinesWrapAndDrawInTheirRows)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    Canvas canvas(kWidth, kHeight);
    use_font(canvas.dc, "Gulim");
    std::string text = utf8_to_code_page(CP_KOREAN, "가나다라마바");
    Rect rect{10, 10, 10 + extent(canvas.dc, utf8_to_code_page(CP_KOREAN, "가나")), 90};
    int32_t h = line_height(canvas.dc);
    EXPECT_EQ(draw_text(canvas.dc, text.data(), int(text.size()), rect, DT_WORDBREAK), 3 * h);
    for (int line = 0; line < 3; line++) {
        SCOPED_TRACE(line);
        int ink = 0;
        for (int32_t y = 10 + line * h; y < 10 + (line + 1) * h; y++) {
            std::string row = canvas.row(y, 10, 10 + rect.width());
            ink += int(std::count(row.begin(), row.end(), '#'));
        }
        EXPECT_GT(ink, 0);
    }
    EXPECT_LE(ink_box(canvas).right, rect.right);
    EXPECT_LE(ink_box(canvas).bottom, 10 + 3 * h);
}

TEST_F(DrawTextTest, NothingToDrawAnswersZero)
{
    Canvas canvas(8, 8);
    Rect rect{0, 0, 50, 50};
    EXPECT_EQ(draw_text(canvas.dc, "", -1, rect, 0), 0);
    EXPECT_EQ(draw_text(canvas.dc, "abc", 0, rect, 0), 0);
    EXPECT_EQ(draw_text(canvas.dc, nullptr, 3, rect, 0), 0);
    EXPECT_EQ(draw_text(canvas.dc, "abc", -2, rect, 0), 0);
    EXPECT_EQ(draw_text(DcHandle{}, "abc", 3, rect, 0), 0);
    EXPECT_EQ(rect, (Rect{0, 0, 50, 50}));
}

} // namespace
