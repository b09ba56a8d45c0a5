// Hangul composition for the input method: the 2-beolsik keyboard's jamo and the automaton
// that builds syllables from them as they are typed (an initial consonant, a vowel that may
// take a second, a final that may take a second consonant; a vowel after a final moves the
// final to a new syllable). Text is UTF-16: compatibility jamo (U+3131..U+3163) and
// syllables (U+AC00..U+D7A3).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

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
    std::u16string keys;
};

// Adds a typed jamo; a syllable or jamo that is finished by it is appended to committed.
void hangul_feed(HangulComposer& composer, char16_t jamo, std::u16string& committed);
// Takes back the last jamo typed; false when nothing is being composed.
bool hangul_backspace(HangulComposer& composer);
// What is being composed: a syllable, a lone jamo, or "" when nothing.
std::u16string hangul_composition(const HangulComposer& composer);
bool hangul_composing(const HangulComposer& composer);

} // namespace plat
