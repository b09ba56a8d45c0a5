#include "typing/kbd_controls.h"

#include "platform/controls/controls.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "platform/gdi/surface.h"
#include "platform/text/draw_text.h"
#include "platform/text/font.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <string>

constexpr int kPressedWord = 0; // QKTKbdButton: 1 while the left button is down
constexpr int kValueWord = 0; // PercentDisplay: the number shown

static void fill(plat::DcHandle dc, const plat::Rect& rect, uint32_t colour)
{
    plat::GdiObject brush = plat::create_solid_brush(colour);
    plat::fill_rect(dc, rect, brush);
    plat::delete_object(brush);
}

// A raised cap: light top and left edges, dark bottom and right ones; pressed, the other way.
static void paint_key_cap(plat::WindowHandle window)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    plat::Rect r;
    plat::get_client_rect(window, r);
    bool pressed = plat::get_window_word(window, kPressedWord) != 0;
    uint32_t light = plat::rgb(255, 255, 255);
    uint32_t dark = plat::rgb(128, 128, 128);
    fill(dc, r, plat::rgb(192, 192, 192));
    fill(dc, plat::Rect {r.left, r.top, r.right, r.top + 2}, pressed ? dark : light);
    fill(dc, plat::Rect {r.left, r.top, r.left + 2, r.bottom}, pressed ? dark : light);
    fill(dc, plat::Rect {r.left, r.bottom - 2, r.right, r.bottom}, pressed ? light : dark);
    fill(dc, plat::Rect {r.right - 2, r.top, r.right, r.bottom}, pressed ? light : dark);
    char text[64] = {};
    plat::get_window_text(window, text, sizeof text);
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    if (pressed)
        r = plat::Rect {r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    plat::draw_text(dc, text, -1, r, plat::DT_CENTER | plat::DT_VCENTER | plat::DT_SINGLELINE);
    plat::end_paint(window, ps);
}

static void press(plat::WindowHandle window, bool down)
{
    plat::set_window_word(window, kPressedWord, down ? 1 : 0);
    if (down)
        plat::set_capture(window);
    else
        plat::release_capture();
    plat::invalidate_rect(window, nullptr, true);
}

static plat::LResult kbd_button_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_GETDLGCODE: return plat::DLGC_STATIC;
    case plat::WM_PAINT: paint_key_cap(window); return 0;
    case plat::WM_LBUTTONDOWN: press(window, true); return 0;
    case plat::WM_LBUTTONUP: press(window, false); return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

static plat::LResult high_speedometer_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (message == plat::WM_GETDLGCODE)
        return plat::DLGC_STATIC;
    return plat::def_window_proc(window, message, wparam, lparam);
}

static void paint_percent(plat::WindowHandle window)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    plat::Rect r;
    plat::get_client_rect(window, r);
    plat::GdiObject font = plat::create_font(r.bottom, r.right / 3, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "BigFont");
    plat::GdiObject previous = plat::select_object(dc, font);
    std::string text = std::to_string(int16_t(plat::get_window_word(window, kValueWord)));
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    plat::draw_text(dc, text.c_str(), -1, r, plat::DT_CENTER | plat::DT_VCENTER | plat::DT_SINGLELINE);
    plat::select_object(dc, previous);
    plat::delete_object(font);
    plat::end_paint(window, ps);
}

static plat::LResult percent_display_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_GETDLGCODE: return plat::DLGC_STATIC;
    case plat::WM_PAINT: paint_percent(window); return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool kbd_controls_register(const plat::WindowClass& base)
{
    static const struct {
        const char* name;
        plat::WindowProc proc;
        int extra;
    } kClasses[] = {
        {kKbdButtonClass, kbd_button_proc, 6},
        {kHighSpeedometerClass, high_speedometer_proc, 8},
        {kPercentDisplayClass, percent_display_proc, 2},
    };
    uint16_t atom = 0;
    for (const auto& row : kClasses) {
        plat::WindowClass c = base;
        c.class_name = row.name;
        c.proc = row.proc;
        c.window_extra = row.extra;
        atom = plat::register_class(c);
    }
    return atom != 0;
}
