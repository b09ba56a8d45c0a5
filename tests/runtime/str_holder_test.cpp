#include "runtime/files/str_holder.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

// A holder freed at the end of the test whatever it holds.
struct Holder {
    Holder() { str_holder_init(value); }
    ~Holder() { str_holder_destroy(value); }
    StringHolder value;
};

TEST(StrHolder, EmptyHoldersAndTheEmptyText)
{
    Holder none;
    Holder blank;
    EXPECT_EQ(str_holder_set(blank.value, ""), 0);
    // "" has a block and size 1, yet counts as empty and equals a holder without text.
    EXPECT_EQ(blank.value.size, 1);
    EXPECT_EQ(str_holder_not_empty(blank.value), 0);
    EXPECT_EQ(str_holder_not_empty(none.value), 0);
    EXPECT_EQ(str_holder_length(none.value), 0);
    EXPECT_EQ(str_holder_size(none.value), 1);
    EXPECT_EQ(str_holder_equal_nocase(&blank.value, nullptr), 1);
    EXPECT_EQ(str_holder_equal_nocase(&none.value, &blank.value), 1);
    EXPECT_EQ(str_holder_set(blank.value, nullptr), 0);
    EXPECT_FALSE(blank.value.text);
}

TEST(StrHolder, CheckedSetKeepsTheOldTextWhenTooLong)
{
    struct Case {
        const char* text;
        int max;
        int result;
        const char* kept;
    };
    static const Case kCases[] = {
        { "abcd", 4, 0, "abcd" },
        { "abcde", 4, 8004, "old" },
        { "", 0, 0, "" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        Holder holder;
        ASSERT_EQ(str_holder_set(holder.value, "old"), 0);
        EXPECT_EQ(str_holder_set_checked(holder.value, c.text, c.max), c.result);
        EXPECT_EQ(str_holder_string(holder.value), c.kept);
    }
}

TEST(StrHolder, AppendAndReplaceRange)
{
    Holder holder;
    ASSERT_EQ(str_holder_set(holder.value, "C:\\dir\\"), 0);
    EXPECT_EQ(str_holder_append(holder.value, "name.txt", 5), 0);
    EXPECT_EQ(str_holder_string(holder.value), "C:\\dir\\name");

    int length = 3;
    int delta = 0;
    EXPECT_EQ(str_holder_replace_range(holder.value, "folder", 3, &length, &delta), 0);
    EXPECT_EQ(str_holder_string(holder.value), "C:\\folder\\name");
    EXPECT_EQ(length, 6);
    EXPECT_EQ(delta, 3);

    length = 100; // cut at the end of the text
    EXPECT_EQ(str_holder_replace_range(holder.value, "x", 10, &length, &delta), 0);
    EXPECT_EQ(str_holder_string(holder.value), "C:\\folder\\x");
    EXPECT_EQ(delta, -3);

    length = 0;
    EXPECT_EQ(str_holder_replace_range(holder.value, "x", 99, &length, &delta), 8004);
    EXPECT_EQ(str_holder_string(holder.value), "C:\\folder\\x");
}

TEST(StrHolder, AppendNeverSplitsADoubleByteCharacter)
{
    TextScope scope(949, "K");
    Holder holder;
    EXPECT_EQ(str_holder_append(holder.value, "a\xB0\xA1", 3), 0);
    EXPECT_EQ(str_holder_string(holder.value), "a");
}

TEST(StrHolder, LockGivesAWritableTextAndUnlockTerminatesIt)
{
    Holder holder;
    char* text = str_holder_lock(holder.value);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    str_holder_unlock(holder.value);

    ASSERT_EQ(str_holder_set(holder.value, "abc"), 0);
    EXPECT_EQ(str_holder_grow(holder.value, 10), 0);
    text = str_holder_lock(holder.value);
    EXPECT_EQ(str_holder_grow(holder.value, 10), 8); // locked
    text[0] = 'X';
    str_holder_unlock(holder.value);
    EXPECT_EQ(str_holder_string(holder.value), "Xbc");

    char out[3];
    str_holder_copy_out(holder.value, out, sizeof out);
    EXPECT_STREQ(out, "Xb");
}

} // namespace
