#include "typing/bmp_button.h"

#include "platform/gdi/gdi_object.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"

#include <memory>

namespace {
struct BmpButton {
    bool pressed = false;
    plat::GdiObject picture;
    plat::Size size;
    plat::GdiObject background;
    int32_t offset = 0;
    std::string caption;
};
} // namespace

static BmpButton* instance(plat::WindowHandle window)
{
    return reinterpret_cast<BmpButton*>(plat::get_window_long_ptr(window, 0));
}

static void release_pictures(BmpButton& button)
{
    for (plat::GdiObject* object : {&button.picture, &button.background}) {
        if (*object)
            plat::delete_object(*object);
        *object = {};
    }
}

static void setup(BmpButton& button, const BmpButtonSetup* block)
{
    release_pictures(button);
    if (!block)
        return;
    button.picture = block->picture;
    button.size = bitmap_size(block->picture);
    button.background = block->background;
    button.offset = block->press_offset;
    button.caption = block->caption ? block->caption : "";
}

// The background part, the picture (raised: its part from the press offset at the top left;
// pressed: all of it at the offset) and the caption one cell above the bottom.
static void paint(plat::WindowHandle window, const BmpButton& button)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    paint_bitmap(dc, button.background, program_palette(), nullptr);
    int32_t offset = button.offset;
    if (button.pressed)
        dc_blit(dc, offset, offset, button.size.cx, button.size.cy, button.picture, 0, 0);
    else
        dc_blit(dc, 0, 0, button.size.cx - offset, button.size.cy - offset, button.picture, offset, offset);
    if (!button.caption.empty()) {
        uint32_t cell = text_extent(dc, " ");
        plat::Rect client;
        plat::get_client_rect(window, client);
        int32_t width = int32_t(button.caption.size()) * int32_t(cell & 0xFFFF);
        int32_t x = (client.width() - width) / 2;
        text_draw(dc, x, client.height() - int32_t(cell >> 16), 0, nullptr, button.caption);
    }
    plat::end_paint(window, ps);
}

static void repaint(plat::WindowHandle window)
{
    plat::invalidate_rect(window, nullptr, false);
    plat::update_window(window);
}

static plat::LResult on_create(plat::WindowHandle window, plat::LParam lparam)
{
    auto button = std::make_unique<BmpButton>();
    auto* create = reinterpret_cast<const plat::CreateStruct*>(lparam);
    setup(*button, static_cast<const BmpButtonSetup*>(create->create_params));
    plat::set_window_long_ptr(window, 0, reinterpret_cast<intptr_t>(button.release()));
    return 0;
}

static void on_button_up(plat::WindowHandle window, BmpButton& button)
{
    if (!button.pressed)
        return;
    button.pressed = false;
    plat::release_capture();
    repaint(window);
    int id = plat::get_dlg_ctrl_id(window);
    plat::post_message(plat::get_parent(window), plat::WM_COMMAND, plat::WParam(id),
        plat::LParam(kNotifyBmpButtonClick << 16 | (window.id & 0xFFFF)));
}

static plat::LResult bmp_button_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (message == plat::WM_CREATE)
        return on_create(window, lparam);
    BmpButton* button = instance(window);
    if (!button)
        return plat::def_window_proc(window, message, wparam, lparam);
    switch (message) {
    case plat::WM_PAINT:
        paint(window, *button);
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_LBUTTONDOWN:
        button->pressed = true;
        repaint(window);
        plat::set_capture(window);
        return 0;
    case plat::WM_LBUTTONUP:
        on_button_up(window, *button);
        return 0;
    case kMsgBmpButtonSetup:
        setup(*button, reinterpret_cast<const BmpButtonSetup*>(lparam));
        repaint(window);
        return 0;
    case kMsgBmpButtonCaption:
        button->caption = lparam ? reinterpret_cast<const char*>(lparam) : "";
        repaint(window);
        return 0;
    case plat::WM_DESTROY:
        release_pictures(*button);
        delete button;
        plat::set_window_long_ptr(window, 0, 0);
        return 0;
    default:
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool bmp_button_register()
{
    plat::WindowClass c;
    c.style = plat::CS_SAVEBITS | plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = bmp_button_proc;
    c.window_extra = sizeof(void*);
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kBmpButtonClass;
    return plat::register_class(c) != 0;
}
