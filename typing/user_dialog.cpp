// The user dialog holds its state while it is open (one at a time): the background it draws
// the selected face on, the slot it was opened with and the selected slot.
#include "typing/user_dialog.h"

#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/file.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "typing/bitmap_dialog.h"
#include "typing/bmp_button.h"
#include "typing/game_edit.h"
#include "typing/hot_area.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include <cstdio>
#include <string>

static struct {
    plat::GdiObject background;
    int start_slot = 0;
    int selected = 0;
} s_dialog;

static constexpr plat::Point kFacePlace {417, 66};
static constexpr plat::Size kFaceSize {70, 88};

static std::string face_picture(int slot)
{
    char name[24]; // room for any int
    std::snprintf(name, sizeof name, "face%d.bmp", slot + 1);
    return name;
}

static void create_face_buttons(plat::WindowHandle dialog)
{
    int32_t cell_height = int32_t(text_extent({}, " ") >> 16);
    for (int i = 0; i < kUserSlots; ++i) {
        int32_t x = 66 + 90 * (i % 3);
        int32_t y = 36 + 125 * (i / 3);
        int32_t height = 88 + cell_height + 4;
        plat::Rect part {x, y, x + 70, y + height};
        std::string caption = user_list_name_get(i);
        BmpButtonSetup setup {picture_load(face_picture(i)), bitmap_copy_rect(s_dialog.background, &part), 4,
            caption.empty() ? nullptr : caption.c_str()};
        plat::create_window_ex(0, kBmpButtonClass, "", plat::WS_CHILD | plat::WS_VISIBLE, x, y, 70, height, dialog,
            uintptr_t(kUserFaceFirst + i), {}, &setup);
    }
}

static void create_name_field(plat::WindowHandle dialog)
{
    int32_t font_height = 13;
    if (plat::DialogInfo* info = plat::dialog_info(dialog))
        font_height = info->base_units.cy;
    plat::create_window_ex(0, kGameEditClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 402, 289, 100,
        font_height * 8 / 5, dialog, kUserNameField, {}, nullptr);
}

static void select_slot(plat::WindowHandle dialog, int slot)
{
    s_dialog.selected = slot;
    user_face_draw(s_dialog.background, slot, kFacePlace.x, kFacePlace.y);
    plat::Rect face {kFacePlace.x, kFacePlace.y, kFacePlace.x + kFaceSize.cx, kFacePlace.y + kFaceSize.cy};
    plat::invalidate_rect(dialog, &face, false);
    std::string name = user_list_name_get(slot);
    plat::set_dlg_item_text(dialog, kUserNameField, name.c_str());
}

static plat::LResult on_init(plat::WindowHandle dialog, int slot)
{
    s_dialog.background = bitmap_dialog_background(dialog, "vd-usr2.bmp");
    s_dialog.start_slot = slot == -1 ? 0 : slot;
    create_face_buttons(dialog);
    create_name_field(dialog);
    select_slot(dialog, s_dialog.start_slot);
    if (slot == -1) {
        std::string name = user_info_full_name("1");
        plat::set_dlg_item_text(dialog, kUserNameField, name.c_str());
    }
    plat::set_focus(plat::get_dlg_item(dialog, kUserNameField));
    return 0; // the focus is set
}

static void finish(plat::WindowHandle dialog)
{
    char name[kUserNameMax] = {};
    plat::get_dlg_item_text(dialog, kUserNameField, name, 40); // at most 39 bytes
    if (name[0] == '\0') {
        plat::end_dialog(dialog, -1);
        return;
    }
    user_list_name_set(s_dialog.selected, name);
    plat::end_dialog(dialog, s_dialog.selected);
}

static plat::GdiObject s_confirm_background;

static plat::LResult confirm_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    if (bitmap_dialog_default(dialog, message, wparam, lparam, s_confirm_background, kDeleteAreas))
        return 1;
    switch (message) {
    case plat::WM_INITDIALOG:
        s_confirm_background = bitmap_dialog_background(dialog, "vd-del.bmp");
        return 1;
    case plat::WM_COMMAND: {
        uint32_t id = plat::loword(wparam);
        if (id == plat::IDOK || id == 908 || id == plat::IDCANCEL || id == 909)
            plat::end_dialog(dialog, id == plat::IDOK || id == 908 ? 1 : 0);
        return 1;
    }
    case plat::WM_DESTROY:
        if (s_confirm_background)
            plat::delete_object(s_confirm_background);
        s_confirm_background = {};
        return 0;
    default:
        return 0;
    }
}

static void delete_selected(plat::WindowHandle dialog)
{
    int slot = s_dialog.selected;
    if (slot == s_dialog.start_slot)
        return; // the user the dialog was opened for stays
    if (bitmap_dialog_run(dialog, confirm_proc, 0) != 1)
        return;
    char name[24];
    std::snprintf(name, sizeof name, "user%d.dat", slot + 1);
    plat::delete_file(path_in_program_folder(name));
    plat::send_dlg_item_message(dialog, kUserFaceFirst + slot, kMsgBmpButtonCaption, 0, 0);
    user_list_name_set(slot, "");
    select_slot(dialog, s_dialog.start_slot);
}

static plat::LResult on_command(plat::WindowHandle dialog, plat::WParam wparam, plat::LParam lparam)
{
    uint32_t id = plat::loword(wparam);
    if (id >= uint32_t(kUserFaceFirst) && id < uint32_t(kUserFaceFirst + kUserSlots)) {
        if (plat::hiword(uintptr_t(lparam)) == kNotifyBmpButtonClick)
            select_slot(dialog, int(id) - kUserFaceFirst);
        return 1;
    }
    switch (id) {
    case 905:
    case plat::IDOK:
        finish(dialog);
        return 1;
    case plat::IDCANCEL:
        plat::end_dialog(dialog, -1);
        return 1;
    case 904:
        delete_selected(dialog);
        return 1;
    default:
        return 0;
    }
}

static plat::LResult user_dialog_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (bitmap_dialog_default(dialog, message, wparam, lparam, s_dialog.background, kUserDialogAreas))
        return 1;
    switch (message) {
    case plat::WM_INITDIALOG:
        return on_init(dialog, int(lparam));
    case plat::WM_COMMAND:
        return on_command(dialog, wparam, lparam);
    case plat::WM_DESTROY:
        if (s_dialog.background)
            plat::delete_object(s_dialog.background);
        s_dialog.background = {};
        return 0;
    default:
        return 0;
    }
}

int user_dialog_run(plat::WindowHandle main_window)
{
    TutorSettings& settings = settings_current();
    int before = settings.LastSlot;
    intptr_t chosen = bitmap_dialog_run(main_window, user_dialog_proc, plat::LParam(before));
    if (chosen < 0 || chosen >= kUserSlots)
        return before != -1 ? 1 : 0;
    if (chosen == before)
        return 1;
    std::unique_ptr<UserRecord> loaded = user_load(int(chosen));
    if (!loaded)
        return before != -1 ? 1 : 0;
    if (UserRecord* current = user_current())
        (void)user_save(*current, before);
    user_set_current(std::move(loaded));
    settings.LastSlot = int(chosen);
    return 1;
}
