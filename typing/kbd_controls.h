// Three controls registered with the typing line that no screen creates: QKTKbdButton (a key
// cap showing its window text, pressed while the left button is down), HighSpeedometer (a
// static placeholder) and PercentDisplay (its window word 0 in decimal, in a big font). They
// are kept so that a dialog naming them still gets a window.
#pragma once

#include "platform/window/wndclass.h"

inline constexpr char kKbdButtonClass[] = "QKTKbdButton";
inline constexpr char kHighSpeedometerClass[] = "HighSpeedometer";
inline constexpr char kPercentDisplayClass[] = "PercentDisplay";

// Registers the three with the style, cursor and brush of base; the last registration's
// result.
bool kbd_controls_register(const plat::WindowClass& base);
