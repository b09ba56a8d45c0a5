#include "typing/automaton.h"

#include <gtest/gtest.h>

#include "platform/ime/ime.h"
#include "platform/window/keyboard.h"
#include "typing/keyboard_legend.h"
#include "typing/tutor_settings.h"

namespace {

// The keys of the legend's rows 0-3, column by column; 0 where the legend has a key that
// types no character (Tab, Caps Lock, Enter, Shift, Backspace).
static const uint32_t kLegendKeys[4][kLegendColumns] = {
    {plat::VK_OEM_3, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', plat::VK_OEM_MINUS, plat::VK_OEM_PLUS, 0},
    {0, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', plat::VK_OEM_4, plat::VK_OEM_6, plat::VK_OEM_5},
    {0, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', plat::VK_OEM_1, plat::VK_OEM_7, 0},
    {0, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', plat::VK_OEM_COMMA, plat::VK_OEM_PERIOD, plat::VK_OEM_2, 0},
};

// What the US keyboard types with the key, for keys a layout leaves alone.
static uint16_t us_char(uint32_t vk, bool shift)
{
    uint8_t state[256] = {};
    if (shift)
        state[plat::VK_SHIFT] = 0x80;
    plat::KeyChar key = plat::keyboard_key_char(vk, state);
    return key.kind == plat::KeyChar::character ? key.ch : 0;
}

TEST(Automaton, ComposerLayoutsTypeWhatTheKeyboardLegendShows)
{
    static const struct {
        const char* name;
        plat::HangulLayout layout;
        int legend;
        bool full; // the layout gives every key its own meaning
    } kLayouts[] = {
        {"2-beolsik", plat::HangulLayout::two_set, 0, false},
        {"3-beolsik 390", plat::HangulLayout::three_set_390, 1, true},
    };
    for (const auto& layout : kLayouts) {
        for (int shift = 0; shift < kLegendShifts; shift++) {
            for (int row = 0; row < 4; row++) {
                for (int column = 0; column < kLegendRowLength[row]; column++) {
                    uint32_t vk = kLegendKeys[row][column];
                    if (!vk)
                        continue;
                    SCOPED_TRACE(std::string(layout.name) + " shift " + std::to_string(shift) + " row "
                        + std::to_string(row) + " column " + std::to_string(column));
                    uint16_t code = automaton_key_code(layout.layout, vk, shift != 0);
                    EXPECT_EQ(code != 0, layout.full || (vk >= 'A' && vk <= 'Z'));
                    if (!code)
                        code = us_char(vk, shift != 0);
                    EXPECT_EQ(code, kKeyboardLegend[layout.legend][shift][row][column]);
                }
            }
        }
    }
}

TEST(Automaton, ConsonantsInTheirFinalForm)
{
    EXPECT_EQ(automaton_as_final(0x8841), 0x8442); // ㄱ
    EXPECT_EQ(automaton_as_final(0x8444), 0x8444); // ㄳ is a final already
    EXPECT_EQ(automaton_as_final(0xB041), 0x8456) << "ㅆ";
    EXPECT_EQ(automaton_as_final(0x9841), 0) << "ㄸ never ends a syllable";
    EXPECT_EQ(automaton_as_final(0x8461), 0) << "a vowel";
    EXPECT_EQ(automaton_as_final('a'), 0);
}

TEST(Automaton, TheTableFollowsKeyboard)
{
    plat::ime_reset();
    tutor_settings_reset();
    for (int32_t keyboard : {1, 0, 1}) {
        settings_current().Keyboard = keyboard;
        automaton_reselect();
        EXPECT_EQ(plat::ime_hangul_layout(), keyboard == 1 ? plat::HangulLayout::three_set_390 : plat::HangulLayout::two_set);
    }
    automaton_select_table(7);
    EXPECT_EQ(plat::ime_hangul_layout(), plat::HangulLayout::two_set) << "anything but 1 is 2-beolsik";
    tutor_settings_reset();
    plat::ime_reset();
}

} // namespace
