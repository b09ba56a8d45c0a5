#include "typing/johab.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <vector>

namespace {

// glibc's converters are the outside reference: one character through iconv.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) { }
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The converted bytes, or "" when the converter refuses the input.
    std::string convert(const std::string& in)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char out[16];
        char* in_ptr = const_cast<char*>(in.data());
        size_t in_left = in.size();
        char* out_ptr = out;
        size_t out_left = sizeof out;
        if (iconv(m_cd, &in_ptr, &in_left, &out_ptr, &out_left) == size_t(-1) || in_left != 0)
            return "";
        return std::string(out, sizeof out - out_left);
    }

private:
    iconv_t m_cd;
};

std::string utf32(uint32_t code_point)
{
    return std::string {char(code_point), char(code_point >> 8), char(code_point >> 16), 0};
}

uint16_t pair_code(const std::string& bytes)
{
    return bytes.size() == 2 ? uint16_t(uint8_t(bytes[0]) << 8 | uint8_t(bytes[1])) : 0;
}

uint32_t from_utf32(const std::string& bytes)
{
    if (bytes.size() != 4)
        return 0;
    return uint8_t(bytes[0]) | uint8_t(bytes[1]) << 8 | uint8_t(bytes[2]) << 16;
}

std::string pair_bytes(uint16_t code) { return std::string {char(code >> 8), char(code & 0xFF)}; }

// Every modern Hangul character: the 11,172 syllables and the 51 compatibility jamo.
std::vector<uint32_t> hangul_repertoire()
{
    std::vector<uint32_t> code_points;
    for (uint32_t u = 0xAC00; u <= 0xD7A3; ++u)
        code_points.push_back(u);
    for (uint32_t u = 0x3131; u <= 0x3163; ++u)
        code_points.push_back(u);
    return code_points;
}

TEST(Johab, HangulAgreesWithGlibcJohabAndCp949BothWays)
{
    Iconv to_johab("JOHAB", "UTF-32LE"), from_johab("UTF-32LE", "JOHAB");
    Iconv to_cp949("CP949", "UTF-32LE"), from_cp949("UTF-32LE", "CP949");
    ASSERT_TRUE(to_johab.ok() && from_johab.ok() && to_cp949.ok() && from_cp949.ok());
    std::vector<uint32_t> repertoire = hangul_repertoire();
    ASSERT_EQ(repertoire.size(), 11172u + 51u);
    int failures = 0;
    for (uint32_t u : repertoire) {
        uint16_t johab = pair_code(to_johab.convert(utf32(u)));
        uint16_t wansung = pair_code(to_cp949.convert(utf32(u)));
        ASSERT_NE(johab, 0);
        ASSERT_NE(wansung, 0);
        bool agree = unicode_to_johab(u) == johab && johab_to_unicode(johab) == u
            && from_utf32(from_johab.convert(pair_bytes(johab))) == u
            && johab_char_to_wansung(johab) == wansung && wansung_char_to_johab(wansung) == johab
            && from_utf32(from_cp949.convert(pair_bytes(wansung))) == u;
        if (!agree && ++failures < 10)
            ADD_FAILURE() << std::hex << "U+" << u << " johab " << johab << " cp949 " << wansung;
    }
    EXPECT_EQ(failures, 0);
}

// Symbols and Hanja keep their KS X 1001 place in both codes; glibc's JOHAB holds the standard
// mapping between the two layouts.
TEST(Johab, SymbolsAndHanjaTakeTheStandardJohabPlaces)
{
    Iconv from_cp949("UTF-32LE", "CP949"), to_johab("JOHAB", "UTF-32LE");
    int checked = 0;
    int failures = 0;
    for (int row = 0xA1; row <= 0xFD; ++row) {
        if (row >= 0xB0 && row <= 0xC9)
            continue; // Hangul rows and the user-defined row C9
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            uint16_t ks = uint16_t(row << 8 | cell);
            uint32_t u = from_utf32(from_cp949.convert(pair_bytes(ks)));
            if (u == 0 || (u >= 0x3131 && u <= 0x3163))
                continue; // an empty cell, or a jamo (which Johab keeps among the syllables)
            uint16_t johab = pair_code(to_johab.convert(utf32(u)));
            ++checked;
            bool agree = wansung_char_to_johab(ks) == johab && johab_char_to_wansung(johab) == ks
                && johab_to_ksc(johab) == ks && johab_classify(johab) != kJohabNotDrawable;
            if (!agree && ++failures < 10)
                ADD_FAILURE() << std::hex << "KS " << ks << " johab " << johab;
        }
    }
    EXPECT_GT(checked, 4888 + 900); // every Hanja and the symbols
    EXPECT_EQ(failures, 0);
}

TEST(Johab, KsCodesExistForTheStandardsSyllablesOnly)
{
    int with_ks = 0;
    for (uint32_t u = 0xAC00; u <= 0xD7A3; ++u) {
        uint16_t ks = johab_to_ksc(unicode_to_johab(u));
        if (ks == 0)
            continue;
        ++with_ks;
        ASSERT_EQ(wansung_char_to_johab(ks), unicode_to_johab(u));
    }
    EXPECT_EQ(with_ks, 2350);
    EXPECT_EQ(johab_to_ksc(0x8861), 0xB0A1); // 가, the first
    EXPECT_EQ(johab_to_ksc(0xD3B7), 0xC8FE); // 힝, the last
    EXPECT_EQ(johab_to_ksc(0x8841), 0); // ㄱ is no syllable
}

struct CodeCase {
    const char* name;
    uint16_t johab;
    uint32_t unicode; // 0: converts to nothing
};

TEST(Johab, UnicodeConversionOfEdgeCodes)
{
    static const CodeCase kCases[] = {
        {"first syllable 가", 0x8861, 0xAC00},
        {"last syllable 힣", 0xD3BD, 0xD7A3},
        {"first jamo ㄱ", 0x8841, 0x3131},
        {"vowel ㅢ", 0x8781, 0x3162},
        {"fill initial with a vowel is the jamo ㅏ", 0x8461, 0x314F},
        {"final-only cluster ㄳ", 0x8444, 0x3133},
        {"all fills is no character", 0x8441, 0},
        {"initial field 21 is no consonant", 0xD461, 0},
        {"initial field 0", 0x8061, 0},
        {"medial field 8 lies in a gap", 0x8901, 0},
        {"final field 18 lies in a gap", 0x8872, 0},
        {"final field 0", 0x8860, 0},
        {"final field 30", 0x887E, 0},
        {"a lone final ㄱ is not a jamo code", 0x8442, 0},
    };
    for (const CodeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(johab_to_unicode(c.johab), c.unicode);
        if (c.unicode) {
            EXPECT_EQ(unicode_to_johab(c.unicode), c.johab);
        }
    }
    EXPECT_EQ(unicode_to_johab(0x3164), 0); // the filler has no field form
    EXPECT_EQ(unicode_to_johab(0xABFF), 0);
    EXPECT_EQ(unicode_to_johab(0xD7A4), 0);
    EXPECT_EQ(unicode_to_johab(0x41), 0);
}

struct ClassCase {
    const char* name;
    uint16_t code;
    JohabClass expected;
};

TEST(Johab, ClassificationForDrawing)
{
    static const ClassCase kCases[] = {
        {"single byte", 0x0041, kJohabNotDrawable},
        {"syllable", 0x8861, kJohabHangul},
        {"lone jamo", 0x8841, kJohabHangul},
        {"all fills", 0x8441, kJohabHangul},
        {"medial in a gap still counts as Hangul", 0x8901, kJohabHangul},
        {"initial field 0", 0x8061, kJohabNotDrawable},
        {"final field 18", 0x8872, kJohabNotDrawable},
        {"medial field 1", 0x8821, kJohabNotDrawable},
        {"first Hanja", 0xE031, kJohabHanja},
        {"last Hanja lead", 0xF9FE, kJohabHanja},
        {"first symbol", 0xD931, kJohabSymbol},
        {"jamo filler among the symbols", 0xDAD4, kJohabSymbol},
        {"last symbol lead", 0xDEFE, kJohabSymbol},
        {"user-defined lead D8", 0xD8A1, kJohabNotDrawable},
        {"lead DF between symbols and Hanja", 0xDFA1, kJohabNotDrawable},
        {"trail 0x80 outside both halves", 0xE080, kJohabNotDrawable},
        {"trail 0x30 below the first half", 0xD930, kJohabNotDrawable},
    };
    for (const ClassCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(johab_classify(c.code), c.expected);
    }
}

TEST(Johab, CodesSplitAndJoinTexts)
{
    EXPECT_EQ(dbcs_to_codes("A\x88\x61" "b"), (std::vector<uint16_t> {0x41, 0x8861, 0x62}));
    EXPECT_EQ(dbcs_to_codes("A\x88"), (std::vector<uint16_t> {0x41})); // lone lead dropped
    EXPECT_EQ(dbcs_to_codes(std::string_view("A\0B", 3)), (std::vector<uint16_t> {0x41}));
    EXPECT_TRUE(dbcs_to_codes("").empty());
    const uint16_t codes[] = {0x41, 0x8861, 0xD3BD, 0, 0x42};
    EXPECT_EQ(codes_to_dbcs(codes), "A\x88\x61\xD3\xBD");
}

struct TextCase {
    const char* name;
    std::string wansung;
    std::string johab;
};

TEST(Johab, TextsConvertCharacterByCharacter)
{
    static const TextCase kCases[] = {
        {"ASCII stays", "Hi 1", "Hi 1"},
        {"syllables and jamo", "\xB0\xA1\xA4\xA1" "a", "\x88\x61\x88\x41" "a"},
        {"filler of lesson names", "\xA4\xD4", "\xDA\xD4"},
        {"symbol middle dot", "\xA1\xA4", "\xD9\x34"},
        {"Hanja", "\xCA\xA1", "\xE0\x31"},
        {"text stops at NUL", std::string("\xB0\xA1\0\xB0\xA1", 5), "\x88\x61"},
    };
    for (const TextCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string johab = wansung_to_johab(c.wansung);
        EXPECT_EQ(johab, c.johab);
        EXPECT_EQ(johab_to_wansung(johab), c.wansung.substr(0, c.wansung.find('\0')));
    }
    // A Johab pair of no character is kept whole, never split into two characters.
    EXPECT_EQ(johab_to_wansung("\x84\x41" "A"), "\x84\x41" "A");
}

TEST(Johab, LongTextsAreCutBetweenCharacters)
{
    std::string text = "A";
    for (int i = 0; i < 200; ++i)
        text += "\xB0\xA1";
    std::string johab = wansung_to_johab(text);
    EXPECT_EQ(johab.size(), 255u); // "A" and 127 whole syllables
    EXPECT_EQ(johab.substr(johab.size() - 2), "\x88\x61");
    std::string even = "AB" + text.substr(1);
    EXPECT_EQ(wansung_to_johab(even).size(), 254u); // one more pair would need 256 bytes
}

TEST(Johab, KoreanTextNeedsMoreThanNinetyPercentDrawable)
{
    std::string ten_hangul;
    for (int i = 0; i < 10; ++i)
        ten_hangul += "\x88\x61";
    EXPECT_TRUE(johab_text_is_korean(ten_hangul + "abc"));
    EXPECT_FALSE(johab_text_is_korean(ten_hangul + "\xD8\xA1")); // 10 of 11 is 90 percent
    EXPECT_TRUE(johab_text_is_korean(ten_hangul + ten_hangul + "\xD8\xA1"));
    EXPECT_FALSE(johab_text_is_korean("plain English"));
    EXPECT_FALSE(johab_text_is_korean(""));
}

} // namespace
