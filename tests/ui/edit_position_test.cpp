// Points to positions in the three modes, caret rectangles with the end-of-line affinity,
// lines by y, and widths of text with hidden runs.
#include <string>

#include <gtest/gtest.h>

#include "runtime/ui/edit_layout.h"
#include "tests/ui/edit_fixture.h"

namespace edittest {
namespace {

using EditPositionTest = EditTest;

TEST_F(EditPositionTest, PointsToPositionsInEachMode)
{
    set("hello world");
    layout();
    EditLine line = edit_line(field, 0);
    int32_t y = line.top + 2;
    int32_t below = edit_line(field, 1).top + 1;
    int32_t e_left = caret_x(1), e_right = caret_x(2);
    struct Row {
        const char* name;
        int32_t x, y;
        int32_t exact, nearest;
    };
    const Row rows[] = {
        {"left half of a character", e_left + 1, y, 1, 1},
        {"right half: the nearest position is after it", e_right - 1, y, 1, 2},
        {"left of the line", line.x - 1, y, -1, 0},
        {"right of the last character", caret_x(11) + 5, y, -1, 11},
        {"above the text", e_left, line.top - 1, -1, 0},
        {"below the text", e_left, below, -1, 11},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int justified = 7;
        EXPECT_EQ(edit_char_at_point(field, {}, row.x, row.y, kEditPointExact, &justified), row.exact);
        EXPECT_EQ(edit_char_at_point(field, {}, row.x, row.y, kEditPointBeforeGap, nullptr), row.exact);
        EXPECT_EQ(edit_char_at_point(field, {}, row.x, row.y, kEditPointNearest, nullptr), row.nearest);
        EXPECT_EQ(justified, 0);
    }
}

TEST_F(EditPositionTest, InsideAJustificationGapMode2AnswersTheCharacterBefore)
{
    set("aaa bbb ccc ddd eee fff ggg hhh", {{0, kJustified}});
    set_width(width(kJustified, "aaa bbb ccc d"));
    layout();
    ASSERT_GE(edit_line_count(field), 2);
    ASSERT_EQ(edit_line(field, 1).first, 12);
    // The first line's last character ends at the right limit.
    EXPECT_EQ(caret_x(11), edit_line(field, 0).x + width(kJustified, "aaa bbb ccc d"));
    int32_t y = edit_line(field, 0).top + 2;
    int32_t gap_end = caret_x(4); // "bbb" starts after the widened blank
    int32_t blank_end = caret_x(3) + width(kJustified, " ");
    ASSERT_GT(gap_end, blank_end) << "the blank was not widened";
    int justified = 0;
    EXPECT_EQ(edit_char_at_point(field, {}, gap_end - 1, y, kEditPointBeforeGap, &justified), 3);
    EXPECT_EQ(justified, 1);
    EXPECT_EQ(edit_char_at_point(field, {}, gap_end - 1, y, kEditPointExact, nullptr), 4);
    EXPECT_EQ(edit_char_at_point(field, {}, gap_end - 1, y, kEditPointNearest, nullptr), 4);
    // The last line of the paragraph is not justified.
    int32_t last = edit_line_count(field) - 1;
    int32_t from = edit_line(field, last).first;
    EXPECT_EQ(caret_x(edit_text_length(field)), edit_line(field, last).x + edit_text_width(field, from, edit_text_length(field) - from));
}

TEST_F(EditPositionTest, TheEndOfAWrappedLineKeepsItsCaretOnThatLine)
{
    set("hello world again");
    set_width(width(kBody, "hello world") + 1);
    layout();
    ASSERT_EQ(edit_line(field, 1).first, 12);
    EditLine first = edit_line(field, 0), second = edit_line(field, 1);
    EXPECT_EQ(edit_char_at_point(field, {}, kLayout.right - 1, first.top + 2, kEditPointNearest, nullptr), 12);
    Rect r;
    edit_position_rect(field, 12, &r, 0);
    EXPECT_EQ(r.top, first.top) << "affinity: the end of the first line";
    EXPECT_EQ(r.bottom, second.top);
    EXPECT_EQ(edit_char_at_point(field, {}, kLayout.left, second.top + 2, kEditPointNearest, nullptr), 12);
    edit_position_rect(field, 12, &r, 0);
    EXPECT_EQ(r.top, second.top);
    EXPECT_EQ(r.left, second.x);
    EXPECT_EQ(r.right, second.x + 1);
    edit_position_rect(field, 12, &r, 1);
    EXPECT_EQ(r.top, first.top) << "asked for the end of the line before";
    EXPECT_EQ(edit_line_of_position(field, 12), 1);
}

TEST_F(EditPositionTest, APointAfterACrStaysBeforeIt)
{
    set("ab\rcd");
    layout();
    int32_t y = edit_line(field, 0).top + 2;
    EXPECT_EQ(edit_char_at_point(field, {}, kLayout.right - 1, y, kEditPointNearest, nullptr), 2);
    EXPECT_EQ(edit_char_at_point(field, {}, kLayout.right - 1, y, kEditPointExact, nullptr), -1);
}

TEST_F(EditPositionTest, LinesByY)
{
    set("one\rtwo\rthree");
    layout();
    static const struct {
        const char* name;
        int32_t line; // the y is the top of this line plus dy
        int32_t dy;
        int32_t want;
    } kRows[] = {
        {"above the text", 0, -5, 0},
        {"first line", 0, 0, 0},
        {"last pixel of the first line", 1, -1, 0},
        {"second line", 1, 0, 1},
        {"below the text", 3, 5, 2},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(edit_line_at_y(field, edit_line(field, row.line).top + row.dy), row.want);
    }
}

TEST_F(EditPositionTest, WidthsMeasureEachRunInItsFontAndSkipHiddenRuns)
{
    set("abc{def", {{0, kBody}, {3, kBody}, {4, kBold}});
    std::vector<EditRun> runs = {EditRun {0, 0, kBody, 0}, EditRun {3, 0, kBody, kEditRunHidden}, EditRun {4, 0, kBold, 0}};
    ASSERT_EQ(edit_set_runs(field, runs.data(), 3), 0);
    EXPECT_EQ(edit_text_width(field, 0, 7), width(kBody, "abc") + width(kBold, "def"));
    EXPECT_EQ(edit_text_width(field, 2, 3), width(kBody, "c") + width(kBold, "d"));
    layout();
    EXPECT_EQ(caret_x(4), caret_x(3)) << "the hidden character takes no room";
}

TEST_F(EditPositionTest, AnEmptyFieldPutsItsCaretAtTheFirstIndent)
{
    set("", {{0, kFirstIndentFar}});
    layout();
    EXPECT_EQ(caret_x(0), kLayout.right - 20);
}

} // namespace
} // namespace edittest
