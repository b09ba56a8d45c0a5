// Raster operations. A ROP3 code's bits 16-23 are a truth table over pattern, source and
// destination bits (bit index P*4 + S*2 + D); a ROP2 mode is the same over pen and
// destination. Every code is evaluated; the codes programs use have fast paths.
#pragma once
#include <cstdint>

namespace plat {

enum : uint32_t {
    SRCCOPY = 0x00CC0020,     // S
    SRCPAINT = 0x00EE0086,    // DSo
    SRCAND = 0x008800C6,      // DSa
    SRCINVERT = 0x00660046,   // DSx
    SRCERASE = 0x00440328,    // SDna
    NOTSRCCOPY = 0x00330008,  // Sn
    NOTSRCERASE = 0x001100A6, // DSon
    MERGECOPY = 0x00C000CA,   // PSa
    MERGEPAINT = 0x00BB0226,  // DSno
    PATCOPY = 0x00F00021,     // P
    PATPAINT = 0x00FB0A09,    // DPSnoo
    PATINVERT = 0x005A0049,   // DPx
    DSTINVERT = 0x00550009,   // Dn
    BLACKNESS = 0x00000042,   // 0
    WHITENESS = 0x00FF0062,   // 1
};

// ROP2 modes (SetROP2).
enum : int {
    R2_BLACK = 1,
    R2_NOTMERGEPEN = 2,
    R2_MASKNOTPEN = 3,
    R2_NOTCOPYPEN = 4,
    R2_MASKPENNOT = 5,
    R2_NOT = 6,
    R2_XORPEN = 7,
    R2_NOTMASKPEN = 8,
    R2_MASKPEN = 9,
    R2_NOTXORPEN = 10,
    R2_NOP = 11,
    R2_MERGENOTPEN = 12,
    R2_COPYPEN = 13,
    R2_MERGEPENNOT = 14,
    R2_MERGEPEN = 15,
    R2_WHITE = 16,
};

// The truth table of a ROP3 code.
constexpr uint8_t rop3_index(uint32_t rop) { return uint8_t(rop >> 16); }
// Whether the result depends on the source, the pattern, the destination.
constexpr bool rop3_uses_source(uint8_t index) { return (index >> 2 & 0x33) != (index & 0x33); }
constexpr bool rop3_uses_pattern(uint8_t index) { return (index >> 4 & 0x0F) != (index & 0x0F); }
constexpr bool rop3_uses_dest(uint8_t index) { return (index >> 1 & 0x55) != (index & 0x55); }

// A ROP2 mode as the ROP3 truth table of pattern (the pen or brush) and destination; modes
// outside 1..16 count as R2_COPYPEN.
uint8_t rop2_to_rop3(int rop2);

// The code applied to one triple of values.
uint32_t rop3_apply(uint8_t index, uint32_t pattern, uint32_t source, uint32_t dest);

// dest[i] = rop(pattern[i], source[i], dest[i]) & mask for count values. pattern and source
// may be null when the code does not use them; dest is only read when the code uses it.
void rop3_row(uint8_t index, const uint32_t* pattern, const uint32_t* source, uint32_t* dest,
    int32_t count, uint32_t mask);

} // namespace plat
