// DrawText: formatted text in a rectangle with the DC's font, colours and background mode, as
// the standard controls, dialogs and message boxes draw their labels: lines at CR/LF, word
// wrapping, tabs, alignment, an ellipsis for what does not fit, and & mnemonics underlined.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

namespace plat {

enum : uint32_t {
    DT_TOP = 0x00000000,
    DT_LEFT = 0x00000000,
    DT_CENTER = 0x00000001,
    DT_RIGHT = 0x00000002,
    DT_VCENTER = 0x00000004,    // with DT_SINGLELINE
    DT_BOTTOM = 0x00000008,     // with DT_SINGLELINE
    DT_WORDBREAK = 0x00000010,  // lines wrap between words, inside a word that is too long
    DT_SINGLELINE = 0x00000020, // CR and LF do not break the line
    DT_EXPANDTABS = 0x00000040, // tab stops every 8 average character widths
    DT_TABSTOP = 0x00000080,    // ... every (format >> 8 & 0xFF) widths; bits 8-15 are no flags then
    DT_NOCLIP = 0x00000100,
    DT_EXTERNALLEADING = 0x00000200,
    DT_CALCRECT = 0x00000400, // measures only: right and bottom of the rectangle take the text's size
    DT_NOPREFIX = 0x00000800,
    DT_END_ELLIPSIS = 0x00008000, // a line wider than the rectangle ends in "..."
    DT_HIDEPREFIX = 0x00100000,   // & is taken out but nothing is underlined
    DT_PREFIXONLY = 0x00200000,   // only the underlines are drawn
};

// DrawTextA: count bytes (-1: up to the NUL). Answers the height of the text, or with
// DT_VCENTER or DT_BOTTOM the offset from the rectangle's top to the bottom of the text; 0 for
// a bad DC or text.
int draw_text(DcHandle dc, const char* text, int count, Rect& rect, uint32_t format);

} // namespace plat
