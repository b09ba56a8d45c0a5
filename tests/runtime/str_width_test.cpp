#include "runtime/base/str_width.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct ClassCase {
    const char* name;
    uint32_t code_page;
    const char* language;
    const char* text;
    int expected;
};

TEST(StrCharClass, ClassesByRules)
{
    static const ClassCase kCases[] = {
        { "end", 1252, "E", "", kStrClassEnd },
        { "letter", 1252, "E", "a", kStrClassLetter },
        { "digit", 1252, "E", "5", kStrClassDigit },
        { "blank", 1252, "E", " ", kStrClassBlank },
        { "control", 1252, "E", "\x01", kStrClassBlank },
        { "punctuation", 1252, "E", "!", kStrClassOther },
        { "high byte", 1252, "E", "\xE9", kStrClassHighByte },
        { "korean pair", 949, "K", "\xB0\xA1", kStrClassTwoByte },
        { "korean lead at the end", 949, "K", "\xB0", kStrClassHighByte },
        { "full-width space", 932, "J", "\x81\x40", kStrClassWideSpace },
        { "full-width symbol", 932, "J", "\x81\x41", kStrClassWideSymbol },
        { "full-width capital", 932, "J", "\x82\x60", kStrClassWideLetter },
        { "full-width small", 932, "J", "\x82\x81", kStrClassWideLetter },
        { "full-width digit", 932, "J", "\x82\x4F", kStrClassWideDigit },
        { "hiragana", 932, "J", "\x82\x9F", kStrClassWideOther },
        { "full-width katakana", 932, "J", "\x83\x40", kStrClassWideKatakana },
        { "greek", 932, "J", "\x83\x9F", kStrClassWideSymbol },
        { "cyrillic", 932, "J", "\x84\x40", kStrClassWideSymbol },
        { "row 85", 932, "J", "\x85\x40", kStrClassTwoByte },
        { "kanji", 932, "J", "\x88\x9F", kStrClassKanji },
        { "kanji E0", 932, "J", "\xE0\x40", kStrClassKanji },
        { "lead before NUL", 932, "J", "\x82", kStrClassHighByte },
        { "half-width katakana", 932, "J", "\xB1", kStrClassHalfKatakana },
        { "half-width punctuation", 932, "J", "\xA1", kStrClassOther },
        { "voicing mark", 932, "J", "\xDE", kStrClassOther },
        { "ASCII under Japanese rules", 932, "J", "a", kStrClassLetter },
        // The language letter alone brings the Japanese rules, whatever the code page.
        { "J on a western page", 1252, "J", "\x82\x60", kStrClassWideLetter },
    };
    for (const ClassCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TextScope scope(c.code_page, c.language);
        EXPECT_EQ(str_char_class(c.text), c.expected);
    }
    EXPECT_EQ(str_char_class(nullptr), kStrClassEnd);
}

struct FoldCase {
    const char* name;
    uint16_t character;
    int flags;
    uint16_t narrow;
    uint16_t wide;
};

TEST(StrWidth, OneCharacterUnderJapaneseRules)
{
    static const FoldCase kCases[] = {
        // Two-byte values hold the first byte low.
        { "capital A", 0x6082, kStrFoldTitles, 'A', 0x6082 },
        { "small a", 0x8182, kStrFoldTitles, 'a', 0x8182 },
        { "digit 5", 0x5482, kStrFoldTitles, '5', 0x5482 },
        { "at sign", 0x9781, kStrFoldTitles, '@', 0x9781 },
        { "space", 0x4081, kStrFoldSymbols, ' ', 0x4081 },
        { "both quotes narrow", 0x6881, kStrFoldSymbols, '"', 0x6881 },
        { "letters need flag 1", 0x6082, kStrFoldDigits, 0x6082, 0x6082 },
        { "katakana wo", 0x9283, kStrFoldKatakana, 0xA6, 0x9283 },
        { "katakana a", 0x4183, kStrFoldKatakana, 0xB1, 0x4183 },
        { "katakana without half form", 0x9483, kStrFoldKatakana, 0x9483, 0x9483 },
        { "A widens", 'A', kStrFoldLetters, 'A', 0x6082 },
        { "a widens to the capital", 'a', kStrFoldLetters, 'a', 0x6082 },
        { "z widens to the capital", 'z', kStrFoldLetters, 'z', 0x7982 },
        { "0 widens", '0', kStrFoldDigits, '0', 0x4F82 },
        { "quote widens to the first form", '"', kStrFoldSymbols, '"', 0x6781 },
        { "hash", '#', kStrFoldSymbols, '#', 0xF281 },
        { "apostrophe has no form", '\'', kStrFoldSymbols, '\'', '\'' },
        { "half-width a", 0xB1, kStrFoldKatakana, 0xB1, 0x4183 },
        { "long vowel mark has no 0x83 form", 0xB0, kStrFoldKatakana, 0xB0, 0xB0 },
        { "digit without flag", '7', kStrFoldLetters, '7', '7' },
    };
    TextScope scope(932, "J");
    for (const FoldCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(str_narrow_char(c.character, c.flags), c.narrow);
        EXPECT_EQ(str_widen_char(c.character, c.flags), c.wide);
    }
}

TEST(StrWidth, NothingFoldsOutsideJapaneseRules)
{
    TextScope scope(949, "K");
    EXPECT_EQ(str_narrow_char(0x6082, kStrFoldTitles), 0x6082);
    EXPECT_EQ(str_widen_char('a', kStrFoldTitles), 'a');
    char out[8];
    EXPECT_EQ(str_widen_copy("ab\xB0\xA1", out, 8, kStrFoldTitles), 4);
    EXPECT_STREQ(out, "ab\xB0\xA1");
    EXPECT_EQ(str_narrow_copy("ab\xB0\xA1", out, 4, kStrFoldTitles), 2);
    EXPECT_STREQ(out, "ab");
}

TEST(StrWidth, CopiesFoldWithinTheSize)
{
    struct Case {
        const char* name;
        bool widen;
        const char* src;
        int size;
        int flags;
        const char* expected;
    };
    static const Case kCases[] = {
        { "narrow A a 5 @", false, "\x82\x60\x82\x81\x82\x54\x81\x97", 16, kStrFoldTitles, "Aa5@" },
        { "narrow keeps kanji", false, "\x88\x9F\x82\x60", 16, kStrFoldTitles,
            "\x88\x9F"
            "A" },
        { "narrow katakana", false, "\x83\x41\x83\x93", 16, kStrFoldKatakana, "\xB1\xDD" },
        { "no flags", false, "\x82\x60", 16, 0, "\x82\x60" },
        { "widen letters", true, "ab", 16, kStrFoldLetters, "\x82\x60\x82\x61" },
        { "widen stops before a pair that does not fit", true, "ab", 4, kStrFoldLetters,
            "\x82\x60" },
        { "widen mixes", true, "a1!", 16, kStrFoldLetters | kStrFoldSymbols,
            "\x82\x60"
            "1"
            "\x81\x49" },
        { "size 1", true, "a", 1, kStrFoldLetters, "" },
    };
    TextScope scope(932, "J");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        char out[17];
        std::memset(out, 'X', sizeof out);
        int length = c.widen ? str_widen_copy(c.src, out, c.size, c.flags)
                             : str_narrow_copy(c.src, out, c.size, c.flags);
        EXPECT_STREQ(out, c.expected);
        EXPECT_EQ(length, int(std::strlen(c.expected)));
        EXPECT_EQ(out[c.size], 'X');
    }
    char untouched[2] = "q";
    EXPECT_EQ(str_widen_copy("a", untouched, 0, kStrFoldLetters), 0);
    EXPECT_STREQ(untouched, "q");
}

} // namespace
