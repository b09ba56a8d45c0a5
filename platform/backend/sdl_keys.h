// Keys of the display's keyboard as this layer's virtual keys. The mapping goes by SDL's scan
// code, the key's place on the keyboard, never by the host's keymap: the layer types characters
// through its own layout (window/keyboard.h), so a key gives the same WM_CHAR with a display as
// in a headless run.
#pragma once
#include <cstdint>

namespace plat {

// Whether the numeric pad types digits or moves (Num Lock).
enum class NumLock { off, on };

// The virtual key of an SDL scan code; 0 for keys this layer has no key for. Shift, Ctrl and
// Alt come as their left and right keys (VK_LSHIFT ...), which the input layer reports as the
// generic key with both states kept.
uint32_t sdlkeys_virtual_key(int scancode, NumLock num_lock);

} // namespace plat
