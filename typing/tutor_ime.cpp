#include "typing/tutor_ime.h"

#include "platform/ime/ime.h"
#include "platform/window/message.h"

constexpr uint32_t kConversionNative = 1;
constexpr uint32_t kConversionLowBits = 3; // native and katakana: both belong to the mode
constexpr uint32_t kMsgInterimChar = 0x10C;

bool ime_hangul_mode_get(plat::WindowHandle window)
{
    plat::ImcHandle context = plat::imm_get_context(window);
    uint32_t conversion = 0;
    uint32_t sentence = 0;
    plat::imm_get_conversion_status(context, &conversion, &sentence);
    plat::imm_release_context(window, context);
    return (conversion & kConversionNative) != 0;
}

void ime_hangul_mode_set(plat::WindowHandle window, bool on)
{
    plat::ImcHandle context = plat::imm_get_context(window);
    uint32_t conversion = 0;
    uint32_t sentence = 0;
    if (plat::imm_get_conversion_status(context, &conversion, &sentence)) {
        conversion &= ~kConversionLowBits;
        if (on)
            conversion |= kConversionNative;
        plat::imm_set_conversion_status(context, conversion, sentence);
    }
    plat::imm_release_context(window, context);
}

void ime_cancel_composition(plat::WindowHandle window)
{
    plat::ImcHandle context = plat::imm_get_context(window);
    plat::imm_set_composition_string(context, plat::SCS_SETSTR, "", 0, "", 0);
    plat::imm_release_context(window, context);
}

void ime_drop_pending_keys(plat::WindowHandle window)
{
    plat::Msg msg;
    while (plat::peek_message(msg, window, plat::WM_KEYDOWN, plat::WM_KEYDOWN + 8, plat::PM_REMOVE)) {
    }
    while (plat::peek_message(msg, window, kMsgInterimChar, kMsgInterimChar, plat::PM_REMOVE)) {
    }
}
