// Dialogs from templates (the resource compiler's compact form, kernel/resource_forms.h): the
// dialog window and its controls placed in dialog units of the dialog's font, the dialog
// procedure behind DefDlgProc (DWLP_DLGPROC, DWLP_MSGRESULT, DWLP_USER in the extra bytes),
// WM_INITDIALOG with its parameter and the first control to focus, the default push button
// (DM_GETDEFID, DM_SETDEFID), WM_NEXTDLGCTL, and the item functions (text, numbers, checks).
// Modal runs, the dialog keys and the navigation order are controls/dlgmgr.h.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/window_types.h"

namespace plat {

// A dialog class of a program's own must reserve these extra bytes (and may add more after).
constexpr int DLGWINDOWEXTRA = 30;
enum : int {
    DWLP_MSGRESULT = 0, // what a dialog procedure that handled a message wants answered
    DWLP_DLGPROC = 8,
    DWLP_USER = 16,
};

enum : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
    IDCLOSE = 8,
    IDHELP = 9,
};

enum : uint32_t {
    DM_GETDEFID = WM_USER + 0,
    DM_SETDEFID = WM_USER + 1,
};
// DM_GETDEFID's high word when there is a default push button.
constexpr uint32_t DC_HASDEFID = 0x534B;

// A dialog procedure answers nonzero for a message it handled (see def_dlg_proc).
using DialogProc = LResult (*)(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam);

// CreateDialogParam: a modeless dialog from the module's RT_DIALOG resource (null module: the
// program's). Null when the template is missing or damaged (1812), a control cannot be made
// (unless DS_NOFAILCREATE), or the window cannot be made.
WindowHandle create_dialog_param(ModuleHandle module, ResourceId name, WindowHandle owner, DialogProc proc, LParam param);
// CreateDialogIndirectParam: the same from a template in memory. The dialog is placed with its
// client area at the template's position in the owner's client area (the screen with
// DS_ABSALIGN or no owner; centred on the screen with DS_CENTER) and kept on the screen.
WindowHandle create_dialog_indirect_param(ModuleHandle module, const DialogTemplate& dialog, WindowHandle owner,
    DialogProc proc, LParam param);

// DefDlgProc: the dialog procedure first; when it answers 0, the dialog's default handling:
// the face-coloured background, the focus kept across deactivation, WM_CLOSE as IDCANCEL (only
// while a Cancel button, if any, is enabled), the default push button and WM_NEXTDLGCTL.
LResult def_dlg_proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam);

// GetDialogBaseUnits: the system font's horizontal unit in the low word, vertical in the high.
int32_t get_dialog_base_units();
// MapDialogRect: dialog units of the dialog's font to pixels.
bool map_dialog_rect(WindowHandle dialog, Rect& rect);

bool set_dlg_item_text(WindowHandle dialog, int id, const char* text);
// GetDlgItemText: the length copied (at most size - 1 bytes); 0 for a missing item.
int get_dlg_item_text(WindowHandle dialog, int id, char* buffer, int size);
bool set_dlg_item_int(WindowHandle dialog, int id, uint32_t value, bool is_signed);
// GetDlgItemInt: the item's text as a decimal number (blanks around it allowed, a '-' only
// when signed); translated (may be null) says whether it was one that fits.
uint32_t get_dlg_item_int(WindowHandle dialog, int id, bool* translated, bool is_signed);
LResult send_dlg_item_message(WindowHandle dialog, int id, uint32_t message, WParam wparam, LParam lparam);
bool check_dlg_button(WindowHandle dialog, int id, uint32_t check);
uint32_t is_dlg_button_checked(WindowHandle dialog, int id);
// CheckRadioButton: checks check_id and unchecks the other buttons first..last.
bool check_radio_button(WindowHandle dialog, int first, int last, int check_id);

// For the layer.
// Dialog units from a font as Win32 computes them: the average width of the 52 letters A-Z
// and a-z (rounded) and the font's height.
Size dialog_base_units_of_font(GdiObject font);
// What the dialog layer keeps for each dialog; null for a window that is no dialog.
struct DialogInfo {
    GdiObject font;
    bool own_font = false; // made from the template, deleted with the dialog
    Size base_units;
    int default_id = 0;        // the default push button (DM_GETDEFID), 0 for none
    WindowHandle saved_focus;  // the control that gets the focus back on activation
    bool modal = false;
    bool ended = false;
    intptr_t result = 0;
    std::vector<WindowHandle> disabled; // the windows a modal run disabled
    // Called by the modal loop between messages, for a dialog that takes other things from a
    // headless script than answers (the file dialogs' chosen files).
    void (*script_poll)(WindowHandle dialog) = nullptr;
};
DialogInfo* dialog_info(WindowHandle dialog);
// Moves the focus to a control as the dialog manager does: an edit's text is selected, and a
// push button that takes the focus shows as the default one while it has it.
void dialog_set_focus(WindowHandle dialog, WindowHandle control);
// The focus moved from a push button, or onto one: the default push button look follows.
void dialog_track_default(WindowHandle dialog, WindowHandle focus);
void dialog_reset();

} // namespace plat
