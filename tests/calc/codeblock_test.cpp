#include "tests/calc/assembler.h"

#include <gtest/gtest.h>

#include "runtime/store/swap.h"

using namespace calctest;

namespace {

// The compiler's layouts of a few small calculations, written out by hand.
struct LayoutCase {
    const char* name;
    std::vector<uint8_t> (*assemble)();
    const char* hex;
};

const LayoutCase kLayoutCases[] = {
    { "a string literal with its kept stream",
        [] {
            Assembler a;
            a.op(kOpPushString, a.text("hi"));
            a.kept_text(kTokString, "hi");
            return a.build(true, true);
        },
        "1900 0300 1400  686900 000000  0200 0600 0000 0000  12 6869 12 00" },
    { "an assignment of 100 to variable 5",
        [] {
            Assembler a;
            a.op(kOpPushVarRef, a.variable(5));
            a.op(kOpPushShort, 100);
            a.op(kOpAssign);
            a.op(kOpPop);
            return a.build();
        },
        "2000 0300 0000  0500 0000 0000  0900 0600 0300 6400 2000 0000 1400 0000 0000 0000" },
    { "a call without arguments",
        [] {
            Assembler a;
            a.op(kOpCall, a.call(0, 31000));
            a.op(kOpPop);
            return a.build();
        },
        "1800 0300 0000  0000 1879 0000  0e00 0600 1400 0000 0000 0000" },
    { "40000 needs a pool integer",
        [] {
            Assembler a;
            a.op(kOpPushLong, a.integer(40000));
            return a.build();
        },
        "1400 0300 0000  409c0000 0000  0700 0600 0000 0000" },
};

// Damaged blocks: each is refused by the validator and by the converter both ways.
struct DamagedCase {
    const char* name;
    const char* hex;
};

const DamagedCase kDamagedCases[] = {
    { "shorter than a header", "0400 0300" },
    { "total past the bytes", "2000 0200 0000 0000  0300 0100 0000 0000" },
    { "total below the header", "0400 0200 0000 0000  0000 0000" },
    { "start inside the header", "0c00 0100 0000  0300 0100 0000 0000" },
    { "start past the end", "1000 0400 0000  0000 0000 0000 0000 0000" },
    { "no instruction", "0800 0200 0000 0000" },
    { "instructions not whole", "0e00 0200 0000 0000  0000 0000 0000 0000 00" },
    { "last is no End", "1000 0200 0000 0000  0000 0000 0300 0100" },
    { "opcode 4", "1000 0200 0000 0000  0400 0000 0000 0000" },
    { "opcode 36", "1000 0200 0000 0000  2400 0000 0000 0000" },
    { "negative opcode", "1000 0200 0000 0000  ffff 0000 0000 0000" },
    { "jump past the end", "1000 0200 0000 0000  1300 0200 0000 0000" },
    { "jump backwards out", "1000 0200 0000 0000  1300 ffff 0000 0000" },
    { "pool offset in the header", "1000 0200 0000 0000  0700 0400 0000 0000" },
    { "pool integer past the pool", "1400 0300 0000  0000 0000 0000  0700 0a00 0000 0000" },
    { "pool real past the pool", "1400 0300 0000  0000 0000 0000  0100 0600 0000 0000" },
    { "pool text without NUL", "1400 0300 0000  6162 6364 6566  0200 0600 0000 0000" },
    { "pool operand at the code", "1400 0300 0000  0000 0000 0000  0800 0c00 0000 0000" },
    { "negative argument count", "1400 0300 0000  ffff 1879 0000  0e00 0600 0000 0000" },
    { "a variable over a call record", "1c00 0300 0000  0000 0000 0000 0000 0000  0e00 0800 0a00 0600 0000 0000" },
    { "a real and an integer at one offset", "1c00 0400 0000  0000 0000 0000 0000 0000  0100 0600 0700 0600 0000 0000" },
    // Found by the fuzz target: swapped to the other order, the real moves the text's NUL.
    { "a real across a text's end",
        "2c00 0500 0000  2020 2020 2020 2220 0020 0702 0a30  0200 0a00 0000 0030 0100 0800 0000 0030 0100 0800 "
        "0000 0046 00" },
    { "a real over a text", "2000 0500 0000  0000 2020 2020 2020 2000 0000 0000  0200 0a00 0100 0800 0000 0000" },
    { "Pick of none", "1000 0200 0000 0000  2300 0000 0000 0000" },
    { "Pick of 32768", "1000 0200 0000 0000  2300 0080 0000 0000" },
    { "kept offset past the end", "1000 0200 1000 0000  0000 0000 0000 0000" },
    { "kept stream without token 0", "1200 0200 1000 0000  0000 0000 0000 0000 1111" },
    { "kept text not closed", "1300 0200 1000 0000  0000 0000 0000 0000 1261 00" },
    { "kept variable cut short", "1500 0200 1000 0000  0000 0000 0000 0000 1805 0000 00" },
    { "kept variable without its closing code", "1a00 0200 1000 0000  0000 0000 0000 0000 1805 0000 0000 0000 17 00" },
};

// Turns a little-endian row into the other order by hand: every 16-bit field of the header
// and instructions swapped (pool left to the caller's own bytes).
std::vector<uint8_t> swapped_words(std::vector<uint8_t> b, size_t from, size_t to)
{
    for (size_t i = from; i + 1 < to; i += 2)
        std::swap(b[i], b[i + 1]);
    return b;
}

} // namespace

TEST(CodeBlock, LayoutsMatchTheHandWrittenBytes)
{
    for (const LayoutCase& row : kLayoutCases) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block = row.assemble();
        EXPECT_EQ(block, hex_bytes(row.hex));
        EXPECT_EQ(code_validate(block.data(), block.size()), 0);
    }
}

TEST(CodeBlock, LayoutOperations)
{
    std::vector<uint8_t> with = kLayoutCases[0].assemble();
    const uint8_t* b = with.data();
    EXPECT_EQ(code_instructions(b), b + 12);
    EXPECT_EQ(code_instructions_end(b), 20u);
    EXPECT_EQ(code_kept_tokens(b), b + 20);
    EXPECT_EQ(code_block_end(b), b + 25);
    std::vector<uint8_t> without = kLayoutCases[1].assemble();
    EXPECT_EQ(code_instructions_end(without.data()), 32u);
    EXPECT_EQ(code_kept_tokens(without.data()), nullptr);
    EXPECT_EQ(code_block_end(without.data()), nullptr);
    EXPECT_EQ(code_units(0), 0u);
    EXPECT_EQ(code_units(5), 2u);
}

TEST(CodeBlock, DamagedBlocksAreRefusedAndLeftAsTheyCame)
{
    for (const DamagedCase& row : kDamagedCases) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block = hex_bytes(row.hex);
        EXPECT_EQ(code_validate(block.data(), block.size()), kCodeDamaged);
        std::vector<uint8_t> copy = block;
        EXPECT_EQ(code_swap_bytes(copy.data(), copy.size(), 0), kCodeDamaged);
        EXPECT_EQ(copy, block);
        // The same bytes arriving in the other order are damaged too.
        std::vector<uint8_t> foreign = swapped_words(block, 0, block.size());
        copy = foreign;
        EXPECT_EQ(code_swap_bytes(copy.data(), copy.size(), 1), kCodeDamaged);
        EXPECT_EQ(copy, foreign);
    }
}

TEST(CodeBlock, InstructionIteratorGoesPastAnEndInTheMiddle)
{
    Assembler a;
    a.op(kOpPushReal, a.real(2.5));
    a.op(kOpEnd);
    a.op(kOpPushSymbol, a.text("abc"));
    int16_t var = a.variable(7, 1, 3);
    a.op(kOpPushVar, var);
    a.op(kOpAssignDirect, var);
    a.op(kOpCall, a.call(2, 31005));
    a.op(kOpPushLong, a.integer(-5));
    a.op(kOpPushShort, -9);
    std::vector<uint8_t> block = a.build();
    ASSERT_EQ(code_validate(block.data(), block.size()), 0);
    static const struct {
        int16_t opcode;
        uint32_t size;
    } kExpected[] = { { 1, 8 }, { 0, 0 }, { 24, 4 }, { 8, 6 }, { 10, 6 }, { 14, 4 }, { 7, 4 }, { 3, 0 }, { 0, 0 } };
    CodeIterator it;
    code_iter_init(it, block.data());
    for (const auto& want : kExpected) {
        CodeInstruction in;
        const uint8_t* data;
        uint32_t size;
        ASSERT_EQ(code_iter_next(it, &in, &data, &size), 1);
        EXPECT_EQ(in.opcode, want.opcode);
        EXPECT_EQ(size, want.size);
        EXPECT_EQ(data == nullptr, want.size == 0);
    }
    CodeInstruction in;
    const uint8_t* data;
    uint32_t size;
    EXPECT_EQ(code_iter_next(it, &in, &data, &size), 0);
}

TEST(CodeBlock, KeptTokenIterator)
{
    Assembler a;
    a.kept_text(kTokInteger, "12");
    a.kept({ 5 });
    a.kept_text(kTokTrivia, " ;note");
    a.kept({ kTokVariable, 5, 0, 0, 0, 0, 0, kTokVariable });
    a.kept({ kTokFunction, 0x18, 0x79, kTokFunction });
    a.kept({ kTokFourBytes, 1, 2, 3, 4, kTokFourBytes });
    a.kept_text(kTokSymbol, "");
    std::vector<uint8_t> block = a.build(true, true);
    ASSERT_EQ(code_validate(block.data(), block.size()), 0);
    static const struct {
        uint8_t token;
        uint32_t size;
    } kExpected[] = { { 17, 2 }, { 5, 0 }, { 25, 6 }, { 24, 6 }, { 33, 2 }, { 22, 4 }, { 34, 0 } };
    KeptTokenIterator it;
    kept_iter_init(it, block.data());
    for (const auto& want : kExpected) {
        uint8_t token;
        const uint8_t* data;
        uint32_t size;
        ASSERT_EQ(kept_iter_next(it, &token, &data, &size), 1);
        EXPECT_EQ(token, want.token);
        EXPECT_EQ(size, want.size);
    }
    uint8_t token;
    const uint8_t* data;
    uint32_t size;
    EXPECT_EQ(kept_iter_next(it, &token, &data, &size), 0);
    // Without a stream there is nothing to walk.
    std::vector<uint8_t> bare = kLayoutCases[1].assemble();
    kept_iter_init(it, bare.data());
    EXPECT_EQ(kept_iter_next(it, &token, &data, &size), 0);
}

namespace {

struct RemapLog {
    int refuse_kind = -1; // refuse the first id of this kind
    int calls = 0;
};

// Variables 5 become 6, function 31000 becomes 31001.
int remap(int kind, uint8_t* id, void* user)
{
    auto* log = static_cast<RemapLog*>(user);
    ++log->calls;
    if (kind == log->refuse_kind)
        return 0;
    if (kind == kRemapVariable && id[0] == 5)
        id[0] = 6;
    if (kind == kRemapFunction && id[0] == 0x18 && id[1] == 0x79)
        id[0] = 0x19;
    return 1;
}

std::vector<uint8_t> remap_block(uint16_t variable)
{
    Assembler a;
    a.op(kOpPushVar, a.variable(variable));
    a.op(kOpCall, a.call(1, 31000));
    a.kept({ kTokVariable, uint8_t(variable), 0, 0, 0, 0, 0, kTokVariable });
    a.kept({ kTokFunction, 0x18, 0x79, kTokFunction });
    return a.build(true, true);
}

} // namespace

TEST(CodeBlock, RemapIdsInTwoPasses)
{
    std::vector<uint8_t> block = remap_block(5);
    RemapLog log;
    int changed = 0;
    ASSERT_EQ(code_remap_ids(block.data(), remap, &log, &changed), 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(log.calls, 4);
    std::vector<uint8_t> expected = remap_block(6);
    expected[expected.size() - 5 + 1] = 0x19; // the kept function id
    std::vector<uint8_t> want = expected;
    want[14] = 0x19; // the pool call record's id (pool: variable at 6, call at 12)
    EXPECT_EQ(block, want);

    // A refusal after a change leaves every byte as it was.
    block = remap_block(5);
    std::vector<uint8_t> before = block;
    log = RemapLog { kRemapFunction };
    EXPECT_EQ(code_remap_ids(block.data(), remap, &log, &changed), 0);
    EXPECT_EQ(block, before);

    // Nothing changed in the instructions: the kept stream is not walked.
    block = remap_block(9);
    log = RemapLog {};
    block[14] = 0; // the call's id 31000 -> 30976, which stays
    ASSERT_EQ(code_remap_ids(block.data(), remap, &log, &changed), 1);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(log.calls, 2);
}

TEST(CodeBlock, ConvertsToTheOtherOrderAndBack)
{
    Assembler a;
    int16_t real = a.real(1.5);
    a.op(kOpPushReal, real);
    a.op(kOpPushReal, real); // one entry named twice is swapped once
    a.op(kOpPushLong, a.integer(0x01020304));
    a.op(kOpPushString, a.text("ab"));
    a.op(kOpAssignDirect, a.variable(0x0102, 1, 0x0304));
    a.op(kOpCall, a.call(2, 0x7918));
    a.op(kOpJump, 7);
    a.kept({ kTokVariable, 2, 1, 1, 0, 4, 3, kTokVariable });
    a.kept({ kTokFunction, 0x18, 0x79, kTokFunction });
    a.kept_text(kTokString, "ab");
    std::vector<uint8_t> native = a.build(true, true);

    // The same block as a big-endian machine writes it.
    std::vector<uint8_t> big = hex_bytes(
        "0051 0008 0040"                          // total 81, start 8, kept at 64
        "3ff8000000000000 01020304 616200"       // pool: 1.5, the integer, "ab"
        "0102 0001 0304  0002 7918 00"            // variable, call record, padding
        "0001 0006 0001 0006 0007 000e 0002 0012" // instructions
        "000a 0015 000e 001b 0013 0007 0000 0000"
        "18 0102 0001 0304 18  21 7918 21  12 6162 12  00");
    ASSERT_EQ(native.size(), big.size());

    std::vector<uint8_t> b = native;
    ASSERT_EQ(code_swap_bytes(b.data(), b.size(), 0), 0);
    EXPECT_EQ(b, big);
    ASSERT_EQ(code_swap_bytes(b.data(), b.size(), 1), 0);
    EXPECT_EQ(b, native);

    // Through the record converters' hook, which does nothing while swapping is off.
    code_init();
    b = big;
    EXPECT_EQ(swap_call_hook(kSwapHookCalc, 1000, b.data(), b.size()), 0);
    EXPECT_EQ(b, big);
    {
        SwapScope scope(1);
        EXPECT_EQ(swap_call_hook(kSwapHookCalc, 1000, b.data(), b.size()), 0);
    }
    EXPECT_EQ(b, native);
    swap_reset();
}
