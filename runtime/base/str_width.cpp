#include "runtime/base/str_width.h"

#include "runtime/base/str.h"

#include <cstring>

struct WideSymbol {
    char narrow;
    uint8_t wide; // second byte after 0x81
};

// Searched in this order both ways: both quotation marks narrow to '"', and '"' widens to the
// first of them.
static const WideSymbol kWideSymbols[] = {
    { ' ', 0x40 },
    { '!', 0x49 },
    { '#', 0xF2 },
    { '$', 0x90 },
    { '%', 0x93 },
    { '&', 0x95 },
    { '(', 0x69 },
    { ')', 0x6A },
    { '*', 0x96 },
    { '+', 0x7B },
    { ',', 0x43 },
    { '-', 0x7C },
    { '.', 0x44 },
    { '/', 0x5E },
    { ':', 0x46 },
    { ';', 0x47 },
    { '<', 0x83 },
    { '=', 0x81 },
    { '>', 0x84 },
    { '?', 0x48 },
    { '@', 0x97 },
    { '[', 0x6D },
    { '\\', 0x5F },
    { ']', 0x6E },
    { '^', 0x4F },
    { '_', 0x51 },
    { '{', 0x6F },
    { '|', 0x62 },
    { '}', 0x70 },
    { '~', 0x60 },
    { '"', 0x67 },
    { '"', 0x68 },
};

constexpr uint8_t kFirstHalfKatakana = 0xA6;
constexpr uint8_t kLastHalfKatakana = 0xDD;

// Second bytes after 0x83 of the full-width forms of the half-width katakana 0xA6 to 0xDD;
// 0 where there is none (0xB0, the long vowel mark, is a 0x81 symbol).
static const uint8_t kWideKatakana[kLastHalfKatakana - kFirstHalfKatakana + 1]
    = { 0x92, 0x40, 0x42, 0x44, 0x46, 0x48, 0x83, 0x85, 0x87, 0x62, 0x00, 0x41, 0x43, 0x45, 0x47,
          0x49, 0x4A, 0x4C, 0x4E, 0x50, 0x52, 0x54, 0x56, 0x58, 0x5A, 0x5C, 0x5E, 0x60, 0x63, 0x65,
          0x67, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x70, 0x74, 0x77, 0x7A, 0x7D, 0x7E, 0x80, 0x81,
          0x82, 0x84, 0x86, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8F, 0x93 };

// Under Japanese rules these bytes start a two-byte character whatever the code page says.
static bool japanese_lead(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || b >= 0xE0; }

static bool in_range(uint8_t b, uint8_t low, uint8_t high) { return b >= low && b <= high; }

static int japanese_two_byte_class(uint8_t first, uint8_t second)
{
    if (second == 0)
        return kStrClassHighByte;
    switch (first) {
    case 0x81: return second == 0x40 ? kStrClassWideSpace : kStrClassWideSymbol;
    case 0x82:
        if (in_range(second, 0x60, 0x79) || in_range(second, 0x81, 0x9A))
            return kStrClassWideLetter;
        return in_range(second, 0x4F, 0x58) ? kStrClassWideDigit : kStrClassWideOther;
    case 0x83: return second <= 0x96 ? kStrClassWideKatakana : kStrClassWideSymbol;
    case 0x84:
    case 0x87: return kStrClassWideSymbol;
    case 0x80:
    case 0x85:
    case 0x86: return kStrClassTwoByte;
    default: return kStrClassKanji;
    }
}

int str_char_class(const char* character)
{
    if (!character || *character == '\0')
        return kStrClassEnd;
    uint8_t b = uint8_t(character[0]);
    if (str_japanese_rules() && b >= 0x80) {
        if (japanese_lead(b))
            return japanese_two_byte_class(b, uint8_t(character[1]));
        if (in_range(b, kFirstHalfKatakana, kLastHalfKatakana))
            return kStrClassHalfKatakana;
        return kStrClassOther; // 0xA0 to 0xA5, 0xDE and 0xDF
    }
    if (!str_is_single_byte(character))
        return kStrClassTwoByte;
    if (b >= 0x80)
        return kStrClassHighByte;
    if (b <= ' ')
        return kStrClassBlank;
    if (in_range(b, 'A', 'Z') || in_range(b, 'a', 'z'))
        return kStrClassLetter;
    return in_range(b, '0', '9') ? kStrClassDigit : kStrClassOther;
}

static uint16_t two_byte(uint8_t first, uint8_t second) { return uint16_t(first | second << 8); }

static uint16_t narrow_symbol(uint8_t second)
{
    for (const WideSymbol& s : kWideSymbols) {
        if (s.wide == second)
            return uint8_t(s.narrow);
    }
    return two_byte(0x81, second);
}

static uint16_t narrow_katakana(uint8_t second)
{
    for (size_t i = 0; i < sizeof kWideKatakana; ++i) {
        if (kWideKatakana[i] == second)
            return uint16_t(kFirstHalfKatakana + i);
    }
    return two_byte(0x83, second);
}

uint16_t str_narrow_char(uint16_t character, int flags)
{
    if (!str_japanese_rules() || character < 0x100)
        return character;
    uint8_t first = uint8_t(character);
    uint8_t second = uint8_t(character >> 8);
    if (first == 0x82 && (flags & kStrFoldLetters) && in_range(second, 0x60, 0x79))
        return uint16_t('A' + (second - 0x60));
    if (first == 0x82 && (flags & kStrFoldLetters) && in_range(second, 0x81, 0x9A))
        return uint16_t('a' + (second - 0x81));
    if (first == 0x82 && (flags & kStrFoldDigits) && in_range(second, 0x4F, 0x58))
        return uint16_t('0' + (second - 0x4F));
    if (first == 0x81 && (flags & kStrFoldSymbols))
        return narrow_symbol(second);
    if (first == 0x83 && (flags & kStrFoldKatakana))
        return narrow_katakana(second);
    return character;
}

static uint16_t widen_symbol(uint8_t c)
{
    for (const WideSymbol& s : kWideSymbols) {
        if (uint8_t(s.narrow) == c)
            return two_byte(0x81, s.wide);
    }
    return c;
}

uint16_t str_widen_char(uint16_t character, int flags)
{
    if (!str_japanese_rules() || character >= 0x100)
        return character;
    uint8_t c = uint8_t(character);
    if ((flags & kStrFoldLetters) && in_range(c, 'A', 'Z'))
        return two_byte(0x82, uint8_t(c + 0x1F));
    // Lower-case letters widen to the full-width capitals: answers typed in either case then
    // match the capitals of the stored titles.
    if ((flags & kStrFoldLetters) && in_range(c, 'a', 'z'))
        return two_byte(0x82, uint8_t(c - 1));
    if ((flags & kStrFoldDigits) && in_range(c, '0', '9'))
        return two_byte(0x82, uint8_t(c + 0x1F));
    if (flags & kStrFoldSymbols) {
        uint16_t wide = widen_symbol(c);
        if (wide != c)
            return wide;
    }
    if ((flags & kStrFoldKatakana) && in_range(c, kFirstHalfKatakana, kLastHalfKatakana)) {
        uint8_t second = kWideKatakana[c - kFirstHalfKatakana];
        if (second >= 0x40)
            return two_byte(0x83, second);
    }
    return character;
}

using FoldChar = uint16_t (*)(uint16_t character, int flags);

// Steps through src by the Japanese lead-byte rule and writes each folded character while it
// fits.
static int fold_copy(const char* src, char* dst, int size, int flags, FoldChar fold)
{
    if (!dst || size < 1)
        return 0;
    if (!str_japanese_rules())
        return str_copy_bounded(dst, src, size);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(src ? src : "");
    int length = 0;
    while (*p) {
        bool pair = japanese_lead(p[0]) && p[1] != 0;
        uint16_t folded = fold(pair ? two_byte(p[0], p[1]) : p[0], flags);
        int width = folded >= 0x100 ? 2 : 1;
        if (width > size - 1 - length)
            break;
        dst[length++] = char(folded & 0xFF);
        if (width == 2)
            dst[length++] = char(folded >> 8);
        p += pair ? 2 : 1;
    }
    dst[length] = '\0';
    return length;
}

int str_narrow_copy(const char* src, char* dst, int size, int flags)
{
    return fold_copy(src, dst, size, flags, str_narrow_char);
}

int str_widen_copy(const char* src, char* dst, int size, int flags)
{
    return fold_copy(src, dst, size, flags, str_widen_char);
}
