// QKGameEdit: the one-line answer field of the word game and the user dialog's name field.
// It keeps up to 128 Johab codes typed through its own input context (Hangul mode on for the
// Korean layouts). Enter posts command 1 and Esc command 2 to the parent; a blank or a full
// line notifies 1, losing the focus notifies 2 (WM_COMMAND id, code << 16 | low word of its
// handle). WM_SETTEXT and WM_GETTEXT set and read the codes as Johab text; 1124 clears it.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

inline constexpr char kGameEditClass[] = "QKGameEdit";
constexpr size_t kGameEditMaxCodes = 128;
constexpr uint32_t kMsgGameEditClear = 1124;
constexpr uint32_t kNotifyGameEditAnswer = 1;
constexpr uint32_t kNotifyGameEditLostFocus = 2;

bool game_edit_register();
