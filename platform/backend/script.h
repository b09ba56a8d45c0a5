// Headless scripts (PLAT_SCRIPT): input and checks for a program run without a display, one
// command a line; '#' at the start of a line or after a blank starts a comment ("\#" types a
// '#'). The headless backend runs the next command whenever the program waits; "wait N" lets
// N ms of virtual time pass first.
//
//   wait MS | move X Y | click X Y [left|right|middle] | dblclick X Y [button]
//   down X Y [button] | up X Y [button] | key KEYS | keydown KEYS | keyup KEYS
//   type TEXT | compose TEXT | answer BUTTON | choose-file PATH|cancel | shot FILE [TITLE] | quit
//   depth BITS (the screen's depth changes: 1, 4, 8, 16, 24 or 32; WM_DISPLAYCHANGE follows)
//
// and, on other programs' windows (CLASS or TITLE "*": any; titles in double quotes; numbers
// decimal or 0x hex), each logging its outcome:
//
//   serve MS | windows | send CLASS TITLE MSG WPARAM LPARAM [MS] | post CLASS TITLE MSG WPARAM LPARAM
//   copydata CLASS TITLE DWDATA HEX | atom add|find|delete NAME
//
// KEYS is a key name or a combination ("Enter", "Ctrl+Q"); TEXT is UTF-8 and arrives as
// characters of the active code page. Commands that need dialogs or the input method are
// handed to the services that those layers register.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/window/input.h"

namespace plat {

enum class ScriptOp {
    wait,
    move,
    click,
    double_click,
    down,
    up,
    key,
    key_down,
    key_up,
    type,
    compose,
    answer,
    choose_file,
    shot,
    quit,
    depth,
    serve,
    windows,
    send,
    post,
    copy_data,
    atom,
};

struct ScriptCommand {
    ScriptOp op = ScriptOp::wait;
    int line = 0;
    uint32_t ms = 0; // wait
    int bits = 0;    // depth
    Point point;     // mouse commands, screen coordinates
    MouseButton button = MouseButton::left;
    std::vector<uint32_t> keys; // key commands, in order of pressing
    std::string text;           // type, compose, answer; choose-file ("" is cancel); shot's file
    std::string title;          // shot: the window's title, "" for the whole screen; atom: the name
    // Commands on other programs' windows: the class and the title ("*" for any; a title in
    // quotes is always a title), the message and its parameters; ms is send's time-out.
    std::string window_class;
    bool any_title = false;
    uint32_t message = 0;
    uint64_t wparam = 0; // copydata: dwData
    int64_t lparam = 0;
    std::vector<uint8_t> bytes; // copydata
};

// Parses a whole script. False with "line N: ..." in error at the first bad line.
bool script_parse(std::string_view source, std::vector<ScriptCommand>& out, std::string& error);
// Reads and parses a script file.
bool script_load(const std::string& host_path, std::vector<ScriptCommand>& out, std::string& error);

// Running: the commands wait their turn; the first may run at once.
void script_start(std::vector<ScriptCommand> commands);
bool script_has_next();
// The tick at which the next command may run.
uint32_t script_next_due();
// Runs the next command. False with a message when it failed (a shot that cannot be written).
bool script_run_next(std::string& error);
// Whether a quit command ran.
bool script_quit_ran();

// What "quit" and the end of a script do: WM_SYSCOMMAND SC_CLOSE, as a click on its close box
// would send, to the program's main window (the root owner of the active window; the active
// window itself while a modal dialog disables its owner; else the front visible top-level
// window); WM_QUIT when there is no window.
void script_close_program();

// Services of later layers. Answers and chosen files queue until a message box, dialog or file
// dialog takes them; the layer that shows those is told when one arrives, so that a box
// already open can take it at once. Composition is the input method's (ime_compose_text)
// unless a service takes it.
struct ScriptServices {
    void (*answer_queued)() = nullptr;
    void (*file_queued)() = nullptr;
    void (*compose)(std::string_view utf8_text) = nullptr;
};
void script_set_services(const ScriptServices& services);
// The next queued answer (a button's name as the script wrote it); false when none waits.
bool script_take_answer(std::string& button);
// The next queued file (a Windows path; "" means the dialog is cancelled); false when none.
bool script_take_chosen_file(std::string& path);

void script_reset();

} // namespace plat
