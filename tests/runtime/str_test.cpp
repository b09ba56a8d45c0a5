#include "runtime/base/str.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// Korean (949): B0 A1 and B1 A4 are two-byte characters whose trail bytes can also lead.
// Japanese (932): 83 5C has a backslash as its trail byte.

TEST(StrSettings, ComeFromTheCodePageAndEntry7)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* entry;
        bool double_byte;
        char language;
        bool japanese_rules;
    };
    static const Case kCases[] = {
        { "western default", 1252, "", false, 'E', false },
        { "null entry", 1252, nullptr, false, 'E', false },
        { "korean page", 949, "K", true, 'K', false },
        { "second letter 2 forces double-byte", 1252, "E2", true, 'E', false },
        { "language J alone", 1252, "J", false, 'J', true },
        { "Shift-JIS page means a Japanese font", 932, "E", true, 'E', true },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, c.entry);
        EXPECT_EQ(str_settings().double_byte, c.double_byte);
        EXPECT_EQ(str_settings().language, c.language);
        EXPECT_EQ(str_japanese_rules(), c.japanese_rules);
    }
    str_reset();
    EXPECT_FALSE(str_settings().double_byte);
    EXPECT_EQ(str_settings().language, 'E');
}

TEST(StrSettings, InitReadsTheProgramsEntryOrDefaultsToEnglish)
{
    str_init();
    EXPECT_EQ(str_settings().language, 'E');
    EXPECT_FALSE(str_settings().double_byte);
    str_reset();
}

struct CopyCase {
    const char* name;
    uint32_t code_page;
    const char* src;
    int size;
    const char* expected;
};

TEST(StrCopy, NeverSplitsACharacterAndAlwaysTerminates)
{
    static const CopyCase kCases[] = {
        { "fits", 1252, "hello", 6, "hello" },
        { "cut", 1252, "hello", 4, "hel" },
        { "size 1", 1252, "hello", 1, "" },
        { "high bytes are single on 1252", 1252, "ab\xB0\xA1", 4, "ab\xB0" },
        { "lead byte at size - 1 is left out", 949, "ab\xB0\xA1", 4, "ab" },
        { "whole pair fits", 949, "ab\xB0\xA1", 5, "ab\xB0\xA1" },
        { "trail byte that could lead", 949, "\xB0\xB0\xB0\xA1", 4, "\xB0\xB0" },
        { "shift-jis pair cut", 932, "a\x82\x60", 3, "a" },
        { "shift-jis backslash trail", 932, "\x83\x5C", 3, "\x83\x5C" },
        { "dangling lead at the end is a character", 949, "a\xB0", 3, "a\xB0" },
        { "null source", 1252, nullptr, 4, "" },
    };
    for (const CopyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, "E");
        char buffer[16];
        std::memset(buffer, 'X', sizeof buffer);
        int length = str_copy_bounded(buffer, c.src, c.size);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(length, int(std::strlen(c.expected)));
        EXPECT_EQ(buffer[c.size], 'X'); // nothing written past the bound
    }
}

TEST(StrCopy, SizeBelowOneCopiesNothing)
{
    char buffer[4] = "abc";
    EXPECT_EQ(str_copy_bounded(buffer, "xyz", 0), 0);
    EXPECT_EQ(str_copy_bounded(buffer, "xyz", -3), 0);
    EXPECT_STREQ(buffer, "abc");
}

TEST(StrCopy, AppendKeepsWholeCharacters)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* start;
        const char* add;
        int size;
        const char* expected;
    };
    static const Case kCases[] = {
        { "fits", 1252, "ab", "cd", 8, "abcd" },
        { "cut", 1252, "ab", "cdef", 5, "abcd" },
        { "pair does not fit", 949, "ab", "c\xB0\xA1", 5, "abc" },
        { "already full", 1252, "abcd", "e", 5, "abcd" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, "E");
        char buffer[16];
        std::strcpy(buffer, c.start);
        EXPECT_EQ(str_append_bounded(buffer, c.add, c.size), int(std::strlen(c.expected)));
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(StrMeasure, CountsAndOffsetsStepByCharacter)
{
    TextScope scope(949, "K");
    const char* text = "a\xB0\xA1"
                       "b\xB1\xA4"; // a, two-byte, b, two-byte: 6 bytes
    EXPECT_EQ(str_char_count(text), 4);
    EXPECT_EQ(str_fit_length(text, 2), 1);
    EXPECT_EQ(str_fit_length(text, 3), 3);
    EXPECT_EQ(str_fit_length(text, 100), 6);
    EXPECT_EQ(str_fit_length(text, -1), 0);

    struct Offset {
        int length;
        int n;
        int expected;
    };
    static const Offset kOffsets[] = {
        { 0, 0, 0 }, { 0, 2, 3 }, { 0, 3, 4 }, { 0, 5, 6 }, // past the last character: the end
        { 0, 7, 7 }, { 0, -1, -1 }, // outside 0..length: unchanged
        { 3, 3, 3 }, // stops at the length given
    };
    for (const Offset& o : kOffsets) {
        SCOPED_TRACE(o.n);
        EXPECT_EQ(str_char_offset(text, o.length, o.n), o.expected);
    }
    EXPECT_EQ(str_chars_in_bytes(text, 0, 2), 2); // a character begun counts
    EXPECT_EQ(str_chars_in_bytes(text, 0, 4), 3);
    EXPECT_EQ(str_chars_in_bytes(text, 0, 99), 4);
    EXPECT_EQ(str_chars_in_bytes(text, 0, 0), 0);
    EXPECT_EQ(str_count_by_width(text, 6, kStrOneByte), 2);
    EXPECT_EQ(str_count_by_width(text, 6, kStrTwoByte), 2);
    EXPECT_EQ(str_count_by_width(text, 5, kStrTwoByte), 1); // the last pair is cut
}

TEST(StrMeasure, PreviousCharacterFindsTheLeadByte)
{
    TextScope scope(949, "K");
    const char* text = "\xB0\xB0\xB0\xA1"; // two characters, every byte could lead
    EXPECT_EQ(str_prev_char(text, text + 4, 4), text + 2);
    EXPECT_EQ(str_prev_char(text, text + 2, 4), text);
    EXPECT_EQ(str_prev_char(text, text, 4), text);
    EXPECT_EQ(str_prev_char(text, text + 4, 2), text); // current beyond length is cut to it
    EXPECT_TRUE(str_is_single_byte("a"));
    EXPECT_FALSE(str_is_single_byte(text));
}

TEST(StrSearch, TrailBytesAreNeverMatched)
{
    TextScope scope(932, "J");
    const char* text = "\x83\x5C\\x\x83\x5C"; // two-byte with backslash trail, '\', x, again
    EXPECT_EQ(str_find_char(text, '\\'), text + 2);
    EXPECT_EQ(str_find_last_char(text, '\\'), text + 2);
    EXPECT_EQ(str_find_char(text, 0x5C83), text);
    EXPECT_EQ(str_find_last_char(text, 0x5C83), text + 4);
    EXPECT_EQ(str_find_char(text, 'y'), nullptr);
    EXPECT_EQ(str_find_char(text, 0), text + 6);
    EXPECT_EQ(str_find_any(text, "x\\"), text + 2);
    EXPECT_EQ(str_find_any(text, "yz"), nullptr);
    EXPECT_EQ(str_find_substring(text, "\\x"), text + 2);
    EXPECT_EQ(str_find_substring("a\x83\x5C", "\\"), nullptr);
    EXPECT_EQ(str_find_substring(text, ""), text);
    EXPECT_EQ(str_has_char('\\', "\x83\x5C"), 0);
    EXPECT_EQ(str_has_char(0x5C83, "a\x83\x5C"), 1);
    EXPECT_EQ(str_has_char(0, "abc"), 0);
}

TEST(StrSearch, TokenizeSplitsOnWholeCharacters)
{
    TextScope scope(932, "J");
    char text[] = "\\\x83\x5C\\b\\\\c";
    char* state = nullptr;
    std::string tokens;
    for (char* t = str_tokenize(text, "\\", &state); t; t = str_tokenize(nullptr, "\\", &state))
        tokens += std::string(t) + "|";
    EXPECT_EQ(tokens, "\x83\x5C|b|c|");
    EXPECT_EQ(str_tokenize(nullptr, "\\", &state), nullptr);
}

TEST(StrCompare, CharEqualNeedsTheSameWidth)
{
    TextScope scope(932, "J");
    EXPECT_EQ(str_char_equal("\x82\x60x", "\x82\x60y"), 1);
    EXPECT_EQ(str_char_equal("\x82\x60", "\x82\x61"), 0);
    EXPECT_EQ(str_char_equal("a", "ab"), 1);
    EXPECT_EQ(str_char_equal("\x82", "\x82\x60"), 0); // a lone lead byte is a one-byte character
    EXPECT_EQ(str_char_equal("", nullptr), 1);
}

TEST(StrCompare, ByteDifferencesAndFolding)
{
    struct Case {
        const char* name;
        uint32_t code_page;
        const char* a;
        const char* b;
        int exact; // sign of str_compare
        int nocase;
        int locale;
    };
    static const Case kCases[] = {
        { "equal", 1252, "abc", "abc", 0, 0, 0 },
        { "prefix", 1252, "ab", "abc", -1, -1, -1 },
        { "case", 1252, "ABC", "abc", -1, 0, -1 },
        { "null is empty", 1252, nullptr, "", 0, 0, 0 },
        // Byte order puts e-acute after f; the word sort puts it between e and f.
        { "accent", 1252, "\xE9", "f", 1, 1, -1 },
        { "accent after prefix", 1252, "x\xE9", "xf", 1, 1, -1 },
        // A trail byte that looks like a letter is not folded.
        { "trail letters", 949, "\xB0\x41", "\xB0\x61", -1, -1, -1 },
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, "E");
        EXPECT_EQ(sign(str_compare(c.a, c.b)), c.exact);
        EXPECT_EQ(sign(str_compare_nocase(c.a, c.b)), c.nocase);
        EXPECT_EQ(sign(str_compare_locale(c.a, c.b)), c.locale);
    }
    EXPECT_EQ(str_compare("a", "c"), 'a' - 'c');
    EXPECT_EQ(str_compare("\xFF", "a"), 0xFF - 'a'); // unsigned bytes
    EXPECT_EQ(str_compare_nocase("Hello", "hELLo"), 0);
    EXPECT_EQ(str_compare_nocase_locale("ABC\xC9", "abc\xE9"), 0);
    EXPECT_EQ(str_compare_n("abcX", "abcY", 3), 0);
    EXPECT_LT(str_compare_n("abcX", "abcY", 4), 0);
    EXPECT_EQ(str_compare_n("ab", "ab", 10), 0);
    EXPECT_EQ(str_compare_n("a", "b", 0), 0);
}

} // namespace
