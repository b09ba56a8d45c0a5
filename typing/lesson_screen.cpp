// One lesson screen at a time: its state lives while its window does.
#include "typing/lesson_screen.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"
#include "typing/bmp_menu.h"
#include "typing/hot_area.h"
#include "typing/johab.h"
#include "typing/lessons.h"
#include "typing/multi_input.h"
#include "typing/result_dialog.h"
#include "typing/shell.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

namespace {

constexpr int32_t kKeyboardX = 40;
constexpr int32_t kKeyboardY = 218;
constexpr int32_t kLineX = 200, kLineY = 94, kLineWidth = 240, kLineHeight = 90;

struct LessonScreen {
    plat::GdiObject background; // the screen with the user's face and the plain keyboard
    plat::GdiObject shown; // the background with the lit keys and finger
    plat::GdiObject lit_keyboard;
    plat::GdiObject fingers;
    plat::WindowHandle line;
    plat::WindowHandle selector;
    LessonRun run;
    PracticeStats practice;
    int32_t half_width = 8;
    int32_t drill_margin = 0;
    std::vector<plat::Rect> lit; // keys and finger now lit
};
std::unique_ptr<LessonScreen> s_screen;

uint32_t user_u32(size_t offset)
{
    const UserRecord* user = user_current();
    return user ? user_header_u32(*user, offset) : 0;
}

// The place in the lessons, kept in the user file so the learner resumes there.
void remember_place()
{
    if (UserRecord* user = user_current()) {
        user_header_set_u32(*user, kHeaderLessonStage, uint32_t(s_screen->run.stage));
        user_header_set_u32(*user, kHeaderLesson, uint32_t(s_screen->run.lesson));
        user_header_set_u32(*user, kHeaderPosition, uint32_t(s_screen->run.pair_position));
    }
}

void commit_practice()
{
    practice_stats_commit(s_screen->practice);
    s_screen->practice = {};
}

void light(plat::WindowHandle window, uint16_t key)
{
    LessonScreen& s = *s_screen;
    for (const plat::Rect& r : s.lit)
        bitmap_blit(s.shown, r.left, r.top, r.width(), r.height(), s.background, r.left, r.top, plat::SRCCOPY);
    s.lit.clear();
    Lighting lighting = key_lighting(s.run.layout, key);
    for (const plat::Rect& r : lighting.keys) {
        bitmap_blit(s.shown, r.left, r.top, r.width(), r.height(), s.lit_keyboard, r.left - kKeyboardX,
            r.top - kKeyboardY, plat::SRCCOPY);
        s.lit.push_back(r);
    }
    if (lighting.finger >= 0) {
        plat::Rect r = finger_rect(lighting.finger);
        bitmap_blit(s.shown, r.left, r.top, r.width(), r.height(), s.fingers, 28 * lighting.finger, 0, plat::SRCCOPY);
        s.lit.push_back(r);
    }
    plat::invalidate_rect(window, nullptr, false);
}

void next_line(plat::WindowHandle window)
{
    LessonScreen& s = *s_screen;
    int32_t width = kLineWidth / (s.half_width > 0 ? s.half_width : 8) - 4;
    std::string line;
    bool built = drill_line_build(line, s.run, size_t(width > 0 ? width : 1), settings_current().LessonCount);
    remember_place();
    if (!built) {
        plat::post_message(window, kMsgLessonStage, plat::WParam(s.run.stage), 1);
        return;
    }
    multi_input_set_model(s.line, 0, line);
    plat::send_message(s.line, kMsgMultiInputStart, 0, 0);
    MultiInputState state = multi_input_state(s.line);
    light(window, next_key(s.run.layout, state.model_under_last, state.model_next, state.last_typed, state.interim));
}

void on_stage(plat::WindowHandle window, int stage, bool completed)
{
    LessonScreen& s = *s_screen;
    s.run.stage = stage;
    if (stage == 0 && completed) {
        std::string title = johab_to_wansung(lesson_keys_text(s.run.layout, s.run.lesson));
        result_dialog_run(window, s.practice, title);
        commit_practice();
        int next = s.run.lesson + 1 < lesson_count(s.run.layout) ? s.run.lesson + 1 : 0;
        s.run.lesson = next;
        if (s.selector)
            plat::send_message(s.selector, kMsgBmpMenuSelect, plat::WParam(next), 0);
    }
    if (stage == 0) {
        multi_input_set_jamo_by_jamo(s.line, s.run.layout < 2);
        plat::send_message(s.line, kMsgMultiInputMargin, plat::WParam(s.drill_margin), 0);
        lesson_prepare(s.run, s.run.layout, s.run.lesson);
    } else {
        multi_input_set_jamo_by_jamo(s.line, false);
        plat::send_message(s.line, kMsgMultiInputMargin, plat::WParam(s.half_width), 0);
    }
    remember_place();
    plat::post_message(window, plat::WM_COMMAND, 1, 0);
}

bool on_create(plat::WindowHandle window)
{
    s_screen = std::make_unique<LessonScreen>();
    LessonScreen& s = *s_screen;
    int layout = layout_index();
    s.fingers = picture_load("fingicon.bmp");
    s.background = picture_load("vd-2kr.bmp");
    if (s.background) {
        plat::Size size = bitmap_size(s.background);
        plat::set_window_pos(window, {}, 0, 0, size.cx, size.cy, plat::SWP_NOMOVE | plat::SWP_NOZORDER);
    }
    user_face_draw(s.background, settings_current().LastSlot, 45, 27);
    char name[24]; // room for any int
    std::snprintf(name, sizeof name, "kbd%d.bmp", layout);
    if (plat::GdiObject keyboard = picture_load(name)) {
        bitmap_draw_into(s.background, keyboard, kKeyboardX, kKeyboardY);
        plat::delete_object(keyboard);
    }
    std::snprintf(name, sizeof name, "kbd%d.bmp", layout + 4);
    s.lit_keyboard = picture_load(name);
    s.shown = bitmap_copy(s.background);
    if (!word_list_load())
        return false;
    bool korean = layout < 2;
    uint32_t extent = text_extent({}, " ");
    int32_t cell_height = int32_t(extent >> 16);
    s.half_width = int32_t(extent & 0xFFFF) > 0 ? int32_t(extent & 0xFFFF) : 8;
    s.drill_margin = (kLineWidth - s.half_width * (korean ? 9 : 5)) / 2;
    uint16_t flags = uint16_t(kMultiInputJohabModel | (korean ? kMultiInputHangul | kMultiInputJamoByJamo : 0));
    s.line = multi_input_create(window, flags, (kLineHeight - 2 * cell_height) / 2, s.drill_margin, 1, kLineX, kLineY,
        kLineWidth, kLineHeight);
    s.run.layout = layout;
    s.run.stage = 0;
    lesson_prepare(s.run, layout, int(user_u32(kHeaderLesson)));
    uint32_t position = user_u32(kHeaderPosition);
    if (position < s.run.pairs.size())
        s.run.pair_position = int(position);
    BmpMenuSetup setup;
    std::strncpy(setup.picture, layout == 1 ? "menu3.bmp" : "menuqry.bmp", sizeof setup.picture - 1);
    setup.orientation = 1;
    setup.count = layout == 1 ? 10 : 8;
    s.selector = plat::create_window_ex(0, kBmpMenuClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 192, 20, 0, 0, window,
        kLessonSelectorId, {}, &setup);
    if (s.selector)
        plat::send_message(s.selector, kMsgBmpMenuSelect, plat::WParam(s.run.lesson), 0);
    plat::post_message(window, plat::WM_COMMAND, 1, 0);
    return true;
}

void on_destroy()
{
    if (!s_screen)
        return;
    LessonScreen& s = *s_screen;
    commit_practice();
    remember_place();
    if (s.selector)
        plat::destroy_window(s.selector);
    if (s.line)
        multi_input_destroy(s.line);
    for (plat::GdiObject object : {s.background, s.shown, s.lit_keyboard, s.fingers})
        if (object)
            plat::delete_object(object);
    s_screen.reset();
}

void on_command(plat::WindowHandle window, plat::WParam wparam, plat::LParam lparam)
{
    LessonScreen& s = *s_screen;
    uint16_t id = uint16_t(plat::loword(wparam));
    uint16_t notification = uint16_t(plat::hiword(wparam));
    if (id == kMultiInputId) {
        notification = uint16_t(uint32_t(lparam) >> 16);
        if (notification == kNotifyMultiInputDone) {
            if (PracticeStats* stats = multi_input_stats(s.line)) {
                practice_stats_add(*stats, s.practice);
                *stats = {};
            }
            next_line(window);
        } else if (notification == kNotifyMultiInputPosition) {
            MultiInputState state = multi_input_state(s.line);
            light(window, next_key(s.run.layout, state.model_under_last, state.model_next, state.last_typed, state.interim));
        } else if (notification == kNotifyMultiInputEscape) {
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        }
        return;
    }
    if (id == kLessonSelectorId && uint32_t(lparam) >> 16 == 1) {
        int chosen = int(plat::send_message(s.selector, kMsgBmpMenuGetSelection, 0, 0));
        s.run.lesson = chosen >= 0 && chosen < lesson_count(s.run.layout) ? chosen : 0;
        s.run.pair_position = 0;
        commit_practice();
        plat::post_message(window, kMsgLessonStage, 0, 0);
        return;
    }
    (void)notification;
    if (id == 1)
        next_line(window);
    else if (id == 2)
        screen_close(window);
}

plat::LResult lesson_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    plat::LResult realized = 0;
    if (palette_message(window, message, wparam, realized))
        return realized;
    switch (message) {
    case plat::WM_CREATE:
        if (!on_create(window))
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        return 0;
    case plat::WM_COMMAND:
        if (s_screen)
            on_command(window, wparam, lparam);
        return 0;
    case kMsgLessonStage:
        if (s_screen)
            on_stage(window, int(wparam), lparam == 1);
        return 0;
    case plat::WM_PAINT:
        paint_background(window, s_screen ? s_screen->shown : plat::GdiObject {});
        return 0;
    case plat::WM_ERASEBKGND:
        return 1;
    case plat::WM_SETFOCUS:
        if (s_screen && s_screen->line)
            plat::set_focus(s_screen->line);
        return 0;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
        hot_area_mouse(window, message, wparam, lparam, kPracticeAreas);
        return 0;
    case plat::WM_NCHITTEST:
        return hot_area_hittest(window, message, wparam, lparam, kPracticeAreas);
    case plat::WM_DESTROY:
        on_destroy();
        return 0;
    default:
        if (message >= plat::WM_NCMOUSEMOVE && message <= plat::WM_NCMBUTTONDBLCLK && main_window())
            return plat::send_message(main_window(), message, wparam, lparam);
        return plat::def_window_proc(window, message, wparam, lparam);
    }
}

} // namespace

bool lesson_screen_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = lesson_proc;
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kLessonClass;
    return plat::register_class(c) != 0;
}

void lessons_decode_hook() { (void)lessons_decode(); }
