// Virtual keys and the keyboard layout: which character a key gives with Shift, Caps Lock and
// Ctrl (ToAscii), translation of key-down messages into WM_CHAR and WM_DEADCHAR
// (TranslateMessage), and the names of keys that scripts use. The layout is this layer's own
// table, never the host's keymap, so that pieces see the same characters everywhere: US, or US
// with dead keys (` ' ^ ~ " then a letter give the accented letter) for tests of dead keys.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_CANCEL = 0x03,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_HANGUL = 0x15,
    VK_JUNJA = 0x17,
    VK_HANJA = 0x19,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SELECT = 0x29,
    VK_PRINT = 0x2A,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_HELP = 0x2F,
    VK_LWIN = 0x5B,
    VK_RWIN = 0x5C,
    VK_APPS = 0x5D,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F3 = 0x72,
    VK_F4 = 0x73,
    VK_F5 = 0x74,
    VK_F6 = 0x75,
    VK_F7 = 0x76,
    VK_F8 = 0x77,
    VK_F9 = 0x78,
    VK_F10 = 0x79,
    VK_F11 = 0x7A,
    VK_F12 = 0x7B,
    VK_F24 = 0x87,
    VK_NUMLOCK = 0x90,
    VK_SCROLL = 0x91,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
    VK_OEM_1 = 0xBA,      // ;:
    VK_OEM_PLUS = 0xBB,   // =+
    VK_OEM_COMMA = 0xBC,  // ,<
    VK_OEM_MINUS = 0xBD,  // -_
    VK_OEM_PERIOD = 0xBE, // .>
    VK_OEM_2 = 0xBF,      // /?
    VK_OEM_3 = 0xC0,      // `~
    VK_OEM_4 = 0xDB,      // [{
    VK_OEM_5 = 0xDC,      // \|
    VK_OEM_6 = 0xDD,      // ]}
    VK_OEM_7 = 0xDE,      // '"
    VK_PROCESSKEY = 0xE5,
    VK_PACKET = 0xE7,
};

enum class KeyboardLayout { us, us_international };
void keyboard_set_layout(KeyboardLayout layout);
KeyboardLayout keyboard_get_layout();

// The result of a key in the layout.
struct KeyChar {
    enum Kind { none, character, dead } kind = none;
    uint8_t ch = 0; // a byte of the active code page
};

// ToAscii without the dead-key memory: what the key gives with the key state (256 entries,
// bit 0x80 down, bit 0x01 toggled).
KeyChar keyboard_key_char(uint32_t vk, const uint8_t* key_state);

// TranslateMessage: for WM_KEYDOWN and WM_SYSKEYDOWN posts the WM_CHAR / WM_SYSCHAR (or
// WM_DEADCHAR / WM_SYSDEADCHAR) the key gives, with the same lparam, using the key state as of
// the message. After a dead key the next key gives the composed character, or the dead
// character and then its own when they do not combine. True when a message was posted.
bool translate_message(const Msg& msg);

// MapVirtualKey MAPVK_VK_TO_VSC: the scan code of a key (0 when it has none).
uint32_t keyboard_scan_code(uint32_t vk);
bool keyboard_is_extended(uint32_t vk);

// Script key names ("Enter", "F5", "Ctrl", "A", ";") to virtual keys; 0 for an unknown name.
uint32_t keyboard_vk_from_name(std::string_view name);
// "Ctrl+Shift+Tab": the keys in order of pressing; false for an unknown name or an empty part.
bool keyboard_parse_combination(std::string_view text, std::vector<uint32_t>& keys);
// The key and Shift state that type a character of the active code page in the layout (never
// through a dead key); false when no key gives it.
bool keyboard_key_for_char(uint8_t ch, uint32_t& vk, bool& shift);

void keyboard_reset();

} // namespace plat
