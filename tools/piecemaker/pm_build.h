// Writes the bytes of a record file from a description: the kind header, the record-file
// header, a packaged or editable directory and the records, in either byte order, raw or
// zlib-packed; and appends a piece to a program file. The layout is written field by field
// here, independently of the runtime's reader, so that tests can hold the two against each
// other and against hand-checked bytes.
#pragma once
#include "tools/piecemaker/pm_desc.h"

#include <cstdint>
#include <string>
#include <vector>

// The record file with every offset counted from base (the length of the program it will be
// appended to, else 0). True, or false with a message in error.
bool pm_build(
    const PieceDescription& piece, uint64_t base, std::vector<uint8_t>& out, std::string& error);

// The program with the piece appended: a program beginning with "MZ" gets the piece's base in
// its u32 at 0x20; an ELF program gets the 16-byte trailer. False for any other file.
bool pm_append_to_program(const std::vector<uint8_t>& program, const std::vector<uint8_t>& piece,
    std::vector<uint8_t>& out, std::string& error);

// Builds the description's piece (appended to its program when it names one) into bytes.
bool pm_make(const PieceDescription& piece, std::vector<uint8_t>& out, std::string& error);

// Writes bytes to path through a temporary file beside it, renamed over it once complete.
bool pm_save(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
// Reads a whole file.
bool pm_load(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
