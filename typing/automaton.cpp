#include "typing/automaton.h"

#include "platform/ime/ime.h"
#include "typing/johab.h"
#include "typing/tutor_settings.h"

void automaton_select_table(int32_t keyboard)
{
    plat::ime_set_hangul_layout(keyboard == 1 ? plat::HangulLayout::three_set_390 : plat::HangulLayout::two_set);
}

void automaton_reselect() { automaton_select_table(settings_current().Keyboard); }

// Finals in syllable order, so that position + 1 is a syllable's final index.
static const char16_t kFinals[] = u"ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ";

// A compatibility jamo's Johab code holds a consonant in its initial field where it can
// begin a syllable; a final needs the final field, which 가 with that final carries.
static uint16_t final_code(char16_t jamo)
{
    for (int i = 0; kFinals[i]; i++) {
        if (kFinals[i] == jamo) {
            uint16_t syllable = unicode_to_johab(0xAC00 + uint32_t(i) + 1);
            return uint16_t(0x8000 | kJohabInitialFill << 10 | kJohabMedialFill << 5 | johab_final(syllable));
        }
    }
    return 0;
}

uint16_t automaton_as_final(uint16_t code)
{
    uint32_t jamo = johab_to_unicode(code);
    return jamo >= 0x3131 && jamo <= 0x314E ? final_code(char16_t(jamo)) : 0;
}

uint16_t automaton_key_code(plat::HangulLayout layout, uint32_t vk, bool shift)
{
    plat::HangulKey key = plat::hangul_key(layout, vk, shift);
    switch (key.role) {
    case plat::JamoRole::none: return key.ch < 0x80 ? key.ch : 0;
    case plat::JamoRole::final: return final_code(key.ch);
    case plat::JamoRole::initial:
    case plat::JamoRole::medial: return unicode_to_johab(key.ch);
    }
    return 0;
}
