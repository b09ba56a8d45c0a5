// The edit field model: insertion, deletion and replacement with their rules for runs, marks,
// the selection and the layout state; the invariants hold after every operation.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/kernel/memory.h"
#include "runtime/ui/edit_access.h"
#include "runtime/ui/edit_field.h"

namespace {

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

} // namespace
