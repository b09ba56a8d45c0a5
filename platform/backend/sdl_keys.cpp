#include "platform/backend/sdl_keys.h"

#include <SDL.h>

#include "platform/window/input.h"
#include "platform/window/keyboard.h"

namespace plat {

struct ScanKey {
    SDL_Scancode scancode;
    uint32_t vk;
};

// Keys that are the same whatever Num Lock says; letters, digits and function keys are ranges.
static const ScanKey kKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5}, // the ISO key beside Enter sits where backslash is
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT},
    {SDL_SCANCODE_LALT, VK_LMENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT},
    {SDL_SCANCODE_RALT, VK_RMENU},
    {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_LANG1, VK_HANGUL}, // the Korean keyboard's Hangul/English key
    {SDL_SCANCODE_LANG2, VK_HANJA},
};

struct PadKey {
    SDL_Scancode scancode;
    uint32_t digit_vk; // Num Lock on
    uint32_t move_vk;  // Num Lock off: the editing key printed on the same key cap
};

static const PadKey kPadKeys[] = {
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, VK_INSERT},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, VK_END},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, VK_DOWN},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, VK_NEXT},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, VK_LEFT},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, VK_CLEAR},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, VK_RIGHT},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, VK_HOME},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, VK_UP},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE},
};

uint32_t sdlkeys_virtual_key(int scancode, NumLock num_lock)
{
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return uint32_t('A' + (scancode - SDL_SCANCODE_A));
    // SDL numbers the digit row 1..9 and then 0, as the keys stand.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return uint32_t('1' + (scancode - SDL_SCANCODE_1));
    if (scancode == SDL_SCANCODE_0)
        return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return VK_F1 + uint32_t(scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + uint32_t(scancode - SDL_SCANCODE_F13);
    for (const PadKey& key : kPadKeys) {
        if (key.scancode == scancode)
            return num_lock == NumLock::on ? key.digit_vk : key.move_vk;
    }
    for (const ScanKey& key : kKeys) {
        if (key.scancode == scancode)
            return key.vk;
    }
    return 0;
}

void sdlkeys_follow_locks(uint32_t sdl_mod) { input_set_toggle(VK_CAPITAL, (sdl_mod & KMOD_CAPS) != 0); }

uint32_t sdlkeys_key_event(const SDL_KeyboardEvent& key)
{
    NumLock lock = (key.keysym.mod & KMOD_NUM) ? NumLock::on : NumLock::off;
    uint32_t vk = sdlkeys_virtual_key(key.keysym.scancode, lock);
    if (!vk)
        return 0;
    bool down = key.type == SDL_KEYDOWN;
    // SDL reports Caps Lock's own press with the toggle already flipped, and the input layer
    // flips it when it takes the press; a repeat flips neither.
    uint32_t mod = key.keysym.mod;
    if (vk == VK_CAPITAL && down && !key.repeat)
        mod ^= KMOD_CAPS;
    sdlkeys_follow_locks(mod);
    input_key(vk, down);
    return vk;
}

} // namespace plat
