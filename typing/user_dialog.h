// The user dialog: nine faces to choose a user by, a name field, and a tool to delete a user
// other than the one the dialog was opened with.
#pragma once

#include "platform/window/message.h"

constexpr int kUserNameField = 3203;
constexpr int kUserFaceFirst = 3501; // 3501..3509, one per slot

// Runs the dialog for the current user (LastSlot); a different choice loads that user, saves
// the one before and makes LastSlot the new slot. 1 when a user is selected afterwards, 0 when
// the dialog was cancelled while none was.
int user_dialog_run(plat::WindowHandle main_window);
