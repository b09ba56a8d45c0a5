#include "platform/window/keyboard.h"

#include "platform/kernel/codepage.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

enum Modifiers : uint8_t { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4, kCaps = 8 };

struct CharCase {
    const char* name;
    uint32_t vk;
    uint8_t modifiers;
    int expected; // -1: no character
};

static const CharCase kUsCases[] = {
    {"letter", 'A', kNone, 'a'},
    {"shifted letter", 'A', kShift, 'A'},
    {"caps lock", 'Q', kCaps, 'Q'},
    {"caps lock and shift cancel", 'Q', kCaps | kShift, 'q'},
    {"caps lock leaves digits", '1', kCaps, '1'},
    {"shifted digit", '2', kShift, '@'},
    {"shifted zero", '0', kShift, ')'},
    {"punctuation", VK_OEM_1, kNone, ';'},
    {"shifted punctuation", VK_OEM_7, kShift, '"'},
    {"apostrophe is plain on the US layout", VK_OEM_7, kNone, '\''},
    {"space", VK_SPACE, kNone, ' '},
    {"return", VK_RETURN, kNone, '\r'},
    {"ctrl return", VK_RETURN, kCtrl, '\n'},
    {"ctrl letter", 'Q', kCtrl, 0x11},
    {"ctrl bracket", VK_OEM_4, kCtrl, 0x1B},
    {"ctrl digit gives nothing", '1', kCtrl, -1},
    {"alt letter", 'F', kAlt, 'f'},
    {"ctrl alt gives nothing", 'E', kCtrl | kAlt, -1},
    {"numeric pad", VK_NUMPAD0 + 7, kNone, '7'},
    {"arrow gives nothing", VK_LEFT, kNone, -1},
    {"function key gives nothing", VK_F1, kNone, -1},
};

static void set_modifiers(uint8_t* state, uint8_t modifiers)
{
    state[VK_SHIFT] = (modifiers & kShift) ? 0x80 : 0;
    state[VK_CONTROL] = (modifiers & kCtrl) ? 0x80 : 0;
    state[VK_MENU] = (modifiers & kAlt) ? 0x80 : 0;
    state[VK_CAPITAL] = (modifiers & kCaps) ? 0x01 : 0;
}

TEST(KeyboardLayout, UsKeysGiveTheirCharacters)
{
    keyboard_reset();
    for (const CharCase& c : kUsCases) {
        SCOPED_TRACE(c.name);
        uint8_t state[256] = {};
        set_modifiers(state, c.modifiers);
        KeyChar result = keyboard_key_char(c.vk, state);
        EXPECT_EQ(result.kind == KeyChar::character ? int(result.ch) : -1, c.expected);
    }
}

class TranslateTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        window = make_top("W");
        pump();
        take_seen();
    }

    // Translates key-downs of the keys (with the modifiers held) and lists what was posted.
    std::vector<std::string> translate_keys(const std::vector<std::pair<uint32_t, uint8_t>>& keys)
    {
        std::vector<std::string> posted;
        for (auto [vk, modifiers] : keys) {
            uint8_t state[256] = {};
            set_modifiers(state, modifiers);
            set_keyboard_state(state);
            Msg msg;
            msg.hwnd = window;
            msg.message = (modifiers & kAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
            msg.wparam = vk;
            msg.lparam = 0x00200001;
            translate_message(msg);
            Msg out;
            while (peek_message(out, PM_REMOVE)) {
                char text[32];
                std::snprintf(text, sizeof text, "%s %02X", message_name(out.message), unsigned(out.wparam));
                posted.push_back(text);
                EXPECT_EQ(out.lparam, 0x00200001); // the key's own lparam
            }
        }
        return posted;
    }

    WindowHandle window;
};

using Posted = std::vector<std::string>;

TEST_F(TranslateTest, KeyDownsBecomeCharacters)
{
    EXPECT_EQ(translate_keys({{'H', kShift}, {'I', kNone}, {VK_F5, kNone}}), (Posted{"WM_CHAR 48", "WM_CHAR 69"}));
    EXPECT_EQ(translate_keys({{'X', kAlt}}), (Posted{"WM_SYSCHAR 78"}));
    Msg up;
    up.hwnd = window;
    up.message = WM_KEYUP;
    up.wparam = 'A';
    EXPECT_FALSE(translate_message(up));
}

struct DeadKeyCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint8_t>> keys;
    Posted expected;
};

TEST_F(TranslateTest, DeadKeysComposeOnTheInternationalLayout)
{
    ASSERT_TRUE(set_active_code_page(CP_WESTERN));
    keyboard_set_layout(KeyboardLayout::us_international);
    const DeadKeyCase cases[] = {
        {"acute e", {{VK_OEM_7, kNone}, {'E', kNone}}, {"WM_DEADCHAR 27", "WM_CHAR E9"}},
        {"grave capital A", {{VK_OEM_3, kNone}, {'A', kShift}}, {"WM_DEADCHAR 60", "WM_CHAR C0"}},
        {"circumflex o", {{'6', kShift}, {'O', kNone}}, {"WM_DEADCHAR 5E", "WM_CHAR F4"}},
        {"tilde n", {{VK_OEM_3, kShift}, {'N', kNone}}, {"WM_DEADCHAR 7E", "WM_CHAR F1"}},
        {"diaeresis u", {{VK_OEM_7, kShift}, {'U', kNone}}, {"WM_DEADCHAR 22", "WM_CHAR FC"}},
        {"space gives the accent itself", {{VK_OEM_7, kNone}, {VK_SPACE, kNone}}, {"WM_DEADCHAR 27", "WM_CHAR 27"}},
        {"no composition: both characters", {{VK_OEM_7, kNone}, {'X', kNone}}, {"WM_DEADCHAR 27", "WM_CHAR 27", "WM_CHAR 78"}},
        {"dead key twice", {{VK_OEM_3, kNone}, {VK_OEM_3, kNone}}, {"WM_DEADCHAR 60", "WM_CHAR 60", "WM_CHAR 60"}},
        {"shift between keeps the dead key", {{VK_OEM_7, kNone}, {VK_SHIFT, kShift}, {'E', kShift}}, {"WM_DEADCHAR 27", "WM_CHAR C9"}},
        {"alt makes system messages", {{VK_OEM_7, kAlt}, {'E', kAlt}}, {"WM_SYSDEADCHAR 27", "WM_SYSCHAR E9"}},
    };
    for (const DeadKeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(translate_keys(c.keys), c.expected);
    }
    keyboard_set_layout(KeyboardLayout::us);
    EXPECT_EQ(translate_keys({{VK_OEM_7, kNone}, {'E', kNone}}), (Posted{"WM_CHAR 27", "WM_CHAR 65"}));
}

TEST_F(TranslateTest, ACompositionMissingFromTheCodePageGivesBothCharacters)
{
    if (!set_active_code_page(CP_KOREAN))
        GTEST_SKIP() << "code page 949 not available";
    keyboard_set_layout(KeyboardLayout::us_international);
    // Code page 949 has no single-byte e acute.
    Posted got = translate_keys({{VK_OEM_7, kNone}, {'E', kNone}});
    codepage_reset();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), "WM_DEADCHAR 27");
    EXPECT_NE(got.size(), 2u) << "not a single composed byte";
}

struct NameCase {
    const char* text;
    std::vector<uint32_t> keys; // empty: refused
};

static const NameCase kNameCases[] = {
    {"Enter", {VK_RETURN}},
    {"enter", {VK_RETURN}},
    {"Ctrl+Q", {VK_CONTROL, 'Q'}},
    {"Ctrl+Shift+Tab", {VK_CONTROL, VK_SHIFT, VK_TAB}},
    {"Alt+F4", {VK_MENU, VK_F4}},
    {"F24", {VK_F24}},
    {"Num5", {VK_NUMPAD0 + 5}},
    {"a", {'A'}},
    {";", {VK_OEM_1}},
    {"Ctrl++", {VK_CONTROL, VK_OEM_PLUS}},
    {"F25", {}},
    {"Ctrl+", {}},
    {"Nope", {}},
    {"", {}},
};

TEST(KeyboardNames, ScriptKeyNamesAndCombinations)
{
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.text);
        std::vector<uint32_t> keys;
        bool parsed = keyboard_parse_combination(c.text, keys);
        EXPECT_EQ(parsed, !c.keys.empty());
        if (parsed) {
            EXPECT_EQ(keys, c.keys);
        }
    }
}

TEST(KeyboardNames, EveryPrintableCharacterHasAKey)
{
    keyboard_reset();
    uint8_t state[256] = {};
    for (int c = 0x20; c < 0x7F; c++) {
        SCOPED_TRACE(c);
        uint32_t vk = 0;
        bool shift = false;
        ASSERT_TRUE(keyboard_key_for_char(uint8_t(c), vk, shift));
        state[VK_SHIFT] = shift ? 0x80 : 0;
        KeyChar back = keyboard_key_char(vk, state);
        EXPECT_EQ(back.ch, uint8_t(c)); // the key really types it
    }
    uint32_t vk = 0;
    bool shift = false;
    EXPECT_FALSE(keyboard_key_for_char(0xE9, vk, shift));
}

TEST(KeyboardNames, ScanCodes)
{
    EXPECT_EQ(keyboard_scan_code('A'), 0x1Eu);
    EXPECT_EQ(keyboard_scan_code('Q'), 0x10u);
    EXPECT_EQ(keyboard_scan_code('1'), 0x02u);
    EXPECT_EQ(keyboard_scan_code(VK_RETURN), 0x1Cu);
    EXPECT_TRUE(keyboard_is_extended(VK_LEFT));
    EXPECT_FALSE(keyboard_is_extended('A'));
}

} // namespace
