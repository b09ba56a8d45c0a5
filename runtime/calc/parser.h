// The parser and code generator: reads a kept token stream by recursive descent and writes the
// instructions and constant pool of a code block in one pass, jumps patched through lists of
// pending jumps.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum ParseMode : int {
    kParseStatements = 0,
    kParseExpression = 1,
};

// 1 while compiling for a calculation icon (calc-only functions and variables allowed); the
// previous flag.
int parse_set_calc_context(int flag);

// Parses the stream (ended by token 0) compiled for the context icon and assembles the block
// with the stream kept: 0 with the block, or an error with the stream offset where the parse
// stopped.
int parse_program(const std::vector<uint8_t>& stream, uint32_t context, ParseMode mode,
    std::vector<uint8_t>& block, size_t* error_offset);
