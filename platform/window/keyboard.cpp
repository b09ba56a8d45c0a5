#include "platform/window/keyboard.h"

#include <cstring>
#include <string>

#include "platform/kernel/codepage.h"
#include "platform/ime/ime.h"
#include "platform/window/input.h"

namespace plat {

struct KeyboardState {
    KeyboardLayout layout = KeyboardLayout::us;
    uint8_t pending_dead = 0; // the dead character waiting for the next key, 0 when none
};

static KeyboardState s_keyboard;

void keyboard_set_layout(KeyboardLayout layout)
{
    s_keyboard.layout = layout;
    s_keyboard.pending_dead = 0;
}

KeyboardLayout keyboard_get_layout() { return s_keyboard.layout; }

struct KeyRow {
    uint32_t vk;
    char normal;
    char shifted;
};

// The US layout's keys other than letters; a row's characters are the same in every
// ASCII-based code page.
static const KeyRow kUsKeys[] = {
    {'0', '0', ')'},
    {'1', '1', '!'},
    {'2', '2', '@'},
    {'3', '3', '#'},
    {'4', '4', '$'},
    {'5', '5', '%'},
    {'6', '6', '^'},
    {'7', '7', '&'},
    {'8', '8', '*'},
    {'9', '9', '('},
    {VK_SPACE, ' ', ' '},
    {VK_RETURN, '\r', '\r'},
    {VK_BACK, '\b', '\b'},
    {VK_TAB, '\t', '\t'},
    {VK_ESCAPE, 0x1B, 0x1B},
    {VK_OEM_1, ';', ':'},
    {VK_OEM_PLUS, '=', '+'},
    {VK_OEM_COMMA, ',', '<'},
    {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'},
    {VK_OEM_2, '/', '?'},
    {VK_OEM_3, '`', '~'},
    {VK_OEM_4, '[', '{'},
    {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},
    {VK_OEM_7, '\'', '"'},
    {VK_MULTIPLY, '*', '*'},
    {VK_ADD, '+', '+'},
    {VK_SUBTRACT, '-', '-'},
    {VK_DECIMAL, '.', '.'},
    {VK_DIVIDE, '/', '/'},
};

// Ctrl with a key gives a control character, as on a terminal.
static const KeyRow kCtrlKeys[] = {
    {VK_OEM_4, 0x1B, 0},    // Ctrl+[
    {VK_OEM_5, 0x1C, 0},    // Ctrl+backslash
    {VK_OEM_6, 0x1D, 0},    // Ctrl+]
    {'6', 0, 0x1E},         // Ctrl+Shift+6
    {VK_OEM_MINUS, 0, 0x1F}, // Ctrl+Shift+-
    {VK_RETURN, '\n', '\n'},
    {VK_BACK, 0x7F, 0x7F},
    {VK_SPACE, ' ', ' '},
    {VK_ESCAPE, 0x1B, 0x1B},
};

// The dead keys of the international layout: key, Shift, and the dead character.
struct DeadKeyRow {
    uint32_t vk;
    bool shifted;
    char dead;
};
static const DeadKeyRow kDeadKeys[] = {
    {VK_OEM_3, false, '`'},
    {VK_OEM_3, true, '~'},
    {VK_OEM_7, false, '\''},
    {VK_OEM_7, true, '"'},
    {'6', true, '^'},
};

// Dead character + base letter -> the composed character (Unicode).
struct ComposeRow {
    char dead;
    const char* bases;
    const char16_t* composed;
};
static const ComposeRow kCompose[] = {
    {'`', "aeiouAEIOU", u"àèìòùÀÈÌÒÙ"},
    {'\'', "aeiouycAEIOUYC", u"áéíóúýçÁÉÍÓÚÝÇ"},
    {'^', "aeiouAEIOU", u"âêîôûÂÊÎÔÛ"},
    {'~', "aonAON", u"ãõñÃÕÑ"},
    {'"', "aeiouyAEIOU", u"äëïöüÿÄËÏÖÜ"},
};

static bool is_down(const uint8_t* state, uint32_t vk) { return (state[vk] & 0x80) != 0; }

static KeyChar control_char(uint32_t vk, bool shift)
{
    if (vk >= 'A' && vk <= 'Z')
        return KeyChar{KeyChar::character, uint8_t(vk - 'A' + 1)};
    for (const KeyRow& row : kCtrlKeys) {
        char c = shift ? row.shifted : row.normal;
        if (row.vk == vk && c)
            return KeyChar{KeyChar::character, uint8_t(c)};
    }
    return KeyChar{};
}

static KeyChar dead_key(uint32_t vk, bool shift)
{
    if (s_keyboard.layout != KeyboardLayout::us_international)
        return KeyChar{};
    for (const DeadKeyRow& row : kDeadKeys) {
        if (row.vk == vk && row.shifted == shift)
            return KeyChar{KeyChar::dead, uint8_t(row.dead)};
    }
    return KeyChar{};
}

KeyChar keyboard_key_char(uint32_t vk, const uint8_t* state)
{
    if (vk > 0xFF)
        return KeyChar{};
    bool shift = is_down(state, VK_SHIFT);
    bool ctrl = is_down(state, VK_CONTROL);
    bool alt = is_down(state, VK_MENU);
    if (ctrl && alt)
        return KeyChar{}; // AltGr has nothing on these layouts
    if (ctrl)
        return control_char(vk, shift);
    KeyChar dead = dead_key(vk, shift);
    if (dead.kind == KeyChar::dead)
        return dead;
    if (vk >= 'A' && vk <= 'Z') {
        bool upper = shift != ((state[VK_CAPITAL] & 1) != 0);
        return KeyChar{KeyChar::character, uint8_t(upper ? vk : vk + 32)};
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return KeyChar{KeyChar::character, uint8_t('0' + vk - VK_NUMPAD0)};
    for (const KeyRow& row : kUsKeys) {
        if (row.vk == vk)
            return KeyChar{KeyChar::character, uint8_t(shift ? row.shifted : row.normal)};
    }
    return KeyChar{};
}

// The composed character in the active code page ("" when the pair does not combine or the
// page has no such character).
static std::string compose(uint8_t dead, uint8_t base)
{
    for (const ComposeRow& row : kCompose) {
        if (row.dead != char(dead) || base == 0)
            continue;
        const char* at = std::strchr(row.bases, char(base));
        if (!at)
            continue;
        std::u16string wide(1, row.composed[at - row.bases]);
        std::string bytes = wide_to_multi_byte(CP_ACP, wide);
        return bytes == "?" ? std::string() : bytes;
    }
    return {};
}

static void post_chars(const Msg& msg, uint32_t message, std::string_view bytes)
{
    for (char c : bytes)
        post_message(msg.hwnd, message, WParam(uint8_t(c)), msg.lparam);
}

// A character typed after a dead key: the composition, the dead character alone (space), or
// both characters.
static void finish_dead_key(const Msg& msg, uint32_t char_message, uint8_t ch)
{
    uint8_t dead = s_keyboard.pending_dead;
    s_keyboard.pending_dead = 0;
    std::string composed = compose(dead, ch);
    if (!composed.empty())
        post_chars(msg, char_message, composed);
    else if (ch == ' ')
        post_chars(msg, char_message, std::string(1, char(dead)));
    else
        post_chars(msg, char_message, std::string{char(dead), char(ch)});
}

bool translate_message(const Msg& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return false;
    if (ime_translate_key(msg))
        return true;
    bool sys = msg.message == WM_SYSKEYDOWN;
    uint8_t state[256];
    get_keyboard_state(state);
    KeyChar key = keyboard_key_char(uint32_t(msg.wparam), state);
    uint32_t char_message = sys ? WM_SYSCHAR : WM_CHAR;
    if (key.kind == KeyChar::none)
        return false;
    if (key.kind == KeyChar::dead && !s_keyboard.pending_dead) {
        s_keyboard.pending_dead = key.ch;
        post_message(msg.hwnd, sys ? WM_SYSDEADCHAR : WM_DEADCHAR, key.ch, msg.lparam);
        return true;
    }
    if (s_keyboard.pending_dead) {
        finish_dead_key(msg, char_message, key.ch);
        return true;
    }
    post_message(msg.hwnd, char_message, key.ch, msg.lparam);
    return true;
}

struct ScanRow {
    uint32_t vk;
    uint8_t scan;
    bool extended;
};

// Set-1 scan codes of the keys that are not letters or digits.
static const ScanRow kScanCodes[] = {
    {VK_ESCAPE, 0x01, false}, {VK_OEM_MINUS, 0x0C, false}, {VK_OEM_PLUS, 0x0D, false},
    {VK_BACK, 0x0E, false}, {VK_TAB, 0x0F, false}, {VK_OEM_4, 0x1A, false},
    {VK_OEM_6, 0x1B, false}, {VK_RETURN, 0x1C, false}, {VK_CONTROL, 0x1D, false},
    {VK_LCONTROL, 0x1D, false}, {VK_RCONTROL, 0x1D, true}, {VK_OEM_1, 0x27, false},
    {VK_OEM_7, 0x28, false}, {VK_OEM_3, 0x29, false}, {VK_SHIFT, 0x2A, false},
    {VK_LSHIFT, 0x2A, false}, {VK_OEM_5, 0x2B, false}, {VK_OEM_COMMA, 0x33, false},
    {VK_OEM_PERIOD, 0x34, false}, {VK_OEM_2, 0x35, false}, {VK_RSHIFT, 0x36, false},
    {VK_MULTIPLY, 0x37, false}, {VK_MENU, 0x38, false}, {VK_LMENU, 0x38, false},
    {VK_RMENU, 0x38, true}, {VK_SPACE, 0x39, false}, {VK_CAPITAL, 0x3A, false},
    {VK_NUMLOCK, 0x45, true}, {VK_SCROLL, 0x46, false}, {VK_HOME, 0x47, true},
    {VK_UP, 0x48, true}, {VK_PRIOR, 0x49, true}, {VK_SUBTRACT, 0x4A, false},
    {VK_LEFT, 0x4B, true}, {VK_RIGHT, 0x4D, true}, {VK_ADD, 0x4E, false},
    {VK_END, 0x4F, true}, {VK_DOWN, 0x50, true}, {VK_NEXT, 0x51, true},
    {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true}, {VK_DECIMAL, 0x53, false},
    {VK_DIVIDE, 0x35, true}, {VK_LWIN, 0x5B, true}, {VK_RWIN, 0x5C, true},
    {VK_APPS, 0x5D, true}, {VK_PAUSE, 0x45, false}, {VK_SNAPSHOT, 0x37, true},
    {VK_F11, 0x57, false}, {VK_F12, 0x58, false},
};

// Letters by keyboard row, each row's first scan code.
static const struct {
    const char* letters;
    uint8_t first_scan;
} kLetterRows[] = {{"QWERTYUIOP", 0x10}, {"ASDFGHJKL", 0x1E}, {"ZXCVBNM", 0x2C}};

// Numeric pad keys 0..9 share scan codes with the editing keys.
static const uint8_t kNumpadScans[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};

uint32_t keyboard_scan_code(uint32_t vk)
{
    if (vk >= '1' && vk <= '9')
        return vk - '1' + 0x02;
    if (vk == '0')
        return 0x0B;
    if (vk >= VK_F1 && vk <= VK_F10)
        return vk - VK_F1 + 0x3B;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return kNumpadScans[vk - VK_NUMPAD0];
    for (const auto& row : kLetterRows) {
        const char* at = vk >= 'A' && vk <= 'Z' ? std::strchr(row.letters, char(vk)) : nullptr;
        if (at)
            return uint32_t(row.first_scan + (at - row.letters));
    }
    for (const ScanRow& row : kScanCodes) {
        if (row.vk == vk)
            return row.scan;
    }
    return 0;
}

bool keyboard_is_extended(uint32_t vk)
{
    for (const ScanRow& row : kScanCodes) {
        if (row.vk == vk)
            return row.extended;
    }
    return false;
}

struct KeyName {
    const char* name;
    uint32_t vk;
};

static const KeyName kKeyNames[] = {
    {"Enter", VK_RETURN}, {"Return", VK_RETURN}, {"Tab", VK_TAB}, {"Esc", VK_ESCAPE},
    {"Escape", VK_ESCAPE}, {"Space", VK_SPACE}, {"Backspace", VK_BACK}, {"Back", VK_BACK},
    {"Delete", VK_DELETE}, {"Del", VK_DELETE}, {"Insert", VK_INSERT}, {"Ins", VK_INSERT},
    {"Home", VK_HOME}, {"End", VK_END}, {"PageUp", VK_PRIOR}, {"PgUp", VK_PRIOR},
    {"PageDown", VK_NEXT}, {"PgDn", VK_NEXT}, {"Left", VK_LEFT}, {"Right", VK_RIGHT},
    {"Up", VK_UP}, {"Down", VK_DOWN}, {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL},
    {"Control", VK_CONTROL}, {"Alt", VK_MENU}, {"CapsLock", VK_CAPITAL},
    {"NumLock", VK_NUMLOCK}, {"ScrollLock", VK_SCROLL}, {"Pause", VK_PAUSE},
    {"PrintScreen", VK_SNAPSHOT}, {"Win", VK_LWIN}, {"Apps", VK_APPS}, {"Hangul", VK_HANGUL},
    {"Hanja", VK_HANJA}, {"Multiply", VK_MULTIPLY}, {"Add", VK_ADD},
    {"Subtract", VK_SUBTRACT}, {"Decimal", VK_DECIMAL}, {"Divide", VK_DIVIDE},
};

static bool same_name(std::string_view a, const char* b)
{
    size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// "F1".."F24" and "Num0".."Num9".
static uint32_t numbered_key(std::string_view name)
{
    auto number = [](std::string_view digits, uint32_t limit) -> int {
        if (digits.empty() || digits.size() > 2)
            return -1;
        uint32_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + uint32_t(c - '0');
        }
        return value <= limit ? int(value) : -1;
    };
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = number(name.substr(1), 24);
        if (n >= 1)
            return VK_F1 + uint32_t(n - 1);
    }
    if (name.size() == 4 && same_name(name.substr(0, 3), "Num")) {
        int n = number(name.substr(3), 9);
        if (n >= 0)
            return VK_NUMPAD0 + uint32_t(n);
    }
    return 0;
}

uint32_t keyboard_vk_from_name(std::string_view name)
{
    for (const KeyName& row : kKeyNames) {
        if (same_name(name, row.name))
            return row.vk;
    }
    if (uint32_t vk = numbered_key(name))
        return vk;
    if (name.size() != 1)
        return 0;
    char c = name[0];
    if (c >= 'a' && c <= 'z')
        return uint32_t(c - 32);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return uint32_t(c);
    for (const KeyRow& row : kUsKeys) {
        if (row.vk >= VK_OEM_1 && (row.normal == c || row.shifted == c))
            return row.vk;
    }
    return 0;
}

bool keyboard_parse_combination(std::string_view text, std::vector<uint32_t>& keys)
{
    keys.clear();
    while (!text.empty()) {
        // A '+' right at the start of a part is the key itself ("Ctrl++").
        size_t plus = text.find('+', 1);
        std::string_view part = text.substr(0, plus);
        uint32_t vk = keyboard_vk_from_name(part);
        if (!vk)
            return false;
        keys.push_back(vk);
        if (plus == std::string_view::npos)
            return true;
        text.remove_prefix(plus + 1);
        if (text.empty())
            return false;
    }
    return false;
}

bool keyboard_key_for_char(uint8_t ch, uint32_t& vk, bool& shift)
{
    uint8_t state[256] = {};
    for (int with_shift = 0; with_shift < 2; with_shift++) {
        state[VK_SHIFT] = with_shift ? 0x80 : 0;
        for (uint32_t key = 1; key < 0xFF; key++) {
            if (key >= VK_NUMPAD0 && key <= VK_DIVIDE)
                continue; // the main keys type the same characters
            KeyChar result = keyboard_key_char(key, state);
            if (result.kind == KeyChar::character && result.ch == ch) {
                vk = key;
                shift = with_shift != 0;
                return true;
            }
        }
    }
    return false;
}

void keyboard_reset() { s_keyboard = KeyboardState{}; }

} // namespace plat
