// Message resources and the runtime's message box. A message resource (type 256, named by its
// number) holds the box's kind (icon and beep), up to three button captions, a format and
// sub-messages that the format pulls in with "%m". msg_show expands and formats the text,
// beeps, shows the modal dialog of template 229 and answers the number of the button pressed.
//
// How the program uses it: once the top-level window exists, msg_set_owner(window) makes it
// the owner of every box (before that, and after it is destroyed, boxes have no owner). Then
// msg_show(number, args...) anywhere: the integer arguments for the "%m" of the text come
// first, in the order the "%m" are met, then the arguments of the other directives. A message
// the program lacks shows message 207 instead; when the learner picks "Quit" there, msg_show
// raises the internal error ("message", 284) through err_internal, which throws
// plat::InternalError to the recovery point. In headless runs the box is logged like a
// message box (its caption, text and visible buttons, then the button that closed it), and a
// script's "answer CAPTION" presses a button by its caption as shown.
#pragma once
#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/kernel/resource.h"
#include "runtime/base/fmt.h"

#include <cstdint>
#include <span>
#include <string_view>

// The kind word of a message resource: the icon and the beep of its box.
enum MsgKind : uint16_t {
    kMsgInformation = 0,
    kMsgWarning = 1,
    kMsgStop = 2,
    kMsgQuestion = 3,
};

constexpr uint32_t kMsgMissingMessage = 207; // "Could not load message resource #%d"
constexpr uint32_t kMsgDialogTemplate = 229; // the box's dialog: text 100, icon 101, buttons 1-3
constexpr int kMsgRoom = 300; // bytes of each of the two text buffers

// Shows message `number` formatted with args: the button pressed (1, 2 or 3); 1 when the
// message cannot be shown and the learner chose to continue; 0 when the program is told to
// quit while the box shows (the quit is posted again). Throws plat::InternalError when the
// learner chose to quit at message 207 instead.
int msg_show_va(uint32_t number, std::span<const FmtArg> args);

template <typename... Args> int msg_show(uint32_t number, const Args&... args)
{
    const FmtArg list[sizeof...(Args) + 1] = { FmtArg(args)..., FmtArg(0) };
    return msg_show_va(number, std::span<const FmtArg>(list, sizeof...(Args)));
}

// Copies format to out, each "%m" replaced by the sub-message that the next integer argument
// names (taken from the front of args), expanded the same way. room counts down from the
// buffer's size; copying stops with 2 units left, so out needs room bytes. A number outside
// the sub-messages, or a missing or non-integer argument, expands to "". "%%" is copied as it
// stands. Answers the end of the output, where the NUL was put.
char* msg_expand(char* out, int& room, std::string_view format, std::span<const FmtArg>& args,
    std::string_view sub_messages);

// The n-th string of a list of NUL-terminated strings (1-based; n of 1 or less gives the
// first); "" past the end of the list. A last string without NUL ends with the list.
std::string_view msg_nth_string(std::string_view list, int n);

// Where the box's buttons go. Buttons are numbered 1 to 3 as the captions are; slots are the
// three button rectangles of the template, left to right.
struct MsgLayoutButton {
    int position = 0; // 1-3: the caption's leading digit, else the button's own number
    int32_t text_width = 0; // of the caption as shown, in the dialog's font
    bool visible = false; // the caption is not empty
};
struct MsgLayoutInput {
    int32_t base_unit = 0; // horizontal dialog base unit (GetDialogBaseUnits' low word)
    int32_t client_width = 0;
    plat::Rect slots[3];
    MsgLayoutButton buttons[3];
};
struct MsgLayoutResult {
    plat::Rect rects[3]; // each visible button's rectangle in client coordinates
    int32_t widen = 0; // when > 0 the dialog grows by 2 * widen and moves left by widen
    int order[3] = {}; // the visible buttons by position, 0 after the last
};
MsgLayoutResult msg_layout_buttons(const MsgLayoutInput& input);

// The owner window of every box; a null handle for none.
void msg_set_owner(plat::WindowHandle owner);
// Where message resources, template 229 and the error texts are looked up: null is the
// program's own module (tests point it at a module of their own).
void msg_set_resource_module(plat::ModuleHandle module);
plat::ModuleHandle msg_resource_module();

// Forgets the owner and the module (tests).
void msg_reset();
