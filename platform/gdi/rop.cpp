#include "platform/gdi/rop.h"

namespace plat {

uint8_t rop2_to_rop3(int rop2)
{
    if (rop2 < R2_BLACK || rop2 > R2_WHITE)
        rop2 = R2_COPYPEN;
    // The ROP2 table is indexed by P*2 + D; the source bit is a don't-care.
    uint32_t table = uint32_t(rop2 - 1);
    uint8_t index = 0;
    for (int bit = 0; bit < 8; bit++) {
        int pen = bit >> 2 & 1;
        int dest = bit & 1;
        if (table >> (pen * 2 + dest) & 1)
            index = uint8_t(index | 1 << bit);
    }
    return index;
}

// Sum of the minterms the table holds: each set bit adds the values whose P, S, D bits match.
uint32_t rop3_apply(uint8_t index, uint32_t pattern, uint32_t source, uint32_t dest)
{
    uint32_t result = 0;
    for (int bit = 0; bit < 8; bit++) {
        if (!(index >> bit & 1))
            continue;
        uint32_t term = (bit & 4) ? pattern : ~pattern;
        term &= (bit & 2) ? source : ~source;
        term &= (bit & 1) ? dest : ~dest;
        result |= term;
    }
    return result;
}

// One loop per fast path: the compiler keeps each body free of the table walk.
template <typename Op>
static void each(const uint32_t* p, const uint32_t* s, uint32_t* d, int32_t count, uint32_t mask, Op op)
{
    for (int32_t i = 0; i < count; i++)
        d[i] = op(p ? p[i] : 0, s ? s[i] : 0, d[i]) & mask;
}

template <typename Op>
static void each_no_dest(const uint32_t* p, const uint32_t* s, uint32_t* d, int32_t count, uint32_t mask, Op op)
{
    for (int32_t i = 0; i < count; i++)
        d[i] = op(p ? p[i] : 0, s ? s[i] : 0) & mask;
}

static bool fast_path(uint8_t index, const uint32_t* p, const uint32_t* s, uint32_t* d, int32_t n, uint32_t m)
{
    using V = uint32_t;
    switch (index) {
    case 0x00: each_no_dest(p, s, d, n, m, [](V, V) { return 0u; }); return true;
    case 0xFF: each_no_dest(p, s, d, n, m, [](V, V) { return ~0u; }); return true;
    case 0xCC: each_no_dest(p, s, d, n, m, [](V, V s) { return s; }); return true;
    case 0x33: each_no_dest(p, s, d, n, m, [](V, V s) { return ~s; }); return true;
    case 0xF0: each_no_dest(p, s, d, n, m, [](V p, V) { return p; }); return true;
    case 0x0F: each_no_dest(p, s, d, n, m, [](V p, V) { return ~p; }); return true;
    case 0xC0: each_no_dest(p, s, d, n, m, [](V p, V s) { return p & s; }); return true;
    case 0x88: each(p, s, d, n, m, [](V, V s, V d) { return s & d; }); return true;
    case 0xEE: each(p, s, d, n, m, [](V, V s, V d) { return s | d; }); return true;
    case 0x66: each(p, s, d, n, m, [](V, V s, V d) { return s ^ d; }); return true;
    case 0x99: each(p, s, d, n, m, [](V, V s, V d) { return ~(s ^ d); }); return true;
    case 0x44: each(p, s, d, n, m, [](V, V s, V d) { return s & ~d; }); return true;
    case 0x22: each(p, s, d, n, m, [](V, V s, V d) { return ~s & d; }); return true;
    case 0x11: each(p, s, d, n, m, [](V, V s, V d) { return ~(s | d); }); return true;
    case 0xBB: each(p, s, d, n, m, [](V, V s, V d) { return ~s | d; }); return true;
    case 0x55: each(p, s, d, n, m, [](V, V, V d) { return ~d; }); return true;
    case 0x5A: each(p, s, d, n, m, [](V p, V, V d) { return p ^ d; }); return true;
    case 0xA0: each(p, s, d, n, m, [](V p, V, V d) { return p & d; }); return true;
    case 0xFA: each(p, s, d, n, m, [](V p, V, V d) { return p | d; }); return true;
    case 0xFB: each(p, s, d, n, m, [](V p, V s, V d) { return p | ~s | d; }); return true;
    // Pattern select: source where the pattern is 1, destination where it is 0.
    case 0xCA: each(p, s, d, n, m, [](V p, V s, V d) { return (s & p) | (d & ~p); }); return true;
    // Source as a mask: destination where it is 1, pattern where it is 0.
    case 0xB8: each(p, s, d, n, m, [](V p, V s, V d) { return (d & s) | (p & ~s); }); return true;
    // The other way: pattern where the source is 1, destination where it is 0.
    case 0xE2: each(p, s, d, n, m, [](V p, V s, V d) { return (p & s) | (d & ~s); }); return true;
    default: return false;
    }
}

void rop3_row(uint8_t index, const uint32_t* pattern, const uint32_t* source, uint32_t* dest,
    int32_t count, uint32_t mask)
{
    if (fast_path(index, pattern, source, dest, count, mask))
        return;
    bool read_dest = rop3_uses_dest(index);
    for (int32_t i = 0; i < count; i++) {
        uint32_t p = pattern ? pattern[i] : 0;
        uint32_t s = source ? source[i] : 0;
        dest[i] = rop3_apply(index, p, s, read_dest ? dest[i] : 0) & mask;
    }
}

} // namespace plat
