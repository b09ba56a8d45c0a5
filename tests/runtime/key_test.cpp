#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "runtime/base/key.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

TEST(KeyName, CodeFromName)
{
    struct Case {
        const char* name;
        const char* text;
        KeyCode expected;
    };
    static const Case kCases[] = {
        { "Ctrl and a lower-case a", "Ctrla", kKeyCtrl | 'A' },
        { "lone a as typed", "a", 'a' },
        { "Shift and Tab run together", "ShiftTab", kKeyShift | 0x09 },
        { "plus sign is not skipped", "Ctrl+a", 0 },
        { "F12", "F12", 0x1007B },
        { "F17 is no key", "F17", 0 },
        { "F0 is no key", "F0", 0 },
        { "PageUp", "PageUp", 0x10021 },
        { "names ignore case", "pageup", 0x10021 },
        { "Enter", "Enter", 0x0D },
        { "Return", "Return", 0x0D },
        { "Pause includes Shift", "Pause", 0x30013 },
        { "Alt Shift x", "altshiftx", kKeyAlt | kKeyShift | 'X' },
        { "Cmd is Ctrl", "cmdQ", kKeyCtrl | 'Q' },
        { "Control is Ctrl", "ControlC", kKeyCtrl | 'C' },
        { "Opt is Alt", "OptF1", kKeyAlt | 0x10070 },
        { "Shift keeps the case", "Shifta", kKeyShift | 'a' },
        { "modifier alone gives its last letter", "Ctrl", kKeyCtrl | 'L' },
        { "unknown name", "Foo", 0 },
        { "empty", "", 0 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(key_code_from_name(c.text), c.expected);
    }
    EXPECT_EQ(key_code_from_name(nullptr), 0u);
}

TEST(KeyName, DoubleByteCharacterIsTakenAsTyped)
{
    TextScope scope(949, "K");
    EXPECT_EQ(key_code_from_name("\xB0\xA1"), 0xB0A1u);
    EXPECT_EQ(key_code_from_name("Ctrl\xB0\xA1"), 0xB0A1u); // no modifiers on a two-byte key
}

TEST(KeyName, NameFromCode)
{
    struct Case {
        const char* name;
        int flags;
        KeyCode code;
        int result;
        const char* expected;
    };
    static const Case kCases[] = {
        { "Ctrl Shift F1 with pluses", kKeyNamePlus, kKeyCtrl | kKeyShift | 0x10070, 1,
            "Ctrl+Shift+F1" },
        { "Shift belongs to Pause", 0, kKeyShift | 0x10013, 1, "Pause" },
        { "Break", 0, 0x10013, 1, "Break" },
        { "Shift belongs to Print", 0, kKeyShift | 0x1002A, 1, "Print" },
        { "SysReq", 0, 0x1002A, 1, "SysReq" },
        { "0x0D is Enter", 0, 0x0D, 1, "Enter" },
        { "Alt without plus", 0, kKeyAlt | 0x10070, 1, "AltF1" },
        { "F16", 0, 0x1007F, 1, "F16" },
        { "letter upper-cased with flag 1", kKeyNamePlus, kKeyCtrl | 'a', 1, "Ctrl+A" },
        { "letter as is", 0, kKeyCtrl | 'a', 1, "Ctrla" },
        { "Shift is part of a character", 0, kKeyShift | 'A', 1, "A" },
        { "unnamed virtual key", 0, 0x10099, 0, "" },
        { "control character", 0, 0x01, 0, "" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        char out[32];
        EXPECT_EQ(key_name_from_code(c.flags, c.code, out, 32), c.result);
        EXPECT_STREQ(out, c.expected);
    }
    char tiny[4];
    EXPECT_EQ(key_name_from_code(kKeyNamePlus, kKeyCtrl | 0x10070, tiny, 4), 0);
}

TEST(KeyName, BaseNameKinds)
{
    char out[16];
    EXPECT_EQ(key_base_name(0, 0x10025, out, 16), kKeyBaseNamed);
    EXPECT_STREQ(out, "LeftArrow");
    EXPECT_EQ(key_base_name(0, 'x', out, 16), kKeyBaseChar);
    EXPECT_EQ(key_base_name(kKeyNameHighChars, 0xE9, out, 16), kKeyBaseHighChar);
    EXPECT_STREQ(out, "\xE9");
    EXPECT_EQ(key_base_name(0, 0xE9, out, 16), kKeyBaseNone);
    EXPECT_EQ(key_base_name(0, 0x7F, out, 16), kKeyBaseNone);
    {
        // Half-width katakana are printable under the Japanese language letter.
        TextScope scope(932, "J");
        EXPECT_EQ(key_base_name(0, 0xB1, out, 16), kKeyBaseChar);
        EXPECT_EQ(key_base_name(kKeyNameHighChars, 0xE9, out, 16), kKeyBaseNone);
    }
}

TEST(KeyName, WordsFallBackToEnglish)
{
    char out[16];
    EXPECT_EQ(key_word(kKeyWordControl, out, 16), 7);
    EXPECT_STREQ(out, "Control");
    EXPECT_EQ(key_word(99, out, 16), 0);
    EXPECT_EQ(key_named_code("DOWNARROW"), 0x10028u);
    EXPECT_EQ(key_named_code("DownArrow"), 0u); // the caller upper-cases
}

TEST(KeyCode, FromVirtualKey)
{
    struct Case {
        const char* name;
        uint32_t virtual_key;
        uint32_t modifiers;
        KeyCode expected;
    };
    static const Case kCases[] = {
        { "backspace is a character", 8, 0, 8 },
        { "enter keeps modifiers", 13, kKeyCtrl, kKeyCtrl | 13 },
        { "space", 32, kKeyShift, kKeyShift | ' ' },
        { "left arrow is virtual", 0x25, 0, 0x10025 },
        { "keypad 1 is the digit", 97, 0, '1' },
        { "keypad star", 106, kKeyAlt, kKeyAlt | '*' },
        { "keypad slash", 111, 0, '/' },
        { "keypad separator makes nothing", 108, 0, 0 },
        { "F1", 112, kKeyShift, kKeyShift | 0x10070 },
        { "Num Lock", 144, 0, 0x10090 },
        { "letter", 'A', 0, 'a' },
        { "shifted letter", 'A', kKeyShift, kKeyShift | 'A' },
        { "Caps Lock turns the case", 'A', kKeyCapsLock, kKeyCapsLock | 'A' },
        { "Caps Lock and Shift", 'A', kKeyCapsLock | kKeyShift, kKeyCapsLock | kKeyShift | 'a' },
        { "Ctrl makes capitals", 'A', kKeyCtrl, kKeyCtrl | 'A' },
        { "Alt over Caps Lock", 'A', kKeyAlt | kKeyCapsLock, kKeyAlt | kKeyCapsLock | 'A' },
        { "shifted digit", '1', kKeyShift, kKeyShift | '!' },
        { "punctuation", 0xBA, 0, ';' },
        { "shifted punctuation", 0xDE, kKeyShift, kKeyShift | '"' },
        { "no character", 0xE5, 0, 0 },
        { "beyond a byte", 0x141, 0, 0 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(key_code_from_virtual_key(c.virtual_key, c.modifiers), c.expected);
    }
}

// Holds the keyboard in a state for one test and lets it go after.
class KeyboardScope {
public:
    explicit KeyboardScope(std::initializer_list<std::pair<uint32_t, uint8_t>> keys)
    {
        uint8_t state[256] = {};
        for (const auto& [vk, bits] : keys)
            state[vk] = bits;
        plat::set_keyboard_state(state);
    }
    ~KeyboardScope() { plat::input_reset(); }
};

TEST(KeyEvents, FromWindowMessages)
{
    KeyEvent event {};
    {
        KeyboardScope keys({ { plat::VK_SHIFT, 0x80 }, { plat::VK_CAPITAL, 0x01 } });
        EXPECT_EQ(key_modifier_state(), kKeyShift | kKeyCapsLock);
        ASSERT_TRUE(key_event_from_message(plat::WM_KEYDOWN, 0x25, 1u << 30, event));
        EXPECT_EQ(event.kind, kKeyEventDown);
        EXPECT_EQ(uint32_t(event.code), kKeyShift | kKeyCapsLock | 0x10025);
        EXPECT_EQ(event.repeat, 1);

        ASSERT_TRUE(key_event_from_message(plat::WM_KEYUP, 0x25, 0, event));
        EXPECT_EQ(event.kind, kKeyEventUp);
        EXPECT_EQ(event.code, 0x10025); // key up carries no modifiers
        EXPECT_EQ(event.repeat, 0);
    }
    {
        KeyboardScope keys({ { plat::VK_CONTROL, 0x80 }, { plat::VK_MENU, 0x80 } });
        EXPECT_EQ(key_modifier_state(), kKeyCtrl | kKeyAlt);
    }
    EXPECT_EQ(key_modifier_state(), 0u);
    // A character goes through the virtual-key rules: 'a' is 97, the keypad 1.
    ASSERT_TRUE(key_event_from_message(plat::WM_CHAR, 'a', 0, event));
    EXPECT_EQ(event.kind, kKeyEventChar);
    EXPECT_EQ(event.code, '1');
    EXPECT_EQ(event.character, 'a');

    KeyEvent before = event;
    EXPECT_FALSE(key_event_from_message(0x0200, 1, 2, event));
    EXPECT_EQ(std::memcmp(&before, &event, sizeof event), 0);
}

TEST(KeyCode, ComparisonAndClasses)
{
    struct Case {
        KeyCode a;
        KeyCode b;
        int equal;
    };
    static const Case kCases[] = {
        { kKeyCtrl | 'a', kKeyCtrl | 'A', 1 }, { 'a', kKeyCtrl | 'a', 0 }, { 'a', 'A', 1 },
        { 0x10041, 0x10061, 0 }, // virtual keys compare whole
        { '1', '1', 1 }, { '1', '2', 0 },
        { 0x4161, 0x4141, 0 }, // a two-byte character whose low byte looks like a letter
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.a << " " << c.b);
        EXPECT_EQ(key_codes_equal(c.a, c.b), c.equal);
    }
    EXPECT_EQ(key_strip_virtual(0x10025), 0x10000u);
    EXPECT_EQ(key_strip_virtual(kKeyCtrl | 'a'), kKeyCtrl | 'a');
    EXPECT_EQ(key_is_plain_char('a'), 1);
    EXPECT_EQ(key_is_plain_char(kKeyShift | '~'), 1);
    EXPECT_EQ(key_is_plain_char(' '), 0);
    EXPECT_EQ(key_is_plain_char(0x10041), 0);
    EXPECT_EQ(key_is_modifier(kKeyShift | 0x10010), 1);
    EXPECT_EQ(key_is_modifier(0x10090), 1);
    EXPECT_EQ(key_is_modifier(0x10013), 0);
    EXPECT_EQ(key_is_special_virtual(13), 1);
    EXPECT_EQ(key_is_special_virtual(127), 1);
    EXPECT_EQ(key_is_special_virtual(144), 1);
    EXPECT_EQ(key_is_special_virtual(65), 0);
}

TEST(KeyCode, TranslateBetweenPlatforms)
{
    struct Case {
        KeyCode code;
        int from;
        int to;
        KeyCode expected;
    };
    static const Case kCases[] = {
        { 0x10010, kKeyPlatformWindows, kKeyPlatformMac, 0x10038 },
        { 0x10038, kKeyPlatformMac, kKeyPlatformWindows, 0x10010 },
        { 0x0D, kKeyPlatformWindows, kKeyPlatformMac, 0x10024 }, // first of the two Enters
        { 0x10035, kKeyPlatformMac, kKeyPlatformWindows, 0x1001B },
        { 0x10013, kKeyPlatformWindows, kKeyPlatformMac, 0x30071 },
        { 0x1007E, kKeyPlatformWindows, kKeyPlatformMac, 0x10071 },
        { 'a', kKeyPlatformWindows, kKeyPlatformMac, 'a' },
        { 0x10010, kKeyPlatformWindows, 3, 0x10010 },
        { 0x10010, kKeyPlatformWindows, kKeyPlatformWindows, 0x10010 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code);
        EXPECT_EQ(key_translate_code(c.code, c.from, c.to), c.expected);
    }
}

} // namespace
