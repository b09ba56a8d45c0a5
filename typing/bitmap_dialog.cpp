#include "typing/bitmap_dialog.h"

#include "platform/controls/dlgmgr.h"
#include "typing/hot_area.h"
#include "typing/tutor_draw.h"

intptr_t bitmap_dialog_run(plat::WindowHandle owner, plat::DialogProc proc, plat::LParam param)
{
    return plat::dialog_box_param({}, kBitmapDialogTemplate, owner, proc, param);
}

plat::GdiObject bitmap_dialog_background(plat::WindowHandle dialog, std::string_view picture)
{
    plat::GdiObject background = picture_load(picture);
    dialog_fit_bitmap(dialog, background);
    return background;
}

bool bitmap_dialog_default(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam, plat::GdiObject background, std::span<const uint16_t> areas)
{
    plat::LResult realized = 0;
    if (palette_message(dialog, message, wparam, realized))
        return true;
    switch (message) {
    case plat::WM_PAINT:
        paint_background(dialog, background);
        return true;
    case plat::WM_ERASEBKGND:
        return true;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
        hot_area_mouse(dialog, message, wparam, lparam, areas);
        return true;
    default:
        return false;
    }
}
