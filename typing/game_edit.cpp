// The answer line. Composition from the input method shows as a last code that the next
// composition step replaces; the finished syllable then stays.
#include "typing/game_edit.h"

#include "platform/controls/controls.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/ime/ime.h"
#include "platform/window/caret.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/johab.h"
#include "typing/text_draw.h"
#include "typing/tutor_settings.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
struct GameEdit {
    std::vector<uint16_t> codes;
    bool interim = false; // the last code is a composition still going on
    uint8_t lead = 0; // a CP949 lead byte waiting for its trail
    plat::ImcHandle context;
};
} // namespace

static GameEdit* instance(plat::WindowHandle window)
{
    return reinterpret_cast<GameEdit*>(plat::get_window_long_ptr(window, 0));
}

static void notify(plat::WindowHandle window, uint32_t code)
{
    plat::post_message(plat::get_parent(window), plat::WM_COMMAND, plat::WParam(plat::get_dlg_ctrl_id(window)),
        plat::LParam(code << 16 | (window.id & 0xFFFF)));
}

static void command(plat::WindowHandle window, uint32_t id)
{
    plat::post_message(plat::get_parent(window), plat::WM_COMMAND, id, 0);
}

static uint32_t cell() { return text_extent({}, " "); }

static void place_caret(const GameEdit& edit)
{
    std::string text = codes_to_dbcs(edit.codes);
    int32_t half = int32_t(cell() & 0xFFFF);
    plat::set_caret_pos(half + int32_t(text.size()) * half, 0);
}

static void changed(plat::WindowHandle window, const GameEdit& edit)
{
    plat::invalidate_rect(window, nullptr, true);
    place_caret(edit);
}

static void add_code(plat::WindowHandle window, GameEdit& edit, uint16_t code, bool interim)
{
    if (edit.interim && !edit.codes.empty())
        edit.codes.pop_back();
    edit.interim = false;
    if (code != 0 && edit.codes.size() < kGameEditMaxCodes) {
        edit.codes.push_back(code);
        edit.interim = interim;
    }
    changed(window, edit);
    if (!interim && edit.codes.size() >= kGameEditMaxCodes)
        notify(window, kNotifyGameEditAnswer);
}

static void on_byte(plat::WindowHandle window, GameEdit& edit, uint8_t ch)
{
    if (edit.lead) {
        uint16_t code = wansung_char_to_johab(uint16_t(edit.lead << 8 | ch));
        edit.lead = 0;
        add_code(window, edit, code, false);
        return;
    }
    if (ch & 0x80) {
        edit.lead = ch;
        return;
    }
    switch (ch) {
    case '\r':
        command(window, 1);
        return;
    case 27:
        command(window, 2);
        return;
    case '\b':
        if (!edit.codes.empty())
            edit.codes.pop_back();
        edit.interim = false;
        changed(window, edit);
        return;
    case ' ':
        notify(window, kNotifyGameEditAnswer);
        return;
    default:
        if (ch >= 0x20)
            add_code(window, edit, ch, false);
        return;
    }
}

// Composition strings are CP949; each character becomes one Johab code.
static void on_composition(plat::WindowHandle window, GameEdit& edit, plat::LParam lparam)
{
    char buffer[64] = {};
    if (lparam & plat::GCS_RESULTSTR) {
        int32_t got = plat::imm_get_composition_string(edit.context, plat::GCS_RESULTSTR, buffer, sizeof buffer - 1);
        std::string text(buffer, size_t(got > 0 ? got : 0));
        for (size_t i = 0; i < text.size(); ++i) {
            uint8_t ch = uint8_t(text[i]);
            if ((ch & 0x80) && i + 1 < text.size()) {
                add_code(window, edit, wansung_char_to_johab(uint16_t(ch << 8 | uint8_t(text[i + 1]))), false);
                ++i;
            } else {
                if (edit.interim && !edit.codes.empty())
                    edit.codes.pop_back();
                edit.interim = false;
                on_byte(window, edit, ch);
            }
        }
    } else if (lparam & plat::GCS_COMPSTR) {
        int32_t got = plat::imm_get_composition_string(edit.context, plat::GCS_COMPSTR, buffer, sizeof buffer - 1);
        uint16_t code = got >= 2 ? wansung_char_to_johab(uint16_t(uint8_t(buffer[0]) << 8 | uint8_t(buffer[1]))) : 0;
        add_code(window, edit, code, code != 0);
    }
}

static void paint(plat::WindowHandle window, const GameEdit& edit)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    plat::Rect client;
    plat::get_client_rect(window, client);
    plat::GdiObject white = plat::get_stock_object(plat::WHITE_BRUSH);
    plat::fill_rect(dc, client, white);
    std::string text = codes_to_dbcs(edit.codes);
    if (!text.empty())
        text_draw(dc, int32_t(cell() & 0xFFFF), 0, kTextOpaque, nullptr, text);
    plat::end_paint(window, ps);
}

static void set_text(plat::WindowHandle window, GameEdit& edit, const char* text)
{
    edit.codes = dbcs_to_codes(text ? text : "");
    if (edit.codes.size() > kGameEditMaxCodes)
        edit.codes.resize(kGameEditMaxCodes);
    edit.interim = false;
    edit.lead = 0;
    changed(window, edit);
}

static plat::LResult get_text(const GameEdit& edit, plat::WParam size, plat::LParam buffer)
{
    if (size == 0 || !buffer)
        return 0;
    std::string text = dbcs_cut(codes_to_dbcs(edit.codes), size - 1);
    std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
    return plat::LResult(text.size());
}

static plat::LResult on_create(plat::WindowHandle window)
{
    auto edit = std::make_unique<GameEdit>();
    edit->context = plat::imm_create_context();
    plat::imm_associate_context(window, edit->context);
    bool hangul = settings_current().Language == 0;
    plat::imm_set_open_status(edit->context, true);
    plat::imm_set_conversion_status(edit->context, hangul ? uint32_t(plat::IME_CMODE_NATIVE) : 0u, 0);
    plat::set_window_long_ptr(window, 0, reinterpret_cast<intptr_t>(edit.release()));
    return 0;
}

static plat::LResult on_message(plat::WindowHandle window, GameEdit& edit, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_PAINT:
        paint(window, edit);
        return 0;
    case plat::WM_GETDLGCODE:
        return plat::DLGC_WANTALLKEYS;
    case plat::WM_IME_STARTCOMPOSITION:
    case plat::WM_IME_ENDCOMPOSITION:
        return 0;
    case plat::WM_IME_COMPOSITION:
        on_composition(window, edit, lparam);
        return 0;
    case plat::WM_CHAR:
        on_byte(window, edit, uint8_t(wparam));
        return 0;
    case plat::WM_SETTEXT:
        set_text(window, edit, reinterpret_cast<const char*>(lparam));
        return 1;
    case plat::WM_GETTEXT:
        return get_text(edit, wparam, lparam);
    case plat::WM_GETTEXTLENGTH:
        return plat::LResult(codes_to_dbcs(edit.codes).size());
    case kMsgGameEditClear:
        set_text(window, edit, "");
        return 0;
    case plat::WM_SETFOCUS:
        plat::create_caret(window, {}, 2, int32_t(cell() >> 16));
        place_caret(edit);
        plat::show_caret(window);
        return 0;
    case plat::WM_KILLFOCUS:
        plat::destroy_caret();
        notify(window, kNotifyGameEditLostFocus);
        return 0;
    case plat::WM_DESTROY:
        plat::imm_associate_context(window, {});
        plat::imm_destroy_context(edit.context);
        delete &edit;
        plat::set_window_long_ptr(window, 0, 0);
        return 0;
    default:
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

static plat::LResult game_edit_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (message == plat::WM_CREATE)
        return on_create(window);
    GameEdit* edit = instance(window);
    if (!edit)
        return plat::def_window_proc(window, message, wparam, lparam);
    return on_message(window, *edit, message, wparam, lparam);
}

bool game_edit_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = game_edit_proc;
    c.window_extra = sizeof(void*);
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::WHITE_BRUSH);
    c.class_name = kGameEditClass;
    return plat::register_class(c) != 0;
}
