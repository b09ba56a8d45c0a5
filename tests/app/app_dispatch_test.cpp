// Key pre-translation: each row feeds one key message of a sequence and says whether it is
// dispatched, whether it is left to the dispatcher to translate, and the dead-key state after.
#include <string>
#include <vector>

#include "app_fixture.h"

namespace {

using namespace plat;

constexpr LParam kRepeat = LParam(1) << 30;
constexpr WParam kAcute = '\'';

struct KeyStep {
    uint32_t message;
    WParam wparam;
    LParam lparam;
    int dispatched;
    int translate;
    uint32_t dead_state;
};

struct KeyCase {
    const char* name;
    std::vector<KeyStep> steps;
};

// On the layout with dead keys, the apostrophe key is dead: with E it gives é (0xE9).
static const KeyCase kKeyCases[] = {
    {"plain key: translated here, so not again by the dispatcher",
        {{WM_KEYDOWN, 'E', 0, 1, 0, 0}, {WM_CHAR, 'e', 0, 1, 1, 0}, {WM_KEYUP, 'E', 0, 1, 1, 0}}},
    {"held shift reaches the engine once",
        {{WM_KEYDOWN, VK_SHIFT, 0, 1, 0, 0}, {WM_KEYDOWN, VK_SHIFT, kRepeat, 0, 1, 0},
            {WM_KEYDOWN, VK_SHIFT, kRepeat, 0, 1, 0}}},
    {"held ctrl reaches the engine once", {{WM_KEYDOWN, VK_CONTROL, kRepeat, 0, 1, 0}}},
    {"other keys repeat", {{WM_KEYDOWN, 'A', kRepeat, 1, 0, 0}}},
    {"messages beyond the keys pass", {{WM_MOUSEMOVE, 0, 0, 1, 1, 0}, {WM_IME_COMPOSITION, 0, 0, 1, 1, 0}}},
    {"dead key then a letter",
        {{WM_KEYDOWN, VK_OEM_7, 0, 1, 0, 3}, // translated here: its WM_DEADCHAR is queued
            {WM_DEADCHAR, kAcute, 0, 1, 1, 3},
            {WM_KEYUP, VK_OEM_7, 0, 0, 1, 3}, // the dead key's key-up is swallowed
            {WM_KEYDOWN, VK_SHIFT, 0, 1, 1, 1}, // Shift and Ctrl clear bit 1
            {WM_KEYUP, VK_SHIFT, 0, 1, 1, 1},
            {WM_KEYDOWN, 'E', 0, 1, 1, 3}, // left to the dispatcher: it composes
            {WM_CHAR, 0xE9, 0, 1, 1, 0}, // the composed character ends the sequence
            {WM_KEYUP, 'E', 0, 1, 1, 0}}},
    {"dead key typed twice gives itself",
        {{WM_DEADCHAR, kAcute, 0, 1, 1, 3}, {WM_KEYDOWN, VK_OEM_7, 0, 1, 1, 3},
            {WM_CHAR, kAcute, 0, 1, 1, 1}}},
    {"system dead character", {{WM_SYSDEADCHAR, '`', 0, 1, 1, 3}, {WM_SYSKEYUP, 'A', 0, 0, 1, 3},
                                  {WM_SYSCHAR, 'a', 0, 1, 1, 0}, {WM_SYSKEYUP, 'A', 0, 1, 1, 0}}},
};

class KeyPretranslateTest : public AppFixture { };

Msg key_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam = 0)
{
    Msg msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wparam = wparam;
    msg.lparam = lparam;
    return msg;
}

TEST_F(KeyPretranslateTest, KeysAreSwallowedOrPassedAsTheTableSays)
{
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        reset_all();
        keyboard_set_layout(KeyboardLayout::us_international);
        WindowHandle main = make_main_window();
        for (size_t i = 0; i < c.steps.size(); i++) {
            const KeyStep& step = c.steps[i];
            SCOPED_TRACE(i);
            Msg msg = key_message(main, step.message, step.wparam, step.lparam);
            int translate = -1;
            EXPECT_EQ(app_pretranslate_key(msg, translate), step.dispatched);
            EXPECT_EQ(translate, step.translate);
            EXPECT_EQ(app_dead_key_state(), step.dead_state);
            EXPECT_EQ(app_dead_key_pending(), step.dead_state == 3);
        }
    }
}

// Through the dispatcher a dead key and a letter make one composed character, once.
TEST_F(KeyPretranslateTest, DispatchComposesTheCharacterOnce)
{
    keyboard_set_layout(KeyboardLayout::us_international);
    WindowHandle main = make_main_window();
    Msg drain;
    while (peek_message(drain, PM_REMOVE)) { }
    static const WParam kKeys[] = {VK_OEM_7, 'E'};
    std::vector<WParam> characters;
    for (WParam key : kKeys) {
        app_dispatch_message(key_message(main, WM_KEYDOWN, key));
        Msg queued;
        while (peek_message(queued, main, WM_CHAR, WM_DEADCHAR, PM_REMOVE)) {
            app_dispatch_message(queued);
            if (queued.message == WM_CHAR)
                characters.push_back(queued.wparam);
        }
        app_dispatch_message(key_message(main, WM_KEYUP, key));
    }
    EXPECT_EQ(characters, std::vector<WParam>{0xE9});
    EXPECT_EQ(app_dead_key_state(), 0u);
}

} // namespace
