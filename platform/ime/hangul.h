// Hangul composition for the input method: the jamo the keys type on the 2-beolsik and the
// 3-beolsik 390 keyboards and the automaton that builds syllables from them as they are typed.
// On 2-beolsik a consonant key serves initials and finals alike (an initial consonant, a vowel
// that may take a second, a final that may take a second consonant; a vowel after a final
// moves the final to a new syllable). On 390 every key types an initial, a medial or a final
// of its own, so a syllable ends exactly where the next initial or vowel begins: an initial
// typed twice doubles, vowels and finals combine in pairs. Text is UTF-16: compatibility jamo
// (U+3131..U+3163) and syllables (U+AC00..U+D7A3).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

enum class HangulLayout : uint8_t { two_set, three_set_390 };
enum class JamoRole : uint8_t { none, initial, medial, final };

// What a key types: a compatibility jamo in its role, or a character of its own (role none;
// 390 moves digits and signs), or nothing (ch 0). 2-beolsik's consonant keys count as
// initials, since the layout does not tell.
struct HangulKey {
    char16_t ch = 0;
    JamoRole role = JamoRole::none;
    bool operator==(const HangulKey&) const = default;
};

// The key vk (a letter, digit or sign key of the US keyboard) with or without Shift.
HangulKey hangul_key(HangulLayout layout, uint32_t vk, bool shift);
// Whether the layout gives vk a meaning of its own: the input method takes such keys in
// Hangul mode.
bool hangul_layout_has_key(HangulLayout layout, uint32_t vk);
// The keystrokes that type a syllable or a compatibility jamo on the layout, in order; empty
// for any other character.
std::vector<HangulKey> hangul_keys_of(HangulLayout layout, char16_t ch);

// The jamo a key types on the 2-beolsik layout (Shift gives the doubled consonants and the
// two extra vowels); 0 for a key that types none.
char16_t hangul_key_jamo(uint32_t vk, bool shift);
// The key and Shift state that type a jamo on the 2-beolsik layout; false for none.
bool hangul_jamo_key(char16_t jamo, uint32_t& vk, bool& shift);
// The jamo that type a syllable or a jamo, in order (compound vowels and finals as two);
// empty for any other character.
std::u16string hangul_decompose(char16_t ch);

// The syllable being composed. keys holds the jamo typed since it began, so that a backspace
// takes back one keystroke. A consonant cluster typed alone (ㄳ) is a final without an
// initial and a vowel.
struct HangulComposer {
    char16_t initial = 0; // compatibility jamo, 0 when none
    char16_t medial = 0;
    char16_t final = 0;
    std::vector<HangulKey> keys;
    HangulLayout layout = HangulLayout::two_set; // of the keys
};

// Adds a keystroke typed on the layout (a character of role none is not for the composer and
// is ignored); a syllable or jamo that is finished by it is appended to committed.
void hangul_feed(HangulComposer& composer, HangulLayout layout, HangulKey key, std::u16string& committed);
// A jamo typed on 2-beolsik.
void hangul_feed(HangulComposer& composer, char16_t jamo, std::u16string& committed);
// Takes back the last jamo typed; false when nothing is being composed.
bool hangul_backspace(HangulComposer& composer);
// What is being composed: a syllable, a lone jamo, or "" when nothing.
std::u16string hangul_composition(const HangulComposer& composer);
bool hangul_composing(const HangulComposer& composer);

} // namespace plat
