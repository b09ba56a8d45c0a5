// The banner is a subclassed static; its state lives while its window does (one a run).
#include "typing/banner.h"

#include "platform/controls/ctl_static.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/image.h"
#include "platform/window/geometry.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "typing/hot_area.h"
#include "typing/tutor_draw.h"

#include <array>

static const char* const kBannerPictures[] = {"banner1.bmp", "banner2.bmp", "banner3.bmp"};

static struct {
    plat::WindowHandle window;
    plat::WindowProc previous = nullptr;
    bool timing = false;
    int state = 0;
    std::array<plat::GdiObject, 3> pictures {};
} s_banner;

static void free_pictures()
{
    for (plat::GdiObject& picture : s_banner.pictures) {
        if (picture)
            plat::delete_object(picture);
        picture = {};
    }
}

static void set_state(plat::WindowHandle window, int state)
{
    s_banner.state = state;
    plat::send_message(window, plat::STM_SETIMAGE, plat::IMAGE_BITMAP,
        plat::LParam(s_banner.pictures[size_t(state)].id));
    plat::update_window(window);
}

// The move goes on to the main window's tracker in its own coordinates, so that a lit menu
// area goes dark as the mouse leaves it for the banner.
static void pass_move_to_main(plat::WindowHandle window, plat::WParam wparam, plat::LParam lparam)
{
    plat::WindowHandle main = plat::get_parent(window);
    plat::Point at {plat::get_x_lparam(lparam), plat::get_y_lparam(lparam)};
    plat::client_to_screen(window, at);
    plat::screen_to_client(main, at);
    hot_area_mouse(main, plat::WM_MOUSEMOVE, wparam, plat::make_lparam(uint32_t(at.x), uint32_t(at.y)), kMenuAreas);
}

static void on_tick(plat::WindowHandle window)
{
    plat::Point cursor;
    plat::Rect rect;
    if (!plat::get_cursor_pos(cursor) || !plat::get_window_rect(window, rect) || !plat::pt_in_rect(rect, cursor)) {
        set_state(window, 0);
        plat::kill_timer(window, kBannerTimer);
        s_banner.timing = false;
    }
}

static void on_own_message(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_MOUSEMOVE:
        if (!s_banner.timing) {
            s_banner.timing = plat::set_timer(window, kBannerTimer, kBannerTickMs, nullptr) != 0;
            set_state(window, 1);
            pass_move_to_main(window, wparam, lparam);
        }
        return;
    case plat::WM_TIMER:
        if (wparam == kBannerTimer)
            on_tick(window);
        return;
    case plat::WM_LBUTTONDOWN:
        set_state(window, 2);
        return;
    case plat::WM_LBUTTONUP:
        set_state(window, 1);
        plat::post_message(plat::get_parent(window), plat::WM_COMMAND, plat::make_wparam(kBannerId, kNotifyBannerClick),
            plat::LParam(window.id));
        return;
    case plat::WM_DESTROY:
        plat::kill_timer(window, kBannerTimer);
        s_banner.timing = false;
        return;
    default:
        return;
    }
}

static plat::LResult banner_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    // A static lets the mouse through to its parent; the banner is there to be clicked.
    if (message == plat::WM_NCHITTEST)
        return plat::HTCLIENT;
    on_own_message(window, message, wparam, lparam);
    plat::WindowProc previous = s_banner.previous;
    if (message == plat::WM_NCDESTROY) {
        free_pictures();
        s_banner.window = {};
    }
    return plat::call_window_proc(previous, window, message, wparam, lparam);
}

plat::WindowHandle banner_create(plat::WindowHandle main)
{
    free_pictures();
    s_banner = {};
    for (size_t i = 0; i < s_banner.pictures.size(); ++i)
        s_banner.pictures[i] = picture_load(kBannerPictures[i]);
    plat::Size size = bitmap_size(s_banner.pictures[0]);
    plat::WindowHandle window = plat::create_window_ex(0, "Static", "", plat::WS_CHILD | plat::SS_BITMAP, kBannerX,
        kBannerY, size.cx, size.cy, main, kBannerId, {}, nullptr);
    if (!window) {
        free_pictures();
        return {};
    }
    s_banner.window = window;
    s_banner.previous = reinterpret_cast<plat::WindowProc>(
        plat::set_window_long_ptr(window, plat::GWLP_WNDPROC, reinterpret_cast<intptr_t>(banner_window_proc)));
    set_state(window, 0);
    return window;
}

plat::WindowHandle banner_window() { return s_banner.window; }

void banner_show(bool shown)
{
    if (s_banner.window)
        plat::show_window(s_banner.window, shown ? plat::SW_SHOW : plat::SW_HIDE);
}

int banner_state() { return s_banner.state; }
