// The dialog manager: modal dialogs (DialogBox) with their own message loop, which keeps the
// other windows painted while the owner (or, task-modal, every window of the program) is
// disabled; EndDialog; the dialog keys of IsDialogMessage (Tab and Shift+Tab through the
// tab stops, arrows within a group, Enter to the default push button, Esc to Cancel, and
// mnemonics); the tab and group order. In headless runs the script's "answer" command
// presses a button of the modal dialog on top, named by its text (without '&', case
// ignored) or by the standard names (OK, Cancel, Abort, Retry, Ignore, Yes, No, Close, Help).
#pragma once
#include <cstdint>

#include "platform/controls/dialog.h"
#include "platform/window/message.h"

namespace plat {

// DialogBoxParam: runs the dialog until end_dialog and answers its result; -1 when it could
// not be made. A WM_QUIT met on the way is posted again and ends the run (result 0).
intptr_t dialog_box_param(ModuleHandle module, ResourceId name, WindowHandle owner, DialogProc proc, LParam param);
intptr_t dialog_box_indirect_param(ModuleHandle module, const DialogTemplate& dialog, WindowHandle owner,
    DialogProc proc, LParam param);
// EndDialog: the run ends with result once the current message is handled; the owner is
// enabled again and the dialog hidden at once.
bool end_dialog(WindowHandle dialog, intptr_t result);

// IsDialogMessage: handles the dialog keys of a message for the dialog or its controls, and
// translates and dispatches the message otherwise. False for a message meant elsewhere.
bool is_dialog_message(WindowHandle dialog, Msg& msg);

// GetNextDlgTabItem: the next (or previous) visible, enabled control with WS_TABSTOP after
// control (null: from the start), wrapping round; control itself when there is no other.
WindowHandle get_next_dlg_tab_item(WindowHandle dialog, WindowHandle control, bool previous);
// GetNextDlgGroupItem: the same within control's group (from a WS_GROUP control up to the
// next one), whatever the tab stops.
WindowHandle get_next_dlg_group_item(WindowHandle dialog, WindowHandle control, bool previous);

// For the layer.
enum class ModalScope { owner, task };
// A modal run of a dialog made from a template in memory; task scope disables every
// top-level window of the program (MB_TASKMODAL).
intptr_t dlgmgr_run_modal(ModuleHandle module, const DialogTemplate& dialog, WindowHandle owner, DialogProc proc,
    LParam param, ModalScope scope);
// The modal dialog on top, if any.
WindowHandle dlgmgr_top_modal();
// A script's queued answer for the modal dialog on top: presses the button it names. True
// when a button was pressed.
bool dlgmgr_take_answer();
// Lets the script tell a waiting modal loop that an answer or a file came.
void dlgmgr_listen_to_script();
void dlgmgr_reset();

} // namespace plat
