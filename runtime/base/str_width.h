// Character classes and the width folding between half-width and full-width forms that
// Japanese systems need. Folding happens only under Japanese rules (str_japanese_rules);
// otherwise the copies copy unchanged and the one-character functions return their argument.
#pragma once
#include <cstdint>

// Classes of the first character of a text.
enum : int {
    kStrClassEnd = 0,
    kStrClassLetter = 1, // ASCII letter
    kStrClassOther = 3,
    kStrClassHalfKatakana = 4,
    kStrClassBlank = 7, // blank or control, up to 32
    kStrClassHighByte = 8, // one-byte character of 0x80 or above
    kStrClassDigit = 65,
    kStrClassWideLetter = 129,
    kStrClassWideSymbol = 131,
    kStrClassWideKatakana = 132,
    kStrClassWideOther = 133,
    kStrClassKanji = 134,
    kStrClassWideSpace = 135,
    kStrClassTwoByte = 136,
    kStrClassWideDigit = 193,
};
int str_char_class(const char* character);

// Classes of characters that fold.
enum : int {
    kStrFoldLetters = 1,
    kStrFoldDigits = 2,
    kStrFoldSymbols = 4,
    kStrFoldKatakana = 8,
    kStrFoldTitles = 7, // titles and answers
};

// Copies src to dst within size, every character in its narrow (or wide) form; stops before a
// character that would not fit and terminates. The length written. Narrowing may work in place;
// widening needs separate buffers, since its output outgrows its input.
int str_narrow_copy(const char* src, char* dst, int size, int flags);
int str_widen_copy(const char* src, char* dst, int size, int flags);

// One character's narrow or wide form. A two-byte character, argument or result, holds its
// first byte in the low byte and its second byte in the high byte.
uint16_t str_narrow_char(uint16_t character, int flags);
uint16_t str_widen_char(uint16_t character, int flags);
