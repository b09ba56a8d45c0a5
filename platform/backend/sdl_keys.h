// Keys of the display's keyboard as this layer's virtual keys. The mapping goes by SDL's scan
// code, the key's place on the keyboard, never by the host's keymap: the layer types characters
// through its own layout (window/keyboard.h), so a key gives the same WM_CHAR with a display as
// in a headless run.
#pragma once
#include <cstdint>

struct SDL_KeyboardEvent;

namespace plat {

// Whether the numeric pad types digits or moves (Num Lock).
enum class NumLock { off, on };

// The virtual key of an SDL scan code; 0 for keys this layer has no key for. Shift, Ctrl and
// Alt come as their left and right keys (VK_LSHIFT ...), which the input layer reports as the
// generic key with both states kept.
uint32_t sdlkeys_virtual_key(int scancode, NumLock num_lock);

// Hands a key of the display to the input layer, the Caps Lock toggle first brought to SDL's
// modifier state as it stood before the key. The virtual key; 0 for a key the layer has not.
uint32_t sdlkeys_key_event(const SDL_KeyboardEvent& key);
// Brings the Caps Lock toggle to SDL's modifier state where no key tells it: at start, and when
// a window gains the focus (the lock may have changed while another program had the keyboard).
void sdlkeys_follow_locks(uint32_t sdl_mod);

} // namespace plat
