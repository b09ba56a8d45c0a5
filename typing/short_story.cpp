// One short-text screen at a time: its state is the module's.
#include "typing/short_story.h"

#include "platform/controls/msgbox.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/window/defproc.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/hot_area.h"
#include "typing/multi_input.h"
#include "typing/practice_texts.h"
#include "typing/result_dialog.h"
#include "typing/shell.h"
#include "typing/speed_gauge.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include <array>

constexpr uint32_t kCodePage = 949;
constexpr int32_t kLineX = 38, kLineY = 156, kLineWidth = 562, kLineHeight = 84;
constexpr int32_t kGaugeFirstX = 216, kGaugeY = 325;

static struct {
    plat::GdiObject background;
    plat::WindowHandle line;
    PracticeStats practice;
    SpeedMeter meter;
    size_t line_width = 0;
    bool closing = false;
    bool failed = false;
} s_short;

static void next_proverb()
{
    std::string line;
    if (proverb_random(line, s_short.line_width) < 0)
        line.clear();
    multi_input_set_model(s_short.line, 0, line);
    plat::send_message(s_short.line, kMsgMultiInputStart, 0, 0);
}

static bool create(plat::WindowHandle window)
{
    s_short = {};
    s_short.background = picture_load("vd-smj.bmp");
    user_face_draw(s_short.background, settings_current().LastSlot, -1, -1);
    const int32_t language = settings_current().Language;
    ProverbLoad loaded = proverb_load(language);
    if (loaded != kProverbLoaded) {
        if (loaded == kProverbTooShort)
            plat::message_box(window, "Proverb file error", "ERROR", plat::MB_ICONWARNING);
        return false;
    }
    const uint32_t extent = text_extent({}, " ");
    const int32_t cell = int32_t(extent >> 16), half = std::max<int32_t>(1, int32_t(extent & 0xFFFF));
    s_short.line_width = size_t(std::max(1, kLineWidth / half - 3));
    const uint16_t flags = language == 0 ? uint16_t(kMultiInputHangul | kMultiInputJohabModel) : uint16_t(0);
    s_short.line = multi_input_create(window, flags, (kLineHeight - 2 * cell) / 2, cell, 1, kLineX, kLineY, kLineWidth,
        kLineHeight);
    if (!s_short.line)
        return false;
    next_proverb();
    gauge_setup(s_short.meter.gauges, kGaugeFirstX, kGaugeY, kGaugeY + cell + kGaugeRadius, s_short.background);
    speed_timer_start(window, s_short.meter);
    return true;
}

static void on_line_done(plat::WindowHandle window)
{
    PracticeStats* stats = multi_input_stats(s_short.line);
    if (!stats)
        return;
    const int32_t speed = speed_per_minute(stats->at(kStatsStrokes), stats->at(kStatsMilliseconds));
    practice_stats_commit(*stats);
    practice_stats_add(*stats, s_short.practice);
    speed_meter_add(window, s_short.background, s_short.meter, speed);
    next_proverb();
}

static void on_end(plat::WindowHandle window)
{
    if (s_short.closing)
        return;
    s_short.closing = true;
    if (!s_short.failed)
        result_dialog_run(window, s_short.practice, plat::utf8_to_code_page(kCodePage, "단문 연습"));
    screen_close(window);
}

static void destroy(plat::WindowHandle window)
{
    speed_timer_stop(window, s_short.meter);
    if (s_short.line)
        multi_input_destroy(s_short.line);
    if (s_short.background)
        plat::delete_object(s_short.background);
    s_short = {};
}

static plat::LResult short_story_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE:
        if (!create(window)) {
            s_short.failed = true;
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        }
        return 0;
    case plat::WM_PAINT:
        paint_background(window, s_short.background);
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
        hot_area_mouse(window, message, wparam, lparam, kPracticeAreas);
        return 0;
    case plat::WM_TIMER:
        speed_timer_tick(window, s_short.background, s_short.meter);
        return 0;
    case plat::WM_COMMAND:
        if (plat::loword(wparam) == 2)
            on_end(window);
        else if (plat::loword(wparam) == kMultiInputId) {
            const uint32_t note = plat::hiword(uintptr_t(lparam));
            if (note == kNotifyMultiInputDone)
                on_line_done(window);
            else if (note == kNotifyMultiInputPosition)
                ++s_short.meter.keystrokes;
            else if (note == kNotifyMultiInputEscape)
                plat::post_message(window, plat::WM_COMMAND, 2, 0);
        }
        return 0;
    case plat::WM_DESTROY:
        destroy(window);
        return 0;
    default:
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool short_story_register()
{
    plat::WindowClass c;
    c.proc = short_story_proc;
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kShortStoryClass;
    return plat::register_class(c) != 0;
}
