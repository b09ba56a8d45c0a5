#include "typing/speed_gauge.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/region.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/shape.h"
#include "typing/bitmap_font.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"

#include "platform/kernel/clock.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "typing/practice_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

constexpr double kGaugeReach = 5100.0; // far beyond the dial: the pie's radials only need a direction
constexpr int32_t kGaugeStillDistance = 9;

void gauge_setup(std::span<Gauge> gauges, int32_t first_cx, int32_t cy, int32_t strip_y, plat::GdiObject background)
{
    int32_t cx = first_cx;
    for (Gauge& gauge : gauges) {
        gauge.cx = cx;
        gauge.cy = cy;
        gauge.value = 0;
        gauge.strip_y = strip_y;
        plat::Rect part {cx - kGaugeRadius, strip_y, cx + kGaugeRadius, strip_y + kFontCellSize};
        gauge.strip = bitmap_copy_rect(background, &part);
        cx += kGaugeStep;
    }
}

void gauge_release(std::span<Gauge> gauges)
{
    for (Gauge& gauge : gauges) {
        if (gauge.strip)
            plat::delete_object(gauge.strip);
        gauge.strip = {};
    }
}

plat::Point gauge_direction(const Gauge& gauge, int32_t value)
{
    const double angle = double(value) / kGaugeFullScale * 2.0 * 3.14;
    return {gauge.cx + int32_t(std::trunc(std::sin(angle) * kGaugeReach)),
        gauge.cy - int32_t(std::trunc(std::cos(angle) * kGaugeReach))};
}

static plat::GdiObject diamond(const Gauge& gauge, int32_t radius)
{
    const plat::Point points[] = {{gauge.cx, gauge.cy - radius}, {gauge.cx + radius, gauge.cy},
        {gauge.cx, gauge.cy + radius}, {gauge.cx - radius, gauge.cy}};
    return plat::create_polygon_rgn(points, 4, plat::ALTERNATE);
}

bool gauge_sweep(plat::DcHandle dc, Gauge& gauge, int32_t value)
{
    const plat::Point shown = gauge_direction(gauge, gauge.value);
    const plat::Point next = gauge_direction(gauge, value);
    // Both differences small, not their difference: a quarter turn has them nearly equal.
    if (std::abs(next.x - shown.x) <= kGaugeStillDistance && std::abs(next.y - shown.y) <= kGaugeStillDistance)
        return false;
    const plat::Point from = value > gauge.value ? next : shown; // counter-clockwise from the larger
    const plat::Point to = value > gauge.value ? shown : next;
    plat::GdiObject ring = diamond(gauge, kGaugeRadius);
    plat::GdiObject hole = diamond(gauge, kGaugeInnerRadius);
    plat::combine_rgn(ring, ring, hole, plat::RGN_DIFF);
    const int saved = plat::save_dc(dc);
    plat::select_clip_rgn(dc, ring);
    plat::set_rop2(dc, plat::R2_XORPEN);
    plat::select_object(dc, plat::get_stock_object(plat::NULL_PEN));
    plat::select_object(dc, plat::get_stock_object(plat::WHITE_BRUSH));
    plat::pie(dc, gauge.cx - kGaugeRadius, gauge.cy - kGaugeRadius, gauge.cx + kGaugeRadius, gauge.cy + kGaugeRadius,
        from.x, from.y, to.x, to.y);
    plat::restore_dc(dc, saved);
    plat::delete_object(ring);
    plat::delete_object(hole);
    gauge.value = value;
    return true;
}

void gauge_draw_number(plat::DcHandle dc, const Gauge& gauge)
{
    plat::GdiObject copy = bitmap_copy(gauge.strip);
    if (!copy)
        return;
    plat::DcHandle memory = plat::create_compatible_dc(dc);
    plat::GdiObject previous = plat::select_object(memory, copy);
    const std::string number = std::to_string(gauge.value);
    const int32_t width = int32_t(text_extent(memory, number) & 0xFFFF);
    plat::set_bk_mode(memory, plat::TRANSPARENT);
    plat::set_text_color(memory, 0x000000);
    text_draw_embossed(memory, kGaugeRadius - width / 2, 0, 0, nullptr, number);
    plat::bit_blt(dc, gauge.cx - kGaugeRadius, gauge.strip_y, 2 * kGaugeRadius, kFontCellSize, memory, 0, 0,
        plat::SRCCOPY);
    plat::select_object(memory, previous);
    plat::delete_dc(memory);
    plat::delete_object(copy);
}

void speedometer_draw(plat::WindowHandle window, plat::GdiObject background, int32_t value, Gauge& gauge)
{
    if (!background)
        return;
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle {});
    plat::GdiObject previous = plat::select_object(dc, background);
    gauge_sweep(dc, gauge, value);
    gauge_draw_number(dc, gauge);
    plat::select_object(dc, previous);
    plat::delete_dc(dc);
    const plat::Rect dial {gauge.cx - kGaugeRadius, gauge.cy - kGaugeRadius, gauge.cx + kGaugeRadius,
        std::max(gauge.cy + kGaugeRadius, gauge.strip_y + kFontCellSize)};
    plat::invalidate_rect(window, &dial, false);
}

void speed_timer_start(plat::WindowHandle window, SpeedMeter& meter)
{
    meter.start_tick = plat::get_tick_count();
    plat::set_timer(window, kSpeedTimer, kSpeedTimerMs, nullptr);
}

void speed_timer_stop(plat::WindowHandle window, SpeedMeter& meter)
{
    plat::kill_timer(window, kSpeedTimer);
    gauge_release(meter.gauges);
}

void speed_timer_tick(plat::WindowHandle window, plat::GdiObject background, SpeedMeter& meter)
{
    if (meter.keystrokes < 2)
        return;
    const int32_t speed = speed_per_minute(meter.keystrokes, int32_t(plat::get_tick_count() - meter.start_tick));
    if (speed <= kSpeedShownMax)
        speedometer_draw(window, background, speed, meter.gauges[0]);
}

void speed_meter_add(plat::WindowHandle window, plat::GdiObject background, SpeedMeter& meter, int32_t speed)
{
    speedometer_draw(window, background, speed, meter.gauges[1]);
    meter.speed_sum += speed;
    ++meter.speed_count;
    speedometer_draw(window, background, int32_t(meter.speed_sum / meter.speed_count), meter.gauges[2]);
}
