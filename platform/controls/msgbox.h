// MessageBox: a modal box of text, one of the four icons (the platform's own artwork) and the
// buttons of its type, laid out to its text in the dialog font and centred on the screen, the
// default button as MB_DEFBUTTONn says. Esc and the close box answer Cancel where the box has
// one (and OK in a box of OK alone); otherwise they do nothing. The box beeps as its icon
// says. Every box shown is logged with its caption, text and buttons, and the button that
// closed it; in headless runs the script's "answer" command presses a button.
// MessageBeep logs the beep it would sound.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_ABORTRETRYIGNORE = 0x0002,
    MB_YESNOCANCEL = 0x0003,
    MB_YESNO = 0x0004,
    MB_RETRYCANCEL = 0x0005,
    MB_TYPEMASK = 0x000F,
    MB_ICONHAND = 0x0010,
    MB_ICONQUESTION = 0x0020,
    MB_ICONEXCLAMATION = 0x0030,
    MB_ICONASTERISK = 0x0040,
    MB_ICONMASK = 0x00F0,
    MB_ICONSTOP = MB_ICONHAND,
    MB_ICONERROR = MB_ICONHAND,
    MB_ICONWARNING = MB_ICONEXCLAMATION,
    MB_ICONINFORMATION = MB_ICONASTERISK,
    MB_DEFBUTTON1 = 0x0000,
    MB_DEFBUTTON2 = 0x0100,
    MB_DEFBUTTON3 = 0x0200,
    MB_DEFMASK = 0x0F00,
    MB_APPLMODAL = 0x0000,
    MB_SYSTEMMODAL = 0x1000,
    MB_TASKMODAL = 0x2000,
    MB_MODEMASK = 0x3000,
    MB_SETFOREGROUND = 0x00010000,
    MB_TOPMOST = 0x00040000,
};

// MessageBoxA: the id of the button pressed (IDOK ... IDNO); 0 when the box cannot be shown
// or the type is not one of the six. A null caption is "Error". An application-modal box
// disables its owner's top-level window; a task-modal (or system-modal) one every top-level
// window of the program.
int message_box(WindowHandle owner, const char* text, const char* caption, uint32_t type);

// MessageBeep: 0xFFFFFFFF and MB_OK the simple beep, else the icon's sound.
bool message_beep(uint32_t type);

// For programs that show a box of their own making (a dialog of message text and buttons):
// the log line message_box writes, with the buttons' labels as they show (without '&').
void msgbox_log_shown(std::string_view caption, std::string_view text, const std::vector<std::string>& buttons);
void msgbox_log_closed(std::string_view button);

} // namespace plat
