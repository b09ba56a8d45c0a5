// The intro's state lives while its window does (one intro a run).
#include "typing/intro.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/profile.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/keyboard.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_hooks.h"
#include "typing/tutor_settings.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

constexpr int kClockFrames = 31;
constexpr int32_t kClockY = 20;
constexpr plat::Point kPanePlace {53, 203};
constexpr plat::Point kShadePlace {39, 63};
constexpr int32_t kLogoBandY = 63;
constexpr uint32_t kClockKey = 0x000000; // black is left out of the clock's frames

static struct {
    plat::GdiObject background, clock, clock_under, logo, logo_mask, pane;
    plat::Size frame;
    int32_t clock_x = 0;
    std::vector<bool> shown; // per 4 x 4 block of the pane
    int32_t blocks_across = 0;
    int32_t per_tick = 0;
    int tick = 0;
    bool revealing = false;
} s_intro;

static void free_pictures()
{
    for (plat::GdiObject* p : {&s_intro.background, &s_intro.clock, &s_intro.clock_under, &s_intro.logo,
             &s_intro.logo_mask, &s_intro.pane}) {
        if (*p)
            plat::delete_object(*p);
        *p = {};
    }
}

static void on_create()
{
    free_pictures();
    s_intro = {};
    s_intro.background = picture_load("main-bk.bmp");
    s_intro.clock = picture_load("clock.bmp");
    plat::Size strip = bitmap_size(s_intro.clock);
    s_intro.frame = plat::Size {strip.cx / kClockFrames, strip.cy};
    s_intro.clock_x = bitmap_size(s_intro.background).cx - s_intro.frame.cx;
    plat::Rect under {s_intro.clock_x, kClockY, s_intro.clock_x + s_intro.frame.cx, kClockY + s_intro.frame.cy};
    s_intro.clock_under = bitmap_copy_rect(s_intro.background, &under);
    s_intro.logo = picture_load("logo.bmp");
    s_intro.logo_mask = bitmap_make_mask(s_intro.logo);
}

static void start(plat::WindowHandle window)
{
    plat::set_timer(window, kIntroTimer, kIntroTickMs, nullptr);
    std::string ini = path_in_program_folder(kSettingsFileName);
    int32_t banners = int32_t(plat::get_private_profile_int("Ad", "Banner", 1, ini.c_str()));
    if (banners > 0) {
        char name[24];
        std::snprintf(name, sizeof name, "adpane%d.bmp", std::rand() % banners + 1);
        s_intro.pane = picture_load(name);
    }
    if (!s_intro.pane)
        s_intro.pane = picture_load("main-kbd.bmp");
    plat::Size pane = bitmap_size(s_intro.pane);
    s_intro.blocks_across = pane.cx / 4;
    s_intro.shown.assign(size_t(s_intro.blocks_across) * size_t(pane.cy / 4), false);
    s_intro.per_tick = int32_t(s_intro.shown.size() / kIntroRevealTicks);
    s_intro.tick = 0;
    s_intro.revealing = true;
}

// Frame f of the strip; during the first round each frame is first laid, in the strip, over
// the background under the clock, so that later rounds blit it as it stands.
static void show_clock(plat::WindowHandle window)
{
    int frame = kClockFrames - 1 - s_intro.tick % kClockFrames;
    int32_t sx = frame * s_intro.frame.cx;
    if (s_intro.tick < kClockFrames && s_intro.clock_under) {
        plat::Rect part {sx, 0, sx + s_intro.frame.cx, s_intro.frame.cy};
        plat::GdiObject picture = bitmap_copy_rect(s_intro.clock, &part);
        plat::GdiObject combined = bitmap_copy(s_intro.clock_under);
        bitmap_transparent_draw(combined, picture, 0, 0, kClockKey);
        bitmap_draw_into(s_intro.clock, combined, sx, 0);
        plat::delete_object(picture);
        plat::delete_object(combined);
    }
    window_blit(window, s_intro.clock_x, kClockY, s_intro.frame.cx, s_intro.frame.cy, s_intro.clock, sx, 0);
}

static void reveal_blocks(plat::WindowHandle window)
{
    if (s_intro.shown.empty())
        return;
    int32_t left = s_intro.per_tick;
    for (int32_t draw = 0; left > 0 && draw < 100 * s_intro.per_tick; ++draw) {
        size_t block = size_t(std::rand()) % s_intro.shown.size();
        if (s_intro.shown[block])
            continue;
        s_intro.shown[block] = true;
        --left;
        int32_t bx = int32_t(block % size_t(s_intro.blocks_across)) * 4;
        int32_t by = int32_t(block / size_t(s_intro.blocks_across)) * 4;
        window_blit(window, kPanePlace.x + bx, kPanePlace.y + by, 4, 4, s_intro.pane, bx, by);
    }
}

static void slide_logo(plat::WindowHandle window, int k)
{
    plat::Size logo = bitmap_size(s_intro.logo);
    if (logo.cx <= 0)
        return;
    int32_t band_width = logo.cx + 39;
    plat::Rect band {0, kLogoBandY, band_width, kLogoBandY + logo.cy};
    plat::GdiObject canvas = bitmap_copy_rect(s_intro.background, &band);
    bitmap_masked_draw(canvas, s_intro.logo, s_intro.logo_mask, k * band_width / kIntroRevealTicks - logo.cx, 0);
    window_blit(window, 0, kLogoBandY, band_width, logo.cy, canvas, 0, 0);
    if (canvas)
        plat::delete_object(canvas);
}

static void end_reveal(plat::WindowHandle window)
{
    s_intro.revealing = false;
    bitmap_draw_into(s_intro.background, s_intro.pane, kPanePlace.x, kPanePlace.y);
    plat::GdiObject shade = picture_load("main-sh.bmp");
    bitmap_draw_into(s_intro.background, shade, kShadePlace.x, kShadePlace.y);
    plat::Size pane = bitmap_size(s_intro.pane);
    plat::Size shade_size = bitmap_size(shade);
    plat::Rect pane_rect {kPanePlace.x, kPanePlace.y, kPanePlace.x + pane.cx, kPanePlace.y + pane.cy};
    plat::Rect shade_rect {kShadePlace.x, kShadePlace.y, kShadePlace.x + shade_size.cx, kShadePlace.y + shade_size.cy};
    plat::invalidate_rect(window, &pane_rect, false);
    plat::invalidate_rect(window, &shade_rect, false);
    if (shade)
        plat::delete_object(shade);
}

static void on_tick(plat::WindowHandle window)
{
    show_clock(window);
    s_intro.tick += 1;
    if (s_intro.revealing) {
        reveal_blocks(window);
        slide_logo(window, s_intro.tick);
        if (s_intro.tick >= kIntroRevealTicks)
            end_reveal(window);
    } else if (s_intro.tick >= kIntroLastTick) {
        plat::kill_timer(window, kIntroTimer);
    }
}

static void end_intro(plat::WindowHandle window)
{
    plat::post_message(plat::get_parent(window), plat::WM_COMMAND, kCmdIntroEnded, 0);
    plat::destroy_window(window);
}

static void on_click(plat::WindowHandle window, plat::LParam lparam)
{
    plat::Size pane = bitmap_size(s_intro.pane);
    int32_t x = plat::get_x_lparam(lparam) - kPanePlace.x;
    int32_t y = plat::get_y_lparam(lparam) - kPanePlace.y;
    if (x >= 0 && y >= 0 && x < pane.cx && y < pane.cy) {
        if (tutor_hooks().companion_show)
            tutor_hooks().companion_show();
        return;
    }
    end_intro(window);
}

static void on_paint(plat::WindowHandle window)
{
    paint_background(window, s_intro.background);
    plat::Rect first {0, 0, s_intro.frame.cx, s_intro.frame.cy};
    plat::GdiObject zero = bitmap_copy_rect(s_intro.clock, &first);
    if (!zero)
        return;
    plat::DcHandle dc = plat::get_dc(window);
    transparent_blit(dc, zero, s_intro.clock_x, kClockY, kClockKey);
    plat::release_dc(window, dc);
    plat::delete_object(zero);
}

static plat::LResult intro_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    plat::LResult realized = 0;
    if (palette_message(window, message, wparam, realized))
        return realized;
    switch (message) {
    case plat::WM_CREATE:
        on_create();
        return 0;
    case plat::WM_COMMAND:
        if (plat::loword(wparam) == 1)
            start(window);
        else if (plat::loword(wparam) == 2)
            end_intro(window);
        return 0;
    case plat::WM_TIMER:
        if (wparam == kIntroTimer)
            on_tick(window);
        return 0;
    case plat::WM_LBUTTONDOWN:
        on_click(window, lparam);
        return 0;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_RETURN || wparam == plat::VK_ESCAPE || wparam == plat::VK_SPACE)
            end_intro(window);
        return 0;
    case plat::WM_PAINT:
        on_paint(window);
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_DESTROY:
        plat::kill_timer(window, kIntroTimer);
        free_pictures();
        s_intro.shown.clear();
        if (tutor_hooks().intro_gone)
            tutor_hooks().intro_gone(window);
        return 0;
    default:
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool intro_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = intro_proc;
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kIntroClass;
    return plat::register_class(c) != 0;
}
