// The selector and its popup. The popup holds the mouse while it is open: a press on an item
// chooses it, a press elsewhere or Esc closes it. Without its picture a selector has items of
// size 0 and opens no popup.
#include "typing/bmp_menu.h"

#include "platform/gdi/gdi_object.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"
#include "typing/tutor_draw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {
struct BmpMenu {
    std::string picture_name;
    int32_t orientation = 0;
    int32_t count = 1;
    int32_t selected = 0;
    plat::GdiObject picture;
    plat::Size item;
};
} // namespace

static BmpMenu* instance(plat::WindowHandle window)
{
    return reinterpret_cast<BmpMenu*>(plat::get_window_long_ptr(window, 0));
}

// Where item i lies in the picture.
static plat::Point item_source(const BmpMenu& menu, int32_t item)
{
    return menu.orientation == 0 ? plat::Point {item * menu.item.cx, 0} : plat::Point {0, item * menu.item.cy};
}

static void load(plat::WindowHandle window, BmpMenu& menu, const BmpMenuSetup* block)
{
    if (menu.picture)
        plat::delete_object(menu.picture);
    menu.picture = {};
    if (block) {
        menu.picture_name.assign(block->picture, strnlen(block->picture, sizeof block->picture));
        menu.orientation = block->orientation;
        menu.count = std::max(block->count, 1);
    }
    menu.picture = picture_load(menu.picture_name);
    plat::Size size = bitmap_size(menu.picture);
    menu.item = menu.orientation == 0 ? plat::Size {size.cx / menu.count, size.cy}
                                      : plat::Size {size.cx, size.cy / menu.count};
    menu.selected = 0;
    plat::set_window_pos(window, {}, 0, 0, menu.item.cx, menu.item.cy,
        plat::SWP_NOMOVE | plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
    plat::invalidate_rect(window, nullptr, false);
}

static void paint_menu(plat::WindowHandle window, const BmpMenu& menu)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    plat::Point from = item_source(menu, menu.selected);
    dc_blit(dc, 0, 0, menu.item.cx, menu.item.cy, menu.picture, from.x, from.y);
    plat::end_paint(window, ps);
}

static void open_popup(plat::WindowHandle window, const BmpMenu& menu)
{
    if (menu.item.cx <= 0 || menu.item.cy <= 0)
        return;
    plat::Point at {0, 0};
    plat::client_to_screen(window, at);
    plat::WindowHandle popup = plat::create_window_ex(0, kListPopupClass, "", plat::WS_POPUP | plat::WS_VISIBLE,
        at.x, at.y, menu.item.cx, menu.item.cy * menu.count, window, 0, {}, &window);
    if (!popup)
        return;
    plat::set_focus(popup);
    plat::set_capture(popup);
}

static void choose(plat::WindowHandle window, BmpMenu& menu, int32_t item)
{
    if (item < 0 || item >= menu.count)
        return;
    menu.selected = item;
    plat::invalidate_rect(window, nullptr, false);
    plat::update_window(window);
    int id = plat::get_dlg_ctrl_id(window);
    plat::post_message(plat::get_parent(window), plat::WM_COMMAND, plat::WParam(id),
        plat::LParam(1u << 16 | (window.id & 0xFFFF)));
}

static plat::LResult on_create(plat::WindowHandle window, plat::LParam lparam)
{
    auto menu = std::make_unique<BmpMenu>();
    auto* create = reinterpret_cast<const plat::CreateStruct*>(lparam);
    BmpMenu* kept = menu.get();
    plat::set_window_long_ptr(window, 0, reinterpret_cast<intptr_t>(menu.release()));
    load(window, *kept, static_cast<const BmpMenuSetup*>(create->create_params));
    return 0;
}

static plat::LResult bmp_menu_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (message == plat::WM_CREATE)
        return on_create(window, lparam);
    BmpMenu* menu = instance(window);
    if (!menu)
        return plat::def_window_proc(window, message, wparam, lparam);
    switch (message) {
    case plat::WM_PAINT:
        paint_menu(window, *menu);
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_LBUTTONDOWN:
        open_popup(window, *menu);
        return 0;
    case plat::WM_COMMAND:
        if (plat::loword(wparam) == kCmdBmpMenuChosen)
            choose(window, *menu, int32_t(plat::loword(uintptr_t(lparam))));
        return 0;
    case kMsgBmpMenuReload:
        load(window, *menu, reinterpret_cast<const BmpMenuSetup*>(lparam));
        return 0;
    case kMsgBmpMenuGetSelection:
        return menu->selected;
    case kMsgBmpMenuSelect:
        if (int32_t(wparam) >= 0 && int32_t(wparam) < menu->count) {
            menu->selected = int32_t(wparam);
            plat::invalidate_rect(window, nullptr, false);
        }
        return 0;
    case plat::WM_DESTROY:
        if (menu->picture)
            plat::delete_object(menu->picture);
        delete menu;
        plat::set_window_long_ptr(window, 0, 0);
        return 0;
    default:
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

// The popup keeps its selector (a window may own only top-level windows) in its first long
// and the chosen item + 1 in its second until the button is up.
static plat::WindowHandle popup_selector(plat::WindowHandle popup)
{
    return plat::WindowHandle(uint32_t(plat::get_window_long(popup, 0)));
}

static const BmpMenu* popup_menu(plat::WindowHandle popup)
{
    plat::WindowHandle selector = popup_selector(popup);
    return plat::is_window(selector) ? instance(selector) : nullptr;
}

static void paint_popup(plat::WindowHandle popup)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(popup, ps);
    if (const BmpMenu* menu = popup_menu(popup)) {
        for (int32_t i = 0; i < menu->count; ++i) {
            plat::Point from = item_source(*menu, i);
            dc_blit(dc, 0, i * menu->item.cy, menu->item.cx, menu->item.cy, menu->picture, from.x, from.y);
        }
    }
    plat::end_paint(popup, ps);
}

static void close_popup(plat::WindowHandle popup)
{
    if (plat::get_capture() == popup)
        plat::release_capture();
    plat::destroy_window(popup);
}

static void popup_button_down(plat::WindowHandle popup, plat::LParam lparam)
{
    const BmpMenu* menu = popup_menu(popup);
    plat::Rect client;
    plat::get_client_rect(popup, client);
    int32_t x = plat::get_x_lparam(lparam);
    int32_t y = plat::get_y_lparam(lparam);
    bool inside = x >= 0 && y >= 0 && x < client.right && y < client.bottom;
    if (!menu || !inside || menu->item.cy <= 0) {
        close_popup(popup);
        return;
    }
    plat::set_window_long(popup, 4, y / menu->item.cy + 1);
}

static void popup_button_up(plat::WindowHandle popup)
{
    int32_t chosen = plat::get_window_long(popup, 4) - 1;
    if (chosen < 0)
        return;
    plat::post_message(popup_selector(popup), plat::WM_COMMAND, kCmdBmpMenuChosen, plat::LParam(1u << 16 | uint32_t(chosen)));
    close_popup(popup);
}

static plat::LResult list_popup_proc(plat::WindowHandle popup, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE: {
        auto* create = reinterpret_cast<const plat::CreateStruct*>(lparam);
        plat::set_window_long(popup, 0, int32_t(static_cast<const plat::WindowHandle*>(create->create_params)->id));
        return 0;
    }
    case plat::WM_PAINT:
        paint_popup(popup);
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_LBUTTONDOWN:
        popup_button_down(popup, lparam);
        return 0;
    case plat::WM_LBUTTONUP:
        popup_button_up(popup);
        return 0;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_ESCAPE)
            close_popup(popup);
        return 0;
    default:
        return plat::def_window_proc(popup, message, wparam, lparam);
    }
}

bool bmp_menu_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = bmp_menu_proc;
    c.window_extra = sizeof(void*);
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kBmpMenuClass;
    if (!plat::register_class(c))
        return false;
    c.style = plat::CS_SAVEBITS;
    c.proc = list_popup_proc;
    c.window_extra = 8;
    c.class_name = kListPopupClass;
    return plat::register_class(c) != 0;
}
