#include "runtime/base/key.h"

#include "platform/kernel/codepage.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "runtime/base/str.h"
#include "runtime/base/str_edit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

// The English words, for a program whose string table lacks them.
static const char* const kDefaultWords[kKeyWordCount]
    = { "Shift", "Opt", "Alt", "F", "Backspace", "Tab", "Clear", "Enter", "Pause", "SysReq", "Esc",
          "PageUp", "PageDown", "End", "Home", "LeftArrow", "RightArrow", "UpArrow", "DownArrow",
          "Print", "Insert", "Delete", "Help", "Break", "Cmd", "Return", "Ctrl", "Control" };

struct NamedKey {
    KeyCode code;
    int word;
};

// Searched in this order, first match wins: 0x0D is named "Enter", and a code with Shift
// finds Pause and Print (whose names include Shift) before Break and SysReq.
static const NamedKey kNamedKeys[] = {
    { 0x08, 4 },
    { 0x09, 5 },
    { 0x0C, 6 },
    { 0x1001B, 10 },
    { 0x10021, 11 },
    { 0x10022, 12 },
    { 0x10023, 13 },
    { 0x10024, 14 },
    { 0x10025, 15 },
    { 0x10027, 16 },
    { 0x10026, 17 },
    { 0x10028, 18 },
    { 0x1002D, 20 },
    { 0x1002E, 21 },
    { 0x101, 22 },
    { 0x0D, 7 },
    { 0x0D, 25 },
    { 0x30013, 8 },
    { 0x10013, 23 },
    { 0x3002A, 19 },
    { 0x1002A, 9 },
};

struct ModifierWord {
    int word;
    uint32_t bits;
};

// Prefixes of key-name text, tried in this order.
static const ModifierWord kModifierWords[] = {
    { kKeyWordCtrl, kKeyCtrl },
    { kKeyWordAlt, kKeyAlt },
    { kKeyWordShift, kKeyShift },
    { kKeyWordCmd, kKeyCtrl },
    { kKeyWordOpt, kKeyAlt },
    { kKeyWordControl, kKeyCtrl },
};

struct PlatformKey {
    KeyCode windows;
    KeyCode mac;
};

// The same key in the Windows and the Macintosh numbering; searched in order, so a code listed
// twice translates by its first row.
static const PlatformKey kPlatformKeys[] = {
    { 0x8, 0x10033 }, // Backspace
    { 0x9, 0x10030 }, // Tab
    { 0xD, 0x10024 }, // Enter
    { 0xC, 0x10047 }, // Clear
    { 0x7F, 0x7F }, // Delete character
    { 0x10010, 0x10038 }, // Shift
    { 0x10011, 0x1003B }, // Ctrl
    { 0x10090, 0x10047 }, // Num Lock
    { 0x10014, 0x10039 }, // Caps Lock
    { 0x1005F, 0x10037 }, { 0x10012, 0x1003A }, // Alt
    { 0x10025, 0x1007B }, // LeftArrow
    { 0x10027, 0x1007C }, // RightArrow
    { 0x10026, 0x1007E }, // UpArrow
    { 0x10028, 0x1007D }, // DownArrow
    { 0x10024, 0x10073 }, // Home
    { 0x10023, 0x10077 }, // End
    { 0x10021, 0x10074 }, // PageUp
    { 0x10022, 0x10079 }, // PageDown
    { 0x1002D, 0x10072 }, // Insert
    { 0x1002E, 0x10075 }, // Delete
    { 0x10013, 0x30071 }, // Pause
    { 0x1001B, 0x10035 }, // Esc
    { 0x1002A, 0x30069 }, // Print
    { 0x10070, 0x1007A }, // F1
    { 0x10071, 0x10078 }, // F2
    { 0x10072, 0x10063 }, // F3
    { 0x10073, 0x10076 }, // F4
    { 0x10074, 0x10060 }, // F5
    { 0x10075, 0x10061 }, // F6
    { 0x10076, 0x10062 }, // F7
    { 0x10077, 0x10064 }, // F8
    { 0x10078, 0x10065 }, // F9
    { 0x10079, 0x1006D }, // F10
    { 0x1007A, 0x10067 }, // F11
    { 0x1007B, 0x1006F }, // F12
    { 0x1007C, 0x10069 }, // F13
    { 0x1007D, 0x1006B }, // F14
    { 0x1007E, 0x10071 }, // F15
    { 0xD, 0x1004C }, // Enter (keypad on the Macintosh)
    { 0x101, 0x10072 }, // Help
    { 0x1001B, 0x10035 }, // Esc, listed twice
};

// ToAscii of a key with only Shift (maybe) down: the character, 0 when it makes none (a dead
// key makes none either).
static uint32_t layout_to_ascii(uint32_t virtual_key, bool shift)
{
    uint8_t state[256] = {};
    if (shift)
        state[plat::VK_SHIFT] = 0x80;
    plat::KeyChar key = plat::keyboard_key_char(virtual_key, state);
    return key.kind == plat::KeyChar::character ? key.ch : 0;
}

uint32_t key_modifier_state()
{
    uint32_t bits = 0;
    if (plat::get_key_state(plat::VK_SHIFT) < 0)
        bits |= kKeyShift;
    if (plat::get_key_state(plat::VK_CONTROL) < 0)
        bits |= kKeyCtrl;
    if (plat::get_key_state(plat::VK_MENU) < 0)
        bits |= kKeyAlt;
    if (plat::get_key_state(plat::VK_CAPITAL) & 1)
        bits |= kKeyCapsLock;
    return bits;
}

bool key_event_from_message(uint32_t message, uint32_t wparam, uint32_t lparam, KeyEvent& event)
{
    switch (message) {
    case plat::WM_KEYDOWN:
        event = { kKeyEventDown, int32_t(key_code_from_virtual_key(wparam, key_modifier_state())),
            int32_t(lparam >> 30 & 1), 0 };
        return true;
    case plat::WM_KEYUP:
        event = { kKeyEventUp, int32_t(key_code_from_virtual_key(wparam, 0)), 0, 0 };
        return true;
    case plat::WM_CHAR:
        // The character goes through the virtual-key rules ('a' is 97, the keypad 1); the
        // readers of character events take the character field.
        event = { kKeyEventChar, int32_t(key_code_from_virtual_key(wparam, key_modifier_state())),
            0, int32_t(wparam) };
        return true;
    default: return false;
    }
}

static bool is_lower(uint32_t c) { return c >= 'a' && c <= 'z'; }

static bool is_letter(uint32_t c) { return is_lower(c) || (c >= 'A' && c <= 'Z'); }

static uint32_t to_upper(uint32_t c) { return is_lower(c) ? c - ('a' - 'A') : c; }

static uint32_t keypad_character(uint32_t virtual_key)
{
    switch (virtual_key) {
    case 106: return '*';
    case 107: return '+';
    case 109: return '-';
    case 110: return '.';
    case 111: return '/';
    default: return 0;
    }
}

KeyCode key_code_from_virtual_key(uint32_t vk, uint32_t modifiers)
{
    if (vk >= 8 && vk <= 13)
        return vk | modifiers; // Backspace, Tab, Clear and Enter are characters
    if (vk == 32)
        return ' ' | modifiers;
    if (vk < 48)
        return vk | modifiers | kKeyVirtual;
    if (vk >= 96 && vk <= 105)
        return (vk - 48) | modifiers; // keypad digits
    if (uint32_t c = keypad_character(vk))
        return c | modifiers;
    if ((vk >= 112 && vk <= 127) || vk == 144)
        return vk | modifiers | kKeyVirtual;
    uint32_t c = layout_to_ascii(vk, modifiers & kKeyShift);
    if (c == 0)
        return 0;
    if (is_letter(c) && (modifiers & (kKeyCtrl | kKeyAlt)))
        c = to_upper(c);
    else if (is_letter(c) && (modifiers & kKeyCapsLock))
        c ^= 'a' - 'A';
    return modifiers | c;
}

int key_word(int index, char* out, int size)
{
    int length = str_load_resource(out, size, kKeyWordBase, uint32_t(index));
    if (length == 0 && index >= 0 && index < kKeyWordCount)
        length = str_copy_bounded(out, kDefaultWords[index], size);
    return length;
}

static std::string upper_word(int index)
{
    char word[64];
    key_word(index, word, int(sizeof word));
    plat::char_upper(word);
    return word;
}

static int put_word(int index, char* out, int size)
{
    char word[64];
    key_word(index, word, int(sizeof word));
    str_copy_bounded(out, word, size);
    return kKeyBaseNamed;
}

static bool is_printable(uint32_t k)
{
    if (k >= 32 && k < 127)
        return true;
    const StrSettings& s = str_settings();
    return (s.language == 'J' || s.double_byte) && k >= 160 && k <= 223;
}

int key_base_name(int flags, KeyCode code, char* out, int size)
{
    uint32_t k = code & kKeyBase;
    for (const NamedKey& named : kNamedKeys) {
        if ((code & kKeyShift) && k + kKeyShift == named.code) {
            put_word(named.word, out, size);
            return kKeyBaseChar;
        }
        if (k == named.code)
            return put_word(named.word, out, size);
    }
    if (k >= kKeyF1 && k <= kKeyF16) {
        char name[80];
        key_word(kKeyWordF, name, 64);
        std::snprintf(name + std::strlen(name), 16, "%u", unsigned(k - kKeyF1 + 1));
        str_copy_bounded(out, name, size);
        return kKeyBaseNamed;
    }
    char character[2] = { char(k), '\0' };
    if ((flags & kKeyNameHighChars) && k >= 0x80 && k <= 0xFF && !str_settings().double_byte) {
        str_copy_bounded(out, character, size);
        return kKeyBaseHighChar;
    }
    if (!is_printable(k)) {
        str_copy_bounded(out, "", size);
        return kKeyBaseNone;
    }
    if ((flags & kKeyNameUpper) && is_lower(k))
        character[0] = char(to_upper(k));
    str_copy_bounded(out, character, size);
    return kKeyBaseChar;
}

static void append_word(std::string& name, int index, int flags)
{
    char word[64];
    key_word(index, word, int(sizeof word));
    name += word;
    if (flags & kKeyNamePlus)
        name += '+';
}

int key_name_from_code(int flags, KeyCode code, char* out, int size)
{
    char base[96];
    int kind = key_base_name(flags, code, base, int(sizeof base));
    str_copy_bounded(out, "", size);
    if (kind == kKeyBaseNone)
        return 0;
    std::string name;
    if (code & kKeyCtrl)
        append_word(name, kKeyWordCtrl, flags);
    if (code & kKeyAlt)
        append_word(name, kKeyWordAlt, flags);
    if ((code & kKeyShift) && !(kind & 2))
        append_word(name, kKeyWordShift, flags);
    name += base;
    if (!out || size < 1 || name.size() > size_t(size) - 1)
        return 0;
    std::memcpy(out, name.c_str(), name.size() + 1);
    return 1;
}

KeyCode key_named_code(const char* upper_text)
{
    if (!upper_text || !*upper_text)
        return 0;
    std::string f = upper_word(kKeyWordF);
    if (!f.empty() && std::strncmp(upper_text, f.c_str(), f.size()) == 0) {
        const char* digits = upper_text + f.size();
        size_t count = std::strspn(digits, "0123456789");
        if (count >= 1 && count <= 2 && digits[count] == '\0') {
            int number = std::atoi(digits);
            if (number >= 1 && number <= 16)
                return kKeyF1 + uint32_t(number - 1);
        }
    }
    for (const NamedKey& named : kNamedKeys) {
        if (upper_word(named.word) == upper_text)
            return named.code;
    }
    return 0;
}

// Skips the modifier words at the start of upper (any number, in any order); their bits.
static uint32_t skip_modifier_words(const char*& upper)
{
    std::string words[std::size(kModifierWords)];
    for (size_t i = 0; i < std::size(kModifierWords); ++i)
        words[i] = upper_word(kModifierWords[i].word);
    uint32_t bits = 0;
    for (bool matched = true; matched;) {
        matched = false;
        for (size_t i = 0; i < std::size(kModifierWords) && !matched; ++i) {
            const std::string& w = words[i];
            if (!w.empty() && std::strncmp(upper, w.c_str(), w.size()) == 0) {
                bits |= kModifierWords[i].bits;
                upper += w.size();
                matched = true;
            }
        }
    }
    return bits;
}

KeyCode key_code_from_name(const char* text)
{
    if (!text || !*text)
        return 0;
    size_t length = std::strlen(text);
    uint8_t last = uint8_t(text[length - 1]);
    uint8_t before = length >= 2 ? uint8_t(text[length - 2]) : 0;
    std::string upper = text;
    plat::char_upper(upper.data());
    const char* rest = upper.c_str();
    uint32_t modifiers = skip_modifier_words(rest);
    size_t rest_length = std::strlen(rest);
    if (rest_length > 1) {
        if (rest_length == 2 && !str_is_single_byte(rest))
            return uint32_t(before) << 8 | last; // one double-byte character, as typed
        KeyCode named = key_named_code(rest);
        return named ? named | modifiers : 0;
    }
    uint32_t c = last;
    if (modifiers & (kKeyCtrl | kKeyAlt))
        c = to_upper(c);
    return modifiers | c;
}

int key_codes_equal(KeyCode a, KeyCode b)
{
    if ((a | b) & kKeyVirtual)
        return a == b;
    uint32_t char_a = a & 0xFFFF;
    uint32_t char_b = b & 0xFFFF;
    // Only one-byte letters: the low byte of a two-byte character may look like a letter.
    if (is_letter(char_a) && is_letter(char_b))
        return (a & 0xFF0000) == (b & 0xFF0000) && to_upper(char_a) == to_upper(char_b);
    return a == b;
}

KeyCode key_strip_virtual(KeyCode code) { return code & kKeyVirtual ? code & ~0xFFu : code; }

int key_is_plain_char(KeyCode code)
{
    uint32_t k = code & kKeyBase;
    return k > 32 && k < 127;
}

int key_is_modifier(KeyCode code)
{
    switch (code & kKeyBase) {
    case 0x10010: // Shift
    case 0x10011: // Ctrl
    case 0x10012: // Alt
    case 0x10014: // Caps Lock
    case 0x10090: // Num Lock
        return 1;
    default: return 0;
    }
}

int key_is_special_virtual(uint32_t virtual_key)
{
    return virtual_key <= 47 || (virtual_key >= 112 && virtual_key <= 127) || virtual_key == 144;
}

static bool known_platform(int platform)
{
    return platform == kKeyPlatformWindows || platform == kKeyPlatformMac;
}

static KeyCode platform_code(const PlatformKey& key, int platform)
{
    return platform == kKeyPlatformWindows ? key.windows : key.mac;
}

KeyCode key_translate_code(KeyCode code, int from, int to)
{
    if (from == to || !known_platform(from) || !known_platform(to))
        return code;
    for (const PlatformKey& key : kPlatformKeys) {
        if (platform_code(key, from) == code)
            return platform_code(key, to);
    }
    return code;
}
