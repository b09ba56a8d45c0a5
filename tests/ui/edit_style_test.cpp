// The style at the selection: which run describes it, pending styles at the caret, the mask of
// attributes shared by the whole selection, and the paragraph and field descriptions.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/ui/edit_fixture.h"

namespace edittest {
namespace {

using EditStyleTest = EditTest;

TEST_F(EditStyleTest, TheRunThatDescribesTheSelection)
{
    static const struct {
        const char* name;
        const char* text;
        int32_t start, end;
        uint32_t want_color;
    } kRows[] = {
        {"caret: the character before it", "abcdef", 4, 4, 0x0000FF},
        {"caret right after a run boundary: the run before", "abcdef", 3, 3, 0x000000},
        {"caret at a paragraph start: its own run", "ab\rdef", 3, 3, 0x0000FF},
        {"a selection: the run at its start", "abcdef", 3, 5, 0x0000FF},
        {"a selection ending at a boundary: its start still", "abcdef", 1, 3, 0x000000},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        set(row.text, {{0, kBody}, {3, kBold}});
        edit_set_selection(field, {}, row.start, row.end);
        EditFontInfo font;
        edit_selection_style(field, &font, nullptr, nullptr);
        EXPECT_EQ(font.color, row.want_color);
    }
    ASSERT_EQ(text_style_count(kSlot), 16);
    EXPECT_EQ(text_style_get(16, kSlot)->slot_flags & kStyleInUse, 0) << "the temporary style is deleted again";
}

TEST_F(EditStyleTest, PendingStylesHoldUntilTheNextInsertion)
{
    set("abc");
    edit_set_selection(field, {}, 3, 3);
    const uint16_t bold = kBold;
    edit_set_pending_styles(field, &bold, 1);
    EditFontInfo font;
    edit_selection_style(field, &font, nullptr, nullptr);
    EXPECT_EQ(font.color, 0x0000FFu);
    EXPECT_STREQ(font.font_name, "Courier New");
    EXPECT_EQ(font.size, 10);
    EXPECT_EQ(font.style_bits & kFontBold, uint32_t(kFontBold));
    edit_insert_text(field, "d", 1);
    edit_selection_style(field, &font, nullptr, nullptr);
    EXPECT_EQ(font.color, 0x000000u);
    EXPECT_STREQ(font.font_name, "Arial");
}

TEST_F(EditStyleTest, TheMaskKeepsOnlyWhatTheWholeSelectionShares)
{
    set("abcdef", {{0, kBody}, {3, kBold}});
    edit_set_selection(field, {}, 2, 2);
    EXPECT_EQ(edit_selection_style(field, nullptr, nullptr, nullptr), 0x4003FF7Fu);
    edit_set_selection(field, {}, 0, 3);
    EXPECT_EQ(edit_selection_style(field, nullptr, nullptr, nullptr), 0x4003FF7Fu) << "one run";
    edit_set_selection(field, {}, 1, 5);
    uint32_t mask = edit_selection_style(field, nullptr, nullptr, nullptr);
    EXPECT_EQ(mask & (kStyleColor | kStyleFont | kFontBold), 0u);
    EXPECT_NE(mask & kStyleAlignment, 0u);
}

TEST_F(EditStyleTest, ParagraphAndFieldDescriptions)
{
    set("a\tb", {{0, kTabs}});
    edit_set_appearance(field, 3, 0x123456, 0x7001);
    EditParagraphInfo paragraph;
    EditFieldInfo info;
    edit_selection_style(field, nullptr, &paragraph, &info);
    ASSERT_EQ(paragraph.tab_count, 2);
    const int32_t* tabs = static_cast<const int32_t*>(mem_lock(paragraph.tabs));
    EXPECT_EQ(tabs[0], 36);
    EXPECT_EQ(tabs[1], -100);
    mem_unlock(paragraph.tabs);
    mem_free(paragraph.tabs);
    EXPECT_EQ(paragraph.left_limit, kLayout.left);
    EXPECT_EQ(paragraph.right_limit, kLayout.right);
    EXPECT_EQ(info.background, 0x123456u);
    EXPECT_EQ(info.draw_mode, 3);
    EXPECT_EQ(info.line_spacing, 0x7001);

    set("abc", {{0, kFirstIndentOut}});
    EXPECT_EQ(edit_style_value_at_selection(field), -10) << "corrected to minus the left indent";
}

} // namespace
} // namespace edittest
