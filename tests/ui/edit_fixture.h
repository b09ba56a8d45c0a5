// Shared by the edit-field tests: a style table in slot 1 with real fonts (Arial 12, a bold
// Courier, super- and subscript, aligned and tabbed paragraphs, a Korean face), a field over a
// 200-pixel wide layout rectangle, and helpers that give text, runs and the lines back.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/kernel/memory.h"
#include "runtime/display/font.h"
#include "runtime/display/font_names.h"
#include "runtime/display/text_style.h"
#include "runtime/ui/edit_field.h"
#include "runtime/ui/edit_layout.h"
#include "tests/platform/gdi_test_support.h"

namespace edittest {

constexpr int kSlot = 1;

// Styles of the table (their index is their id).
enum : int16_t {
    kPlain = 1, // Arial 12, black
    kBody = 2, // the same (new fields use style 2)
    kBold = 3, // Courier New 10 bold, red
    kSuper = 4, // Arial 12 superscript
    kSub = 5, // Arial 12 subscript
    kRight = 6,
    kCentre = 7,
    kJustified = 8,
    kTabs = 9, // a left stop at 36 and a decimal stop at 100
    kKorean = 10, // Gulim 12
    kKoreanUnderlined = 11,
    kKoreanJustified = 12,
    kFirstIndentOut = 13, // first indent -50 with a left indent of 10
    kFirstIndentFar = 14, // first indent 500
    kBig = 15, // Arial 24
};

constexpr Rect kLayout { 10, 20, 210, kEditUnlimitedBottom };
constexpr Rect kDisplay { 10, 20, 210, 220 };

struct StyleRow {
    int16_t id;
    const char* face;
    int16_t points;
    uint16_t bits;
    int16_t alignment;
    uint32_t color;
    std::vector<int32_t> tabs;
    int16_t first_indent, left_indent;
};

// The font's index; its name's index in *name.
inline int add_font(const char* face, int16_t points, int* name_index = nullptr)
{
    int name = font_name_add(1, face);
    if (name_index)
        *name_index = name;
    FontDesc desc;
    font_desc_clear(&desc);
    font_desc_set_face(&desc, face);
    font_desc_set_size(&desc, points);
    return font_add(name, &desc);
}

inline void make_styles()
{
    static const StyleRow kRows[] = {
        {kPlain, "Arial", 12, 0, 0, 0x000000, {}, 0, 0},
        {kBody, "Arial", 12, 0, 0, 0x000000, {}, 0, 0},
        {kBold, "Courier New", 10, kFontBold, 0, 0x0000FF, {}, 0, 0},
        {kSuper, "Arial", 12, 0x20, 0, 0x000000, {}, 0, 0},
        {kSub, "Arial", 12, 0x40, 0, 0x000000, {}, 0, 0},
        {kRight, "Arial", 12, 0, 2, 0x000000, {}, 0, 0},
        {kCentre, "Arial", 12, 0, 1, 0x000000, {}, 0, 0},
        {kJustified, "Arial", 12, 0, 3, 0x000000, {}, 0, 0},
        {kTabs, "Arial", 12, 0, 0, 0x000000, {36, -100}, 0, 0},
        {kKorean, "Gulim", 12, 0, 0, 0x000000, {}, 0, 0},
        {kKoreanUnderlined, "Gulim", 12, kFontUnderline, 3, 0x000000, {}, 0, 0},
        {kKoreanJustified, "Gulim", 12, 0, 3, 0x000000, {}, 0, 0},
        {kFirstIndentOut, "Arial", 12, 0, 0, 0x000000, {}, -50, 10},
        {kFirstIndentFar, "Arial", 12, 0, 0, 0x000000, {}, 500, 0},
        {kBig, "Arial", 24, 0, 0, 0x000000, {}, 0, 0},
    };
    std::vector<TextStyle> styles;
    for (const StyleRow& row : kRows) {
        TextStyle style;
        style.mask = kStyleBitsMask | kStyleFont | kStyleSize | kStyleAlignment | kStyleColor | kStyleTabs
            | kStyleFirstIndent | kStyleLeftIndent;
        style.slot_flags = kStyleInUse;
        int name = 0;
        style.font = uint16_t(add_font(row.face, row.points, &name));
        style.font_name = uint16_t(name);
        style.size = row.points;
        style.style_bits = row.bits;
        style.alignment = row.alignment;
        style.color = row.color;
        style.tabs = row.tabs;
        style.tab_count = int16_t(row.tabs.size());
        style.first_indent = row.first_indent;
        style.left_indent = row.left_indent;
        styles.push_back(style);
    }
    text_styles_replace(kSlot, std::move(styles), 0, kPlain);
}

class EditTest : public gditest::GdiTest {
protected:
    void SetUp() override
    {
        GdiTest::SetUp();
        ASSERT_EQ(font_init(), 1);
        make_styles();
        field = edit_create(kLayout, kDisplay, kSlot, {});
        ASSERT_TRUE(field);
    }
    void TearDown() override
    {
        edit_destroy(field);
        edit_set_wait_cursor_hook(nullptr);
        text_styles_unload(kSlot);
        fonts_free();
        font_names_free();
        font_term();
        GdiTest::TearDown();
    }

    // The text in one style (runs: "first/style ..." pairs as {first, style}).
    void set(const std::string& text, std::vector<std::pair<int16_t, int16_t>> runs = {{0, kBody}})
    {
        edit_set_selection(field, {}, 0, edit_text_length(field));
        edit_replace_selection(field, text.data(), int32_t(text.size()));
        edit_set_selection(field, {}, 0, 0);
        std::vector<EditRun> table;
        for (auto [first, style] : runs) {
            EditRun run;
            run.first = first;
            run.style = style;
            table.push_back(run);
        }
        ASSERT_EQ(edit_set_runs(field, table.data(), int32_t(table.size())), 0);
    }
    int32_t layout(uint32_t flags = 0, Rect* damaged = nullptr)
    {
        int32_t bottom = edit_layout(field, {}, damaged, flags);
        const char* broken = edit_check_invariants(field);
        EXPECT_EQ(broken, nullptr) << broken;
        return bottom;
    }
    // The first characters of the lines, the sentinel's last.
    std::vector<int32_t> line_starts()
    {
        std::vector<int32_t> out;
        for (int32_t i = 0; i <= edit_line_count(field); i++)
            out.push_back(edit_line(field, i).first);
        return out;
    }
    // The text's width in a style, measured straight on a DC.
    int32_t width(int style, const std::string& text)
    {
        plat::DcHandle dc = plat::create_compatible_dc({});
        int32_t w = text_style_text_width(dc, style, kSlot, text.data(), int16_t(text.size()));
        plat::delete_dc(dc);
        return w;
    }
    int32_t caret_x(int32_t position)
    {
        Rect r;
        edit_position_rect(field, position, &r, 0);
        return r.left;
    }
    void set_width(int32_t width)
    {
        edit_set_layout_rect(field, Rect { kLayout.left, kLayout.top, kLayout.left + width, kLayout.bottom });
    }

    EditHandle field {};
};

} // namespace edittest
