// Calculations in descriptions: compiled with the runtime's own compiler into the code blocks
// that icon properties hold, with the description's user variables numbered 1, 2 ... in order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PieceDescription;

enum class PmCalcKind {
    statements, // a Calc icon's code, calc-only names allowed
    expression, // one expression
};

// The number of the description's variable of that name (compared as the compiler does), 0
// when it declares none.
uint16_t pm_variable_number(const PieceDescription& piece, const char* name);

// True with the block (without its kept stream when keep is false); false with "calculation
// error CODE: TEXT" in error.
bool pm_compile(const PieceDescription& piece, const std::string& text, PmCalcKind kind, bool keep,
    std::vector<uint8_t>& block, std::string& error);
