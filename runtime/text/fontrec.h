// Fields of a file's font-map record (the record directory word 37 names): a tagged list whose
// fields belong to the font map and the character-set map. A missing record or field reads as
// absent and leaves no error in the record store's error word.
#pragma once
#include <cstdint>
#include <vector>

constexpr uint32_t kFontMapDirWord = 37;

// True with the field's bytes; false when the record or the field is missing.
bool fontrec_field(int slot, uint16_t tag, std::vector<uint8_t>& out);
// 1 when the file has a font-map record that loads.
int fontrec_exists(int slot);
