// Embedded runs of a text: a text and its marks stand in for the editor, which keeps them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/calc/embedded.h"
#include "runtime/text/intl.h"
#include "tests/calc/calc_fixture.h"

namespace {

using calctest::CalcTest;

// A text with marks: replacing a range moves the marks after it.
struct FakeField {
    std::string text;
    std::vector<EditMark> marks;
    uint32_t format = 0;
};

int get_mark(void* field, int n, EditMark& out)
{
    auto* f = static_cast<FakeField*>(field);
    if (n < 1 || n > int(f->marks.size()))
        return 0;
    out = f->marks[size_t(n - 1)];
    return 1;
}

void replace_range(void* field, const char* text, int from, int to)
{
    auto* f = static_cast<FakeField*>(field);
    f->text.replace(size_t(from), size_t(to - from), text);
    int delta = int(std::string(text).size()) - (to - from);
    for (EditMark& m : f->marks) {
        if (m.start >= to)
            m.start = int16_t(m.start + delta);
        if (m.end >= to)
            m.end = int16_t(m.end + delta);
    }
}

uint32_t number_format_at(void* field, int) { return static_cast<FakeField*>(field)->format; }

EmbedText over(FakeField& f) { return EmbedText { &f, get_mark, replace_range, number_format_at }; }

// "a[x]b[yy]c" with the runs over x and yy.
FakeField two_runs(uint32_t first_tag, uint32_t second_tag)
{
    FakeField f;
    f.text = "a[x]b[yy]c";
    f.marks = { { 2, 3, first_tag, kMarkEmbedded }, { 6, 8, second_tag, kMarkEmbedded } };
    return f;
}

TEST_F(CalcTest, EmbeddedModes)
{
    static const struct {
        const char* name;
        EmbedMode mode;
        uint32_t first_tag, second_tag;
        const char* text;
    } kRows[] = {
        { "placeholders where there is no code", kEmbedPlaceholders, 0, 1001, "a[\\]b[yy]c" },
        { "clear empties every run", kEmbedClear, 1001, 0, "a[]b[]c" },
        { "evaluate empties runs without code", kEmbedEvaluate, 0, 0, "a[]b[]c" },
        { "code that cannot be found empties", kEmbedEvaluate, 1001, 1002, "a[]b[]c" },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        FakeField f = two_runs(row.first_tag, row.second_tag);
        EXPECT_EQ(eval_embedded_text(over(f), 0x00010005, row.mode), 0);
        EXPECT_EQ(f.text, row.text);
    }
}

TEST_F(CalcTest, EmbeddedValueTakesTheStylesNumberFormat)
{
    calctest::DecimalScope point('.');
    FakeField f = two_runs(1001, 1002);
    f.format = kNumHasDecimals | kNumKeepZeros | 2; // two places, zeros kept
    ScriptValue v;
    val_set_real(2.5, v);
    EXPECT_EQ(eval_embed_set_run_value(over(f), 1002, v), -1);
    EXPECT_EQ(f.text, "a[x]b[2.50]c");
    val_set_string(v, "text");
    eval_embed_set_run_value(over(f), 1001, v);
    EXPECT_EQ(f.text, "a[text]b[2.50]c");
    eval_embed_set_run_value(over(f), 77, v); // no such run: nothing
    EXPECT_EQ(f.text, "a[text]b[2.50]c");
    val_free(v);
}

TEST_F(CalcTest, EmbeddedIdsAndCounts)
{
    FakeField f = two_runs(1003, 1001);
    f.marks.push_back({ 9, 9, 1007, kMarkNumbered });
    f.marks.push_back({ 0, 1, 5000, 1 }); // a link: neither counted nor numbered
    uint32_t first = 9, last = 9;
    EXPECT_EQ(eval_embed_id_range(over(f), &first, &last), 1);
    EXPECT_EQ(first, 1001u);
    EXPECT_EQ(last, 1007u);
    EXPECT_EQ(eval_embed_count_runs(over(f)), 2);
    FakeField none;
    none.text = "plain";
    EXPECT_EQ(eval_embed_id_range(over(none), &first, &last), 0);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(eval_embed_count_runs(over(none)), 0);
    EXPECT_EQ(eval_embedded_text(over(none), 0, kEmbedEvaluate), 0);
    EXPECT_EQ(none.text, "plain");
}

} // namespace
