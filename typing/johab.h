// Korean text inside the typing tutor: Johab codes, whose three 5-bit fields name a syllable's
// initial, medial and final jamo, and conversions to Unicode and to the system's CP949 text.
// Codes are u16: a single-byte character is below 0x80, a double-byte one is lead << 8 | trail.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The fields of a Johab code, and the fill values that mean "no jamo here".
inline int johab_initial(uint16_t code) { return code >> 10 & 31; }
inline int johab_medial(uint16_t code) { return code >> 5 & 31; }
inline int johab_final(uint16_t code) { return code & 31; }
constexpr int kJohabInitialFill = 1;
constexpr int kJohabMedialFill = 2;
constexpr int kJohabFinalFill = 1;

// Unicode of a syllable (U+AC00..U+D7A3) or of one of the 51 compatibility jamo (U+3131..
// U+3163); 0 for anything else, including codes with a field outside the syllable ranges.
uint32_t johab_to_unicode(uint16_t code);
// The Johab code of such a character; 0 for anything else.
uint16_t unicode_to_johab(uint32_t code_point);

// One character of CP949 to Johab and back. Codes below 0x80 are returned unchanged; Hangul
// goes through Unicode; the other characters of KS X 1001 (symbols and Hanja) take the
// standard Johab mapping of their rows; anything else gives 0.
uint16_t wansung_char_to_johab(uint16_t code);
uint16_t johab_char_to_wansung(uint16_t code);

// Whole texts (up to the first NUL) from CP949 to Johab and back, at most 255 bytes: a longer
// text is cut before the character that would not fit. A pair that has no counterpart is
// copied as it stands, both bytes.
std::string wansung_to_johab(std::string_view text);
std::string johab_to_wansung(std::string_view text);

// Splits a text (up to the first NUL) into codes, a byte with the top bit set taking the next
// byte with it; a lead byte without its trail byte is dropped. codes_to_dbcs is the reverse.
std::vector<uint16_t> dbcs_to_codes(std::string_view text);
std::string codes_to_dbcs(std::span<const uint16_t> codes);

// What the bitmap font can draw of a code.
enum JohabClass : int {
    kJohabNotDrawable = -1,
    kJohabHangul = 0, // a syllable or lone jamo, composed from jamo glyphs
    kJohabHanja = 1,
    kJohabSymbol = 2,
};
JohabClass johab_classify(uint16_t code);

// The KS X 1001 (CP949) code of a drawable character: a Hangul syllable among the standard's
// 2,350, a symbol or a Hanja; 0 when it has none.
uint16_t johab_to_ksc(uint16_t code);

// Whether a text is Korean: it holds double-byte codes and more than 90 percent of them are
// drawable.
bool johab_text_is_korean(std::string_view text);
