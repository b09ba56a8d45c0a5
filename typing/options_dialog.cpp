// The options dialog keeps its copy of the settings while it is open (one dialog at a time).
#include "typing/options_dialog.h"

#include "platform/controls/dlgmgr.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/window.h"
#include "typing/bitmap_dialog.h"
#include "typing/bmp_menu.h"
#include "typing/hot_area.h"
#include "typing/tutor_hooks.h"
#include "typing/tutor_settings.h"

#include <cstring>

// One row per selector: its picture, items and place.
struct SelectorSpec {
    int id;
    const char* picture;
    int32_t count;
    int32_t x;
    int32_t y;
};
static const SelectorSpec kSelectors[] = {
    {3301, "op_kbd.bmp", 2, 180, 75}, // Language
    {3302, "op_kor.bmp", 2, 180, 108}, // Keyboard; op_eng.bmp for English
    {3303, "repeat.bmp", 5, 180, 189}, // LessonCount, as its index
    {3304, "space.bmp", 3, 180, 223}, // AfterSpace
};

static struct {
    TutorSettings copy;
    plat::GdiObject background;
} s_options;

int lesson_count_index(int32_t lesson_count)
{
    for (int i = 0; i < int(std::size(kLessonCounts)); ++i) {
        if (kLessonCounts[i] == lesson_count)
            return i;
    }
    return 2;
}

static BmpMenuSetup selector_setup(const char* picture, int32_t count)
{
    BmpMenuSetup setup;
    std::strncpy(setup.picture, picture, sizeof setup.picture - 1);
    setup.orientation = 1; // the items are stacked in their pictures
    setup.count = count;
    return setup;
}

static const char* layout_picture(int32_t language) { return language == 1 ? "op_eng.bmp" : "op_kor.bmp"; }

static void create_selectors(plat::WindowHandle dialog)
{
    const TutorSettings& c = s_options.copy;
    const int32_t values[] = {c.Language, c.Keyboard, lesson_count_index(c.LessonCount), c.AfterSpace};
    for (size_t i = 0; i < std::size(kSelectors); ++i) {
        const SelectorSpec& spec = kSelectors[i];
        BmpMenuSetup setup = selector_setup(spec.id == 3302 ? layout_picture(c.Language) : spec.picture, spec.count);
        plat::WindowHandle selector = plat::create_window_ex(0, kBmpMenuClass, "", plat::WS_CHILD | plat::WS_VISIBLE,
            spec.x, spec.y, 0, 0, dialog, uintptr_t(spec.id), {}, &setup);
        plat::send_message(selector, kMsgBmpMenuSelect, plat::WParam(values[i]), 0);
    }
}

static int32_t selection(plat::WindowHandle dialog, int id)
{
    return int32_t(plat::send_dlg_item_message(dialog, id, kMsgBmpMenuGetSelection, 0, 0));
}

static void accept(plat::WindowHandle dialog)
{
    TutorSettings& c = s_options.copy;
    c.Language = selection(dialog, 3301);
    c.Keyboard = selection(dialog, 3302);
    c.LessonCount = kLessonCounts[value_clamp(selection(dialog, 3303), 0, 4, 2)];
    c.AfterSpace = selection(dialog, 3304);
    plat::end_dialog(dialog, 1);
}

static plat::LResult on_command(plat::WindowHandle dialog, plat::WParam wparam, plat::LParam lparam)
{
    switch (plat::loword(wparam)) {
    case 3301:
        if (plat::hiword(uintptr_t(lparam)) == 1) {
            BmpMenuSetup setup = selector_setup(layout_picture(selection(dialog, 3301)), 2);
            plat::send_dlg_item_message(dialog, 3302, kMsgBmpMenuReload, 0, plat::LParam(&setup));
        }
        return 1;
    case 906:
    case plat::IDOK:
        accept(dialog);
        return 1;
    case plat::IDCANCEL:
        plat::end_dialog(dialog, 0);
        return 1;
    default:
        return 0;
    }
}

static plat::LResult options_dialog_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (bitmap_dialog_default(dialog, message, wparam, lparam, s_options.background, kOptionsAreas))
        return 1;
    switch (message) {
    case plat::WM_INITDIALOG:
        s_options.background = bitmap_dialog_background(dialog, "vd-env.bmp");
        create_selectors(dialog);
        return 1;
    case plat::WM_COMMAND:
        return on_command(dialog, wparam, lparam);
    case plat::WM_DESTROY:
        if (s_options.background)
            plat::delete_object(s_options.background);
        s_options.background = {};
        return 0;
    default:
        return 0;
    }
}

int options_dialog_run(plat::WindowHandle parent)
{
    s_options.copy = settings_current();
    if (bitmap_dialog_run(parent, options_dialog_proc, 0) != 1)
        return 0;
    settings_current() = s_options.copy;
    if (tutor_hooks().automaton_reselect)
        tutor_hooks().automaton_reselect();
    return 1;
}

static plat::LResult about_box_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam, plat::LParam)
{
    if (message == plat::WM_INITDIALOG)
        return 1;
    if (message == plat::WM_COMMAND && (plat::loword(wparam) == plat::IDOK || plat::loword(wparam) == plat::IDCANCEL)) {
        plat::end_dialog(dialog, plat::loword(wparam));
        return 1;
    }
    return 0;
}

void about_box_run(plat::WindowHandle parent)
{
    plat::dialog_box_param({}, 1223, parent, about_box_proc, 0);
}
