// Key codes: the runtime's numbering of keys, made from window key messages, named in text (to
// and from), compared, and translated between the Windows and Macintosh numberings that pieces
// store.
#pragma once
#include <cstdint>

// Bits 0-15 a character (a two-byte character as lead << 8 | trail) or, with kKeyVirtual, a
// virtual key; then the modifiers.
using KeyCode = uint32_t;

enum : uint32_t {
    kKeyVirtual = 0x10000,
    kKeyShift = 0x20000,
    kKeyCtrl = 0x40000,
    kKeyAlt = 0x80000,
    kKeyCapsLock = 1u << 20,
    kKeyBase = 0x1FFFF, // the key without modifiers
    kKeyF1 = 0x10070,
    kKeyF16 = 0x1007F,
};

enum : int32_t { kKeyEventUp = 0, kKeyEventDown = 1, kKeyEventChar = 2 };

struct KeyEvent {
    int32_t kind;
    int32_t code;
    int32_t repeat; // auto-repeat flag of a key down
    int32_t character;
};

// Key words are string-table entries kKeyWordBase + index.
constexpr uint32_t kKeyWordBase = 1408;
enum : int {
    kKeyWordShift = 0,
    kKeyWordOpt = 1,
    kKeyWordAlt = 2,
    kKeyWordF = 3,
    kKeyWordCmd = 24,
    kKeyWordCtrl = 26,
    kKeyWordControl = 27,
    kKeyWordCount = 28,
};

enum : int { kKeyPlatformWindows = 1, kKeyPlatformMac = 2 };

// WM_KEYDOWN, WM_KEYUP and WM_CHAR fill the event and give true; other messages leave it.
bool key_event_from_message(uint32_t message, uint32_t wparam, uint32_t lparam, KeyEvent& event);
// The key code of a virtual key with the modifier bits; 0 when the key makes no code. Other
// keys than the special ones take their character from the platform's keyboard layout.
KeyCode key_code_from_virtual_key(uint32_t virtual_key, uint32_t modifiers);
// kKeyShift, kKeyCtrl, kKeyAlt of the keys down, kKeyCapsLock when Caps Lock is on, as the
// messages taken so far left the keyboard.
uint32_t key_modifier_state();

enum : int {
    kKeyNamePlus = 1, // key_name_from_code: "+" after each modifier word
    kKeyNameUpper = 1, // key_base_name: a lower-case letter is named in upper case
    kKeyNameHighChars = 2, // key_base_name: characters of 0x80 and above have names
};
// "Ctrl", "Alt", "Shift" as needed, then the base name; 0 when the key has no name or the name
// does not fit in size.
int key_name_from_code(int flags, KeyCode code, char* out, int size);
enum : int {
    kKeyBaseNone = 0,
    kKeyBaseNamed = 1,
    kKeyBaseChar = 3, // 1 and 2: Shift is part of the name
    kKeyBaseHighChar = 7,
};
int key_base_name(int flags, KeyCode code, char* out, int size);
// The key a name describes ("CtrlA", "ShiftTab", "F12"); 0 when it names none.
KeyCode key_code_from_name(const char* text);
// The named key (or F1 to F16) an upper-cased name gives; 0 when none.
KeyCode key_named_code(const char* upper_text);
// Key word index into out within size; its length.
int key_word(int index, char* out, int size);

int key_codes_equal(KeyCode a, KeyCode b);
KeyCode key_strip_virtual(KeyCode code);
int key_is_plain_char(KeyCode code);
int key_is_modifier(KeyCode code);
int key_is_special_virtual(uint32_t virtual_key);

// The code in the numbering of platform to; unchanged when the key has no counterpart.
KeyCode key_translate_code(KeyCode code, int from, int to);
