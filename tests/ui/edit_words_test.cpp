// Word ends and starts, and where double-byte text may break: by word characters, by
// character classes, and by the break classes of string-table entries 7792-7797.
#include <string>

#include <gtest/gtest.h>

#include "runtime/ui/edit_layout.h"
#include "runtime/ui/edit_words.h"
#include "tests/runtime/text_scope.h"
#include "tests/ui/edit_fixture.h"

namespace edittest {
namespace {

TEST(EditWords, WordEndsAndStarts)
{
    static const struct {
        const char* name;
        const char* text;
        uint32_t rules;
        bool start; // edit_word_start, else edit_word_break
        int32_t position;
        int32_t want;
    } kRows[] = {
        {"end of a word", "hello world", 0, false, 0, 5},
        {"end with the blanks after it", "hello  world", kWordTrailingBlanks, false, 0, 7},
        {"leading blanks, then the word", "hello  world", 0, false, 5, 12},
        {"leading blanks alone", "hello  world", kWordStopAfterBlanks, false, 5, 7},
        {"never past the end", "hello", 0, false, 5, 5},
        {"start of the word before a blank", "hello world", 0, true, 6, 0},
        {"start of the word that ends here", "hello world", 0, true, 11, 6},
        {"start from inside a word", "hello world", kWordStartAtChar, true, 8, 6},
        {"a blank answers itself", "hello world", kWordStartAtChar, true, 5, 5},
        {"a blank after a blank answers the one before", "ab  cd", kWordStartAtChar, true, 3, 2},
        {"only blanks before: the lower bound", "   ab", 0, true, 3, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        int32_t end = int32_t(std::strlen(row.text));
        int32_t got = row.start ? edit_word_start(row.rules, row.text, row.position, end, 0)
                                : edit_word_break(row.rules, row.text, row.position, end);
        EXPECT_EQ(got, row.want);
    }
}

class EditBreakTest : public testing::Test {
protected:
    void TearDown() override { edit_break_classes_reset(); }
};

TEST_F(EditBreakTest, DoubleByteBreaksByWordCharactersClassesAndBreakClasses)
{
    TextScope korean(949, "K");
    static const struct {
        const char* name;
        const char* a;
        const char* b;
        uint32_t rules;
        bool with_classes; // the test module's entries 7792-7797 loaded
        bool want;
    } kRows[] = {
        {"between syllables", "\xB0\xA1", "\xB4\xD9", kWordBreakClasses, true, true}, // 가 다
        {"between single-byte letters, never", "a", "b", 0, false, false},
        {"a recorded pair stays together", "\xB0\xA1", "\xB3\xAA", kWordBreakClasses, true, false}, // 가 나
        {"the pair the other way round breaks", "\xB3\xAA", "\xB0\xA1", kWordBreakClasses, true, true},
        {"the pair without the classes' rule", "\xB0\xA1", "\xB3\xAA", 0, true, true},
        {"a bracket may not end a line", "(", "\xB0\xA1", kWordBreakClasses, true, false},
        {"the bracket without classes", "(", "\xB0\xA1", kWordBreakClasses, false, true},
        {"a closing mark may not begin a line", "\xB0\xA1", "\xA1\xB9", kWordBreakClasses, true, false}, // 」
        {"a wide digit keeps its percent", "\xA3\xB1", "%", kWordBreakClasses, true, false},
        {"a dollar keeps its wide digit", "$", "\xA3\xB1", kWordBreakClasses, true, false},
        {"the wide digit alone breaks", "\xA3\xB1", "%", kWordBreakClasses, false, true},
        {"by class: letters and digits together", "a", "1", kWordByClass, false, false},
        {"by class: a letter and a syllable apart", "a", "\xB0\xA1", kWordByClass, false, true},
    };
    plat::ModuleHandle module = plat::get_resource_module("test_ui");
    ASSERT_TRUE(module);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        if (row.with_classes)
            edit_break_classes_load(module);
        else
            edit_break_classes_load(plat::ModuleHandle {}); // the program's table has none
        EXPECT_EQ(edit_break_allowed(row.rules, row.a, row.b), row.want);
    }
}

using EditBreakLayoutTest = EditTest;

TEST_F(EditBreakLayoutTest, APairOfTheBreakClassesNeverEndsALine)
{
    TextScope korean(949, "K");
    edit_break_classes_load(plat::get_resource_module("test_ui"));
    std::string text;
    for (int i = 0; i < 12; i++)
        text += "\xB0\xA1\xB3\xAA"; // 가나
    set(text, {{0, kKorean}});
    set_width(width(kKorean, "\xB0\xA1\xB3\xAA\xB0\xA1"));
    layout();
    std::vector<int32_t> starts = line_starts();
    EXPECT_GT(starts.size(), 3u);
    for (int32_t start : starts)
        EXPECT_EQ(start % 4, 0) << start;
    edit_break_classes_reset();
}

} // namespace
} // namespace edittest
