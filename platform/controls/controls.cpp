#include "platform/controls/controls.h"

#include "platform/window/cursor.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_combo.h"
#include "platform/controls/ctl_edit.h"
#include "platform/controls/ctl_listbox.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/controls/ctl_static.h"
#include "platform/gdi/dc.h"
#include "platform/controls/dialog.h"
#include "platform/controls/menu_track.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/wndclass.h"

namespace plat {

struct SystemClass {
    const char* name;
    WindowProc proc;
    uint32_t style;
    int window_extra;
    uint32_t cursor; // IDC_ number
};

// The standard classes, made on first use. Every control keeps kControlExtraBytes; dialogs keep
// what DefDlgProc needs. The drop-down list saves what it covers, as a popup menu does.
static const SystemClass kSystemClasses[] = {
    {kButtonClass, button_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_ARROW},
    {kStaticClass, static_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_ARROW},
    {kEditClass, edit_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_IBEAM},
    {kListBoxClass, listbox_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_ARROW},
    {kComboBoxClass, combo_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_ARROW},
    {kComboListClass, listbox_proc, CS_DBLCLKS | CS_SAVEBITS, kControlExtraBytes, IDC_ARROW},
    {kScrollBarClass, scrollbar_proc, CS_DBLCLKS | CS_PARENTDC, kControlExtraBytes, IDC_ARROW},
    {kMenuClass, menu_popup_proc, CS_SAVEBITS, 0, IDC_ARROW},
    {kDialogClass, def_dlg_proc, CS_DBLCLKS | CS_SAVEBITS, DLGWINDOWEXTRA, IDC_ARROW},
};

static bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

bool controls_register_system_class(std::string_view class_name)
{
    for (const SystemClass& entry : kSystemClasses) {
        if (!same_name(entry.name, class_name))
            continue;
        WindowClass window_class;
        window_class.style = entry.style | CS_GLOBALCLASS;
        window_class.proc = entry.proc;
        window_class.window_extra = entry.window_extra;
        window_class.cursor = load_cursor({}, entry.cursor);
        window_class.class_name = entry.name;
        return register_class(window_class) != 0;
    }
    return false;
}

LResult controls_notify(WindowHandle control, uint32_t code)
{
    WindowHandle parent = get_parent(control);
    if (!parent)
        return 0;
    return send_message(parent, WM_COMMAND, make_wparam(uint32_t(get_dlg_ctrl_id(control)), code), LParam(control.id));
}

void controls_set_font(WindowHandle control, GdiObject font, bool redraw)
{
    set_window_long(control, kControlFontIndex, int32_t(font.id));
    if (redraw)
        invalidate_rect(control, nullptr, true);
}

GdiObject controls_get_font(WindowHandle control)
{
    return GdiObject(uint32_t(get_window_long(control, kControlFontIndex)));
}

GdiObject controls_select_font(WindowHandle control, DcHandle dc)
{
    GdiObject font = controls_get_font(control);
    if (!font || get_object_type(font) != OBJ_FONT)
        font = get_stock_object(SYSTEM_FONT);
    return select_object(dc, font);
}

GdiObject controls_color_brush(WindowHandle control, DcHandle dc, uint32_t message)
{
    bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
    GdiObject standard = get_sys_color_brush(field ? COLOR_WINDOW : COLOR_BTNFACE);
    set_text_color(dc, get_sys_color(COLOR_WINDOWTEXT));
    set_bk_color(dc, get_sys_color(field ? COLOR_WINDOW : COLOR_BTNFACE));
    WindowHandle parent = get_parent(control);
    if (!parent)
        return standard;
    LResult brush = send_message(parent, message, WParam(dc.id), LParam(control.id));
    return brush ? GdiObject(uint32_t(brush)) : standard;
}

char controls_mnemonic(std::string_view label)
{
    for (size_t i = 0; i + 1 < label.size(); i++) {
        if (label[i] != '&')
            continue;
        if (label[i + 1] == '&') {
            i++;
            continue;
        }
        char c = label[i + 1];
        return c >= 'a' && c <= 'z' ? char(c - 32) : c;
    }
    return 0;
}

std::string controls_text(WindowHandle window)
{
    int length = get_window_text_length(window);
    std::string text(size_t(length) + 1, '\0');
    int got = get_window_text(window, text.data(), length + 1);
    text.resize(size_t(got));
    return text;
}

} // namespace plat
