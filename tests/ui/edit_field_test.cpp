// The edit field model: insertion, deletion and replacement with their rules for runs, marks,
// the selection and the layout state; the invariants hold after every operation.
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/memory.h"
#include "runtime/ui/edit_access.h"
#include "runtime/ui/edit_field.h"
#include "tests/runtime/text_scope.h"

namespace {

// Runs written "first/style" with "h" for hidden, e.g. "0/3 4/5h".
std::vector<EditRun> parse_runs(const std::string& text)
{
    std::vector<EditRun> runs;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        EditRun run;
        run.first = int16_t(std::stoi(item));
        run.style = int16_t(std::stoi(item.substr(item.find('/') + 1)));
        run.flags = item.back() == 'h' ? kEditRunHidden : 0;
        runs.push_back(run);
    }
    return runs;
}

// Marks written "start-end", all of kind 5.
std::vector<EditMark> parse_marks(const std::string& text)
{
    std::vector<EditMark> marks;
    std::istringstream in(text);
    std::string item;
    while (in >> item)
        marks.push_back(EditMark { int16_t(std::stoi(item)), int16_t(std::stoi(item.substr(item.find('-') + 1))), 0,
            kMarkNumbered });
    return marks;
}

// A field in slot 1 with its text and runs given; every address moves on each lock, so a
// pointer kept across an operation reads freed memory under the sanitizer.
class EditFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_set_move_on_lock(true);
        field = edit_create(Rect { 10, 20, 210, 32000 }, Rect { 10, 20, 210, 220 }, 1, {});
        ASSERT_TRUE(field);
    }
    void TearDown() override
    {
        edit_destroy(field);
        plat::memory_set_move_on_lock(false);
    }
    void set_text(const std::string& text)
    {
        edit_set_selection(field, {}, 0, edit_text_length(field));
        edit_replace_selection(field, text.data(), int32_t(text.size()));
        edit_set_selection(field, {}, 0, 0);
        check();
    }
    // Text, runs and marks in the forms above.
    void set_field(const std::string& text, const std::string& runs, const std::string& marks = "")
    {
        set_text(text);
        std::vector<EditRun> table = parse_runs(runs);
        ASSERT_EQ(edit_set_runs(field, table.data(), int32_t(table.size())), 0);
        for (const EditMark& mark : parse_marks(marks))
            edit_add_mark(field, mark);
        check();
    }
    std::string runs()
    {
        std::string out;
        for (int32_t i = 0; i < edit_run_count(field); i++) {
            EditRun run = edit_run(field, i);
            out += (i ? " " : "") + std::to_string(run.first) + "/" + std::to_string(run.style)
                + (run.flags & kEditRunHidden ? "h" : "");
        }
        return out;
    }
    std::string marks()
    {
        std::string out;
        EditMark mark {};
        for (int32_t n = 1; edit_get_mark(field, n, &mark); n++)
            out += (n > 1 ? " " : "") + std::to_string(mark.start) + "-" + std::to_string(mark.end);
        return out;
    }
    std::string selection()
    {
        int32_t start = 0, end = 0;
        edit_get_selection(field, &start, &end);
        return std::to_string(start) + "-" + std::to_string(end);
    }
    std::string text()
    {
        std::string out(size_t(edit_text_length(field)) + 1, '\0');
        out.resize(size_t(edit_copy_text_range(field, 0, edit_text_length(field), out.data(), out.size())));
        return out;
    }
    void check()
    {
        const char* broken = edit_check_invariants(field);
        EXPECT_EQ(broken, nullptr) << broken;
    }
    EditHandle field {};
};

TEST_F(EditFieldTest, NewFieldHoldsOneRunAndOneEmptyLine)
{
    EXPECT_EQ(edit_text_length(field), 0);
    ASSERT_EQ(edit_run_count(field), 1);
    EXPECT_EQ(edit_run(field, 0).style, 2);
    EXPECT_EQ(edit_line_count(field), 1);
    EXPECT_EQ(edit_line(field, 0).top, 20);
    EXPECT_EQ(edit_line(field, 0).x, 10);
    EXPECT_EQ(edit_layout_state(field), kEditLayoutAll);
    EXPECT_EQ(edit_draw_mode(field), 4);
    check();
}

struct EditCase {
    const char* name;
    const char* text;
    const char* runs;
    const char* marks;
    int32_t from, to; // the selection, or the replaced range
    const char* bytes; // inserted or put in place
    const char* want_text;
    const char* want_runs;
    const char* want_marks;
    const char* want_selection;
};

static const EditCase kInsertCases[] = {
    {"mid-line text takes the run before", "abcdef", "0/3 3/4", "", 3, 3, "XY", "abcXYdef", "0/3 5/4", "", "5-5"},
    {"paragraph start takes the paragraph's run", "ab\rcd", "0/3 3/4", "", 3, 3, "X", "ab\rXcd", "0/3 3/4", "", "4-4"},
    {"start of the text keeps the first run", "abc", "0/3 1/4", "", 0, 0, "X", "Xabc", "0/3 2/4", "", "1-1"},
    {"marks at a paragraph start keep their start", "ab\rcdef", "0/3", "3-5 0-3 5-6", 3, 3, "XY", "ab\rXYcdef", "0/3",
        "3-7 0-3 7-8", "5-5"},
    {"marks mid-line move when they start at the caret", "abcdef", "0/3", "3-5 1-3 0-0", 3, 3, "XY", "abcXYdef", "0/3",
        "5-7 1-5 0-0", "5-5"},
    {"a selection is replaced", "abcdef", "0/3 2/4 4/5", "", 1, 5, "Z", "aZf", "0/3 2/5", "", "2-2"},
};

TEST_F(EditFieldTest, InsertionShiftsRunsAndMarksByTheParagraphRule)
{
    for (const EditCase& c : kInsertCases) {
        SCOPED_TRACE(c.name);
        auto unescape = [](std::string s) {
            for (size_t at; (at = s.find("\\r")) != std::string::npos;)
                s.replace(at, 2, "\r");
            return s;
        };
        set_field(unescape(c.text), c.runs, c.marks);
        edit_set_selection(field, {}, c.from, c.to);
        edit_replace_selection(field, c.bytes, int32_t(std::strlen(c.bytes)));
        check();
        EXPECT_EQ(text(), unescape(c.want_text));
        EXPECT_EQ(runs(), c.want_runs);
        EXPECT_EQ(marks(), c.want_marks);
        EXPECT_EQ(selection(), c.want_selection);
        while (edit_mark_count(field))
            edit_remove_mark(field, 1);
    }
}

static const EditCase kDeleteCases[] = {
    {"a whole run goes and its neighbours join", "aaBBcc", "0/3 2/4 4/3", "", 2, 4, "", "aacc", "0/3", "", "2-2"},
    {"the last run goes", "aaBB", "0/3 2/4", "", 2, 4, "", "aa", "0/3", "", "2-2"},
    {"the first run goes and the next starts at 0", "aaBB", "0/3 2/4", "", 0, 2, "", "BB", "0/4", "", "0-0"},
    {"runs inside the range close up", "abcdef", "0/3 2/4 3/5 5/6", "", 1, 4, "", "aef", "0/3 1/5 2/6", "", "1-1"},
    {"marks move down, not below the start", "abcdefgh", "0/3", "2-6 0-1 6-8 3-4", 1, 4, "", "aefgh", "0/3",
        "1-3 0-1 3-5 1-1", "1-1"},
    {"an empty selection deletes nothing", "abc", "0/3 1/4", "", 1, 1, "", "abc", "0/3 1/4", "", "1-1"},
};

TEST_F(EditFieldTest, DeletionMovesRunsAndMarksAndMergesRuns)
{
    for (const EditCase& c : kDeleteCases) {
        SCOPED_TRACE(c.name);
        set_field(c.text, c.runs, c.marks);
        edit_set_selection(field, {}, c.from, c.to);
        edit_delete_selection(field);
        check();
        EXPECT_EQ(text(), c.want_text);
        EXPECT_EQ(runs(), c.want_runs);
        EXPECT_EQ(marks(), c.want_marks);
        EXPECT_EQ(selection(), c.want_selection);
        while (edit_mark_count(field))
            edit_remove_mark(field, 1);
    }
}

static const EditCase kReplaceCases[] = {
    {"a value grows", "ab12cd", "0/3 2/5 4/3", "2-4 4-6", 0, 0, "12345", "ab12345cd", "0/3 2/5 7/3", "2-7 7-9", "0-0"},
    {"an emptied value leaves a hidden brace", "ab12cd", "0/3 2/5 4/3", "2-4", 4, 6, "", "ab{cd", "0/3 2/5h 3/3",
        "2-3", "3-5"},
    {"a refilled value shows again", "ab{cd", "0/3 2/5h 3/3", "2-3", 0, 0, "7", "ab7cd", "0/3 2/5 3/3", "2-3", "0-0"},
    // Marks and runs inside a shrinking range stay on the new text.
    {"a shrinking range clamps marks and runs", "ab1234cd", "0/3 2/5 4/6 6/3", "2-6 3-5", 5, 7, "x", "abxcd",
        "0/3 2/5 3/3", "2-3 3-3", "2-4"},
};

TEST_F(EditFieldTest, RangeReplacementMovesWhatFollowsAndClampsWhatWasInside)
{
    // from/to of the selection are the selection before; the range is the first mark's.
    for (const EditCase& c : kReplaceCases) {
        SCOPED_TRACE(c.name);
        set_field(c.text, c.runs, c.marks);
        edit_set_selection(field, {}, c.from, c.to);
        EditMark mark {};
        ASSERT_TRUE(edit_get_mark(field, 1, &mark));
        edit_replace_range(field, c.bytes, mark.start, mark.end);
        check();
        EXPECT_EQ(text(), c.want_text);
        EXPECT_EQ(runs(), c.want_runs);
        EXPECT_EQ(marks(), c.want_marks);
        EXPECT_EQ(selection(), c.want_selection);
        while (edit_mark_count(field))
            edit_remove_mark(field, 1);
    }
}

TEST_F(EditFieldTest, TextIsCutAt32766BytesOnACharacterBoundary)
{
    set_text(std::string(32760, 'a'));
    edit_set_selection(field, {}, 32760, 32760);
    edit_insert_text(field, "0123456789", 10);
    EXPECT_EQ(edit_text_length(field), 32766);
    EXPECT_EQ(text().substr(32760), "012345");
    check();

    TextScope korean(949, "K");
    const char hangul[] = "a\xB0\xA1\xB0\xA1"; // "a" and two syllables
    set_text(std::string(32763, 'a'));
    edit_set_selection(field, {}, 32763, 32763);
    edit_insert_text(field, hangul, 5);
    EXPECT_EQ(edit_text_length(field), 32766); // "a" and one syllable; the second would be split
    EXPECT_EQ(text().substr(32763), std::string(hangul, 3));
    check();
    // A range replacement is cut the same way.
    EXPECT_GE(edit_replace_range(field, "\xB0\xA1\xB0\xA1", 0, 1), 0);
    EXPECT_EQ(edit_text_length(field), 32766 - 1 + 0);
    check();
}

TEST_F(EditFieldTest, CopiesStopAtTheBufferAndAtCharacterBoundaries)
{
    TextScope korean(949, "K");
    set_text("ab\xB0\xA1" "c");
    char buffer[8];
    static const struct {
        const char* name;
        int32_t from, to;
        size_t size;
        const char* want;
    } kCases[] = {
        {"whole text", 0, 5, 8, "ab\xB0\xA1" "c"},
        {"a syllable that would be split stays out", 0, 5, 4, "ab"},
        {"the range is clamped to the text", -5, 99, 6, "ab\xB0\xA1" "c"},
        {"a reversed range is empty", 4, 2, 8, ""},
        {"room for the NUL only", 0, 5, 1, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(edit_copy_text_range(field, c.from, c.to, buffer, c.size), int32_t(std::strlen(c.want)));
        EXPECT_STREQ(buffer, c.want);
        EXPECT_EQ(buffer[sizeof buffer - 1], c.size == 8 ? buffer[sizeof buffer - 1] : 'x');
    }
    MemHandle block = edit_text_range(field, 1, 3);
    ASSERT_TRUE(block);
    EXPECT_STREQ(static_cast<const char*>(mem_lock(block)), "b\xB0");
    mem_unlock(block);
    mem_free(block);
}

TEST_F(EditFieldTest, MarksAreNumberedFromOneAndHighlightsComeAndGo)
{
    set_text("hello world");
    EditMark mark {};
    EXPECT_EQ(edit_get_mark(field, 0, &mark), 0);
    EXPECT_EQ(edit_add_mark(field, EditMark { 0, 5, 7, kMarkNumbered }), 1);
    EXPECT_EQ(edit_add_mark(field, EditMark { 9, 40, 8, kMarkNumbered }), 2); // clamped into the text
    EXPECT_EQ(edit_get_mark(field, 3, &mark), 0);
    ASSERT_EQ(edit_get_mark(field, 2, &mark), 1);
    EXPECT_EQ(mark.end, 11);
    edit_set_hot_mark(field, 2, 4, kEditHotAdd, 0xFF);
    edit_set_hot_mark(field, 6, 99, kEditHotAdd, 0xFF);
    edit_set_hot_mark(field, 11, 20, kEditHotAdd, 0xFF); // nothing left of the range
    EXPECT_EQ(marks(), "0-5 9-11 2-4 6-11");
    // Removal takes every highlight inside the range, adjacent ones included.
    edit_set_hot_mark(field, 0, 11, kEditHotRemove, 0);
    EXPECT_EQ(marks(), "0-5 9-11");
    edit_remove_mark(field, 1);
    EXPECT_EQ(marks(), "9-11");
    check();
}

TEST_F(EditFieldTest, EmbeddedExpressionsReachTheFieldThroughItsId)
{
    set_field("a 12 b", "0/3 2/5 4/3", "2-4");
    EmbedText embed = edit_embed_text(field);
    EditMark mark {};
    ASSERT_NE(embed.edit_get_mark(embed.field, 1, mark), 0);
    EXPECT_EQ(mark.start, 2);
    EXPECT_EQ(embed.edit_get_mark(embed.field, 2, mark), 0);
    embed.edit_replace_range(embed.field, "3.5", mark.start, mark.end);
    EXPECT_EQ(text(), "a 3.5 b");
    EXPECT_EQ(marks(), "2-5");
    EXPECT_EQ(embed.edit_number_format_at(embed.field, 2), 0u); // style 5 has no table here
    check();
}

TEST_F(EditFieldTest, BadRunTablesAreRefusedAndTheOldOneKept)
{
    set_field("abcdef", "0/3 2/4");
    static const struct {
        const char* name;
        const char* runs;
    } kCases[] = {
        {"not from 0", "1/3"},
        {"out of order", "0/3 4/4 2/5"},
        {"twice at one place", "0/3 2/4 2/5"},
        {"past the text", "0/3 6/4"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<EditRun> table = parse_runs(c.runs);
        EXPECT_EQ(edit_set_runs(field, table.data(), int32_t(table.size())), 5000);
        EXPECT_EQ(runs(), "0/3 2/4");
    }
    EXPECT_EQ(edit_set_runs(field, nullptr, 0), 5000);
}

} // namespace
