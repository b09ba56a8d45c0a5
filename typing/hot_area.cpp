// Hot areas and the one tracker of the program (only one window has the mouse at a time).
#include "typing/hot_area.h"

#include "platform/gdi/gdi_object.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "typing/tutor_draw.h"

#include <array>

// One row per strip: its picture and picture size.
struct StripSpec {
    const char* picture;
    int32_t width;
    int32_t height;
};
static const StripSpec kStrips[] = {
    {"iconmenu.bmp", 167, 52}, // the menu screen's five activities
    {"icontool.bmp", 55, 55}, // tools of every screen and dialog
    {"iconstat.bmp", 74, 55}, // the statistics tabs
};

struct ToolSpec {
    uint16_t id;
    int16_t x;
    int16_t y;
};
static const ToolSpec kTools[] = {
    {901, 40, 419}, {103, 480, 419}, {108, 542, 419}, {902, 273, 419}, {903, 329, 419},
    {2, 542, 419}, {3101, 40, 419}, {904, 40, 419}, {905, 542, 419}, {906, 286, 206},
    {907, 265, 165}, {900, 40, 419}, {404, 102, 419}, {402, 480, 419}, {908, 80, 115},
    {909, 145, 115}, {910, 40, 419},
};
static const uint16_t kMenuIds[] = {200, 301, 302, 500, 401};
static const uint16_t kTabIds[] = {501, 502, 503};

static struct {
    std::array<HotArea, kHotAreaCount> areas {};
    std::array<plat::GdiObject, 3> strips {};
    bool built = false;
    int current = -1;
    bool pressed = false;
} s_hot;

static void place(int index, uint16_t id, int32_t x, int32_t y, int strip, int picture, int count)
{
    const StripSpec& spec = kStrips[strip];
    HotArea& area = s_hot.areas[size_t(index)];
    area.id = id;
    area.rect = plat::Rect {x, y, x + spec.width, y + spec.height};
    area.strip = s_hot.strips[size_t(strip)];
    area.source_x = picture * spec.width;
    area.count = count;
}

bool hot_area_build()
{
    if (s_hot.built)
        return true;
    bool all = true;
    for (size_t i = 0; i < s_hot.strips.size(); ++i) {
        s_hot.strips[i] = picture_load(kStrips[i].picture);
        all = all && s_hot.strips[i];
    }
    int index = 0;
    for (int i = 0; i < 5; ++i, ++index)
        place(index, kMenuIds[i], 400, 142 + 52 * i, 0, i, 5);
    for (int i = 0; i < 17; ++i, ++index)
        place(index, kTools[i].id, kTools[i].x, kTools[i].y, 1, i, 17);
    for (int i = 0; i < 3; ++i, ++index)
        place(index, kTabIds[i], 225 + 74 * i, 70, 2, i, 3);
    s_hot.built = true;
    return all;
}

void hot_area_free()
{
    for (plat::GdiObject& strip : s_hot.strips) {
        if (strip)
            plat::delete_object(strip);
        strip = {};
    }
    s_hot.areas = {};
    s_hot.built = false;
    s_hot.current = -1;
    s_hot.pressed = false;
}

void hot_area_reset() { hot_area_free(); }
bool hot_areas_built() { return s_hot.built; }
int hot_area_current() { return s_hot.current; }

static int index_of(uint16_t id)
{
    for (int i = 0; i < kHotAreaCount; ++i) {
        if (s_hot.built && s_hot.areas[size_t(i)].id == id)
            return i;
    }
    return -1;
}

const HotArea* hot_area_by_id(uint16_t id)
{
    int index = index_of(id);
    return index < 0 ? nullptr : &s_hot.areas[size_t(index)];
}

static bool holds(const plat::Rect& rect, int32_t x, int32_t y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

int hot_area_find(int32_t x, int32_t y, std::span<const uint16_t> list)
{
    for (uint16_t id : list) {
        int index = index_of(id);
        if (index >= 0 && holds(s_hot.areas[size_t(index)].rect, x, y))
            return index;
    }
    return -1;
}

static void draw_index(plat::WindowHandle window, int index, bool pressed)
{
    const HotArea& area = s_hot.areas[size_t(index)];
    int32_t sx = area.source_x + (pressed ? area.count * area.rect.width() : 0);
    window_blit(window, area.rect.left, area.rect.top, area.rect.width(), area.rect.height(), area.strip, sx, 0);
}

void hot_area_draw(plat::WindowHandle window, uint16_t id, bool pressed)
{
    int index = index_of(id);
    if (index >= 0)
        draw_index(window, index, pressed);
}

static void drop_current(plat::WindowHandle window)
{
    if (s_hot.current >= 0)
        plat::invalidate_rect(window, &s_hot.areas[size_t(s_hot.current)].rect, false);
}

static void update(plat::WindowHandle window, plat::LParam lparam, std::span<const uint16_t> list, bool forced)
{
    int found = hot_area_find(plat::get_x_lparam(lparam), plat::get_y_lparam(lparam), list);
    if (found < 0) {
        drop_current(window);
        s_hot.current = -1;
        return;
    }
    if (found != s_hot.current) {
        if (s_hot.current >= 0) {
            drop_current(window);
            plat::update_window(window);
        }
        s_hot.current = found;
        draw_index(window, found, s_hot.pressed);
    } else if (forced) {
        draw_index(window, found, s_hot.pressed);
    }
}

void hot_area_mouse(plat::WindowHandle window, uint32_t message, plat::WParam, plat::LParam lparam,
    std::span<const uint16_t> list)
{
    switch (message) {
    case plat::WM_LBUTTONDOWN:
        if (s_hot.pressed) {
            // A second press without a release: give up the press, and the capture with it,
            // or the window would keep the mouse for good.
            s_hot.pressed = false;
            if (plat::get_capture() == window)
                plat::release_capture();
            return;
        }
        s_hot.pressed = true;
        plat::set_capture(window);
        update(window, lparam, list, true);
        return;
    case plat::WM_LBUTTONUP:
        if (!s_hot.pressed)
            return;
        s_hot.pressed = false;
        plat::release_capture();
        if (s_hot.current >= 0)
            plat::post_message(window, plat::WM_COMMAND, s_hot.areas[size_t(s_hot.current)].id, 0);
        update(window, lparam, list, false);
        return;
    case plat::WM_MOUSEMOVE:
        update(window, lparam, list, false);
        return;
    case kMsgHotAreaDrop:
        drop_current(window);
        return;
    default:
        return;
    }
}

plat::LResult hot_area_hittest(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam, std::span<const uint16_t> list)
{
    if (plat::get_system_metrics(plat::SM_CXSCREEN) > 640) {
        plat::Point point {plat::get_x_lparam(lparam), plat::get_y_lparam(lparam)};
        plat::screen_to_client(window, point);
        int button = plat::get_system_metrics(plat::SM_SWAPBUTTON) ? plat::VK_RBUTTON : plat::VK_LBUTTON;
        bool down = (plat::get_async_key_state(button) & 0x8000) != 0;
        if (hot_area_find(point.x, point.y, list) < 0 && down)
            return plat::HTCAPTION;
    }
    return plat::def_window_proc(window, message, wparam, lparam);
}
