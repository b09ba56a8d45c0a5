// Rebuilt source: texts that come back exactly, names that come back as they are now, the
// error texts, and error ranges mapped back to the text.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/calc/detok.h"
#include "runtime/calc/scanner.h"
#include "tests/calc/assembler.h"
#include "tests/calc/compile_fixture.h"

namespace {

using calctest::CompileTest;
using calctest::E;
using calctest::S;

std::string rebuilt(const std::vector<uint8_t>& block) { return code_decompile_text(0, block.data()); }

std::string message(int code, const char* text, int offset, int length)
{
    MemHandle h = eval_error_text(code, text, offset, length);
    std::string s = static_cast<const char*>(mem_address(h));
    mem_free(h);
    return s;
}

TEST_F(CompileTest, SourcesComeBackExactly)
{
    static const struct {
        const char* source;
        CompileKind kind;
    } kRows[] = {
        { "x := 1 + 2 * (3 - y)", S },
        { "if x > 1 & < 5 then\r\n  y := [1, 2, #a]\r\nelse\r\n  z := Test(x, 1, 2)\r\nend if", S },
        { "repeat with my total := 3 down to 1\r\nexit repeat\r\nend repeat", S },
        { "repeat with x in [#a: 1, #b: \"two\"]\r\nnext repeat\r\nend repeat", S },
        { "ABS(-x) ^ SubStr(\"abc\", , 2) ** 2 <> 3 | ~TRUE", E },
        { "x@(1) ^ lst[1][2]", E },
        { "x := 1 -- a comment\r\n-- another\r\ny := 2", S },
        { "\"a\\tb\\\\c\\\"d\\ne\\r\"", E },
        { "1.5 + .5 + 1234567890", E },
        { "", E },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        ASSERT_EQ(compile(row.source, row.kind, block), 0);
        EXPECT_EQ(rebuilt(block), row.source);
    }
}

TEST_F(CompileTest, RebuiltFormsThatDifferFromTheSource)
{
    static const struct {
        const char* source;
        CompileKind kind;
        const char* text;
    } kRows[] = {
        { "x = 1", S, "x := 1" },
        { "X := abs(1)", S, "x := ABS(1)" },
        { "IF x THEN y := 1", S, "if x then y := 1" },
        { "\"tab\there\"", E, "\"tab\\there\"" },
        { "\"back\\slash\"", E, "\"back\\\\slash\"" },
        { "x := 1 + \xAC   \r\n 2", S, "x := 1 + \xAC\r\n 2" },
        { "x := 1   \r\n\r\ny := 2", S, "x := 1\r\n\r\ny := 2" },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        ASSERT_EQ(compile(row.source, row.kind, block), 0);
        EXPECT_EQ(rebuilt(block), row.text);
    }
}

TEST_F(CompileTest, NamesComeBackAsTheyAreNow)
{
    std::vector<uint8_t> block;
    ASSERT_EQ(compile("x := y", S, block), 0);
    calctest::renamed_x() = "score";
    EXPECT_EQ(rebuilt(block), "score := y");
    CalcNameHooks none {};
    calc_set_name_hooks(&none);
    EXPECT_EQ(rebuilt(block), "DeletedVariable := DeletedVariable");

    calctest::Assembler a;
    a.op(kOpCall, a.call(0, 7));
    a.kept({ kTokFunction, 7, 0, kTokFunction, kTokLParen, kTokRParen });
    std::vector<uint8_t> call = a.build(true, true);
    EXPECT_EQ(rebuilt(call), "DeletedFunction()");
}

TEST_F(CompileTest, RealsTakeTheLocaleDecimalCharacter)
{
    calctest::DecimalScope comma(',');
    std::vector<uint8_t> block;
    ASSERT_EQ(compile("Rect(1,5; 2; 3; 4)", E, block, nullptr, nullptr, ',', ';'), 0);
    std::string text = rebuilt(block);
    EXPECT_EQ(text.substr(0, 8), "Rect(1,5");
}

TEST_F(CompileTest, SingleStrings)
{
    static const struct {
        const char* source;
        int single;
    } kRows[] = {
        { "\"abc\"", 1 }, { "  \"abc\" -- note", 1 }, { "\"a\" ^ \"b\"", 0 }, { "1", 0 }, { "", 0 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        ASSERT_EQ(compile(row.source, E, block), 0);
        EXPECT_EQ(code_is_single_string(block.data()), row.single);
    }
    EXPECT_EQ(code_needs_evaluation(0x00010005, 1001), 0); // no such icon: nothing to evaluate
}

TEST(ErrorTexts, CodesAndTheirArguments)
{
    static const struct {
        int code;
        const char* text;
        int offset, length;
        const char* message;
    } kRows[] = {
        { 22, "nosuch + 1", 0, 6, "Variable 'nosuch' is not defined." },
        { 21, "f(1)", 0, 1, "Function 'f()' is not defined." },
        { 5, "1 < 2 < 3", 6, 1, "Syntax error." },
        { 99, "", 0, 0, "An internal error 99 occurred." },
        { -1, "x", 0, 1, "An internal error -1 occurred." },
        { 33, "x", 0, 1, "" },
        { 22, "abc", 2, 50, "Variable 'c' is not defined." },   // clamped to the text
        { 22, "abc", 70, 5, "Variable '' is not defined." },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(message(row.code, row.text, row.offset, row.length), row.message);
    }
}

TEST_F(CompileTest, ErrorRangesFromTheStream)
{
    static const struct {
        const char* source;
        int stream_offset; // of the token wanted
        int offset, length;
    } kRows[] = {
        { "x = 12", 11, 2, 1 },          // "=" kept as ":=" counts one character
        { "\"a\tb\" + 1", 8, 6, 1 },     // a raw tab inside the string
        { "x := 1   \r\ny := 2", 19, 11, 1 },
        { "x := 1", 999, 5, 1 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        ASSERT_EQ(compile(row.source, S, block) == 0 || compile(row.source, E, block) == 0, true);
        const uint8_t* kept = code_kept_tokens(block.data());
        size_t size = size_t(code_block_end(block.data()) - kept);
        std::vector<uint8_t> stream(kept, kept + size);
        int offset = row.stream_offset, length = 0;
        code_error_range(0, row.source, stream.data(), stream.size(), &offset, &length);
        EXPECT_EQ(offset, row.offset);
        EXPECT_EQ(length, row.length);
    }
}

} // namespace
