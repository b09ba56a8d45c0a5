// One statistics screen at a time: its state is the module's.
#include "typing/stat_screen.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/kernel/log.h"
#include "platform/window/defproc.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/hot_area.h"
#include "typing/shell.h"
#include "typing/stat_chart.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"

#include <string>

constexpr int32_t kBarBase = 356;
constexpr int32_t kBarEnd = 99; // the first bar ends here (today's) or starts here (the total's)
constexpr int32_t kPairStep = 18, kPairBarWidth = 7;
constexpr int32_t kDayStep = 16, kDayBarWidth = 4;
constexpr int32_t kUnitsX = 45, kUnitsY = 160, kUnitsWidth = 35, kUnitsHeight = 185;
constexpr int32_t kLegendX = 459, kLegendY = 158;
constexpr int32_t kLabelsX = 90, kLabelsY = 358, kLabelsWidth = 490, kLabelRowHeight = 25;
constexpr int32_t kSwatchWidth = 20, kSwatchHeight = 7, kSwatchY = 185, kTodaySwatchX = 470, kTotalSwatchX = 540;
static const plat::Rect kChartArea {40, 151, 591, 396};

static struct {
    plat::GdiObject background;
    plat::GdiObject labels;
    uint16_t tab = 0; // 0 until the first tab command
    int32_t group = 0;
    std::vector<StatItem> items;
} s_stat;

static bool english() { return settings_current().Language != 0; }

static void fill_into(plat::GdiObject bitmap, const plat::Rect& rect, uint32_t colour)
{
    if (!bitmap)
        return;
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle {});
    plat::GdiObject previous = plat::select_object(dc, bitmap);
    plat::GdiObject brush = plat::create_solid_brush(colour);
    plat::fill_rect(dc, rect, brush);
    plat::select_object(dc, previous);
    plat::delete_object(brush);
    plat::delete_dc(dc);
}

static void picture_into_background(const char* name, int32_t x, int32_t y, int32_t source_x, int32_t width,
    int32_t height)
{
    plat::GdiObject picture = picture_load(name);
    if (!picture)
        return;
    bitmap_blit(s_stat.background, x, y, width, height, picture, source_x, 0, plat::SRCCOPY);
    plat::delete_object(picture);
}

static void recompute(plat::WindowHandle window)
{
    const int32_t row = stat_label_row(s_stat.tab, s_stat.group);
    bitmap_blit(s_stat.background, kLabelsX, kLabelsY, kLabelsWidth, kLabelRowHeight, s_stat.labels, 0,
        row * kLabelRowHeight, plat::SRCCOPY);
    s_stat.items.clear();
    if (UserRecord* user = user_current())
        s_stat.items = stat_chart_values(*user, s_stat.tab, s_stat.group);
    plat::log_event("stat chart tab=" + std::to_string(s_stat.tab) + " group=" + std::to_string(s_stat.group)
        + " items=" + std::to_string(s_stat.items.size()));
    plat::invalidate_rect(window, &kChartArea, false);
}

static void tab_select(plat::WindowHandle window, uint16_t tab)
{
    if (s_stat.tab != 0) {
        if (const HotArea* old = hot_area_by_id(s_stat.tab))
            plat::invalidate_rect(window, &old->rect, false);
    }
    s_stat.tab = tab;
    s_stat.group = stat_group_first(tab, english());
    const int32_t units_x = tab == kStatTabAccuracy ? kUnitsWidth : 0;
    picture_into_background("spdunit.bmp", kUnitsX, kUnitsY, units_x, kUnitsWidth, kUnitsHeight);
    if (tab == kStatTabDays) {
        picture_into_background("spddel1.bmp", kLegendX, kLegendY, 0, 132, 40);
    } else {
        picture_into_background("spddel2.bmp", kLegendX, kLegendY, 0, 132, 40);
        fill_into(s_stat.background, {kTodaySwatchX, kSwatchY, kTodaySwatchX + kSwatchWidth, kSwatchY + kSwatchHeight},
            kStatTodayColour);
        fill_into(s_stat.background, {kTotalSwatchX, kSwatchY, kTotalSwatchX + kSwatchWidth, kSwatchY + kSwatchHeight},
            kStatTotalColour);
    }
    if (const HotArea* area = hot_area_by_id(tab))
        plat::invalidate_rect(window, &area->rect, false);
    plat::post_message(window, plat::WM_COMMAND, 1, 0);
}

static void bar_fill(plat::DcHandle dc, int32_t left, int32_t width, int32_t height, plat::GdiObject brush)
{
    if (height > 0)
        plat::fill_rect(dc, {left, kBarBase - height, left + width, kBarBase}, brush);
}

static void bars_draw(plat::DcHandle dc)
{
    plat::GdiObject today = plat::create_solid_brush(kStatTodayColour);
    plat::GdiObject total = plat::create_solid_brush(kStatTotalColour);
    for (size_t i = 0; i < s_stat.items.size(); ++i) {
        const StatItem& item = s_stat.items[i];
        if (s_stat.tab == kStatTabDays) {
            const int32_t end = kBarEnd + kDayStep * int32_t(i);
            bar_fill(dc, end - kDayBarWidth, kDayBarWidth, stat_bar_height(s_stat.tab, item.today), today);
            continue;
        }
        const int32_t middle = kBarEnd + kPairStep * int32_t(i);
        bar_fill(dc, middle - kPairBarWidth, kPairBarWidth, stat_bar_height(s_stat.tab, item.today), today);
        bar_fill(dc, middle, kPairBarWidth, stat_bar_height(s_stat.tab, item.total), total);
    }
    plat::delete_object(today);
    plat::delete_object(total);
}

static void paint(plat::WindowHandle window)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    paint_bitmap(dc, s_stat.background, program_palette(), &ps.paint);
    bars_draw(dc);
    if (const HotArea* area = hot_area_by_id(s_stat.tab))
        dc_blit(dc, area->rect.left, area->rect.top, area->rect.width(), area->rect.height(), area->strip,
            area->source_x + area->count * area->rect.width(), 0);
    plat::end_paint(window, ps);
}

static void on_command(plat::WindowHandle window, uint16_t id)
{
    switch (id) {
    case 1: recompute(window); break;
    case 2: screen_close(window); break;
    case kStatTabSpeed:
    case kStatTabAccuracy:
    case kStatTabDays: tab_select(window, id); break;
    case 902:
    case 903: {
        const int32_t group = stat_group_step(s_stat.tab, s_stat.group, id == 902 ? -1 : 1, english());
        if (group != s_stat.group) {
            s_stat.group = group;
            plat::post_message(window, plat::WM_COMMAND, 1, 0);
        }
        break;
    }
    default: break;
    }
}

static void create(plat::WindowHandle window)
{
    s_stat = {};
    s_stat.background = picture_load("vd-spd.bmp");
    user_face_draw(s_stat.background, settings_current().LastSlot, -1, -1);
    s_stat.labels = picture_load("spdcode.bmp");
    const uint16_t tab = settings_current().StatTab;
    const uint16_t first = tab >= kStatTabSpeed && tab <= kStatTabDays ? tab : uint16_t(kStatTabSpeed);
    plat::post_message(window, plat::WM_COMMAND, first, 0);
}

static void destroy()
{
    for (plat::GdiObject bitmap : {s_stat.background, s_stat.labels}) {
        if (bitmap)
            plat::delete_object(bitmap);
    }
    s_stat = {};
}

static plat::LResult stat_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE: create(window); return 0;
    case plat::WM_PAINT: paint(window); return 0;
    case plat::WM_ERASEBKGND: return 1;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP: hot_area_mouse(window, message, wparam, lparam, kStatisticsAreas); return 0;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_ESCAPE)
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        return 0;
    case plat::WM_COMMAND: on_command(window, uint16_t(plat::loword(wparam))); return 0;
    case plat::WM_DESTROY: destroy(); return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool stat_screen_register()
{
    plat::WindowClass c;
    c.proc = stat_window_proc;
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kStatClass;
    return plat::register_class(c) != 0;
}
