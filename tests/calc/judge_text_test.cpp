// The wildcard matcher and the word functions shared by the string functions and the
// text-answer judging.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/calc/judge_text.h"
#include "tests/runtime/text_scope.h"

namespace {

struct MatchRow {
    const char* name;
    const char* text;
    const char* pattern;
    JudgeCase ignore_case;
    JudgePunct skip_punct;
    JudgeLongest longest;
    int end; // bytes of text matched, -1 for none
};

static const MatchRow kMatchRows[] = {
    { "plain", "abc", "abc", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "a prefix matches its length", "abcdef", "abc", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "case differs", "Abc", "abc", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
    { "case ignored", "Abc", "abc", kJudgeIgnoreCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "question mark", "abc", "a?c", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "the match starts at the text's start", "abcde", "b*", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
    { "star then a letter, first end", "bcdxd", "b*d", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "star then a letter, longest", "bcdxd", "b*d", kJudgeMatchCase, kJudgeKeepPunct, kJudgeLongestEnd, 5 },
    { "stars run together", "abc", "a***c", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 3 },
    { "a lone star matches the empty text", "", "*", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 0 },
    { "escaped star is literal", "a*", "a\\*", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, 2 },
    { "escaped star needs a star", "ab", "a\\*", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
    { "backslash at the pattern's end", "a", "a\\", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
    { "punctuation skipped", "a,b", "ab", kJudgeMatchCase, kJudgeSkipPunct, kJudgeFirstEnd, 3 },
    { "punctuation kept", "a,b", "ab", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
    { "text too short", "ab", "abc", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd, -1 },
};

TEST(JudgeText, WildcardRows)
{
    for (const MatchRow& row : kMatchRows) {
        SCOPED_TRACE(row.name);
        const char* end = row.text + std::strlen(row.text);
        const char* m = judge_wildcard_match(row.text, end, row.pattern, row.ignore_case, row.skip_punct, row.longest);
        EXPECT_EQ(m ? int(m - row.text) : -1, row.end);
    }
}

// A lone trailing star answers the text's end, as the matcher's callers rely on.
TEST(JudgeText, TrailingStarReachesTheEnd)
{
    const char* text = "abcde";
    EXPECT_EQ(judge_wildcard_match(text + 1, text + 5, "b*", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd), text + 5);
}

// Many stars against a long text that almost matches: remembered star results keep it to
// stars x characters steps instead of trying every split.
TEST(JudgeText, ManyStarsAgainstALongText)
{
    std::string text(30000, 'a');
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    pattern += "*b";
    WildcardMatcher matcher(text.c_str(), text.c_str() + text.size(), pattern.c_str(), kJudgeMatchCase,
        kJudgeKeepPunct, kJudgeLongestEnd);
    EXPECT_EQ(matcher.match_at(text.c_str()), nullptr);
    EXPECT_EQ(matcher.match_at(text.c_str() + 100), nullptr); // the remembered answers serve other starts
    text.back() = 'b';
    EXPECT_EQ(judge_wildcard_match(text.c_str(), text.c_str() + text.size(), pattern.c_str(), kJudgeMatchCase,
                  kJudgeKeepPunct, kJudgeFirstEnd),
        text.c_str() + text.size());
}

TEST(JudgeText, WordsAndCounts)
{
    static const struct {
        const char* text;
        int count;
    } kRows[] = { { "", 0 }, { "   ", 0 }, { "one", 1 }, { " one  two\tthree\r\nfour ", 4 }, { "a,b c", 2 } };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(judge_word_count(row.text), row.count);
    }
    const char* text = "  red apple";
    size_t length = 0;
    const char* w = judge_next_word(text, text + std::strlen(text), &length);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::string(w, length), "red");
    w = judge_next_word(w + length, text + std::strlen(text), &length);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::string(w, length), "apple");
    EXPECT_EQ(judge_next_word(w + length, text + std::strlen(text), &length), nullptr);
}

TEST(JudgeText, BlanksAndPunctuation)
{
    EXPECT_TRUE(judge_is_space(" "));
    EXPECT_TRUE(judge_is_space("\t"));
    EXPECT_FALSE(judge_is_space("a"));
    EXPECT_TRUE(judge_is_punct("!"));
    EXPECT_TRUE(judge_is_punct("\xBF")); // inverted question mark of the Western code page
    EXPECT_FALSE(judge_is_punct("\xE9"));
    EXPECT_FALSE(judge_is_punct("a"));
    EXPECT_TRUE(judge_all_punct("?!.", 3));
    EXPECT_FALSE(judge_all_punct("?a", 2));
}

// Every single-byte character continues a word; double-byte ones only under Japanese rules,
// and there only the wide letters, signs, space and digits.
TEST(JudgeText, WordCharacters)
{
    static const struct {
        const char* name;
        uint32_t code_page;
        const char* language;
        const char* character;
        int want;
    } kCases[] = {
        {"a letter", 1252, "E", "a", 1},
        {"a space is a byte like any other", 1252, "E", " ", 1},
        {"an accented letter", 1252, "E", "\xE9", 1},
        {"a Korean syllable", 949, "K", "\xB0\xA1", 0},
        {"a wide letter outside Japanese rules", 949, "K", "\xA3\xC1", 0},
        {"a wide letter under Japanese rules", 932, "J", "\x82\x60", 1},
        {"a wide digit under Japanese rules", 932, "J", "\x82\x4F", 1},
        {"a kanji under Japanese rules", 932, "J", "\x88\x9F", 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, c.language);
        EXPECT_EQ(judge_is_word_char(c.character), c.want);
    }
}

// In code page 949 a double-byte character is one character: "?" takes it whole, the matcher
// never ends inside it, and a full-width space and full-width signs keep their single-byte
// classes.
TEST(JudgeText, DoubleByteCharacters)
{
    ASSERT_TRUE(plat::set_active_code_page(949));
    str_init_from_entry(nullptr);
    std::string text = plat::utf8_to_code_page(949, "가나다");
    const char* end = text.c_str() + text.size();
    EXPECT_EQ(judge_wildcard_match(text.c_str(), end, "??", kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd), text.c_str() + 4);
    std::string pattern = plat::utf8_to_code_page(949, "*다");
    EXPECT_EQ(judge_wildcard_match(text.c_str(), end, pattern.c_str(), kJudgeMatchCase, kJudgeKeepPunct, kJudgeFirstEnd), end);
    std::string wide_space = plat::utf8_to_code_page(949, "\xE3\x80\x80"); // U+3000
    std::string wide_bang = plat::utf8_to_code_page(949, "\xEF\xBC\x81");  // U+FF01
    EXPECT_TRUE(judge_is_space(wide_space.c_str()));
    EXPECT_TRUE(judge_is_punct(wide_bang.c_str()));
    EXPECT_FALSE(judge_is_punct(text.c_str()));
    std::string words = plat::utf8_to_code_page(949, "가나　다");
    EXPECT_EQ(judge_word_count(words.c_str()), 2);
    plat::codepage_reset();
    str_reset();
}

} // namespace
