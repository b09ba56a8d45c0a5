// The piece maker's text styles and font map: turns the described styles into a text-style
// record (type 25) and the described FONTMAP.TXT lines and fields into a font-map record (type
// 40), written with the runtime's own writers, and names them in directory words 25 and 37.
#pragma once
#include "tools/piecemaker/pm_desc.h"

#include <string>

// 1 when the word names a field of the style statement.
bool pm_text_style_field_known(const std::string& word);
// Appends the records and directory words. True, or false with "line N: ..." in error.
bool pm_text_build(PieceDescription& piece, std::string& error);
// Lends the runtime's converters of both records to the record converters, so that records of
// the other byte order are written and dumped.
void pm_text_lend_converters();
