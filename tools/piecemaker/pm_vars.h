// The variable records of a piece: names (directory word 10), definitions (word 12) and the
// stored name dictionary (word 35), from the description's var and name-dict statements.
#pragma once
#include "tools/piecemaker/pm_desc.h"

#include <cstdint>
#include <vector>

// Texts of more than 7 bytes are kept in records of their own: true for such a variable.
bool pm_var_needs_record(const PieceVariable& variable);
// The names record: one field per variable, tag = its number, the name with its NUL.
std::vector<uint8_t> pm_var_names(const PieceDescription& piece);
// The definitions record: one 16-byte value per variable; text_records[i] is the record
// holding variable i + 1's text when it needs one.
std::vector<uint8_t> pm_var_definitions(const PieceDescription& piece, const std::vector<uint16_t>& text_records);
// The slot block of the runtime's hash table over the upper-cased names (deleted ones left out).
std::vector<uint8_t> pm_var_name_dictionary(const PieceDescription& piece);
