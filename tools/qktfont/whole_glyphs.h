// Glyphs of whole characters for the bitmap font: the KS X 1001 rows of symbols and Hanja,
// each in its KS place, and the half-width table of single bytes.
#pragma once
#include "jamo_variants.h"

#include <vector>

// The glyphs of KS rows first_row..last_row (lead bytes), 94 a row, each character centred
// by its advance; places without a character, or whose character the face lacks, stay blank.
std::vector<uint8_t> whole_glyphs_ks_rows(const OutlineFace& face, const CellPlacement& cell,
    int first_row, int last_row);

// Half-width glyphs for the bytes 1..255: printable ASCII drawn, the others blank.
std::vector<uint8_t> whole_glyphs_half_width(const OutlineFace& face, const CellPlacement& cell);
