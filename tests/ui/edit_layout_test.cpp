// Line layout: where lines break, tab stops, line heights, alignment and indents, re-layout
// from the first change, the line limit, and double-byte text that never splits a character.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/ui/edit_layout.h"
#include "tests/runtime/text_scope.h"
#include "tests/ui/edit_fixture.h"

namespace edittest {
namespace {

using EditLayoutTest = EditTest;

TEST_F(EditLayoutTest, LinesBreakAtBlanksInsideWordsOnlyWhenTheyMust)
{
    static const struct {
        const char* name;
        const char* text;
        const char* measure; // the layout width is this text's width plus extra
        int32_t extra;
        std::vector<int32_t> want; // line starts, the sentinel last
    } kRows[] = {
        {"words wrap at blanks", "hello world again", "hello world", 1, {0, 12, 17}},
        {"blanks at a line end hang in the margin", "hello    hello", "hello", 0, {0, 9, 14}},
        {"a word wider than the line breaks at its last fitting character", "aaaaaaaaaa", "aaaa", 1, {0, 4, 8, 10}},
        {"a line holds one character however narrow", "WW", "", 2, {0, 1, 2}},
        {"a CR ends its line", "ab\rcd", "abcdefgh", 0, {0, 3, 5}},
        {"a text ending in CR has an empty last line", "ab\r", "abcdefgh", 0, {0, 3, 3}},
        {"an empty text has one line", "", "", 50, {0, 0}},
        {"a TAB without a stop that does not fit starts the next line", "ab\tcd", "ab", 1, {0, 2, 3, 5}},
        {"a word after a TAB wraps whole", "ab\tcd", "ab c", 0, {0, 3, 5}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set(row.text);
        set_width(width(kBody, row.measure) + row.extra);
        layout();
        EXPECT_EQ(line_starts(), row.want);
        EXPECT_EQ(edit_last_error(), 0);
    }
}

TEST_F(EditLayoutTest, TabStopsLeftAndDecimal)
{
    static const struct {
        const char* name;
        int16_t style;
        const char* text;
        int32_t position;
        const char* before; // without a stop: the caret is at this text's width plus one space
        int32_t stop; // else at display left + stop
    } kRows[] = {
        {"a left stop", kTabs, "a\tb", 2, nullptr, 36},
        {"a decimal stop aligns the point", kTabs, "a\tb\t12.5", 6, nullptr, 100},
        {"a number without a point ends at the decimal stop", kTabs, "a\tb\t125", 7, nullptr, 100},
        {"no stops: one space", kBody, "a\tb", 2, "a", 0},
        {"past the last stop: one space", kTabs, "a\tb\t1\tz", 6, nullptr, -1},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set(row.text, {{0, row.style}});
        layout();
        if (row.stop >= 0 && !row.before) {
            EXPECT_EQ(caret_x(row.position), kDisplay.left + row.stop);
        } else if (row.before) {
            EXPECT_EQ(caret_x(row.position), kLayout.left + width(row.style, row.before) + width(row.style, " "));
        } else {
            EXPECT_EQ(caret_x(row.position), kDisplay.left + 100 + width(row.style, " "));
        }
    }
}

TEST_F(EditLayoutTest, LineAdvanceFollowsTheSpacing)
{
    int32_t a = text_style_ascent(kBody, kSlot, 1);
    int32_t d = text_style_descent(kBody, kSlot, 1) + text_style_leading(kBody, kSlot, 1);
    static const struct {
        const char* name;
        uint16_t spacing;
        int multiplier; // half-lines, or 0 for pixels
        int32_t pixels;
    } kRows[] = {
        {"single", 0x7000, 2, 0},
        {"one and a half", 0x7001, 3, 0},
        {"double", 0x7002, 4, 0},
        {"four pixels", 4, 0, 4},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set("one\rtwo");
        edit_set_appearance(field, 4, 0xFFFFFF, row.spacing);
        layout();
        int32_t advance = edit_line(field, 1).top - edit_line(field, 0).top;
        EXPECT_EQ(advance, row.multiplier ? row.multiplier * ((a + d + 1) / 2) : a + d + row.pixels);
        EXPECT_EQ(edit_line(field, 0).baseline, kLayout.top + a);
    }
}

TEST_F(EditLayoutTest, SuperscriptRaisesAndSubscriptLowersByHalfTheAscentBefore)
{
    int32_t a = text_style_ascent(kBody, kSlot, 1);
    int32_t d = text_style_descent(kBody, kSlot, 1) + text_style_leading(kBody, kSlot, 1);
    set("x2", {{0, kBody}, {1, kSuper}});
    layout();
    EXPECT_EQ(edit_run(field, 1).shift, a / 2);
    EXPECT_EQ(edit_line(field, 0).baseline - edit_line(field, 0).top, a + a / 2);
    EXPECT_EQ(edit_line(field, 1).top - edit_line(field, 0).top, 2 * ((a + a / 2 + d + 1) / 2));

    set("x2", {{0, kBody}, {1, kSub}});
    layout();
    EXPECT_EQ(edit_run(field, 1).shift, -(a / 2));
    EXPECT_EQ(edit_line(field, 0).baseline - edit_line(field, 0).top, a);
    EXPECT_EQ(edit_line(field, 1).top - edit_line(field, 0).top, 2 * ((a + d + a / 2 + 1) / 2));
}

TEST_F(EditLayoutTest, AlignmentAndTheFirstIndentCorrection)
{
    static const struct {
        const char* name;
        int16_t style;
        const char* text;
        int32_t want_x; // -1: right aligned, -2: centred
    } kRows[] = {
        {"left", kBody, "abc", kLayout.left},
        {"right", kRight, "abc", -1},
        {"centre", kCentre, "abc", -2},
        {"a first indent left of the rectangle is raised to it", kFirstIndentOut, "abc", kLayout.left},
        {"a first indent near the right limit is lowered to 20 pixels before it", kFirstIndentFar, "a", kLayout.right - 20},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set(row.text, {{0, row.style}});
        layout();
        int32_t w = width(row.style, row.text);
        int32_t want = row.want_x == -1 ? kLayout.right - w
            : row.want_x == -2          ? kLayout.left + (kLayout.right - kLayout.left - w) / 2
                                        : row.want_x;
        EXPECT_EQ(edit_line(field, 0).x, want);
    }
    // The corrected indent holds only on the first line: the second starts at the left indent.
    set("abc def ghi jkl mno pqr stu vwx", {{0, kFirstIndentOut}});
    set_width(width(kFirstIndentOut, "abc def"));
    layout();
    ASSERT_GE(edit_line_count(field), 2);
    EXPECT_EQ(edit_line(field, 1).x, kLayout.left + 10);
}

TEST_F(EditLayoutTest, ReLayoutStartsAtTheLineBeforeTheChange)
{
    set("one\rtwo\rthree\rfour\rfive");
    int32_t old_bottom = layout();
    EditLine second = edit_line(field, 1);
    EXPECT_EQ(edit_layout_state(field), kEditLayoutDone);
    edit_set_selection(field, {}, 10, 10); // inside "three"
    edit_insert_text(field, "\r\r", 2);
    EXPECT_EQ(edit_layout_state(field), 10);
    Rect damaged;
    int32_t bottom = layout(0, &damaged);
    EXPECT_EQ(damaged.top, second.top);
    EXPECT_EQ(damaged.bottom, bottom);
    EXPECT_GT(bottom, old_bottom);
    EXPECT_EQ(damaged.left, kDisplay.left);
    EXPECT_EQ(damaged.right, kDisplay.right);
    EXPECT_EQ(line_starts(), (std::vector<int32_t> { 0, 4, 8, 11, 12, 16, 21, 25 }));
    // Deleting them again damages down to the old, lower bottom.
    edit_set_selection(field, {}, 10, 12);
    edit_delete_selection(field);
    EXPECT_EQ(layout(0, &damaged), old_bottom);
    EXPECT_EQ(damaged.bottom, bottom);
}

TEST_F(EditLayoutTest, AMoveShiftsTheLinesAndAResizeLaysOutAgain)
{
    set("hello world again and again");
    layout();
    std::vector<int32_t> starts = line_starts();
    EditLine first = edit_line(field, 0);
    edit_set_layout_rect(field, Rect { kLayout.left + 5, kLayout.top + 7, kLayout.right + 5, kLayout.bottom });
    EXPECT_EQ(edit_layout_state(field), kEditLayoutMoved);
    layout();
    EXPECT_EQ(edit_line(field, 0).top, first.top + 7);
    EXPECT_EQ(edit_line(field, 0).x, first.x + 5);
    EXPECT_EQ(edit_line(field, 0).baseline, first.baseline + 7);
    EXPECT_EQ(line_starts(), starts);
    // A move followed by an edit keeps the move.
    edit_set_layout_rect(field, Rect { kLayout.left, kLayout.top, kLayout.right, kLayout.bottom });
    edit_set_selection(field, {}, 0, 0);
    edit_insert_text(field, "x", 1);
    layout();
    EXPECT_EQ(edit_line(field, 0).top, first.top);
    // A narrower rectangle lays everything out again.
    set_width(60);
    EXPECT_EQ(edit_layout_state(field), kEditLayoutAll);
    layout();
    EXPECT_GT(edit_line_count(field), int32_t(starts.size()) - 1);
}

TEST_F(EditLayoutTest, AText4672LinesLongStopsWith8002AndKeepsTheOldLines)
{
    set(std::string(10, 'a'));
    layout();
    ASSERT_EQ(edit_line_count(field), 1);
    // 4670 CRs: 4670 lines and the empty last one.
    set(std::string(4670, '\r'));
    layout();
    EXPECT_EQ(edit_last_error(), 0);
    EXPECT_EQ(edit_line_count(field), 4671);
    set(std::string(4671, '\r'));
    layout();
    EXPECT_EQ(edit_last_error(), kEditLayoutTooManyLines);
    EXPECT_EQ(edit_line_count(field), 4671);
    EXPECT_EQ(edit_layout_state(field), kEditLayoutDone);
    // The kept lines stay inside the shorter text.
    set("short");
    edit_layout(field, {}, nullptr, 0);
    set(std::string(4700, '\r'));
    layout();
    EXPECT_EQ(edit_last_error(), kEditLayoutTooManyLines);
    EXPECT_EQ(line_starts(), (std::vector<int32_t> { 0, 4700 }));
}

int g_wait_calls[2];
void count_wait(int on) { g_wait_calls[on ? 1 : 0]++; }

TEST_F(EditLayoutTest, TheWaitCursorShowsForFullLayoutsOfLongTexts)
{
    edit_set_wait_cursor_hook(count_wait);
    static const struct {
        const char* name;
        size_t length;
        int want;
    } kRows[] = {
        {"5000 bytes", 5000, 0},
        {"5001 bytes", 5001, 1},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        g_wait_calls[0] = g_wait_calls[1] = 0;
        std::string text;
        while (text.size() < row.length)
            text += "word ";
        text.resize(row.length);
        set(text);
        layout(kEditLayoutEverything);
        EXPECT_EQ(g_wait_calls[1], row.want);
        EXPECT_EQ(g_wait_calls[0], row.want);
    }
    // An edit near the end lays out a few lines only: no wait cursor.
    g_wait_calls[1] = 0;
    edit_set_selection(field, {}, 5000, 5000);
    edit_insert_text(field, "x", 1);
    layout();
    EXPECT_EQ(g_wait_calls[1], 0);
}

TEST_F(EditLayoutTest, DoubleByteTextBreaksOnlyBetweenCharacters)
{
    TextScope korean(949, "K");
    // Twenty syllables, then a word of letters that may not be split between syllables.
    std::string syllables;
    for (int i = 0; i < 20; i++)
        syllables += "\xB0\xA1";
    static const struct {
        const char* name;
        int16_t style;
        std::string text;
        int32_t width;
    } kRows[] = {
        {"probing", kKorean, syllables, 70},
        {"justified, word by word", kKoreanJustified, syllables, 70},
        {"narrower than one syllable", kKorean, syllables, 3},
        {"mixed with single-byte words", kKorean, "ab \xB0\xA1\xB0\xA1 cd\xB0\xA1 efgh", 40},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set(row.text, {{0, row.style}});
        set_width(row.width);
        layout();
        std::vector<int32_t> starts = line_starts();
        EXPECT_GT(starts.size(), 2u);
        for (int32_t start : starts) {
            // A start on a trail byte would follow a lead byte that began a character.
            int32_t p = 0;
            while (p < start)
                p += (uint8_t(row.text[size_t(p)]) >= 0x80) ? 2 : 1;
            EXPECT_EQ(p, start) << "line start inside a character";
        }
        // Every line but the last is as full as its width allows.
        for (size_t i = 0; i + 2 < starts.size(); i++) {
            int32_t line_width = edit_text_width(field, starts[i], starts[i + 1] - starts[i]);
            if (starts[i + 1] - starts[i] > 2) {
                EXPECT_LE(line_width, row.width + width(row.style, " "));
            }
        }
    }
}

} // namespace
} // namespace edittest
