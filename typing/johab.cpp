// Johab codes. Syllables convert to Unicode by arithmetic on the fields; lone jamo and the
// CP949 side go through tables (the jamo table here, CP949 from the platform's code page).
#include "typing/johab.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <iterator>

constexpr uint32_t kSyllableFirst = 0xAC00;
constexpr uint32_t kSyllableLast = 0xD7A3;
constexpr uint32_t kJamoFirst = 0x3131;
constexpr size_t kTextLimit = 255; // the tutor's text buffers hold 255 bytes and a NUL

// The 51 compatibility jamo U+3131..U+3163 in that order: a consonant that can begin a syllable
// is an initial, a cluster that only ends one is a final, a vowel a medial; the other two
// fields hold their fill values.
static const uint16_t kCompatJamo[51] = {
    0x8841, 0x8C41, 0x8444, 0x9041, 0x8446, 0x8447, 0x9441, 0x9841, 0x9C41, 0x844A, // ㄱ ㄲ ㄳ ㄴ ㄵ ㄶ ㄷ ㄸ ㄹ ㄺ
    0x844B, 0x844C, 0x844D, 0x844E, 0x844F, 0x8450, 0xA041, 0xA441, 0xA841, 0x8454, // ㄻ ㄼ ㄽ ㄾ ㄿ ㅀ ㅁ ㅂ ㅃ ㅄ
    0xAC41, 0xB041, 0xB441, 0xB841, 0xBC41, 0xC041, 0xC441, 0xC841, 0xCC41, 0xD041, // ㅅ ㅆ ㅇ ㅈ ㅉ ㅊ ㅋ ㅌ ㅍ ㅎ
    0x8461, 0x8481, 0x84A1, 0x84C1, 0x84E1, 0x8541, 0x8561, 0x8581, 0x85A1, 0x85C1, // ㅏ ㅐ ㅑ ㅒ ㅓ ㅔ ㅕ ㅖ ㅗ ㅘ
    0x85E1, 0x8641, 0x8661, 0x8681, 0x86A1, 0x86C1, 0x86E1, 0x8741, 0x8761, 0x8781, // ㅙ ㅚ ㅛ ㅜ ㅝ ㅞ ㅟ ㅠ ㅡ ㅢ
    0x87A1, // ㅣ
};

// The rows of KS X 1001 outside Hangul, and the Johab lead bytes that hold them two rows each.
struct KsRowBlock {
    uint8_t first_row; // KS lead byte of the block's first row
    uint8_t last_row;
    uint8_t first_lead; // Johab lead byte of the first two rows
};
static const KsRowBlock kKsRowBlocks[] = {
    {0xA1, 0xAC, 0xD9}, // symbols, twelve rows in six lead bytes
    {0xCA, 0xFD, 0xE0}, // Hanja, 52 rows in 26 lead bytes
};

static bool is_initial_field(int field) { return field >= 2 && field <= 20; }
static bool is_final_field(int field) { return field >= 1 && field <= 29 && field != 18; }

// The 21 vowels leave gaps of two field values after every sixth.
static bool is_medial_field(int field)
{
    return field >= 3 && field <= 29 && field % 8 != 0 && field % 8 != 1;
}

static bool is_syllable(uint16_t code)
{
    return (code & 0x8000) && is_initial_field(johab_initial(code))
        && is_medial_field(johab_medial(code)) && is_final_field(johab_final(code));
}

uint32_t johab_to_unicode(uint16_t code)
{
    if (is_syllable(code)) {
        int initial = johab_initial(code);
        int medial = johab_medial(code);
        int final = johab_final(code);
        return kSyllableFirst + (initial - 2) * 588 + (medial - 2 * (medial / 8) - 3) * 28
            + (final - 1 - (final > 17 ? 1 : 0));
    }
    const uint16_t* end = std::end(kCompatJamo);
    const uint16_t* found = std::find(std::begin(kCompatJamo), end, code);
    return found == end ? 0 : kJamoFirst + uint32_t(found - kCompatJamo);
}

uint16_t unicode_to_johab(uint32_t code_point)
{
    if (code_point >= kJamoFirst && code_point - kJamoFirst < std::size(kCompatJamo))
        return kCompatJamo[code_point - kJamoFirst];
    if (code_point < kSyllableFirst || code_point > kSyllableLast)
        return 0;
    uint32_t s = code_point - kSyllableFirst;
    uint32_t initial = s / 588 + 2;
    uint32_t m = s % 588 / 28;
    uint32_t t = s % 28;
    uint32_t medial = m + 2 * ((m + 1) / 6) + 3;
    uint32_t final = t + 1 + (t > 16 ? 1 : 0);
    return uint16_t(0x8000 | initial << 10 | medial << 5 | final);
}

// A KS X 1001 symbol or Hanja to Johab: each Johab lead byte holds two rows, the first in the
// trail bytes 0x31..0x7E and 0x91..0xA0, the second in 0xA1..0xFE.
static uint16_t ks_other_to_johab(uint16_t ks)
{
    int row = ks >> 8;
    int cell = ks & 0xFF;
    if (cell < 0xA1 || cell > 0xFE)
        return 0;
    for (const KsRowBlock& block : kKsRowBlocks) {
        if (row < block.first_row || row > block.last_row)
            continue;
        int pair = row - block.first_row;
        int lead = block.first_lead + pair / 2;
        int column = cell - 0xA1; // 0..93
        int trail = pair % 2 ? 0xA1 + column : column < 78 ? 0x31 + column : 0x91 + column - 78;
        return uint16_t(lead << 8 | trail);
    }
    return 0;
}

static uint16_t johab_other_to_ks(uint16_t code)
{
    int lead = code >> 8;
    int trail = code & 0xFF;
    for (const KsRowBlock& block : kKsRowBlocks) {
        int pairs = (block.last_row - block.first_row + 2) / 2;
        if (lead < block.first_lead || lead >= block.first_lead + pairs)
            continue;
        int row = block.first_row + (lead - block.first_lead) * 2;
        int column;
        if (trail >= 0xA1 && trail <= 0xFE)
            row += 1, column = trail - 0xA1;
        else if (trail >= 0x31 && trail <= 0x7E)
            column = trail - 0x31;
        else if (trail >= 0x91 && trail <= 0xA0)
            column = trail - 0x91 + 78;
        else
            return 0;
        return row > block.last_row ? 0 : uint16_t(row << 8 | (0xA1 + column));
    }
    return 0;
}

// One CP949 character to Unicode; 0 when the page has none for it.
static uint32_t wansung_to_unicode(uint16_t code)
{
    char bytes[2] = {char(code >> 8), char(code & 0xFF)};
    std::u16string wide = plat::multi_byte_to_wide(plat::CP_KOREAN, std::string_view(bytes, 2));
    return wide.size() == 1 && wide[0] != u'\uFFFD' ? wide[0] : 0;
}

// One Unicode character to CP949; 0 when the page cannot write it.
static uint16_t unicode_to_wansung(uint32_t code_point)
{
    std::u16string wide(1, char16_t(code_point));
    std::string bytes = plat::wide_to_multi_byte(plat::CP_KOREAN, wide);
    if (bytes.size() != 2)
        return 0; // '?' stands for a character the page lacks
    return uint16_t(uint8_t(bytes[0]) << 8 | uint8_t(bytes[1]));
}

uint16_t wansung_char_to_johab(uint16_t code)
{
    if (code < 0x80)
        return code;
    if (code <= 0xFF)
        return 0;
    uint16_t johab = unicode_to_johab(wansung_to_unicode(code));
    return johab ? johab : ks_other_to_johab(code);
}

uint16_t johab_char_to_wansung(uint16_t code)
{
    if (code < 0x80)
        return code;
    uint32_t code_point = johab_to_unicode(code);
    if (code_point)
        return unicode_to_wansung(code_point);
    return johab_other_to_ks(code);
}

using CharConverter = uint16_t (*)(uint16_t);

// Converts character by character; a pair without a counterpart is copied whole, so that its
// trail byte is never read as a character of its own.
static std::string convert_text(std::string_view text, CharConverter convert)
{
    std::string out;
    for (uint16_t code : dbcs_to_codes(text)) {
        if (code < 0x80) {
            if (out.size() + 1 > kTextLimit)
                break;
            out += char(code);
            continue;
        }
        if (out.size() + 2 > kTextLimit)
            break;
        uint16_t converted = convert(code);
        uint16_t written = converted ? converted : code;
        out += char(written >> 8);
        out += char(written & 0xFF);
    }
    return out;
}

std::string wansung_to_johab(std::string_view text)
{
    return convert_text(text, wansung_char_to_johab);
}

std::string johab_to_wansung(std::string_view text)
{
    return convert_text(text, johab_char_to_wansung);
}

std::vector<uint16_t> dbcs_to_codes(std::string_view text)
{
    std::vector<uint16_t> codes;
    for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        uint8_t byte = uint8_t(text[i]);
        if (byte < 0x80) {
            codes.push_back(byte);
            continue;
        }
        if (i + 1 >= text.size() || text[i + 1] == 0)
            break; // a lead byte at the end has lost its trail byte
        codes.push_back(uint16_t(byte << 8 | uint8_t(text[++i])));
    }
    return codes;
}

std::string codes_to_dbcs(std::span<const uint16_t> codes)
{
    std::string text;
    for (uint16_t code : codes) {
        if (code == 0)
            break;
        if (code > 0xFF)
            text += char(code >> 8);
        text += char(code & 0xFF);
    }
    return text;
}

static bool is_other_trail(int trail)
{
    return (trail >= 0x31 && trail <= 0x7E) || (trail >= 0x91 && trail <= 0xFE);
}

// Hangul here is anything whose fields look like a syllable or a lone jamo: the font composes
// it from jamo glyphs, and a field it has no glyph for draws nothing.
JohabClass johab_classify(uint16_t code)
{
    if (!(code & 0x8000))
        return kJohabNotDrawable;
    int initial = johab_initial(code);
    int medial = johab_medial(code);
    if (is_final_field(johab_final(code)) && medial >= 2 && medial <= 29 && initial >= 1
        && initial <= 20)
        return kJohabHangul;
    int lead = code >> 8;
    if (!is_other_trail(code & 0xFF))
        return kJohabNotDrawable;
    if (lead >= 0xE0 && lead <= 0xF9)
        return kJohabHanja;
    if (lead >= 0xD9 && lead <= 0xDE)
        return kJohabSymbol;
    return kJohabNotDrawable;
}

uint16_t johab_to_ksc(uint16_t code)
{
    switch (johab_classify(code)) {
    case kJohabHangul: {
        uint32_t code_point = johab_to_unicode(code);
        if (code_point < kSyllableFirst)
            return 0; // lone jamo are not among the standard's syllables
        uint16_t ks = unicode_to_wansung(code_point);
        // CP949 keeps the standard's 2,350 syllables in rows B0..C8, cells A1..FE, and puts
        // the other syllables in lead and trail bytes outside them.
        int row = ks >> 8;
        int cell = ks & 0xFF;
        return row >= 0xB0 && row <= 0xC8 && cell >= 0xA1 ? ks : 0;
    }
    case kJohabHanja:
    case kJohabSymbol:
        return johab_other_to_ks(code);
    default:
        return 0;
    }
}

bool johab_text_is_korean(std::string_view text)
{
    int double_byte = 0;
    int drawable = 0;
    for (uint16_t code : dbcs_to_codes(text)) {
        if (code < 0x80)
            continue;
        ++double_byte;
        if (johab_classify(code) != kJohabNotDrawable)
            ++drawable;
    }
    return double_byte > 0 && drawable * 100 / double_byte > 90;
}
