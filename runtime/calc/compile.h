// The compiler's entry: a calculation's text to a code block that keeps its token stream.
#pragma once
#include <cstdint>
#include <vector>

enum CompileKind : int {
    kCompileExpression = 0, // one expression (conditions, icon properties)
    kCompileStatements = 1, // a list of statements (Calc icons)
};

// Compiles text for the context icon (file slot << 16 | node). A decimal character or list
// separator of 0 takes the locale's. 0 with the block, or the error with the characters of
// the text to show (offset and length, within the text).
int code_compile(uint32_t context, const char* text, std::vector<uint8_t>& block, CompileKind kind,
    char decimal, char separator, int* error_offset, int* error_length);
