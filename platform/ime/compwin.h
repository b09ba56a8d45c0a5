// The default composition display: what is being composed for a window that does not show it
// itself appears in a small window of the input method's own at that window's caret, marked
// as a Korean input method marks the syllable it is building (light text on the highlight
// colour). One for the program; it never takes the focus, activation or the mouse.
#pragma once
#include <string>

#include "platform/window/message.h"

namespace plat {

// The class of the display's window.
constexpr const char* kCompositionClass = "ImeComposition";

// Shows text (active code page) as being composed for window; "" hides the display.
void compwin_show(WindowHandle window, const std::string& text);
void compwin_hide();
void compwin_reset();

} // namespace plat
