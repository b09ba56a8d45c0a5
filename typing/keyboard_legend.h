// The legends of the four keyboard layouts the lessons teach: for each layout and Shift state,
// the code each key types, row by row and key by key as the keyboard pictures show them. The
// lessons light a key by finding its code here (in the unshifted rows first: Shift with a key
// whose legend does not change types the same code); the keyboard pictures are drawn from it.
#pragma once
#include <cstdint>

constexpr int kLegendLayouts = 4; // by layout index: 2-beolsik, 3-beolsik 390, QWERTY, Dvorak
constexpr int kLegendShifts = 2; // unshifted, shifted
constexpr int kLegendRows = 5; // the digit row at the top, the space bar's row at the bottom
constexpr int kLegendColumns = 15;
constexpr int kLegendRowLength[kLegendRows] = {14, 14, 13, 12, 5};
constexpr int kLegendSpaceColumn = 2; // of row 4: Ctrl, Alt, the space bar, Alt, Ctrl

// Keys that type no character; no character has these codes.
constexpr uint16_t kKeyBackspace = 0x08;
constexpr uint16_t kKeyTab = 0x09;
constexpr uint16_t kKeyEnter = 0x0D;
constexpr uint16_t kKeyShift = 0x10;
constexpr uint16_t kKeyCtrl = 0x11;
constexpr uint16_t kKeyAlt = 0x12;
constexpr uint16_t kKeyCapsLock = 0x14;

// A code is the byte of a single-byte character, or the Johab code of a jamo: consonants that
// begin syllables as (initial, fill, fill), vowels as (fill, medial, fill), and the final
// consonants that 3-beolsik types with keys of their own as (fill, fill, final). Columns past
// a row's length are 0.
extern const uint16_t kKeyboardLegend[kLegendLayouts][kLegendShifts][kLegendRows][kLegendColumns];
