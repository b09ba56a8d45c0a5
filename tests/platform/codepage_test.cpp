#include "platform/kernel/codepage.h"

#include "platform/kernel/error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::string from_hex(const char* hex)
{
    std::string bytes;
    for (const char* p = hex; p[0] && p[1];) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        bytes += char(std::stoi(std::string(p, 2), nullptr, 16));
        p += 2;
    }
    return bytes;
}

// Every test leaves the program on 1252 again.
class CodePage : public ::testing::Test {
protected:
    void TearDown() override { plat::codepage_reset(); }
};

struct PageCase {
    const char* name;
    uint32_t page;
    bool supported;
    bool can_be_active;
    int max_char_size;
};

static const PageCase kPageCases[] = {
    {"western", plat::CP_WESTERN, true, true, 1},
    {"korean", plat::CP_KOREAN, true, true, 2},
    {"japanese", plat::CP_SHIFT_JIS, true, true, 2},
    {"utf-8 converts but is never a program's page", plat::CP_UTF8, true, false, 4},
    {"unknown page", 437, false, false, 0},
};

TEST_F(CodePage, ActivePageIsWesternUntilSetAndRefusesUnknownPages)
{
    EXPECT_EQ(plat::get_active_code_page(), plat::CP_WESTERN);
    EXPECT_FALSE(plat::is_code_page_supported(plat::CP_ACP));
    for (const PageCase& c : kPageCases) {
        SCOPED_TRACE(c.name);
        plat::codepage_reset();
        EXPECT_EQ(plat::is_code_page_supported(c.page), c.supported);
        EXPECT_EQ(plat::code_page_max_char_size(c.page), c.max_char_size);
        EXPECT_EQ(plat::set_active_code_page(c.page), c.can_be_active);
        EXPECT_EQ(plat::get_active_code_page(), c.can_be_active ? c.page : plat::CP_WESTERN);
        if (c.can_be_active) {
            EXPECT_EQ(plat::code_page_max_char_size(plat::CP_ACP), c.max_char_size);
        }
    }
}

struct LeadRangeCase {
    uint32_t page;
    std::vector<std::pair<int, int>> lead_ranges;
};

TEST_F(CodePage, LeadBytesAreTheWindowsRanges)
{
    // 949's rows C9 and FE are user-defined: no character in glibc's table, still lead bytes.
    static const LeadRangeCase kCases[] = {
        {plat::CP_KOREAN, {{0x81, 0xFE}}},
        {plat::CP_SHIFT_JIS, {{0x81, 0x9F}, {0xE0, 0xFC}}},
        {plat::CP_WESTERN, {}},
    };
    for (const LeadRangeCase& c : kCases) {
        SCOPED_TRACE(c.page);
        ASSERT_TRUE(plat::set_active_code_page(c.page));
        for (int b = 0; b < 256; ++b) {
            bool expected = std::any_of(c.lead_ranges.begin(), c.lead_ranges.end(),
                                        [&](auto r) { return b >= r.first && b <= r.second; });
            ASSERT_EQ(plat::is_dbcs_lead_byte_ex(c.page, uint8_t(b)), expected) << b;
            ASSERT_EQ(plat::is_dbcs_lead_byte(uint8_t(b)), expected) << b;
        }
    }
}

// Mixed CP949 text, one character a row. The trail bytes 41, 5A, 61 and 7A would read as ASCII
// letters to a byte scanner; B0A1 B3AA is a run in which every byte could lead.
static const struct {
    const char* bytes;
    const char* utf8;
} kKoreanPieces[] = {
    {"41", "A"},     {"8141", "갂"}, {"62", "b"},    {"b0a1", "가"},
    {"b3aa", "나"},  {"815a", "갴"}, {"7a", "z"},    {"c9a1", "\uFFFD"}, // user-defined row
    {"a4d4", "\u3164"}, {"817a", "걕"}, {"b061", "캻"}, {"20", " "},
    {"b0", "\uFFFD"}, // a lead byte just before the NUL is a character of its own
};

TEST_F(CodePage, SteppingKoreanTextNeverSplitsAPair)
{
    ASSERT_TRUE(plat::set_active_code_page(plat::CP_KOREAN));
    std::string text;
    std::string utf8;
    std::vector<size_t> starts;
    for (const auto& piece : kKoreanPieces) {
        starts.push_back(text.size());
        text += from_hex(piece.bytes);
        utf8 += piece.utf8;
    }
    const char* begin = text.c_str();
    const char* p = begin;
    for (size_t start : starts) {
        EXPECT_EQ(size_t(p - begin), start);
        p = plat::char_next(p);
    }
    EXPECT_EQ(p, begin + text.size());
    EXPECT_EQ(plat::char_next(p), p); // never past the NUL
    for (size_t i = starts.size(); i-- > 0;) {
        p = plat::char_prev(begin, p);
        EXPECT_EQ(size_t(p - begin), starts[i]) << "character " << i;
    }
    EXPECT_EQ(plat::char_prev(begin, begin), begin);
    EXPECT_EQ(plat::code_page_to_utf8(plat::CP_KOREAN, text), utf8);
}

TEST_F(CodePage, CharPrevAgreesWithAForwardScanOnRandomText)
{
    std::mt19937 random(949);
    std::uniform_int_distribution<int> byte(1, 255);
    for (uint32_t page : {plat::CP_KOREAN, plat::CP_SHIFT_JIS}) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(plat::set_active_code_page(page));
        std::string text;
        for (int i = 0; i < 4000; ++i)
            text += char(i % 7 == 0 ? (byte(random) & 0x7F) | 1 : byte(random)); // mostly high
        const char* begin = text.c_str();
        std::vector<const char*> starts;
        for (const char* p = begin; *p; p = plat::char_next(p))
            starts.push_back(p);
        size_t last_start = 0;
        for (size_t offset = 1; offset <= text.size(); ++offset) {
            while (last_start + 1 < starts.size() && starts[last_start + 1] < begin + offset)
                ++last_start;
            ASSERT_EQ(plat::char_prev(begin, begin + offset), starts[last_start]) << offset;
        }
    }
}

TEST_F(CodePage, StepsStopAtTheTerminator)
{
    ASSERT_TRUE(plat::set_active_code_page(plat::CP_KOREAN));
    const char lead_then_nul[] = "\xb0\0\x41";
    EXPECT_EQ(plat::char_next(lead_then_nul), lead_then_nul + 1);
    EXPECT_EQ(plat::char_next(lead_then_nul + 1), lead_then_nul + 1);
    EXPECT_EQ(plat::char_prev(lead_then_nul, lead_then_nul + 2), lead_then_nul + 1);
    EXPECT_EQ(plat::char_prev(lead_then_nul, lead_then_nul + 1), lead_then_nul);
    EXPECT_EQ(plat::char_next(nullptr), nullptr);
    ASSERT_TRUE(plat::set_active_code_page(plat::CP_WESTERN));
    const char western[] = "\xb0\xa1";
    EXPECT_EQ(plat::char_next(western), western + 1);
    EXPECT_EQ(plat::char_prev(western, western + 2), western + 1);
}

TEST_F(CodePage, EveryHangulSyllableRoundTripsThrough949)
{
    std::u16string syllables;
    for (char16_t u = 0xAC00; u <= 0xD7A3; ++u)
        syllables += u;
    ASSERT_EQ(syllables.size(), 11172u);
    std::string bytes = plat::wide_to_multi_byte(plat::CP_KOREAN, syllables);
    ASSERT_EQ(bytes.size(), 2 * syllables.size());
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(plat::multi_byte_to_wide(plat::CP_KOREAN, bytes), syllables);

    ASSERT_TRUE(plat::set_active_code_page(plat::CP_KOREAN));
    size_t characters = 0;
    for (const char* p = bytes.c_str(); *p; p = plat::char_next(p)) {
        ASSERT_TRUE(plat::is_dbcs_lead_byte(uint8_t(*p))) << characters;
        ++characters;
    }
    EXPECT_EQ(characters, syllables.size());
    std::string utf8 = plat::wide_to_multi_byte(plat::CP_UTF8, syllables);
    EXPECT_EQ(plat::utf8_to_code_page(plat::CP_ACP, utf8), bytes);
    EXPECT_EQ(plat::code_page_to_utf8(plat::CP_ACP, bytes), utf8);
}

struct ToWideCase {
    const char* name;
    uint32_t page;
    const char* bytes;
    std::u16string wide;
};

static const ToWideCase kToWideCases[] = {
    {"euro sign", plat::CP_WESTERN, "80", u"\u20AC"},
    {"undefined bytes read as C1 controls", plat::CP_WESTERN, "81 8d 8f 90 9d",
     u"\u0081\u008D\u008F\u0090\u009D"},
    {"accented letters", plat::CP_WESTERN, "e9 ff 8a", u"éÿŠ"},
    {"syllable", plat::CP_KOREAN, "b0a1", u"가"},
    {"extension syllable with a letter trail", plat::CP_KOREAN, "41 8141 42", u"A갂B"},
    {"hangul filler", plat::CP_KOREAN, "a4d4", u"\u3164"},
    {"lone lead at the end", plat::CP_KOREAN, "41 b0", u"A\uFFFD"},
    {"lead before a line end", plat::CP_KOREAN, "b0 0a 41", u"\uFFFD\nA"},
    {"user-defined pair", plat::CP_KOREAN, "c9a1 41", u"\uFFFDA"},
    {"byte with no character", plat::CP_KOREAN, "80 ff", u"\uFFFD\uFFFD"},
    {"embedded NUL", plat::CP_KOREAN, "41 00 b0a1", std::u16string(u"A\0가", 3)},
    {"hiragana", plat::CP_SHIFT_JIS, "82a0", u"あ"},
    {"backslash stays a backslash", plat::CP_SHIFT_JIS, "5c", u"\\"},
    {"half-width katakana", plat::CP_SHIFT_JIS, "b1", u"\uFF71"},
    {"ideographic space", plat::CP_SHIFT_JIS, "8140", u"\u3000"},
};

TEST_F(CodePage, BytesToUnicode)
{
    for (const ToWideCase& c : kToWideCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plat::multi_byte_to_wide(c.page, from_hex(c.bytes)), c.wide);
    }
}

struct FromWideCase {
    const char* name;
    uint32_t page;
    std::u16string wide;
    const char* bytes;
};

static const FromWideCase kFromWideCases[] = {
    {"C1 controls back to their bytes", plat::CP_WESTERN, u"\u0081\u009D", "81 9d"},
    {"no hangul in 1252", plat::CP_WESTERN, u"a가", "61 3f"},
    {"one question mark for a surrogate pair", plat::CP_WESTERN, u"\U0001F600x", "3f 78"},
    {"lone surrogate", plat::CP_WESTERN, u"\xD800x", "3f 78"},
    {"hangul", plat::CP_KOREAN, u"가갂", "b0a1 8141"},
    {"no Thai in 949", plat::CP_KOREAN, u"\u0E01", "3f"},
    {"NEC and IBM copies: the form Windows writes", plat::CP_SHIFT_JIS, u"\u2252\u2235\u2170",
     "81e0 81e6 fa40"},
};

TEST_F(CodePage, UnicodeToBytes)
{
    for (const FromWideCase& c : kFromWideCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plat::wide_to_multi_byte(c.page, c.wide), from_hex(c.bytes));
    }
}

TEST_F(CodePage, Utf8IsCheckedAndUnknownPagesFail)
{
    EXPECT_EQ(plat::utf8_to_code_page(plat::CP_KOREAN, "가\xff"), from_hex("b0a1 3f"));
    EXPECT_EQ(plat::code_page_to_utf8(plat::CP_UTF8, "a\xc0\xaf\xe0\x80"),
              "a\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(plat::multi_byte_to_wide(plat::CP_UTF8, "\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(plat::multi_byte_to_wide(plat::CP_UTF8, "\xf0\x9f\x98\x80"), u"\U0001F600");
    EXPECT_EQ(plat::code_page_to_utf8(plat::CP_ACP, "\xe9"), "é");

    plat::set_last_error(plat::ERROR_SUCCESS);
    EXPECT_EQ(plat::multi_byte_to_wide(437, "abc"), u"");
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_INVALID_PARAMETER);
}

TEST_F(CodePage, WesternCaseMapsAsciiAndAccentedLetters)
{
    static const struct {
        uint8_t lower, upper;
    } kPairs[] = {
        {'a', 'A'}, {'z', 'Z'}, {0xE0, 0xC0}, {0xF6, 0xD6}, {0xF8, 0xD8}, {0xFE, 0xDE},
        {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F},
    };
    for (const auto& pair : kPairs) {
        SCOPED_TRACE(pair.lower);
        EXPECT_EQ(uint8_t(plat::char_upper(char(pair.lower))), pair.upper);
        EXPECT_EQ(uint8_t(plat::char_lower(char(pair.upper))), pair.lower);
        EXPECT_EQ(uint8_t(plat::char_upper(char(pair.upper))), pair.upper);
        EXPECT_EQ(uint8_t(plat::char_lower(char(pair.lower))), pair.lower);
    }
    // ÷ ×, ß µ ª º, ƒ, the neighbours of the ASCII letters (@ [ ` {) and the euro sign.
    for (int b : {0xF7, 0xD7, 0xDF, 0xB5, 0xAA, 0xBA, 0x83, 0x40, 0x5B, 0x60, 0x7B, 0x80}) {
        SCOPED_TRACE(b);
        EXPECT_EQ(uint8_t(plat::char_upper(char(b))), b);
        EXPECT_EQ(uint8_t(plat::char_lower(char(b))), b);
    }
    int upper_changes = 0, lower_changes = 0;
    for (int b = 0; b < 256; ++b) {
        upper_changes += plat::char_upper(char(b)) != char(b);
        lower_changes += plat::char_lower(char(b)) != char(b);
    }
    EXPECT_EQ(upper_changes, 26 + 30 + 4);
    EXPECT_EQ(lower_changes, 26 + 30 + 4);

    char text[] = "Crème brûlée";
    std::string western = plat::utf8_to_code_page(plat::CP_WESTERN, text);
    plat::char_upper(western.data());
    EXPECT_EQ(plat::code_page_to_utf8(plat::CP_WESTERN, western), "CRÈME BRÛLÉE");
}

TEST_F(CodePage, DoubleBytePagesMapAsciiLettersAndNeverTrailBytes)
{
    ASSERT_TRUE(plat::set_active_code_page(plat::CP_KOREAN));
    std::string text = from_hex("61 8141 62 b061 e0 41 8161");
    plat::char_upper(text.data(), text.size());
    EXPECT_EQ(text, from_hex("41 8141 42 b061 e0 41 8161"));
    plat::char_lower(text.data());
    EXPECT_EQ(text, from_hex("61 8141 62 b061 e0 41 8161"));
    EXPECT_EQ(plat::char_upper('\xe0'), '\xe0'); // a lead byte, not à

    std::string sized = from_hex("61 62 63");
    plat::char_upper(sized.data(), 2);
    EXPECT_EQ(sized, "ABc");
    std::string cut_pair = from_hex("61 81 61");
    plat::char_upper(cut_pair.data(), 2); // the trail past the length stays untouched
    EXPECT_EQ(cut_pair, from_hex("41 81 61"));

    ASSERT_TRUE(plat::set_active_code_page(plat::CP_SHIFT_JIS));
    std::string japanese = from_hex("61 b1 8261 e9"); // katakana, Ｂ, a lone lead byte
    plat::char_upper(japanese.data());
    EXPECT_EQ(japanese, from_hex("41 b1 8261 e9"));
}

// The sort order, ascending; each row sorts strictly before the next.
static const char* const kWesternOrder[] = {
    "", " ", "!", "0", "1", "10", "2", "a", "A", "á", "Á", "à", "À", "ab", "a-b", "abc",
    "ae", "æ", "Æ", "af", "b", "coop", "co-op", "cop", "e", "E", "é", "É", "its", "it's",
    "itself", "ss", "ß", "st", "Z", "ž", "Ž",
};

TEST_F(CodePage, LstrcmpOrdersAWordSort)
{
    std::vector<std::string> expected;
    for (const char* text : kWesternOrder)
        expected.push_back(plat::utf8_to_code_page(plat::CP_WESTERN, text));
    for (size_t i = 0; i < expected.size(); ++i) {
        for (size_t j = i + 1; j < expected.size(); ++j) {
            SCOPED_TRACE(std::string(kWesternOrder[i]) + " < " + kWesternOrder[j]);
            EXPECT_EQ(plat::lstrcmp(expected[i].c_str(), expected[j].c_str()), -1);
            EXPECT_EQ(plat::lstrcmp(expected[j].c_str(), expected[i].c_str()), 1);
        }
        EXPECT_EQ(plat::lstrcmp(expected[i].c_str(), expected[i].c_str()), 0);
    }
    std::vector<std::string> shuffled = expected;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(1252));
    std::sort(shuffled.begin(), shuffled.end(), [](const std::string& a, const std::string& b) {
        return plat::lstrcmp(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(shuffled, expected);
}

struct CompareCase {
    const char* name;
    uint32_t page;
    const char* a; // UTF-8, converted to the page
    const char* b;
    int cmp, cmpi;
};

static const CompareCase kCompareCases[] = {
    {"case alone", plat::CP_WESTERN, "abc", "ABC", -1, 0},
    {"letters before case", plat::CP_WESTERN, "B", "a", 1, 1},
    {"accented capital", plat::CP_WESTERN, "À", "à", 1, 0},
    {"accent still counts", plat::CP_WESTERN, "À", "a", 1, 1},
    {"1252 pair outside Latin-1", plat::CP_WESTERN, "Ÿ", "ÿ", 1, 0},
    {"sharp s is not SS", plat::CP_WESTERN, "ß", "SS", 1, 1},
    {"hyphens ignored first", plat::CP_WESTERN, "CO-OP", "coop", 1, 1},
    {"hyphens and case", plat::CP_WESTERN, "CO-OP", "co-op", 1, 0},
    {"digits before letters", plat::CP_WESTERN, "9", "a", -1, -1},
    {"latin before hangul", plat::CP_KOREAN, "z", "가", -1, -1},
    {"jamo before syllables", plat::CP_KOREAN, "ㄱ", "가", -1, -1},
    {"syllables in Unicode order", plat::CP_KOREAN, "각", "나", -1, -1},
    {"hangul before hanja", plat::CP_KOREAN, "힝", "一", -1, -1},
    {"full width after half width", plat::CP_KOREAN, "Ａ", "A", 1, 1},
    {"full-width case", plat::CP_KOREAN, "ａ", "Ａ", -1, 0},
    {"full-width primary", plat::CP_KOREAN, "Ａ", "b", -1, -1},
    {"katakana after hiragana", plat::CP_SHIFT_JIS, "カ", "か", 1, 1},
    {"kana primary", plat::CP_SHIFT_JIS, "カ", "き", -1, -1},
};

TEST_F(CodePage, LstrcmpAndLstrcmpiCases)
{
    for (const CompareCase& c : kCompareCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(plat::set_active_code_page(c.page));
        std::string a = plat::utf8_to_code_page(c.page, c.a);
        std::string b = plat::utf8_to_code_page(c.page, c.b);
        ASSERT_EQ(a.find('?'), std::string::npos);
        ASSERT_EQ(b.find('?'), std::string::npos);
        EXPECT_EQ(plat::lstrcmp(a.c_str(), b.c_str()), c.cmp);
        EXPECT_EQ(plat::lstrcmpi(a.c_str(), b.c_str()), c.cmpi);
        EXPECT_EQ(plat::lstrcmp(b.c_str(), a.c_str()), -c.cmp);
        EXPECT_EQ(plat::lstrcmpi(b.c_str(), a.c_str()), -c.cmpi);
    }
    EXPECT_EQ(plat::lstrcmp(nullptr, ""), -1);
    EXPECT_EQ(plat::lstrcmpi("", nullptr), 1);
    EXPECT_EQ(plat::lstrcmp(nullptr, nullptr), 0);
}

} // namespace
