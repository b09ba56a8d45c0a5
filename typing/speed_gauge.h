// The speed gauges of the practice screens: a needle-less dial whose swept sector is kept by
// XOR, so drawing the sweep between two values again takes it back, and the value as an
// embossed number on a saved strip of the background below the dial.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/gdi/gdi_object.h"
#include "platform/window/geometry.h"
#include "platform/window/message.h"

constexpr int32_t kGaugeRadius = 51;
constexpr int32_t kGaugeInnerRadius = 22;
constexpr int32_t kGaugeFullScale = 800; // a whole turn
constexpr int32_t kGaugeStep = 109; // between the centres of a screen's gauges

struct Gauge {
    int32_t cx = 0;
    int32_t cy = 0;
    int32_t value = 0; // the value the sweep shows
    int32_t strip_y = 0; // top of the number's strip, 2 x radius wide, centred on cx
    plat::GdiObject strip; // the background under the number, owned
};

// Places the gauges from the first centre on, kGaugeStep apart, at value 0, each with a copy
// of the background's strip at strip_y.
void gauge_setup(std::span<Gauge> gauges, int32_t first_cx, int32_t cy, int32_t strip_y, plat::GdiObject background);
void gauge_release(std::span<Gauge> gauges);

// The direction point of a value: 5100 units from the centre, clockwise from 12 o'clock.
plat::Point gauge_direction(const Gauge& gauge, int32_t value);

// XORs the sector between the shown value and value, clipped to the ring between the two
// diamonds, and takes the value; a change whose direction points are within 9 units both
// across and down is not drawn and the gauge keeps its value. True when drawn.
bool gauge_sweep(plat::DcHandle dc, Gauge& gauge, int32_t value);
// The held value, embossed and centred on a copy of the strip, blitted in place.
void gauge_draw_number(plat::DcHandle dc, const Gauge& gauge);
// Both into the screen's background picture, then the gauge's part of the window is repainted,
// so a repaint keeps what the gauges show.
void speedometer_draw(plat::WindowHandle window, plat::GdiObject background, int32_t value, Gauge& gauge);

// What a practice screen's three gauges show: the speed since the screen opened on the first
// (every 200 ms of timer 1, once two keystrokes were counted), the last line's or page's speed
// on the second and the mean of those on the third.
struct SpeedMeter {
    std::array<Gauge, 3> gauges;
    int32_t keystrokes = 0; // one per position notification
    uint32_t start_tick = 0;
    int64_t speed_sum = 0;
    int32_t speed_count = 0;
};
constexpr uintptr_t kSpeedTimer = 1;
constexpr uint32_t kSpeedTimerMs = 200;
constexpr int32_t kSpeedShownMax = 800; // the running speed beyond a whole turn is not shown

void speed_timer_start(plat::WindowHandle window, SpeedMeter& meter);
void speed_timer_stop(plat::WindowHandle window, SpeedMeter& meter); // frees the gauges' strips too
// Timer 1's tick.
void speed_timer_tick(plat::WindowHandle window, plat::GdiObject background, SpeedMeter& meter);
// A finished line or page: its speed on the second gauge, the mean so far on the third.
void speed_meter_add(plat::WindowHandle window, plat::GdiObject background, SpeedMeter& meter, int32_t speed);
