// Rebuilding source from a block's kept tokens with the names that ids have now, mapping a
// place in the token stream back to the text, and the questions asked of a block's source.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/base/mem.h"

// Appends the text of one kept token; context is the file slot << 16 of the block's icon.
void code_detokenize(uint32_t context, uint8_t token, const uint8_t* data, uint32_t size, std::string& out);
// The rebuilt source of a block (empty without a kept stream).
std::string code_decompile_text(uint32_t context, const uint8_t* block);
// The same in a block the caller owns, NUL-terminated; null when memory ran out.
MemHandle code_decompile(uint32_t context, const uint8_t* block);
// The characters of text (offset, length) of the kept token at or last before the stream
// offset *offset; with no token reached, 0 and the text's length. Clamped to the text.
void code_error_range(uint32_t context, const char* text, const uint8_t* stream, size_t stream_size,
    int* offset, int* length);
// 1 when the kept tokens are one string token besides white space, comments and End.
int code_is_single_string(const uint8_t* block);
// 0 when the icon's property holds one string literal and nothing else, or is absent; else 1.
int code_needs_evaluation(uint32_t icon, uint16_t tag);
