// The compiler: (source, block) rows whose blocks are written with the test assembler, the
// errors of the scanner and the parser with their ranges, and compiled programs run.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/byte_io.h"
#include "runtime/calc/detok.h"
#include "runtime/calc/interp_ops.h"
#include "runtime/calc/scanner.h"
#include "tests/calc/assembler.h"
#include "tests/calc/compile_fixture.h"
#include "tests/calc/interp_fixture.h"
#include "runtime/text/charmap.h"

namespace {

using calctest::Assembler;
using calctest::CompileTest;

using calctest::E;
using calctest::S;
constexpr int kSys = kSysFnFirstId;

struct CodeRow {
    const char* name;
    const char* source;
    CompileKind kind;
    void (*build)(Assembler&);
};

int16_t x_ref(Assembler& a) { return a.variable(1); }
int16_t y_ref(Assembler& a) { return a.variable(2); }
// An expression that starts with a variable is first tried as an assignment's target; the
// pool entry of that try stays behind when it turns out to be none.
void tried_target(Assembler& a, uint16_t id) { a.variable(id); }

static const CodeRow kCodeRows[] = {
    { "assignment of 100", "x := 100", S, [](Assembler& a) {
        int16_t v = x_ref(a);
        a.op(kOpPushVarRef, v), a.op(kOpPushShort, 100), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "a statement's = assigns", "x = 5", S, [](Assembler& a) {
        int16_t v = x_ref(a);
        a.op(kOpPushVarRef, v), a.op(kOpPushShort, 5), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "name with a space", "my total := 3", S, [](Assembler& a) {
        int16_t v = a.variable(4);
        a.op(kOpPushVarRef, v), a.op(kOpPushShort, 3), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "a string alone", "\"abc\"", E, [](Assembler& a) { a.op(kOpPushString, a.text("abc")); } },
    { "empty text", "", E, [](Assembler&) {} },
    { "40000 needs the pool", "40000", E, [](Assembler& a) { a.op(kOpPushLong, a.integer(40000)); } },
    { "1000 is immediate", "1000", E, [](Assembler& a) { a.op(kOpPushShort, 1000); } },
    { "ten digits are a real", "1234567890", E, [](Assembler& a) { a.op(kOpPushReal, a.real(1234567890.0)); } },
    { "leading decimal point", ".5", E, [](Assembler& a) { a.op(kOpPushReal, a.real(0.5)); } },
    { "times before plus", "1 + 2 * 3", E, [](Assembler& a) {
        a.op(kOpPushShort, 1), a.op(kOpPushShort, 2), a.op(kOpPushShort, 3);
        a.op(kOpArith, kOperTimes), a.op(kOpArith, kOperPlus);
    } },
    { "join looser than plus", "\"a\" ^ 1 + 2", E, [](Assembler& a) {
        a.op(kOpPushString, a.text("a")), a.op(kOpPushShort, 1), a.op(kOpPushShort, 2);
        a.op(kOpArith, kOperPlus), a.op(kOpArith, kOperJoin);
    } },
    { "minus before power", "-2 ** 2", E, [](Assembler& a) {
        a.op(kOpPushShort, 2), a.op(kOpUnary, kOperMinus), a.op(kOpPushShort, 2), a.op(kOpArith, kOperPower);
    } },
    { "power left to right", "2 ** 3 ** 2", E, [](Assembler& a) {
        a.op(kOpPushShort, 2), a.op(kOpPushShort, 3), a.op(kOpArith, kOperPower);
        a.op(kOpPushShort, 2), a.op(kOpArith, kOperPower);
    } },
    { "not", "~x", E, [](Assembler& a) { a.op(kOpPushVar, x_ref(a)), a.op(kOpUnary, kOperNot); } },
    { "chained comparison", "x > 1 & < 5", E, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 1), a.op(kOpCompare, kOperGreater);
        a.op(kOpAndJump, 6), a.op(kOpPushShort, 5), a.op(kOpCompare, kOperLess), a.op(kOpNip);
    } },
    { "or of comparisons", "x = 1 | y = 2", E, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 1), a.op(kOpCompare, kOperEqual), a.op(kOpNip);
        a.op(kOpOrJump, 9);
        a.op(kOpPushVar, y_ref(a)), a.op(kOpPushShort, 2), a.op(kOpCompare, kOperEqual), a.op(kOpNip);
    } },
    { "TRUE and OFF", "TRUE & OFF", E, [](Assembler& a) {
        a.op(kOpPushShort, 1), a.op(kOpAndJump, 3), a.op(kOpPushShort, 0);
    } },
    { "Test without its third part", "Test(x > 0, 5)", E, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 0), a.op(kOpCompare, kOperGreater), a.op(kOpNip);
        a.op(kOpJumpIfFalse, 7), a.op(kOpPushShort, 5), a.op(kOpJump, 8), a.op(kOpPushShort, 0);
    } },
    { "Test as a statement assigns", "Test(x, y = 1, y = 2)", S, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpJumpIfFalse, 6);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 1), a.op(kOpAssign), a.op(kOpJump, 9);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 2), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "linear list", "[1, 2, 3]", E, [](Assembler& a) {
        a.op(kOpNewLinearList);
        for (int16_t i = 1; i <= 3; ++i)
            a.op(kOpPushShort, i), a.op(kOpListAppend);
    } },
    { "property list", "[#a: 1]", E, [](Assembler& a) {
        a.op(kOpNewPropList), a.op(kOpPushSymbol, a.text("a")), a.op(kOpPushShort, 1), a.op(kOpPropListAppend);
    } },
    { "empty lists", "[] ^ [:]", E, [](Assembler& a) {
        a.op(kOpNewLinearList), a.op(kOpNewPropList), a.op(kOpArith, kOperJoin);
    } },
    { "indexed target", "x[2] := 5", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushShort, 2), a.op(kOpPushShort, 5);
        a.op(kOpAssignElement), a.op(kOpPop);
    } },
    { "two indexes", "x[1, 2] ^ x[1][2]", E, [](Assembler& a) {
        tried_target(a, 1);
        for (int n = 0; n < 2; ++n) {
            a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 1), a.op(kOpIndex);
            a.op(kOpPushShort, 2), a.op(kOpIndex);
        }
        a.op(kOpArith, kOperJoin);
    } },
    { "assignment as a value", "x := y := 3", E, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 3);
        a.op(kOpAssign), a.op(kOpAssign);
    } },
    { "icon computed at run time", "x@(1) := 3", S, [](Assembler& a) {
        int16_t v = a.variable(1, 1, 0);
        a.op(kOpPushShort, 1), a.op(kOpPushIconVarRef, v), a.op(kOpPushShort, 3), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "line if", "if x then y := 1", S, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpJumpIfFalse, 6);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 1), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "block if with else", "if x then\ny := 1\nelse\ny := 2\nend if", S, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpJumpIfFalse, 7);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 1), a.op(kOpAssign), a.op(kOpPop), a.op(kOpJump, 11);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 2), a.op(kOpAssign), a.op(kOpPop);
    } },
    { "else if chains", "if x then y := 1 else if y then Beep()", S, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpJumpIfFalse, 7);
        a.op(kOpPushVarRef, y_ref(a)), a.op(kOpPushShort, 1), a.op(kOpAssign), a.op(kOpPop), a.op(kOpJump, 11);
        tried_target(a, 2);
        a.op(kOpPushVar, y_ref(a)), a.op(kOpJumpIfFalse, 11), a.op(kOpCall, a.call(0, kSys + 51)), a.op(kOpPop);
    } },
    { "repeat while", "repeat while x < 3\nx := x + 1\nend repeat", S, [](Assembler& a) {
        tried_target(a, 1);
        a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 3), a.op(kOpCompare, kOperLess), a.op(kOpNip);
        a.op(kOpJumpIfFalse, 12);
        int16_t target = x_ref(a);
        tried_target(a, 1);
        a.op(kOpPushVarRef, target), a.op(kOpPushVar, x_ref(a)), a.op(kOpPushShort, 1);
        a.op(kOpArith, kOperPlus), a.op(kOpAssign), a.op(kOpPop), a.op(kOpJump, 0);
    } },
    { "repeat to", "repeat with x := 1 to 3\ny := x\nend repeat", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPick, 1), a.op(kOpPushShort, 1), a.op(kOpJump, 8);
        a.op(kOpPick, 1), a.op(kOpPick, -1), a.op(kOpPushShort, 1), a.op(kOpArith, kOperPlus);
        a.op(kOpAssign), a.op(kOpPushShort, 3), a.op(kOpCompare, kOperLessEqual), a.op(kOpNip);
        a.op(kOpJumpIfFalse, 18);
        int16_t target = y_ref(a);
        tried_target(a, 1);
        a.op(kOpPushVarRef, target), a.op(kOpPushVar, x_ref(a)), a.op(kOpAssign), a.op(kOpPop);
        a.op(kOpJump, 4), a.op(kOpPop);
    } },
    { "repeat down to, indexed", "repeat with x[2] := 3 down to 1\nend repeat", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushShort, 2), a.op(kOpPick, 2), a.op(kOpPushShort, 3);
        a.op(kOpJump, 10);
        a.op(kOpPick, 2), a.op(kOpPick, -2), a.op(kOpIndex), a.op(kOpPushShort, 1), a.op(kOpArith, kOperMinus);
        a.op(kOpAssignElement), a.op(kOpPushShort, 1), a.op(kOpCompare, kOperGreaterEqual), a.op(kOpNip);
        a.op(kOpJumpIfFalse, 16), a.op(kOpJump, 5), a.op(kOpPop), a.op(kOpPop);
    } },
    { "repeat in with exit", "repeat with x in lst\nexit repeat\nend repeat", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushShort, 0);
        tried_target(a, 5);
        a.op(kOpPushShort, 1), a.op(kOpArith, kOperPlus), a.op(kOpPick, 2), a.op(kOpPushVar, a.variable(5));
        a.op(kOpForInStep), a.op(kOpJumpIfFalse, 12), a.op(kOpJump, 10), a.op(kOpJump, 2);
        a.op(kOpPop), a.op(kOpPop);
    } },
    { "next repeat", "repeat while 1\nnext repeat\nend repeat", S, [](Assembler& a) {
        a.op(kOpPushShort, 1), a.op(kOpJumpIfFalse, 4), a.op(kOpJump, 0), a.op(kOpJump, 0);
    } },
    { "exit alone ends the calculation", "exit", S, [](Assembler& a) { a.op(kOpEnd); } },
    { "call with a number argument", "ABS(-1)", E, [](Assembler& a) {
        a.op(kOpPushShort, 1), a.op(kOpUnary, kOperMinus), a.op(kOpCall, a.call(1, kSys));
    } },
    { "call without arguments", "Beep()", S, [](Assembler& a) {
        a.op(kOpCall, a.call(0, kSys + 51)), a.op(kOpPop);
    } },
    { "empty argument", "SubStr(\"a\", , 2)", E, [](Assembler& a) {
        a.op(kOpPushString, a.text("a")), a.op(kOpPushShort, 0), a.op(kOpPushShort, 2);
        a.op(kOpCall, a.call(3, kSys + 12));
    } },
    { "reference arguments", "Initialize(x, y)", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushVarRef, y_ref(a)), a.op(kOpCall, a.call(2, kSys + 69)), a.op(kOpPop);
    } },
    { "user function", "UserFn(1, 2)", E, [](Assembler& a) {
        a.op(kOpPushShort, 1), a.op(kOpPushShort, 2), a.op(kOpCall, a.call(2, 7));
    } },
    { "symbol", "#abc", E, [](Assembler& a) { a.op(kOpPushSymbol, a.text("abc")); } },
    { "comment and continuation", "x := 1 + \xAC\n 2 -- done", S, [](Assembler& a) {
        a.op(kOpPushVarRef, x_ref(a)), a.op(kOpPushShort, 1), a.op(kOpPushShort, 2), a.op(kOpArith, kOperPlus);
        a.op(kOpAssign), a.op(kOpPop);
    } },
};

TEST_F(CompileTest, BlocksOfEveryForm)
{
    for (const CodeRow& row : kCodeRows) {
        SCOPED_TRACE(row.name);
        std::string source = row.source;
        for (size_t at = 0; (at = source.find('\n', at)) != std::string::npos; at += 2)
            source.insert(at, "\r");
        Assembler a;
        row.build(a);
        std::vector<uint8_t> expected = a.build();
        std::vector<uint8_t> block;
        int offset = 0, length = 0;
        ASSERT_EQ(compile(source, row.kind, block, &offset, &length), 0) << offset << " " << length;
        ASSERT_EQ(code_validate(block.data(), block.size()), 0);
        ASSERT_GE(block.size(), expected.size());
        EXPECT_EQ(plat::load_u16le(block.data() + 2), plat::load_u16le(expected.data() + 2));
        EXPECT_EQ(plat::load_u16le(block.data() + 4), expected.size());
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 6, block.begin() + long(expected.size())),
            std::vector<uint8_t>(expected.begin() + 6, expected.end()));
    }
}

TEST_F(CompileTest, DecimalCommaWithSemicolonSeparators)
{
    Assembler a;
    a.op(kOpPushReal, a.real(1.5)), a.op(kOpPushShort, 2), a.op(kOpPushShort, 3), a.op(kOpPushShort, 4);
    a.op(kOpCall, a.call(4, kSys + 225));
    std::vector<uint8_t> expected = a.build();
    std::vector<uint8_t> block;
    ASSERT_EQ(compile("Rect(1,5; 2; 3; 4)", E, block, nullptr, nullptr, ',', ';'), 0);
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 6, block.begin() + long(expected.size())),
        std::vector<uint8_t>(expected.begin() + 6, expected.end()));
}

TEST_F(CompileTest, KeptStreamOfAStringLiteral)
{
    Assembler a;
    a.op(kOpPushString, a.text("abc"));
    a.kept_text(kTokString, "abc");
    std::vector<uint8_t> expected = a.build(true, true);
    std::vector<uint8_t> block;
    ASSERT_EQ(compile("\"abc\"", E, block), 0);
    EXPECT_EQ(block, expected);
}

// While the character-set map is active, a literal with characters of 0x80 and above is a
// mapped string: its text has already been brought to this platform's set, so it compiles to
// PushString2 and is never translated again. Only PushMappedString (from the other platform's
// String2 tokens) translates as it runs.
TEST_F(CompileTest, MappedStringLiteralsAreNotTranslatedTwice)
{
    static const struct {
        const char* name;
        bool with_map;
        uint8_t op, token;
    } kRows[] = {
        { "no map: a plain string", false, kOpPushString, kTokString },
        { "map: a mapped string", true, kOpPushString2, kTokMappedString },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        if (row.with_map) {
            ASSERT_EQ(str_charmap_init(), 0);
            FontTokenizer tokenizer;
            static const char kSection[] = "Win\n142 => 233\n";
            font_tok_set_text(tokenizer, kSection, sizeof kSection - 1);
            int done = 0;
            str_charmap_parse_section(str_charmap(), tokenizer, 2, &done);
            ASSERT_TRUE(str_charmap_maps_literals(str_charmap()));
        }
        Assembler a;
        a.op(row.op, a.text("caf\x8E"));
        a.kept_text(row.token, "caf\x8E");
        std::vector<uint8_t> block;
        ASSERT_EQ(compile("\"caf\x8E\"", E, block), 0);
        EXPECT_EQ(block, a.build(true, true));
        ScriptValue out;
        ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
        EXPECT_EQ(calctest::describe(out), "s:caf\x8E");
        val_free(out);
        EXPECT_EQ(code_decompile_text(0, block.data()), "\"caf\x8E\"");

        // The other platform's string: translated from Macintosh 0x8E to Windows 0xE9.
        Assembler other;
        other.op(kOpPushMappedString, other.text("caf\x8E"));
        other.kept_text(kTokString2, "caf\x8E");
        block = other.build(true, true);
        ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
        EXPECT_EQ(calctest::describe(out), row.with_map ? "s:caf\xE9" : "s:caf\x8E");
        val_free(out);
        EXPECT_EQ(code_decompile_text(0, block.data()), row.with_map ? "\"caf\xE9\"" : "\"caf\x8E\"");
        str_charmap_term();
    }
}

TEST_F(CompileTest, KeptStreamOfAStatement)
{
    Assembler a;
    int16_t v = x_ref(a);
    a.op(kOpPushVarRef, v), a.op(kOpPushShort, 12), a.op(kOpAssign), a.op(kOpPop);
    a.kept({ kTokVariable, 1, 0, 0, 0, 0, 0, kTokVariable });
    a.kept_text(kTokTrivia, " ");
    a.kept({ kTokAssign });
    a.kept_text(kTokTrivia, " ");
    a.kept_text(kTokInteger, "12");
    a.kept_text(kTokTrivia, ";c");
    std::vector<uint8_t> expected = a.build(true, true);
    std::vector<uint8_t> block;
    ASSERT_EQ(compile("x = 12--c", S, block), 0);
    EXPECT_EQ(block, expected);
}

struct ErrorRow {
    const char* name;
    const char* source;
    CompileKind kind;
    int code, offset, length;
};

static const ErrorRow kErrorRows[] = {
    { "a number as a statement", "5", S, 17, 0, 1 },
    { "an expression as a statement", "x + 1", S, 13, 2, 1 },
    { "a variable alone", "x", S, 13, 1, 0 },
    { "a comma where a statement assigns", "x, 1", S, 13, 1, 1 },
    { "an open bracket", "(1", E, 8, 2, 0 },
    { "a close bracket alone", "1)", E, 9, 1, 1 },
    { "a string without its end", "\"abc", E, 3, 0, 1 },
    { "a string broken by a line", "\"ab\r\ncd\"", E, 3, 0, 1 },
    { "no operator", "1 $ 2", E, 4, 2, 1 },
    { "a string holding its own code", "\"a\x12z\"", E, 4, 2, 1 },
    { "a comment holding its own code", "1 --a\x19z", E, 4, 5, 1 },
    { "an empty symbol", "#", E, 43, 0, 1 },
    { "an unknown variable", "nosuch + 1", E, 22, 0, 6 },
    { "an unknown function", "NoSuchFn(1)", E, 21, 0, 8 },
    { "a category 97 function", "RefreshScreen()", E, 21, 0, 13 },
    { "a 41-character name", "a2345678901234567890123456789012345678901", E, 27, 0, 41 },
    { "a read-only system variable", "CursorX := 1", S, 12, 8, 2 },
    { "an assignment to a number", "(1 := 2)", E, 12, 3, 2 },
    { "a reserved variable", "Reserved", E, 31, 0, 8 },
    { "a reserved title", "x@\"Untitled\"", E, 28, 3, 8 },
    { "an unknown title", "x@\"Nowhere\"", E, 23, 3, 7 },
    { "an empty title", "x@\"\"", E, 28, 2, 2 },
    { "a custom variable with @", "custom@\"t\"", E, 25, 0, 6 },
    { "a system variable without @", "NoAt@(1)", E, 24, 0, 4 },
    { "no then", "if x\ry := 1", S, 35, 4, 1 },
    { "an operand missing", "1 +", E, 14, 2, 1 },
    { "two signs", "- -1", E, 19, 2, 1 },
    { "comparisons do not chain", "1 < 2 < 3", E, 5, 6, 1 },
    { "Test with one argument", "Test(1)", E, 7, 6, 1 },
    { "Test without (", "Test + 1", E, 9, 5, 1 },
    { "a function name without ( is a variable", "x := ABS", S, 22, 5, 3 },
    { "too many arguments", "ABS(1, 2)", E, 15, 8, 1 },
    { "too few arguments", "SubStr(\"a\")", E, 29, 10, 1 },
    { "a value ends optional reference arguments", "Initialize(1)", S, 8, 11, 1 },
    { "a list without its end", "[1, 2", E, 45, 5, 0 },
    { "a property list gone linear", "[1: 2, 3]", E, 44, 8, 1 },
    { "a colon list with a value", "[: 1]", E, 44, 3, 1 },
    { "an empty index", "x[]", E, 19, 2, 1 },
    { "an index without its bracket", "x[1 2]", E, 46, 4, 1 },
    { "repeat what", "repeat x\rend repeat", S, 38, 7, 1 },
    { "a loop header's line", "repeat while 1 end repeat", S, 37, 15, 3 },
    { "a loop without end", "repeat while 1\r\n", S, 36, 16, 0 },
    { "a loop ended as an if", "repeat while 1\r\nend if", S, 39, 20, 2 },
    { "an if ended as a loop", "if 1 then\r\nx := 1\r\nend repeat", S, 34, 23, 6 },
    { "exit repeat outside a loop", "exit repeat", S, 41, 5, 6 },
    { "next alone", "next", S, 5, 4, 0 },
    { "a bad loop header", "repeat with x := 1, 3\r\nend repeat", S, 40, 18, 1 },
    { "sixteen brackets", "((((((((((((((((1))))))))))))))))", E, 10, 15, 1 },
    { "a user function without a signature", "NoSig()", E, 42, 5, 1 },
    { "a calc-only variable in a statement", "CalcOnly := 1", S, 0, 0, 0 },
};

TEST_F(CompileTest, ErrorsWithTheirRanges)
{
    for (const ErrorRow& row : kErrorRows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block;
        int offset = -1, length = -1;
        EXPECT_EQ(compile(row.source, row.kind, block, &offset, &length), row.code);
        EXPECT_EQ(offset, row.offset);
        EXPECT_EQ(length, row.length);
        EXPECT_EQ(block.empty(), row.code != 0);
    }
}

TEST_F(CompileTest, CalcOnlyNamesOutsideACalcIcon)
{
    parse_set_calc_context(0);
    std::vector<uint8_t> block;
    EXPECT_EQ(compile("Quit()", S, block), 30);
    EXPECT_EQ(compile("CalcOnly := 1", S, block), 56);
    EXPECT_EQ(compile("ABS(1)", E, block), 0);
}

TEST_F(CompileTest, LimitsOfLinesNestingAndBlocks)
{
    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    std::string fifteen = std::string(15, '(') + "1" + std::string(15, ')');
    EXPECT_EQ(compile(fifteen, E, block), 0);
    std::string long_line = "\"" + std::string(29997, 'a') + "\"";
    EXPECT_EQ(compile(long_line, E, block), 0);
    EXPECT_EQ(compile(long_line + " ", E, block, &offset, &length), 1);
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(length, 30000);
    std::string name(410, 'a');
    EXPECT_EQ(compile(name, E, block, &offset, &length), 2);
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(length, 410);
    std::string comments;
    for (int i = 0; i < 4; ++i)
        comments += "--" + std::string(20000, 'c') + "\r\n";
    EXPECT_EQ(compile(comments, S, block, &offset, &length), 11); // the kept stream's limit
    EXPECT_EQ(offset, 3 * 20004);
    EXPECT_EQ(length, 20002);
    std::string many;
    for (int i = 0; i < 2000; ++i)
        many += "x := 1\r\n";
    EXPECT_EQ(compile(many, S, block, &offset, &length), 1);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(length, int(many.size()));
}

struct RunRow {
    const char* name;
    const char* source;
    const char* result; // as describe() writes it
    const char* x;      // x afterwards
};

static const RunRow kRunRows[] = {
    { "to leaves the first value past the end", "repeat with x := 1 to 3\ny := y + x\nend repeat\ny", "i:6", "i:4" },
    { "down to", "repeat with x := 3 down to 1\nend repeat\nx", "i:0", "i:0" },
    { "in over a list", "repeat with x in [1, 2, 3]\ny := y + x\nend repeat\ny", "i:6", "i:3" },
    { "in over an empty list", "x := 7\nrepeat with z in []\nx := 1\nend repeat\nx", "i:7", "i:7" },
    { "exit leaves the inner loop only",
        "repeat with x in [1, 2]\nrepeat with z in [5, 6]\ny := y + z\nexit repeat\nend repeat\nend repeat\ny",
        "i:10", "i:2" },
    { "next skips the rest", "repeat with x := 1 to 4\nif x = 2 then next repeat\ny := y + x\nend repeat\ny", "i:8", "i:5" },
    { "element targets", "x := [0, 0]\nrepeat with x[2] in [4, 5]\ny := y + 1\nend repeat\nx", "l:[0, 5]", "l:[0, 5]" },
    { "Test picks one side", "Test(x > 0, 5)", "i:0", "s:" },
    { "chained comparison", "x := 3\nx > 1 & < 5", "i:1", "i:3" },
    { "join after plus", "\"a\" ^ 1 + 2", "s:a3", "s:" },
    { "exit ends the calculation", "x := 1\nexit\nx := 2\nx", "i:1", "i:1" },
};

TEST_F(CompileTest, CompiledProgramsRun)
{
    CalcHooks hooks = calctest::table_hooks();
    for (const RunRow& row : kRunRows) {
        SCOPED_TRACE(row.name);
        calc_set_hooks(&hooks);
        calctest::variables().clear();
        std::string source = row.source;
        for (size_t at = 0; (at = source.find('\n', at)) != std::string::npos; at += 2)
            source.insert(at, "\r");
        // The value of the last line: a statement list cannot end in an expression, so the
        // last line is compiled as an expression after the statements run.
        size_t last = source.rfind("\r\n");
        std::string statements = last == std::string::npos ? "" : source.substr(0, last);
        std::string expression = last == std::string::npos ? source : source.substr(last + 2);
        std::vector<uint8_t> block;
        ScriptValue out;
        ASSERT_EQ(compile(statements, S, block), 0);
        ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
        val_free(out);
        ASSERT_EQ(compile(expression, E, block), 0);
        ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
        EXPECT_EQ(calctest::describe(out), row.result);
        val_free(out);
        EXPECT_EQ(eval_stack_top(), 0);
        ScriptValue x;
        calctest::table_get(0, 1, 0, x);
        EXPECT_EQ(calctest::describe(x), row.x);
        val_free(x);
        calctest::variables().clear();
    }
}

} // namespace
