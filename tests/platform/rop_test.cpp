#include "platform/gdi/rop.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using namespace plat;

TEST(RopTest, TheEvaluatorReadsTruthTablesInTheStandardOrder)
{
    // With P = 0xF0, S = 0xCC and D = 0xAA every code yields its own truth table.
    for (uint32_t index = 0; index < 256; index++)
        EXPECT_EQ(rop3_apply(uint8_t(index), 0xF0, 0xCC, 0xAA) & 0xFF, index) << std::hex << index;
}

TEST(RopTest, NamedCodesMeanWhatTheirNamesSay)
{
    struct NamedCase {
        const char* name;
        uint32_t rop;
        uint32_t (*formula)(uint32_t p, uint32_t s, uint32_t d);
    };
    static const NamedCase cases[] = {
        {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {"MERGEPAINT", MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {"PATPAINT", PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
        {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
        {"pattern select", 0x00CA0749, [](uint32_t p, uint32_t s, uint32_t d) { return (s & p) | (d & ~p); }},
        {"source not xor destination", 0x00990066, [](uint32_t, uint32_t s, uint32_t d) { return ~(s ^ d); }},
    };
    std::mt19937 random(3);
    for (const NamedCase& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t p = random(), s = random(), d = random();
        EXPECT_EQ(rop3_apply(rop3_index(c.rop), p, s, d), c.formula(p, s, d));
    }
}

TEST(RopTest, RowsOfEveryCodeMatchTheTruthTable)
{
    std::mt19937 random(5);
    uint32_t p[17], s[17], d[17];
    for (int i = 0; i < 17; i++)
        p[i] = random(), s[i] = random(), d[i] = random();
    for (uint32_t index = 0; index < 256; index++) {
        uint32_t row[17];
        std::copy(d, d + 17, row);
        rop3_row(uint8_t(index), p, s, row, 17, 0xFFFFFF);
        for (int i = 0; i < 17; i++)
            ASSERT_EQ(row[i], rop3_apply(uint8_t(index), p[i], s[i], d[i]) & 0xFFFFFF) << std::hex << index;
    }
}

TEST(RopTest, Rop2ModesAreRop3CodesWithoutASource)
{
    struct Rop2Case {
        int mode;
        uint8_t index;
    };
    static const Rop2Case cases[] = {
        {R2_BLACK, 0x00}, {R2_NOT, 0x55}, {R2_XORPEN, 0x5A}, {R2_MASKPEN, 0xA0}, {R2_NOP, 0xAA},
        {R2_NOTCOPYPEN, 0x0F}, {R2_COPYPEN, 0xF0}, {R2_MERGEPEN, 0xFA}, {R2_WHITE, 0xFF}, {0, 0xF0}, {17, 0xF0},
    };
    for (const Rop2Case& c : cases) {
        EXPECT_EQ(rop2_to_rop3(c.mode), c.index) << c.mode;
        EXPECT_FALSE(rop3_uses_source(rop2_to_rop3(c.mode)));
    }
    EXPECT_TRUE(rop3_uses_source(rop3_index(SRCCOPY)));
    EXPECT_FALSE(rop3_uses_pattern(rop3_index(SRCCOPY)));
    EXPECT_FALSE(rop3_uses_dest(rop3_index(SRCCOPY)));
    EXPECT_TRUE(rop3_uses_pattern(0xCA) && rop3_uses_source(0xCA) && rop3_uses_dest(0xCA));
    EXPECT_FALSE(rop3_uses_pattern(rop3_index(DSTINVERT)) || rop3_uses_source(rop3_index(DSTINVERT)));
}

} // namespace
