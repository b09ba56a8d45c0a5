#include "platform/backend/sdl_keys.h"

#include <SDL.h>

#include "window_test_support.h"

namespace {

using namespace wintest;

struct ScanCase {
    const char* name;
    SDL_Scancode scancode;
    NumLock num_lock;
    uint32_t vk;
};

static const ScanCase kScanCases[] = {
    {"first letter", SDL_SCANCODE_A, NumLock::off, 'A'},
    {"last letter", SDL_SCANCODE_Z, NumLock::off, 'Z'},
    {"digit one", SDL_SCANCODE_1, NumLock::off, '1'},
    {"digit zero comes last in SDL's order", SDL_SCANCODE_0, NumLock::off, '0'},
    {"F1", SDL_SCANCODE_F1, NumLock::off, VK_F1},
    {"F12", SDL_SCANCODE_F12, NumLock::off, VK_F12},
    {"F13 follows F12 in Win32's numbering", SDL_SCANCODE_F13, NumLock::off, VK_F12 + 1},
    {"F24", SDL_SCANCODE_F24, NumLock::off, VK_F24},
    {"keypad digit with Num Lock", SDL_SCANCODE_KP_7, NumLock::on, VK_NUMPAD0 + 7},
    {"keypad digit without Num Lock moves", SDL_SCANCODE_KP_7, NumLock::off, VK_HOME},
    {"keypad 5 without Num Lock", SDL_SCANCODE_KP_5, NumLock::off, VK_CLEAR},
    {"keypad zero without Num Lock inserts", SDL_SCANCODE_KP_0, NumLock::off, VK_INSERT},
    {"keypad point with Num Lock", SDL_SCANCODE_KP_PERIOD, NumLock::on, VK_DECIMAL},
    {"keypad point without Num Lock deletes", SDL_SCANCODE_KP_PERIOD, NumLock::off, VK_DELETE},
    {"keypad operators ignore Num Lock", SDL_SCANCODE_KP_PLUS, NumLock::off, VK_ADD},
    {"keypad Enter is Enter", SDL_SCANCODE_KP_ENTER, NumLock::on, VK_RETURN},
    {"left shift", SDL_SCANCODE_LSHIFT, NumLock::off, VK_LSHIFT},
    {"right control", SDL_SCANCODE_RCTRL, NumLock::off, VK_RCONTROL},
    {"left alt", SDL_SCANCODE_LALT, NumLock::off, VK_LMENU},
    {"right alt", SDL_SCANCODE_RALT, NumLock::off, VK_RMENU},
    {"windows key", SDL_SCANCODE_LGUI, NumLock::off, VK_LWIN},
    {"caps lock", SDL_SCANCODE_CAPSLOCK, NumLock::off, VK_CAPITAL},
    {"semicolon", SDL_SCANCODE_SEMICOLON, NumLock::off, VK_OEM_1},
    {"apostrophe", SDL_SCANCODE_APOSTROPHE, NumLock::off, VK_OEM_7},
    {"grave", SDL_SCANCODE_GRAVE, NumLock::off, VK_OEM_3},
    {"page up", SDL_SCANCODE_PAGEUP, NumLock::off, VK_PRIOR},
    {"Hangul key", SDL_SCANCODE_LANG1, NumLock::off, VK_HANGUL},
    {"no such key", SDL_SCANCODE_UNKNOWN, NumLock::off, 0},
    {"a key the layer has not", SDL_SCANCODE_AC_BACK, NumLock::off, 0},
};

TEST(SdlKeys, ScanCodesGiveVirtualKeys)
{
    for (const ScanCase& c : kScanCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sdlkeys_virtual_key(c.scancode, c.num_lock), c.vk);
    }
}

// What a US keyboard sends for "Hi! a;1": each key with Shift held or not.
struct Stroke {
    SDL_Scancode scancode;
    bool shift;
};

static const Stroke kTyping[] = {
    {SDL_SCANCODE_H, true}, {SDL_SCANCODE_I, false}, {SDL_SCANCODE_1, true}, {SDL_SCANCODE_SPACE, false},
    {SDL_SCANCODE_A, false}, {SDL_SCANCODE_SEMICOLON, false}, {SDL_SCANCODE_KP_1, false},
};

class SdlKeysTyping : public WindowTest {
protected:
    std::string typed_chars()
    {
        std::string chars;
        answer = [&](WindowHandle, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
            if (message == WM_CHAR)
                chars += char(wparam);
            return std::nullopt;
        };
        pump();
        answer = nullptr;
        return chars;
    }
};

// The keys the display reports make the same characters as a headless script's "type".
TEST_F(SdlKeysTyping, DisplayKeysTypeWhatAScriptTypes)
{
    make_top("W");
    pump();
    uint32_t shift = sdlkeys_virtual_key(SDL_SCANCODE_LSHIFT, NumLock::off);
    for (const Stroke& stroke : kTyping) {
        uint32_t vk = sdlkeys_virtual_key(stroke.scancode, NumLock::on);
        if (stroke.shift)
            input_key(shift, true);
        input_key(vk, true);
        input_key(vk, false);
        if (stroke.shift)
            input_key(shift, false);
    }
    std::string from_display = typed_chars();

    std::vector<ScriptCommand> script;
    std::string error;
    ASSERT_TRUE(script_parse("type Hi! a;1\n", script, error)) << error;
    script_start(script);
    ASSERT_TRUE(script_run_next(error)) << error;
    EXPECT_EQ(from_display, "Hi! a;1");
    EXPECT_EQ(typed_chars(), from_display);
}

// A key event as SDL reports it, or (follow) SDL's modifier state read at start or on focus.
struct SdlKeyStep {
    enum Kind { press, down, repeat, up, follow } kind;
    SDL_Scancode scancode;
    uint16_t mod;
};

struct CapsCase {
    const char* name;
    std::vector<SdlKeyStep> steps;
    const char* typed;
    bool caps_at_end;
};

static void send_sdl_key(SDL_Scancode scancode, uint16_t mod, bool down, bool repeat)
{
    SDL_KeyboardEvent key{};
    key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    key.repeat = repeat ? 1 : 0;
    key.keysym.scancode = scancode;
    key.keysym.mod = mod;
    sdlkeys_key_event(key);
}

// SDL's modifier state already counts a lock key's own press; the layer must not count it twice.
TEST_F(SdlKeysTyping, CapsLockFollowsTheDisplaysModifierState)
{
    using K = SdlKeyStep;
    const uint16_t caps = KMOD_CAPS;
    const CapsCase cases[] = {
        {"on before the program started: the keys carry it",
            {{K::press, SDL_SCANCODE_A, caps}, {K::press, SDL_SCANCODE_B, caps}, {K::press, SDL_SCANCODE_C, caps}}, "ABC", true},
        {"on before the program started: read at start",
            {{K::follow, SDL_SCANCODE_UNKNOWN, caps}, {K::press, SDL_SCANCODE_A, caps}}, "A", true},
        {"its own press turns it on and off",
            {{K::press, SDL_SCANCODE_A, 0}, {K::press, SDL_SCANCODE_CAPSLOCK, caps}, {K::press, SDL_SCANCODE_A, caps},
                {K::press, SDL_SCANCODE_CAPSLOCK, 0}, {K::press, SDL_SCANCODE_A, 0}},
            "aAa", false},
        {"a held Caps Lock repeats without turning",
            {{K::down, SDL_SCANCODE_CAPSLOCK, caps}, {K::repeat, SDL_SCANCODE_CAPSLOCK, caps},
                {K::up, SDL_SCANCODE_CAPSLOCK, caps}, {K::press, SDL_SCANCODE_A, caps}},
            "A", true},
        {"turned off while another program had the keyboard",
            {{K::follow, SDL_SCANCODE_UNKNOWN, caps}, {K::press, SDL_SCANCODE_A, caps},
                {K::follow, SDL_SCANCODE_UNKNOWN, 0}, {K::press, SDL_SCANCODE_A, 0}},
            "Aa", false},
        {"Shift with Caps Lock types small letters",
            {{K::down, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT | caps}, {K::press, SDL_SCANCODE_A, KMOD_LSHIFT | caps},
                {K::up, SDL_SCANCODE_LSHIFT, caps}, {K::press, SDL_SCANCODE_B, caps}},
            "aB", true},
    };
    make_top("W");
    pump();
    for (const CapsCase& c : cases) {
        SCOPED_TRACE(c.name);
        input_reset();
        for (const SdlKeyStep& step : c.steps) {
            if (step.kind == K::follow)
                sdlkeys_follow_locks(step.mod);
            if (step.kind == K::press || step.kind == K::down || step.kind == K::repeat)
                send_sdl_key(step.scancode, step.mod, true, step.kind == K::repeat);
            if (step.kind == K::press || step.kind == K::up)
                send_sdl_key(step.scancode, step.mod, false, false);
        }
        EXPECT_EQ(typed_chars(), c.typed);
        EXPECT_EQ((get_key_state(VK_CAPITAL) & 1) != 0, c.caps_at_end);
    }
}

TEST_F(SdlKeysTyping, HeldKeysRepeatWithTheRepeatBitAndTheirScanCode)
{
    make_top("W");
    pump();
    uint32_t vk = sdlkeys_virtual_key(SDL_SCANCODE_Q, NumLock::off);
    input_key(vk, true);
    input_key(vk, true); // SDL's repeat: another key-down without a key-up
    input_key(vk, false);
    std::vector<LParam> lparams;
    answer = [&](WindowHandle, uint32_t message, WParam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_KEYDOWN || message == WM_KEYUP)
            lparams.push_back(lparam);
        return std::nullopt;
    };
    pump();
    ASSERT_EQ(lparams.size(), 3u);
    auto bit = [](LParam lparam, int n) { return (uint32_t(lparam) >> n & 1) != 0; };
    EXPECT_FALSE(bit(lparams[0], 30)) << "first press";
    EXPECT_TRUE(bit(lparams[1], 30)) << "repeat: the key was down";
    EXPECT_TRUE(bit(lparams[2], 31)) << "release";
    for (LParam lparam : lparams)
        EXPECT_EQ(uint32_t(lparam) >> 16 & 0xFF, 0x10u) << "Q's scan code";
}

// SDL reports the wheel in notches; the layer sends WM_MOUSEWHEEL to the focus, and a child
// that does not take it passes it to its parent.
TEST_F(SdlKeysTyping, TheWheelTurnsForTheFocusAndRisesToItsParent)
{
    WindowHandle top = make_top("Top", Rect{100, 100, 400, 300});
    WindowHandle child = make_child("Child", top, Rect{10, 10, 100, 100});
    pump();
    set_focus(child);
    pump();
    take_seen();
    std::vector<std::string> got;
    answer = [&](WindowHandle window, uint32_t message, WParam wparam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_MOUSEWHEEL)
            got.push_back(label(window) + " " + std::to_string(int16_t(hiword(wparam))) + " at "
                + std::to_string(get_x_lparam(lparam)) + "," + std::to_string(get_y_lparam(lparam)));
        return std::nullopt;
    };
    input_mouse_wheel(-2 * WHEEL_DELTA, Point{150, 160});
    pump();
    EXPECT_EQ(got, (std::vector<std::string>{"Child -240 at 150,160", "Top -240 at 150,160"}));
}

} // namespace
