#include "runtime/base/str_edit.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(StrToInt, ReadsLeadingNumbers)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* language;
        const char* text;
        int32_t expected;
    };
    static const Case kCases[] = {
        { "plain", 1252, "E", "42", 42 },
        { "blanks", 1252, "E", " \t\r\n7", 7 },
        { "minus and trailing text", 1252, "E", "-17x", -17 },
        { "plus", 1252, "E", "+5", 5 },
        { "no digits", 1252, "E", "abc", 0 },
        { "empty", 1252, "E", "", 0 },
        { "null", 1252, "E", nullptr, 0 },
        { "sign only", 1252, "E", "-", 0 },
        { "wraps at 32 bits", 1252, "E", "4294967297", 1 },
        { "largest negative", 1252, "E", "-2147483648", INT32_MIN },
        { "full-width space and digits", 932, "J", "\x81\x40\x82\x54\x82\x4F", 50 },
        { "full-width minus", 932, "J", "\x81\x7C\x82\x55", -6 },
        { "kanji stops", 932, "J",
            "1\x88\x9F"
            "2",
            1 },
        { "korean space and digit", 949, "K", "\xA1\xA1\xA3\xB7", 7 },
        { "korean full-width minus", 949, "K", "\xA3\xAD\xA3\xB3", -3 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, c.language);
        EXPECT_EQ(str_to_int(c.text), c.expected);
    }
}

TEST(StrKeepNumberChars, KeepsDigitsSignsAndSeparators)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* text;
        const char* decimal;
        int size;
        const char* expected;
    };
    static const Case kCases[] = {
        { "drops letters", 1252, "abc-1.5e3", nullptr, 16, "-1.53" },
        { "locale comma", 1252, "12,5 kg", ",", 16, "12.5" },
        { "comma without locale", 1252, "12,5", nullptr, 16, "125" },
        { "bounded", 1252, "12345", nullptr, 3, "12" },
        { "full-width digits", 932, "\x82\x50\x82\x51\x81\x44", nullptr, 16, "12." },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, "E");
        char out[16];
        EXPECT_EQ(
            str_keep_number_chars(out, c.size, c.text, c.decimal), int(std::strlen(c.expected)));
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(StrQuote, EscapesQuotesAndBackslashes)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* text;
        int size;
        const char* expected;
    };
    static const Case kCases[] = {
        { "plain", 1252, "abc", 16, "\"abc\"" },
        { "quote and backslash", 1252, "a\"b\\", 16, "\"a\\\"b\\\\\"" },
        { "cut to size", 1252, "abc", 4, "\"ab" },
        { "backslash trail byte", 932, "\x83\x5C", 16, "\"\x83\x5C\"" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, "J");
        char text[16];
        str_copy_bounded(text, c.text, c.size);
        EXPECT_EQ(str_quote(text, c.size), int(std::strlen(c.expected)));
        EXPECT_STREQ(text, c.expected);
    }
}

TEST(StrEscape, CountsOrReplaces)
{
    const char* characters = "\"\r\t";
    const char* letters = "\"rt";
    char text[32] = "a\"b\rc";
    int count = -1;
    EXPECT_EQ(str_escape(text, 32, characters, letters, &count, StrQuotes::with), 4);
    EXPECT_EQ(count, 4);
    EXPECT_STREQ(text, "a\"b\rc"); // counting leaves the text alone
    EXPECT_EQ(str_escape(text, 32, characters, letters, &count, StrQuotes::without), 2);

    EXPECT_EQ(str_escape(text, 32, characters, letters, nullptr, StrQuotes::with), 9);
    EXPECT_STREQ(text, "\"a\\\"b\\rc\"");

    char small[8] = "a\tb";
    EXPECT_EQ(str_escape(small, 4, characters, letters, nullptr, StrQuotes::without), 3);
    EXPECT_STREQ(small, "a\\t");

    TextScope scope(932, "J");
    char japanese[16] = "\x83\x5C\\";
    EXPECT_EQ(str_escape(japanese, 16, "\\", "\\", nullptr, StrQuotes::without), 4);
    EXPECT_STREQ(japanese, "\x83\x5C\\\\");
}

TEST(StrLineEnds, ConvertBothWays)
{
    char text[32] = "a\rb\r\nc\r";
    EXPECT_EQ(str_cr_to_crlf(text, 32), 9);
    EXPECT_STREQ(text, "a\r\nb\r\nc\r\n");
    char tight[6] = "a\rb\r";
    EXPECT_EQ(str_cr_to_crlf(tight, 6), 5); // room for one LF only
    EXPECT_STREQ(tight, "a\r\nb\r");

    struct Case {
        const char* name;
        const char* text;
        StrLoneLf lone_lf;
        const char* expected;
    };
    static const Case kCases[] = {
        { "pairs collapse", "a\r\nb\nc", StrLoneLf::keep, "a\rb\nc" },
        { "lone LF too", "a\r\nb\nc", StrLoneLf::to_cr, "a\rb\rc" },
        { "two lone LFs stay two lines", "\n\n", StrLoneLf::to_cr, "\r\r" },
        { "CR CR LF", "\r\r\n", StrLoneLf::keep, "\r\r" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        char buffer[16];
        std::strcpy(buffer, c.text);
        EXPECT_EQ(str_crlf_to_cr(buffer, c.lone_lf), int(std::strlen(c.expected)));
        EXPECT_STREQ(buffer, c.expected);
    }
    EXPECT_EQ(str_count_lines("a\rb\r\nc"), 2);
    EXPECT_EQ(str_count_lines(nullptr), 0);
}

TEST(StrReplaceChar, ReplacesOneByteCharactersOnly)
{
    char text[] = "a/b/c";
    EXPECT_EQ(str_replace_char(text, '/', '-'), 2);
    EXPECT_STREQ(text, "a-b-c");
    EXPECT_EQ(str_replace_char(text, '-', '\0'), 1);
    EXPECT_STREQ(text, "a");

    TextScope scope(932, "J");
    char japanese[] = "\x83\x5C\\";
    EXPECT_EQ(str_replace_char(japanese, '\\', '/'), 1);
    EXPECT_STREQ(japanese, "\x83\x5C/");
}

TEST(StrHandles, HoldTheTextAndItsNul)
{
    MemHandle text = str_to_handle("abc");
    ASSERT_TRUE(text);
    EXPECT_EQ(mem_size(text), 4u);
    EXPECT_STREQ(static_cast<const char*>(mem_address(text)), "abc");
    mem_free(text);

    MemHandle bytes = str_bytes_to_handle("ab\0c", 4);
    ASSERT_TRUE(bytes);
    EXPECT_GE(mem_size(bytes), 5u);
    EXPECT_EQ(std::memcmp(mem_address(bytes), "ab\0c\0", 5), 0);
    mem_free(bytes);

    MemHandle empty = str_bytes_to_handle(nullptr, 0);
    ASSERT_TRUE(empty);
    EXPECT_EQ(static_cast<const char*>(mem_address(empty))[0], '\0');
    mem_free(empty);
}

TEST(StrLoadResource, MissingEntryIsEmpty)
{
    char buffer[8] = "junk";
    EXPECT_EQ(str_load_resource(buffer, 8, 60000, 1234), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(StrLoadText, DefaultStandsInForAMissingEntry)
{
    static const StrTableDefault kDefaults[] = { { 61234, "fallback" }, { 61236, "other" } };
    EXPECT_EQ(str_load_text(61234, 8, kDefaults), "fallback");
    EXPECT_EQ(str_load_text(61235, 8, kDefaults), "");
    EXPECT_EQ(str_load_text(61235, 8, {}), "");
}

} // namespace
