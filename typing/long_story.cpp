// One long-text screen at a time: its state is the module's.
#include "typing/long_story.h"

#include "platform/gdi/gdi_object.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/hot_area.h"
#include "typing/multi_input.h"
#include "typing/practice_texts.h"
#include "typing/result_dialog.h"
#include "typing/shell.h"
#include "typing/speed_gauge.h"
#include "typing/story_catalog.h"
#include "typing/story_chooser.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include <algorithm>

constexpr int32_t kLineX = 38, kLineY = 165, kLineWidth = 562, kLineHeight = 175;
constexpr int32_t kPictureX = 232, kPictureY = 18;
// The numbers go below the dials, where the screen's picture keeps room for them.
constexpr int32_t kGaugeFirstX = 216, kGaugeY = 410, kGaugeNumberY = 460;

static struct {
    plat::GdiObject background;
    plat::WindowHandle line;
    PracticeStats practice;
    SpeedMeter meter;
    int32_t language = 0;
    int32_t story = kNoStory;
    std::vector<std::string> lines;
    size_t page = 0;
    size_t line_width = 0;
    bool closing = false;
} s_long;

static const StoryEntry* current_entry() { return story_entry(s_long.story); }

static void picture_draw()
{
    const StoryEntry* entry = current_entry();
    plat::GdiObject picture = entry ? picture_load(story_picture_name('l', entry->file_name)) : plat::GdiObject {};
    if (!picture)
        picture = picture_load("l_none.bmp");
    if (picture) {
        bitmap_draw_into(s_long.background, picture, kPictureX, kPictureY);
        plat::delete_object(picture);
    }
}

// The story's lines; none for a story that is gone or cannot be read.
static void lines_cut()
{
    s_long.lines.clear();
    s_long.page = 0;
    std::string bytes;
    if (const StoryEntry* entry = current_entry(); entry && text_file_read(path_in_data_folder(entry->file_name), bytes))
        s_long.lines = story_cut(bytes, s_long.line_width);
}

// Fills the page into the typing line and starts it; false when the story has ended.
static bool page_fill()
{
    const StoryEntry* entry = current_entry();
    if (!entry)
        return false;
    std::vector<std::string> page = story_page(s_long.lines, s_long.page, entry->code, settings_current().AfterSpace);
    if (page.empty())
        return false;
    for (size_t i = 0; i < page.size(); ++i)
        multi_input_set_model(s_long.line, int(i), page[i]);
    multi_input_set_line_count(s_long.line, int32_t(page.size()));
    plat::send_message(s_long.line, kMsgMultiInputStart, 0, 0);
    return true;
}

static void practice_commit()
{
    practice_stats_commit(s_long.practice);
    s_long.practice = {};
}

static bool create(plat::WindowHandle window)
{
    s_long = {};
    const uint32_t extent = text_extent({}, " ");
    const int32_t cell = int32_t(extent >> 16), half = std::max<int32_t>(1, int32_t(extent & 0xFFFF));
    story_catalog_scan();
    story_choice_read();
    s_long.language = settings_current().Language == 0 ? 0 : 1;
    s_long.story = story_current(s_long.language);
    s_long.line_width = size_t(std::max(1, (kLineWidth - cell) / half));
    s_long.background = picture_load("vd-lmj.bmp");
    user_face_draw(s_long.background, settings_current().LastSlot, -1, -1);
    picture_draw();
    lines_cut();
    const uint16_t flags = s_long.language == 0 ? kMultiInputHangul : uint16_t(0);
    s_long.line = multi_input_create(window, flags, cell * 2 / 3, half, int32_t(kStoryPageLines), kLineX, kLineY,
        kLineWidth, kLineHeight);
    if (!s_long.line)
        return false;
    page_fill();
    gauge_setup(s_long.meter.gauges, kGaugeFirstX, kGaugeY, kGaugeNumberY, s_long.background);
    speed_timer_start(window, s_long.meter);
    return true;
}

static void on_end(plat::WindowHandle window)
{
    if (s_long.closing)
        return;
    s_long.closing = true;
    const StoryEntry* entry = current_entry();
    result_dialog_run(window, s_long.practice, entry ? entry->title : std::string());
    screen_close(window);
}

static void on_page_done(plat::WindowHandle window)
{
    PracticeStats* stats = multi_input_stats(s_long.line);
    if (!stats || s_long.closing)
        return;
    const int32_t speed = speed_per_minute(stats->at(kStatsStrokes), stats->at(kStatsMilliseconds));
    practice_stats_add(*stats, s_long.practice);
    speed_meter_add(window, s_long.background, s_long.meter, speed);
    ++s_long.page;
    if (!page_fill())
        on_end(window);
}

static void on_choose(plat::WindowHandle window)
{
    const int32_t chosen = story_chooser_run(window, s_long.language);
    plat::set_focus(s_long.line); // the dialog gave the focus back to the screen
    if (chosen == kNoStory || chosen == s_long.story)
        return;
    practice_commit();
    story_set_current(s_long.language, chosen);
    s_long.story = story_current(s_long.language);
    lines_cut();
    picture_draw();
    page_fill();
    plat::invalidate_rect(window, nullptr, false);
}

static void destroy(plat::WindowHandle window)
{
    speed_timer_stop(window, s_long.meter);
    practice_commit();
    s_long.lines.clear();
    if (s_long.line)
        multi_input_destroy(s_long.line);
    story_choice_write();
    if (s_long.background)
        plat::delete_object(s_long.background);
    s_long = {};
}

static void on_command(plat::WindowHandle window, plat::WParam wparam, plat::LParam lparam)
{
    const uint16_t id = uint16_t(plat::loword(wparam));
    if (id == 2)
        on_end(window);
    else if (id == kCmdChooseStory)
        on_choose(window);
    else if (id == kMultiInputId) {
        const uint32_t note = plat::hiword(uintptr_t(lparam));
        if (note == kNotifyMultiInputDone)
            on_page_done(window);
        else if (note == kNotifyMultiInputPosition)
            ++s_long.meter.keystrokes;
        else if (note == kNotifyMultiInputEscape)
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
    }
}

static plat::LResult long_story_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE:
        if (!create(window))
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        return 0;
    case plat::WM_PAINT: paint_background(window, s_long.background); return 0;
    case plat::WM_ERASEBKGND: return 1;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP: hot_area_mouse(window, message, wparam, lparam, kLongTextAreas); return 0;
    case plat::WM_KEYDOWN: // with no story the typing line never starts: Esc still ends
        if (wparam == plat::VK_ESCAPE)
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        return 0;
    case plat::WM_SETFOCUS: // the keys belong to the typing line
        if (s_long.line)
            plat::set_focus(s_long.line);
        return 0;
    case plat::WM_TIMER: speed_timer_tick(window, s_long.background, s_long.meter); return 0;
    case plat::WM_COMMAND: on_command(window, wparam, lparam); return 0;
    case plat::WM_DESTROY: destroy(window); return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool long_story_register()
{
    plat::WindowClass c;
    c.proc = long_story_proc;
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kLongStoryClass;
    return plat::register_class(c) != 0;
}
